// The page builder: sections, token replacement and its failures.
#include "Codec.h"
#include "Errors.h"
#include "PageBuild.h"
#include "TempDir.h"
#include "TokenText.h"
#include "UDec.h"
#include "UProccess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using namespace qvn;
using qvn::test::AsPath;
using qvn::test::TempDir;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

// Link data as its file holds it: four fields a line.
std::string Links(std::initializer_list<std::string_view> fields) {
    std::string text;
    std::size_t k = 0;
    for (const std::string_view field : fields)
        text.append(field).append(++k % kLinkFields == 0 ? "\r\n" : ",");
    return text;
}

const std::string kTwoSites = Links({"s1", "u1", "a1", "d1", "s2", "u2", "a2", "d2"});

// The page's lines: every one must end in CR LF.
std::vector<std::string> PageLines(const std::string& page) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = page.find("\r\n", begin)) != std::string::npos; begin = end + 2)
        lines.push_back(page.substr(begin, end - begin));
    EXPECT_EQ(begin, page.size()) << "the page does not end in CR LF";
    return lines;
}

class PageTest : public ::testing::Test {
protected:
    // Builds from template lines (joined with LF) and returns the page's lines.
    std::vector<std::string> Build(const std::string& templ, const std::string& links = kTwoSites,
                                   const Tokens& tokens = DefaultTokens()) {
        PageBuild build(AsPath(dir.Write("links.csv", links)), AsPath(dir.Write("t.html", templ)),
                        tokens);
        std::ostringstream out;
        build.Write(out);
        return PageLines(out.str());
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
    return "リストのインデックスが範囲を超えています (" + std::to_string(n) + ")";
}

} // namespace

TEST_F(PageTest, SevenLineExample) {
    EXPECT_THAT(Build("top\n_HEAD_\nstart\n_FRAME_\n[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\n"
                      "_FOOT_\nend\n"),
                ElementsAre("start", "[s1](u1) by a1: d1", "[s2](u2) by a2: d2", "end"));
}

TEST_F(PageTest, FrameRepeatsRecordByRecordAndTokensStayOutsideIt) {
    const std::string three = Links({"A", "", "", "", "B", "", "", "", "C", "", "", ""});
    EXPECT_THAT(
        Build("_HEAD_\nh _TITLE_\n_FRAME_\n1 _TITLE_\n2 _TITLE_\n_FOOT_\nf _TITLE_\n", three),
        ElementsAre("h _TITLE_", "1 A", "2 A", "1 B", "2 B", "1 C", "2 C", "f _TITLE_"));
}

TEST_F(PageTest, NoRecordsGiveHeadAndFoot) {
    EXPECT_THAT(Build("_HEAD_\nh1\nh2\n_FRAME_\nx\n_FOOT_\nf\n", ""), ElementsAre("h1", "h2", "f"));
}

TEST_F(PageTest, ReplacementIsFirstOccurrenceInTokenOrderOnTheChangedLine) {
    const std::string templ = "_HEAD_\n-\n_FRAME_\n_TITLE_ _TITLE_ _URL_\n_FOOT_\n-\n";
    EXPECT_THAT(Build(templ, Links({"X", "u", "", ""})), ElementsAre("-", "X _TITLE_ u", "-"));
    // A later token may stand before the first one replaced, right up to it.
    EXPECT_THAT(
        Build("_HEAD_\n-\n_FRAME_\n_URL__TITLE_ _URL_\n_FOOT_\n-\n", Links({"t", "u", "", ""})),
        ElementsAre("-", "ut _URL_", "-"));
    // A later token is found inside a value inserted for an earlier one ...
    EXPECT_THAT(Build(templ, Links({"<_URL_>", "u", "", ""})),
                ElementsAre("-", "<u> _TITLE_ _URL_", "-"));
    // ... or across the edge of one, or where an empty one left two pieces of the frame line
    // side by side ...
    EXPECT_THAT(Build("_HEAD_\n-\n_FRAME_\n<_TITLE_L_>\n_FOOT_\n-\n", Links({"a_UR", "u", "", ""})),
                ElementsAre("-", "<au>", "-"));
    EXPECT_THAT(Build("_HEAD_\n-\n_FRAME_\nX_T_Y\n_FOOT_\n-\n", Links({"", "u", "", ""}),
                      {"_T_", "XY", "", ""}),
                ElementsAre("-", "u", "-"));
    // ... also when a value put in earlier in the line has moved the one that holds it.
    EXPECT_THAT(Build("_HEAD_\n-\n_FRAME_\n_URL_ ---------- _TITLE_\n_FOOT_\n-\n",
                      Links({"x_EXPLAIN_", "_AUTHOR_ + a long address", "A", "E"})),
                ElementsAre("-", "A + a long address ---------- xE", "-"));
    // ... but an earlier token is not looked for again.
    EXPECT_THAT(Build("_HEAD_\n-\n_FRAME_\n_URL_\n_FOOT_\n-\n", Links({"t", "_TITLE_", "", ""})),
                ElementsAre("-", "_TITLE_", "-"));
}

TEST_F(PageTest, TokensFromTheSettings) {
    const std::string templ = "_HEAD_\n-\n_FRAME_\n_TITLE_|_URL_|_AUTHOR_|_EXPLAIN_\n_FOOT_\n-\n";
    Tokens emptyTitle = DefaultTokens();
    emptyTitle[kSiteName] = "";
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

TEST(Settings, StartEmptyAndHandTheTokensOverInTheirOrder) {
    TSetting setting;
    EXPECT_TRUE(setting.Title.empty());
    EXPECT_FALSE(setting.LinkList);
    setting.SetTokens({"t", "u", "a", "e"});
    EXPECT_EQ(setting.Title, "t");
    EXPECT_EQ(setting.URL, "u");
    EXPECT_EQ(setting.Author, "a");
    EXPECT_EQ(setting.Explain, "e");
    EXPECT_EQ(setting.GetTokens(), (Tokens{"t", "u", "a", "e"}));
    EXPECT_EQ(DefaultTokens(), (Tokens{"_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_"}));
}

TEST(Settings, NoLinkListUntilDataIsLoadedAndAnEmptyOneAfter) {
    TSetting setting;
    try {
        setting.Links();
        FAIL() << "gave link data before any was loaded";
    } catch (const NoLinkDataError& e) {
        EXPECT_EQ(e.Message(), "リンクデータが読み込まれていません");
    }
    setting.LinkList = std::make_unique<TLinkTable>();
    EXPECT_EQ(setting.Links().Count(), 0);
}

TEST_F(PageTest, SavedAndStreamedPagesAreTheSameAndAFailedBuildKeepsTheOldPage) {
    const FilePath templ =
        AsPath(dir.Write("t.html", "_HEAD_\nh\n_FRAME_\n<_TITLE_|_URL_>\n_FOOT_\nf\n"));
    const FilePath data = AsPath(dir.Write("links.csv", kTwoSites));
    const FilePath page = AsPath(dir.Write("page.html", "old page\r\n"));
    PageBuild(data, templ, DefaultTokens()).Save(page);
    EXPECT_EQ(dir.Read("page.html"), "h\r\n<s1|u1>\r\n<s2|u2>\r\nf\r\n");
    std::ostringstream out;
    PageBuild(data, templ, DefaultTokens()).Write(out);
    EXPECT_EQ(out.str(), dir.Read("page.html"));

    // A template that cannot be cut fails before the page is touched, and its check says why.
    dir.Write("t.html", "_HEAD_\nh\n");
    PageBuild uncut(data, templ, DefaultTokens());
    EXPECT_FALSE(uncut.CanBuild());
    const Findings why = uncut.CheckTemplate({"t", "u", "a", "e"});
    ASSERT_EQ(why.counts.errors, 1);
    EXPECT_EQ(why.list.at(0).file, templ.Display());
    EXPECT_EQ(why.list.at(0).kind, "cut");
    EXPECT_THROW(uncut.Save(page), ListIndexError);
    EXPECT_EQ(dir.Read("page.html"), "h\r\n<s1|u1>\r\n<s2|u2>\r\nf\r\n");
    EXPECT_EQ(dir.EntryCount(), 3);
}

// A template's encoding is judged from all its lines, the first one included, and a token typed
// in UTF-8 is converted for a code page 932 template only.
TEST(TokenText, TemplateEncodingFromEveryLineAndTokensConvertedForCodePage932) {
    const std::string da = "\x83\x5F";         // ダ in code page 932
    const std::string daUtf8 = "\xE3\x83\x80"; // ダ in UTF-8
    const struct {
        std::vector<std::string> lines;
        TextEncoding encoding;
    } cases[] = {
        {{"<p>" + da + "</p>", "_HEAD_", "_FRAME_"}, TextEncoding::Cp932},
        {{"<p>" + daUtf8 + "</p>", "_HEAD_"}, TextEncoding::Utf8},
        {{"_HEAD_", "<p>" + daUtf8 + "</p>", "<p>" + da + "</p>"}, TextEncoding::Cp932},
        {{"_HEAD_", "_FRAME_"}, TextEncoding::Ascii},
    };
    for (const auto& c : cases) {
        TStringList lines;
        for (const std::string& line : c.lines)
            lines.Add(line);
        EXPECT_EQ(JudgeEncoding(lines), c.encoding) << c.lines[0];
    }
    const Tokens typed = {daUtf8, "_URL_", "_AUTHOR_", "_EXPLAIN_"};
    EXPECT_EQ(TokensForTemplate(typed, TextEncoding::Cp932)[kSiteName], da);
    EXPECT_EQ(TokensForTemplate(typed, TextEncoding::Utf8)[kSiteName], daUtf8);
}
