// The balance report through the window: 分数段 chosen, 一键均衡, the tab
// 均衡 and the balance strip against a count made from the class lists; the
// choice kept in the division file; the report in the workbook and the PDF,
// its pictures drawn.
#include "EngineTestKit.h"
#include "GradeText.h"
#include "OutputReaders.h"
#include "WindowDriver.h"
#include "io/BalanceTable.h"
#include "outputs/DivisionOutputs.h"

#include <QBarSeries>
#include <QBarSet>
#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QChart>
#include <QChartView>
#include <QJsonObject>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

namespace {

constexpr int Classes = 6;

// The column of the balance grid under that header.
int Column(const WindowDriver& w, const QString& header)
{
    for (int col = 0; col < w.cols("gdBalanceReport"); ++col)
        if (w.cell("gdBalanceReport", col, 0) == header)
            return col;
    qFatal("no column %s", qPrintable(header));
}

bool Outside(int count, int k)
{
    return count < k / Classes || count > (k + Classes - 1) / Classes;
}

bool Tinted(const WindowDriver& w, int col, int row)
{
    return w.view("gdBalanceReport")->model()->index(row - 1, col - 1).data(Qt::BackgroundRole).isValid();
}

QChart* ChartOf(const WindowDriver& w, const char* name)
{
    return w.control<QChartView>(name)->chart();
}

void Divide(WindowDriver& w)
{
    QVERIFY(w.paste(GradeText(240, Points::Half)).isEmpty());
    w.control<QSpinBox>("SpinEdit1")->setValue(Classes);
    QVERIFY(w.click("BitBtn2").isEmpty());
}

} // namespace

class TestBalancePage : public QObject {
    Q_OBJECT

private slots:
    void bandsBalanceAndTheFiguresOfTheLists()
    {
        WindowDriver w;
        auto* bands = w.control<QComboBox>("cmbBands");
        QCOMPARE(bands->currentText(), u"10"_s); // the default of a new division
        QCOMPARE(bands->itemText(0), u"不分"_s);
        Divide(w);
        const QString fingerprint = w.control<QLabel>("lblFingerprint")->toolTip();
        bands->setCurrentIndex(bands->findText(u"5"_s));
        QCOMPARE(w.window.division().settings().rankBands, 5);
        QVERIFY(w.control<QLabel>("lblFingerprint")->toolTip() != fingerprint); // the input names its bands
        QVERIFY(w.balanceAll().isEmpty());
        auto* pages = w.control<QTabWidget>("PageControl1");
        pages->setCurrentWidget(w.control<QWidget>("tabBalance"));
        QCOMPARE(pages->tabText(pages->currentIndex()), u"均衡"_s);
        w.settleReports(); // asked for as the tab showed, made on the worker

        const DivisionState& state = w.window.state();
        const CountedBalance counted = CountBalanceByHand(state, Classes, 5);
        QCOMPARE(w.control<QLabel>("lblWorstBand")->text(), u"分数段最大差 %1"_s.arg(counted.worstBandDifference));
        const int top5 = Column(w, u"前5%"_s), top10 = Column(w, u"前10%"_s), bottom10 = Column(w, u"后10%"_s);
        const int deviation = Column(w, u"标准差"_s);
        for (int c = 0; c < Classes; ++c) {
            const CountedClass& expected = counted.classes[static_cast<std::size_t>(c)];
            const auto number
                = [&](const QString& header) { return w.cell("gdBalanceReport", Column(w, header), c + 1).toDouble(); };
            QCOMPARE(w.cell("gdBalanceReport", 0, c + 1), u"%1班"_s.arg(c + 1));
            QCOMPARE(number(u"人数"_s), double(expected.size));
            QCOMPARE(number(u"男"_s), double(expected.boys));
            QCOMPARE(number(u"女"_s), double(expected.girls));
            QCOMPARE(number(u"前N名"_s), double(expected.topN));
            QCOMPARE(number(u"前5%"_s), double(expected.topFivePercent));
            QCOMPARE(number(u"前10%"_s), double(expected.topTenPercent));
            QCOMPARE(number(u"后10%"_s), double(expected.bottomTenPercent));
            QVERIFY(std::fabs(number(u"总分平均"_s) - expected.mean) <= 0.005 + 1e-9);
            QVERIFY(std::fabs(number(u"标准差"_s) - expected.deviation) <= 0.005 + 1e-9);
            // Tinted exactly where a count lies outside its fair share or the spread strays.
            const int n = counted.students;
            QCOMPARE(Tinted(w, top5, c + 1), Outside(expected.topFivePercent, counted.topFivePercent));
            QCOMPARE(Tinted(w, top10, c + 1), Outside(expected.topTenPercent, (n + 5) / 10));
            QCOMPARE(Tinted(w, bottom10, c + 1), Outside(expected.bottomTenPercent, (n + 5) / 10));
            QCOMPARE(Tinted(w, deviation, c + 1),
                std::fabs(expected.deviation - counted.gradeDeviation) > 0.05 * counted.gradeDeviation);
        }
        QCOMPARE(w.cell("gdBalanceReport", 0, Classes + 1), u"年级"_s);
        QCOMPARE(w.cell("gdBalanceReport", Column(w, u"人数"_s), Classes + 1), u"240"_s);

        // The pictures: a box per class from its lowest to its highest 总分, a bar per subject.
        const QList<QAbstractSeries*> series = ChartOf(w, "chtScores")->series();
        auto* boxes = qobject_cast<QBoxPlotSeries*>(series.value(0));
        QVERIFY(boxes != nullptr);
        QCOMPARE(boxes->count(), Classes);
        for (int c = 0; c < Classes; ++c) {
            const TStudentList& list = state.FClasses[static_cast<std::size_t>(c)];
            const auto [low, high] = std::minmax_element(list.begin(), list.end(),
                [](const TStudent* a, const TStudent* b) { return a->Scores[0] < b->Scores[0]; });
            QCOMPARE(boxes->boxSets()[c]->at(QBoxSet::LowerExtreme), double((*low)->Scores[0]));
            QCOMPARE(boxes->boxSets()[c]->at(QBoxSet::UpperExtreme), double((*high)->Scores[0]));
        }
        auto* gaps = qobject_cast<QBarSeries*>(ChartOf(w, "chtGaps")->series().value(0));
        QVERIFY(gaps != nullptr);
        const auto [lowest, highest] = std::minmax_element(counted.classes.begin(), counted.classes.end(),
            [](const CountedClass& a, const CountedClass& b) { return a.mean < b.mean; });
        QVERIFY(std::fabs(gaps->barSets()[0]->at(0) - (highest->mean - lowest->mean)) < 1e-9);

        // The choice is kept with the division.
        QTemporaryDir folder;
        const QString file = folder.filePath(u"分段.fenban"_s);
        QVERIFY(w.trigger("actSaveAs", file).isEmpty());
        WindowDriver opened;
        QVERIFY(opened.trigger("actOpen", file).isEmpty());
        opened.settleReports();
        QCOMPARE(opened.control<QComboBox>("cmbBands")->currentText(), u"5"_s);
        QCOMPARE(opened.window.division().settings().rankBands, 5);
        QCOMPARE(opened.control<QLabel>("lblWorstBand")->text(), w.control<QLabel>("lblWorstBand")->text());
        QCOMPARE(opened.column("gdBalanceReport", Column(w, u"标准差"_s)), w.column("gdBalanceReport", deviation));

        // A hand move redraws the report: the lists as they stand now.
        opened.chooseNode(u"1"_s);
        opened.clickCell("StrGrid", 1, 1);
        QVERIFY(opened.moveToClass(2).isEmpty());
        opened.settleReports();
        const CountedBalance moved = CountBalanceByHand(opened.window.state(), Classes, 5);
        QCOMPARE(opened.cell("gdBalanceReport", Column(w, u"人数"_s), 1), u"39"_s);
        QCOMPARE(opened.cell("gdBalanceReport", Column(w, u"人数"_s), 2), u"41"_s);
        // The counts it put out of bounds are named, each forced: a class of 41
        // must hold more of some band, one of 39 fewer.
        const QLabel* worst = opened.control<QLabel>("lblWorstBand");
        QVERIFY(!moved.bandsOutOfBounds.empty());
        QVERIFY2(worst->text().startsWith(u"分数段最大差 %1，超出 "_s.arg(moved.worstBandDifference)),
            qPrintable(worst->text()));
        QVERIFY2(worst->text().endsWith(u"（手工或规则所致）"_s), qPrintable(worst->text()));
        const QStringList named = worst->toolTip().split(u'\n');
        for (const BandCount& out : moved.bandsOutOfBounds)
            QVERIFY2(std::any_of(named.begin(), named.end(),
                         [&](const QString& line) {
                             return line.startsWith(u"%1班 "_s.arg(out.classNo))
                                 && line.contains(u" 第%1段：%2 人，应为"_s.arg(out.band + 1).arg(out.count));
                         }),
                qPrintable(worst->toolTip()));
    }

    // A click returns before the report is made: the figures say 计算中… until
    // the report of the division as it stands arrives, whether something
    // showed them (made at once on the worker) or not (made when shown).
    void figuresAreCurrentOrMarkedPending()
    {
        WindowDriver w;
        Divide(w);
        auto* pages = w.control<QTabWidget>("PageControl1");
        pages->setCurrentWidget(w.control<QWidget>("TabSheet2")); // the band figure shows
        w.settleReports();
        const QLabel* worst = w.control<QLabel>("lblWorstBand");
        const QLabel* pending = w.control<QLabel>("lblReportPending");
        QVERIFY(pending->isHidden());
        const auto checkCurrent = [&] {
            const BalanceReport expected = BalanceReportOf(w.window.division());
            QCOMPARE(worst->text(), QString::fromStdString(WorstBandText(expected)));
            QVERIFY(pending->isHidden());
            const OutputTable table = BalanceTable(expected, w.window.division().settings().subjectNames);
            QCOMPARE(w.rows("gdBalanceReport"), static_cast<int>(table.rows.size()) + 1);
            for (std::size_t r = 0; r < table.rows.size(); ++r)
                for (std::size_t c = 0; c < table.rows[r].size(); ++c)
                    QCOMPARE(w.cell("gdBalanceReport", static_cast<int>(c), static_cast<int>(r) + 1),
                        QString::fromStdString(CellText(table.rows[r][c])));
        };
        for (const char* button : {"BitBtn2", "Button4", "Button4"}) {
            const QString before = worst->text();
            if (!w.click(button).isEmpty()) { // 调整 found no swap: nothing changed
                QCOMPARE(worst->text(), before);
                continue;
            }
            QCOMPARE(worst->text(), u"计算中…"_s);
            QVERIFY(!pending->isHidden());
        }
        w.settleReports();
        checkCurrent();
        QCoreApplication::processEvents(); // the queued hand-overs of replaced requests change nothing
        checkCurrent();

        // Nothing shows the report: marked, and made when the 均衡 tab shows.
        pages->setCurrentWidget(w.control<QWidget>("TabSheet1"));
        QVERIFY(w.click("BitBtn2").isEmpty());
        QCOMPARE(worst->text(), u"计算中…"_s);
        pages->setCurrentWidget(w.control<QWidget>("tabBalance"));
        w.settleReports();
        checkCurrent();
    }

    // The workbook's last sheet and the PDF's last pages are the report, its pictures drawn.
    void exportsHoldTheReport()
    {
        WindowDriver w;
        Divide(w);
        const CountedBalance counted = CountBalanceByHand(w.window.state(), Classes, 10);
        QTemporaryDir folder;
        const QString workbook = folder.filePath(u"分班.xlsx"_s);
        QVERIFY(w.trigger("actExportWorkbook", workbook).isEmpty());
        QString error;
        const QJsonArray sheets = ReadWithOpenpyxl(workbook, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QJsonObject sheet = sheets.last().toObject();
        QCOMPARE(sheet[u"name"_s].toString(), u"均衡"_s);
        const QJsonArray rows = sheet[u"rows"_s].toArray();
        for (int c = 0; c < Classes; ++c) {
            const QJsonArray row = rows[c + 1].toArray();
            QCOMPARE(row[0][u"value"_s].toString(), u"%1班"_s.arg(c + 1));
            QCOMPARE(row[1][u"value"_s].toInt(), counted.classes[static_cast<std::size_t>(c)].size);
            QCOMPARE(row[2][u"value"_s].toInt(), counted.classes[static_cast<std::size_t>(c)].boys);
        }

        const QString pdf = folder.filePath(u"名单.pdf"_s);
        QVERIFY(w.trigger("actExportPdf", pdf).isEmpty());
        const QString text = PdfText(pdf);
        const qsizetype report = text.indexOf(u"各班均衡情况"_s);
        QVERIFY(report > text.indexOf(u"年级平均分"_s)); // after the averages
        QVERIFY(text.indexOf(u"各班总分分布"_s) > report);
        QVERIFY(text.indexOf(u"各科班级平均分最大差"_s) > report);
        // Texts only the charts draw: the legend's grade mean, the bars' subjects.
        double sum = 0;
        for (const CountedClass& row : counted.classes)
            sum += row.mean * row.size;
        QVERIFY2(text.contains(u"年级平均 %1"_s.arg(sum / counted.students, 0, 'f', 2)), qPrintable(text.right(600)));
        QVERIFY(text.indexOf(u"地理"_s, report) > report);
    }
};

QTEST_MAIN(TestBalancePage)
#include "tst_balancepage.moc"
