// The page builder: cuts the template at its marker lines "_HEAD_", "_FRAME_" and "_FOOT_" and
// writes the page line by line, the frame once per link record with the four tokens replaced by
// the record's fields. The page is never held whole: it goes straight into its file.
#pragma once

#include "Errors.h"
#include "FileIO.h"
#include "Links.h"
#include "StringList.h"
#include "TokenText.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace qvn {

// The marker lines that cut a template, in their order: head, frame, foot. A line is a marker only
// when it holds exactly these bytes, with nothing before or after them.
inline constexpr std::array<std::string_view, 3> kMarkers = {"_HEAD_", "_FRAME_", "_FOOT_"};

// Where the builder's scans find the markers in a template's lines. The line after each marker is
// taken into the section it opens before the end of the section is looked for, even when that line
// is itself a marker, so each scan starts two lines after the marker before it.
struct TemplateCut {
    // The index of each marker line the scans found, in the order of kMarkers; −1 from the first
    // one not found on.
    std::array<int, 3> markers = {-1, -1, -1};
    // All three found and a line after the foot marker: the template can be built from. Otherwise
    // the build fails with ListIndexError and the line count.
    bool complete = false;

    // What becomes of a line of a complete cut: the head is the lines after the head marker up
    // to the frame marker, the frame those up to the foot marker, the foot the rest; the lines
    // before the head and the three markers are left out of the page.
    enum class Section { LeftOut, Head, Frame, Foot };
    Section SectionOf(int line) const;
};
TemplateCut CutTemplate(const TStringList& lines);

// Where each token is first found in a frame line as the template holds it (npos for none, and
// for an empty token): a build replaces, in the order of the fields, the first occurrence of each
// token on the line as changed so far, so a token the line holds is found there unless a value put
// in before it holds one first.
std::array<std::size_t, kLinkFields> TokensInLine(std::string_view line, const Tokens& tokens);

// A frame line with the tokens replaced by a record's fields, as a build writes it.
std::string FillFrameLine(std::string_view line, const Tokens& tokens, const TLinkRecord& record);

// A template cut at its markers, ready to build pages from. Every section has at least one line:
// the line after each marker is taken into the section it opens before the end of the section is
// looked for, even when that line is itself a marker.
class TPageTemplate {
public:
    // The template's text, split into lines by the rules of TStringList and cut.
    explicit TPageTemplate(std::string_view text);

    // All three markers found and a line after the foot marker: pages can be built from it.
    bool Complete() const { return cut_.complete; }
    // How a build from a template that is not complete fails: a scan for a marker, or for the
    // foot's first line, ran past the last line.
    ListIndexError CutFailure() const { return ListIndexError(lines_.Count()); }

    // Writes every line of the page in order into out (a CrLfWriter): the head, the frame once
    // per record of links with the tokens replaced, then the foot.
    template <typename Writer>
    void Build(LinkSource& links, const Tokens& tokens, Writer& out) const;

    // The encoding of the template's bytes (JudgeEncoding), which the tokens must be given in.
    TextEncoding Encoding() const { return JudgeEncoding(lines_); }

private:
    TStringList lines_;
    TemplateCut cut_;
};

// Builds the page of templ from links and tokens into sink, every line followed by CR LF. In each
// frame line the tokens are replaced in their order, the first occurrence of each, byte-wise, on
// the line as changed so far; an empty token never matches. CutFailure() before anything is
// written when the template is not complete.
void MakePage(const TPageTemplate& templ, LinkSource& links, const Tokens& tokens,
              const ByteSink& sink);

} // namespace qvn
