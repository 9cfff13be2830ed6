// qvn-build --check-links: reads the link data as a build does, asks about each distinct URL once,
// and reports every line whose link is not healthy, in the order of the lines. Ctrl+C ends the
// check early and still prints what was found (on Windows Ctrl+Break too).
#include "CheckLinks.h"

#include "Findings.h"
#include "History.h"
#include "LinkCheck.h"
#include "UInCSV.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <unordered_map>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
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

} // namespace

int CheckLinks(const Options& options, std::ostream& out, std::ostream& err) {
    const std::string& data = options.values.at("data");
    // Every line's URL, by the build's own reading of the data; each distinct URL once.
    std::vector<std::string> urls;
    std::vector<std::size_t> lineUrl; // by line number - 1: the index in urls
    {
        std::unordered_map<std::string, std::size_t> seen;
        LinkReader reader(FilePath::FromNative(data));
        TLinkRecord record;
        while (reader.Next(record)) {
            const std::string url(record[kURL]);
            const auto [it, fresh] = seen.emplace(url, urls.size());
            if (fresh)
                urls.push_back(url);
            lineUrl.push_back(it->second);
        }
    }

    std::optional<linkcheck::History> history;
    if (const auto state = options.values.find("state"); state != options.values.end())
        history.emplace(state->second);

    linkcheck::Settings settings;
    if (const auto jobs = options.values.find("jobs"); jobs != options.values.end())
        settings.jobs = std::stoi(jobs->second);
    if (const auto timeout = options.values.find("timeout"); timeout != options.values.end())
        settings.timeout = std::chrono::milliseconds(
            static_cast<long long>(std::stod(timeout->second) * 1000 + 0.5));
    if (const auto resolve = options.lists.find("resolve"); resolve != options.lists.end())
        settings.resolve = resolve->second;

    // A link found healthy within a day is not asked again.
    const std::int64_t start = Now();
    std::vector<std::optional<linkcheck::Outcome>> outcomes(urls.size());
    std::vector<std::string> asked;
    std::vector<std::size_t> askedIndex;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        if (history && history->RecentlyHealthy(urls[i], start)) {
            outcomes[i] = linkcheck::Outcome{};
        } else {
            asked.push_back(urls[i]);
            askedIndex.push_back(i);
        }
    }

    AllowConnections(settings.jobs);
    bool finished = false;
    {
        const InterruptCatcher catcher;
        finished = linkcheck::CheckUrls(
            asked, settings,
            [&](std::size_t k, const linkcheck::Outcome& outcome) {
                const std::size_t i = askedIndex[k];
                outcomes[i] = history ? history->Record(urls[i], outcome, Now()) : outcome;
            },
            interrupted);
    }

    Counts counts;
    for (std::size_t line = 0; line < lineUrl.size(); ++line) {
        const std::size_t i = lineUrl[line];
        if (!outcomes[i] || outcomes[i]->verdict == linkcheck::Verdict::Healthy)
            continue;
        const Finding finding =
            linkcheck::FindingOf(data, static_cast<long long>(line) + 1, urls[i], *outcomes[i]);
        counts.Add(finding.severity);
        Print(out, finding);
    }
    if (counts.Total() > 0)
        out << Summary(counts) << "\n";
    out.flush();
    // Saved after the findings are out, so that a history that cannot be written loses nothing
    // of this run but itself.
    if (history)
        history->Save();
    if (!finished) { // interrupted: Ctrl+C or SIGTERM
        std::size_t known = 0;
        for (const auto& outcome : outcomes)
            known += outcome.has_value();
        err << "qvn-build: 中断しました: URL " << urls.size() << " 件のうち " << known
            << " 件を確認しました\n";
        return 130;
    }
    return counts.errors > 0 ? 1 : 0;
}

} // namespace qvn::cli
