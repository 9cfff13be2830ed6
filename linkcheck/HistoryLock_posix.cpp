// The history's lock on Linux: flock on the file itself. A save puts a new file in the old one's
// place, so a process that waited on the old file takes the lock again on the one now there.
#include "HistoryLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvn::linkcheck {
namespace {

// The file at path, opened for its lock only; made for its owner alone when missing.
int OpenOrCreate(const std::string& path) {
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        const int made =
            ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (made >= 0) {
            ::fchmod(made, S_IRUSR | S_IWUSR); // the umask may have taken the owner's bits
            return made;
        }
        if (errno != EEXIST)
            return -1;
    }
}

bool Lock(int fd, const std::function<void()>& waiting) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    if (errno != EWOULDBLOCK)
        return false;
    if (waiting)
        waiting();
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

} // namespace

HistoryLock::HistoryLock(const std::string& path, const std::function<void()>& waiting) {
    for (;;) {
        const int fd = OpenOrCreate(path);
        struct stat held {};
        if (fd < 0)
            return;
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || !Lock(fd, waiting)) {
            ::close(fd);
            return;
        }
        // The lock holds only if the file is still the one at the name (not replaced by the
        // save this one waited for).
        struct stat now {};
        if (::stat(path.c_str(), &now) == 0 && now.st_dev == held.st_dev &&
            now.st_ino == held.st_ino) {
            handle_ = fd;
            return;
        }
        ::close(fd);
    }
}

HistoryLock::~HistoryLock() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

} // namespace qvn::linkcheck
