#include "RulesTestKit.h"

#include "roster/Gb18030.h"
#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"

namespace fenban::rulestest {

CellGrid GridOf(const Table& table)
{
    FieldRows rows;
    rows.reserve(table.size());
    for (const auto& row : table)
        rows.emplace_back(row.begin(), row.end());
    CellGrid grid(RosterColumns, 2);
    SizeGridForTable(grid, rows);
    FillGridWithTable(grid, rows);
    return grid;
}

DivisionState StateOf(const Table& table)
{
    BuiltRoster built = BuildRosterFromGrid(GridOf(table), ".");
    DivisionState state;
    state.Records = std::move(built.students);
    state.RuleTexts = std::move(built.rules);
    for (const auto& record : state.Records)
        state.FStudents.push_back(record.get());
    return state;
}

std::string NameOf(const DivisionState& state, int record)
{
    return Gb18030ToUtf8(state.Records[static_cast<std::size_t>(record)]->Name);
}

} // namespace fenban::rulestest
