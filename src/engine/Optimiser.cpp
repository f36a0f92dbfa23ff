#include "engine/Optimiser.h"

#include "engine/OptimiserModel.h"
#include "engine/Statistics.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <thread>

namespace fenban {

using optimise::Chain;
using optimise::Problem;
using optimise::Rng;

namespace {

// Tunables, read from the environment while the search is being measured.
double Tunable(const char* name, double fallback)
{
    const char* text = std::getenv(name);
    return text ? std::atof(text) : fallback;
}

struct Schedule {
    double startFactor = Tunable("FB_T0", 0.3); // of the mean uphill step at the start
    double endTemperature = Tunable("FB_T1", 0.5); // hundredths
    double cycleShare = Tunable("FB_CYC", 0.2);
    double nearShare = Tunable("FB_NEAR", 0.5); // moves between near neighbours
    int neighbours = static_cast<int>(Tunable("FB_K", 16));
    double directedShare = Tunable("FB_DIR", 0.3); // below nearShare: directed exchanges
    double annealShare = Tunable("FB_ANN", 0.1); // of the steps, for annealing
    int kicks = static_cast<int>(Tunable("FB_KICK", 3)); // random exchanges between descents
    int rounds = static_cast<int>(Tunable("FB_ROUNDS", 1));
    double firstShare = Tunable("FB_FIRST", 0.5); // of the steps, for the first round
    double reheat = Tunable("FB_RH", 4); // start temperature of later rounds
};

struct ChainOutcome {
    BalanceFigures best;
    std::vector<int> cls, pos;
    std::uint64_t steps = 0;
};

// Calls a function every few thousand steps; checks the cancel flag there too.
constexpr std::uint64_t CheckEvery = 4096;

class Annealer {
public:
    Annealer(const Problem& problem, const std::vector<int>& cls, const std::vector<int>& pos, std::uint64_t seed)
        : chain_(problem, cls, pos)
        , rng_(seed)
    {
        const std::size_t groups = static_cast<std::size_t>(problem.groupCount);
        groupClasses_.resize(groups);
        for (int c = 0; c < problem.classCount; ++c)
            for (std::size_t g = 0; g < groups; ++g)
                if (!chain_.pool[static_cast<std::size_t>(c) * groups + g].empty())
                    groupClasses_[g].push_back(c);
        for (int i = 0; i < problem.itemCount; ++i)
            if (problem.movable[static_cast<std::size_t>(i)])
                movers_.push_back(i);
    }

    bool CanMove() const { return !movers_.empty(); }

    // A random near neighbour of item i, or -1 when the drawn one shares i's class.
    int Near(int i)
    {
        const auto& list = chain_.problem.neighbours[static_cast<std::size_t>(i)];
        if (list.empty())
            return -1;
        const int j = list[static_cast<std::size_t>(rng_.Below(static_cast<int>(list.size())))];
        return chain_.cls[static_cast<std::size_t>(j)] == chain_.cls[static_cast<std::size_t>(i)] ? -1 : j;
    }

    // The student of a random other class whose exchange with item i comes
    // nearest to evening out the two classes' sums.
    int Directed(int i)
    {
        const Problem& p = chain_.problem;
        const auto g = static_cast<std::size_t>(p.group[static_cast<std::size_t>(i)]);
        const std::vector<int>& classes = groupClasses_[g];
        const int a = chain_.cls[static_cast<std::size_t>(i)];
        int b = a;
        while (b == a)
            b = classes[static_cast<std::size_t>(rng_.Below(static_cast<int>(classes.size())))];
        const int dims = p.active;
        target_.resize(static_cast<std::size_t>(dims));
        const double* xi = &p.coords[static_cast<std::size_t>(i * dims)];
        for (int k = 0; k < dims; ++k)
            target_[static_cast<std::size_t>(k)] = xi[k] + 0.5 * (chain_.Residual(b, k) - chain_.Residual(a, k));
        int best = -1;
        double nearest = 0;
        for (const int j : chain_.pool[static_cast<std::size_t>(b * p.groupCount) + g]) {
            const double* xj = &p.coords[static_cast<std::size_t>(j * dims)];
            double d = 0;
            for (int k = 0; k < dims; ++k)
                d += (xj[k] - target_[static_cast<std::size_t>(k)]) * (xj[k] - target_[static_cast<std::size_t>(k)]);
            if (best < 0 || d < nearest) {
                best = j;
                nearest = d;
            }
        }
        return best;
    }

    // A random student of another class of the same group as item i.
    int Partner(int i)
    {
        const Problem& p = chain_.problem;
        const auto g = static_cast<std::size_t>(p.group[static_cast<std::size_t>(i)]);
        const std::vector<int>& classes = groupClasses_[g];
        const int a = chain_.cls[static_cast<std::size_t>(i)];
        int b = a;
        while (b == a)
            b = classes[static_cast<std::size_t>(rng_.Below(static_cast<int>(classes.size())))];
        const std::vector<int>& list = chain_.pool[static_cast<std::size_t>(b * p.groupCount) + g];
        return list[static_cast<std::size_t>(rng_.Below(static_cast<int>(list.size())))];
    }

    double MeanUphill(int samples)
    {
        double sum = 0;
        int count = 0;
        for (int n = 0; n < samples; ++n) {
            const int i = movers_[static_cast<std::size_t>(rng_.Below(static_cast<int>(movers_.size())))];
            const double d = chain_.SwapDelta(i, Partner(i));
            if (d > 0) {
                sum += d;
                ++count;
            }
        }
        return count ? sum / count : 1.0;
    }

    template <class Tick>
    // Anneals from t0 (0: from the mean uphill step) down to the end temperature.
    ChainOutcome Run(
        std::uint64_t budget, double start, const Schedule& schedule, const std::atomic<bool>* cancel, Tick&& tick)
    {
        ChainOutcome out;
        out.best = chain_.Figures();
        out.cls = chain_.cls;
        out.pos = chain_.pos;
        if (!CanMove() || budget == 0)
            return out;
        const double t0
            = std::max(start > 0 ? start : schedule.startFactor * MeanUphill(2000), schedule.endTemperature);
        const double t1 = schedule.endTemperature;
        const double ratio = std::log(t1 / t0);
        double temperature = t0;
        const auto movers = static_cast<int>(movers_.size());
        const bool cycles = schedule.cycleShare > 0 && chain_.problem.classCount >= 3;
        const auto annealSteps = static_cast<std::uint64_t>(schedule.annealShare * static_cast<double>(budget));
        std::uint64_t step = 0;
        for (; step < annealSteps; ++step) {
            if (step % CheckEvery == 0) {
                if (cancel && cancel->load(std::memory_order_relaxed))
                    break;
                tick(step);
                temperature = t0 * std::exp(ratio * static_cast<double>(step) / static_cast<double>(annealSteps));
            }
            const int i = movers_[static_cast<std::size_t>(rng_.Below(movers))];
            const double kind = rng_.Unit();
            const bool near = kind < schedule.nearShare;
            const int j = kind < schedule.directedShare ? Directed(i) : near ? Near(i) : Partner(i);
            if (j < 0)
                continue;
            int k = -1;
            double delta = 0;
            if (cycles && rng_.Unit() < schedule.cycleShare) {
                k = near ? Near(j) : Partner(j);
                if (k < 0)
                    continue;
                if (chain_.cls[static_cast<std::size_t>(k)] == chain_.cls[static_cast<std::size_t>(i)])
                    continue;
                delta = chain_.CycleDelta(i, j, k);
            } else {
                delta = chain_.SwapDelta(i, j);
            }
            if (delta > 0 && rng_.Unit() >= std::exp(-delta / temperature))
                continue;
            if (k < 0)
                chain_.ApplySwap(i, j);
            else
                chain_.ApplyCycle(i, j, k);
            if (chain_.total <= out.best.total) {
                const BalanceFigures now = chain_.Figures();
                if (now < out.best) {
                    out.best = now;
                    out.cls = chain_.cls;
                    out.pos = chain_.pos;
                }
            }
        }
        // Then descents by double exchanges, each from the best division
        // found, shaken by a few random exchanges of near neighbours.
        if (step == annealSteps) {
            chain_.Reset(out.cls, out.pos);
            stamp_.clear();
            settledAt_.clear();
        }
        while (step < budget) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                break;
            tick(step);
            bool improved = true;
            while (improved && step < budget)
                step += Doubles(out, improved);
            if (step >= budget)
                break;
            if (out.best < chain_.Figures() || out.best == chain_.Figures()) {
                for (int i = 0; i < chain_.problem.itemCount; ++i)
                    if (chain_.cls[static_cast<std::size_t>(i)] != out.cls[static_cast<std::size_t>(i)]) {
                        Touch(chain_.cls[static_cast<std::size_t>(i)]);
                        Touch(out.cls[static_cast<std::size_t>(i)]);
                    }
                chain_.Reset(out.cls, out.pos);
            }
            for (int n = 0; n < schedule.kicks; ++n) {
                const int i = movers_[static_cast<std::size_t>(rng_.Below(movers))];
                const int j = Near(i);
                if (j < 0)
                    continue;
                Touch(chain_.cls[static_cast<std::size_t>(i)]);
                Touch(chain_.cls[static_cast<std::size_t>(j)]);
                chain_.ApplySwap(i, j);
            }
            step += static_cast<std::uint64_t>(schedule.kicks);
        }
        out.steps = step;
        return out;
    }

    // Two students of one class trade places with two of another, all of one
    // group: for every pair of classes and group, the pair sums whose
    // difference comes nearest to evening out the two classes are tried.
    // Returns the work done in steps; improved tells whether an exchange was made.
    std::uint64_t Doubles(ChainOutcome& out, bool& improved)
    {
        std::uint64_t work = 0;
        const Problem& p = chain_.problem;
        const int dims = p.active;
        improved = false;
        std::vector<double> sumsA, sumsB, target(static_cast<std::size_t>(dims));
        std::vector<std::pair<int, int>> pairsA, pairsB;
        const auto pairSums
            = [&](const std::vector<int>& list, std::vector<double>& sums, std::vector<std::pair<int, int>>& pairs) {
                  sums.clear();
                  pairs.clear();
                  for (std::size_t u = 0; u < list.size(); ++u)
                      for (std::size_t v = u + 1; v < list.size(); ++v) {
                          pairs.emplace_back(list[u], list[v]);
                          for (int k = 0; k < dims; ++k)
                              sums.push_back(p.coords[static_cast<std::size_t>(list[u] * dims + k)]
                                  + p.coords[static_cast<std::size_t>(list[v] * dims + k)]);
                      }
              };
        const auto classes = static_cast<std::size_t>(p.classCount);
        if (settledAt_.size() != classes * classes) {
            settledAt_.assign(classes * classes, 0);
            stamp_.assign(classes, 0);
        }
        // With many classes only the pairs lying furthest apart are searched:
        // for each class the partners whose sums differ most from its own.
        const int partners = std::min(p.classCount - 1, partners_);
        std::vector<char> chosenPair(classes * classes, partners == p.classCount - 1 ? 1 : 0);
        if (partners < p.classCount - 1) {
            std::vector<std::pair<double, int>> far;
            for (int a = 0; a < p.classCount; ++a) {
                far.clear();
                for (int b = 0; b < p.classCount; ++b) {
                    if (b == a)
                        continue;
                    double d = 0;
                    for (int k = 0; k < dims; ++k) {
                        const double e = chain_.Residual(a, k) - chain_.Residual(b, k);
                        d += e * e;
                    }
                    far.emplace_back(-d, b);
                }
                std::partial_sort(far.begin(), far.begin() + partners, far.end());
                for (int n = 0; n < partners; ++n) {
                    const auto b = static_cast<std::size_t>(far[static_cast<std::size_t>(n)].second);
                    chosenPair[std::min(static_cast<std::size_t>(a), b) * classes
                        + std::max(static_cast<std::size_t>(a), b)]
                        = 1;
                }
            }
        }
        for (int a = 0; a < p.classCount; ++a)
            for (int b = a + 1; b < p.classCount; ++b) {
                if (!chosenPair[static_cast<std::size_t>(a) * classes + static_cast<std::size_t>(b)])
                    continue;
                // A pair that found nothing and has not changed since is passed over.
                std::uint64_t& settled
                    = settledAt_[static_cast<std::size_t>(a) * classes + static_cast<std::size_t>(b)];
                if (settled && stamp_[static_cast<std::size_t>(a)] < settled
                    && stamp_[static_cast<std::size_t>(b)] < settled)
                    continue;
                bool found = false;
                for (int g = 0; g < p.groupCount; ++g) {
                    const auto& listA = chain_.pool[static_cast<std::size_t>(a * p.groupCount + g)];
                    const auto& listB = chain_.pool[static_cast<std::size_t>(b * p.groupCount + g)];
                    if (listA.size() < 2 || listB.size() < 2)
                        continue;
                    pairSums(listA, sumsA, pairsA);
                    pairSums(listB, sumsB, pairsB);
                    SortByMain(sumsB, pairsB, dims, p.mainDim);
                    const auto m = static_cast<std::size_t>(p.mainDim);
                    for (int k = 0; k < dims; ++k)
                        target[static_cast<std::size_t>(k)] = 0.5 * (chain_.Residual(b, k) - chain_.Residual(a, k));
                    // The few nearest by squared distance, then the exact change.
                    // Pair sums of B lie sorted along the widest column, so the
                    // scan for each pair of A stops where that column alone is too far.
                    const int Keep = keep_;
                    std::pair<double, std::pair<int, int>> best[MaxKeep];
                    int kept = 0;
                    std::size_t scanned = 0;
                    const auto nB = pairsB.size();
                    const auto key = [&](std::size_t v) { return sumsB[v * static_cast<std::size_t>(dims) + m]; };
                    for (std::size_t u = 0; u < pairsA.size(); ++u) {
                        const double* pa = &sumsA[u * static_cast<std::size_t>(dims)];
                        const double want = pa[m] + target[m];
                        std::size_t lo = 0, hi = nB;
                        while (lo < hi) {
                            const std::size_t mid = (lo + hi) / 2;
                            if (key(mid) < want)
                                lo = mid + 1;
                            else
                                hi = mid;
                        }
                        const auto consider = [&](std::size_t v) {
                            const double gap = key(v) - want;
                            const double bound = kept < Keep ? 1e300 : best[Keep - 1].first;
                            if (gap * gap >= bound)
                                return false;
                            ++scanned;
                            const double* pb = &sumsB[v * static_cast<std::size_t>(dims)];
                            double d = 0;
                            for (int k = 0; k < dims && d < bound; ++k) {
                                const double e = pb[k] - pa[k] - target[static_cast<std::size_t>(k)];
                                d += e * e;
                            }
                            if (d < bound) {
                                int at = kept < Keep ? kept++ : Keep - 1;
                                while (at > 0 && best[at - 1].first > d) {
                                    best[at] = best[at - 1];
                                    --at;
                                }
                                best[at] = {d, {static_cast<int>(u), static_cast<int>(v)}};
                            }
                            return true;
                        };
                        for (std::size_t up = lo, down = lo; up < nB || down > 0;) {
                            bool going = false;
                            if (up < nB && consider(up)) {
                                ++up;
                                going = true;
                            } else {
                                up = nB;
                            }
                            if (down > 0 && consider(down - 1)) {
                                --down;
                                going = true;
                            } else {
                                down = 0;
                            }
                            if (!going)
                                break;
                        }
                    }
                    work += scanned / 4 + pairsA.size() + Keep;
                    double bestDelta = -1e-9;
                    int chosen = -1;
                    for (int n = 0; n < kept; ++n) {
                        const auto [i, k] = pairsA[static_cast<std::size_t>(best[n].second.first)];
                        const auto [j, l] = pairsB[static_cast<std::size_t>(best[n].second.second)];
                        const double d = chain_.DoubleDelta(i, k, j, l);
                        if (d < bestDelta) {
                            bestDelta = d;
                            chosen = n;
                        }
                    }
                    if (chosen < 0)
                        continue;
                    const auto [i, k] = pairsA[static_cast<std::size_t>(best[chosen].second.first)];
                    const auto [j, l] = pairsB[static_cast<std::size_t>(best[chosen].second.second)];
                    chain_.ApplySwap(i, j);
                    chain_.ApplySwap(k, l);
                    improved = found = true;
                    Touch(a);
                    Touch(b);
                    const BalanceFigures now = chain_.Figures();
                    if (now < out.best) {
                        out.best = now;
                        out.cls = chain_.cls;
                        out.pos = chain_.pos;
                    }
                }
                settled = found ? 0 : ++clock_;
            }
        return work + 1;
    }

    // Orders pair sums (dims values each) and their pairs by column m.
    static void SortByMain(std::vector<double>& sums, std::vector<std::pair<int, int>>& pairs, int dims, int m)
    {
        std::vector<std::size_t> order(pairs.size());
        for (std::size_t n = 0; n < order.size(); ++n)
            order[n] = n;
        const auto d = static_cast<std::size_t>(dims);
        std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
            const double kx = sums[x * d + static_cast<std::size_t>(m)], ky = sums[y * d + static_cast<std::size_t>(m)];
            return kx < ky || (kx == ky && x < y);
        });
        std::vector<double> sortedSums(sums.size());
        std::vector<std::pair<int, int>> sortedPairs(pairs.size());
        for (std::size_t n = 0; n < order.size(); ++n) {
            sortedPairs[n] = pairs[order[n]];
            std::copy_n(sums.begin() + static_cast<std::ptrdiff_t>(order[n] * d), d,
                sortedSums.begin() + static_cast<std::ptrdiff_t>(n * d));
        }
        sums = std::move(sortedSums);
        pairs = std::move(sortedPairs);
    }

    // Marks a class as changed since the pairs with it were last searched.
    void Touch(int c)
    {
        if (!stamp_.empty())
            stamp_[static_cast<std::size_t>(c)] = ++clock_;
    }

private:
    std::vector<std::uint64_t> settledAt_; // per pair of classes: when it was last searched in vain, 0: never
    std::vector<std::uint64_t> stamp_; // per class: when it last changed
    std::uint64_t clock_ = 0;
    static constexpr int MaxKeep = 16;
    int partners_ = static_cast<int>(Tunable("FB_PART", 12));
    int keep_ = std::clamp(static_cast<int>(Tunable("FB_KEEP", 6)), 1, MaxKeep);
    Chain chain_;
    Rng rng_;
    std::vector<std::vector<int>> groupClasses_;
    std::vector<int> movers_;
    std::vector<double> target_;
};

bool HasDivision(const DivisionState& state, int classCount)
{
    const auto count = static_cast<std::size_t>(classCount);
    return classCount >= 1 && state.FClasses.size() == count && state.FClassAvg.size() == count
        && state.FClassDev.size() == count;
}

} // namespace

std::uint64_t DefaultOptimiseEffort(std::size_t students, int classCount)
{
    (void)classCount;
    return static_cast<std::uint64_t>(
        Tunable("FB_STEPS", 45000.0) * std::pow(static_cast<double>(std::max<std::size_t>(students, 1)), 0.625));
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
    (void)rules;
    OptimiseResult result;
    if (!HasDivision(state, classCount))
        return result;

    // The start, with its statistics recomputed: hand moves leave them stale.
    ComputeClassStats(state, true);
    result.before = FiguresOf(state);

    Problem problem(state, classCount);
    const Schedule schedule;
    problem.FindNeighbours(schedule.neighbours);
    problem.smooth = Tunable("FB_LAM", 0);
    const int chains = std::max(control.chains, 1);
    const int threads = std::clamp(control.threads, 1, chains);
    const std::uint64_t budget
        = control.effort ? control.effort : DefaultOptimiseEffort(state.FStudents.size(), classCount);

    std::vector<std::atomic<std::uint64_t>> done(static_cast<std::size_t>(chains));
    const double whole = static_cast<double>(budget) * chains;
    double reported = -1;
    const auto report = [&] {
        if (!control.progress)
            return;
        double sum = 0;
        for (const auto& d : done)
            sum += static_cast<double>(d.load(std::memory_order_relaxed));
        const double fraction = std::min(sum / whole, 1.0);
        if (fraction - reported >= 0.005) {
            reported = fraction;
            control.progress(fraction);
        }
    };

    // Rounds: every chain anneals from the best division of the round before.
    ChainOutcome chosen {result.before, problem.startClass, problem.startPos, 0};
    const int rounds = std::max(schedule.rounds, 1);
    std::uint64_t spent = 0;
    for (int round = 0; round < rounds && !(control.cancel && control.cancel->load()); ++round) {
        const double share = rounds == 1 ? 1.0
            : round == 0                 ? schedule.firstShare
                                         : (1.0 - schedule.firstShare) / (rounds - 1);
        const std::uint64_t steps
            = round == rounds - 1 ? budget - spent : static_cast<std::uint64_t>(share * static_cast<double>(budget));
        const double start = round == 0 ? 0.0 : schedule.reheat;
        std::vector<ChainOutcome> outcomes(static_cast<std::size_t>(chains));
        std::vector<std::exception_ptr> failures(static_cast<std::size_t>(threads));
        std::atomic<int> running {threads - 1};
        const auto work = [&](int thread, bool caller) {
            try {
                for (int c = thread; c < chains; c += threads) {
                    std::uint64_t seedState
                        = control.seed + static_cast<std::uint64_t>(c + round * chains) * 0x9E3779B97F4A7C15ULL;
                    Annealer annealer(problem, chosen.cls, chosen.pos, optimise::SplitMix(seedState));
                    auto& counter = done[static_cast<std::size_t>(c)];
                    outcomes[static_cast<std::size_t>(c)]
                        = annealer.Run(steps, start, schedule, control.cancel, [&](std::uint64_t step) {
                              counter.store(spent + step, std::memory_order_relaxed);
                              if (caller)
                                  report();
                          });
                    counter.store(spent + steps, std::memory_order_relaxed);
                }
            } catch (...) {
                failures[static_cast<std::size_t>(thread)] = std::current_exception();
            }
        };
        std::vector<std::thread> workers;
        for (int t = 1; t < threads; ++t)
            workers.emplace_back([&, t] {
                work(t, false);
                running.fetch_sub(1);
            });
        work(0, true);
        while (running.load() > 0) {
            report();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        for (std::thread& worker : workers)
            worker.join();
        for (const std::exception_ptr& failure : failures)
            if (failure)
                std::rethrow_exception(failure);
        spent += steps;
        // The best chain by its figures, the lower chain index among equal ones.
        for (ChainOutcome& outcome : outcomes) {
            result.steps += outcome.steps;
            if (outcome.best < chosen.best)
                chosen = std::move(outcome);
        }
    }
    result.cancelled = control.cancel && control.cancel->load();

    if (chosen.best < result.before) {
        std::vector<TStudentList> lists = state.FClasses;
        for (int i = 0; i < problem.itemCount; ++i) {
            const auto ui = static_cast<std::size_t>(i);
            lists[static_cast<std::size_t>(chosen.cls[ui])][static_cast<std::size_t>(chosen.pos[ui])]
                = problem.student[ui];
        }
        const std::vector<TStudentList> start = state.FClasses;
        state.FClasses = std::move(lists);
        ComputeClassStats(state, true);
        if (FiguresOf(state) < result.before) {
            result.outcome = OptimiseOutcome::Improved;
        } else { // the search's picture and the statistics disagree: keep the start
            state.FClasses = start;
            ComputeClassStats(state, true);
        }
    }
    if (result.outcome != OptimiseOutcome::Improved)
        result.outcome = OptimiseOutcome::Unchanged;
    for (std::size_t c = 0; c < state.FClasses.size(); ++c)
        for (const PStudent student : state.FClasses[c])
            student->ClassNo = static_cast<std::int32_t>(c) + 1;
    result.after = FiguresOf(state);
    result.total = TotalDeviation(state.FDevSum);
    if (control.progress)
        control.progress(1.0);
    return result;
}

} // namespace fenban
