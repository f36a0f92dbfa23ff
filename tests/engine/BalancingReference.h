#pragma once

#include "engine/Balancing.h"

#include <vector>

namespace fenban::reference {

// The balance button done the plain way: every exchange is made in the
// working lists, measured with ComputeClassStats over all classes and
// written to a candidate table of |A| x |B| entries.
struct Press {
    BalanceOutcome outcome;
    std::vector<CandidateScore> tried; // the written entries of the table, in order
};

Press Balance(DivisionState& state, const BalanceRequest& request);

} // namespace fenban::reference
