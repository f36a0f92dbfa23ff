#include "EngineTestKit.h"
#include "GradeText.h"
#include "WindowDriver.h"
#include "app/Product.h"
#include "engine/RuleCheck.h"
#include "engine/Statistics.h"
#include "roster/NumberText.h"
#include "rules/RuleBuilder.h"
#include "session/Session.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressDialog>
#include <algorithm>
#include <cmath>
#include <map>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

namespace {

// The statistics of the class lists as they stand, computed afresh.
DivisionState Recomputed(const DivisionState& state)
{
    DivisionState fresh = Clone(state);
    ComputeClassStats(fresh);
    return fresh;
}

QString NumberText(long double value)
{
    return QString::fromStdString(FormatNumber(value, QLocale().decimalPoint().toStdString()));
}

long long TotalHundredths(const DivisionState& state)
{
    return std::llround(TotalDeviation(Recomputed(state).FDevSum) * 100);
}

// Per class: its size and its boys.
std::vector<std::pair<std::size_t, long>> Composition(const DivisionState& state)
{
    std::vector<std::pair<std::size_t, long>> classes;
    for (const TStudentList& list : state.FClasses)
        classes.emplace_back(list.size(), std::count_if(list.begin(), list.end(), [](const TStudent* student) {
            return student->Gender == MaleGender;
        }));
    return classes;
}

// The hand-placed students (by record) and their classes.
std::map<std::size_t, int> HandPlaced(const DivisionState& state)
{
    std::map<std::size_t, int> placed;
    for (std::size_t r = 0; r < state.Records.size(); ++r)
        if (state.Records[r]->IsHandPlaced())
            placed[r] = state.Records[r]->ClassNo;
    return placed;
}

// Moves the student listed in that row of 全部 to the next class by hand.
void MoveByHand(WindowDriver& w, int row)
{
    w.chooseNode(u"全部"_s);
    const DivisionState& state = w.window.state();
    const int classNo = state.FStudents[static_cast<std::size_t>(row - 1)]->ClassNo;
    w.clickCell("StrGrid", 1, row);
    QVERIFY(w.moveToClass(classNo % static_cast<int>(state.FClasses.size()) + 1).isEmpty());
}

QString RulesSample()
{
    QFile file(QStringLiteral(FENBAN_SAMPLE_GRADE_RULES));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

std::vector<RuleBreach> Breaches(const DivisionState& state, int classCount, bool soundAlike = true)
{
    return FindRuleBreaches(BuildDivisionRules(state, classCount, soundAlike), ClassesOfRecords(state), classCount);
}

// What a finished 一键均衡 leaves: fresh statistics of the lists, Edit1 and
// the panel showing their total, the averages table and the gaps redrawn
// from them, every listed student's class number its list's.
void CheckShownResult(const WindowDriver& w)
{
    const DivisionState& state = w.window.state();
    QCOMPARE(QString::fromStdString(FirstDifference(state, Recomputed(state))), QString());
    const QString total = NumberText(TotalDeviation(state.FDevSum));
    QCOMPARE(w.control<QLineEdit>("Edit1")->text(), total);
    QCOMPARE(w.control<QLabel>("lblTotalDeviation")->text(), u"总偏差："_s + total);
    const auto classCount = static_cast<int>(state.FClasses.size());
    QCOMPARE(w.rows("gdAvg"), classCount + 2);
    for (int s = 0; s < SubjectCount; ++s) {
        double low = 0;
        double high = 0;
        for (int c = 0; c < classCount; ++c) {
            const QString shown = w.cell("gdAvg", s + 1, c + 1);
            QCOMPARE(shown, NumberText(state.FClassAvg[static_cast<std::size_t>(c)][static_cast<std::size_t>(s)]));
            low = c == 0 ? shown.toDouble() : std::min(low, shown.toDouble());
            high = c == 0 ? shown.toDouble() : std::max(high, shown.toDouble());
        }
        QVERIFY(std::fabs(w.cell("gdBalance", s + 1, 1).toDouble() - (high - low)) < 1e-9);
        QCOMPARE(w.cell("gdBalance", s + 1, 0), w.cell("gdAvg", s + 1, 0));
    }
    for (std::size_t c = 0; c < state.FClasses.size(); ++c)
        for (const TStudent* student : state.FClasses[c])
            QCOMPARE(student->ClassNo, static_cast<int>(c) + 1);
}

// Tinted averages cells lean warm above the grade average and cool below;
// a class average on the grade's, and the grade row, stay plain. Returns
// the number of tinted cells.
int CheckTint(const WindowDriver& w)
{
    const DivisionState& state = w.window.state();
    const QAbstractItemModel* model = w.view("gdAvg")->model();
    int tinted = 0;
    for (std::size_t c = 0; c <= state.FClassDev.size(); ++c)
        for (int s = 0; s < SubjectCount; ++s) {
            const QVariant background = model->index(static_cast<int>(c), s).data(Qt::BackgroundRole);
            const long double deviation
                = c < state.FClassDev.size() ? state.FClassDev[c][static_cast<std::size_t>(s)] : 0;
            if (!background.isValid())
                continue;
            const QColor colour = background.value<QColor>();
            if (deviation > 0 && colour.red() > colour.blue())
                ++tinted;
            else if (deviation < 0 && colour.blue() > colour.red())
                ++tinted;
            else
                QTest::qFail(
                    qPrintable(QStringLiteral("class row %1, column %2").arg(c + 1).arg(s + 1)), __FILE__, __LINE__);
        }
    return tinted;
}

} // namespace

class TestBalanceAll : public QObject {
    Q_OBJECT

private slots:
    // After 编班 and two hand moves: sizes and boys kept, the hand-placed
    // students where they were put, never worse, and everything redrawn.
    void balancesAGeneratedGrade()
    {
        WindowDriver w;
        QVERIFY(w.paste(GradeText(240, Points::Half)).isEmpty());
        QVERIFY(w.click("BitBtn2").isEmpty());
        QVERIFY(CheckTint(w) > 0);
        MoveByHand(w, 3);
        MoveByHand(w, 10);
        const DivisionState& state = w.window.state();
        QCOMPARE(HandPlaced(state).size(), std::size_t {2});
        const DivisionState before = Clone(state);
        w.chooseNode(u"全部"_s);

        // While it works, every report finds the progress dialog shown and blocking the window.
        int reports = 0;
        int blocking = 0;
        connect(&w.window, &TForm1::balanceProgressed, this, [&] {
            ++reports;
            const auto* dialog = w.window.findChild<QProgressDialog*>(u"dlgBalanceProgress"_s);
            blocking += dialog && dialog->isVisible() && QApplication::activeModalWidget() == dialog
                && dialog->labelText() == u"正在均衡分班…"_s;
        });
        QVERIFY(w.balanceAll().isEmpty());
        QVERIFY(reports > 0);
        QCOMPARE(blocking, reports);
        CheckShownResult(w);
        QCOMPARE(Composition(state), Composition(before));
        QCOMPARE(HandPlaced(state), HandPlaced(before));
        QVERIFY(TotalHundredths(state) <= TotalHundredths(before));
        QVERIFY(TotalHundredths(state) < TotalHundredths(before) / 2); // 编班 leaves much to gain
        CheckTint(w);
        // The listing of the whole grade shows the new classes.
        int moved = 0;
        for (std::size_t k = 0; k < state.FStudents.size(); ++k) {
            QCOMPARE(w.cell("StrGrid", 3, static_cast<int>(k) + 1), QString::number(state.FStudents[k]->ClassNo));
            moved += state.FStudents[k]->ClassNo != before.FStudents[k]->ClassNo;
        }
        QVERIFY(moved > 0);
    }

    void refusesWithoutADivision()
    {
        WindowDriver w;
        QVERIFY(w.paste(Table(Students(60))).isEmpty());
        const QList<SeenBox> boxes = w.balanceAll();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, fenban::ProductName());
        QCOMPARE(boxes[0].text, u"请先编班。"_s);
        QCOMPARE(boxes[0].icon, QMessageBox::Information);
        // A division made at another class count is none for this one.
        QVERIFY(w.click("BitBtn2").isEmpty());
        w.control<QSpinBox>("SpinEdit1")->setValue(3);
        const DivisionState before = Clone(w.window.state());
        QCOMPARE(w.balanceAll().value(0).text, u"请先编班。"_s);
        QCOMPARE(QString::fromStdString(FirstDifference(before, w.window.state())), QString());
        QVERIFY(w.control<QLineEdit>("Edit1")->text().isEmpty());
    }

    // Three students who must be in different classes of two: named in one
    // box before anything moves.
    void conflictIsNamedAndNothingMoves()
    {
        WindowDriver w;
        QStringList rows;
        for (int k = 1; k <= 12; ++k)
            rows << QStringLiteral("学生%1\t%2\t\t%3\t%4\t%5")
                        .arg(k)
                        .arg(k % 2 ? u"男"_s : u"女"_s)
                        .arg(400 + k * 7)
                        .arg(60 + k * 3)
                        .arg(k <= 3 ? u"甲"_s : QString());
        QVERIFY(w.paste(Table(rows, u"姓名\t性别\t班级\t总分\t语文\t不同班"_s)).isEmpty());
        w.control<QSpinBox>("SpinEdit1")->setValue(2);
        QVERIFY(w.click("BitBtn2").isEmpty());
        QCOMPARE(w.control<QLabel>("lblBrokenRules")->text(), u"未满足的规则：1 条"_s);
        const DivisionState before = Clone(w.window.state());

        const QList<SeenBox> boxes = w.balanceAll();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes[0].title, fenban::ProductName());
        QCOMPARE(boxes[0].text,
            u"这些规则不能同时满足，没有移动任何学生：\n1. 不同班「甲」有 3 人，多于班级数 2："
            u"学生1（第2行）、学生2（第3行）、学生3（第4行）。"_s);
        QCOMPARE(QString::fromStdString(FirstDifference(before, w.window.state())), QString());
        QVERIFY(w.control<QLineEdit>("Edit1")->text().isEmpty());
    }

    // The sample grade with rule columns: 编班 keeps only 固定, 一键均衡
    // every rule; the panel counts what a hand move breaks again.
    void rulesSampleKeepsEveryRule()
    {
        WindowDriver w;
        const QString sample = RulesSample();
        QVERIFY2(!sample.isEmpty(), FENBAN_SAMPLE_GRADE_RULES);
        QVERIFY(w.paste(sample).isEmpty());
        const int classCount = w.control<QSpinBox>("SpinEdit1")->value();
        QVERIFY(w.click("BitBtn2").isEmpty());
        const DivisionState& state = w.window.state();
        // The 固定 students fill no class: every class within one of the others' size.
        const auto [smallest, largest] = std::minmax_element(state.FClasses.begin(), state.FClasses.end(),
            [](const TStudentList& a, const TStudentList& b) { return a.size() < b.size(); });
        QVERIFY(largest->size() - smallest->size() <= 1);
        const auto* panel = w.control<QLabel>("lblBrokenRules");
        const std::size_t brokenAfterDivision = Breaches(state, classCount).size();
        QVERIFY(brokenAfterDivision > 0);
        QCOMPARE(panel->text(), u"未满足的规则：%1 条"_s.arg(brokenAfterDivision));
        QCOMPARE(
            panel->toolTip().count(u'\n') + 1, static_cast<qsizetype>(std::min<std::size_t>(brokenAfterDivision, 21)));
        const DivisionState before = Clone(state);

        QVERIFY(w.balanceAll().isEmpty());
        CheckShownResult(w);
        QVERIFY(Breaches(state, classCount).empty());
        QCOMPARE(panel->text(), u"规则全部满足"_s);
        QVERIFY(panel->toolTip().isEmpty());
        QCOMPARE(Composition(state), Composition(before));
        QCOMPARE(HandPlaced(state), HandPlaced(before)); // the 固定 students

        // 调整 exchanges only what keeps every rule.
        const DivisionState balanced = Clone(state);
        QVERIFY(w.click("Button4").isEmpty());
        QVERIFY(!FirstDifference(balanced, state).empty());
        QVERIFY(Breaches(state, classCount).empty());
        QCOMPARE(panel->text(), u"规则全部满足"_s);

        // A member of a together group moved away by hand breaks its group.
        const DivisionRules rules = BuildDivisionRules(state, classCount, true);
        const TStudent* member = state.Records[static_cast<std::size_t>(rules.together.front().front())].get();
        const auto at = std::find(state.FStudents.begin(), state.FStudents.end(), member) - state.FStudents.begin();
        MoveByHand(w, static_cast<int>(at) + 1);
        QCOMPARE(panel->text(), u"未满足的规则：%1 条"_s.arg(Breaches(state, classCount).size()));
        QVERIFY(panel->toolTip().contains(u"同班"_s));
        // The check box counts at once.
        w.control<QCheckBox>("chkSoundAlike")->setChecked(false);
        QCOMPARE(panel->text(), u"未满足的规则：%1 条"_s.arg(Breaches(state, classCount, false).size()));
    }

    // 取消 at the first progress report: the best division found so far, complete and shown.
    void cancelKeepsAValidDivision()
    {
        WindowDriver w;
        QVERIFY(w.paste(GradeText(600, Points::Half)).isEmpty());
        w.control<QSpinBox>("SpinEdit1")->setValue(12);
        QVERIFY(w.click("BitBtn2").isEmpty());
        const DivisionState before = Clone(w.window.state());
        QVERIFY(w.balanceAll(true).isEmpty());
        const DivisionState& state = w.window.state();
        CheckShownResult(w);
        QCOMPARE(Composition(state), Composition(before));
        QVERIFY(TotalHundredths(state) <= TotalHundredths(before));
        QVERIFY(w.window.findChild<QProgressDialog*>() == nullptr); // gone with the run
    }

    // Esc in the progress dialog stops the run exactly as 取消 does: no
    // report after it (the run ends, the window waits for it), the result
    // shown, one step.
    void escapeStopsTheRunAsCancelDoes()
    {
        for (const bool escape : {false, true}) {
            WindowDriver w;
            QVERIFY(w.paste(GradeText(600, Points::Half)).isEmpty());
            w.control<QSpinBox>("SpinEdit1")->setValue(12);
            QVERIFY(w.click("BitBtn2").isEmpty());
            const std::size_t steps = w.window.session().history().stepsDone();
            QVERIFY(w.balanceAll(true, escape).isEmpty());
            QCOMPARE(w.reportsAfterStop(), 0);
            CheckShownResult(w);
            QCOMPARE(w.window.session().history().stepsDone(), steps + 1);
            QCOMPARE(w.action("actUndo")->text(), u"撤销 一键均衡"_s);
        }
    }
};

QTEST_MAIN(TestBalanceAll)
#include "tst_balanceall.moc"
