#pragma once

#include "choice/ChoicePlan.h"
#include "engine/DivisionState.h"

#include <cstddef>
#include <string>
#include <vector>

namespace fenban {

// One teaching class of a walking subject: the students who walk to it.
struct TeachingClass {
    Elective subject = Elective::Physics;
    int number = 1; // 1.. within its subject
    std::vector<std::size_t> records; // indices into the roster's records, in list order
    friend bool operator==(const TeachingClass&, const TeachingClass&) = default;
};

// A grade divided within a plan: each record's combination and home class,
// the home classes' names and groups, and the teaching classes.
struct PlanDivision {
    ChoicePlan plan;
    std::vector<SubjectSet> combinations; // per record; 0: left out (its choice is not valid)
    std::vector<std::string> classNames; // per home class: 物化生1班, 物化2班…
    std::vector<std::size_t> classGroups; // per home class: its group in plan.groups
    std::vector<TeachingClass> teaching; // by subject in name order, then number
    friend bool operator==(const PlanDivision&, const PlanDivision&) = default;
};

// The home classes' names in plan order: the fixed subjects' short names and
// the number within the group (物化生1班, 物化生2班, 物化1班, 物1班).
std::vector<std::string> HomeClassNames(const ChoicePlan& plan);
// Per home class, its group in plan.groups.
std::vector<std::size_t> HomeClassGroups(const ChoicePlan& plan);
// 化学教学1班 … : the subject's name and the number.
std::string TeachingClassName(const TeachingClass& teaching);

// What a plan adds to the input fingerprint's text (docs/fingerprint.md): the
// model, limit and rooms, the plan's groups and each record's combination.
std::string ChoiceInputText(const PlanDivision& division);
// What it adds to the result's text: the teaching classes and their students.
std::string ChoiceResultText(const PlanDivision& division);

// Empty when the division holds: every student with a valid choice in one
// home class of a group whose fixed subjects it chose, each group's classes
// even within one student and none over the limit, every walking student
// once in a teaching class of each subject it walks for; otherwise the first fault.
std::string PlanDivisionFault(const DivisionState& state, const PlanDivision& division);

// The record's entries: "3+1+2，每班最多 50 人，21 个班，走班 250 人次：物化生 6 个班（定三，300 人）；…"
std::string PlanRecordText(const ChoicePlan& plan);

} // namespace fenban
