// Shared by the link check's tests: a scripted HTTP server with one loopback address per host
// name, the command line that checks a data file with every host resolved to it, and what each
// host was asked.
#pragma once

#include "ChildProcess.h"
#include "FileIO.h"
#include "HttpFixture.h"
#include "QvnBuild.h"
#include "TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>
#include <zlib.h>

namespace qvn::test::links {

// data compressed as gzip (windowBits 31), zlib (15) or raw deflate (-15).
inline std::string Compress(const std::string& data, int windowBits) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

using qvn::test::HttpFixture;
using qvn::test::QvnBuild;
using qvn::test::Result;
using qvn::test::Stream;
using qvn::test::TempDir;
namespace net = qvn::test::net;
namespace test = qvn::test;
using Reply = HttpFixture::Reply;
using namespace std::chrono_literals;

inline void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    ::_putenv_s(name, value);
#else
    ::setenv(name, value, 1);
#endif
}

// Where the check looks for the user's rules, CONFIG_HOME/FOLDER/link-health.txt.
#ifdef _WIN32
inline constexpr const char *kConfigHome = "APPDATA", *kConfigFolder = "Quorvane";
#else
inline constexpr const char *kConfigHome = "XDG_CONFIG_HOME", *kConfigFolder = "quorvane";
#endif

inline Reply Status(int status, std::vector<std::pair<std::string, std::string>> headers = {}) {
    Reply r;
    r.status = status;
    r.headers = std::move(headers);
    return r;
}

inline Reply Act(Reply::Action action) {
    Reply r;
    r.action = action;
    return r;
}

// The same answer to every request.
inline auto Always(Reply reply) {
    return [reply](const HttpFixture::Request&, int) { return reply; };
}

// The output's lines by their line number in the data file: what follows "FILE:LINE: ".
inline std::map<long long, std::string> ByLine(const std::string& out, const std::string& data) {
    std::map<long long, std::string> byLine;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(data + ":"))
            byLine[std::stoll(line.substr(data.size() + 1))] =
                line.substr(line.find(": ", data.size() + 1) + 2);
    }
    return byLine;
}

// The server's answers, by host name: each host stands for one behaviour, on an address of its own
// (127.0.0.2, 127.0.0.3...), since the check counts its requests at once by address.
class Sites {
public:
    using Answer = std::function<Reply(const HttpFixture::Request&, int nth)>;

    void Add(
        const std::string& host, Answer answer = [](auto&, int) { return Status(200); }) {
        if (!answers_.contains(host))
            addresses_[host] = "127.0.0." + std::to_string(addresses_.size() + 2);
        answers_[host] = std::move(answer);
    }

    HttpFixture::Script Script() const {
        return [this](const HttpFixture::Request& request, int nth) {
            const auto it = answers_.find(request.host);
            return it == answers_.end() ? Status(200) : it->second(request, nth);
        };
    }

    // 127.0.0.1 and every host's address.
    std::vector<std::string> Addresses() const {
        std::vector<std::string> all = {"127.0.0.1"};
        for (const auto& [host, address] : addresses_)
            all.push_back(address);
        return all;
    }

    // One --resolve for every host, to its address at the server's port.
    std::vector<std::string> Resolve(int port) const {
        std::vector<std::string> args;
        for (const auto& [host, address] : addresses_) {
            args.push_back("--resolve");
            args.push_back(host + ":" + std::to_string(port) + ":" + address);
        }
        return args;
    }

private:
    std::map<std::string, Answer> answers_;
    std::map<std::string, std::string> addresses_;
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
    void Serve() { server.emplace(sites.Addresses(), 0, sites.Script()); }

    // The command line that checks a data file, every host resolved to the server.
    std::vector<std::string> Args(const std::string& links,
                                  const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> args = {"--check-links", "--data", links, "--timeout", timeout};
        const auto resolve = sites.Resolve(server->Port());
        args.insert(args.end(), resolve.begin(), resolve.end());
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // Writes one data line for each URL, as `data`.
    const std::string& WriteData(const std::vector<std::string>& urls,
                                 const std::string& name = "links.csv") {
        std::string lines;
        for (const std::string& url : urls)
            lines += "site," + url + ",admin,about\r\n";
        return data = dir.Write(name, lines);
    }

    // A redirect to a URL or a path as it is, or to a host's top page on the server (whose port is
    // known only once it serves).
    HttpFixture::Script MovedTo(int status, std::string to) const {
        return [this, status, to](const HttpFixture::Request&, int) {
            const bool whole = to.starts_with("/") || to.find("://") != std::string::npos;
            return Status(status, {{"Location", whole ? to : Url(to)}});
        };
    }

    Result Check(const std::vector<std::string>& urls, std::vector<std::string> extra = {}) {
        return QvnBuild(Args(WriteData(urls), extra));
    }

    // The requests that reached one host, as "GET /a GET /b".
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
    std::string timeout = "1"; // seconds
    Sites sites;
    std::optional<HttpFixture> server; // after sites, which it reads
};

// A port on 127.0.0.1 where nothing listens.
inline int ClosedPort() {
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

} // namespace qvn::test::links
