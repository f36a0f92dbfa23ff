#pragma once

#include "engine/DivisionState.h"

#include <string>
#include <vector>

namespace fenban::fuzz {

// Stops the run with a report: the fuzzer records the input as a crash.
[[noreturn]] void Broken(const std::string& what);

// Class lists against the roster: every list member is a roster record,
// stands in one list at most and carries that list's number. With
// `divided`, every roster student stands in exactly one list of 1..N.
void CheckLists(const DivisionState& state, bool divided);

// The statistics tables equal a fresh computation from the class lists.
void CheckStatistics(const DivisionState& state);

// Grade averages against the roster, allowing for the order of the sums.
void CheckGradeAverages(const DivisionState& state);

// A fresh division: of each gender text, the students dealt (not placed by
// hand) are spread over the classes with counts at most one apart (not
// checked around 固定 students, where the class sizes are evened instead).
void CheckDealing(const DivisionState& state);

using ListsSnapshot = std::vector<TStudentList>;

// A balancing press changes nothing, or exchanges exactly two movable
// students of one gender between two classes. True when it exchanged.
bool CheckExchange(const ListsSnapshot& before, const DivisionState& after);

// A hand move that changed the lists took one student out of at most one
// list, put it at the end of the target list, numbered and marked it.
void CheckMove(const ListsSnapshot& before, const DivisionState& after, int target);

} // namespace fenban::fuzz
