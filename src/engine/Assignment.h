#pragma once

#include "engine/DivisionState.h"

namespace fenban {

// Stable sort by Gender, ascending (unsigned bytes, shorter text first).
void SortByGender(TStudentList& students);

// Stable sort by Scores[subject], best first (compared in extended precision).
void SortByScore(TStudentList& list, int subject);

// Deals class numbers 1..classCount in serpentine order (1, 2, .., N, N, .., 1,
// 1, 2, ..) to the students that are not hand-placed, in list order.
void DealSerpentine(TStudentList& list, int classCount);

// Stable sort by ClassNo, ascending.
void SortByClassNo(TStudentList& students);

// The assignment: divides the roster into classCount classes and computes
// the grade averages and class statistics. Hand-placed students keep their
// class when it lies within 1..classCount, otherwise they lose the mark and
// are dealt. False (and nothing changes) with fewer than 3 students or a
// class count below 1.
bool AssignClasses(DivisionState& state, int classCount);

} // namespace fenban
