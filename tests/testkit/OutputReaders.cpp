#include "OutputReaders.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace fenban::testkit {

// Debian's own python3 first: python3-openpyxl and python3-xlrd install for
// it, while another python3 may come first on PATH.
QString PythonWithModule(const QString& module)
{
    QStringList candidates {u"/usr/bin/python3"_s};
    const QString onPath = QStandardPaths::findExecutable(u"python3"_s);
    if (!onPath.isEmpty())
        candidates << onPath;
    for (const QString& python : candidates) {
        if (!QFile::exists(python))
            continue;
        QProcess probe;
        probe.start(python, {u"-c"_s, u"import "_s + module});
        if (probe.waitForFinished(60000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
            return python;
    }
    return {};
}

QByteArray RunReader(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << program << arguments << process.errorString() << process.readAllStandardError();
        return {};
    }
    return process.readAllStandardOutput();
}

QJsonArray ReadWithOpenpyxl(const QString& file, QString& error)
{
    const QString python = PythonWithModule(u"openpyxl"_s);
    if (python.isEmpty()) {
        error = u"no python3 with openpyxl: install the Debian packages python3 and python3-openpyxl"_s;
        return {};
    }
    const QByteArray json = RunReader(python, {QStringLiteral(WORKBOOK_SCRIPT), file});
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        error = u"openpyxl cannot read "_s + file;
    return document.array();
}

QString PdfText(const QString& file)
{
    return QString::fromUtf8(RunReader(u"pdftotext"_s, {file, u"-"_s}));
}

QString PdfText(const QString& file, int page)
{
    const QString n = QString::number(page);
    return QString::fromUtf8(RunReader(u"pdftotext"_s, {u"-f"_s, n, u"-l"_s, n, file, u"-"_s}));
}

int PdfPages(const QString& file)
{
    const QString info = QString::fromUtf8(RunReader(u"pdfinfo"_s, {file}));
    return QRegularExpression(u"Pages:\\s+(\\d+)"_s).match(info).captured(1).toInt();
}

} // namespace fenban::testkit
