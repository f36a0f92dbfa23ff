// 选科分班… in the window end to end: a school's table with a 选科 column
// opened, the plan proposed in dlgChoicePlan, edited with the figures
// following, accepted, and the division made under the progress dialog with
// the same fingerprints as `fenban divide --by-choice`; its workbook read back.
#include "AuditTestKit.h"
#include "OutputReaders.h"
#include "WindowDriver.h"
#include "outputs/DivisionOutputs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace fenban;
using namespace Qt::StringLiterals;

namespace {

// 240 students; the 12th of the file has no valid choice.
QString GradeTable()
{
    const QStringList pool {u"物化生"_s, u"物化生"_s, u"物化生"_s, u"物理+化学+地理"_s, u"史政地"_s, u"史/政/地"_s,
        u"物生地"_s, u"物化政"_s, u"史生地"_s, u"物生政"_s};
    QString text = u"学号,姓名,性别,总分,语文,数学,选科\n"_s;
    for (int i = 0; i < 240; ++i) {
        const int a = 50 + (i * 37) % 100, b = 40 + (i * 53) % 110;
        text += u"%1,学生%2,%3,%4,%5,%6,%7\n"_s.arg(1000 + i)
                    .arg(i + 1)
                    .arg(i % 3 == 0 ? u"女"_s : u"男"_s)
                    .arg(a + b)
                    .arg(a)
                    .arg(b)
                    .arg(i == 10 ? u"物化音"_s : pool[(i * 7 + i / 5) % pool.size()]);
    }
    return text;
}

QString Whole(const QString& tip, const QString& which)
{
    for (const QString& line : tip.split(QLatin1Char('\n')))
        if (line.startsWith(which))
            return line.mid(which.size());
    return {};
}

} // namespace

class ChoiceWindow : public QObject {
    Q_OBJECT

private slots:
    void planEditDivideAndExport()
    {
        QTemporaryDir folder;
        const QString table = folder.filePath(u"选科.csv"_s);
        {
            QFile out(table);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(GradeTable().toUtf8());
        }
        testkit::WindowDriver w;
        w.dialogs.answerDialog([](QDialog&) { return int(QDialog::Accepted); }); // 导入设置 as proposed
        w.trigger("actOpen", table);

        // Cancelled after editing: nothing changes, the figures followed the edits.
        const QString before = w.control<QLabel>("lblFingerprint")->toolTip();
        w.dialogs.answerDialog([](QDialog& dialog) {
            [&] {
                QCOMPARE(dialog.objectName(), u"dlgChoicePlan"_s);
                auto* plan = testkit::FindControl<QTableWidget>(dialog, "tblChoicePlan");
                auto* figures = testkit::FindControl<QLabel>(dialog, "lblChoiceFigures");
                QVERIFY(plan->rowCount() > 0); // proposed at once
                QVERIFY(
                    testkit::FindControl<QLabel>(dialog, "lblChoiceInvalid")->text().contains(u"第 12 行 学生11"_s));
                testkit::FindControl<QSpinBox>(dialog, "speChoiceLimit")->setValue(40);
                testkit::Press(dialog, "btnMakePlan");
                const QString proposed = figures->text();
                QVERIFY(proposed.contains(u"每班最多 40 人"_s));
                QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
                QVERIFY(ok->isEnabled());
                // One class for the largest group: over the limit, said, and OK refused.
                plan->selectRow(0);
                const int students = plan->item(0, 2)->text().toInt();
                QVERIFY(students > 40);
                testkit::FindControl<QSpinBox>(dialog, "speGroupClasses")->setValue(1);
                testkit::Press(dialog, "btnSetClasses");
                QCOMPARE(plan->item(0, 3)->text(), u"1"_s);
                QVERIFY(figures->text().contains(u"不能用"_s));
                QVERIFY(!ok->isEnabled());
                // Some students moved to classes of their first choice: more walking.
                testkit::FindControl<QSpinBox>(dialog, "speGroupClasses")->setValue(students / 40 + 1);
                testkit::Press(dialog, "btnSetClasses");
                auto* target = testkit::FindControl<QComboBox>(dialog, "cmbMoveTarget");
                target->setCurrentIndex(target->count() - 1);
                testkit::FindControl<QSpinBox>(dialog, "speMoveCount")->setValue(5);
                testkit::Press(dialog, "btnMoveStudents");
                QVERIFY(figures->text() != proposed);
            }();
            return int(QDialog::Rejected);
        });
        QVERIFY(w.trigger("actChoicePlan").isEmpty());
        QCOMPARE(w.control<QLabel>("lblFingerprint")->toolTip(), before);

        // Accepted as proposed: the division, told in a box, and the command line's fingerprints.
        w.dialogs.answerDialog([](QDialog& dialog) {
            testkit::FindControl<QSpinBox>(dialog, "speChoiceLimit")->setValue(40);
            testkit::Press(dialog, "btnMakePlan");
            return int(QDialog::Accepted);
        });
        const QList<testkit::SeenBox> boxes = w.trigger("actChoicePlan");
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes[0].text.startsWith(u"选科分班完成"_s), qPrintable(boxes[0].text));
        QVERIFY(boxes[0].text.contains(u"1 名学生的选科有误"_s));
        const QString tip = w.control<QLabel>("lblFingerprint")->toolTip();
        const audittest::CliRun cli = audittest::RunProgram(QStringLiteral(FENBAN_CLI),
            {u"divide"_s, table, u"--by-choice"_s, u"--limit"_s, u"40"_s, u"--out"_s, folder.filePath(u"c.csv"_s)});
        QVERIFY2(cli.code == 0, qPrintable(cli.err));
        QCOMPARE(Whole(tip, u"输入指纹："_s), cli.out.value(0));
        QCOMPARE(Whole(tip, u"结果指纹："_s), cli.out.value(1));

        // The 均衡 tab counts each planned group apart, its classes by their home names.
        w.control<QTabWidget>("PageControl1")->setCurrentWidget(w.control<QWidget>("tabBalance"));
        w.settleReports();
        const std::string firstName = w.window.division().className(1, {});
        QVERIFY(!firstName.empty());
        QCOMPARE(w.cell("gdBalanceReport", 0, 1), QString::fromStdString(firstName));
        QStringList blocks;
        for (int row = 1; row < 40; ++row)
            if (w.cell("gdBalanceReport", 0, row).endsWith(u"全体"_s))
                blocks << w.cell("gdBalanceReport", 0, row);
        QCOMPARE(blocks.size(), static_cast<qsizetype>(ReportGroupsOf(w.window.division()).classes.size()));
        QVERIFY(blocks.size() > 1);

        const QString book = folder.filePath(u"选科.xlsx"_s);
        QVERIFY(w.trigger("actExportWorkbook", book).isEmpty());
        QString error;
        const QJsonArray sheets = testkit::ReadWithOpenpyxl(book, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(sheets[0].toObject()[u"name"_s].toString(), u"方案"_s);
        bool teaching = false;
        for (const QJsonValue& sheet : sheets)
            teaching = teaching || sheet.toObject()[u"name"_s].toString().contains(u"教学"_s);
        QVERIFY(teaching);

        const QString pdf = folder.filePath(u"选科.pdf"_s);
        QVERIFY(w.trigger("actExportPdf", pdf).isEmpty());
        const QString text = testkit::PdfText(pdf);
        QVERIFY(text.contains(u"选科分班方案"_s));
        QVERIFY(text.contains(u"教学1班"_s));

        // Undo: the division before, without the plan.
        QVERIFY(w.trigger("actUndo").isEmpty());
        QCOMPARE(w.control<QLabel>("lblFingerprint")->toolTip(), before);
    }
};

QTEST_MAIN(ChoiceWindow)
#include "tst_choice_window.moc"
