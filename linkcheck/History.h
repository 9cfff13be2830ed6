// The link check's memory between runs, kept in a small text file: when each URL last answered
// well, and since when it has been failing. It spares the servers a request for a link found
// healthy within a day, and keeps one bad day from calling a site dead. URLs are kept without
// their passwords.
#pragma once

#include "LinkCheck.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

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
    // is Suspect until it failed again at least kConfirm after its first failure.
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
        bool recorded = false;    // by this run
    };
    // Reads the file's entries into entries_, leaving those this run recorded as they are.
    void Read();

    std::string path_;
    std::map<std::string, Entry> entries_;
};

} // namespace qvn::linkcheck
