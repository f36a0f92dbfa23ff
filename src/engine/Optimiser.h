#pragma once

#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"
#include "engine/RankGroups.h"
#include "engine/RuleCheck.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace fenban {

// How hard and how the search runs. The result depends on the roster, the
// division, the rules, seed, effort and chains only: never on threads, the
// machine or timing (unless cancelled).
struct OptimiseControl {
    std::uint64_t seed = 20240611;
    // Steps per chain (three times that with spread rules); 0: DefaultOptimiseEffort of the roster.
    std::uint64_t effort = 0;
    // Independent searches from the same start, each with its own seed; the best wins.
    int chains = 2;
    // Threads the chains share, the calling thread included (1 = all on the caller).
    int threads = 2;
    // Fraction done, 0..1, called on the calling thread only, a few hundred times at most.
    std::function<void(double)> progress;
    // Set from any thread to stop soon (within milliseconds); the best division found so far is kept.
    const std::atomic<bool>* cancel = nullptr;
    // Score bands, top students and the spread of 总分 (off by default: means alone, as before).
    RankBalance balance;
    // The last phase, which narrows the largest gap between class averages (off: for comparisons).
    bool narrow = true;
    // The default steps times this (for comparisons: what more work would give).
    double stepsTimes = 1.0;
};

// Steps per chain for a roster: grows with its size, tuned for about a
// second at 600 students on a busy two-core machine.
std::uint64_t DefaultOptimiseEffort(std::size_t students, int classCount);

enum class OptimiseOutcome {
    NeedsDivision, // no division at this class count: nothing changes
    RulesConflict, // the rules cannot all hold: conflicts named, nothing changes
    Improved, // a better division is in place
    Unchanged, // nothing better found: the division stays, its statistics recomputed
};

// Whether a division at this class count is in place with its statistics:
// FClasses, FClassAvg and FClassDev all have classCount entries, classCount >= 1.
bool HasDivision(const DivisionState& state, int classCount);

// Figures of a division as its statistics give them, in hundredths.
struct BalanceFigures {
    long long total = 0; // the total deviation, TotalDeviation * 100
    long long largestGap = 0; // the largest gap between class averages over the score columns
    long long gapSum = 0; // those gaps added over the columns

    auto operator<=>(const BalanceFigures&) const = default;
};

// The figures of the statistics as they stand in the state.
BalanceFigures FiguresOf(const DivisionState& state);

struct OptimiseResult {
    OptimiseOutcome outcome = OptimiseOutcome::NeedsDivision;
    // Both zero when nothing was done (NeedsDivision, RulesConflict).
    BalanceFigures before; // the starting division, statistics freshly computed
    BalanceFigures after; // the division left in place
    long double total = 0; // TotalDeviation of the final statistics
    bool cancelled = false;
    std::uint64_t steps = 0; // steps made, all chains
    int brokenBefore = 0; // rules the starting division broke
    std::vector<RuleConflict> conflicts; // RulesConflict: why the rules cannot all hold
};

// Balances the whole division: improves the division in FClasses by moving
// students between classes so that every class keeps its size and its
// number of students of each gender; students placed by hand
// (IsHandPlacedForBalancing) stay.
// With rules, every rule holds at the end (a division breaking them is
// repaired first). At the end the class lists, every listed student's
// ClassNo and the statistics (ComputeClassStats from FClasses) describe the
// result, which is never worse than the start by (rules broken, figures);
// with control.balance, by (rules broken, rank group counts out of bounds,
// figures with the spread's cost): the bands and the top students stay
// within ⌊k/N⌋..⌈k/N⌉ per class wherever the rules and the students placed
// by hand leave room (MakeBalanceReport names the rest).
// NeedsDivision unless FClasses, FClassAvg and FClassDev all have classCount
// entries. Safe to run off the GUI thread as long as nothing else touches
// the state meanwhile.
OptimiseResult OptimiseDivision(
    DivisionState& state, int classCount, const DivisionRules& rules, const OptimiseControl& control = {});

} // namespace fenban
