// Saving replaces the page atomically: whatever fails, the previous page is left exactly as it was.
#include "Codec.h"
#include "Errors.h"
#include "StringList.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace qvn;
using qvn::test::AsPath;
using qvn::test::SavedBytes;
using qvn::test::TempDir;
namespace test = qvn::test;
namespace fs = std::filesystem;

namespace {

TStringList Page(std::size_t lines) {
    TStringList page;
    for (std::size_t i = 0; i < lines; ++i)
        page.Add("<li><a href=\"https://example.com/" + std::to_string(i) + "\">site</a></li>");
    return page;
}

std::string CreateMessage(const std::string& path) {
    return Utf8ToCp932("ファイル ") + path + Utf8ToCp932(" を作成できません");
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

void ExpectCreateFailure(const TStringList& page, const std::string& path) {
    try {
        page.SaveToFile(AsPath(path));
        ADD_FAILURE() << "saved " << path;
    } catch (const FileError& e) {
        EXPECT_EQ(e.GetKind(), FileError::Kind::Create);
        EXPECT_EQ(e.Message(), CreateMessage(path));
    }
}

} // namespace

#ifndef _WIN32
TEST(AtomicSave, WriteFailingMidwayKeepsTheOldPageAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string old = "<p>the good page</p>\r\n";
    const std::string path = dir.Write("links.html", old);
    const TStringList big = Page(200000); // about 12 MB, far past the limit
    {
        FileSizeLimit limit(1 << 20);
        try {
            big.SaveToFile(AsPath(path));
            FAIL() << "a write past the size limit was reported as saved";
        } catch (const WriteError& e) {
            EXPECT_EQ(e.Message(), Utf8ToCp932("ストリームへの書き込みエラー"));
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
    const TStringList page = Page(3);
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

TEST(AtomicSave, NamesAreCodePage932) {
    TempDir dir;
    TStringList page;
    page.Add("x");
    page.SaveToFile(AsPath(dir.Dir() + Utf8ToCp932("/リンク集.html")));
    EXPECT_EQ(dir.Read("リンク集.html"), "x\r\n");
    // A name with bytes that are no code page 932 text is refused, not written somewhere else.
    ExpectCreateFailure(page, dir.Dir() + "/\x81.html");
    EXPECT_EQ(dir.EntryCount(), 1);
}

#ifdef _WIN32
// Windows' own refusals: the read-only attribute, and a page that another program holds open
// without letting it be replaced (as a viewer may).
TEST(AtomicSave, ReadOnlyOrOpenPagesChangeNothing) {
    TempDir dir;
    const TStringList page = Page(3);
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

    TStringList page;
    page.Add("new");
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
    TStringList page;
    page.Add("x");
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
        TStringList page;
        page.Add("new");
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
