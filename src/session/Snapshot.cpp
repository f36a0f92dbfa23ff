#include "session/Snapshot.h"

#include "common/Failure.h"
#include "roster/RosterBuilder.h"
#include "roster/ScoreParser.h"
#include "session/SessionErrors.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace fenban {

namespace {

const SharedIndices& EmptyIndices()
{
    static const SharedIndices empty = std::make_shared<const IndexList>();
    return empty;
}

bool SameBits(long double a, long double b)
{
    return std::memcmp(&a, &b, 10) == 0; // the 80 value bits, not the padding
}

bool SameValues(const TSubjectValues& a, const TSubjectValues& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), SameBits);
}

bool SameTables(const std::vector<TSubjectValues>& a, const std::vector<TSubjectValues>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), SameValues);
}

bool operator==(const StatisticsTables& a, const StatisticsTables& b)
{
    return SameValues(a.gradeAvg, b.gradeAvg) && SameValues(a.devSum, b.devSum) && SameTables(a.classAvg, b.classAvg)
        && SameTables(a.classDev, b.classDev);
}

template <class T> bool SameContent(const std::shared_ptr<const T>& a, const std::shared_ptr<const T>& b)
{
    return a == b || *a == *b;
}

bool SameRoster(const RosterSource& a, const RosterSource& b)
{
    return a.built == b.built && a.decimalSeparator == b.decimalSeparator && SameContent(a.table, b.table)
        && SameContent(a.extras, b.extras);
}

// "第 5 行的学生": a student by its row as the spreadsheet numbers it (the header is row 1).
std::string StudentAt(std::size_t index)
{
    return "第 " + std::to_string(index + 2) + " 行的学生";
}

void Require(bool holds, const std::string& reason)
{
    if (!holds)
        throw SnapshotError(reason);
}

// Every index below n at most once; `seen` remembers them across calls.
void CheckIndices(const IndexList& list, std::vector<bool>& seen, const std::string& where)
{
    for (const std::uint32_t i : list) {
        Require(i < seen.size(), where + "中有不存在的学生");
        Require(!seen[i], StudentAt(i) + "在" + where + "中出现了两次");
        seen[i] = true;
    }
}

bool AllSeen(const std::vector<bool>& seen)
{
    return std::all_of(seen.begin(), seen.end(), [](bool s) { return s; });
}

TStudentList Pointers(const IndexList& list, const std::vector<std::unique_ptr<TStudent>>& records)
{
    TStudentList pointers;
    pointers.reserve(list.size());
    for (const std::uint32_t i : list)
        pointers.push_back(records[i].get());
    return pointers;
}

const std::shared_ptr<const ShownFigures>& NothingShown()
{
    static const std::shared_ptr<const ShownFigures> none = std::make_shared<const ShownFigures>();
    return none;
}

} // namespace

bool operator==(const ShownFigures& a, const ShownFigures& b)
{
    return a.averagesDrawn == b.averagesDrawn && a.subjectNames == b.subjectNames
        && SameTables(a.classAverages, b.classAverages) && a.headcounts == b.headcounts
        && SameValues(a.gradeAverages, b.gradeAverages) && a.hasTotal == b.hasTotal
        && (!a.hasTotal || SameBits(a.total, b.total));
}

const std::shared_ptr<const PackedGrid>& EmptyTable()
{
    static const std::shared_ptr<const PackedGrid> empty = PackedGrid::Pack(CellGrid(1, 1));
    return empty;
}

const std::shared_ptr<const RosterExtraTexts>& NoExtraTexts()
{
    static const std::shared_ptr<const RosterExtraTexts> none = std::make_shared<const RosterExtraTexts>();
    return none;
}

Snapshot::Snapshot()
    : classNos(std::make_shared<const std::vector<std::int32_t>>())
    , handPlaced(EmptyIndices())
    , students(EmptyIndices())
    , groupA(EmptyIndices())
    , groupB(EmptyIndices())
    , statistics(std::make_shared<const StatisticsTables>())
    , shown(NothingShown())
{
}

bool operator==(const Snapshot& a, const Snapshot& b)
{
    return SameRoster(a.roster, b.roster) && SameContent(a.classNos, b.classNos)
        && SameContent(a.handPlaced, b.handPlaced) && SameContent(a.students, b.students)
        && SameContent(a.groupA, b.groupA) && SameContent(a.groupB, b.groupB)
        && std::equal(a.classes.begin(), a.classes.end(), b.classes.begin(), b.classes.end(), SameContent<IndexList>)
        && SameContent(a.statistics, b.statistics) && SameContent(a.shown, b.shown) && a.settings == b.settings
        && a.tableShown == b.tableShown && a.shownClass == b.shownClass && a.selCol == b.selCol && a.selRow == b.selRow
        && (a.after == b.after || (a.after && b.after && *a.after == *b.after));
}

Snapshot CaptureSnapshot(const DivisionState& state, const RosterSource& source, const Settings& settings,
    std::shared_ptr<const ShownFigures> shown, bool tableShown)
{
    const std::size_t n = state.Records.size();
    std::unordered_map<const TStudent*, std::uint32_t> index;
    index.reserve(n);
    auto classNos = std::make_shared<std::vector<std::int32_t>>(n);
    auto handPlaced = std::make_shared<IndexList>();
    for (std::size_t i = 0; i < n; ++i) {
        const TStudent& student = *state.Records[i];
        index.emplace(&student, static_cast<std::uint32_t>(i));
        (*classNos)[i] = student.ClassNo;
        if (student.IsHandPlaced())
            handPlaced->push_back(static_cast<std::uint32_t>(i));
        else if (!student.Mark.empty())
            throw SnapshotError(StudentAt(i) + "带有不能保存的标记");
    }
    const auto indices = [&index](const TStudentList& list) -> SharedIndices {
        if (list.empty())
            return EmptyIndices();
        auto out = std::make_shared<IndexList>();
        out->reserve(list.size());
        for (const PStudent student : list) {
            const auto found = index.find(student);
            if (found == index.end())
                throw SnapshotError("名单中有不属于当前名册的学生");
            out->push_back(found->second);
        }
        return out;
    };

    Snapshot snapshot;
    snapshot.roster = source;
    snapshot.classNos = std::move(classNos);
    snapshot.handPlaced = handPlaced->empty() ? EmptyIndices() : SharedIndices(std::move(handPlaced));
    snapshot.students = indices(state.FStudents);
    snapshot.groupA = indices(state.FGroupA);
    snapshot.groupB = indices(state.FGroupB);
    snapshot.classes.reserve(state.FClasses.size());
    for (const TStudentList& list : state.FClasses)
        snapshot.classes.push_back(indices(list));
    snapshot.statistics = std::make_shared<const StatisticsTables>(
        StatisticsTables {state.FGradeAvg, state.FDevSum, state.FClassAvg, state.FClassDev});
    snapshot.shown = shown ? std::move(shown) : NothingShown();
    snapshot.settings = settings;
    snapshot.tableShown = tableShown;
    return snapshot;
}

Choices ChoicesOf(const Snapshot& s)
{
    const Settings& c = s.settings;
    return {c.classA, c.classB, c.subject, c.coefficient, c.manual, c.soundAlike, s.tableShown, s.shownClass, s.selCol,
        s.selRow, c.rankBands};
}

void SetChoices(Snapshot& s, const Choices& choices)
{
    Settings& c = s.settings;
    c.classA = choices.classA;
    c.classB = choices.classB;
    c.subject = choices.subject;
    c.coefficient = choices.coefficient;
    c.manual = choices.manual;
    c.soundAlike = choices.soundAlike;
    s.tableShown = choices.tableShown;
    s.shownClass = choices.shownClass;
    s.selCol = choices.selCol;
    s.selRow = choices.selRow;
    c.rankBands = choices.rankBands;
}

void CheckSnapshot(const Snapshot& s)
{
    Require(s.roster.table && s.roster.extras && s.shown && s.classNos && s.handPlaced && s.students && s.groupA
            && s.groupB && s.statistics,
        "缺少内容");
    const std::size_t n = s.studentCount();
    Require(s.roster.extras->cells.size() <= n, "附加列的行数多于学生人数");
    if (s.roster.built)
        Require(n == static_cast<std::size_t>(s.roster.table->rowCount() - 1), "学生人数与表格的行数不符");
    else
        Require(n == 0, "表格没有读成名册，却记有学生");
    if (s.after) {
        Require(s.after->asRead && s.after->extrasAsRead, "缺少内容");
        Require(s.after->ids.size() == n, "变更记录的学生编号与名册人数不符");
        for (const StudentId id : s.after->ids)
            Require(id >= 0 && id < s.after->nextId, "变更记录的学生编号超出范围");
    }

    std::uint32_t next = 0;
    for (const std::uint32_t i : *s.handPlaced) {
        Require(i >= next && i < n, "手动调班的标记指向不存在的学生");
        next = i + 1;
    }

    std::vector<bool> seen(n, false);
    CheckIndices(*s.students, seen, "名册");
    Require(AllSeen(seen), "名册中缺少学生");

    seen.assign(n, false);
    CheckIndices(*s.groupA, seen, "男女分组");
    CheckIndices(*s.groupB, seen, "男女分组");
    Require(AllSeen(seen) || (s.groupA->empty() && s.groupB->empty()), "男女分组中缺少学生");

    Require(s.classes.size() <= static_cast<std::size_t>(MaxClassCount), "班级名单超过 100 个");
    seen.assign(n, false);
    for (std::size_t c = 0; c < s.classes.size(); ++c) {
        Require(s.classes[c] != nullptr, "缺少内容");
        const std::string where = "第 " + std::to_string(c + 1) + " 班的名单";
        CheckIndices(*s.classes[c], seen, where);
        for (const std::uint32_t i : *s.classes[c])
            Require((*s.classNos)[i] == static_cast<std::int32_t>(c) + 1,
                StudentAt(i) + "在" + where + "中，班号却是 " + std::to_string((*s.classNos)[i]));
    }

    const StatisticsTables& stats = *s.statistics;
    Require(stats.classAvg.size() == stats.classDev.size(), "各班平均分与离差的班数不一致");
    Require(stats.classAvg.size() <= static_cast<std::size_t>(MaxClassCount), "平均分表超过 100 个班");

    const ShownFigures& shown = *s.shown;
    Require(shown.classAverages.size() == shown.headcounts.size(), "平均分表的班数与各班人数不一致");
    Require(shown.classAverages.size() <= static_cast<std::size_t>(MaxClassCount), "平均分表超过 100 个班");
    Require(shown.subjectNames.empty() || shown.subjectNames.size() == static_cast<std::size_t>(SubjectCount),
        "平均分表的科目名个数不对");

    const Settings& c = s.settings;
    const auto inClassRange = [](int k) { return k >= 1 && k <= MaxClassCount; };
    Require(inClassRange(c.classCount), "分班数 " + std::to_string(c.classCount) + " 不在 1 到 100 之间");
    Require(inClassRange(c.classA) && inClassRange(c.classB), "互换班级的班号不在 1 到 100 之间");
    Require(
        c.subjectNames.empty() || c.subjectNames.size() == static_cast<std::size_t>(SubjectCount), "科目名的个数不对");
    Require(c.subject >= -1 && c.subject < static_cast<int>(c.subjectNames.size()), "调整科目的序号超出科目数");
    Require(std::find(std::begin(RankBandChoices), std::end(RankBandChoices), c.rankBands) != std::end(RankBandChoices),
        "分数段数 " + std::to_string(c.rankBands) + " 不是 0、5、10 或 20");
    if (const std::optional<SetupFault> fault = FindSetupFault(c.setup))
        Require(false, "班级设置有误：" + fault->message);
    Require(s.shownClass >= -1 && s.shownClass < MaxClassCount, "所列班级的序号无效");
    Require(s.selCol >= -1 && s.selRow >= -1, "所选单元格的位置无效");
}

BuiltRoster BuildSnapshotRecords(const Snapshot& snapshot)
{
    if (!snapshot.roster.built)
        return {};
    const CellGrid table = snapshot.roster.table->Unpack();
    const std::string& separator = snapshot.roster.decimalSeparator;
    BuiltRoster built;
    try {
        built = BuildRosterFromGrid(table, separator);
    } catch (const ConversionError&) {
        // The cell that stopped the build, in the build's order.
        for (int row = 1; row < table.rowCount(); ++row)
            for (int col = ClassColumn; col < FirstScoreColumn + SubjectCount; ++col)
                try {
                    if (col == ClassColumn)
                        ParseClassNo(table.cell(col, row), separator);
                    else
                        ParseScore(table.cell(col, row), separator);
                } catch (const ConversionError&) {
                    throw SnapshotError("表格第 " + std::to_string(row) + " 行第 " + std::to_string(col) + " 列的“"
                        + table.cell(col, row) + "”读不成数");
                }
        throw;
    }
    Require(built.students.size() == snapshot.studentCount(), "学生人数与表格的行数不符");
    return built;
}

void RestoreSnapshot(const Snapshot& s, DivisionState& state, RosterSource& source)
{
    CheckSnapshot(s);
    const std::size_t n = s.studentCount();
    const bool keep = source.built && SameRoster(source, s.roster) && state.Records.size() == n;
    BuiltRoster fresh;
    if (!keep)
        fresh = BuildSnapshotRecords(s);
    // Checked: from here on nothing fails.
    if (!keep) {
        state.Records = std::move(fresh.students);
        state.RuleTexts = std::move(fresh.rules); // the rule columns come with the roster
        state.ExtraTexts = *s.roster.extras;
    }
    for (std::size_t i = 0; i < n; ++i) {
        state.Records[i]->ClassNo = (*s.classNos)[i];
        state.Records[i]->Mark = {};
    }
    for (const std::uint32_t i : *s.handPlaced)
        state.Records[i]->Mark = ShortString<3>(HandPlacedMark);

    state.FStudents = Pointers(*s.students, state.Records);
    state.FGroupA = Pointers(*s.groupA, state.Records);
    state.FGroupB = Pointers(*s.groupB, state.Records);
    state.FClasses.clear();
    for (const SharedIndices& list : s.classes)
        state.FClasses.push_back(Pointers(*list, state.Records));
    state.FGradeAvg = s.statistics->gradeAvg;
    state.FDevSum = s.statistics->devSum;
    state.FClassAvg = s.statistics->classAvg;
    state.FClassDev = s.statistics->classDev;
    source = s.roster;
}

namespace {

template <class T> void ShareIfEqual(std::shared_ptr<const T>& next, const std::shared_ptr<const T>& previous)
{
    if (next != previous && *next == *previous)
        next = previous;
}

constexpr std::size_t SharedBlock = 16; // reference counts beside a shared object

template <class T> std::size_t VectorBytes(const std::vector<T>& v)
{
    return sizeof(v) + v.capacity() * sizeof(T) + SharedBlock;
}

std::size_t StringBytes(const std::string& text)
{
    return text.capacity() > 15 ? text.capacity() + 1 : 0; // beyond the text held in place
}

} // namespace

void ShareUnchanged(Snapshot& next, const Snapshot& previous)
{
    ShareIfEqual(next.roster.table, previous.roster.table);
    ShareIfEqual(next.roster.extras, previous.roster.extras);
    ShareIfEqual(next.classNos, previous.classNos);
    ShareIfEqual(next.handPlaced, previous.handPlaced);
    ShareIfEqual(next.students, previous.students);
    ShareIfEqual(next.groupA, previous.groupA);
    ShareIfEqual(next.groupB, previous.groupB);
    for (std::size_t c = 0; c < std::min(next.classes.size(), previous.classes.size()); ++c)
        ShareIfEqual(next.classes[c], previous.classes[c]);
    ShareIfEqual(next.statistics, previous.statistics);
    ShareIfEqual(next.shown, previous.shown);
}

void CountHeldBytes(const Snapshot& s, std::unordered_set<const void*>& counted, std::size_t& bytes)
{
    const auto add = [&](const void* part, std::size_t size) {
        if (counted.insert(part).second)
            bytes += size;
    };
    std::size_t own = sizeof(Snapshot) + s.classes.capacity() * sizeof(SharedIndices)
        + StringBytes(s.roster.decimalSeparator) + s.settings.subjectNames.capacity() * sizeof(std::string);
    for (const std::string& name : s.settings.subjectNames)
        own += StringBytes(name);
    add(&s, own);
    add(s.roster.table.get(), s.roster.table->heldBytes() + SharedBlock);
    std::size_t extraBytes = sizeof(RosterExtraTexts) + SharedBlock;
    for (const std::string& header : s.roster.extras->headers)
        extraBytes += sizeof(std::string) + StringBytes(header);
    for (const std::vector<std::string>& row : s.roster.extras->cells) {
        extraBytes += VectorBytes(row);
        for (const std::string& text : row)
            extraBytes += StringBytes(text);
    }
    add(s.roster.extras.get(), extraBytes);
    const ShownFigures& shown = *s.shown;
    add(&shown,
        sizeof(shown) + SharedBlock + shown.classAverages.capacity() * sizeof(TSubjectValues)
            + shown.headcounts.capacity() * sizeof(Headcount) + shown.subjectNames.capacity() * sizeof(std::string));
    add(s.classNos.get(), VectorBytes(*s.classNos));
    for (const SharedIndices* list : {&s.handPlaced, &s.students, &s.groupA, &s.groupB})
        add(list->get(), VectorBytes(**list));
    for (const SharedIndices& list : s.classes)
        add(list.get(), VectorBytes(*list));
    const StatisticsTables& stats = *s.statistics;
    add(&stats,
        sizeof(stats) + SharedBlock + stats.classAvg.capacity() * sizeof(TSubjectValues)
            + stats.classDev.capacity() * sizeof(TSubjectValues));
}

} // namespace fenban
