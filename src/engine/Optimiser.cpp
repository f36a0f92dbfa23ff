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
    int neighbours = static_cast<int>(Tunable("FB_K", 24));
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
    Annealer(const Problem& problem, std::uint64_t seed)
        : chain_(problem)
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
            const long long d = chain_.SwapDelta(i, Partner(i));
            if (d > 0) {
                sum += static_cast<double>(d);
                ++count;
            }
        }
        return count ? sum / count : 1.0;
    }

    template <class Tick>
    ChainOutcome Run(std::uint64_t budget, const Schedule& schedule, const std::atomic<bool>* cancel, Tick&& tick)
    {
        ChainOutcome out;
        out.best = chain_.Figures();
        out.cls = chain_.cls;
        out.pos = chain_.pos;
        if (!CanMove() || budget == 0)
            return out;
        const double t0 = std::max(schedule.startFactor * MeanUphill(2000), schedule.endTemperature);
        const double t1 = schedule.endTemperature;
        const double ratio = std::log(t1 / t0);
        double temperature = t0;
        const auto movers = static_cast<int>(movers_.size());
        const bool cycles = schedule.cycleShare > 0 && chain_.problem.classCount >= 3;
        std::uint64_t step = 0;
        for (; step < budget; ++step) {
            if (step % CheckEvery == 0) {
                if (cancel && cancel->load(std::memory_order_relaxed))
                    break;
                tick(step);
                temperature = t0 * std::exp(ratio * static_cast<double>(step) / static_cast<double>(budget));
            }
            const int i = movers_[static_cast<std::size_t>(rng_.Below(movers))];
            const bool near = rng_.Unit() < schedule.nearShare;
            const int j = near ? Near(i) : Partner(i);
            if (j < 0)
                continue;
            int k = -1;
            long long delta = 0;
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
            if (delta > 0 && rng_.Unit() >= std::exp(-static_cast<double>(delta) / temperature))
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
        out.steps = step;
        return out;
    }

private:
    Chain chain_;
    Rng rng_;
    std::vector<std::vector<int>> groupClasses_;
    std::vector<int> movers_;
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
    return static_cast<std::uint64_t>(Tunable("FB_STEPS", 100000.0) * std::sqrt(static_cast<double>(students)));
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
    const int chains = std::max(control.chains, 1);
    const int threads = std::clamp(control.threads, 1, chains);
    const std::uint64_t budget
        = control.effort ? control.effort : DefaultOptimiseEffort(state.FStudents.size(), classCount);

    std::vector<ChainOutcome> outcomes(static_cast<std::size_t>(chains));
    std::vector<std::atomic<std::uint64_t>> done(static_cast<std::size_t>(chains));
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(threads));
    std::atomic<int> running {threads - 1};
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

    const auto work = [&](int thread, bool caller) {
        try {
            for (int c = thread; c < chains; c += threads) {
                std::uint64_t seedState = control.seed + static_cast<std::uint64_t>(c);
                Annealer annealer(problem, optimise::SplitMix(seedState));
                auto& counter = done[static_cast<std::size_t>(c)];
                outcomes[static_cast<std::size_t>(c)]
                    = annealer.Run(budget, schedule, control.cancel, [&](std::uint64_t step) {
                          counter.store(step, std::memory_order_relaxed);
                          if (caller)
                              report();
                      });
                counter.store(budget, std::memory_order_relaxed);
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
    result.cancelled = control.cancel && control.cancel->load();

    // The best chain by its figures, the lower chain index among equal ones.
    std::size_t best = 0;
    for (std::size_t c = 0; c < outcomes.size(); ++c) {
        result.steps += outcomes[c].steps;
        if (outcomes[c].best < outcomes[best].best)
            best = c;
    }
    const ChainOutcome& chosen = outcomes[best];
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
