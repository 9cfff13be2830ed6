// TStringList: list operations, and the byte rules by which a text file read as a template is
// read (ReadText) becomes lines.
#include "StringList.h"

#include "Codec.h"
#include "Errors.h"
#include "FileIO.h"
#include "Lines.h"
#include "TempDir.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace qvn;
using qvn::test::AsPath;
using qvn::test::TempDir;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

std::vector<std::string> Items(const TStringList& list) {
    std::vector<std::string> items;
    for (int i = 0; i < list.Count(); ++i)
        items.emplace_back(list.Get(i));
    return items;
}

// Reads a file's lines as a build reads a template's.
void Load(TStringList& list, const FilePath& path) {
    std::uint64_t size = 0;
    list.LoadFromText(ReadText(path, size));
}

std::vector<std::string> LoadBytes(const std::string& bytes) {
    TempDir dir;
    TStringList list;
    Load(list, AsPath(dir.Write("f.txt", bytes)));
    return Items(list);
}

} // namespace

TEST(StringList, AddReturnsIndexAndKeepsOrderEmptiesAndDuplicates) {
    TStringList list;
    EXPECT_EQ(list.Add("b"), 0);
    EXPECT_EQ(list.Add(""), 1);
    EXPECT_EQ(list.Add("b"), 2);
    EXPECT_THAT(Items(list), ElementsAre("b", "", "b"));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Add("c"), 0);
}

TEST(StringList, GetOutsideTheListFailsWithTheIndex) {
    TStringList list;
    list.Add("a");
    EXPECT_EQ(list.Get(0), "a");
    for (int bad : {1, -1, 1000}) {
        try {
            list.Get(bad);
            ADD_FAILURE() << "no failure for " << bad;
        } catch (const ListIndexError& e) {
            EXPECT_EQ(e.Message(), std::string("リストのインデックスが範囲を超えています (") +
                                       std::to_string(bad) + ")");
        }
    }
}

// Bytes handed out a few at a time, as a pipe may hand them.
class Trickle final : public ByteSource {
public:
    Trickle(std::string_view bytes, std::size_t step) : bytes_(bytes), step_(step) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        // A terminal gives more after its end of input: once is the end.
        EXPECT_FALSE(ended_) << "read on after the end of the input";
        ended_ = bytes_.empty();
        const std::size_t n = std::min({size, step_, bytes_.size()});
        bytes_.copy(buffer, n);
        bytes_.remove_prefix(n);
        return n;
    }

private:
    std::string_view bytes_;
    std::size_t step_;
    bool ended_ = false;
};

// Every kind of line break, and NUL bytes, loaded from a file and read in steps of 1 to 8 bytes,
// so that each break and NUL also falls on a step's edge.
TEST(LineReader, LineBreaksAndNulBytesHoweverTheBytesArrive) {
    using Lines = std::vector<std::string>;
    const std::pair<std::string, Lines> cases[] = {
        {"a\r\nb", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\rb", {"a", "b"}},
        {"a\nb\n", {"a", "b"}}, // no empty last line
        {"a\r\nb\r\n\r\n", {"a", "b", ""}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"ab\r", {"ab"}},
        {"\n", {""}},
        {"\r\n\n", {"", ""}},
        {"", {}},
        {" \t x \t", {" \t x \t"}}, // nothing trimmed
        {std::string("a\0b\r\nc", 6), {"a"}},
        {std::string("a\r\n\0b", 5), {"a"}},
        {std::string("ab\r\0\nc", 6), {"ab"}},
        {std::string("\0abc", 4), {}},
    };
    for (const auto& [bytes, lines] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(LoadBytes(bytes), lines);
        for (std::size_t step = 1; step <= 8; ++step) {
            Trickle source(bytes, step);
            LineReader reader(source);
            Lines read;
            for (std::string_view line; reader.Next(line);)
                read.emplace_back(line);
            EXPECT_EQ(read, lines) << "in steps of " << step;
            std::string_view after;
            EXPECT_FALSE(reader.Next(after)) << "read on after the end";
        }
    }
}

TEST(StringList, BytesAreKeptExactly) {
    // A byte-order mark stays; Shift-JIS trail bytes 0x5C ("\") and 0x5F ("_") are not touched.
    const std::string bom = "\xEF\xBB\xBFhead";
    const std::string sjis = "\x83\x5C\x83\x74\x83\x67 \x83\x5F\x81\x5C"; // ソフト ダ―
    EXPECT_THAT(LoadBytes(bom + "\r\n" + sjis + "\n\xFF\x80"), ElementsAre(bom, sjis, "\xFF\x80"));
}

// The message names the path; the system's reason comes with it, as for a failed save (on
// Windows in the system's own words for its own error codes: only that there is one is checked).
TEST(StringList, FailedLoadNamesThePathAndTheReasonAndKeepsTheList) {
    TempDir dir;
    TStringList list;
    list.Add("kept");
    for (const auto& [path, error] :
         {std::pair{dir.Path("missing.txt"), ENOENT}, std::pair{dir.Dir(), EISDIR},
          std::pair{std::string(), ENOENT}}) {
        try {
            Load(list, AsPath(path));
            ADD_FAILURE() << "loaded " << path;
        } catch (const FileError& e) {
            EXPECT_EQ(e.GetKind(), FileError::Kind::Open);
            EXPECT_EQ(e.Message(), "ファイル " + path + " は開けません");
#ifdef _WIN32
            EXPECT_NE(e.Reason(), "") << path;
#else
            EXPECT_EQ(e.Reason(), SystemReason(error)) << path;
#endif
        }
    }
    EXPECT_THAT(Items(list), ElementsAre("kept"));
}

#ifndef _WIN32
// A NUL ends the text, so a huge file whose text ends early loads in little memory: nothing is
// set aside for the file's size before it is read (here a sparse file of 1 TiB).
TEST(StringList, LoadSetsNothingAsideForTheFilesSize) {
    TempDir dir;
    const std::string path = dir.Write("sparse.txt", std::string("a\nb\0", 5));
    std::error_code error;
    std::filesystem::resize_file(qvn::test::NativePath(path), std::uintmax_t{1} << 40, error);
    if (error)
        GTEST_SKIP() << "no sparse file here: " << error.message();
    TStringList list;
    Load(list, AsPath(path));
    EXPECT_THAT(Items(list), ElementsAre("a", "b"));
}
#endif

#ifdef _WIN32
// A file is read shared for reading only, as Windows programs expect: one that another program
// has open for writing does not open, and one being read cannot be opened for writing.
TEST(StringList, FilesAreReadWithReadSharingOnly) {
    TempDir dir;
    const std::string path = dir.Write("f.txt", "a\n");
    const std::wstring name = qvn::test::NativePath(path).wstring();
    const auto open = [&name](DWORD access) {
        return CreateFileW(name.c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    TStringList list;
    const HANDLE writer = open(GENERIC_WRITE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    try {
        Load(list, AsPath(path));
        ADD_FAILURE() << "loaded a file open for writing";
    } catch (const FileError& e) {
        EXPECT_EQ(e.Message(), "ファイル " + path + " は開けません");
    }
    CloseHandle(writer);
    {
        const InputFile reading(AsPath(path));
        EXPECT_EQ(open(GENERIC_WRITE), INVALID_HANDLE_VALUE);
        const HANDLE reader = open(GENERIC_READ);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE);
        CloseHandle(reader);
    }
    Load(list, AsPath(path));
    EXPECT_THAT(Items(list), ElementsAre("a"));
}
#endif

TEST(StringList, LoadsLargeFilesAndLongLines) {
    TempDir dir;
    std::vector<std::string> expected;
    std::string bytes;
    for (int i = 0; i < 50000; ++i)
        expected.push_back("\x83\x54 line " + std::to_string(i));
    expected.push_back(std::string(3 << 20, 'x')); // longer than one read block
    expected.push_back("after");
    for (const auto& s : expected)
        bytes += s + "\r\n";
    dir.Write("big.txt", bytes);
    TStringList back;
    Load(back, AsPath(dir.Path("big.txt")));
    EXPECT_THAT(Items(back), ElementsAreArray(expected));
}
