// The window's buttons on a grade of 5,000 students in 100 classes, through
// the real widgets (offscreen): each should finish within a screen frame.
#include "GuiBench.h"
#include "app/Unit1.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

namespace {

// A window holding a divided grade.
struct DividedGrade {
    TForm1 window;
    explicit DividedGrade(int students, int classes)
    {
        QGuiApplication::clipboard()->setText(GradeText(students));
        button("BitBtn1")->click();
        window.findChild<QSpinBox*>(QStringLiteral("SpinEdit1"))->setValue(classes);
        button("BitBtn2")->click();
    }
    QPushButton* button(const char* name) { return window.findChild<QPushButton*>(QString::fromLatin1(name)); }
    QTreeWidget* tree() { return window.findChild<QTreeWidget*>(QStringLiteral("trvClassList")); }
};

void BM_AssignButton(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    for (auto _ : state)
        grade.button("BitBtn2")->click();
}
BENCHMARK(BM_AssignButton)->Unit(benchmark::kMillisecond);

void BM_BalanceButton(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    for (auto _ : state)
        grade.button("Button4")->click();
}
BENCHMARK(BM_BalanceButton)->Unit(benchmark::kMillisecond);

void BM_ListWholeRoster(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    QTreeWidgetItem* root = grade.tree()->topLevelItem(0);
    QTreeWidgetItem* firstClass = root->child(0);
    for (auto _ : state) {
        grade.tree()->setCurrentItem(root);
        state.PauseTiming();
        grade.tree()->setCurrentItem(firstClass);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ListWholeRoster)->Unit(benchmark::kMillisecond);

void BM_CopyWholeListing(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    grade.tree()->setCurrentItem(grade.tree()->topLevelItem(0));
    grade.window.findChild<QTableView*>(QStringLiteral("StrGrid"))->selectAll();
    for (auto _ : state)
        grade.button("BitBtn3")->click();
}
BENCHMARK(BM_CopyWholeListing)->Unit(benchmark::kMillisecond);

} // namespace
