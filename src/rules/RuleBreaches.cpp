#include "rules/RuleBreaches.h"

#include "rules/RuleMessages.h"

#include <algorithm>
#include <map>
#include <unordered_map>

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

std::vector<int> Placed(const std::vector<int>& group, const std::vector<int>& classOf, int classCount)
{
    std::vector<int> placed;
    for (const int member : group)
        if (ClassOf(classOf, member, classCount) != 0)
            placed.push_back(member);
    return placed;
}

} // namespace

std::vector<int> ClassesOfRecords(const DivisionState& state)
{
    std::unordered_map<const TStudent*, std::size_t> index;
    index.reserve(state.Records.size());
    for (std::size_t r = 0; r < state.Records.size(); ++r)
        index.emplace(state.Records[r].get(), r);
    std::vector<int> classOf(state.Records.size(), 0);
    for (std::size_t c = 0; c < state.FClasses.size(); ++c)
        for (const TStudent* student : state.FClasses[c])
            if (const auto found = index.find(student); found != index.end())
                classOf[found->second] = static_cast<int>(c) + 1;
    return classOf;
}

std::vector<RuleBreach> FindRuleBreaches(const DivisionRules& rules, const std::vector<int>& classOf, int classCount)
{
    std::vector<RuleBreach> broken;
    for (std::size_t g = 0; g < rules.together.size(); ++g) {
        const std::vector<int> placed = Placed(rules.together[g], classOf, classCount);
        const bool split = std::any_of(placed.begin(), placed.end(), [&](int member) {
            return ClassOf(classOf, member, classCount) != ClassOf(classOf, placed.front(), classCount);
        });
        if (split)
            broken.push_back({RuleBreach::Kind::Together, static_cast<int>(g), placed});
    }
    for (std::size_t g = 0; g < rules.apart.size(); ++g) {
        std::map<int, std::vector<int>> byClass;
        for (const int member : Placed(rules.apart[g], classOf, classCount))
            byClass[ClassOf(classOf, member, classCount)].push_back(member);
        RuleBreach rule {RuleBreach::Kind::Apart, static_cast<int>(g), {}};
        for (const auto& [classNo, members] : byClass) {
            if (members.size() < 2)
                continue;
            if (rule.students.empty()) {
                rule.classNo = classNo;
                rule.count = static_cast<int>(members.size());
            }
            rule.students.insert(rule.students.end(), members.begin(), members.end());
        }
        if (!rule.students.empty()) {
            std::sort(rule.students.begin(), rule.students.end());
            broken.push_back(std::move(rule));
        }
    }
    for (std::size_t g = 0; g < rules.spread.size() && classCount >= 1; ++g) {
        const std::vector<int> placed = Placed(rules.spread[g], classOf, classCount);
        const auto k = static_cast<int>(placed.size());
        const int least = k / classCount;
        const int most = (k + classCount - 1) / classCount;
        std::vector<int> counts(static_cast<std::size_t>(classCount) + 1, 0);
        for (const int member : placed)
            ++counts[static_cast<std::size_t>(ClassOf(classOf, member, classCount))];
        for (int c = 1; c <= classCount; ++c) {
            const int count = counts[static_cast<std::size_t>(c)];
            if (count < least || count > most) {
                broken.push_back({RuleBreach::Kind::Spread, static_cast<int>(g), placed, c, count});
                break;
            }
        }
    }
    for (std::size_t f = 0; f < rules.fixed.size(); ++f) {
        const auto [record, wanted] = rules.fixed[f];
        const int actual = ClassOf(classOf, record, classCount);
        if (actual != 0 && actual != wanted)
            broken.push_back({RuleBreach::Kind::Fixed, static_cast<int>(f), {record}, actual});
    }
    return broken;
}

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
