#pragma once

#include "common/Failure.h"
#include "common/FileSaving.h"
#include "io/OutputTables.h"

#include <filesystem>
#include <span>

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

} // namespace fenban
