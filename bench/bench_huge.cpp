// Hostile pastes through the real window (offscreen): 100,000 lines, a line
// of 10,000 fields, a single 1 MB cell and binary garbage, then the division
// and a balancing press on the largest grade. Each case reports the peak
// resident memory of the process (run one case per process for figures of
// its own: --benchmark_filter=BM_PasteHundredThousandLines).
#include "GuiBench.h"

#include <QApplication>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

using namespace fenban::testkit;

namespace {

void ReportPeakMemory(benchmark::State& state)
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Pastes `text` and lets the window draw the result, as the user would see it.
void BenchPaste(benchmark::State& state, const QString& text)
{
    WindowDriver w(WindowDriver::Mode::Plain);
    w.window.show();
    qsizetype boxes = 0;
    for (auto _ : state) {
        boxes += w.paste(text).size();
        QApplication::processEvents();
    }
    state.counters["boxes"] = static_cast<double>(boxes);
    state.counters["students"] = static_cast<double>(w.window.state().FStudents.size());
    ReportPeakMemory(state);
}

QString WideLine(int fields)
{
    QStringList cells;
    for (int k = 0; k < fields; ++k)
        cells << QString::number(k % 100);
    return QStringLiteral("姓名\t性别\t班级\t总分\r\n") + cells.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
}

QString Garbage(qsizetype units)
{
    QString text(units, Qt::Uninitialized);
    QRandomGenerator random(20261207);
    for (QChar& unit : text)
        unit = QChar(static_cast<char16_t>(random.bounded(0x10000))); // NULs and lone surrogates too
    return text;
}

void BM_PasteHundredThousandLines(benchmark::State& state)
{
    BenchPaste(state, GradeText(100000));
}
BENCHMARK(BM_PasteHundredThousandLines)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PasteTenThousandFields(benchmark::State& state)
{
    BenchPaste(state, WideLine(10000));
}
BENCHMARK(BM_PasteTenThousandFields)->Unit(benchmark::kMillisecond)->Iterations(3);

// 100,000 lines, one of them 10,000 fields wide: the grid is 100,000 rows by
// 10,001 columns, nearly all empty.
void BM_PasteManyLinesOneWide(benchmark::State& state)
{
    const QString wide = WideLine(10000);
    BenchPaste(state, wide + GradeText(99999).section(QStringLiteral("\r\n"), 1));
}
BENCHMARK(BM_PasteManyLinesOneWide)->Unit(benchmark::kMillisecond)->Iterations(3);

// A megabyte in the name column is cut to the name's ten bytes; in a score
// column it cannot be read and the failure box names the cell.
void BM_PasteMegabyteName(benchmark::State& state)
{
    BenchPaste(state,
        QStringLiteral("姓名\t性别\t班级\t总分\r\n") + QString(1 << 20, QLatin1Char('x'))
            + QStringLiteral("\t男\t\t1\r\n"));
}
BENCHMARK(BM_PasteMegabyteName)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PasteMegabyteScore(benchmark::State& state)
{
    BenchPaste(state,
        QStringLiteral("姓名\t性别\t班级\t总分\r\nA\t男\t\t") + QString(1 << 20, QLatin1Char('9'))
            + QStringLiteral("x\r\n"));
}
BENCHMARK(BM_PasteMegabyteScore)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PasteBinaryGarbage(benchmark::State& state)
{
    BenchPaste(state, Garbage(1 << 20));
}
BENCHMARK(BM_PasteBinaryGarbage)->Unit(benchmark::kMillisecond)->Iterations(3);

// The division and one balancing press of 100,000 students in 100 classes.
void BM_AssignHundredThousand(benchmark::State& state)
{
    WindowDriver w(WindowDriver::Mode::Plain);
    w.window.show();
    w.paste(GradeText(100000));
    for (auto _ : state) {
        w.click("BitBtn2");
        QApplication::processEvents();
    }
    ReportPeakMemory(state);
}
BENCHMARK(BM_AssignHundredThousand)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BalanceHundredThousand(benchmark::State& state)
{
    WindowDriver w(WindowDriver::Mode::Plain);
    w.window.show();
    w.paste(GradeText(100000));
    w.click("BitBtn2");
    for (auto _ : state) {
        w.click("Button4");
        QApplication::processEvents();
    }
    ReportPeakMemory(state);
}
BENCHMARK(BM_BalanceHundredThousand)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
