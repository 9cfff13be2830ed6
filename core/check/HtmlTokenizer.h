// The states of the HTML tokenizer (the HTML standard's "tokenization" section) that tell where a
// byte of a page stands: text, a tag and its attributes (which one, quoted how), a comment, or the
// raw text of <script>, <style>, <textarea> and their kin. Only the states are followed; no token
// is made. Enough to say where a template's token stands, and whether a field put there leaves it.
#pragma once

#include "Codec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qvn::check {

enum class HtmlState : std::uint8_t {
    Data,
    RawText,    // the text of script, style, textarea, title and their kin, up to its end tag
    RawLt,      // a "<" in it
    RawEndOpen, // "</"
    RawEndName, // "</" and letters
    Plaintext,  // after <plaintext>: text to the end of the page
    TagOpen,
    EndTagOpen,
    TagName,
    BeforeAttrName,
    AttrName,
    AfterAttrName,
    BeforeAttrValue,
    AttrValueDq,
    AttrValueSq,
    AttrValueUnquoted,
    AfterAttrValue,
    SelfClosing,
    MarkupDecl,   // "<!"
    MarkupDash,   // "<!-"
    BogusComment, // "<!x", "<?", "</1": up to the next ">", doctypes too
    CommentStart,
    CommentStartDash,
    Comment,
    CommentEndDash,
    CommentEnd,
    CommentEndBang,
};

bool IsCommentState(HtmlState state);
bool IsRawTextState(HtmlState state); // Plaintext is not: nothing ends it

// The length of the character at text[i]: 2 for a code page 932 lead byte with a trail byte after
// it (when cp932), 1 for anything else. A trail byte is never a quote, "<", ">" or "=", but may be
// a letter or "`".
inline std::size_t CharLength(std::string_view text, std::size_t i, bool cp932) {
    if (!cp932 || i + 1 >= text.size() || !IsCp932LeadByte(static_cast<unsigned char>(text[i])))
        return 1;
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    return trail >= 0x40 && trail <= 0xFC && trail != 0x7F ? 2 : 1;
}

class HtmlTokenizer {
public:
    // Reads text, bytes in the page's encoding, a character at a time, calling after(offset) with
    // each character's first offset once the state has taken it; stops at the first for which it
    // returns true and gives that offset, npos when none. In code page 932 a lead byte and its
    // trail byte are one character (CharLength).
    template <typename After> std::size_t Feed(std::string_view text, bool cp932, After&& after) {
        for (std::size_t i = 0; i < text.size(); i += CharLength(text, i, cp932)) {
            Step(static_cast<unsigned char>(text[i])); // above 0x7F: "anything else"
            if (after(i))
                return i;
        }
        return std::string_view::npos;
    }
    void Feed(std::string_view text, bool cp932) {
        Feed(text, cp932, [](std::size_t) { return false; });
    }
    void Step(unsigned char c);

    HtmlState State() const { return state_; }
    // The attribute being read, its name in lower case (ASCII only, as the tokenizer lowers).
    const std::string& Attribute() const { return attribute_; }
    // Whether the attribute's value so far is only spaces and control characters, which a URL
    // parser skips: what comes next starts the URL.
    bool ValueStart() const { return valueStart_; }
    // The element whose end tag ends the raw text ("script").
    const std::string& RawElement() const { return raw_; }
    // Whether the raw text's end tag has been read up to its name: "</script" in <script>, which a
    // space, "/" or ">" next would end.
    bool AtEndTagName() const { return state_ == HtmlState::RawEndName && matched_ == raw_.size(); }

    bool operator==(const HtmlTokenizer&) const = default;

private:
    void EmitTag();

    HtmlState state_ = HtmlState::Data;
    bool endTag_ = false;
    bool valueStart_ = false;
    std::size_t matched_ = 0; // in RawEndName: how many letters of raw_ matched; npos: none
    std::string tag_;         // the tag's name so far
    std::string attribute_;
    std::string raw_;
};

} // namespace qvn::check
