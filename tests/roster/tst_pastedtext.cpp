#include "roster/CellGrid.h"
#include "roster/PastedTable.h"

#include <QTest>
#include <random>

using namespace fenban;
using namespace Qt::StringLiterals;

namespace {
QStringList toList(const std::vector<std::string_view>& parts)
{
    QStringList list;
    for (const std::string_view part : parts)
        list << QString::fromUtf8(part.data(), static_cast<qsizetype>(part.size()));
    return list;
}

// The roster grid a paste of `lines` (fields cut at tabs by hand) leaves in
// a grid of the given start: counts set in three steps, cells written plainly.
CellGrid ReferenceGrid(CellGrid grid, const std::vector<std::string>& lines)
{
    std::vector<std::vector<std::string>> table;
    std::size_t widest = 0;
    for (const std::string& line : lines) {
        std::vector<std::string> fields(1);
        for (const char c : line)
            if (c == '\t')
                fields.emplace_back();
            else
                fields.back().push_back(c);
        widest = std::max(widest, fields.size());
        table.push_back(fields);
    }
    grid.setColCount(15);
    grid.setRowCount(std::max<int>(2, static_cast<int>(lines.size())));
    grid.setColCount(std::max<int>(15, static_cast<int>(widest) + 1));
    for (int row = 0; row < grid.rowCount(); ++row)
        for (int col = 0; col < grid.colCount(); ++col)
            grid.setCell(col, row, {});
    for (std::size_t row = 0; row < table.size(); ++row) {
        grid.setCell(0, static_cast<int>(row), std::to_string(row));
        for (std::size_t f = 0; f < table[row].size(); ++f)
            grid.setCell(static_cast<int>(f) + 1, static_cast<int>(row), table[row][f]);
    }
    return grid;
}

// Empty when both grids hold the same counts, texts and current cell.
QString GridDifference(const CellGrid& a, const CellGrid& b)
{
    if (a.colCount() != b.colCount() || a.rowCount() != b.rowCount())
        return u"counts %1 x %2, expected %3 x %4"_s.arg(a.colCount())
            .arg(a.rowCount())
            .arg(b.colCount())
            .arg(b.rowCount());
    if (a.currentCol() != b.currentCol() || a.currentRow() != b.currentRow())
        return u"current (%1, %2), expected (%3, %4)"_s.arg(a.currentCol())
            .arg(a.currentRow())
            .arg(b.currentCol())
            .arg(b.currentRow());
    for (int row = 0; row < a.rowCount(); ++row)
        for (int col = 0; col < a.colCount(); ++col)
            if (a.cell(col, row) != b.cell(col, row))
                return u"cell (%1, %2)"_s.arg(col).arg(row);
    return {};
}

// A grid as an earlier table left it: texts everywhere, a current cell.
CellGrid EarlierGrid(int cols, int rows, int currentCol, int currentRow)
{
    CellGrid grid(cols, rows);
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < cols; ++col)
            grid.setCell(col, row, "old");
    grid.setCurrent(currentCol, currentRow);
    return grid;
}

CellGrid Pasted(CellGrid grid, std::string_view text)
{
    const FieldRows table = SplitTable(text);
    SizeGridForTable(grid, table);
    FillGridWithTable(grid, table);
    return grid;
}
} // namespace

class TestPastedText : public QObject {
    Q_OBJECT

private slots:
    void splitLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty text: no line") << QByteArray("") << QStringList {};
        QTest::newRow("one line") << QByteArray("a") << QStringList {u"a"_s};
        QTest::newRow("CR LF") << QByteArray("a\r\nb") << QStringList {u"a"_s, u"b"_s};
        QTest::newRow("LF alone") << QByteArray("a\nb") << QStringList {u"a"_s, u"b"_s};
        QTest::newRow("CR alone") << QByteArray("a\rb") << QStringList {u"a"_s, u"b"_s};
        QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QStringList {u"a"_s, u""_s, u"b"_s};
        QTest::newRow("trailing CR LF adds nothing") << QByteArray("a\r\nb\r\n") << QStringList {u"a"_s, u"b"_s};
        QTest::newRow("trailing LF adds nothing") << QByteArray("a\nb\n") << QStringList {u"a"_s, u"b"_s};
        QTest::newRow("line end alone") << QByteArray("\r\n") << QStringList {u""_s};
        QTest::newRow("empty line inside stays") << QByteArray("a\r\n\r\nb") << QStringList {u"a"_s, u""_s, u"b"_s};
        QTest::newRow("two trailing ends keep one empty line") << QByteArray("a\n\n") << QStringList {u"a"_s, u""_s};
        QTest::newRow("tabs at the ends are kept") << QByteArray("\ta\t\r\nb") << QStringList {u"\ta\t"_s, u"b"_s};
        QTest::newRow("text ends at NUL") << QByteArray("a\nb\0c\nd", 7) << QStringList {u"a"_s, u"b"_s};
        QTest::newRow("quoted cell with a line break is cut")
            << QByteArray("\"x\ny\"\tz") << QStringList {u"\"x"_s, u"y\"\tz"_s};
    }
    void splitLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, lines);
        QCOMPARE(toList(SplitLines(std::string_view(text.constData(), static_cast<std::size_t>(text.size())))), lines);
    }

    void splitFields_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("no tab: one field") << QByteArray("abc") << QStringList {u"abc"_s};
        QTest::newRow("empty line: one empty field") << QByteArray("") << QStringList {u""_s};
        QTest::newRow("two tabs in a row") << QByteArray("a\t\tb") << QStringList {u"a"_s, u""_s, u"b"_s};
        QTest::newRow("tab at the end") << QByteArray("a\tb\t") << QStringList {u"a"_s, u"b"_s, u""_s};
        QTest::newRow("tab at the start") << QByteArray("\ta") << QStringList {u""_s, u"a"_s};
        QTest::newRow("spaces and quotes untouched")
            << QByteArray(" \"a\" \t b ") << QStringList {u" \"a\" "_s, u" b "_s};
    }
    void splitFields()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, fields);
        QCOMPARE(
            toList(SplitFields(std::string_view(line.constData(), static_cast<std::size_t>(line.size())))), fields);
    }
    void splitTableIsLinesThenFields()
    {
        const std::string text = "h1\th2\r\n\r\na\t\tc\nlast";
        const FieldRows table = SplitTable(text);
        const std::vector<std::string_view> lines = SplitLines(text);
        QCOMPARE(table.size(), lines.size());
        for (std::size_t row = 0; row < lines.size(); ++row)
            QVERIFY(table[row] == SplitFields(lines[row]));
        QVERIFY(SplitTable("").empty());
    }

    void gridSize_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("rows");
        QTest::newRow("empty text") << QByteArray("") << 15 << 2;
        QTest::newRow("header alone") << QByteArray("a\tb") << 15 << 2;
        QTest::newRow("three lines") << QByteArray("h\na\nb") << 15 << 3;
        QTest::newRow("fourteen fields fit") << QByteArray("1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13\t14") << 15 << 2;
        QTest::newRow("fifteen fields widen")
            << QByteArray("1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13\t14\t15") << 16 << 2;
        QTest::newRow("the widest line counts")
            << QByteArray("h\n\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\nb") << 21 << 3;
    }
    void gridSize()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, cols);
        QFETCH(int, rows);
        const TableGridSize size = GridSizeForTable(SplitTable(text.toStdString()));
        QCOMPARE(size.cols, cols);
        QCOMPARE(size.rows, rows);
        const CellGrid grid = Pasted(CellGrid(6, 5), text.toStdString());
        QCOMPARE(grid.colCount(), cols);
        QCOMPARE(grid.rowCount(), rows);
    }

    void filledGridNumbersRowsAndClearsTheOld()
    {
        const CellGrid grid = Pasted(EarlierGrid(30, 40, 3, 3), "姓名\t性别\n张三\t男\t\t600\n\n李四");
        QCOMPARE(grid.colCount(), 15);
        QCOMPARE(grid.rowCount(), 4);
        QCOMPARE(grid.cell(0, 0), std::string("0"));
        QCOMPARE(grid.cell(0, 3), std::string("3"));
        QCOMPARE(grid.cell(1, 0), std::string("姓名"));
        QCOMPARE(grid.cell(4, 1), std::string("600"));
        QCOMPARE(grid.cell(3, 1), std::string());
        QCOMPARE(grid.cell(0, 2), std::string("2")); // an empty line keeps its number
        QCOMPARE(grid.cell(1, 2), std::string());
        QCOMPARE(grid.cell(1, 3), std::string("李四"));
        for (int row = 0; row < grid.rowCount(); ++row)
            for (int col = 0; col < grid.colCount(); ++col)
                QVERIFY(grid.cell(col, row) != "old");
    }

    // The current cell moves in the paste's three steps: the columns cut to
    // 15 first, so a wider table does not bring an outside column back.
    void currentCellMovesInSteps()
    {
        const std::string wide = "h\n" + std::string(20, '\t') + "x";
        const CellGrid grid = Pasted(EarlierGrid(25, 40, 20, 30), wide);
        QCOMPARE(grid.colCount(), 22);
        QCOMPARE(grid.rowCount(), 2);
        QCOMPARE(grid.currentCol(), 14);
        QCOMPARE(grid.currentRow(), 1);
        QCOMPARE(grid.cell(21, 1), std::string("x"));
    }

    // Many small pastes over many earlier grids, against the plain reference.
    void filledGridMatchesTheReference()
    {
        std::mt19937 rng(9);
        const std::string pieces[] = {"", "a", "学生", "12.5", " ", "\"q\""};
        for (int round = 0; round < 400; ++round) {
            std::vector<std::string> lines(rng() % 6);
            std::string text;
            for (std::size_t k = 0; k < lines.size(); ++k) {
                const int fields = 1 + static_cast<int>(rng() % 19);
                for (int f = 0; f < fields; ++f)
                    lines[k] += (f > 0 ? "\t" : "") + pieces[rng() % std::size(pieces)];
                text += lines[k] + (rng() % 2 ? "\r\n" : "\n");
            }
            const int cols = 1 + static_cast<int>(rng() % 24);
            const int rows = 1 + static_cast<int>(rng() % 9);
            const CellGrid earlier
                = EarlierGrid(cols, rows, static_cast<int>(rng() % (cols + 1)) - 1, static_cast<int>(rng() % rows));
            const QString difference = GridDifference(Pasted(earlier, text), ReferenceGrid(earlier, lines));
            QVERIFY2(difference.isEmpty(), qPrintable(u"round %1: "_s.arg(round) + difference));
        }
    }
};

QTEST_APPLESS_MAIN(TestPastedText)
#include "tst_pastedtext.moc"
