#pragma once

#include "document/Division.h"
#include "io/OutputTables.h"

#include <vector>

namespace fenban {

// The balance report of the division as it stands (its 分数段): the workbook's
// sheet 均衡 and the printed page (BalanceTable), and the pictures printed
// below it: a box plot of 总分 per class, the gap per subject.
OutputTable BalanceOutput(const Division& division);
std::vector<OutputPicture> BalanceOutputPictures(const Division& division);

} // namespace fenban
