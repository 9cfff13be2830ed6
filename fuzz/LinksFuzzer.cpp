// The link data reader: whatever a line holds, it is one record of four fields, read alike by
// ReadCSV (the whole file into a flat field list) and LinkReader (record by record), and the
// fields put back together with commas give the line again.
//
// Input: the data file's bytes. Its length also picks a second field count (1 to 6) that ReadCSV
// is tried with, appending to a list that is not empty.
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

// The fields of a line cut into `count`, as ReadCSV left them in list from item `first` on,
// against the reference, and against what cutting means: with c commas counted, the first c
// fields hold no comma, the ones after them up to the last are empty, and the first c fields and
// the last joined with commas are the line.
void CheckFields(const TStringList& list, int first, const std::string& line, int count) {
    const std::vector<std::string> expected = ref::Fields(line, count);
    const auto commas = static_cast<int>(std::count(line.begin(), line.end(), ','));
    const int c = std::min(commas, count - 1);
    std::string joined;
    for (int k = 0; k < count; ++k) {
        const std::string_view field = list.Get(first + k);
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

    // Whole, into an empty list: four fields a line.
    TStringList list;
    QVN_CHECK(ReadCSV(list, file, 4) == n);
    QVN_CHECK(list.Count() == 4 * n);
    for (int r = 0; r < n; ++r)
        CheckFields(list, 4 * r, lines[static_cast<std::size_t>(r)], 4);

    // Record by record: the same fields.
    LinkReader reader(file);
    TLinkRecord record;
    int r = 0;
    for (; reader.Next(record); ++r) {
        QVN_CHECK(r < n);
        for (std::size_t k = 0; k < kLinkFields; ++k)
            QVN_CHECK(record[k] == list.Get(4 * r + static_cast<int>(k)));
    }
    QVN_CHECK(r == n);
    QVN_CHECK(!reader.Next(record));

    // Another field count, into a list that already holds something: still one record a line,
    // after what was there.
    const int count = 1 + static_cast<int>(size % 6);
    TStringList other;
    other.Add("kept");
    QVN_CHECK(ReadCSV(other, file, count) == n);
    QVN_CHECK(other.Count() == count * n + 1);
    QVN_CHECK(other.Get(0) == "kept");
    for (int i = 0; i < n; ++i)
        CheckFields(other, 1 + count * i, lines[static_cast<std::size_t>(i)], count);
    return 0;
}
