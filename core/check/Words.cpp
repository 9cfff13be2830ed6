#include "Words.h"

#include "Codec.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace qvn::check {

std::string FoldFullWidth(std::string_view text) {
    // Valid UTF-8 is read as UTF-8, anything else as code page 932, a character at a time: so a
    // trail byte is never taken for the start of a full-width letter.
    const bool utf8 = FirstInvalidUtf8(text) == std::string_view::npos;
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = [&](std::size_t k) {
            return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        };
        if (utf8 && b(0) == 0xEF && b(1) == 0xBC && b(2) >= 0x81 && b(2) <= 0xBF) {
            out += static_cast<char>(0x21 + b(2) - 0x81);
            i += 3;
        } else if (utf8 && b(0) == 0xEF && b(1) == 0xBD && b(2) >= 0x80 && b(2) <= 0x9E) {
            out += static_cast<char>(0x60 + b(2) - 0x80);
            i += 3;
        } else if (utf8 || b(0) < 0x80 || !IsCp932LeadByte(static_cast<unsigned char>(b(0))) ||
                   i + 1 == text.size()) {
            out += text[i++];
        } else if (b(0) == 0x81 && (b(1) == 0x51 || b(1) == 0x46 || b(1) == 0x5E || b(1) == 0x44)) {
            out += b(1) == 0x51 ? '_' : b(1) == 0x46 ? ':' : b(1) == 0x5E ? '/' : '.';
            i += 2;
        } else if (b(0) == 0x82 && b(1) >= 0x4F && b(1) <= 0x58) {
            out += static_cast<char>('0' + b(1) - 0x4F);
            i += 2;
        } else if (b(0) == 0x82 && b(1) >= 0x60 && b(1) <= 0x79) {
            out += static_cast<char>('A' + b(1) - 0x60);
            i += 2;
        } else if (b(0) == 0x82 && b(1) >= 0x81 && b(1) <= 0x9A) {
            out += static_cast<char>('a' + b(1) - 0x81);
            i += 2;
        } else {
            out.append(text.substr(i, 2));
            i += 2;
        }
    }
    return out;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::size_t LeadingSpace(std::string_view text) {
    std::size_t n = 0;
    for (;;) {
        const std::string_view rest = text.substr(n);
        if (rest.starts_with(' ') || rest.starts_with('\t'))
            n += 1;
        else if (rest.starts_with("\xE3\x80\x80"))
            n += 3;
        else if (rest.starts_with("\x81\x40"))
            n += 2;
        else
            return n;
    }
}

std::size_t TrailingSpace(std::string_view text) {
    std::size_t n = 0;
    for (;;) {
        const std::string_view rest = text.substr(0, text.size() - n);
        if (rest.ends_with(' ') || rest.ends_with('\t'))
            n += 1;
        else if (rest.ends_with("\xE3\x80\x80"))
            n += 3;
        else if (rest.ends_with("\x81\x40"))
            n += 2;
        else
            return n;
    }
}

bool StartsWithFullWidthSpace(std::string_view text) {
    const std::size_t n = LeadingSpace(text);
    const std::string_view space = text.substr(0, n);
    return space.find("\xE3\x80\x80") != std::string_view::npos ||
           space.find("\x81\x40") != std::string_view::npos;
}

std::size_t Distance(std::string_view a, std::string_view b, std::size_t limit) {
    if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > limit)
        return limit + 1;
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return std::min(row[b.size()], limit + 1);
}

} // namespace qvn::check
