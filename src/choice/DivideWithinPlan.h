#pragma once

#include "audit/Fingerprint.h"
#include "choice/PlanDivision.h"
#include "document/Workbench.h"
#include "engine/DivisionState.h"
#include "engine/Optimiser.h"

#include <filesystem>
#include <optional>

namespace fenban {

// A grade divided within a plan: the grade with its home classes as the
// division (class k the plan's k-th home class; students left out in none),
// and what the plan adds.
struct DividedByChoice {
    DivisionState state;
    PlanDivision division;
    bool cancelled = false; // stopped by the control's cancel flag: nothing to keep
};

// Divides the grade within the plan. Each combination's students are shared
// among the groups that take them by rank of 总分 (each group a fair slice of
// the ranks); each group is divided by 编班 (dealing classes of even size, so
// none passes the limit) and balanced by 一键均衡 among its own classes
// (PrepareBalance, Optimise, CheckBalanced, ApplyOptimised; its rules without
// 固定: a class number means nothing within a group; hand placements of
// before do not count), against its own means; the walking students of each
// subject likewise into ceil(walkers / limit) teaching classes. `options`
// gives the sound-alike choice and the bands (its class count is not used);
// the control's seed serves every group. Progress is reported over the whole
// work. Throws DivisionInputError when the rules of a group conflict and
// PlanInputError for a plan whose counts do not match the choices.
DividedByChoice DivideWithinPlan(const DivisionState& grade, const std::vector<SubjectSet>& combinations,
    const ChoicePlan& plan, const DivisionOptions& options, const OptimiseControl& control);

// 选科分班's run (on any thread): DivideWithinPlan of the request with its seed.
DividedByChoice RunChoiceDivision(const ChoiceDivisionRequest& request, const OptimiseControl& control);

// A division file's check when its classes are a 选科分班's: the file's plan
// (none: a plain division file, checked as such), with the choices read again
// from the file's table under the plan's model; the check's input fingerprint
// and expected result then take the plan's sections. `recorded` and `redone`
// as ReadDivisionFileCheck filled them.
std::optional<PlanDivision> ReadChoiceCheck(const std::filesystem::path& file, const DivisionState& recorded,
    const DivisionState& redone, DivisionCheck& check);

// Redoes the division within the file's plan with the check's options and
// seed, as RedoDivision does a plain one; `redone` becomes the division redone.
void RedoChoiceDivision(DivisionState& redone, DivisionCheck& check, const PlanDivision& plan, OptimiseControl control,
    const DivisionState* recorded = nullptr);

} // namespace fenban
