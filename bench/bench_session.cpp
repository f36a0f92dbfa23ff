// Keeping the work of a grade of 5,000 students in 100 classes: the memory of
// a history of 120 steps (and of 100 pastes of a new grade), the time of a step and of an undo, and the writing
// of the recovery file (JSON, written atomically) and of a division file.
#include "SessionTestKit.h"
#include "engine/Assignment.h"
#include "engine/Balancing.h"
#include "engine/Division.h"
#include "session/DivisionFile.h"
#include "session/History.h"
#include "session/RecoveryFile.h"
#include "session/Session.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace fenban;
using namespace fenban::sessiontest;

namespace {

constexpr int Students = 5000;

// Resident memory of the process in bytes; 0 where it cannot be read.
double ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    double pages = 0, resident = 0;
    if (!(statm >> pages >> resident))
        return 0;
    return resident * 4096;
}

// Bytes the allocator has handed out; 0 outside glibc.
double HeapBytes()
{
#if defined(__GLIBC__)
    return static_cast<double>(mallinfo2().uordblks);
#else
    return 0;
#endif
}

World DividedGrade(std::mt19937_64& rng)
{
    World world;
    Paste(world, RandomTable(rng, Students, 3));
    world.division.assign();
    return world;
}

// One step of an afternoon's work: mostly 调整, some hand moves, now and
// then 编班, a class count, a new paste.
std::string Step(World& world, std::mt19937_64& rng, int i, int pasteEvery = 40)
{
    Division& d = world.division;
    if (i % pasteEvery == pasteEvery - 1) {
        Paste(world, RandomTable(rng, Students, 3));
        return "读入数据";
    }
    if (i % 40 == 0 || i % 40 == 1) {
        if (i % 40 == 0) {
            d.setClassCount(99 + i % 2);
            return "分班数";
        }
        d.assign();
        return "编班";
    }
    if (i % 4 == 3) {
        d.setListing(-1);
        d.move(static_cast<int>(rng() % d.state().FStudents.size()), static_cast<int>(rng() % 50));
        return "调班";
    }
    d.setManual(false);
    d.setPair(1, 2);
    d.setCoefficient(1);
    d.press();
    return "调整";
}

// Arguments: steps, a paste every n steps (1: every step a new grade).
void BM_HistoryMemory(benchmark::State& bench)
{
    const int steps = static_cast<int>(bench.range(0));
    const int pasteEvery = static_cast<int>(bench.range(1));
    for (auto _ : bench) {
        std::mt19937_64 rng(20240611);
        World world = DividedGrade(rng);
        const double heap = HeapBytes();
        const double resident = ResidentBytes();
        History history(world.capture(), {1000, std::size_t {1} << 40});
        for (int i = 0; i < steps; ++i) {
            const Choices before = world.choices();
            const std::string name = Step(world, rng, i, pasteEvery);
            history.record(name, before, world.capture());
        }
        bench.counters["history_MB"] = static_cast<double>(history.heldBytes()) / 1e6;
        bench.counters["heap_growth_MB"] = (HeapBytes() - heap) / 1e6;
        bench.counters["rss_growth_MB"] = (ResidentBytes() - resident) / 1e6;
        bench.counters["steps"] = static_cast<double>(history.stepsDone());
    }
}

// Capture and record of a 调整 press (the press itself not timed).
void BM_RecordStep(benchmark::State& bench)
{
    std::mt19937_64 rng(1);
    World world = DividedGrade(rng);
    History history(world.capture());
    for (int i = 0; i < 100; ++i) // a history already a hundred steps long
        history.record("调整", world.choices(), (Step(world, rng, 2), world.capture()));
    for (auto _ : bench) {
        bench.PauseTiming();
        const Choices before = world.choices();
        Step(world, rng, 2);
        bench.ResumeTiming();
        history.record("调整", before, world.capture());
    }
}

// A 调整 recorded by the session with its recovery file, as the window
// records a step: what the step's thread pays, the file written on it (0)
// or in the background (1).
void BM_RecordStepWithRecovery(benchmark::State& bench)
{
    QTemporaryDir dir;
    std::mt19937_64 rng(3);
    World world = DividedGrade(rng);
    Session session(world.capture(), std::make_unique<RecoveryFile>(dir.path().toStdString()), {}, bench.range(0) != 0);
    for (auto _ : bench) {
        bench.PauseTiming();
        session.flushRecovery(); // each step's write on its own, as between two clicks
        const Choices before = world.choices();
        Step(world, rng, 2);
        bench.ResumeTiming();
        session.record("调整", before, world.capture());
    }
    session.flushRecovery();
}

// Undo of a 调整 (the records stay) or of a paste (the records are built anew),
// the live capture and the restore included.
void BM_Undo(benchmark::State& bench)
{
    const bool overPaste = bench.range(0) != 0;
    std::mt19937_64 rng(2);
    World world = DividedGrade(rng);
    History history(world.capture());
    const Choices before = world.choices();
    if (overPaste)
        Paste(world, RandomTable(rng, Students, 3));
    else
        Step(world, rng, 2);
    history.record("step", before, world.capture());
    for (auto _ : bench) {
        world.restore(history.undo(world.capture()));
        bench.PauseTiming();
        world.restore(history.redo(world.capture()));
        bench.ResumeTiming();
    }
}

void BM_RecoveryWrite(benchmark::State& bench)
{
    std::mt19937_64 rng(3);
    const Snapshot snapshot = DividedGrade(rng).capture();
    QTemporaryDir dir;
    RecoveryFile recovery(dir.path().toStdString());
    for (auto _ : bench)
        recovery.write(snapshot, "初一.fenban", "调整");
    bench.counters["file_kB"] = static_cast<double>(std::filesystem::file_size(recovery.path())) / 1e3;
    recovery.remove();
}

void BM_DivisionJson(benchmark::State& bench)
{
    std::mt19937_64 rng(4);
    const Snapshot snapshot = DividedGrade(rng).capture();
    for (auto _ : bench)
        benchmark::DoNotOptimize(DivisionJson(snapshot));
}

// Reading, checking (the table built once) and restoring (built again).
void BM_OpenDivisionFile(benchmark::State& bench)
{
    std::mt19937_64 rng(5);
    const Snapshot snapshot = DividedGrade(rng).capture();
    QTemporaryDir dir;
    const std::filesystem::path file = std::filesystem::path(dir.path().toStdString()) / "grade.fenban";
    WriteDivisionFile(file, snapshot);
    for (auto _ : bench) {
        World opened;
        opened.restore(ReadDivisionFile(file));
        benchmark::DoNotOptimize(opened.state().FStudents.data());
    }
}

} // namespace

BENCHMARK(BM_HistoryMemory)->Args({120, 40})->Args({100, 1})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordStepWithRecovery)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecoveryWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DivisionJson)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenDivisionFile)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
