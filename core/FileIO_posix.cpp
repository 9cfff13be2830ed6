// POSIX file access for the core.
#include "BackgroundWriter.h"
#include "Errors.h"
#include "FileIO.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
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
    // Gives the descriptor up without closing it.
    void Release() { fd_ = -1; }
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

// Follows symbolic links at the end of path to the name that is really written, so saving
// through a link replaces the file it points to and leaves the link in place. What comes back is
// still a link only for a loop of links (or a chain too long to be anything else).
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
    return path;
}

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Whether an existing file may be written. access() decides for everyone, but root passes it
// even for a file without any write permission: a page made read-only stays as it is for root too.
bool MayWrite(const std::string& path, const struct stat& st) {
    if (::access(path.c_str(), W_OK) != 0)
        return false;
    return ::geteuid() != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
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

// The temporary file being written, for the interrupt handler: its name is in place before the
// flag says so, and the flag is cleared only once the file is gone or renamed.
char g_tempName[PATH_MAX];
volatile std::sig_atomic_t g_tempActive = 0;

void RemoveTemporaryFileAndDie(int signal) {
    if (g_tempActive)
        ::unlink(g_tempName);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// A new temporary file in folder, created with the mode the umask leaves of 0666, under a name of
// fixed length, so that a target whose name is as long as the file system allows still has one.
// The descriptor, or −1 with the name of the last try.
int CreateTemporary(const std::string& folder, std::string& name) {
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.qvn-";
        for (int i = 0; i < 8; ++i)
            name += kChars[pick(random)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 && name.size() < sizeof g_tempName) {
            std::memcpy(g_tempName, name.c_str(), name.size() + 1);
            std::atomic_signal_fence(std::memory_order_seq_cst);
            g_tempActive = 1;
        }
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

InputFile::InputFile(const FilePath& path) : path_(path), handle_(-1) {
    if (!path.Native())
        throw FileError(FileError::Kind::Open, path);
    Fd fd(::open(path.Native()->c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        throw FileError(FileError::Kind::Open, path);
    if (S_ISREG(st.st_mode)) {
        sizeHint_ = static_cast<std::size_t>(st.st_size);
        ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    handle_ = fd.get();
    fd.Release();
}

InputFile::~InputFile() {
    ::close(static_cast<int>(handle_));
}

std::size_t InputFile::Read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            throw FileError(FileError::Kind::Open, path_);
    }
}

void ReplaceFile(const FilePath& path, const std::function<void(const ByteSink&)>& produce) {
    if (!path.Native() || path.Native()->empty())
        throw FileError(FileError::Kind::Create, path);
    const std::string target = FollowLinks(*path.Native());
    if (IsLink(target)) // a loop: renaming over it would replace a link by the page
        throw FileError(FileError::Kind::Create, path);

    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && (!S_ISREG(old.st_mode) || !MayWrite(target, old)))
        throw FileError(FileError::Kind::Create, path);

    std::string temp;
    Fd fd(CreateTemporary(DirName(target), temp));
    if (fd.get() < 0)
        throw FileError(FileError::Kind::Create, path);

    try {
        {
            // Write-back to disk starts every few MiB while the file is still being made, so
            // that the closing fsync has little left to wait for.
            off_t written = 0;
            off_t started = 0;
            BackgroundWriter writer([&written, &started, fd = fd.get()](std::string_view bytes) {
                WriteAll(fd, bytes);
                written += static_cast<off_t>(bytes.size());
                if (written - started >= kWritebackStep) {
                    ::sync_file_range(fd, started, written - started, SYNC_FILE_RANGE_WRITE);
                    started = written;
                }
            });
            produce([&writer](std::string& bytes) { writer.Write(bytes); });
            writer.Finish();
        }

        if (exists) {
            if (::fchmod(fd.get(), old.st_mode & 07777) != 0)
                throw FileError(FileError::Kind::Create, path);
            if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
                // Root saving another user's page hands it back to its owner; for anyone else
                // this fails harmlessly and the page becomes theirs, as any editor's save would.
                [[maybe_unused]] int ignored = ::fchown(fd.get(), old.st_uid, old.st_gid);
            }
        }
        if (::fsync(fd.get()) != 0 || !fd.Close())
            throw WriteError();
        if (::rename(temp.c_str(), target.c_str()) != 0)
            throw FileError(FileError::Kind::Create, path);
        g_tempActive = 0;
    } catch (...) {
        ::unlink(temp.c_str());
        g_tempActive = 0;
        throw;
    }

    // Make the rename itself durable. The new page is already in place, so a failure here (the
    // folder cannot be opened, or synced) is not reported as a failed save.
    const Fd dir(::open(DirName(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ::fsync(dir.get());
}

void RemoveTemporaryFilesOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryFileAndDie;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the process was started ignoring (as a background job ignores SIGINT) stays
        // ignored.
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
}

} // namespace qvn
