// The check of the inputs, for qvn-build --check and for the windows before a build: reads the
// link data and the template by the build's own rules, writes no page, and reports what would
// make the build fail (errors) and what the build would do that is probably not what was meant
// (warnings), with file, line and, where it helps, byte column.
#pragma once

#include "Links.h"

#include <array>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvn::check {

// qvn-build's token options without their "--", indexed by LinkField.
inline constexpr std::array<std::string_view, kLinkFields> kTokenOptions = {"title", "url",
                                                                            "author", "explain"};

// Checks the data file and the template, named as they were given, with the tokens a build would
// use. Prints the findings to out, one a line, and then a count of errors and warnings; nothing at
// all when there is nothing to report. Returns 1 when the build would fail (a file that cannot be
// read, a template it cannot cut), otherwise 0.
int Check(const std::string& data, const std::string& templ, const Tokens& tokens,
          std::ostream& out);

// The same check for the windows: each file's findings as the lines Check prints for them, with
// their notes, and the counts of errors and warnings. With dataBytes, the data is those bytes (the
// link list as loaded and edited, which a page is built from) under the data file's name.
struct Findings {
    std::vector<std::string> data;  // the data file's lines
    std::vector<std::string> templ; // the template's lines
    long long errors = 0;
    long long warnings = 0;
};
Findings CheckInputs(const std::string& data, const std::string& templ, const Tokens& tokens,
                     std::optional<std::string_view> dataBytes = std::nullopt);

} // namespace qvn::check
