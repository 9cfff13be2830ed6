#include "UProccess.h"

#include "Errors.h"
#include "Lines.h"

#include <tuple>
#include <vector>

namespace qvn {
namespace {

constexpr std::size_t kNoToken = kLinkFields;

// Where in `text` the first of tokens from `from` on is found: the token's index (kNoToken for
// none) and its offset. An empty token never matches.
std::pair<std::size_t, std::size_t> FirstToken(std::string_view text, const Tokens& tokens,
                                               std::size_t from) {
    for (std::size_t k = from; k < kLinkFields; ++k) {
        if (tokens[k].empty())
            continue;
        if (const std::size_t p = text.find(tokens[k]); p != std::string_view::npos)
            return {k, p};
    }
    return {kNoToken, 0};
}

} // namespace

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

TPageTemplate::TPageTemplate(const FilePath& path) {
    lines_.LoadFromFile(path);
    // A scan that runs past the last line fails as reading the line after the last would.
    const TemplateCut cut = CutTemplate(lines_);
    if (!cut.complete)
        throw ListIndexError(lines_.Count());
    headBegin_ = cut.markers[0] + 1;
    frameMarker_ = cut.markers[1];
    footMarker_ = cut.markers[2];
}

template <typename Writer>
void TPageTemplate::Build(LinkSource& links, const Tokens& tokens, Writer& out) const {
    for (int i = headBegin_; i < frameMarker_; ++i)
        out.Line(lines_.Get(i));

    // Tokens are replaced in order on the line as changed so far, so a later token is also found
    // inside a value inserted for an earlier one. Until the first replacement the line is the
    // frame line itself: where its first token stands is found once, not once a record.
    struct FrameLine {
        std::string_view text;
        std::size_t first;    // the first token found in text (kNoToken for none)
        std::size_t position; // and its offset
    };
    std::vector<FrameLine> frame;
    for (int f = frameMarker_ + 1; f < footMarker_; ++f) {
        const std::string_view text = lines_.Get(f);
        const auto [first, position] = FirstToken(text, tokens, 0);
        frame.push_back({text, first, position});
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
            out.MakeLine(f.text.size() + recordBytes, [&](std::string& block, std::size_t begin) {
                block.append(f.text);
                ReplaceAt(block, begin + f.position + 1, tokens[f.first], record[f.first]);
                const auto line = [&block, begin] { return std::string_view(block).substr(begin); };
                for (auto [k, p] = FirstToken(line(), tokens, f.first + 1); k != kNoToken;
                     std::tie(k, p) = FirstToken(line(), tokens, k + 1))
                    ReplaceAt(block, begin + p + 1, tokens[k], record[k]);
            });
        }
    }

    for (int i = footMarker_ + 1; i < lines_.Count(); ++i)
        out.Line(lines_.Get(i));
}

void ReplaceAt(std::string& text, std::size_t position, std::string_view token,
               std::string_view value) {
    text.replace(position - 1, token.size(), value);
}

void MakePage(const TPageTemplate& templ, LinkSource& links, const Tokens& tokens,
              const ByteSink& sink) {
    CrLfWriter writer(sink);
    templ.Build(links, tokens, writer);
    writer.Flush();
}

void SavePage(const TPageTemplate& templ, LinkSource& links, const Tokens& tokens,
              const FilePath& output) {
    ReplaceFile(output, [&](const ByteSink& sink) { MakePage(templ, links, tokens, sink); });
}

void WritePage(const TPageTemplate& templ, LinkSource& links, const Tokens& tokens,
               std::ostream& out) {
    WriteStream(out, [&](const ByteSink& sink) { MakePage(templ, links, tokens, sink); });
}

} // namespace qvn
