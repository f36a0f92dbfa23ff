// The window's buttons on a grade of 5,000 students in 100 classes, through
// the real widgets (offscreen, the window shown on the averages tab, where
// the band figure wants the balance report): each click should return within
// a screen frame, its handler and the redraws it makes done.
#include "GuiBench.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

using namespace fenban::testkit;

namespace {

// A shown window on the averages tab; divided unless asked otherwise.
struct DividedGrade {
    WindowDriver driver {WindowDriver::Mode::Plain};
    explicit DividedGrade(int students, int classes, bool divided = true)
    {
        driver.window.show();
        driver.control<QTabWidget>("PageControl1")->setCurrentWidget(driver.control("TabSheet2"));
        driver.paste(GradeText(students));
        driver.control<QSpinBox>("SpinEdit1")->setValue(classes);
        if (divided)
            driver.click("BitBtn2");
        Settle();
    }
    ~DividedGrade() { driver.window.settleBalanceReport(); }
    QPushButton* button(const char* name) { return driver.control<QPushButton>(name); }
    QTreeWidget* tree() { return driver.control<QTreeWidget>("trvClassList"); }
    // The grid menu's item "-->转到 k 班级" (triggered as a click on it does:
    // the driver's moveToClass would wait for the recovery file too).
    QAction* moveItem(int classNo)
    {
        for (QAction* item : driver.control<QMenu>("ppmClass")->actions())
            if (item->data().toInt() == classNo)
                return item;
        qFatal("no menu item for class %d", classNo);
    }
    // What the last click left on its way (the report, the paint events)
    // arrives, off the clock.
    void Settle()
    {
        driver.window.settleBalanceReport();
        QApplication::processEvents();
    }
};

void BM_PasteButton(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    QGuiApplication::clipboard()->setText(GradeText(5000));
    for (auto _ : state) {
        grade.button("BitBtn1")->click();
        state.PauseTiming();
        grade.Settle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PasteButton)->Unit(benchmark::kMillisecond);

void BM_AssignButton(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    for (auto _ : state) {
        grade.button("BitBtn2")->click();
        state.PauseTiming();
        grade.Settle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AssignButton)->Unit(benchmark::kMillisecond);

// 编班 right after 读入数据: whatever the new roster needs is made here or on its way.
void BM_FirstAssignAfterPaste(benchmark::State& state)
{
    DividedGrade grade(5000, 100, false);
    QGuiApplication::clipboard()->setText(GradeText(5000));
    for (auto _ : state) {
        state.PauseTiming();
        grade.button("BitBtn1")->click();
        grade.driver.control<QSpinBox>("SpinEdit1")->setValue(100);
        QApplication::processEvents();
        state.ResumeTiming();
        grade.button("BitBtn2")->click();
        state.PauseTiming();
        grade.Settle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstAssignAfterPaste)->Unit(benchmark::kMillisecond);

void BM_BalanceButton(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    for (auto _ : state) {
        grade.button("Button4")->click();
        state.PauseTiming();
        grade.Settle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BalanceButton)->Unit(benchmark::kMillisecond);

// 调整 pressed again and again, nothing waited for between the presses.
void BM_BalanceButtonRepeated(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    for (auto _ : state) {
        grade.button("Button4")->click();
        QApplication::processEvents();
    }
    grade.Settle();
}
BENCHMARK(BM_BalanceButtonRepeated)->Unit(benchmark::kMillisecond);

void BM_ListWholeRoster(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    QTreeWidgetItem* root = grade.tree()->topLevelItem(0);
    QTreeWidgetItem* firstClass = root->child(0);
    for (auto _ : state) {
        grade.tree()->setCurrentItem(root);
        state.PauseTiming();
        grade.tree()->setCurrentItem(firstClass);
        grade.Settle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ListWholeRoster)->Unit(benchmark::kMillisecond);

// A student of class 1 to class 2 and back by the grid menu.
void BM_HandMove(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    grade.tree()->setCurrentItem(grade.tree()->topLevelItem(0)->child(0));
    grade.driver.clickCell("StrGrid", 1, 1);
    QAction* toSecond = grade.moveItem(2);
    QAction* toFirst = grade.moveItem(1);
    for (auto _ : state) {
        toSecond->trigger();
        state.PauseTiming();
        grade.Settle();
        grade.tree()->setCurrentItem(grade.tree()->topLevelItem(0)->child(1));
        grade.driver.clickCell("StrGrid", 1, grade.driver.rows("StrGrid") - 1);
        state.ResumeTiming();
        toFirst->trigger();
        state.PauseTiming();
        grade.Settle();
        grade.tree()->setCurrentItem(grade.tree()->topLevelItem(0)->child(0));
        grade.driver.clickCell("StrGrid", 1, grade.driver.rows("StrGrid") - 1);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_HandMove)->Unit(benchmark::kMillisecond);

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
    grade.Settle();
    for (auto _ : state) {
        grade.driver.action("actUndo")->trigger();
        state.PauseTiming();
        grade.Settle();
        state.ResumeTiming();
        grade.driver.action("actRedo")->trigger();
        state.PauseTiming();
        grade.Settle();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_UndoAndRedoBalance)->Unit(benchmark::kMillisecond);

// 查找's ▼ with the bar open on a pinyin query.
void BM_FindNextButton(benchmark::State& state)
{
    DividedGrade grade(5000, 100);
    grade.driver.action("actFind")->trigger();
    grade.driver.control<QLineEdit>("edtFind")->setText(QStringLiteral("zh"));
    for (auto _ : state)
        grade.driver.action("actFindNext")->trigger();
}
BENCHMARK(BM_FindNextButton)->Unit(benchmark::kMillisecond);

} // namespace
