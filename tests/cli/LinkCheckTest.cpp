// qvn-build --check-links against a scripted HTTP server on 127.0.0.1, every host name mapped to
// it with --resolve: each kind of answer gets its verdict and message, requests are polite (two
// at once per host, --jobs overall, Retry-After, growing waits, HEAD before GET), the history
// file turns a first failure into a warning, and Ctrl+C still prints what was found. The same on
// Linux and on Windows (under Wine too).
#include "ChildProcess.h"
#include "FileIO.h"
#include "HttpFixture.h"
#include "QvnBuild.h"
#include "TempDir.h"

#include <cerrno>
#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <csignal>
#endif

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

using qvn::test::HttpFixture;
using qvn::test::QvnBuild;
using qvn::test::Result;
using qvn::test::Stream;
using qvn::test::TempDir;
namespace net = qvn::test::net;
namespace test = qvn::test;
using Reply = HttpFixture::Reply;
using namespace std::chrono_literals;

void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    ::_putenv_s(name, value);
#else
    ::setenv(name, value, 1);
#endif
}

Reply Status(int status, std::vector<std::pair<std::string, std::string>> headers = {}) {
    Reply r;
    r.status = status;
    r.headers = std::move(headers);
    return r;
}

Reply Act(Reply::Action action) {
    Reply r;
    r.action = action;
    return r;
}

// The server's answers, by host name: each host stands for one behaviour.
class Sites {
public:
    using Answer = std::function<Reply(const HttpFixture::Request&, int nth)>;

    void Add(
        const std::string& host, Answer answer = [](auto&, int) { return Status(200); }) {
        answers_[host] = std::move(answer);
    }

    HttpFixture::Script Script() const {
        return [this](const HttpFixture::Request& request, int nth) {
            const auto it = answers_.find(request.host);
            return it == answers_.end() ? Status(200) : it->second(request, nth);
        };
    }

    // One --resolve for every host, to the server's port on 127.0.0.1.
    std::vector<std::string> Resolve(int port) const {
        std::vector<std::string> args;
        for (const auto& [host, answer] : answers_) {
            args.push_back("--resolve");
            args.push_back(host + ":" + std::to_string(port) + ":127.0.0.1");
        }
        return args;
    }

private:
    std::map<std::string, Answer> answers_;
};

class LinkCheckTest : public ::testing::Test {
protected:
    // Proxies named in the environment are bypassed: every request stays on loopback.
    LinkCheckTest() {
        SetEnvironment("no_proxy", "*");
        SetEnvironment("NO_PROXY", "*");
    }

    std::string Url(const std::string& host, const std::string& path = "/") const {
        return "http://" + host + ":" + std::to_string(server->Port()) + path;
    }

    // Every host name a test asks must be added before, so that it resolves to the server.
    void Serve() { server.emplace(std::vector<std::string>{"127.0.0.1"}, 0, sites.Script()); }

    // Writes one data line for each URL and checks them.
    Result Check(const std::vector<std::string>& urls, std::vector<std::string> extra = {}) {
        std::string lines;
        for (const std::string& url : urls)
            lines += "site," + url + ",admin,about\r\n";
        data = dir.Write("links.csv", lines);
        std::vector<std::string> args = {"--check-links", "--data", data, "--timeout", "1"};
        const auto resolve = sites.Resolve(server->Port());
        args.insert(args.end(), resolve.begin(), resolve.end());
        args.insert(args.end(), extra.begin(), extra.end());
        return QvnBuild(args);
    }

    // The requests that reached one host, as "HEAD /a GET /a".
    std::string Asked(const std::string& host) const {
        std::string seen;
        for (const auto& r : server->Requests()) {
            if (r.host == host)
                seen += (seen.empty() ? "" : " ") + r.method + " " + r.path;
        }
        return seen;
    }

    std::vector<HttpFixture::Clock::time_point> Times(const std::string& host) const {
        std::vector<HttpFixture::Clock::time_point> at;
        for (const auto& r : server->Requests()) {
            if (r.host == host)
                at.push_back(r.at);
        }
        return at;
    }

    TempDir dir;
    std::string data;
    Sites sites;
    std::optional<HttpFixture> server; // after sites, which it reads
};

// A port on 127.0.0.1 where nothing listens.
int ClosedPort() {
    const net::SocketsStarted sockets;
    const net::Socket fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &sa.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t size = sizeof sa;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &size);
    net::Close(fd);
    return ntohs(sa.sin_port);
}

// Every behaviour in one run, each on a host of its own, since they take their time in parallel:
// the verdict line each one prints, and what the server was asked.
TEST_F(LinkCheckTest, EachAnswerGetsItsVerdict) {
    const auto redirect = [this](int status, std::string to) {
        return [this, status, to](const HttpFixture::Request&, int) {
            return Status(status, {{"Location", to.starts_with("/") ? to : Url(to)}});
        };
    };
    sites.Add("gone404.test", [](auto&, int) { return Status(404); });
    sites.Add("gone410.test", [](auto&, int) { return Status(410); });
    sites.Add("moved301.test", redirect(301, "new301.test"));
    sites.Add("moved308.test", redirect(308, "new308.test"));
    sites.Add("new301.test", [](auto&, int) { return Status(200); });
    sites.Add("new308.test", [](auto&, int) { return Status(200); });
    sites.Add("temporary.test", [](const HttpFixture::Request& r, int) {
        if (r.path == "/")
            return Status(302, {{"Location", "/a"}});
        if (r.path == "/a")
            return Status(307, {{"Location", "/b"}});
        return Status(200);
    });
    sites.Add("loop.test", [](const HttpFixture::Request& r, int) {
        return Status(302, {{"Location", r.path == "/a" ? "/b" : "/a"}});
    });
    sites.Add("endless.test", [](const HttpFixture::Request& r, int) {
        return Status(302, {{"Location", r.path + "x"}});
    });
    sites.Add("headless.test", [](const HttpFixture::Request& r, int) {
        return Status(r.method == "HEAD" ? 405 : 200);
    });
    sites.Add("flaky.test", [](auto&, int nth) { return Status(nth < 2 ? 500 : 200); });
    sites.Add("down.test", [](auto&, int) { return Status(503); });
    sites.Add("busy.test", [](auto&, int nth) {
        return nth == 0 ? Status(429, {{"Retry-After", "2"}}) : Status(200);
    });
    sites.Add("forbidden.test", [](auto&, int) { return Status(403); });
    sites.Add("stall.test", [](auto&, int) { return Act(Reply::Stall); });
    sites.Add("closed.test", [](auto&, int) { return Act(Reply::Close); });
    sites.Add("closedonce.test",
              [](auto&, int nth) { return nth == 0 ? Act(Reply::Close) : Status(200); });
    sites.Add("healthy.test", [](auto&, int) { return Status(200); });
    Serve();
    const std::string refused = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/";

    const struct {
        std::string url;
        std::string verdict; // after "links.csv:LINE: "; empty for a healthy link
        std::string asked;   // the requests its host saw, in order
    } cases[] = {
        {Url("healthy.test"), "", "HEAD /"},
        {Url("gone404.test"), "エラー: " + Url("gone404.test") + ": リンク切れです (HTTP 404)",
         "HEAD / GET /"},
        {Url("gone410.test"), "エラー: " + Url("gone410.test") + ": リンク切れです (HTTP 410)",
         "HEAD / GET /"},
        {Url("moved301.test"),
         "警告: " + Url("moved301.test") + ": 移転しています (HTTP 301): " + Url("new301.test"),
         "HEAD /"},
        {Url("moved308.test"),
         "警告: " + Url("moved308.test") + ": 移転しています (HTTP 308): " + Url("new308.test"),
         "HEAD /"},
        {Url("temporary.test"), "", "HEAD / HEAD /a HEAD /b"},
        {Url("loop.test", "/a"),
         "エラー: " + Url("loop.test", "/a") + ": リンク切れです (転送がループしています)",
         "HEAD /a HEAD /b"},
        {Url("endless.test", "/"),
         "注記: " + Url("endless.test") + ": 確認できませんでした (転送が 10 回を超えました)",
         "HEAD / HEAD /x HEAD /xx HEAD /xxx HEAD /xxxx HEAD /xxxxx HEAD /xxxxxx HEAD /xxxxxxx "
         "HEAD /xxxxxxxx HEAD /xxxxxxxxx HEAD /xxxxxxxxxx"},
        {Url("headless.test"), "", "HEAD / GET /"},
        {Url("flaky.test"), "", "HEAD / GET / GET /"},
        {Url("down.test"),
         "注記: " + Url("down.test") + ": 確認できませんでした (HTTP 503, 3 回やり直しても)",
         "HEAD / GET / GET / GET / GET /"},
        {Url("busy.test"), "", "HEAD / GET /"},
        {Url("forbidden.test"),
         "注記: " + Url("forbidden.test") + ": 確認できませんでした (HTTP 403)", "HEAD / GET /"},
        {Url("stall.test"),
         "注記: " + Url("stall.test") +
             ": 確認できませんでした (応答がありません (1000 ミリ秒で打ち切り))",
         "HEAD / HEAD / HEAD / HEAD /"},
        {Url("closed.test"), "注記: " + Url("closed.test") + ": 確認できませんでした (",
         "HEAD / GET / GET / GET / GET /"},
        {Url("closedonce.test"), "", "HEAD / GET /"},
        {refused, "エラー: " + refused + ": リンク切れです (接続を拒否されました)", ""},
        {"https://tls.test:" + std::to_string(server->Port()) + "/",
         "注記: https://tls.test:" + std::to_string(server->Port()) +
             "/: 確認できませんでした (TLS: ",
         ""},
        {"mailto:owner@example.org",
         "注記: mailto:owner@example.org: 確認できませんでした (http でも https でもありません)",
         ""},
        {"links/page.html",
         "注記: links/page.html: 確認できませんでした (http でも https でもありません)", ""},
        {"", "注記: : 確認できませんでした (URL がありません)", ""},
    };
    std::vector<std::string> urls;
    for (const auto& c : cases)
        urls.push_back(c.url);
    urls.push_back(Url("gone404.test")); // listed twice: asked once, reported on both lines
    std::vector<std::string> extra = {"--resolve",
                                      "tls.test:" + std::to_string(server->Port()) + ":127.0.0.1"};
    const Result r = Check(urls, extra);

    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> lines;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);)
        lines.push_back(line);
    std::map<long long, std::string> byLine;
    for (const std::string& line : lines) {
        const std::string prefix = data + ":";
        if (line.starts_with(prefix))
            byLine[std::stoll(line.substr(prefix.size()))] =
                line.substr(line.find(": ", prefix.size()) + 2);
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.url);
        const auto it = byLine.find(static_cast<long long>(i + 1));
        if (c.verdict.empty()) {
            EXPECT_EQ(it, byLine.end());
        } else {
            ASSERT_NE(it, byLine.end());
            if (c.verdict.ends_with("(") || c.verdict.ends_with(" ")) { // a system's own words
                EXPECT_THAT(it->second, StartsWith(c.verdict));
            } else {
                EXPECT_EQ(it->second, c.verdict);
            }
        }
        if (!c.asked.empty()) {
            EXPECT_EQ(Asked(c.url.substr(7, c.url.find(':', 7) - 7)), c.asked);
        }
    }
    EXPECT_EQ(byLine[static_cast<long long>(std::size(cases) + 1)], byLine[2]);
    EXPECT_EQ(lines.back(), "エラー 5 件、警告 2 件、注記 9 件。");

    // Retry-After is waited for, and the waits between retries grow.
    const auto busy = Times("busy.test");
    ASSERT_EQ(busy.size(), 2u);
    EXPECT_GE(busy[1] - busy[0], 1950ms);
    const auto down = Times("down.test");
    ASSERT_EQ(down.size(), 5u);
    EXPECT_GE(down[2] - down[1], 950ms);
    EXPECT_GT(down[3] - down[2], down[2] - down[1] + 500ms);
    EXPECT_GT(down[4] - down[3], down[3] - down[2] + 500ms);
}

// A host name that does not resolve is dead. This one has a label of 64 bytes, one more than a DNS
// message can carry, under the reserved .invalid: the system's resolver gives up on it before it
// could ask any name server, so no query leaves the machine.
TEST_F(LinkCheckTest, HostNameThatDoesNotResolveIsDead) {
    Serve();
    const std::string url = "http://" + std::string(64, 'x') + ".invalid/";
    const Result r = Check({url});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, data + ":1: エラー: " + url +
                         ": リンク切れです (ホスト名が見つかりません)\n"
                         "エラー 1 件、警告 0 件、注記 0 件。\n");
}

TEST_F(LinkCheckTest, EveryRequestNamesTheProgramAndItsVersion) {
    sites.Add("a.test");
    sites.Add("b.test");
    Serve();
    EXPECT_EQ(Check({Url("a.test"), Url("b.test", "/x")}).status, 0);
    const std::string version = QvnBuild({"--version"}).out; // "qvn-build 1.2\n"
    const std::string agent = "Quorvane/" + version.substr(10, version.size() - 11);
    const auto requests = server->Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests)
        EXPECT_EQ(request.userAgent, agent);
}

TEST_F(LinkCheckTest, NeverMoreThanTwoAtOnceToOneHostNorMoreThanJobsOverall) {
    const auto slow = [](auto&, int) {
        Reply r = Status(200);
        r.delay = 150ms;
        return r;
    };
    std::vector<std::string> urls;
    for (const std::string host : {"one.test", "two.test", "three.test", "four.test"}) {
        sites.Add(host, slow);
    }
    Serve();
    for (int i = 0; i < 12; ++i)
        urls.push_back(Url("one.test", "/" + std::to_string(i)));
    for (const std::string host : {"two.test", "three.test", "four.test"}) {
        for (int i = 0; i < 3; ++i)
            urls.push_back(Url(host, "/" + std::to_string(i)));
    }
    const Result r = Check(urls, {"--jobs", "5"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(server->Requests().size(), urls.size());
    EXPECT_EQ(server->MostAtOnce("one.test"), 2);
    EXPECT_EQ(server->MostAtOnceOnAnyHost(), 2);
    EXPECT_EQ(server->MostAtOnceOverall(), 5);
}

TEST_F(LinkCheckTest, HealthyAndMovedLinksExitZero) {
    sites.Add("moved.test", [this](auto&, int) {
        return Status(301, {{"Location", Url("healthy.test")}});
    });
    sites.Add("healthy.test");
    Serve();
    Result r = Check({Url("healthy.test")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, ""); // nothing to report: not even the count
    r = Check({Url("healthy.test"), Url("moved.test")});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, HasSubstr("エラー 0 件、警告 1 件、注記 0 件。\n"));
}

TEST_F(LinkCheckTest, DataThatCannotBeReadExitsOne) {
    Serve();
    const std::string missing = dir.Path("missing.csv");
    const Result r = QvnBuild({"--check-links", "--data", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
#ifdef _WIN32
    EXPECT_THAT(r.err, StartsWith("qvn-build: ファイル " + missing + " は開けません. ("));
#else
    EXPECT_EQ(r.err, "qvn-build: ファイル " + missing + " は開けません. (" +
                         qvn::SystemReason(ENOENT) + ")\n");
#endif
}

TEST_F(LinkCheckTest, HistoryMakesAFirstFailureAWarningAndSparesFreshLinks) {
    sites.Add("gone.test", [](auto&, int) { return Status(404); });
    sites.Add("healthy.test");
    Serve();
    const std::string state = dir.Path("state");
    const std::vector<std::string> urls = {Url("healthy.test"), Url("gone.test")};

    Result r = Check(urls, {"--state", state});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, data + ":2: 警告: " + Url("gone.test") +
                         ": リンク切れかもしれません (HTTP 404, 初めての失敗)\n"
                         "エラー 0 件、警告 1 件、注記 0 件。\n");
    const std::size_t asked = server->Requests().size();

    // Again at once: the healthy link is not asked, the dead one still only a warning.
    r = Check(urls, {"--state", state});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, HasSubstr(": 警告: "));
    EXPECT_EQ(Asked("healthy.test"), "HEAD /");
    EXPECT_EQ(server->Requests().size(), asked + 2); // HEAD and GET of the dead link

    // A day later by the history: both are asked, and the second failure is an error.
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    const std::int64_t dayAgo = now - 25 * 3600;
    dir.Write("state", "# history\n" + std::to_string(dayAgo) + " 0 " + Url("healthy.test") +
                           "\n0 " + std::to_string(dayAgo) + " " + Url("gone.test") + "\n");
    r = Check(urls, {"--state", state});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, data + ":2: エラー: " + Url("gone.test") +
                         ": リンク切れです (HTTP 404, 最初の失敗から 25 時間)\n"
                         "エラー 1 件、警告 0 件、注記 0 件。\n");
    EXPECT_EQ(Asked("healthy.test"), "HEAD / HEAD /");

    // Failing again less than 20 hours after the first failure is still only a warning.
    dir.Write("state", "0 " + std::to_string(now - 19 * 3600) + " " + Url("gone.test") + "\n");
    r = Check(urls, {"--state", state});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out,
                HasSubstr(": 警告: " + Url("gone.test") +
                          ": リンク切れかもしれません (HTTP 404, 最初の失敗から 19 時間)\n"));
}

TEST_F(LinkCheckTest, HistoryThatCannotBeReadIsLeftAloneAndExitsOne) {
    sites.Add("healthy.test");
    Serve();
    const std::string state = dir.Write("state", "not a history\n");
    const Result r = Check({Url("healthy.test")}, {"--state", state});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("1 行目が読めません"));
    EXPECT_EQ(dir.Read("state"), "not a history\n");
    EXPECT_TRUE(server->Requests().empty());
}

TEST_F(LinkCheckTest, HistoryThatCannotBeWrittenStillPrintsTheFindings) {
    sites.Add("gone.test", [](auto&, int) { return Status(404); });
    Serve();
    const std::string state = dir.Path("no-such-folder/state");
    const Result r = Check({Url("gone.test")}, {"--state", state});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, HasSubstr(": 警告: " + Url("gone.test")));
#ifdef _WIN32
    // The reason is the system's own wording of its own error code: only its place is checked.
    EXPECT_THAT(r.err, StartsWith("qvn-build: ファイル " + state + " を作成できません. ("));
    EXPECT_THAT(r.err, ::testing::EndsWith(")\n"));
#else
    EXPECT_EQ(r.err, "qvn-build: ファイル " + state + " を作成できません. (" +
                         qvn::SystemReason(ENOENT) + ")\n");
#endif
}

TEST_F(LinkCheckTest, WrongUsageExitsTwo) {
    const std::string d = dir.Write("links.csv", "");
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{"--check-links", "--data", d, "--jobs", "0"},
         "option '--jobs' takes a whole number from 1 to 1024"},
        {{"--check-links", "--data", d, "--timeout", "soon"},
         "option '--timeout' takes a number of seconds above 0 and at most 3600"},
        {{"--check-links", "--data", d, "--resolve", "a.test:80"},
         "option '--resolve' takes HOST:PORT:ADDRESS"},
        {{"--check-links", "--data", d, "--resolve", "a.test:99999:127.0.0.1"},
         "option '--resolve' takes HOST:PORT:ADDRESS"},
        {{"--check-links", "--data", d, "--state", "s", "--state", "t"},
         "option '--state' given twice"},
        {{"--check-links", "--data", d, "--template", d},
         "option '--template' does not go with --check-links"},
        {{"--check-links", "--data", d, "--output", "-"},
         "option '--output' does not go with --check-links: it writes no page"},
        {{"--data", d, "--template", d, "--output", "-", "--jobs", "4"},
         "option '--jobs' goes only with --check-links"},
        {{"--check", "--check-links", "--data", d},
         "options '--check' and '--check-links' do not go together"},
        {{"--check-links"}, "missing --data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const Result r = QvnBuild(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, StartsWith("qvn-build: " + c.reason + "\nusage: qvn-build "));
    }
}

// The real program, interrupted with Ctrl+C (SIGINT) while one link stalls: it prints what it
// found.
TEST_F(LinkCheckTest, InterruptPrintsWhatWasFoundSoFar) {
    sites.Add("gone.test", [](auto&, int) { return Status(404); });
    sites.Add("stall.test", [](auto&, int) { return Act(Reply::Stall); });
    Serve();
    data = dir.Write("links.csv", "a," + Url("gone.test") + ",,\nb," + Url("stall.test") + ",,\n");
    std::vector<std::string> args = {"--check-links", "--data", data, "--timeout", "30"};
    for (const std::string& arg : sites.Resolve(server->Port()))
        args.push_back(arg);
    test::Options options{.streams = {{1, Stream::WriteTo(dir.Path("out"))},
                                      {2, Stream::WriteTo(dir.Path("err"))}}};
#ifdef _WIN32
    // On a console of its own, which this process joins to send the keys' event.
    test::PseudoConsole console;
    options.console = &console;
#endif
    test::Child checking(QVN_BUILD_EXE, args, options);
    // Once the stalled request is open, the dead link is known.
    for (int i = 0; i < 100 && server->MostAtOnce("stall.test") == 0; ++i)
        std::this_thread::sleep_for(50ms);
    std::this_thread::sleep_for(300ms);
#ifdef _WIN32
    ASSERT_TRUE(console.Join(checking.Id()));
    EXPECT_TRUE(console.Signal(CTRL_C_EVENT));
#else
    checking.Signal(SIGINT);
#endif
    const test::Exit end = checking.Wait(10s);
    ASSERT_EQ(end.signal, 0);
    EXPECT_EQ(end.status, 130);
    EXPECT_EQ(dir.Read("out"),
              data + ":1: エラー: " + Url("gone.test") +
                  ": リンク切れです (HTTP 404)\nエラー 1 件、警告 0 件、注記 0 件。\n");
    EXPECT_EQ(dir.Read("err"), "qvn-build: 中断しました: URL 2 件のうち 1 件を確認しました\n");
}

} // namespace
