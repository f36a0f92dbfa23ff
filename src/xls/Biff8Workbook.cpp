#include "xls/Biff8Workbook.h"

#include "xls/Biff8Records.h"
#include "xls/SharedStrings.h"
#include "xls/XlsErrors.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace fenban {

namespace {

constexpr unsigned GlobalsSubstream = 0x0005;
constexpr unsigned WorksheetSubstream = 0x0010;
constexpr unsigned CellXfIndex = 15; // the first cell XF, after the 15 style XFs

// Appends a record's header and returns where its length goes.
std::size_t BeginRecord(Bytes& out, unsigned type)
{
    PutU16(out, type);
    PutU16(out, 0);
    return out.size() - 2;
}

void EndRecord(Bytes& out, std::size_t lengthAt)
{
    PatchU16(out, lengthAt, static_cast<unsigned>(out.size() - lengthAt - 2));
}

void AppendBof(Bytes& out, unsigned substream)
{
    const std::size_t at = BeginRecord(out, Record::Bof);
    PutU16(out, 0x0600); // BIFF8
    PutU16(out, substream);
    PutU16(out, 0x0DBB); // build
    PutU16(out, 0x07CC); // year
    PutU32(out, 0x00000009); // last edited and ever edited on Windows
    PutU32(out, 0x00000006); // lowest BIFF version that reads it all: 8
    EndRecord(out, at);
}

void AppendEmptyRecord(Bytes& out, unsigned type)
{
    EndRecord(out, BeginRecord(out, type));
}

void AppendWindow1(Bytes& out)
{
    const std::size_t at = BeginRecord(out, Record::Window1);
    PutU16(out, 0x0000); // left, top, width, height in twips
    PutU16(out, 0x0000);
    PutU16(out, 0x4000);
    PutU16(out, 0x2800);
    PutU16(out, 0x0038); // scroll bars and sheet tabs shown
    PutU16(out, 0); // active sheet
    PutU16(out, 0); // first visible tab
    PutU16(out, 1); // selected sheets
    PutU16(out, 600); // tab bar width ratio, in 1/1000
    EndRecord(out, at);
}

// 11-point SimSun, the default font of Chinese Excel, GB2312 character set.
void AppendFont(Bytes& out)
{
    const std::u16string name = u"宋体";
    const std::size_t at = BeginRecord(out, Record::Font);
    PutU16(out, 220); // height in 1/20 point
    PutU16(out, 0); // not italic, struck out, outlined or shadowed
    PutU16(out, 0x7FFF); // automatic colour
    PutU16(out, 400); // normal weight
    PutU16(out, 0); // no super- or subscript
    PutU8(out, 0); // not underlined
    PutU8(out, 0); // family unknown
    PutU8(out, 134); // GB2312 character set
    PutU8(out, 0);
    PutU8(out, static_cast<unsigned>(name.size()));
    PutU8(out, 1); // UTF-16 name
    PutUtf16(out, name);
    EndRecord(out, at);
}

// Style XFs carry the attribute flags 0xF4 except Normal (0); the cell XF
// takes everything from Normal. General number format, bottom alignment,
// no borders, no fill, default pattern colours.
void AppendXf(Bytes& out, unsigned font, bool style, unsigned attributeFlags)
{
    const std::size_t at = BeginRecord(out, Record::Xf);
    PutU16(out, font);
    PutU16(out, 0); // number format: General
    PutU16(out, style ? 0xFFF5 : 0x0001); // locked; style XFs have no parent
    PutU8(out, 0x20); // horizontal general, vertical bottom
    PutU8(out, 0); // no rotation
    PutU8(out, 0); // no indent, left-to-right by context
    PutU8(out, attributeFlags);
    PutU32(out, 0); // no borders
    PutU32(out, 0); // border colours, no fill pattern
    PutU16(out, 0x20C0); // pattern colours 64 and 65 (window defaults)
    EndRecord(out, at);
}

void AppendXfs(Bytes& out)
{
    AppendXf(out, 0, true, 0x00); // Normal
    AppendXf(out, 1, true, 0xF4);
    AppendXf(out, 1, true, 0xF4);
    AppendXf(out, 2, true, 0xF4);
    AppendXf(out, 2, true, 0xF4);
    for (int i = 5; i < 15; ++i)
        AppendXf(out, 0, true, 0xF4);
    AppendXf(out, 0, false, 0x00); // the XF of every cell
}

void AppendNormalStyle(Bytes& out)
{
    const std::size_t at = BeginRecord(out, Record::Style);
    PutU16(out, 0x8000); // built-in style on XF 0
    PutU8(out, 0); // Normal
    PutU8(out, 0xFF); // no outline level
    EndRecord(out, at);
}

// Returns where the sheet's stream position goes.
std::size_t AppendBoundSheet(Bytes& out)
{
    const std::string name = "Sheet1";
    const std::size_t at = BeginRecord(out, Record::BoundSheet);
    const std::size_t positionAt = out.size();
    PutU32(out, 0);
    PutU8(out, 0); // visible
    PutU8(out, 0); // worksheet
    PutU8(out, static_cast<unsigned>(name.size()));
    PutU8(out, 0); // 8-bit characters
    out.insert(out.end(), name.begin(), name.end());
    EndRecord(out, at);
    return positionAt;
}

void AppendDimensions(Bytes& out, const SheetCells& cells)
{
    const std::size_t at = BeginRecord(out, Record::Dimensions);
    PutU32(out, 0); // first row
    PutU32(out, static_cast<std::uint32_t>(cells.rowCount())); // last row + 1
    PutU16(out, 0); // first column
    PutU16(out, static_cast<unsigned>(cells.columnCount())); // last column + 1
    PutU16(out, 0);
    EndRecord(out, at);
}

void AppendWindow2(Bytes& out)
{
    const std::size_t at = BeginRecord(out, Record::Window2);
    PutU16(out, 0x06B6); // grid, headers, zeros, outline; selected and active
    PutU16(out, 0); // top row
    PutU16(out, 0); // left column
    PutU16(out, 0x40); // default grid colour
    PutU16(out, 0);
    PutU16(out, 0); // zoom: defaults
    PutU16(out, 0);
    PutU32(out, 0);
    EndRecord(out, at);
}

// A text cell refers to the shared string table; an empty cell is a BLANK
// record, which keeps the whole grid inside the sheet's used range.
void AppendCells(Bytes& out, const std::vector<SheetCells::Cell>& cells)
{
    out.reserve(out.size() + cells.size() * 14 + 64);
    for (const SheetCells::Cell& cell : cells) {
        const bool empty = cell.text == SheetCells::Empty;
        PutU16(out, empty ? Record::Blank : Record::LabelSst);
        PutU16(out, empty ? 6 : 10);
        PutU16(out, static_cast<unsigned>(cell.row));
        PutU16(out, static_cast<unsigned>(cell.column));
        PutU16(out, CellXfIndex);
        if (!empty)
            PutU32(out, cell.text);
    }
}

} // namespace

Bytes BuildWorkbookStream(const SheetCells& cells)
{
    cells.checkLimits();
    const std::vector<SheetCells::Cell> ordered = cells.orderedCells();
    const auto textCells = std::count_if(
        ordered.begin(), ordered.end(), [](const auto& cell) { return cell.text != SheetCells::Empty; });

    Bytes out;
    AppendBof(out, GlobalsSubstream);
    {
        const std::size_t at = BeginRecord(out, Record::CodePage);
        PutU16(out, 1200); // UTF-16
        EndRecord(out, at);
    }
    AppendWindow1(out);
    for (int i = 0; i < 5; ++i) // font indexes 0-3 and 5; index 4 is never used
        AppendFont(out);
    AppendXfs(out);
    AppendNormalStyle(out);
    const std::size_t sheetPositionAt = AppendBoundSheet(out);
    AppendSharedStrings(out, cells.texts(), static_cast<std::uint32_t>(textCells));
    AppendEmptyRecord(out, Record::Eof);

    PatchU32(out, sheetPositionAt, static_cast<std::uint32_t>(out.size()));
    AppendBof(out, WorksheetSubstream);
    {
        const std::size_t at = BeginRecord(out, Record::WsBool);
        PutU16(out, 0x04C1); // a plain worksheet with outline symbols and page breaks shown
        EndRecord(out, at);
    }
    AppendDimensions(out, cells);
    AppendCells(out, ordered);
    AppendWindow2(out);
    AppendEmptyRecord(out, Record::Eof);

    // Stream positions in the file are 32-bit.
    if (out.size() > std::numeric_limits<std::int32_t>::max())
        throw SpreadsheetLimitError("表格内容太多，超出 .xls 文件的大小限制，不能输出。");
    return out;
}

} // namespace fenban
