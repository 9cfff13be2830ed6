#include "UInCSV.h"

#include "FileIO.h"
#include "Lines.h"

#include <stdexcept>

namespace qvn {

int ReadCSV(TStringList& destination, const FilePath& path, int fields) {
    if (fields < 1)
        throw std::invalid_argument("ReadCSV: fields must be at least 1");
    // A file that cannot be read fails here, before anything is appended.
    std::string bytes = ReadWholeFile(path);

    // The fields are cut out of the file's bytes in place: a million-line file is held once.
    int lines = 0;
    TStringList read;
    read.AdoptPieces(std::move(bytes), [&](std::string_view text, auto&& keep) {
        ForEachLine(text, [&](std::size_t begin, std::size_t end) {
            ++lines;
            // No quoting and no trimming: every comma separates, up to fields − 1 of them. Once
            // the commas run out each remaining step gives an empty field and the rest stays
            // whole in the last field.
            for (int k = 1; k < fields; ++k) {
                const std::size_t comma = text.substr(0, end).find(',', begin);
                if (comma == std::string_view::npos) {
                    keep(begin, begin);
                    continue;
                }
                keep(begin, comma);
                begin = comma + 1;
            }
            keep(begin, end);
        });
    });

    if (destination.Count() == 0) {
        destination = std::move(read);
    } else {
        for (int i = 0; i < read.Count(); ++i)
            destination.Add(read.Get(i));
    }
    // One record a line (and none for an empty file, whatever the field count).
    return lines == 0 ? 0 : destination.Count() / fields;
}

int ReadCSV(TStringList& destination, const std::string& cp932Path, int fields) {
    return ReadCSV(destination, FilePath::FromCp932(cp932Path), fields);
}

} // namespace qvn
