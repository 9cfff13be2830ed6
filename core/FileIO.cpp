// POSIX file access for the core.
#include "FileIO.h"

#include "Errors.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qvn {
namespace {

constexpr off_t kWritebackStep = off_t{8} << 20;

// Closes a descriptor on every path out of a scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded (it can report a delayed write error).
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

std::string DirName(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links at the end of path to the name that is really written, so saving
// through a link replaces the file it points to and leaves the link in place.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t len = ::readlink(path.c_str(), buf.data(), buf.size());
        if (len < 0 || static_cast<std::size_t>(len) >= buf.size())
            return path;
        std::string target(buf.data(), static_cast<std::size_t>(len));
        path = target.starts_with('/') ? target : DirName(path) + "/" + target;
    }
    return path; // a loop of links: the create below fails on it
}

// Whether an existing file may be written. access() decides for everyone, but root passes it
// even for a file without any write permission: a page made read-only stays as it is for root too.
bool MayWrite(const std::string& path, const struct stat& st) {
    if (::access(path.c_str(), W_OK) != 0)
        return false;
    return ::geteuid() != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

mode_t CurrentUmask() {
    const mode_t mask = ::umask(0); // the only way to read it; single-threaded here
    ::umask(mask);
    return mask;
}

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw WriteError();
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

std::string ReadWholeFile(const FilePath& path) {
    if (!path.Native())
        throw FileError(FileError::Kind::Open, path);
    Fd fd(::open(path.Native()->c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        throw FileError(FileError::Kind::Open, path);

    std::string bytes;
    // The size is a hint (a file may grow while read, or be a pipe): read until end of file.
    std::size_t capacity = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) + 1 : 65536;
    bytes.resize(capacity);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw FileError(FileError::Kind::Open, path);
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

void ReplaceFile(const FilePath& path, const std::function<void(const ByteSink&)>& produce) {
    if (!path.Native() || path.Native()->empty())
        throw FileError(FileError::Kind::Create, path);
    const std::string target = FollowLinks(*path.Native());

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && (!S_ISREG(old.st_mode) || !MayWrite(target, old)))
        throw FileError(FileError::Kind::Create, path);

    std::string temp = DirName(target) + "/." + BaseName(target) + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        throw FileError(FileError::Kind::Create, path);

    try {
        // Writeback to disk starts every few MiB while the page is still being made, so the
        // fsync below has little left to wait for.
        off_t written = 0;
        off_t started = 0;
        produce([&](std::string_view bytes) {
            WriteAll(fd.get(), bytes);
            written += static_cast<off_t>(bytes.size());
            if (written - started >= kWritebackStep) {
                ::sync_file_range(fd.get(), started, written - started, SYNC_FILE_RANGE_WRITE);
                started = written;
            }
        });

        const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
        if (::fchmod(fd.get(), mode) != 0)
            throw FileError(FileError::Kind::Create, path);
        if (exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
            // Root saving another user's page hands it back to its owner; for anyone else this
            // fails harmlessly and the page becomes theirs, as any editor's save would.
            [[maybe_unused]] int ignored = ::fchown(fd.get(), old.st_uid, old.st_gid);
        }
        if (::fsync(fd.get()) != 0 || !fd.Close())
            throw WriteError();
        if (::rename(temp.c_str(), target.c_str()) != 0)
            throw FileError(FileError::Kind::Create, path);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }

    // Make the rename itself durable. The new page is already in place, so a failure here is not
    // reported as a failed save.
    Fd dir(::open(DirName(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

void WriteStream(std::ostream& out, const std::function<void(const ByteSink&)>& produce) {
    produce([&out](std::string_view bytes) {
        if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
            throw WriteError();
    });
    if (!out.flush())
        throw WriteError();
}

} // namespace qvn
