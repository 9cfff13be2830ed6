// The set of distinct strings: linear probing in a table kept at most half full.
#include "StringSet.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace qvn::linkcheck {
namespace {

// Blocks grow from 4 KiB to 1 MiB: a small set stays small, a large one is made of few blocks.
constexpr std::size_t kFirstBlock = 1 << 12;
constexpr std::size_t kLastBlock = 1 << 20;

std::size_t Hash(std::string_view text) {
    return std::hash<std::string_view>{}(text);
}

} // namespace

std::uint32_t StringSet::Add(std::string_view text) {
    if (2 * (strings_.size() + 1) > slots_.size())
        Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = Hash(text) & mask;; slot = (slot + 1) & mask) {
        if (slots_[slot] == 0) {
            if (strings_.size() >= UINT32_MAX - 1)
                throw std::length_error("too many distinct strings");
            strings_.push_back(Keep(text));
            slots_[slot] = static_cast<std::uint32_t>(strings_.size());
            return slots_[slot] - 1;
        }
        if (strings_[slots_[slot] - 1] == text)
            return slots_[slot] - 1;
    }
}

// A copy of text's bytes in the blocks; a text longer than a block gets a block of its own.
std::string_view StringSet::Keep(std::string_view text) {
    if (text.empty())
        return {};
    if (text.size() > left_) {
        const std::size_t block = blocks_.empty() ? kFirstBlock : std::min(2 * block_, kLastBlock);
        block_ = block;
        const std::size_t size = std::max(block, text.size());
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        next_ = blocks_.back().get();
        left_ = size;
    }
    char* const at = next_;
    std::memcpy(at, text.data(), text.size());
    next_ += text.size();
    left_ -= text.size();
    return {at, text.size()};
}

void StringSet::Grow() {
    std::vector<std::uint32_t> slots(std::max<std::size_t>(64, 2 * slots_.size()), 0);
    const std::size_t mask = slots.size() - 1;
    for (std::uint32_t i = 0; i < strings_.size(); ++i) {
        std::size_t slot = Hash(strings_[i]) & mask;
        while (slots[slot] != 0)
            slot = (slot + 1) & mask;
        slots[slot] = i + 1;
    }
    slots_ = std::move(slots);
}

} // namespace qvn::linkcheck
