// Pasting a grade: 5,000 students x 15 columns through the real window
// (offscreen), and the roster build alone.
#include "GuiBench.h"
#include "roster/CellGrid.h"
#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <benchmark/benchmark.h>

using namespace fenban;
using namespace fenban::testkit;

namespace {

void BM_PasteThroughWindow(benchmark::State& state)
{
    TForm1 window;
    auto* pasteButton = FindControl<QPushButton>(window, "BitBtn1");
    QGuiApplication::clipboard()->setText(GradeText(static_cast<int>(state.range(0))));
    for (auto _ : state)
        pasteButton->click();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PasteThroughWindow)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_SplitAndBuildRoster(benchmark::State& state)
{
    const std::string text = GradeText(static_cast<int>(state.range(0))).toStdString();
    for (auto _ : state) {
        const FieldRows table = SplitTable(text);
        CellGrid grid(RosterColumns, 2);
        SizeGridForTable(grid, table);
        FillGridWithTable(grid, table);
        benchmark::DoNotOptimize(BuildRosterFromGrid(grid, "."));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SplitAndBuildRoster)->Arg(5000)->Unit(benchmark::kMillisecond);

} // namespace
