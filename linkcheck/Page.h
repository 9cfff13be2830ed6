// What the link check reads of a web page that answers: at most the first 64 KiB of its body,
// gzip or deflate decoded within the same bound, decoded to UTF-8 by the page's own charset, and
// from that its title, its first heading and the text it shows. A server that sends without end,
// a compression bomb or a title of megabytes costs those 64 KiB and no more.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace qvn::linkcheck {

inline constexpr std::size_t kPageBytes = 64 * 1024; // of a body, as sent and as decoded
inline constexpr std::size_t kTitleBytes = 300;      // of a title or heading kept, in UTF-8

// The start of a body as it comes in: its bytes as sent, gzip or deflate decoded by the
// Content-Encoding given, until kPageBytes of either.
class BodyStart {
public:
    // "gzip", "x-gzip" or "deflate" (in any case) are decoded; anything else is taken as it is.
    explicit BodyStart(std::string_view contentEncoding);
    ~BodyStart();
    BodyStart(const BodyStart&) = delete;
    BodyStart& operator=(const BodyStart&) = delete;

    // Takes the next bytes as sent. False once no more is wanted: the bound is reached, or the
    // compressed data ended or is broken (what was decoded before stays).
    bool Take(std::string_view sent);
    // The decoded bytes so far.
    const std::string& Bytes() const { return bytes_; }
    // Whether the bytes stop short of the body's end (a bound, broken data), so that the last line
    // may be cut in the middle of a character.
    bool Cut() const { return cut_; }

private:
    struct Inflater;
    std::string bytes_;
    std::size_t sent_ = 0;
    bool cut_ = false;
    bool done_ = false;
    std::unique_ptr<Inflater> inflater_; // null for a body taken as it is
};

struct Page {
    std::string title;   // the first <title>, as UTF-8 with its spaces folded, cut at kTitleBytes
    std::string heading; // the first <h1> to <h6> the same way
    std::string text;    // the text the page shows: no tags, scripts, styles or comments
};

// Reads a page from the start of its body, in the charset that a byte order mark, the
// Content-Type header (contentType, as sent), a <meta> tag or else the bytes themselves show
// (UTF-8, ISO-2022-JP, EUC-JP, Shift_JIS). cut: the body was cut at a bound.
Page ReadPage(std::string_view body, std::string_view contentType, bool cut);

} // namespace qvn::linkcheck
