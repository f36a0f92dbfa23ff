// Changes after a division of 5,000 students in 100 classes: one proposal for
// a late student and for a requested move, a batch of 50 late students, and
// the check of a division file with 100 recorded changes beside the check of
// the same division without them.
#include "SessionTestKit.h"
#include "document/AfterChanges.h"
#include "document/PublicRun.h"
#include "document/Workbench.h"
#include "engine/Division.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>

using namespace fenban;
using namespace fenban::sessiontest;

namespace {

constexpr int Students = 5000;
constexpr int Classes = 100;

OptimiseControl Control()
{
    OptimiseControl control;
    control.threads = 2;
    return control;
}

// The grade divided in public with the default seed.
void Divided(Workbench& work)
{
    std::mt19937_64 rng(2026);
    work.start(CellGrid(6, 5), nullptr, false);
    work.openTable(RandomTable(rng, Students, 0), ".", {}, "初一.xlsx");
    const PublicRequest request = work.preparePublic({Classes, true, DefaultRankBands}, "20240611", {});
    work.finishPublic(request, RunPublicDivision(request, Control()));
}

std::vector<std::vector<std::string>> LateRows(const Division& division, int count)
{
    std::vector<std::vector<std::string>> rows;
    const std::size_t columns = ArrivalColumns(division).size();
    for (int k = 0; k < count; ++k) {
        std::vector<std::string> row(columns);
        row[0] = "插班" + std::to_string(k);
        row[1] = k % 2 == 0 ? "男" : "女";
        for (std::size_t c = 2; c < columns; ++c)
            row[c] = std::to_string(55 + (k * 7 + static_cast<int>(c) * 13) % 45);
        rows.push_back(std::move(row));
    }
    return rows;
}

Workbench& Shared()
{
    static Workbench work;
    static const bool divided = (Divided(work), true);
    (void)divided;
    return work;
}

void BM_ProposeOneLateStudent(benchmark::State& state)
{
    const Division& division = Shared().division();
    const ArrivalRows rows = ReadArrivalRows(division, LateRows(division, 1));
    for (auto _ : state) {
        const auto study = ChangeStudy::ofArrivals(division, rows);
        benchmark::DoNotOptimize(study->weigher().placeArrivals(false));
    }
}
BENCHMARK(BM_ProposeOneLateStudent)->Unit(benchmark::kMillisecond);

void BM_ProposeRequestedMove(benchmark::State& state)
{
    const Division& division = Shared().division();
    int student = 0;
    for (auto _ : state) {
        const auto study = ChangeStudy::ofRequest(division);
        const int target = ClassesOfRecords(division.state())[static_cast<std::size_t>(student)] % Classes + 1;
        benchmark::DoNotOptimize(study->weigher().requestMove(student, target));
        student = (student + 97) % Students;
    }
}
BENCHMARK(BM_ProposeRequestedMove)->Unit(benchmark::kMillisecond);

void BM_PlaceFiftyLateStudents(benchmark::State& state)
{
    const Division& division = Shared().division();
    const ArrivalRows rows = ReadArrivalRows(division, LateRows(division, 50));
    for (auto _ : state) {
        const auto study = ChangeStudy::ofArrivals(division, rows);
        benchmark::DoNotOptimize(study->weigher().placeArrivals(state.range(0) != 0));
    }
}
BENCHMARK(BM_PlaceFiftyLateStudents)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 核验 of the public division alone (Arg 0) and with 100 requested moves after it (Arg 100).
void BM_CheckDivisionFile(benchmark::State& state)
{
    QTemporaryDir folder;
    Workbench work;
    Divided(work);
    for (int k = 0, student = 0; k < state.range(0); ++k, student = (student + 131) % Students) {
        const Division& division = work.division();
        const auto study = ChangeStudy::ofRequest(division);
        const int target = ClassesOfRecords(division.state())[static_cast<std::size_t>(student)] % Classes + 1;
        const MovePlan plan = study->weigher().requestMove(student, target);
        if (plan.partners.empty()) {
            --k;
            continue;
        }
        work.applyChange(StepKind::RequestMove, study->entry(&plan.partners.front(), {"2026-09-01", "", "", ""}));
    }
    const std::filesystem::path file = std::filesystem::path(folder.path().toStdString()) / "核验.fenban";
    work.save(file);
    for (auto _ : state) {
        DivisionState recorded, redone;
        DivisionCheck check = ReadDivisionFileCheck(file, recorded, redone);
        RedoDivision(redone, check, Control(), &recorded);
        if (!check.matches())
            state.SkipWithError(check.changeFailure.c_str());
    }
}
BENCHMARK(BM_CheckDivisionFile)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
