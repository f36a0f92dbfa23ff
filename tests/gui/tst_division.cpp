#include "GradeText.h"
#include "WindowDriver.h"

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
        QCOMPARE(w.window.state().FShownClass, 1);
        QCOMPARE(w.rows("StrGrid"), 5);
        QCOMPARE(w.column("StrGrid", 1), QStringList({u"C"_s, u"E"_s, u"B"_s, u"F"_s}));
        QCOMPARE(w.column("StrGrid", 3), QStringList({u"2"_s, u"2"_s, u"2"_s, u"2"_s}));
        QCOMPARE(w.column("StrGrid", 0), QStringList({u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
        QCOMPARE(w.cell("StrGrid", 4, 0), QStringLiteral("总分")); // the header row stays
        w.chooseNode(u"全部"_s);
        QCOMPARE(w.window.state().FShownClass, -1);
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
        QCOMPARE(w.window.state().FSelRow, 0);
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
        QCOMPARE(w.window.state().FShownClass, 0);
        QCOMPARE(w.rows("StrGrid"), 3);
        node->setText(0, QStringLiteral("7")); // names no class: nothing happens
        tree->setCurrentItem(tree->topLevelItem(0));
        QVERIFY(w.run([&] { tree->setCurrentItem(node); }).isEmpty());
        QCOMPARE(w.window.state().FShownClass, -1);
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
