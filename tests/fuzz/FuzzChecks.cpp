#include "FuzzChecks.h"

#include "engine/Balancing.h"
#include "engine/Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace fenban::fuzz {

void Broken(const std::string& what)
{
    std::fprintf(stderr, "INVARIANT BROKEN: %s\n", what.c_str());
    std::abort();
}

void CheckLists(const DivisionState& state, bool divided)
{
    std::unordered_set<const TStudent*> records;
    for (const auto& record : state.Records)
        records.insert(record.get());
    if (state.FStudents.size() != records.size())
        Broken("roster and records differ in size");
    std::unordered_set<const TStudent*> inRoster;
    for (const TStudent* student : state.FStudents)
        if (!records.contains(student) || !inRoster.insert(student).second)
            Broken("roster holds a foreign or repeated student");

    std::unordered_map<const TStudent*, std::size_t> listOf;
    for (std::size_t c = 0; c < state.FClasses.size(); ++c) {
        for (const TStudent* student : state.FClasses[c]) {
            if (!records.contains(student))
                Broken("class " + std::to_string(c + 1) + " holds a student of no roster");
            if (!listOf.emplace(student, c).second)
                Broken("a student stands in two class places");
            if (student->ClassNo != static_cast<int>(c) + 1)
                Broken(
                    "class " + std::to_string(c + 1) + " holds a student of class " + std::to_string(student->ClassNo));
        }
    }
    if (!divided)
        return;
    std::vector<std::size_t> counted(state.FClasses.size(), 0);
    for (const TStudent* student : state.FStudents) {
        if (!listOf.contains(student))
            Broken("a roster student stands in no class list");
        if (student->ClassNo < 1 || student->ClassNo > static_cast<int>(state.FClasses.size()))
            Broken("class number out of range after a division");
        ++counted[static_cast<std::size_t>(student->ClassNo - 1)];
    }
    for (std::size_t c = 0; c < counted.size(); ++c)
        if (counted[c] != state.FClasses[c].size())
            Broken("class list size differs from the count of its class number");
}

void CheckStatistics(const DivisionState& state)
{
    const std::size_t n = state.FClasses.size();
    if (state.FClassAvg.size() != n || state.FClassDev.size() != n)
        Broken("statistics tables do not match the class count");
    for (int s = 0; s < SubjectCount; ++s) {
        long double devSum = 0.0L;
        for (std::size_t c = 0; c < n; ++c) {
            const long double average = ClassAverage(state.FClasses[c], s);
            if (state.FClassAvg[c][s] != average)
                Broken("class average differs from its list, class " + std::to_string(c + 1));
            const long double deviation = Deviation(average, state.FGradeAvg[s]);
            if (state.FClassDev[c][s] != deviation)
                Broken("class deviation differs from its list");
            devSum += std::fabs(deviation);
        }
        if (state.FDevSum[s] != devSum)
            Broken("deviation sum differs from the class deviations");
    }
}

void CheckGradeAverages(const DivisionState& state)
{
    for (int s = 0; s < SubjectCount; ++s) {
        long double largest = 0.0L;
        for (const TStudent* student : state.FStudents)
            largest = std::max(largest, std::fabs(student->Scores[s]));
        if (largest > 1e6L)
            continue; // the order of the sums may matter beyond a hundredth
        const long double fresh = SubjectAverage(state.FStudents, s);
        if (std::fabs(fresh - state.FGradeAvg[s]) > 0.0101L)
            Broken("grade average differs from the roster in subject " + std::to_string(s));
    }
}

void CheckDealing(const DivisionState& state)
{
    const std::size_t n = state.FClasses.size();
    // 固定 students make the dealing pass over full classes: even sizes, not each gender.
    const bool fixed = !state.RuleTexts.empty()
        && std::any_of(state.FStudents.begin(), state.FStudents.end(),
            [](const TStudent* student) { return student->IsHandPlaced(); });
    if (fixed)
        return;
    // Each gender text is dealt on its own.
    std::map<std::string, std::vector<std::size_t>> counts;
    for (const TStudent* student : state.FStudents) {
        if (student->IsHandPlaced())
            continue;
        std::vector<std::size_t>& perClass = counts[std::string(student->Gender.view())];
        perClass.resize(n, 0);
        ++perClass[static_cast<std::size_t>(student->ClassNo - 1)];
    }
    for (const auto& [gender, perClass] : counts) {
        const auto [low, high] = std::minmax_element(perClass.begin(), perClass.end());
        if (*high - *low > 1)
            Broken("a gender group is dealt unevenly");
    }
}

bool CheckExchange(const ListsSnapshot& before, const DivisionState& after)
{
    if (before.size() != after.FClasses.size())
        Broken("balancing changed the class count");
    std::vector<std::pair<std::size_t, std::size_t>> changed; // (class, slot)
    for (std::size_t c = 0; c < before.size(); ++c) {
        if (before[c].size() != after.FClasses[c].size())
            Broken("balancing changed a class size");
        for (std::size_t k = 0; k < before[c].size(); ++k)
            if (before[c][k] != after.FClasses[c][k])
                changed.emplace_back(c, k);
    }
    if (changed.empty())
        return false;
    if (changed.size() != 2 || changed[0].first == changed[1].first)
        Broken("balancing changed more than one pair");
    const TStudent* a = before[changed[0].first][changed[0].second];
    const TStudent* b = before[changed[1].first][changed[1].second];
    if (after.FClasses[changed[0].first][changed[0].second] != b
        || after.FClasses[changed[1].first][changed[1].second] != a)
        Broken("balancing did not exchange the two students");
    if (!(a->Gender == b->Gender))
        Broken("balancing exchanged students of different gender");
    if (a->IsHandPlacedForBalancing() || b->IsHandPlacedForBalancing())
        Broken("balancing moved a student placed by hand");
    return true;
}

void CheckMove(const ListsSnapshot& before, const DivisionState& after, int target)
{
    if (target < 0 || target >= static_cast<int>(after.FClasses.size()) || before.size() != after.FClasses.size())
        Broken("a hand move changed the lists of no class");
    const TStudentList& into = after.FClasses[static_cast<std::size_t>(target)];
    const TStudentList& was = before[static_cast<std::size_t>(target)];
    if (into.size() != was.size() + 1 || !std::equal(was.begin(), was.end(), into.begin()))
        Broken("a hand move did not append to the target list");
    const TStudent* moved = into.back();
    if (moved->ClassNo != target + 1 || !moved->IsHandPlaced())
        Broken("a hand move did not number and mark its student");
    int left = 0;
    for (std::size_t c = 0; c < before.size(); ++c) {
        if (static_cast<int>(c) == target)
            continue;
        TStudentList expected = before[c];
        if (const auto at = std::find(expected.begin(), expected.end(), moved); at != expected.end()) {
            expected.erase(at);
            ++left;
        }
        if (expected != after.FClasses[c])
            Broken("a hand move changed another list than the student's");
    }
    if (left > 1)
        Broken("a hand moved student stood in two lists");
}

} // namespace fenban::fuzz
