// The page builder: cuts the template at its marker lines "_HEAD_", "_FRAME_" and "_FOOT_" and
// repeats the frame once per link record with the four tokens replaced by the record's fields.
#pragma once

#include "FilePath.h"
#include "StringList.h"

#include <cstddef>
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
// the template's line count when a marker or the foot is missing.
std::unique_ptr<TStringList> MakePage();

// The same build from explicit inputs (qvn-build, and the windows for a path with no exact file
// system form).
std::unique_ptr<TStringList> MakePage(const FilePath& templatePath, const TStringList& linkList,
                                      const Tokens& tokens);

} // namespace qvn
