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

} // namespace fenban::sample
