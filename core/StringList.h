// TStringList: the ordered list of byte strings that every stage of the system exchanges, with the
// byte rules by which a text file becomes lines and lines become a file.
//
// Items live back to back in one buffer with an index of end offsets, so a million-record list
// costs its bytes plus eight bytes an item, loading a file splits it in place, and copying a list
// is two block copies.
#pragma once

#include "FilePath.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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

    // Replaces the contents by the file's lines: CR, LF and CR LF each end a line, a NUL byte ends
    // the text, a break at the very end adds no empty line, and nothing else is touched (no
    // character set conversion, a byte-order mark stays in the first line). Throws FileError
    // (Open) and leaves the list unchanged when the file cannot be read.
    void LoadFromFile(const FilePath& path);
    void LoadFromFile(const std::string& cp932Path) {
        LoadFromFile(FilePath::FromCp932(cp932Path));
    }

    // Writes every item followed by CR LF as the file's whole contents. The file is replaced
    // atomically: on any failure (FileError Create, WriteError) the previous file is untouched.
    void SaveToFile(const FilePath& path) const;
    void SaveToFile(const std::string& cp932Path) const {
        SaveToFile(FilePath::FromCp932(cp932Path));
    }

    // Total bytes of all items, line breaks not counted.
    std::size_t ByteSize() const { return data_.size(); }
    // Pre-sizes for a known number of items and bytes, to build large lists without regrowth.
    void Reserve(std::size_t items, std::size_t bytes);

    // Replaces the contents by pieces of bytes without copying them elsewhere: split(bytes, keep)
    // calls keep(begin, end) for each item in order, with ranges that increase and do not
    // overlap, and never looks behind the last range it kept. Each piece is moved down over the
    // bytes left out before it, in place.
    template <typename Split> void AdoptPieces(std::string bytes, Split&& split);

private:
    std::string data_;              // all items back to back
    std::vector<std::size_t> ends_; // ends_[i]: offset one past item i
};

template <typename Split> void TStringList::AdoptPieces(std::string bytes, Split&& split) {
    std::vector<std::size_t> ends;
    ends.reserve(bytes.size() / 16);
    std::size_t write = 0;
    char* const data = bytes.data();
    split(std::string_view(bytes), [&](std::size_t begin, std::size_t end) {
        if (write != begin)
            std::char_traits<char>::move(data + write, data + begin, end - begin);
        write += end - begin;
        ends.push_back(write);
    });
    bytes.resize(write);
    data_ = std::move(bytes);
    ends_ = std::move(ends);
}

} // namespace qvn
