// The link data reader: whatever a line holds, it is one record of four fields, read alike by
// ReadCSV (the whole file into a table) and LinkReader (record by record), and the fields put
// back together with commas give the line again.
//
// Input: the data file's bytes.
#include "FuzzSupport.h"
#include "Reference.h"
#include "UInCSV.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace qvn;
using namespace qvn::fuzz;

// The fields of a line against the reference, and against what cutting means: with c commas
// counted, the first c fields hold no comma, the ones after them up to the last are empty, and
// the first c fields and the last joined with commas are the line.
void CheckFields(const TLinkRecord& fields, const std::string& line) {
    constexpr int count = kLinkFields;
    const std::vector<std::string> expected = ref::Fields(line, count);
    const auto commas = static_cast<int>(std::count(line.begin(), line.end(), ','));
    const int c = std::min(commas, count - 1);
    std::string joined;
    for (int k = 0; k < count; ++k) {
        const std::string_view field = fields[static_cast<std::size_t>(k)];
        QVN_CHECK(field == expected[static_cast<std::size_t>(k)]);
        if (k < c) {
            QVN_CHECK(field.find(',') == std::string_view::npos);
            joined.append(field).append(",");
        } else if (k < count - 1) {
            QVN_CHECK(field.empty());
        } else {
            joined.append(field);
        }
    }
    QVN_CHECK(joined == line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = ref::Lines(bytes);
    const auto n = static_cast<int>(lines.size());
    const std::string path = Scratch().Path("links.csv");
    WriteFile(path, bytes);
    const FilePath file = FilePath::FromNative(path);

    // Whole: four fields a line.
    const TLinkTable table = ReadCSV(file);
    QVN_CHECK(table.Count() == n);
    for (int r = 0; r < n; ++r)
        CheckFields(table.Fields(r), lines[static_cast<std::size_t>(r)]);

    // Record by record: the same fields.
    LinkReader reader(file);
    TLinkRecord record;
    int r = 0;
    for (; reader.Next(record); ++r) {
        QVN_CHECK(r < n);
        QVN_CHECK(record == table.Fields(r));
    }
    QVN_CHECK(r == n);
    QVN_CHECK(!reader.Next(record));
    return 0;
}
