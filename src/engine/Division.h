#pragma once

#include "engine/DivisionState.h"

#include <vector>

namespace fenban {

// A deep copy: new records (rule and extra texts with them), the lists and
// the statistics pointing at and describing the copies.
DivisionState CopyOf(const DivisionState& state);

// A new roster ends the division of the previous one: the class lists are
// emptied (their number stays), the statistics tables and the roster cleared.
void EndDivision(DivisionState& state);

// Gives FClasses exactly classCount lists: lists 1..min(old, new) keep their
// students, new lists start empty, lists beyond the count are dropped (their
// students keep their class number).
void ResizeClassLists(DivisionState& state, int classCount);

// Moves the student at `position` of the listed list (the whole roster when
// shownClass is -1, else that class index) to the end of class list `target` and
// marks it as placed by hand. From the whole roster, the student leaves its
// old class's list only if it stands there. False, and nothing changes, when
// the position or a list does not exist or the student is in the target
// class already.
bool MoveStudentToClass(DivisionState& state, int shownClass, int position, int target);

// The class (1..N) of each record as the class lists hold it; 0 for a
// record that no list holds. The one lookup from a student to its class.
std::vector<int> ClassesOfRecords(const DivisionState& state);

} // namespace fenban
