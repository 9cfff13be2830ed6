#include "UProccess.h"

#include "Errors.h"
#include "Lines.h"

#include <algorithm>
#include <array>
#include <vector>

namespace qvn {
namespace {

constexpr std::size_t kNoToken = kLinkFields;

// Replaces the token's length in bytes starting at the 1-based position of text by value.
void ReplaceAt(std::string& text, std::size_t position, std::string_view token,
               std::string_view value) {
    text.replace(position - 1, token.size(), value);
}

// A frame line being changed in the writer's block. It keeps the span of the line that holds every
// byte not the frame line's own: the values put in so far and whatever lies between them. Before
// and after the span the line is the frame line's own start and end. So a token is found before
// the span only where the frame line has it there, and a token the frame line does not hold at all
// only where it overlaps the span, or spans the place of an empty value at its edge.
class LineEdit {
public:
    // Appends text to block with the token at offset p replaced by value.
    LineEdit(std::string& block, std::string_view text, std::size_t p, std::string_view token,
             std::string_view value)
        : block_(block), begin_(block.size()), first_(p), last_(p + value.size()) {
        block.append(text.substr(0, p)).append(value).append(text.substr(p + token.size()));
    }

    // The offset of the first occurrence of token in the line; npos for none, and for an empty
    // token. `inText`: the offset of its first occurrence in the frame line, npos for none.
    std::size_t Find(std::string_view token, std::size_t inText) const {
        const std::string_view line = std::string_view(block_).substr(begin_);
        if (token.empty())
            return std::string_view::npos;
        if (inText != std::string_view::npos && inText + token.size() <= first_)
            return inText; // in the frame line's own start, which nothing has changed
        const std::size_t from = first_ >= token.size() ? first_ - token.size() + 1 : 0;
        const std::size_t to = inText == std::string_view::npos
                                   ? std::min(line.size(), last_ + token.size() - 1)
                                   : line.size();
        const std::size_t p = line.substr(from, to - from).find(token);
        return p == std::string_view::npos ? p : from + p;
    }

    // Replaces the token at offset p of the line by value.
    void Replace(std::size_t p, std::string_view token, std::string_view value) {
        const std::size_t removed = token.size();
        const std::size_t added = value.size();
        first_ = std::min(first_, p);
        // The span's end moves with the bytes after the token, or becomes the value's end when it
        // was not past the token.
        last_ = std::max(last_, p + removed) - removed + added;
        ReplaceAt(block_, begin_ + p + 1, token, value);
    }

private:
    std::string& block_;
    const std::size_t begin_;
    std::size_t first_; // the changed span, [first_, last_)
    std::size_t last_;
};

// Tokens are replaced in order on the line as changed so far, so a later token is also found
// inside a value inserted for an earlier one. Until the first replacement the line is the frame
// line itself: where its first token stands is found once, not once a record; so is which tokens
// the frame line holds at all.
struct FrameLine {
    std::string_view text;
    std::size_t first;    // the first token found in text (kNoToken for none)
    std::size_t position; // and its offset
    std::array<std::size_t, kLinkFields> inText; // each token's first offset in text, or npos

    static FrameLine Of(std::string_view text, const Tokens& tokens) {
        const auto inText = TokensInLine(text, tokens);
        const auto first = static_cast<std::size_t>(
            std::ranges::find_if(inText,
                                 [](std::size_t p) { return p != std::string_view::npos; }) -
            inText.begin());
        return {text, first, first == kNoToken ? std::string_view::npos : inText[first], inText};
    }

    // Appends the line with the record's fields in place of the tokens to block (a line with a
    // token: first != kNoToken).
    void Fill(std::string& block, const Tokens& tokens, const TLinkRecord& record) const {
        LineEdit line(block, text, position, tokens[first], record[first]);
        for (std::size_t k = first + 1; k < kLinkFields; ++k) {
            if (const std::size_t p = line.Find(tokens[k], inText[k]); p != std::string_view::npos)
                line.Replace(p, tokens[k], record[k]);
        }
    }
};

} // namespace

std::string FillFrameLine(std::string_view line, const Tokens& tokens, const TLinkRecord& record) {
    const FrameLine frame = FrameLine::Of(line, tokens);
    if (frame.first == kNoToken)
        return std::string(line);
    std::string filled;
    frame.Fill(filled, tokens, record);
    return filled;
}

TemplateCut CutTemplate(const TStringList& lines) {
    TemplateCut cut;
    const int count = lines.Count();
    int i = 0; // where the scan for the next marker starts
    for (std::size_t m = 0; m < kMarkers.size(); ++m) {
        while (i < count && lines.Get(i) != kMarkers[m])
            ++i;
        if (i >= count)
            return cut;
        cut.markers[m] = i;
        i += 2; // the line after a marker belongs to the section it opens, whatever it holds
    }
    cut.complete = cut.markers[2] + 1 < count; // the foot has a first line
    return cut;
}

TemplateCut::Section TemplateCut::SectionOf(int line) const {
    if (line <= markers[0] || line == markers[1] || line == markers[2])
        return Section::LeftOut;
    return line < markers[1] ? Section::Head : line < markers[2] ? Section::Frame : Section::Foot;
}

std::array<std::size_t, kLinkFields> TokensInLine(std::string_view line, const Tokens& tokens) {
    std::array<std::size_t, kLinkFields> at{};
    for (std::size_t k = 0; k < kLinkFields; ++k)
        at[k] = tokens[k].empty() ? std::string_view::npos : line.find(tokens[k]);
    return at;
}

TPageTemplate::TPageTemplate(std::string_view text) {
    lines_.LoadFromText(text);
    cut_ = CutTemplate(lines_);
}

template <typename Writer>
void TPageTemplate::Build(LinkSource& links, const Tokens& tokens, Writer& out) const {
    using Section = TemplateCut::Section;
    const auto write = [&](Section section) {
        for (int i = 0; i < lines_.Count(); ++i) {
            if (cut_.SectionOf(i) == section)
                out.Line(lines_.Get(i));
        }
    };
    write(Section::Head);

    std::vector<FrameLine> frame;
    for (int f = 0; f < lines_.Count(); ++f) {
        if (cut_.SectionOf(f) == Section::Frame)
            frame.push_back(FrameLine::Of(lines_.Get(f), tokens));
    }

    TLinkRecord record;
    while (links.Next(record)) {
        // Each token is replaced once at most: a line grows by the record's bytes at most.
        std::size_t recordBytes = 0;
        for (const std::string_view field : record)
            recordBytes += field.size();
        for (const FrameLine& f : frame) {
            if (f.first == kNoToken) {
                out.Line(f.text);
                continue;
            }
            // The line is made where it is written, in the writer's block.
            out.MakeLine(f.text.size() + recordBytes,
                         [&](std::string& block) { f.Fill(block, tokens, record); });
        }
    }

    write(Section::Foot);
}

void MakePage(const TPageTemplate& templ, LinkSource& links, const Tokens& tokens,
              const ByteSink& sink) {
    if (!templ.Complete())
        throw templ.CutFailure();
    CrLfWriter writer(sink);
    templ.Build(links, tokens, writer);
    writer.Flush();
}

} // namespace qvn
