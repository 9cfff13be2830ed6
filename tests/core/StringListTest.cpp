// TStringList: list operations and the byte rules of loading and saving.
#include "StringList.h"

#include "Codec.h"
#include "Errors.h"
#include "TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <vector>

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

std::vector<std::string> LoadBytes(const std::string& bytes) {
    TempDir dir;
    TStringList list;
    list.LoadFromFile(AsPath(dir.Write("f.txt", bytes)));
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
            EXPECT_EQ(e.Message(), Utf8ToCp932("リストのインデックスが範囲を超えています (") +
                                       std::to_string(bad) + ")");
        }
    }
}

TEST(StringList, LineBreaksOfEveryKind) {
    EXPECT_THAT(LoadBytes("a\r\nb"), ElementsAre("a", "b"));
    EXPECT_THAT(LoadBytes("a\r\n\r\nb"), ElementsAre("a", "", "b"));
    EXPECT_THAT(LoadBytes("a\n\rb"), ElementsAre("a", "", "b"));
    EXPECT_THAT(LoadBytes("a\rb"), ElementsAre("a", "b"));
    EXPECT_THAT(LoadBytes("a\nb\n"), ElementsAre("a", "b")); // no empty last line
    EXPECT_THAT(LoadBytes("a\r\nb\r\n\r\n"), ElementsAre("a", "b", ""));
    EXPECT_THAT(LoadBytes("a\r\r\nb"), ElementsAre("a", "", "b"));
    EXPECT_THAT(LoadBytes("\n"), ElementsAre(""));
    EXPECT_THAT(LoadBytes(""), IsEmpty());
    EXPECT_THAT(LoadBytes(" \t x \t"), ElementsAre(" \t x \t")); // nothing trimmed
}

TEST(StringList, NulEndsTheText) {
    EXPECT_THAT(LoadBytes(std::string("a\0b\r\nc", 6)), ElementsAre("a"));
    EXPECT_THAT(LoadBytes(std::string("a\r\n\0b", 5)), ElementsAre("a"));
    EXPECT_THAT(LoadBytes(std::string("\0abc", 4)), IsEmpty());
}

TEST(StringList, BytesAreKeptExactly) {
    // A byte-order mark stays; Shift-JIS trail bytes 0x5C ("\") and 0x5F ("_") are not touched.
    const std::string bom = "\xEF\xBB\xBFhead";
    const std::string sjis = "\x83\x5C\x83\x74\x83\x67 \x83\x5F\x81\x5C"; // ソフト ダ―
    EXPECT_THAT(LoadBytes(bom + "\r\n" + sjis + "\n\xFF\x80"), ElementsAre(bom, sjis, "\xFF\x80"));
}

TEST(StringList, FailedLoadNamesThePathAndKeepsTheList) {
    TempDir dir;
    TStringList list;
    list.Add("kept");
    for (const std::string& path : {dir.Path("missing.txt"), dir.Dir(), std::string()}) {
        try {
            list.LoadFromFile(AsPath(path));
            ADD_FAILURE() << "loaded " << path;
        } catch (const FileError& e) {
            EXPECT_EQ(e.GetKind(), FileError::Kind::Open);
            EXPECT_EQ(e.Message(), Utf8ToCp932("ファイル ") + path + Utf8ToCp932(" は開けません"));
        }
    }
    EXPECT_THAT(Items(list), ElementsAre("kept"));
}

TEST(StringList, PathsAreCodePage932Bytes) {
    TempDir dir;
    dir.Write("サイト.txt", "x\n"); // the file system's name is UTF-8
    TStringList list;
    list.LoadFromFile(AsPath(dir.Dir() + Utf8ToCp932("/サイト.txt")));
    EXPECT_THAT(Items(list), ElementsAre("x"));
    // Bytes that are no code page 932 text name no file, even if such a file exists.
    dir.Write("\xA0.txt", "y\n");
    const std::string bad = dir.Dir() + "/\xA0.txt";
    EXPECT_THROW(list.LoadFromFile(AsPath(bad)), FileError);
    EXPECT_THROW(list.LoadFromFile(FilePath::Unresolvable(dir.Path("サイト.txt"))), FileError);
}

TEST(StringList, SaveEndsEveryItemWithCrLf) {
    TempDir dir;
    TStringList list;
    list.SaveToFile(AsPath(dir.Path("empty.txt")));
    EXPECT_EQ(dir.Read("empty.txt"), "");
    list.Add("");
    list.SaveToFile(AsPath(dir.Path("one.txt")));
    EXPECT_EQ(dir.Read("one.txt"), "\r\n");
    list.Clear();
    list.Add("a");
    list.Add("b");
    list.SaveToFile(AsPath(dir.Path("ab.txt")));
    EXPECT_EQ(dir.Read("ab.txt"), "a\r\nb\r\n");
}

TEST(StringList, SaveAndLoadRoundTripLargeAndLongLines) {
    TempDir dir;
    TStringList list;
    std::vector<std::string> expected;
    for (int i = 0; i < 50000; ++i)
        expected.push_back("\x83\x54 line " + std::to_string(i));
    expected.push_back(std::string(3 << 20, 'x')); // longer than one write chunk
    expected.push_back("after");
    for (const auto& s : expected)
        list.Add(s);
    list.SaveToFile(AsPath(dir.Path("big.txt")));
    TStringList back;
    back.LoadFromFile(AsPath(dir.Path("big.txt")));
    EXPECT_THAT(Items(back), ElementsAreArray(expected));
}
