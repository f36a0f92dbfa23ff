#include "roster/RosterBuilder.h"

#include "roster/Gb18030.h"
#include "roster/ScoreParser.h"

#include <algorithm>

namespace fenban {

int ProposeClassCount(int studentCount)
{
    return std::clamp(studentCount / 50 + 1, 1, MaxClassCount);
}

BuiltRoster BuildRosterFromGrid(const CellGrid& grid, std::string_view decimalSeparator)
{
    BuiltRoster roster;
    const int dataRows = grid.rowCount() - 1;
    roster.students.reserve(static_cast<std::size_t>(std::max(dataRows, 0)));
    for (int row = 1; row <= dataRows; ++row) {
        auto student = std::make_unique<TStudent>();
        student->Name = ShortString<10>(Gb18030Prefix(grid.cell(NameColumn, row), 10));
        student->Gender = ShortString<2>(Gb18030Prefix(grid.cell(GenderColumn, row), 2));
        student->ClassNo = ParseClassNo(grid.cell(ClassColumn, row), decimalSeparator);
        for (int s = 0; s < SubjectCount; ++s)
            student->Scores[static_cast<std::size_t>(s)]
                = ParseScore(grid.cell(FirstScoreColumn + s, row), decimalSeparator);
        roster.students.push_back(std::move(student));
    }
    for (int s = 0; s < SubjectCount; ++s) {
        const std::string& header = grid.cell(FirstScoreColumn + s, 0);
        roster.subjectNames[static_cast<std::size_t>(s)] = header.empty() ? "  " : header;
    }
    roster.proposedClassCount = ProposeClassCount(dataRows);
    return roster;
}

} // namespace fenban
