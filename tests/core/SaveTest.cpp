// Saving replaces the page atomically: whatever fails, the previous page is left exactly as it was.
#include "ChildProcess.h"
#include "Codec.h"
#include "Errors.h"
#include "FileIO.h"
#include "Lines.h"
#include "TempDir.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <tuple>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// windows.h names ReplaceFileW ReplaceFile too; here ReplaceFile is the core's.
#undef ReplaceFile
#else
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

using namespace qvn;
using qvn::test::AsPath;
using qvn::test::TempDir;
namespace test = qvn::test;
namespace fs = std::filesystem;

namespace {

// A page's lines, saved as a build saves a page: through ReplaceFile, a block at a time.
struct TestPage {
    std::vector<std::string> lines;

    void SaveToFile(const FilePath& path) const {
        ReplaceFile(path, [this](const ByteSink& sink) {
            CrLfWriter writer(sink);
            for (const std::string& line : lines)
                writer.Line(line);
            writer.Flush();
        });
    }
};

TestPage Page(std::size_t lines) {
    TestPage page;
    for (std::size_t i = 0; i < lines; ++i)
        page.lines.push_back("<li><a href=\"https://example.com/" + std::to_string(i) +
                             "\">site</a></li>");
    return page;
}

// The bytes a page is saved as.
std::string SavedBytes(const TestPage& page) {
    std::string bytes;
    for (const std::string& line : page.lines)
        bytes += line + "\r\n";
    return bytes;
}

std::string CreateMessage(const std::string& path) {
    return "ファイル " + path + " を作成できません";
}

#ifndef _WIN32
// Makes writes past `bytes` fail as on a full disk: with SIGXFSZ ignored, write() returns EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};
#endif

void ExpectCreateFailure(const TestPage& page, const std::string& path) {
    try {
        page.SaveToFile(AsPath(path));
        ADD_FAILURE() << "saved " << path;
    } catch (const FileError& e) {
        EXPECT_EQ(e.GetKind(), FileError::Kind::Create);
        EXPECT_EQ(e.Message(), CreateMessage(path));
    }
}

} // namespace

// A page written to a stream (qvn-build's standard output) that fails names the system's reason
// when the failed write left one, and none, rather than a stale one, when it did not.
TEST(StreamSave, AFailedWriteNamesItsOwnReasonOrNone) {
    // Fails every write, or takes the writes and fails the flush.
    struct Failing : std::streambuf {
        int error;
        bool atFlush;
        Failing(int e, bool f) : error(e), atFlush(f) {}
        std::streamsize xsputn(const char*, std::streamsize n) override {
            return atFlush ? n : Fail();
        }
        int_type overflow(int_type c) override { return atFlush ? c : Fail(); }
        int sync() override { return atFlush ? Fail() : 0; }
        int Fail() const {
            if (error != 0)
                errno = error;
            return -1;
        }
    };
    for (const bool atFlush : {false, true}) {
        for (const int error : {ENOSPC, 0}) {
            Failing buffer(error, atFlush);
            std::ostream out(&buffer);
            errno = EACCES; // left over from something earlier
            try {
                WriteStream(out, [](const ByteSink& sink) {
                    std::string bytes = "page\r\n";
                    sink(bytes);
                });
                ADD_FAILURE() << "a failed write was taken for a written page";
            } catch (const WriteError& e) {
                EXPECT_EQ(e.Reason(), error != 0 ? SystemReason(error) : std::string())
                    << error << (atFlush ? " at the flush" : "");
            }
        }
    }
}

#ifndef _WIN32
TEST(AtomicSave, WriteFailingMidwayKeepsTheOldPageAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string old = "<p>the good page</p>\r\n";
    const std::string path = dir.Write("links.html", old);
    const TestPage big = Page(200000); // about 12 MB, far past the limit
    {
        FileSizeLimit limit(1 << 20);
        try {
            big.SaveToFile(AsPath(path));
            FAIL() << "a write past the size limit was reported as saved";
        } catch (const WriteError& e) {
            EXPECT_EQ(e.Message(), "ストリームへの書き込みエラー");
        }
    }
    EXPECT_EQ(dir.Read("links.html"), old);
    EXPECT_EQ(dir.EntryCount(), 1);
    // The same page saves once the disk has room again.
    big.SaveToFile(AsPath(path));
    EXPECT_EQ(dir.Read("links.html"), SavedBytes(big));
}
#endif

TEST(AtomicSave, TargetsThatCannotBeWrittenChangeNothing) {
    TempDir dir;
    const TestPage page = Page(3);
    ExpectCreateFailure(page, dir.Path("no/such/folder/page.html"));
    ExpectCreateFailure(page, dir.Dir());
    ExpectCreateFailure(page, "");

    const std::string readOnly = dir.Write("ro.html", "keep\r\n");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
    ExpectCreateFailure(page, readOnly); // refused by its mode bits (on Windows its read-only
                                         // attribute), even when run as root
    EXPECT_EQ(dir.Read("ro.html"), "keep\r\n");
    EXPECT_EQ(dir.EntryCount(), 1);
}

TEST(AtomicSave, NamesAreTheFileSystemsOwn) {
    TempDir dir;
    const TestPage page{{"x"}};
    page.SaveToFile(AsPath(dir.Dir() + "/リンク集😀.html"));
    EXPECT_EQ(dir.Read("リンク集😀.html"), "x\r\n");
    EXPECT_EQ(dir.EntryCount(), 1);
}

#ifdef _WIN32
// Windows' own refusals: the read-only attribute, and a page that another program holds open
// without letting it be replaced (as a viewer may).
TEST(AtomicSave, ReadOnlyOrOpenPagesChangeNothing) {
    TempDir dir;
    const TestPage page = Page(3);
    const std::string readOnly = dir.Write("ro.html", "keep\r\n");
    const std::wstring readOnlyName = test::NativePath(readOnly).wstring();
    ASSERT_TRUE(SetFileAttributesW(readOnlyName.c_str(), FILE_ATTRIBUTE_READONLY));
    ExpectCreateFailure(page, readOnly);
    EXPECT_EQ(dir.Read("ro.html"), "keep\r\n");
    EXPECT_NE(GetFileAttributesW(readOnlyName.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

    const std::string open = dir.Write("open.html", "keep\r\n");
    const HANDLE viewer = CreateFileW(test::NativePath(open).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    ExpectCreateFailure(page, open);
    CloseHandle(viewer);
    EXPECT_EQ(dir.Read("open.html"), "keep\r\n");
    EXPECT_EQ(dir.EntryCount(), 2);
    // Closed, it is replaced.
    page.SaveToFile(AsPath(open));
    EXPECT_EQ(dir.Read("open.html"), SavedBytes(page));
}
#else
TEST(AtomicSave, KeepsPermissionsAndWritesThroughLinks) {
    TempDir dir;
    const std::string target = dir.Write("real.html", "old\r\n");
    fs::permissions(target,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    fs::create_symlink("real.html", dir.Path("link.html"));

    TestPage page;
    page.lines.push_back("new");
    page.SaveToFile(AsPath(dir.Path("link.html")));

    EXPECT_TRUE(fs::is_symlink(dir.Path("link.html")));
    EXPECT_EQ(dir.Read("real.html"), "new\r\n");
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
    EXPECT_EQ(dir.EntryCount(), 2);
}

TEST(AtomicSave, NewFilesFollowTheUmask) {
    TempDir dir;
    const mode_t old = umask(027);
    TestPage page;
    page.lines.push_back("x");
    page.SaveToFile(AsPath(dir.Path("new.html")));
    umask(old);
    struct stat st {};
    ASSERT_EQ(stat(dir.Path("new.html").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicSave, RootSavingAnotherUsersPageLeavesItTheirs) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    TempDir dir;
    // Another owner, another group, or both: each stays as it was.
    const std::pair<uid_t, gid_t> owners[] = {{65534, 65534}, {65534, 0}, {0, 65534}};
    for (const auto& [uid, gid] : owners) {
        SCOPED_TRACE(std::to_string(uid) + ":" + std::to_string(gid));
        const std::string path = dir.Write("theirs.html", "old\r\n");
        ASSERT_EQ(chown(path.c_str(), uid, gid), 0);
        fs::permissions(path,
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        TestPage page;
        page.lines.push_back("new");
        page.SaveToFile(AsPath(path)); // writable for its owner: root may replace it
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(dir.Read("theirs.html"), "new\r\n");
        EXPECT_EQ(st.st_uid, uid);
        EXPECT_EQ(st.st_gid, gid);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
    }
}
#endif

#ifndef _WIN32
namespace {

// Files open in this process that lie in folder (or did: a file without a name shows as
// "#inode (deleted)"), as the save's new page while it is written.
std::vector<std::string> OpenFilesIn(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
        const std::string target = fs::read_symlink(entry.path(), ec).string();
        if (target.starts_with(folder + "/"))
            found.push_back(entry.path().string());
    }
    return found;
}

// The bytes of attribute name of path, or nullopt when it has none.
std::optional<std::string> Attribute(const std::string& path, const char* name) {
    std::string value(4096, '\0');
    const ssize_t n = getxattr(path.c_str(), name, value.data(), value.size());
    if (n < 0)
        return std::nullopt;
    value.resize(static_cast<std::size_t>(n));
    return value;
}

// An access control list as the kernel takes it: version 2, then entries of tag, permissions and
// id, in the order of their tags.
std::string
AccessList(std::initializer_list<std::tuple<std::uint16_t, std::uint16_t, std::uint32_t>> entries) {
    std::string bytes;
    const auto put = [&bytes](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(2, 4);
    for (const auto& [tag, perm, id] : entries) {
        put(tag, 2);
        put(perm, 2);
        put(id, 4);
    }
    return bytes;
}

} // namespace

TEST(AtomicSave, NewContentsAreReadableByNoMoreThanTheOldPageFromTheStart) {
    TempDir dir;
    const std::string path = dir.Write("private.html", "old\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const mode_t old = umask(022);
    std::vector<mode_t> modes;
    ReplaceFile(AsPath(path), [&](const ByteSink& sink) {
        for (const auto& open : OpenFilesIn(dir.Dir())) {
            struct stat st {};
            if (stat(open.c_str(), &st) == 0)
                modes.push_back(st.st_mode & 07777);
        }
        std::string bytes = "new\r\n";
        sink(bytes);
    });
    umask(old);
    ASSERT_EQ(modes.size(), 1u) << "the new page is not open while it is made";
    EXPECT_EQ(modes[0], 0600u);
    EXPECT_EQ(dir.Read("private.html"), "new\r\n");
}

TEST(AtomicSave, FolderRenamedWhileWritingGetsThePageAndNoLitter) {
    TempDir dir;
    fs::create_directory(dir.Path("site"));
    dir.Write("site/links.html", "old\r\n");
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary file" : "unnamed file");
        UseNamedTemporaryFiles(named);
        const std::string from = named ? "site2" : "site", to = named ? "site" : "site2";
        ReplaceFile(AsPath(dir.Path(from + "/links.html")), [&](const ByteSink& sink) {
            std::string bytes = "new ";
            sink(bytes);
            fs::rename(dir.Path(from), dir.Path(to));
            bytes = "page\r\n";
            sink(bytes);
        });
        UseNamedTemporaryFiles(false);
        EXPECT_EQ(dir.Read(to + "/links.html"), "new page\r\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path(to)), fs::directory_iterator()), 1);
    }
}

// A process ended by a signal while the page is written leaves the old page and nothing else:
// killed outright with an unnamed file, which has nothing to leave; by any signal that ends a
// process with a named one, which the signal's clean-up removes. The save installs that
// clean-up itself: this process never asks for it.
TEST(AtomicSave, SignalThatEndsTheProcessLeavesNoTemporaryFile) {
    const struct {
        int signal;
        bool named;
    } cases[] = {
        {SIGKILL, false},  {SIGHUP, true},  {SIGINT, true},   {SIGQUIT, true}, {SIGUSR1, true},
        {SIGUSR2, true},   {SIGPIPE, true}, {SIGALRM, true},  {SIGTERM, true}, {SIGXCPU, true},
        {SIGVTALRM, true}, {SIGPROF, true}, {SIGRTMIN, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.signal) + (c.named ? " named" : " unnamed"));
        TempDir dir;
        const std::string path = dir.Write("links.html", "old\r\n");
        // Its signals at their default actions, whatever this test inherited; it says "r" on its
        // output once it is writing.
        test::Child saving(
            [&] {
                const rlimit noCore{0, 0};
                setrlimit(RLIMIT_CORE, &noCore);
                UseNamedTemporaryFiles(c.named);
                ReplaceFile(AsPath(path), [&](const ByteSink& sink) {
                    std::string bytes(1 << 16, 'x');
                    sink(bytes);
                    [[maybe_unused]] const ssize_t n = write(1, "r", 1);
                    for (;;)
                        pause();
                });
                return 0;
            },
            {.streams = {{1, test::Stream::Pipe()}}});
        EXPECT_EQ(saving.Read(1), "r");
        saving.Signal(c.signal);
        EXPECT_EQ(saving.Wait().signal, c.signal);
        EXPECT_EQ(dir.Read("links.html"), "old\r\n");
        EXPECT_EQ(dir.EntryCount(), 1);
    }
}

// Under a size limit (ulimit -f) the save fails with the write message and the program goes on,
// whichever front end saves: the save itself keeps the limit's signal from ending the process.
TEST(AtomicSave, SizeLimitFailsTheSaveWithoutEndingTheProgram) {
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary file" : "unnamed file");
        TempDir dir;
        const std::string path = dir.Write("links.html", "old\r\n");
        const test::Exit end = test::Child([&] {
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = 1 << 16;
            setrlimit(RLIMIT_FSIZE, &limit);
            UseNamedTemporaryFiles(named);
            try {
                Page(200000).SaveToFile(AsPath(path));
            } catch (const WriteError& e) {
                return e.Reason() == SystemReason(EFBIG) ? 3 : 4;
            }
            return 5;
        }).Wait();
        ASSERT_EQ(end.signal, 0);
        EXPECT_EQ(end.status, 3);
        EXPECT_EQ(dir.Read("links.html"), "old\r\n");
        EXPECT_EQ(dir.EntryCount(), 1);
    }
}

// A program started with its standard input closed gets descriptor 0 for the first file it opens:
// the file reads as any other, and the read and the saves close every descriptor they open.
TEST(AtomicSave, DescriptorZeroIsAFileLikeAnyOther) {
    TempDir dir;
    const std::string path = dir.Write("links.html", "old\r\n");
    const test::Exit end = test::Child([&] {
        close(0);
        try {
            InputFile in(AsPath(path));
            char bytes[8] = {};
            if (in.Read(bytes, sizeof bytes) != 5)
                return 1;
        } catch (const Error&) {
            return 2;
        }
        if (fcntl(0, F_GETFD) != -1)
            return 3;
        for (const bool named : {false, true}) {
            UseNamedTemporaryFiles(named);
            Page(3).SaveToFile(AsPath(path));
            if (fcntl(0, F_GETFD) != -1)
                return 4;
        }
        return 0;
    }).Wait();
    ASSERT_EQ(end.signal, 0);
    EXPECT_EQ(end.status, 0)
        << "1: read short, 2: not opened, 3: left open by the read, 4: left open by a save";
    EXPECT_EQ(dir.Read("links.html"), SavedBytes(Page(3)));
}

// The access control list and the other extended attributes come over to the new page, and the
// mode with them; a new page in a folder whose default list the old page did not share keeps
// only what the old page had.
TEST(AtomicSave, KeepsAccessControlListAndExtendedAttributes) {
    TempDir dir;
    const std::string path = dir.Write("links.html", "old\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    // user::rw- user:60001:r-- group::--- mask::r-- other::---
    const std::string acl = AccessList({{0x01, 6, 0xFFFFFFFF},
                                        {0x02, 4, 60001},
                                        {0x04, 0, 0xFFFFFFFF},
                                        {0x10, 4, 0xFFFFFFFF},
                                        {0x20, 0, 0xFFFFFFFF}});
    if (setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0 ||
        setxattr(path.c_str(), "user.origin", "links.csv", 9, 0) != 0)
        GTEST_SKIP() << "the file system holds no access control lists or user attributes: "
                     << std::strerror(errno);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    const auto oldAcl = Attribute(path, "system.posix_acl_access");
    ASSERT_TRUE(oldAcl);

    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary file" : "unnamed file");
        UseNamedTemporaryFiles(named);
        Page(3).SaveToFile(AsPath(path));
        UseNamedTemporaryFiles(false);
        struct stat after {};
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_NE(after.st_ino, before.st_ino); // a new file, not the old one rewritten
        EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
        EXPECT_EQ(Attribute(path, "system.posix_acl_access"), oldAcl);
        EXPECT_EQ(Attribute(path, "user.origin"), "links.csv");
        before = after;
    }

    // The folder's default list gives a new file one; a page that had none stays without, also
    // when it has other attributes.
    const std::string defaults = AccessList({{0x01, 6, 0xFFFFFFFF},
                                             {0x02, 6, 60001},
                                             {0x04, 4, 0xFFFFFFFF},
                                             {0x10, 6, 0xFFFFFFFF},
                                             {0x20, 4, 0xFFFFFFFF}});
    const std::string plain = dir.Write("plain.html", "old\r\n");
    fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(setxattr(plain.c_str(), "user.note", "x", 1, 0), 0);
    ASSERT_EQ(setxattr(dir.Dir().c_str(), "system.posix_acl_default", defaults.data(),
                       defaults.size(), 0),
              0);
    Page(3).SaveToFile(AsPath(plain));
    EXPECT_EQ(Attribute(plain, "system.posix_acl_access"), std::nullopt);
    EXPECT_EQ(fs::status(plain).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// A member of a page's group who saves another user's group-writable page gets the page back in
// that group (the owner cannot be kept: only root may give a file away).
TEST(AtomicSave, GroupMemberKeepsTheGroupOfAnotherUsersPage) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to act as two other users";
    constexpr uid_t kOwner = 60001, kMember = 60002;
    constexpr gid_t kShared = 60010, kMembersOwn = 60002;
    TempDir dir;
    const std::string site = dir.Path("site");
    fs::create_directory(site);
    ASSERT_EQ(chown(site.c_str(), 0, kShared), 0);
    fs::permissions(site, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_exec);
    const std::string path = dir.Write("site/links.html", "old\r\n");
    ASSERT_EQ(chown(path.c_str(), kOwner, kShared), 0);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::group_write | fs::perms::others_read);
    const test::Exit end = test::Child([&] {
        const gid_t groups[] = {kShared};
        if (setgroups(1, groups) != 0 || setgid(kMembersOwn) != 0 || setuid(kMember) != 0)
            return 2;
        try {
            Page(3).SaveToFile(AsPath(path));
        } catch (const Error&) {
            return 1;
        }
        return 0;
    }).Wait();
    ASSERT_EQ(end.status, 0) << "ended by signal " << end.signal;
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(dir.Read("site/links.html"), SavedBytes(Page(3)));
    EXPECT_EQ(st.st_uid, kMember);
    EXPECT_EQ(st.st_gid, kShared);
    EXPECT_EQ(st.st_mode & 0777, 0664u);
}

// The page is replaced by a new file: another hard link to the old one keeps the old contents.
TEST(AtomicSave, OtherHardLinkKeepsTheOldPage) {
    TempDir dir;
    const std::string path = dir.Write("links.html", "old\r\n");
    fs::create_hard_link(path, dir.Path("copy.html"));
    Page(3).SaveToFile(AsPath(path));
    EXPECT_EQ(dir.Read("links.html"), SavedBytes(Page(3)));
    EXPECT_EQ(dir.Read("copy.html"), "old\r\n");
    EXPECT_EQ(fs::hard_link_count(path), 1u);
}
#endif
