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

// The same, passing over the classes without room (room[c] places left in
// class c + 1, counted down); the rooms hold at least the students dealt.
void DealSerpentine(TStudentList& list, int classCount, std::vector<int>* room);

// Stable sort by ClassNo, ascending.
void SortByClassNo(TStudentList& students);

// Leaves in each of classCount class lists only its hand-placed members, each
// once: first those already there in list order, then the others in roster order.
void KeepHandPlacedMembers(DivisionState& state, int classCount);

// The assignment: divides the roster into classCount classes and computes
// the grade averages and class statistics. Each gender value's students are
// dealt on their own by the first score. Hand-placed students keep their
// class when it lies within 1..classCount, otherwise they lose the mark and
// are dealt. With evenSizes the others are dealt so that every class ends
// within one of the others' size, a class its placed students fill passed
// over. False (and nothing changes) with fewer than 3 students or a class
// count below 1.
bool AssignClasses(DivisionState& state, int classCount, bool evenSizes = false);

} // namespace fenban
