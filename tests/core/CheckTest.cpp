// The check of the inputs: what it finds, where (line and column in characters), and that clean
// files stay silent; its byte scans and the reading of lines on a second thread.
#include "Check.h"

#include "Codec.h"
#include "Errors.h"
#include "LinesAhead.h"
#include "LinkTable.h"
#include "TempDir.h"
#include "TextScan.h"
#include "UProccess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

using ::testing::HasSubstr;

namespace {

using qvn::test::TempDir;

constexpr const char* kTemplate =
    "top\n_HEAD_\nstart\n_FRAME_\n[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\n_FOOT_\nend\n";
constexpr const char* kLinks = "s1,https://a.example/,a1,d1\r\ns2,https://b.example/,a2,d2\r\n";
const std::string kNeko = "\xE7\x8C\xAB", kNekoSjis = "\x94\x4C"; // 猫 in UTF-8, code page 932
const std::string kFrame = "[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\n";

std::string WithHead(const std::string& head, const std::string& frame = kFrame) {
    return "top\n_HEAD_\n" + head + "\n_FRAME_\n" + frame + "_FOOT_\nend\n";
}

struct Result {
    int status;
    std::string out;
};

class CheckTest : public ::testing::Test {
protected:
    CheckTest() : data(dir.Write("links.csv", kLinks)), templ(dir.Write("t.html", kTemplate)) {}

    // The check as qvn-build --check prints it, the tokens named by their options.
    Result Check(qvn::Tokens tokens = qvn::DefaultTokens()) {
        const qvn::Findings findings = qvn::check::CheckInputs(
            {data}, {templ}, tokens, {"--title", "--url", "--author", "--explain"});
        std::ostringstream out;
        for (const qvn::Finding& finding : findings.list)
            qvn::Print(out, finding);
        if (findings.counts.Total() > 0)
            out << qvn::check::CheckSummary(findings.counts) << "\n";
        return {findings.counts.errors > 0 ? 1 : 0, out.str()};
    }

    // Each printed line's place and label ("t.html:5:3: 警告"), the folder left out, joined by
    // ", ", after checking that the last line counts the errors and warnings among them and
    // says whether the build will succeed.
    std::string Places(const std::string& out) {
        std::string places;
        int errors = 0, warnings = 0;
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);) {
            if (lines.peek() == EOF) {
                EXPECT_EQ(line, "エラー " + std::to_string(errors) + " 件、警告 " +
                                    std::to_string(warnings) + " 件、注記 0 件。" +
                                    (errors > 0 ? "このままではビルドは失敗します。"
                                                : "ビルドはできますが、警告の点はページが思いど"
                                                  "おりにならないおそれがあります。"));
                break;
            }
            if (line.starts_with(dir.Dir() + "/"))
                line.erase(0, dir.Dir().size() + 1);
            const std::string place = line.substr(0, line.find(": ", line.find(": ") + 2));
            EXPECT_TRUE(line.ends_with("。")) << line;
            errors += place.ends_with("エラー");
            warnings += place.ends_with("警告");
            places += (places.empty() ? "" : ", ") + place;
        }
        return places;
    }

    TempDir dir;
    std::string data;
    std::string templ;
};

TEST_F(CheckTest, CleanInputsGiveNoOutput) {
    const std::string sjisTemplate = WithHead("<meta charset=\"Shift_JIS\">" + kNekoSjis);
    std::string many;
    for (int i = 0; i < 500; ++i)
        many += "サイト" + std::to_string(i) + ",https://s" + std::to_string(i) +
                ".example/?q=1&r=2,管理人,説明, コンマ, あり\r\n";
    const struct {
        std::string data, templ;
    } cases[] = {
        {kLinks, kTemplate},
        {"s,https://a.example/,a,d\rt,https://b.example/,b,d", kTemplate}, // CR, no final break
        {",https://a.example/,a,d\n,,,\n", kTemplate}, // empty fields, but three commas each
        {"a,./rel.html,x,d\nb,/abs/,x,d\nc,../up/,x,d\nd,#top,x,d\ne,mailto:me@a.example,x,d\n"
         "f,ftp://files.example/,x,d\ng,//cdn.example/,x,d\nh,page.html,x,https://mirror.example/"
         "\ni,HTTPS://A.EXAMPLE/,x,"
         "d\nj, https://spaced.example/,x,d\nk,/日記/,x,d\n",
         kTemplate},
        {many, WithHead("<meta charset=\"utf-8\">")},
        // Code page 932 extras: ①, ㈱, 髙, 﨑, half-width katakana.
        {"\x87\x40\x87\x8A,https://a.example/,\xFB\xFC\xFA\xB1,\xB1\xB2\xB3\n", sjisTemplate},
        {"Example Garden,https://garden.example.com/,hana,草花の写真と、季節の便り\n",
         WithHead("<meta charset=\"UTF-8\">")},
        {"Café ©,https://cafe.example/,a,d\n", WithHead("<meta charset=\"UTF-8\">")},
        // A marker's name among other text in a section is ordinary text, taken for no marker.
        {kLinks, "_HEAD_\n<!-- _FRAME_ below -->\n_FRAME_\n[_TITLE_](_URL_) _AUTHOR_ _EXPLAIN_\n"
                 "_FOOT_\n<p>_HEAD_</p>\n"},
        {QVN_EXAMPLES "/links-utf8.csv", QVN_EXAMPLES "/template-utf8.html"},
        {QVN_EXAMPLES "/links-sjis.csv", QVN_EXAMPLES "/template-sjis.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.substr(0, 40));
        data = c.data.starts_with(QVN_EXAMPLES) ? c.data : dir.Write("links.csv", c.data);
        templ = c.templ.starts_with(QVN_EXAMPLES) ? c.templ : dir.Write("t.html", c.templ);
        const Result r = Check();
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
    }
    // Every name of the Shift_JIS family, in any case, for a code page 932 template.
    data = dir.Write("links.csv", kNekoSjis + ",https://a.example/,a,d\n");
    for (const char* name : {"Shift_JIS", "shift-jis", "x-sjis", "Windows-31J", "CP932", "ms932"}) {
        templ =
            dir.Write("t.html", WithHead(std::string("<meta charset=") + name + ">" + kNekoSjis));
        EXPECT_EQ(Check().out, "") << name;
    }
}

TEST_F(CheckTest, EachFindingAtItsPlace) {
    const std::string t = kTemplate, links = kLinks;
    const std::string u = ",https://u.example/,a,d\n";
    const struct {
        std::string data, templ;
        qvn::Tokens tokens;
        int status;
        std::string places;
    } cases[] = {
        // Fields.
        {"s1,https://u.example/,a1,d1\nonly,two\n\ns4,https://v.example/,a4\n",
         t,
         {},
         0,
         "links.csv:2: 警告, links.csv:3: 警告, links.csv:4: 警告"},
        // A line short of commas but holding one is still a site, and can be listed twice.
        {"only,two\nonly,two\n",
         t,
         {},
         0,
         "links.csv:1: 警告, links.csv:2: 警告, links.csv:2: 警告"},
        // A NUL ends the text: at its place in the line, or opening a line of its own.
        {std::string("s1,u1,a1,d1\ns2,u2,a2,d2\0s3,u3,a3,d3\n", 36),
         t,
         {},
         0,
         "links.csv:2:12: 警告"},
        {std::string("s1,u1,a1,d1\r\n\0s2\n", 17), t, {}, 0, "links.csv:2:1: 警告"},
        // Empty lines are each an empty line, not the same line again.
        {"s1,https://u.example/,a1,d1\n\n\n", t, {}, 0, "links.csv:2: 警告, links.csv:3: 警告"},
        // A NUL in a file that starts with a stray byte: no UTF-16 without its mark or pattern.
        {std::string("\xFFs,u,a,d\nx\0", 11),
         t,
         {},
         0,
         "links.csv:1:1: 警告, links.csv:2: 警告, links.csv:2:2: 警告"},
        {std::string("s\0", 2), t, {}, 0, "links.csv:1: 警告, links.csv:1:2: 警告"}, // no UTF-16
        {std::string("ab\0c\n", 5), t, {}, 0, "links.csv:1: 警告, links.csv:1:3: 警告"},
        {links, t + std::string("x\0y\n", 4), {}, 0, "t.html:8:2: 警告"},
        {"\xEF\xBB\xBFs1" + u, t, {}, 0, "links.csv:1:1: 警告"},
        // Columns count characters: 猫 is one, in either encoding.
        {links + kNekoSjis + kNekoSjis + u.substr(0, u.size() - 1) + "\xFDx\n",
         t,
         {},
         0,
         "links.csv:3:26: 警告"},
        {kNeko + u + kNeko + ",https://v.example/,a,d\n" + kNeko + "x,https://w.example/,a,\xFF\n",
         t,
         {},
         0,
         "links.csv:3:25: 警告"},
        // An ISO-2022-JP file is pointed out at its first escape, not its last.
        {"s,https://u.example/,a,\x1B$B$\"\x1B(B\ns,https://v.example/,a,\x1B$B$$\x1B(B\n",
         WithHead(kNeko),
         {},
         0,
         "links.csv:1:24: 警告"},
        // A Shift_JIS file cut in the middle of its last character.
        {kNekoSjis + u + "x,https://w.example/,a,\x94", t, {}, 0, "links.csv:2:24: 警告"},
        // Data and template in other encodings, and against the declared charset.
        {kNeko + u,
         WithHead(kNekoSjis + "<meta charset=\"Shift_JIS\">"),
         {},
         0,
         "links.csv:1:1: 警告"},
        {"s3,https://u.example/," + kNeko + ",d\n",
         WithHead("<meta charset=Shift_JIS>"),
         {},
         0,
         "links.csv:1:23: 警告"},
        {kNekoSjis + u, WithHead("<meta charset=\"EUC-JP\">"), {}, 0, "links.csv:1:1: 警告"},
        {kNekoSjis + u, WithHead("<meta charset=\"ISO-8859-1\">"), {}, 0, "links.csv:1:1: 警告"},
        {links, WithHead(kNeko + "<meta charset=\"sjis\">"), {}, 0, "t.html:3: 警告"},
        {links, WithHead(kNekoSjis + "<meta charset=\"UTF-8\">"), {}, 0, "t.html:3: 警告"},
        {links, WithHead(kNekoSjis + "<meta charset=\"EUC-JP\">"), {}, 0, "t.html:3: 警告"},
        // Tokens: missing, near misses at their place, twice, in the head and foot.
        {links, WithHead("h", "_TITLE_ _URL_ _AUTHOR_\n"), {}, 0, "t.html:4: 警告"},
        {links,
         WithHead("h", "_title_ _URL_ _AUTHOR_ _EXPLAIN_\n_Title_\n"),
         {},
         0,
         "t.html:5:1: 警告"},
        {links,
         WithHead("h", "<b>_TITLE</b> _URL_ _AUTHOR_ _EXPLAIN_\n"),
         {},
         0,
         "t.html:5:4: 警告"},
        {links,
         WithHead("h", "_TITLE_ _URL_ _AUTHER_ _EXPRAIN_\n"),
         {},
         0,
         "t.html:5:15: 警告, t.html:5:24: 警告"},
        // Two letters swapped in a token of five: a near miss. A word three edits from a token
        // is a word of its own.
        {links, WithHead("h", "_TITLE_ _ULR_ _AUTHOR_ _EXPLAIN_\n"), {}, 0, "t.html:5:9: 警告"},
        {links, WithHead("h", "_DATE_ _TITLE_ _URL_ _AUTHOR_ _EXPLAIN_\n"), {}, 0, ""},
        {links, WithHead("h", "_TITLE_ _UR _AUTHOR_ _EXPLAIN_\n"), {}, 0, "t.html:5:9: 警告"},
        {links,
         WithHead("h", "猫 _TITLE_ _URL_ _TITLE_ _AUTHOR_ _EXPLAIN_\n"),
         {},
         0,
         "t.html:5:17: 警告"},
        // A half-width katakana is one byte in code page 932: the full-width token after it is
        // read from its own first byte.
        {links,
         WithHead("h", "\xB1" + qvn::Utf8ToCp932("＿ＴＩＴＬＥ＿") + " _URL_ _AUTHOR_ _EXPLAIN_\n"),
         {},
         0,
         "t.html:5:2: 警告"},
        {links,
         WithHead("<h1>_TITLE_</h1>") + "_URL_\n",
         {},
         0,
         "t.html:3:5: 警告, t.html:8:1: 警告"},
        {links, t, {"_TITLE_", "_URL_", "", "_EXPLAIN_"}, 0, "t.html: 警告"},
        // Tokens that a token replaced before them takes away: the field is lost.
        {links,
         t,
         {"_TITLE_", "_TITLE_", "_AUTHOR_", "_EXPLAIN_"},
         0,
         "t.html: 警告, t.html:5:2: 警告"},
        {links, t, {"_TITLE_", "_URL_", "_AUTHOR_", "TITLE"}, 0, "t.html: 警告, t.html:5:3: 警告"},
        {links,
         t,
         {"_TITLE_", "_URL_", "_URL_", "_EXPLAIN_"},
         0,
         "t.html: 警告, t.html:5:11: 警告"},
        // Markers copied into the page.
        {links, "_HEAD_\n_FRAME_\nh\n_FRAME_\n" + kFrame + "_FOOT_\nf\n", {}, 0, "t.html:2: 警告"},
        {links, WithHead("_Foot_"), {}, 0, "t.html:3: 警告"},
        // A bad byte in the head reaches the page; one in the dropped first line does not.
        {links, WithHead("h\xFD"), {}, 0, "t.html:3:2: 警告"},
        {links, "t\xFDp" + t.substr(3), {}, 0, ""},
        // Errors: the build fails. A missing file; missing markers, and lines almost markers.
        {"", t, {}, 1, "none.csv: エラー"},
        {kNeko + u, "", {}, 1, "none.html: エラー"}, // only that it cannot be read
        {links, "top\nstart\n_FRAME_\n" + kFrame + "_FOOT_\nend\n", {}, 1, "t.html:1: エラー"},
        // Exactly one line almost the marker carries the error; a remark that names it does not.
        {links,
         "<!-- _HEAD_ goes below -->\n_HEAD_\nh\n_FRAME_\n" + kFrame + "_FOOT_ \nend\n",
         {},
         1,
         "t.html:6: エラー"},
        {links, "_HEAD_\nh\n\t_FRAME_\n" + kFrame + "_FOOT_\nf\n", {}, 1, "t.html:3: エラー"},
        {links, "_HEAD_\nh\n_Frame_\n" + kFrame + "_FOOT_\nf\n", {}, 1, "t.html:3: エラー"},
        {links, "_HEAD_\nh\n_FRAM_\n" + kFrame + "_FOOT_\nf\n", {}, 1, "t.html:3: エラー"},
        {links, WithHead("h") + "_FOOT\n", {}, 0, "t.html:8: 警告"}, // a letter off, copied
        {links, "_HEAD_\nh\n_FR\x82\x81ME_\n" + kFrame + "_FOOT_\nf\n", {}, 1, "t.html:3: エラー"},
        {links, "_HEAD_\nh\n＿ＦＲＡＭＥ＿\n" + kFrame + "_FOOT_\nf\n", {}, 1, "t.html:3: エラー"},
        {links,
         "_HEAD_\nh\n\x81\x51\x82\x65\x82\x71\x82\x60\x82\x6C\x82\x64\x81\x51\n" + kFrame +
             "_FOOT_\nf\n",
         {},
         1,
         "t.html:3: エラー"}, // ＿ＦＲＡＭＥ＿ in code page 932
        {links,
         "_HEAD_\nh\n<!-- one site a frame, from here: _FRAME_ -->\n" + kFrame + "_FOOT_\nf\n",
         {},
         1,
         "t.html:3: エラー"},
        {links, "_FRAME_\n_HEAD_\nh\n" + kFrame + "_FOOT_\nf\n", {}, 1, "t.html:1: エラー"},
        {links, "_HEAD_\n_FRAME_\n_FOOT_\n", {}, 1, "t.html:2: エラー"}, // only marker lines
        // Two lines almost the marker: the error at the marker before, a note at each.
        {links,
         "_HEAD_\nh\n_FRAME_ \n _FRAME_\n" + kFrame + "_FOOT_\nf\n",
         {},
         1,
         "t.html:1: エラー, t.html:3: 注記, t.html:4: 注記"},
        // A katakana whose trail byte is that of a full-width lower-case letter ("ユ", 0x83 0x86,
        // against "ｆ", 0x82 0x86) is no letter: "＿ユRAME_" is no lookalike.
        {links,
         "_HEAD_\nh\n\x81\x51\x83\x86RAME_\n" + kFrame + "_FOOT_\nf\n",
         {},
         1,
         "t.html:1: エラー"},
        {links, "_HEAD_\nh\n_FRAME_\n" + kFrame + "_FOOT_\n", {}, 1, "t.html:5: エラー"},
        // UTF-16 ("Unicode" in Notepad): one finding, whatever the first bytes read as.
        {std::string("\xFF\xFEs\0,\0u\0", 8), t, {}, 0, "links.csv:1: 警告"},
        {std::string("s\0,\0u\0", 6), t, {}, 0, "links.csv:1: 警告"},
        {links, std::string("\0_\0H\0E\0A\0D\0_", 12), {}, 1, "t.html:1: エラー"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.places);
        data = c.data.empty() ? dir.Path("none.csv") : dir.Write("links.csv", c.data);
        templ = c.templ.empty() ? dir.Path("none.html") : dir.Write("t.html", c.templ);
        const Result r =
            Check(c.tokens[0].empty() && c.tokens[1].empty() ? qvn::DefaultTokens() : c.tokens);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(Places(r.out), c.places) << r.out;
    }
}

// The link list window checks the data it loaded, from memory, with no template: it gets what the
// whole check says of that file.
TEST_F(CheckTest, TheDataAloneGetsWhatTheWholeCheckSaysOfIt) {
    const std::string utf16("\xFF\xFEs\0,\0u\0", 8);
    data = dir.Write("links.csv", utf16);
    const qvn::Findings alone = qvn::check::CheckDataOnly({"links.csv", utf16});
    ASSERT_EQ(alone.list.size(), 1u);
    EXPECT_EQ(alone.list[0].file, "links.csv");
    EXPECT_THAT(Check().out, HasSubstr(":1: 警告: " + alone.list[0].text));
}

// A line that is the marker already, only where the cut does not look for it, is to be moved or
// given a line before it, not turned into the marker it is.
TEST_F(CheckTest, ACutErrorSaysWhatToDoWithItsLine) {
    const struct {
        std::string templ, says;
    } cases[] = {
        {"_HEAD_\n_FRAME_\n_FOOT_\n",
         "_HEAD_ とこの行の間に、ヘッドの行を 1 行以上書いてください。"},
        {"_FRAME_\n_HEAD_\nh\n" + kFrame + "_FOOT_\nf\n",
         "この行を _HEAD_ より後ろに移してください。"},
        {"_HEAD_\nh\n_FRAME_ \n" + kFrame + "_FOOT_\nf\n",
         "この行を _FRAME_ だけの行に直してください。"},
    };
    for (const auto& c : cases) {
        templ = dir.Write("t.html", c.templ);
        const std::string out = Check().out;
        EXPECT_THAT(out, HasSubstr(c.says)) << out;
    }
}

// A field that would break the page's HTML where its token stands, warned of on its data line:
// one row a rule or a trap. Frames hold every token; the template's line 5 is the frame's first.
TEST_F(CheckTest, AFieldThatBreaksTheHtmlWhereItsTokenStands) {
    const std::string attributes =
        "<a\ndownload href = \"_URL_\" title='_AUTHOR_' class=_EXPLAIN_>_TITLE_</a>\n";
    const std::string text = "<li>_TITLE_ _URL_ _AUTHOR_ _EXPLAIN_</li>\n";
    const std::string linkFrame = "<a href=\"_URL_\" title=_TITLE_>_AUTHOR_ _EXPLAIN_</a>\n";
    const std::string sjisData = qvn::Utf8ToCp932("ソ表ダＡ,https://a.example/,a,猫<手帖>\n");
    const struct {
        std::string head, frame, data, places, says = "";
    } cases[] = {
        // A quote of the value's own kind; in a value without quotes, a space and the like.
        {"", attributes, "s,https://a.example/\"onmouseover=\"x,a,d\n", "links.csv:1:21: 警告",
         "「URL」の「\"」が、テンプレート 6 行目の属性 href の値"},
        {"", attributes, "s,https://a.example/,it's,d\n", "links.csv:1:24: 警告"},
        {"", "<a class=_EXPLAIN_>_TITLE_ _URL_ _AUTHOR_</a>\n", "s,https://a.example/,a,\"q\"\n",
         "links.csv:1:24: 警告"},
        // A script scheme at a URL attribute's start, after spaces, in any case, cut by a tab.
        {"", attributes, "s, JAVA\tScript:alert(1),a,d\n", "links.csv:1:4: 警告"},
        {"", linkFrame, "s,data:text/html;base64,PHNjcmlwdD4=,a,d\n", "links.csv:1:3: 警告",
         "中身がそのまま開かれ"},
        // In text: a comment, an element of raw text or a tag left open.
        {"", text, "<!-- s,https://a.example/,a,d\n", "links.csv:1:1: 警告"},
        {"<style>li { color: red }</style>", text, "s,https://a.example/,a,<script>alert(1)\n",
         "links.csv:1:24: 警告", "「<script>」が項目の中で閉じていない"},
        {"", text, "s,https://a.example/,a,<b>x</b class=y\n", "links.csv:1:28: 警告",
         "「</b」で始まるタグ"},
        {"", text, "s,https://a.example/,a,x<?php echo 1\n", "links.csv:1:25: 警告"},
        // Inside a comment its end; inside <script> (opened in the head) or <textarea> its end
        // tag, in any case, where other markup is only text.
        {"", "<!-- _TITLE_ -->_URL_ _AUTHOR_ _EXPLAIN_\n", "a--!>b,https://a.example/,a,d\n",
         "links.csv:1:2: 警告", "「--!>」が、テンプレート 5 行目のコメントをそこで終わらせます"},
        {"", "<!--_TITLE_-->_URL_ _AUTHOR_ _EXPLAIN_\n", ">,https://a.example/,a,d\n",
         "links.csv:1:1: 警告"}, // "<!-->" ends the comment at once
        {"<script>", "var t; // _URL_ _AUTHOR_ _EXPLAIN_ _TITLE_\n",
         "a</SCRIPT>,https://a.example/,a,d\n", "links.csv:1:2: 警告", "「</」を「<\\/」と書いて"},
        {"", "<textarea>_EXPLAIN_</textarea>_TITLE_ _URL_ _AUTHOR_\n",
         "s,https://a.example/,a,<b>x</b></TEXTAREA >\n", "links.csv:1:32: 警告"},
        // A frame that leaves a comment open puts every later site inside it; one that leaves a
        // quote open, every other site.
        {"", "_TITLE_ _URL_ _AUTHOR_ _EXPLAIN_ <!--\n", "a-->,https://a.example/,a,d\nb-->,u,a,d\n",
         "links.csv:2:2: 警告"},
        {"", "<a title=\"_TITLE_ _URL_ _AUTHOR_ _EXPLAIN_\n",
         "a\",u1,a,d\na\",u2,a,d\na\",u3,a,d\na\",u4,a,d\n",
         "links.csv:1:2: 警告, links.csv:3:2: 警告"},
        // Two fields that break the same way on one line: one finding, at the first.
        {"", "<a href=\"_URL_\" title=\"_TITLE_\">_AUTHOR_ _EXPLAIN_</a>\n",
         "x\"y,https://a.example/\",a,d\n", "links.csv:1:2: 警告"},
        // Nothing to say of ordinary content: balanced markup, entities, quotes in text, a "<"
        // before no letter, quotes of the other kind, a script scheme past the URL's start,
        // near misses of an end tag or a comment's end.
        {"", text,
         "<b>a</b><br></textarea>,https://a.example/,&amp; \"q\" 'q',1<2 <3 <a href=\"x\">y</a>\n",
         ""},
        {"", text, "s,https://a.example/,a,<script>f()</script><!-- c -->\n", ""},
        {"", attributes, "s,https://a.example/'',a\"b,d\n", ""},
        {"", "<a href=\"/go?u=_URL_\"><img src=/i?u=_TITLE_>_AUTHOR_ _EXPLAIN_</a>\n",
         "javascript:x,javascript:alert(1),a,d\n", ""},
        {"<script>", "var t = '_TITLE_ _URL_ _AUTHOR_ _EXPLAIN_'; </scripts\n",
         "</scripts></b>,https://a.example/,a,- ->\n", ""},
        {"<script>", "var t; // _URL_ _AUTHOR_ _EXPLAIN_ _TITLE_\n",
         "a</script1,https://a.example/,a,d\n", ""},
        {"", "<!-- _TITLE_ _URL_ _AUTHOR_ _EXPLAIN_ -->\n", "a->,https://a.example/,-- >,--! >\n",
         ""},
        // Code page 932 trail bytes are never quotes or "<", nor a "`" where they stand: in a
        // Shift_JIS page, and in a page of ASCII only with a field that is not UTF-8; a UTF-8
        // page reads the "`" of "Ａ" (82 60) after a stray byte.
        {kNekoSjis, linkFrame, sjisData, ""},
        {"", linkFrame, sjisData, ""},
        {kNeko, linkFrame, sjisData, "links.csv:1:1: 警告, links.csv:1:5: 警告"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frame + c.data);
        data = dir.Write("links.csv", c.data);
        templ = dir.Write("t.html", WithHead(c.head, c.frame));
        const std::string out = Check().out;
        EXPECT_EQ(Places(out), c.places) << out;
        EXPECT_THAT(out, HasSubstr(c.says));
    }
}

// What the check says of a field against what the build does: a field is said to be lost exactly
// when its value is nowhere in the page. Frames of every pair of pieces, with the default tokens
// and with tokens one inside another.
TEST_F(CheckTest, AFieldIsSaidLostExactlyWhenThePageLacksIt) {
    const qvn::Tokens nested = {"%a", "%ab", "b", "%"};
    for (const qvn::Tokens& tokens : {qvn::DefaultTokens(), nested}) {
        std::vector<std::string> pieces(tokens.begin(), tokens.end());
        pieces.insert(pieces.end(), {"_title_", "_TITLE", "x"});
        for (const std::string& first : pieces) {
            for (const std::string& second : pieces) {
                const std::string frame = first + " " + second + " " + first + "\n";
                templ = dir.Write("t.html", WithHead("h", frame));
                const std::string out = Check(tokens).out;
                const qvn::TLinkTable fields = qvn::TLinkTable::Parse("V0,V1,V2,V3");
                qvn::TableLinks links(fields);
                std::string page;
                qvn::MakePage(qvn::TPageTemplate(dir.Read("t.html")), links, tokens,
                              [&page](std::string& block) {
                                  page += block;
                                  block.clear();
                              });
                for (std::size_t k = 0; k < qvn::kLinkFields; ++k) {
                    const std::string lost = std::string(k == 0   ? "「サイト名」"
                                                         : k == 1 ? "「URL」"
                                                         : k == 2 ? "「管理者」"
                                                                  : "「サイト説明」") +
                                             "はページに入りません";
                    EXPECT_EQ(out.find(lost) != std::string::npos,
                              page.find(std::string(1, 'V').append(std::to_string(k))) ==
                                  std::string::npos)
                        << frame << out << page;
                }
            }
        }
    }
}

TEST_F(CheckTest, TheUrlFieldLookedAtWithJudgement) {
    const std::pair<std::string, std::string> cases[] = {
        {"www.example.com/", "「https://」(または「http://」) がありません"},
        {"example.co.jp/page", "「https://」(または「http://」) がありません"},
        {"ttp://a.example/", "「ttp://」は「http://」か「https://」の書き間違い"},
        {"htps://a.example/", "「htps://」は"},
        {"http//a.example/", "「http//」は"},
        {"http:/a.example/", "「http:」の後ろに「//」がありません"},
        {"ｈｔｔｐｓ：／／a.example/", "全角の文字で書かれています"},
        {qvn::Utf8ToCp932("ｈｔｔｐｓ：／／a.example/"), "全角の文字で書かれています"},
        {qvn::Utf8ToCp932("ｗｗｗ．ａ．ｅｘａｍｐｌｅ／"), "全角の文字で書かれています"},
        {qvn::Utf8ToCp932("http：//a.example/"), "全角の文字で書かれています"},
        // A host name in full-width letters and digits is still a host name.
        {"ｃａｆｅ２９．ｊｐ", "「https://」(または「http://」) がありません"},
        {qvn::Utf8ToCp932("ｃａｆｅ２９．ｊｐ"), "「https://」(または「http://」) がありません"},
        {"\xE3\x80\x80https://a.example/", "URL の前に全角の空白があります"},
        {"\"https://a.example/\"", "「\"」で囲まれています"},
        {"管理人", "URL に見えません"},
        {"URL", "見出しのようです"}, // on the first line only
        {qvn::Utf8ToCp932("リンク"), "見出しのようです"},
    };
    for (const auto& [url, why] : cases) {
        data = dir.Write("links.csv", "s," + url + ",a,d\n");
        const std::string out = Check().out;
        EXPECT_THAT(out, HasSubstr(why)) << url;
        EXPECT_EQ(Places(out),
                  why == "見出しのようです" ? "links.csv:1: 警告" : "links.csv:1:3: 警告")
            << url;
    }
    // Fields swapped: the URL is in another field.
    data = dir.Write("links.csv", "https://a.example/,サイト,a,d\n");
    EXPECT_THAT(Check().out,
                HasSubstr(":1:20: 警告: 「URL」の欄に URL がなく、「サイト名」の欄に"));
}

TEST_F(CheckTest, SeparatorsThatLookLikeCommasAreNamed) {
    const struct {
        std::string data, places, says;
    } cases[] = {
        // Lines cut by tabs are reported once, at the first, even the same line twice.
        {"s\thttps://a.example/\ta\td\ns\thttps://a.example/\ta\td\n", "links.csv:1:2: 警告",
         "タブで区切られています。"},
        // A tab in the text, fewer than the missing commas, is no separator.
        {"s,https://a.example/\tsite\n", "links.csv:1: 警告", "カンマが 1 つしかありません"},
        // One line cut by tabs: no count of others.
        {"s\thttps://a.example/\ta\td\n", "links.csv:1:2: 警告",
         "カンマ区切り (CSV) で保存し直してください。\n"},
        {"s，https://a.example/，a，d\n", "links.csv:1:2: 警告", "全角の「，」で区切られています"},
        {"，https://a.example/，a，d\n", "links.csv:1:1: 警告", "全角の「，」で区切られています"},
        {"s、https://a.example/、a、d\n", "links.csv:1:2: 警告", "「、」で区切られています"},
        // The separator is the line's one finding: the text the build takes for its URL is not
        // looked at as one.
        {"s、https://a.example/,う,d\n", "links.csv:1:2: 警告", "「、」で区切られています"},
        // In code page 932 the full-width comma is found after double-byte characters too.
        {qvn::Utf8ToCp932("サイト，https://a.example/，a，d\n"), "links.csv:1:4: 警告",
         "全角の「，」で区切られています"},
        // An ideographic comma counts before a URL with an ideographic space in front of it.
        {"s、\xE3\x80\x80https://a.example/、a、d\n", "links.csv:1:2: 警告",
         "「、」で区切られています"},
        // A description's 「、」 is no separator: the line lacks a comma, no more.
        {"s,https://a.example/,草花と、季節\n", "links.csv:1: 警告", "カンマが 2 つしかありません"},
    };
    for (const auto& c : cases) {
        data = dir.Write("links.csv", c.data);
        const std::string out = Check().out;
        EXPECT_EQ(Places(out), c.places) << c.data;
        EXPECT_THAT(out, HasSubstr(c.says));
    }
    data = dir.Write("links.csv", "s\thttps://a.example/\ta\td\nt\thttps://b.example/\tb\td\n");
    EXPECT_THAT(Check().out, HasSubstr("タブで区切られた行はほかに 1 行あります。"));
}

TEST_F(CheckTest, SitesListedTwiceNameTheFirstLine) {
    data = dir.Write("links.csv", "a,https://a.example/,x,d\nb,https://b.example/,y,d\n"
                                  "c,https://a.example/,z,e\nb,https://b.example/,y,d\n"
                                  "e,,x,d\nf,,x,d\ne,,x,d\n");
    const std::string out = Check().out;
    EXPECT_EQ(Places(out), "links.csv:3: 警告, links.csv:4: 警告, links.csv:7: 警告");
    EXPECT_THAT(out, HasSubstr(":3: 警告: URL が 1 行目のサイトと同じです。"));
    EXPECT_THAT(out, HasSubstr(":4: 警告: この行は 2 行目とまったく同じです。"));
}

TEST_F(CheckTest, LinesInAnotherEncodingAreJudgedOneByOne) {
    std::string utf8;
    for (int i = 0; i < 6; ++i)
        utf8 += kNeko + std::to_string(i) + ",https://s" + std::to_string(i) + ".example/,a,d\n";
    const std::string utf8Template = WithHead("<meta charset=\"UTF-8\">" + kNeko);
    const struct {
        std::string data, places, says;
    } cases[] = {
        // A pasted Shift_JIS line, a Latin-1 é (after an emoji, one character of four bytes), a
        // character cut short at the end of the file, and four whole bytes past U+10FFFF there.
        {utf8 + kNekoSjis + ",https://x.example/,a,d\n", "links.csv:7:1: 警告",
         "UTF-8 として読めない文字があります"},
        {utf8 + "caf\xE9,https://x.example/,a,d\n", "links.csv:7:4: 警告", "ファイル全体を UTF-8"},
        {utf8 + "😀caf\xE9,https://x.example/,a,d\n", "links.csv:7:5: 警告", "ファイル全体を UTF-8"},
        {utf8 + "x,https://x.example/,a," + kNeko.substr(0, 2), "links.csv:7:24: 警告",
         "文字が途中で切れていて"},
        {utf8 + "x,https://x.example/,a,\xF4\x90\x80\x80", "links.csv:7:24: 警告",
         "UTF-8 として読めない文字があります"},
    };
    for (const auto& c : cases) {
        data = dir.Write("links.csv", c.data);
        templ = dir.Write("t.html", utf8Template);
        const std::string out = Check().out;
        EXPECT_EQ(Places(out), c.places);
        EXPECT_THAT(out, HasSubstr(c.says));
    }
    // EUC-JP, with half-width katakana (two bytes each) among its characters, is named as such,
    // and taken as it is when both files are in it.
    const std::string eucTemplate = WithHead("<meta charset=\"EUC-JP\">\xA4\xA2");
    templ = dir.Write("t.html", eucTemplate);
    data = dir.Write("links.csv", "\xA4\xA2\xA4\xA4,https://a.example/,a,d\n"
                                  "\x8E\xB1\xA4\xA2\xA4\xA4,https://b.example/,a,d\n");
    EXPECT_EQ(Check().out, "");
    data = dir.Write("links.csv", utf8);
    EXPECT_THAT(Check().out, HasSubstr("データは UTF-8 ですが、テンプレートは EUC-JP です"));
}

TEST_F(CheckTest, EncodingsThatDifferSayWhatToSaveIn) {
    const struct {
        std::string data, templ, says;
    } cases[] = {
        {kNeko + ",u,a,d\n", WithHead(kNekoSjis),
         "データは UTF-8 ですが、テンプレートは Shift_JIS です。ページではサイトの項目が文字化けし"
         "ます。データをテンプレートと同じ Shift_JIS で保存し直してください。"},
        {kNekoSjis + ",u,a,d\n", WithHead("<meta charset=\"EUC-JP\">"),
         "テンプレートは 3 行目で charset=EUC-JP を宣言しています。ページではサイトの項目が文字化け"
         "します。データをテンプレートと同じ EUC-JP で保存し直してください。"},
        // A charset of no Japanese encoding: the charset is what to mend.
        {kNekoSjis + ",u,a,d\n", WithHead("<meta charset=\"ISO-8859-1\">"),
         "charset を Shift_JIS に直してください。"},
    };
    for (const auto& c : cases) {
        data = dir.Write("links.csv", c.data);
        templ = dir.Write("t.html", c.templ);
        EXPECT_THAT(Check().out, HasSubstr(c.says));
    }
}

TEST_F(CheckTest, PastTenOfAKindTheRestAreCounted) {
    std::string lines, sections;
    for (int i = 0; i < 11; ++i) {
        lines += "\xFD\n"; // no comma, and a byte that is no character: two kinds of warning
        sections += "_foot_\n";
    }
    data = dir.Write("links.csv", lines);
    templ = dir.Write("t.html", WithHead(sections));
    const Result r = Check();
    EXPECT_EQ(r.status, 0);
    for (const auto& [name, kind] :
         {std::pair{data, "項目の足りない行"}, std::pair{data, "読めない文字"},
          std::pair{templ, "区切り行にならない行"}})
        EXPECT_THAT(r.out,
                    HasSubstr(name + (kind == std::string("区切り行にならない行") ? ":13" : ":11") +
                              ": 注記: ここから先の「" + kind +
                              "」の警告 1 件は表示を省きました。\n"));
    EXPECT_EQ(r.out.find(data + ":11: 警告"), std::string::npos);
    EXPECT_THAT(r.out, HasSubstr("エラー 0 件、警告 33 件、注記 0 件。"));
}

TEST_F(CheckTest, NulByteFirstInABlockOfTheReaderStartsItsLine) {
    // 131,072 lines of 8 bytes fill the reader's first 1 MiB; the NUL is the next block's first,
    // and its only byte.
    std::string lines;
    for (int i = 0; i < 131072; ++i)
        lines += "a,b,c,d\n";
    data = dir.Write("links.csv", lines + '\0');
    const Result r = Check();
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, HasSubstr(data + ":131073:1: 警告"));
}

TEST_F(CheckTest, NamesAndTokensCannotForgeAFinding) {
#ifndef _WIN32 // no Windows file name holds a line break or a colon
    data = dir.Write("a\nb.csv:9: エラー: x", "s,u\n");
#else
    data = dir.Write("links.csv", "s,u\n");
#endif
    const std::string out = Check({"_TITLE_", "_URL_", "\x1B[31m", "_EXPLAIN_"}).out;
#ifndef _WIN32
    EXPECT_THAT(out, HasSubstr("a\\nb.csv:9: エラー: x:1: 警告: カンマが 1 つしか"));
#endif
    EXPECT_THAT(out, HasSubstr("\\x1B[31m"));
    EXPECT_EQ(out.find('\x1B'), std::string::npos);
}

TEST_F(CheckTest, WordingOfTheExampleInTheReadme) {
    data = dir.Write("links.csv",
                     "Quorvane の部屋,https://quorvane.example/,管理人,リンク集を作る道具の話\n"
                     "Example Garden,https://garden.example.com/,草花の写真と、季節の便り\n");
    templ =
        dir.Write("template.html",
                  "<!-- everything above _HEAD_ is left out of the page -->\n_HEAD_\n"
                  "<html><head><meta charset=\"UTF-8\"><title>リンク集</title></head><body>\n"
                  "<ul>\n_FRAME_\n<li><a href=\"_URL_\">_TITLE_</a> (_AUTHOR_): _EXPLAIN_</li>\n"
                  "_FOOT_ \n</ul>\n</body></html>\n");
    const Result r = Check();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, data +
                         ":2: 警告: カンマが 2 つしかありません。「管理者」は空になり、"
                         "2 つめのカンマより後ろが「サイト説明」になります。サイト名,URL,管理者,"
                         "サイト説明 の 4 項目にしてください。\n" +
                         templ +
                         ":7: エラー: _FOOT_ の区切りになりません (行末に空白があります)。"
                         "_FRAME_ の後ろに区切り行 _FOOT_ がありません。ビルドは「リストのイン"
                         "デックスが範囲を超えています (9)」で止まります。この行を _FOOT_ だけの"
                         "行に直してください。\n"
                         "エラー 1 件、警告 1 件、注記 0 件。このままではビルドは失敗します。\n");
}

TEST(TextScan, FirstInvalidByteInEachEncoding) {
    using qvn::check::kNone;
    const struct {
        std::string text;
        std::size_t utf8, cp932;
    } cases[] = {
        {"plain ASCII", kNone, kNone},
        {"\xE3\x81\x82", kNone, 2},     // あ in UTF-8: E3 81 a pair, then a lead byte at the end
        {"ab\x94\x4C", 2, kNone},       // 猫 in code page 932
        {"\xEF\xBB\xBFx", kNone, 0},    // a byte order mark: EF BB is unassigned
        {"\xC0\xAF", 0, kNone},         // an overlong "/"; two half-width kana
        {"x\xED\xA0\xBD", 1, kNone},    // a surrogate; ED A0, then ｽ
        {"\xF4\x90\xBF\xBF", 0, kNone}, // past U+10FFFF; F4 90 (user-defined), ｿ ｿ
        {"\xF0\x90\xBF\xBF", kNone, kNone}, // U+10FFF: four bytes from F0 on
        {"ok\xE3\x81", 2, kNone},           // cut short
        {"\xB1\x85\x40", 0, 1},             // a stray continuation; ｱ, then 85 40 is unassigned
        {"\x83\x5C\xFD", 0, 2},             // ソ, then FD alone
        {"\xA0 \xFD", 0, 0},                // bytes that are no character alone
        {"12345678\x82", 8, 8},             // after a whole word of ASCII
        {"\x81\xAC\x81\xAD", 0, 2},         // 〓, the last of its run, then the first gap
#ifdef _WIN32
        {"\x80", 0, kNone}, // the first byte of the table: Windows maps it to U+0080
#else
        {"\x80", 0, 0}, // the first byte of the table: glibc has no character for it
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(qvn::FirstInvalidUtf8(c.text), c.utf8);
        EXPECT_EQ(qvn::check::FirstInvalidCp932(c.text), c.cp932);
    }
}

TEST(TextScan, ColumnsCountCharacters) {
    const struct {
        std::string line;
        std::size_t offset, utf8, cp932;
    } cases[] = {
        {"abc", 2, 3, 3},
        {"\xE7\x8C\xAB"
         "x",
         3, 2, 3},                      // 猫 in UTF-8: one character, or three bytes in 932
        {"\x94\x4C\x94\x4Cx", 4, 5, 3}, // 猫猫 in code page 932
        {"\xB1\xB2x", 2, 3, 3},         // half-width katakana: a byte each
        {"\x94\x4C\xFDx", 2, 3, 2},     // a byte that is no character counts as one
        {"\xC2\xA3x", 2, 2, 3},         // £, the first two-byte lead of UTF-8; two katakana in 932
    };
    for (const auto& c : cases) {
        const qvn::check::Column column = qvn::check::Column::At(c.line, c.offset);
        EXPECT_EQ(column.utf8, c.utf8) << c.line;
        EXPECT_EQ(column.cp932, c.cp932) << c.line;
    }
}

TEST(TextScan, AFileIsInTheEncodingMostOfItsLinesAreIn) {
    using qvn::check::Encoding;
    const std::string neko = "\xE7\x8C\xAB\xE3\x81\xA8", nekoSjis = "\x94\x4C\x82\xC6";
    const struct {
        std::vector<std::string> lines;
        Encoding encoding;
    } cases[] = {
        {{"ascii", "only"}, Encoding::Ascii},
        {{"\x1B$B$\"\x1B(B"}, Encoding::Iso2022Jp},
        {{neko, neko, nekoSjis}, Encoding::Utf8},
        {{neko, nekoSjis, nekoSjis}, Encoding::Cp932},
        {{"\xA4\xA2\xA4\xA4", "\xB0\xA1"}, Encoding::EucJp},
        {{"\xA4\xA2\xB0\xE1\x8E\xB1"}, Encoding::EucJp}, // with a half-width katakana
        {{"\xB1\xB2", "\xB3\xB4"}, Encoding::Cp932},     // half-width katakana, no hiragana row
        // Half-width katakana with a "･" (A5), which reads as an EUC-JP katakana.
        {{"\xCE\xB0\xD1\xCD\xA5\xB1\xDF\xB0\xBC\xDE"}, Encoding::Cp932},
    };
    for (const auto& c : cases) {
        qvn::check::EncodingScan scan(10);
        long long line = 0;
        for (const std::string& text : c.lines)
            scan.Line(++line, text, true);
        EXPECT_EQ(scan.Result(), c.encoding) << c.lines.front();
    }
}

// Lines of a text, then a failure after `failAfter` lines (none when it is −1).
class FailingSource final : public qvn::ByteSource {
public:
    FailingSource(std::string_view text, int failAfter) : text_(text), failAfter_(failAfter) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        if (failAfter_ >= 0 && lines_ == failAfter_)
            throw qvn::FileError(qvn::FileError::Kind::Open, qvn::FilePath::FromNative("x"));
        // One line a read, so a failure comes exactly after a given line.
        const std::size_t n = std::min(size, text_.find('\n') + 1);
        text_.copy(buffer, n);
        text_.remove_prefix(n);
        lines_ += n > 0;
        return n;
    }

private:
    std::string_view text_;
    int failAfter_;
    int lines_ = 0;
};

TEST(LinesAhead, TheReadersLinesInOrderThenItsFailureWhereItCame) {
    // Lines across many hand-overs, one longer than a whole batch and many empty ones among them.
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 80000; ++i) {
        expected.push_back(i == 20000                               ? std::string(300000, 'x')
                           : i % 40000 > 30000 && i % 40000 < 39000 ? ""
                                                                    : "line " + std::to_string(i));
        text += expected.back() + "\n";
    }
    for (const int failAfter : {-1, 30000}) {
        SCOPED_TRACE(failAfter);
        FailingSource source(text, failAfter);
        qvn::LineReader reader(source);
        qvn::check::LinesAhead lines(reader);
        int count = 0;
        std::string_view line;
        try {
            for (; lines.Next(line); ++count)
                ASSERT_EQ(line, expected[count]);
            EXPECT_EQ(failAfter, -1) << "no failure";
            EXPECT_EQ(line, expected.back()); // still valid after the end
        } catch (const qvn::FileError&) {
            EXPECT_NE(failAfter, -1);
        }
        // Every line the source gave comes out before its failure.
        EXPECT_EQ(count, failAfter == -1 ? 80000 : failAfter);
    }
}

TEST(LinesAhead, StopsWhereverTheReadingIs) {
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "a line that is read\n";
    FailingSource source(text, -1);
    qvn::LineReader reader(source);
    std::string_view line;
    {
        qvn::check::LinesAhead lines(reader); // ended with nothing taken
    }
    qvn::check::LinesAhead lines(reader);
    ASSERT_TRUE(lines.Next(line));
    // Leaving the scope ends the reading thread half way through the text.
}

} // namespace
