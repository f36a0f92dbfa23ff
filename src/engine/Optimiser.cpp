#include "engine/Optimiser.h"

#include "engine/OptimiserModel.h"
#include "engine/OptimiserRules.h"
#include "engine/RankGroups.h"
#include "engine/Statistics.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace fenban {

using optimise::Chain;
using optimise::ItemRules;
using optimise::Problem;
using optimise::Rng;
using optimise::RuleGuard;

namespace {

std::size_t At(int index)
{
    return static_cast<std::size_t>(index);
}

// The search's settings, measured on school-like grades (see docs/optimiser.md).
constexpr double AnnealShare = 0.1; // of the steps, for the annealing before the descents
constexpr double StartFactor = 0.3; // start temperature: this share of the mean uphill step
constexpr double EndTemperature = 0.5; // hundredths
constexpr double NearShare = 0.5; // annealing moves between near neighbours ...
constexpr double DirectedShare = 0.3; // ... of which these aim at evening out the two classes
constexpr int Neighbours = 16;
constexpr int Kicks = 3; // random exchanges between two descents
constexpr int Keep = 6; // sets tried exactly per pair of classes
// The polish: the last 30 % of the steps go on from the best division with a
// part of a deviation beyond 0.12 weighing ten times more, and each column's
// gap between its highest and lowest class average beyond 0.24 ten times per
// hundredth; in the search for sets, columns where either class lies beyond
// 0.12 count five times (see docs/optimiser.md).
constexpr double PolishShare = 0.3;
constexpr long long PolishSteepFrom = 12;
constexpr long long PolishSteepWeight = 10;
constexpr long long PolishGapFrom = 24;
constexpr long long PolishGapWeight = 10;
constexpr double PolishColumnWeight = 4;
// Beyond this many classes the gaps are left out of the polish: each set
// exchange measured looks at every class, and at 20,000/400 the gap term
// narrowed nothing (0.41 either way) for about a fifth more time.
constexpr int MostClassesForPolishGaps = 100;

Chain::Polish PolishFor(int classCount)
{
    return {true, PolishSteepFrom, PolishSteepWeight, PolishGapFrom,
        classCount <= MostClassesForPolishGaps ? PolishGapWeight : 0};
}
// After the polish the largest gap alone is narrowed, on at most this share of
// the steps more (see docs/optimiser.md).
constexpr double NarrowShare = 0.25;
constexpr int NarrowTries = 64; // exchanges weighed exactly per class at an end
std::uint64_t NarrowSteps(std::uint64_t budget, int classCount)
{
    const bool narrowed = classCount >= 3 && classCount <= MostClassesForPolishGaps;
    return narrowed ? static_cast<std::uint64_t>(NarrowShare * static_cast<double>(budget)) : 0;
}
// The search weighs the part of a deviation beyond 0.12 three times: the
// largest gap between class averages falls by a sixth for a total 5 % higher.
// With many classes and no rank groups it counts twice: at 5,000/100 the gap
// falls from 0.52 to 0.44 for the same total (three times cost the total
// 3 %). With rank groups three times brings it from 0.44 to 0.40 for 1.5 %.
constexpr long long OutlierFrom = 12;
constexpr long long OutlierWeight = 2;
constexpr long long ManyClassesOutlierWeight = 1;
constexpr int MostClassesForWeights = 30;
constexpr double SpreadEffort = 1.25; // times the steps with spread rules
constexpr int MostClassesForTriples = 30; // beyond, sets of three cost more than they bring
// The same with rank groups alone: beyond, too slow for the time aimed at.
// Above 16 classes they cost more per step, and the search gets twice the steps
// (1.5 times until the narrowing came; twice brings every 1,200/24 grade within 0.30).
constexpr int MostClassesForSoftTriples = 30;
constexpr int MostClassesForPlainSoftTriples = 16;
constexpr double WideTripleEffort = 2.0;
// Rank groups without spread rules up to that many classes: the steps the
// time aimed at allows (5 % lower totals at 600/12 over four seeds).
constexpr double FewClassesSoftEffort = 1.3;
constexpr int Partners = 12; // classes searched with each class when there are many
constexpr std::size_t MostShifts = 64; // key differences searched per pair of classes with spread rules
constexpr std::size_t MostSoftShifts = 32; // the same with rank groups: more cost time and found nothing more
constexpr std::uint64_t CheckEvery = 4096; // steps between looks at the cancel flag
constexpr double SetupShare = 0.02; // of the progress, for the repair and the neighbours before the search
// With rank balance: a class's standard deviation of 总分 costs nothing within
// this share of the grade's, beyond it this many hundredths per point.
constexpr double SpreadTolerance = 0.035;
constexpr double SpreadCostPerPoint = 400;

struct ChainOutcome {
    BalanceFigures best;
    std::vector<int> cls, pos;
    std::uint64_t steps = 0;
};

// One chain of the search: annealing over single exchanges, then descents by
// double exchanges from the best division found, each after a few random
// exchanges. Every move keeps the rules the guard watches.
class Search {
public:
    Search(const Problem& problem, const ItemRules& rules, const std::vector<int>& cls, const std::vector<int>& pos,
        std::uint64_t seed)
        : chain_(problem, cls, pos)
        , rules_(rules)
        , guard_(problem, rules, cls)
        , rng_(seed)
        , softCategories_(static_cast<int>(rules.soft.size()))
        , softInKey_(rules.spread.empty())
        , triples_((!rules.spread.empty() && problem.classCount <= MostClassesForTriples)
              || (!rules.soft.empty() && problem.classCount <= MostClassesForSoftTriples))
    {
        const auto groups = At(problem.groupCount);
        groupClasses_.resize(groups);
        for (int c = 0; c < problem.classCount; ++c)
            for (std::size_t g = 0; g < groups; ++g)
                if (!chain_.pool[At(c) * groups + g].empty())
                    groupClasses_[g].push_back(c);
        for (int i = 0; i < problem.itemCount; ++i)
            if (problem.movable[At(i)])
                movers_.push_back(i);
        for (std::size_t g = 0; g < groups; ++g)
            if (!groupClasses_[g].empty()) {
                const auto gender = At(problem.genderOf[g]);
                if (kin_.size() <= gender)
                    kin_.resize(gender + 1);
                kin_[gender].push_back(static_cast<int>(g));
            }
        // A set's key sums a code per member for its gender and each of its
        // categories: sets of equal keys have the same genders and the same
        // count of each category, whatever the members' own mix.
        std::uint64_t seedCodes = 0xC0DEULL;
        std::vector<std::uint64_t> genderCode(At(problem.groupCount));
        for (auto& code : genderCode)
            code = optimise::SplitMix(seedCodes);
        code_.resize(At(problem.itemCount));
        for (int i = 0; i < problem.itemCount; ++i)
            code_[At(i)] = genderCode[At(problem.genderOf[At(problem.group[At(i)])])];
        const auto genderOf = [&](int i) { return problem.genderOf[At(problem.group[At(i)])]; };
        for (const auto* list : {&rules.spread, &rules.soft})
            for (const std::vector<int>& category : *list) {
                categoryCode_.push_back(optimise::SplitMix(seedCodes));
                int gender = category.empty() ? -1 : genderOf(category[0]);
                for (const int i : category)
                    if (genderOf(i) != gender)
                        gender = -1;
                categoryGender_.push_back(gender);
                if (list == &rules.soft && !softInKey_)
                    continue;
                for (const int i : category)
                    code_[At(i)] += categoryCode_.back();
            }
        hardCategories_ = static_cast<int>(rules.spread.size());
    }

    // budget steps of search, then at most narrowSteps narrowing the largest gap.
    template <class Tick>
    ChainOutcome Run(std::uint64_t budget, std::uint64_t narrowSteps, const std::atomic<bool>* cancel, Tick&& tick)
    {
        ChainOutcome out {chain_.Figures(), chain_.cls, chain_.pos, 0};
        if (movers_.empty() || budget == 0)
            return out;
        const auto annealSteps = static_cast<std::uint64_t>(AnnealShare * static_cast<double>(budget));
        std::uint64_t step = Anneal(annealSteps, out, cancel, tick);
        if (step < annealSteps)
            return out;
        chain_.Reset(out.cls, out.pos);
        guard_ = RuleGuard(chain_.problem, rules_, chain_.cls);
        log_.clear();
        logged_ = true;
        // The last steps polish the best division for the gaps between class averages.
        const auto polishAt = static_cast<std::uint64_t>(static_cast<double>(budget) * (1.0 - PolishShare));
        step = Descend(polishAt, step, out, cancel, tick);
        if (step < budget && !(cancel && cancel->load(std::memory_order_relaxed))) {
            BackToBest(out);
            chain_.StartPolish(PolishFor(chain_.problem.classCount));
            outlierColumnWeight_ = PolishColumnWeight;
            out.best = chain_.Figures();
            for (auto& settled : settledAt_)
                settled.clear();
            step = Descend(budget, step, out, cancel, tick);
            if (narrowSteps > 0 && !(cancel && cancel->load(std::memory_order_relaxed)))
                step = Narrow(budget + narrowSteps, step, out, cancel, tick);
        }
        out.steps = step;
        return out;
    }

private:
    // Descents by exchanges of sets from the best division, each after a few
    // random exchanges, until the steps reach the budget; returns the steps.
    template <class Tick>
    std::uint64_t Descend(
        std::uint64_t budget, std::uint64_t step, ChainOutcome& out, const std::atomic<bool>* cancel, Tick& tick)
    {
        const auto stopped = [&] { return step >= budget || (cancel && cancel->load(std::memory_order_relaxed)); };
        while (!stopped()) {
            tick(step);
            step = SweepToRest(budget, step, out, cancel, tick);
            if (stopped())
                break;
            if (!(chain_.Figures() < out.best))
                BackToBest(out);
            for (int n = 0; n < Kicks; ++n) {
                const int i = movers_[At(rng_.Below(static_cast<int>(movers_.size())))];
                const int j = Near(i);
                if (j < 0 || !guard_.Allowed(chain_.cls, i, j))
                    continue;
                Touch(chain_.cls[At(i)]);
                Touch(chain_.cls[At(j)]);
                Swap(i, j);
            }
            step += Kicks;
        }
        return step;
    }

    // Sweeps of exchanges of two students, then of three where they are
    // searched, until a sweep finds nothing; returns the steps.
    template <class Tick>
    std::uint64_t SweepToRest(
        std::uint64_t budget, std::uint64_t step, ChainOutcome& out, const std::atomic<bool>* cancel, Tick& tick)
    {
        const auto stopped = [&] { return step >= budget || (cancel && cancel->load(std::memory_order_relaxed)); };
        for (bool improved = true; improved && !stopped();) {
            step += Exchanges(2, out, improved, step, budget, cancel, tick);
            if (!improved && triples_ && !stopped())
                step += Exchanges(3, out, improved, step, budget, cancel, tick);
        }
        return step;
    }

    void Swap(int i, int j)
    {
        guard_.Swapped(i, j, chain_.cls[At(i)], chain_.cls[At(j)]);
        chain_.ApplySwap(i, j);
        if (!logged_)
            return;
        log_.emplace_back(i, j);
        // A long way from the best (annealing): copying the whole division is cheaper.
        if (log_.size() > movers_.size()) {
            logged_ = false;
            log_.clear();
        }
    }

    // Keeps the division as the best when it is better: the exchanges since
    // the last best are made in the copy too, or it is copied whole.
    void Record(ChainOutcome& out)
    {
        const BalanceFigures now = chain_.Figures();
        if (!(now < out.best))
            return;
        out.best = now;
        if (logged_) {
            for (const auto& [i, j] : log_) {
                std::swap(out.cls[At(i)], out.cls[At(j)]);
                std::swap(out.pos[At(i)], out.pos[At(j)]);
            }
        } else {
            out.cls = chain_.cls;
            out.pos = chain_.pos;
        }
        log_.clear();
        logged_ = true;
    }

    // Goes back to the best division: the exchanges since are undone, last
    // first, and the pairs of classes they touched are searched again.
    void BackToBest(const ChainOutcome& out)
    {
        if (logged_) {
            logged_ = false;
            for (auto at = log_.rbegin(); at != log_.rend(); ++at) {
                Swap(at->first, at->second);
                Touch(chain_.cls[At(at->first)]);
                Touch(chain_.cls[At(at->second)]);
            }
        } else {
            for (int i = 0; i < chain_.problem.itemCount; ++i)
                if (chain_.cls[At(i)] != out.cls[At(i)]) {
                    Touch(chain_.cls[At(i)]);
                    Touch(out.cls[At(i)]);
                }
            chain_.Reset(out.cls, out.pos);
            guard_ = RuleGuard(chain_.problem, rules_, chain_.cls);
        }
        log_.clear();
        logged_ = true;
    }

    // A random student of a random other class, of item i's group (with
    // spread rules, half the time of any group of its gender).
    int Partner(int i, int& b)
    {
        const Problem& p = chain_.problem;
        auto g = At(p.group[At(i)]);
        if (!categoryCode_.empty() && rng_.Unit() < 0.5) {
            const std::vector<int>& kin = kin_[At(p.genderOf[g])];
            g = At(kin[At(rng_.Below(static_cast<int>(kin.size())))]);
            const int a = chain_.cls[At(i)];
            b = groupClasses_[g][At(rng_.Below(static_cast<int>(groupClasses_[g].size())))];
            const std::vector<int>& list = chain_.pool[At(b * p.groupCount) + g];
            return b == a || list.empty() ? -1 : list[At(rng_.Below(static_cast<int>(list.size())))];
        }
        const std::vector<int>& classes = groupClasses_[g];
        const int a = chain_.cls[At(i)];
        b = a;
        while (b == a)
            b = classes[At(rng_.Below(static_cast<int>(classes.size())))];
        const std::vector<int>& list = chain_.pool[At(b * p.groupCount) + g];
        return list[At(rng_.Below(static_cast<int>(list.size())))];
    }

    // A random near neighbour of item i, or -1 when it shares i's class.
    int Near(int i)
    {
        const auto& list = chain_.problem.neighbours[At(i)];
        if (list.empty())
            return -1;
        const int j = list[At(rng_.Below(static_cast<int>(list.size())))];
        return chain_.cls[At(j)] == chain_.cls[At(i)] ? -1 : j;
    }

    // The student of a random other class whose exchange with item i comes
    // nearest, by squared distance of the sums, to evening out the two classes.
    int Directed(int i)
    {
        const Problem& p = chain_.problem;
        int b = 0;
        Partner(i, b);
        const int a = chain_.cls[At(i)];
        if (b == a)
            return -1;
        const int dims = p.active;
        target_.resize(At(dims));
        const double* xi = &p.coords[At(i * dims)];
        for (int k = 0; k < dims; ++k)
            target_[At(k)] = xi[k] + 0.5 * (chain_.Residual(b, k) - chain_.Residual(a, k));
        int best = -1;
        double nearest = 0;
        for (const int j : chain_.pool[At(b * p.groupCount + p.group[At(i)])]) {
            const double* xj = &p.coords[At(j * dims)];
            double d = 0;
            for (int k = 0; k < dims; ++k)
                d += (xj[k] - target_[At(k)]) * (xj[k] - target_[At(k)]);
            if (best < 0 || d < nearest) {
                best = j;
                nearest = d;
            }
        }
        return best;
    }

    template <class Tick>
    std::uint64_t Anneal(std::uint64_t steps, ChainOutcome& out, const std::atomic<bool>* cancel, Tick& tick)
    {
        const auto movers = static_cast<int>(movers_.size());
        double uphill = 0;
        int count = 0;
        for (int n = 0; n < 2000; ++n) {
            int b = 0;
            const int i = movers_[At(rng_.Below(movers))];
            const int j = Partner(i, b);
            if (j < 0)
                continue;
            const auto d = static_cast<double>(chain_.SwapDelta(i, j));
            if (d > 0) {
                uphill += d;
                ++count;
            }
        }
        const double t0 = std::max(StartFactor * (count ? uphill / count : 1.0), EndTemperature);
        const double ratio = std::log(EndTemperature / t0);
        double temperature = t0;
        std::uint64_t step = 0;
        for (; step < steps; ++step) {
            if (step % CheckEvery == 0) {
                if (cancel && cancel->load(std::memory_order_relaxed))
                    break;
                tick(step);
                temperature = t0 * std::exp(ratio * static_cast<double>(step) / static_cast<double>(steps));
            }
            const int i = movers_[At(rng_.Below(movers))];
            const double kind = rng_.Unit();
            int b = 0;
            const int j = kind < DirectedShare ? Directed(i) : kind < NearShare ? Near(i) : Partner(i, b);
            if (j < 0)
                continue;
            const auto delta = static_cast<double>(chain_.SwapDelta(i, j));
            if (delta > 0 && rng_.Unit() >= std::exp(-delta / temperature))
                continue;
            if (!guard_.Allowed(chain_.cls, i, j))
                continue;
            Swap(i, j);
            if (chain_.Chosen() <= out.best.total)
                Record(out);
        }
        return step;
    }

    // A set of students of one class: its members, the sum of their scores
    // per column and its key, the sorted groups of the members (only sets of
    // equal keys trade places, member by member in group order).
    struct Sets {
        int size = 0;
        std::vector<int> items; // size per set, in group order
        std::vector<double> sums; // dims per set
        std::vector<long long> keys;

        void Clear(int k)
        {
            size = k;
            items.clear();
            sums.clear();
            keys.clear();
        }
        std::size_t Count() const { return keys.size(); }
    };

    // Every set of k students of the list (k = 2 or 3), members in group order.
    void MakeSets(const std::vector<int>& list, int k, Sets& sets) const
    {
        const Problem& p = chain_.problem;
        const int dims = p.active;
        sets.Clear(k);
        std::vector<int> members(At(k));
        const auto add = [&] {
            // Members by gender, so that sets of equal keys pair them member by member.
            std::sort(members.begin(), members.end(), [&](int x, int y) {
                const int gx = p.genderOf[At(p.group[At(x)])], gy = p.genderOf[At(p.group[At(y)])];
                return gx < gy
                    || (gx == gy && (p.group[At(x)] < p.group[At(y)] || (p.group[At(x)] == p.group[At(y)] && x < y)));
            });
            std::uint64_t key = 0;
            for (const int i : members) {
                key += code_[At(i)];
                sets.items.push_back(i);
            }
            sets.keys.push_back(static_cast<long long>(key));
            for (int c = 0; c < dims; ++c) {
                double sum = 0;
                for (const int i : members)
                    sum += p.coords[At(i * dims + c)];
                sets.sums.push_back(sum);
            }
        };
        const std::size_t n = list.size();
        for (std::size_t u = 0; u < n; ++u)
            for (std::size_t v = u + 1; v < n; ++v) {
                if (k == 2) {
                    members = {list[u], list[v]};
                    add();
                    continue;
                }
                for (std::size_t w = v + 1; w < n; ++w) {
                    members = {list[u], list[v], list[w]};
                    add();
                }
            }
    }

    // Orders the sets by key, then along column m.
    static void SortAlong(Sets& sets, int dims, int m)
    {
        std::vector<std::size_t> order(sets.Count());
        for (std::size_t n = 0; n < order.size(); ++n)
            order[n] = n;
        const auto d = At(dims);
        std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
            if (sets.keys[x] != sets.keys[y])
                return sets.keys[x] < sets.keys[y];
            const double kx = sets.sums[x * d + At(m)], ky = sets.sums[y * d + At(m)];
            return kx < ky || (kx == ky && x < y);
        });
        Sets sorted;
        sorted.Clear(sets.size);
        const auto k = At(sets.size);
        for (const std::size_t n : order) {
            sorted.keys.push_back(sets.keys[n]);
            sorted.items.insert(sorted.items.end(), sets.items.begin() + static_cast<std::ptrdiff_t>(n * k),
                sets.items.begin() + static_cast<std::ptrdiff_t>((n + 1) * k));
            sorted.sums.insert(sorted.sums.end(), sets.sums.begin() + static_cast<std::ptrdiff_t>(n * d),
                sets.sums.begin() + static_cast<std::ptrdiff_t>((n + 1) * d));
        }
        sets = std::move(sorted);
    }

    // The sets of k students of class c, by key and along the widest column;
    // made again only when the class has changed since.
    const Sets& SetsOf(int c, int k, std::uint64_t& work)
    {
        const Problem& p = chain_.problem;
        auto& cache = cache_[At(k - 2)];
        auto& at = cachedAt_[At(k - 2)];
        if (cache.empty()) {
            cache.resize(At(p.classCount));
            at.assign(At(p.classCount), 0);
        }
        Sets& sets = cache[At(c)];
        if (at[At(c)] && stamp_[At(c)] < at[At(c)])
            return sets;
        list_.clear();
        for (int g = 0; g < p.groupCount; ++g)
            list_.insert(list_.end(), chain_.pool[At(c * p.groupCount + g)].begin(),
                chain_.pool[At(c * p.groupCount + g)].end());
        MakeSets(list_, k, sets);
        SortAlong(sets, p.active, p.mainDim);
        at[At(c)] = ++clock_;
        // Sets of three are many more to build and sort than the scan measures.
        work += sets.Count() * (k == 2 ? 3 : 10) / 2;
        return sets;
    }

    // Marks a class as changed since the pairs with it were last searched.
    void Touch(int c)
    {
        if (!stamp_.empty())
            stamp_[At(c)] = ++clock_;
    }

    // The pairs of classes to search (a < b, in order): all of them, or with
    // many classes, for each class the partners whose sums differ most from
    // its own; with very many, only for the classes changed since their last
    // visit, so that a sweep after a few exchanges costs little.
    void PairsToSearch(int k)
    {
        const Problem& p = chain_.problem;
        const int partners = std::min(p.classCount - 1, Partners);
        pairs_.clear();
        if (partners == p.classCount - 1) {
            for (int a = 0; a < p.classCount; ++a)
                for (int b = a + 1; b < p.classCount; ++b)
                    pairs_.emplace_back(a, b);
            return;
        }
        // Up to a few dozen classes every class chooses anew each sweep.
        const bool everyClass = p.classCount <= MostClassesForWeights;
        std::vector<std::uint64_t>& visited = visitedAt_[At(k - 2)];
        visited.resize(At(p.classCount), 0);
        std::vector<std::pair<double, int>> far;
        for (int a = 0; a < p.classCount; ++a) {
            if (!everyClass) {
                if (visited[At(a)] && stamp_[At(a)] < visited[At(a)])
                    continue;
                visited[At(a)] = ++clock_;
            }
            far.clear();
            for (int b = 0; b < p.classCount; ++b) {
                if (b == a)
                    continue;
                double d = 0;
                for (int c = 0; c < p.active; ++c) {
                    const double e = chain_.Residual(a, c) - chain_.Residual(b, c);
                    d += e * e;
                }
                far.emplace_back(-d, b);
            }
            std::partial_sort(far.begin(), far.begin() + partners, far.end());
            for (int n = 0; n < partners; ++n)
                pairs_.emplace_back(std::min(a, far[At(n)].second), std::max(a, far[At(n)].second));
        }
        std::sort(pairs_.begin(), pairs_.end());
        pairs_.erase(std::unique(pairs_.begin(), pairs_.end()), pairs_.end());
    }

    // One sweep of exchanges of sets: for each pair of classes, sets of k
    // students of one class trade places with sets of the other whose
    // members are of the same groups. Sets of the second class lie sorted by
    // key and along the widest column, so the scan for each set of the first
    // stops where that column alone is too far from the exchange that would
    // even the two classes out; the few nearest are tried exactly and the
    // best that lowers the total is made. Returns the work done in steps.
    template <class Tick>
    std::uint64_t Exchanges(int k, ChainOutcome& out, bool& improved, std::uint64_t step, std::uint64_t budget,
        const std::atomic<bool>* cancel, Tick& tick)
    {
        const Problem& p = chain_.problem;
        const int dims = p.active;
        const auto m = At(p.mainDim);
        const auto classes = At(p.classCount);
        auto& settledAt = settledAt_[At(k - 2)];
        if (settledAt.size() != classes * classes) {
            settledAt.assign(classes * classes, 0);
            stamp_.resize(classes, 0);
        }
        improved = false;
        std::uint64_t work = 1;
        PairsToSearch(k);
        for (const auto& [a, b] : pairs_) {
            // Budget and cancel flag are looked at between pairs: a sweep may take long.
            if (step + work >= budget || (cancel && cancel->load(std::memory_order_relaxed)))
                break;
            if ((step + work) / CheckEvery != reported_) {
                reported_ = (step + work) / CheckEvery;
                tick(step + work);
            }
            const std::size_t pair = At(a) * classes + At(b);
            // A pair that found nothing and has not changed since is passed over.
            std::uint64_t& settled = settledAt[pair];
            if (settled && stamp_[At(a)] < settled && stamp_[At(b)] < settled)
                continue;
            setsA_ = &SetsOf(a, k, work);
            setsB_ = &SetsOf(b, k, work);
            if (setsA_->Count() == 0 || setsB_->Count() == 0) {
                settled = ++clock_;
                continue;
            }
            Shifts(a, b);
            target_.resize(At(dims));
            for (int c = 0; c < dims; ++c)
                target_[At(c)] = 0.5 * (chain_.Residual(b, c) - chain_.Residual(a, c));
            columnWeight_.assign(At(dims), 1.0);
            if (chain_.polish.on && outlierColumnWeight_ > 0)
                for (int c = 0; c < dims; ++c)
                    if (chain_.dev[At(a * dims + c)] > chain_.polish.steepFrom
                        || chain_.dev[At(b * dims + c)] > chain_.polish.steepFrom)
                        columnWeight_[At(c)] += outlierColumnWeight_;
            const std::size_t scanned = Nearest(dims, m);
            work += scanned / 4 + Keep;
            long long bestDelta = 0;
            int pick = -1;
            for (int n = 0; n < kept_; ++n) {
                const int* from = &setsA_->items[At(best_[n].second.first * k)];
                const int* to = &setsB_->items[At(best_[n].second.second * k)];
                const long long d = chain_.SetDelta(from, to, k) + GapDelta(from, to, k);
                if (d < bestDelta && Keeps(from, to, k) && WithinCap(from, to, k)) {
                    bestDelta = d;
                    pick = n;
                }
            }
            if (pick < 0) {
                settled = ++clock_;
                continue;
            }
            const int* from = &setsA_->items[At(best_[pick].second.first * k)];
            const int* to = &setsB_->items[At(best_[pick].second.second * k)];
            for (int n = 0; n < k; ++n)
                Swap(from[n], to[n]);
            improved = true;
            settled = 0;
            Touch(a);
            Touch(b);
            Record(out);
        }
        return work;
    }

    // What measure() gives with the items from[0..k) and to[0..k) exchanged; the division stays as it was.
    template <class Measure> auto Exchanged(const int* from, const int* to, int k, Measure&& measure)
    {
        for (int n = 0; n < k; ++n)
            chain_.ApplySwap(from[n], to[n]);
        const auto value = measure();
        for (int n = k - 1; n >= 0; --n)
            chain_.ApplySwap(from[n], to[n]);
        return value;
    }

    // In the polish: the change of the gaps' weighted excess by the exchange, tried on the division.
    long long GapDelta(const int* from, const int* to, int k)
    {
        if (!chain_.polish.gapWeight)
            return 0;
        const long long before = chain_.GapExcess();
        const long long after = Exchanged(from, to, k, [&] { return chain_.GapExcess(); });
        return chain_.polish.gapWeight * (after - before);
    }

    // Whether the exchange keeps every gap between class averages within gapCap_ (when set).
    bool WithinCap(const int* from, const int* to, int k)
    {
        return gapCap_ < 0 || Exchanged(from, to, k, [&] { return NarrownessNow().largest; }) <= gapCap_;
    }

    // Whether the exchange of two sets keeps the rules, tried on the division.
    bool Keeps(const int* from, const int* to, int k)
    {
        const Problem& p = chain_.problem;
        for (int n = 0; n < k; ++n)
            if (p.genderOf[At(p.group[At(from[n])])] != p.genderOf[At(p.group[At(to[n])])])
                return false;
        if (!guard_.Active())
            return true;
        for (int n = 0; n < k; ++n)
            Swap(from[n], to[n]);
        bool kept = true;
        for (int n = 0; n < k && kept; ++n)
            kept = guard_.HoldsFor(chain_.cls, {from[n], to[n]});
        for (int n = k - 1; n >= 0; --n)
            Swap(from[n], to[n]); // back
        return kept;
    }

    // Sets of the second class of one key, and where the last scan among them began.
    struct Range {
        std::size_t first = 0, end = 0, start = 0;
    };
    // Where each key of the second class's sets starts and ends, by a hash of the key.
    struct KeyRange {
        std::uint64_t key = 0;
        std::size_t first = 0, end = 0; // empty: a free slot
    };
    std::size_t Slot(std::uint64_t key) const
    {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> keyShift_) & (keyIndex_.size() - 1);
    }
    void IndexKeys()
    {
        std::size_t size = 16;
        while (size < 2 * setsB_->Count())
            size *= 2;
        keyShift_ = 64 - std::countr_zero(size);
        keyIndex_.assign(size, KeyRange {});
        for (std::size_t v = 0; v < setsB_->Count();) {
            std::size_t end = v + 1;
            while (end < setsB_->Count() && setsB_->keys[end] == setsB_->keys[v])
                ++end;
            const auto key = static_cast<std::uint64_t>(setsB_->keys[v]);
            std::size_t at = Slot(key);
            while (keyIndex_[at].first != keyIndex_[at].end)
                at = (at + 1) & (size - 1);
            keyIndex_[at] = {key, v, end};
            v = end;
        }
    }

    // Fills best_ with the Keep exchanges nearest to the target; returns how many were measured.
    std::size_t Nearest(int dims, std::size_t m)
    {
        kept_ = 0;
        std::size_t scanned = 0;
        const auto d = At(dims);
        IndexKeys();
        for (std::size_t u = 0; u < setsA_->Count(); ++u) {
            const double* pa = &setsA_->sums[u * d];
            const double want = pa[m] + target_[m];
            if (u == 0 || setsA_->keys[u] != setsA_->keys[u - 1])
                RangesFor(u, scanned);
            for (Range& range : ranges_)
                Scan(u, range, want, pa, d, m, scanned);
        }
        return scanned;
    }

    // The sets of the second class whose keys differ from set u's by an allowed shift.
    void RangesFor(std::size_t u, std::size_t& scanned)
    {
        ranges_.clear();
        for (const long long shift : shifts_) {
            const auto wanted = static_cast<std::uint64_t>(setsA_->keys[u]) - static_cast<std::uint64_t>(shift);
            for (std::size_t at = Slot(wanted);; at = (at + 1) & (keyIndex_.size() - 1)) {
                const KeyRange& entry = keyIndex_[at];
                if (entry.first == entry.end)
                    break;
                if (entry.key == wanted) {
                    ranges_.push_back({entry.first, entry.end, entry.first});
                    break;
                }
            }
        }
        scanned += shifts_.size() / 4;
    }

    // The outward scan from the set of the second class nearest to want in
    // column m, within the range; it begins looking where the range's last
    // scan began: sets of one key lie sorted along column m, so want only
    // grows from one set of the first class to the next of the same key.
    void Scan(
        std::size_t u, Range& range, double want, const double* pa, std::size_t d, std::size_t m, std::size_t& scanned)
    {
        // Read through local pointers: the kept list below is written between
        // reads, and the compiler would otherwise load every vector again.
        const double* sums = setsB_->sums.data();
        const double* target = target_.data();
        const auto key = [&](std::size_t v) { return sums[v * d + m]; };
        const std::size_t first = range.first, end = range.end;
        std::size_t lo = range.start;
        if (lo < end && key(lo) < want) {
            // Galloping from the last start, then halving: few steps where want moved little.
            std::size_t hi = lo + 1;
            for (std::size_t step = 2; hi < end && key(hi) < want; step *= 2) {
                lo = hi;
                hi = std::min(end, lo + step);
            }
            ++lo; // key(lo - 1) < want; the first at or above want lies in lo..hi
            while (lo < hi) {
                const std::size_t mid = (lo + hi) / 2;
                if (key(mid) < want)
                    lo = mid + 1;
                else
                    hi = mid;
            }
        }
        range.start = lo;
        double bound = kept_ < Keep ? 1e300 : best_[Keep - 1].first;
        const double* weight = columnWeight_.data();
        const auto consider = [&](std::size_t v) {
            const double gap = key(v) - want;
            if (gap * gap >= bound)
                return false;
            ++scanned;
            const double* pb = sums + v * d;
            double e2 = 0;
            for (std::size_t c = 0; c < d && e2 < bound; ++c) {
                const double e = pb[c] - pa[c] - target[c];
                e2 += e * e * weight[c];
            }
            if (e2 < bound && !softInKey_ && guard_.HasSoft()
                && !guard_.AllowsExchange(chain_.cls, &setsA_->items[u * At(setsA_->size)],
                    &setsB_->items[v * At(setsB_->size)], setsA_->size))
                return true;
            if (e2 < bound) {
                int at = kept_ < Keep ? kept_++ : Keep - 1;
                while (at > 0 && best_[at - 1].first > e2) {
                    best_[at] = best_[at - 1];
                    --at;
                }
                best_[at] = {e2, {static_cast<int>(u), static_cast<int>(v)}};
                if (kept_ == Keep)
                    bound = best_[Keep - 1].first;
            }
            return true;
        };
        std::size_t up = lo, down = lo;
        for (bool going = true; going;) {
            going = false;
            if (up < end && consider(up)) {
                ++up;
                going = true;
            } else {
                up = end;
            }
            if (down > first && consider(down - 1)) {
                --down;
                going = true;
            } else {
                down = first;
            }
        }
    }

    // How narrow the class averages lie: the largest gap over the changing
    // columns, how many columns reach it, how many classes stand at their
    // ends, then the polish's figures. The narrowing lowers it move by move.
    struct Narrowness {
        long long largest = 0;
        int widest = 0;
        int ends = 0;
        long long chosen = 0;
        auto operator<=>(const Narrowness&) const = default;
    };
    Narrowness NarrownessNow()
    {
        const Problem& p = chain_.problem;
        const auto dims = At(p.active);
        low_.assign(dims, 0);
        high_.assign(dims, 0);
        Narrowness n;
        for (std::size_t k = 0; k < dims; ++k) {
            low_[k] = high_[k] = chain_.mean[k];
            for (int c = 1; c < p.classCount; ++c) {
                const long long m = chain_.mean[At(c) * dims + k];
                low_[k] = std::min(low_[k], m);
                high_[k] = std::max(high_[k], m);
            }
            n.largest = std::max(n.largest, high_[k] - low_[k]);
        }
        for (std::size_t k = 0; k < dims; ++k) {
            if (high_[k] - low_[k] != n.largest)
                continue;
            ++n.widest;
            for (int c = 0; c < p.classCount; ++c) {
                const long long m = chain_.mean[At(c) * dims + k];
                n.ends += m == low_[k] || m == high_[k] ? 1 : 0;
            }
        }
        n.chosen = chain_.Chosen();
        return n;
    }

    // The last steps of a chain go to the largest gap between class averages
    // alone: for a class at an end of a widest column, exchanges of sets with
    // each other class that bring it inside while no column of either class
    // reaches the largest gap. The spread's cost may not grow. Moves are made
    // while they lower the Narrowness; the division they end at is the chain's.
    template <class Tick>
    std::uint64_t Narrow(
        std::uint64_t budget, std::uint64_t step, ChainOutcome& out, const std::atomic<bool>* cancel, Tick& tick)
    {
        const Problem& p = chain_.problem;
        BackToBest(out);
        if (stamp_.empty())
            stamp_.assign(At(p.classCount), 0);
        Narrowness now = NarrownessNow();
        bool moved = false;
        while (step < budget && !(cancel && cancel->load(std::memory_order_relaxed))) {
            tick(step);
            bool found = false;
            const std::vector<long long> low = low_, high = high_;
            for (int k = 0; k < p.active && !found && step < budget; ++k) {
                if (high[At(k)] - low[At(k)] != now.largest)
                    continue;
                for (int a = 0; a < p.classCount && !found && step < budget; ++a) {
                    const long long m = chain_.mean[At(a * p.active + k)];
                    if (m != low[At(k)] && m != high[At(k)])
                        continue;
                    std::uint64_t work = 0;
                    found = Narrowing(a, k, m == high[At(k)], now, work, cancel);
                    step += work;
                }
            }
            if (!found)
                break;
            moved = true;
            now = NarrownessNow();
        }
        if (!moved)
            return step;
        out.cls = chain_.cls;
        out.pos = chain_.pos;
        out.best = chain_.Figures();
        log_.clear();
        logged_ = true;
        // What the narrowing cost of the total is taken back where the gaps
        // stay within the largest reached: descents on the total as weighed
        // before the polish (its steep part and gap term weighed the gaps).
        gapCap_ = now.largest;
        Chain::Polish settle = chain_.polish;
        settle.steepWeight = 0;
        settle.gapWeight = 0;
        chain_.StartPolish(settle);
        out.best = chain_.Figures();
        for (auto& settled : settledAt_)
            settled.clear();
        step = SweepToRest(budget, step, out, cancel, tick);
        gapCap_ = -1;
        return step;
    }

    // Fills boxLow_ and boxHigh_: per column, the change of class a's sum
    // (b's changes the other way), in points, that keeps both classes'
    // averages where no column reaches goal's largest gap, and a leaves the
    // high (or low) end of column k where its average stands at end. False
    // when the box is empty. There are three classes or more.
    bool NarrowBox(int a, int b, int k, bool atHigh, long long end, const Narrowness& goal)
    {
        const Problem& p = chain_.problem;
        const auto dims = At(p.active);
        const long long narrower = goal.largest - 1;
        boxLow_.assign(dims, 0);
        boxHigh_.assign(dims, 0);
        for (std::size_t j = 0; j < dims; ++j) {
            // The other classes' range; where it leaves room, a and b may
            // lie anywhere that keeps the column narrower than goal.
            long long lo = std::numeric_limits<long long>::max(), hi = std::numeric_limits<long long>::min();
            for (int c = 0; c < p.classCount; ++c)
                if (c != a && c != b) {
                    lo = std::min(lo, chain_.mean[At(c) * dims + j]);
                    hi = std::max(hi, chain_.mean[At(c) * dims + j]);
                }
            if (hi - lo <= narrower)
                std::tie(lo, hi) = std::pair(hi - narrower, lo + narrower);
            if (j == At(k)) {
                if (atHigh)
                    hi = std::min(hi, end - 1);
                else
                    lo = std::max(lo, end + 1);
            }
            // Averages lo..hi in hundredths as sums off the grade's share; half
            // a hundredth wide on each side, the exact figures decide.
            const auto sum = [&](int c, double mean) {
                return (mean - static_cast<double>(p.grade[j])) * p.classSize[At(c)] / 100.0;
            };
            const auto lowest = static_cast<double>(lo) - 0.5, highest = static_cast<double>(hi) + 0.5;
            const double ra = chain_.Residual(a, static_cast<int>(j)), rb = chain_.Residual(b, static_cast<int>(j));
            boxLow_[j] = std::max(sum(a, lowest) - ra, rb - sum(b, highest));
            boxHigh_[j] = std::min(sum(a, highest) - ra, rb - sum(b, lowest));
            if (boxLow_[j] > boxHigh_[j])
                return false;
        }
        return true;
    }

    // Calls visit(out, in) for each exchange of a set of size students of a
    // for one of b whose change of sums lies in the box and that the rules
    // allow, until it returns false; returns the work done.
    template <class Visit> std::uint64_t ScanBox(int a, int b, int size, Visit&& visit)
    {
        const Problem& p = chain_.problem;
        const auto dims = At(p.active);
        std::uint64_t work = 0;
        setsA_ = &SetsOf(a, size, work);
        setsB_ = &SetsOf(b, size, work);
        if (setsA_->Count() == 0 || setsB_->Count() == 0)
            return work;
        Shifts(a, b);
        IndexKeys();
        std::size_t scanned = 0;
        const std::size_t m = At(p.mainDim);
        const double* sums = setsB_->sums.data();
        bool going = true;
        for (std::size_t u = 0; u < setsA_->Count() && going; ++u) {
            const double* pa = &setsA_->sums[u * dims];
            if (u == 0 || setsA_->keys[u] != setsA_->keys[u - 1])
                RangesFor(u, scanned);
            for (std::size_t r = 0; r < ranges_.size() && going; ++r) {
                // Sets lie sorted along column m: the first within the box there, by halving.
                std::size_t v = ranges_[r].first, end = ranges_[r].end;
                const double from = pa[m] + boxLow_[m], to = pa[m] + boxHigh_[m];
                while (v < end) {
                    const std::size_t mid = (v + end) / 2;
                    if (sums[mid * dims + m] < from)
                        v = mid + 1;
                    else
                        end = mid;
                }
                for (; v < ranges_[r].end && sums[v * dims + m] <= to && going; ++v) {
                    ++scanned;
                    const double* pb = sums + v * dims;
                    bool inside = true;
                    for (std::size_t j = 0; j < dims && inside; ++j) {
                        const double delta = pb[j] - pa[j];
                        inside = delta >= boxLow_[j] && delta <= boxHigh_[j];
                    }
                    if (!inside)
                        continue;
                    const int* out = &setsA_->items[u * At(size)];
                    const int* in = &setsB_->items[v * At(size)];
                    if (!softInKey_ && guard_.HasSoft() && !guard_.AllowsExchange(chain_.cls, out, in, size))
                        continue;
                    if (!Keeps(out, in, size))
                        continue;
                    going = visit(out, in);
                }
            }
        }
        return work + scanned / 4;
    }

    // The other classes, those nearest the other end of column k first.
    std::vector<int> NarrowPartners(int a, int k, bool atHigh) const
    {
        const Problem& p = chain_.problem;
        std::vector<int> partners;
        for (int b = 0; b < p.classCount; ++b)
            if (b != a)
                partners.push_back(b);
        std::stable_sort(partners.begin(), partners.end(), [&](int x, int y) {
            const long long mx = chain_.mean[At(x * p.active + k)], my = chain_.mean[At(y * p.active + k)];
            return atHigh ? mx < my : mx > my;
        });
        return partners;
    }

    // For class a at the high (or low) end of column k: the exchange of sets
    // with another class that lowers the Narrowness below goal most, made;
    // false when none does. At most NarrowTries exchanges are weighed.
    bool Narrowing(
        int a, int k, bool atHigh, const Narrowness& goal, std::uint64_t& work, const std::atomic<bool>* cancel)
    {
        const Problem& p = chain_.problem;
        const long long spreadBefore = chain_.spreadTotal;
        const long long end = chain_.mean[At(a * p.active + k)];
        Narrowness best = goal;
        std::vector<int> bestFrom, bestTo;
        int tried = 0;
        for (const int b : NarrowPartners(a, k, atHigh)) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                break;
            if (!NarrowBox(a, b, k, atHigh, end, goal))
                continue;
            for (int size = 2; size <= (triples_ ? 3 : 2) && tried < NarrowTries; ++size)
                work += ScanBox(a, b, size, [&](const int* out, const int* in) {
                    ++tried;
                    const auto [then, spreadKept] = Exchanged(
                        out, in, size, [&] { return std::pair(NarrownessNow(), chain_.spreadTotal <= spreadBefore); });
                    if (spreadKept && then < best) {
                        best = then;
                        bestFrom.assign(out, out + size);
                        bestTo.assign(in, in + size);
                    }
                    return tried < NarrowTries;
                });
            if (tried >= NarrowTries)
                break;
        }
        // Weighing an exchange looks at every class average.
        work += static_cast<std::uint64_t>(tried) * At(p.active * p.classCount) / 8;
        if (bestFrom.empty())
            return false;
        for (std::size_t n = 0; n < bestFrom.size(); ++n)
            Swap(bestFrom[n], bestTo[n]);
        Touch(a);
        Touch(chain_.cls[At(bestFrom[0])]);
        return true;
    }

    // The key differences that an exchange between classes a and b may have:
    // none, or students of categories with room moving across, up to three
    // such moves (from a to b a category's code adds, from b to a it subtracts).
    void Shifts(int a, int b)
    {
        shifts_.assign(1, 0);
        if (categoryCode_.empty())
            return;
        if (softCategories_ && softInKey_) {
            SoftShifts(a, b);
            return;
        }
        std::vector<std::uint64_t> moves;
        for (int c = 0; c < hardCategories_; ++c) {
            if (guard_.CanMove(c, a, b))
                moves.push_back(categoryCode_[At(c)]);
            else if (guard_.CanMove(c, b, a))
                moves.push_back(0 - categoryCode_[At(c)]);
        }
        const std::size_t n = moves.size();
        const auto add = [&](std::uint64_t shift) {
            if (shifts_.size() < MostShifts)
                shifts_.push_back(static_cast<long long>(shift));
        };
        for (std::size_t x = 0; x < n; ++x)
            add(moves[x]);
        for (std::size_t x = 0; x < n; ++x)
            for (std::size_t y = x + 1; y < n; ++y)
                add(moves[x] + moves[y]);
        for (std::size_t x = 0; x < n; ++x)
            for (std::size_t y = x + 1; y < n; ++y)
                for (std::size_t z = y + 1; z < n; ++z)
                    add(moves[x] + moves[y] + moves[z]);
    }

    // With rank groups every student stands in one band of its gender, so
    // sets of equal size trade a band for a band of the same gender (members
    // pair by gender, so other shifts match no set): nearest bands first, as
    // long as a category with room leaves a and one arrives from b; then the
    // groups of both genders (the top students) alone.
    void SoftShifts(int a, int b)
    {
        const int count = guard_.CategoryCount();
        for (int distance = 1; distance < count && shifts_.size() < MostSoftShifts; ++distance)
            for (int x = 0; x + distance < count && shifts_.size() < MostSoftShifts; ++x) {
                const int y = x + distance;
                if (categoryGender_[At(x)] < 0 || categoryGender_[At(x)] != categoryGender_[At(y)])
                    continue;
                if (guard_.CanMove(x, a, b) && guard_.CanMove(y, b, a))
                    shifts_.push_back(static_cast<long long>(categoryCode_[At(x)] - categoryCode_[At(y)]));
                if (guard_.CanMove(y, a, b) && guard_.CanMove(x, b, a) && shifts_.size() < MostSoftShifts)
                    shifts_.push_back(static_cast<long long>(categoryCode_[At(y)] - categoryCode_[At(x)]));
            }
        for (int c = 0; c < count && shifts_.size() < MostSoftShifts; ++c) {
            if (categoryGender_[At(c)] >= 0)
                continue;
            if (guard_.CanMove(c, a, b))
                shifts_.push_back(static_cast<long long>(categoryCode_[At(c)]));
            if (guard_.CanMove(c, b, a) && shifts_.size() < MostSoftShifts)
                shifts_.push_back(static_cast<long long>(0 - categoryCode_[At(c)]));
        }
    }

    Chain chain_;
    ItemRules rules_;
    RuleGuard guard_;
    Rng rng_;
    int softCategories_ = 0; // rank groups among the categories
    int hardCategories_ = 0;
    // Rank groups in the sets' keys, so that sets match band for band; with
    // spread rules as well that leaves too few matches: there the keys hold
    // the spread categories alone, and the scan passes over sets whose
    // exchange would take a rank group out of its bounds.
    bool softInKey_;
    bool triples_; // sets of three as well: with spread rules (sets of two seldom match) and not too many classes
    std::vector<std::vector<int>> groupClasses_; // per group: classes with movable items of it
    std::vector<int> movers_;
    std::vector<std::vector<int>> kin_; // per gender: its groups with movable students
    std::vector<std::uint64_t> code_; // per item: its part of a set's key
    std::vector<std::uint64_t> categoryCode_; // per spread category: its part of a member's code
    std::vector<int> categoryGender_; // per category: the gender all its members share, -1: both
    std::vector<long long> shifts_; // key differences the pair of classes being searched allows
    std::vector<Range> ranges_; // sets of the second class with such keys
    std::vector<double> target_;
    const Sets* setsA_ = nullptr;
    const Sets* setsB_ = nullptr;
    // Per set size and class: its sets, sorted, and when they were made (0: never).
    std::vector<Sets> cache_[2];
    std::vector<std::uint64_t> cachedAt_[2];
    std::vector<int> list_;
    std::pair<double, std::pair<int, int>> best_[Keep];
    std::vector<long long> low_, high_; // per column, the lowest and highest class average (NarrownessNow)
    long long gapCap_ = -1; // when set, no exchange may widen a gap beyond it
    std::vector<double> boxLow_, boxHigh_; // per column, the changes of a class's sum the narrowing allows
    std::vector<double> columnWeight_; // per column, in the distance of an exchange to the target
    double outlierColumnWeight_ = 0; // added to that weight where a class lies beyond the polish's steep part
    int kept_ = 0;
    std::vector<std::uint64_t> settledAt_[2]; // per set size, per pair of classes: when last searched in vain, 0: never
    std::vector<std::uint64_t> stamp_; // per class: when it last changed
    std::vector<std::uint64_t> visitedAt_[2]; // per set size, per class: when its partners were last chosen
    std::vector<std::pair<int, int>> pairs_; // the pairs of classes of the sweep
    std::uint64_t clock_ = 0;
    std::vector<KeyRange> keyIndex_;
    int keyShift_ = 60;
    std::vector<std::pair<int, int>> log_; // exchanges since the best division, when logged_
    bool logged_ = false;
    std::uint64_t reported_ = 0; // steps / CheckEvery at the last tick of a sweep
};

// The rules and rank groups over items; a student in no class list is left out.
ItemRules RulesOverItems(
    const DivisionState& state, const Problem& problem, const DivisionRules& rules, const std::vector<RankGroup>& ranks)
{
    std::unordered_map<PStudent, int> item;
    for (int i = problem.itemCount - 1; i >= 0; --i)
        item[problem.student[At(i)]] = i;
    const auto map = [&](int record) {
        if (record < 0 || At(record) >= state.Records.size())
            return -1;
        const auto found = item.find(state.Records[At(record)].get());
        return found == item.end() ? -1 : found->second;
    };
    const auto groups = [&](const std::vector<std::vector<int>>& from) {
        std::vector<std::vector<int>> to;
        for (const std::vector<int>& group : from) {
            std::vector<int> items;
            for (const int record : group)
                if (const int i = map(record); i >= 0)
                    items.push_back(i);
            std::sort(items.begin(), items.end());
            items.erase(std::unique(items.begin(), items.end()), items.end());
            to.push_back(std::move(items));
        }
        return to;
    };
    ItemRules out {groups(rules.together), groups(rules.apart), groups(rules.spread), {}, {}, {}, {}};
    std::vector<std::vector<int>> rankRecords;
    for (const RankGroup& rank : ranks)
        if (!rank.records.empty())
            rankRecords.push_back(rank.records);
    out.soft = groups(rankRecords);
    for (const auto& [record, number] : rules.fixed)
        if (const int i = map(record); i >= 0)
            out.fixed.emplace_back(i, number - 1);
    return out;
}

// Runs every chain from the same division on the given threads and returns
// the best, the lower chain index among equal ones.
ChainOutcome RunChains(const Problem& problem, const ItemRules& rules, const ChainOutcome& start, std::uint64_t budget,
    const OptimiseControl& control)
{
    const int chains = std::max(control.chains, 1);
    const int threads = std::clamp(control.threads, 1, chains);
    std::vector<std::atomic<std::uint64_t>> done(At(chains));
    const std::uint64_t narrowSteps = control.narrow ? NarrowSteps(budget, problem.classCount) : 0;
    const double whole = static_cast<double>(budget + narrowSteps) * chains;
    double reported = -1;
    const auto report = [&] {
        if (!control.progress)
            return;
        double sum = 0;
        for (const auto& d : done)
            sum += static_cast<double>(d.load(std::memory_order_relaxed));
        const double fraction = SetupShare + (1 - SetupShare) * std::min(sum / whole, 1.0);
        if (fraction - reported >= 0.005) {
            reported = fraction;
            control.progress(fraction);
        }
    };
    std::vector<ChainOutcome> outcomes(At(chains));
    std::vector<std::exception_ptr> failures(At(threads));
    // The workers tell the calling thread of their progress; it reports while it waits for them.
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t news = 0;
    int running = threads - 1;
    const auto tell = [&](bool finished) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            ++news;
            running -= finished ? 1 : 0;
        }
        changed.notify_one();
    };
    const auto work = [&](int thread, bool caller) {
        try {
            for (int c = thread; c < chains; c += threads) {
                std::uint64_t seed = control.seed + static_cast<std::uint64_t>(c) * 0x9E3779B97F4A7C15ULL;
                Search search(problem, rules, start.cls, start.pos, optimise::SplitMix(seed));
                auto& counter = done[At(c)];
                outcomes[At(c)] = search.Run(budget, narrowSteps, control.cancel, [&](std::uint64_t step) {
                    counter.store(step, std::memory_order_relaxed);
                    if (caller)
                        report();
                    else if (control.progress)
                        tell(false);
                });
                counter.store(budget + narrowSteps, std::memory_order_relaxed);
            }
        } catch (...) {
            failures[At(thread)] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t)
        workers.emplace_back([&, t] {
            work(t, false);
            tell(true);
        });
    work(0, true);
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (std::uint64_t seen = news; running > 0; seen = news) {
            changed.wait(lock, [&] { return news != seen || running == 0; });
            lock.unlock();
            report();
            lock.lock();
        }
    }
    for (std::thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    // Chains cancelled before their polish kept figures of another kind: all
    // are weighed again as the polish weighs them, the start too.
    const auto polished = [&](const ChainOutcome& outcome) {
        Chain chain(problem, outcome.cls, outcome.pos);
        chain.StartPolish(PolishFor(problem.classCount));
        return chain.Figures();
    };
    ChainOutcome best = start;
    best.best = polished(start);
    for (ChainOutcome& outcome : outcomes) {
        best.steps += outcome.steps;
        outcome.best = polished(outcome);
        if (outcome.best < best.best) {
            const std::uint64_t steps = best.steps;
            best = std::move(outcome);
            best.steps = steps;
        }
    }
    return best;
}

// Puts the items where the outcome has them, sets every listed student's
// class number and recomputes the statistics.
void Apply(DivisionState& state, const Problem& problem, const ChainOutcome& outcome)
{
    for (int i = 0; i < problem.itemCount; ++i)
        state.FClasses[At(outcome.cls[At(i)])][At(outcome.pos[At(i)])] = problem.student[At(i)];
    for (std::size_t c = 0; c < state.FClasses.size(); ++c)
        for (const PStudent student : state.FClasses[c])
            student->ClassNo = static_cast<std::int32_t>(c) + 1;
    ComputeClassStats(state);
}

} // namespace

bool HasDivision(const DivisionState& state, int classCount)
{
    const auto count = At(classCount);
    return classCount >= 1 && state.FClasses.size() == count && state.FClassAvg.size() == count
        && state.FClassDev.size() == count;
}

std::uint64_t DefaultOptimiseEffort(std::size_t students, int classCount)
{
    (void)classCount;
    return static_cast<std::uint64_t>(
        750000.0 * std::pow(static_cast<double>(std::max<std::size_t>(students, 1)), 0.4));
}

BalanceFigures FiguresOf(const DivisionState& state)
{
    BalanceFigures f {optimise::HundredthsOf(TotalDeviation(state.FDevSum)), 0, 0};
    for (int s = 0; s < SubjectCount; ++s) {
        long long low = 0, high = 0;
        for (std::size_t c = 0; c < state.FClassAvg.size(); ++c) {
            const long long m = optimise::HundredthsOf(state.FClassAvg[c][s]);
            low = c == 0 ? m : std::min(low, m);
            high = c == 0 ? m : std::max(high, m);
        }
        f.largestGap = std::max(f.largestGap, high - low);
        f.gapSum += high - low;
    }
    return f;
}

OptimiseResult OptimiseDivision(
    DivisionState& state, int classCount, const DivisionRules& rules, const OptimiseControl& control)
{
    OptimiseResult result;
    if (!HasDivision(state, classCount))
        return result;
    result.conflicts = FindRuleConflicts(state, classCount, rules);
    if (!result.conflicts.empty()) {
        result.outcome = OptimiseOutcome::RulesConflict;
        return result;
    }
    result.brokenBefore = static_cast<int>(FindRuleBreaches(rules, ClassesOfRecords(state), classCount).size());

    const auto cancelled = [&] { return control.cancel && control.cancel->load(std::memory_order_relaxed); };
    const auto report = [&](double fraction) {
        if (control.progress)
            control.progress(fraction);
    };
    // Cancelled before the search: the start stays as it is, its statistics recomputed.
    const auto keepStart = [&] {
        for (std::size_t c = 0; c < state.FClasses.size(); ++c)
            for (const PStudent student : state.FClasses[c])
                student->ClassNo = static_cast<std::int32_t>(c) + 1;
        ComputeClassStats(state);
        result.before = result.after = FiguresOf(state);
        result.total = TotalDeviation(state.FDevSum);
        result.outcome = OptimiseOutcome::Unchanged;
        result.cancelled = true;
        report(1.0);
        return result;
    };
    report(0.0);
    Problem problem(state, classCount);
    const std::vector<RankGroup> ranks = MakeRankGroups(state, ClassesOfRecords(state), classCount, control.balance);
    ItemRules itemRules = RulesOverItems(state, problem, rules, ranks);
    ChainOutcome start {{}, problem.startClass, problem.startPos, 0};
    std::vector<char> frozen(At(problem.itemCount), 0);
    for (int i = 0; i < problem.itemCount; ++i)
        frozen[At(i)] = !problem.movable[At(i)];
    // The rank groups as the starting division keeps them: the bar for the end.
    const int softBefore = optimise::RuleGuard(problem, itemRules, start.cls).SoftViolations();
    if (!itemRules.empty() || !itemRules.soft.empty()) {
        std::uint64_t seed = control.seed ^ 0x5EEDULL;
        Rng rng(optimise::SplitMix(seed));
        const bool repaired
            = optimise::RepairRules(problem, itemRules, start.cls, start.pos, frozen, rng, control.cancel);
        if (cancelled())
            return keepStart();
        if (!repaired) {
            std::vector<int> students;
            for (const RuleBreach& broken : FindRuleBreaches(rules, ClassesOfRecords(state), classCount))
                students.insert(students.end(), broken.students.begin(), broken.students.end());
            std::sort(students.begin(), students.end());
            students.erase(std::unique(students.begin(), students.end()), students.end());
            result.conflicts.push_back({RuleConflict::Kind::Unresolved, std::move(students)});
            result.outcome = OptimiseOutcome::RulesConflict;
            return result;
        }
        // Rank groups the repair could not bring within bounds (hand-placed
        // students and rules force them) keep their counts as a bound: the
        // search never makes them worse.
        optimise::RuleGuard(problem, itemRules, start.cls).WidenedSoftBounds(itemRules.softLow, itemRules.softHigh);
    }
    if (!itemRules.spread.empty()) {
        // Students trade places only with students of the same categories,
        // so that every class keeps its count of each. Rank groups are left
        // out: near neighbours across a band's edge may trade where the
        // bounds have room, and the guard checks every exchange against them.
        std::vector<std::vector<int>> categories(At(problem.itemCount));
        for (std::size_t c = 0; c < itemRules.spread.size(); ++c)
            for (const int i : itemRules.spread[c])
                categories[At(i)].push_back(static_cast<int>(c));
        std::map<std::vector<int>, int> ids;
        std::vector<int> key;
        for (const std::vector<int>& list : categories)
            key.push_back(ids.emplace(list, static_cast<int>(ids.size())).first->second);
        problem.Refine(key);
    }
    if (control.balance.enabled())
        problem.EnableSpread(SpreadTolerance, SpreadCostPerPoint);
    // The start, with its statistics recomputed: hand moves leave them stale.
    ComputeClassStats(state);
    result.before = FiguresOf(state);

    report(SetupShare / 2);
    problem.Settle(start.cls, frozen, Neighbours, control.cancel);
    if (cancelled())
        return keepStart();
    report(SetupShare);
    problem.outlierFrom = OutlierFrom;
    problem.outlierWeight
        = classCount <= MostClassesForWeights || control.balance.enabled() ? OutlierWeight : ManyClassesOutlierWeight;
    {
        // The repaired division's figures: the bar every chain must clear.
        const Chain repaired(problem, start.cls, start.pos);
        start.best = repaired.Figures();
    }

    std::uint64_t budget = control.effort ? control.effort : DefaultOptimiseEffort(state.FStudents.size(), classCount);
    if (!control.effort && itemRules.spread.empty() && !itemRules.soft.empty()) {
        if (classCount <= MostClassesForPlainSoftTriples)
            budget = static_cast<std::uint64_t>(FewClassesSoftEffort * static_cast<double>(budget));
        else if (classCount <= MostClassesForSoftTriples)
            budget = static_cast<std::uint64_t>(WideTripleEffort * static_cast<double>(budget));
    }
    // Spread rules leave fewer exchanges: the search gets more steps.
    if (!itemRules.spread.empty())
        budget = static_cast<std::uint64_t>(SpreadEffort * static_cast<double>(budget));
    if (!control.effort)
        budget = static_cast<std::uint64_t>(control.stepsTimes * static_cast<double>(budget));
    const ChainOutcome chosen = RunChains(problem, itemRules, start, budget, control);
    result.steps = chosen.steps;
    result.cancelled = control.cancel && control.cancel->load();

    // Never worse than the start: by broken rules, then by the figures the
    // statistics give (the search's own figures only choose among divisions).
    // With rank balance, first by the rank groups out of bounds, then by the
    // figures with the spread's cost added to the total.
    ItemRules plainBounds = itemRules;
    plainBounds.softLow.clear();
    plainBounds.softHigh.clear();
    const auto rankKey = [&](const std::vector<int>& cls, const std::vector<int>& pos, BalanceFigures figures) {
        figures.total += Chain(problem, cls, pos).spreadTotal;
        return std::pair(optimise::RuleGuard(problem, plainBounds, cls).SoftViolations(), figures);
    };
    const auto rankBefore = std::pair(softBefore,
        BalanceFigures {result.before.total + Chain(problem, problem.startClass, problem.startPos).spreadTotal,
            result.before.largestGap, result.before.gapSum});
    const std::vector<TStudentList> startLists = state.FClasses;
    Apply(state, problem, chosen);
    const BalanceFigures after = FiguresOf(state);
    const bool better
        = control.balance.enabled() ? rankKey(chosen.cls, chosen.pos, after) < rankBefore : after < result.before;
    if (result.brokenBefore > 0 || better) {
        result.outcome = OptimiseOutcome::Improved;
    } else {
        state.FClasses = startLists;
        for (std::size_t c = 0; c < state.FClasses.size(); ++c)
            for (const PStudent student : state.FClasses[c])
                student->ClassNo = static_cast<std::int32_t>(c) + 1;
        ComputeClassStats(state);
        result.outcome = OptimiseOutcome::Unchanged;
    }
    result.after = FiguresOf(state);
    result.total = TotalDeviation(state.FDevSum);
    if (control.progress)
        control.progress(1.0);
    return result;
}

} // namespace fenban
