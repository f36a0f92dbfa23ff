// The table readers: files saved by LibreOffice Calc against the same table
// as a copy gives it, random tables through libxlsxwriter and a reference
// .csv writer, the number text against the C library, and broken files.
#include "common/ByteSink.h"
#include "io/CellText.h"
#include "io/SheetBuilder.h"
#include "io/TableFile.h"
#include "io/TextTable.h"
#include "roster/PastedTable.h"
#include "xls/CompoundFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <fstream>
#include <random>
#include <xlsxwriter.h>
#include <zlib.h>

using namespace fenban;
using Reason = TableReadError::Reason;

namespace {

const std::filesystem::path DataFolder = FENBAN_TEST_DATA;

std::string FileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::filesystem::path& file, std::string_view bytes)
{
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The table as the paste cuts it: lines at line ends, fields at tabs.
TableRows PastedRows(std::string_view text)
{
    TableRows rows;
    for (const std::string_view line : SplitLines(text)) {
        rows.emplace_back();
        for (const std::string_view field : SplitFields(line))
            rows.back().emplace_back(field);
    }
    TrimTable(rows);
    return rows;
}

QString Quote(const std::string& text)
{
    return QString::fromStdString(text).replace(QStringLiteral("\n"), QStringLiteral("\\n"));
}

// Empty when equal, else where they first differ.
QString Difference(const TableRows& got, const TableRows& expected)
{
    for (std::size_t r = 0; r < std::max(got.size(), expected.size()); ++r) {
        if (r >= got.size() || r >= expected.size())
            return QStringLiteral("%1 rows, expected %2").arg(got.size()).arg(expected.size());
        for (std::size_t c = 0; c < std::max(got[r].size(), expected[r].size()); ++c) {
            const std::string a = c < got[r].size() ? got[r][c] : "<none>";
            const std::string b = c < expected[r].size() ? expected[r][c] : "<none>";
            if (a != b)
                return QStringLiteral("row %1 column %2: '%3', expected '%4'").arg(r).arg(c).arg(Quote(a), Quote(b));
        }
    }
    return {};
}

std::string Utf16LeWithBom(const std::string& utf8)
{
    const std::u16string text = QString::fromStdString(utf8).toStdU16String();
    std::string bytes = "\xFF\xFE";
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

class StringSink final : public ByteSink {
public:
    void write(std::span<const std::uint8_t> bytes) override { text.append(bytes.begin(), bytes.end()); }
    std::string text;
};

// The reference writer of delimited text: a field is quoted when it holds
// the separator, a quote or a line end, or starts with a space.
std::string ReferenceCsv(const TableRows& rows, char separator)
{
    std::string text;
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += separator;
            const std::string& cell = row[c];
            if (cell.find_first_of(std::string("\"\r\n") + separator) == std::string::npos) {
                text += cell;
                continue;
            }
            text += '"';
            for (const char ch : cell)
                text += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            text += '"';
        }
        text += "\r\n";
    }
    return text;
}

// A random cell text from pieces that matter to the readers.
std::string RandomText(std::mt19937& rng)
{
    static const char* const pieces[] = {"a", "Z", "7", " ", ",", "\"", "\t", "\n", "王", "𠮷", "é", "_x", "0"};
    std::string text;
    const int length = std::uniform_int_distribution<int>(0, 4)(rng);
    for (int k = 0; k < length; ++k)
        text += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(rng)];
    return text;
}

using Lines = std::vector<std::string>;

std::string LittleEndian(std::uint32_t value, int size)
{
    std::string bytes;
    for (int k = 0; k < size; ++k)
        bytes += static_cast<char>((value >> (8 * k)) & 0xFF);
    return bytes;
}

// A zip archive of one stored (unpacked) entry.
std::string StoredZip(const std::string& name, const std::string& content)
{
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
    const auto size = static_cast<std::uint32_t>(content.size());
    const auto nameSize = static_cast<std::uint32_t>(name.size());
    const std::string sizes = LittleEndian(crc, 4) + LittleEndian(size, 4) + LittleEndian(size, 4);
    const std::string local = "PK\x03\x04" + LittleEndian(20, 2) + LittleEndian(0, 2) + LittleEndian(0, 2)
        + LittleEndian(0, 4) + sizes + LittleEndian(nameSize, 2) + LittleEndian(0, 2) + name + content;
    const std::string central = "PK\x01\x02" + LittleEndian(20, 2) + LittleEndian(20, 2) + LittleEndian(0, 2)
        + LittleEndian(0, 2) + LittleEndian(0, 4) + sizes + LittleEndian(nameSize, 2) + LittleEndian(0, 2)
        + LittleEndian(0, 2) + LittleEndian(0, 2) + LittleEndian(0, 2) + LittleEndian(0, 4) + LittleEndian(0, 4) + name;
    const std::string end = "PK\x05\x06" + LittleEndian(0, 2) + LittleEndian(0, 2) + LittleEndian(1, 2)
        + LittleEndian(1, 2) + LittleEndian(static_cast<std::uint32_t>(central.size()), 4)
        + LittleEndian(static_cast<std::uint32_t>(local.size()), 4) + LittleEndian(0, 2);
    return local + central + end;
}

// Rows as lines of cells joined by |.
Lines Joined(const TableRows& rows)
{
    Lines lines;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c)
            line += (c > 0 ? "|" : "") + row[c];
        lines.push_back(line);
    }
    return lines;
}

// A BIFF8 record: id, length, data.
std::string Record(std::uint16_t id, const std::string& data)
{
    return LittleEndian(id, 2) + LittleEndian(static_cast<std::uint32_t>(data.size()), 2) + data;
}

std::string Number(double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return LittleEndian(static_cast<std::uint32_t>(bits), 4) + LittleEndian(static_cast<std::uint32_t>(bits >> 32), 4);
}

// A FORMULA record whose result is not a number: kind 0 text (a STRING
// record follows), 1 boolean, 2 error, 3 empty text.
std::string SpecialFormula(int row, int column, int kind, int value)
{
    const std::string result = std::string(1, static_cast<char>(kind)) + '\0' + std::string(1, static_cast<char>(value))
        + std::string(3, '\0') + "\xFF\xFF";
    return Record(0x0006,
        LittleEndian(row, 2) + LittleEndian(column, 2) + LittleEndian(0, 2) + result + LittleEndian(0, 2)
            + LittleEndian(0, 4) + LittleEndian(3, 2) + "\x1E\x01\x00");
}

// An .xls workbook of one sheet of hand-made records, as a spreadsheet
// writes formula results beside plain cells.
std::string HandMadeXls(bool encrypted)
{
    const std::string bof = Record(0x0809, LittleEndian(0x0600, 2) + LittleEndian(0x0005, 2) + std::string(12, '\0'));
    std::string globalsEnd = Record(0x0042, LittleEndian(1200, 2));
    if (encrypted)
        globalsEnd += Record(0x002F, LittleEndian(1, 2) + std::string(52, '\x11'));
    const std::string name("\x01\x00S", 3); // cch, flags, "S"
    const auto sheetAt = static_cast<std::uint32_t>(bof.size() + globalsEnd.size() + 4 + 6 + name.size() + 4);
    const std::string globals
        = bof + globalsEnd + Record(0x0085, LittleEndian(sheetAt, 4) + LittleEndian(0, 2) + name) + Record(0x000A, "");
    std::string sheet = Record(0x0809, LittleEndian(0x0600, 2) + LittleEndian(0x0010, 2) + std::string(12, '\0'));
    sheet += Record(
        0x0200, LittleEndian(0, 4) + LittleEndian(3, 4) + LittleEndian(0, 2) + LittleEndian(4, 2) + LittleEndian(0, 2));
    sheet += Record(0x0203, LittleEndian(0, 2) + LittleEndian(0, 2) + LittleEndian(0, 2) + Number(12.5));
    // A text result of 4 characters: two 8-bit ones, then UTF-16 ones in a CONTINUE record.
    sheet += SpecialFormula(0, 1, 0, 0);
    sheet += Record(0x0207, LittleEndian(4, 2) + std::string("\x00", 1) + "ab");
    sheet += Record(0x003C, std::string("\x01", 1) + "\x8B\x73\x37\x75"); // 王男
    sheet += SpecialFormula(0, 2, 1, 1);
    sheet += SpecialFormula(0, 3, 2, 0x2A);
    sheet += Record(0x0006,
        LittleEndian(1, 2) + LittleEndian(0, 2) + LittleEndian(0, 2) + Number(0.1 + 0.2) + LittleEndian(0, 2)
            + LittleEndian(0, 4) + LittleEndian(3, 2) + "\x1E\x01\x00");
    sheet += SpecialFormula(1, 1, 3, 0);
    sheet += Record(0x0205, LittleEndian(1, 2) + LittleEndian(2, 2) + LittleEndian(0, 2) + std::string("\x00\x00", 2));
    sheet += Record(0x0205, LittleEndian(2, 2) + LittleEndian(3, 2) + LittleEndian(0, 2) + std::string("\x07\x01", 2));
    sheet += Record(0x000A, "");
    StringSink sink;
    const std::string stream = globals + sheet;
    WriteCompoundFile(
        sink, u"Workbook", std::span(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size()));
    return sink.text;
}

} // namespace

class TableFiles : public QObject {
    Q_OBJECT

private slots:
    void sameTableInEveryFormat_data();
    void sameTableInEveryFormat();
    void pastedTextOfTheSampleTable();
    void xlsFormulaValues();
    void quotedCells_data();
    void quotedCells();
    void numberText_data();
    void numberText();
    void numberTextMatchesTheCLibrary();
    void splitDelimited_data();
    void splitDelimited();
    void splitDelimitedReadsWhatTheReferenceWrites();
    void splitIntoSheetKeepsTheTable();
    void decodeText_data();
    void decodeText();
    void trimTable_data();
    void trimTable();
    void randomWorkbooksReadBack();
    void brokenFiles_data();
    void brokenFiles();
    void damagedFilesFailCleanly_data();
    void damagedFilesFailCleanly();
    void overTheLimits_data();
    void overTheLimits();

private:
    QTemporaryDir folder_;
    std::filesystem::path temp(const char* name) const
    {
        return std::filesystem::path(folder_.path().toStdString()) / name;
    }
};

void TableFiles::sameTableInEveryFormat_data()
{
    QTest::addColumn<std::string>("file");
    QTest::newRow("xlsx") << std::string("roster-table.xlsx");
    QTest::newRow("xls") << std::string("roster-table.xls");
    QTest::newRow("csv utf-8") << std::string("roster-table-utf8.csv");
    QTest::newRow("csv gb18030, every text quoted") << std::string("roster-table-gb18030.csv");
    QTest::newRow("tab-separated text") << std::string("roster-table.txt");
    QTest::newRow("csv utf-8 with byte-order mark") << std::string("+bom");
    QTest::newRow("utf-16 text as a spreadsheet saves it") << std::string("+utf16");
}

void TableFiles::sameTableInEveryFormat()
{
    QFETCH(std::string, file);
    const std::string pasted = FileBytes(DataFolder / "roster-table.txt");
    std::filesystem::path path = DataFolder / file;
    if (file == "+bom") {
        path = temp("bom.csv");
        WriteBytes(path, "\xEF\xBB\xBF" + FileBytes(DataFolder / "roster-table-utf8.csv"));
    } else if (file == "+utf16") {
        path = temp("unicode.txt");
        WriteBytes(path, Utf16LeWithBom(pasted));
    }
    const TableRows rows = ReadTableFile(path);
    const QString difference = Difference(rows, PastedRows(pasted));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

// The text the readers are held to is the table the .fods source holds.
void TableFiles::pastedTextOfTheSampleTable()
{
    const TableRows rows = PastedRows(FileBytes(DataFolder / "roster-table.txt"));
    QCOMPARE(rows.size(), std::size_t {7});
    QCOMPARE(rows[1][0], std::string("王小明")); // rich text of three runs
    QCOMPARE(rows[1][3], std::string("730")); // a formula's value
    QCOMPARE(rows[1][14], std::string("TRUE"));
    QCOMPARE(rows[2][14], std::string("#DIV/0!"));
    QCOMPARE(rows[2][17], std::string("补考")); // a cell beyond the header
    QCOMPARE(rows[3].size(), std::size_t {0}); // an empty row
    QCOMPARE(rows[4].size(), std::size_t {1}); // a name alone
    QCOMPARE(rows[5][0], std::string(" 赵六 "));
    QCOMPARE(rows[5][5], std::string("0.3")); // =0.1+0.2
    QCOMPARE(rows[5][6], std::string("85.3333333333333"));
    QCOMPARE(rows[6][0], std::string("𠮷田"));
    QCOMPARE(rows[6][14], std::string("FALSE"));
}

// Formula results and booleans, from the FORMULA, STRING and BOOLERR records.
void TableFiles::xlsFormulaValues()
{
    const std::filesystem::path path = temp("formulas.xls");
    WriteBytes(path, HandMadeXls(false));
    const TableRows expected {
        {"12.5", "ab王男", "TRUE", "#N/A"},
        {"0.3", "", "FALSE"},
        {"", "", "", "#DIV/0!"},
    };
    const QString difference = Difference(ReadTableFile(path), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    WriteBytes(path, HandMadeXls(true));
    try {
        ReadTableFile(path);
        QFAIL("no failure");
    } catch (const TableReadError& error) {
        QCOMPARE(error.reason(), Reason::Encrypted);
    }
}

void TableFiles::quotedCells_data()
{
    QTest::addColumn<std::string>("file");
    QTest::newRow("xlsx") << std::string("quoted-cells.xlsx");
    QTest::newRow("csv utf-8") << std::string("quoted-cells-utf8.csv");
    QTest::newRow("csv gb18030") << std::string("quoted-cells-gb18030.csv");
}

void TableFiles::quotedCells()
{
    QFETCH(std::string, file);
    const TableRows expected {
        {"姓名", "性别", "备注", "总分"},
        {"欧阳,娜娜", "女", "外号“小\"\"燕子”", "612.5"},
        {"\"陈\"", "男", "第一行\n第二行", "598"},
        {"", "男", "  前后有空格  ", "0.25"},
    };
    const QString difference = Difference(ReadTableFile(DataFolder / file), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TableFiles::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<std::string>("text");
    QTest::newRow("whole") << 90.0 << std::string("90");
    QTest::newRow("half") << 785.5 << std::string("785.5");
    QTest::newRow("tenth") << 0.1 << std::string("0.1");
    QTest::newRow("0.1 + 0.2 as the spreadsheet shows it") << 0.1 + 0.2 << std::string("0.3");
    QTest::newRow("a third") << 256.0 / 3 << std::string("85.3333333333333");
    QTest::newRow("negative") << -0.5 << std::string("-0.5");
    QTest::newRow("minus zero") << -0.0 << std::string("0");
    QTest::newRow("zero") << 0.0 << std::string("0");
    QTest::newRow("student number") << 20240101001.0 << std::string("20240101001");
    QTest::newRow("15 digits") << 999999999999999.0 << std::string("999999999999999");
    QTest::newRow("rounded to 15 digits") << 123456789012345.6 << std::string("123456789012346");
    QTest::newRow("1E+15") << 1e15 << std::string("1E+15");
    QTest::newRow("large") << 2.5e25 << std::string("2.5E+25");
    QTest::newRow("0.0001 plain") << 0.0001 << std::string("0.0001");
    QTest::newRow("0.00001 scientific") << 0.00001 << std::string("1E-05");
    QTest::newRow("small") << 1.5e-10 << std::string("1.5E-10");
    QTest::newRow("smallest") << 5e-324 << std::string("4.94065645841247E-324");
    QTest::newRow("largest") << 1.7976931348623157e308 << std::string("1.79769313486232E+308");
}

void TableFiles::numberText()
{
    QFETCH(double, value);
    QFETCH(std::string, text);
    QCOMPARE(GeneralNumberText(value), text);
}

// Differential: the C library's %.15G over random doubles of every kind, and
// every value of at most 15 digits comes back exactly from its text.
void TableFiles::numberTextMatchesTheCLibrary()
{
    std::mt19937_64 rng(12);
    for (int k = 0; k < 20000; ++k) {
        double value = 0;
        if (k % 2 == 0) {
            const auto bits = rng();
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isfinite(value))
                continue;
        } else {
            // d digits times a power of ten: what a school's table holds.
            const int digits = static_cast<int>(rng() % 15) + 1;
            long long mantissa = static_cast<long long>(rng() % 1'000'000'000'000'000ULL);
            for (int d = digits; d < 15; ++d)
                mantissa /= 10;
            const int exponent = static_cast<int>(rng() % 12) - 8;
            value = std::stod(std::to_string(mantissa) + "e" + std::to_string(exponent)) * ((rng() & 1) ? 1 : -1);
            QCOMPARE(std::stod(GeneralNumberText(value)), value);
        }
        char reference[64];
        std::snprintf(reference, sizeof reference, "%.15G", value);
        QCOMPARE(QString::fromStdString(GeneralNumberText(value)),
            value == 0 ? QStringLiteral("0") : QString::fromLatin1(reference));
    }
}

void TableFiles::splitDelimited_data()
{
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("separator");
    QTest::addColumn<Lines>("rows"); // cells joined by |
    QTest::newRow("plain") << std::string("a,b\nc,d\n") << std::string(",") << Lines {"a|b", "c|d"};
    QTest::newRow("no line end at the end") << std::string("a,b\r\nc") << std::string(",") << Lines {"a|b", "c"};
    QTest::newRow("lone CR") << std::string("a\rb") << std::string(",") << Lines {"a", "b"};
    QTest::newRow("LF CR is two line ends") << std::string("a\n\rb") << std::string(",") << Lines {"a", "", "b"};
    QTest::newRow("empty line inside") << std::string("a\n\nb\n") << std::string(",") << Lines {"a", "", "b"};
    QTest::newRow("empty fields") << std::string(",a,,\n") << std::string(",") << Lines {"|a||"};
    QTest::newRow("quoted separator") << std::string("\"a,b\",c") << std::string(",") << Lines {"a,b|c"};
    QTest::newRow("doubled quote") << std::string("\"say \"\"hi\"\"\",x") << std::string(",") << Lines {"say \"hi\"|x"};
    QTest::newRow("line ends in quotes become LF")
        << std::string("\"1\r\n2\r3\n4\",x") << std::string(",") << Lines {"1\n2\n3\n4|x"};
    QTest::newRow("text after the closing quote") << std::string("\"ab\"cd,e") << std::string(",") << Lines {"abcd|e"};
    QTest::newRow("quote inside a plain field") << std::string("a\"b,c") << std::string(",") << Lines {"a\"b|c"};
    QTest::newRow("unclosed quote runs to the end") << std::string("\"a,b\nc") << std::string(",") << Lines {"a,b\nc"};
    QTest::newRow("empty quoted field") << std::string("\"\",x") << std::string(",") << Lines {"|x"};
    QTest::newRow("tab separator keeps commas") << std::string("a,b\tc\n") << std::string("\t") << Lines {"a,b|c"};
    QTest::newRow("empty text") << std::string("") << std::string(",") << Lines {};
}

void TableFiles::splitDelimited()
{
    QFETCH(std::string, text);
    QFETCH(std::string, separator);
    QFETCH(Lines, rows);
    QCOMPARE(Joined(SplitDelimited(text, separator[0])), rows);
}

// Property: random tables written by the reference writer read back cell for
// cell, for both separators.
void TableFiles::splitDelimitedReadsWhatTheReferenceWrites()
{
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        const char separator = round % 2 ? ',' : '\t';
        TableRows table(std::uniform_int_distribution<std::size_t>(1, 5)(rng));
        const std::size_t width = std::uniform_int_distribution<std::size_t>(1, 4)(rng);
        for (auto& row : table) {
            for (std::size_t c = 0; c < width; ++c)
                row.push_back(RandomText(rng));
        }
        const QString difference = Difference(SplitDelimited(ReferenceCsv(table, separator), separator), table);
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(difference)));
    }
}

// Differential: cutting text into a sheet, field by field, gives the table
// that cutting it whole and trimming gives, for random texts of separators,
// quotes, line ends and empty fields.
void TableFiles::splitIntoSheetKeepsTheTable()
{
    static const char* const pieces[] = {",", ",", "\t", "\"", "\r\n", "\n", "\r", "a", "王", " ", "\"\""};
    std::mt19937 rng(17);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = std::uniform_int_distribution<int>(0, 30)(rng);
        for (int k = 0; k < length; ++k)
            text += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(rng)];
        const char separator = round % 3 == 0 ? '\t' : ',';
        TableRows whole = SplitDelimited(text, separator);
        TrimTable(whole);
        CellBudget budget;
        SheetBuilder sheet(budget);
        SplitDelimited(text, separator, sheet);
        const QString difference = Difference(sheet.rows(), whole);
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(difference)));
    }
}

void TableFiles::decodeText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8") << QByteArray("\xE7\x8E\x8B,1") << QStringLiteral("王,1");
    QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBF\xE7\x8E\x8B") << QStringLiteral("王");
    QTest::newRow("gb18030") << QByteArray("\xCD\xF5,\xC4\xD0") << QStringLiteral("王,男");
    QTest::newRow("gb18030 four bytes") << QByteArray("\x95\x34\xB2\x35\xCC\xEF") << QStringLiteral("𠮷田");
    QTest::newRow("utf-16 le") << QByteArray("\xFF\xFE\x8B\x73\x2C\x00", 6) << QStringLiteral("王,");
    QTest::newRow("utf-16 be") << QByteArray("\xFE\xFF\x73\x8B", 4) << QStringLiteral("王");
    QTest::newRow("ascii") << QByteArray("a,b") << QStringLiteral("a,b");
    QTest::newRow("overlong utf-8 is no utf-8") << QByteArray("\xC0\xAF") << QStringLiteral("\uFFFD\uFFFD");
}

void TableFiles::decodeText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const std::string decoded
        = DecodeTableText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (std::string_view(QTest::currentDataTag()) == "overlong utf-8 is no utf-8")
        QVERIFY(decoded != std::string("\xC0\xAF")); // went through GB18030
    else
        QCOMPARE(QString::fromStdString(decoded), text);
}

void TableFiles::trimTable_data()
{
    QTest::addColumn<Lines>("rows");
    QTest::addColumn<Lines>("trimmed");
    QTest::newRow("trailing empty cells") << Lines {"a|b||", "c|"} << Lines {"a|b", "c"};
    QTest::newRow("empty rows above and below") << Lines {"", "||", "a", "", "b", "|", ""} << Lines {"a", "", "b"};
    QTest::newRow("empty columns at the left") << Lines {"||a|b", "|||c", "", "||d"} << Lines {"a|b", "|c", "", "d"};
    QTest::newRow("spaces are text") << Lines {" |", "| "} << Lines {" ", "| "};
    QTest::newRow("nothing") << Lines {"|", ""} << Lines {};
}

void TableFiles::trimTable()
{
    QFETCH(Lines, rows);
    QFETCH(Lines, trimmed);
    TableRows table;
    for (const std::string& row : rows) {
        table.emplace_back();
        for (std::size_t start = 0; !row.empty() && start <= row.size();) {
            const std::size_t bar = std::min(row.find('|', start), row.size());
            table.back().push_back(row.substr(start, bar - start));
            start = bar + 1;
        }
    }
    TrimTable(table);
    QCOMPARE(Joined(table), trimmed);
}

// Differential: random sparse sheets of text, numbers, booleans and formula
// results written by libxlsxwriter (behind empty sheets) read back as the
// cells were written.
void TableFiles::randomWorkbooksReadBack()
{
    std::mt19937 rng(3);
    for (int round = 0; round < 60; ++round) {
        const std::filesystem::path path = temp("random.xlsx");
        lxw_workbook* const workbook = workbook_new(path.c_str());
        const int emptySheets = round % 3;
        for (int s = 0; s < emptySheets; ++s)
            workbook_add_worksheet(workbook, nullptr);
        lxw_worksheet* const sheet = workbook_add_worksheet(workbook, nullptr);
        TableRows expected;
        const int rows = std::uniform_int_distribution<int>(1, 12)(rng);
        const int columns = std::uniform_int_distribution<int>(1, 8)(rng);
        const int top = round % 4; // the table does not always start at A1
        const int left = round % 5;
        for (int r = 0; r < rows; ++r) {
            expected.emplace_back();
            for (int c = 0; c < columns; ++c) {
                const auto row = static_cast<lxw_row_t>(top + r);
                const auto col = static_cast<lxw_col_t>(left + c);
                std::string text;
                switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
                case 0:
                    break; // empty
                case 1: {
                    text = RandomText(rng);
                    if (text.find('\t') != std::string::npos)
                        text.clear(); // the writer refuses nothing, but keep cells simple
                    worksheet_write_string(sheet, row, col, text.c_str(), nullptr);
                    break;
                }
                case 2: {
                    const double value = std::uniform_int_distribution<int>(-2000, 20000)(rng) / 4.0;
                    worksheet_write_number(sheet, row, col, value, nullptr);
                    text = GeneralNumberText(value);
                    break;
                }
                case 3: {
                    const bool value = rng() % 2;
                    worksheet_write_boolean(sheet, row, col, value, nullptr);
                    text = value ? "TRUE" : "FALSE";
                    break;
                }
                case 4: {
                    const double value = std::uniform_int_distribution<int>(0, 1000)(rng) / 10.0;
                    worksheet_write_formula_num(sheet, row, col, "=1+1", nullptr, value);
                    text = GeneralNumberText(value);
                    break;
                }
                default: {
                    text = std::to_string(rng() % 100);
                    worksheet_write_formula_str(sheet, row, col, "=\"x\"", nullptr, text.c_str());
                    break;
                }
                }
                expected.back().push_back(text);
            }
        }
        QCOMPARE(workbook_close(workbook), LXW_NO_ERROR);
        TrimTable(expected);
        if (expected.empty()) {
            QVERIFY_THROWS_EXCEPTION(TableReadError, ReadTableFile(path));
            continue;
        }
        const QString difference = Difference(ReadTableFile(path), expected);
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(difference)));
    }
}

void TableFiles::brokenFiles_data()
{
    QTest::addColumn<std::string>("name");
    QTest::addColumn<int>("reason");
    QTest::addColumn<std::string>("says");
    QTest::newRow("missing") << std::string("missing.xlsx") << int(Reason::Missing) << std::string("文件不存在");
    QTest::newRow("empty") << std::string("empty.xlsx") << int(Reason::Empty) << std::string("文件是空的");
    QTest::newRow("random bytes as .xlsx")
        << std::string("random.xlsx") << int(Reason::NotATable) << std::string("不是Excel工作簿");
    QTest::newRow("random bytes as .csv")
        << std::string("random.csv") << int(Reason::NotATable) << std::string("不是文本表格");
    QTest::newRow("random bytes as .doc")
        << std::string("random.doc") << int(Reason::NotATable) << std::string("不是表格文件");
    QTest::newRow("truncated .xlsx") << std::string("truncated.xlsx") << int(Reason::Corrupt) << std::string("损坏");
    QTest::newRow("damaged .xlsx") << std::string("damaged.xlsx") << int(Reason::Corrupt) << std::string("损坏");
    QTest::newRow("zip without a workbook")
        << std::string("notes.xlsx") << int(Reason::NotATable) << std::string("不是Excel工作簿");
    QTest::newRow("encrypted .xlsx") << std::string("encrypted.xlsx") << int(Reason::Encrypted) << std::string("密码");
    QTest::newRow("OLE2 without a workbook")
        << std::string("document.xls") << int(Reason::NotATable) << std::string("不是Excel工作簿");
    QTest::newRow("truncated .xls") << std::string("truncated.xls") << int(Reason::Corrupt) << std::string("损坏");
    QTest::newRow("empty sheets") << std::string("blank.xlsx") << int(Reason::Empty) << std::string("没有数据");
    QTest::newRow("only separators") << std::string("blank.csv") << int(Reason::Empty) << std::string("没有数据");
    QTest::newRow("a folder") << std::string("folder.csv") << int(Reason::NotATable) << std::string("文件夹");
}

void TableFiles::brokenFiles()
{
    QFETCH(std::string, name);
    QFETCH(int, reason);
    QFETCH(std::string, says);
    const std::filesystem::path path = temp(name.c_str());
    std::mt19937 rng(5);
    std::string noise(3000, '\0');
    for (char& c : noise)
        c = static_cast<char>(rng());
    const std::string workbook = FileBytes(DataFolder / "roster-table.xlsx");
    if (name == std::string("empty.xlsx")) {
        WriteBytes(path, "");
    } else if (name.starts_with("random")) {
        WriteBytes(path, noise);
    } else if (name == std::string("truncated.xlsx")) {
        WriteBytes(path, workbook.substr(0, workbook.size() / 2));
    } else if (name == std::string("damaged.xlsx")) {
        std::string bytes = workbook;
        for (std::size_t k = 200; k < bytes.size() - 800; k += 97)
            bytes[k] = static_cast<char>(bytes[k] ^ 0x5A); // inside the packed parts, not the directory
        WriteBytes(path, bytes);
    } else if (name == std::string("notes.xlsx")) {
        WriteBytes(path, StoredZip("notes.txt", "not a workbook"));
    } else if (name == std::string("encrypted.xlsx") || name == std::string("document.xls")) {
        StringSink sink;
        const std::string content(5000, 'x');
        WriteCompoundFile(sink, name == std::string("encrypted.xlsx") ? u"EncryptedPackage" : u"WordDocument",
            std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
        WriteBytes(path, sink.text);
    } else if (name == std::string("truncated.xls")) {
        WriteBytes(path, FileBytes(DataFolder / "roster-table.xls").substr(0, 2000));
    } else if (name == std::string("blank.xlsx")) {
        lxw_workbook* const book = workbook_new(path.c_str());
        worksheet_write_string(workbook_add_worksheet(book, nullptr), 3, 3, "", nullptr);
        workbook_add_worksheet(book, nullptr);
        QCOMPARE(workbook_close(book), LXW_NO_ERROR);
    } else if (name == std::string("blank.csv")) {
        WriteBytes(path, ",,,\r\n\r\n,\"\",\r\n");
    } else if (name == std::string("folder.csv")) {
        std::filesystem::create_directory(path);
    }
    try {
        ReadTableFile(path);
        QFAIL("no failure");
    } catch (const TableReadError& error) {
        const QString message = QString::fromUtf8(error.what());
        QCOMPARE(int(error.reason()), reason);
        QVERIFY2(message.startsWith(QStringLiteral("不能打开文件“%1”：").arg(QString::fromStdString(path.string()))),
            qPrintable(message));
        QVERIFY2(message.contains(QString::fromStdString(says)), qPrintable(message));
        QVERIFY(message.endsWith(QStringLiteral("。")));
    }
}

void TableFiles::damagedFilesFailCleanly_data()
{
    QTest::addColumn<std::string>("file");
    QTest::newRow("xlsx") << std::string("roster-table.xlsx");
    QTest::newRow("xls") << std::string("roster-table.xls");
    QTest::newRow("csv") << std::string("roster-table-gb18030.csv");
    QTest::newRow("hand-made xls") << std::string("+formulas");
}

// Property: a file with a few bytes changed or cut short reads as a table or
// fails with TableReadError, never with anything else.
void TableFiles::damagedFilesFailCleanly()
{
    QFETCH(std::string, file);
    const std::string original = file == "+formulas" ? HandMadeXls(false) : FileBytes(DataFolder / file);
    const std::filesystem::path path = temp(("damaged-" + file + (file[0] == '+' ? ".xls" : "")).c_str());
    std::mt19937 rng(11);
    int failures = 0;
    for (int round = 0; round < 250; ++round) {
        std::string bytes = original;
        if (round % 4 == 0) {
            bytes.resize(std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(rng));
        } else {
            for (int k = 0; k < 1 + round % 5; ++k)
                bytes[std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(rng)] = static_cast<char>(rng());
        }
        WriteBytes(path, bytes);
        try {
            ReadTableFile(path);
        } catch (const TableReadError&) {
            ++failures;
        } catch (const std::exception& e) {
            QFAIL(qPrintable(QStringLiteral("round %1: %2").arg(round).arg(QString::fromUtf8(e.what()))));
        }
    }
    QVERIFY(failures > 0);
}

void TableFiles::overTheLimits_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("fits");
    QTest::newRow("the largest table") << MaxTableRows << 3 << true;
    QTest::newRow("a row too many") << MaxTableRows + 1 << 3 << false;
    QTest::newRow("the widest table") << 2 << MaxTableColumns << true;
    QTest::newRow("a column too many") << 2 << MaxTableColumns + 1 << false;
}

void TableFiles::overTheLimits()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(bool, fits);
    std::string text;
    for (int r = 0; r < rows; ++r) {
        text += "x";
        text.append(static_cast<std::size_t>(columns - 1), ',');
        if (r == rows - 1)
            text += "y";
        text += "\n";
    }
    const std::filesystem::path path = temp("large.csv");
    WriteBytes(path, text);
    if (fits) {
        const TableRows table = ReadTableFile(path);
        QCOMPARE(table.size(), std::size_t(rows));
        QCOMPARE(table.back().size(), std::size_t(columns));
        return;
    }
    try {
        ReadTableFile(path);
        QFAIL("no failure");
    } catch (const TableReadError& error) {
        QCOMPARE(error.reason(), Reason::TooLarge);
        QVERIFY(QString::fromUtf8(error.what()).contains(QStringLiteral("表格超过")));
    }
}

QTEST_GUILESS_MAIN(TableFiles)
#include "tst_tablefiles.moc"
