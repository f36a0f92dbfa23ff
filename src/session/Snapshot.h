#pragma once

#include "engine/ClassSetup.h"
#include "engine/DivisionState.h"
#include "engine/RankGroups.h"
#include "roster/RosterBuilder.h"
#include "session/Changes.h"
#include "session/PackedGrid.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace fenban {

struct PlanDivision; // src/choice: the document keeps it, the session only carries it

using IndexList = std::vector<std::uint32_t>;
using SharedIndices = std::shared_ptr<const IndexList>;

// The grid of one row and one column, shared.
const std::shared_ptr<const PackedGrid>& EmptyTable();
// No extra columns, shared.
const std::shared_ptr<const RosterExtraTexts>& NoExtraTexts();

// The table the current roster was built from and how its numbers were read.
// The window keeps one beside its DivisionState and sets it where it builds
// the roster: the listings overwrite the roster grid, this keeps the table.
struct RosterSource {
    std::shared_ptr<const PackedGrid> table = EmptyTable(); // as pasted, every column
    std::string decimalSeparator = ".";
    bool built = false; // false: no roster (at start, or a cell of the table does not convert)
    // The opened table's extra columns (学号…), entry i for record i; empty for a paste.
    std::shared_ptr<const RosterExtraTexts> extras = NoExtraTexts();
};

// The engine's statistics, in its types.
struct StatisticsTables {
    TSubjectValues gradeAvg {}; // FGradeAvg
    TSubjectValues devSum {}; // FDevSum
    std::vector<TSubjectValues> classAvg; // FClassAvg
    std::vector<TSubjectValues> classDev; // FClassDev
};

// The settings of the division: what the steps read besides the roster and
// the class lists. Texts UTF-8. Balance options (score bands, a seed) join here.
struct Settings {
    int classCount = 1; // 分班数
    int classA = 1; // the 手动调班 pair
    int classB = 2;
    int subject = -1; // 调整's subject, -1: none chosen
    std::int32_t coefficient = 1; // 较正系数
    bool manual = false; // 手动调班 ticked
    bool soundAlike = true; // sound-alike names kept apart (ticked at the start)
    std::vector<std::string> subjectNames; // of the roster's score columns; none before the first roster
    int rankBands = DefaultRankBands; // 分数段 cmbBands: score bands 一键均衡 keeps even, 0 none
    ClassSetup setup; // 班级设置: names, sizes and kinds of the classes; empty: none, every class "N班"

    friend bool operator==(const Settings&, const Settings&) = default;
};

// A class's row label on the averages tab: its boys and its size when drawn.
struct Headcount {
    int boys = 0;
    int size = 0;
    friend bool operator==(const Headcount&, const Headcount&) = default;
};

// The figures last published to the averages tab and the total box: 编班
// publishes the averages, 调整 and 一键均衡 the averages and the total. A
// hand move or a new roster publishes nothing, so these may describe an
// earlier division than the lists.
struct ShownFigures {
    bool averagesDrawn = false; // false: the averages grid is as at the start
    std::vector<std::string> subjectNames; // the column headers
    std::vector<TSubjectValues> classAverages; // one row per class
    std::vector<Headcount> headcounts; // as many as classAverages
    TSubjectValues gradeAverages {};
    bool hasTotal = false; // false: the total box is empty
    long double total = 0;
};
bool operator==(const ShownFigures& a, const ShownFigures& b);

// Everything needed to carry on exactly, in plain data. Students are named by
// their index in Records, which is their data row in the table less one.
// Parts are shared and never changed, so snapshots are cheap to copy and
// snapshots of neighbouring steps share what a step left alone.
struct Snapshot {
    RosterSource roster;
    std::shared_ptr<const std::vector<std::int32_t>> classNos; // ClassNo of each record
    SharedIndices handPlaced; // ascending: the records marked "F"
    SharedIndices students; // FStudents
    SharedIndices groupA; // FGroupA
    SharedIndices groupB; // FGroupB
    std::vector<SharedIndices> classes; // FClasses
    std::shared_ptr<const StatisticsTables> statistics;
    std::shared_ptr<const ShownFigures> shown;
    Settings settings;
    // The window's view of it: the listing (tableShown: the roster grid shows
    // the pasted table, no listing drawn since the roster was built) and the
    // cell chosen. Kept for undo; a file keeps the listing, not the cell.
    bool tableShown = true;
    int shownClass = -1; // -1: the whole roster, else a class index
    int selCol = -1; // -1: no cell chosen
    int selRow = -1;
    // Late students, leavers and requested moves since the division; null when none.
    std::shared_ptr<const AfterDivision> after;
    // The plan of a 选科分班 while the classes are the plan's; null otherwise.
    std::shared_ptr<const PlanDivision> plan;

    Snapshot();
    std::size_t studentCount() const { return classNos->size(); }
};

// The choices the user makes between steps (changing them is no step): the
// 手动调班 pair, subject, 较正系数, check boxes, the listing and the cell, the score bands.
struct Choices {
    int classA = 1;
    int classB = 2;
    int subject = -1;
    std::int32_t coefficient = 1;
    bool manual = false;
    bool soundAlike = false;
    bool tableShown = true;
    int shownClass = -1;
    int selCol = -1;
    int selRow = -1;
    int rankBands = DefaultRankBands;

    friend bool operator==(const Choices&, const Choices&) = default;
};

Choices ChoicesOf(const Snapshot& snapshot);
void SetChoices(Snapshot& snapshot, const Choices& choices);

// Equal contents; extended values compared bit for bit.
bool operator==(const Snapshot& a, const Snapshot& b);

// The state as a snapshot, the view fields left at none (the document fills
// them in). `source` is what the state's Records were built from.
// Throws SnapshotError when a list holds a student that is not one of
// Records, or a mark is neither empty nor "F" (neither can happen through
// the document's operations).
Snapshot CaptureSnapshot(const DivisionState& state, const RosterSource& source, const Settings& settings,
    std::shared_ptr<const ShownFigures> shown, bool tableShown);

// Throws SnapshotError, with the reason in Chinese, unless the snapshot
// describes a possible state: counts agree; FStudents holds every student
// once; the gender groups are empty or hold every student once between
// them; no student stands in two class lists and a listed student carries
// its list's class number; settings and figures within their ranges. Does not build the roster.
void CheckSnapshot(const Snapshot& snapshot);

// The roster built from the snapshot's table, as the paste builds it (the
// records and their rule texts); none when it holds no roster. Throws
// SnapshotError when a cell does not convert or the count differs from the snapshot's.
BuiltRoster BuildSnapshotRecords(const Snapshot& snapshot);

// Checks the snapshot fully (nothing changes when it throws SnapshotError),
// then makes the state and the source those of the snapshot. The records
// are kept when `source` is already the snapshot's roster (only class
// numbers and marks change); otherwise they are built anew from the table.
// The view fields are left to the document.
void RestoreSnapshot(const Snapshot& snapshot, DivisionState& state, RosterSource& source);

// Gives `next` the parts of `previous` that are equal in content, so that the
// two share them.
void ShareUnchanged(Snapshot& next, const Snapshot& previous);

// Adds to `bytes` the memory of the snapshot's parts not in `counted` yet,
// and adds them to `counted`.
void CountHeldBytes(const Snapshot& snapshot, std::unordered_set<const void*>& counted, std::size_t& bytes);

} // namespace fenban
