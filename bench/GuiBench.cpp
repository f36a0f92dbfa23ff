// Shared by the benchmarks that need a QApplication (offscreen) and a grade.
#include "GuiBench.h"

#include <QApplication>
#include <benchmark/benchmark.h>

QString GradeText(int students)
{
    QString text = QStringLiteral("姓名\t性别\t班级\t总分\t语文\t数学\t英语\t物理\t化学\t生物\t政治\t历史\t地理\r\n");
    for (int k = 1; k <= students; ++k) {
        int total = 0;
        QString subjects;
        for (int s = 0; s < 10; ++s) {
            const int score = 40 + (k * (s + 3) + s * 7) % 60;
            total += score;
            subjects += QStringLiteral("\t%1").arg(score);
        }
        text += QStringLiteral("学生%1\t%2\t\t%3%4\r\n").arg(k).arg(k % 2 ? "男" : "女").arg(total).arg(subjects);
    }
    return text;
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
