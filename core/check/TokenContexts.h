// Where each token of the frame stands in the page as HTML (text, an attribute value and how it
// is quoted, a comment, the raw text of <script> or <style>), worked out once from the template,
// and what a site's field put there would do to the page: end the attribute, the comment or the
// script early, or leave a comment, an element or a tag open over the rest of the page.
#pragma once

#include "HtmlTokenizer.h"
#include "Links.h"
#include "Report.h"
#include "StringList.h"
#include "UProccess.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qvn::check {

// The values a frame line is filled with, one a field, to see where the build puts each field:
// control characters that a template's text does not hold around a letter.
inline const TLinkRecord kFieldMarks = {"\x1F"
                                        "0\x1F",
                                        "\x1F"
                                        "1\x1F",
                                        "\x1F"
                                        "2\x1F",
                                        "\x1F"
                                        "3\x1F"};

class TokenContexts {
public:
    // From the template's lines and cut (complete), and the tokens as the build matches them.
    TokenContexts(const TStringList& lines, const TemplateCut& cut, const Tokens& tokens);

    // Warns, on data line `line` (text, cut into record by the build), of each field that would
    // break the page where its token stands: one finding a rule, at the first field that does.
    void CheckSite(long long line, std::string_view text, const TLinkRecord& record,
                   FileReport& report) const;

    // A token as the page has it: where it stands and the tokenizer's state there.
    struct Site {
        std::size_t field;
        int line; // in the template, from 1
        HtmlTokenizer html;
        bool urlStart; // at the start of the value of an attribute that holds a URL ("href")
    };

private:
    // The frame as written for one site: its token sites, and the bytes that can break a field at
    // any of them ("<" in text, '"' in a value quoted with it), which a data line is looked through
    // for first.
    struct Frame {
        std::vector<Site> sites;
        std::string breaking;
        std::vector<std::size_t> urlFields; // the fields that start the value of a URL attribute
    };
    // The frame for the site on data line `line`.
    const Frame& FrameFor(long long line) const;

    // The template's encoding as the build judges it, which is the page's: it decides whether a
    // field is read as code page 932 (for a template of ASCII only, the field's own bytes do).
    TextEncoding encoding_;
    // The frame as written for the first sites, each repetition starting in the state the one
    // before left; from reps_[cycle_] on they come round again.
    std::vector<Frame> reps_;
    std::size_t cycle_ = 0;
};

} // namespace qvn::check
