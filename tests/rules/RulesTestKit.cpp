#include "RulesTestKit.h"

#include "roster/Gb18030.h"
#include "roster/RosterBuilder.h"

#include <algorithm>

namespace fenban::rulestest {

CellGrid GridOf(const Table& table)
{
    std::size_t widest = 0;
    for (const auto& row : table)
        widest = std::max(widest, row.size());
    CellGrid grid(static_cast<int>(std::max<std::size_t>(widest + 1, 15)), static_cast<int>(table.size()));
    for (std::size_t r = 0; r < table.size(); ++r) {
        grid.setCell(0, static_cast<int>(r), std::to_string(r));
        for (std::size_t f = 0; f < table[r].size(); ++f)
            grid.setCell(static_cast<int>(f) + 1, static_cast<int>(r), table[r][f]);
    }
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
    return Gb18030ToUtf8(state.Records[static_cast<std::size_t>(record)]->Name.view());
}

} // namespace fenban::rulestest
