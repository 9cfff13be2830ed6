#include "UInCSV.h"

namespace qvn {

TLinkTable ReadCSV(const FilePath& path) {
    return TLinkTable::Parse(ReadFile(path));
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
