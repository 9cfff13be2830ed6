// One build of a page, the recipe both front ends follow: prepare (open the link data, read the
// template once, cut it, convert the tokens to its encoding), check (what the check of both inputs
// finds), and save (never over an input, and atomically, or to standard output). The windows hand
// it the link list as loaded and edited; qvn-build the data file, read as the page is written.
#pragma once

#include "Check.h"
#include "FilePath.h"
#include "LinkTable.h"
#include "Links.h"
#include "UInCSV.h"
#include "UProccess.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace qvn {

class PageBuild {
public:
    // qvn-build: the data file, read record by record as the page is written. FileError (Open)
    // for the data file, then for the template, when it cannot be read; Error for a token the
    // template's encoding cannot hold.
    PageBuild(const FilePath& data, const FilePath& templ, const Tokens& tokens);
    // The windows: the link list as loaded and edited, and the file it was read from, which is
    // named in the findings and never written over. The table must outlive the build.
    PageBuild(const TLinkTable& links, const FilePath& dataFile, const FilePath& templ,
              const Tokens& tokens);

    // Whether the template can be cut; Save and Write fail with its CutFailure() otherwise.
    bool CanBuild() const { return page_.Complete(); }
    const TPageTemplate& Template() const { return page_; }

    // The check of both inputs, the template's bytes as read here and the link list as edited.
    Findings Check(const check::TokenNames& names) const;
    // The template's part of it: why the template cannot be cut, say.
    Findings CheckTemplate(const check::TokenNames& names) const;

    // Writes the page to the file at output, replaced atomically. FileError when output is the
    // data file or the template (by identity, whatever the name), or cannot be created. Once:
    // qvn-build's data is read as it is written.
    void Save(const FilePath& output);
    // Writes the page to out, qvn-build's standard output: refused, as Save is, when standard
    // output is the data file or the template ("> links.csv", "1<> links.csv").
    void Write(std::ostream& out);

private:
    PageBuild(const TLinkTable* table, const FilePath& data, const FilePath& templ,
              const Tokens& tokens);
    // Builds the page into sink.
    void Make(const ByteSink& sink);

    FilePath data_;
    FilePath templ_;
    const TLinkTable* table_;          // the windows' data
    std::optional<LinkReader> reader_; // or qvn-build's
    std::uint64_t size_ = 0;           // the template file's size
    std::string text_;                 // its text as read
    TPageTemplate page_;
    Tokens typed_;  // as given, for the check
    Tokens tokens_; // in the template's encoding
};

} // namespace qvn
