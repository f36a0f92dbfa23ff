#include "io/XlsTable.h"

#include "io/CellText.h"
#include "io/CompoundFileReader.h"
#include "io/TableProblem.h"
#include "roster/Gb18030.h"
#include "xls/Biff8Records.h"

#include <QString>
#include <QTemporaryDir>
#include <bit>
#include <freexl.h>
#include <fstream>
#include <memory>
#include <optional>

namespace fenban {

namespace {

using Reason = TableReadError::Reason;

[[noreturn]] void ThrowEncrypted()
{
    throw TableProblem(Reason::Encrypted, "文件设有密码，请先在表格程序里去掉密码、另存后再打开");
}

std::uint16_t U16(std::string_view bytes, std::size_t at)
{
    if (at + 2 > bytes.size())
        ThrowCorrupt();
    return static_cast<std::uint16_t>(
        static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

unsigned char Byte(std::string_view bytes, std::size_t at)
{
    if (at >= bytes.size())
        ThrowCorrupt();
    return static_cast<unsigned char>(bytes[at]);
}

std::string_view Slice(std::string_view bytes, std::size_t at, std::size_t count)
{
    if (at > bytes.size())
        ThrowCorrupt();
    return bytes.substr(at, count);
}

std::uint32_t U32(std::string_view bytes, std::size_t at)
{
    return U16(bytes, at) | (std::uint32_t {U16(bytes, at + 2)} << 16);
}

struct Record {
    std::uint16_t id;
    std::string_view data;
};

// The records of a workbook stream from an offset, one at a time.
class Records {
public:
    Records(std::string_view stream, std::size_t at)
        : stream_(stream)
        , at_(at)
    {
    }
    std::optional<Record> next()
    {
        if (at_ + 4 > stream_.size())
            return std::nullopt;
        const std::uint16_t id = U16(stream_, at_);
        const std::uint16_t size = U16(stream_, at_ + 2);
        if (at_ + 4 + size > stream_.size())
            ThrowCorrupt();
        const Record record {id, stream_.substr(at_ + 4, size)};
        at_ += 4u + size;
        return record;
    }
    // The data of the CONTINUE record that follows, if one does.
    std::optional<std::string_view> continuation()
    {
        if (at_ + 4 > stream_.size() || U16(stream_, at_) != fenban::Record::Continue)
            return std::nullopt;
        return next()->data;
    }

private:
    std::string_view stream_;
    std::size_t at_;
};

std::string Latin1(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
}

// Text of a BIFF5 byte string in the workbook's code page: GBK files are
// GB18030 bytes, others are taken as Latin-1.
std::string CodePageText(std::string_view bytes, std::uint16_t codePage)
{
    return codePage == FREEXL_BIFF_CP936 ? Gb18030ToUtf8(bytes) : Latin1(bytes);
}

// A BIFF8 unicode string of cch characters from data[at], its characters
// carried on into CONTINUE records, each starting with its own flag byte.
std::string UnicodeText(std::string_view data, std::size_t at, std::size_t cch, Records& records)
{
    std::u16string text;
    unsigned char flags = Byte(data, at);
    std::size_t pos = at + 1;
    if (flags & 0x08)
        pos += 2; // rich-text run count
    if (flags & 0x04)
        pos += 4; // phonetic block size
    while (text.size() < cch) {
        const std::size_t width = (flags & 0x01) ? 2 : 1;
        while (text.size() < cch && pos + width <= data.size()) {
            text += width == 2 ? static_cast<char16_t>(U16(data, pos))
                               : static_cast<char16_t>(static_cast<unsigned char>(data[pos]));
            pos += width;
        }
        if (text.size() == cch)
            break;
        const auto more = records.continuation();
        if (!more || more->empty())
            ThrowCorrupt();
        data = *more;
        flags = Byte(data, 0);
        pos = 1;
    }
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}

std::string ErrorText(unsigned char code)
{
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    default:
        return "#N/A";
    }
}

struct SheetEntry {
    std::uint32_t offset;
    bool worksheet;
    std::string name;
};

struct Globals {
    bool biff8 = true;
    std::uint16_t codePage = FREEXL_BIFF_CP1252;
    std::vector<SheetEntry> sheets;
};

Globals ReadGlobals(std::string_view stream)
{
    Globals globals;
    Records records(stream, 0);
    const auto bof = records.next();
    if (!bof || bof->id != fenban::Record::Bof)
        throw TableProblem(Reason::NotATable, "不是Excel工作簿");
    globals.biff8 = U16(bof->data, 0) == 0x0600;
    while (const auto record = records.next()) {
        if (record->id == fenban::Record::Eof)
            break;
        if (record->id == fenban::Record::FilePass)
            ThrowEncrypted();
        if (record->id == fenban::Record::CodePage)
            globals.codePage = U16(record->data, 0);
        if (record->id == fenban::Record::BoundSheet) {
            const std::string_view data = record->data;
            SheetEntry sheet {U32(data, 0), data.size() > 5 && data[5] == 0, {}};
            const std::size_t cch = Byte(data, 6);
            if (globals.biff8)
                sheet.name = UnicodeText(data, 7, cch, records);
            else
                sheet.name = CodePageText(Slice(data, 7, cch), globals.codePage);
            globals.sheets.push_back(std::move(sheet));
        }
    }
    return globals;
}

struct ComputedCell {
    std::uint32_t row;
    std::uint16_t column;
    std::string text;
};

// The values of a sheet's formula and boolean cells, from the sheet's BOF.
std::vector<ComputedCell> ComputedCells(std::string_view stream, const Globals& globals, std::uint32_t offset)
{
    std::vector<ComputedCell> cells;
    Records records(stream, offset);
    std::optional<ComputedCell> awaitingString;
    int depth = 0; // charts embedded in a sheet have BOF..EOF of their own
    while (const auto record = records.next()) {
        const std::string_view data = record->data;
        if (record->id == fenban::Record::Bof) {
            ++depth;
        } else if (record->id == fenban::Record::Eof) {
            if (--depth <= 0)
                break;
        } else if (depth == 1 && record->id == fenban::Record::Formula) {
            ComputedCell cell {U16(data, 0), U16(data, 2), {}};
            if (U16(data, 12) != 0xFFFF) {
                const std::uint64_t bits = U32(data, 6) | (std::uint64_t {U32(data, 10)} << 32);
                cell.text = GeneralNumberText(std::bit_cast<double>(bits));
            } else {
                const auto kind = Byte(data, 6);
                const auto code = Byte(data, 8);
                if (kind == 0) {
                    awaitingString = cell;
                    continue;
                }
                cell.text = kind == 1 ? (code ? "TRUE" : "FALSE") : kind == 2 ? ErrorText(code) : "";
            }
            cells.push_back(std::move(cell));
        } else if (depth == 1 && record->id == fenban::Record::String && awaitingString) {
            const std::size_t cch = U16(data, 0);
            awaitingString->text = globals.biff8 ? UnicodeText(data, 2, cch, records)
                                                 : CodePageText(Slice(data, 2, cch), globals.codePage);
            cells.push_back(std::move(*awaitingString));
            awaitingString.reset();
        } else if (depth == 1 && record->id == fenban::Record::BoolErr) {
            const auto value = Byte(data, 6);
            const bool error = Byte(data, 7) != 0;
            cells.push_back({U16(data, 0), U16(data, 2), error ? ErrorText(value) : value ? "TRUE" : "FALSE"});
        }
    }
    return cells;
}

struct FreeXlHandle {
    const void* handle = nullptr;
    ~FreeXlHandle() { freexl_close(handle); }
};

std::string NumberText(const FreeXL_CellValue& value)
{
    switch (value.type) {
    case FREEXL_CELL_INT:
        return std::to_string(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return GeneralNumberText(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return value.value.text_value ? value.value.text_value : "";
    default:
        return {};
    }
}

void Put(TableRows& rows, std::uint32_t row, std::uint32_t column, std::string text)
{
    if (text.empty())
        return;
    CheckTablePosition(row, column);
    if (rows.size() <= row)
        rows.resize(row + 1);
    auto& cells = rows[row];
    if (cells.size() <= column)
        cells.resize(column + 1);
    cells[column] = std::move(text);
}

// FreeXL opens files by a narrow path, which on Windows is in the ANSI code
// page: a copy under a plain name stands in there.
class FreeXlPath {
public:
    FreeXlPath(const std::filesystem::path& file, std::string_view bytes)
    {
#ifdef _WIN32
        const std::filesystem::path copy = std::filesystem::path(folder_.path().toStdU16String()) / "book.xls";
        std::ofstream(copy, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        path_ = copy.string();
#else
        static_cast<void>(bytes);
        path_ = file.string();
#endif
    }
    FreeXlPath(const FreeXlPath&) = delete;
    FreeXlPath& operator=(const FreeXlPath&) = delete;
    const char* c_str() const
    {
        return path_.c_str();
    }

private:
#ifdef _WIN32
    QTemporaryDir folder_;
#endif
    std::string path_;
};

} // namespace

void RejectEncryptedPackage(std::string_view bytes)
{
    const CompoundFileReader file(bytes);
    if (file.hasEntry(u"EncryptedPackage") || file.hasEntry(u"EncryptionInfo"))
        ThrowEncrypted();
}

TableRows ReadXlsTable(const std::filesystem::path& file, std::string_view bytes)
{
    const CompoundFileReader compound(bytes);
    if (compound.hasEntry(u"EncryptedPackage") || compound.hasEntry(u"EncryptionInfo"))
        ThrowEncrypted();
    std::optional<std::string> stream = compound.stream(u"Workbook");
    if (!stream)
        stream = compound.stream(u"Book");
    if (!stream)
        throw TableProblem(Reason::NotATable, "不是Excel工作簿");
    const Globals globals = ReadGlobals(*stream);

    const FreeXlPath path(file, bytes);
    FreeXlHandle xls;
    const int opened = freexl_open(path.c_str(), &xls.handle);
    if (opened == FREEXL_INSUFFICIENT_MEMORY)
        throw TableProblem(Reason::TooLarge, "文件太大，内存不够");
    if (opened == FREEXL_BIFF_WORKBOOK_NOT_FOUND)
        throw TableProblem(Reason::NotATable, "不是Excel工作簿");
    if (opened != FREEXL_OK)
        ThrowCorrupt();
    unsigned int info = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        ThrowEncrypted();
    unsigned int sheetCount = 0;
    if (freexl_get_info(xls.handle, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK)
        ThrowCorrupt();

    std::vector<const SheetEntry*> worksheets;
    for (const SheetEntry& sheet : globals.sheets) {
        if (sheet.worksheet)
            worksheets.push_back(&sheet);
    }
    for (unsigned int s = 0; s < sheetCount && s < 0xFFFF; ++s) {
        const auto index = static_cast<unsigned short>(s);
        if (freexl_select_active_worksheet(xls.handle, index) != FREEXL_OK)
            ThrowCorrupt();
        unsigned int rowCount = 0;
        unsigned short columnCount = 0;
        if (freexl_worksheet_dimensions(xls.handle, &rowCount, &columnCount) != FREEXL_OK)
            ThrowCorrupt();
        TableRows rows;
        for (unsigned int r = 0; r < rowCount; ++r) {
            for (unsigned short c = 0; c < columnCount; ++c) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(xls.handle, r, c, &value) != FREEXL_OK)
                    ThrowCorrupt();
                Put(rows, r, c, NumberText(value));
            }
        }
        // The sheet's own records, found by its name, else by its place.
        const char* name = nullptr;
        freexl_get_worksheet_name(xls.handle, index, &name);
        const SheetEntry* entry = s < worksheets.size() ? worksheets[s] : nullptr;
        for (const SheetEntry* sheet : worksheets) {
            if (name != nullptr && sheet->name == name)
                entry = sheet;
        }
        if (entry != nullptr) {
            for (ComputedCell& cell : ComputedCells(*stream, globals, entry->offset))
                Put(rows, cell.row, cell.column, std::move(cell.text));
        }
        TrimTable(rows);
        if (!rows.empty())
            return rows;
    }
    throw TableProblem(Reason::Empty, "表格里没有数据");
}

} // namespace fenban
