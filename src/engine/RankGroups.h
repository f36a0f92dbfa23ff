#pragma once

#include "engine/DivisionState.h"

#include <string>
#include <vector>

namespace fenban {

// How the division keeps the ranks by 总分 (score column 0) spread over the classes.
struct RankBalance {
    // Score bands per gender: each gender's students ranked by 总分 and cut
    // into this many bands of (nearly) equal size; 0: no bands, and no rank
    // balancing at all.
    int bands = 0;
    // With bands: the grade's top N, top 2N and top 5 % (N = class count)
    // spread alike, and every class's standard deviation of 总分 kept near the grade's.
    bool enabled() const { return bands > 0; }
};

// The band counts a user may choose, 0 meaning none.
inline constexpr int RankBandChoices[] = {0, 5, 10, 20};
inline constexpr int DefaultRankBands = 10;

// A set of students that every class should hold in like numbers: between
// ⌊k/N⌋ and ⌈k/N⌉ of its k students.
struct RankGroup {
    enum class Kind { Band, TopN, Top2N, TopFivePercent };
    Kind kind;
    std::string gender; // Band: the gender text (bytes) its students share
    int band = 0; // Band: 0 = the best
    std::vector<int> records; // indices into DivisionState::Records
};

// The order of ranks: higher 总分 first, equal scores in roster order
// (index into Records). Only students in a class list of 1..classCount take part.
std::vector<int> RankedRecords(const DivisionState& state, const std::vector<int>& classOfRecord);

// Size of the grade's top p percent of n students: n * p / 100, rounded half up, at least 1 when n > 0.
int TopCount(int students, int percent);

// The rank groups of the division: the bands of each gender (in gender
// order of first appearance in the ranking), then top N, top 2N and top 5 %.
// classOfRecord: ClassesOfRecords(state).
std::vector<RankGroup> MakeRankGroups(
    const DivisionState& state, const std::vector<int>& classOfRecord, int classCount, const RankBalance& balance);

} // namespace fenban
