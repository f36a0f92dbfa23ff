#pragma once

#include "audit/OperationRecord.h"
#include "engine/RankGroups.h"

#include <QJsonObject>
#include <string>
#include <vector>

namespace fenban {

// The score bands of `fenban divide`, and of the window's 分数段 in new work,
// the same in both so that one table, class count and seed give one division.
inline constexpr int DefaultPublicBands = DefaultRankBands;

// What a division file keeps besides the window's state, so that anyone can
// redo the division: the seed and options of the last 一键均衡, the class
// teachers and the record of every step.
struct PublicDivision {
    std::string seedText; // empty: no 一键均衡 yet
    int bands = 0;
    std::vector<std::string> teachers; // teachers[k]: class k + 1; empty: none
    bool teachersDrawn = false; // drawn with the seed; false: set by hand
    // The list as entered, which every draw starts from (so that the same
    // list and seed give the same teachers); empty in files made before it
    // was kept, where `teachers` stands for it.
    std::vector<std::string> teacherList;
    // The result fingerprint of the last 公开分班; a step that would change
    // that division asks first while it stands. Empty: none.
    std::string publicResult;
    OperationRecord record;

    friend bool operator==(const PublicDivision&, const PublicDivision&) = default;
};

// The members a division file carries for it (pass as DivisionJson's
// `extra`): "public" {"seed", "bands", "teachers", "teachersDrawn"} and
// "record" (OperationRecord::toJson).
QJsonObject PublicDivisionJson(const PublicDivision& division);

// Those members of a file's whole object; a file without them gives the
// defaults (no seed, no score bands, no teachers, an empty record). Throws Failure
// (a Chinese sentence) when they are there but malformed.
PublicDivision ReadPublicDivision(const QJsonObject& whole);

} // namespace fenban
