#pragma once

#include "roster/CellGrid.h"
#include "roster/Student.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

inline constexpr int NameColumn = 1;
inline constexpr int GenderColumn = 2;
inline constexpr int ClassColumn = 3;
// The roster grid's columns: number, name, gender, class, eleven scores.
inline constexpr int RosterColumns = FirstScoreColumn + SubjectCount;
inline constexpr int MaxClassCount = 100;

struct BuiltRoster {
    std::vector<std::unique_ptr<TStudent>> students; // grid row r at index r - 1
    std::array<std::string, SubjectCount> subjectNames; // header texts, "  " for an empty one
    int proposedClassCount = 1;
};

// One student per data row of the grid (rows 1..rowCount-1), read row by
// row, the class column first and then the scores; the first cell that does
// not convert throws its ConversionError and nothing is returned.
BuiltRoster BuildRosterFromGrid(const CellGrid& grid, std::string_view decimalSeparator);

// One class more than the whole fifties among the students, within 1..100.
int ProposeClassCount(int studentCount);

} // namespace fenban
