#pragma once

#include "roster/CellGrid.h"
#include "roster/Student.h"

#include <QString>
#include <QStringList>

namespace fenban::testkit {

// The header a spreadsheet copies with a full grade.
QString FullHeader(); // 姓名 性别 班级 总分 语文 数学 英语 物理 化学 生物 政治 历史 地理

// A table as a spreadsheet copies it: the header line, then one line per
// student, each ended by CR LF.
QString Table(const QStringList& students, const QString& header = FullHeader());

// n students "学生k", alternating 男 (odd k) and 女, an empty class, total
// 500 + k, 语文 90 and 数学 80.5.
QStringList Students(int n);

// The six students of the worked example (A..F, one score column): two
// classes of three.
QString SixStudents();

// How the subject scores of GradeText are written.
enum class Points {
    Whole, // 87
    Half, // 87 or 87.5
    Tenths, // one decimal
    Hundredths, // up to two decimals
};

// A full grade of n students "学生k", alternating 男 and 女, an empty class,
// ten subjects of 40 to 99.x points and the total as their exact sum.
// Deterministic; Points::Whole is the benchmarks' grade.
QString GradeText(int students, Points points = Points::Whole);

// A grid's table as a spreadsheet copies it: the cells from column 1 of each
// row (column 0 numbers the rows) joined by tabs, each row ended by CR LF.
QString PasteText(const CellGrid& table);

// A student's name as the window shows it (from GB18030).
QString NameOf(const TStudent* student);
QStringList Names(const TStudentList& list);

} // namespace fenban::testkit
