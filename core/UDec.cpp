#include "UDec.h"

#include "Errors.h"

namespace qvn {

TSetting Setting;

void TSetting::SetTokens(const Tokens& tokens) {
    Title = tokens[kSiteName];
    URL = tokens[kURL];
    Author = tokens[kAdministrator];
    Explain = tokens[kDescription];
}

const TLinkTable& TSetting::Links() const {
    if (!LinkList)
        throw NoLinkDataError();
    return *LinkList;
}

} // namespace qvn
