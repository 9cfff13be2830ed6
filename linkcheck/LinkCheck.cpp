// The link check's scheduler: per-host queues in front of one libcurl multi handle. Each request is
// handed to curl only when it may start (its host has fewer than two at once, the run fewer than
// `jobs`), so curl's own timeout never counts time spent waiting in a queue. Redirects, the GET
// after a refused HEAD and retries come back through the same queues as new requests.
#include "LinkCheck.h"

#include <algorithm>
#include <cctype>
#include <curl/curl.h>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <stdexcept>

namespace qvn::linkcheck {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

std::string Lower(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The scheme of a URL in lower case, empty when it has none (a relative URL).
std::string SchemeOf(const std::string& url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0)
        return {};
    for (std::size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (!std::isalpha(c) && (i == 0 || (!std::isdigit(c) && c != '+' && c != '-' && c != '.')))
            return {};
    }
    return Lower(url.substr(0, colon));
}

// The host name of an http or https URL, in lower case; empty when curl cannot read the URL.
std::string HostOf(const std::string& url) {
    CURLU* parsed = curl_url();
    std::string host;
    char* part = nullptr;
    if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
        host = Lower(part);
        curl_free(part);
    }
    curl_url_cleanup(parsed);
    return host;
}

bool IsWeb(const std::string& scheme) {
    return scheme == "http" || scheme == "https";
}

// A URL's road: its current hop, how it is asked, what happened on the way.
struct Job {
    std::size_t index = 0;
    std::string url;                // the hop asked next
    std::string host;               // its host name, the queue it waits in
    bool get = false;               // HEAD failed: asking with GET
    int retries = 0;                // retries used at this hop
    std::vector<std::string> chain; // every hop so far, the first URL first
    long permanent = 0;             // the first permanent redirect's status, 0 before one
};

struct Host {
    std::deque<Job*> queue;
    int active = 0;
    Clock::time_point pausedUntil{}; // a Retry-After from this host holds all its requests
    bool runnable = false;           // in the scheduler's list of hosts that may start one
};

// One request on its way through curl.
struct Transfer {
    CURL* easy = nullptr;
    Job* job = nullptr;
    bool bodyStarted = false; // a GET saw its first body bytes, and was ended there
    char error[CURL_ERROR_SIZE] = {};
};

// A moment when a job may go back to its queue, or a paused host may start again.
struct Timer {
    Clock::time_point at;
    Job* job = nullptr;
    Host* host = nullptr;
    bool operator>(const Timer& other) const { return at > other.at; }
};

std::size_t ReadNothing(char*, std::size_t, std::size_t, void* data) {
    // A GET wants the status line only: the body is cut at its first bytes.
    static_cast<Transfer*>(data)->bodyStarted = true;
    return 0;
}

class Run {
public:
    Run(const Settings& settings, const std::function<void(std::size_t, const Outcome&)>& done)
        : settings_(settings), done_(done), multi_(curl_multi_init()) {
        if (!multi_)
            throw std::runtime_error("curl_multi_init failed");
        // Idle connections are kept for the hosts that still have requests, up to about one for
        // each request at once.
        curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, static_cast<long>(settings_.jobs + 16));
        for (const std::string& entry : settings_.resolve)
            resolve_ = curl_slist_append(resolve_, entry.c_str());
        userAgent_ = UserAgent();
    }

    ~Run() {
        for (auto& [easy, transfer] : active_) {
            curl_multi_remove_handle(multi_, easy);
            curl_easy_cleanup(easy);
        }
        for (CURL* easy : spare_)
            curl_easy_cleanup(easy);
        curl_multi_cleanup(multi_);
        curl_slist_free_all(resolve_);
    }

    bool Go(const std::vector<std::string>& urls, const std::atomic<bool>& stop) {
        const auto limit =
            settings_.runLimit.count() > 0
                ? settings_.runLimit
                : std::max<milliseconds>(std::chrono::minutes(10), 30 * settings_.timeout);
        const Clock::time_point end = Clock::now() + limit;
        jobs_.resize(urls.size());
        left_ = urls.size();
        for (std::size_t i = 0; i < urls.size(); ++i)
            Begin(i, urls[i]);
        while (left_ > 0) {
            if (stop.load())
                return false;
            const Clock::time_point now = Clock::now();
            if (now >= end) {
                EndAll();
                break;
            }
            FireTimers(now);
            Pump();
            int running = 0;
            curl_multi_perform(multi_, &running);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
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
    void Begin(std::size_t index, const std::string& url) {
        auto job = std::make_unique<Job>();
        job->index = index;
        job->url = url;
        job->chain.push_back(url);
        Job* j = job.get();
        jobs_[index] = std::move(job);
        if (url.empty())
            return Finish(*j, Verdict::Unverified, "URL がありません");
        const std::string scheme = SchemeOf(url);
        if (!IsWeb(scheme))
            return Finish(*j, Verdict::Unverified, "http でも https でもありません");
        Enqueue(*j);
    }

    // Puts the job in the queue of its current URL's host.
    void Enqueue(Job& job) {
        job.host = HostOf(job.url);
        if (job.host.empty())
            return Finish(job, Verdict::Unverified, "URL の形が正しくありません");
        Host& host = hosts_[job.host];
        host.queue.push_back(&job);
        MakeRunnable(host, false);
    }

    void MakeRunnable(Host& host, bool first) {
        if (host.runnable || host.queue.empty() || host.active >= kPerHost ||
            host.pausedUntil > Clock::now())
            return;
        host.runnable = true;
        // A host that just started or finished a request goes first: its requests go out two at
        // a time, over connections that stay open for the next ones, instead of every host's
        // connection being closed for the others' before it is used again.
        if (first)
            runnable_.push_front(&host);
        else
            runnable_.push_back(&host);
    }

    void Pump() {
        while (static_cast<int>(active_.size()) < settings_.jobs && !runnable_.empty()) {
            Host& host = *runnable_.front();
            runnable_.pop_front();
            host.runnable = false;
            if (host.queue.empty() || host.active >= kPerHost || host.pausedUntil > Clock::now())
                continue;
            Job& job = *host.queue.front();
            host.queue.pop_front();
            Start(job, host);
            MakeRunnable(host, true);
        }
    }

    void Start(Job& job, Host& host) {
        CURL* easy = nullptr;
        if (spare_.empty()) {
            easy = curl_easy_init();
        } else {
            easy = spare_.back();
            spare_.pop_back();
            curl_easy_reset(easy);
        }
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
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(settings_.timeout.count()));
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(settings_.timeout.count()));
        // Windows' TLS asks whether the certificate was revoked, and by default fails when the
        // revocation server cannot be reached: such a site would go unverified for a fault not
        // its own. (OpenSSL asks no revocation server at all.)
        curl_easy_setopt(easy, CURLOPT_SSL_OPTIONS,
                         static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
        if (resolve_)
            curl_easy_setopt(easy, CURLOPT_RESOLVE, resolve_);
        if (job.get) {
            curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, ReadNothing);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
        } else {
            curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        }
        ++host.active;
        curl_multi_add_handle(multi_, easy);
        active_.emplace(easy, std::move(transfer));
    }

    void Finished(CURL* easy, CURLcode code) {
        const auto it = active_.find(easy);
        std::unique_ptr<Transfer> transfer = std::move(it->second);
        active_.erase(it);
        curl_multi_remove_handle(multi_, easy);
        Job& job = *transfer->job;
        Host& host = hosts_[job.host];
        --host.active;

        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        char* location = nullptr;
        curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location);
        const std::string redirect = location ? location : "";
        curl_off_t retryAfter = 0;
        curl_easy_getinfo(easy, CURLINFO_RETRY_AFTER, &retryAfter);
        const std::string error = transfer->error[0] ? transfer->error : curl_easy_strerror(code);
        spare_.push_back(easy);

        if (code == CURLE_WRITE_ERROR && transfer->bodyStarted)
            code = CURLE_OK; // the GET ended on purpose at its body
        if (code == CURLE_OK)
            Answered(job, host, status, redirect, retryAfter);
        else
            Failed(job, code, error);
        MakeRunnable(host, true);
    }

    void Answered(Job& job, Host& host, long status, const std::string& redirect,
                  curl_off_t retryAfter) {
        const bool redirected =
            status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        if (redirected && !redirect.empty())
            return Redirect(job, status, redirect);
        if (status >= 200 && status < 300)
            return Finish(job, Verdict::Healthy, {});
        const std::string http = "HTTP " + std::to_string(status);
        if (retryAfter > kRetryAfterLimit)
            return Finish(job, Verdict::Unverified,
                          http + ", Retry-After " + std::to_string(retryAfter) + " 秒");
        if (retryAfter > 0) {
            // The host asked for a pause: nothing more goes to it until then.
            host.pausedUntil = Clock::now() + seconds(retryAfter);
            timers_.push({host.pausedUntil, nullptr, &host});
        }
        if (!job.get && status >= 400) {
            // Many servers answer HEAD wrongly (405, 501, even 404): GET has the last word.
            job.get = true;
            return Again(job, seconds(retryAfter));
        }
        if (status == 404 || status == 410)
            return Finish(job, Verdict::Dead, http);
        if (status >= 500 || status == 408 || status == 429) {
            if (job.retries >= kRetries)
                return Finish(job, Verdict::Unverified,
                              http + ", " + std::to_string(kRetries) + " 回やり直しても");
            return Retry(job, retryAfter);
        }
        Finish(job, Verdict::Unverified, http);
    }

    void Redirect(Job& job, long status, const std::string& target) {
        if (std::ranges::find(job.chain, target) != job.chain.end())
            return Finish(job, Verdict::Dead, "転送がループしています");
        if (static_cast<int>(job.chain.size()) > kMaxRedirects)
            return Finish(job, Verdict::Unverified,
                          "転送が " + std::to_string(kMaxRedirects) + " 回を超えました");
        if ((status == 301 || status == 308) && job.permanent == 0)
            job.permanent = status;
        job.chain.push_back(target);
        job.url = target;
        job.retries = 0;
        if (!IsWeb(SchemeOf(target)))
            return Finish(job, Verdict::Unverified, "転送先が http でも https でもありません");
        Enqueue(job);
    }

    void Failed(Job& job, CURLcode code, const std::string& error) {
        switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return Finish(job, Verdict::Dead, "ホスト名が見つかりません");
        case CURLE_COULDNT_CONNECT:
            return Finish(job, Verdict::Dead, "接続を拒否されました");
        case CURLE_OPERATION_TIMEDOUT:
            if (job.retries >= kRetries)
                return Finish(job, Verdict::Unverified,
                              "応答がありません (" + std::to_string(settings_.timeout.count()) +
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
        case CURLE_UNSUPPORTED_PROTOCOL:
            return Finish(job, Verdict::Unverified, "URL の形が正しくありません");
        default:
            break;
        }
        // A reset, a closed connection, a broken answer: HEAD is tried again as GET, a GET again
        // after a wait.
        if (!job.get) {
            job.get = true;
            return Again(job, seconds(0));
        }
        if (job.retries >= kRetries)
            return Finish(job, Verdict::Unverified, error);
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
        timers_.push({Clock::now() + wait, &job, nullptr});
    }

    void FireTimers(Clock::time_point now) {
        while (!timers_.empty() && timers_.top().at <= now) {
            const Timer timer = timers_.top();
            timers_.pop();
            if (timer.job)
                Enqueue(*timer.job);
            else
                MakeRunnable(*timer.host, false);
        }
    }

    void Finish(Job& job, Verdict verdict, std::string reason) {
        Outcome outcome;
        outcome.verdict = verdict;
        outcome.reason = std::move(reason);
        if (job.permanent != 0 && verdict != Verdict::Dead) {
            // Moved, whatever the new place answers, unless it is gone: the owner wants the new
            // URL.
            std::string why = "HTTP " + std::to_string(job.permanent);
            if (verdict == Verdict::Unverified)
                why += ", 転送先は " + outcome.reason;
            outcome.verdict = Verdict::Moved;
            outcome.reason = std::move(why);
            outcome.finalUrl = job.url;
        } else if (verdict == Verdict::Dead && job.chain.size() > 1 &&
                   outcome.reason.starts_with("HTTP")) {
            outcome.reason += ", 転送先 " + job.url;
        }
        const std::size_t index = job.index;
        jobs_[index].reset();
        --left_;
        done_(index, outcome);
    }

    // The run's time is up: whatever is not known is reported as such.
    void EndAll() {
        for (auto& job : jobs_) {
            if (job)
                Finish(*job, Verdict::Unverified, "時間内に確認が終わりませんでした");
        }
    }

    void Wait(Clock::time_point end) {
        long wait = 100; // stop is looked at ten times a second
        curl_multi_timeout(multi_, &wait);
        if (wait < 0 || wait > 100)
            wait = 100;
        const Clock::time_point now = Clock::now();
        Clock::time_point next = end;
        if (!timers_.empty())
            next = std::min(next, timers_.top().at);
        const auto untilNext = std::chrono::duration_cast<milliseconds>(next - now).count() + 1;
        wait = std::max(0L, std::min(wait, static_cast<long>(untilNext)));
        if (wait > 0)
            curl_multi_poll(multi_, nullptr, 0, static_cast<int>(wait), nullptr);
    }

    const Settings& settings_;
    const std::function<void(std::size_t, const Outcome&)>& done_;
    CURLM* multi_;
    curl_slist* resolve_ = nullptr;
    std::string userAgent_;
    std::vector<std::unique_ptr<Job>> jobs_; // by URL index; empty once reported
    std::size_t left_ = 0;
    std::map<std::string, Host> hosts_;
    std::deque<Host*> runnable_;
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

bool CheckUrls(const std::vector<std::string>& urls, const Settings& settings,
               const std::function<void(std::size_t, const Outcome&)>& done,
               const std::atomic<bool>& stop) {
    InitCurl();
    Run run(settings, done);
    return run.Go(urls, stop);
}

std::string Describe(const std::string& url, const Outcome& outcome) {
    switch (outcome.verdict) {
    case Verdict::Healthy:
        return url + ": 問題ありません";
    case Verdict::Moved:
        return url + ": 移転しています (" + outcome.reason + "): " + outcome.finalUrl;
    case Verdict::Unverified:
        return url + ": 確認できませんでした (" + outcome.reason + ")";
    case Verdict::Suspect:
        return url + ": リンク切れかもしれません (" + outcome.reason + ")";
    case Verdict::Dead:
        return url + ": リンク切れです (" + outcome.reason + ")";
    }
    return url;
}

Severity SeverityOf(Verdict verdict) {
    switch (verdict) {
    case Verdict::Dead:
        return Severity::Error;
    case Verdict::Moved:
    case Verdict::Suspect:
        return Severity::Warning;
    case Verdict::Unverified:
    case Verdict::Healthy:
        break;
    }
    return Severity::Note;
}

Finding FindingOf(const std::string& file, long long line, const std::string& url,
                  const Outcome& outcome) {
    const std::string_view kind = outcome.verdict == Verdict::Moved        ? "moved"
                                  : outcome.verdict == Verdict::Unverified ? "unverified"
                                                                           : "dead";
    return {file, line, 0, SeverityOf(outcome.verdict), kind, Describe(url, outcome), {}};
}

} // namespace qvn::linkcheck
