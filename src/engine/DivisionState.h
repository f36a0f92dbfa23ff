#pragma once

#include "roster/ExtraColumns.h"
#include "roster/RuleColumns.h"
#include "roster/Student.h"

#include <memory>
#include <vector>

namespace fenban {

// The roster, its division into classes and the statistics, as data.
// Lists hold pointers into Records; a record lives as long as its roster.
struct DivisionState {
    std::vector<std::unique_ptr<TStudent>> Records; // owns the current roster's students
    RosterRuleTexts RuleTexts; // the roster's rule columns, entry i for Records[i]
    RosterExtraTexts ExtraTexts; // the opened table's extra columns, entry i for Records[i]

    TStudentList FStudents; // the roster, in its current order
    TStudentList FGroupA, FGroupB; // gender groups of the last assignment
    std::vector<TStudentList> FClasses; // one list per class, index = class number - 1

    std::vector<TSubjectValues> FClassAvg; // per class, two decimals
    std::vector<TSubjectValues> FClassDev; // class average minus grade average
    TSubjectValues FGradeAvg {};
    TSubjectValues FDevSum {}; // per subject, sum of |deviation| over classes
};

} // namespace fenban
