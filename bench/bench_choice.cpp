// The plan of classes by elective subjects at school sizes: 3+1+2 with twelve
// combinations, 3+3 with twenty.
#include "choice/ChoicePlan.h"

#include <benchmark/benchmark.h>

using namespace fenban;

namespace {

CombinationCounts Shares(int students, const std::vector<std::pair<const char*, double>>& shares)
{
    CombinationCounts counts;
    int given = 0;
    for (const auto& [name, share] : shares) {
        const int count = static_cast<int>(students * share);
        counts.emplace_back(ParseChoiceText(name).set, count);
        given += count;
    }
    counts.front().second += students - given;
    return counts;
}

// 1,000 students, twelve combinations of 3+1+2, classes of at most 50 in the fewest rooms.
void BM_PlanFirstThenTwo(benchmark::State& bench)
{
    PlanRequest request;
    request.counts = Shares(1000,
        {{"物化生", 0.30}, {"物化地", 0.12}, {"物化政", 0.08}, {"物生地", 0.10}, {"史政地", 0.15}, {"史生地", 0.06},
            {"史政生", 0.05}, {"物生政", 0.04}, {"史化生", 0.03}, {"物政地", 0.03}, {"史化地", 0.02},
            {"史化政", 0.02}});
    request.limit = 50;
    request.rooms = static_cast<int>(bench.range(0));
    for (auto _ : bench)
        benchmark::DoNotOptimize(MakeChoicePlan(request));
}
BENCHMARK(BM_PlanFirstThenTwo)->Arg(0)->Arg(24)->Unit(benchmark::kMillisecond);

// 3,000 students, twenty combinations of 3+3, classes of at most 45.
void BM_PlanAnyThree(benchmark::State& bench)
{
    PlanRequest request;
    request.model = ChoiceModel::AnyThree;
    request.counts = Shares(3000,
        {{"物化生", 0.18}, {"物化地", 0.09}, {"物化政", 0.07}, {"物生地", 0.09}, {"史政地", 0.11}, {"化生地", 0.06},
            {"生政地", 0.05}, {"物生政", 0.05}, {"史化生", 0.04}, {"物政地", 0.04}, {"物化技", 0.03}, {"史生技", 0.03},
            {"化生技", 0.03}, {"物史地", 0.03}, {"政史技", 0.02}, {"化政地", 0.02}, {"物化史", 0.02}, {"生史地", 0.02},
            {"物生技", 0.01}, {"化史政", 0.01}});
    request.limit = 45;
    request.rooms = static_cast<int>(bench.range(0));
    for (auto _ : bench)
        benchmark::DoNotOptimize(MakeChoicePlan(request));
}
BENCHMARK(BM_PlanAnyThree)->Arg(0)->Arg(72)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
