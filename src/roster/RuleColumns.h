#pragma once

#include "roster/CellGrid.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// Rule columns stand after the total score: grid column 5 on.
inline constexpr int FirstRuleColumn = 5;

// What a rule column says about the students with equal texts in it.
enum class RuleColumnKind {
    Together, // 同班: one class
    Apart, // 不同班: pairwise different classes
    Fixed, // 固定: the class number given
    Spread, // 均衡…: each value spread evenly over the classes
};

struct RuleColumn {
    RuleColumnKind kind;
    int gridColumn;
    std::string header; // UTF-8, as pasted
};

// One non-empty rule cell of a student.
struct RuleCell {
    int column; // index into RosterRuleTexts::columns
    std::string text; // UTF-8, as pasted
};

// The rule columns of a roster and every student's texts in them, kept
// beside the records: entry i belongs to record i (grid row i + 1).
struct RosterRuleTexts {
    std::vector<RuleColumn> columns; // in grid order
    std::vector<std::vector<RuleCell>> cells; // per record, its non-empty cells in column order

    bool empty() const { return columns.empty(); }
    // Empty when the record has no text in that column.
    std::string_view text(std::size_t record, int column) const;
};

// The text without the blanks a spreadsheet hides at either end: characters
// of code 32 or less, the no-break space and the ideographic space.
std::string_view TrimRuleText(std::string_view utf8);

// The kind a header names once trimmed: exactly 同班, 不同班 or 固定, or any
// text beginning with 均衡. None for every other header.
std::optional<RuleColumnKind> RuleColumnKindOfHeader(std::string_view header);

// The rule columns of a grid's header row (row 0), from FirstRuleColumn on.
std::vector<RuleColumn> FindRuleColumns(const CellGrid& grid);

} // namespace fenban
