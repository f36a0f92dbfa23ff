#pragma once

#include "engine/DivisionState.h"

namespace fenban {

// A new roster ends the division of the previous one: the class lists are
// emptied (their number stays), the statistics tables and the roster cleared.
void EndDivision(DivisionState& state);

// Gives FClasses exactly classCount lists: lists 1..min(old, new) keep their
// students, new lists start empty, lists beyond the count are dropped (their
// students keep their class number).
void ResizeClassLists(DivisionState& state, int classCount);

} // namespace fenban
