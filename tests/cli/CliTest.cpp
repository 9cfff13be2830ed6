// qvn-build: exit statuses, the exact text on standard error, the page bytes, token options and
// file names, first through run() in-process, then through the real binary.
#include "Cli.h"

#include "ChildProcess.h"
#include "Codec.h"
#include "Errors.h"
#include "FileIO.h"
#include "QvnBuild.h"
#include "TempDir.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

using qvn::test::QvnBuild;
using qvn::test::Result;
using qvn::test::Stream;
using qvn::test::TempDir;
namespace test = qvn::test;

constexpr const char* kUsageLine =
    "usage: qvn-build --data DATA --template TEMPLATE --output PAGE\n";

// The seven-line example: a dropped first line, a one-line head, frame and foot.
constexpr const char* kTemplate =
    "top\n_HEAD_\nstart\n_FRAME_\n[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\n_FOOT_\nend\n";
constexpr const char* kLinks = "s1,u1,a1,d1\r\ns2,u2,a2,d2\r\n";
constexpr const char* kPage = "start\r\n[s1](u1) by a1: d1\r\n[s2](u2) by a2: d2\r\nend\r\n";

#ifndef _WIN32
// The system's reason for a failed save as qvn-build adds it after the message, in English, for
// the binary run with LC_ALL=C.
std::string BecauseInEnglish(int error) {
    return std::string(" (") + std::strerror(error) + ")";
}
#endif

void ExpectCreateFailure(const std::string& err, const std::string& page, int error) {
    test::ExpectFileFailure(err, "qvn-build: ファイル " + page + " を作成できません.", error);
}
void ExpectOpenFailure(const std::string& err, const std::string& path, int error) {
    test::ExpectFileFailure(err, "qvn-build: ファイル " + path + " は開けません.", error);
}

class CliTest : public ::testing::Test {
protected:
    CliTest() : data(dir.Write("links.csv", kLinks)), templ(dir.Write("t.html", kTemplate)) {}

    // Builds to standard output with the given extra options.
    Result ToStdout(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--data", data, "--template", templ, "--output", "-"};
        args.insert(args.end(), extra.begin(), extra.end());
        return QvnBuild(args);
    }

    TempDir dir;
    std::string data;
    std::string templ;
};

// --- Wrong usage: status 2, the reason and the usage text on standard error, nothing built. ---

TEST_F(CliTest, WrongUsageExitsTwoWithReasonAndUsage) {
    const std::string page = dir.Path("page.html");
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{}, "qvn-build: missing --data\n"},
        {{"--template", templ, "--output", page}, "qvn-build: missing --data\n"},
        {{"--data", data, "--output", page}, "qvn-build: missing --template\n"},
        {{"--data", data, "--template", templ}, "qvn-build: missing --output\n"},
        {{"--data", data, "--template", templ, "--output"},
         "qvn-build: option '--output' needs a value\n"},
        {{"--data", data, "--template", templ, "--output", page, "--colour", "red"},
         "qvn-build: unknown option '--colour'\n"},
        {{"--data", data, "--template", templ, "--output", page, "extra.csv"},
         "qvn-build: unexpected argument 'extra.csv'\n"},
        {{"-d", data, "--template", templ, "--output", page},
         "qvn-build: unexpected argument '-d'\n"},
        {{"--data", data, "--data", data, "--template", templ, "--output", page},
         "qvn-build: option '--data' given twice\n"},
        {{"--data", "-", "--template", templ, "--output", page},
         "qvn-build: standard input is not a data file: give --data a file name (./- for a file "
         "named -)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const Result r = QvnBuild(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, StartsWith(c.reason + kUsageLine));
        EXPECT_THAT(r.err, HasSubstr("--help"));
    }
    EXPECT_FALSE(dir.Exists("page.html"));
}

TEST_F(CliTest, HelpAndVersionGoToStandardOutput) {
    const Result help = QvnBuild({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, StartsWith(kUsageLine));
    for (const char* option : {"--title", "--url", "--author", "--explain", "\"-\""})
        EXPECT_THAT(help.out, HasSubstr(option));
    EXPECT_EQ(help.err, "");

    const Result version = QvnBuild({"--version"});
    EXPECT_EQ(version.status, 0);
#ifdef GTEST_USES_SIMPLE_RE // GoogleTest's own expressions, as on Windows
    EXPECT_THAT(version.out, testing::MatchesRegex("qvn-build \\d+\\.\\d+\n"));
#else
    EXPECT_THAT(version.out, testing::MatchesRegex("qvn-build [0-9]+\\.[0-9]+\n"));
#endif
    EXPECT_EQ(version.err, "");

    // Help wins over an otherwise incomplete command line, and builds nothing.
    EXPECT_EQ(QvnBuild({"--data", data, "--help"}).status, 0);
}

TEST_F(CliTest, HelpAndVersionThatCannotBeWrittenFail) {
    for (const char* option : {"--help", "--version"}) {
        SCOPED_TRACE(option);
        std::ostringstream out, err;
        out.setstate(std::ios::badbit);
        EXPECT_EQ(qvn::cli::run({option}, out, err), 1);
        EXPECT_EQ(err.str(), "qvn-build: ストリームへの書き込みエラー.\n");
    }
}

TEST_F(CliTest, OptionValuesAreTakenAsTheyStand) {
    // "--help" and "--version" as the value of an option are tokens, not requests for help.
    templ = dir.Write("dash.html", "_HEAD_\nh\n_FRAME_\n--help|--version|_URL_\n_FOOT_\nf\n");
    const Result r = ToStdout({"--title", "--help", "--author=--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "h\r\ns1|a1|u1\r\ns2|a2|u2\r\nf\r\n");
    // ... and "--version" in the place of an option still is one, after a mistake too.
    const Result version = QvnBuild({"--colour", "--version", "--help"});
    EXPECT_EQ(version.status, 0);
    EXPECT_THAT(version.out, StartsWith("qvn-build "));
}

// --- Failures of the build: status 1, "qvn-build: " and the message with its full stop. ---

TEST_F(CliTest, UnreadableInputsAreNamedAsGiven) {
    const std::string page = dir.Path("page.html");
    const std::string missing = dir.Path("none/links.csv");

    Result r = QvnBuild({"--data", missing, "--template", templ, "--output", page});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    ExpectOpenFailure(r.err, missing, ENOENT);

    r = QvnBuild({"--data", data, "--template", dir.Path("none.html"), "--output", page});
    EXPECT_EQ(r.status, 1);
    ExpectOpenFailure(r.err, dir.Path("none.html"), ENOENT);

    // A relative name is not expanded; an empty one leaves nothing between the two spaces; a
    // folder is not a file.
    r = QvnBuild({"--data", "no-such-folder/links.csv", "--template", templ, "--output", page});
    ExpectOpenFailure(r.err, "no-such-folder/links.csv", ENOENT);
    r = QvnBuild({"--data=", "--template", templ, "--output", page});
    ExpectOpenFailure(r.err, "", ENOENT);
    r = QvnBuild({"--data", data, "--template", dir.Path(""), "--output", page});
    ExpectOpenFailure(r.err, dir.Path(""), EISDIR);
    // Data that is a folder fails as it is opened, before a broken template is read.
    r = QvnBuild(
        {"--data", dir.Path(""), "--template", dir.Write("broken.html", "x\n"), "--output", page});
    ExpectOpenFailure(r.err, dir.Path(""), EISDIR);

    EXPECT_FALSE(dir.Exists("page.html"));
}

TEST_F(CliTest, OutputThatCannotBeCreatedIsNamedAsGiven) {
    const std::string page = dir.Path("missing-folder/page.html");
    Result r = QvnBuild({"--data", data, "--template", templ, "--output", page});
    EXPECT_EQ(r.status, 1);
    ExpectCreateFailure(r.err, page, ENOENT);

    std::filesystem::create_directory(dir.Path("folder"));
    r = QvnBuild({"--data", data, "--template", templ, "--output", dir.Path("folder")});
    EXPECT_EQ(r.status, 1);
    ExpectCreateFailure(r.err, dir.Path("folder"), EISDIR);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path("folder")));
}

TEST_F(CliTest, BrokenTemplateGivesListIndexMessageWithoutStopAndKeepsOldPage) {
    const std::string page = dir.Write("page.html", "the previous page\r\n");
    // The "_FOOT_" line is the template's last: there is no foot. Four lines.
    dir.Write("broken.html", "_HEAD_\r\nh\r\n_FRAME_\r\nf\r\n_FOOT_\r\n");
    const Result r =
        QvnBuild({"--data", data, "--template", dir.Path("broken.html"), "--output", page});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qvn-build: リストのインデックスが範囲を超えています (5)\n");
    EXPECT_EQ(dir.Read("page.html"), "the previous page\r\n");
    EXPECT_EQ(dir.EntryCount(), 4); // links.csv, t.html, broken.html, page.html: no leftovers
}

TEST_F(CliTest, FailedBuildToStandardOutputWritesNothing) {
    Result r = QvnBuild({"--data", dir.Path("none.csv"), "--template", templ, "--output", "-"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");

    // The template is cut before the first byte goes out, so not even the head is written.
    templ = dir.Write("no-foot.html", "_HEAD_\nhead\n_FRAME_\nframe\n");
    r = ToStdout();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "qvn-build: リストのインデックスが範囲を超えています (4)\n");
}

TEST_F(CliTest, StandardOutputThatRejectsWritesIsAWriteFailure) {
    std::ostringstream sink;
    sink.setstate(std::ios::badbit);
    std::ostringstream err;
    const int status =
        qvn::cli::run({"--data", data, "--template", templ, "--output", "-"}, sink, err);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err.str(), "qvn-build: ストリームへの書き込みエラー.\n");
}

TEST_F(CliTest, NamesHoldingANulByteFailWithTheWholeName) {
    const std::string name("a\0bc", 4);
    const Result r = QvnBuild({"--data", name, "--template", templ, "--output", "-"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qvn-build: ファイル " + name + " は開けません.\n");
}

#ifndef _WIN32
TEST_F(CliTest, LoopOfLinksAsThePageIsRefusedAndLeftAlone) {
    std::filesystem::create_symlink("loop-b.html", dir.Path("loop-a.html"));
    std::filesystem::create_symlink("loop-a.html", dir.Path("loop-b.html"));
    const Result r =
        QvnBuild({"--data", data, "--template", templ, "--output", dir.Path("loop-a.html")});
    EXPECT_EQ(r.status, 1);
    ExpectCreateFailure(r.err, dir.Path("loop-a.html"), ELOOP);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("loop-a.html")));
    EXPECT_EQ(std::filesystem::read_symlink(dir.Path("loop-a.html")), "loop-b.html");
    EXPECT_EQ(dir.EntryCount(), 4);
}
#endif

TEST_F(CliTest, PageNamesAsLongAsTheFileSystemAllows) {
    const std::string name = std::string(250, 'p') + ".html"; // 255 bytes
    const std::string page = dir.Write(name, "old\r\n");
    const Result r = QvnBuild({"--data", data, "--template", templ, "--output", page});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.Read(name), kPage);
}

// A page never replaces a file it is made from, however the output names it: the build fails
// naming the output as given, and nothing in the folder changes.
TEST_F(CliTest, PageOverItsOwnDataOrTemplateIsRefused) {
    std::filesystem::create_directory(test::NativePath(dir.Path("sub")));
    const std::string isData = " はリンクデータのファイルです: ページで置き換えると失われるため、"
                               "書き込みません.\n";
    const std::string isTemplate =
        " はテンプレートのファイルです: ページで置き換えると失われるため、"
        "書き込みません.\n";
    struct Case {
        std::string output;
        std::string ending;
    };
    std::vector<Case> cases = {
        {data, isData},
        {templ, isTemplate},
        {dir.Path("./links.csv"), isData},
        {dir.Path("sub/../t.html"), isTemplate},
    };
#ifdef _WIN32
    cases.push_back({dir.Path("LINKS.CSV"), isData}); // the same file in another letter case
#else
    std::filesystem::create_symlink("t.html", test::NativePath(dir.Path("link.html")));
    cases.push_back({dir.Path("link.html"), isTemplate});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        const Result r = QvnBuild({"--data", data, "--template", templ, "--output", c.output});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "qvn-build: ファイル " + c.output + c.ending);
        EXPECT_EQ(dir.Read("links.csv"), kLinks);
        EXPECT_EQ(dir.Read("t.html"), kTemplate);
    }
#ifdef _WIN32
    EXPECT_EQ(dir.EntryCount(), 3);
#else
    EXPECT_EQ(dir.EntryCount(), 4);
#endif
}

// --- Successful builds: status 0, nothing printed but the page. ---

TEST_F(CliTest, PageGoesToFileOrStandardOutputByteForByte) {
    Result r = ToStdout();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kPage);
    EXPECT_EQ(r.err, "");

    const std::string page = dir.Write("page.html", "an older, longer page\r\n\r\n\r\n\r\n");
    r = QvnBuild({"--data", data, "--template", templ, "--output", page});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.Read("page.html"), kPage);

    // "--name=value" is the same as "--name value".
    r = QvnBuild({"--data=" + data, "--template=" + templ, "--output=-"});
    EXPECT_EQ(r.out, kPage);
}

TEST_F(CliTest, CodePage932BytesPassThroughUnchanged) {
    // 猫 and ソ (trail byte 0x5C) and 表, in code page 932; a comma after the third stays in
    // the description.
    const std::string neko = "\x94\x4C", so = "\x83\x5C", hyo = "\x95\x5C";
    data = dir.Write("sjis.csv", neko + "," + "https://neko.example/," + so + "," + hyo + ",x\r\n");
    const Result r = ToStdout();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "start\r\n[" + neko + "](https://neko.example/) by " + so + ": " + hyo +
                         ",x\r\nend\r\n");
}

TEST_F(CliTest, TokenOptionsAreUsedByteForByte) {
    templ = dir.Write("tokens.html", "_HEAD_\nh\n_FRAME_\n"
                                     "{n} {u} {a} {d} | _TITLE_ _URL_ _AUTHOR_ _EXPLAIN_\n"
                                     "_FOOT_\nf\n");
    Result r = ToStdout({"--title", "{n}", "--url", "{u}", "--author", "{a}", "--explain", "{d}"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "h\r\ns1 u1 a1 d1 | _TITLE_ _URL_ _AUTHOR_ _EXPLAIN_\r\n"
                     "s2 u2 a2 d2 | _TITLE_ _URL_ _AUTHOR_ _EXPLAIN_\r\nf\r\n");

    // An option replaces only its own default; spaces and case count: the URL token " _AUTHOR_"
    // takes the space with it, which leaves nothing for the administrator's "_AUTHOR_".
    r = ToStdout({"--url", " _AUTHOR_", "--title", "_title_"});
    EXPECT_EQ(r.out, "h\r\n{n} {u} {a} {d} | _TITLE_ _URL_u1 d1\r\n"
                     "{n} {u} {a} {d} | _TITLE_ _URL_u2 d2\r\nf\r\n");

    // Code page 932 bytes as a token: タイトル, which is not UTF-8, in a code page 932 frame.
    const std::string title = "\x83\x5E\x83\x43\x83\x67\x83\x8B";
    templ = dir.Write("sjis.html", "_HEAD_\nh\n_FRAME_\n<" + title + ">\n_FOOT_\nf\n");
    r = ToStdout({"--title", title});
    EXPECT_EQ(r.out, "h\r\n<s1>\r\n<s2>\r\nf\r\n");
}

TEST_F(CliTest, EmptyTokenNeverMatches) {
    // With an empty title token the site names are never inserted; the others still work.
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"--title", ""}, std::vector<std::string>{"--title="}}) {
        const Result r = ToStdout(extra);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "start\r\n[_TITLE_](u1) by a1: d1\r\n[_TITLE_](u2) by a2: d2\r\nend\r\n");
    }
    const Result r = ToStdout({"--title", "", "--url", "", "--author", "", "--explain", ""});
    EXPECT_EQ(r.out, "start\r\n[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\r\n"
                     "[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\r\nend\r\n");
}

// A token is matched in the template's encoding: given in UTF-8 (a terminal, or the Windows
// command line) it is converted for a code page 932 template; bytes that are not UTF-8 are taken
// as given; a character code page 932 lacks is an error naming the token.
TEST_F(CliTest, TokensTakeTheTemplatesEncoding) {
    const std::string nameSjis = "\x81\x79\x96\xBC\x91\x4F\x81\x7A"; // 【名前】
    const std::string sjisTempl = "_HEAD_\nh\n_FRAME_\n<" + nameSjis + ">\n_FOOT_\nf\n";
    const std::string utf8Templ = "_HEAD_\nh \xE3\x81\x82\n_FRAME_\n<【名前】>\n_FOOT_\nf\n";
    const struct {
        std::string templ;
        std::string token;
        int status;
        std::string out;
    } cases[] = {
        {sjisTempl, "【名前】", 0, "h\r\n<s1>\r\n<s2>\r\nf\r\n"},
        {sjisTempl, nameSjis, 0, "h\r\n<s1>\r\n<s2>\r\nf\r\n"},
        {utf8Templ, "【名前】", 0, "h \xE3\x81\x82\r\n<s1>\r\n<s2>\r\nf\r\n"},
        {sjisTempl, "【名前€】", 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.token);
        templ = dir.Write("tokens.html", c.templ);
        const Result r = ToStdout({"--title", c.token});
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        if (c.status != 0) {
            EXPECT_EQ(r.err, "qvn-build: 「サイト名」の置換文字列 " + c.token +
                                 " には、テンプレートの文字コード Shift_JIS (CP932) "
                                 "で表せない文字があります.\n");
        }
    }

    // --check compares the token as the build would: found in the frame, no warning.
    templ = dir.Write("tokens.html", sjisTempl);
    const Result check = QvnBuild({"--check", "--data", data, "--template", templ, "--title",
                                   "【名前】", "--url", "s", "--author", "a", "--explain", "e"});
    EXPECT_THAT(check.out, ::testing::Not(HasSubstr("--title")));
}

// --- File names the system accepts but code page 932 cannot write. ---

TEST_F(CliTest, NamesOutsideCodePage932OpenAndAreNamedByteForByte) {
    // "€" and "✓" have no code page 932 form.
    data = dir.Write("データ€✓.csv", kLinks);
    templ = dir.Write("テンプレート€.html", kTemplate);
    const std::string page = dir.Path("出力✓.html");
    Result r = QvnBuild({"--data", data, "--template", templ, "--output", page});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.Read("出力✓.html"), kPage);

    r = QvnBuild({"--data", dir.Path("なし€✓.csv"), "--template", templ, "--output", page});
    EXPECT_EQ(r.status, 1);
    ExpectOpenFailure(r.err, dir.Path("なし€✓.csv"), ENOENT);

    const std::string noFolder = dir.Path("無い€/出力✓.html");
    r = QvnBuild({"--data", data, "--template", templ, "--output", noFolder});
    ExpectCreateFailure(r.err, noFolder, ENOENT);
}

#ifndef _WIN32
TEST_F(CliTest, NamesThatAreNotUtf8OpenAndAreNamedByteForByte) {
    // データ.csv with its name in code page 932 bytes, as an older file copied over might be.
    const std::string sjisName = "\x83\x66\x81\x5B\x83\x5E.csv";
    data = dir.Write(sjisName, kLinks);
    Result r = ToStdout();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kPage);

    r = QvnBuild({"--data", dir.Path("\x83\x66.csv"), "--template", templ, "--output", "-"});
    EXPECT_EQ(r.status, 1);
    ExpectOpenFailure(r.err, dir.Path("\x83\x66.csv"), ENOENT);
}
#else
TEST_F(CliTest, NamesThatAreNotUtf8NameNoFile) {
    // Windows names are UTF-16, which qvn-build's command line gives as UTF-8: other bytes are
    // no name at all, and are shown as they came.
    const std::string sjisName = dir.Path("\x83\x66\x81\x5B\x83\x5E.csv");
    const Result r = QvnBuild({"--data", sjisName, "--template", templ, "--output", "-"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qvn-build: ファイル " + sjisName + " は開けません.\n");
}
#endif

// --- --check through the command line: the exit status, and the build left as it was. ---

class CheckTest : public CliTest {
protected:
    Result Check(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--check", "--data", data, "--template", templ};
        args.insert(args.end(), extra.begin(), extra.end());
        return QvnBuild(args);
    }
};

TEST_F(CheckTest, ErrorExactlyWhenTheBuildFails) {
    // Every template of up to five lines made of the three markers and an ordinary line, and of
    // the six-line ones (the shortest that build) those that begin with the head marker.
    const char* const kinds[] = {"_HEAD_", "_FRAME_", "_FOOT_", "x"};
    std::vector<std::string> templates = {""};
    for (std::size_t begin = 0, length = 1; length <= 6; ++length) {
        const std::size_t end = templates.size();
        for (std::size_t t = begin; t < end; ++t)
            for (const char* line : kinds)
                if (length < 6 || templates[t].starts_with("_HEAD_\n"))
                    templates.push_back(templates[t] + line + "\n");
        begin = end;
    }
    int failing = 0;
    for (const std::string& t : templates) {
        templ = dir.Write("t.html", t);
        const Result build = ToStdout();
        const Result check = Check();
        ASSERT_EQ(check.status, build.status) << t;
        if (build.status != 0) {
            ++failing;
            // The failure the check announces is the build's own message.
            const std::string message = build.err.substr(std::string("qvn-build: ").size());
            ASSERT_THAT(check.out, HasSubstr("「" + message.substr(0, message.size() - 1) + "」"))
                << t;
        }
    }
    EXPECT_GT(failing, 0);
    EXPECT_LT(failing, static_cast<int>(templates.size()));
}

TEST_F(CheckTest, BuildOfTheSameInputsIsUnchanged) {
    // A byte order mark, a short line, an empty line, a NUL: the page the build has always made.
    constexpr char kBytes[] = "\xEF\xBB\xBFs1,u1\n\ns3,u3,a3,d3\0s4,u4,a4,d4\n";
    data = dir.Write("links.csv", std::string(kBytes, sizeof kBytes - 1));
    EXPECT_EQ(Check().status, 0);
    EXPECT_EQ(dir.EntryCount(), 2); // the check writes nothing
    const Result r = ToStdout();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "start\r\n[\xEF\xBB\xBFs1]() by : u1\r\n[]() by : \r\n[s3](u3) by a3: d3\r\nend\r\n");
}

TEST_F(CheckTest, WrongUsageShowsTheCheckForm) {
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"--output", "-"}, std::vector<std::string>{"--check"}}) {
        const Result r = Check(extra);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err,
                    HasSubstr("\nusage: qvn-build --check --data DATA --template TEMPLATE\n"));
    }
    EXPECT_EQ(QvnBuild({"--check=yes", "--data", data, "--template", templ}).status, 2);
    EXPECT_EQ(QvnBuild({"--check", "--data", data}).err.find("qvn-build: missing --template\n"),
              0u);
}

// The help page's --check example is what the check prints for the page's own examples of link
// data and template, changed as the page says: the first data line without 「三毛野たま,」, a space
// after _FOOT_.
TEST(HelpPage, CheckExampleIsTheChecksOwnOutput) {
    std::ifstream file(test::NativePath(QVN_HELP_PAGE), std::ios::binary);
    std::string page((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const auto& [entity, c] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (std::size_t at; (at = page.find(entity)) != std::string::npos;)
            page.replace(at, std::strlen(entity), c);
    // The text of the page's example that starts so, as a browser shows it.
    auto example = [&page](const std::string& start) {
        const std::size_t pre = page.find("<pre>" + start);
        if (pre == std::string::npos)
            throw std::logic_error("no example starting with " + start);
        return page.substr(pre + 5, page.find("</pre>", pre) - pre - 5) + "\n";
    };
    std::string data = example("猫の手帖,"), templ = example("リンク集のテンプレート");
    data.erase(data.find("三毛野たま,"), std::strlen("三毛野たま,"));
    templ.replace(templ.find("\n_FOOT_\n"), 8, "\n_FOOT_ \n");

    TempDir dir;
    const Result r = QvnBuild({"--check", "--data", dir.Write("links.csv", data), "--template",
                               dir.Write("template.html", templ)});
    std::string out = r.out;
    for (std::size_t at; (at = out.find(dir.Path(""))) != std::string::npos;)
        out.erase(at, dir.Path("").size()); // the names as the example gives them
    EXPECT_EQ(example("$ qvn-build --check "),
              "$ qvn-build --check --data links.csv --template template.html\n" + out);
    EXPECT_EQ(r.status, 1);
}

// --- The real binary. ---

// The environment variable, or the build's own default.
std::string Setting(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

class BinaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe = Setting("QVN_BUILD_EXE", QVN_BUILD_EXE);
        examples = Setting("QVN_EXAMPLES", QVN_EXAMPLES);
        ASSERT_TRUE(std::filesystem::exists(exe)) << exe;
        ASSERT_TRUE(std::filesystem::exists(examples + "/links-utf8.csv")) << examples;
    }

    // Runs the binary with args, its standard output and error collected in files unless
    // streams says otherwise; on Linux with LC_ALL=C.
    Result Exec(const std::vector<std::string>& args, std::map<int, Stream> streams = {}) {
        streams.insert({{1, Stream::WriteTo(dir.Path("stdout"))},
                        {2, Stream::WriteTo(dir.Path("stderr"))}});
        test::Options options{.streams = std::move(streams)};
#ifndef _WIN32
        options.environment = {"LC_ALL=C"};
#endif
        return {test::Run(exe, args, options).status, dir.Read("stdout"), dir.Read("stderr")};
    }

    std::string Example(const std::string& name) const {
        return examples + "/" + name;
    }

    TempDir dir;
    std::string exe;
    std::string examples;
};

// The UTF-8 example's page, line by line.
const char* const kExamplePage[] = {
    "<!DOCTYPE html>",
    "<html lang=\"ja\">",
    "<head>",
    "<meta charset=\"UTF-8\">",
    "<title>リンク集</title>",
    "</head>",
    "<body>",
    "<h1>リンク集</h1>",
    "<p>お世話になっているサイトの一覧です。</p>",
    "<dl>",
    "<dt><a href=\"https://neko-techo.example/\">猫の手帖</a> (管理者: 三毛野たま)</dt>",
    "<dd>猫と暮らす毎日の記録と、季節ごとの写真館。</dd>",
    "<dt><a href=\"https://www.example.com/yamaaruki/\">山歩きノート</a> (管理者: 峰岸 登)</dt>",
    "<dd>関東近郊の低山ハイキング記録。地図, 装備, 所要時間つき。</dd>",
    "<dt><a href=\"https://kotonoha.example/\">ことのは工房</a> (管理者: 言葉 紡)</dt>",
    "<dd>短歌と俳句の投稿広場。毎月のお題で作品を募集しています。</dd>",
    "<dt><a href=\"https://retropc.example.org/\">Retro PC Museum</a> (管理者: Kazu)</dt>",
    "<dd>懐かしのパソコンとソフトウェアの資料室。マニュアルの目録もあります。</dd>",
    "<dt><a href=\"https://www.example.net/pan/\">週末パン日和</a> (管理者: 小麦 ふわり)</dt>",
    "<dd>自家製酵母で焼く週末のパン作り日記。失敗談も包み隠さず。</dd>",
    "<dt><a href=\"https://hoshimi.example/\">星見台だより</a> (管理者: 天野 昴)</dt>",
    "<dd>天体観測の記録と、今月見える星座の案内。</dd>",
    "</dl>",
    "<p><a href=\"index.html\">トップへ戻る</a></p>",
    "</body>",
    "</html>",
};

std::string ExamplePage(const std::string& charset) {
    std::string page;
    for (std::string line : kExamplePage) {
        if (line == "<meta charset=\"UTF-8\">")
            line = "<meta charset=\"" + charset + "\">";
        page += line + "\r\n";
    }
    return page;
}

#ifdef _WIN32
std::string InCodePage932(const std::string& utf8) {
    const std::wstring wide = test::Wide(utf8);
    std::string bytes(wide.size() * 2, '\0');
    bytes.resize(static_cast<std::size_t>(
        ::WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                              static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}
#else
std::string InCodePage932(const std::string& utf8) {
    TempDir dir;
    test::Child iconv("iconv", {"-f", "UTF-8", "-t", "CP932", dir.Write("utf8", utf8)},
                      {.streams = {{1, Stream::Pipe()}}});
    const std::string bytes = iconv.Read();
    EXPECT_EQ(iconv.Wait().status, 0);
    return bytes;
}
#endif

// Standard output that is one of the inputs, open for writing or appending, is refused as a page
// named for it is: the input keeps its bytes.
TEST_F(BinaryTest, StandardOutputOntoAnInputIsRefused) {
    const std::string data = dir.Write("links.csv", "s,https://a.example/,a,d\n");
    const std::string templ = dir.Write("t.html", "_HEAD_\nh\n_FRAME_\n_TITLE_\n_FOOT_\nf\n");
    // Windows refuses sooner: the build cannot read a file that standard output holds open for
    // writing.
    const struct {
        Stream output;
        std::string refusal;
    } cases[] = {
#ifdef _WIN32
        {Stream::Update(data), "ファイル " + data + " は開けません"},
        {Stream::AppendTo(data), "ファイル " + data + " は開けません"},
        {Stream::AppendTo(templ), "ファイル " + templ + " は開けません"},
#else
        {Stream::Update(data), "ファイル " + data + " はリンクデータのファイルです"},
        {Stream::AppendTo(data), "ファイル " + data + " はリンクデータのファイルです"},
        {Stream::AppendTo(templ), "ファイル " + templ + " はテンプレートのファイルです"},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        const Result r =
            Exec({"--data", data, "--template", templ, "--output", "-"}, {{1, c.output}});
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, HasSubstr(c.refusal));
        EXPECT_EQ(dir.Read("links.csv"), "s,https://a.example/,a,d\n");
        EXPECT_EQ(dir.Read("t.html"), "_HEAD_\nh\n_FRAME_\n_TITLE_\n_FOOT_\nf\n");
    }
}

TEST_F(BinaryTest, ExamplesBuildTheirPages) {
    Result r = Exec({"--data", Example("links-utf8.csv"), "--template",
                     Example("template-utf8.html"), "--output", dir.Path("utf8.html")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(dir.Read("utf8.html"), ExamplePage("UTF-8"));

    // The code page 932 pair gives the same page in code page 932, written to standard output
    // byte for byte: check it with the system's own converter, independently of the program's.
    r = Exec({"--data", Example("links-sjis.csv"), "--template", Example("template-sjis.html"),
              "--output", "-"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, InCodePage932(ExamplePage("Shift_JIS")));
    EXPECT_NE(r.out.find("\x83\x5C"), std::string::npos); // ソ of ソフトウェア came through
}

TEST_F(BinaryTest, ExitStatusAndMessagesOfTheProgram) {
    const std::string links = Example("links-utf8.csv");
    const std::string templ = Example("template-utf8.html");

    Result r = Exec({"--data", links, "--template", templ});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, StartsWith(std::string("qvn-build: missing --output\n") + kUsageLine));

    // The messages are UTF-8 whatever the locale (Exec runs it with LC_ALL=C) or the code
    // page, and name a file outside code page 932 as typed.
    const std::string missing = dir.Path("データ€✓.csv");
    r = Exec({"--data", missing, "--template", templ, "--output", "-"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, StartsWith("qvn-build: ファイル " + missing + " は開けません. ("));

    EXPECT_EQ(Exec({"--help"}).status, 0);
}

#ifdef _WIN32
TEST_F(BinaryTest, StandardOutputThatCannotBeWrittenIsAWriteFailure) {
    const std::vector<std::string> args = {"--data",     Example("links-utf8.csv"),
                                           "--template", Example("template-utf8.html"),
                                           "--output",   "-"};
    const std::string readOnly = dir.Write("read-only", "");
    // The message, and the C library's reason where it gives one.
    const std::string kWriteFailed = "qvn-build: ストリームへの書き込みエラー.";
    // A handle open for reading only, and none at all.
    for (const Stream& out : {Stream::ReadFrom(readOnly), Stream::Closed()}) {
        const Result r = Exec(args, {{1, out}});
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, StartsWith(kWriteFailed));
    }
}

TEST_F(BinaryTest, ArgumentsAreTakenAsTyped) {
    // No wildcard is expanded.
    Result r = Exec({"--data", "*", "--template", Example("template-utf8.html"), "--output", "-"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, StartsWith("qvn-build: ファイル * は開けません. ("));
    // A name with an unpaired surrogate is no Unicode text: refused as wrong usage.
    const std::wstring lone = std::wstring(L"a") + wchar_t(0xD800) + L".csv";
    EXPECT_EQ(test::Child(exe, {L"--data", lone, L"--template", L"t", L"--output", L"-"},
                          {.streams = {{1, Stream::WriteTo(dir.Path("stdout"))},
                                       {2, Stream::WriteTo(dir.Path("stderr"))}}})
                  .Wait()
                  .status,
              2);
    EXPECT_EQ(dir.Read("stderr"), "qvn-build: argument 2 is not valid Unicode text\n");
}

#else
TEST_F(BinaryTest, FullOrClosedStandardOutputIsAWriteFailure) {
    const std::vector<std::string> args = {"--data",     Example("links-utf8.csv"),
                                           "--template", Example("template-utf8.html"),
                                           "--output",   "-"};
    // Standard output goes to the full device, or is closed.
    Result r = Exec(args, {{1, Stream::WriteTo("/dev/full")}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qvn-build: ストリームへの書き込みエラー." + BecauseInEnglish(ENOSPC) + "\n");

    r = Exec(args, {{1, Stream::Closed()}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "qvn-build: ストリームへの書き込みエラー." + BecauseInEnglish(EBADF) + "\n");
}
#endif

// Whether the folder holds a temporary file of a save.
bool HasTemporaryFile(const TempDir& dir) {
    for (const auto& entry : std::filesystem::directory_iterator(dir.Dir()))
        if (entry.path().filename().string().starts_with(".qvn-"))
            return true;
    return false;
}

#ifdef _WIN32
// On a console: messages, help and reports are shown in Unicode, and Ctrl+C during the write
// leaves no temporary file. Ctrl+Break and a closed console take the same handler as Ctrl+C;
// under Wine 8 a test can send one event only, and a closed pseudo console sends none.
TEST_F(BinaryTest, OnAConsoleTextIsUnicodeAndCtrlCLeavesNoTemporaryFile) {
    const std::string templ = Example("template-utf8.html");
    const std::string page = dir.Write("page.html", "old\r\n");
    // The data comes through a pipe, in part, and then stops: qvn-build waits for the rest with
    // its temporary file open.
    const std::string pipeName =
        "\\\\.\\pipe\\qvn-build-test-" + std::to_string(::GetCurrentProcessId());
    const HANDLE pipe = ::CreateNamedPipeW(test::Wide(pipeName).c_str(), PIPE_ACCESS_OUTBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    test::PseudoConsole console;
    test::Child writing(exe, {"--data", pipeName, "--template", templ, "--output", page},
                        {.console = &console});
    // Returns once qvn-build has opened the pipe.
    ASSERT_TRUE(::ConnectNamedPipe(pipe, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(pipe, "a,b,c,d\r\n", 9, &written, nullptr));
    for (int waited = 0; !HasTemporaryFile(dir) && waited < 1000; ++waited)
        ::Sleep(10);
    EXPECT_TRUE(HasTemporaryFile(dir));
    ASSERT_TRUE(console.Join(writing.Id()));

    // On the same console: a failed build's message on standard error, the help and the
    // check's report on standard output. Written as UTF-16, they show whatever the console's
    // code page, and not as the UTF-8 bytes they are in a file.
    const std::string noFrame = dir.Write("no-frame.html", "_HEAD_\r\n<ul>\r\n");
    // A UTF-8 page of 100 KB, nearly all three-byte characters: the writes to the console end
    // inside characters, which still show whole, and the page shows to its end.
    std::string links;
    for (int i = 0; i < 40; ++i) {
        links += "サイト" + std::to_string(i) + ",u,a,";
        for (int k = 0; k < 280; ++k)
            links += "あいう";
        links += "\r\n";
    }
    links += "最後のサイト,u,a,完\r\n";
    const std::string bigData = dir.Write("big.csv", links);
    const std::string bigTemplate = dir.Write(
        "big.html", "_HEAD_\r\nstart\r\n_FRAME_\r\n_TITLE_ _EXPLAIN_\r\n_FOOT_\r\nend\r\n");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* shown;
    } cases[] = {
        {{"--data", "無い.csv", "--template", "t", "--output", "-"},
         1,
         "qvn-build: ファイル 無い.csv は開けません."},
        {{"--help"}, 0, "「リストのインデックスが範囲を超えています (9)」"},
        {{"--check", "--data", Example("links-utf8.csv"), "--template", noFrame},
         1,
         "エラー 1 件、警告 0 件、注記 0 件。このままではビルドは失敗します。"},
        {{"--data", bigData, "--template", bigTemplate, "--output", "-"}, 0, "最後のサイト 完"},
        // A code page 932 page goes to the console as its bytes, shown in the console's code
        // page, to its end.
        {{"--data", Example("links-sjis.csv"), "--template", Example("template-sjis.html"),
          "--output", "-"},
         0,
         "<p><a href=\"index.html\">"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(test::Run(exe, c.args, {.streams = {{1, Stream::Screen()}, {2, Stream::Screen()}}})
                      .status,
                  c.status);
    }

    EXPECT_TRUE(console.Signal(CTRL_C_EVENT));
    const test::Exit end = writing.Wait(std::chrono::seconds(10));
    ::CloseHandle(pipe);
    EXPECT_EQ(static_cast<DWORD>(end.status), static_cast<DWORD>(STATUS_CONTROL_C_EXIT));
    EXPECT_FALSE(HasTemporaryFile(dir));
    EXPECT_EQ(dir.Read("page.html"), "old\r\n");
    const std::string shown = console.Close();
    for (const auto& c : cases)
        EXPECT_THAT(shown, HasSubstr(c.shown));
}

// Ended outright during the write (TerminateProcess, as Task Manager's "End task"): the old page
// stays and the temporary file goes with the process.
TEST_F(BinaryTest, TerminatedDuringTheWriteLeavesNoTemporaryFile) {
    const std::string templ = Example("template-utf8.html");
    const std::string page = dir.Write("page.html", "old\r\n");
    const std::string pipeName =
        "\\\\.\\pipe\\qvn-build-end-" + std::to_string(::GetCurrentProcessId());
    const HANDLE pipe = ::CreateNamedPipeW(test::Wide(pipeName).c_str(), PIPE_ACCESS_OUTBOUND,
                                           PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    // With no standard handles of its own, and no window.
    test::Child writing(exe, {"--data", pipeName, "--template", templ, "--output", page});
    ASSERT_TRUE(::ConnectNamedPipe(pipe, nullptr) || ::GetLastError() == ERROR_PIPE_CONNECTED);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(pipe, "a,b,c,d\r\n", 9, &written, nullptr));
    for (int waited = 0; !HasTemporaryFile(dir) && waited < 1000; ++waited)
        ::Sleep(10);
    EXPECT_TRUE(HasTemporaryFile(dir));
    writing.Terminate();
    ::CloseHandle(pipe);
    for (int waited = 0; HasTemporaryFile(dir) && waited < 100; ++waited)
        ::Sleep(10);
    EXPECT_FALSE(HasTemporaryFile(dir));
    EXPECT_EQ(dir.Read("page.html"), "old\r\n");
}
#else
TEST_F(BinaryTest, FileSizeLimitFailsTheWriteAndLeavesNoTemporaryFile) {
    std::string links;
    for (int i = 0; i < 20000; ++i)
        links += "site" + std::to_string(i) + ",https://example.com/,admin,about\r\n";
    const std::string data = dir.Write("links.csv", links);
    const std::string page = dir.Write("page.html", "old\r\n");
    // ulimit -f counts blocks of 1024 bytes: the page stops 64 KiB in.
    const test::Exit end = test::Run(
        "sh",
        {"-c", "ulimit -f 64; exec \"$0\" \"$@\"", exe, "--data", data, "--template",
         Example("template-utf8.html"), "--output", page},
        {.streams = {{2, Stream::WriteTo(dir.Path("stderr"))}}, .environment = {"LC_ALL=C"}});
    ASSERT_EQ(end.signal, 0);
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(dir.Read("stderr"), "qvn-build: ストリームへの書き込みエラー." + BecauseInEnglish(EFBIG) + "\n");
    EXPECT_EQ(dir.Read("page.html"), "old\r\n");
    EXPECT_FALSE(HasTemporaryFile(dir));
}

// Whether process pid holds open a file that it is writing in the folder: a named temporary
// file, or one without a name yet.
bool WritesInto(pid_t pid, const TempDir& dir) {
    std::error_code ec;
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(fds, ec)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
        if (target.starts_with(dir.Dir() + "/") &&
            (target.find("/.qvn-") != std::string::npos || target.ends_with(" (deleted)")))
            return true;
    }
    return false;
}

// Interrupted, stopped, or killed outright, while the page is written: the process ends as the
// signal ends it, the old page stays, and nothing is left beside it.
TEST_F(BinaryTest, InterruptDuringTheWriteLeavesNoTemporaryFile) {
    for (const int signal : {SIGINT, SIGTERM, SIGUSR1, SIGALRM, SIGKILL}) {
        SCOPED_TRACE(signal);
        const std::string fifo = dir.Path("links.fifo");
        std::filesystem::remove(fifo);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const std::string page = dir.Write("page.html", "old\r\n");
        const std::string templ = Example("template-utf8.html");
        // Started with the signals' default actions, whatever this test inherited.
        test::Child writing(exe, {"--data", fifo, "--template", templ, "--output", page});
        // The data comes in part and then stops: qvn-build waits for the rest with the new
        // page open.
        const int writer = open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(writer, 0);
        ASSERT_EQ(write(writer, "a,b,c,d\r\n", 9), 9);
        for (int waited = 0; !WritesInto(writing.Id(), dir) && waited < 1000; ++waited)
            usleep(10000);
        EXPECT_TRUE(WritesInto(writing.Id(), dir));
        writing.Signal(signal);
        const test::Exit end = writing.Wait(std::chrono::seconds(10));
        if (end.status == -1 && end.signal == 0) {
            ADD_FAILURE() << "qvn-build did not end on the signal";
            writing.Terminate();
        }
        close(writer);
        EXPECT_EQ(end.signal, signal) << end.status;
        EXPECT_FALSE(HasTemporaryFile(dir));
        EXPECT_EQ(dir.Read("page.html"), "old\r\n");
        EXPECT_EQ(dir.EntryCount(), 2); // the fifo and the page
    }
}

// Links data big enough that its page does not fit in a pipe.
std::string ManySites() {
    std::string links;
    for (int i = 0; i < 20000; ++i)
        links += "site" + std::to_string(i) + ",https://example.com/,admin,about\r\n";
    return links;
}

// A name that stands for one of the process's descriptors is written through it, from where it
// stands, like "-": a log opened for appending keeps its earlier lines, and a pipe takes the page.
TEST_F(BinaryTest, DescriptorNamesAreWrittenThroughNotReplaced) {
    const std::string log = dir.Path("build.log");
    const struct {
        const char* name;
        int fd; // opened for appending to the log
    } cases[] = {
        {"/dev/stdout", 1}, {"/dev/fd/1", 1}, {"/proc/self/fd/1", 1},
        {"/dev/stderr", 2}, {"/dev/fd/5", 5}, {"/dev/stdin", 0},
    };
    const std::vector<std::string> inputs = {"--data", Example("links-utf8.csv"), "--template",
                                             Example("template-utf8.html"), "--output"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Write("build.log", "an earlier line\n");
        std::vector<std::string> args = inputs;
        args.push_back(c.name);
        const Result r = Exec(args, {{c.fd, Stream::AppendTo(log)}});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(dir.Read("build.log"), "an earlier line\n" + ExamplePage("UTF-8"));
        EXPECT_FALSE(std::filesystem::is_symlink(log));
    }
    // Into a pipe, and a descriptor that is not open is no file to create.
    std::vector<std::string> piped = inputs;
    piped.push_back("/dev/stdout");
    test::Child writing(exe, piped,
                        {.streams = {{1, Stream::Pipe()}, {2, Stream::WriteTo(dir.Path("stderr"))}},
                         .environment = {"LC_ALL=C"}});
    EXPECT_EQ(writing.Read(), ExamplePage("UTF-8"));
    EXPECT_EQ(writing.Wait().status, 0);
    EXPECT_EQ(dir.Read("stderr"), "");
    std::vector<std::string> closed = inputs;
    closed.push_back("/dev/fd/7");
    const Result r = Exec(closed);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "qvn-build: ファイル /dev/fd/7 を作成できません." + BecauseInEnglish(EBADF) + "\n");
}

TEST_F(BinaryTest, ReaderThatStopsEarlyIsAWriteFailure) {
    const std::string data = dir.Write("many.csv", ManySites());
    const std::string templ = Example("template-utf8.html");
    test::Child writing(exe, {"--data", data, "--template", templ, "--output", "-"},
                        {.streams = {{1, Stream::Pipe()}, {2, Stream::WriteTo(dir.Path("stderr"))}},
                         .environment = {"LC_ALL=C"}});
    EXPECT_EQ(writing.Read(10).size(), 10u); // head -c 10
    writing.CloseOutput();
    const test::Exit end = writing.Wait();
    ASSERT_EQ(end.signal, 0);
    EXPECT_EQ(end.status, 1);
    EXPECT_EQ(dir.Read("stderr"), "qvn-build: ストリームへの書き込みエラー." + BecauseInEnglish(EPIPE) + "\n");
}

// Help and version that cannot be written are a failure too.
TEST_F(BinaryTest, HelpAndVersionIntoAFullDeviceFail) {
    for (const char* option : {"--help", "--version"}) {
        SCOPED_TRACE(option);
        const Result r = Exec({option}, {{1, Stream::WriteTo("/dev/full")}});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err,
                  "qvn-build: ストリームへの書き込みエラー." + BecauseInEnglish(ENOSPC) + "\n");
    }
}

// Every failed save says why, in English under LC_ALL=C, and in the user's language where the
// system has it.
TEST_F(BinaryTest, FailedSavesGiveTheSystemsReason) {
    const std::string links = Example("links-utf8.csv");
    const std::string templ = Example("template-utf8.html");
    const std::string readOnly = dir.Write("read-only.html", "keep\r\n");
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read);
    std::filesystem::create_directory(dir.Path("folder"));
    const struct {
        std::string page;
        int error;
    } cases[] = {
        {dir.Path("none/page.html"), ENOENT},
        {dir.Path("folder"), EISDIR},
        {readOnly, EACCES}, // root too is refused a page without write permission
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        const Result r = Exec({"--data", links, "--template", templ, "--output", c.page});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "qvn-build: ファイル " + c.page + " を作成できません." +
                             BecauseInEnglish(c.error) + "\n");
    }
    EXPECT_EQ(dir.Read("read-only.html"), "keep\r\n");

    if (!std::filesystem::exists("/usr/share/locale/ja/LC_MESSAGES/libc.mo"))
        GTEST_SKIP() << "the C library's Japanese messages (libc-l10n) are not installed";
    EXPECT_EQ(test::Run(exe, {"--data", links, "--template", templ, "--output", cases[0].page},
                        {.streams = {{2, Stream::WriteTo(dir.Path("stderr"))}},
                         .environment = {"LC_ALL=C.UTF-8", "LANGUAGE=ja"}})
                  .status,
              1);
    const std::string message = dir.Read("stderr");
    const std::string fixed = "qvn-build: ファイル " + cases[0].page + " を作成できません. (";
    ASSERT_TRUE(message.starts_with(fixed)) << message;
    const std::string reason = message.substr(fixed.size());
    EXPECT_NE(reason, std::string(std::strerror(ENOENT)) + ")\n");
    EXPECT_TRUE(std::ranges::any_of(reason, [](char ch) { return (ch & 0x80) != 0; })) << reason;
}
#endif

} // namespace
