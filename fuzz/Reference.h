// Plain, slow builds of the system's byte rules, written apart from the core so that the fuzz
// targets can hold the core's results against them: text into lines, a data line into fields,
// a template and records into a page.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvn::fuzz::ref {

// The lines of a text. CR, LF and CR LF each end a line (so LF CR is two breaks); a NUL byte ends
// the text; a break at the very end adds no empty line; a last line without a break counts.
inline std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t i = 0;
    while (i < text.size() && text[i] != '\0') {
        std::string line;
        while (i < text.size() && text[i] != '\r' && text[i] != '\n' && text[i] != '\0')
            line += text[i++];
        lines.push_back(line);
        if (i < text.size() && text[i] == '\r') {
            ++i;
            if (i < text.size() && text[i] == '\n')
                ++i;
        } else if (i < text.size() && text[i] == '\n') {
            ++i;
        }
    }
    return lines;
}

// The bytes a list of lines is saved as: every line followed by CR LF.
inline std::string CrLfText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// A data line cut into `count` fields: with c commas in the line (at most count − 1 of them
// counted), the text before each of the first c commas, then count − 1 − c empty fields, then
// everything after the c-th comma.
inline std::vector<std::string> Fields(std::string_view line, int count) {
    std::vector<std::size_t> commas;
    for (std::size_t i = 0; i < line.size() && static_cast<int>(commas.size()) < count - 1; ++i) {
        if (line[i] == ',')
            commas.push_back(i);
    }
    std::vector<std::string> fields;
    std::size_t begin = 0;
    for (const std::size_t comma : commas) {
        fields.emplace_back(line.substr(begin, comma - begin));
        begin = comma + 1;
    }
    while (static_cast<int>(fields.size()) < count - 1)
        fields.emplace_back();
    fields.emplace_back(line.substr(begin));
    return fields;
}

using Record = std::array<std::string, 4>;

inline std::vector<Record> Records(std::string_view data) {
    std::vector<Record> records;
    for (const std::string& line : Lines(data)) {
        const std::vector<std::string> f = Fields(line, 4);
        records.push_back({f[0], f[1], f[2], f[3]});
    }
    return records;
}

// The page's lines, by the builder's steps taken literally: every template line is read through
// an index that fails past the last line, and a failure anywhere means no page (nullopt); the
// message then names the template's line count.
inline std::optional<std::vector<std::string>> Page(const std::vector<std::string>& t,
                                                    const std::vector<Record>& records,
                                                    const std::array<std::string, 4>& tokens) {
    struct PastTheEnd {};
    const auto at = [&t](long long i) -> const std::string& {
        if (i < 0 || i >= static_cast<long long>(t.size()))
            throw PastTheEnd{};
        return t[static_cast<std::size_t>(i)];
    };
    std::vector<std::string> page;
    try {
        long long i = -1;
        do
            ++i;
        while (at(i) != "_HEAD_");
        ++i;
        do
            page.push_back(at(i++));
        while (at(i) != "_FRAME_");
        ++i;
        std::vector<std::string> frame;
        do
            frame.push_back(at(i++));
        while (at(i) != "_FOOT_");
        for (const Record& r : records) {
            for (std::string s : frame) {
                for (std::size_t k = 0; k < 4; ++k) {
                    if (tokens[k].empty())
                        continue;
                    const std::size_t p = s.find(tokens[k]);
                    if (p != std::string::npos)
                        s = s.substr(0, p) + r[k] + s.substr(p + tokens[k].size());
                }
                page.push_back(s);
            }
        }
        do
            page.push_back(at(++i));
        while (i != static_cast<long long>(t.size()) - 1);
    } catch (const PastTheEnd&) {
        return std::nullopt;
    }
    return page;
}

// Whether text is well-formed UTF-8: shortest forms only, no surrogates, nothing past U+10FFFF.
inline bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t n;
        char32_t c;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            n = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 2;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 3;
            c = b & 0x07;
        } else {
            return false;
        }
        if (i + n >= text.size()) // the sequence runs past the end
            return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const auto t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (t & 0x3F);
        }
        if ((n == 2 && c < 0x800) || (n == 3 && c < 0x10000) || c > 0x10FFFF ||
            (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

} // namespace qvn::fuzz::ref
