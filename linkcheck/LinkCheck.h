// The link check: asks the web servers behind a links page's URLs whether each site still answers,
// has moved or is gone. Requests go out through libcurl's multi interface, many hosts at a time
// but never more than two at once to one host, with retries, Retry-After and redirects followed
// one hop at a time. Used by qvn-build --check-links and by the link list window.
#pragma once

#include "Findings.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qvn::linkcheck {

// What became of one URL.
enum class Verdict {
    Healthy,    // 2xx, after temporary redirects only
    Changed,    // answers, but its title shares nothing with the one remembered: another site
    Moved,      // a permanent redirect (301, 308) somewhere on the way
    Unverified, // the server would not say: 401, 403, 429, 5xx, a timeout, TLS, not http(s)
    Suspect,    // dead, but for the first time in the history kept between runs
    Dead,       // 404 or 410, a host name that does not resolve, a refused connection, a loop
    Parked,     // the domain is for sale or parked: by its page, or by a redirect to such a service
    Soft404,    // a page that says it does not exist, or is what a made-up path gets, with 200
};

struct Outcome {
    Verdict verdict = Verdict::Healthy;
    std::string reason;     // why, in a few words ("HTTP 404"); empty for a healthy link
    std::string finalUrl;   // the last URL asked, when redirects led there; empty when none did
    int status = 0;         // the last answer's HTTP status; 0 when none came
    bool permanent = false; // redirected, every time permanently (301, 308)
    std::string title;      // the page's title, when it answered 2xx and has one
};

// Whether a moved link may be replaced by the URL it leads to: every redirect on the way was
// permanent, and the new place answers 2xx and is neither parked nor a soft 404.
bool Fixable(const Outcome& outcome);

inline constexpr int kPerHost = 2;          // requests at once to one host name
inline constexpr int kDefaultJobs = 256;    // requests at once over all hosts
inline constexpr int kMaxRedirects = 10;    // redirects followed from one URL
inline constexpr int kRetries = 3;          // retries of a request that may succeed later
inline constexpr int kRetryAfterLimit = 60; // seconds of Retry-After that are waited for
inline constexpr std::size_t kHeaderBytes = 256 * 1024; // of an answer's header, at most
inline constexpr std::size_t kDrainBytes = 16 * 1024;   // of an answer not read that is still
                                                        // taken, to keep its connection

struct Settings {
    int jobs = kDefaultJobs;
    // Each request, from its start to its answer; taken as 1 ms when shorter, never as no limit.
    std::chrono::milliseconds timeout{20000};
    // "HOST:PORT:ADDRESS[,ADDRESS]...", as curl takes them (ReadResolveEntry in Url.h).
    std::vector<std::string> resolve;
    // The whole run ends after this; the URLs not known by then are reported as unverified.
    // Zero: 30 request timeouts, at least ten minutes.
    std::chrono::milliseconds runLimit{0};
    // Called at least ten times a second while the check runs, in its thread.
    std::function<void()> tick;
};

// "Quorvane/VERSION", the User-Agent every request carries.
std::string UserAgent();

// Checks each URL once, in the calling thread, and calls done(index, outcome) there as soon as the
// outcome of urls[index] is known. A URL that answers 2xx is read (at most kPageBytes of it) for
// what its page says, by the rules HealthRules::Load gives; a URL whose path is not the site's top
// page is compared with a made-up path of its site, asked once per site and run. Returns false when
// stop became true before every URL was known (the ones not reported were not finished); stop is
// looked at at least ten times a second, so another thread or a signal handler may set it. The URLs
// stay the caller's: the check keeps little of its own for a URL that is not being asked. Throws
// std::invalid_argument for a resolve entry that is not of its form, Error for a user's rules file
// that cannot be read.
bool CheckUrls(std::span<const std::string_view> urls, const Settings& settings,
               const std::function<void(std::size_t, const Outcome&)>& done,
               const std::atomic<bool>& stop);

// The finding for a URL as both front ends show it: "URL: リンク切れです (HTTP 404)", and for a
// moved link the new URL last, so that it can be copied: "URL: 移転しています (HTTP 301): NEW";
// a parked site or a soft 404 reached through redirects ends the same way with the URL it ended
// at. Both URLs are shown without their passwords.
std::string Describe(const std::string& url, const Outcome& outcome);

// How a verdict is reported: エラー for a dead, parked or soft 404 link; 警告 for a moved or
// changed one, or one failing for the first time; 注記 when the server would not say. Not for a
// healthy link.
Severity SeverityOf(Verdict verdict);

// What a finding is about, one word: dead (Suspect too), moved, unverified, parked, soft404,
// changed; empty for a healthy link.
std::string_view KindOf(Verdict verdict);

// The finding for a URL that is not healthy, on line `line` of the data file `file`.
Finding FindingOf(const std::string& file, long long line, const std::string& url,
                  const Outcome& outcome);

} // namespace qvn::linkcheck
