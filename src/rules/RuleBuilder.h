#pragma once

#include "common/Failure.h"
#include "engine/ClassSetup.h"
#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace fenban {

// A 固定 value that names no class: no whole number, or outside 1..N.
class RuleValueError : public Failure {
public:
    using Failure::Failure;
};

// The number a 固定 text gives: a whole number with an optional sign, in
// ASCII or full-width digits, optionally written 第3班 or 3班 or with zeros
// after a decimal point (3.0). None for any other text; blanks at either end
// are ignored, as for every rule text.
std::optional<long long> FixedClassNumber(std::string_view text);

// The 固定 values of the roster: (record index, class number) in record
// order. Throws RuleValueError naming every student whose value is no whole
// number or lies outside 1..classCount, or whose 固定 columns disagree.
std::vector<std::pair<int, int>> ReadFixedClasses(const DivisionState& state, int classCount);

// The rules of the roster's rule columns for a division into classCount
// classes. Texts are compared once trimmed (TrimRuleText), exactly otherwise;
// empty texts make no rule and groups of one are dropped. Groups come column
// by column, each in record order, a column's groups ordered by their first
// student; sound-alike groups come last.
// With soundAlike, names that read the same (SoundAlikeGroups) must be apart
// too, except where a 同班 rule keeps some of them together: such students
// count once. A sound-alike group larger than the class count is spread
// instead. Throws what ReadFixedClasses throws.
DivisionRules BuildDivisionRules(const DivisionState& state, int classCount, bool soundAlike);

// 编班 with the roster's 固定 values: each such student is placed in its class
// as a hand-placed student is (class number set, marked "F"), and the
// assignment deals around them. Does what AssignClasses does when the roster
// has no rule columns. False, and nothing changes, with fewer than 3
// students or a class count below 1; a bad 固定 value throws before anything changes.
bool AssignClassesWithRules(DivisionState& state, int classCount);
// The same by a 班级设置's plan (AssignBySetup around the 固定 students).
bool AssignClassesWithRules(DivisionState& state, const SetupPlan& plan);

} // namespace fenban
