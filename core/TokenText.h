// The tokens of a build in the encoding of the template they are looked for in. A token is typed
// in Unicode (the settings dialog, a UTF-8 terminal, a Windows command line), while a template's
// bytes are code page 932 or UTF-8: a token is matched byte for byte, so it must first take the
// template's encoding.
#pragma once

#include "Links.h"
#include "StringList.h"

namespace qvn {

// The encodings a template is told apart by. Text of ASCII only reads the same in both.
enum class TextEncoding { Ascii, Utf8, Cp932 };

// The encoding of a text made of lines: UTF-8 when every line is valid UTF-8 and some byte is not
// ASCII, code page 932 when some line is not valid UTF-8, ASCII otherwise. Templates and link data
// are judged alike; lines are judged one by one, never joined, so a character cut in two by a line
// break is not valid UTF-8.
class EncodingJudge {
public:
    void Line(std::string_view line);
    TextEncoding Result() const;

private:
    bool utf8_ = false;    // a line is UTF-8 with a character outside ASCII
    bool notUtf8_ = false; // a line is not UTF-8
};
TextEncoding JudgeEncoding(const TStringList& lines);

// The tokens as they are matched in a template of that encoding. For a code page 932 template, a
// token that is valid UTF-8 holding characters outside ASCII is converted to code page 932; a
// token that is not valid UTF-8 is taken as code page 932 bytes already and used as given. For a
// UTF-8 or ASCII template every token is used as given. Error naming the field and the token when
// a token holds a character that code page 932 lacks.
Tokens TokensForTemplate(const Tokens& tokens, TextEncoding encoding);
// The same for the token of one field.
std::string TokenForTemplate(std::size_t field, const std::string& token, TextEncoding encoding);

} // namespace qvn
