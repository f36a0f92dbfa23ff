#pragma once

// The search's picture of a division: students as items in class slots, class
// score sums kept up to date move by move, and every class average and
// deviation in whole hundredths, as the statistics round them.

#include "engine/DivisionState.h"
#include "engine/Optimiser.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

namespace fenban::optimise {

// xoshiro256**, seeded through splitmix64: the same numbers on every platform.
class Rng {
public:
    explicit Rng(std::uint64_t seed);
    std::uint64_t Next();
    // Uniform in 0..n-1, n >= 1.
    int Below(int n) { return static_cast<int>(Unit() * n); }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1p-53; }

private:
    std::uint64_t s_[4];
};

std::uint64_t SplitMix(std::uint64_t& state);

// A class average or deviation as a whole number of hundredths.
long long HundredthsOf(long double value);

// The fixed part of the problem, shared read-only by every chain.
struct Problem {
    Problem(const DivisionState& state, int classCount);

    int classCount = 0;
    int itemCount = 0; // items are the slots of FClasses, class by class
    int groupCount
        = 0; // groups of items that may trade places: one gender, and with spread rules one set of categories
    std::vector<int> genderOf; // per group: its gender, the same for every item of it
    std::vector<PStudent> student; // per item
    std::vector<int> startClass, startPos; // per item: where it stands in FClasses
    std::vector<int> group; // per item
    std::vector<char> movable; // per item: may change class
    std::vector<int> classSize;

    // Score columns that exchanges can change: some movable students differ there.
    int active = 0;
    std::vector<int> subject; // per active column: its subject index
    std::vector<int> per; // units per point (2 or 100), 0: added as extended values
    std::vector<long long> grade; // the grade average in hundredths
    std::vector<long long> denominator; // class * active + k: per * class size
    std::vector<std::int32_t> units; // item * active + k
    bool allUnits = true; // every changing column counts in units
    std::vector<long double> values; // item * active + k, for columns added as extended values
    std::vector<double> coords; // the same as doubles, for distances

    // Per movable item, its nearest movable items of the same group by the
    // distance of their scores in the changing columns.
    std::vector<std::vector<int>> neighbours;
    int mainDim = 0; // the changing column whose scores spread widest
    // Splits the gender groups by a further key per item (its spread categories).
    void Refine(const std::vector<int>& key);
    // Keeps the frozen items where they are, and every item of a group whose
    // movable items all stand in one class; then finds the neighbours
    // (stopping early, some lists short, when cancel is set).
    void Settle(const std::vector<int>& classes, const std::vector<char>& frozen, int neighbourCount,
        const std::atomic<bool>* cancel = nullptr);

    // Columns that no exchange changes: their deviations and gaps as they stay.
    long long fixedTotal = 0;
    long long fixedLargestGap = 0;
    long long fixedGapSum = 0;

    // What the search lowers for one deviation: the deviation, and the part
    // beyond outlierFrom hundredths outlierWeight times more, so that no class
    // lies far from the grade in a column.
    long long Weigh(long long dev) const { return dev + outlierWeight * std::max(0LL, dev - outlierFrom); }
    long long outlierFrom = 0;
    long long outlierWeight = 0;

    // The spread of 总分: what a class's standard deviation costs beyond
    // spreadTolerance points from the grade's, per point, in hundredths.
    // Off (spreadColumn < 0) unless EnableSpread is called.
    void EnableSpread(double tolerance, double costPerPoint);
    long long SpreadCost(int c, double sum, double squares) const;
    int spreadColumn = -1; // the active column of 总分
    double gradeDeviation = 0; // the grade's standard deviation of 总分, over n
    double spreadTolerance = 0;
    double spreadCostPerPoint = 0;

    long long MeanOfUnits(int c, int k, long long sumUnits) const;
    long long MeanOfSum(int c, long double sum) const;
    long long Dev(int k, long long mean) const;
    // The deviation of class c in column k when its sum is sumUnits, from a
    // table around the grade average where the sums stay.
    long long DevOfUnits(int c, int k, long long sumUnits) const
    {
        const auto t = static_cast<std::size_t>(tableOf[static_cast<std::size_t>(c)] * active + k);
        const auto at = static_cast<unsigned long long>(sumUnits - tableStart[t]);
        if (at < TableWidth)
            return devTable[t * TableWidth + at];
        return Dev(k, MeanOfUnits(c, k, sumUnits));
    }
    static constexpr std::size_t TableWidth = 1 << 13;
    std::vector<int> tableOf; // per class: its class size's table
    std::vector<long long> tableStart; // per table (size, column): the sum of its first entry
    std::vector<int> devTable; // TableWidth entries per table
};

// One division being searched: the items' classes and slots, the class sums
// and the figures they give.
class Chain {
public:
    // A chain at the division that cls and pos describe (per item: class, slot).
    Chain(const Problem& problem, std::vector<int> classes, std::vector<int> slots);

    const Problem& problem;
    std::vector<int> cls, pos; // per item
    std::vector<std::vector<int>> pool; // class * groupCount + group: movable items there
    std::vector<int> poolIndex; // per item: index in its pool
    std::vector<long long> sumUnits; // class * active + k
    std::vector<long double> sumValues;
    std::vector<long long> mean, dev; // class * active + k
    long long total = 0; // all deviations in hundredths, the fixed columns included
    long long weighted = 0; // the same weighed (Weigh)
    // With the spread of 总分 kept: per class the sum and the sum of squares of 总分, and their cost.
    std::vector<double> spreadSum, spreadSquares;
    std::vector<long long> spreadCost;
    long long spreadTotal = 0;
    // What the search lowers: the total and the spread's cost.
    long long Objective() const { return total + spreadTotal; }
    // What chooses the best division found (the gap's part left out).
    long long Chosen() const { return (polish.on ? weighted : total) + spreadTotal; }

    // The polish at the end of a search: the part of a deviation beyond
    // steepFrom counts steepWeight times more, and the best division is chosen
    // by the weighted total plus gapWeight per hundredth of the largest gap
    // beyond gapFrom.
    struct Polish {
        bool on = false;
        long long steepFrom = 0, steepWeight = 0, gapFrom = 0, gapWeight = 0;
    };
    Polish polish;
    void StartPolish(const Polish& settings);
    // The gaps between the highest and lowest class average beyond
    // polish.gapFrom, added over the changing columns.
    long long GapExcess() const;
    long long Weigh(long long d) const
    {
        return problem.Weigh(d) + polish.steepWeight * std::max(0LL, d - polish.steepFrom);
    }

    // Change of the weighted total (Weigh) when items i and j (same group, other classes) trade places.
    long long SwapDelta(int i, int j) const;
    // Items i and j trade places; they may be of other groups of one gender (with spread rules, other categories).
    void ApplySwap(int i, int j);
    // The items from[0..k) of one class trade places with to[0..k) of another, member by member.
    long long SetDelta(const int* from, const int* to, int k) const;

    // Figures with the gap tie-breaks, from the kept means; the total is the Objective.
    BalanceFigures Figures() const;
    // How far class c's sum in column k lies from the grade average's share, in points.
    double Residual(int c, int k) const
    {
        const auto cell = static_cast<std::size_t>(c * problem.active + k);
        const int p = problem.per[static_cast<std::size_t>(k)];
        const double sum = p ? static_cast<double>(sumUnits[cell]) / p : static_cast<double>(sumValues[cell]);
        return sum
            - static_cast<double>(problem.classSize[static_cast<std::size_t>(c)])
            * static_cast<double>(problem.grade[static_cast<std::size_t>(k)]) / 100.0;
    }
    // Moves every item to the given class and slot.
    void Reset(const std::vector<int>& classes, const std::vector<int>& slots);
    // Recomputes every sum and figure from the items' classes.
    void Rebuild();

    // Change of the weighted total when class c takes item in and gives item out.
    long long ClassDelta(int c, int in, int out) const;
    // The same for a class taking the k items in and giving the k items out.
    long long ClassDeltaSet(int c, const int* in, const int* out, int k) const;
    // Makes that change in the sums and figures (not in cls, pos or pools).
    void Shift(int c, int in, int out);

private:
    // Change of the spread's cost when class c's 总分 sum changes by d and its squares by dd.
    long long SpreadDelta(int c, double d, double dd) const
    {
        if (problem.spreadColumn < 0 || (d == 0 && dd == 0))
            return 0;
        const auto at = static_cast<std::size_t>(c);
        return problem.SpreadCost(c, spreadSum[at] + d, spreadSquares[at] + dd) - spreadCost[at];
    }
    double TotalOf(int item) const
    {
        return problem.coords[static_cast<std::size_t>(item * problem.active + problem.spreadColumn)];
    }
};

} // namespace fenban::optimise
