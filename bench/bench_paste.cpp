// Pasting a grade: 5,000 students x 15 columns through the real window
// (offscreen), and the roster build alone.
#include "app/Unit1.h"
#include "roster/CellGrid.h"
#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>

#include <benchmark/benchmark.h>

namespace {

QString gradeText(int students)
{
    QString text = QStringLiteral("姓名\t性别\t班级\t总分\t语文\t数学\t英语\t物理\t化学\t生物\t政治\t历史\t地理\r\n");
    for (int k = 1; k <= students; ++k) {
        text += QStringLiteral("学生%1\t%2\t\t%3").arg(k).arg(k % 2 ? "男" : "女").arg(400 + (k * 37) % 300);
        for (int s = 0; s < 10; ++s)
            text += QStringLiteral("\t%1.5").arg(40 + (k * (s + 3)) % 60);
        text += QStringLiteral("\r\n");
    }
    return text;
}

void BM_PasteThroughWindow(benchmark::State& state)
{
    TForm1 window;
    auto* pasteButton = window.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
    QGuiApplication::clipboard()->setText(gradeText(static_cast<int>(state.range(0))));
    for (auto _ : state)
        pasteButton->click();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PasteThroughWindow)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_SplitAndBuildRoster(benchmark::State& state)
{
    const std::string text = gradeText(static_cast<int>(state.range(0))).toStdString();
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

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
