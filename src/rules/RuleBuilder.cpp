#include "rules/RuleBuilder.h"

#include "engine/Assignment.h"
#include "engine/UnionFind.h"
#include "roster/Gb18030.h"
#include "rules/RuleMessages.h"
#include "rules/SoundAlike.h"

#include <algorithm>
#include <map>
#include <optional>

namespace fenban {

namespace {

constexpr std::size_t MostValueErrorsShown = 10;
constexpr std::size_t MostQuotedCharacters = 20;

// A 固定 text as a message quotes it: a text of more than MostQuotedCharacters
// characters is cut there and ends in "…" (a pasted cell may be a megabyte).
std::string Quoted(std::string_view text)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == MostQuotedCharacters)
            return "「" + std::string(text.substr(0, i)) + "…」";
    return "「" + std::string(text) + "」";
}

// Digit value of the digit at the start of text (ASCII or full-width), its
// byte length in `length`; -1 when none.
int LeadingDigit(std::string_view text, std::size_t& length)
{
    if (!text.empty() && text.front() >= '0' && text.front() <= '9') {
        length = 1;
        return text.front() - '0';
    }
    // Full-width ０..９ are EF BC 90..99.
    if (text.size() >= 3 && text[0] == '\xEF' && text[1] == '\xBC') {
        const auto third = static_cast<unsigned char>(text[2]);
        if (third >= 0x90 && third <= 0x99) {
            length = 3;
            return third - 0x90;
        }
    }
    return -1;
}

// Groups of records with equal trimmed non-empty texts in one column, each in record order.
std::vector<std::vector<int>> EqualTextGroups(const RosterRuleTexts& texts, int column, std::size_t records)
{
    std::map<std::string_view, std::vector<int>> byText;
    for (std::size_t r = 0; r < records; ++r)
        if (const std::string_view value = TrimRuleText(texts.text(r, column)); !value.empty())
            byText[value].push_back(static_cast<int>(r));
    std::vector<std::vector<int>> groups;
    for (auto& entry : byText)
        if (entry.second.size() >= 2)
            groups.push_back(std::move(entry.second));
    std::sort(groups.begin(), groups.end(),
        [](const std::vector<int>& a, const std::vector<int>& b) { return a.front() < b.front(); });
    return groups;
}

// The together groups joined where they share a student: a representative per record.
std::vector<int> TogetherUnits(const std::vector<std::vector<int>>& together, std::size_t records)
{
    UnionFind sets(records);
    for (const std::vector<int>& group : together)
        for (const int member : group)
            sets.Join(group.front(), member);
    std::vector<int> unit(records);
    for (std::size_t r = 0; r < records; ++r)
        unit[r] = sets.Find(static_cast<int>(r));
    return unit;
}

} // namespace

std::optional<long long> FixedClassNumber(std::string_view text)
{
    text = TrimRuleText(text);
    if (text.starts_with("第"))
        text.remove_prefix(std::string_view("第").size());
    if (text.ends_with("班"))
        text.remove_suffix(std::string_view("班").size());
    bool negative = false;
    if (text.starts_with("+") || text.starts_with("-")) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    } else if (text.starts_with("\xEF\xBC\x8D")) { // full-width minus
        negative = true;
        text.remove_prefix(3);
    }
    long long value = 0;
    bool anyDigit = false;
    std::size_t length = 0;
    for (int digit = LeadingDigit(text, length); digit >= 0; digit = LeadingDigit(text, length)) {
        value = std::min(value * 10 + digit, 1'000'000'000LL); // any larger value is out of range as well
        anyDigit = true;
        text.remove_prefix(length);
    }
    if (!anyDigit)
        return std::nullopt;
    if (text.starts_with(".") || text.starts_with("\xEF\xBC\x8E")) { // . or full-width ．
        text.remove_prefix(text.front() == '.' ? 1 : 3);
        while (LeadingDigit(text, length) == 0)
            text.remove_prefix(length);
    }
    if (!text.empty())
        return std::nullopt;
    return negative ? -value : value;
}

std::vector<std::pair<int, int>> ReadFixedClasses(const DivisionState& state, int classCount)
{
    const RosterRuleTexts& texts = state.RuleTexts;
    const std::size_t records = std::min(state.Records.size(), texts.cells.size());
    std::vector<std::pair<int, int>> fixed;
    std::vector<std::string> errors;
    for (std::size_t r = 0; r < records; ++r) {
        const int record = static_cast<int>(r);
        std::optional<std::pair<int, std::string_view>> first; // the class and its text
        for (std::size_t c = 0; c < texts.columns.size(); ++c) {
            if (texts.columns[c].kind != RuleColumnKind::Fixed)
                continue;
            const std::string_view text = TrimRuleText(texts.text(r, static_cast<int>(c)));
            if (text.empty())
                continue;
            const std::optional<long long> number = FixedClassNumber(text);
            const std::string quoted = Quoted(text);
            if (!number) {
                errors.push_back(StudentLabel(state, record) + "的固定班级" + quoted + "不是整数。");
                break;
            }
            if (*number < 1 || *number > classCount) {
                errors.push_back(StudentLabel(state, record) + "的固定班级" + quoted + "不在 1 到 "
                    + std::to_string(classCount) + " 之间。");
                break;
            }
            if (!first) {
                first.emplace(static_cast<int>(*number), text);
            } else if (first->first != *number) {
                errors.push_back(
                    StudentLabel(state, record) + "的固定班级" + Quoted(first->second) + "与" + quoted + "不一致。");
                break;
            }
        }
        if (first)
            fixed.emplace_back(record, first->first);
    }
    if (!errors.empty()) {
        std::string message = "固定班级有误，请在表格中改正后重新粘贴：";
        for (std::size_t k = 0; k < errors.size() && k < MostValueErrorsShown; ++k)
            message += "\n" + errors[k];
        if (errors.size() > MostValueErrorsShown)
            message += "\n……另有 " + std::to_string(errors.size() - MostValueErrorsShown) + " 处。";
        throw RuleValueError(message);
    }
    return fixed;
}

DivisionRules BuildDivisionRules(const DivisionState& state, int classCount, bool soundAlike)
{
    DivisionRules rules;
    const RosterRuleTexts& texts = state.RuleTexts;
    const std::size_t records = std::min(state.Records.size(), texts.cells.size());
    for (std::size_t c = 0; c < texts.columns.size(); ++c) {
        const RuleColumnKind kind = texts.columns[c].kind;
        if (kind == RuleColumnKind::Fixed)
            continue;
        std::vector<std::vector<int>>& list = kind == RuleColumnKind::Together ? rules.together
            : kind == RuleColumnKind::Apart                                    ? rules.apart
                                                                               : rules.spread;
        for (std::vector<int>& group : EqualTextGroups(texts, static_cast<int>(c), records))
            list.push_back(std::move(group));
    }
    if (!texts.empty())
        rules.fixed = ReadFixedClasses(state, classCount);

    if (soundAlike) {
        std::vector<std::string> names;
        names.reserve(state.Records.size());
        for (const auto& record : state.Records)
            names.push_back(Gb18030ToUtf8(record->Name));
        const std::vector<int> unit = TogetherUnits(rules.together, state.Records.size());
        for (const std::vector<int>& group : SoundAlikeGroups(names)) {
            std::vector<int> kept; // one student for each together unit
            for (const int member : group)
                if (std::none_of(kept.begin(), kept.end(), [&](int other) {
                        return unit[static_cast<std::size_t>(other)] == unit[static_cast<std::size_t>(member)];
                    }))
                    kept.push_back(member);
            if (kept.size() < 2)
                continue;
            (static_cast<int>(kept.size()) <= classCount ? rules.apart : rules.spread).push_back(std::move(kept));
        }
    }
    return rules;
}

namespace {

// Places the 固定 students as hand-placed ones; true when there were any.
bool PlaceFixed(DivisionState& state, int classCount)
{
    bool fixed = false;
    if (!state.RuleTexts.empty())
        for (const auto& [record, classNo] : ReadFixedClasses(state, classCount)) {
            TStudent& student = *state.Records[static_cast<std::size_t>(record)];
            student.ClassNo = classNo;
            student.Mark = ShortString<3>(HandPlacedMark);
            fixed = true;
        }
    return fixed;
}

} // namespace

bool AssignClassesWithRules(DivisionState& state, int classCount)
{
    if (state.FStudents.size() < 3 || classCount < 1)
        return false;
    const bool fixed = PlaceFixed(state, classCount);
    // Classes of even size around the 固定 students; hand moves alone keep the plain dealing.
    return AssignClasses(state, classCount, fixed);
}

bool AssignClassesWithRules(DivisionState& state, const SetupPlan& plan)
{
    const auto classCount = static_cast<int>(plan.places.size());
    if (state.FStudents.size() < 3 || classCount < 1)
        return false;
    PlaceFixed(state, classCount);
    return AssignBySetup(state, plan);
}

} // namespace fenban
