#pragma once

#include "audit/Fingerprint.h"
#include "common/Failure.h"

#include <QDateTime>
#include <QJsonArray>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// The kinds of step the record (操作记录) keeps.
enum class RecordKind {
    Read, // 读入数据 (a paste)
    Open, // 打开 (a table file or a division file)
    ClassCount, // 分班数
    Assign, // 编班
    Adjust, // 调整
    BalanceAll, // 一键均衡
    Move, // 调班 (a hand move)
    Undo, // 撤销
    Redo, // 重做
    Save, // 保存
    TeacherDraw, // 班主任抽签 (drawn or set by hand)
    ClassSetup, // 班级设置
    Arrival, // 插班: late students placed
    Leave, // 转出: a student who left
    Request, // 调班申请: a requested move
    ChoicePlan, // 选科方案: a plan of classes by elective subjects accepted, and its edits
    ChoiceDivision, // 选科分班: the division within the plan
};

// One step: when (local time, to the second), what kind, and its text as shown.
struct RecordEntry {
    QDateTime time;
    RecordKind kind = RecordKind::Read;
    std::string text; // UTF-8

    friend bool operator==(const RecordEntry&, const RecordEntry&) = default;
};

// The step's name as the record lists it: 读入数据, 打开, 编班…
std::string_view RecordKindName(RecordKind kind);
// The key of a kind in the division file: "read", "open", "classes"…
std::string_view RecordKindKey(RecordKind kind);
std::optional<RecordKind> RecordKindOfKey(std::string_view key);

// "2026-12-08 07:15:03": the time of an entry as shown and kept.
std::string RecordTimeText(const QDateTime& time);

// The record: every step in the order done.
class OperationRecord {
public:
    // Adds a step done now (or at `time`), the time cut to the second.
    void add(RecordKind kind, std::string text, const QDateTime& time = QDateTime::currentDateTime());
    const std::vector<RecordEntry>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }

    // The record in the division file: an array of {"time", "kind", "text"},
    // time as RecordTimeText.
    QJsonArray toJson() const;
    // Throws Failure (a Chinese sentence) when an entry is not of that form.
    static OperationRecord fromJson(const QJsonArray& json);

    friend bool operator==(const OperationRecord&, const OperationRecord&) = default;

private:
    std::vector<RecordEntry> entries_;
};

// The version the record's last search (一键均衡, 公开分班) names; empty when none does.
std::string RecordedVersion(const OperationRecord& record);

// What a check of a division file says before it compares when the record's
// last search was made by another version of the program (a search naming
// none is older than any that does): the search may divide otherwise there.
// Empty when the record holds no search or names this version.
std::string OtherProgramVersionText(const OperationRecord& record);

// The texts of the steps (UTF-8). A file name is its name alone, a
// fingerprint the whole 64 digits.
std::string ReadRecordText(
    int students, int classCount, std::string_view inputFingerprint, int version = InputTextVersion);
std::string OpenRecordText(std::string_view fileName, int students, int classCount, std::string_view inputFingerprint,
    int version = InputTextVersion);
// 班级设置: the classes in a few words ("12 个班：实验班 2 个，平行班 10 个", "取消"), and the input fingerprint it
// makes.
std::string ClassSetupRecordText(const std::string& summary, std::string_view inputFingerprint, int version);

// What a check of a division file says before it compares when the record's
// last entry of 打开 or 读入数据 took its input fingerprint by another version
// of the input text (an entry naming none is version 1); empty otherwise.
std::string OtherInputVersionText(const OperationRecord& record);
std::string ClassCountRecordText(int classCount);
std::string AssignRecordText(int classCount, std::string_view resultFingerprint);
std::string AdjustRecordText(int classA, int classB, std::string_view subject, std::string_view resultFingerprint);
std::string BalanceAllRecordText(std::string_view seedText, int bands, std::string_view resultFingerprint);
// 公开分班 (and `fenban divide`): 编班 and 一键均衡 from the roster as read,
// with every parameter of the division and both fingerprints.
std::string PublicDivisionRecordText(int classCount, int bands, bool soundAlike, std::string_view seedText,
    std::string_view inputFingerprint, std::string_view resultFingerprint);
std::string MoveRecordText(std::string_view name, int fromClass, int toClass);
std::string UndoRecordText(std::string_view stepName);
std::string RedoRecordText(std::string_view stepName);
std::string SaveRecordText(std::string_view fileName, std::string_view resultFingerprint);
// teachers[k]: the teacher of class k + 1. An empty seed text: set by hand.
// `redrawn`: a draw after an earlier draw.
std::string TeacherRecordText(
    const std::vector<std::string>& teachers, std::string_view seedText, bool redrawn = false);

} // namespace fenban
