#pragma once

#include "common/Failure.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// A teacher list that cannot be drawn: a name twice, or not one teacher per class.
class TeacherListError : public Failure {
public:
    using Failure::Failure;
};

// The class teachers of a pasted or typed list (UTF-8), one a line: blanks
// at either end of a line trimmed (the ideographic space too), blank lines
// dropped. Throws TeacherListError naming a teacher written twice and both lines.
std::vector<std::string> ParseTeacherList(std::string_view text);

// The teachers drawn to classes 1..N (N = teachers.size() = classCount),
// from the seed: a Fisher-Yates shuffle of the list driven by SplitMix64
// (docs/fingerprint.md); element k is the teacher of class k + 1. Throws
// TeacherListError when the list has not one teacher per class.
std::vector<std::string> DrawTeachers(const std::vector<std::string>& teachers, int classCount, std::uint64_t seed);

// Teachers set by hand: the list in class order, checked as DrawTeachers checks it.
std::vector<std::string> SetTeachers(const std::vector<std::string>& teachers, int classCount);

// The next number of SplitMix64 (Steele, Lea and Flood), advancing the state.
std::uint64_t SplitMix64(std::uint64_t& state);

// A class's title with its teacher: "3班　班主任：王芳"; "3班" without one.
std::string ClassTitleWithTeacher(int classNo, std::string_view teacher);

} // namespace fenban
