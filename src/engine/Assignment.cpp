#include "engine/Assignment.h"

#include "engine/Statistics.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>

namespace fenban {

void SortByGender(TStudentList& students)
{
    std::stable_sort(
        students.begin(), students.end(), [](const PStudent a, const PStudent b) { return a->Gender < b->Gender; });
}

void SortByScore(TStudentList& list, int subject)
{
    std::stable_sort(list.begin(), list.end(),
        [subject](const PStudent a, const PStudent b) { return a->Scores[subject] > b->Scores[subject]; });
}

void DealSerpentine(TStudentList& list, int classCount)
{
    int c = 1;
    int step = 1;
    for (const PStudent student : list) {
        if (student->IsHandPlaced())
            continue;
        if (c > classCount) {
            c = classCount;
            step = -1;
        } else if (c < 1) {
            c = 1;
            step = 1;
        }
        student->ClassNo = c;
        c += step;
    }
}

void SortByClassNo(TStudentList& students)
{
    std::stable_sort(
        students.begin(), students.end(), [](const PStudent a, const PStudent b) { return a->ClassNo < b->ClassNo; });
}

namespace {

// Leaves in each class list only its hand-placed members, each once: first
// those already there in list order, then the others in roster order.
void KeepHandPlacedMembers(DivisionState& state, int classCount)
{
    state.FClasses.resize(static_cast<std::size_t>(classCount));
    std::unordered_map<PStudent, bool> listed; // hand-placed roster member -> already kept
    for (const PStudent student : state.FStudents)
        if (student->IsHandPlaced())
            listed.emplace(student, false);

    for (std::size_t c = 0; c < state.FClasses.size(); ++c) {
        TStudentList& list = state.FClasses[c];
        const auto kept = std::remove_if(list.begin(), list.end(), [&](const PStudent student) {
            const auto it = listed.find(student);
            if (it == listed.end() || it->second || student->ClassNo != static_cast<int>(c) + 1)
                return true;
            it->second = true;
            return false;
        });
        list.erase(kept, list.end());
    }
    for (const PStudent student : state.FStudents) {
        const auto it = listed.find(student);
        if (it != listed.end() && !it->second) {
            it->second = true;
            state.FClasses[student->ClassNo - 1].push_back(student);
        }
    }
}

} // namespace

bool AssignClasses(DivisionState& state, int classCount)
{
    TStudentList& roster = state.FStudents;
    if (roster.size() < 3 || classCount < 1)
        return false;

    for (const PStudent student : roster)
        if (student->IsHandPlaced() && (student->ClassNo < 1 || student->ClassNo > classCount))
            student->Mark = {};
    KeepHandPlacedMembers(state, classCount);

    SortByGender(roster);
    std::size_t boundary = 0;
    for (std::size_t i = 1; i < roster.size() && boundary == 0; ++i)
        if (!(roster[i]->Gender == roster[i - 1]->Gender))
            boundary = i;
    const auto split = roster.begin() + static_cast<std::ptrdiff_t>(boundary);
    state.FGroupA.assign(roster.begin(), split);
    state.FGroupB.assign(split, roster.end());
    SortByScore(state.FGroupA, 0);
    DealSerpentine(state.FGroupA, classCount);
    SortByScore(state.FGroupB, 0);
    DealSerpentine(state.FGroupB, classCount);

    for (int s = 0; s < SubjectCount; ++s)
        state.FGradeAvg[s] = SubjectAverage(roster, s);

    SortByClassNo(roster);
    for (const PStudent student : roster)
        if (!student->IsHandPlaced())
            state.FClasses[student->ClassNo - 1].push_back(student);

    state.FClassAvg.assign(static_cast<std::size_t>(classCount), TSubjectValues {});
    state.FClassDev.assign(static_cast<std::size_t>(classCount), TSubjectValues {});
    ComputeClassStats(state);
    return true;
}

} // namespace fenban
