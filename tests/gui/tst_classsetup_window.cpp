// 班级设置 through the window: the dialog refuses a repeated name with the field
// marked, then its set-up divides the grade (编班 with sizes, 一键均衡 within the
// kinds), and the tree's nodes keep their numbers with the names as tooltips.
#include "GradeText.h"
#include "WindowDriver.h"
#include "engine/ClassSetup.h"
#include "engine/Division.h"

#include <QBarSeries>
#include <QBarSet>
#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <cmath>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

class TestClassSetupWindow : public QObject {
    Q_OBJECT

private slots:
    void dialogToDivision();
};

void TestClassSetupWindow::dialogToDivision()
{
    WindowDriver w;
    QVERIFY(w.paste(GradeText(200)).isEmpty());
    bool refused = false;
    w.dialogs.answerDialog([&refused](QDialog& dialog) {
        dialog.findChild<QSpinBox*>(u"speSetupClasses"_s)->setValue(5);
        auto* table = dialog.findChild<QTableWidget*>(u"tblClassSetup"_s);
        table->item(0, 0)->setText(u"实验1班"_s);
        table->item(0, 1)->setText(u"30"_s);
        dialog.findChild<QComboBox*>(u"cmbSetupKind1"_s)->setCurrentIndex(1);
        table->item(1, 0)->setText(u"实验1班"_s);
        dialog.accept(); // a repeated name: refused, the name marked
        refused = dialog.result() != QDialog::Accepted
            && !dialog.findChild<QLabel*>(u"lblSetupProblem"_s)->text().isEmpty() && table->currentRow() == 1
            && table->currentColumn() == 0;
        table->item(1, 0)->setText(u"高一(2)班"_s);
        dialog.accept();
        return dialog.result();
    });
    w.trigger("actClassSetup");
    QVERIFY(refused);
    QCOMPARE(w.window.division().settings().setup.classCount(), 5);
    QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 5);

    QVERIFY(w.click("BitBtn2").isEmpty());
    const DivisionState& state = w.window.division().state();
    QCOMPARE(state.FClasses[0].size(), std::size_t(30));
    // The 实验班 holds the top 30 by 总分.
    std::vector<long double> totals;
    for (const auto& record : state.Records)
        totals.push_back(record->Scores[0]);
    std::sort(totals.rbegin(), totals.rend());
    for (const PStudent student : state.FClasses[0])
        QVERIFY(student->Scores[0] >= totals[29]);
    const std::vector<PStudent> top(state.FClasses[0].begin(), state.FClasses[0].end());

    QVERIFY(w.balanceAll().isEmpty());
    std::vector<PStudent> after(state.FClasses[0].begin(), state.FClasses[0].end());
    std::sort(after.begin(), after.end());
    std::vector<PStudent> before = top;
    std::sort(before.begin(), before.end());
    QCOMPARE(after, before); // the 实验班 exchanges with no 平行班

    // Each kind its own block: the averages below the grade's, the 均衡 tab's rows.
    QCOMPARE(w.rows("gdAvg"), 5 + 2 + 2);
    QCOMPARE(w.cell("gdAvg", 0, 7), u"实验班平均分"_s);
    QCOMPARE(w.cell("gdAvg", 0, 8), u"平行班平均分"_s);
    long double parallel = 0;
    std::size_t parallels = 0;
    for (std::size_t c = 1; c < 5; ++c)
        for (const PStudent student : state.FClasses[c]) {
            parallel += student->Scores[0];
            ++parallels;
        }
    QVERIFY(std::fabs(w.cell("gdAvg", 1, 8).toDouble() - static_cast<double>(parallel / parallels)) < 0.01);
    QVERIFY(std::fabs(w.cell("gdAvg", 1, 7).toDouble() - w.cell("gdAvg", 1, 1).toDouble()) < 0.01);
    auto* pages = w.control<QTabWidget>("PageControl1");
    pages->setCurrentWidget(w.control<QWidget>("tabBalance"));
    w.settleReports();
    QCOMPARE(w.cell("gdBalanceReport", 0, 1), u"实验1班"_s);
    QCOMPARE(w.cell("gdBalanceReport", 0, 2), u"实验班全体"_s);
    QCOMPARE(w.cell("gdBalanceReport", 0, 3), u"高一(2)班"_s);
    QCOMPARE(w.cell("gdBalanceReport", 0, 7), u"平行班全体"_s);
    QCOMPARE(w.cell("gdBalanceReport", 0, 8), u"年级"_s);
    // The gap chart compares the classes of one kind, not 实验班 with 平行班.
    const double kinds = std::fabs(w.cell("gdAvg", 1, 7).toDouble() - w.cell("gdAvg", 1, 8).toDouble());
    QBarSet* gaps = nullptr;
    QStringList boxNames;
    for (QChartView* view : w.control<QWidget>("tabBalance")->findChildren<QChartView*>())
        for (QAbstractSeries* series : view->chart()->series()) {
            if (auto* bars = qobject_cast<QBarSeries*>(series); bars != nullptr && !bars->barSets().isEmpty())
                gaps = bars->barSets().front();
            if (auto* boxes = qobject_cast<QBoxPlotSeries*>(series))
                for (const QBoxSet* box : boxes->boxSets())
                    boxNames << box->label();
        }
    QVERIFY(gaps != nullptr);
    // The boxes of 总分 carry the set-up's names, as the rows above them.
    QCOMPARE(boxNames.size(), 5);
    QCOMPARE(boxNames.front(), u"实验1班"_s);
    QCOMPARE(boxNames.at(1), u"高一(2)班"_s);
    QCOMPARE(gaps->label(), u"同类班级中最高与最低平均分之差"_s);
    QVERIFY(gaps->at(0) < kinds / 2);

    const QTreeWidgetItem* root = w.control<QTreeWidget>("trvClassList")->topLevelItem(0);
    QCOMPARE(root->child(0)->text(0), u"1"_s);
    QCOMPARE(root->child(0)->toolTip(0), u"实验1班"_s);
    QCOMPARE(root->child(1)->toolTip(0), u"高一(2)班"_s);

    // The request dialog names the class it would move into.
    QString named;
    w.dialogs.answerDialog([&named](QDialog& dialog) {
        dialog.findChild<QSpinBox*>(u"speRequestTarget"_s)->setValue(2);
        named = dialog.findChild<QLabel*>(u"lblRequestTargetName"_s)->text();
        return int(QDialog::Rejected);
    });
    w.trigger("actRequestMove");
    QCOMPARE(named, u"高一(2)班"_s);
}

QTEST_MAIN(TestClassSetupWindow)
#include "tst_classsetup_window.moc"
