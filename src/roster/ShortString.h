#pragma once

#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace fenban {

// A byte string of at most Capacity bytes held in place, like the fixed
// fields of a student record. Bytes are GB18030; equality is whole-string
// (same length, same bytes), order is unsigned bytewise with the shorter
// text first on a common prefix.
template <std::size_t Capacity> class ShortString {
    static_assert(Capacity > 0 && Capacity < 256);

public:
    constexpr ShortString() = default;

    // Keeps at most the first Capacity bytes; callers cut at whole
    // characters before when that matters.
    explicit ShortString(std::string_view bytes)
    {
        length_ = static_cast<std::uint8_t>(std::min(bytes.size(), Capacity));
        if (length_ > 0) // an empty view may carry no pointer at all
            std::memcpy(bytes_.data(), bytes.data(), length_);
    }

    static constexpr std::size_t capacity() { return Capacity; }
    std::size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }
    std::string_view view() const { return {bytes_.data(), length_}; }

    friend bool operator==(const ShortString& a, const ShortString& b) { return a.view() == b.view(); }
    friend bool operator==(const ShortString& a, std::string_view b) { return a.view() == b; }

    friend std::strong_ordering operator<=>(const ShortString& a, const ShortString& b)
    {
        const std::size_t common = std::min(a.length_, b.length_);
        const int c = std::memcmp(a.bytes_.data(), b.bytes_.data(), common); // unsigned bytes
        if (c != 0)
            return c < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
        return a.length_ <=> b.length_;
    }

private:
    std::uint8_t length_ = 0;
    std::array<char, Capacity> bytes_ {};
};

} // namespace fenban
