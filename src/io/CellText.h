#pragma once

#include "io/TableFile.h"

#include <string>

namespace fenban {

// A number as a spreadsheet shows it in its general format: at most 15
// significant digits, trailing zeros dropped, no separator for whole numbers
// (90, 785.5, 0.1); scientific notation from 1E+15 up and below 0.0001
// ("1.5E+20", "1E-05"). A value that needs 16 or 17 digits to come back
// exactly, like 0.1 + 0.2, shows its 15-digit rounding (0.3), as the
// spreadsheet displays and copies it. Minus zero shows "0".
std::string GeneralNumberText(double value);

// Cuts rows of cells down to the TableRows shape: empty rows at the top and
// bottom and empty columns at the left dropped, each row ended at its last
// non-empty cell.
void TrimTable(TableRows& rows);

} // namespace fenban
