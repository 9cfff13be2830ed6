// The editable link table: what it keeps of the file, how edits are written, what a field may
// not hold, and that the page builder reads the edited sites.
#include "Codec.h"
#include "Errors.h"
#include "LinkTable.h"
#include "PageBuild.h"
#include "TempDir.h"
#include "UInCSV.h"

#include <cctype>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using namespace qvn;
using qvn::test::AsPath;
using qvn::test::TempDir;

namespace {

std::string Written(const TLinkTable& table) {
    std::string out;
    table.Write([&out](std::string& block) {
        out += block;
        block.clear();
    });
    return out;
}

void SetField(TLinkTable& table, int row, LinkField field, std::string_view utf8) {
    table.Put(row, table.WithField(row, field, utf8));
}

struct EditCase {
    const char* name;
    std::string before;
    void (*edit)(TLinkTable&);
    std::string after;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

class TableEdits : public ::testing::TestWithParam<EditCase> {};

// Untouched lines keep their bytes and line ends; an edited or new line is the four fields
// joined by commas, in the file's encoding, ending with the file's first line end (CR LF when it
// has none); a line end changes only where the lines would otherwise read back differently.
TEST_P(TableEdits, WriteTheEditedLinesAndKeepTheOthers) {
    TLinkTable table = TLinkTable::Parse(GetParam().before);
    GetParam().edit(table);
    EXPECT_EQ(Written(table), GetParam().after);
    // The bytes as read stand for the table (a check or a page reads them) only while they are it.
    if (const std::string* read = table.TextAsRead()) {
        EXPECT_EQ(*read, GetParam().after);
    }
}

INSTANTIATE_TEST_SUITE_P(
    LinkTable, TableEdits,
    ::testing::Values(
        EditCase{"nothing", std::string("a,b\rc,d,e,f,g\n\n\r\nlast\0after\r\n\0", 28),
                 [](TLinkTable&) {}, std::string("a,b\rc,d,e,f,g\n\n\r\nlast\0after\r\n\0", 28)},
        EditCase{"a short line gets all its commas", "x\r\na,b\nlast",
                 [](TLinkTable& e) { SetField(e, 1, kSiteName, "A"); }, "x\r\nA,,,b\r\nlast"},
        EditCase{"LF file", "a,b,c,d\nlast", [](TLinkTable& e) { SetField(e, 1, kURL, "u"); },
                 "a,b,c,d\n,u,,last\n"},
        EditCase{"CR file, no break at its end: the new site after it", "a\rb",
                 [](TLinkTable& e) { e.Insert(2, {e.NewSite()}); }, "a\rb\r,,,\r"},
        EditCase{"no line end at all: CR LF", "only",
                 [](TLinkTable& e) { SetField(e, 0, kDescription, "d,e"); }, ",,,d,e\r\n"},
        EditCase{"code page 932 file", "\x83\x5c,u,a,d\r\n",
                 [](TLinkTable& e) { SetField(e, 0, kAdministrator, "表"); },
                 "\x83\x5c,u,\x95\x5c,d\r\n"},
        EditCase{"UTF-8 file", "猫,u,a,d\n",
                 [](TLinkTable& e) { SetField(e, 0, kDescription, "😀"); }, "猫,u,a,😀\n"},
        EditCase{"the same text leaves the line as it was", "a,b\r",
                 [](TLinkTable& e) { SetField(e, 0, kSiteName, "a"); }, "a,b\r"},
        EditCase{"a CR line before an empty LF line", "a\rb\n\nc",
                 [](TLinkTable& e) { e.Remove(1, 1); }, "a\r\n\nc"},
        EditCase{"a last line without a break moved up", "a\nb",
                 [](TLinkTable& e) { e.Move(1, 0); }, "b\na\n"},
        EditCase{"moved down and text after a NUL", std::string("a\r\nb\r\nc\0d", 9),
                 [](TLinkTable& e) { e.Move(0, 2); }, std::string("b\r\nc\r\na\r\n\0d", 11)}),
    [](const ::testing::TestParamInfo<EditCase>& param) {
        std::string name;
        for (char c : std::string(param.param.name))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

struct Refusal {
    const char* name;
    std::string file;
    LinkField field;
    std::string text;
    const char* message; // UTF-8
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

class TableRefusals : public ::testing::TestWithParam<Refusal> {};

// What a field cannot hold is refused with a message naming the field, and nothing changes.
TEST_P(TableRefusals, RefuseWhatTheFileCannotHold) {
    const Refusal& c = GetParam();
    TLinkTable table = TLinkTable::Parse(c.file);
    try {
        table.WithField(0, c.field, c.text);
        FAIL() << "accepted";
    } catch (const FieldError& e) {
        EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(Written(table), c.file);
}

INSTANTIATE_TEST_SUITE_P(
    LinkTable, TableRefusals,
    ::testing::Values(
        Refusal{"comma_in_name", "a,b,c,d\r\n", kSiteName, "x,y",
                "「サイト名」にカンマ (,) は入れられません: カンマは項目の区切りです "
                "(「サイト説明」には入れられます)"},
        Refusal{"comma_in_url", "a,b,c,d\r\n", kURL, ",",
                "「URL」にカンマ (,) は入れられません: "
                "カンマは項目の区切りです (「サイト説明」には入れられます)"},
        Refusal{"comma_in_administrator", "a,b,c,d\r\n", kAdministrator, "a,",
                "「管理者」にカンマ (,) は入れられません: カンマは項目の区切りです "
                "(「サイト説明」には入れられます)"},
        Refusal{"line_break", "a,b,c,d\r\n", kDescription, "x\ny",
                "「サイト説明」に改行は入れられません: 1 行が 1 サイトです"},
        Refusal{"carriage_return", "a,b,c,d\r\n", kSiteName, "x\r",
                "「サイト名」に改行は入れられません: 1 行が 1 サイトです"},
        Refusal{"nul", "a,b,c,d\r\n", kURL, std::string("x\0", 2),
                "「URL」に NUL 文字は入れられません: そこでファイルが終わってしまいます"},
        Refusal{"emoji_in_code_page_932", "a,b,c,d\r\n", kDescription, "猫😀",
                "「サイト説明」の文字 「😀」 (U+1F600) はこのファイルの文字コード (Shift_JIS) では"
                "書けません"}),
    [](const ::testing::TestParamInfo<Refusal>& param) { return std::string(param.param.name); });

// Whether a NUL byte ended the text before the file's end, which the windows tell the user.
TEST(LinkTable, KnowsWhetherANulEndedTheTextEarly) {
    for (const std::string& ended : {std::string("a\r\nb\0c", 6), std::string("\0", 1)})
        EXPECT_TRUE(TLinkTable::Parse(ended).EndsAtNul());
    for (const std::string whole : {"a\r\nb\r\n", "a\rb", ""})
        EXPECT_FALSE(TLinkTable::Parse(whole).EndsAtNul()) << whole;
}

// Records are removed, inserted and moved as values: putting back what an edit replaced writes
// the file's bytes again, however many edits came between.
TEST(LinkTable, EditsUndoneByTheirRecordsGiveTheFileBack) {
    const std::string file = "s1,u1\r\ns2\n\rs3,u3,a3,d3";
    TLinkTable table = TLinkTable::Parse(file);
    const TLinkTable::Record first = table.At(0);
    SetField(table, 0, kSiteName, "new");
    table.Insert(1, {table.NewSite(), table.NewSite()});
    const std::vector<TLinkTable::Record> removed = table.Remove(3, 2);
    table.Move(0, 2);
    EXPECT_EQ(Written(table), ",,,\r\n,,,\r\nnew,,,u1\r\ns3,u3,a3,d3");

    table.Move(2, 0);
    table.Insert(3, removed);
    table.Remove(1, 2);
    table.Put(0, first);
    EXPECT_EQ(Written(table), file);
    EXPECT_EQ(table.At(2).LineNumber(), 3u);
    EXPECT_EQ(table.NewSite().LineNumber(), 0u);
}

// The message names the index outside the table: the one asked for, or the last one a removal
// would reach.
// A moved site's URL is replaced and nothing else: the line's other bytes, its own line end, the
// file's encoding; a URL the field cannot hold is refused, and undoing gives the file back.
TEST(LinkTable, MovedUrlsAreReplacedInTheirLinesAlone) {
    const std::string text =
        Utf8ToCp932("猫,http://old/,たま,説明, 続き\r\nx,http://keep/,,\n犬,http://old/,,");
    TLinkTable table = TLinkTable::Parse(text);
    const std::unordered_map<std::string, std::string> moved = {{"http://old/", "http://新/"},
                                                                {"http://keep/", "http://a,b/"}};
    const UrlEdits all = table.MovedUrlEdits(moved);
    ASSERT_EQ(all.edits.size(), 2u);
    ASSERT_EQ(all.refused.size(), 1u);
    EXPECT_EQ(all.refused[0].first, 1);
    EXPECT_THAT(all.refused[0].second, ::testing::HasSubstr("カンマ"));
    for (const RecordEdit& edit : all.edits)
        table.Put(edit.row, edit.after);
    EXPECT_EQ(Written(table),
              Utf8ToCp932("猫,http://新/,たま,説明, 続き\r\nx,http://keep/,,\n犬,http://新/,,"));
    for (const RecordEdit& edit : all.edits)
        table.Put(edit.row, edit.before);
    EXPECT_EQ(Written(table), text);
    // Only the rows asked for.
    const int rows[] = {2};
    const UrlEdits one = table.MovedUrlEdits(moved, rows);
    ASSERT_EQ(one.edits.size(), 1u);
    EXPECT_EQ(one.edits[0].row, 2);
}

TEST(LinkTable, IndexesOutsideTheTableFailWithTheListMessage) {
    TLinkTable table = TLinkTable::Parse("a\r\nb\r\n");
    const struct {
        void (*edit)(TLinkTable&);
        const char* index;
    } cases[] = {
        {[](TLinkTable& t) { t.At(2); }, "2"},
        {[](TLinkTable& t) { t.Put(-1, t.At(0)); }, "-1"},
        {[](TLinkTable& t) { t.Remove(1, 2); }, "2"},
        {[](TLinkTable& t) { t.Remove(0, 3); }, "2"},
        {[](TLinkTable& t) { t.Remove(-1, 1); }, "-1"},
        {[](TLinkTable& t) { t.Move(0, 2); }, "2"},
        {[](TLinkTable& t) { t.Insert(3, {}); }, "3"},
    };
    for (const auto& c : cases) {
        try {
            c.edit(table);
            ADD_FAILURE() << "no failure for index " << c.index;
        } catch (const ListIndexError& e) {
            EXPECT_EQ(ErrorBoxText(e),
                      std::string("リストのインデックスが範囲を超えています (") + c.index + ")");
        }
    }
    EXPECT_EQ(Written(table), "a\r\nb\r\n");
}

// Decided once from the lines read: UTF-8 needs every line valid and one character outside ASCII.
TEST(LinkTable, ShownAsUtf8OnlyWhenTheWholeTextIsUtf8) {
    EXPECT_TRUE(TLinkTable::Parse("猫,u\r\nplain\r\n").Utf8());
    EXPECT_FALSE(TLinkTable::Parse("plain\r\n").Utf8());
    EXPECT_FALSE(TLinkTable::Parse("猫\r\n\x83\x5c\r\n").Utf8());
    EXPECT_FALSE(TLinkTable::Parse("\xE7\x8C,\xAB\r\n").Utf8()) << "a character cut by a comma";
}

// Saved through the core's atomic save: the file holds the table's bytes and nothing is left
// beside it; a file that cannot be read fails with the open message.
TEST(LinkTable, SavesInPlaceAndReadsWhatItSaved) {
    TempDir dir;
    const std::string path = dir.Write("links.csv", "a,b,c,d\r\ne\n");
    TLinkTable table = ReadCSV(AsPath(path));
    SetField(table, 1, kURL, "u");
    table.SaveToFile(AsPath(path));
    EXPECT_EQ(dir.Read("links.csv"), "a,b,c,d\r\n,u,,e\r\n");
    EXPECT_EQ(dir.EntryCount(), 1);
    EXPECT_EQ(Written(ReadCSV(AsPath(path))), "a,b,c,d\r\n,u,,e\r\n");
    EXPECT_THROW(ReadCSV(AsPath(dir.Path("missing.csv"))), FileError);
}

// The page builder takes the table's sites as edited, in their order.
TEST(LinkTable, PagesAreBuiltFromTheEditedSites) {
    TempDir dir;
    const FilePath templ = AsPath(
        dir.Write("t.html", "_HEAD_\nh\n_FRAME_\n_TITLE_ _URL_ _AUTHOR_ _EXPLAIN_\n_FOOT_\nf\n"));
    const FilePath data = AsPath(dir.Write("links.csv", "s1,u1,a1,d1\ns2,u2\n"));
    TLinkTable table = ReadCSV(data);
    SetField(table, 1, kAdministrator, "who");
    table.Move(1, 0);
    std::ostringstream out;
    PageBuild(table, data, templ, DefaultTokens()).Write(out);
    EXPECT_EQ(out.str(), "h\r\ns2  who u2\r\ns1 u1 a1 d1\r\nf\r\n");
}

} // namespace
