#pragma once

#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"
#include "engine/RuleConflicts.h"

#include <string>
#include <vector>

namespace fenban {

// A student as the clerk finds it in the roster: "张三（第3行）", the name and
// the row of the pasted table (record i is row i + 1); "第3行的学生" without a name.
std::string StudentLabel(const DivisionState& state, int record);

// Several students: "张三（第3行）、李四（第5行）", at most `most` of them, then "等 9 人".
std::string StudentLabels(const DivisionState& state, const std::vector<int>& records, std::size_t most = 8);

// The rule column (and value) that puts all these students into one group of
// that kind: "同班「1」", "不同班「甲」", "均衡生源「实验小学」". Without such a
// column: "同班" for together groups, "姓名同音" for apart and spread groups
// (those come from sound-alike names).
std::string GroupLabel(const DivisionState& state, RuleColumnKind kind, const std::vector<int>& records);

// One conflict in a sentence that names the rule, the rows and the names.
std::string DescribeConflict(
    const RuleConflict& conflict, const DivisionRules& rules, const DivisionState& state, int classCount);

// The one message shown before anything moves: a heading, then the
// conflicts numbered, one a line (at most 12, then how many more).
std::string ConflictMessage(
    const std::vector<RuleConflict>& conflicts, const DivisionRules& rules, const DivisionState& state, int classCount);

} // namespace fenban
