#pragma once

// School rules as the search keeps them: over items (class-list slots), with
// counts that tell at once whether an exchange would break one.

#include "engine/OptimiserModel.h"

#include <atomic>
#include <initializer_list>
#include <utility>
#include <vector>

namespace fenban::optimise {

// DivisionRules with every student named by its item; members outside the division are left out.
struct ItemRules {
    std::vector<std::vector<int>> together, apart, spread;
    std::vector<std::pair<int, int>> fixed; // item, class index
    // Rank groups: kept like spread categories where they can be, but a
    // broken one never makes the rules fail, and any rule outweighs them all.
    std::vector<std::vector<int>> soft;
    // Per soft category and class (category * classCount + class): the
    // bounds, when widened to a start that cannot keep ⌊k/N⌋..⌈k/N⌉; empty: those.
    std::vector<int> softLow, softHigh;
    bool empty() const { return together.empty() && apart.empty() && spread.empty() && fixed.empty(); }
};

// Keeps apart groups and spread categories while items trade places; the
// items of together groups and fixed items do not move in the search.
class RuleGuard {
public:
    RuleGuard() = default;
    RuleGuard(const Problem& problem, const ItemRules& rules, const std::vector<int>& cls);

    bool Active() const { return active_; }
    // Whether items i and j may trade places: no apart mate waits in the
    // other's class, and no spread category leaves its bounds.
    bool Allowed(const std::vector<int>& cls, int i, int j) const;
    // Whether items from[0..k) of one class may trade places with to[0..k)
    // of another, member by member, as one exchange: no apart mates meet and
    // no category leaves its bounds in either class.
    bool AllowsExchange(const std::vector<int>& cls, const int* from, const int* to, int k) const;
    // Whether the rules hold for the given items and the classes they stand in, after moves.
    bool HoldsFor(const std::vector<int>& cls, std::initializer_list<int> items) const;
    // Change in the number of broken apart pairs and spread excesses and shortfalls.
    int ViolationDelta(const std::vector<int>& cls, int i, int j) const;
    // Records that item i moved from class a to b and item j from b to a.
    void Swapped(int i, int j, int a, int b);
    // Broken rules, weighted so that one rule outweighs every soft category, and the soft part alone.
    int Violations(const std::vector<int>& cls) const;
    int SoftViolations() const;
    int CategoryCount() const { return static_cast<int>(weight_.size()); }
    // Whether one more student of the category may leave class from for class to, within the bounds.
    bool CanMove(int category, int from, int to) const
    {
        const std::size_t base = static_cast<std::size_t>(category) * static_cast<std::size_t>(classCount_);
        return count_[base + static_cast<std::size_t>(from)] > low_[base + static_cast<std::size_t>(from)]
            && count_[base + static_cast<std::size_t>(to)] < high_[base + static_cast<std::size_t>(to)];
    }
    bool HasSoft() const { return hardCategories_ < CategoryCount(); }
    // Whether item i leaving for class c may mend something: it has an apart
    // mate in its class, or one of its categories is too full where it
    // stands or too short in c, with room for the move.
    bool MayMend(const std::vector<int>& cls, int i, int c) const;
    // Per soft category and class: the bounds widened to take in the counts as they stand.
    void WidenedSoftBounds(std::vector<int>& low, std::vector<int>& high) const;
    // Items that take part in a broken apart pair or stand in a class with too many or too few of their category.
    std::vector<int> Offenders(const std::vector<int>& cls) const;

private:
    int Penalty(int category, int c, int count) const;
    bool Shared(int category, int item) const;

    bool active_ = false;
    int classCount_ = 0;
    int ruleWeight_ = 1; // of a broken rule: above any change of the soft categories by one exchange
    int hardCategories_ = 0; // the spread categories come first, then the soft ones
    std::vector<std::vector<int>> mates_; // per item: its apart mates
    std::vector<std::vector<int>> categories_; // per item: its spread and soft categories
    std::vector<int> weight_; // per category
    std::vector<int> low_, high_; // category * classCount + class: floor(k/N), ceil(k/N) or wider
    std::vector<int> count_; // category * classCount + class
    std::vector<std::vector<int>> apartGroups_, categoryItems_;
};

// Trades places of items until every rule holds, starting from cls and pos:
// fixed items into their classes, each together group into one class, then
// apart groups and spread categories by a descent on the broken ones.
// frozen: in, the items that may not move; out, also the fixed items and
// the members of together groups. False when no such division was found,
// or when cancel was set meanwhile (looked at offender by offender).
bool RepairRules(const Problem& problem, const ItemRules& rules, std::vector<int>& cls, std::vector<int>& pos,
    std::vector<char>& frozen, Rng& rng, const std::atomic<bool>* cancel = nullptr);

} // namespace fenban::optimise
