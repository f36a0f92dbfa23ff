#pragma once

#include "engine/DivisionState.h"

#include <string>
#include <vector>

namespace fenban::rulestest {

using Table = std::vector<std::vector<std::string>>;

// A grid as the paste writes it: line numbers in column 0, table row r at
// grid row r, field f at grid column f + 1.
CellGrid GridOf(const Table& table);

// A state holding the roster built from the table (header line first), in row order.
DivisionState StateOf(const Table& table);

// The UTF-8 name of a record.
std::string NameOf(const DivisionState& state, int record);

} // namespace fenban::rulestest
