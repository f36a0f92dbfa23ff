// The balance report's sheet 均衡 and printed page, read back by openpyxl and
// pdftotext; pictures printed below tables.
#include "EngineTestKit.h"
#include "OutputReaders.h"
#include "engine/Assignment.h"
#include "engine/BalanceReport.h"
#include "engine/Division.h"
#include "io/BalanceTable.h"
#include "io/ClassListPrint.h"
#include "io/WorkbookFile.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using namespace fenban;
using namespace fenban::testkit;

class BalanceTableTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void sheetReadsBackAsTheReport();
    void pageInThePdf();
    void picturesBelowTheTable();

private:
    DivisionState state_;
    BalanceReport report_;
    OutputTable table_;
    QTemporaryDir folder_;
};

void BalanceTableTest::init()
{
    std::mt19937_64 rng(7);
    state_ = DivisionState();
    FillRandomRoster(state_, rng, 150, ScoreKind::Half);
    ResizeClassLists(state_, 5);
    AssignClasses(state_, 5);
    MoveByHand(state_, state_.FStudents[0], 2); // a count out of bounds, perhaps
    report_ = MakeBalanceReport(state_, 5, 10);
    table_ = BalanceTable(report_, {"总分", "语文", "数学"});
}

void BalanceTableTest::sheetReadsBackAsTheReport()
{
    const std::filesystem::path file = std::filesystem::path(folder_.path().toStdString()) / "均衡.xlsx";
    WriteWorkbook(*DiskFileSystem(), file, std::span(&table_, 1));
    QString error;
    const QJsonArray sheets = ReadWithOpenpyxl(QString::fromStdString(file.string()), error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(sheets.size(), 1);
    // Values, not references into temporaries: at() and value() copy.
    const QJsonObject sheet = sheets.at(0).toObject();
    QCOMPARE(sheet.value(QStringLiteral("name")).toString(), QStringLiteral("均衡"));
    const QJsonArray rows = sheet.value(QStringLiteral("rows")).toArray();
    const auto cell = [&](int row, int column) {
        return rows.at(row).toArray().at(column).toObject().value(QStringLiteral("value"));
    };
    QCOMPARE(cell(0, 0).toString(), QStringLiteral("班级"));
    QCOMPARE(cell(0, 8).toString(), QStringLiteral("前5%"));
    int students = 0;
    for (int c = 0; c < 5; ++c) {
        const BalanceReport::Row& row = report_.classes[static_cast<std::size_t>(c)];
        QCOMPARE(cell(c + 1, 0).toString(), QStringLiteral("%1班").arg(c + 1));
        QCOMPARE(cell(c + 1, 1).toInt(), static_cast<int>(state_.FClasses[static_cast<std::size_t>(c)].size()));
        QCOMPARE(cell(c + 1, 2).toInt(), row.boys);
        QCOMPARE(cell(c + 1, 3).toInt(), row.girls);
        QVERIFY(std::fabs(cell(c + 1, 5).toDouble() - row.deviation) <= 0.005 + 1e-9);
        QCOMPARE(cell(c + 1, 8).toInt(), row.topFivePercent);
        QCOMPARE(cell(c + 1, 10).toInt(), row.bottomTenPercent);
        QCOMPARE(cell(c + 1, 13).toString().contains(QStringLiteral("标准差")), row.deviationOut);
        students += cell(c + 1, 1).toInt();
    }
    QCOMPARE(cell(6, 0).toString(), QStringLiteral("年级"));
    QCOMPARE(cell(6, 1).toInt(), students);
    QCOMPARE(cell(8, 1).toString(), QStringLiteral("总分"));
    QVERIFY(std::fabs(cell(9, 1).toDouble() - report_.columnGap[0]) <= 0.005 + 1e-9);
    QCOMPARE(cell(10, 2).toString(), QStringLiteral("分数段最大差"));
    QCOMPARE(cell(10, 3).toInt(), report_.worstBandDifference);
    QCOMPARE(rows.size(), 11 + static_cast<int>(report_.breaches.size()));

    // A count out of bounds in words names its class as the set-up does, else by number.
    BalanceReport::BandBreach breach;
    breach.classNo = 2;
    breach.group.kind = RankGroup::Kind::TopN;
    breach.count = 2;
    breach.low = breach.high = 1;
    ClassSetup names;
    names.classes.resize(3);
    names.classes[1].name = "高一(2)班";
    QCOMPARE(BreachText(breach), std::string("2班 前N名：2 人，应为 1 人"));
    QCOMPARE(BreachText(breach, names), std::string("高一(2)班 前N名：2 人，应为 1 人"));
}

void BalanceTableTest::pageInThePdf()
{
    const std::filesystem::path file = std::filesystem::path(folder_.path().toStdString()) / "均衡.pdf";
    WriteTablesPdf(*DiskFileSystem(), file, std::span(&table_, 1));
    const QString text = PdfText(QString::fromStdString(file.string()));
    QVERIFY(text.contains(QStringLiteral("各班均衡情况")));
    QVERIFY(text.contains(QStringLiteral("分数段最大差")));
    QVERIFY(text.contains(QStringLiteral("年级")));
    for (int c = 1; c <= 5; ++c)
        QVERIFY(text.contains(QStringLiteral("%1班").arg(c)));
}

// Pictures follow their table's rows where they fit whole, else on a page of
// their own, each under its title, inside the box it was given.
void BalanceTableTest::picturesBelowTheTable()
{
    const std::filesystem::path file = std::filesystem::path(folder_.path().toStdString()) / "图.pdf";
    std::vector<QRectF> boxes;
    const auto picture = [&boxes](const char* title, double aspect, const QString& text) {
        return OutputPicture {title, aspect, [&boxes, text](QPainter& painter, const QRectF& box) {
                                  boxes.push_back(box);
                                  painter.drawText(box, Qt::AlignCenter, text);
                              }};
    };
    const OutputTable shortTable {"表", "短表", {"甲"}, {{1.0}, {2.0}, {3.0}}};
    const std::vector<OutputTable> tables {shortTable, shortTable};
    // The small picture and the first tall one share their tables' pages; the second tall one takes a page.
    const TablePictures pictures {{picture("小图", 0.2, QStringLiteral("SMALL"))},
        {picture("大图一", 1.0, QStringLiteral("TALLONE")), picture("大图二", 1.0, QStringLiteral("TALLTWO"))}};
    WriteTablesPdf(*DiskFileSystem(), file, tables, pictures);
    const QString name = QString::fromStdString(file.string());
    QCOMPARE(PdfPages(name), 3);
    const auto page = [&name](int n) { return PdfText(name, n); };
    QVERIFY(page(1).contains(QStringLiteral("小图")) && page(1).contains(QStringLiteral("SMALL")));
    QVERIFY(page(2).contains(QStringLiteral("短表")) && page(2).contains(QStringLiteral("TALLONE")));
    QVERIFY(!page(2).contains(QStringLiteral("TALLTWO")));
    QVERIFY(page(3).contains(QStringLiteral("短表（续）")) && page(3).contains(QStringLiteral("大图二")));
    QVERIFY(page(3).contains(QStringLiteral("TALLTWO")) && page(3).contains(QStringLiteral("第 3 页，共 3 页")));
    // Each as wide as the page and its aspect times as high.
    QCOMPARE(boxes.size(), std::size_t {3});
    QCOMPARE(boxes[1].width(), boxes[0].width());
    QVERIFY(std::fabs(boxes[0].height() - 0.2 * boxes[0].width()) < 1);
    QVERIFY(std::fabs(boxes[2].height() - boxes[2].width()) < 1);
}

QTEST_MAIN(BalanceTableTest)
#include "tst_balancetable.moc"
