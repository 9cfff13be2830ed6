// The link data reader: a comma-separated file, one site a line, four fields, no quoting.
#pragma once

#include "FilePath.h"
#include "StringList.h"

namespace qvn {

// Appends `fields` items for every line of the file to destination: the text up to each of the
// first fields − 1 commas, then the rest of the line (so commas past the third stay in the last
// field, and a line short of commas yields empty fields before its rest). Returns the number of
// records appended, which is the file's line count. Throws FileError (Open) before appending
// anything when the file cannot be read.
int ReadCSV(TStringList& destination, const FilePath& path, int fields);
int ReadCSV(TStringList& destination, const std::string& cp932Path, int fields);

} // namespace qvn
