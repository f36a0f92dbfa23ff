#pragma once

#include "choice/Choices.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fenban {

// How many students chose each combination, in CombinationName order.
using CombinationCounts = std::vector<std::pair<SubjectSet, int>>;
CombinationCounts CountCombinations(const StudentChoices& choices);

// The classes of one kind in a plan: the subjects they teach in their own
// room (all three: 定三; the first choice and one more: 定二走一; the first
// choice alone: 定一走二), how many classes there are, and how many students
// of each combination they take. Every member holds the fixed subjects and
// walks to a teaching class for each of its others.
struct PlanGroup {
    SubjectSet fixed = 0;
    int classes = 1;
    CombinationCounts members;

    int size() const;
    int walkingPairs() const; // (student, subject) pairs: one per subject a member walks for
    SubjectSet walkingSubjects() const;
    int largestClass() const; // ceil(size / classes)
    int smallestClass() const; // floor(size / classes)
    std::string kindName() const; // 定三, 定二走一, 定一走二
    std::string name() const; // 物化生, or 物化+ for classes fixed in 物理 and 化学
    friend bool operator==(const PlanGroup&, const PlanGroup&) = default;
};

// What the office asks of a plan.
struct PlanRequest {
    ChoiceModel model = ChoiceModel::FirstThenTwo;
    CombinationCounts counts;
    int limit = 50; // most students in a class, and in a teaching class
    int rooms = 0; // classes; 0: the fewest the limit allows
    friend bool operator==(const PlanRequest&, const PlanRequest&) = default;
};

// The solver's work limits: simplex iterations and branch-and-bound nodes per
// solve, never time, so the same request gives the same plan everywhere.
struct PlanBudget {
    int iterations = 200000;
    int nodes = 20000;
};

// A plan: groups in plan order (物理 groups first, 定三 before 定二走一 before
// 定一走二). Home classes are numbered through the groups in this order.
struct ChoicePlan {
    PlanRequest request;
    std::vector<PlanGroup> groups;
    bool proved = true; // each stage solved to its optimum within the budget
    std::string note; // said when a work limit was reached: the best plan found is kept
    // The home classes' names in plan order where the class set-up gives them;
    // empty (or an empty name): 物化生1班….
    std::vector<std::string> names;

    int classCount() const;
    int walkingPairs() const;
    int sizeSpread() const; // largest class minus smallest
    friend bool operator==(const ChoicePlan&, const ChoicePlan&) = default;
};

// Per walking subject: the students who walk for it and their teaching classes.
struct WalkingSubject {
    Elective subject;
    int students = 0;
    int teachingClasses = 0; // ceil(students / limit)
};
std::vector<WalkingSubject> WalkingSubjects(const ChoicePlan& plan);

// A plan that cannot be made: too few rooms for the limit, a limit out of
// range, more rooms than students. The message is Chinese sentences.
class PlanInputError : public Failure {
public:
    using Failure::Failure;
};

// The fewest classes that hold every student with classes of at most `limit`.
int FewestRooms(const PlanRequest& request, const PlanBudget& budget = {});

// The plan minimising, with exactly `rooms` classes of at most `limit`, first
// the walking pairs and then the spread of class sizes (the sum over groups of
// |rooms × size − students × classes|). Throws PlanInputError before solving
// when the limit or the rooms cannot hold the students.
ChoicePlan MakeChoicePlan(const PlanRequest& request, const PlanBudget& budget = {});

// What is wrong with a plan as edited (a class over the limit, more classes
// than rooms, a group without students…), in Chinese; empty when it holds.
std::vector<std::string> PlanProblems(const ChoicePlan& plan);

// Edits of a plan: `count` students of `combination` moved from group `from`
// to the group of classes fixed in `toFixed` (made when there is none; the combination must hold those subjects; a
// group left empty goes), and a group's class count. Throw PlanInputError for an edit that cannot be made.
void MoveCombination(ChoicePlan& plan, std::size_t from, SubjectSet toFixed, SubjectSet combination, int count);
void SetGroupClasses(ChoicePlan& plan, std::size_t group, int classes);

// Plan order of groups (see ChoicePlan).
void SortGroups(std::vector<PlanGroup>& groups);

} // namespace fenban
