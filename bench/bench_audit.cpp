// The fingerprints the status bar would show after every step, and the
// posted lists ordered by name, on the sample grade (600 students with rule
// columns) and on ten copies of it (6000).
#include "audit/Fingerprint.h"
#include "audit/NoticeNames.h"
#include "document/PublicRun.h"
#include "engine/Division.h"
#include "io/PublicOutputs.h"
#include "rules/RuleBuilder.h"

#include <benchmark/benchmark.h>
#include <map>

using namespace fenban;

namespace {

DivisionState& Grade(int copies)
{
    static std::map<int, DivisionState> grades;
    DivisionState& state = grades[copies];
    if (state.Records.empty()) {
        const TableRows sample = ReadTableFile(FENBAN_SAMPLE_GRADE);
        TableRows table {sample.front()};
        for (int k = 0; k < copies; ++k)
            table.insert(table.end(), sample.begin() + 1, sample.end());
        ReadRoster(table, ".", state);
        ResizeClassLists(state, 13 * copies);
        AssignClassesWithRules(state, 13 * copies);
    }
    return state;
}

void InputFingerprintOfGrade(benchmark::State& run)
{
    const DivisionState& state = Grade(static_cast<int>(run.range(0)));
    for (auto _ : run)
        benchmark::DoNotOptimize(InputFingerprint(state, DivisionOptions {13, false, 10}));
}

void ResultFingerprintOfGrade(benchmark::State& run)
{
    const DivisionState& state = Grade(static_cast<int>(run.range(0)));
    for (auto _ : run)
        benchmark::DoNotOptimize(ResultFingerprint(state));
}

void PostedListsByName(benchmark::State& run)
{
    const DivisionState& state = Grade(static_cast<int>(run.range(0)));
    NoticeOptions options;
    options.maskNames = true;
    options.order = NoticeOrder::Name;
    for (auto _ : run)
        benchmark::DoNotOptimize(NoticeTables(state, {}, options));
}

} // namespace

BENCHMARK(InputFingerprintOfGrade)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(ResultFingerprintOfGrade)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(PostedListsByName)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
