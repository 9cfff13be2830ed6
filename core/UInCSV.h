// The link data reader: a comma-separated file, one site a line, four fields, no quoting. The file
// is read either whole into an editable table (the link list window) or record by record as a
// page is built (qvn-build); both read lines and cut fields by the same rules.
#pragma once

#include "FileIO.h"
#include "FilePath.h"
#include "Lines.h"
#include "LinkTable.h"
#include "Links.h"

namespace qvn {

// The whole file as a table, one record a line. FileError (Open) when it cannot be opened or
// read.
TLinkTable ReadCSV(const FilePath& path);

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
