#pragma once

#include "engine/Division.h"
#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"
#include "engine/RuleConflicts.h"

#include <vector>

namespace fenban {

// A rule that a division does not keep.
struct RuleBreach {
    enum class Kind { Together, Apart, Spread, Fixed };
    Kind kind;
    int group; // index into the DivisionRules list of that kind (fixed: into `fixed`)
    // Together and spread: the group's placed students; apart: those sharing a
    // class with another of the group; fixed: the student.
    std::vector<int> students;
    // apart: the first shared class; spread: the first class with too many or too few; fixed: where it is
    int classNo = 0;
    int count = 0; // apart and spread: the group's students in classNo
};

// Every rule of `rules` that the division `classOf` (a class 1..classCount
// per record, 0 for none) does not keep, in the order together, apart,
// spread, fixed. Students without a class in 1..classCount are left out of
// every rule: a spread group of k placed students needs ⌊k/N⌋ or ⌈k/N⌉ of
// them in each class.
std::vector<RuleBreach> FindRuleBreaches(const DivisionRules& rules, const std::vector<int>& classOf, int classCount);

// Rules that cannot all hold in the current classes (their sizes and gender
// counts; hand-placed students count as fixed where they stand); empty when
// a division keeping every rule may exist as far as these checks tell.
// Together groups sharing a student count as one. Students in no class list
// are left out; a rule naming an index outside Records is a programming
// error (std::invalid_argument). Never yields Kind::Unresolved: that one
// comes from the search.
std::vector<RuleConflict> FindRuleConflicts(const DivisionState& state, int classCount, const DivisionRules& rules);

} // namespace fenban
