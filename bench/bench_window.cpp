// The window's buttons on a grade of 5,000 students in 100 classes, through
// the real widgets (offscreen): each should finish within a screen frame.
#include "GuiBench.h"

#include <QAction>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

using namespace fenban::testkit;

namespace {

// A window holding a divided grade (not shown: the handlers alone).
struct DividedGrade {
    WindowDriver driver {WindowDriver::Mode::Plain};
    explicit DividedGrade(int students, int classes)
    {
        driver.paste(GradeText(students));
        driver.control<QSpinBox>("SpinEdit1")->setValue(classes);
        driver.click("BitBtn2");
    }
    QPushButton* button(const char* name) { return driver.control<QPushButton>(name); }
    QTreeWidget* tree() { return driver.control<QTreeWidget>("trvClassList"); }
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
    grade.driver.view("StrGrid")->selectAll();
    for (auto _ : state)
        grade.button("BitBtn3")->click();
}
BENCHMARK(BM_CopyWholeListing)->Unit(benchmark::kMillisecond);

// Undo and redo of a balancing press: the snapshot restored and the
// lists, the averages and the tree drawn again.
void BM_UndoAndRedoBalance(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    grade.button("Button4")->click();
    for (auto _ : state) {
        grade.driver.action("actUndo")->trigger();
        grade.driver.action("actRedo")->trigger();
    }
}
BENCHMARK(BM_UndoAndRedoBalance)->Unit(benchmark::kMillisecond);

} // namespace
