// The link check's scheduler: per-host queues in front of one libcurl multi handle. Each request is
// handed to curl only when it may start (its host has fewer than two at once, the run fewer than
// `jobs`), so curl's own timeout never counts time spent waiting in a queue. Redirects, the GET
// after a refused HEAD and retries come back through the same queues as new requests.
// A URL not yet asked costs a link in its host's queue and nothing else: its state is made when
// its first request starts and dropped once its outcome is known, so that a list of a million
// URLs fits in little memory.
// Every request is a GET. An answer that is not 2xx is read no further than its header (a short
// body is taken, so that the connection stays open for the host's next request); a 2xx answer's
// body is read up to kPageBytes, and what the page says is judged by the rules of
// link-health.txt. A URL whose path is not its site's top page is compared with the answer to a
// made-up path of the same site, asked once per site.
#include "LinkCheck.h"

#include "Health.h"
#include "Page.h"
#include "StringSet.h"
#include "Url.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <curl/curl.h>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <random>
#include <stdexcept>
#include <unordered_map>

namespace qvn::linkcheck {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr const char* kNotHttp = "サーバーの応答が HTTP ではありません";
constexpr const char* kLoop = "転送がループしています";
constexpr const char* kHeaderTooLong = "応答のヘッダーが長すぎます (256 KiB を超えました)";

bool IsWeb(const std::string& scheme) {
    return scheme == "http" || scheme == "https";
}

// A --resolve entry, by "host:port".
struct Resolved {
    std::string addresses; // as curl takes them: "127.0.0.1,[::1]"
    std::string address;   // the first one: the host as the per-host limit counts it
};

using Slist = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

// A URL's road from its first request to its outcome: its current hop, how it is asked, what
// happened on the way.
struct Job {
    std::size_t index = 0;
    std::string url;                // the hop asked next, as curl asks it
    std::uint32_t host = 0;         // the host it waits for, an index into the run's hosts
    std::string resolve;            // the --resolve entry for its hop, as curl takes it; or empty
    bool fresh = false;             // the next request opens a connection of its own
    bool freshTried = false;        // a request failed on a reused connection, and was asked again
    int retries = 0;                // retries used at this hop
    std::vector<std::string> chain; // every hop so far, the first URL first
    long permanent = 0;             // the first permanent redirect's status, 0 before one
    bool allPermanent = true;       // no temporary redirect so far
    int status = 0;                 // of the last answer
    std::string title;              // of the page it answered with
    std::string site;               // a made-up path's request: the site it is asked on, which
                                    // is also what a job waiting for it is waiting for
    Job* next = nullptr;            // in its host's queue
};

// A site's answer to a made-up path: asked once, for every URL on it that needs it.
struct MadeUp {
    bool known = false;
    std::string title;         // normalised; empty when it did not answer 2xx with a title
    std::unique_ptr<Job> job;  // while it is asked
    std::vector<Job*> waiting; // the URLs' jobs that wait for it
};

// The requests to one host, as the connection sees it: one address, however its names are spelt.
struct Host {
    std::uint32_t firstUrl = kNone, lastUrl = kNone; // URLs not yet asked, linked by the run
    Job* firstJob = nullptr;                         // jobs on their way: asked again, redirected
    Job* lastJob = nullptr;
    int active = 0;
    bool runnable = false;           // in the scheduler's list of hosts that may start one
    Clock::time_point pausedUntil{}; // a Retry-After from this host holds all its requests
};

// One request on its way through curl.
struct Transfer {
    CURL* easy = nullptr;
    Job* job = nullptr;
    bool looked = false;        // the answer's status was looked at, at its first body bytes
    bool drain = false;         // a short body not read, taken to keep the connection
    bool stopped = false;       // the body was ended on purpose
    std::size_t headerSize = 0; // bytes of header so far
    bool headerTooLong = false;
    std::unique_ptr<BodyStart> body; // a 2xx answer's
    char error[CURL_ERROR_SIZE] = {};
    Slist resolve{nullptr, curl_slist_free_all};
};

// A moment when a job may go back to its queue, or a paused host may start again.
struct Timer {
    Clock::time_point at;
    Job* job = nullptr;
    std::uint32_t host = kNone;
    bool operator>(const Timer& other) const { return at > other.at; }
};

// The body as it comes: a 2xx answer's start is kept; any other answer's is not read, but a short
// one is taken whole, since ending a transfer early closes its connection.
std::size_t TakeBody(char* data, std::size_t size, std::size_t count, void* user) {
    Transfer& t = *static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (!t.looked) {
        t.looked = true;
        long status = 0;
        curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200 && status < 300) {
            curl_header* encoding = nullptr;
            const bool encoded = curl_easy_header(t.easy, "Content-Encoding", 0, CURLH_HEADER, -1,
                                                  &encoding) == CURLHE_OK;
            t.body = std::make_unique<BodyStart>(encoded ? encoding->value : "");
        } else {
            curl_off_t length = -1;
            curl_easy_getinfo(t.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            t.drain = length >= 0 && length <= static_cast<curl_off_t>(kDrainBytes);
        }
    }
    if (t.body) {
        t.body->Take(std::string_view(data, bytes));
        if (!t.body->Cut())
            return bytes; // the whole body so far; past the end of compressed data, ignored
    } else if (t.drain) {
        return bytes;
    }
    t.stopped = true;
    return 0;
}

// Counts the header's bytes: a header without end fails at kHeaderBytes, before curl keeps more.
std::size_t CountHeader(char*, std::size_t size, std::size_t count, void* user) {
    Transfer& t = *static_cast<Transfer*>(user);
    t.headerSize += size * count;
    if (t.headerSize <= kHeaderBytes)
        return size * count;
    t.headerTooLong = true;
    return 0;
}

// A path no site has: "/quorvane-" and 16 random hexadecimal digits, one for the run.
std::string MadeUpPath() {
    std::random_device random;
    const std::uint64_t bits = (std::uint64_t{random()} << 32) | random();
    char path[32];
    std::snprintf(path, sizeof path, "/quorvane-%016llx", static_cast<unsigned long long>(bits));
    return path;
}

Outcome Unverifiable(std::string reason) {
    Outcome outcome;
    outcome.verdict = Verdict::Unverified;
    outcome.reason = std::move(reason);
    return outcome;
}

std::string HostPort(const std::string& host, long port) {
    return host + ":" + std::to_string(port);
}

class Run {
public:
    Run(const Settings& settings, const std::function<void(std::size_t, const Outcome&)>& done)
        : settings_(settings), done_(done) {
        if (!multi_ || !share_)
            throw std::runtime_error("curl_multi_init failed");
        // Idle connections are kept for the hosts that still have requests, up to about one for
        // each request at once.
        curl_multi_setopt(multi_.get(), CURLMOPT_MAXCONNECTS,
                          static_cast<long>(settings_.jobs + 16));
        // One cookie jar for the run, in memory, as a browser keeps one for its session.
        curl_share_setopt(share_.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        timeout_ = std::max<long>(1, static_cast<long>(settings_.timeout.count()));
        for (const std::string& text : settings_.resolve)
            AddResolve(text);
        userAgent_ = UserAgent();
        // Compressed answers cost fewer bytes; they are decoded here, within the page's bound.
        headers_.reset(curl_slist_append(nullptr, "Accept-Encoding: gzip, deflate"));
    }

    // The handles go before the multi handle and the share they use.
    ~Run() {
        for (auto& [easy, transfer] : active_) {
            curl_multi_remove_handle(multi_.get(), easy);
            curl_easy_cleanup(easy);
        }
        for (CURL* easy : spare_)
            curl_easy_cleanup(easy);
    }

    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    bool Go(std::span<const std::string_view> urls, const std::atomic<bool>& stop) {
        if (urls.size() >= kNone)
            throw std::length_error("too many URLs for one check");
        const auto limit =
            settings_.runLimit.count() > 0
                ? settings_.runLimit
                : std::max<milliseconds>(std::chrono::minutes(10), 30 * milliseconds(timeout_));
        const Clock::time_point end = Clock::now() + limit;
        urls_ = urls;
        known_.assign(urls.size(), false);
        nextUrl_.assign(urls.size(), kNone);
        left_ = urls.size();
        for (std::size_t i = 0; i < urls.size(); ++i)
            Begin(static_cast<std::uint32_t>(i));
        while (left_ > 0) {
            if (stop.load())
                return false;
            const Clock::time_point now = Clock::now();
            if (now >= end) {
                EndAll();
                break;
            }
            if (settings_.tick)
                settings_.tick();
            FireTimers(now);
            Pump();
            int running = 0;
            curl_multi_perform(multi_.get(), &running);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
                if (message->msg == CURLMSG_DONE)
                    Finished(message->easy_handle, message->data.result);
            }
            Pump();
            if (left_ > 0)
                Wait(end);
        }
        return true;
    }

private:
    void AddResolve(const std::string& text) {
        const auto entry = ReadResolveEntry(text);
        if (!entry)
            throw std::invalid_argument("resolve entry is not HOST:PORT:ADDRESS: " + text);
        // A later entry for the same host and port wins, as it does in curl.
        Resolved& resolved = resolve_[HostPort(entry->host, entry->port)];
        resolved.addresses.clear();
        for (const std::string& address : entry->addresses) {
            const bool v6 = address.find(':') != std::string::npos;
            resolved.addresses +=
                (resolved.addresses.empty() ? "" : ",") + (v6 ? "[" + address + "]" : address);
        }
        resolved.address = entry->addresses.front();
    }

    // The entry for a target's host and port; none for an address, which curl does not look up.
    const Resolved* ResolveOf(const Target& target) const {
        if (target.name.empty())
            return nullptr;
        const auto it = resolve_.find(HostPort(target.host, target.port));
        return it == resolve_.end() ? nullptr : &it->second;
    }

    // The entry a request to target gives curl, under the name curl looks up ("a.test." is
    // looked up as such, and would otherwise go to the system's resolver); empty for none.
    std::string ResolveLine(const Target& target) const {
        const Resolved* resolved = ResolveOf(target);
        return resolved ? HostPort(target.name, target.port) + ":" + resolved->addresses : "";
    }

    // The host a target's requests count against: its address when it is one or --resolve gives
    // one, loopback for localhost (which curl answers itself), otherwise its name.
    std::uint32_t HostOf(const Target& target) {
        std::string key = target.host;
        if (const Resolved* resolved = ResolveOf(target))
            key = resolved->address;
        else if (key == "localhost" || key.ends_with(".localhost"))
            key = "127.0.0.1";
        const std::uint32_t h = hostKeys_.Add(key);
        if (h == hosts_.size())
            hosts_.emplace_back();
        return h;
    }

    // Puts urls[i] in its host's queue, or reports at once what needs no request.
    void Begin(std::uint32_t i) {
        const std::string_view url = urls_[i];
        if (url.empty())
            return Report(i, Unverifiable("URL がありません"));
        if (!IsWeb(SchemeOf(url)))
            return Report(i, Unverifiable("http でも https でもありません"));
        const auto target = ReadTarget(url);
        if (!target)
            return Report(i, Unverifiable("URL の形が正しくありません"));
        const std::uint32_t h = HostOf(*target);
        Host& host = hosts_[h];
        (host.lastUrl == kNone ? host.firstUrl : nextUrl_[host.lastUrl]) = i;
        host.lastUrl = i;
        MakeRunnable(h, false);
    }

    // Puts a job in the queue of its current URL's host.
    void Enqueue(Job& job) {
        const auto target = ReadTarget(job.url);
        if (!target)
            return Finish(job, Verdict::Unverified,
                          job.chain.size() > 1 ? "転送先の URL の形が正しくありません"
                                               : "URL の形が正しくありません");
        job.url = target->url;
        job.host = HostOf(*target);
        job.resolve = ResolveLine(*target);
        Host& host = hosts_[job.host];
        job.next = nullptr;
        (host.lastJob ? host.lastJob->next : host.firstJob) = &job;
        host.lastJob = &job;
        MakeRunnable(job.host, false);
    }

    bool MayStart(const Host& host) const {
        return (host.firstJob || host.firstUrl != kNone) && host.active < kPerHost &&
               host.pausedUntil <= Clock::now();
    }

    void MakeRunnable(std::uint32_t h, bool first) {
        Host& host = hosts_[h];
        if (host.runnable || !MayStart(host))
            return;
        host.runnable = true;
        // A host that just started or finished a request goes first: its requests go out two at
        // a time, over connections that stay open for the next ones, instead of every host's
        // connection being closed for the others' before it is used again.
        if (first)
            runnable_.push_front(h);
        else
            runnable_.push_back(h);
    }

    void Pump() {
        while (static_cast<int>(active_.size()) < settings_.jobs && !runnable_.empty()) {
            const std::uint32_t h = runnable_.front();
            runnable_.pop_front();
            Host& host = hosts_[h];
            host.runnable = false;
            if (!MayStart(host))
                continue;
            if (Job* job = host.firstJob) {
                host.firstJob = job->next;
                if (!host.firstJob)
                    host.lastJob = nullptr;
                Start(*job, host);
            } else {
                const std::uint32_t i = host.firstUrl;
                host.firstUrl = nextUrl_[i];
                if (host.firstUrl == kNone)
                    host.lastUrl = kNone;
                Start(NewJob(i, h), host);
            }
            MakeRunnable(h, true);
        }
    }

    Job& NewJob(std::uint32_t i, std::uint32_t h) {
        auto job = std::make_unique<Job>();
        job->index = i;
        const auto target = ReadTarget(urls_[i]); // read once already, when it was queued
        job->url = target->url;
        job->host = h;
        job->resolve = ResolveLine(*target);
        job->chain.push_back(target->url); // as asked, so that a redirect back to it is seen
        Job& made = *job;
        live_.emplace(i, std::move(job));
        return made;
    }

    void Start(Job& job, Host& host) {
        CURL* easy = nullptr;
        if (spare_.empty()) {
            easy = curl_easy_init();
        } else {
            easy = spare_.back();
            spare_.pop_back();
            // The list of cookie files goes first: libcurl 7.88's reset forgets it without freeing
            // it. Cookies the run's share holds stay.
            curl_easy_setopt(easy, CURLOPT_COOKIEFILE, nullptr);
            curl_easy_reset(easy);
        }
        // The cookie engine on, reading no file.
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
        auto transfer = std::make_unique<Transfer>();
        transfer->easy = easy;
        transfer->job = &job;
        curl_easy_setopt(easy, CURLOPT_URL, job.url.c_str());
        curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->error);
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent_.c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, timeout_);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, timeout_);
        curl_easy_setopt(easy, CURLOPT_SHARE, share_.get());
        // No name cache beyond the --resolve entries: curl walks its whole cache at every lookup,
        // which over a list of many hosts grows as hosts times hosts. A host's connections are
        // reused without a lookup, so a name is looked up again only for a new connection.
        curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
        // Windows' TLS asks whether the certificate was revoked, and by default fails when the
        // revocation server cannot be reached: such a site would go unverified for a fault not
        // its own. (OpenSSL asks no revocation server at all.)
        curl_easy_setopt(easy, CURLOPT_SSL_OPTIONS,
                         static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
        // Only the entry for this host: curl reads every entry it is given at every request.
        if (!job.resolve.empty()) {
            transfer->resolve.reset(curl_slist_append(nullptr, job.resolve.c_str()));
            curl_easy_setopt(easy, CURLOPT_RESOLVE, transfer->resolve.get());
        }
        if (job.fresh) {
            curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
            job.fresh = false;
        }
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers_.get());
        curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, TakeBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, CountHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get());
        ++host.active;
        curl_multi_add_handle(multi_.get(), easy);
        active_.emplace(easy, std::move(transfer));
    }

    void Finished(CURL* easy, CURLcode code) {
        const auto it = active_.find(easy);
        std::unique_ptr<Transfer> transfer = std::move(it->second);
        active_.erase(it);
        curl_multi_remove_handle(multi_.get(), easy);
        Job& job = *transfer->job;
        const std::uint32_t h = job.host;
        --hosts_[h].active;

        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        char* location = nullptr;
        curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location);
        const std::string redirect = location ? location : "";
        curl_off_t retryAfter = 0;
        curl_easy_getinfo(easy, CURLINFO_RETRY_AFTER, &retryAfter);
        long connects = 0;
        curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &connects);
        curl_header* cookie = nullptr;
        const bool setCookie =
            curl_easy_header(easy, "Set-Cookie", 0, CURLH_HEADER, -1, &cookie) == CURLHE_OK;
        const std::string error = transfer->error[0] ? transfer->error : curl_easy_strerror(code);
        char* type = nullptr;
        curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type);
        const std::string contentType = type ? type : "";
        spare_.push_back(easy);

        if (code == CURLE_WRITE_ERROR && transfer->stopped)
            code = CURLE_OK;                              // the body ended on purpose
        const bool http = status >= 100 && status <= 599; // a status an HTTP server may send
        if (!job.site.empty()) {
            const bool page = code == CURLE_OK && status >= 200 && status < 300 && transfer->body;
            MadeUpAnswered(
                job,
                page ? ReadPage(transfer->body->Bytes(), contentType, transfer->body->Cut()).title
                     : std::string());
        } else if (transfer->headerTooLong) {
            Finish(job, Verdict::Unverified, kHeaderTooLong);
        } else if (code == CURLE_OK && !http) {
            Failed(job, CURLE_WEIRD_SERVER_REPLY, error, false);
        } else if (code == CURLE_OK) {
            job.status = static_cast<int>(status);
            Answered(job, h, status, redirect, retryAfter, setCookie, *transfer, contentType);
        } else {
            Failed(job, code, error, connects == 0);
        }
        MakeRunnable(h, true);
    }

    void Answered(Job& job, std::uint32_t h, long status, const std::string& redirect,
                  curl_off_t retryAfter, bool setCookie, const Transfer& transfer,
                  const std::string& contentType) {
        const bool redirected =
            status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        if (redirected && !redirect.empty())
            return Redirect(job, status, redirect, setCookie);
        if (status >= 200 && status < 300) {
            const Page page =
                transfer.body ? ReadPage(transfer.body->Bytes(), contentType, transfer.body->Cut())
                              : Page{};
            return PageAnswered(job, page);
        }
        const std::string http = "HTTP " + std::to_string(status);
        // Retry-After counts only on the answers that are asked again: a 404 stays dead, whatever
        // wait it names.
        const bool again = status >= 500 || status == 408 || status == 429;
        if (!again)
            retryAfter = 0;
        if (retryAfter > kRetryAfterLimit)
            return Finish(job, Verdict::Unverified,
                          http + ", Retry-After " + std::to_string(retryAfter) + " 秒");
        if (retryAfter > 0) {
            // The host asked for a pause: nothing more goes to it until then.
            Host& host = hosts_[h];
            host.pausedUntil = Clock::now() + seconds(retryAfter);
            timers_.push({host.pausedUntil, nullptr, h});
        }
        if (status == 404 || status == 410)
            return Finish(job, Verdict::Dead, http);
        if (again) {
            if (job.retries >= kRetries)
                return Finish(job, Verdict::Unverified,
                              http + ", " + std::to_string(kRetries) + " 回やり直しても");
            return Retry(job, retryAfter);
        }
        Finish(job, Verdict::Unverified, http);
    }

    void Redirect(Job& job, long status, const std::string& target, bool setCookie) {
        // A URL that comes back is a loop, unless the answer that sends it back set a cookie:
        // then it is asked once more, with the cookie, as a browser would.
        const auto seen = std::ranges::count(job.chain, target);
        if (seen > 1 || (seen == 1 && !setCookie))
            return Finish(job, Verdict::Dead, kLoop);
        if (static_cast<int>(job.chain.size()) > kMaxRedirects)
            return Finish(job, Verdict::Unverified,
                          "転送が " + std::to_string(kMaxRedirects) + " 回を超えました");
        const bool permanent = status == 301 || status == 308;
        if (permanent && job.permanent == 0)
            job.permanent = status;
        job.allPermanent = job.allPermanent && permanent;
        job.chain.push_back(target);
        job.url = target;
        job.retries = 0;
        // curl makes a relative Location absolute; one it could not read stays as it came.
        const std::string scheme = SchemeOf(target);
        if (scheme.empty())
            return Finish(job, Verdict::Unverified, "転送先の URL の形が正しくありません");
        if (!IsWeb(scheme))
            return Finish(job, Verdict::Unverified, "転送先が http でも https でもありません");
        // Sent away from its own domain to a domain-sale or parking service: the domain is
        // offered or parked, whatever that service answers.
        if (const auto to = ReadTarget(target)) {
            const PageKind service = rules_.ServiceOf(to->host);
            const auto from = ReadTarget(job.chain.front());
            if (service != PageKind::Fine && from && rules_.ServiceOf(from->host) == PageKind::Fine)
                return Finish(job, Verdict::Parked, ParkedReason(service));
        }
        Enqueue(job);
    }

    static std::string ParkedReason(PageKind kind) {
        return kind == PageKind::ForSale ? "ドメインが売りに出されています"
                                         : "駐車ページ (パーキング) になっています";
    }

    // A 2xx answer's page: for sale, parked or "not found" by what it says; else compared with a
    // made-up path of its site, when the URL is not the site's top page.
    void PageAnswered(Job& job, const Page& page) {
        job.title = page.title;
        const auto first = ReadTarget(job.chain.front());
        const auto last = ReadTarget(job.chain.back());
        std::vector<std::string> hosts;
        for (const auto& target : {first, last}) {
            if (target)
                hosts.push_back(target->host);
        }
        const PageKind kind = rules_.Classify(page, hosts);
        if (kind == PageKind::ForSale || kind == PageKind::Parked)
            return Finish(job, Verdict::Parked, ParkedReason(kind));
        if (kind == PageKind::NotFound)
            return Finish(job, Verdict::Soft404,
                          "HTTP " + std::to_string(job.status) +
                              " ですが、ページがないと書かれています: 「" +
                              (page.title.empty() ? page.heading : page.title) + "」");
        if (page.title.empty() || !first || !last || IsTopPath(first->path) ||
            IsTopPath(last->path))
            return Finish(job, Verdict::Healthy, {});
        MadeUp& madeUp = madeUp_[last->origin];
        if (madeUp.known)
            return CompareMadeUp(job, madeUp);
        madeUp.waiting.push_back(&job);
        if (madeUp.job)
            return; // asked already
        madeUp.job = std::make_unique<Job>();
        Job& ask = *madeUp.job;
        ask.site = last->origin;
        ask.url = last->origin + madeUpPath_;
        ask.chain.push_back(ask.url);
        Enqueue(ask);
    }

    // The made-up path's answer has come (its title, or nothing): each URL that waited for it is
    // a soft 404 when its page has the same title.
    void MadeUpAnswered(Job& ask, const std::string& title) {
        MadeUp& madeUp = madeUp_[ask.site];
        madeUp.known = true;
        madeUp.title = Normalise(title);
        const std::vector<Job*> waiting = std::move(madeUp.waiting);
        madeUp.waiting.clear();
        madeUp.job.reset(); // ask is gone from here on
        for (Job* job : waiting)
            CompareMadeUp(*job, madeUp);
    }

    void CompareMadeUp(Job& job, const MadeUp& madeUp) {
        if (!madeUp.title.empty() && Normalise(job.title) == madeUp.title)
            return Finish(job, Verdict::Soft404,
                          "HTTP " + std::to_string(job.status) +
                              " ですが、存在しないページと同じ題名です: 「" + job.title + "」");
        Finish(job, Verdict::Healthy, {});
    }

    void Failed(Job& job, CURLcode code, const std::string& error, bool reused) {
        std::string reason = error;
        switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return Finish(job, Verdict::Dead, "ホスト名が見つかりません");
        case CURLE_COULDNT_CONNECT:
            return Finish(job, Verdict::Dead, "接続を拒否されました");
        case CURLE_OPERATION_TIMEDOUT:
            if (job.retries >= kRetries)
                return Finish(job, Verdict::Unverified,
                              "応答がありません (" + std::to_string(timeout_) +
                                  " ミリ秒で打ち切り)");
            return Retry(job, 0);
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_USE_SSL_FAILED:
            return Finish(job, Verdict::Unverified, "TLS: " + error);
        case CURLE_URL_MALFORMAT:
            return Finish(job, Verdict::Unverified,
                          job.chain.size() > 1 ? "転送先の URL の形が正しくありません"
                                               : "URL の形が正しくありません");
        // The URL was read before it was asked, and its scheme is http or https: these come
        // from the server's answer.
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_WEIRD_SERVER_REPLY:
            reason = kNotHttp;
            break;
        case CURLE_OUT_OF_MEMORY: // curl's word for a header line longer than it takes
            // The same server sends the same header again: not asked again.
            return Finish(job, Verdict::Unverified,
                          "応答のヘッダーが長すぎます (curl の上限は 1 行 100 KiB)");
        default:
            break;
        }
        if (reused && !job.freshTried) {
            // An earlier answer may have left the connection unusable (a body after a HEAD
            // answer): asked again at once, on a connection of its own.
            job.fresh = job.freshTried = true;
            return Again(job, seconds(0));
        }
        // A reset, a closed connection, a broken answer: asked again after a wait.
        if (job.retries >= kRetries)
            return Finish(job, Verdict::Unverified, reason);
        Retry(job, 0);
    }

    // Asks again after a wait: Retry-After when the server gave one, otherwise 1, 2, 4 seconds.
    void Retry(Job& job, curl_off_t retryAfter) {
        const seconds wait = retryAfter > 0 ? seconds(retryAfter) : seconds(1 << job.retries);
        ++job.retries;
        Again(job, wait);
    }

    void Again(Job& job, seconds wait) {
        if (wait.count() == 0)
            return Enqueue(job);
        timers_.push({Clock::now() + wait, &job, kNone});
    }

    void FireTimers(Clock::time_point now) {
        while (!timers_.empty() && timers_.top().at <= now) {
            const Timer timer = timers_.top();
            timers_.pop();
            if (timer.job)
                Enqueue(*timer.job);
            else
                MakeRunnable(timer.host, false);
        }
    }

    void Finish(Job& job, Verdict verdict, std::string reason) {
        Outcome outcome{verdict, std::move(reason), {}, job.status, false, std::move(job.title)};
        if (job.chain.size() > 1) {
            outcome.finalUrl = job.chain.back();
            outcome.permanent = job.allPermanent;
        }
        if (job.permanent != 0 && (verdict == Verdict::Healthy || verdict == Verdict::Unverified)) {
            // Moved, whatever the new place answers, unless it is gone: the owner wants the new
            // URL.
            std::string why = "HTTP " + std::to_string(job.permanent);
            if (verdict == Verdict::Unverified)
                why += ", 転送先は " + outcome.reason;
            outcome.verdict = Verdict::Moved;
            outcome.reason = std::move(why);
        } else if (verdict == Verdict::Dead && job.chain.size() > 1 && outcome.reason != kLoop) {
            outcome.reason += ", 転送先 " + WithoutPassword(job.chain.back());
        }
        const std::size_t index = job.index;
        live_.erase(index); // job is gone from here on
        Report(index, outcome);
    }

    void Report(std::size_t index, const Outcome& outcome) {
        known_[index] = true;
        --left_;
        done_(index, outcome);
    }

    // The run's time is up: whatever is not known is reported as such.
    void EndAll() {
        for (std::size_t i = 0; i < known_.size(); ++i) {
            if (!known_[i])
                Report(i, Unverifiable("時間内に確認が終わりませんでした"));
        }
        live_.clear();
    }

    void Wait(Clock::time_point end) {
        long wait = 100; // stop is looked at ten times a second
        curl_multi_timeout(multi_.get(), &wait);
        if (wait < 0 || wait > 100)
            wait = 100;
        const Clock::time_point now = Clock::now();
        Clock::time_point next = end;
        if (!timers_.empty())
            next = std::min(next, timers_.top().at);
        const auto untilNext = std::chrono::duration_cast<milliseconds>(next - now).count() + 1;
        wait = std::max(0L, std::min(wait, static_cast<long>(untilNext)));
        if (wait > 0)
            curl_multi_poll(multi_.get(), nullptr, 0, static_cast<int>(wait), nullptr);
    }

    const Settings& settings_;
    const std::function<void(std::size_t, const Outcome&)>& done_;
    std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi_{curl_multi_init(),
                                                                 curl_multi_cleanup};
    std::unique_ptr<CURLSH, decltype(&curl_share_cleanup)> share_{curl_share_init(),
                                                                  curl_share_cleanup};
    long timeout_ = 1; // milliseconds
    std::string userAgent_;
    Slist headers_{nullptr, curl_slist_free_all};
    const HealthRules rules_ = HealthRules::Load();
    const std::string madeUpPath_ = MadeUpPath();
    std::unordered_map<std::string, MadeUp> madeUp_;    // by site, "http://host:port"
    std::unordered_map<std::string, Resolved> resolve_; // by "host:port"
    std::span<const std::string_view> urls_;
    std::vector<bool> known_;            // by URL index: reported
    std::vector<std::uint32_t> nextUrl_; // by URL index: the next URL in its host's queue
    std::size_t left_ = 0;
    std::unordered_map<std::size_t, std::unique_ptr<Job>> live_; // by URL index
    StringSet hostKeys_;     // by host index: the address or name
    std::deque<Host> hosts_; // by host index; grows without moving what it holds
    std::deque<std::uint32_t> runnable_;
    std::map<CURL*, std::unique_ptr<Transfer>> active_;
    std::vector<CURL*> spare_;
    std::priority_queue<Timer, std::vector<Timer>, std::greater<>> timers_;
};

void InitCurl() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw std::runtime_error("curl_global_init failed");
    });
}

} // namespace

std::string UserAgent() {
    return "Quorvane/" QVN_VERSION;
}

bool CheckUrls(std::span<const std::string_view> urls, const Settings& settings,
               const std::function<void(std::size_t, const Outcome&)>& done,
               const std::atomic<bool>& stop) {
    InitCurl();
    Run run(settings, done);
    return run.Go(urls, stop);
}

std::string Describe(const std::string& url, const Outcome& outcome) {
    const std::string shown = WithoutPassword(url);
    switch (outcome.verdict) {
    case Verdict::Healthy:
        return shown + ": 問題ありません";
    case Verdict::Moved:
        return shown + ": 移転しています (" + outcome.reason +
               "): " + WithoutPassword(outcome.finalUrl);
    case Verdict::Unverified:
        return shown + ": 確認できませんでした (" + outcome.reason + ")";
    case Verdict::Suspect:
        return shown + ": リンク切れかもしれません (" + outcome.reason + ")";
    case Verdict::Dead:
        return shown + ": リンク切れです (" + outcome.reason + ")";
    case Verdict::Parked:
    case Verdict::Soft404:
        return shown + ": リンク切れです (" + outcome.reason + ")" +
               (outcome.finalUrl.empty() ? "" : ": " + WithoutPassword(outcome.finalUrl));
    case Verdict::Changed:
        return shown + ": 別のサイトになったようです (" + outcome.reason + ")" +
               (outcome.finalUrl.empty() ? "" : ": " + WithoutPassword(outcome.finalUrl));
    }
    return shown;
}

bool Fixable(const Outcome& outcome) {
    return outcome.verdict == Verdict::Moved && outcome.permanent && outcome.status >= 200 &&
           outcome.status < 300 && !outcome.finalUrl.empty();
}

Severity SeverityOf(Verdict verdict) {
    switch (verdict) {
    case Verdict::Dead:
    case Verdict::Parked:
    case Verdict::Soft404:
        return Severity::Error;
    case Verdict::Moved:
    case Verdict::Suspect:
    case Verdict::Changed:
        return Severity::Warning;
    case Verdict::Unverified:
    case Verdict::Healthy:
        break;
    }
    return Severity::Note;
}

std::string_view KindOf(Verdict verdict) {
    switch (verdict) {
    case Verdict::Healthy:
        break;
    case Verdict::Changed:
        return "changed";
    case Verdict::Moved:
        return "moved";
    case Verdict::Unverified:
        return "unverified";
    case Verdict::Suspect:
    case Verdict::Dead:
        return "dead";
    case Verdict::Parked:
        return "parked";
    case Verdict::Soft404:
        return "soft404";
    }
    return {};
}

Finding FindingOf(const std::string& file, long long line, const std::string& url,
                  const Outcome& outcome) {
    return {
        file, line, 0, SeverityOf(outcome.verdict), KindOf(outcome.verdict), Describe(url, outcome),
        {}};
}

} // namespace qvn::linkcheck
