// The editable link table: any text read and written back unedited gives the same bytes, and so
// does any series of edits once undone; after edits, the written file reads back as the sites
// the edits made, each line as the line reader and the field splitter see it.
//
// Input: the data file's bytes. The same bytes also drive a series of edits (insert, remove,
// move, set a field, undo), so the fuzzer steers both the text and what is done to it.
#include "Codec.h"
#include "FuzzSupport.h"
#include "LinkTable.h"
#include "Reference.h"
#include "UInCSV.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace qvn;
using namespace qvn::fuzz;

std::string Written(const TLinkTable& table) {
    std::string out;
    table.Write([&out](std::string& block) {
        out += block;
        block.clear();
    });
    return out;
}

// Texts a field is set to: plain, empty, a comma (a description's only), a character code page
// 932 holds, one it lacks, and the line breaks and NUL that no field holds.
const std::string_view kValues[] = {
    "site", "", "a,b", "猫の手帖", "\xF0\x9F\x98\x80", "x\r", "\ny", std::string_view("n\0l", 3)};

// Whether the table must refuse value for field.
bool Refused(std::string_view value, LinkField field, bool utf8) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return true;
    if (field != kDescription && value.find(',') != std::string_view::npos)
        return true;
    return !utf8 && !Utf8ToCp932Exact(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<ref::Record> expected = ref::Records(bytes);

    // Read: one record a line, the fields as the splitter cuts them; written back unchanged.
    TLinkTable table = TLinkTable::Parse(bytes);
    QVN_CHECK(static_cast<std::size_t>(table.Count()) == expected.size());
    for (int r = 0; r < table.Count(); ++r) {
        QVN_CHECK(table.At(r).LineNumber() == static_cast<std::uint32_t>(r + 1));
        const TLinkRecord fields = table.Fields(r);
        for (std::size_t k = 0; k < kLinkFields; ++k)
            QVN_CHECK(fields[k] == expected[static_cast<std::size_t>(r)][k]);
    }
    QVN_CHECK(Written(table) == bytes);
    QVN_CHECK(table.TextAsRead() && *table.TextAsRead() == bytes); // what the windows' check reads

    // The same through a file, saved and read again: for one input in four, as a save is slow.
    if (size % 4 == 0) {
        const std::string path = Scratch().Path("links.csv");
        const FilePath file = FilePath::FromNative(path);
        table.SaveToFile(file);
        QVN_CHECK(ReadFile(path) == bytes);
        QVN_CHECK(Written(ReadCSV(file)) == bytes);
    }

    // Edits steered by the input, each also made on a plain list of the sites; every one kept as
    // the records it replaced, to be undone at the end.
    std::vector<ref::Record> sites = expected;
    struct Undo {
        int kind; // 0 put back, 1 remove inserted, 2 insert removed, 3 move back
        int row, other;
        std::vector<TLinkTable::Record> records;
    };
    std::vector<Undo> undos;
    for (std::size_t i = 0; i + 2 < size && undos.size() < 24; i += 3) {
        const auto op = static_cast<unsigned char>(bytes[i]) % 4;
        const int n = table.Count();
        const int a = n == 0 ? 0 : static_cast<unsigned char>(bytes[i + 1]) % n;
        const auto b = static_cast<unsigned char>(bytes[i + 2]);
        if (op == 0 || n == 0) { // a new site after a, or first
            const int row = n == 0 ? 0 : a + 1;
            table.Insert(row, {table.NewSite()});
            sites.insert(sites.begin() + row, ref::Record{});
            undos.push_back({1, row, 0, {}});
        } else if (op == 1) {
            const int count = 1 + b % (n - a);
            undos.push_back({2, a, 0, table.Remove(a, count)});
            sites.erase(sites.begin() + a, sites.begin() + a + count);
        } else if (op == 2) {
            const int to = b % n;
            table.Move(a, to);
            const ref::Record moved = sites[static_cast<std::size_t>(a)];
            sites.erase(sites.begin() + a);
            sites.insert(sites.begin() + to, moved);
            undos.push_back({3, to, a, {}});
        } else {
            const auto field = static_cast<LinkField>(b % kLinkFields);
            const std::string_view value = kValues[(b / kLinkFields) % std::size(kValues)];
            const TLinkTable::Record old = table.At(a);
            try {
                const TLinkTable::Record made = table.WithField(a, field, value);
                QVN_CHECK(!Refused(value, field, table.Utf8()));
                table.Put(a, made);
                sites[static_cast<std::size_t>(a)][field] =
                    table.Utf8() ? std::string(value) : *Utf8ToCp932Exact(value);
                undos.push_back({0, a, 0, {old}});
            } catch (const FieldError&) {
                QVN_CHECK(Refused(value, field, table.Utf8()));
                QVN_CHECK(table.At(a) == old);
            }
        }
    }

    // What the edits wrote reads back as the sites they made.
    const std::string edited = Written(table);
    const std::vector<ref::Record> read = ref::Records(edited);
    QVN_CHECK(read == sites);
    QVN_CHECK(Written(TLinkTable::Parse(edited)) == edited);

    // Undone in reverse order, the table writes the input's bytes again.
    for (auto u = undos.rbegin(); u != undos.rend(); ++u) {
        switch (u->kind) {
        case 0:
            table.Put(u->row, u->records[0]);
            break;
        case 1:
            table.Remove(u->row, 1);
            break;
        case 2:
            table.Insert(u->row, u->records);
            break;
        default:
            table.Move(u->row, u->other);
            break;
        }
    }
    QVN_CHECK(Written(table) == bytes);
    return 0;
}
