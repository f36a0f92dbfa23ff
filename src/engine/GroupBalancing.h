#pragma once

#include "engine/Balancing.h"
#include "engine/ClassSetup.h"
#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"
#include "engine/Optimiser.h"

namespace fenban {

// 一键均衡 with a set-up: each group of two or more classes is balanced on its
// own (OptimiseDivision on a copy holding the group's classes and students,
// against the group's own averages, bands and top students, with the rules
// among its students); students never leave their group's classes. The
// state's statistics are then those of the whole grade. The figures and the
// outcome are the whole division's; steps, breaches and conflicts (record
// indices of the state) add up over the groups.
OptimiseResult OptimiseInGroups(
    DivisionState& state, const ClassGroups& groups, const DivisionRules& rules, const OptimiseControl& control);

// A group's classes (class indices, in this order, numbered 1..) as a
// division of their own: copies of their students, the group's own grade
// averages and class statistics. The report counts a group on it. `records`
// (when given) receives per record of the whole its index in the part, -1
// outside it, for RulesOfPart.
DivisionState GroupPartOf(
    const DivisionState& state, const std::vector<int>& classes, std::vector<int>* records = nullptr);

// 调整 with a set-up: the exchange is made within one group, against its own
// averages. With a chosen pair (manual) both classes must be of one group
// (ClassSetupError otherwise); without one, the groups are tried from the one
// with the largest deviation sum until one exchanges. Outcomes as Balance's.
BalanceOutcome BalanceInGroups(DivisionState& state, const BalanceRequest& request, const ClassGroups& groups,
    const DivisionRules* rules = nullptr);

} // namespace fenban
