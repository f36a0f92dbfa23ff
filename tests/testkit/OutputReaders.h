#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <QStringList>

namespace fenban::testkit {

// A python3 that can import `module`, Debian's own first; empty when none can.
QString PythonWithModule(const QString& module);

// The standard output of a program run to its end; empty, with a warning
// naming the program, when it cannot start or fails.
QByteArray RunReader(const QString& program, const QStringList& arguments);

// An .xlsx workbook as openpyxl (python3-openpyxl) reads it: one object per
// sheet in order (read_workbook.py names the fields). `error` says why the
// array is empty.
QJsonArray ReadWithOpenpyxl(const QString& file, QString& error);

// The text of a PDF as poppler's pdftotext extracts it (poppler-utils); with
// a page number, of that page alone (from 1).
QString PdfText(const QString& file);
QString PdfText(const QString& file, int page);

// The number of pages of a PDF as poppler's pdfinfo counts them; 0 when it cannot.
int PdfPages(const QString& file);

} // namespace fenban::testkit
