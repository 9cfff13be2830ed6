#include "StringList.h"

#include "Errors.h"
#include "Lines.h"

#include <climits>
#include <stdexcept>

namespace qvn {

int TStringList::Add(std::string_view s) {
    const int index = Count();
    if (index == INT_MAX)
        throw std::length_error("TStringList: too many items");
    data_.append(s);
    ends_.push_back(data_.size());
    return index;
}

std::string_view TStringList::Get(int index) const {
    if (index < 0 || index >= Count())
        throw ListIndexError(index);
    const auto i = static_cast<std::size_t>(index);
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(data_).substr(begin, ends_[i] - begin);
}

void TStringList::Clear() {
    data_.clear();
    ends_.clear();
}

void TStringList::LoadFromText(std::string_view text) {
    MemorySource source(text);
    TStringList lines;
    LineReader reader(source);
    for (std::string_view line; reader.Next(line);)
        lines.Add(line);
    *this = std::move(lines);
}

} // namespace qvn
