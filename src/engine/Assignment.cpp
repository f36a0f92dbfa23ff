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
    DealSerpentine(list, classCount, nullptr);
}

void DealSerpentine(TStudentList& list, int classCount, std::vector<int>* room)
{
    int c = 1;
    int step = 1;
    for (const PStudent student : list) {
        if (student->IsHandPlaced())
            continue;
        for (;;) {
            if (c > classCount) {
                c = classCount;
                step = -1;
            } else if (c < 1) {
                c = 1;
                step = 1;
            }
            if (room == nullptr || (*room)[static_cast<std::size_t>(c - 1)] > 0)
                break;
            c += step; // a full class is passed over
        }
        student->ClassNo = c;
        if (room != nullptr)
            --(*room)[static_cast<std::size_t>(c - 1)];
        c += step;
    }
}

void SortByClassNo(TStudentList& students)
{
    std::stable_sort(
        students.begin(), students.end(), [](const PStudent a, const PStudent b) { return a->ClassNo < b->ClassNo; });
}

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

namespace {

// The places each class has left for the dealt students so that every class
// ends within one of the others' size: the smallest level the pinned students
// and the dealt ones reach, the first classes taking the odd students; a class
// its pinned students already fill takes none.
std::vector<int> EvenRoom(const DivisionState& state, std::size_t dealt)
{
    const auto roomAt = [&](std::size_t level) {
        std::size_t total = 0;
        for (const TStudentList& list : state.FClasses)
            total += list.size() < level ? level - list.size() : 0;
        return total;
    };
    std::size_t level = 0;
    while (roomAt(level) < dealt)
        ++level;
    std::size_t excess = roomAt(level) - dealt;
    std::vector<int> room(state.FClasses.size());
    for (std::size_t c = room.size(); c-- > 0;) {
        const std::size_t pinned = state.FClasses[c].size();
        std::size_t places = pinned < level ? level - pinned : 0;
        if (places > 0 && excess > 0) {
            --places;
            --excess;
        }
        room[c] = static_cast<int>(places);
    }
    return room;
}

} // namespace

bool AssignClasses(DivisionState& state, int classCount, bool evenSizes)
{
    TStudentList& roster = state.FStudents;
    if (roster.size() < 3 || classCount < 1)
        return false;

    for (const PStudent student : roster)
        if (student->IsHandPlaced() && (student->ClassNo < 1 || student->ClassNo > classCount))
            student->Mark = {};
    KeepHandPlacedMembers(state, classCount);

    std::vector<int> room;
    if (evenSizes)
        room = EvenRoom(state,
            static_cast<std::size_t>(std::count_if(
                roster.begin(), roster.end(), [](const PStudent student) { return !student->IsHandPlaced(); })));

    // Each run of one gender value is dealt on its own, from class 1: a third
    // value (a typo, an empty cell) must not mix the other two.
    SortByGender(roster);
    std::vector<TStudentList> runs;
    for (std::size_t i = 0; i < roster.size(); ++i) {
        if (i == 0 || !(roster[i]->Gender == roster[i - 1]->Gender))
            runs.emplace_back();
        runs.back().push_back(roster[i]);
    }
    const std::size_t boundary = runs.size() > 1 ? runs.front().size() : 0;
    const auto split = roster.begin() + static_cast<std::ptrdiff_t>(boundary);
    state.FGroupA.assign(roster.begin(), split);
    state.FGroupB.assign(split, roster.end());
    SortByScore(state.FGroupA, 0);
    SortByScore(state.FGroupB, 0);
    for (TStudentList& run : runs) {
        SortByScore(run, 0);
        DealSerpentine(run, classCount, evenSizes ? &room : nullptr);
    }

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
