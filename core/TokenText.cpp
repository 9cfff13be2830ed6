// Judging a template's encoding and converting the tokens to it.
#include "TokenText.h"

#include "Codec.h"
#include "Errors.h"

namespace qvn {

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

std::string TokenForTemplate(std::size_t field, const std::string& token, TextEncoding encoding) {
    if (encoding != TextEncoding::Cp932 || ClassifyUtf8(token) != Utf8Kind::Utf8)
        return token; // ASCII, or bytes given in code page 932 already
    auto bytes = Utf8ToCp932Exact(token);
    if (!bytes)
        throw Error(QuotedField(field) + "の置換文字列 " + token +
                    " には、テンプレートの文字コード Shift_JIS (CP932) で表せない文字があります");
    return std::move(*bytes);
}

Tokens TokensForTemplate(const Tokens& tokens, TextEncoding encoding) {
    Tokens converted;
    for (std::size_t k = 0; k < kLinkFields; ++k)
        converted[k] = TokenForTemplate(k, tokens[k], encoding);
    return converted;
}

} // namespace qvn
