// A small HTTP/1.1 server on loopback addresses for the link check's tests and benchmark: every
// answer is scripted per host and path (status, headers, a delay, a stall, a closed connection),
// and every request is logged with the moment it came and how many were open at once per host.
// Linux only (epoll); it listens on 127.0.0.0/8 addresses only.
#pragma once

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <queue>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qvn::test {

class HttpFixture {
public:
    using Clock = std::chrono::steady_clock;

    struct Request {
        std::string method;
        std::string host; // the Host header without its port
        std::string path;
        std::string userAgent;
        Clock::time_point at;
    };

    struct Reply {
        enum Action { Answer, Stall, Close };
        int status = 200;
        std::vector<std::pair<std::string, std::string>> headers;
        std::chrono::milliseconds delay{0};
        Action action = Answer;
    };

    // The answer to a request; nth counts the earlier requests for the same host and path.
    using Script = std::function<Reply(const Request& request, int nth)>;

    // Listens on each address (all in 127.0.0.0/8) at one port, chosen by the system when port is
    // 0.
    HttpFixture(const std::vector<std::string>& addresses, int port, Script script)
        : script_(std::move(script)) {
        epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
        wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        Watch(wake_);
        for (const std::string& address : addresses) {
            if (!address.starts_with("127."))
                throw std::runtime_error("the fixture listens on loopback only: " + address);
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            const int one = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(static_cast<std::uint16_t>(port));
            ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
                ::listen(fd, 4096) != 0)
                throw std::runtime_error("cannot listen on " + address + ": " +
                                         std::strerror(errno));
            if (port == 0) {
                socklen_t size = sizeof sa;
                ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &size);
                port = ntohs(sa.sin_port);
            }
            listeners_.push_back(fd);
            Watch(fd);
        }
        port_ = port;
        thread_ = std::thread([this] { Loop(); });
    }

    ~HttpFixture() {
        const std::uint64_t one = 1;
        (void)!::write(wake_, &one, sizeof one);
        thread_.join();
        for (auto& [fd, conn] : conns_)
            ::close(fd);
        for (const int fd : listeners_)
            ::close(fd);
        ::close(wake_);
        ::close(epoll_);
    }

    HttpFixture(const HttpFixture&) = delete;
    HttpFixture& operator=(const HttpFixture&) = delete;

    int Port() const { return port_; }

    std::vector<Request> Requests() const {
        const std::lock_guard lock(mutex_);
        return log_;
    }

    // The most requests one host had open at once (asked and not yet answered or dropped).
    int MostAtOnce(const std::string& host) const {
        const std::lock_guard lock(mutex_);
        const auto it = most_.find(host);
        return it == most_.end() ? 0 : it->second;
    }
    int MostAtOnceOnAnyHost() const {
        const std::lock_guard lock(mutex_);
        int most = 0;
        for (const auto& [host, n] : most_)
            most = std::max(most, n);
        return most;
    }
    int MostAtOnceOverall() const {
        const std::lock_guard lock(mutex_);
        return mostOverall_;
    }

private:
    struct Conn {
        std::string in;
        std::string host;       // of the request being answered, empty when none is open
        std::uint64_t turn = 0; // bumped at each request, so a late timer finds it stale
        bool head = false;
    };
    struct Due {
        Clock::time_point at;
        int fd;
        std::uint64_t turn;
        Reply reply;
        bool operator>(const Due& other) const { return at > other.at; }
    };

    void Watch(int fd) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev);
    }

    void Loop() {
        std::vector<epoll_event> events(256);
        for (;;) {
            int wait = -1;
            if (!due_.empty()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    due_.top().at - Clock::now());
                wait = static_cast<int>(std::max<long long>(0, left.count() + 1));
            }
            const int n =
                ::epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), wait);
            for (int i = 0; i < n; ++i) {
                const int fd = events[i].data.fd;
                if (fd == wake_)
                    return;
                if (std::ranges::find(listeners_, fd) != listeners_.end())
                    Accept(fd);
                else
                    Readable(fd);
            }
            const auto now = Clock::now();
            while (!due_.empty() && due_.top().at <= now) {
                Due d = due_.top();
                due_.pop();
                const auto it = conns_.find(d.fd);
                if (it != conns_.end() && it->second.turn == d.turn)
                    Send(d.fd, it->second, d.reply);
            }
        }
    }

    void Accept(int listener) {
        for (;;) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0)
                return;
            conns_[fd];
            Watch(fd);
        }
    }

    void Readable(int fd) {
        Conn& conn = conns_[fd];
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                return Drop(fd);
            if (n < 0)
                break;
            conn.in.append(buffer, static_cast<std::size_t>(n));
        }
        // One request at a time: the next one is read once this one is answered.
        if (!conn.host.empty())
            return;
        if (!conn.in.empty() && conn.in[0] == '\x16') {
            // A TLS handshake on this plain server: answered in plain HTTP, which the client's
            // TLS takes for a broken handshake.
            constexpr std::string_view plain = "HTTP/1.1 400 Plain\r\n\r\n";
            (void)!::write(fd, plain.data(), plain.size());
            return Drop(fd);
        }
        const std::size_t end = conn.in.find("\r\n\r\n");
        if (end == std::string::npos)
            return;
        const std::string head = conn.in.substr(0, end);
        conn.in.erase(0, end + 4);
        Request request = Parse(head);
        request.at = Clock::now();
        conn.head = request.method == "HEAD";
        conn.host = request.host.empty() ? "?" : request.host;
        ++conn.turn;
        int nth = 0;
        {
            const std::lock_guard lock(mutex_);
            nth = asked_[request.host + request.path]++;
            log_.push_back(request);
            int& open = open_[conn.host];
            ++open;
            most_[conn.host] = std::max(most_[conn.host], open);
            ++openOverall_;
            mostOverall_ = std::max(mostOverall_, openOverall_);
        }
        Reply reply = script_(request, nth);
        if (reply.action == Reply::Close)
            return Drop(fd);
        if (reply.action == Reply::Stall)
            return;
        if (reply.delay.count() > 0)
            due_.push({request.at + reply.delay, fd, conn.turn, std::move(reply)});
        else
            Send(fd, conn, reply);
    }

    static Request Parse(const std::string& head) {
        Request r;
        const std::size_t lineEnd = head.find("\r\n");
        const std::string line = head.substr(0, lineEnd);
        const std::size_t sp1 = line.find(' ');
        const std::size_t sp2 = line.find(' ', sp1 + 1);
        r.method = line.substr(0, sp1);
        r.path = line.substr(sp1 + 1, sp2 - sp1 - 1);
        std::size_t pos = lineEnd;
        while (pos != std::string::npos && pos < head.size()) {
            const std::size_t next = head.find("\r\n", pos + 2);
            const std::string field = head.substr(
                pos + 2, next == std::string::npos ? std::string::npos : next - pos - 2);
            const std::size_t colon = field.find(':');
            if (colon != std::string::npos) {
                std::string name = field.substr(0, colon);
                std::ranges::transform(name, name.begin(), ::tolower);
                std::string value = field.substr(colon + 1);
                value.erase(0, value.find_first_not_of(' '));
                if (name == "host")
                    r.host =
                        value.substr(0, value.rfind(':') == std::string::npos || value.back() == ']'
                                            ? value.size()
                                            : value.rfind(':'));
                else if (name == "user-agent")
                    r.userAgent = value;
            }
            pos = next;
        }
        return r;
    }

    void Closed(Conn& conn) {
        if (conn.host.empty())
            return;
        const std::lock_guard lock(mutex_);
        --open_[conn.host];
        --openOverall_;
        conn.host.clear();
    }

    void Send(int fd, Conn& conn, const Reply& reply) {
        const std::string body = "fixture\n";
        std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " Fixture\r\n";
        out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
        for (const auto& [name, value] : reply.headers)
            out += name + ": " + value + "\r\n";
        out += "\r\n";
        if (!conn.head)
            out += body;
        Closed(conn);
        // Small answers on loopback: the socket's buffer takes them whole.
        (void)!::write(fd, out.data(), out.size());
        if (!conn.in.empty())
            Readable(fd); // a request that came while this one waited
    }

    void Drop(int fd) {
        const auto it = conns_.find(fd);
        if (it != conns_.end()) {
            Closed(it->second);
            conns_.erase(it);
        }
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        ::close(fd);
    }

    Script script_;
    int epoll_ = -1;
    int wake_ = -1;
    int port_ = 0;
    std::vector<int> listeners_;
    std::map<int, Conn> conns_;
    std::priority_queue<Due, std::vector<Due>, std::greater<>> due_;
    mutable std::mutex mutex_;
    std::vector<Request> log_;
    std::map<std::string, int> asked_;
    std::map<std::string, int> open_;
    std::map<std::string, int> most_;
    int openOverall_ = 0;
    int mostOverall_ = 0;
    std::thread thread_;
};

} // namespace qvn::test
