// The engine's buttons at school sizes: the balance press (product and the
// plain reference side by side) and the assignment.
#include "BalancingReference.h"
#include "EngineTestKit.h"
#include "engine/Assignment.h"
#include "engine/Balancing.h"
#include "engine/Division.h"

#include <benchmark/benchmark.h>

using namespace fenban;
using namespace fenban::testkit;

namespace {

DivisionState Divided(int students, int classes, ScoreKind kind)
{
    std::mt19937_64 rng(20240611);
    DivisionState state;
    FillRandomRoster(state, rng, students, kind);
    ResizeClassLists(state, classes);
    AssignClasses(state, classes);
    return state;
}

BalanceRequest AutoPress(int classes)
{
    return BalanceRequest {false, 1, 2, -1, 1, classes};
}

// Arguments: students, classes, score kind. The state carries over from
// press to press, as when the user keeps pressing.
void BM_Press(benchmark::State& bench)
{
    const int students = static_cast<int>(bench.range(0));
    const int classes = static_cast<int>(bench.range(1));
    DivisionState state = Divided(students, classes, static_cast<ScoreKind>(bench.range(2)));
    for (auto _ : bench)
        benchmark::DoNotOptimize(Balance(state, AutoPress(classes)));
}

void BM_ReferencePress(benchmark::State& bench)
{
    const int students = static_cast<int>(bench.range(0));
    const int classes = static_cast<int>(bench.range(1));
    DivisionState state = Divided(students, classes, static_cast<ScoreKind>(bench.range(2)));
    for (auto _ : bench)
        benchmark::DoNotOptimize(reference::Balance(state, AutoPress(classes)).outcome);
}

void BM_Assign(benchmark::State& bench)
{
    const int students = static_cast<int>(bench.range(0));
    const int classes = static_cast<int>(bench.range(1));
    DivisionState state = Divided(students, classes, ScoreKind::OneDecimal);
    for (auto _ : bench)
        benchmark::DoNotOptimize(AssignClasses(state, classes));
}

constexpr int OneDecimal = static_cast<int>(ScoreKind::OneDecimal);
constexpr int Half = static_cast<int>(ScoreKind::Half);

} // namespace

BENCHMARK(BM_Press)
    ->Args({600, 12, OneDecimal})
    ->Args({5000, 100, OneDecimal})
    ->Args({1000, 2, OneDecimal})
    ->Args({5000, 2, Half})
    ->Args({5000, 2, OneDecimal})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferencePress)
    ->Args({600, 12, OneDecimal})
    ->Args({5000, 100, OneDecimal})
    ->Args({1000, 2, OneDecimal})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Assign)->Args({5000, 100})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
