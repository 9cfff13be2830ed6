// Distinct strings, each kept once and known by its index: the URLs of a links file, the hosts of
// the link check. Their bytes lie one after another in large blocks, found again through a table
// of indices: a million URLs cost their bytes and about 30 more each, where a string per URL and a
// hash map of them would cost several times that.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace qvn::linkcheck {

class StringSet {
public:
    // The index of text among the distinct strings, in the order they were first added; added
    // when new.
    std::uint32_t Add(std::string_view text);
    // Every distinct string, by index; they stay valid as long as the set does.
    std::span<const std::string_view> Strings() const { return strings_; }

private:
    std::string_view Keep(std::string_view text);
    void Grow();

    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t block_ = 0; // the size of the last block made, unless a longer text needed more
    char* next_ = nullptr;  // the first free byte of the last block
    std::size_t left_ = 0;  // bytes free there
    std::vector<std::string_view> strings_;
    std::vector<std::uint32_t> slots_; // open addressing: an index + 1, 0 for a free slot
};

} // namespace qvn::linkcheck
