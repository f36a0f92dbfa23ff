#pragma once

#include "engine/DivisionState.h"

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

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

// Every listed student (class 1..FClasses.size()), ranked by 总分 as a
// teacher sorts a spreadsheet: higher first, equal scores in roster order.
std::vector<PStudent> RankedByHand(const DivisionState& state);

// The balance figures counted straight from the class lists: the reference
// the balance report is checked against. Standard deviations over n.
struct CountedClass {
    int size = 0, boys = 0, girls = 0;
    double mean = 0, deviation = 0;
    int topN = 0, topFivePercent = 0, topTenPercent = 0, bottomTenPercent = 0;
};
struct BandCount {
    std::string gender; // bytes
    int band = 0; // 0 = the best
    int classNo = 0; // 1-based
    int count = 0;
};
struct CountedBalance {
    std::vector<CountedClass> classes;
    int students = 0;
    double gradeDeviation = 0;
    int topFivePercent = 0; // the size of the grade's top 5 %
    int worstBandDifference = 0; // with bands: over every band of every gender
    std::vector<BandCount> bandsOutOfBounds; // outside ⌊k/N⌋..⌈k/N⌉
};
CountedBalance CountBalanceByHand(const DivisionState& state, int classes, int bands);

} // namespace fenban::testkit
