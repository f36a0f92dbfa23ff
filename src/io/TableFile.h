#pragma once

#include "common/Failure.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fenban {

// A table as its cells' UTF-8 texts, one vector a row. It is the smallest
// block holding every non-empty cell of the sheet (empty rows above and empty
// columns left of it dropped); each row ends at its last non-empty cell, so
// an empty row inside the table has no cells.
using TableRows = std::vector<std::vector<std::string>>;

// One sheet of a workbook: its name as the workbook names it (a text file's
// one sheet is named after the file) and its table.
struct TableSheet {
    std::string name;
    TableRows rows;
    // Where rows[0][0] stands in the sheet (0-based): the empty rows above
    // and empty columns left of the table that were dropped.
    int firstRow = 0;
    int firstColumn = 0;
};

// A table must lie within the first MaxTableRows rows and MaxTableColumns
// columns of its sheet: far more than a grade, far less than a spreadsheet's
// million rows, which the roster grid cannot show.
inline constexpr int MaxTableRows = 100'000;
inline constexpr int MaxTableColumns = 1'000;
// A workbook holds at most MaxTableCells cells in all (its sheets' blocks of
// rows counted as TableRows holds them, empty cells inside included), and
// at most MaxWorkbookSheets sheets: the reader's memory stays far below
// a gigabyte whatever a file declares.
inline constexpr std::uint64_t MaxTableCells = 5'000'000;
inline constexpr int MaxWorkbookSheets = 1'000;
// Larger files are refused by their size before a byte is read.
inline constexpr std::uintmax_t MaxTableFileSize = 50u << 20;

// A table file that cannot be read. The message names the file and the reason.
class TableReadError : public Failure {
public:
    enum class Reason { Missing, Unreadable, Empty, Corrupt, Encrypted, NotATable, TooLarge };

    TableReadError(Reason reason, const std::string& message)
        : Failure(message)
        , reason_(reason)
    {
    }
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

// The first sheet with a non-empty cell of a workbook (.xlsx, .xls), or the
// table of a text file (.csv, .tsv, .txt), as TableRows. What the bytes are
// decides over the name's extension: a zip archive reads as .xlsx, an OLE2
// compound file as .xls; other bytes read as text only under a text
// extension. Numbers read as GeneralNumberText shows them, booleans as TRUE
// and FALSE, error cells as their code (#DIV/0!), formulas as their last
// computed value. Throws TableReadError.
TableRows ReadTableFile(const std::filesystem::path& file);

// Every sheet of a workbook in the workbook's order, empty ones included
// (with no rows), each read as ReadTableFile reads its first one; a sheet the
// workbook lists twice comes once. A text file is one sheet named after the
// file (its name without the extension). Throws TableReadError.
std::vector<TableSheet> ReadTableSheets(const std::filesystem::path& file);

// The sheets 打开 reads: ReadTableSheets, throwing as ReadTableFile does when
// no sheet holds a table.
std::vector<TableSheet> ReadSheetsToOpen(const std::filesystem::path& file);

} // namespace fenban
