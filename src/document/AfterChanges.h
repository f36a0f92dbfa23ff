#pragma once

#include "common/Failure.h"
#include "document/Division.h"
#include "engine/ChangeProposals.h"
#include "io/TableLayout.h"
#include "session/Changes.h"
#include "session/Snapshot.h"

#include <memory>
#include <string>
#include <vector>

namespace fenban {

// A change that cannot be weighed: no division yet, a late student's row
// without a gender or with a score that is no number. Chinese sentences.
class ChangeInputError : public Failure {
public:
    using Failure::Failure;
};

// Who asked, when and why: what every change carries into the record.
struct ChangeMeta {
    std::string date; // YYYY-MM-DD
    std::string by;
    std::string reason;
    std::string leaveKind; // a leaver's: 转学, 退学 or 其他
};

// A column a late student's row is typed in: its table column (1 = 姓名) or,
// from the extra columns, -1 - its index there, and its header.
struct ChangeColumn {
    int tableColumn = 0;
    std::string header;
};

// The columns of the roster a late student is typed in: 姓名, 性别, the score
// columns, the rule columns and the extra columns (学号 …); not 班级.
std::vector<ChangeColumn> ArrivalColumns(const Division& division);

// Late students' rows as typed in ArrivalColumns: their table rows (from
// column 1) and their extra columns. Throws ChangeInputError naming the
// typed row (1 = the first) for a row without a name, a gender other than
// 男 or 女, or a score that is no number.
struct ArrivalRows {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::vector<std::string>> extras;
};
ArrivalRows ReadArrivalRows(const Division& division, const std::vector<std::vector<std::string>>& typed);

// The rows of a table read as 打开 reads it (row 0 its header), typed in
// ArrivalColumns: each column found by its header, else at its place.
std::vector<std::vector<std::string>> TypedRowsOf(const Division& division, const ImportedTable& table);

// The students of the roster whose name (blanks at the ends aside) is `name`:
// their record indices.
std::vector<int> StudentsNamed(const Division& division, const std::string& name);
// "第 12 行 张三（3 班）": a student as a message names him, his row as the table numbers it.
std::string StudentText(const Division& division, int record);

// The groups of the division's 班级设置 that changes keep (none without a
// set-up followed; class names whenever the classes bear the set-up's), for
// the records of `state` (the division's, or a trial of it whose ids
// `snapshot` gives): a student of the table as first read belongs to the
// group 编班 dealt him to (PlanSetup of that table), a late student to the
// group whose column condition he matches, else to the first group without a
// condition of 平行班 (else of any kind). Set sizes are the plan's places.
// Throws ClassSetupError when the plan of the table as first read fails.
ChangeGroups SetupGroupsOf(const Division& division, const Snapshot& snapshot, const DivisionState& state);
ChangeGroups SetupGroupsOf(const Division& division);

// The division as a change would find it: late students appended in no
// class, or a leaver taken out, with the school rules and a ChangeWeigher.
// Proposals name records of this study; entry… turns one into the change.
class ChangeStudy {
public:
    // Throws ChangeInputError when there is no division (a student in no
    // class), RuleValueError for a bad 固定 value.
    static std::unique_ptr<ChangeStudy> ofArrivals(const Division& division, const ArrivalRows& rows);
    static std::unique_ptr<ChangeStudy> ofLeaver(const Division& division, int record);
    static std::unique_ptr<ChangeStudy> ofRequest(const Division& division);

    const ChangeWeigher& weigher() const { return *weigher_; }
    const DivisionState& state() const { return state_; }
    const std::vector<int>& newcomers() const { return newcomers_; }
    std::string nameOf(int record) const;

    // The change of a proposal (the leaver's: none, or the move that evens the classes).
    ChangeEntry entry(const Proposal* proposal, const ChangeMeta& meta) const;
    // "王五 → 3 班；李四 5 班 → 3 班" and "总偏差 3.21 → 3.25；最大差 0.41 → 0.43（数学）".
    std::string movesText(const Proposal& proposal) const;
    std::string figuresText(const Proposal& proposal) const;
    // What each class the proposal fills holds after it: "3 班 45 → 46 人（男 23，女 23），第 2 段 5 人（应 4–5）".
    std::string sharesText(const Proposal& proposal) const;
    // "高一(3)班" when the set-up names the classes, else "3 班".
    std::string classText(int classNo) const;
    // The set-up's groups the weigher keeps (SetupGroupsOf).
    const ChangeGroups& groups() const { return groups_; }

    ~ChangeStudy();

private:
    ChangeStudy() = default;
    void weigh(const Division& division);

    ChangeEntry pending_; // the rows added or the leaver, no placements yet
    Snapshot trial_;
    DivisionState state_;
    DivisionRules rules_;
    std::vector<int> newcomers_;
    std::vector<std::string> subjectNames_;
    ChangeGroups groups_;
    std::unique_ptr<ChangeWeigher> weigher_;
};

// The table as first read with every change in it, for a .csv: the class
// column filled, late students after the others, and a last column 状态:
// empty, or 已转出 for a leaver (whose 班级 keeps the class he left).
TableRows RosterWithChanges(const Division& division);

// The record's text of a change: what moved, who asked, why, the figures and the result fingerprint.
std::string ChangeRecordText(const ChangeEntry& entry);

} // namespace fenban
