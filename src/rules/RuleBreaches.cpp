#include "rules/RuleBreaches.h"

#include "rules/RuleMessages.h"

#include <algorithm>
#include <map>

namespace fenban {

namespace {

std::string Num(long long value)
{
    return std::to_string(value);
}

int ClassOf(const std::vector<int>& classOf, int record, int classCount)
{
    const int c = record >= 0 && static_cast<std::size_t>(record) < classOf.size()
        ? classOf[static_cast<std::size_t>(record)]
        : 0;
    return c >= 1 && c <= classCount ? c : 0;
}

} // namespace

std::string DescribeRuleBreach(const RuleBreach& broken, const DivisionRules& rules, const DivisionState& state,
    const std::vector<int>& classOf, int classCount)
{
    const std::vector<int>& students = broken.students;
    switch (broken.kind) {
    case RuleBreach::Kind::Together: {
        std::map<int, std::vector<int>> byClass;
        for (const int member : students)
            byClass[ClassOf(classOf, member, classCount)].push_back(member);
        std::string where;
        for (const auto& [classNo, members] : byClass)
            where += (where.empty() ? "" : "，") + StudentLabels(state, members) + "在第" + Num(classNo) + "班";
        return GroupLabel(state, RuleColumnKind::Together, students) + "：" + where + "。";
    }
    case RuleBreach::Kind::Apart: {
        const std::vector<int>& group = rules.apart[static_cast<std::size_t>(broken.group)];
        std::vector<int> shared;
        for (const int member : students)
            if (ClassOf(classOf, member, classCount) == broken.classNo)
                shared.push_back(member);
        return GroupLabel(state, RuleColumnKind::Apart, group) + "：" + StudentLabels(state, shared) + "同在第"
            + Num(broken.classNo) + "班。";
    }
    case RuleBreach::Kind::Spread: {
        const std::vector<int>& group = rules.spread[static_cast<std::size_t>(broken.group)];
        const auto k = static_cast<long long>(students.size());
        const long long least = k / std::max(classCount, 1);
        const long long most = (k + std::max(classCount, 1) - 1) / std::max(classCount, 1);
        const std::string share = least == most ? Num(least) : Num(least) + " 或 " + Num(most);
        return GroupLabel(state, RuleColumnKind::Spread, group) + "：共 " + Num(k) + " 人，每班应有 " + share
            + " 人，第" + Num(broken.classNo) + "班有 " + Num(broken.count) + " 人。";
    }
    case RuleBreach::Kind::Fixed: {
        const int wanted = rules.fixed[static_cast<std::size_t>(broken.group)].second;
        return "固定：" + StudentLabel(state, students.front()) + "应在第" + Num(wanted) + "班，现在第"
            + Num(broken.classNo) + "班。";
    }
    }
    return {};
}

} // namespace fenban
