#pragma once

#include <cstddef>
#include <vector>

namespace fenban {

// Adds the tail of a fixed list of scores, in list order and rounding after
// every addition, to start values that vary. While the running sum stays
// within one binade and the scores are not negative, each addition only
// rounds the score to that binade's grid, so whole stretches are added at
// once from prefix sums of the rounded scores; the result is the plain
// loop's, bit for bit.
class SuffixFolds {
public:
    // largestStart: a bound on the start values' magnitude, to choose the grids kept.
    SuffixFolds(std::vector<long double> scores, long double largestStart);

    // ((start + scores[from]) + scores[from + 1]) + ... + scores.back().
    long double FoldFrom(long double start, std::size_t from) const;

private:
    struct Grid {
        std::vector<__int128> before; // per slot: the rounded scores before it, in grid units
        std::vector<unsigned char> tieFreeFrom; // no score from this slot on lies halfway between grid points
    };

    std::vector<long double> scores_;
    std::vector<unsigned char> nonNegativeFrom_;
    int lowestExponent_ = 0;
    std::vector<Grid> grids_; // binade [2^e, 2^(e+1)) at index e - lowestExponent_
};

} // namespace fenban
