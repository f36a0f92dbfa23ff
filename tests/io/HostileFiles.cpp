#include "HostileFiles.h"

#include "TableMakers.h"

#include <fstream>
#include <functional>
#include <stdexcept>

namespace fenban::testkit {

namespace {

using Reason = TableReadError::Reason;

std::string U16(std::uint64_t value)
{
    return LittleEndian(value, 2);
}

std::string U32(std::uint64_t value)
{
    return LittleEndian(value, 4);
}

// An SST record of 8-bit strings, and a LABELSST cell of string k.
std::string SharedStrings(const std::vector<std::string>& strings)
{
    std::string data = U32(strings.size()) + U32(strings.size());
    for (const std::string& text : strings)
        data += U16(text.size()) + std::string(1, '\0') + text;
    return BiffRecord(0x00FC, data);
}

std::string LabelSst(int row, int column, std::uint32_t k)
{
    return BiffRecord(0x00FD, U16(row) + U16(column) + U16(0) + U32(k));
}

std::string Dimensions(std::uint32_t rows, std::uint16_t columns)
{
    return BiffRecord(0x0200, U32(0) + U32(rows) + U16(0) + U16(columns) + U16(0));
}

std::string Xls(
    const std::string& globals, const std::vector<std::string>& names, const std::vector<std::string>& sheets)
{
    return CompoundFile(BiffWorkbook(globals, names, sheets));
}

// A compound file's 512-byte sector k (0 is the one after the header).
std::size_t SectorAt(std::uint32_t k)
{
    return (std::size_t {k} + 1) * 512;
}

std::uint32_t ReadU32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int k = 3; k >= 0; --k)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
    return value;
}

void Patch(std::string& bytes, std::size_t at, const std::string& with)
{
    bytes.replace(at, with.size(), with);
}

// A workbook whose stream is long enough for regular sectors, its chain
// bent back from its second sector to its first.
std::string LoopingFat()
{
    std::string padding;
    for (int k = 0; k < 300; ++k)
        padding += BiffRecord(0x0200 + 0x7000, std::string(40, 'x')); // records nobody reads
    std::string bytes = Xls(SharedStrings({"a"}), {"S"}, {LabelSst(0, 0, 0) + padding});
    const std::uint32_t directory = ReadU32(bytes, 0x30);
    const std::uint32_t start = ReadU32(bytes, SectorAt(directory) + 128 + 0x74); // the stream's entry
    const std::size_t fat = SectorAt(ReadU32(bytes, 0x4C));
    Patch(bytes, fat + 4 * ReadU32(bytes, fat + 4 * start), U32(start));
    return bytes;
}

// 1,000 sheets, none with an EOF record, before 4 MB of records: read to
// the stream's end from each sheet's start, 4 GB of records.
std::string SheetsWithoutEof()
{
    const int count = MaxWorkbookSheets;
    const std::string bof = BiffRecord(0x0809, U16(0x0600) + U16(0x10) + std::string(12, '\0'));
    const std::string sheet = BiffRecord(0x0809, U16(0x0600) + U16(5) + std::string(12, '\0'));
    const std::size_t globals = sheet.size() + std::size_t(count) * (4 + 10) + 4;
    std::string stream = sheet;
    for (int k = 0; k < count; ++k)
        stream += BiffRecord(0x0085,
            U32(globals + std::size_t(k) * bof.size()) + U16(0) + std::string("\x02\x00S", 3) + char('a' + k % 26));
    stream += BiffRecord(0x000A, "");
    for (int k = 0; k < count; ++k)
        stream += bof;
    const std::string blank = BiffRecord(0x0201, U16(0) + U16(0) + U16(0));
    while (stream.size() < (4u << 20))
        stream += blank;
    return CompoundFile(stream);
}

std::string SheetXml(const std::string& rows)
{
    return R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)" + rows
        + "</sheetData></worksheet>";
}

std::string InlineCell(const std::string& reference, const std::string& text)
{
    return "<c r=\"" + reference + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
}

// One cell in column 1000 (ALL) on each of 100,000 rows, and maybe A1.
std::string FarColumn(bool withA1)
{
    std::string rows;
    for (int r = 1; r <= MaxTableRows; ++r) {
        const std::string n = std::to_string(r);
        rows += "<row r=\"" + n + "\">" + (withA1 && r == 1 ? InlineCell("A1", "x") : "") + "<c r=\"ALL" + n
            + "\"><v>1</v></c></row>";
    }
    return Xlsx({SheetXml(rows)}, "<sst/>", true);
}

// Sheets listed in workbook.xml: `listing` sheets over `count` parts.
std::string ListedSheets(std::size_t count, std::size_t listings, bool deflate)
{
    std::vector<std::size_t> listing;
    for (std::size_t j = 0; j < listings; ++j)
        listing.push_back(j % count);
    std::vector<ZipPart> parts {
        {"xl/workbook.xml", WorkbookXml(listing)}, {"xl/_rels/workbook.xml.rels", WorkbookRelationshipsXml(count)}};
    for (std::size_t k = 0; k < count; ++k)
        parts.push_back({"xl/worksheets/sheet" + std::to_string(k + 1) + ".xml",
            SheetXml(k == 0 ? "<row r=\"1\">" + InlineCell("A1", "x") + "</row>" : "")});
    return Zip(parts, deflate);
}

// A sheet of 1 GiB of spaces, packed to a megabyte; declared as it is, or
// as a thousand bytes.
std::string Spaces(bool truthful)
{
    const std::string before = SheetXml("").substr(0, SheetXml("").find("</sheetData>"));
    const std::string after = "</sheetData></worksheet>";
    const std::string chunk(1 << 20, ' ');
    const std::uint64_t count = 1024;
    const std::string packed = DeflatedRepeats(before, chunk, count, after);
    const std::uint64_t size = before.size() + chunk.size() * count + after.size();
    return ZipOf({PackedPart({"xl/workbook.xml", WorkbookXml({0})}, false),
        PackedPart({"xl/_rels/workbook.xml.rels", WorkbookRelationshipsXml(1)}, false),
        {"xl/worksheets/sheet1.xml", packed, true, Crc32OfRepeats(before, chunk, count, after),
            truthful ? static_cast<std::uint32_t>(size) : 1000}});
}

} // namespace

namespace {

// The files, each made only when `only` is empty or its name.
std::vector<HostileFile> Make(const std::string& only)
{
    std::vector<HostileFile> files;
    using Maker = std::function<std::string()>;
    const auto refused = [&](std::string name, const Maker& make, Reason reason, std::string says) {
        if (only.empty() || only == name)
            files.push_back({std::move(name), make(), reason, std::move(says), {}, 0});
    };
    const auto reads = [&](std::string name, const Maker& make, TableRows rows, std::size_t sheets = 1) {
        if (only.empty() || only == name)
            files.push_back({std::move(name), make(), std::nullopt, {}, std::move(rows), sheets});
    };

    // A Workbook stream of 24 bytes: a BOF and an empty FORMAT record.
    refused(
        "format-only.xls",
        [&] {
            return CompoundFile(
                BiffRecord(0x0809, U16(0x0600) + U16(5) + std::string(12, '\0')) + BiffRecord(0x041E, ""));
        },
        Reason::NotATable, "不是Excel工作簿");
    // Two DIMENSIONS records in one sheet, the second huge.
    reads("two-dimensions.xls",
        [&] {
            return Xls(
                SharedStrings({"jia"}), {"S"}, {Dimensions(1, 1) + LabelSst(0, 0, 0) + Dimensions(0xFFFFFFFF, 0xFFFF)});
        },
        {{"jia"}});
    // A shared string whose rich-text runs and phonetic block run past the record.
    refused(
        "sst-skip.xls",
        [&] {
            return Xls(BiffRecord(0x00FC,
                           U32(1) + U32(1) + U16(1) + std::string(1, '\x0C') + U16(0xFFFF) + U32(0xFFFFFFF0) + "a"),
                {"S"}, {LabelSst(0, 0, 0)});
        },
        Reason::Corrupt, "损坏");
    // A shared string of 65,535 UTF-16 characters whose record holds five,
    // then a CONTINUE record of a few more.
    refused(
        "continued-string.xls",
        [&] {
            return Xls(BiffRecord(0x00FC, U32(1) + U32(1) + U16(0xFFFF) + std::string(1, '\x01') + std::string(10, 'a'))
                    + BiffRecord(0x003C, std::string(1, '\x01') + std::string(100, 'b')),
                {"S"}, {LabelSst(0, 0, 0)});
        },
        Reason::Corrupt, "损坏");
    // The root entry's name 0xFA16 bytes long.
    refused(
        "long-root-name.xls",
        [&] {
            std::string bytes = Xls(SharedStrings({"a"}), {"S"}, {LabelSst(0, 0, 0)});
            Patch(bytes, SectorAt(ReadU32(bytes, 0x30)) + 0x40, U16(0xFA16));
            return bytes;
        },
        Reason::Corrupt, "损坏");
    refused(
        "fat-loop.xls", [&] { return LoopingFat(); }, Reason::Corrupt, "损坏");
    // 65,535 empty sheets.
    refused(
        "65535-sheets.xls",
        [&] {
            std::vector<std::string> names;
            for (int k = 0; k < 65535; ++k)
                names.push_back("S" + std::to_string(k));
            return Xls("", names, std::vector<std::string>(names.size()));
        },
        Reason::TooLarge, "个工作表");
    // One sheet listed 100,000 times.
    reads("listed-100000-times.xls",
        [&] { return Xls(SharedStrings({"a"}), std::vector<std::string>(100'000, "S"), {LabelSst(0, 0, 0)}); },
        {{"a"}});

    refused(
        "sheets-without-eof.xls", [&] { return SheetsWithoutEof(); }, Reason::Empty, "没有数据");

    // Row numbers that overflow a 64-bit integer when counted on.
    for (const char* row : {"9223372036854775807", "-9223372036854775808"}) {
        refused(
            std::string("row-") + (row[0] == '-' ? "min" : "max") + ".xlsx",
            [&] {
                return Xlsx(
                    {SheetXml(std::string("<row r=\"") + row + "\"><c><v>1</v></c></row><row><c><v>2</v></c></row>")},
                    "<sst/>", true);
            },
            Reason::Corrupt, "损坏");
    }
    refused(
        "spaces-1gib.xlsx", [&] { return Spaces(true); }, Reason::TooLarge, "文件内容太大");
    refused(
        "spaces-declared-small.xlsx", [&] { return Spaces(false); }, Reason::Corrupt, "损坏");
    // 1.3 KB declaring a 1 GiB entry.
    refused(
        "declared-1gib.xlsx",
        [&] {
            return ZipOf({{"xl/workbook.xml", std::string(1200, '\x01'), true, 0, 1u << 30}});
        },
        Reason::TooLarge, "文件内容太大");
    reads(
        "far-column.xlsx", [&] { return FarColumn(false); }, TableRows(MaxTableRows, std::vector<std::string> {"1"}));
    refused(
        "far-column-and-a1.xlsx", [&] { return FarColumn(true); }, Reason::TooLarge, "万个单元格");
    reads("listed-100000-times.xlsx", [&] { return ListedSheets(1, 100'000, true); }, {{"x"}});
    // 65,533 empty sheets (a zip holds at most 65,535 parts).
    refused(
        "65533-sheets.xlsx", [&] { return ListedSheets(65533, 65533, false); }, Reason::TooLarge, "个工作表");

    // 20 MB of commas: no cell at all.
    refused(
        "commas.csv", [&] { return std::string(20 << 20, ','); }, Reason::Empty, "没有数据");
    return files;
}

} // namespace

std::vector<HostileFile> HostileFiles()
{
    return Make({});
}

HostileFile HostileFileNamed(const std::string& name)
{
    std::vector<HostileFile> files = Make(name);
    if (files.size() != 1)
        throw std::invalid_argument("no hostile file " + name);
    return std::move(files.front());
}

void MakeOversizedFile(const std::filesystem::path& file)
{
    std::ofstream(file, std::ios::binary) << "a,b\n";
    std::filesystem::resize_file(file, MaxTableFileSize + 1);
}

} // namespace fenban::testkit
