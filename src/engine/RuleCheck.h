#pragma once

#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"

#include <vector>

namespace fenban {

enum class RuleKind { Together, Apart, Spread, Fixed };

// Why the rules cannot all hold in the division's classes. Students are
// indices into Records; rule is the index of the rule in its list of rules
// (together, apart, spread or fixed), -1 when several are involved.
struct RuleConflict {
    enum class Reason {
        ApartLargerThanClasses, // an apart group has more students than there are classes
        TogetherFixedApart, // a together group holds students fixed (or hand-placed) in different classes
        TogetherHoldsApartPair, // two students of a together group must also be apart
        TogetherTooLarge, // no class has room for the group's boys or girls beside its fixed students
        FixedOutOfRange, // a fixed class number outside 1..N, or a student not in the division
        FixedTwice, // one student fixed in two different classes
        FixedApartSameClass, // two students of an apart group fixed (or hand-placed) in one class
        FixedOverfull, // more students fixed in a class, of one gender, than the class holds
        TogetherBreaksSpread, // a together group holds more of a spread category than one class may
        SpreadFixedTooMany, // more students of a spread category fixed in one class than it may hold
        BadIndex, // a rule names a student outside the roster or not in any class
        Unresolved, // no division keeping every rule was found; students: those of the rules still broken
    };
    Reason reason;
    RuleKind kind; // the kind of the rule named by `rule`
    int rule = -1;
    std::vector<int> students;
};

// A rule the division breaks: which rule and the students that break it
// (a together group split over classes: all its students; apart: the ones
// sharing a class; spread: all the category's students; fixed: the student).
struct BrokenRule {
    RuleKind kind;
    int rule;
    std::vector<int> students;
};

// Rules that cannot all hold in the current classes (their sizes and gender
// counts; hand-placed students count as fixed where they stand); empty when
// a division keeping every rule may exist as far as these checks tell.
// Together groups sharing a student count as one, named by the first rule.
std::vector<RuleConflict> FindRuleConflicts(const DivisionState& state, int classCount, const DivisionRules& rules);

// The rules the division in FClasses breaks, in rule order: together, apart, spread, fixed.
std::vector<BrokenRule> FindBrokenRules(const DivisionState& state, int classCount, const DivisionRules& rules);

} // namespace fenban
