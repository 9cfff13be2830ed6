// The HTML tokenizer's states, one character at a time. Each case follows the standard's state of
// the same name; where it says "reconsume", the loop runs again with the same character. Left out,
// because they never change where the next character stands: character references, the parse
// errors, the comment's "<!" states (they end where "--" would), and the escaped states of script
// text (a "<!--" in a script, which makes a "</script" inside it no end).
#include "HtmlTokenizer.h"

#include <algorithm>
#include <array>

namespace qvn::check {
namespace {

using S = HtmlState;

bool IsSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; // CR is read as LF
}

bool IsAlpha(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// The elements whose start tag switches the tokenizer to raw text (RCDATA, RAWTEXT, script data;
// noscript as in a browser with scripting on), and plaintext.
constexpr std::array<std::string_view, 10> kRawElements = {
    "script", "style",   "textarea", "title",    "xmp",
    "iframe", "noembed", "noframes", "noscript", "plaintext"};

} // namespace

bool IsCommentState(HtmlState state) {
    return state >= S::CommentStart && state <= S::CommentEndBang;
}

bool IsRawTextState(HtmlState state) {
    return state >= S::RawText && state <= S::RawEndName;
}

void HtmlTokenizer::EmitTag() {
    const bool raw = !endTag_ && std::ranges::find(kRawElements, tag_) != kRawElements.end();
    state_ = !raw ? S::Data : tag_ == "plaintext" ? S::Plaintext : S::RawText;
    raw_ = raw ? tag_ : "";
    tag_.clear();
    attribute_.clear();
}

void HtmlTokenizer::Step(unsigned char c) {
    for (;;) {
        switch (state_) {
        case S::Data:
            if (c == '<')
                state_ = S::TagOpen;
            return;
        case S::RawText:
            if (c == '<')
                state_ = S::RawLt;
            return;
        case S::RawLt:
            state_ = c == '/' ? S::RawEndOpen : S::RawText;
            if (c == '/')
                return;
            continue;
        case S::RawEndOpen:
            state_ = IsAlpha(c) ? S::RawEndName : S::RawText;
            matched_ = 0;
            continue;
        case S::RawEndName:
            if (IsAlpha(c)) {
                const bool next = matched_ < raw_.size() && raw_[matched_] == Lower(c);
                matched_ = next ? matched_ + 1 : std::string::npos;
                return;
            }
            // The end tag: what follows its name is read as in any tag.
            endTag_ = true;
            tag_ = raw_;
            state_ = matched_ == raw_.size() && (IsSpace(c) || c == '/' || c == '>')
                         ? S::BeforeAttrName
                         : S::RawText;
            continue;
        case S::Plaintext:
            return;
        case S::TagOpen:
            if (c == '!' || c == '/' || c == '?') {
                state_ = c == '!' ? S::MarkupDecl : c == '/' ? S::EndTagOpen : S::BogusComment;
                return;
            }
            endTag_ = false;
            tag_.clear();
            state_ = IsAlpha(c) ? S::TagName : S::Data; // "<3": the "<" is text
            continue;
        case S::EndTagOpen:
            endTag_ = true;
            tag_.clear();
            if (c == '>') {
                state_ = S::Data;
                return;
            }
            state_ = IsAlpha(c) ? S::TagName : S::BogusComment;
            continue;
        case S::TagName:
            if (IsSpace(c))
                state_ = S::BeforeAttrName;
            else if (c == '/')
                state_ = S::SelfClosing;
            else if (c == '>')
                EmitTag();
            else
                tag_ += Lower(c);
            return;
        case S::BeforeAttrName:
            if (IsSpace(c))
                return;
            attribute_.clear(); // "/" and ">" go on to AfterAttrName from AttrName
            state_ = S::AttrName;
            if (c == '=') {
                attribute_ = "=";
                return;
            }
            continue;
        case S::AttrName:
            if (IsSpace(c) || c == '/' || c == '>') {
                state_ = S::AfterAttrName;
                continue;
            }
            if (c == '=') {
                state_ = S::BeforeAttrValue;
                valueStart_ = true;
            } else {
                attribute_ += Lower(c);
            }
            return;
        case S::AfterAttrName:
            if (IsSpace(c))
                return;
            if (c == '/' || c == '=' || c == '>') {
                state_ = c == '/' ? S::SelfClosing : S::BeforeAttrValue;
                valueStart_ = true;
                if (c == '>')
                    EmitTag();
                return;
            }
            attribute_.clear();
            state_ = S::AttrName;
            continue;
        case S::BeforeAttrValue:
            if (IsSpace(c))
                return;
            if (c == '>') {
                EmitTag();
                return;
            }
            state_ = c == '"' ? S::AttrValueDq : c == '\'' ? S::AttrValueSq : S::AttrValueUnquoted;
            if (state_ != S::AttrValueUnquoted)
                return;
            continue;
        case S::AttrValueDq:
        case S::AttrValueSq:
            if (c == (state_ == S::AttrValueDq ? '"' : '\''))
                state_ = S::AfterAttrValue;
            valueStart_ = valueStart_ && c <= ' ';
            return;
        case S::AttrValueUnquoted:
            if (IsSpace(c))
                state_ = S::BeforeAttrName;
            else if (c == '>')
                EmitTag();
            valueStart_ = valueStart_ && c <= ' ';
            return;
        case S::AfterAttrValue:
        case S::SelfClosing:
            if (c == '>') {
                EmitTag();
                return;
            }
            state_ = S::BeforeAttrName; // which skips a space and takes "/" to SelfClosing
            continue;
        case S::MarkupDecl:
        case S::MarkupDash:
            // "<!--" opens a comment; anything else after "<!" a bogus comment ("<!DOCTYPE",
            // "<!x").
            if (c == '-') {
                state_ = state_ == S::MarkupDecl ? S::MarkupDash : S::CommentStart;
                return;
            }
            state_ = S::BogusComment;
            continue;
        case S::BogusComment:
            if (c == '>')
                state_ = S::Data;
            return;
        case S::CommentStart:
        case S::CommentStartDash:
            if (c == '>') { // "<!-->", "<!--->": a comment ended at once
                state_ = S::Data;
                return;
            }
            if (c == '-') {
                state_ = state_ == S::CommentStart ? S::CommentStartDash : S::CommentEnd;
                return;
            }
            state_ = S::Comment;
            continue;
        case S::Comment:
            if (c == '-')
                state_ = S::CommentEndDash;
            return;
        case S::CommentEndDash:
            state_ = c == '-' ? S::CommentEnd : S::Comment; // in a comment only "-" counts
            return;
        case S::CommentEnd:
        case S::CommentEndBang:
            if (c == '>') {
                state_ = S::Data;
                return;
            }
            if (c == '-') {
                state_ = state_ == S::CommentEnd ? S::CommentEnd : S::CommentEndDash;
                return;
            }
            if (c == '!' && state_ == S::CommentEnd) {
                state_ = S::CommentEndBang;
                return;
            }
            state_ = S::Comment;
            continue;
        }
    }
}

} // namespace qvn::check
