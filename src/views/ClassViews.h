#pragma once

#include "engine/DivisionState.h"
#include "session/Snapshot.h"

#include <QStringList>
#include <string>

namespace fenban {

class StringGridModel;

// Lists students in the roster grid: 15 columns, one student a row from
// row 1 (number, name, gender, class, eleven scores); the header row stays.
void ListStudents(StringGridModel& grid, const TStudentList& list, const std::string& decimalSeparator);

// The same listing carrying the rule columns of the state's roster: from
// column 15 on, one column per rule column, headed by its header, with each
// student's text as pasted. The header cells of the empty score columns
// (from the first rule column to 14) are cleared. The opened table's extra
// columns (学号…) follow the rule columns, headed by their headers. A roster
// without rule and extra columns is listed exactly as above.
void ListStudents(
    StringGridModel& grid, const TStudentList& list, const std::string& decimalSeparator, const DivisionState& state);

// The averages table's columns: the class label, then one per score column.
inline constexpr int AverageColumns = SubjectCount + 1;

// The averages grid before anything was published: 5 columns, 5 rows, empty.
inline constexpr int StartAverageColumns = 5;
inline constexpr int StartAverageRows = 5;

// The averages table of the figures last published: one row per class,
// labelled like "3 (24/49)" (class number, boys, size), then the
// grade-average row; the subject names head the columns. The empty grid of
// the start when none were published.
void ShowClassAverages(StringGridModel& grid, const ShownFigures& shown, const std::string& decimalSeparator);

// "3 (24/49)": class number, the students whose gender is 男, the class size.
std::string ClassLabel(int classNo, const TStudentList& members);

} // namespace fenban
