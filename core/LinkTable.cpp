#include "LinkTable.h"

#include "Codec.h"
#include "Errors.h"
#include "Lines.h"
#include "TokenText.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <stdexcept>

namespace qvn {
namespace {

// The break that the line reader stepped over after a line ending at `end`.
LineBreak BreakAt(std::string_view text, std::size_t end) {
    if (end >= text.size())
        return LineBreak::None;
    if (text[end] == '\r')
        return end + 1 < text.size() && text[end + 1] == '\n' ? LineBreak::CrLf : LineBreak::Cr;
    return text[end] == '\n' ? LineBreak::Lf : LineBreak::None; // a NUL ends the text
}

[[noreturn]] void Refuse(LinkField field, std::string_view why) {
    throw FieldError(QuotedField(field) + std::string(why));
}

// The first character of utf8 that code page 932 cannot hold, as it looks and by its code point:
// "「é」 (U+00E9)".
std::string FirstUnencodable(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = std::min(Utf8CharLength(utf8.substr(i)), utf8.size() - i);
        const std::string_view c = utf8.substr(i, n);
        if (!Utf8ToCp932Exact(c)) {
            char32_t code = static_cast<unsigned char>(c[0]);
            if (n > 1) {
                code &= 0x3Fu >> (n - 1);
                for (std::size_t k = 1; k < n; ++k)
                    code = (code << 6) | (static_cast<unsigned char>(c[k]) & 0x3Fu);
            }
            char name[16];
            std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
            return "「" + std::string(c) + "」 (" + name + ")";
        }
        i += n;
    }
    return "?";
}

} // namespace

std::string_view LineBreakBytes(LineBreak lineBreak) {
    switch (lineBreak) {
    case LineBreak::CrLf:
        return "\r\n";
    case LineBreak::Lf:
        return "\n";
    case LineBreak::Cr:
        return "\r";
    case LineBreak::None:
        break;
    }
    return {};
}

TLinkTable TLinkTable::Parse(std::string bytes) {
    TLinkTable table;
    table.text_ = std::move(bytes);
    const std::string_view text = table.text_;
    MemorySource source(text);
    LineReader lines(source);
    std::size_t pos = 0;
    EncodingJudge judge;
    for (std::string_view line; lines.Next(line);) {
        if (table.records_.size() >= static_cast<std::size_t>(INT_MAX))
            throw std::length_error("TLinkTable: too many lines");
        Record record;
        record.begin_ = pos;
        record.length_ = line.size();
        record.line_ = static_cast<std::uint32_t>(table.records_.size() + 1);
        record.break_ = BreakAt(text, pos + line.size());
        table.records_.push_back(record);
        pos += line.size() + LineBreakBytes(record.break_).size();
        judge.Line(line);
    }
    table.tail_ = pos;
    table.utf8_ = judge.Result() == TextEncoding::Utf8;
    if (!table.records_.empty() && table.records_.front().break_ != LineBreak::None)
        table.defaultBreak_ = table.records_.front().break_;
    return table;
}

std::string_view TLinkTable::Bytes(const Record& record) const {
    const std::string& from = record.edited_ ? edits_ : text_;
    return std::string_view(from).substr(record.begin_, record.length_);
}

std::string_view TLinkTable::Line(int row) const {
    return Bytes(At(row));
}

TLinkRecord TLinkTable::Fields(int row) const {
    TLinkRecord fields;
    std::size_t k = 0;
    SplitFields(Line(row), kLinkFields, [&](std::string_view field) { fields[k++] = field; });
    return fields;
}

TLinkTable::Record TLinkTable::At(int row) const {
    if (row < 0 || row >= Count())
        throw ListIndexError(row);
    return records_[static_cast<std::size_t>(row)];
}

void TLinkTable::Put(int row, const Record& record) {
    if (row < 0 || row >= Count())
        throw ListIndexError(row);
    records_[static_cast<std::size_t>(row)] = record;
    changed_ = true;
}

TLinkTable::Record TLinkTable::AddLine(std::string_view line) {
    Record record;
    record.begin_ = edits_.size();
    record.length_ = line.size();
    record.break_ = defaultBreak_;
    record.edited_ = true;
    edits_.append(line);
    return record;
}

TLinkTable::Record TLinkTable::WithField(int row, LinkField field, std::string_view utf8) {
    Record record = At(row);
    if (utf8.find_first_of(std::string_view("\r\n", 2)) != std::string_view::npos)
        Refuse(field, "に改行は入れられません: 1 行が 1 サイトです");
    if (utf8.find('\0') != std::string_view::npos)
        Refuse(field, "に NUL 文字は入れられません: そこでファイルが終わってしまいます");
    if (field != kDescription && utf8.find(',') != std::string_view::npos)
        Refuse(field, "にカンマ (,) は入れられません: カンマは項目の区切りです "
                      "(「サイト説明」には入れられます)");
    std::string value;
    if (utf8_) {
        value = utf8;
    } else if (auto cp932 = Utf8ToCp932Exact(utf8)) {
        value = std::move(*cp932);
    } else {
        Refuse(field, "の文字 " + FirstUnencodable(utf8) +
                          " はこのファイルの文字コード (Shift_JIS) では書けません");
    }

    TLinkRecord fields = Fields(row);
    if (fields[field] == value)
        return record; // unchanged: the line keeps its bytes
    fields[field] = value;
    std::string line;
    for (std::size_t k = 0; k < kLinkFields; ++k)
        line.append(k == 0 ? "" : ",").append(fields[k]);
    const std::uint32_t number = record.line_;
    record = AddLine(line);
    record.line_ = number;
    return record;
}

TLinkTable::Record TLinkTable::NewSite() {
    return AddLine(",,,"); // four empty fields, with all three commas: not a short line
}

void TLinkTable::Insert(int row, const std::vector<Record>& records) {
    if (row < 0 || row > Count())
        throw ListIndexError(row);
    if (records.size() > static_cast<std::size_t>(INT_MAX - Count()))
        throw std::length_error("TLinkTable: too many lines");
    records_.insert(records_.begin() + row, records.begin(), records.end());
    changed_ = true;
}

std::vector<TLinkTable::Record> TLinkTable::Remove(int row, int count) {
    if (row < 0 || count < 0 || count > Count() - row)
        throw ListIndexError(row < 0 ? row : static_cast<long long>(row) + count - 1);
    const auto first = records_.begin() + row;
    std::vector<Record> removed(first, first + count);
    records_.erase(first, first + count);
    changed_ = true;
    return removed;
}

void TLinkTable::Move(int from, int to) {
    At(from);
    At(to); // both in range
    const auto f = records_.begin() + from, t = records_.begin() + to;
    if (from < to)
        std::rotate(f, f + 1, t + 1);
    else
        std::rotate(t, f, f + 1);
    changed_ = true;
}

LineBreak TLinkTable::WrittenBreak(std::size_t i) const {
    const std::size_t n = records_.size();
    // A line that lost its break gets the file's own, unless nothing follows it (the tail starts
    // with a NUL, which ends the text as the missing break did).
    const auto own = [&](std::size_t k) {
        const LineBreak b = records_[k].break_;
        return b == LineBreak::None && k + 1 < n ? defaultBreak_ : b;
    };
    LineBreak written = own(i);
    // A CR before an empty line that ends in LF would read back as one CR LF break. The CR LF
    // written instead is never an LF, so this looks one line ahead only.
    if (written == LineBreak::Cr && i + 1 < n && records_[i + 1].length_ == 0 &&
        own(i + 1) == LineBreak::Lf)
        written = LineBreak::CrLf;
    return written;
}

void TLinkTable::Write(const ByteSink& sink) const {
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::string block;
    block.reserve(kBlock);
    // Appends bytes, handing on every full block of about 1 MiB.
    const auto put = [&](std::string_view bytes) {
        while (!bytes.empty()) {
            const std::size_t n = std::min(bytes.size(), kBlock - block.size());
            block.append(bytes.substr(0, n));
            bytes.remove_prefix(n);
            if (block.size() == kBlock) {
                sink(block);
                block.clear();
                block.reserve(kBlock);
            }
        }
    };
    const std::string_view text = text_;
    const std::size_t n = records_.size();
    for (std::size_t i = 0; i < n;) {
        const Record& record = records_[i];
        const LineBreak written = WrittenBreak(i);
        if (record.edited_ || written != record.break_) {
            put(Bytes(record));
            put(LineBreakBytes(written));
            ++i;
            continue;
        }
        // Lines as read, one after another in the file with their own breaks: one span of it.
        const std::size_t begin = record.begin_;
        std::size_t end = begin + record.length_ + LineBreakBytes(written).size();
        for (++i; i < n && !records_[i].edited_ && records_[i].begin_ == end &&
                  WrittenBreak(i) == records_[i].break_;
             ++i)
            end += records_[i].length_ + LineBreakBytes(records_[i].break_).size();
        put(text.substr(begin, end - begin));
    }
    put(text.substr(tail_));
    if (!block.empty())
        sink(block);
}

void TLinkTable::SaveToFile(const FilePath& path) const {
    ReplaceFile(path, [this](const ByteSink& sink) { Write(sink); });
}

UrlEdits TLinkTable::MovedUrlEdits(const std::unordered_map<std::string, std::string>& moved,
                                   std::span<const int> rows) {
    UrlEdits result;
    const auto edit = [&](int row) {
        const auto it = moved.find(std::string(Field(row, kURL)));
        if (it == moved.end())
            return;
        try {
            const Record before = At(row);
            Record after = WithField(row, kURL, it->second);
            after.break_ = before.break_;
            if (!(after == before))
                result.edits.push_back({row, before, after});
        } catch (const FieldError& e) {
            result.refused.emplace_back(row, e.Message());
        }
    };
    if (rows.empty()) {
        for (int row = 0; row < Count(); ++row)
            edit(row);
    } else {
        for (const int row : rows)
            edit(row);
    }
    return result;
}

bool TableLinks::Next(TLinkRecord& record) {
    if (next_ >= table_.Count())
        return false;
    record = table_.Fields(next_++);
    return true;
}

} // namespace qvn
