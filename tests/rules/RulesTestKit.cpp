#include "RulesTestKit.h"

#include "roster/Gb18030.h"
#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"

#include <fstream>
#include <sstream>

namespace fenban::rulestest {

Table TableOfTabs(const std::string& text)
{
    Table table;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
            fields.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        fields.push_back(line.substr(start));
        table.push_back(std::move(fields));
    }
    return table;
}

Table TableOfFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return TableOfTabs(text.str());
}

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
