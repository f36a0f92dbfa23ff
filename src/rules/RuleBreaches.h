#pragma once

#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"
#include "engine/RuleCheck.h"

#include <string>
#include <vector>

namespace fenban {

// One sentence naming the rule, the students and their classes, such as
// "不同班「甲」：张三（第3行）、李四（第5行）同在第2班。"
std::string DescribeRuleBreach(const RuleBreach& broken, const DivisionRules& rules, const DivisionState& state,
    const std::vector<int>& classOf, int classCount);

} // namespace fenban
