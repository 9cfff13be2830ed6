// The distinct URLs of a links file, each kept once: their bytes one after another in large
// blocks, found again through a table of indices. A million URLs cost their bytes and about 30
// more each, where a string per URL and a hash map of them would cost several times that.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace qvn::linkcheck {

class UrlSet {
public:
    // The index of url among the distinct URLs, in the order they were first added; added when new.
    std::uint32_t Add(std::string_view url);
    // Every distinct URL, by index; they stay valid as long as the set does.
    std::span<const std::string_view> Urls() const { return urls_; }

private:
    std::string_view Keep(std::string_view url);
    void Grow();

    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr; // the first free byte of the last block
    std::size_t left_ = 0; // bytes free there
    std::vector<std::string_view> urls_;
    std::vector<std::uint32_t> slots_; // open addressing: an index + 1, 0 for a free slot
};

} // namespace qvn::linkcheck
