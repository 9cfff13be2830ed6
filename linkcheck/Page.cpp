// The start of a web page as the link check reads it: the bounded body (zlib decodes gzip and
// deflate), the page's charset, and a small reading of its HTML that takes the title, the first
// heading and the text shown. The HTML is read after it is decoded to UTF-8, because in
// ISO-2022-JP a byte that looks like "<" may be half of a kanji.
#include "Page.h"

#include "Codec.h"
#include "TextScan.h"
#include "Words.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <zlib.h>

namespace qvn::linkcheck {
namespace {

using check::Lower;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The value after "charset=" in a Content-Type, or in the content of a <meta http-equiv>.
std::optional<Charset> CharsetParameter(std::string_view value) {
    const std::string lower = Lower(value);
    const std::size_t at = lower.find("charset");
    if (at == std::string::npos)
        return std::nullopt;
    std::size_t from = lower.find_first_not_of(" \t", at + 7);
    if (from == std::string::npos || lower[from] != '=')
        return std::nullopt;
    from = lower.find_first_not_of(" \t\"'", from + 1);
    if (from == std::string::npos)
        return std::nullopt;
    const std::size_t end = lower.find_first_of(" \t;\"',", from);
    return CharsetNamed(value.substr(from, end == std::string::npos ? end : end - from));
}

// The attributes of a tag, from after its name to its ">": name and value, in order.
template <typename Attribute> void ReadAttributes(std::string_view tag, Attribute&& attribute) {
    std::size_t i = 0;
    while (i < tag.size()) {
        while (i < tag.size() && (IsSpace(tag[i]) || tag[i] == '/'))
            ++i;
        const std::size_t nameStart = i;
        while (i < tag.size() && !IsSpace(tag[i]) && tag[i] != '=' && tag[i] != '/')
            ++i;
        const std::string name = Lower(tag.substr(nameStart, i - nameStart));
        while (i < tag.size() && IsSpace(tag[i]))
            ++i;
        std::string_view value;
        if (i < tag.size() && tag[i] == '=') {
            ++i;
            while (i < tag.size() && IsSpace(tag[i]))
                ++i;
            if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
                const char quote = tag[i++];
                const std::size_t end = std::min(tag.find(quote, i), tag.size());
                value = tag.substr(i, end - i);
                i = end + 1;
            } else {
                const std::size_t start = i;
                while (i < tag.size() && !IsSpace(tag[i]))
                    ++i;
                value = tag.substr(start, i - start);
            }
        }
        if (name.empty())
            ++i; // a stray "=": step over it
        else
            attribute(name, value);
    }
}

// The charset a <meta> tag in the page's head names: <meta charset="..."> or
// <meta http-equiv="Content-Type" content="...; charset=...">. The head is read as ASCII bytes,
// which every charset here but ISO-2022-JP keeps as they are, and that one outside its escapes.
std::optional<Charset> MetaCharset(std::string_view body) {
    const std::string lower = Lower(body);
    const std::size_t bodyTag = lower.find("<body");
    for (std::size_t at = lower.find("<meta"); at < bodyTag && at != std::string::npos;
         at = lower.find("<meta", at + 5)) {
        const std::size_t end = lower.find('>', at);
        if (end == std::string::npos)
            break;
        std::optional<Charset> named;
        bool contentType = false;
        std::string_view content;
        ReadAttributes(body.substr(at + 5, end - at - 5),
                       [&](const std::string& name, std::string_view value) {
                           if (name == "charset" && !named)
                               named = CharsetNamed(value);
                           else if (name == "http-equiv")
                               contentType = Lower(value) == "content-type";
                           else if (name == "content")
                               content = value;
                       });
        if (!named && contentType)
            named = CharsetParameter(content);
        if (named)
            return named;
    }
    return std::nullopt;
}

// The charset the bytes are in, judged as the check of the inputs judges a file's lines. A body
// cut at the bound may end in half a character: its last bytes outside ASCII are left out.
std::optional<Charset> CharsetOfBytes(std::string_view body, bool cut) {
    for (int i = 0;
         cut && i < 3 && !body.empty() && static_cast<unsigned char>(body.back()) >= 0x80; ++i)
        body.remove_suffix(1);
    check::EncodingScan scan(0);
    long long number = 0;
    for (std::size_t at = 0; at < body.size();) {
        const std::size_t end = std::min(body.find('\n', at), body.size());
        scan.Line(++number, body.substr(at, end - at), false);
        at = end + 1;
    }
    switch (scan.Result()) {
    case check::Encoding::Ascii:
    case check::Encoding::Utf8:
        return Charset::Utf8;
    case check::Encoding::Cp932:
        return Charset::Cp932;
    case check::Encoding::EucJp:
        return Charset::EucJp;
    case check::Encoding::Iso2022Jp:
        return Charset::Iso2022Jp;
    case check::Encoding::Utf16:
        break;
    }
    return std::nullopt;
}

// The page as UTF-8: in the charset of its byte order mark, of its Content-Type, of its <meta>, or
// of its bytes, in that order; a Content-Type of the western family (which servers send by
// default) gives way to a <meta>. UTF-16 is not read: nothing.
std::string DecodePage(std::string_view body, std::string_view contentType, bool cut) {
    if (body.starts_with("\xEF\xBB\xBF"))
        return ToUtf8(Charset::Utf8, body.substr(3));
    if (body.starts_with("\xFF\xFE") || body.starts_with("\xFE\xFF"))
        return {};
    std::optional<Charset> charset = CharsetParameter(contentType);
    if (!charset || charset == Charset::Windows1252) {
        if (const auto meta = MetaCharset(body))
            charset = meta;
    }
    if (!charset)
        charset = CharsetOfBytes(body, cut);
    return charset ? ToUtf8(*charset, body) : std::string();
}

// text with its character references decoded (numeric ones and the few names titles use) and its
// runs of spaces folded into one, without spaces at its ends.
std::string PlainText(std::string_view text) {
    static constexpr std::pair<std::string_view, char32_t> kNames[] = {
        {"amp", '&'},      {"lt", '<'},      {"gt", '>'},     {"quot", '"'},      {"apos", '\''},
        {"nbsp", ' '},     {"copy", 0xA9},   {"reg", 0xAE},   {"hellip", 0x2026}, {"ndash", 0x2013},
        {"mdash", 0x2014}, {"middot", 0xB7}, {"laquo", 0xAB}, {"raquo", 0xBB},    {"yen", 0xA5},
    };
    std::string out;
    out.reserve(text.size());
    bool space = true; // none at the start
    const auto put = [&](std::string_view piece) {
        for (const char c : piece) {
            if (IsSpace(c) || c == '\v') {
                space = true;
                continue;
            }
            if (space && !out.empty())
                out += ' ';
            space = false;
            out += c;
        }
    };
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t amp = text.find('&', i);
        put(text.substr(i, amp == std::string_view::npos ? amp : amp - i));
        if (amp == std::string_view::npos)
            break;
        const std::size_t semi = text.find(';', amp);
        std::optional<char32_t> code;
        if (semi != std::string_view::npos && semi - amp <= 10) {
            const std::string_view name = text.substr(amp + 1, semi - amp - 1);
            if (name.size() > 1 && name[0] == '#') {
                const bool hex = name[1] == 'x' || name[1] == 'X';
                char32_t value = 0;
                bool digits = name.size() > (hex ? 2u : 1u);
                for (const char c : name.substr(hex ? 2 : 1)) {
                    const int d = c >= '0' && c <= '9'          ? c - '0'
                                  : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                : -1;
                    digits = digits && d >= 0;
                    value = value * (hex ? 16 : 10) + static_cast<char32_t>(std::max(d, 0));
                }
                if (digits && value > 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF))
                    code = value;
            } else {
                for (const auto& [entity, c] : kNames) {
                    if (Lower(name) == entity)
                        code = c;
                }
            }
        }
        if (code) {
            std::string c;
            AppendUtf8(c, *code);
            put(c);
            i = semi + 1;
        } else {
            put("&");
            i = amp + 1;
        }
    }
    return out;
}

// text cut to at most `limit` bytes, at the start of a character.
std::string CutAt(std::string text, std::size_t limit) {
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

// Reads the title, the first heading and the shown text of a page in UTF-8.
Page ReadHtml(std::string_view html) {
    const std::string lower = Lower(html);
    const auto skipTo = [&](std::string_view end, std::size_t from) {
        const std::size_t at = lower.find(end, from);
        return at == std::string::npos ? html.size() : at;
    };
    Page page;
    std::string text, heading;
    std::string_view headingEnd; // "</h1" while the first heading is open
    bool headingDone = false;
    std::size_t i = 0;
    while (i < html.size()) {
        const std::size_t lt = std::min(html.find('<', i), html.size());
        const std::string_view run = html.substr(i, lt - i);
        text.append(run);
        if (!headingEnd.empty())
            heading.append(run);
        if (lt == html.size())
            break;
        if (lower.compare(lt, 4, "<!--") == 0) {
            i = std::min(skipTo("-->", lt + 4) + 3, html.size());
            continue;
        }
        std::size_t nameEnd = lt + 1 + (lt + 1 < html.size() && html[lt + 1] == '/');
        const std::size_t nameStart = nameEnd;
        while (nameEnd < html.size() && std::isalnum(static_cast<unsigned char>(html[nameEnd])))
            ++nameEnd;
        const std::string_view name =
            std::string_view(lower).substr(nameStart, nameEnd - nameStart);
        const bool closing = nameStart == lt + 2;
        const std::size_t gt = std::min(html.find('>', nameEnd), html.size());
        i = std::min(gt + 1, html.size());
        if (name.empty())
            continue;
        if (!closing && (name == "script" || name == "style")) {
            i = skipTo(name == "script" ? "</script" : "</style", i);
            continue;
        }
        if (!closing && name == "title") {
            const std::size_t end = skipTo("</title", i);
            if (page.title.empty())
                page.title = CutAt(PlainText(html.substr(i, end - i)), kTitleBytes);
            i = end;
            continue;
        }
        const bool headingTag =
            name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
        if (headingTag && !closing && !headingDone && headingEnd.empty())
            headingEnd = name;
        else if (headingTag && closing && name == headingEnd) {
            headingEnd = {};
            headingDone = true;
        }
        text += ' '; // a tag between two words parts them, as most tags show
        if (!headingEnd.empty())
            heading += ' ';
    }
    page.heading = CutAt(PlainText(heading), kTitleBytes);
    page.text = PlainText(text);
    return page;
}

} // namespace

struct BodyStart::Inflater {
    z_stream stream{};
    bool started = false;
    bool raw = false; // deflate sent without its zlib wrapper, as some servers send it
    bool gzip = false;
};

BodyStart::BodyStart(std::string_view contentEncoding) {
    const std::string encoding = Lower(contentEncoding);
    if (encoding.find("gzip") != std::string::npos ||
        encoding.find("deflate") != std::string::npos) {
        inflater_ = std::make_unique<Inflater>();
        inflater_->gzip = encoding.find("gzip") != std::string::npos;
    }
}

BodyStart::~BodyStart() {
    if (inflater_ && inflater_->started)
        inflateEnd(&inflater_->stream);
}

bool BodyStart::Take(std::string_view sent) {
    if (done_)
        return false;
    // What was sent counts against the bound too: compressed data that decodes to little, or to
    // nothing, ends there.
    if (sent.size() > kPageBytes - sent_) {
        sent = sent.substr(0, kPageBytes - sent_);
        cut_ = done_ = true;
    }
    sent_ += sent.size();
    if (!inflater_) {
        bytes_.append(sent);
        return !done_;
    }
    Inflater& z = *inflater_;
    if (!z.started) {
        if (sent.empty())
            return true;
        // A zlib wrapper's first two bytes make a multiple of 31; raw deflate data seldom does.
        const auto b0 = static_cast<unsigned char>(sent[0]);
        z.raw = !z.gzip && (sent.size() < 2 || (b0 & 0x0F) != 8 ||
                            ((b0 << 8) | static_cast<unsigned char>(sent[1])) % 31 != 0);
        if (inflateInit2(&z.stream, z.raw ? -MAX_WBITS : MAX_WBITS + 32) != Z_OK) {
            cut_ = done_ = true;
            return false;
        }
        z.started = true;
    }
    z.stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(sent.data()));
    z.stream.avail_in = static_cast<uInt>(sent.size());
    char out[16384];
    while (z.stream.avail_in > 0 && bytes_.size() < kPageBytes) {
        z.stream.next_out = reinterpret_cast<Bytef*>(out);
        z.stream.avail_out = static_cast<uInt>(std::min(sizeof out, kPageBytes - bytes_.size()));
        const int rc = inflate(&z.stream, Z_NO_FLUSH);
        bytes_.append(out,
                      static_cast<std::size_t>(reinterpret_cast<char*>(z.stream.next_out) - out));
        if (rc == Z_STREAM_END) {
            done_ = true;
            return false;
        }
        if (rc == Z_BUF_ERROR) // needs more input than there is
            break;
        if (rc != Z_OK) {
            cut_ = done_ = true;
            return false;
        }
    }
    if (bytes_.size() >= kPageBytes)
        cut_ = done_ = true;
    return !done_;
}

Page ReadPage(std::string_view body, std::string_view contentType, bool cut) {
    return ReadHtml(DecodePage(body, contentType, cut));
}

} // namespace qvn::linkcheck
