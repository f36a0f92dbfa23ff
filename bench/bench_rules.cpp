// The rules of a grade: sound-alike names of 5,000 students, reading every
// rule column, and checking a division against the rules.
#include "RulesTestKit.h"
#include "SampleGrade.h"
#include "engine/Assignment.h"
#include "rules/RuleBreaches.h"
#include "rules/RuleBuilder.h"
#include "rules/SoundAlike.h"

#include <benchmark/benchmark.h>

namespace {

using fenban::rulestest::Table;
using fenban::rulestest::TableOfTabs;

std::vector<std::string> Names(const Table& table)
{
    std::vector<std::string> names;
    for (std::size_t r = 1; r < table.size(); ++r)
        names.push_back(table[r][0]);
    return names;
}

// First: the transliterator is made and every character read once.
void BM_SoundAlikeGroupsFirstCall(benchmark::State& state)
{
    const std::vector<std::string> names = Names(TableOfTabs(fenban::sample::MakeSampleGrade(7, 5000)));
    for (auto _ : state)
        benchmark::DoNotOptimize(fenban::SoundAlikeGroups(names));
}
BENCHMARK(BM_SoundAlikeGroupsFirstCall)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SoundAlikeGroups(benchmark::State& state)
{
    const std::vector<std::string> names
        = Names(TableOfTabs(fenban::sample::MakeSampleGrade(8, static_cast<int>(state.range(0)))));
    for (auto _ : state)
        benchmark::DoNotOptimize(fenban::SoundAlikeGroups(names));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SoundAlikeGroups)->Arg(600)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_BuildDivisionRules(benchmark::State& state)
{
    const fenban::DivisionState grade = fenban::rulestest::StateOf(
        TableOfTabs(fenban::sample::MakeSampleGradeWithRules(9, static_cast<int>(state.range(0)))));
    for (auto _ : state)
        benchmark::DoNotOptimize(fenban::BuildDivisionRules(grade, 100, true));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BuildDivisionRules)->Arg(600)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_FindRuleBreaches(benchmark::State& state)
{
    fenban::DivisionState grade = fenban::rulestest::StateOf(
        TableOfTabs(fenban::sample::MakeSampleGradeWithRules(9, static_cast<int>(state.range(0)))));
    fenban::AssignClassesWithRules(grade, 100);
    const fenban::DivisionRules rules = fenban::BuildDivisionRules(grade, 100, true);
    for (auto _ : state)
        benchmark::DoNotOptimize(fenban::FindRuleBreaches(rules, fenban::ClassesOfRecords(grade), 100));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FindRuleBreaches)->Arg(5000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
