#include "engine/ClassSetup.h"

#include "engine/Assignment.h"
#include "engine/Division.h"
#include "engine/Statistics.h"
#include "roster/RuleColumns.h"

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace fenban {

namespace {

constexpr std::array<std::pair<ClassKind, std::string_view>, 3> KindTexts {{
    {ClassKind::Parallel, "平行班"},
    {ClassKind::Top, "实验班"},
    {ClassKind::Special, "特长班"},
}};

std::string Trimmed(std::string_view text)
{
    return std::string(TrimRuleText(text));
}

SetupColumn FindColumn(const DivisionState& state, std::string_view header)
{
    const std::string wanted = Trimmed(header);
    for (std::size_t c = 0; c < state.ExtraTexts.headers.size(); ++c)
        if (Trimmed(state.ExtraTexts.headers[c]) == wanted)
            return {wanted, true, true, static_cast<int>(c)};
    for (std::size_t c = 0; c < state.RuleTexts.columns.size(); ++c)
        if (Trimmed(state.RuleTexts.columns[c].header) == wanted)
            return {wanted, true, false, static_cast<int>(c)};
    return {wanted, false, false, 0};
}

std::string GroupName(const SetupClass& setupClass)
{
    std::string name(ClassKindText(setupClass.kind));
    if (!setupClass.column.empty())
        name += "（" + ConditionText(setupClass) + "）";
    return name;
}

// `count` shared out as evenly as possible, the first shares taking the odd ones.
std::vector<int> EvenShares(int count, int shares)
{
    std::vector<int> out(static_cast<std::size_t>(std::max(shares, 0)), 0);
    for (int k = 0; k < shares; ++k)
        out[static_cast<std::size_t>(k)] = count / shares + (k < count % shares ? 1 : 0);
    return out;
}

std::size_t Utf8Length(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string N(long long value)
{
    return std::to_string(value);
}

// Rooms for `dealt` students over classes holding `pinned` already, as even as
// the caps allow: the class with the fewest students gets the next place
// (the first such class), a class at its cap none; when the caps hold too few,
// the rest are shared as if there were none.
std::vector<int> FillEvenly(const std::vector<int>& pinned, const std::vector<int>& caps, int dealt)
{
    const std::size_t k = pinned.size();
    std::vector<int> room(k, 0);
    for (int pass = 0; pass < 2 && dealt > 0; ++pass) {
        // Raise a level until the students run out: every class below it and under its cap gets one.
        while (dealt > 0) {
            int level = -1;
            for (std::size_t c = 0; c < k; ++c)
                if (pass == 1 || pinned[c] + room[c] < caps[c])
                    level = level < 0 ? pinned[c] + room[c] : std::min(level, pinned[c] + room[c]);
            if (level < 0)
                break;
            for (std::size_t c = 0; c < k && dealt > 0; ++c)
                if ((pass == 1 || pinned[c] + room[c] < caps[c]) && pinned[c] + room[c] == level) {
                    ++room[c];
                    --dealt;
                }
        }
    }
    return room;
}

} // namespace

std::string_view ClassKindText(ClassKind kind)
{
    for (const auto& [k, text] : KindTexts)
        if (k == kind)
            return text;
    return KindTexts.front().second;
}

std::optional<ClassKind> ClassKindOfText(std::string_view text)
{
    const std::string_view trimmed = TrimRuleText(text);
    for (const auto& [k, name] : KindTexts)
        if (name == trimmed)
            return k;
    return std::nullopt;
}

bool ParseCondition(std::string_view text, std::string& column, std::string& value)
{
    const std::string_view trimmed = TrimRuleText(text);
    column.clear();
    value.clear();
    if (trimmed.empty())
        return true;
    std::size_t at = trimmed.find('=');
    std::size_t width = 1;
    if (const std::size_t wide = trimmed.find("＝"); wide != std::string_view::npos && wide < at) {
        at = wide;
        width = std::string_view("＝").size();
    }
    if (at == std::string_view::npos)
        return false;
    column = Trimmed(trimmed.substr(0, at));
    value = Trimmed(trimmed.substr(at + width));
    return !column.empty() && !value.empty();
}

std::string ConditionText(const SetupClass& setupClass)
{
    return setupClass.column.empty() ? std::string() : setupClass.column + "=" + setupClass.value;
}

std::string NameFromPattern(std::string_view pattern, int classNo)
{
    std::string name;
    for (const char c : pattern)
        if (c == '#')
            name += std::to_string(classNo);
        else
            name += c;
    return name;
}

std::string ClassNameOr(const ClassSetup& setup, int classNo, std::string otherwise)
{
    if (classNo < 1 || classNo > setup.classCount())
        return otherwise;
    return setup.classes[static_cast<std::size_t>(classNo - 1)].name;
}

ClassSetup ClassSetupOfRows(const std::vector<std::vector<std::string>>& rows)
{
    if (rows.empty())
        throw ClassSetupError("班级设置表是空的：第 1 行应是表头 班名、人数、类型、条件。");
    int name = -1, size = -1, kind = -1, condition = -1;
    for (std::size_t c = 0; c < rows[0].size(); ++c) {
        const std::string header = Trimmed(rows[0][c]);
        int& column = header == "班名" ? name : header == "人数" ? size : header == "类型" ? kind : condition;
        if (header == "班名" || header == "人数" || header == "类型" || header == "条件")
            column = static_cast<int>(c);
    }
    if (name < 0 || kind < 0)
        throw ClassSetupError("班级设置表的第 1 行应是表头 班名、人数、类型、条件（至少要有班名和类型）。");
    const auto cell = [](const std::vector<std::string>& row, int column) {
        return column >= 0 && static_cast<std::size_t>(column) < row.size()
            ? Trimmed(row[static_cast<std::size_t>(column)])
            : std::string();
    };
    ClassSetup setup;
    std::vector<std::size_t> rowOf; // class index -> row index
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const std::vector<std::string>& row = rows[r];
        if (std::all_of(row.begin(), row.end(), [](const std::string& text) { return TrimRuleText(text).empty(); }))
            continue;
        const std::string where = "班级设置表第 " + N(static_cast<long long>(r) + 1) + " 行：";
        SetupClass setupClass;
        setupClass.name = cell(row, name);
        const std::string sizeText = cell(row, size);
        if (!sizeText.empty()) {
            std::size_t used = 0;
            try {
                setupClass.size = std::stoi(sizeText, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (used != sizeText.size() || setupClass.size < 1)
                throw ClassSetupError(where + "人数“" + sizeText + "”不是正整数（空着是平分余下的学生）。");
        }
        const std::optional<ClassKind> read = ClassKindOfText(cell(row, kind));
        if (!read)
            throw ClassSetupError(where + "类型“" + cell(row, kind) + "”不是平行班、实验班或特长班。");
        setupClass.kind = *read;
        if (!ParseCondition(cell(row, condition), setupClass.column, setupClass.value))
            throw ClassSetupError(where + "条件“" + cell(row, condition) + "”要写成“列名=值”，如“特长=体育”。");
        setup.classes.push_back(std::move(setupClass));
        rowOf.push_back(r);
    }
    if (setup.empty())
        throw ClassSetupError("班级设置表中没有班级。");
    if (const std::optional<SetupFault> fault = FindSetupFault(setup))
        throw ClassSetupError("班级设置表第 "
            + N(static_cast<long long>(rowOf[static_cast<std::size_t>(fault->row)]) + 1) + " 行：" + fault->message);
    return setup;
}

std::optional<SetupFault> FindSetupFault(const ClassSetup& setup)
{
    std::map<std::string, int> seen;
    for (std::size_t c = 0; c < setup.classes.size(); ++c) {
        const SetupClass& setupClass = setup.classes[c];
        const int row = static_cast<int>(c);
        const std::string label = "第 " + N(row + 1) + " 个班";
        const std::string name = Trimmed(setupClass.name);
        if (name.empty())
            return SetupFault {row, 0, label + "没有班名。"};
        // A name becomes a sheet name of the workbook: none of its reserved characters, at most 31 characters,
        // none of the workbook's other sheets.
        if (name.find_first_of("[]:*?/\\") != std::string::npos)
            return SetupFault {row, 0, "班名“" + name + "”中不能有 [ ] : * ? / \\ 这些字符。"};
        if (Utf8Length(name) > 31)
            return SetupFault {row, 0, "班名“" + name + "”太长：至多 31 个字。"};
        if (name == "全部" || name == "平均分" || name == "均衡" || name == "操作记录")
            return SetupFault {row, 0, "班名不能是“" + name + "”：工作簿中已有这个工作表。"};
        if (const auto [at, added] = seen.emplace(name, row); !added)
            return SetupFault {
                row, 0, "班名“" + name + "”重复：第 " + N(at->second + 1) + " 个班和第 " + N(row + 1) + " 个班。"};
        if (setupClass.size < 0)
            return SetupFault {row, 1, label + "（" + name + "）的人数不能小于 1。"};
        const bool hasColumn = !setupClass.column.empty() || !setupClass.value.empty();
        if (hasColumn && (Trimmed(setupClass.column).empty() || Trimmed(setupClass.value).empty()))
            return SetupFault {row, 3, label + "（" + name + "）的条件要写成“列名=值”，如“志愿=实验班”。"};
        if (setupClass.kind == ClassKind::Special && !hasColumn)
            return SetupFault {row, 3, label + "（" + name + "）是特长班，要写条件，如“特长=体育”。"};
        if (setupClass.kind == ClassKind::Parallel && hasColumn)
            return SetupFault {row, 3, label + "（" + name + "）是平行班，不写条件：平行班收其余的学生。"};
    }
    return std::nullopt;
}

ClassGroups GroupsOf(const ClassSetup& setup)
{
    ClassGroups groups;
    std::map<std::tuple<int, std::string, std::string>, int> index;
    for (std::size_t c = 0; c < setup.classes.size(); ++c) {
        const SetupClass& setupClass = setup.classes[c];
        const auto key
            = std::tuple(static_cast<int>(setupClass.kind), Trimmed(setupClass.column), Trimmed(setupClass.value));
        const auto [at, added] = index.emplace(key, static_cast<int>(groups.classes.size()));
        if (added) {
            groups.classes.emplace_back();
            groups.names.push_back(GroupName(setupClass));
        }
        groups.groupOfClass.push_back(at->second);
        groups.classes[static_cast<std::size_t>(at->second)].push_back(static_cast<int>(c));
    }
    return groups;
}

std::vector<SetupColumn> SetupColumns(const DivisionState& state, const ClassSetup& setup)
{
    std::vector<SetupColumn> columns;
    for (const SetupClass& setupClass : setup.classes) {
        if (setupClass.column.empty())
            continue;
        SetupColumn column = FindColumn(state, setupClass.column);
        if (std::none_of(
                columns.begin(), columns.end(), [&](const SetupColumn& c) { return c.header == column.header; }))
            columns.push_back(std::move(column));
    }
    return columns;
}

std::string_view SetupColumnText(const DivisionState& state, const SetupColumn& column, std::size_t record)
{
    if (!column.found)
        return {};
    return column.extra ? state.ExtraTexts.text(record, static_cast<std::size_t>(column.index))
                        : state.RuleTexts.text(record, column.index);
}

std::string MissingSetupColumn(const DivisionState& state, const ClassSetup& setup)
{
    for (const SetupClass& setupClass : setup.classes)
        if (!setupClass.column.empty() && !FindColumn(state, setupClass.column).found)
            return setupClass.column;
    return {};
}

std::string SetupPauseReason(const DivisionState& state, const ClassSetup& setup, int classCount)
{
    if (setup.empty())
        return {};
    if (setup.classCount() != classCount)
        return "班级设置有 " + N(setup.classCount()) + " 个班，分班数是 " + N(classCount) + "：班级设置暂不使用。";
    if (const std::string missing = MissingSetupColumn(state, setup); !missing.empty())
        return "表格中没有班级设置用到的列“" + missing + "”：班级设置暂不使用。";
    return {};
}

SetupPlan PlanSetup(const DivisionState& state, const ClassSetup& setup)
{
    if (const std::optional<SetupFault> fault = FindSetupFault(setup))
        throw ClassSetupError(fault->message);
    if (const std::string missing = MissingSetupColumn(state, setup); !missing.empty())
        throw ClassSetupError("表格中没有班级设置用到的列“" + missing + "”。");
    SetupPlan plan;
    plan.groups = GroupsOf(setup);
    const std::size_t n = state.Records.size();
    const std::size_t groupCount = plan.groups.classes.size();
    plan.groupOfRecord.assign(n, -1);
    plan.places.assign(setup.classes.size(), 0);

    // Column groups claim their students first, the first class's group winning.
    std::vector<int> members(groupCount, 0);
    for (std::size_t g = 0; g < groupCount; ++g) {
        const SetupClass& setupClass = setup.classes[static_cast<std::size_t>(plan.groups.classes[g].front())];
        if (setupClass.column.empty())
            continue;
        const SetupColumn column = FindColumn(state, setupClass.column);
        const std::string value = Trimmed(setupClass.value);
        for (std::size_t i = 0; i < n; ++i)
            if (plan.groupOfRecord[i] < 0 && TrimRuleText(SetupColumnText(state, column, i)) == value) {
                plan.groupOfRecord[i] = static_cast<int>(g);
                ++members[g];
                ++plan.claimedByColumn;
            }
    }
    const int unclaimed = static_cast<int>(n) - plan.claimedByColumn;

    // Places: a column group's classes without a size share what its given sizes leave of its students;
    // the others share what the given sizes leave of the unclaimed students.
    int otherGiven = 0;
    std::vector<int> otherEmpty;
    long long allPlaces = 0;
    for (std::size_t g = 0; g < groupCount; ++g) {
        const std::vector<int>& classes = plan.groups.classes[g];
        const bool byColumn = !setup.classes[static_cast<std::size_t>(classes.front())].column.empty();
        int given = 0;
        std::vector<int> empty;
        for (const int c : classes) {
            const int size = setup.classes[static_cast<std::size_t>(c)].size;
            plan.places[static_cast<std::size_t>(c)] = size;
            if (size > 0)
                given += size;
            else
                empty.push_back(c);
        }
        if (!byColumn) {
            otherGiven += given;
            otherEmpty.insert(otherEmpty.end(), empty.begin(), empty.end());
            continue;
        }
        const std::vector<int> shares = EvenShares(std::max(members[g] - given, 0), static_cast<int>(empty.size()));
        for (std::size_t k = 0; k < empty.size(); ++k)
            plan.places[static_cast<std::size_t>(empty[k])] = shares[k];
        const int held = given + std::accumulate(shares.begin(), shares.end(), 0);
        if (members[g] > held)
            throw ClassSetupError(plan.groups.names[g] + "有 " + N(members[g]) + " 名学生，只有 " + N(held)
                + " 个位置：多 " + N(members[g] - held) + " 人。");
    }
    std::sort(otherEmpty.begin(), otherEmpty.end());
    if (!otherEmpty.empty()) {
        const int left = unclaimed - otherGiven;
        if (left < static_cast<int>(otherEmpty.size()))
            throw ClassSetupError("人数合计 " + N(otherGiven + plan.claimedByColumn) + "，年级 "
                + N(static_cast<long long>(n)) + " 人：没填人数的班分不到学生。");
        const std::vector<int> shares = EvenShares(left, static_cast<int>(otherEmpty.size()));
        for (std::size_t k = 0; k < otherEmpty.size(); ++k)
            plan.places[static_cast<std::size_t>(otherEmpty[k])] = shares[k];
    }
    for (const int places : plan.places)
        allPlaces += places;
    if (allPlaces < static_cast<long long>(n))
        throw ClassSetupError("人数合计 " + N(allPlaces) + "，年级 " + N(static_cast<long long>(n)) + " 人：还差 "
            + N(static_cast<long long>(n) - allPlaces) + " 个位置。");

    // The top of the unclaimed students by 总分, table order at equal totals, fills the 实验班 without a column.
    std::vector<int> free;
    free.reserve(static_cast<std::size_t>(unclaimed));
    for (std::size_t i = 0; i < n; ++i)
        if (plan.groupOfRecord[i] < 0)
            free.push_back(static_cast<int>(i));
    std::stable_sort(free.begin(), free.end(), [&](int a, int b) {
        return state.Records[static_cast<std::size_t>(a)]->Scores[0]
            > state.Records[static_cast<std::size_t>(b)]->Scores[0];
    });
    int topGroup = -1;
    int parallelGroup = -1;
    int topPlaces = 0;
    int parallelPlaces = 0;
    for (std::size_t g = 0; g < groupCount; ++g) {
        const SetupClass& setupClass = setup.classes[static_cast<std::size_t>(plan.groups.classes[g].front())];
        if (!setupClass.column.empty())
            continue;
        int places = 0;
        for (const int c : plan.groups.classes[g])
            places += plan.places[static_cast<std::size_t>(c)];
        (setupClass.kind == ClassKind::Top ? topGroup : parallelGroup) = static_cast<int>(g);
        (setupClass.kind == ClassKind::Top ? topPlaces : parallelPlaces) = places;
    }
    const int top = topGroup < 0 ? 0 : std::min(topPlaces, unclaimed);
    if (unclaimed - top > parallelPlaces)
        throw ClassSetupError(
            std::string(parallelGroup < 0 ? "没有平行班" : "平行班共 " + N(parallelPlaces) + " 个位置")
            + "，实验班和特长班以外还有 " + N(unclaimed - top) + " 名学生：还差 " + N(unclaimed - top - parallelPlaces)
            + " 个位置。");
    for (int k = 0; k < unclaimed; ++k)
        plan.groupOfRecord[static_cast<std::size_t>(free[static_cast<std::size_t>(k)])]
            = k < top ? topGroup : parallelGroup;
    return plan;
}

bool AssignBySetup(DivisionState& state, const SetupPlan& plan)
{
    TStudentList& roster = state.FStudents;
    const auto classCount = static_cast<int>(plan.places.size());
    if (roster.size() < 3 || classCount < 1 || plan.groupOfRecord.size() != state.Records.size())
        return false;
    for (const PStudent student : roster)
        if (student->IsHandPlaced() && (student->ClassNo < 1 || student->ClassNo > classCount))
            student->Mark = {};
    KeepHandPlacedMembers(state, classCount);

    // The gender groups of the whole grade, as the plain 编班 keeps them.
    SortByGender(roster);
    std::size_t boundary = 0;
    while (boundary < roster.size() && roster[boundary]->Gender == roster.front()->Gender)
        ++boundary;
    if (boundary == roster.size())
        boundary = 0;
    const auto split = roster.begin() + static_cast<std::ptrdiff_t>(boundary);
    state.FGroupA.assign(roster.begin(), split);
    state.FGroupB.assign(split, roster.end());
    SortByScore(state.FGroupA, 0);
    SortByScore(state.FGroupB, 0);

    std::unordered_map<const TStudent*, int> groupOf;
    groupOf.reserve(state.Records.size());
    for (std::size_t i = 0; i < state.Records.size(); ++i)
        groupOf.emplace(state.Records[i].get(), plan.groupOfRecord[i]);
    for (std::size_t g = 0; g < plan.groups.classes.size(); ++g) {
        const std::vector<int>& classes = plan.groups.classes[g];
        TStudentList dealt; // in gender order, then roster order: the plain 编班's order
        for (const PStudent student : roster)
            if (groupOf.at(student) == static_cast<int>(g) && !student->IsHandPlaced())
                dealt.push_back(student);
        std::vector<int> pinned;
        std::vector<int> caps;
        for (const int c : classes) {
            pinned.push_back(static_cast<int>(state.FClasses[static_cast<std::size_t>(c)].size()));
            caps.push_back(plan.places[static_cast<std::size_t>(c)]);
        }
        std::vector<int> room = FillEvenly(pinned, caps, static_cast<int>(dealt.size()));
        for (std::size_t i = 0; i < dealt.size();) {
            std::size_t end = i;
            while (end < dealt.size() && dealt[end]->Gender == dealt[i]->Gender)
                ++end;
            TStudentList run(
                dealt.begin() + static_cast<std::ptrdiff_t>(i), dealt.begin() + static_cast<std::ptrdiff_t>(end));
            SortByScore(run, 0);
            DealSerpentine(run, static_cast<int>(classes.size()), &room);
            for (const PStudent student : run)
                student->ClassNo = classes[static_cast<std::size_t>(student->ClassNo - 1)] + 1;
            i = end;
        }
    }

    for (int s = 0; s < SubjectCount; ++s)
        state.FGradeAvg[s] = SubjectAverage(roster, s);
    SortByClassNo(roster);
    for (const PStudent student : roster)
        if (!student->IsHandPlaced())
            state.FClasses[static_cast<std::size_t>(student->ClassNo - 1)].push_back(student);
    state.FClassAvg.assign(static_cast<std::size_t>(classCount), TSubjectValues {});
    state.FClassDev.assign(static_cast<std::size_t>(classCount), TSubjectValues {});
    ComputeClassStats(state);
    return true;
}

std::vector<int> StudentsOutOfGroup(const DivisionState& state, const SetupPlan& plan)
{
    std::vector<int> out;
    const std::vector<int> classes = ClassesOfRecords(state);
    for (std::size_t i = 0; i < classes.size() && i < plan.groupOfRecord.size(); ++i) {
        const int c = classes[i] - 1;
        if (c >= 0 && static_cast<std::size_t>(c) < plan.groups.groupOfClass.size()
            && plan.groups.groupOfClass[static_cast<std::size_t>(c)] != plan.groupOfRecord[i])
            out.push_back(static_cast<int>(i));
    }
    return out;
}

DivisionRules RulesOfPart(const DivisionRules& rules, const std::vector<int>& records, const std::vector<int>& classes)
{
    const auto part = [&](const std::vector<std::vector<int>>& groups) {
        std::vector<std::vector<int>> kept;
        for (const std::vector<int>& group : groups) {
            std::vector<int> local;
            for (const int i : group)
                if (i >= 0 && static_cast<std::size_t>(i) < records.size() && records[static_cast<std::size_t>(i)] >= 0)
                    local.push_back(records[static_cast<std::size_t>(i)]);
            if (local.size() >= 2)
                kept.push_back(std::move(local));
        }
        return kept;
    };
    DivisionRules out;
    out.together = part(rules.together);
    out.spread = part(rules.spread);
    // An apart group larger than the part's classes is spread instead, as the rules of a grade make it.
    for (std::vector<int>& group : part(rules.apart))
        (group.size() <= classes.size() ? out.apart : out.spread).push_back(std::move(group));
    for (const auto& [i, classNo] : rules.fixed) {
        if (i < 0 || static_cast<std::size_t>(i) >= records.size() || records[static_cast<std::size_t>(i)] < 0)
            continue;
        const auto at = std::find(classes.begin(), classes.end(), classNo - 1);
        if (at != classes.end())
            out.fixed.emplace_back(records[static_cast<std::size_t>(i)], static_cast<int>(at - classes.begin()) + 1);
    }
    return out;
}

} // namespace fenban
