// Shared by the benchmarks that need a QApplication (offscreen) and a grade.
#include "GuiBench.h"

#include <QApplication>
#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const fenban::testkit::ScriptedDialogs dialogs; // any box is answered at once
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
