#pragma once

#include "common/Failure.h"
#include "common/FileSaving.h"
#include "io/OutputTables.h"

#include <QFont>
#include <QPageLayout>
#include <filesystem>
#include <functional>
#include <span>

class QPagedPaintDevice;
class QPainter;

namespace fenban {

// Printed class lists: A4 portrait, 12 mm margins.
QPageLayout ClassListPageLayout();

// Paints tables onto a paged device whose painting has not begun (a
// QPrinter, a QPdfWriter): every table starts a new page with its title
// line; the header row is repeated on every page; columns are as wide as
// their texts, all narrowed together when the page is too narrow; the
// pictures of a table follow its rows, each where it fits whole, full width; the foot
// of a page says 第 n 页，共 m 页. Pages outside the device's page ranges
// are left out. Returns the number of pages of the whole document. Throws
// Failure when the device cannot be painted on.
int PaintTables(QPagedPaintDevice& device, std::span<const OutputTable> tables, const TablePictures& pictures = {});

// The tables as a PDF (fonts embedded, so Chinese text shows and can be
// copied anywhere), saved through SaveFileSafely.
void WriteTablesPdf(FileSystem& files, const std::filesystem::path& file, std::span<const OutputTable> tables,
    const TablePictures& pictures = {});

// WriteTablesPdf to the disk, the tables of PrintedTables.
void ExportClassListsPdf(const std::filesystem::path& file, const DivisionTables& tables);

// Draws a text as QPainter::drawText does (one line, aligned in the box by
// `flags`), so that a PDF reader copies it whole: Qt's PDF writer leaves the
// digits of a Latin run (the 256 of SHA-256, a fingerprint's digits) out of
// the text it maps, though they print; digits are drawn as runs of their own.
void DrawCopyableText(QPainter& painter, const QRectF& box, int flags, const QString& text);

// The font of the printed class lists at that size: the first Chinese font the system has.
QFont ClassListFont(double points, bool bold);

// A PDF that `paint` paints on a QPdfWriter (A4 portrait as the class lists,
// 600 dpi, fonts embedded), the texts of `drawn` mapped so that they copy as
// written; saved through SaveFileSafely. A Failure of `paint` becomes a
// WriteError naming the file.
void WritePaintedPdf(FileSystem& files, const std::filesystem::path& file, const QString& title,
    const std::function<void(QPagedPaintDevice&)>& paint, std::span<const OutputTable> drawn);

} // namespace fenban
