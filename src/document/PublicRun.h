#pragma once

#include "audit/Fingerprint.h"
#include "common/Failure.h"
#include "document/Division.h"
#include "engine/DivisionState.h"
#include "engine/Optimiser.h"
#include "io/TableFile.h"
#include "roster/CellGrid.h"
#include "session/Snapshot.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// A division that cannot be made from this input: too few students, a bad
// 固定 value, rules that cannot all hold. The message is Chinese sentences.
class DivisionInputError : public Failure {
public:
    using Failure::Failure;
};

// The table in a grid as a paste fills it: row 0 the header, column 0 the row numbers.
CellGrid TableGrid(const TableRows& table);

// The roster of a table as 打开 builds it: TableGrid, then every data row a
// student (BuildRosterFromGrid). Throws
// ConversionError for a cell that does not convert. Returns the subject
// names (UTF-8, "  " for an empty one).
std::vector<std::string> ReadRoster(const TableRows& table, std::string_view decimalSeparator, DivisionState& state);

// The same from a grid of the roster's columns (a pasted table, a division
// file's table): the one way a roster is built. The division of `state`
// ends first; `proposedClassCount` gets the class count a new roster proposes.
std::vector<std::string> ReadRosterFromGrid(
    const CellGrid& grid, std::string_view decimalSeparator, DivisionState& state, int* proposedClassCount = nullptr);

// Throws DivisionInputError when there are fewer students than classes.
void CheckClassCount(const DivisionState& state, int classCount);

// 一键均衡's input for the division as it stands: the school rules built and
// checked. Throws RuleValueError for a bad 固定 value and DivisionInputError
// (the conflicts named) when the rules cannot all hold; nothing changes then.
OptimiseInput PrepareBalance(const DivisionState& state, const DivisionOptions& options);

// Throws DivisionInputError naming the rules no search could keep (nothing
// moved then); the input's state is the division the search started from.
void CheckBalanced(const OptimiseInput& input, const OptimisedDivision& answer);

// The answer of a search taken by the division it started from: classes,
// lists and statistics.
void ApplyOptimised(DivisionState& state, const OptimisedDivision& answer);

// 分班数, 编班 and 一键均衡 as the window's buttons run them, with the
// control's seed: ResizeClassLists, AssignClassesWithRules, then
// PrepareBalance, Optimise, CheckBalanced and ApplyOptimised. Throws
// DivisionInputError (nothing divided) when 编班 cannot divide or the rules
// conflict; RuleValueError from 编班 passes unchanged.
OptimiseResult DivideAndBalance(DivisionState& state, const DivisionOptions& options, const OptimiseControl& control);

// The division of 公开分班 and `fenban divide`: the roster as read from the
// source's table, then DivideAndBalance with the options and the control's
// seed. On any thread (the source's table is shared, never changed); the
// document takes the answer with Division::applyDivided.
DivisionState DivideInPublic(
    const RosterSource& source, const DivisionOptions& options, const OptimiseControl& control);

// "第 12 行 张三：记录为 3 班，重做为 5 班" for up to `most` records whose
// classes differ (first: recorded, second: redone), rows as the spreadsheet
// numbers them (the header is row 1).
std::vector<std::string> FirstDifferences(
    const DivisionState& state, const std::vector<int>& first, const std::vector<int>& second, std::size_t most);

// A division redone to check it (核验分班).
struct DivisionCheck {
    DivisionOptions options;
    std::string seedText; // the digits
    std::string inputFingerprint;
    std::string expected; // the result fingerprint recorded, or as typed (NormalFingerprint)
    std::string redone; // the result fingerprint of the division redone
    std::vector<std::string> differences; // FirstDifferences, when the recorded classes are known
    std::size_t differing = 0; // students whose classes differ, when the recorded classes are known
    std::string recordedVersion; // of the file's last search (RecordedVersion); empty when none
    // OtherInputVersionText and OtherProgramVersionText of the file's record, a line each: said before the comparison
    std::string otherVersion;
    // The file's changes after the division (late students, leavers,
    // requested moves), replayed in order after the division is redone;
    // null when none.
    std::shared_ptr<const AfterDivision> after;
    std::string decimalSeparator = "."; // of the file's table
    Settings settings; // the file's, for the snapshot the changes are replayed on
    std::size_t replayed = 0; // changes that replayed to their recorded result fingerprint
    std::string changeFailure; // the first change that does not replay, and why; empty when none

    bool matches() const { return changeFailure.empty() && FingerprintMatches(expected, redone); }
};

// Why a division file's classes differ from the replay, before the students
// are named: "文件中的分班与重做结果不同（N 名学生）：…（记录中的版本 …）".
std::string DifferenceSummary(const DivisionCheck& check);

// "第 3 条变更（插班 2026-09-01）重演后的结果指纹与记录不同": a change by its place in the list.
std::string ChangeName(const ChangeEntry& entry, std::size_t index);

// How many differing students a check names.
inline constexpr std::size_t DifferencesNamed = 10;

// A division file's check before the run: its class count and sound-alike
// choice, the bands and seed it keeps (the default seed when it keeps none),
// the division it holds in `recorded` (its result fingerprint expected) and
// its roster as read in `redone`, whose input fingerprint the check holds.
// Throws what ReadDivisionFile throws, Failure for malformed public members,
// DivisionInputError for a file without students.
DivisionCheck ReadDivisionFileCheck(const std::filesystem::path& file, DivisionState& recorded, DivisionState& redone);

// Redoes the division of a roster as read (`state`, then the division redone)
// with the check's options and seed (control.seed is set from it), replays
// the check's changes in order (stopping at the first whose result
// fingerprint differs from its entry's) and fills check.redone; with
// `recorded`, names the first students whose classes differ.
void RedoDivision(
    DivisionState& state, DivisionCheck& check, OptimiseControl control, const DivisionState* recorded = nullptr);

} // namespace fenban
