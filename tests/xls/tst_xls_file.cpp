// Grids exported through the built-in spreadsheet component and read back,
// cell by cell, by two independent readers (FreeXL and xlrd).
#include "XlsReaders.h"
#include "xls/BuiltInSpreadsheet.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace fenban;
using namespace fenban::testkit;

namespace {

struct Grid {
    int rows = 0;
    int columns = 0;
    std::vector<std::string> texts; // row-major

    Grid(int rowCount, int columnCount)
        : rows(rowCount)
        , columns(columnCount)
        , texts(static_cast<std::size_t>(rowCount) * static_cast<std::size_t>(columnCount))
    {
    }
    std::string& at(int column, int row) { return texts[static_cast<std::size_t>(row) * columns + column]; }
    const std::string& at(int column, int row) const { return texts[static_cast<std::size_t>(row) * columns + column]; }
};

// Appends a character as UTF-8.
void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The first difference between what was written and what a reader saw.
QString Difference(const Grid& grid, const SheetReadBack& read)
{
    if (!read.error.isEmpty())
        return read.error;
    if (read.rows != grid.rows || read.columns != grid.columns)
        return QStringLiteral("size %1 x %2, expected %3 x %4")
            .arg(read.rows)
            .arg(read.columns)
            .arg(grid.rows)
            .arg(grid.columns);
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.columns; ++c) {
            const std::string& expected = grid.at(c, r);
            const std::optional<std::string>& seen = read.cells[r][c];
            if (expected.empty() ? seen.has_value() : seen != expected) {
                return QStringLiteral("cell (row %1, column %2): \"%3\", expected \"%4\"")
                    .arg(r)
                    .arg(c)
                    .arg(seen ? QString::fromStdString(seen->substr(0, 40)) : QStringLiteral("<empty>"))
                    .arg(QString::fromStdString(expected.substr(0, 40)));
            }
        }
    }
    return {};
}

} // namespace

class XlsFileTest : public QObject {
    Q_OBJECT

private:
    QString exportGrid(const Grid& grid, const QString& name)
    {
        const QString file = dir_->filePath(name);
        const ExportResult result = ExportCells(
            BuiltInSpreadsheetFactory(), grid.rows, grid.columns,
            [&grid](int column, int row) -> const std::string& { return grid.at(column, row); },
            std::filesystem::path(file.toStdU16String()));
        if (result != ExportResult::Done)
            qFatal("the built-in spreadsheet component was not created");
        return file;
    }

    static void checkBothReaders(const Grid& grid, const QString& file)
    {
        for (const SheetReadBack& read : {ReadWithFreeXl(file), ReadWithXlrd(file)}) {
            const QString difference = Difference(grid, read);
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
            QCOMPARE(read.codepage, 1200);
            QCOMPARE(read.sheetNames, std::vector<std::string> {"Sheet1"});
        }
    }

    std::unique_ptr<QTemporaryDir> dir_;

private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    // A class of 30 as the roster grid lists it: header row, number column,
    // Chinese names, empty score cells.
    void classListing()
    {
        const std::vector<std::string> header {"", "姓名", "性别", "班级", "总分", "语文", "数学", "英语", "物理",
            "化学", "生物", "政治", "历史", "地理", "体育"};
        const std::vector<std::string> names {"张伟", "王芳", "欧阳娜娜", "李娜", "刘洋", "陈静"};
        Grid grid(31, 15);
        for (int c = 0; c < 15; ++c)
            grid.at(c, 0) = header[c];
        for (int r = 1; r <= 30; ++r) {
            grid.at(0, r) = std::to_string(r);
            grid.at(1, r) = names[r % names.size()] + (r > 6 ? std::to_string(r) : "");
            grid.at(2, r) = r % 2 ? "男" : "女";
            grid.at(3, r) = "3";
            for (int c = 4; c < 15; ++c)
                grid.at(c, r) = (r + c) % 9 == 0 ? "" : std::to_string(60 + (r * c) % 40) + ".5";
        }
        grid.at(0, 0) = "0";
        const QString file = exportGrid(grid, QStringLiteral("三年级3班.xls"));
        checkBothReaders(grid, file);
        QCOMPARE(ReadWithXlrd(file).biffVersion, 80);
        QCOMPARE(ReadWithFreeXl(file).biffVersion, 8);
    }

    // Small workbooks live in the compound file's mini stream, larger ones in
    // sectors of their own; both sides of the 4096-byte line.
    void smallGrids_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::newRow("one cell") << 1 << 1;
        QTest::newRow("one row") << 1 << 15;
        QTest::newRow("near the line") << 12 << 15;
        QTest::newRow("past the line") << 20 << 15;
    }
    void smallGrids()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        Grid grid(rows, columns);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c)
                grid.at(c, r) = c == 1 ? "" : "格" + std::to_string(r * columns + c);
        }
        checkBothReaders(grid, exportGrid(grid, QStringLiteral("small.xls")));
    }

    // Enough distinct texts for the shared string table to run on through
    // many CONTINUE records, with texts split across them: Chinese, texts of
    // characters beyond the BMP only (surrogate pairs at every offset), and
    // long texts that cross a record boundary.
    void sharedStringsAcrossRecords()
    {
        Grid grid(2000, 15);
        for (int r = 0; r < grid.rows; ++r) {
            for (int c = 0; c < grid.columns; ++c) {
                std::string& text = grid.at(c, r);
                const int n = r * grid.columns + c;
                switch (n % 5) {
                case 0:
                    text = "学生" + std::to_string(n);
                    break;
                case 1:
                    for (int k = 0; k <= n % 23; ++k)
                        AppendUtf8(text, 0x20000 + static_cast<char32_t>((n + k) % 0x2000)); // CJK Extension B
                    break;
                case 2:
                    text = "Ünïcødé ж " + std::to_string(n) + " 😀";
                    break;
                case 3:
                    text = (n % 7 == 0) ? "" : std::to_string(n);
                    break;
                default:
                    if (n % 97 == 4) {
                        for (int k = 0; k < 500 + n % 2500; ++k) // at most 4000 UTF-16 units
                            AppendUtf8(text, k % 3 ? U'长' : U'𝄞');
                    } else {
                        text = "分数" + std::to_string(n % 100);
                    }
                }
            }
        }
        const QString file = exportGrid(grid, QStringLiteral("big.xls"));
        checkBothReaders(grid, file);
        QVERIFY(ReadWithFreeXl(file).fatEntries > 128); // more than one FAT sector
    }

    // Texts that run on through several CONTINUE records, up to the longest a
    // cell takes. Read by xlrd only: FreeXL 1.0.6 reads a text only when it
    // spans at most two records.
    void textsSpanningSeveralRecords()
    {
        Grid grid(6, 2);
        const int lengths[] = {5000, 9000, 12345, 20000, 27000}; // up to 32400 UTF-16 units
        for (int r = 0; r < 5; ++r) {
            grid.at(0, r) = "前" + std::to_string(r);
            for (int k = 0; k < lengths[r]; ++k)
                AppendUtf8(grid.at(1, r), k % 5 ? U'文' : U'😀');
        }
        grid.at(0, 5) = "最长";
        for (int k = 0; k < 16383; ++k)
            AppendUtf8(grid.at(1, 5), U'𠀀');
        grid.at(1, 5) += 'x'; // 32767 UTF-16 units
        const QString difference = Difference(grid, ReadWithXlrd(exportGrid(grid, QStringLiteral("long.xls"))));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    }

    // The format's limits: 65536 rows (a FAT of more than 109 sectors, so
    // DIFAT sectors too) and 256 columns.
    void largestSheet()
    {
        Grid grid(65536, 10);
        for (int r = 0; r < grid.rows; ++r) {
            for (int c = 0; c < grid.columns; ++c)
                grid.at(c, r) = c == 0 ? std::to_string(r) : (r + c) % 4 ? "第" + std::to_string(c) + "列" : "";
        }
        const QString file = exportGrid(grid, QStringLiteral("largest.xls"));
        const SheetReadBack read = ReadWithFreeXl(file);
        const QString difference = Difference(grid, read);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QVERIFY(read.fatEntries > 109 * 128);
    }
    void widestSheet()
    {
        Grid grid(3, 256);
        for (int r = 0; r < grid.rows; ++r) {
            for (int c = 0; c < grid.columns; ++c)
                grid.at(c, r) = std::to_string(r) + "行" + std::to_string(c) + "列";
        }
        checkBothReaders(grid, exportGrid(grid, QStringLiteral("widest.xls")));
    }
};

QTEST_GUILESS_MAIN(XlsFileTest)
#include "tst_xls_file.moc"
