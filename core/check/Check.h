// The check of the inputs, for qvn-build --check and for the windows before a build: reads the
// link data and the template by the build's own rules, writes no page, and finds what would make
// the build fail (errors) and what the build would do that is probably not what was meant
// (warnings), with file, line and, where it helps, column.
#pragma once

#include "Findings.h"
#include "Links.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvn::check {

// How the findings name a token, indexed by LinkField: qvn-build by its option ("--title"), the
// windows as the settings dialog does (「サイト名」の置換文字列).
using TokenNames = std::array<std::string, kLinkFields>;

// A file the check reads: its name as it was given, and its bytes when the caller holds them
// already (the link list as loaded and edited, a template read once for a build); otherwise the
// file is read.
struct Input {
    std::string name;
    std::optional<std::string_view> bytes = std::nullopt;
    std::uint64_t size = 0; // the file's size, when bytes stop at its first NUL (ReadText)
};

// Checks the data file and the template with the tokens as typed (UTF-8, converted to the
// template's encoding as a build converts them; the findings quote them as typed).
Findings CheckInputs(const Input& data, const Input& templ, const Tokens& tokens,
                     const TokenNames& names);

// The data's part of the check alone, what a loaded link list can be told without a template.
Findings CheckDataOnly(const Input& data);

// The template's part of the check alone: why a build cannot cut it, what becomes of its tokens.
Findings CheckTemplateOnly(const Input& templ, const Tokens& tokens, const TokenNames& names);

// The last line of a check that found something: the counts, and in words whether the build
// will succeed.
std::string CheckSummary(const Counts& counts);

} // namespace qvn::check
