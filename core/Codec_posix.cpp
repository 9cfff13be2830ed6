// Code page 932 <-> UTF-8, and the other charsets of web pages to UTF-8, through glibc iconv.
#include "Codec.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace qvn {
namespace {

// One iconv conversion descriptor, opened per call: conversions are short and rare enough that
// caching buys nothing, and a fresh descriptor carries no shift state over from a failed call.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts as much of in as it can, appending to out and advancing in. Returns 0 when all of
    // in is converted, else the errno that stopped it (EILSEQ, EINVAL).
    int Convert(std::string_view& in, std::string& out) {
        char buf[4096];
        while (!in.empty()) {
            char* src = const_cast<char*>(in.data());
            std::size_t srcLeft = in.size();
            char* dst = buf;
            std::size_t dstLeft = sizeof buf;
            std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            int err = rc == static_cast<std::size_t>(-1) ? errno : 0;
            out.append(buf, static_cast<std::size_t>(dst - buf));
            in.remove_prefix(in.size() - srcLeft);
            if (err != 0 && err != E2BIG)
                return err;
        }
        return 0;
    }

private:
    iconv_t cd_;
};

std::optional<std::string> ConvertExact(const char* to, const char* from, std::string_view in) {
    Iconv cd(to, from);
    std::string out;
    if (cd.Convert(in, out) != 0)
        return std::nullopt;
    return out;
}

// The text with each character that does not convert replaced: one unassigned character, or a
// single bad byte, so that a following ASCII byte stays readable.
template <typename CharLength>
std::string ConvertReplacing(const char* to, const char* from, std::string_view in,
                             CharLength charLength, std::string_view replacement) {
    Iconv cd(to, from);
    std::string out;
    while (cd.Convert(in, out) != 0) {
        out += replacement;
        in.remove_prefix(charLength(in));
    }
    return out;
}

} // namespace

std::optional<std::string> Cp932ToUtf8Exact(std::string_view cp932) {
    return ConvertExact("UTF-8", "CP932", cp932);
}

std::optional<std::string> Utf8ToCp932Exact(std::string_view utf8) {
    return ConvertExact("CP932", "UTF-8", utf8);
}

std::string Cp932ToUtf8(std::string_view cp932) {
    return ConvertReplacing("UTF-8", "CP932", cp932, Cp932CharLength, "\xEF\xBF\xBD");
}

std::string Utf8ToCp932(std::string_view utf8) {
    return ConvertReplacing("CP932", "UTF-8", utf8, Utf8CharLength, "?");
}

std::string OtherCharsetToUtf8(Charset charset, std::string_view bytes) {
    // EUC-JP-MS is the superset that takes what Windows wrote: the NEC and IBM characters (①, ㈱),
    // JIS X 0212.
    const char* from = charset == Charset::EucJp ? "EUC-JP-MS" : "WINDOWS-1252";
    const auto oneByte = [](std::string_view) { return std::size_t{1}; };
    return ConvertReplacing("UTF-8", from, bytes, oneByte, "\xEF\xBF\xBD");
}

} // namespace qvn
