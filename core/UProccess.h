// The page builder: cuts the template at its marker lines "_HEAD_", "_FRAME_" and "_FOOT_" and
// repeats the frame once per link record with the four tokens replaced by the record's fields.
#pragma once

#include "FilePath.h"
#include "StringList.h"

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace qvn {

// One site's four fields, viewed in place in the flat field list.
struct TLinkRecord {
    std::string_view SiteName;
    std::string_view URL;
    std::string_view Administrator;
    std::string_view Description;
};

// The four tokens in their order of replacement: Title, URL, Author, Explain.
struct Tokens {
    std::string Title = "_TITLE_";
    std::string URL = "_URL_";
    std::string Author = "_AUTHOR_";
    std::string Explain = "_EXPLAIN_";
};

// The line with the token's length in bytes starting at the 1-based position removed and value
// inserted there. Takes the line by value so a caller that moves its buffer in keeps it.
std::string ReplaceAt(std::string line, std::size_t position, std::string_view token,
                      std::string_view value);

// Builds the page from Setting: the template at Setting.TemplatePath, the records of
// Setting.LinkList and the four tokens. Changes nothing in Setting. Throws NoLinkDataError while
// LinkList is absent, FileError (Open) when the template cannot be read, and ListIndexError with
// the template's line count when a scan for a marker, or for the foot's first line, runs past the
// template's last line. Every section has at least one line: the line after each marker is taken
// into the section it opens before the end of the section is looked for, even when that line is
// itself a marker.
std::unique_ptr<TStringList> MakePage();

// The same build with the template named by a FilePath: the windows hand over a path that has no
// exact code page 932 form this way, so that it fails to open rather than reach another file.
std::unique_ptr<TStringList> MakePage(const FilePath& templatePath);

// The same build from explicit inputs (qvn-build).
std::unique_ptr<TStringList> MakePage(const FilePath& templatePath, const TStringList& linkList,
                                      const Tokens& tokens);

// Builds the page and saves it to output (atomically, as TStringList::SaveToFile does) or writes
// it to out, line by line, without holding the whole page in memory. The template is read and
// cut before the output is touched, so a broken template leaves the output as it was.
void MakePageToFile(const FilePath& templatePath, const TStringList& linkList, const Tokens& tokens,
                    const FilePath& output);
void MakePageToStream(const FilePath& templatePath, const TStringList& linkList,
                      const Tokens& tokens, std::ostream& out);

} // namespace qvn
