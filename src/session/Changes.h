#pragma once

#include "engine/DivisionState.h"
#include "roster/ExtraColumns.h"
#include "session/PackedGrid.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace fenban {

struct Snapshot;
struct RosterSource;

// Changes after a division: late students, leavers, requested moves.
enum class ChangeKind { Arrival, Leave, Request };

// A student named across changes: his data row in the table as first read (0
// for the first student), or for a late student a number after all of those.
using StudentId = std::int32_t;

// A student who left: kept, out of the classes and the statistics.
struct LeftStudent {
    StudentId id = 0;
    std::vector<std::string> cells; // his table row from column 1 (姓名 性别 班级 总分 …), UTF-8
    std::vector<std::string> extras; // his extra columns (学号 …)
    std::int32_t classNo = 0; // the class he left
    std::string date; // YYYY-MM-DD
    std::string kind; // 转学, 退学 or 其他
    std::string reason;
    friend bool operator==(const LeftStudent&, const LeftStudent&) = default;
};

// One change as the record keeps it and 核验 replays it.
struct ChangeEntry {
    ChangeKind kind = ChangeKind::Arrival;
    std::string date; // YYYY-MM-DD
    std::string by; // who asked; may be empty
    std::string reason;
    std::string leaveKind; // Leave: 转学, 退学 or 其他
    std::vector<std::vector<std::string>> rows; // Arrival: the students' table rows from column 1
    std::vector<std::vector<std::string>> rowExtras; // Arrival: their extra columns
    StudentId student = -1; // Leave and Request: who
    // Where students go, in order: the late students (with the ids they are
    // given), the exchange or the partner, the class evened after a leaver.
    std::vector<std::pair<StudentId, std::int32_t>> placements;
    // For the posted list, per placement: the student's name and the class he
    // came from (0 for a late student). Not replayed.
    std::vector<std::string> placedNames;
    std::vector<std::int32_t> fromClasses;
    std::string resultBefore, resultAfter; // result fingerprints around the change
    std::string figures; // the figures weighed, as the record shows them
    friend bool operator==(const ChangeEntry&, const ChangeEntry&) = default;
};

// What the changes added to a division. Absent (null) until the first change.
struct AfterDivision {
    std::shared_ptr<const PackedGrid> asRead; // the table as first read: the input fingerprint and 核验 start there
    std::shared_ptr<const RosterExtraTexts> extrasAsRead;
    std::int32_t readCount = 0; // students of that table
    StudentId nextId = 0; // the id the next late student gets
    std::vector<StudentId> ids; // per record of the current roster
    std::vector<LeftStudent> left; // in the order they left
    std::vector<ChangeEntry> changes; // in the order made
    friend bool operator==(const AfterDivision& a, const AfterDivision& b);
};

// The category a posting list and the record show: 插班, 转学, 退学, 其他, 调班申请.
std::string ChangeCategory(const ChangeEntry& entry);

// The index in the roster of the student `id`; -1 when he is not in it (left, or unknown).
int RecordOfId(const Snapshot& snapshot, StudentId id);
// The id of record `index`.
StudentId IdOfRecord(const Snapshot& snapshot, int index);
// The ids the late students of `entry` will get.
std::vector<StudentId> NewIds(const Snapshot& snapshot, const ChangeEntry& entry);

// The snapshot after `entry`: late students appended to the table and the
// roster, a leaver taken out of both (kept in `left`), the placements made,
// a requested student marked as placed by hand, the statistics counted
// afresh, and the entry appended to the changes. The figures shown stay (the
// document publishes them). Throws ChangeReplayError when the entry names a
// student who is not there or a class that does not exist, and what
// RestoreSnapshot throws for rows that do not build.
Snapshot ApplyChange(const Snapshot& snapshot, const ChangeEntry& entry);
// The same on a working copy: `state` and `source` hold the snapshot's
// roster as RestoreSnapshot leaves it (or anything else, then rebuilt) and
// are left holding the division after the change, its statistics counted.
// Only late students' rows are read; nothing else is built again.
Snapshot ApplyChange(const Snapshot& snapshot, const ChangeEntry& entry, DivisionState& state, RosterSource& source);

} // namespace fenban
