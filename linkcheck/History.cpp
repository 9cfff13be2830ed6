// The history file: a comment line, then one line a URL, "HEALTHY FAILING URL", the two times
// in seconds since 1970 (0 for never) and the URL's bytes to the end of the line, or to a tab
// followed by the page's title. A URL the check asks holds no tab (curl refuses one), and a title
// kept has its spaces folded: neither holds a tab or a line break.
#include "History.h"

#include "FileIO.h"
#include "FilePath.h"
#include "Health.h"
#include "HistoryLock.h"
#include "Url.h"

#include <charconv>
#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace qvn::linkcheck {
namespace {

constexpr std::string_view kHeader =
    "# Quorvane link check history: last healthy answer, first failure since (seconds since "
    "1970, 0 for none), URL, then a tab and the page's title when it has one\n";

bool ReadNumber(std::string_view& line, std::int64_t& number) {
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), number);
    if (ec != std::errc() || end == line.data() + line.size() || *end != ' ' || number < 0)
        return false;
    line.remove_prefix(static_cast<std::size_t>(end - line.data()) + 1);
    return true;
}

std::string Hours(std::int64_t seconds) {
    return std::to_string(seconds / 3600) + " 時間";
}

} // namespace

History::History(std::string path) : path_(std::move(path)) {
    Read();
}

void History::Read() {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::path(path_), ec) && !ec)
        return;
    InputFile file(FilePath::FromNative(path_));
    std::string text;
    char block[1 << 16];
    while (const std::size_t n = file.Read(block, sizeof block))
        text.append(block, n);
    std::string_view rest = text;
    long long number = 0;
    while (!rest.empty()) {
        ++number;
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == rest.npos ? rest.size() : end + 1);
        if (line.starts_with('#') || line.empty())
            continue;
        Entry entry;
        if (!ReadNumber(line, entry.healthy) || !ReadNumber(line, entry.failing) || line.empty())
            throw std::runtime_error("履歴ファイル " + path_ + " の " + std::to_string(number) +
                                     " 行目が読めません: 時刻 2 つと URL の行ではありません");
        const std::size_t tab = line.find('\t');
        if (tab != std::string_view::npos) {
            entry.title = line.substr(tab + 1);
            line = line.substr(0, tab);
        }
        // A password kept by an older version goes at the next save.
        Entry& kept = entries_[WithoutPassword(line)];
        if (!kept.recorded)
            kept = entry;
    }
}

bool History::RecentlyHealthy(std::string_view url, std::int64_t now) const {
    const auto it = entries_.find(WithoutPassword(url));
    return it != entries_.end() && it->second.healthy > 0 && it->second.failing == 0 &&
           now - it->second.healthy < kFresh && now >= it->second.healthy;
}

Outcome History::Record(std::string_view url, Outcome outcome, std::int64_t now) {
    const std::string key = WithoutPassword(url);
    switch (outcome.verdict) {
    case Verdict::Healthy:
    case Verdict::Changed: {
        Entry& entry = entries_[key];
        outcome = RememberTitle(entry.title, std::move(outcome));
        entry.healthy = now;
        entry.failing = 0;
        entry.recorded = true;
        break;
    }
    case Verdict::Moved: {
        // It answers, elsewhere: no longer failing, but asked again next time for the warning.
        Entry& entry = entries_[key];
        outcome = RememberTitle(entry.title, std::move(outcome));
        entry.failing = 0;
        entry.recorded = true;
        break;
    }
    case Verdict::Unverified:
    case Verdict::Suspect:
    case Verdict::Parked: // the site's own title stays, should it come back
    case Verdict::Soft404:
        break;
    case Verdict::Dead: {
        Entry& entry = entries_[key];
        entry.recorded = true;
        if (entry.failing == 0 || entry.failing > now) {
            entry.failing = now;
            outcome.verdict = Verdict::Suspect;
            outcome.reason += ", 初めての失敗";
        } else if (now - entry.failing < kConfirm) {
            outcome.verdict = Verdict::Suspect;
            outcome.reason += ", 最初の失敗から " + Hours(now - entry.failing);
        } else {
            outcome.reason += ", 最初の失敗から " + Hours(now - entry.failing);
        }
        break;
    }
    }
    return outcome;
}

void History::Save(const std::function<void()>& waiting) {
    const HistoryLock lock(path_, waiting);
    Read();
    std::string text(kHeader);
    for (const auto& [url, entry] : entries_)
        text += std::to_string(entry.healthy) + " " + std::to_string(entry.failing) + " " + url +
                (entry.title.empty() ? "" : "\t" + entry.title) + "\n";
    ReplaceFile(FilePath::FromNative(path_), [&text](const ByteSink& sink) { sink(text); });
}

Outcome TitleMemory::Record(std::string_view url, Outcome outcome) {
    if (outcome.verdict != Verdict::Healthy && outcome.verdict != Verdict::Moved)
        return outcome;
    return RememberTitle(titles_[WithoutPassword(url)], std::move(outcome));
}

Outcome RememberTitle(std::string& remembered, Outcome outcome) {
    if (outcome.title.empty())
        return outcome;
    if (!remembered.empty() && SharesNothing(remembered, outcome.title)) {
        outcome.verdict = Verdict::Changed;
        outcome.reason = "題名「" + remembered + "」→「" + outcome.title + "」";
    }
    remembered = outcome.title;
    return outcome;
}

} // namespace qvn::linkcheck
