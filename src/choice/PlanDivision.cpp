#include "choice/PlanDivision.h"

#include "engine/Division.h"

#include <algorithm>
#include <numeric>

namespace fenban {

std::vector<std::string> HomeClassNames(const ChoicePlan& plan)
{
    std::vector<std::string> names;
    for (const PlanGroup& group : plan.groups)
        for (int k = 1; k <= group.classes; ++k) {
            const std::size_t at = names.size();
            names.push_back(at < plan.names.size() && !plan.names[at].empty()
                    ? plan.names[at]
                    : group.name() + std::to_string(k) + "班");
        }
    return names;
}

std::vector<std::size_t> HomeClassGroups(const ChoicePlan& plan)
{
    std::vector<std::size_t> groups;
    for (std::size_t g = 0; g < plan.groups.size(); ++g)
        groups.insert(groups.end(), static_cast<std::size_t>(plan.groups[g].classes), g);
    return groups;
}

std::string TeachingClassName(const TeachingClass& teaching)
{
    return std::string(ElectiveName(teaching.subject)) + "教学" + std::to_string(teaching.number) + "班";
}

std::string ChoiceInputText(const PlanDivision& division)
{
    const ChoicePlan& plan = division.plan;
    std::string text = "choice\t1\n";
    text += "model\t" + std::string(ChoiceModelName(plan.request.model)) + "\n";
    text += "limit\t" + std::to_string(plan.request.limit) + "\n";
    text += "rooms\t" + std::to_string(plan.request.rooms) + "\n";
    text += "groups\t" + std::to_string(plan.groups.size()) + "\n";
    for (const PlanGroup& group : plan.groups) {
        text += CombinationName(group.fixed) + "\t" + std::to_string(group.classes);
        for (const auto& [combination, count] : group.members)
            text += "\t" + CombinationName(combination) + "\t" + std::to_string(count);
        text += "\n";
    }
    if (!plan.names.empty()) { // names from a class set-up
        text += "names\t" + std::to_string(plan.names.size());
        for (const std::string& name : plan.names)
            text += "\t" + name;
        text += "\n";
    }
    text += "choices\t" + std::to_string(division.combinations.size()) + "\n";
    for (const SubjectSet combination : division.combinations)
        text += CombinationName(combination) + "\n";
    return text;
}

std::string ChoiceResultText(const PlanDivision& division)
{
    std::string text = "teaching\t" + std::to_string(division.teaching.size()) + "\n";
    for (const TeachingClass& teaching : division.teaching) {
        text += std::string(ElectiveShort(teaching.subject)) + "\t" + std::to_string(teaching.number);
        for (const std::size_t record : teaching.records)
            text += "\t" + std::to_string(record + 1);
        text += "\n";
    }
    return text;
}

std::string PlanRecordText(const ChoicePlan& plan)
{
    std::string text = std::string(ChoiceModelName(plan.request.model)) + "，每班最多 "
        + std::to_string(plan.request.limit) + " 人，" + std::to_string(plan.classCount()) + " 个班，走班 "
        + std::to_string(plan.walkingPairs()) + " 人次：";
    for (std::size_t g = 0; g < plan.groups.size(); ++g) {
        const PlanGroup& group = plan.groups[g];
        text += (g == 0 ? "" : "；") + group.name() + " " + std::to_string(group.classes) + " 个班（" + group.kindName()
            + "，" + std::to_string(group.size()) + " 人）";
    }
    return text;
}

std::string PlanDivisionFault(const DivisionState& state, const PlanDivision& division)
{
    const ChoicePlan& plan = division.plan;
    const std::vector<int> classes = ClassesOfRecords(state);
    if (state.FClasses.size() != division.classNames.size())
        return "home classes: " + std::to_string(state.FClasses.size());
    std::vector<int> sizes(state.FClasses.size(), 0);
    for (std::size_t i = 0; i < state.Records.size(); ++i) {
        const SubjectSet combination = i < division.combinations.size() ? division.combinations[i] : 0;
        if (combination == 0) {
            if (classes[i] != 0)
                return "record " + std::to_string(i) + " is placed without a valid choice";
            continue;
        }
        if (classes[i] == 0)
            return "record " + std::to_string(i) + " has no home class";
        const PlanGroup& group = plan.groups[division.classGroups[static_cast<std::size_t>(classes[i] - 1)]];
        if ((combination & group.fixed) != group.fixed)
            return "record " + std::to_string(i) + " lacks the fixed subjects of " + group.name();
        ++sizes[static_cast<std::size_t>(classes[i] - 1)];
        // Once in a teaching class of every subject it walks for, and in no other.
        for (const Elective subject : SubjectsOf(static_cast<SubjectSet>((1u << ElectiveCount) - 1))) {
            const bool walks = (combination & ~group.fixed & Bit(subject)) != 0;
            int seen = 0;
            for (const TeachingClass& teaching : division.teaching)
                if (teaching.subject == subject)
                    seen += static_cast<int>(std::count(teaching.records.begin(), teaching.records.end(), i));
            if (seen != (walks ? 1 : 0))
                return "record " + std::to_string(i) + " is " + std::to_string(seen) + " times in teaching classes of "
                    + std::string(ElectiveName(subject));
        }
    }
    std::size_t first = 0;
    for (const PlanGroup& group : plan.groups) {
        const auto begin = sizes.begin() + static_cast<std::ptrdiff_t>(first);
        const auto end = begin + group.classes;
        if (std::accumulate(begin, end, 0) != group.size())
            return group.name() + " holds another number of students than planned";
        if (*std::max_element(begin, end) > plan.request.limit)
            return group.name() + " has a class over the limit";
        first += static_cast<std::size_t>(group.classes);
    }
    for (const TeachingClass& teaching : division.teaching)
        if (static_cast<int>(teaching.records.size()) > plan.request.limit || teaching.records.empty())
            return TeachingClassName(teaching) + " holds " + std::to_string(teaching.records.size());
    return {};
}

} // namespace fenban
