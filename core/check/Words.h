// Small text helpers for recognising what a user meant: full-width letters folded to ASCII, case
// folded, spaces at the ends of a text, and how far two words are apart.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qvn::check {

// The text with the full-width forms of ASCII (UTF-8 U+FF01 to U+FF5E, and the code page 932
// forms of "＿", "：", "／", "．", "Ａ"-"Ｚ", "ａ"-"ｚ" and "０"-"９") turned into ASCII. Bytes are
// matched where they stand, whatever the file's encoding: this only serves to recognise a marker,
// a token or a URL.
std::string FoldFullWidth(std::string_view text);

// ASCII letters in upper case; every other byte as it is.
std::string Upper(std::string_view text);
std::string Lower(std::string_view text);

// The length of the space (space, tab, or a full-width space in UTF-8 or code page 932) at the
// start of text, or at its end.
std::size_t LeadingSpace(std::string_view text);
std::size_t TrailingSpace(std::string_view text);
// Whether the space at the start of text holds a full-width space (UTF-8 or code page 932).
bool StartsWithFullWidthSpace(std::string_view text);

// The number of single-byte insertions, deletions and substitutions that turn a into b (the
// Levenshtein distance), counted no further than `limit` + 1.
std::size_t Distance(std::string_view a, std::string_view b, std::size_t limit);

} // namespace qvn::check
