// The whole division within a plan at 1,000 students: every group divided
// and balanced, and the teaching classes, with the window's default effort.
#include "EngineTestKit.h"
#include "choice/DivideWithinPlan.h"

#include <benchmark/benchmark.h>

using namespace fenban;

namespace {

void BM_DivideWithinPlan(benchmark::State& bench)
{
    const int students = static_cast<int>(bench.range(0));
    std::mt19937_64 rng(20240611);
    DivisionState grade;
    testkit::FillRandomRoster(grade, rng, students, testkit::ScoreKind::OneDecimal);
    const std::vector<std::pair<const char*, int>> shares
        = {{"物化生", 30}, {"物化地", 12}, {"物化政", 8}, {"物生地", 10}, {"史政地", 15}, {"史生地", 7}, {"史政生", 6},
            {"物生政", 5}, {"史化生", 3}, {"物政地", 2}, {"史化政", 2}};
    std::vector<SubjectSet> pool;
    for (const auto& [name, share] : shares)
        pool.insert(pool.end(), static_cast<std::size_t>(share), ParseChoiceText(name).set);
    StudentChoices choices;
    for (int i = 0; i < students; ++i)
        choices.of.push_back(pool[rng() % pool.size()]);
    const ChoicePlan plan = MakeChoicePlan(PlanRequest {ChoiceModel::FirstThenTwo, CountCombinations(choices), 50, 0});
    OptimiseControl control; // the window's: default effort, two chains on two threads
    for (auto _ : bench)
        benchmark::DoNotOptimize(DivideWithinPlan(grade, choices.of, plan, DivisionOptions {1, true, 10}, control));
}
BENCHMARK(BM_DivideWithinPlan)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
