// A link record, its four fields in their fixed order, the tokens that stand for them in a
// template, and the sources a page is built from.
#pragma once

#include "StringList.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace qvn {

// The fields of a link record, in the order of a data line and of token replacement.
enum LinkField : std::size_t { kSiteName, kURL, kAdministrator, kDescription, kLinkFields };

// The fields' names, as the link list's headers and the settings dialog show them, indexed by
// LinkField.
inline constexpr std::array<std::string_view, kLinkFields> kFieldNames = {"サイト名", "URL",
                                                                          "管理者", "サイト説明"};
// A field's name as messages quote it: 「サイト名」.
std::string QuotedField(std::size_t field);

// One site's four fields, indexed by LinkField.
using TLinkRecord = std::array<std::string_view, kLinkFields>;

// The token replaced by each field, indexed by LinkField.
using Tokens = std::array<std::string, kLinkFields>;

// The tokens in force at every start: "_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_".
const Tokens& DefaultTokens();

// The byte that ends each field of a data line but the last.
inline constexpr char kFieldSeparator = ',';

// Cuts a data line into `fields` fields, calling field(text) for each in order: the text before
// each of the first fields − 1 commas, then the rest of the line. There is no quoting and no
// trimming; once the commas run out each remaining step gives an empty field and the rest stays
// whole in the last one, so commas past the third belong to the last field. Returns how many
// commas ended a field: fields − 1 for a whole line, fewer when the line ran out of them.
template <typename Field> int SplitFields(std::string_view line, int fields, Field&& field) {
    int cut = 0;
    for (int k = 1; k < fields; ++k) {
        const std::size_t comma = line.find(kFieldSeparator);
        if (comma == std::string_view::npos) {
            field(line.substr(0, 0));
            continue;
        }
        field(line.substr(0, comma));
        line.remove_prefix(comma + 1);
        ++cut;
    }
    field(line);
    return cut;
}

// Link records one after another, as the page builder takes them.
class LinkSource {
public:
    // The next record; false after the last. The record's views stay valid until the next call.
    virtual bool Next(TLinkRecord& record) = 0;

protected:
    ~LinkSource() = default;
};

} // namespace qvn
