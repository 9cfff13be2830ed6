#include "UInCSV.h"

#include <stdexcept>

namespace qvn {

int ReadCSV(TStringList& destination, const FilePath& path, int fields) {
    if (fields < 1)
        throw std::invalid_argument("ReadCSV: fields must be at least 1");
    TStringList lines;
    lines.LoadFromFile(path); // a file that cannot be read fails before anything is appended
    const auto perLine = static_cast<std::size_t>(fields);
    destination.Reserve(static_cast<std::size_t>(destination.Count()) +
                            static_cast<std::size_t>(lines.Count()) * perLine,
                        destination.ByteSize() + lines.ByteSize());

    for (int i = 0; i < lines.Count(); ++i) {
        std::string_view rest = lines.Get(i);
        // No quoting and no trimming: every comma separates, up to fields − 1 of them. Once the
        // commas run out each remaining step gives an empty field and the rest stays whole.
        for (int k = 1; k < fields; ++k) {
            const std::size_t comma = rest.find(',');
            if (comma == std::string_view::npos) {
                destination.Add({});
                continue;
            }
            destination.Add(rest.substr(0, comma));
            rest.remove_prefix(comma + 1);
        }
        destination.Add(rest);
    }
    // One record a line. (An empty file gives 0 for any field count.)
    return lines.Count() == 0 ? 0 : destination.Count() / fields;
}

int ReadCSV(TStringList& destination, const std::string& cp932Path, int fields) {
    return ReadCSV(destination, FilePath::FromCp932(cp932Path), fields);
}

} // namespace qvn
