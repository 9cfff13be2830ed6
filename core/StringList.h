// TStringList: the ordered list of byte strings that every stage of the system exchanges, with the
// byte rules by which a text becomes lines.
//
// Items live back to back in one buffer with an index of end offsets that grows block by block,
// never copied as it grows: a list costs its bytes plus eight bytes an item.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace qvn {

class TStringList {
public:
    // Appends a copy of s; returns its index (the count before the call).
    int Add(std::string_view s);
    // The item at index; ListIndexError outside 0 to Count() − 1. The view stays valid until the
    // list is next changed.
    std::string_view Get(int index) const;
    int Count() const { return static_cast<int>(ends_.size()); }
    void Clear();

    // Replaces the contents by the lines of text (a file's, as ReadText reads it): CR, LF and
    // CR LF each end a line, a NUL byte ends the text, a break at the very end adds no empty
    // line, and nothing else is touched (no character set conversion, a byte-order mark stays in
    // the first line).
    void LoadFromText(std::string_view text);

private:
    std::string data_;             // all items back to back
    std::deque<std::size_t> ends_; // ends_[i]: offset one past item i
};

} // namespace qvn
