// qvn-build --check-links: reads the link data as a build does, asks about each distinct URL once,
// and reports every line whose link is not healthy, in the order of the lines; with --fix-moved,
// writes the moved links' new URLs into the data file. Ctrl+C ends the check early and still
// prints what was found (on Windows Ctrl+Break too).
#include "CheckLinks.h"

#include "Codec.h"
#include "Errors.h"
#include "FileIO.h"
#include "FileIdentity.h"
#include "Findings.h"
#include "History.h"
#include "LinkCheck.h"
#include "LinkReport.h"
#include "LinkTable.h"
#include "StringSet.h"
#include "UInCSV.h"
#include "Url.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <tuple>
#include <unordered_map>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace qvn::cli {
namespace {

std::atomic<bool> interrupted; // cleared by each InterruptCatcher as it starts
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

#ifdef _WIN32
// Called on a thread of its own that the console starts for the event.
BOOL WINAPI Interrupt(DWORD) {
    interrupted.store(true);
    return TRUE;
}

// Catches the console's Ctrl+C and Ctrl+Break while it lives, so that the check ends and reports.
class InterruptCatcher {
public:
    InterruptCatcher() {
        interrupted.store(false);
        ::SetConsoleCtrlHandler(Interrupt, TRUE);
    }
    ~InterruptCatcher() { ::SetConsoleCtrlHandler(Interrupt, FALSE); }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;
};
#else
extern "C" void Interrupt(int) {
    interrupted.store(true);
}

// Catches Ctrl+C (and SIGTERM) while it lives, so that the check ends and reports; the handlers
// that were there before come back after.
class InterruptCatcher {
public:
    InterruptCatcher() {
        interrupted.store(false);
        struct sigaction action {};
        action.sa_handler = Interrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &oldInt_);
        ::sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~InterruptCatcher() {
        ::sigaction(SIGINT, &oldInt_, nullptr);
        ::sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};
#endif

// Each request at once holds a connection: lets the process open as many as --jobs asks for,
// within what the system allows it.
// (Windows counts no descriptors for sockets: nothing to raise there.)
void AllowConnections([[maybe_unused]] int jobs) {
#ifndef _WIN32
    rlimit limit{};
    const rlim_t wanted = static_cast<rlim_t>(jobs) * 2 + 64;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < wanted) {
        limit.rlim_cur = std::min(wanted, limit.rlim_max); // RLIM_INFINITY is above any number
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
#endif
}

std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Why the file --state names cannot hold the history, as wrong usage says it; empty when it can
// (a missing file included). A FIFO would hang the reading, a device or a folder cannot be
// replaced, and the data file would be lost.
std::string StateProblem(const std::string& state, const std::string& data) {
    if (SameFile(FilePath::FromNative(state), FilePath::FromNative(data)))
        return "option '--state' names the data file: the history needs a file of its own";
#ifdef _WIN32
    const auto wide = Utf8ToUtf16(state);
    const DWORD attributes = wide ? ::GetFileAttributesW(wide->c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return "option '--state' names a folder (" + SystemReason(EISDIR) + ")";
#else
    struct stat st {};
    if (::stat(state.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return "option '--state' names a folder (" + SystemReason(EISDIR) + ")";
    if (S_ISFIFO(st.st_mode))
        return "option '--state' names a FIFO, not a file";
    if (S_ISSOCK(st.st_mode))
        return "option '--state' names a socket, not a file";
    return "option '--state' names a device, not a file";
#endif
    return {};
}

// Writes the data file again with the moved links' new URLs (moved: listed URL -> new URL), and
// says so for each line on `changes`, a URL the field cannot hold on err. Refuses, with Error,
// a file that is no longer the one the check read.
void FixMoved(TLinkTable& table, const std::string& data,
              const std::unordered_map<std::string, std::string>& moved, std::ostream& changes,
              std::ostream& err) {
    const FilePath path = FilePath::FromNative(data);
    const UrlEdits edits = table.MovedUrlEdits(moved);
    for (const auto& [row, why] : edits.refused)
        err << "qvn-build: " << Printable(data) << ":" << table.At(row).LineNumber()
            << ": 更新できません: " << Printable(why) << "\n";
    if (edits.edits.empty())
        return;
    if (const std::string* read = table.TextAsRead(); !read || ReadFile(path) != *read)
        throw Error("ファイル " + data +
                    " は確認の間にほかで変更されたので、移転先の URL "
                    "を書き込みませんでした。もう一度確認してください");
    for (const RecordEdit& edit : edits.edits) {
        const std::string old(table.Field(edit.row, kURL));
        table.Put(edit.row, edit.after);
        changes << Printable(data) << ":" << edit.after.LineNumber()
                << ": 更新: " << Printable(linkcheck::WithoutPassword(old)) << " → "
                << Printable(linkcheck::WithoutPassword(moved.at(old))) << "\n";
    }
    table.SaveToFile(path);
}

} // namespace

int CheckLinks(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    const std::string& data = options.values.at("data");
    const auto state = options.values.find("state");
    if (state != options.values.end()) {
        if (const std::string problem = StateProblem(state->second, data); !problem.empty()) {
            err << "qvn-build: " << problem << "\nTry 'qvn-build --help' for more.\n";
            return 2;
        }
    }
    const bool fixMoved = options.values.contains("fix-moved");
    const auto format = options.values.find("format");
    const bool json = format != options.values.end() && format->second == "json";

    // Every line's URL, by the build's own reading of the data; each distinct URL once. The
    // moved links are repaired in the file as an editable table, which keeps every other byte.
    linkcheck::StringSet distinct;
    std::vector<std::uint32_t> lineUrl; // by line number - 1: the index of its URL
    std::optional<TLinkTable> table;
    if (fixMoved) {
        table.emplace(ReadCSV(FilePath::FromNative(data)));
        for (int row = 0; row < table->Count(); ++row)
            lineUrl.push_back(distinct.Add(table->Field(row, kURL)));
    } else {
        LinkReader reader(FilePath::FromNative(data));
        TLinkRecord record;
        while (reader.Next(record))
            lineUrl.push_back(distinct.Add(record[kURL]));
    }
    const std::span<const std::string_view> urls = distinct.Strings();

    std::optional<linkcheck::History> history;
    if (state != options.values.end())
        history.emplace(state->second);

    linkcheck::Settings settings;
    if (const auto jobs = options.values.find("jobs"); jobs != options.values.end())
        settings.jobs = std::stoi(jobs->second);
    if (const auto timeout = options.values.find("timeout"); timeout != options.values.end())
        settings.timeout = std::chrono::milliseconds(
            static_cast<long long>(std::stod(timeout->second) * 1000 + 0.5));
    if (const auto resolve = options.lists.find("resolve"); resolve != options.lists.end())
        settings.resolve = resolve->second;

    // Each URL's outcome as an index into the distinct outcomes (most links share theirs), 0
    // while it is not known: four bytes a URL, whatever the reasons' lengths. A page's title is
    // the history's alone and is not kept here.
    using Key = std::tuple<linkcheck::Verdict, std::string, std::string, int, bool>;
    std::vector<linkcheck::Outcome> known;
    std::map<Key, std::uint32_t> knownIndex;
    std::vector<std::uint32_t> outcomeOf(urls.size(), 0);
    std::size_t knownCount = 0;
    Counts found; // by distinct URL, for the progress line
    const auto keep = [&](std::size_t i, linkcheck::Outcome outcome) {
        outcome.title.clear();
        const auto [it, fresh] = knownIndex.try_emplace(
            {outcome.verdict, outcome.reason, outcome.finalUrl, outcome.status, outcome.permanent},
            known.size() + 1);
        if (fresh)
            known.push_back(std::move(outcome));
        if (outcomeOf[i] == 0)
            ++knownCount;
        outcomeOf[i] = it->second;
        if (known[it->second - 1].verdict != linkcheck::Verdict::Healthy)
            found.Add(linkcheck::SeverityOf(known[it->second - 1].verdict));
    };
    const auto outcome = [&](std::size_t i) {
        return outcomeOf[i] == 0 ? nullptr : &known[outcomeOf[i] - 1];
    };

    // A link found healthy within a day is not asked again.
    const std::int64_t start = Now();
    std::vector<std::string_view> asked;
    std::vector<std::uint32_t> askedIndex; // by asked URL: its index in urls; empty for all
    if (history) {
        for (std::size_t i = 0; i < urls.size(); ++i) {
            if (history->RecentlyHealthy(urls[i], start)) {
                keep(i, linkcheck::Outcome{});
            } else {
                asked.push_back(urls[i]);
                askedIndex.push_back(static_cast<std::uint32_t>(i));
            }
        }
    }

    AllowConnections(settings.jobs);
    bool finished = false;
    {
        std::optional<ProgressLine> progress;
        if (errIsTerminal) {
            progress.emplace(err);
            settings.tick = [&] { progress->Show(knownCount, urls.size(), found); };
        }
        const InterruptCatcher catcher;
        finished = linkcheck::CheckUrls(
            history ? std::span<const std::string_view>(asked) : urls, settings,
            [&](std::size_t k, const linkcheck::Outcome& result) {
                const std::size_t i = history ? askedIndex[k] : k;
                keep(i, history ? history->Record(urls[i], result, Now()) : result);
            },
            interrupted);
    }

    // Print writes out the control characters of what reaches the terminal: a URL, a server's
    // Location or a file name cannot move the cursor or pass for another line.
    errno = 0;
    LinkReport report(out, json);
    std::unordered_map<std::string, std::string> moved; // the fixable links' new URLs
    for (std::size_t line = 0; line < lineUrl.size(); ++line) {
        const linkcheck::Outcome* result = outcome(lineUrl[line]);
        if (!result || result->verdict == linkcheck::Verdict::Healthy)
            continue;
        const std::string url(urls[lineUrl[line]]);
        report.Add(data, static_cast<long long>(line) + 1, url, *result);
        if (linkcheck::Fixable(*result))
            moved.emplace(url, result->finalUrl);
    }
    // The repair is written only after a whole check, and only over the file as it was read.
    std::optional<Error> unsaved;
    if (table && finished && !moved.empty()) {
        try {
            FixMoved(*table, data, moved, json ? err : out, err);
        } catch (const Error& e) {
            unsaved = e;
        }
    }
    report.End(knownCount);
    const bool written = static_cast<bool>(out.flush());
    const int writeError = errno;
    // Saved after the findings are out, so that a history that cannot be written loses nothing
    // of this run but itself.
    if (history)
        history->Save([&err, &state] {
            err << "qvn-build: 履歴ファイル " << Printable(state->second)
                << " はほかの確認が保存中です。終わるのを待ちます\n";
            err.flush();
        });
    // Findings that did not reach their reader are a failure, as --check's are.
    if (!written)
        throw WriteError(writeError != 0 ? SystemReason(writeError) : "");
    if (unsaved)
        throw *unsaved;
    if (!finished) { // interrupted: Ctrl+C or SIGTERM
        err << "qvn-build: 中断しました: URL " << urls.size() << " 件のうち " << knownCount
            << " 件を確認しました\n";
        return 130;
    }
    return report.Tally().errors > 0 ? 1 : 0;
}

} // namespace qvn::cli
