// The window's buttons on a grade of 5,000 students in 100 classes, through
// the real widgets (offscreen): each should finish within a screen frame.
#include "app/Unit1.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

namespace {

QString GradeText(int students)
{
    QString text = QStringLiteral("姓名\t性别\t班级\t总分\t语文\t数学\t英语\t物理\t化学\t生物\t政治\t历史\t地理\r\n");
    for (int k = 1; k <= students; ++k) {
        text += QStringLiteral("学生%1\t%2\t").arg(k).arg(k % 2 ? "男" : "女");
        int total = 0;
        QString subjects;
        for (int s = 0; s < 10; ++s) {
            const int score = 40 + (k * (s + 3) + s * 7) % 60;
            total += score;
            subjects += QStringLiteral("\t%1").arg(score);
        }
        text += QStringLiteral("\t%1%2\r\n").arg(total).arg(subjects);
    }
    return text;
}

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

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
