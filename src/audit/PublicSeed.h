#pragma once

#include "common/Failure.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace fenban {

// A seed text that is no seed: empty, too long, or a character other than a digit.
class SeedTextError : public Failure {
public:
    using Failure::Failure;
};

// The seed of an ordinary 一键均衡, as a seed text.
inline constexpr std::string_view DefaultSeedText = "20240611";
inline constexpr std::size_t MaxSeedDigits = 64;

// A seed as drawn in public (dice, a lottery draw): its digits, ASCII or
// full-width, blanks at either end ignored. Returns the ASCII digits;
// throws SeedTextError with a Chinese sentence otherwise.
std::string NormalSeedText(std::string_view utf8);

// The optimiser's seed of a seed text: the digits read as a decimal number,
// modulo 2^64 (docs/fingerprint.md). "20240611" gives the default seed.
// Throws what NormalSeedText throws.
std::uint64_t SeedOfText(std::string_view utf8);

} // namespace fenban
