// Judging a template's encoding and converting the tokens to it.
#include "TokenText.h"

#include "Codec.h"
#include "Errors.h"

namespace qvn {

void EncodingJudge::Line(std::string_view line) {
    if (notUtf8_)
        return; // decided
    const Utf8Kind kind = ClassifyUtf8(line);
    notUtf8_ = kind == Utf8Kind::NotUtf8;
    utf8_ = utf8_ || kind == Utf8Kind::Utf8;
}

TextEncoding EncodingJudge::Result() const {
    return notUtf8_ ? TextEncoding::Cp932 : utf8_ ? TextEncoding::Utf8 : TextEncoding::Ascii;
}

TextEncoding JudgeEncoding(const TStringList& lines) {
    EncodingJudge judge;
    for (int i = 0; i < lines.Count(); ++i)
        judge.Line(lines.Get(i));
    return judge.Result();
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
