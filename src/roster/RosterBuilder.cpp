#include "roster/RosterBuilder.h"

#include "roster/Gb18030.h"
#include "roster/ScoreParser.h"

#include <algorithm>

namespace fenban {

namespace {

std::vector<RuleCell> RuleCellsOfRow(const CellGrid& grid, const std::vector<RuleColumn>& columns, int row)
{
    std::vector<RuleCell> cells;
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (const std::string& text = grid.cell(columns[c].gridColumn, row); !text.empty())
            cells.push_back({static_cast<int>(c), text});
    return cells;
}

} // namespace

int ProposeClassCount(int studentCount)
{
    return std::clamp(studentCount / 50 + 1, 1, MaxClassCount);
}

BuiltRoster BuildRosterFromGrid(const CellGrid& grid, std::string_view decimalSeparator)
{
    BuiltRoster roster;
    const int dataRows = grid.rowCount() - 1;
    roster.students.reserve(static_cast<std::size_t>(std::max(dataRows, 0)));
    roster.rules.columns = FindRuleColumns(grid);
    const int scoreEnd = roster.rules.empty()
        ? FirstScoreColumn + SubjectCount
        : std::min(roster.rules.columns.front().gridColumn, FirstScoreColumn + SubjectCount);
    for (int row = 1; row <= dataRows; ++row) {
        auto student = std::make_unique<TStudent>();
        student->Name = Gb18030Prefix(grid.cell(NameColumn, row), std::string::npos);
        student->Gender = ShortString<2>(Gb18030Prefix(grid.cell(GenderColumn, row), 2));
        student->ClassNo = ParseClassNo(grid.cell(ClassColumn, row), decimalSeparator);
        for (int col = FirstScoreColumn; col < scoreEnd; ++col)
            student->Scores[static_cast<std::size_t>(col - FirstScoreColumn)]
                = ParseScore(grid.cell(col, row), decimalSeparator);
        roster.students.push_back(std::move(student));
        if (!roster.rules.empty())
            roster.rules.cells.push_back(RuleCellsOfRow(grid, roster.rules.columns, row));
    }
    for (int s = 0; s < SubjectCount; ++s) {
        const int col = FirstScoreColumn + s;
        const std::string& header = grid.cell(col, 0);
        roster.subjectNames[static_cast<std::size_t>(s)] = header.empty() || col >= scoreEnd ? "  " : header;
    }
    roster.proposedClassCount = ProposeClassCount(dataRows);
    return roster;
}

} // namespace fenban
