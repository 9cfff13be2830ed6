// POSIX file access for the core: reading files, and replacing a page in one step without
// exposing, losing or leaving anything on the way.
#include "BackgroundWriter.h"
#include "Errors.h"
#include "FileIO.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <locale.h>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <random>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The descriptor that path names when it is one of the process's own (/dev/fd/N,
// /proc/self/fd/N, /proc/PID/fd/N, /proc/thread-self/fd/N, however its folder is spelt); −1 for
// any other name. Such a name is the caller's open file, a terminal, a pipe or a log opened for
// appending: following it to a file and replacing that would be wrong.
int OwnDescriptor(const std::string& path) {
    const std::string base = BaseName(path);
    if (base.empty() || base.size() > 9 || base.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    char* real = ::realpath(DirName(path).c_str(), nullptr);
    if (!real)
        return -1;
    const std::string folder = real;
    std::free(real);
    const std::string self = "/proc/" + std::to_string(::getpid());
    const bool own = folder == self + "/fd" ||
                     (folder.starts_with(self + "/task/") && folder.ends_with("/fd"));
    return own ? std::atoi(base.c_str()) : -1;
}

// Follows symbolic links at the end of path to the name that is really written, so saving
// through a link replaces the file it points to and leaves the link in place. What comes back is
// still a link only for a loop of links (or a chain too long to be anything else). Stops at a name
// of one of the process's descriptors, whose number goes to descriptor (else −1).
std::string FollowLinks(std::string path, int& descriptor) {
    for (int hops = 0; hops < 40; ++hops) {
        if ((descriptor = OwnDescriptor(path)) >= 0)
            return path;
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

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw WriteError(SystemReason(errno));
        if (n == 0)
            throw WriteError();
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Writes produce's blocks to fd on a second thread, calling after(written) once a block is out.
// The writing thread does not take SIGPIPE: a closed pipe fails the write (EPIPE) instead of
// ending the process.
void WriteBlocks(int fd, const std::function<void(const ByteSink&)>& produce,
                 const std::function<void(off_t)>& after) {
    sigset_t pipe, old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe, &old); // the new thread starts with this mask
    off_t written = 0;
    std::optional<BackgroundWriter> writer;
    try {
        writer.emplace([&written, &after, fd](std::string_view bytes) {
            WriteAll(fd, bytes);
            written += static_cast<off_t>(bytes.size());
            after(written);
        });
    } catch (...) {
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
        throw;
    }
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    produce([&writer](std::string& bytes) { writer->Write(bytes); });
    writer->Finish();
}

// --- Clean-up on signals ---

// A named temporary file being written or about to be renamed, for the signal handler: a name in
// the folder held open as dir. The name and folder are in place before active says so; active is
// cleared once the file is gone or renamed. A few saves may run at once, on several threads.
struct TempSlot {
    std::atomic<bool> active{false};
    int dir = -1;
    char name[32] = {};
};
TempSlot g_slots[8];
std::mutex g_slotsMutex; // for claiming a slot; the handler only reads
static_assert(std::atomic<bool>::is_always_lock_free);

std::atomic<bool> g_namedOnly{false};

void RemoveTemporaryFilesAndDie(int signal) {
    const int saved = errno;
    for (TempSlot& slot : g_slots) {
        if (slot.active.load())
            ::unlinkat(slot.dir, slot.name, 0);
    }
    // Ends the process as the signal's own default would: the signal, blocked while this
    // handler runs, arrives again as soon as it returns.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    errno = saved;
}

// The signals whose default action ends the process. A size limit (SIGXFSZ) is left out: it is
// ignored, so that the write fails and is reported instead.
std::vector<int> EndingSignals() {
    std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                                SIGFPE,  SIGUSR1, SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
                                SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGSYS};
#ifdef SIGSTKFLT
    signals.push_back(SIGSTKFLT);
#endif
#ifdef SIGPWR
    signals.push_back(SIGPWR);
#endif
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s)
        signals.push_back(s);
    return signals;
}

// Installs the clean-up for every ending signal that still has its default action, and makes a
// size limit fail the write. Done at every save, so that a program cannot forget it and a
// disposition set back to the default since is covered again; a signal the process ignores or
// handles itself is left to it.
void InstallCleanUp() {
    static const std::vector<int> signals = EndingSignals();
    struct sigaction current {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
        current.sa_handler == SIG_DFL)
        ::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryFilesAndDie;
    sigemptyset(&action.sa_mask);
    for (const int signal : signals) {
        if (::sigaction(signal, nullptr, &current) == 0 && !(current.sa_flags & SA_SIGINFO) &&
            current.sa_handler == SIG_DFL)
            ::sigaction(signal, &action, nullptr);
    }
}

// A named temporary file known to the signal handler while it exists.
class SlotClaim {
public:
    SlotClaim() = default;
    ~SlotClaim() { Clear(); }
    SlotClaim(const SlotClaim&) = delete;
    SlotClaim& operator=(const SlotClaim&) = delete;

    // Makes name in dir known (before the file is made, so that no moment is missed).
    void Set(int dir, const std::string& name) {
        Clear();
        const std::lock_guard lock(g_slotsMutex);
        for (TempSlot& s : g_slots) {
            if (!s.active.load() && name.size() < sizeof s.name) {
                s.dir = dir;
                std::memcpy(s.name, name.c_str(), name.size() + 1);
                s.active.store(true);
                slot_ = &s;
                return;
            }
        }
    }
    // The file is gone or renamed.
    void Clear() {
        if (slot_)
            slot_->active.store(false);
        slot_ = nullptr;
    }

private:
    TempSlot* slot_ = nullptr;
};

// A fresh temporary name, of fixed length, so that a target whose name is as long as the file
// system allows still has one.
std::string TemporaryName() {
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    std::string name = ".qvn-";
    for (int i = 0; i < 8; ++i)
        name += kChars[pick(random)];
    return name;
}

// --- The old page's properties ---

// Attributes that a save must not lose: if they cannot be copied, the old page stays. The
// others (security.*, trusted.*) are the system's to give, and are copied where it lets us.
bool MustKeep(std::string_view name) {
    return name.starts_with("user.") || name == "system.posix_acl_access";
}

// Copies every extended attribute of the file at from, its access control list included, to the
// file open as to. Returns 0, or the error number of an attribute that must be kept.
int CopyAttributes(const std::string& from, int to) {
    std::vector<char> names(256);
    ssize_t size;
    while ((size = ::llistxattr(from.c_str(), names.data(), names.size())) < 0 && errno == ERANGE)
        names.resize(names.size() * 4);
    if (size < 0)
        return errno == ENOTSUP ? 0 : errno;
    bool acl = false;
    std::vector<char> value(256);
    for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(&names[at])) + 1) {
        const char* name = &names[at];
        ssize_t length;
        while ((length = ::lgetxattr(from.c_str(), name, value.data(), value.size())) < 0 &&
               errno == ERANGE)
            value.resize(value.size() * 4);
        const bool keep = MustKeep(name);
        if (length < 0 || ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(length), 0) != 0) {
            if (keep)
                return errno;
            continue;
        }
        acl = acl || std::string_view(name) == "system.posix_acl_access";
    }
    // A folder's default list may have given the new file a list that the old one did not have.
    if (!acl)
        ::fremovexattr(to, "system.posix_acl_access");
    return 0;
}

// Gives the new file (still empty) the old file's owner, group, attributes and mode. Owner and
// group first, as a change of owner clears the set-user-ID bit; the mode last, as the mode's
// group bits are the list's mask. Root saving another user's page hands it back to its owner;
// anyone else keeps the group where they belong to it, and the page becomes theirs.
int TakeOver(int fd, const std::string& old, const struct stat& st) {
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
            [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
        }
    }
    if (const int error = CopyAttributes(old, fd))
        return error;
    return ::fchmod(fd, st.st_mode & 07777) == 0 ? 0 : errno;
}

// An unnamed new file in the folder, or −1 when the file system has none (errno EOPNOTSUPP and
// the like) or it could not be given a name later.
int CreateUnnamed(int dir, mode_t mode) {
    if (g_namedOnly.load()) {
        errno = EOPNOTSUPP;
        return -1;
    }
    const int fd = ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0)
        return -1;
    // It is named through its /proc link; without /proc only a privileged process can name it.
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    if (::access(link.c_str(), F_OK) != 0 && ::geteuid() != 0) {
        ::close(fd);
        errno = EOPNOTSUPP;
        return -1;
    }
    return fd;
}

bool LinkUnnamed(int fd, int dir, const std::string& name) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, link.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return true;
    return errno == ENOENT && ::linkat(fd, "", dir, name.c_str(), AT_EMPTY_PATH) == 0;
}

// The page through one of the process's descriptors, as to a stream: from where the descriptor
// stands, nothing truncated, nothing synced.
void WriteToDescriptor(int fd, const FilePath& path,
                       const std::function<void(const ByteSink&)>& produce) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0)
        throw FileError(FileError::Kind::Create, path, SystemReason(errno));
    if ((flags & O_ACCMODE) == O_RDONLY)
        throw FileError(FileError::Kind::Create, path, SystemReason(EBADF));
    WriteBlocks(fd, produce, [](off_t) {});
}

} // namespace

std::string SystemReason(int error) {
    // The user's language for messages, in UTF-8 whatever the locale's own character set, and
    // without touching the program's locale.
    static const locale_t messages = [] {
        const locale_t user = ::newlocale(LC_MESSAGES_MASK, "", locale_t{});
        if (!user)
            return locale_t{};
        const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", user);
        return utf8 ? utf8 : user;
    }();
    return messages ? ::strerror_l(error, messages) : std::strerror(error);
}

void UseNamedTemporaryFiles(bool named) {
    g_namedOnly.store(named);
}

InputFile::InputFile(const FilePath& path) : path_(path), handle_(-1) {
    if (!path.Native())
        throw FileError(FileError::Kind::Open, path);
    const auto fail = [&path](int error) {
        return FileError(FileError::Kind::Open, path, SystemReason(error));
    };
    Fd fd(::open(path.Native()->c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
        throw fail(errno);
    if (S_ISDIR(st.st_mode))
        throw fail(EISDIR);
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
            throw FileError(FileError::Kind::Open, path_, SystemReason(errno));
    }
}

void ReplaceFile(const FilePath& path, const std::function<void(const ByteSink&)>& produce) {
    if (!path.Native())
        throw FileError(FileError::Kind::Create, path);
    const auto fail = [&path](int error) {
        return FileError(FileError::Kind::Create, path, SystemReason(error));
    };
    if (path.Native()->empty())
        throw fail(ENOENT);
    InstallCleanUp();

    int own = -1;
    const std::string target = FollowLinks(*path.Native(), own);
    if (own >= 0)
        return WriteToDescriptor(own, path, produce);

    // The folder is held open: every step below happens in it, even if it is renamed meanwhile.
    const std::string name = BaseName(target);
    const Fd dir(::open(DirName(target).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        throw fail(errno);
    struct stat old {};
    const bool exists = ::fstatat(dir.get(), name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        throw fail(errno);
    if (exists) {
        // A link here is a loop of links: renaming over it would replace a link by the page.
        if (S_ISLNK(old.st_mode))
            throw fail(ELOOP);
        if (S_ISDIR(old.st_mode))
            throw fail(EISDIR);
        if (!S_ISREG(old.st_mode))
            throw FileError(FileError::Kind::Create, path);
        // access() decides for everyone, but root passes it even for a file without any write
        // permission: a page made read-only stays as it is for root too.
        if (::faccessat(dir.get(), name.c_str(), W_OK, 0) != 0)
            throw fail(errno);
        if (::geteuid() == 0 && (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throw fail(EACCES);
    }

    // An existing page's new contents are never readable by more than the owner on the way: the
    // file is made for the owner alone and given the old page's properties before any byte.
    const mode_t mode = exists ? S_IRUSR | S_IWUSR : 0666;
    SlotClaim claim;
    std::string temp; // the name while the file has one of its own
    int made = CreateUnnamed(dir.get(), mode);
    const bool unnamed = made >= 0;
    if (!unnamed) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            throw fail(errno);
        for (int attempt = 0; attempt < 100 && made < 0; ++attempt) {
            temp = TemporaryName();
            claim.Set(dir.get(), temp);
            made = ::openat(dir.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (made < 0) {
                const int error = errno;
                claim.Clear();
                temp.clear();
                if (error != EEXIST)
                    throw fail(error);
            }
        }
        if (made < 0)
            throw fail(EEXIST);
    }
    Fd fd(made);

    try {
        if (exists) {
            if (const int error = TakeOver(fd.get(), target, old))
                throw fail(error);
        }
        // Write-back to disk starts every few MiB while the file is still being made, so that
        // the closing fsync has little left to wait for.
        off_t started = 0;
        WriteBlocks(fd.get(), produce, [&started, fd = fd.get()](off_t written) {
            if (written - started >= kWritebackStep) {
                ::sync_file_range(fd, started, written - started, SYNC_FILE_RANGE_WRITE);
                started = written;
            }
        });
        if (::fsync(fd.get()) != 0)
            throw WriteError(SystemReason(errno));

        if (unnamed) {
            // A new page takes its name at once; an existing one (or one that appeared
            // meanwhile) is replaced through a temporary name, which the rename takes away again.
            const bool placed = !exists && LinkUnnamed(fd.get(), dir.get(), name);
            if (!placed && !exists && errno != EEXIST)
                throw fail(errno);
            for (int attempt = 0; !placed && attempt < 100 && temp.empty(); ++attempt) {
                const std::string candidate = TemporaryName();
                claim.Set(dir.get(), candidate);
                if (LinkUnnamed(fd.get(), dir.get(), candidate)) {
                    temp = candidate;
                    break;
                }
                const int error = errno;
                claim.Clear();
                if (error != EEXIST)
                    throw fail(error);
            }
            if (!placed && temp.empty())
                throw fail(EEXIST);
        }
        // A new page already has its name and its synced contents: a late error of the close
        // changes nothing of that.
        if (!fd.Close() && !(unnamed && temp.empty()))
            throw WriteError(SystemReason(errno));
        if (!temp.empty() && ::renameat(dir.get(), temp.c_str(), dir.get(), name.c_str()) != 0)
            throw fail(errno);
        claim.Clear();
    } catch (...) {
        if (!temp.empty())
            ::unlinkat(dir.get(), temp.c_str(), 0);
        throw;
    }

    // Make the new name durable. The new page is already in place, so a failure here (the
    // folder cannot be read, or synced) is not reported as a failed save.
    const Fd sync(::openat(dir.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ::fsync(sync.get());
}

} // namespace qvn
