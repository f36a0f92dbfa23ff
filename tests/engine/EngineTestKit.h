#pragma once

#include "engine/DivisionState.h"

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>

namespace fenban::testkit {

inline constexpr std::string_view Male = "\xC4\xD0"; // 男
inline constexpr std::string_view Female = "\xC5\xAE"; // 女

// Appends a student to the roster; the scores fill the subjects from 0, the rest are 0.
PStudent AddStudent(DivisionState& state, std::string_view gender, std::initializer_list<long double> scores,
    std::string_view mark = {});

// Moves a student into class index target as the grid's menu does from the
// whole-roster listing: out of its class's list, onto the end of the target's, marked "F".
void MoveByHand(DivisionState& state, PStudent student, int target);

// Wild: one decimal, and a few students of gender "M" with ±2^55 in the
// subjects after the first: sums through them round at every step, so a
// class's average depends on the order of its list.
enum class ScoreKind { Whole, Half, OneDecimal, TwoDecimals, Mixed, Wild };

// A roster of random students: mostly 男 and 女, some odd genders, marks and
// shared scores; the first score is a total of several hundred points.
void FillRandomRoster(DivisionState& state, std::mt19937_64& rng, int students, ScoreKind kind);

// A deep copy: new records, every list pointing at the copies.
DivisionState Clone(const DivisionState& state);

// Bitwise equality of the 80 value bits.
bool SameBits(long double a, long double b);

// Empty when both states hold the same roster order, lists, class numbers,
// marks and statistics, bit for bit; otherwise the first difference.
std::string FirstDifference(const DivisionState& a, const DivisionState& b);

} // namespace fenban::testkit
