#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"
#include "roster/RosterSummary.h"

#include <QTest>

using namespace fenban;

namespace {

// The grid as the paste writes it: row numbers in column 0, fields from column 1.
CellGrid PastedGrid(const std::string& text)
{
    const std::vector<std::string_view> lines = SplitLines(text);
    CellGrid grid(15, std::max<int>(2, static_cast<int>(lines.size())));
    for (std::size_t row = 0; row < lines.size(); ++row) {
        grid.setCell(0, static_cast<int>(row), std::to_string(row));
        const std::vector<std::string_view> fields = SplitFields(lines[row]);
        for (std::size_t f = 0; f < fields.size(); ++f)
            grid.setCell(static_cast<int>(f) + 1, static_cast<int>(row), std::string(fields[f]));
    }
    return grid;
}

const char* const Header = "姓名\t性别\t班级\t总分\t语文\t数学\n";

} // namespace

class TestSummary : public QObject {
    Q_OBJECT

private slots:
    void summary_data();
    void summary();
    void rowsText_data();
    void rowsText();
};

void TestSummary::summary_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("details");
    const auto headed = [](const char* rows) { return QString::fromUtf8(Header) + QString::fromUtf8(rows); };
    QTest::newRow("clean") << headed("张三\t男\t\t300\t90\t80\n李四\t女\t\t280\t85\t95\n王五\t男\t\t290\t88\t90")
                           << "读入 3 人：男 2，女 1；2 科；分 1 个班"
                           << ""
                           << "";
    // A rule column after the subjects is no subject.
    QTest::newRow("rule column") << QString::fromUtf8("姓名\t性别\t班级\t总分\t语文\t数学\t同班\n"
                                                      "张三\t男\t\t300\t90\t80\t甲\n李四\t女\t\t280\t85\t95\t甲")
                                 << "读入 2 人：男 1，女 1；2 科；分 1 个班"
                                 << ""
                                 << "";
    QTest::newRow("empty lines") << headed("张三\t男\t\t300\n\n李四\t女\t\t280\n \t \n")
                                 << "读入 4 人：男 1，女 1；2 科；分 1 个班"
                                 << "请注意：2 个空行。"
                                 << "空行（每行算作一个没有姓名的学生）：第 3、5 行";
    QTest::newRow("other genders") << headed("甲\tM\t\t1\n乙\t\t\t1\n丙\tM\t\t1\n丁\t 男\t\t1\n戊\t男生\t\t1")
                                   << "读入 5 人：男 1，女 0；2 科；分 1 个班"
                                   << "请注意：4 人的性别不是“男”或“女”。"
                                   << "性别写作“M”，不是“男”或“女”：第 2、4 行\n性别空着：第 3 行\n"
                                      "性别写作“ 男”，不是“男”或“女”：第 5 行";
    QTest::newRow("duplicate names") << headed("张三\t男\n李四\t女\n李四\t女\n张三\t男\n 张三 \t男\n王五\t女")
                                     << "读入 6 人：男 3，女 3；2 科；分 1 个班"
                                     << "请注意：2 个姓名重复。"
                                     << "重名“张三”：第 2、5、6 行\n重名“李四”：第 3、4 行";
    QTest::newRow("scores without header")
        << QString::fromUtf8("姓名\t性别\t班级\t总分\t\t数学\t\t\t化学\n"
                             "甲\t男\t\t300\t90\t80\n乙\t女\t\t280\t85\t95\t\t\t77\n丙\t男\t\t290\t88\t90\t\t60")
        << "读入 3 人：男 2，女 1；4 科；分 1 个班"
        << "请注意：2 列成绩没有科目名。"
        << "第 5 列有成绩，但没有科目名：第 2 至 4 行\n第 8 列有成绩，但没有科目名：第 4 行";
    QTest::newRow("all kinds") << headed("张三\t男\t\t1\t\t\t9\n\n张三\tF\t\t2")
                               << "读入 3 人：男 1，女 0；3 科；分 1 个班"
                               << "请注意：1 个空行，1 人的性别不是“男”或“女”，1 个姓名重复，1 列成绩没有科目名。"
                               << "空行（每行算作一个没有姓名的学生）：第 3 行\n性别写作“F”，不是“男”或“女”：第 4 行\n"
                                  "重名“张三”：第 2、4 行\n第 7 列有成绩，但没有科目名：第 2 行";
}

void TestSummary::summary()
{
    QFETCH(QString, table);
    QFETCH(QString, status);
    QFETCH(QString, warning);
    QFETCH(QString, details);
    const CellGrid grid = PastedGrid(table.toStdString());
    const BuiltRoster built = BuildRosterFromGrid(grid, ".");
    const RosterSummary summary = SummarizeRoster(grid, built.students, built.proposedClassCount);
    QCOMPARE(QString::fromStdString(SummaryStatusText(summary)), status);
    QCOMPARE(QString::fromStdString(SummaryWarningText(summary)), warning);
    QCOMPARE(QString::fromStdString(SummaryWarningDetails(summary)), details);
    for (const ReadWarning& w : summary.warnings) // rows name students of the roster, the header being row 1
        for (const int row : w.rows)
            QVERIFY(row >= 2 && row <= summary.students + 1);
}

void TestSummary::rowsText_data()
{
    QTest::addColumn<std::vector<int>>("rows");
    QTest::addColumn<QString>("text");
    QTest::newRow("one") << std::vector<int> {3} << "第 3 行";
    QTest::newRow("two in a row") << std::vector<int> {3, 4} << "第 3、4 行";
    QTest::newRow("three in a row") << std::vector<int> {3, 4, 5} << "第 3 至 5 行";
    QTest::newRow("mixed") << std::vector<int> {1, 3, 4, 5, 9, 10, 12} << "第 1、3 至 5、9、10、12 行";
}

void TestSummary::rowsText()
{
    QFETCH(std::vector<int>, rows);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(RowsText(rows)), text);
}

QTEST_GUILESS_MAIN(TestSummary)
#include "tst_summary.moc"
