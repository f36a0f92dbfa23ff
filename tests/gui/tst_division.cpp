#include "WindowDriver.h"

#include <QCheckBox>
#include <QLineEdit>

using namespace fenban;

namespace {

// The six students of the worked example: two classes, one score column.
QString SixStudents()
{
    return Table({"A\t男\t\t90", "B\t女\t\t85", "C\t男\t\t70", "D\t女\t\t95", "E\t男\t\t80", "F\t女\t\t60"},
        "姓名\t性别\t班级\t总分");
}

QStringList Column(WindowDriver& w, const char* grid, int col)
{
    QStringList texts;
    for (int row = 1; row < w.rows(grid); ++row)
        texts << w.cell(grid, col, row);
    return texts;
}

QStringList Row(WindowDriver& w, const char* grid, int row, int firstCol, int lastCol)
{
    QStringList texts;
    for (int col = firstCol; col <= lastCol; ++col)
        texts << w.cell(grid, col, row);
    return texts;
}

void ChooseNode(WindowDriver& w, const QString& text)
{
    auto* tree = w.control<QTreeWidget>("trvClassList");
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY(!found.isEmpty());
    RunClosingBoxes([&] { tree->setCurrentItem(found.first()); });
}

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
        QCOMPARE(Column(w, "gdAvg", 0), QStringList({"1 (1/2)", "2 (2/4)", "年级平均分"}));
        QCOMPARE(Column(w, "gdAvg", 1), QStringList({"92.5", "73.75", "80"}));
        QCOMPARE(Column(w, "gdAvg", 11), QStringList({"0", "0", "0"}));
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
        ChooseNode(w, "2");
        QCOMPARE(w.window.state().FShownClass, 1);
        QCOMPARE(w.rows("StrGrid"), 5);
        QCOMPARE(Column(w, "StrGrid", 1), QStringList({"C", "E", "B", "F"}));
        QCOMPARE(Column(w, "StrGrid", 3), QStringList({"2", "2", "2", "2"}));
        QCOMPARE(Column(w, "StrGrid", 0), QStringList({"1", "2", "3", "4"}));
        QCOMPARE(w.cell("StrGrid", 4, 0), QStringLiteral("总分")); // the header row stays
        ChooseNode(w, "全部");
        QCOMPARE(w.window.state().FShownClass, -1);
        QCOMPARE(Column(w, "StrGrid", 1), QStringList({"A", "D", "C", "E", "B", "F"}));
        QCOMPARE(Row(w, "StrGrid", 2, 1, 5), QStringList({"D", "女", "1", "95", "0"}));
    }

    void emptyClassShowsTheHeaderAloneAndComesBack()
    {
        WindowDriver w;
        w.paste(SixStudents());
        w.control<QSpinBox>("SpinEdit1")->setValue(2);
        w.clickCell("StrGrid", 2, 6);
        ChooseNode(w, "1"); // no division yet: an empty list
        QCOMPARE(w.rows("StrGrid"), 1);
        QCOMPARE(w.window.state().FSelRow, 0);
        QCOMPARE(w.cell("StrGrid", 4, 0), QStringLiteral("总分"));
        w.click("BitBtn2");
        ChooseNode(w, "全部");
        QCOMPARE(w.rows("StrGrid"), 7);
        QCOMPARE(w.cell("StrGrid", 0, 6), QStringLiteral("6"));
    }

    void editedNodeTexts()
    {
        WindowDriver w;
        PrepareTwoClasses(w);
        ChooseNode(w, "1");
        auto* tree = w.control<QTreeWidget>("trvClassList");
        QTreeWidgetItem* node = tree->topLevelItem(0)->child(1);
        node->setText(0, QStringLiteral("二班"));
        const QList<SeenBox> boxes = RunClosingBoxes([&] { tree->setCurrentItem(node); });
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("'二班' is not a valid integer value."));
        QCOMPARE(w.window.state().FShownClass, 0);
        QCOMPARE(w.rows("StrGrid"), 3);
        node->setText(0, QStringLiteral("7")); // names no class: nothing happens
        tree->setCurrentItem(tree->topLevelItem(0));
        QVERIFY(RunClosingBoxes([&] { tree->setCurrentItem(node); }).isEmpty());
        QCOMPARE(w.window.state().FShownClass, -1);
    }

    void balancingMakesTheBestExchange()
    {
        WindowDriver w;
        PrepareTwoClasses(w);
        QVERIFY(w.click("Button4").isEmpty());
        QCOMPARE(w.control<QLineEdit>("Edit1")->text(), QStringLiteral("3.75"));
        QCOMPARE(Column(w, "gdAvg", 0), QStringList({"1 (1/2)", "2 (2/4)", "年级平均分"}));
        QCOMPARE(Column(w, "gdAvg", 1), QStringList({"82.5", "78.75", "80"}));
        ChooseNode(w, "1");
        QCOMPARE(Column(w, "StrGrid", 1), QStringList({"C", "D"}));
        QCOMPARE(Column(w, "StrGrid", 3), QStringList({"1", "1"}));
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
        w.paste(Table({"A\t男\t\t90", "B\t女\t\t85"}));
        QVERIFY(w.click("BitBtn2").isEmpty());
        QCOMPARE(w.rows("gdAvg"), 5); // untouched
        QCOMPARE(w.cell("gdAvg", 0, 1), QString());
    }
};

QTEST_MAIN(TestDivision)
#include "tst_division.moc"
