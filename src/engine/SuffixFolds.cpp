#include "engine/SuffixFolds.h"

#include <algorithm>
#include <cmath>

namespace fenban {

namespace {
constexpr int GridsKept = 10;
const __int128 TooLarge = static_cast<__int128>(1) << 100; // stops every stretch before it
} // namespace

SuffixFolds::SuffixFolds(std::vector<long double> scores, long double largestStart)
    : scores_(std::move(scores))
    , nonNegativeFrom_(scores_.size() + 1, 1)
{
    const std::size_t n = scores_.size();
    long double magnitudes = std::fabs(largestStart);
    for (std::size_t i = n; i-- > 0;) {
        nonNegativeFrom_[i] = nonNegativeFrom_[i + 1] && scores_[i] >= 0;
        magnitudes += std::fabs(scores_[i]);
    }
    if (!(magnitudes > 0) || !std::isfinite(magnitudes))
        return;
    const int highest = std::ilogb(magnitudes);
    lowestExponent_ = highest - GridsKept + 1;
    for (int e = lowestExponent_; e <= highest; ++e) {
        Grid grid {std::vector<__int128>(n + 1, 0), std::vector<unsigned char>(n + 1, 1)};
        for (std::size_t i = 0; i < n; ++i) {
            const long double units = std::ldexp(scores_[i], 63 - e); // exact scaling
            const long double nearest = std::rint(units);
            grid.before[i + 1]
                = grid.before[i] + (std::fabs(nearest) < 0x1p100L ? static_cast<__int128>(nearest) : TooLarge);
        }
        for (std::size_t i = n; i-- > 0;) {
            const long double units = std::ldexp(scores_[i], 63 - e);
            grid.tieFreeFrom[i] = grid.tieFreeFrom[i + 1] && std::fabs(units - std::rint(units)) != 0.5L;
        }
        grids_.push_back(std::move(grid));
    }
}

long double SuffixFolds::FoldFrom(long double start, std::size_t from) const
{
    long double sum = start;
    std::size_t i = from;
    while (i < scores_.size()) {
        const int e = sum > 0 ? std::ilogb(sum) : lowestExponent_ - 1;
        const int g = e - lowestExponent_;
        if (nonNegativeFrom_[i] && g >= 0 && g < static_cast<int>(grids_.size()) && grids_[g].tieFreeFrom[i]) {
            // The running sum is a whole number of grid units below 2^(e+1);
            // add the rounded scores while they stay below it.
            const std::vector<__int128>& before = grids_[g].before;
            const __int128 room = static_cast<__int128>((std::ldexp(1.0L, e + 1) - sum) / std::ldexp(1.0L, e - 63));
            const __int128 base = before[i];
            const auto stop = std::partition_point(before.begin() + static_cast<std::ptrdiff_t>(i) + 1, before.end(),
                [base, room](const __int128 b) { return b - base < room; });
            const auto last = static_cast<std::size_t>(stop - before.begin()) - 1;
            sum += std::ldexp(static_cast<long double>(before[last] - base), e - 63);
            i = last;
            if (i == scores_.size())
                break;
        }
        sum += scores_[i++];
    }
    return sum;
}

} // namespace fenban
