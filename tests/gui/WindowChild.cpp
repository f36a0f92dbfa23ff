// A run of the window that is killed in the middle of its work:
// window_child FOLDER SEED keeps its recovery file in FOLDER, makes a few
// steps, prints the division (DivisionText), the undo item's text and
// "ready", then waits to be killed.
#include "DivisionText.h"
#include "GradeText.h"
#include "SessionTestKit.h"
#include "app/SessionActions.h"

#include <QApplication>
#include <QCheckBox>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace fenban;
using namespace fenban::testkit;

int main(int argc, char* argv[])
{
    const QApplication application(argc, argv);
    if (argc != 3)
        return 2;
    SetRecoveryFolder(QString::fromLocal8Bit(argv[1]));
    std::mt19937_64 rng(std::stoul(argv[2]));

    WindowDriver w;
    w.paste(PasteText(sessiontest::RandomTable(rng, 60, 2)));
    w.control<QSpinBox>("SpinEdit1")->setValue(3);
    w.click("BitBtn2");
    w.control<QComboBox>("cmbSubject")->setCurrentIndex(0);
    for (int press = 0; press < 4; ++press)
        w.click("Button4");
    w.chooseNode(QStringLiteral("2"));
    w.clickCell("StrGrid", 1, 1);
    w.moveToClass(3);
    w.click("Button4");

    std::printf("%s\n%s\nready\n", qPrintable(DivisionText(w)), qPrintable(w.action("actUndo")->text()));
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::hours(1));
    return 0;
}
