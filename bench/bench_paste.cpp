// Pasting a grade: 5,000 students x 15 columns through the real window
// (offscreen), and the roster build alone.
#include "GuiBench.h"
#include "app/Unit1.h"
#include "roster/CellGrid.h"
#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <benchmark/benchmark.h>

namespace {

void BM_PasteThroughWindow(benchmark::State& state)
{
    TForm1 window;
    auto* pasteButton = window.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
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
        const auto lines = fenban::SplitLines(text);
        fenban::CellGrid grid(15, static_cast<int>(lines.size()));
        for (std::size_t row = 0; row < lines.size(); ++row) {
            const auto fields = fenban::SplitFields(lines[row]);
            for (std::size_t f = 0; f < fields.size(); ++f)
                grid.setCell(static_cast<int>(f) + 1, static_cast<int>(row), std::string(fields[f]));
        }
        benchmark::DoNotOptimize(fenban::BuildRosterFromGrid(grid, "."));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SplitAndBuildRoster)->Arg(5000)->Unit(benchmark::kMillisecond);

} // namespace
