// The page builder: sections, token replacement and its failures.
#include "Codec.h"
#include "Errors.h"
#include "TempDir.h"
#include "UDec.h"
#include "UProccess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using namespace qvn;
using qvn::test::SavedBytes;
using qvn::test::TempDir;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

TStringList Links(std::initializer_list<std::string_view> items) {
    TStringList list;
    for (auto s : items)
        list.Add(s);
    return list;
}

const TStringList kTwoSites = Links({"s1", "u1", "a1", "d1", "s2", "u2", "a2", "d2"});

class PageTest : public ::testing::Test {
protected:
    // Builds from template lines (joined with LF) and returns the page's lines.
    std::vector<std::string> Build(const std::string& templ, const TStringList& links = kTwoSites,
                                   const Tokens& tokens = {}) {
        const auto page = MakePage(FilePath::FromCp932(dir.Write("t.html", templ)), links, tokens);
        std::vector<std::string> lines;
        for (int i = 0; i < page->Count(); ++i)
            lines.emplace_back(page->Get(i));
        return lines;
    }

    // The list-index message a broken template gives.
    std::string IndexFailure(const std::string& templ) {
        try {
            Build(templ);
        } catch (const ListIndexError& e) {
            return e.Message();
        }
        return "no failure";
    }

    TempDir dir;
};

std::string IndexMessage(int n) {
    return Utf8ToCp932("リストのインデックスが範囲を超えています (") + std::to_string(n) + ")";
}

} // namespace

TEST_F(PageTest, SevenLineExample) {
    EXPECT_THAT(Build("top\n_HEAD_\nstart\n_FRAME_\n[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\n"
                      "_FOOT_\nend\n"),
                ElementsAre("start", "[s1](u1) by a1: d1", "[s2](u2) by a2: d2", "end"));
}

TEST_F(PageTest, FrameRepeatsRecordByRecordAndTokensStayOutsideIt) {
    const TStringList three = Links({"A", "", "", "", "B", "", "", "", "C", "", "", "", "junk"});
    EXPECT_THAT(
        Build("_HEAD_\nh _TITLE_\n_FRAME_\n1 _TITLE_\n2 _TITLE_\n_FOOT_\nf _TITLE_\n", three),
        ElementsAre("h _TITLE_", "1 A", "2 A", "1 B", "2 B", "1 C", "2 C", "f _TITLE_"));
}

TEST_F(PageTest, NoRecordsGiveHeadAndFoot) {
    EXPECT_THAT(Build("_HEAD_\nh1\nh2\n_FRAME_\nx\n_FOOT_\nf\n", TStringList{}),
                ElementsAre("h1", "h2", "f"));
}

TEST_F(PageTest, ReplacementIsFirstOccurrenceInTokenOrderOnTheChangedLine) {
    const std::string templ = "_HEAD_\n-\n_FRAME_\n_TITLE_ _TITLE_ _URL_\n_FOOT_\n-\n";
    EXPECT_THAT(Build(templ, Links({"X", "u", "", ""})), ElementsAre("-", "X _TITLE_ u", "-"));
    // A later token is found inside a value inserted for an earlier one ...
    EXPECT_THAT(Build(templ, Links({"<_URL_>", "u", "", ""})),
                ElementsAre("-", "<u> _TITLE_ _URL_", "-"));
    // ... but an earlier token is not looked for again.
    EXPECT_THAT(Build("_HEAD_\n-\n_FRAME_\n_URL_\n_FOOT_\n-\n", Links({"t", "_TITLE_", "", ""})),
                ElementsAre("-", "_TITLE_", "-"));
}

TEST_F(PageTest, TokensFromTheSettings) {
    const std::string templ = "_HEAD_\n-\n_FRAME_\n_TITLE_|_URL_|_AUTHOR_|_EXPLAIN_\n_FOOT_\n-\n";
    Tokens emptyTitle;
    emptyTitle.Title = "";
    EXPECT_THAT(Build(templ, kTwoSites, emptyTitle),
                ElementsAre("-", "_TITLE_|u1|a1|d1", "_TITLE_|u2|a2|d2", "-"));
    Tokens same{"@", "@", "@", "@"}; // equal tokens replace one occurrence each, in order
    EXPECT_THAT(Build("_HEAD_\n-\n_FRAME_\n@ @ @ @ @\n_FOOT_\n-\n", kTwoSites, same),
                ElementsAre("-", "s1 u1 a1 d1 @", "s2 u2 a2 d2 @", "-"));
}

TEST_F(PageTest, SearchIsByteWise) {
    // "ダ" is 0x83 0x5F: its trail byte is an underscore, so "_TITLE_" matches from byte 2.
    EXPECT_THAT(Build("_HEAD_\n-\n_FRAME_\n\x83\x5FTITLE_\n_FOOT_\n-\n", Links({"S", "", "", ""})),
                ElementsAre("-", "\x83S", "-"));
    // UTF-8 text is untouched around UTF-8 tokens.
    Tokens utf8{"＿名前＿", "", "", ""};
    EXPECT_THAT(
        Build("_HEAD_\n-\n_FRAME_\n「＿名前＿」\n_FOOT_\n-\n", Links({"サイト", "", "", ""}), utf8),
        ElementsAre("-", "「サイト」", "-"));
}

TEST_F(PageTest, EverySectionTakesTheLineAfterItsMarker) {
    // "_FRAME_" right after "_HEAD_" is the head's first line; the next "_FRAME_" ends the head.
    EXPECT_THAT(Build("_HEAD_\n_FRAME_\nh\n_FRAME_\n_FOOT_\nx\n_FOOT_\n_HEAD_\n", Links({})),
                ElementsAre("_FRAME_", "h", "_HEAD_"));
    EXPECT_THAT(Build("_HEAD_\n-\n_FRAME_\n_FOOT_\n_FOOT_\nend", Links({"a", "", "", ""})),
                ElementsAre("-", "_FOOT_", "end"));
}

TEST_F(PageTest, BrokenTemplatesNameTheirLineCount) {
    EXPECT_EQ(IndexFailure(""), IndexMessage(0));
    EXPECT_EQ(IndexFailure("a\nb\n"), IndexMessage(2));                          // no head marker
    EXPECT_EQ(IndexFailure("_HEAD_\n"), IndexMessage(1));                        // nothing after it
    EXPECT_EQ(IndexFailure("_HEAD_\n_FRAME_\n"), IndexMessage(2));               // frame too soon
    EXPECT_EQ(IndexFailure("_HEAD_\nh\n_FRAME_\n"), IndexMessage(3));            // no frame line
    EXPECT_EQ(IndexFailure("_HEAD_\nh\n_FRAME_\nx\n"), IndexMessage(4));         // no foot marker
    EXPECT_EQ(IndexFailure("_HEAD_\nh\n_FRAME_\nx\n_FOOT_\n"), IndexMessage(5)); // foot last
    EXPECT_EQ(IndexFailure("_HEAD_ \nh\n_FRAME_\nx\n_FOOT_\ny\n"), IndexMessage(6));
    EXPECT_EQ(IndexFailure("_head_\nh\n_FRAME_\nx\n_FOOT_\ny\n"), IndexMessage(6));
}

TEST_F(PageTest, ReplaceAtCountsFromOne) {
    EXPECT_EQ(ReplaceAt("ab_T_cd", 3, "_T_", "XYZ"), "abXYZcd");
    EXPECT_EQ(ReplaceAt("_T_", 1, "_T_", ""), "");
}

class SettingPageTest : public PageTest {
protected:
    void SetUp() override { Setting = TSetting{}; }
    void TearDown() override { Setting = TSetting{}; }
};

TEST_F(SettingPageTest, StartsEmptyAndRefusesWithoutLinkData) {
    EXPECT_TRUE(Setting.Title.empty());
    EXPECT_FALSE(Setting.LinkList);
    Setting.TemplatePath = dir.Write("t.html", "_HEAD_\n-\n_FRAME_\nx\n_FOOT_\n-\n");
    try {
        MakePage();
        FAIL() << "built a page without link data";
    } catch (const NoLinkDataError& e) {
        EXPECT_EQ(e.Message(), Utf8ToCp932("リンクデータが読み込まれていません"));
    }
    Setting.LinkList = std::make_unique<TStringList>(); // loaded, but empty: head and foot
    EXPECT_EQ(SavedBytes(*MakePage()), "-\r\n-\r\n");
}

TEST_F(SettingPageTest, ReadsTemplatePathLinksAndTokensFromTheSettings) {
    Setting.Title = "_T_";
    Setting.URL = "_U_";
    Setting.LinkList = std::make_unique<TStringList>(Links({"s", "u", "a", "d"}));
    Setting.TemplatePath = dir.Write("t.html", "_HEAD_\n-\n_FRAME_\n_T_ _U_ _TITLE_\n_FOOT_\n-\n");
    EXPECT_EQ(SavedBytes(*MakePage()), "-\r\ns u _TITLE_\r\n-\r\n");
    // The template is read afresh at every build.
    dir.Write("t.html", "_HEAD_\n+\n_FRAME_\n_T_\n_FOOT_\n+\n");
    EXPECT_EQ(SavedBytes(*MakePage()), "+\r\ns\r\n+\r\n");

    Setting.TemplatePath = Utf8ToCp932("ここにテンプレートファイルへのパスを入力してください。");
    try {
        MakePage();
        FAIL() << "opened the prompt text";
    } catch (const FileError& e) {
        EXPECT_EQ(e.Message(),
                  Utf8ToCp932("ファイル ") + Setting.TemplatePath + Utf8ToCp932(" は開けません"));
    }
}

TEST_F(PageTest, StreamedPageMatchesTheListAndBrokenTemplateLeavesOutputAlone) {
    const std::string templ =
        dir.Write("t.html", "_HEAD_\nh\n_FRAME_\n<_TITLE_|_URL_>\n_FOOT_\nf\n");
    const std::string expected = SavedBytes(*MakePage(FilePath::FromCp932(templ), kTwoSites, {}));
    EXPECT_EQ(expected, "h\r\n<s1|u1>\r\n<s2|u2>\r\nf\r\n");

    std::ostringstream out;
    MakePageToStream(FilePath::FromCp932(templ), kTwoSites, {}, out);
    EXPECT_EQ(out.str(), expected);
    const std::string page = dir.Write("page.html", "old page\r\n");
    MakePageToFile(FilePath::FromCp932(templ), kTwoSites, {}, FilePath::FromCp932(page));
    EXPECT_EQ(dir.Read("page.html"), expected);

    dir.Write("t.html", "_HEAD_\nh\n_FRAME_\nx\n_FOOT_\n");
    EXPECT_THROW(
        MakePageToFile(FilePath::FromCp932(templ), kTwoSites, {}, FilePath::FromCp932(page)),
        ListIndexError);
    EXPECT_EQ(dir.Read("page.html"), expected);
    EXPECT_EQ(dir.EntryCount(), 2);
}
