#include "engine/Division.h"

#include <algorithm>
#include <unordered_map>

namespace fenban {

DivisionState CopyOf(const DivisionState& state)
{
    DivisionState copy;
    std::unordered_map<const TStudent*, PStudent> to;
    to.reserve(state.Records.size());
    copy.Records.reserve(state.Records.size());
    for (const auto& record : state.Records) {
        copy.Records.push_back(std::make_unique<TStudent>(*record));
        to.emplace(record.get(), copy.Records.back().get());
    }
    const auto map = [&to](const TStudentList& list) {
        TStudentList mapped;
        mapped.reserve(list.size());
        for (const PStudent student : list)
            mapped.push_back(to.at(student));
        return mapped;
    };
    copy.RuleTexts = state.RuleTexts;
    copy.ExtraTexts = state.ExtraTexts;
    copy.FStudents = map(state.FStudents);
    copy.FGroupA = map(state.FGroupA);
    copy.FGroupB = map(state.FGroupB);
    for (const TStudentList& list : state.FClasses)
        copy.FClasses.push_back(map(list));
    copy.FClassAvg = state.FClassAvg;
    copy.FClassDev = state.FClassDev;
    copy.FGradeAvg = state.FGradeAvg;
    copy.FDevSum = state.FDevSum;
    return copy;
}

void EndDivision(DivisionState& state)
{
    for (TStudentList& list : state.FClasses)
        list.clear();
    state.FGroupA.clear();
    state.FGroupB.clear();
    state.FClassAvg.clear();
    state.FClassDev.clear();
    state.FStudents.clear();
    state.Records.clear();
    state.RuleTexts = {};
    state.ExtraTexts = {};
}

void ResizeClassLists(DivisionState& state, int classCount)
{
    state.FClasses.resize(static_cast<std::size_t>(std::max(classCount, 0)));
}

bool MoveStudentToClass(DivisionState& state, int shownClass, int position, int target)
{
    const auto classCount = static_cast<int>(state.FClasses.size());
    if (target < 0 || target >= classCount || position < 0)
        return false;
    const auto at = static_cast<std::size_t>(position);
    PStudent student = nullptr;
    if (shownClass == -1) {
        if (at >= state.FStudents.size())
            return false;
        student = state.FStudents[at];
        const int old = student->ClassNo - 1;
        if (old == target)
            return false;
        if (old >= 0 && old < classCount) {
            TStudentList& oldList = state.FClasses[static_cast<std::size_t>(old)];
            if (const auto found = std::find(oldList.begin(), oldList.end(), student); found != oldList.end())
                oldList.erase(found);
        }
    } else {
        if (shownClass < 0 || shownClass >= classCount || shownClass == target)
            return false;
        TStudentList& shown = state.FClasses[static_cast<std::size_t>(shownClass)];
        if (at >= shown.size())
            return false;
        student = shown[at];
        shown.erase(shown.begin() + position);
    }
    state.FClasses[static_cast<std::size_t>(target)].push_back(student);
    student->ClassNo = target + 1;
    student->Mark = ShortString<3>(HandPlacedMark);
    return true;
}

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

} // namespace fenban
