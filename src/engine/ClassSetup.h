#pragma once

#include "common/Failure.h"
#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// The kind of a class in a set-up: a balanced parallel class, a class of the
// grade's top (实验班) or a class of the students a column marks (特长班).
enum class ClassKind {
    Parallel, // 平行班
    Top, // 实验班
    Special, // 特长班
};

// 平行班, 实验班, 特长班.
std::string_view ClassKindText(ClassKind kind);
std::optional<ClassKind> ClassKindOfText(std::string_view text);

// One class as the school sets it up. Texts UTF-8.
struct SetupClass {
    std::string name;
    int size = 0; // 0: an even share of what is left
    ClassKind kind = ClassKind::Parallel;
    // Who belongs: the students whose column `column` holds `value` (both
    // compared without the blanks at their ends). No column: a 实验班 takes
    // the top of the grade by 总分, a 平行班 the rest.
    std::string column;
    std::string value;

    friend bool operator==(const SetupClass&, const SetupClass&) = default;
};

// The classes of a division as the school sets them up, class 1 first. An
// empty set-up is none: every class is "N班" and gets an even share.
struct ClassSetup {
    std::vector<SetupClass> classes;

    bool empty() const { return classes.empty(); }
    int classCount() const { return static_cast<int>(classes.size()); }
    friend bool operator==(const ClassSetup&, const ClassSetup&) = default;
};

// A set-up that cannot be followed; the message is Chinese sentences.
class ClassSetupError : public Failure {
public:
    using Failure::Failure;
};

// "列名=值" as a condition (an ASCII or full-width equals sign, blanks at the
// ends of either part left out); an empty text is no condition. False when
// the text is neither.
bool ParseCondition(std::string_view text, std::string& column, std::string& value);
// The condition as ParseCondition reads it back: "列名=值", or empty.
std::string ConditionText(const SetupClass& setupClass);

// The name a pattern gives class `classNo` (1-based): every "#" becomes the number.
std::string NameFromPattern(std::string_view pattern, int classNo);

// The name the set-up gives class `classNo` (1-based), or `otherwise` when it
// gives none (no set-up, or a class beyond it): every place keeps its own text for a class without a name.
std::string ClassNameOr(const ClassSetup& setup, int classNo, std::string otherwise);

// A set-up from a table's rows (row 0 the header: 班名, 类型 and optionally
// 人数 and 条件, in any order), one class a row in class-number order; rows
// without text are left out. Throws ClassSetupError naming the row as the
// spreadsheet numbers it (the header is row 1) for a kind, size or condition
// it cannot read, or FindSetupFault's fault.
ClassSetup ClassSetupOfRows(const std::vector<std::vector<std::string>>& rows);

// What makes a set-up unusable before any roster is looked at: the row
// (class index) and field (0 name, 1 size, 2 kind, 3 condition) to mark.
struct SetupFault {
    int row = -1;
    int field = 0;
    std::string message;
};
// An empty or repeated name, a size below 1 where one is given, a 特长班
// without a column condition, a 平行班 with one, a condition that is no
// "列名=值"; none when the set-up can be used.
std::optional<SetupFault> FindSetupFault(const ClassSetup& setup);

// The groups of a set-up: classes of one kind and one condition are balanced
// against each other and exchange students only among themselves.
struct ClassGroups {
    std::vector<int> groupOfClass; // class index -> group
    std::vector<std::vector<int>> classes; // group -> its class indices, ascending
    std::vector<std::string> names; // group -> "实验班", "特长班（特长=体育）", "平行班"

    bool empty() const { return classes.empty(); }
};
// Groups in the order of their first class.
ClassGroups GroupsOf(const ClassSetup& setup);

// A column a condition reads: of the extra columns (学号, 志愿…) first, else a rule column.
struct SetupColumn {
    std::string header; // as the condition names it
    bool found = false;
    bool extra = false;
    int index = 0;
};
// The columns the set-up's conditions name, each once, in the order first named.
std::vector<SetupColumn> SetupColumns(const DivisionState& state, const ClassSetup& setup);
// A record's text in the column (empty where it has none).
std::string_view SetupColumnText(const DivisionState& state, const SetupColumn& column, std::size_t record);

// The first column a condition names that the roster has neither among its
// extra columns nor among its rule columns; empty when it has them all.
std::string MissingSetupColumn(const DivisionState& state, const ClassSetup& setup);

// Why a set-up is kept but not followed: another class count, or a column
// the roster lacks. Empty when it is followed (and for no set-up).
std::string SetupPauseReason(const DivisionState& state, const ClassSetup& setup, int classCount);

// The set-up applied to a roster: the group of every student and the
// places of every class.
struct SetupPlan {
    ClassGroups groups;
    std::vector<int> groupOfRecord; // record index -> group
    std::vector<int> places; // class index -> the most students it takes
    int claimedByColumn = 0; // students a column condition put in a group
};

// The plan of a set-up for the roster: a student whose text in a condition's
// column matches goes to that class's group (the first such class wins); a
// 实验班 without a condition takes, of the students no column claims, the
// top K by 总分 (K its classes' places; equal totals at the cut in table
// order); the rest go to the 平行班. A class without a size takes an even
// share: of its column's students for a column's class, of the students no
// column claims for the others. Throws ClassSetupError when the places do not
// hold the grade ("人数合计 598，年级 600 人：还差 2 个位置。"), a column's
// students outnumber its places, or the set-up names a column the roster lacks.
SetupPlan PlanSetup(const DivisionState& state, const ClassSetup& setup);

// 编班 by a plan: each group's students that are not placed by hand are
// dealt among its classes as the plain 编班 deals the grade (each gender value
// on its own, by 总分, serpentine), a class with no place left passed over;
// the places are filled evenly up to the sizes. Hand-placed students keep
// their class, as in AssignClasses. Grade averages and statistics as
// AssignClasses computes them. False (nothing changes) with fewer than 3
// students or a plan for another class count.
bool AssignBySetup(DivisionState& state, const SetupPlan& plan);

// The students the class lists hold outside their group's classes (after a
// hand move across groups): record indices, in record order.
std::vector<int> StudentsOutOfGroup(const DivisionState& state, const SetupPlan& plan);

// The rules restricted to the students of `records` (record index -> index
// in the part, -1 for a student not in it), with the part's classes
// numbered 1.. in the order of `classes` (class indices): groups keep only
// their members in the part, 固定 only classes of the part.
DivisionRules RulesOfPart(const DivisionRules& rules, const std::vector<int>& records, const std::vector<int>& classes);

} // namespace fenban
