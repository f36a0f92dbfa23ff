#pragma once

#include <cstdint>
#include <string>

namespace fenban::sample {

inline constexpr std::uint32_t DefaultSeed = 20240901;
inline constexpr int DefaultStudents = 600;

// A fictional grade as a spreadsheet would save it: UTF-8, tab-separated, one
// line per student after the header 姓名 性别 班级 总分 and nine subjects; the
// class column is empty and the total is the sum of the subjects. The same
// seed and count always give the same text.
std::string MakeSampleGrade(std::uint32_t seed = DefaultSeed, int students = DefaultStudents);

// The same grade with the school's rule columns after the subjects: 同班
// (twins and triplets sharing a surname, and so a feeder school and boarding),
// 不同班 (a few pairs and one trio), 固定 (three students, in classes 1 to 12),
// 均衡生源 (eight feeder schools of unequal size) and 均衡住校 (住校 for about
// 30 % of the students, empty for the others). Deterministic like MakeSampleGrade;
// needs a grade of at least 40 students.
std::string MakeSampleGradeWithRules(std::uint32_t seed = DefaultSeed, int students = DefaultStudents);

} // namespace fenban::sample
