#pragma once

#include "document/Division.h"
#include "io/OutputTables.h"
#include "outputs/DivisionOutputs.h"

#include <vector>

namespace fenban {

// The pictures printed below the balance report (BalanceOutput): a box plot
// of 总分 per class, the gap per subject.
std::vector<OutputPicture> BalanceOutputPictures(const Division& division);

} // namespace fenban
