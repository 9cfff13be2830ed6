// The link data reader: a comma-separated file, one site a line, four fields, no quoting. The file
// is read either whole into a flat field list (the link list window) or record by record as a
// page is built (qvn-build); both read lines and cut fields by the same rules.
#pragma once

#include "FileIO.h"
#include "FilePath.h"
#include "Lines.h"
#include "Links.h"
#include "StringList.h"

namespace qvn {

// Appends `fields` items for every line of the file to destination, cut by SplitFields. Returns
// the number of records appended, which is the file's line count. Throws FileError (Open) before
// appending anything when the file cannot be opened, and when reading fails part way.
int ReadCSV(TStringList& destination, const FilePath& path, int fields);

// The link data file as a source of records, read as they are taken: a file of any size is
// read in constant memory. Every line is one record of four fields.
class LinkReader final : public LinkSource {
public:
    // FileError (Open) when the file cannot be opened.
    explicit LinkReader(const FilePath& path) : file_(path), lines_(file_) {}
    // FileError (Open) when reading fails part way.
    bool Next(TLinkRecord& record) override;

private:
    InputFile file_;
    LineReader lines_;
};

} // namespace qvn
