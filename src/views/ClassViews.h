#pragma once

#include "engine/DivisionState.h"

#include <QStringList>
#include <string>

namespace fenban {

class StringGridModel;

// Lists students in the roster grid: 15 columns, one student a row from
// row 1 (number, name, gender, class, eleven scores); the header row stays.
void ListStudents(StringGridModel& grid, const TStudentList& list, const std::string& decimalSeparator);

// The averages table: one row per class of the last division, labelled like
// "3 (24/49)" (class number, boys, size), then the grade-average row; the
// subject names head the columns.
void ShowClassAverages(StringGridModel& grid, const DivisionState& state, const QStringList& subjectNames,
    const std::string& decimalSeparator);

// "3 (24/49)": class number, the students whose gender is 男, the class size.
std::string ClassLabel(int classNo, const TStudentList& members);

} // namespace fenban
