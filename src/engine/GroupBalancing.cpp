#include "engine/GroupBalancing.h"

#include "engine/Division.h"
#include "engine/Statistics.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace fenban {

namespace {

// A group's classes as a division of their own: copies of their students
// (class numbers 1.. in the group's order), its own grade averages.
struct Part {
    DivisionState state;
    std::vector<int> local; // record index of the whole -> record index of the part, -1: not in it
    std::vector<std::size_t> whole; // record index of the part -> of the whole
    std::vector<int> classes; // the group's class indices
};

Part MakePart(const DivisionState& state, const std::vector<int>& classes)
{
    Part part;
    part.classes = classes;
    part.local.assign(state.Records.size(), -1);
    std::unordered_map<const TStudent*, std::size_t> index;
    index.reserve(state.Records.size());
    for (std::size_t i = 0; i < state.Records.size(); ++i)
        index.emplace(state.Records[i].get(), i);
    for (const int c : classes)
        for (const PStudent student : state.FClasses[static_cast<std::size_t>(c)])
            part.local[index.at(student)] = 0; // marked: numbered below in record order
    std::vector<PStudent> copyOf(state.Records.size(), nullptr);
    for (std::size_t i = 0; i < state.Records.size(); ++i) {
        if (part.local[i] < 0)
            continue;
        part.local[i] = static_cast<int>(part.whole.size());
        part.whole.push_back(i);
        part.state.Records.push_back(std::make_unique<TStudent>(*state.Records[i]));
        copyOf[i] = part.state.Records.back().get();
    }
    for (const PStudent student : state.FStudents)
        if (const std::size_t i = index.at(student); copyOf[i] != nullptr)
            part.state.FStudents.push_back(copyOf[i]);
    for (std::size_t j = 0; j < classes.size(); ++j) {
        TStudentList& list = part.state.FClasses.emplace_back();
        for (const PStudent student : state.FClasses[static_cast<std::size_t>(classes[j])]) {
            const PStudent copy = copyOf[index.at(student)];
            copy->ClassNo = static_cast<std::int32_t>(j) + 1;
            list.push_back(copy);
        }
    }
    for (const PStudent student : state.FGroupA)
        if (const PStudent copy = copyOf[index.at(student)])
            part.state.FGroupA.push_back(copy);
    for (const PStudent student : state.FGroupB)
        if (const PStudent copy = copyOf[index.at(student)])
            part.state.FGroupB.push_back(copy);
    for (int s = 0; s < SubjectCount; ++s)
        part.state.FGradeAvg[s] = SubjectAverage(part.state.FStudents, s);
    part.state.FClassAvg.assign(classes.size(), TSubjectValues {});
    part.state.FClassDev.assign(classes.size(), TSubjectValues {});
    ComputeClassStats(part.state);
    return part;
}

// The part's classes back into the whole: lists in the part's order, class numbers of the whole.
void TakeBack(DivisionState& state, const Part& part)
{
    std::unordered_map<const TStudent*, std::size_t> index;
    index.reserve(part.state.Records.size());
    for (std::size_t i = 0; i < part.state.Records.size(); ++i)
        index.emplace(part.state.Records[i].get(), i);
    for (std::size_t j = 0; j < part.classes.size(); ++j) {
        TStudentList& list = state.FClasses[static_cast<std::size_t>(part.classes[j])];
        list.clear();
        for (const PStudent copy : part.state.FClasses[j]) {
            const PStudent student = state.Records[part.whole[index.at(copy)]].get();
            student->ClassNo = part.classes[j] + 1;
            list.push_back(student);
        }
    }
}

std::vector<int> WholeIndices(const Part& part, const std::vector<int>& students)
{
    std::vector<int> out;
    for (const int i : students)
        out.push_back(i >= 0 && static_cast<std::size_t>(i) < part.whole.size()
                ? static_cast<int>(part.whole[static_cast<std::size_t>(i)])
                : i);
    return out;
}

} // namespace

DivisionState GroupPartOf(const DivisionState& state, const std::vector<int>& classes, std::vector<int>* records)
{
    Part part = MakePart(state, classes);
    if (records != nullptr)
        *records = std::move(part.local);
    return std::move(part.state);
}

OptimiseResult OptimiseInGroups(
    DivisionState& state, const ClassGroups& groups, const DivisionRules& rules, const OptimiseControl& control)
{
    const auto classCount = static_cast<int>(groups.groupOfClass.size());
    OptimiseResult result;
    if (!HasDivision(state, classCount))
        return result;
    ComputeClassStats(state);
    result.before = FiguresOf(state);
    std::size_t students = 0;
    for (const TStudentList& list : state.FClasses)
        students += list.size();
    const std::uint64_t effort = control.effort != 0 ? control.effort : DefaultOptimiseEffort(students, classCount);
    std::size_t done = 0; // students of the groups balanced so far, for the progress
    bool improved = false;
    for (const std::vector<int>& classes : groups.classes) {
        std::size_t size = 0;
        for (const int c : classes)
            size += state.FClasses[static_cast<std::size_t>(c)].size();
        if (classes.size() < 2 || size == 0) {
            done += size;
            continue;
        }
        Part part = MakePart(state, classes);
        OptimiseControl own = control;
        // The whole effort shared by the groups' sizes: with a set-up the search is no longer than without.
        own.effort = std::max<std::uint64_t>(1, effort * size / std::max<std::size_t>(students, 1));
        if (control.progress)
            own.progress = [&control, done, size, students](double fraction) {
                control.progress((static_cast<double>(done) + fraction * static_cast<double>(size))
                    / static_cast<double>(std::max<std::size_t>(students, 1)));
            };
        const OptimiseResult partResult = OptimiseDivision(
            part.state, static_cast<int>(classes.size()), RulesOfPart(rules, part.local, classes), own);
        done += size;
        result.steps += partResult.steps;
        result.brokenBefore += partResult.brokenBefore;
        result.cancelled = result.cancelled || partResult.cancelled;
        for (RuleConflict conflict : partResult.conflicts) {
            conflict.students = WholeIndices(part, conflict.students);
            result.conflicts.push_back(std::move(conflict));
        }
        if (partResult.outcome == OptimiseOutcome::Improved)
            improved = true;
        if (partResult.outcome == OptimiseOutcome::Improved || partResult.outcome == OptimiseOutcome::Unchanged)
            TakeBack(state, part);
        if (result.cancelled)
            break;
    }
    ComputeClassStats(state);
    result.after = FiguresOf(state);
    result.total = TotalDeviation(state.FDevSum);
    result.outcome = !result.conflicts.empty() ? OptimiseOutcome::RulesConflict
        : improved                             ? OptimiseOutcome::Improved
                                               : OptimiseOutcome::Unchanged;
    return result;
}

BalanceOutcome BalanceInGroups(
    DivisionState& state, const BalanceRequest& request, const ClassGroups& groups, const DivisionRules* rules)
{
    const PressTarget checked = ResolvePressTarget(state, request);
    if (checked.stop && *checked.stop != BalanceOutcome::SameClass)
        return *checked.stop;
    if (request.classCount != static_cast<int>(groups.groupOfClass.size()))
        return BalanceOutcome::NeedsDivision;
    std::vector<std::size_t> order;
    if (request.manual) {
        const int groupA = groups.groupOfClass[static_cast<std::size_t>(request.classA - 1)];
        const int groupB = groups.groupOfClass[static_cast<std::size_t>(request.classB - 1)];
        if (groupA != groupB)
            throw ClassSetupError(std::to_string(request.classA) + "班是"
                + groups.names[static_cast<std::size_t>(groupA)] + "，" + std::to_string(request.classB) + "班是"
                + groups.names[static_cast<std::size_t>(groupB)] + "：调整只在同一类班级之间交换学生。");
        if (checked.stop)
            return *checked.stop;
        order.push_back(static_cast<std::size_t>(groupA));
    } else {
        // The group with the largest deviation sum of its own first.
        std::vector<std::pair<long double, std::size_t>> sums;
        for (std::size_t g = 0; g < groups.classes.size(); ++g) {
            if (groups.classes[g].size() < 2)
                continue;
            const Part part = MakePart(state, groups.classes[g]);
            sums.emplace_back(TotalDeviation(part.state.FDevSum), g);
        }
        std::stable_sort(sums.begin(), sums.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        for (const auto& [sum, g] : sums)
            order.push_back(g);
    }
    for (const std::size_t g : order) {
        const std::vector<int>& classes = groups.classes[g];
        Part part = MakePart(state, classes);
        BalanceRequest own = request;
        own.classCount = static_cast<int>(classes.size());
        if (request.manual) {
            own.classA
                = static_cast<int>(std::find(classes.begin(), classes.end(), request.classA - 1) - classes.begin()) + 1;
            own.classB
                = static_cast<int>(std::find(classes.begin(), classes.end(), request.classB - 1) - classes.begin()) + 1;
        }
        DivisionRules partRules;
        if (rules != nullptr)
            partRules = RulesOfPart(*rules, part.local, classes);
        const BalanceOutcome outcome = Balance(part.state, own, rules != nullptr ? &partRules : nullptr);
        if (outcome == BalanceOutcome::Swapped) {
            TakeBack(state, part);
            ComputeClassStats(state);
            return outcome;
        }
        if (request.manual)
            return outcome;
    }
    return BalanceOutcome::NoCandidate;
}

} // namespace fenban
