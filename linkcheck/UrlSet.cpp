// The set of distinct URLs: linear probing in a table kept at most half full.
#include "UrlSet.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace qvn::linkcheck {
namespace {

constexpr std::size_t kBlock = 1 << 20;

std::size_t Hash(std::string_view url) {
    return std::hash<std::string_view>{}(url);
}

} // namespace

std::uint32_t UrlSet::Add(std::string_view url) {
    if (2 * (urls_.size() + 1) > slots_.size())
        Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = Hash(url) & mask;; slot = (slot + 1) & mask) {
        if (slots_[slot] == 0) {
            if (urls_.size() >= UINT32_MAX - 1)
                throw std::length_error("too many distinct URLs");
            urls_.push_back(Keep(url));
            slots_[slot] = static_cast<std::uint32_t>(urls_.size());
            return slots_[slot] - 1;
        }
        if (urls_[slots_[slot] - 1] == url)
            return slots_[slot] - 1;
    }
}

// A copy of url's bytes in the blocks; a URL longer than a block gets a block of its own.
std::string_view UrlSet::Keep(std::string_view url) {
    if (url.empty())
        return {};
    if (url.size() > left_) {
        const std::size_t size = std::max(kBlock, url.size());
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        next_ = blocks_.back().get();
        left_ = size;
    }
    char* const at = next_;
    std::memcpy(at, url.data(), url.size());
    next_ += url.size();
    left_ -= url.size();
    return {at, url.size()};
}

void UrlSet::Grow() {
    std::vector<std::uint32_t> slots(std::max<std::size_t>(64, 2 * slots_.size()), 0);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t i = 0; i < urls_.size(); ++i) {
        std::size_t slot = Hash(urls_[i]) & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = i + 1;
    }
    slots_ = std::move(slots);
}

} // namespace qvn::linkcheck
