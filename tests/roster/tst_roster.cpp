#include "common/Failure.h"
#include "roster/CellGrid.h"
#include "roster/Gb18030.h"
#include "roster/RosterBuilder.h"

#include <QTest>

using namespace fenban;
using namespace Qt::StringLiterals;

namespace {

QByteArray gb(const QString& text)
{
    return QByteArray::fromStdString(Gb18030Prefix(text.toStdString(), 1000));
}

// A grid shaped like a paste: header row, then one row per entry of `rows`.
CellGrid gridOf(const std::vector<std::vector<std::string>>& rows)
{
    CellGrid grid(15, static_cast<int>(rows.size()) + 1);
    const std::vector<std::string> header {"姓名", "性别", "班级", "总分", "语文", "数学"};
    for (std::size_t c = 0; c < header.size(); ++c)
        grid.setCell(static_cast<int>(c) + 1, 0, header[c]);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            grid.setCell(static_cast<int>(c) + 1, static_cast<int>(r) + 1, rows[r][c]);
    return grid;
}

} // namespace

class TestRoster : public QObject {
    Q_OBJECT

private slots:
    void cutsAtWholeCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<QString>("kept");
        QTest::newRow("five Chinese characters fit") << "欧阳明月华" << 10 << "欧阳明月华";
        QTest::newRow("six keep five") << "欧阳明月华清" << 10 << "欧阳明月华";
        QTest::newRow("letter and five keep four") << "A欧阳明月华" << 10 << "A欧阳明月";
        QTest::newRow("Latin name cut at ten") << "Christopher" << 10 << "Christophe";
        QTest::newRow("four-byte character fits") << "张三李😀" << 10 << "张三李😀";
        QTest::newRow("four-byte character does not") << "张三李四😀" << 10 << "张三李四";
        QTest::newRow("gender whole") << "男" << 2 << "男";
        QTest::newRow("longer gender keeps one") << "男性" << 2 << "男";
        QTest::newRow("Latin gender") << "male" << 2 << "ma";
        QTest::newRow("letter before a character") << "M男" << 2 << "M";
        QTest::newRow("wide character for two bytes") << "😀" << 2 << "";
        QTest::newRow("empty") << "" << 2 << "";
    }
    void cutsAtWholeCharacters()
    {
        QFETCH(QString, text);
        QFETCH(int, maxBytes);
        QFETCH(QString, kept);
        const std::string bytes = Gb18030Prefix(text.toStdString(), static_cast<std::size_t>(maxBytes));
        QVERIFY(bytes.size() <= static_cast<std::size_t>(maxBytes));
        QCOMPARE(QString::fromStdString(Gb18030ToUtf8(bytes)), kept);
    }

    void gbkBytesForCommonCharacters()
    {
        QCOMPARE(gb(u"男"_s), QByteArray("\xC4\xD0"));
        QCOMPARE(gb(u"女"_s), QByteArray("\xC5\xAE"));
        QCOMPARE(QByteArray(MaleGender.data(), 2), gb(u"男"_s));
    }

    void proposesClassCount_data()
    {
        QTest::addColumn<int>("students");
        QTest::addColumn<int>("classes");
        QTest::newRow("none") << 0 << 1;
        QTest::newRow("49") << 49 << 1;
        QTest::newRow("50") << 50 << 2;
        QTest::newRow("99") << 99 << 2;
        QTest::newRow("100") << 100 << 3;
        QTest::newRow("4949") << 4949 << 99;
        QTest::newRow("4950") << 4950 << 100;
        QTest::newRow("5000") << 5000 << 100;
        QTest::newRow("100000") << 100000 << 100;
    }
    void proposesClassCount()
    {
        QFETCH(int, students);
        QFETCH(int, classes);
        QCOMPARE(ProposeClassCount(students), classes);
    }

    void buildsOneRecordPerRow()
    {
        const CellGrid grid = gridOf({
            {"张三", "男", "", "600", "  95  ", "", "1e2"},
            {"李四四四四四", "女", "2.7", "587.5", "90", "80"},
            {"王五", "", "-0.5", "", "", "", "", "", "", "", "", "", "", "99.5"},
        });
        const BuiltRoster roster = BuildRosterFromGrid(grid, ".");
        QCOMPARE(roster.students.size(), std::size_t(3));
        const TStudent& first = *roster.students[0];
        QCOMPARE(QString::fromStdString(Gb18030ToUtf8(first.Name)), u"张三"_s);
        QVERIFY(first.Gender == MaleGender);
        QCOMPARE(first.ClassNo, 0);
        QCOMPARE(double(first.Scores[0]), 600.0);
        QCOMPARE(double(first.Scores[1]), 95.0);
        QCOMPARE(double(first.Scores[2]), 0.0);
        QCOMPARE(double(first.Scores[3]), 100.0);
        QVERIFY(!first.IsHandPlaced());
        QVERIFY(first.Mark.empty());
        const TStudent& second = *roster.students[1];
        QCOMPARE(QString::fromStdString(Gb18030ToUtf8(second.Name)), u"李四四四四四"_s); // kept whole
        QCOMPARE(second.ClassNo, 2);
        QCOMPARE(double(second.Scores[0]), 587.5);
        const TStudent& third = *roster.students[2];
        QVERIFY(third.Gender.empty());
        QCOMPARE(third.ClassNo, 0);
        QCOMPARE(double(third.Scores[10]), 99.5);
        QCOMPARE(roster.proposedClassCount, 1);
    }

    void subjectNamesAlwaysEleven()
    {
        const BuiltRoster roster = BuildRosterFromGrid(gridOf({{"a", "男"}}), ".");
        QCOMPARE(roster.subjectNames[0], std::string("总分"));
        QCOMPARE(roster.subjectNames[2], std::string("数学"));
        QCOMPARE(roster.subjectNames[3], std::string("  "));
        QCOMPARE(roster.subjectNames[10], std::string("  "));
    }

    void firstBadCellStopsTheBuild_data()
    {
        QTest::addColumn<int>("badRow");
        QTest::addColumn<int>("badColumn");
        QTest::addColumn<QString>("message");
        QTest::newRow("score word") << 2 << 6 << "'缺考' is not a valid floating point value";
        QTest::newRow("class cell first in its row") << 2 << 3 << "'三班' is not a valid floating point value";
        QTest::newRow("class out of range") << 1 << 3 << "'9e9' is not a valid integer value";
    }
    void firstBadCellStopsTheBuild()
    {
        QFETCH(int, badRow);
        QFETCH(int, badColumn);
        QFETCH(QString, message);
        CellGrid grid = gridOf({{"a", "男", "1", "1"}, {"b", "女", "1", "2", "3", "4"}, {"c", "男", "x", "y"}});
        if (badColumn == 3)
            grid.setCell(3, badRow, badRow == 1 ? "9e9" : "三班");
        grid.setCell(badColumn == 3 ? 6 : badColumn, 2, "缺考");
        try {
            BuildRosterFromGrid(grid, ".");
            QFAIL("no failure");
        } catch (const ConversionError& failure) {
            QCOMPARE(QString::fromUtf8(failure.what()), message);
        }
    }

    void gridKeepsCellsAndMovesTheCurrentCell()
    {
        CellGrid grid(6, 5);
        grid.setCell(2, 3, "x");
        grid.setCell(5, 4, "far");
        QVERIFY(!grid.hasCurrent());
        QVERIFY(!grid.setRowCount(2)); // nothing current: nothing to move
        grid.setRowCount(5);
        QCOMPARE(grid.cell(5, 4), std::string()); // cut away, not kept
        grid.setCell(2, 1, "kept");
        grid.setCurrent(4, 4);
        QVERIFY(grid.setColCount(3));
        QCOMPARE(grid.currentCol(), 2);
        QCOMPARE(grid.cell(2, 1), std::string("kept"));
        QVERIFY(!grid.setRowCount(10));
        QVERIFY(grid.setRowCount(3));
        QCOMPARE(grid.currentRow(), 2);
        QVERIFY(grid.setRowCount(1)); // no data row left: row 0
        QCOMPARE(grid.currentRow(), 0);
        QCOMPARE(grid.rowCount(), 1);
        grid.setRowCount(0);
        QCOMPARE(grid.rowCount(), 1); // never below the fixed row
        grid.setCurrent(99, 0); // outside: ignored
        QCOMPARE(grid.currentCol(), 2);
        QCOMPARE(grid.cell(-1, 0), std::string());
    }

    // Columns cut away and added again come back empty; so do cleared cells.
    void gridForgetsCutColumns()
    {
        CellGrid grid(3, 4);
        QVERIFY(!grid.setColCount(10001));
        grid.setCell(10000, 2, "far");
        grid.setCell(1, 3, "near");
        grid.setCell(9000, 3, "");
        QCOMPARE(grid.cell(10000, 2), std::string("far"));
        QCOMPARE(grid.cell(9000, 3), std::string());
        grid.setColCount(2);
        grid.setColCount(10001);
        QCOMPARE(grid.cell(10000, 2), std::string());
        QCOMPARE(grid.cell(1, 3), std::string("near"));
        grid.clearCells();
        QCOMPARE(grid.cell(1, 3), std::string());
        QCOMPARE(grid.colCount(), 10001);
        QCOMPARE(grid.rowCount(), 4);
    }
};

QTEST_APPLESS_MAIN(TestRoster)
#include "tst_roster.moc"
