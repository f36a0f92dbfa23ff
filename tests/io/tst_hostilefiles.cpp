// Damaged and hostile table files: each reads or is refused with a reason
// and a Chinese message naming the file; every sheet of a workbook in order;
// the .xls reader against what the .xls writer wrote and against FreeXL.
#include "HostileFiles.h"
#include "TableMakers.h"
#include "XlsReaders.h"
#include "io/CellText.h"
#include "io/TableFile.h"
#include "xls/GridXls.h"

#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <random>

using namespace fenban;
using namespace fenban::testkit;
using Reason = TableReadError::Reason;

namespace {

const std::filesystem::path DataFolder = FENBAN_TEST_DATA;

void WriteBytes(const std::filesystem::path& file, std::string_view bytes)
{
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Refused for that reason, the message naming the file and saying why.
void CheckRefusal(
    const std::filesystem::path& file, Reason reason, const std::string& says, const std::function<void()>& read)
{
    try {
        read();
        QFAIL("no failure");
    } catch (const TableReadError& error) {
        const QString message = QString::fromUtf8(error.what());
        QVERIFY2(error.reason() == reason, qPrintable(message));
        QVERIFY2(message.startsWith(QStringLiteral("不能打开文件“%1”：").arg(QString::fromStdString(file.string()))),
            qPrintable(message));
        QVERIFY2(message.contains(QString::fromStdString(says)), qPrintable(message));
        QVERIFY(message.endsWith(QStringLiteral("。")));
    }
}

// A random cell text: Chinese, Latin-1, a character beyond UTF-16's plane,
// and now and then a long one that carries on into CONTINUE records.
std::string RandomText(std::mt19937& rng)
{
    static const char* const pieces[] = {"王", "é", "a", "𠮷", " ", "1", "\"", "张伟"};
    std::string text;
    const int length = rng() % 40 == 0 ? 3000 : std::uniform_int_distribution<int>(0, 6)(rng);
    for (int k = 0; k < length; ++k)
        text += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(rng)];
    return text;
}

} // namespace

class HostileFilesTest : public QObject {
    Q_OBJECT

private slots:
    void eachReadsOrIsRefused();
    void largerFilesRefusedBySize();
    void everySheetInOrder_data();
    void everySheetInOrder();
    void textFileIsOneSheet();
    void xlsReadsWhatTheWriterWrote();
    void eightBitStringsInTheCodePage_data();
    void eightBitStringsInTheCodePage();

private:
    QTemporaryDir folder_;
    std::filesystem::path temp(const std::string& name) const
    {
        return std::filesystem::path(folder_.path().toStdString()) / name;
    }
};

void HostileFilesTest::eachReadsOrIsRefused()
{
    for (const HostileFile& hostile : HostileFiles()) {
        const std::filesystem::path path = temp(hostile.name);
        WriteBytes(path, hostile.bytes);
        const QByteArray name = QByteArray::fromStdString(hostile.name);
        if (hostile.refused) {
            CheckRefusal(path, *hostile.refused, hostile.says, [&] { ReadTableFile(path); });
            if (*hostile.refused == Reason::Empty) {
                for (const TableSheet& sheet : ReadTableSheets(path))
                    QVERIFY2(sheet.rows.empty(), name.constData());
            } else {
                CheckRefusal(path, *hostile.refused, hostile.says, [&] { ReadTableSheets(path); });
            }
            if (QTest::currentTestFailed())
                QFAIL(name.constData());
            continue;
        }
        try {
            QVERIFY2(ReadTableFile(path) == hostile.rows, name.constData());
            QCOMPARE(ReadTableSheets(path).size(), hostile.sheets);
        } catch (const TableReadError& error) {
            QFAIL(qPrintable(QString::fromStdString(hostile.name + ": " + error.what())));
        }
        std::filesystem::remove(path);
    }
}

void HostileFilesTest::largerFilesRefusedBySize()
{
    for (const char* name : {"big.csv", "big.xlsx", "big.xls"}) {
        const std::filesystem::path path = temp(name);
        MakeOversizedFile(path);
        CheckRefusal(path, Reason::TooLarge, "超过 50 MB", [&] { ReadTableSheets(path); });
        std::filesystem::remove(path);
    }
}

void HostileFilesTest::everySheetInOrder_data()
{
    QTest::addColumn<std::string>("file");
    QTest::newRow("xlsx") << std::string("several-sheets.xlsx");
    QTest::newRow("xls") << std::string("several-sheets.xls");
}

// The workbook LibreOffice saved from several-sheets.fods.
void HostileFilesTest::everySheetInOrder()
{
    QFETCH(std::string, file);
    const std::vector<TableSheet> sheets = ReadTableSheets(DataFolder / file);
    std::vector<std::string> names;
    for (const TableSheet& sheet : sheets)
        names.push_back(sheet.name);
    QCOMPARE(names, (std::vector<std::string> {"说明", "空白", "一班", "二班"}));
    QCOMPARE(sheets[0].rows, (TableRows {{"2024级新生名单"}}));
    QVERIFY(sheets[1].rows.empty());
    QCOMPARE(sheets[2].rows,
        (TableRows {{"姓名", "性别", "语文", "数学", "总分"}, {"王小明", "男", "98", "87.5", "185.5"},
            {"李丽", "女", "-3", "0.1", "1"}})); // a boolean without a formula is saved as a number
    QCOMPARE(sheets[3].rows, (TableRows {{"姓名", "学号"}, {"𠮷田", "20240101001"}, {}, {"男", "1234567.25"}}));
    // The first sheet with a cell is the one a single table is read from.
    QCOMPARE(ReadTableFile(DataFolder / file), sheets[0].rows);
}

void HostileFilesTest::textFileIsOneSheet()
{
    const std::vector<TableSheet> sheets = ReadTableSheets(DataFolder / "roster-table-utf8.csv");
    QCOMPARE(sheets.size(), std::size_t {1});
    QCOMPARE(sheets[0].name, std::string("roster-table-utf8"));
    QCOMPARE(sheets[0].rows, ReadTableFile(DataFolder / "roster-table-utf8.csv"));

    const std::filesystem::path blank = temp("空白.csv");
    WriteBytes(blank, ",,\r\n\r\n");
    const std::vector<TableSheet> empty = ReadTableSheets(blank);
    QCOMPARE(empty.size(), std::size_t {1});
    QCOMPARE(empty[0].name, std::string("空白"));
    QVERIFY(empty[0].rows.empty());
}

// Differential: random grids through the project's .xls writer (shared
// strings past one record's length carried on in CONTINUE records) read
// back as written, and FreeXL, an independent reader, sees the same texts.
void HostileFilesTest::xlsReadsWhatTheWriterWrote()
{
    std::mt19937 rng(20);
    for (int round = 0; round < 40; ++round) {
        const int rows = std::uniform_int_distribution<int>(1, 60)(rng);
        const int columns = std::uniform_int_distribution<int>(1, 12)(rng);
        TableRows grid(static_cast<std::size_t>(rows), std::vector<std::string>(static_cast<std::size_t>(columns)));
        for (auto& row : grid) {
            for (auto& cell : row)
                cell = RandomText(rng);
        }
        const std::filesystem::path path = temp("grid.xls");
        std::filesystem::remove(path);
        WriteGridXls(*DiskFileSystem(), path, rows, columns,
            [&](int c, int r) -> const std::string& { return grid[std::size_t(r)][std::size_t(c)]; });
        TableRows expected = grid;
        TrimTable(expected);
        if (expected.empty()) {
            QVERIFY_THROWS_EXCEPTION(TableReadError, ReadTableFile(path));
            continue;
        }
        const std::vector<TableSheet> sheets = ReadTableSheets(path);
        QCOMPARE(sheets.size(), std::size_t {1});
        QVERIFY2(sheets[0].rows == expected, qPrintable(QStringLiteral("round %1").arg(round)));

        const SheetReadBack freeXl = ReadWithFreeXl(QString::fromStdString(path.string()));
        QVERIFY2(freeXl.error.isEmpty(), qPrintable(freeXl.error));
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const bool inside = r < freeXl.rows && c < freeXl.columns;
                const std::string seen = inside ? freeXl.cells[std::size_t(r)][std::size_t(c)].value_or("") : "";
                QCOMPARE(seen, grid[std::size_t(r)][std::size_t(c)]);
            }
        }
    }
}

void HostileFilesTest::eightBitStringsInTheCodePage_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<std::string>("text");
    QTest::newRow("UTF-16 low bytes") << 1200 << std::string("caf\xE9") << std::string("café");
    QTest::newRow("GBK, as some programs write it") << 936 << std::string("\xCD\xF5\xC4\xD0") << std::string("王男");
}

// BIFF8 strings of 8-bit characters, shared (SST) and in a LABEL record.
void HostileFilesTest::eightBitStringsInTheCodePage()
{
    QFETCH(int, codePage);
    QFETCH(std::string, bytes);
    QFETCH(std::string, text);
    const auto string = [&](int size) { return LittleEndian(bytes.size(), size) + std::string(1, '\0') + bytes; };
    const std::string globals = BiffRecord(0x0042, LittleEndian(std::uint64_t(codePage), 2))
        + BiffRecord(0x00FC, LittleEndian(1, 4) + LittleEndian(1, 4) + string(2));
    const std::string cells = BiffRecord(0x00FD, LittleEndian(0, 6) + LittleEndian(0, 4))
        + BiffRecord(0x0204, LittleEndian(1, 2) + LittleEndian(0, 4) + string(2));
    const std::filesystem::path path = temp("codepage.xls");
    WriteBytes(path, CompoundFile(BiffWorkbook(globals, {"S"}, {cells})));
    QCOMPARE(ReadTableFile(path), (TableRows {{text}, {text}}));
}

QTEST_GUILESS_MAIN(HostileFilesTest)
#include "tst_hostilefiles.moc"
