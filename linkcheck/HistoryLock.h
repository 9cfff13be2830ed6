// The lock that lets two link checks share one history file: each holds it while it reads the
// file again, merges its own entries in and replaces it, so that neither drops what the other
// wrote.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qvn::linkcheck {

class HistoryLock {
public:
    // Locks the history file at path, creating it empty (for its owner alone on Linux, whatever the
    // umask) when there is none yet. Calls waiting() once when another process holds the lock,
    // then waits for it. Where the lock cannot be had (no file can be made there, a file system
    // without locks) it holds nothing, and the save that follows reports what is wrong.
    HistoryLock(const std::string& path, const std::function<void()>& waiting);
    ~HistoryLock();
    HistoryLock(const HistoryLock&) = delete;
    HistoryLock& operator=(const HistoryLock&) = delete;

private:
    std::intptr_t handle_ = -1;
};

} // namespace qvn::linkcheck
