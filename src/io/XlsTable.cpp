#include "io/XlsTable.h"

#include "io/CellText.h"
#include "io/CompoundFileReader.h"
#include "io/SheetBuilder.h"
#include "io/StringPool.h"
#include "io/TableProblem.h"
#include "roster/Gb18030.h"
#include "xls/Biff8Records.h"

#include <QString>
#include <algorithm>
#include <bit>
#include <optional>
#include <set>

namespace fenban {

namespace {

using Reason = TableReadError::Reason;

constexpr std::uint16_t Biff8Version = 0x0600;
constexpr std::uint16_t Gbk = 936; // CODEPAGE of a Chinese BIFF5 file

[[noreturn]] void ThrowEncrypted()
{
    throw TableProblem(Reason::Encrypted, "文件设有密码，请先在表格程序里去掉密码、另存后再打开");
}

[[noreturn]] void ThrowNotAWorkbook()
{
    throw TableProblem(Reason::NotATable, "不是Excel工作簿");
}

// Text of 8-bit characters in the workbook's code page: GBK files are
// GB18030 bytes, others are taken as Latin-1.
std::string CodePageText(std::string_view bytes, std::uint16_t codePage)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(bytes);
    if (codePage == Gbk)
        return Gb18030ToUtf8(bytes);
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
}

// Reads little-endian values from record data, checking every position.
class Cursor {
public:
    // breaks: where the data of each CONTINUE record begins (ascending).
    explicit Cursor(std::string_view data, std::vector<std::size_t> breaks = {}, std::size_t at = 0)
        : data_(data)
        , breaks_(std::move(breaks))
        , at_(at)
    {
    }
    bool atEnd() const { return at_ >= data_.size(); }
    std::size_t at() const { return at_; }
    unsigned char u8()
    {
        need(1);
        return static_cast<unsigned char>(data_[at_++]);
    }
    std::uint16_t u16()
    {
        const unsigned low = u8();
        return static_cast<std::uint16_t>(low | (unsigned {u8()} << 8));
    }
    std::uint32_t u32()
    {
        const std::uint32_t low = u16();
        return low | (std::uint32_t {u16()} << 16);
    }
    double f64()
    {
        const std::uint64_t low = u32();
        return std::bit_cast<double>(low | (std::uint64_t {u32()} << 32));
    }
    std::string_view bytes(std::size_t count)
    {
        need(count);
        const std::string_view out = data_.substr(at_, count);
        at_ += count;
        return out;
    }
    void skip(std::size_t count) { bytes(count); }

    // A BIFF8 string of count characters from its flags byte on: UTF-16
    // characters or 8-bit ones (the low bytes of UTF-16; GBK bytes in a file
    // whose CODEPAGE is GBK, as some programs write them), a new flags byte
    // where the characters go on in a CONTINUE record; rich-text runs and
    // phonetic data skipped.
    std::string unicode(std::size_t count, std::uint16_t codePage)
    {
        unsigned char flags = u8();
        const std::size_t runs = (flags & 0x08) ? u16() : 0;
        const std::size_t phonetic = (flags & 0x04) ? u32() : 0;
        std::string text;
        std::u16string wide;
        std::string narrow;
        const auto endWide = [&] {
            text += QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size())).toStdString();
            wide.clear();
        };
        const auto endNarrow = [&] {
            text += CodePageText(narrow, codePage);
            narrow.clear();
        };
        for (std::size_t k = 0; k < count; ++k) {
            if (atBreak())
                flags = u8();
            if (flags & 0x01) {
                if (!narrow.empty())
                    endNarrow();
                wide += static_cast<char16_t>(u16());
            } else {
                if (!wide.empty())
                    endWide();
                narrow += static_cast<char>(u8());
            }
        }
        endNarrow();
        endWide();
        skip(4 * runs);
        skip(phonetic);
        return text;
    }

private:
    void need(std::size_t count) const
    {
        if (count > data_.size() - std::min(at_, data_.size()))
            ThrowCorrupt();
    }
    bool atBreak()
    {
        while (next_ < breaks_.size() && breaks_[next_] < at_)
            ++next_;
        return next_ < breaks_.size() && breaks_[next_] == at_;
    }

    std::string_view data_;
    std::vector<std::size_t> breaks_;
    std::size_t at_;
    std::size_t next_ = 0;
};

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
        Cursor header(stream_.substr(at_, 4));
        const std::uint16_t id = header.u16();
        const std::uint16_t size = header.u16();
        if (at_ + 4 + size > stream_.size())
            ThrowCorrupt();
        const Record record {id, stream_.substr(at_ + 4, size)};
        at_ += 4u + size;
        return record;
    }
    // The record with the data of the CONTINUE records after it joined on,
    // valid until the next call.
    Cursor withContinues(const Record& record)
    {
        joined_.assign(record.data);
        std::vector<std::size_t> breaks;
        while (at_ + 4 <= stream_.size() && Cursor(stream_.substr(at_, 2)).u16() == fenban::Record::Continue) {
            breaks.push_back(joined_.size());
            joined_ += next()->data;
        }
        return Cursor(joined_, std::move(breaks));
    }

private:
    std::string_view stream_;
    std::size_t at_;
    std::string joined_;
};

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

// An RK number: 30 bits of an integer or of a double's top, maybe / 100.
std::string RkText(std::uint32_t rk)
{
    double value = 0;
    if (rk & 0x02)
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    else
        value = std::bit_cast<double>(std::uint64_t {rk & 0xFFFFFFFCu} << 32);
    if (rk & 0x01)
        value /= 100;
    return GeneralNumberText(value);
}

struct SheetEntry {
    std::uint32_t offset;
    std::string name;
};

struct Globals {
    bool biff8 = true;
    std::uint16_t codePage = 1200;
    std::vector<SheetEntry> sheets; // worksheets, in the workbook's order
    StringPool strings;
};

// A string of the record's own width: BIFF8 characters, or BIFF5 bytes.
std::string RecordText(Cursor& data, std::size_t count, const Globals& globals)
{
    return globals.biff8 ? data.unicode(count, globals.codePage) : CodePageText(data.bytes(count), globals.codePage);
}

void ReadSharedStrings(Cursor data, std::uint16_t codePage, StringPool& strings)
{
    data.skip(4); // the count of uses
    const std::uint32_t count = data.u32();
    for (std::uint32_t k = 0; k < count && !data.atEnd(); ++k) {
        const std::size_t length = data.u16();
        strings.add(data.unicode(length, codePage));
    }
}

Globals ReadGlobals(std::string_view stream)
{
    Globals globals;
    Records records(stream, 0);
    const auto bof = records.next();
    if (!bof || bof->id != fenban::Record::Bof)
        ThrowNotAWorkbook();
    globals.biff8 = Cursor(bof->data).u16() == Biff8Version;
    std::set<std::uint32_t> offsets; // a sheet listed twice is read once
    while (const auto record = records.next()) {
        Cursor data(record->data);
        if (record->id == fenban::Record::Eof)
            break;
        if (record->id == fenban::Record::FilePass)
            ThrowEncrypted();
        if (record->id == fenban::Record::CodePage)
            globals.codePage = data.u16();
        if (record->id == fenban::Record::Sst && globals.biff8)
            ReadSharedStrings(records.withContinues(*record), globals.codePage, globals.strings);
        if (record->id == fenban::Record::BoundSheet) {
            const std::uint32_t offset = data.u32();
            data.skip(1); // visibility: hidden sheets are read too
            const bool worksheet = data.u8() == 0;
            const std::size_t length = data.u8();
            std::string name = RecordText(data, length, globals);
            if (worksheet && offsets.insert(offset).second) {
                globals.sheets.push_back({offset, std::move(name)});
                CheckSheetCount(globals.sheets.size());
            }
        }
    }
    return globals;
}

// The cells of the sheet whose BOF is at offset.
TableSheet ReadSheet(
    std::string name, std::string_view stream, const Globals& globals, std::uint32_t offset, CellBudget& budget)
{
    SheetBuilder sheet(budget);
    Records records(stream, offset);
    const auto bof = records.next();
    if (!bof || bof->id != fenban::Record::Bof)
        ThrowCorrupt();
    std::optional<std::pair<std::uint16_t, std::uint16_t>> awaitingString; // a text formula's cell
    int depth = 1; // charts embedded in a sheet have BOF..EOF of their own
    while (const auto record = records.next()) {
        const unsigned id = record->id;
        if (id == fenban::Record::Bof) {
            ++depth;
            continue;
        }
        if (id == fenban::Record::Eof) {
            if (--depth == 0)
                break;
            continue;
        }
        if (depth != 1)
            continue;
        Cursor data(record->data);
        if (id == fenban::Record::String) {
            if (!awaitingString)
                continue;
            Cursor text = records.withContinues(*record);
            const std::size_t length = text.u16();
            sheet.put(awaitingString->first, awaitingString->second, RecordText(text, length, globals));
            awaitingString.reset();
            continue;
        }
        if (id == fenban::Record::MulRk) {
            const std::uint16_t row = data.u16();
            const std::uint16_t first = data.u16();
            const std::size_t count = record->data.size() < 6 ? 0 : (record->data.size() - 6) / 6;
            for (std::size_t k = 0; k < count; ++k) {
                data.skip(2); // format
                sheet.put(row, static_cast<long long>(first + k), RkText(data.u32()));
            }
            continue;
        }
        if (id != fenban::Record::Number && id != fenban::Record::Rk && id != fenban::Record::LabelSst
            && id != fenban::Record::Label && id != fenban::Record::RString && id != fenban::Record::BoolErr
            && id != fenban::Record::Formula)
            continue;
        const std::uint16_t row = data.u16();
        const std::uint16_t column = data.u16();
        data.skip(2); // format
        if (id == fenban::Record::Number) {
            sheet.put(row, column, GeneralNumberText(data.f64()));
        } else if (id == fenban::Record::Rk) {
            sheet.put(row, column, RkText(data.u32()));
        } else if (id == fenban::Record::LabelSst) {
            const std::uint32_t index = data.u32();
            if (index >= globals.strings.size())
                ThrowCorrupt();
            sheet.put(row, column, std::string(globals.strings[index]));
        } else if (id == fenban::Record::Label || id == fenban::Record::RString) {
            Cursor text = records.withContinues(*record);
            text.skip(6);
            const std::size_t length = text.u16();
            sheet.put(row, column, RecordText(text, length, globals));
        } else if (id == fenban::Record::BoolErr) {
            const unsigned char value = data.u8();
            const bool error = data.u8() != 0;
            sheet.put(row, column, error ? ErrorText(value) : value ? "TRUE" : "FALSE");
        } else {
            // The last computed value: a number, or a kind in the first byte
            // when the top two bytes are FFFF.
            awaitingString.reset();
            const std::string_view result = data.bytes(8);
            Cursor kind(result);
            if (result[6] != '\xFF' || result[7] != '\xFF') {
                sheet.put(row, column, GeneralNumberText(Cursor(result).f64()));
                continue;
            }
            const unsigned char type = kind.u8();
            kind.skip(1);
            const unsigned char value = kind.u8();
            if (type == 0)
                awaitingString.emplace(row, column);
            else if (type == 1)
                sheet.put(row, column, value ? "TRUE" : "FALSE");
            else if (type == 2)
                sheet.put(row, column, ErrorText(value));
        }
    }
    return sheet.sheet(std::move(name));
}

} // namespace

void RejectEncryptedPackage(std::string_view bytes)
{
    const CompoundFileReader file(bytes);
    if (file.hasEntry(u"EncryptedPackage") || file.hasEntry(u"EncryptionInfo"))
        ThrowEncrypted();
}

std::vector<TableSheet> ReadXlsSheets(std::string_view bytes, SheetsWanted wanted)
{
    const CompoundFileReader compound(bytes);
    if (compound.hasEntry(u"EncryptedPackage") || compound.hasEntry(u"EncryptionInfo"))
        ThrowEncrypted();
    std::optional<std::string> stream = compound.stream(u"Workbook");
    if (!stream)
        stream = compound.stream(u"Book");
    if (!stream)
        ThrowNotAWorkbook();
    const Globals globals = ReadGlobals(*stream);
    if (globals.sheets.empty())
        ThrowNotAWorkbook();
    // A sheet's records end where the next sheet's begin, so that no byte
    // of the stream is read twice, whatever the sheets' EOF records say.
    std::vector<std::uint32_t> starts;
    for (const SheetEntry& entry : globals.sheets)
        starts.push_back(entry.offset);
    std::sort(starts.begin(), starts.end());
    CellBudget budget;
    std::vector<TableSheet> sheets;
    for (const SheetEntry& entry : globals.sheets) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), entry.offset);
        const std::string_view records
            = next == starts.end() ? std::string_view(*stream) : std::string_view(*stream).substr(0, *next);
        sheets.push_back(ReadSheet(entry.name, records, globals, entry.offset, budget));
        if (wanted == SheetsWanted::FirstWithData && !sheets.back().rows.empty())
            break;
    }
    return sheets;
}

} // namespace fenban
