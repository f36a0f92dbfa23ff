#include "engine/OptimiserRules.h"

#include "engine/UnionFind.h"

#include <algorithm>
#include <tuple>

namespace fenban::optimise {

namespace {

std::size_t At(int index)
{
    return static_cast<std::size_t>(index);
}

// A broken rule weighs more than all the soft categories one exchange can mend.
constexpr int SoftOutweighed = 1024;
constexpr int IdleRoundsForSoft = 10;
// The chains that mend rank counts may look at this many exchanges per
// student in all: where hand-placed students force the counts (thousands of
// offenders at 5,000 students), every try fails and each costs seconds.
constexpr long long ChainWorkPerItem = 20000;

} // namespace

RuleGuard::RuleGuard(const Problem& problem, const ItemRules& rules, const std::vector<int>& cls)
    : active_(!rules.apart.empty() || !rules.spread.empty() || !rules.soft.empty())
    , classCount_(problem.classCount)
    , ruleWeight_(rules.soft.empty() ? 1 : SoftOutweighed)
    , hardCategories_(static_cast<int>(rules.spread.size()))
    , mates_(At(problem.itemCount))
    , categories_(At(problem.itemCount))
    , apartGroups_(rules.apart)
    , categoryItems_(rules.spread)
{
    categoryItems_.insert(categoryItems_.end(), rules.soft.begin(), rules.soft.end());
    for (const std::vector<int>& group : rules.apart)
        for (const int i : group)
            for (const int j : group)
                if (i != j)
                    mates_[At(i)].push_back(j);
    const int n = std::max(classCount_, 1);
    const auto classes = At(classCount_);
    for (std::size_t c = 0; c < categoryItems_.size(); ++c) {
        const bool soft = c >= rules.spread.size();
        const auto k = static_cast<int>(categoryItems_[c].size());
        weight_.push_back(soft ? 1 : ruleWeight_);
        for (std::size_t room = 0; room < classes; ++room) {
            const std::size_t widened = (c - rules.spread.size()) * classes + room;
            const bool wide = soft && widened < rules.softLow.size();
            low_.push_back(wide ? rules.softLow[widened] : k / n);
            high_.push_back(wide ? rules.softHigh[widened] : (k + n - 1) / n);
        }
        for (const int i : categoryItems_[c])
            categories_[At(i)].push_back(static_cast<int>(c));
    }
    count_.assign(categoryItems_.size() * classes, 0);
    for (std::size_t c = 0; c < categoryItems_.size(); ++c)
        for (const int i : categoryItems_[c])
            ++count_[c * classes + At(cls[At(i)])];
}

bool RuleGuard::Shared(int category, int item) const
{
    const std::vector<int>& list = categories_[At(item)];
    return std::find(list.begin(), list.end(), category) != list.end();
}

int RuleGuard::Penalty(int category, int c, int count) const
{
    const std::size_t at = At(category) * At(classCount_) + At(c);
    return weight_[At(category)] * (std::max(0, count - high_[at]) + std::max(0, low_[at] - count));
}

bool RuleGuard::Allowed(const std::vector<int>& cls, int i, int j) const
{
    if (!active_)
        return true;
    const int a = cls[At(i)];
    const int b = cls[At(j)];
    for (const int m : mates_[At(i)])
        if (m != j && cls[At(m)] == b)
            return false;
    for (const int m : mates_[At(j)])
        if (m != i && cls[At(m)] == a)
            return false;
    const auto fits = [&](int category, int from, int to) {
        const std::size_t base = At(category) * At(classCount_);
        return count_[base + At(from)] - 1 >= low_[base + At(from)]
            && count_[base + At(to)] + 1 <= high_[base + At(to)];
    };
    for (const int category : categories_[At(i)])
        if (!Shared(category, j) && !fits(category, a, b))
            return false;
    for (const int category : categories_[At(j)])
        if (!Shared(category, i) && !fits(category, b, a))
            return false;
    return true;
}

bool RuleGuard::AllowsExchange(const std::vector<int>& cls, const int* from, const int* to, int k) const
{
    if (!active_)
        return true;
    const int a = cls[At(from[0])];
    const int b = cls[At(to[0])];
    const auto among = [k](const int* list, int item) { return std::find(list, list + k, item) != list + k; };
    // Where a student stands after the exchange.
    const auto after = [&](int item) { return among(from, item) ? b : among(to, item) ? a : cls[At(item)]; };
    for (int n = 0; n < k; ++n) {
        for (const int m : mates_[At(from[n])])
            if (after(m) == b)
                return false;
        for (const int m : mates_[At(to[n])])
            if (after(m) == a)
                return false;
    }
    // Net change of each category in class a (class b changes by the opposite).
    std::pair<int, int> change[64];
    int changes = 0;
    const auto add = [&](int item, int step) {
        for (const int category : categories_[At(item)]) {
            int at = 0;
            while (at < changes && change[at].first != category)
                ++at;
            if (at == changes) {
                if (changes == 64)
                    return false;
                change[changes++] = {category, 0};
            }
            change[at].second += step;
        }
        return true;
    };
    for (int n = 0; n < k; ++n)
        if (!add(from[n], -1) || !add(to[n], 1))
            return false;
    for (int at = 0; at < changes; ++at) {
        const auto [category, d] = change[at];
        if (d == 0)
            continue;
        const std::size_t base = At(category) * At(classCount_);
        const int na = count_[base + At(a)] + d, nb = count_[base + At(b)] - d;
        if ((d < 0 && na < low_[base + At(a)]) || (d > 0 && na > high_[base + At(a)])
            || (d > 0 && nb < low_[base + At(b)]) || (d < 0 && nb > high_[base + At(b)]))
            return false;
    }
    return true;
}

bool RuleGuard::HoldsFor(const std::vector<int>& cls, std::initializer_list<int> items) const
{
    if (!active_)
        return true;
    for (const int i : items) {
        for (const int m : mates_[At(i)])
            if (cls[At(m)] == cls[At(i)])
                return false;
        for (const int category : categories_[At(i)])
            for (const int j : items) {
                const std::size_t at = At(category) * At(classCount_) + At(cls[At(j)]);
                if (count_[at] < low_[at] || count_[at] > high_[at])
                    return false;
            }
    }
    return true;
}

int RuleGuard::ViolationDelta(const std::vector<int>& cls, int i, int j) const
{
    const int a = cls[At(i)];
    const int b = cls[At(j)];
    int delta = 0;
    const auto apart = [&](int moving, int other, int from, int to) {
        for (const int m : mates_[At(moving)]) {
            if (m == other)
                continue;
            if (cls[At(m)] == from)
                delta -= ruleWeight_;
            else if (cls[At(m)] == to)
                delta += ruleWeight_;
        }
    };
    apart(i, j, a, b);
    apart(j, i, b, a);
    const auto spread = [&](int category, int from, int to) {
        const std::size_t base = At(category) * At(classCount_);
        const int f = count_[base + At(from)];
        const int t = count_[base + At(to)];
        delta += Penalty(category, from, f - 1) - Penalty(category, from, f) + Penalty(category, to, t + 1)
            - Penalty(category, to, t);
    };
    for (const int category : categories_[At(i)])
        if (!Shared(category, j))
            spread(category, a, b);
    for (const int category : categories_[At(j)])
        if (!Shared(category, i))
            spread(category, b, a);
    return delta;
}

void RuleGuard::Swapped(int i, int j, int a, int b)
{
    const std::size_t n = At(classCount_);
    for (const int category : categories_[At(i)])
        if (!Shared(category, j)) {
            --count_[At(category) * n + At(a)];
            ++count_[At(category) * n + At(b)];
        }
    for (const int category : categories_[At(j)])
        if (!Shared(category, i)) {
            --count_[At(category) * n + At(b)];
            ++count_[At(category) * n + At(a)];
        }
}

int RuleGuard::Violations(const std::vector<int>& cls) const
{
    int total = 0;
    for (const std::vector<int>& group : apartGroups_)
        for (std::size_t x = 0; x < group.size(); ++x)
            for (std::size_t y = x + 1; y < group.size(); ++y)
                if (cls[At(group[x])] == cls[At(group[y])])
                    total += ruleWeight_;
    for (std::size_t c = 0; c < weight_.size(); ++c)
        for (std::size_t k = 0; k < At(classCount_); ++k)
            total += Penalty(static_cast<int>(c), static_cast<int>(k), count_[c * At(classCount_) + k]);
    return total;
}

bool RuleGuard::MayMend(const std::vector<int>& cls, int i, int c) const
{
    const int a = cls[At(i)];
    for (const int m : mates_[At(i)])
        if (cls[At(m)] == a)
            return true;
    for (const int category : categories_[At(i)]) {
        const std::size_t base = At(category) * At(classCount_);
        const int from = count_[base + At(a)], to = count_[base + At(c)];
        if ((from > high_[base + At(a)] && to < high_[base + At(c)])
            || (to < low_[base + At(c)] && from > low_[base + At(a)]))
            return true;
    }
    return false;
}

int RuleGuard::SoftViolations() const
{
    int total = 0;
    for (auto c = At(hardCategories_); c < weight_.size(); ++c)
        for (std::size_t k = 0; k < At(classCount_); ++k)
            total += Penalty(static_cast<int>(c), static_cast<int>(k), count_[c * At(classCount_) + k]);
    return total;
}

void RuleGuard::WidenedSoftBounds(std::vector<int>& low, std::vector<int>& high) const
{
    low.clear();
    high.clear();
    for (std::size_t at = At(hardCategories_) * At(classCount_); at < count_.size(); ++at) {
        low.push_back(std::min(low_[at], count_[at]));
        high.push_back(std::max(high_[at], count_[at]));
    }
}

std::vector<int> RuleGuard::Offenders(const std::vector<int>& cls) const
{
    std::vector<int> items;
    for (const std::vector<int>& group : apartGroups_)
        for (const int i : group)
            for (const int j : group)
                if (i != j && cls[At(i)] == cls[At(j)]) {
                    items.push_back(i);
                    break;
                }
    for (std::size_t c = 0; c < categoryItems_.size(); ++c) {
        bool broken = false;
        for (std::size_t k = 0; k < At(classCount_) && !broken; ++k)
            broken = Penalty(static_cast<int>(c), static_cast<int>(k), count_[c * At(classCount_) + k]) > 0;
        // A class short of a category needs one of its students from elsewhere: all of them may help.
        if (broken)
            items.insert(items.end(), categoryItems_[c].begin(), categoryItems_[c].end());
    }
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    return items;
}

namespace {

// The division while it is being repaired: classes, slots and the items of
// each class, kept together.
struct Placement {
    const Problem& problem;
    std::vector<int>& cls;
    std::vector<int>& pos;
    std::vector<std::vector<int>> members; // per class

    Placement(const Problem& p, std::vector<int>& classes, std::vector<int>& slots)
        : problem(p)
        , cls(classes)
        , pos(slots)
        , members(At(p.classCount))
    {
        for (int i = 0; i < p.itemCount; ++i)
            members[At(cls[At(i)])].push_back(i);
    }

    void Swap(int i, int j, RuleGuard& guard)
    {
        const int a = cls[At(i)];
        const int b = cls[At(j)];
        guard.Swapped(i, j, a, b);
        std::replace(members[At(a)].begin(), members[At(a)].end(), i, j);
        std::replace(members[At(b)].begin(), members[At(b)].end(), j, i);
        std::swap(cls[At(i)], cls[At(j)]);
        std::swap(pos[At(i)], pos[At(j)]);
    }
};

bool PlaceFixed(Placement& place, const ItemRules& rules, std::vector<char>& frozen, RuleGuard& guard)
{
    const Problem& p = place.problem;
    for (const auto& [i, target] : rules.fixed) {
        if (place.cls[At(i)] != target) {
            if (frozen[At(i)])
                return false;
            int best = -1, bestDelta = 0;
            for (const int j : place.members[At(target)]) {
                if (frozen[At(j)] || !p.movable[At(j)] || p.group[At(j)] != p.group[At(i)])
                    continue;
                const int delta = guard.ViolationDelta(place.cls, i, j);
                if (best < 0 || delta < bestDelta) {
                    best = j;
                    bestDelta = delta;
                }
            }
            if (best < 0)
                return false;
            place.Swap(i, best, guard);
        }
        frozen[At(i)] = 1;
    }
    return true;
}

bool PlaceTogether(Placement& place, const ItemRules& rules, std::vector<char>& frozen, RuleGuard& guard)
{
    const Problem& p = place.problem;
    std::vector<std::vector<int>> mates(At(p.itemCount)), categories(At(p.itemCount));
    for (const std::vector<int>& group : rules.apart)
        for (const int i : group)
            for (const int j : group)
                if (i != j)
                    mates[At(i)].push_back(j);
    // Spread categories first, then the rank groups.
    std::vector<const std::vector<int>*> lists;
    for (const std::vector<int>& list : rules.spread)
        lists.push_back(&list);
    for (const std::vector<int>& list : rules.soft)
        lists.push_back(&list);
    for (std::size_t c = 0; c < lists.size(); ++c)
        for (const int i : *lists[c])
            categories[At(i)].push_back(static_cast<int>(c));
    // Whether class c can take the group without breaking a rule among the
    // students that no longer move: an apart mate there, a category full;
    // withSoft: a rank group full counts as well.
    const auto fitsAmongFrozen
        = [&](const std::vector<int>& group, const std::vector<char>& inGroup, int c, bool withSoft) {
              std::vector<int> load(lists.size(), 0);
              for (const int j : place.members[At(c)])
                  if (frozen[At(j)] && !inGroup[At(j)])
                      for (const int category : categories[At(j)])
                          ++load[At(category)];
              for (const int i : group) {
                  for (const int m : mates[At(i)])
                      if (frozen[At(m)] && place.cls[At(m)] == c)
                          return false;
                  for (const int category : categories[At(i)])
                      ++load[At(category)];
              }
              const std::size_t checked = withSoft ? lists.size() : rules.spread.size();
              for (std::size_t category = 0; category < checked; ++category) {
                  const auto k = static_cast<int>(lists[category]->size());
                  if (load[category] > (k + p.classCount - 1) / p.classCount)
                      return false;
              }
              return true;
          };
    for (const std::vector<int>& group : MergedGroups(rules.together, At(p.itemCount), [](int) { return true; })) {
        std::vector<char> inGroup(At(p.itemCount), 0);
        int anchor = -1;
        for (const int i : group) {
            inGroup[At(i)] = 1;
            if (frozen[At(i)]) {
                if (anchor >= 0 && anchor != place.cls[At(i)])
                    return false;
                anchor = place.cls[At(i)];
            }
        }
        // Candidate classes: the anchor's, or those holding most of the group first.
        std::vector<std::pair<int, int>> order; // (-members present, class)
        for (int c = 0; c < p.classCount; ++c) {
            if (anchor >= 0 && c != anchor)
                continue;
            int present = 0;
            for (const int i : group)
                present += place.cls[At(i)] == c;
            order.emplace_back(-present, c);
        }
        std::sort(order.begin(), order.end());
        const auto partnersIn = [&](int c, int item) {
            std::vector<int> list;
            for (const int j : place.members[At(c)])
                if (!frozen[At(j)] && !inGroup[At(j)] && p.movable[At(j)] && p.group[At(j)] == p.group[At(item)])
                    list.push_back(j);
            return list;
        };
        // A class where the rank groups have room too, else any where the rules hold.
        int target = -1;
        for (int pass = rules.soft.empty() ? 1 : 0; pass < 2 && target < 0; ++pass)
            for (const auto& [present, c] : order) {
                bool room = true;
                for (int g = 0; g < p.groupCount && room; ++g) {
                    int need = 0, first = -1;
                    for (const int i : group)
                        if (p.group[At(i)] == g && place.cls[At(i)] != c) {
                            ++need;
                            first = i;
                        }
                    room = need == 0 || (p.movable[At(first)] && static_cast<int>(partnersIn(c, first).size()) >= need);
                }
                for (const int i : group)
                    room = room && (place.cls[At(i)] == c || (p.movable[At(i)] && !frozen[At(i)]));
                if (room && fitsAmongFrozen(group, inGroup, c, pass == 0)) {
                    target = c;
                    break;
                }
            }
        if (target < 0)
            return false;
        for (const int i : group) {
            if (place.cls[At(i)] != target) {
                int best = -1, bestDelta = 0;
                for (const int j : partnersIn(target, i)) {
                    const int delta = guard.ViolationDelta(place.cls, i, j);
                    if (best < 0 || delta < bestDelta) {
                        best = j;
                        bestDelta = delta;
                    }
                }
                place.Swap(i, best, guard);
            }
        }
        for (const int i : group)
            frozen[At(i)] = 1;
    }
    return true;
}

// With rank groups: a chain of up to three exchanges that together mend
// what no single one does. A top student moves to the class lacking one, and
// the next exchanges put right what the first upset (a top 2N count here, a
// band there). Made when the chain lowers the violations; true if one was.
// Each exchange looked at counts one in work; none is made beyond the budget.
bool MendByChain(
    Placement& place, const std::vector<char>& frozen, RuleGuard& guard, int& broken, long long& work, long long budget)
{
    const Problem& p = place.problem;
    const auto free = [&](int i) { return !frozen[At(i)] && p.movable[At(i)]; };
    using Exchange = std::tuple<int, int, int>; // delta, item, partner
    // The `most` best exchanges of an offender with a student where its move
    // mends something, leaving out the students already moved.
    const auto best = [&](const std::vector<int>& moved, std::size_t most) {
        std::vector<Exchange> found;
        const auto taken = [&](int i) { return std::find(moved.begin(), moved.end(), i) != moved.end(); };
        for (const int i : guard.Offenders(place.cls)) {
            if (!free(i) || taken(i))
                continue;
            for (int c = 0; c < p.classCount; ++c) {
                ++work;
                if (c == place.cls[At(i)] || !guard.MayMend(place.cls, i, c))
                    continue;
                work += static_cast<long long>(place.members[At(c)].size());
                for (const int j : place.members[At(c)])
                    if (free(j) && !taken(j) && p.group[At(j)] == p.group[At(i)])
                        found.emplace_back(guard.ViolationDelta(place.cls, i, j), i, j);
            }
        }
        const std::size_t kept = std::min(most, found.size());
        std::partial_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(kept), found.end());
        found.resize(kept);
        return found;
    };
    constexpr std::size_t Firsts = 64, Seconds = 6;
    for (const auto& [first, i, j] : best({}, Firsts)) {
        if (first >= 2 * SoftOutweighed || work > budget) // through one broken rule at most, mended by the next
            break;
        place.Swap(i, j, guard);
        for (const auto& [second, k, l] : best({i, j}, Seconds)) {
            if (work > budget)
                break;
            if (first + second < 0) {
                place.Swap(k, l, guard);
                broken += first + second;
                return true;
            }
            place.Swap(k, l, guard);
            const std::vector<Exchange> third = best({i, j, k, l}, 1);
            if (!third.empty() && first + second + std::get<0>(third[0]) < 0) {
                place.Swap(std::get<1>(third[0]), std::get<2>(third[0]), guard);
                broken += first + second + std::get<0>(third[0]);
                return true;
            }
            place.Swap(k, l, guard); // back
        }
        place.Swap(i, j, guard); // back
    }
    return false;
}

// Descent on the broken apart pairs and spread bounds: each offender makes
// the exchange that mends most; when none mends, a few exchanges that break
// nothing more shake the division.
bool MendRest(Placement& place, std::vector<char>& frozen, RuleGuard& guard, Rng& rng, const std::atomic<bool>* cancel)
{
    const Problem& p = place.problem;
    int broken = guard.Violations(place.cls);
    // Soft categories alone left: a few rounds that mend nothing end the descent.
    int idle = 0;
    long long chainWork = 0;
    const long long chainBudget = ChainWorkPerItem * p.itemCount;
    for (int attempt = 0; broken > 0 && attempt < 200 && idle < IdleRoundsForSoft; ++attempt) {
        bool mended = false;
        for (const int i : guard.Offenders(place.cls)) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return false;
            if (frozen[At(i)] || !p.movable[At(i)])
                continue;
            int best = -1, bestDelta = 0;
            for (int c = 0; c < p.classCount; ++c) {
                // With rank groups, only classes where the offender's own move mends something.
                if (c == place.cls[At(i)] || (guard.HasSoft() && !guard.MayMend(place.cls, i, c)))
                    continue;
                for (const int j : place.members[At(c)]) {
                    if (frozen[At(j)] || !p.movable[At(j)] || p.group[At(j)] != p.group[At(i)])
                        continue;
                    const int delta = guard.ViolationDelta(place.cls, i, j);
                    if (delta < bestDelta) {
                        best = j;
                        bestDelta = delta;
                    }
                }
            }
            if (best >= 0) {
                place.Swap(i, best, guard);
                broken += bestDelta;
                mended = true;
            }
        }
        if (mended)
            continue;
        if (broken == guard.SoftViolations()) {
            if (guard.HasSoft() && MendByChain(place, frozen, guard, broken, chainWork, chainBudget))
                continue;
            ++idle;
        }
        const std::vector<int> offenders = guard.Offenders(place.cls);
        for (int kick = 0; kick < 20 && !offenders.empty(); ++kick) {
            const int i = offenders[At(rng.Below(static_cast<int>(offenders.size())))];
            const int j = rng.Below(p.itemCount);
            if (frozen[At(i)] || frozen[At(j)] || !p.movable[At(i)] || !p.movable[At(j)]
                || p.group[At(i)] != p.group[At(j)] || place.cls[At(i)] == place.cls[At(j)])
                continue;
            const int delta = guard.ViolationDelta(place.cls, i, j);
            if (delta <= 0) {
                place.Swap(i, j, guard);
                broken += delta;
            }
        }
    }
    return broken == guard.SoftViolations();
}

} // namespace

bool RepairRules(const Problem& problem, const ItemRules& rules, std::vector<int>& cls, std::vector<int>& pos,
    std::vector<char>& frozen, Rng& rng, const std::atomic<bool>* cancel)
{
    Placement place(problem, cls, pos);
    RuleGuard guard(problem, rules, cls);
    return PlaceFixed(place, rules, frozen, guard) && PlaceTogether(place, rules, frozen, guard)
        && MendRest(place, frozen, guard, rng, cancel);
}

} // namespace fenban::optimise
