#include "UInCSV.h"

#include <stdexcept>

namespace qvn {

int ReadCSV(TStringList& destination, const FilePath& path, int fields) {
    if (fields < 1)
        throw std::invalid_argument("ReadCSV: fields must be at least 1");
    InputFile file(path); // a file that cannot be opened fails here, before anything is appended
    TStringList read;
    read.ReserveBytes(file.SizeHint());
    LineReader lines(file);
    int records = 0;
    for (std::string_view line; lines.Next(line); ++records)
        SplitFields(line, fields, [&read](std::string_view field) { read.Add(field); });

    if (destination.Count() == 0) {
        destination = std::move(read);
    } else {
        for (int i = 0; i < read.Count(); ++i)
            destination.Add(read.Get(i));
    }
    return records;
}

bool LinkReader::Next(TLinkRecord& record) {
    std::string_view line;
    if (!lines_.Next(line))
        return false;
    std::size_t k = 0;
    SplitFields(line, kLinkFields, [&](std::string_view field) { record[k++] = field; });
    return true;
}

} // namespace qvn
