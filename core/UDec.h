// The shared declarations: the one settings record through which the windows hand the page
// builder everything it needs. Each window is given the record when it is made.
#pragma once

#include "FilePath.h"
#include "LinkTable.h"
#include "Links.h"

#include <memory>
#include <string>

namespace qvn {

struct TSetting {
    // The tokens, as typed (UTF-8); a build converts them to the template's encoding.
    std::string Title;        // token replaced by a record's site name
    std::string URL;          // token replaced by a record's URL
    std::string Author;       // token replaced by a record's administrator
    std::string Explain;      // token replaced by a record's site description
    std::string TemplatePath; // template file, the file system's name as typed, chosen or dropped,
                              // which a build reads
    // The link data of the last successful load, one record a line, as edited since in the link
    // list window. Absent (null), which is not the same as empty, until link data has been loaded
    // once in this run. The link list window's grid shows and edits this same table.
    std::shared_ptr<TLinkTable> LinkList;
    // The file LinkList was read from, set with it: a page is never saved over it.
    FilePath LinkListFile;

    // The four tokens in their order of replacement.
    Tokens GetTokens() const { return {Title, URL, Author, Explain}; }
    void SetTokens(const Tokens& tokens);
    // The loaded link list; NoLinkDataError while LinkList is absent.
    const TLinkTable& Links() const;
};

// The program's record. Every string field starts empty and LinkList absent; the main window sets
// the default tokens.
extern TSetting Setting;

} // namespace qvn
