#pragma once

#include "roster/ShortString.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

static_assert(sizeof(long double) >= 10 && std::numeric_limits<long double>::digits == 64,
    "scores need the 80-bit extended type (64-bit significand)");

namespace fenban {

// Score columns: the total first, then ten subjects. Subject s is grid column 4 + s.
inline constexpr int SubjectCount = 11;
inline constexpr int FirstScoreColumn = 4;

using TSubjectValues = std::array<long double, SubjectCount>;

// One student as read from a roster row. Texts are GB18030 bytes.
struct TStudent {
    std::string Name; // whole, however long: a cut name could make two students one
    ShortString<2> Gender;
    TSubjectValues Scores {};
    std::int32_t ClassNo = 0;
    ShortString<3> Mark; // HandPlacedMark: placed in its class by hand, else empty

    // Placed by hand: the mark is "F". It is the one mark the program writes
    // (a hand move, a 固定 class at 编班; a division file holds no other), so
    // for every student the program holds the two readings below agree. The
    // assignment reads the mark exactly; the balancing (调整 and 一键均衡)
    // compares it with its letters upper-cased, which would also take "f".
    bool IsHandPlaced() const { return Mark == HandPlacedMarkText; }
    bool IsHandPlacedForBalancing() const { return IsHandPlaced() || Mark == std::string_view("f"); }

    static constexpr std::string_view HandPlacedMarkText = "F";
};

using PStudent = TStudent*;
using TStudentList = std::vector<PStudent>;

inline constexpr std::string_view HandPlacedMark = TStudent::HandPlacedMarkText;
inline constexpr std::string_view MaleGender = "\xC4\xD0"; // 男 in GB18030
inline constexpr std::string_view FemaleGender = "\xC5\xAE"; // 女 in GB18030

} // namespace fenban
