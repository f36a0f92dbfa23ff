// 编班 with a 班级设置 at 5,000 students and 100 classes (budget: 16 ms), and
// 一键均衡 with three kinds of class beside the same grade without a set-up.
#include "EngineTestKit.h"
#include "engine/Assignment.h"
#include "engine/ClassSetup.h"
#include "engine/Division.h"
#include "engine/GroupBalancing.h"
#include "engine/Optimiser.h"

#include <benchmark/benchmark.h>
#include <random>

using namespace fenban;
using namespace fenban::testkit;

namespace {

// A grade with a 特长 column: every twentieth student 体育.
DivisionState Grade(int students)
{
    std::mt19937_64 rng(2026);
    DivisionState state;
    FillRandomRoster(state, rng, students, ScoreKind::OneDecimal);
    state.ExtraTexts.headers = {"特长"};
    for (std::size_t i = 0; i < state.Records.size(); ++i)
        state.ExtraTexts.cells.push_back({i % 20 == 0 ? "体育" : ""});
    return state;
}

// Classes of three kinds: `tops` 实验班 of `topSize`, `specials` 特长班 of 体育, the rest 平行班 of an even share.
ClassSetup ThreeKinds(int classes, int tops, int topSize, int specials)
{
    ClassSetup setup;
    for (int k = 1; k <= classes; ++k) {
        SetupClass setupClass;
        setupClass.name = NameFromPattern("高一(#)班", k);
        if (k <= tops) {
            setupClass.kind = ClassKind::Top;
            setupClass.size = topSize;
        } else if (k <= tops + specials) {
            setupClass.kind = ClassKind::Special;
            setupClass.column = "特长";
            setupClass.value = "体育";
        }
        setup.classes.push_back(setupClass);
    }
    return setup;
}

void AssignWithSetup(benchmark::State& bench)
{
    DivisionState state = Grade(5000);
    const ClassSetup setup = ThreeKinds(100, 4, 45, 5);
    for (auto _ : bench) {
        const SetupPlan plan = PlanSetup(state, setup);
        ResizeClassLists(state, setup.classCount());
        benchmark::DoNotOptimize(AssignBySetup(state, plan));
    }
}
BENCHMARK(AssignWithSetup)->Unit(benchmark::kMillisecond);

void AssignWithoutSetup(benchmark::State& bench)
{
    DivisionState state = Grade(5000);
    for (auto _ : bench) {
        ResizeClassLists(state, 100);
        benchmark::DoNotOptimize(AssignClasses(state, 100));
    }
}
BENCHMARK(AssignWithoutSetup)->Unit(benchmark::kMillisecond);

OptimiseControl Control()
{
    OptimiseControl control;
    control.threads = 2;
    control.balance = RankBalance {10};
    return control;
}

// 一键均衡 of 600 students in 12 classes: with three kinds, then without.
void BalanceThreeKinds(benchmark::State& bench)
{
    const DivisionState start = [] {
        DivisionState state = Grade(600);
        const ClassSetup setup = ThreeKinds(12, 2, 45, 1);
        ResizeClassLists(state, 12);
        AssignBySetup(state, PlanSetup(state, setup));
        return state;
    }();
    const ClassGroups groups = GroupsOf(ThreeKinds(12, 2, 45, 1));
    for (auto _ : bench) {
        DivisionState state = CopyOf(start);
        benchmark::DoNotOptimize(OptimiseInGroups(state, groups, {}, Control()));
    }
}
BENCHMARK(BalanceThreeKinds)->Unit(benchmark::kMillisecond)->Iterations(3);

void BalanceWithoutSetup(benchmark::State& bench)
{
    const DivisionState start = [] {
        DivisionState state = Grade(600);
        ResizeClassLists(state, 12);
        AssignClasses(state, 12);
        return state;
    }();
    for (auto _ : bench) {
        DivisionState state = CopyOf(start);
        benchmark::DoNotOptimize(OptimiseDivision(state, 12, {}, Control()));
    }
}
BENCHMARK(BalanceWithoutSetup)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
