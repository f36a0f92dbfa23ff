#include "GradeText.h"
#include "SampleGrade.h"
#include "WindowDriver.h"
#include "rules/RuleBreaches.h"
#include "rules/RuleBuilder.h"

#include <QFile>
#include <QLineEdit>
#include <QSet>

using fenban::sample::MakeSampleGrade;
using fenban::sample::MakeSampleGradeWithRules;
using namespace fenban::testkit;

namespace {

const QStringList Header = FullHeader().split(QLatin1Char('\t'));

QString CommittedFile(const char* path)
{
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString CommittedSample()
{
    return CommittedFile(FENBAN_SAMPLE_GRADE);
}

// Halves of a point in a score cell, or -1 when the cell is no such score.
int Halves(const QString& cell)
{
    bool isNumber = false;
    const double points = cell.toDouble(&isNumber);
    const double halves = points * 2;
    return isNumber && halves == static_cast<int>(halves) ? static_cast<int>(halves) : -1;
}

} // namespace

class TestSample : public QObject {
    Q_OBJECT

private slots:
    void committedFileIsTheGeneratorsOutput()
    {
        const QString committed = CommittedSample();
        QVERIFY2(!committed.isEmpty(), FENBAN_SAMPLE_GRADE);
        QCOMPARE(committed, QString::fromStdString(MakeSampleGrade()));
    }

    void seedDecidesTheGrade()
    {
        QCOMPARE(MakeSampleGrade(7, 30), MakeSampleGrade(7, 30));
        QVERIFY(MakeSampleGrade(7, 30) != MakeSampleGrade(8, 30));
        QCOMPARE(QString::fromStdString(MakeSampleGrade(7, 30)).count(QLatin1Char('\n')), 31);
    }

    void gradeLooksLikeAnOfficeSpreadsheet()
    {
        const QStringList lines = CommittedSample().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 601);
        QCOMPARE(lines.first().split(QLatin1Char('\t')), Header);

        QSet<QString> names;
        int boys = 0;
        int halfPoints = 0;
        int lowestTotal = std::numeric_limits<int>::max();
        int highestTotal = 0;
        for (const QString& line : lines.mid(1)) {
            const QStringList cells = line.split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), Header.size());
            QVERIFY2(!cells[0].isEmpty() && cells[0].size() <= 5, qPrintable(line)); // 10 GBK bytes at most
            names.insert(cells[0]);
            QVERIFY2(cells[1] == QStringLiteral("男") || cells[1] == QStringLiteral("女"), qPrintable(line));
            boys += cells[1] == QStringLiteral("男");
            QVERIFY2(cells[2].isEmpty(), qPrintable(line));

            int sum = 0;
            for (int s = 4; s < cells.size(); ++s) {
                const int halves = Halves(cells[s]);
                const int most = s <= 6 ? 300 : 200; // 150 points for 语数英, 100 for the others
                QVERIFY2(halves >= 0 && halves <= most, qPrintable(line));
                halfPoints += halves % 2;
                sum += halves;
            }
            QCOMPARE(Halves(cells[3]), sum);
            lowestTotal = std::min(lowestTotal, sum);
            highestTotal = std::max(highestTotal, sum);
        }
        QCOMPARE(names.size(), 600);
        QVERIFY(boys > 240 && boys < 360);
        QVERIFY(halfPoints > 100);
        QVERIFY(highestTotal - lowestTotal > 2 * 300); // a real spread of ranks
    }

    void gradePastesDividesAndBalances()
    {
        WindowDriver w;
        QVERIFY(w.paste(CommittedSample()).isEmpty());
        QCOMPARE(w.rows("StrGrid"), 601);
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 13); // 600 div 50 + 1
        QCOMPARE(w.cell("StrGrid", 4, 0), QStringLiteral("总分"));

        QVERIFY(w.click("BitBtn2").isEmpty());
        QCOMPARE(w.rows("gdAvg"), 15);
        int boys = 0;
        int students = 0;
        for (int row = 1; row <= 13; ++row) {
            const QString label = w.cell("gdAvg", 0, row); // "k (boys/size)"
            boys += label.section(QLatin1Char('('), 1).section(QLatin1Char('/'), 0, 0).toInt();
            const int size = label.section(QLatin1Char('/'), 1).section(QLatin1Char(')'), 0, 0).toInt();
            QVERIFY2(size == 46 || size == 47, qPrintable(label));
            students += size;
        }
        QCOMPARE(students, 600);
        QCOMPARE(boys, static_cast<int>(CommittedSample().count(QStringLiteral("\t男\t"))));

        QVERIFY(w.click("Button4").isEmpty());
        bool isNumber = false;
        QVERIFY(w.control<QLineEdit>("Edit1")->text().toDouble(&isNumber) > 0 && isNumber);
    }

    void rulesFileIsTheGradeWithRuleColumns()
    {
        const QString committed = CommittedFile(FENBAN_SAMPLE_GRADE_RULES);
        QCOMPARE(committed, QString::fromStdString(MakeSampleGradeWithRules()));
        QCOMPARE(MakeSampleGradeWithRules(7, 60), MakeSampleGradeWithRules(7, 60));
        const QStringList lines = committed.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QStringList plain = CommittedSample().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), plain.size());
        QCOMPARE(lines[0].split(QLatin1Char('\t')).mid(13),
            QStringList({QStringLiteral("同班"), QStringLiteral("不同班"), QStringLiteral("固定"),
                QStringLiteral("均衡生源"), QStringLiteral("均衡住校")}));
        for (qsizetype k = 0; k < lines.size(); ++k) {
            const QStringList cells = lines[k].split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), 18);
            QCOMPARE(cells.mid(0, 13).join(QLatin1Char('\t')), plain[k]);
        }
    }

    // 编班 keeps every 固定 student in its class; the listing carries the rule columns.
    void rulesGradeDividesAroundFixedStudents()
    {
        WindowDriver w;
        QVERIFY(w.paste(CommittedFile(FENBAN_SAMPLE_GRADE_RULES)).isEmpty());
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 13);
        QCOMPARE(w.control<QComboBox>("cmbSubject")->itemText(10), QStringLiteral("  ")); // 同班 is no subject
        const fenban::DivisionState& state = w.window.state();
        const fenban::DivisionRules rules = fenban::BuildDivisionRules(state, 13, true);
        QCOMPARE(rules.together.size(), std::size_t(8));
        QCOMPARE(rules.fixed.size(), std::size_t(3));
        QCOMPARE(rules.spread.size(), std::size_t(9)); // eight schools and the boarders
        QCOMPARE(rules.apart.size(), std::size_t(7)); // four pairs, a trio, 梁磊/梁蕾 and 卢博昊/卢博浩

        for (const int classCount : {13, 12}) {
            w.control<QSpinBox>("SpinEdit1")->setValue(classCount);
            QVERIFY(w.click("BitBtn2").isEmpty());
            w.control<QTreeWidget>("trvClassList")->setCurrentItem(nullptr);
            QVERIFY(w.chooseNode(QStringLiteral("全部")).isEmpty());
            QCOMPARE(w.cols("StrGrid"), 20);
            QCOMPARE(w.cell("StrGrid", 14, 0), QString());
            QCOMPARE(w.cell("StrGrid", 15, 0), QStringLiteral("同班"));
            QCOMPARE(w.cell("StrGrid", 19, 0), QStringLiteral("均衡住校"));
            int fixedSeen = 0;
            for (int row = 1; row < w.rows("StrGrid"); ++row)
                if (const QString fixed = w.cell("StrGrid", 17, row); !fixed.isEmpty()) {
                    QCOMPARE(w.cell("StrGrid", 3, row), fixed);
                    ++fixedSeen;
                }
            QCOMPARE(fixedSeen, 3);
            const std::vector<int> classOf = fenban::ClassesOfRecords(state);
            for (const fenban::RuleBreach& broken : fenban::FindRuleBreaches(rules, classOf, classCount))
                QVERIFY(broken.kind != fenban::RuleBreach::Kind::Fixed);
        }
    }
};

QTEST_MAIN(TestSample)
#include "tst_sample.moc"
