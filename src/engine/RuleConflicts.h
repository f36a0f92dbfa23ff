#pragma once

#include <vector>

namespace fenban {

// Why the school rules cannot all hold at once. Students are indices into
// DivisionState::Records; "pinned" students are those placed by 固定 or by
// hand, whose class nothing may change.
struct RuleConflict {
    enum class Kind {
        // students: an apart group with more students than classes; detail: the class count
        ApartExceedsClasses,
        // students: two pinned members of one together group, pinned to different classes
        TogetherPinnedApart,
        // students: two members of one together group that must also be in different classes
        TogetherAndApart,
        // students: two members of one apart group pinned to the same class; detail: that class
        PinnedApart,
        // students: a together group that no class can take with its size and its boys and girls
        TogetherTooLarge,
        // students: members of one together group in one spread group, more than a class may hold
        // of it; detail: the spread group's index in DivisionRules::spread
        TogetherExceedsSpread,
        // students: pinned members of one spread group in one class, more than a class may hold of
        // it; detail: the spread group's index in DivisionRules::spread
        SpreadPinned,
        // students: a student whose 固定 class lies outside 1..N; detail: that class
        FixedOutOfRange,
        // students: a student fixed in two different classes (both in DivisionRules::fixed)
        FixedTwice,
        // students: the pinned students of one gender in one class, more than the class has of that
        // gender; detail: the class
        FixedOverfull,
        // students: those of the rules still broken when no division keeping every rule was found
        Unresolved,
    };
    Kind kind;
    std::vector<int> students;
    int detail = 0;
};

} // namespace fenban
