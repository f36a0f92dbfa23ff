#include "XlsReaders.h"

#include "OutputReaders.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <freexl.h>

using namespace Qt::StringLiterals;

namespace fenban::testkit {

namespace {

QString PythonWithXlrd(QString& error)
{
    const QString python = PythonWithModule(u"xlrd"_s);
    if (python.isEmpty())
        error = u"no python3 with xlrd: install the Debian packages python3 and python3-xlrd"_s;
    return python;
}

} // namespace

SheetReadBack ReadWithFreeXl(const QString& file)
{
    SheetReadBack result;
    const void* handle = nullptr;
    const QByteArray path = QFile::encodeName(file);
    int rc = freexl_open(path.constData(), &handle);
    if (rc != FREEXL_OK || handle == nullptr) {
        result.error = u"FreeXL cannot open the file (code %1)"_s.arg(rc);
        if (handle != nullptr)
            freexl_close(handle);
        return result;
    }
    unsigned info = 0;
    freexl_get_info(handle, FREEXL_BIFF_VERSION, &info);
    result.biffVersion = static_cast<int>(info);
    freexl_get_info(handle, FREEXL_BIFF_CODEPAGE, &info);
    result.codepage = static_cast<int>(info);
    freexl_get_info(handle, FREEXL_CFBF_FAT_COUNT, &info);
    result.fatEntries = info;
    unsigned sheets = 0;
    freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets);
    for (unsigned short i = 0; i < sheets; ++i) {
        const char* name = nullptr;
        freexl_get_worksheet_name(handle, i, &name);
        result.sheetNames.emplace_back(name != nullptr ? name : "");
    }
    unsigned rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK
        || freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
        result.error = u"FreeXL finds no first sheet"_s;
        freexl_close(handle);
        return result;
    }
    result.rows = static_cast<int>(rows);
    result.columns = columns;
    result.cells.assign(rows, std::vector<std::optional<std::string>>(columns));
    for (unsigned r = 0; r < rows && result.error.isEmpty(); ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            rc = freexl_get_cell_value(handle, r, c, &value);
            if (rc != FREEXL_OK) {
                result.error = u"FreeXL cannot read cell (%1, %2): code %3"_s.arg(r).arg(c).arg(rc);
                break;
            }
            if (value.type == FREEXL_CELL_SST_TEXT || value.type == FREEXL_CELL_TEXT) {
                result.cells[r][c] = value.value.text_value;
            } else if (value.type != FREEXL_CELL_NULL) {
                result.error = u"cell (%1, %2) has FreeXL type %3"_s.arg(r).arg(c).arg(value.type);
                break;
            }
        }
    }
    freexl_close(handle);
    return result;
}

SheetReadBack ReadWithXlrd(const QString& file)
{
    SheetReadBack result;
    const QString python = PythonWithXlrd(result.error);
    if (python.isEmpty())
        return result;
    QProcess reader;
    reader.start(python, {QStringLiteral(XLRD_SCRIPT), file});
    if (!reader.waitForFinished(300000) || reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
        result.error = u"xlrd cannot read the file: "_s + QString::fromUtf8(reader.readAllStandardError());
        return result;
    }
    const QJsonObject book = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    const QString log = book[u"log"_s].toString();
    if (!log.isEmpty()) {
        result.error = u"xlrd warns: "_s + log;
        return result;
    }
    result.biffVersion = book[u"biff"_s].toInt();
    result.codepage = book[u"codepage"_s].toInt();
    for (const QJsonValue name : book[u"sheets"_s].toArray())
        result.sheetNames.push_back(name.toString().toStdString());
    result.rows = book[u"nrows"_s].toInt();
    result.columns = book[u"ncols"_s].toInt();
    constexpr int Empty = 0, Text = 1, Blank = 6;
    const QJsonArray rows = book[u"cells"_s].toArray();
    for (int r = 0; r < rows.size(); ++r) {
        const QJsonArray row = rows[r].toArray();
        auto& cells = result.cells.emplace_back(row.size());
        for (int c = 0; c < row.size(); ++c) {
            const int type = row[c][0].toInt();
            if (type == Text)
                cells[c] = row[c][1].toString().toStdString();
            else if (type != Empty && type != Blank)
                result.error = u"cell (%1, %2) has xlrd type %3"_s.arg(r).arg(c).arg(type);
        }
    }
    return result;
}

} // namespace fenban::testkit
