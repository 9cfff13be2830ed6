// Judging a template's encoding and converting the tokens to it.
#include "TokenText.h"

#include "Codec.h"
#include "Errors.h"

namespace qvn {
namespace {

// The field names in messages, as the windows write them, indexed by LinkField.
constexpr const char* kFieldNames[kLinkFields] = {"「サイト名」", "「URL」", "「管理者」",
                                                  "「サイト説明」"};

} // namespace

TextEncoding JudgeEncoding(const TStringList& lines) {
    bool utf8 = false;
    for (int i = 0; i < lines.Count(); ++i) {
        switch (ClassifyUtf8(lines.Get(i))) {
        case Utf8Kind::NotUtf8:
            return TextEncoding::Cp932;
        case Utf8Kind::Utf8:
            utf8 = true;
            break;
        case Utf8Kind::Ascii:
            break;
        }
    }
    return utf8 ? TextEncoding::Utf8 : TextEncoding::Ascii;
}

Tokens TokensForTemplate(const Tokens& tokens, TextEncoding encoding) {
    if (encoding != TextEncoding::Cp932)
        return tokens;
    Tokens converted = tokens;
    for (std::size_t k = 0; k < kLinkFields; ++k) {
        if (ClassifyUtf8(tokens[k]) != Utf8Kind::Utf8)
            continue; // ASCII, or bytes given in code page 932 already
        auto bytes = Utf8ToCp932Exact(tokens[k]);
        if (!bytes) {
            const std::string words = std::string(kFieldNames[k]) + "の置換文字列 " + tokens[k] +
                                      " には、テンプレートの文字コード Shift_JIS (CP932) "
                                      "で表せない文字があります";
            throw Error::WithUtf8(Utf8ToCp932(words), words);
        }
        converted[k] = std::move(*bytes);
    }
    return converted;
}

} // namespace qvn
