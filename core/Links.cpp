#include "Links.h"

namespace qvn {

const Tokens& DefaultTokens() {
    static const Tokens tokens = {"_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_"};
    return tokens;
}

std::string QuotedField(std::size_t field) {
    return "「" + std::string(kFieldNames[field]) + "」";
}

} // namespace qvn
