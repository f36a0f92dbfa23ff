#include "EngineTestKit.h"
#include "GradeText.h"
#include "WindowDriver.h"
#include "app/Product.h"

#include <QCheckBox>
#include <QLineEdit>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

namespace {

void PrepareTwoClasses(WindowDriver& w)
{
    w.paste(SixStudents());
    w.control<QSpinBox>("SpinEdit1")->setValue(2);
    QVERIFY(w.click("BitBtn2").isEmpty());
}

// Every cell of a grid as the user sees it, row by row.
QStringList Cells(const WindowDriver& w, const char* grid)
{
    QStringList cells;
    for (int row = 0; row < w.rows(grid); ++row)
        cells << w.row(grid, row, 0, w.cols(grid) - 1);
    return cells;
}

} // namespace

class TestDivision : public QObject {
    Q_OBJECT

private slots:
    void assignmentShowsAveragesAtOnce()
    {
        WindowDriver w;
        PrepareTwoClasses(w);
        QCOMPARE(w.rows("gdAvg"), 4);
        QCOMPARE(w.cols("gdAvg"), 12);
        QCOMPARE(w.column("gdAvg", 0), QStringList({u"1 (1/2)"_s, u"2 (2/4)"_s, u"年级平均分"_s}));
        QCOMPARE(w.column("gdAvg", 1), QStringList({u"92.5"_s, u"73.75"_s, u"80"_s}));
        QCOMPARE(w.column("gdAvg", 11), QStringList({u"0"_s, u"0"_s, u"0"_s}));
        QCOMPARE(w.cell("gdAvg", 1, 0), QStringLiteral("总分"));
        QCOMPARE(w.cell("gdAvg", 2, 0), QStringLiteral("  "));
        QCOMPARE(w.cell("gdAvg", 0, 0), QString());
        QVERIFY(w.control<QLineEdit>("Edit1")->text().isEmpty());
        // The listing is not redrawn by the assignment.
        QCOMPARE(w.cell("StrGrid", 3, 1), QString());
    }

    void treeListsTheWholeRosterOrOneClass()
    {
        WindowDriver w;
        PrepareTwoClasses(w);
        w.chooseNode(u"2"_s);
        QCOMPARE(w.window.view().FShownClass, 1);
        QCOMPARE(w.rows("StrGrid"), 5);
        QCOMPARE(w.column("StrGrid", 1), QStringList({u"C"_s, u"E"_s, u"B"_s, u"F"_s}));
        QCOMPARE(w.column("StrGrid", 3), QStringList({u"2"_s, u"2"_s, u"2"_s, u"2"_s}));
        QCOMPARE(w.column("StrGrid", 0), QStringList({u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
        QCOMPARE(w.cell("StrGrid", 4, 0), QStringLiteral("总分")); // the header row stays
        w.chooseNode(u"全部"_s);
        QCOMPARE(w.window.view().FShownClass, -1);
        QCOMPARE(w.column("StrGrid", 1), QStringList({u"A"_s, u"D"_s, u"C"_s, u"E"_s, u"B"_s, u"F"_s}));
        QCOMPARE(w.row("StrGrid", 2, 1, 5), QStringList({u"D"_s, u"女"_s, u"1"_s, u"95"_s, u"0"_s}));
    }

    void emptyClassShowsTheHeaderAloneAndComesBack()
    {
        WindowDriver w;
        w.paste(SixStudents());
        w.control<QSpinBox>("SpinEdit1")->setValue(2);
        w.clickCell("StrGrid", 2, 6);
        w.chooseNode(u"1"_s); // no division yet: an empty list
        QCOMPARE(w.rows("StrGrid"), 1);
        QCOMPARE(w.window.view().FSelRow, 0);
        QCOMPARE(w.cell("StrGrid", 4, 0), QStringLiteral("总分"));
        w.click("BitBtn2");
        w.chooseNode(u"全部"_s);
        QCOMPARE(w.rows("StrGrid"), 7);
        QCOMPARE(w.cell("StrGrid", 0, 6), QStringLiteral("6"));
    }

    void editedNodeTexts()
    {
        WindowDriver w;
        PrepareTwoClasses(w);
        w.chooseNode(u"1"_s);
        auto* tree = w.control<QTreeWidget>("trvClassList");
        QTreeWidgetItem* node = tree->topLevelItem(0)->child(1);
        node->setText(0, QStringLiteral("二班"));
        const QList<SeenBox> boxes = w.run([&] { tree->setCurrentItem(node); });
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("'二班' is not a valid integer value."));
        QCOMPARE(w.window.view().FShownClass, 0);
        QCOMPARE(w.rows("StrGrid"), 3);
        node->setText(0, QStringLiteral("7")); // names no class: nothing happens
        tree->setCurrentItem(tree->topLevelItem(0));
        QVERIFY(w.run([&] { tree->setCurrentItem(node); }).isEmpty());
        QCOMPARE(w.window.view().FShownClass, -1);
    }

    void balancingMakesTheBestExchange()
    {
        WindowDriver w;
        PrepareTwoClasses(w);
        QVERIFY(w.click("Button4").isEmpty());
        QCOMPARE(w.control<QLineEdit>("Edit1")->text(), QStringLiteral("3.75"));
        QCOMPARE(w.column("gdAvg", 0), QStringList({u"1 (1/2)"_s, u"2 (2/4)"_s, u"年级平均分"_s}));
        QCOMPARE(w.column("gdAvg", 1), QStringList({u"82.5"_s, u"78.75"_s, u"80"_s}));
        w.chooseNode(u"1"_s);
        QCOMPARE(w.column("StrGrid", 1), QStringList({u"C"_s, u"D"_s}));
        QCOMPARE(w.column("StrGrid", 3), QStringList({u"1"_s, u"1"_s}));
    }

    void balancingRefusals()
    {
        WindowDriver w;
        w.paste(SixStudents());
        w.control<QSpinBox>("SpinEdit1")->setValue(2);
        QList<SeenBox> boxes = w.click("Button4");
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("请先编班。"));

        w.click("BitBtn2");
        w.control<QCheckBox>("chkAuto")->setChecked(true);
        QVERIFY(w.click("Button4").isEmpty()); // no subject chosen: silent
        w.control<QComboBox>("cmbSubject")->setCurrentIndex(0);
        w.control<QSpinBox>("speClassB")->setValue(3);
        boxes = w.click("Button4");
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("班级号超出分班数。"));
        w.control<QSpinBox>("speClassB")->setValue(1);
        boxes = w.click("Button4");
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("调整完成"));
        QCOMPARE(boxes[0].title, QStringLiteral("提示"));
        QCOMPARE(boxes[0].icon, QMessageBox::NoIcon);
        QVERIFY(w.control<QLineEdit>("Edit1")->text().isEmpty());

        w.control<QSpinBox>("speClassB")->setValue(2);
        QVERIFY(w.click("Button4").isEmpty());
        QCOMPARE(w.control<QLineEdit>("Edit1")->text(), QStringLiteral("3.75"));

        w.control<QSpinBox>("SpinEdit1")->setValue(3); // the division no longer fits the count
        boxes = w.click("Button4");
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("请先编班。"));
    }

    // A 固定 value that names no class of the count: a warning that reads as
    // written, and the press changes nothing, neither roster nor division.
    void badFixedValueWarnsAndChangesNothing()
    {
        WindowDriver w;
        w.paste(Table({u"A\t男\t\t90\t3"_s, u"B\t女\t\t85\t"_s, u"C\t男\t\t70\t第1班"_s, u"D\t女\t\t95\t"_s,
                          u"E\t男\t\t80\t"_s, u"F\t女\t\t60\t"_s},
            u"姓名\t性别\t班级\t总分\t固定"_s));
        w.control<QSpinBox>("SpinEdit1")->setValue(3);
        QVERIFY(w.click("BitBtn2").isEmpty());
        QCOMPARE(w.window.state().Records[0]->ClassNo, 3);
        QCOMPARE(w.window.state().Records[2]->ClassNo, 1);
        w.chooseNode(u"3"_s);
        w.control<QSpinBox>("SpinEdit1")->setValue(2);

        const DivisionState before = Clone(w.window.state());
        const QStringList roster = Cells(w, "StrGrid");
        const QStringList averages = Cells(w, "gdAvg");
        bool busyAtBox = true;
        w.dialogs.setOnBox([&busyAtBox](const SeenBox&) { busyAtBox = QGuiApplication::overrideCursor() != nullptr; });
        const QList<SeenBox> boxes = w.click("BitBtn2");
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes[0].title, ProductName());
        QCOMPARE(
            boxes[0].text, u"固定班级有误，请在表格中改正后重新粘贴：\nA（第2行）的固定班级「3」不在 1 到 2 之间。"_s);
        QVERIFY(!busyAtBox);
        QCOMPARE(QString::fromStdString(FirstDifference(before, w.window.state())), QString());
        QCOMPARE(Cells(w, "StrGrid"), roster);
        QCOMPARE(Cells(w, "gdAvg"), averages);

        // A value that is no number: no division at all; every bad value in one box.
        w.paste(Table(
            {u"A\t男\t\t90\t三班"_s, u"B\t女\t\t85\t"_s, u"C\t男\t\t70\t1.5"_s}, u"姓名\t性别\t班级\t总分\t固定"_s));
        const DivisionState pasted = Clone(w.window.state());
        const QStringList undivided = Cells(w, "gdAvg");
        const QStringList lines = w.click("BitBtn2").value(0).text.split(u'\n');
        QCOMPARE(lines,
            QStringList({u"固定班级有误，请在表格中改正后重新粘贴："_s, u"A（第2行）的固定班级「三班」不是整数。"_s,
                u"C（第4行）的固定班级「1.5」不是整数。"_s}));
        QCOMPARE(QString::fromStdString(FirstDifference(pasted, w.window.state())), QString());
        QCOMPARE(Cells(w, "gdAvg"), undivided);
    }

    void fewerThanThreeStudentsAreNotDivided()
    {
        WindowDriver w;
        w.paste(Table({u"A\t男\t\t90"_s, u"B\t女\t\t85"_s}));
        QVERIFY(w.click("BitBtn2").isEmpty());
        QCOMPARE(w.rows("gdAvg"), 5); // untouched
        QCOMPARE(w.cell("gdAvg", 0, 1), QString());
    }
};

QTEST_MAIN(TestDivision)
#include "tst_division.moc"
