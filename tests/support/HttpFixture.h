// A small HTTP/1.1 server on loopback addresses for the link check's tests and benchmark: every
// answer is scripted per host and path (status, headers, a delay, a stall, a closed connection,
// bytes that are no HTTP, a body after a HEAD answer), and every request is logged with the moment
// it came and how many were open at once per host.
// It listens on 127.0.0.0/8 addresses only. Linux waits with epoll; Windows (and Wine) with
// WSAPoll, woken by a datagram to a socket of its own.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <queue>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace qvn::test {

// The few socket calls that differ between the systems.
namespace net {
#ifdef _WIN32
using Socket = SOCKET;
inline void Close(Socket s) {
    ::closesocket(s);
}
inline void SetNonBlocking(Socket s) {
    u_long one = 1;
    ::ioctlsocket(s, FIONBIO, &one);
}
inline bool WouldBlock() {
    return ::WSAGetLastError() == WSAEWOULDBLOCK;
}
inline std::string LastError() {
    return "Winsock error " + std::to_string(::WSAGetLastError());
}
#else
using Socket = int;
inline void Close(Socket s) {
    ::close(s);
}
inline void SetNonBlocking(Socket) {} // made so by SOCK_NONBLOCK
inline bool WouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}
inline std::string LastError() {
    return std::strerror(errno);
}
#endif

// Writes the bytes on a connected socket; a peer that is gone gets no SIGPIPE.
inline void Send(Socket s, std::string_view bytes) {
#ifdef _WIN32
    (void)::send(s, bytes.data(), static_cast<int>(bytes.size()), 0);
#else
    (void)::send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
#endif
}

// Winsock is started for as long as one lives (each start is counted by the system).
class SocketsStarted {
public:
    SocketsStarted() {
#ifdef _WIN32
        WSADATA data;
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
            throw std::runtime_error("WSAStartup failed");
#endif
    }
    ~SocketsStarted() {
#ifdef _WIN32
        ::WSACleanup();
#endif
    }
    SocketsStarted(const SocketsStarted&) = delete;
    SocketsStarted& operator=(const SocketsStarted&) = delete;
};

// Waits until one of the watched sockets has something to read (or a connection to accept), or
// another thread calls Wake().
class Poller {
public:
#ifdef _WIN32
    Poller() {
        wake_ = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof sa;
        if (wake_ == INVALID_SOCKET || ::bind(wake_, reinterpret_cast<sockaddr*>(&sa), size) != 0 ||
            ::getsockname(wake_, reinterpret_cast<sockaddr*>(&wakeAt_), &size) != 0)
            throw std::runtime_error("no socket to wake the server with: " + LastError());
    }
    ~Poller() {
        ::closesocket(wake_);
    }
    void Watch(Socket s) {
        watched_.push_back(s);
    }
    void Unwatch(Socket s) {
        std::erase(watched_, s);
    }
    // Fills ready with the sockets that have something to read, within milliseconds (-1: no
    // limit); false once Wake() was called.
    bool Wait(int milliseconds, std::vector<Socket>& ready) {
        ready.clear();
        std::vector<WSAPOLLFD> fds;
        fds.push_back({wake_, POLLRDNORM, 0});
        for (const Socket s : watched_)
            fds.push_back({s, POLLRDNORM, 0});
        const int n = ::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), milliseconds);
        if (n > 0 && fds[0].revents != 0)
            return false;
        for (std::size_t i = 1; n > 0 && i < fds.size(); ++i) {
            if (fds[i].revents != 0)
                ready.push_back(fds[i].fd);
        }
        return true;
    }
    void Wake() {
        ::sendto(wake_, "w", 1, 0, reinterpret_cast<const sockaddr*>(&wakeAt_), sizeof wakeAt_);
    }

private:
    Socket wake_ = INVALID_SOCKET;
    sockaddr_in wakeAt_{};
    std::vector<Socket> watched_;
#else
    Poller()
        : epoll_(::epoll_create1(EPOLL_CLOEXEC)), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        Watch(wake_);
    }
    ~Poller() {
        ::close(wake_);
        ::close(epoll_);
    }
    void Watch(Socket s) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = s;
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, s, &ev);
    }
    void Unwatch(Socket s) {
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, s, nullptr);
    }
    bool Wait(int milliseconds, std::vector<Socket>& ready) {
        ready.clear();
        epoll_event events[256];
        const int n = ::epoll_wait(epoll_, events, 256, milliseconds);
        for (int i = 0; i < n; ++i) {
            if (events[i].data.fd == wake_)
                return false;
            ready.push_back(events[i].data.fd);
        }
        return true;
    }
    void Wake() {
        const std::uint64_t one = 1;
        (void)!::write(wake_, &one, sizeof one);
    }

private:
    int epoll_;
    int wake_;
#endif
public:
    Poller(const Poller&) = delete;
    Poller& operator=(const Poller&) = delete;
};
} // namespace net

class HttpFixture {
public:
    using Clock = std::chrono::steady_clock;

    struct Request {
        std::string method;
        std::string host; // the Host header without its port
        std::string path;
        std::string userAgent;
        std::string cookie; // the Cookie header
        Clock::time_point at;
    };

    struct Reply {
        enum Action { Answer, Stall, Close };
        int status = 200;
        std::vector<std::pair<std::string, std::string>> headers;
        std::chrono::milliseconds delay{0};
        Action action = Answer;
        std::string body = "fixture\n"; // after the header, with its Content-Length
        std::string raw;                // when not empty: these bytes instead of an answer
        // When set, the answer goes on without end: after `raw` (or the status line and headers,
        // with no length) the bytes it gives, one call after another (sent: the bytes it gave
        // before), until it gives none, the client goes, 1 GiB is out or a minute has passed.
        // The connection is then closed.
        std::function<std::string(std::size_t sent)> stream;
    };

    // The answer to a request; nth counts the earlier requests for the same host and path.
    using Script = std::function<Reply(const Request& request, int nth)>;

    // Listens on each address (all in 127.0.0.0/8) at one port, chosen by the system when port is
    // 0.
    HttpFixture(const std::vector<std::string>& addresses, int port, Script script)
        : script_(std::move(script)) {
        for (const std::string& address : addresses) {
            if (!address.starts_with("127."))
                throw std::runtime_error("the fixture listens on loopback only: " + address);
#ifdef _WIN32
            const net::Socket fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            // A listening port is this server's alone (Windows' SO_REUSEADDR would share it).
            const int one = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one),
                         sizeof one);
            net::SetNonBlocking(fd);
#else
            const net::Socket fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            const int one = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
#endif
            sockaddr_in sa{};
            sa.sin_family = AF_INET;
            sa.sin_port = htons(static_cast<std::uint16_t>(port));
            ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
            if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
                ::listen(fd, 4096) != 0)
                throw std::runtime_error("cannot listen on " + address + ": " + net::LastError());
            if (port == 0) {
                socklen_t size = sizeof sa;
                ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &size);
                port = ntohs(sa.sin_port);
            }
            listeners_.push_back(fd);
            poller_.Watch(fd);
        }
        port_ = port;
        thread_ = std::thread([this] { Loop(); });
    }

    ~HttpFixture() {
        poller_.Wake();
        thread_.join();
        stopping_ = true;
        for (std::thread& stream : streams_)
            stream.join();
        for (auto& [fd, conn] : conns_)
            net::Close(fd);
        for (const net::Socket fd : listeners_)
            net::Close(fd);
    }

    HttpFixture(const HttpFixture&) = delete;
    HttpFixture& operator=(const HttpFixture&) = delete;

    int Port() const {
        return port_;
    }

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
    // The bytes of every answer sent whole (headers and bodies; not those sent without end).
    std::size_t BytesSent() const {
        return bytesSent_;
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
        net::Socket fd;
        std::uint64_t turn;
        Reply reply;
        bool operator>(const Due& other) const { return at > other.at; }
    };

    void Loop() {
        std::vector<net::Socket> ready;
        for (;;) {
            int wait = -1;
            if (!due_.empty()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    due_.top().at - Clock::now());
                wait = static_cast<int>(std::max<long long>(0, left.count() + 1));
            }
            if (!poller_.Wait(wait, ready))
                return;
            for (const net::Socket fd : ready) {
                if (std::ranges::find(listeners_, fd) != listeners_.end())
                    Accept(fd);
                else if (conns_.contains(fd))
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

    void Accept(net::Socket listener) {
        for (;;) {
#ifdef _WIN32
            const net::Socket fd = ::accept(listener, nullptr, nullptr);
            if (fd == INVALID_SOCKET)
                return;
            net::SetNonBlocking(fd);
#else
            const net::Socket fd =
                ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0)
                return;
#endif
            const int buffer = 1 << 20; // an answer with a header of over 100 KiB, whole
            ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&buffer),
                         sizeof buffer);
            conns_[fd];
            poller_.Watch(fd);
        }
    }

    void Readable(net::Socket fd) {
        Conn& conn = conns_[fd];
        char buffer[4096];
        for (;;) {
            const auto n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && !net::WouldBlock()))
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
            net::Send(fd, "HTTP/1.1 400 Plain\r\n\r\n");
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
                else if (name == "cookie")
                    r.cookie = value;
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

    void Send(net::Socket fd, Conn& conn, const Reply& reply) {
        std::string out = reply.raw;
        if (out.empty()) {
            out = "HTTP/1.1 " + std::to_string(reply.status) + " Fixture\r\n";
            if (!reply.stream)
                out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
            for (const auto& [name, value] : reply.headers)
                out += name + ": " + value + "\r\n";
            out += "\r\n";
            if (!conn.head && !reply.stream)
                out += reply.body;
        }
        Closed(conn);
        if (!reply.stream)
            bytesSent_ += out.size();
        if (reply.stream) {
            // The socket goes to a thread of its own, which writes as fast as the client reads.
            poller_.Unwatch(fd);
            conns_.erase(fd);
            streams_.emplace_back(
                [this, fd, out, stream = reply.stream] { Stream(fd, out, stream); });
            return;
        }
        // Answers on loopback: the socket's buffer, made large enough, takes them whole.
        net::Send(fd, out);
        if (!conn.in.empty())
            Readable(fd); // a request that came while this one waited
    }

    void Stream(net::Socket fd, const std::string& head,
                const std::function<std::string(std::size_t)>& stream) {
#ifdef _WIN32
        u_long zero = 0;
        ::ioctlsocket(fd, FIONBIO, &zero);
        const DWORD wait = 200;
#else
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        const timeval wait{0, 200000};
#endif
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&wait),
                     sizeof wait);
        const auto end = Clock::now() + std::chrono::minutes(1);
        std::string pending = head;
        std::size_t sent = 0;
        while (!stopping_ && Clock::now() < end && sent < (std::size_t{1} << 30)) {
            if (pending.empty()) {
                pending = stream(sent);
                if (pending.empty())
                    break;
            }
#ifdef _WIN32
            const int n = ::send(fd, pending.data(), static_cast<int>(pending.size()), 0);
            if (n < 0 && ::WSAGetLastError() != WSAETIMEDOUT)
                break;
#else
            const ssize_t n = ::send(fd, pending.data(), pending.size(), MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                break;
#endif
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                pending.erase(0, static_cast<std::size_t>(n));
            }
        }
        net::Close(fd);
    }

    void Drop(net::Socket fd) {
        const auto it = conns_.find(fd);
        if (it != conns_.end()) {
            Closed(it->second);
            conns_.erase(it);
        }
        poller_.Unwatch(fd);
        net::Close(fd);
    }

    net::SocketsStarted sockets_; // first made, last ended
    Script script_;
    net::Poller poller_;
    int port_ = 0;
    std::vector<net::Socket> listeners_;
    std::map<net::Socket, Conn> conns_;
    std::priority_queue<Due, std::vector<Due>, std::greater<>> due_;
    mutable std::mutex mutex_;
    std::vector<Request> log_;
    std::map<std::string, int> asked_;
    std::map<std::string, int> open_;
    std::map<std::string, int> most_;
    int openOverall_ = 0;
    int mostOverall_ = 0;
    std::thread thread_;
    std::vector<std::thread> streams_; // answers without end, each on its own thread
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> bytesSent_{0};
};

} // namespace qvn::test
