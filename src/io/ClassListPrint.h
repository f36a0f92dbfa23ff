#pragma once

#include "common/Failure.h"
#include "common/FileSaving.h"
#include "io/OutputTables.h"

#include <QPageLayout>
#include <filesystem>
#include <span>

class QPagedPaintDevice;

namespace fenban {

// Printed class lists: A4 portrait, 12 mm margins.
QPageLayout ClassListPageLayout();

// Paints tables onto a paged device whose painting has not begun (a
// QPrinter, a QPdfWriter): every table starts a new page with its title
// line; the header row is repeated on every page; columns are as wide as
// their texts, all narrowed together when the page is too narrow; the foot
// of a page says 第 n 页，共 m 页. Pages outside the device's page ranges
// are left out. Returns the number of pages of the whole document. Throws
// Failure when the device cannot be painted on.
int PaintTables(QPagedPaintDevice& device, std::span<const OutputTable> tables);

// The tables as a PDF (fonts embedded, so Chinese text shows and can be
// copied anywhere), saved through SaveFileSafely.
void WriteTablesPdf(FileSystem& files, const std::filesystem::path& file, std::span<const OutputTable> tables);

// WriteTablesPdf to the disk, the tables of PrintedTables.
void ExportClassListsPdf(const std::filesystem::path& file, const DivisionTables& tables);

} // namespace fenban
