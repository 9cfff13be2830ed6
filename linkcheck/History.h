// The link check's memory between runs, kept in a small text file: when each URL last answered
// well, since when it has been failing, and the title of its page. It spares the servers a
// request for a link found healthy within a day, keeps one bad day from calling a site dead, and
// sees a site that has become another one. URLs are kept without their passwords. The link list
// window, which keeps no file, remembers titles for as long as it runs (TitleMemory).
#pragma once

#include "LinkCheck.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qvn::linkcheck {

class History {
public:
    static constexpr std::int64_t kFresh = 24 * 3600;   // seconds a healthy answer is trusted
    static constexpr std::int64_t kConfirm = 20 * 3600; // seconds between two failures that
                                                        // make a link dead

    // Reads the history from path; a file that does not exist yet is an empty history. Throws
    // when the file cannot be read or is not such a history (it is never overwritten then).
    explicit History(std::string path);

    // Whether url answered well less than a day before now (seconds since 1970).
    bool RecentlyHealthy(std::string_view url, std::int64_t now) const;

    // Takes this run's outcome for url into its history and returns what to report: a dead link
    // is Suspect until it failed again at least kConfirm after its first failure; a page whose
    // title shares nothing with the one remembered is Changed (RememberTitle).
    Outcome Record(std::string_view url, Outcome outcome, std::int64_t now);

    // Replaces the file by the history: the URLs recorded by this run as they are here, every
    // other URL as the file holds it when it is saved, so that a check run meanwhile with the same
    // file keeps what it saved. The file is locked from that reading to its replacement; when
    // another check holds the lock, waiting() is called before this one waits for it.
    void Save(const std::function<void()>& waiting = {});

private:
    struct Entry {
        std::int64_t healthy = 0; // the last healthy answer, 0 for none
        std::int64_t failing = 0; // the first failure since then, 0 for none
        std::string title;        // of the page when it last answered with one
        bool recorded = false;    // by this run
    };
    // Reads the file's entries into entries_, leaving those this run recorded as they are.
    void Read();

    std::string path_;
    std::map<std::string, Entry> entries_;
};

// The titles of the URLs checked, in memory: what the link list window remembers between its
// checks.
class TitleMemory {
public:
    // RememberTitle with the title remembered for url.
    Outcome Record(std::string_view url, Outcome outcome);

private:
    std::unordered_map<std::string, std::string> titles_;
};

// Takes the title of an answering page (a healthy or moved link) as the one remembered, and turns
// the outcome into Changed, naming both titles, when the one remembered before shares nothing
// with it (SharesNothing). A page without a title, or a first title, changes nothing: the change
// is reported once, and the new title is the site's from then on.
Outcome RememberTitle(std::string& remembered, Outcome outcome);

} // namespace qvn::linkcheck
