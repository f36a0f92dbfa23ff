#include "rules/RuleMessages.h"

#include "roster/Gb18030.h"

#include <algorithm>

namespace fenban {

namespace {

constexpr std::size_t MostConflictsShown = 12;

std::string Num(long long value)
{
    return std::to_string(value);
}

// The class a pinned student keeps: its 固定 value, else its class number.
int PinnedClass(const DivisionRules& rules, const DivisionState& state, int record)
{
    const auto fixed = std::find_if(rules.fixed.begin(), rules.fixed.end(),
        [record](const std::pair<int, int>& entry) { return entry.first == record; });
    return fixed != rules.fixed.end() ? fixed->second : state.Records[static_cast<std::size_t>(record)]->ClassNo;
}

// How a pinned student came to its class.
std::string PinText(const DivisionRules& rules, const DivisionState& state, int record)
{
    const bool fixed = std::any_of(rules.fixed.begin(), rules.fixed.end(),
        [record](const std::pair<int, int>& entry) { return entry.first == record; });
    const std::string how = fixed                                         ? "固定在"
        : state.Records[static_cast<std::size_t>(record)]->IsHandPlaced() ? "已手动放在"
                                                                          : "在";
    return how + "第" + Num(PinnedClass(rules, state, record)) + "班";
}

// "男 4 人、女 2 人", other gender texts counted last.
std::string GenderMakeUp(const DivisionState& state, const std::vector<int>& records)
{
    long long boys = 0;
    long long girls = 0;
    for (const int record : records) {
        const TStudent& student = *state.Records[static_cast<std::size_t>(record)];
        boys += student.Gender == MaleGender;
        girls += student.Gender == FemaleGender;
    }
    const long long others = static_cast<long long>(records.size()) - boys - girls;
    std::string text = "男 " + Num(boys) + " 人、女 " + Num(girls) + " 人";
    if (others > 0)
        text += "、其他 " + Num(others) + " 人";
    return text;
}

// The most a class may hold of a spread group of k students.
long long SpreadCeiling(std::size_t k, int classCount)
{
    const auto n = static_cast<long long>(std::max(classCount, 1));
    return (static_cast<long long>(k) + n - 1) / n;
}

const std::vector<int>& SpreadGroup(const DivisionRules& rules, int index)
{
    static const std::vector<int> none;
    return index >= 0 && static_cast<std::size_t>(index) < rules.spread.size()
        ? rules.spread[static_cast<std::size_t>(index)]
        : none;
}

int StudentAt(const std::vector<int>& records, std::size_t at)
{
    return at < records.size() ? records[at] : -1;
}

} // namespace

std::string StudentLabel(const DivisionState& state, int record)
{
    const std::string row = "第" + Num(record + 2) + "行"; // as the spreadsheet numbers it: the header is row 1
    if (record < 0 || static_cast<std::size_t>(record) >= state.Records.size())
        return row + "的学生";
    const std::string name = Gb18030ToUtf8(state.Records[static_cast<std::size_t>(record)]->Name);
    return name.empty() ? row + "的学生" : name + "（" + row + "）";
}

std::string StudentLabels(const DivisionState& state, const std::vector<int>& records, std::size_t most)
{
    std::string text;
    for (std::size_t k = 0; k < records.size() && k < most; ++k) {
        if (k > 0)
            text += "、";
        text += StudentLabel(state, records[k]);
    }
    if (records.size() > most)
        text += "等 " + Num(static_cast<long long>(records.size())) + " 人";
    return text;
}

std::string GroupLabel(const DivisionState& state, RuleColumnKind kind, const std::vector<int>& records)
{
    const RosterRuleTexts& texts = state.RuleTexts;
    for (std::size_t c = 0; c < texts.columns.size() && !records.empty(); ++c) {
        if (texts.columns[c].kind != kind)
            continue;
        const int column = static_cast<int>(c);
        const std::string_view value = TrimRuleText(texts.text(static_cast<std::size_t>(records.front()), column));
        if (value.empty())
            continue;
        const bool shared = std::all_of(records.begin(), records.end(),
            [&](int record) { return TrimRuleText(texts.text(static_cast<std::size_t>(record), column)) == value; });
        if (shared)
            return std::string(TrimRuleText(texts.columns[c].header)) + "「" + std::string(value) + "」";
    }
    return kind == RuleColumnKind::Together ? "同班" : "姓名同音";
}

std::string DescribeConflict(
    const RuleConflict& conflict, const DivisionRules& rules, const DivisionState& state, int classCount)
{
    const std::vector<int>& students = conflict.students;
    const int a = StudentAt(students, 0);
    const int b = StudentAt(students, 1);
    switch (conflict.kind) {
    case RuleConflict::Kind::ApartExceedsClasses:
        return GroupLabel(state, RuleColumnKind::Apart, students) + "有 " + Num(static_cast<long long>(students.size()))
            + " 人，多于班级数 " + Num(conflict.detail) + "：" + StudentLabels(state, students) + "。";
    case RuleConflict::Kind::TogetherPinnedApart:
        return GroupLabel(state, RuleColumnKind::Together, students) + "的" + StudentLabel(state, a)
            + PinText(rules, state, a) + "，" + StudentLabel(state, b) + PinText(rules, state, b) + "，无法同班。";
    case RuleConflict::Kind::TogetherAndApart:
        return StudentLabel(state, a) + "和" + StudentLabel(state, b) + "既在"
            + GroupLabel(state, RuleColumnKind::Together, students) + "，又在"
            + GroupLabel(state, RuleColumnKind::Apart, students) + "。";
    case RuleConflict::Kind::PinnedApart:
        return GroupLabel(state, RuleColumnKind::Apart, students) + "的" + StudentLabel(state, a)
            + PinText(rules, state, a) + "，" + StudentLabel(state, b) + PinText(rules, state, b) + "，无法分开。";
    case RuleConflict::Kind::TogetherTooLarge:
        return GroupLabel(state, RuleColumnKind::Together, students) + "的 "
            + Num(static_cast<long long>(students.size())) + " 人（" + GenderMakeUp(state, students)
            + "）没有一个班容得下：" + StudentLabels(state, students) + "。";
    case RuleConflict::Kind::TogetherExceedsSpread: {
        const std::vector<int>& group = SpreadGroup(rules, conflict.detail);
        return GroupLabel(state, RuleColumnKind::Together, students) + "的 "
            + Num(static_cast<long long>(students.size())) + " 人都属"
            + GroupLabel(state, RuleColumnKind::Spread, group) + "，而它每班至多 "
            + Num(SpreadCeiling(group.size(), classCount)) + " 人：" + StudentLabels(state, students) + "。";
    }
    case RuleConflict::Kind::SpreadPinned: {
        const std::vector<int>& group = SpreadGroup(rules, conflict.detail);
        return GroupLabel(state, RuleColumnKind::Spread, group) + "共 " + Num(static_cast<long long>(group.size()))
            + " 人，每班至多 " + Num(SpreadCeiling(group.size(), classCount)) + " 人，但"
            + StudentLabels(state, students) + "都已定在第" + Num(a >= 0 ? PinnedClass(rules, state, a) : 0) + "班。";
    }
    case RuleConflict::Kind::FixedOutOfRange:
        return StudentLabel(state, a) + "的固定班级 " + Num(conflict.detail) + " 不在 1 到 " + Num(classCount)
            + " 之间。";
    case RuleConflict::Kind::FixedTwice: {
        std::string classes;
        for (const auto& [record, classNo] : rules.fixed)
            if (record == a)
                classes += (classes.empty() ? "第" : "，又固定在第") + Num(classNo) + "班";
        if (a >= 0 && std::count_if(rules.fixed.begin(), rules.fixed.end(), [a](const auto& entry) {
                return entry.first == a;
            }) == 1) // placed by hand in one class, fixed in another
            return StudentLabel(state, a) + "已手动放在第" + Num(state.Records[static_cast<std::size_t>(a)]->ClassNo)
                + "班，又固定在" + classes + "。";
        return StudentLabel(state, a) + "固定在" + classes + "。";
    }
    case RuleConflict::Kind::FixedOverfull: {
        const std::size_t index = static_cast<std::size_t>(conflict.detail) - 1;
        const ShortString<2> gender = a >= 0 ? state.Records[static_cast<std::size_t>(a)]->Gender : ShortString<2>();
        long long room = 0;
        if (index < state.FClasses.size())
            room = std::count_if(state.FClasses[index].begin(), state.FClasses[index].end(),
                [&gender](const TStudent* student) { return student->Gender == gender; });
        const std::string who = gender == MaleGender   ? "男生"
            : gender == std::string_view(FemaleGender) ? "女生"
                                                       : "性别为“" + Gb18030ToUtf8(gender.view()) + "”的学生";
        return "第" + Num(conflict.detail) + "班有" + who + " " + Num(room) + " 人，却有 "
            + Num(static_cast<long long>(students.size())) + " 名" + who + "定在这个班："
            + StudentLabels(state, students) + "。";
    }
    case RuleConflict::Kind::Unresolved:
        return "没有找到能同时满足全部规则的分班，仍未满足的规则涉及" + StudentLabels(state, students) + "。";
    }
    return {};
}

std::string ConflictMessage(
    const std::vector<RuleConflict>& conflicts, const DivisionRules& rules, const DivisionState& state, int classCount)
{
    std::string text = "这些规则不能同时满足，没有移动任何学生：";
    for (std::size_t k = 0; k < conflicts.size() && k < MostConflictsShown; ++k)
        text += "\n" + Num(static_cast<long long>(k + 1)) + ". "
            + DescribeConflict(conflicts[k], rules, state, classCount);
    if (conflicts.size() > MostConflictsShown)
        text += "\n……另有 " + Num(static_cast<long long>(conflicts.size() - MostConflictsShown)) + " 处。";
    return text;
}

} // namespace fenban
