#include "Links.h"

namespace qvn {

const Tokens& DefaultTokens() {
    static const Tokens tokens = {"_TITLE_", "_URL_", "_AUTHOR_", "_EXPLAIN_"};
    return tokens;
}

bool ListLinks::Next(TLinkRecord& record) {
    if (list_.Count() - next_ < static_cast<int>(kLinkFields))
        return false;
    for (std::string_view& field : record)
        field = list_.Get(next_++);
    return true;
}

} // namespace qvn
