#pragma once

#include "audit/Fingerprint.h"
#include "io/TableFile.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace fenban::audittest {

// The long and mixed names every output must keep whole: two students named
// 巴特尔·努尔, a boy and a girl.
extern const std::vector<std::string> LongNames;

// A grade whose first students have the long names, then 学生5, 学生6…:
// scores of every kind of decimal, a 同班 and a 均衡生源 rule column.
TableRows Grade(int students);

// The grade as a UTF-8 tab-separated file.
QString WriteTsv(const TableRows& table, const QString& file);

// Every text cell of an openpyxl reading, sheet after sheet.
QStringList TextsOf(const QJsonArray& sheets);

// A program run to its end: its exit code (-1: it did not end normally), the
// lines of its stdout and its stderr.
struct CliRun {
    int code = -1;
    QStringList out;
    QString err;
};
CliRun RunProgram(const QString& program, const QStringList& arguments);

// recompute.py's answer: the fingerprints and the draw from docs/fingerprint.md alone.
QJsonObject Recompute(const TableRows& table, const DivisionOptions& options, const std::vector<int>& classes,
    const std::vector<std::string>& teachers, const std::string& seed);

} // namespace fenban::audittest
