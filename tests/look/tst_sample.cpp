#include "GradeText.h"
#include "SampleGrade.h"
#include "WindowDriver.h"

#include <QFile>
#include <QLineEdit>
#include <QSet>

using fenban::sample::MakeSampleGrade;
using namespace fenban::testkit;

namespace {

const QStringList Header = FullHeader().split(QLatin1Char('\t'));

QString CommittedSample()
{
    QFile file(QStringLiteral(FENBAN_SAMPLE_GRADE));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
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
};

QTEST_MAIN(TestSample)
#include "tst_sample.moc"
