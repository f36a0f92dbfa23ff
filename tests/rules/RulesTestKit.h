#pragma once

#include "engine/DivisionState.h"

#include <string>
#include <vector>

namespace fenban::rulestest {

using Table = std::vector<std::vector<std::string>>;

// Tab-separated lines as a table: one row a line, one field a cell.
Table TableOfTabs(const std::string& text);
// The same of a UTF-8 file (the sample grades of data/).
Table TableOfFile(const std::string& path);

// A grid as the paste writes it: line numbers in column 0, table row r at
// grid row r, field f at grid column f + 1.
CellGrid GridOf(const Table& table);

// A state holding the roster built from the table (header line first), in row order.
DivisionState StateOf(const Table& table);

// The UTF-8 name of a record.
std::string NameOf(const DivisionState& state, int record);

} // namespace fenban::rulestest
