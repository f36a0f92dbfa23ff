#pragma once

#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"

#include <string>
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
    int classNo
        = 0; // apart: the first shared class; spread: the first class with too many or too few; fixed: where it is
    int count = 0; // apart and spread: the group's students in classNo
};

// The class (1..N) of each record as the class lists hold it; 0 for a
// record that no list holds.
std::vector<int> ClassesOfRecords(const DivisionState& state);

// Every rule of `rules` that the division `classOf` (a class 1..classCount
// per record, 0 for none) does not keep, in the order together, apart,
// spread, fixed. Students without a class in 1..classCount are left out of
// every rule: a spread group of k placed students needs ⌊k/N⌋ or ⌈k/N⌉ of
// them in each class.
std::vector<RuleBreach> FindRuleBreaches(const DivisionRules& rules, const std::vector<int>& classOf, int classCount);

// One sentence naming the rule, the students and their classes, such as
// "不同班「甲」：张三（第3行）、李四（第5行）同在第2班。"
std::string DescribeRuleBreach(const RuleBreach& broken, const DivisionRules& rules, const DivisionState& state,
    const std::vector<int>& classOf, int classCount);

} // namespace fenban
