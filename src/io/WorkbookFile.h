#pragma once

#include "common/Failure.h"
#include "common/FileSaving.h"
#include "io/OutputTables.h"

#include <filesystem>
#include <functional>
#include <span>

struct lxw_workbook;

namespace fenban {

// Writes an .xlsx workbook, one sheet per table in order: the header row
// bold and frozen and repeated on every printed page, the table's title in
// the page header, texts as text and numbers as numbers, every column as
// wide as its widest text, A4 portrait, fit to one page wide. Saved through
// SaveFileSafely: a failure leaves no partial file and throws WriteError
// naming the file.
void WriteWorkbook(FileSystem& files, const std::filesystem::path& file, std::span<const OutputTable> tables);

// WriteWorkbook to the disk, the sheets of WorkbookTables.
void ExportDivisionWorkbook(const std::filesystem::path& file, const DivisionTables& tables);

// An .xlsx workbook that `fill` builds with libxlsxwriter (sheets, cells,
// formats), saved as WriteWorkbook saves it.
void WriteXlsxWith(
    FileSystem& files, const std::filesystem::path& file, const std::function<void(lxw_workbook*)>& fill);

// Throws WriteError naming the file unless `error` (an lxw_error) is LXW_NO_ERROR.
void CheckXlsxError(int error, const std::filesystem::path& file);

} // namespace fenban
