#include "session/DivisionFile.h"

#include "common/FileSaving.h"
#include "roster/RosterBuilder.h"
#include "session/SessionErrors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

namespace fenban {

namespace {

constexpr std::string_view BitsPrefix = "bits:";
constexpr int MaxColumns = 1'000'000;
// Columns a table may have beyond its widest row (empty ones at its end).
constexpr qsizetype SpareColumns = 256;

QString Text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString Key(const char* key)
{
    return QString::fromLatin1(key);
}

} // namespace

std::string ExtendedText(long double value)
{
    std::array<char, 64> buffer {};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    std::string text(buffer.data(), written.ptr);
    if (const std::optional<long double> back = ParseExtendedText(text); back && std::memcmp(&*back, &value, 10) == 0)
        return text;
    // Values the decimal reading does not return exactly (values below the
    // normal range, not-a-number patterns): the 80 bits, sign and exponent first.
    std::array<unsigned char, sizeof(long double)> bytes {};
    std::memcpy(bytes.data(), &value, sizeof value);
    constexpr char digits[] = "0123456789abcdef";
    text = BitsPrefix;
    for (int i = 9; i >= 0; --i) {
        text += digits[bytes[static_cast<std::size_t>(i)] >> 4];
        text += digits[bytes[static_cast<std::size_t>(i)] & 0xF];
    }
    return text;
}

std::optional<long double> ParseExtendedText(std::string_view text)
{
    if (text.starts_with(BitsPrefix)) {
        text.remove_prefix(BitsPrefix.size());
        if (text.size() != 20)
            return std::nullopt;
        std::array<unsigned char, sizeof(long double)> bytes {};
        for (std::size_t i = 0; i < 10; ++i) {
            unsigned byte = 0;
            const char* const pair = text.data() + 2 * (9 - i);
            const auto read = std::from_chars(pair, pair + 2, byte, 16);
            if (read.ec != std::errc() || read.ptr != pair + 2)
                return std::nullopt;
            bytes[i] = static_cast<unsigned char>(byte);
        }
        long double value = 0;
        std::memcpy(&value, bytes.data(), sizeof value);
        return value;
    }
    long double value = 0;
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ec != std::errc() || read.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string PathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

namespace {

// Writing

QJsonObject TableJson(const PackedGrid& table)
{
    QJsonArray rows;
    table.forEachRow([&rows](int, const std::vector<std::string_view>& cells) {
        QJsonArray row;
        for (const std::string_view cell : cells)
            row.append(Text(cell));
        rows.append(row);
    });
    return {{Key("columns"), table.colCount()}, {Key("rows"), table.rowCount()}, {Key("cells"), rows}};
}

QJsonArray IndicesJson(const IndexList& list)
{
    QJsonArray out;
    for (const std::uint32_t i : list)
        out.append(static_cast<qint64>(i));
    return out;
}

QJsonArray ValuesJson(const TSubjectValues& values)
{
    QJsonArray out;
    for (const long double value : values)
        out.append(Text(ExtendedText(value)));
    return out;
}

QJsonArray RowsJson(const std::vector<TSubjectValues>& rows)
{
    QJsonArray out;
    for (const TSubjectValues& row : rows)
        out.append(ValuesJson(row));
    return out;
}

QJsonArray TextsJson(const std::vector<std::string>& texts)
{
    QJsonArray out;
    for (const std::string& text : texts)
        out.append(Text(text));
    return out;
}

// Reading: every helper throws SnapshotError naming the member.

[[noreturn]] void Wrong(const char* key, const std::string& should)
{
    throw SnapshotError(std::string("“") + key + "”应当是" + should);
}

QJsonValue Member(const QJsonObject& object, const char* key)
{
    const auto found = object.find(Key(key));
    if (found == object.end())
        throw SnapshotError(std::string("缺少“") + key + "”");
    return *found;
}

QJsonObject ObjectOf(const QJsonObject& object, const char* key)
{
    const QJsonValue value = Member(object, key);
    if (!value.isObject())
        Wrong(key, "一组内容");
    return value.toObject();
}

QJsonArray ArrayOf(const QJsonValue& value, const char* key)
{
    if (!value.isArray())
        Wrong(key, "一个列表");
    return value.toArray();
}

QJsonArray ArrayOf(const QJsonObject& object, const char* key)
{
    return ArrayOf(Member(object, key), key);
}

std::string TextOf(const QJsonValue& value, const char* key)
{
    if (!value.isString())
        Wrong(key, "文字");
    return value.toString().toStdString();
}

bool FlagOf(const QJsonObject& object, const char* key)
{
    const QJsonValue value = Member(object, key);
    if (!value.isBool())
        Wrong(key, " true 或 false");
    return value.toBool();
}

std::int64_t IntegerOf(const QJsonValue& value, const char* key, std::int64_t low, std::int64_t high)
{
    const double number = value.toDouble();
    if (!value.isDouble() || !(number >= static_cast<double>(low) && number <= static_cast<double>(high))
        || number != static_cast<double>(static_cast<std::int64_t>(number)))
        Wrong(key, " " + std::to_string(low) + " 到 " + std::to_string(high) + " 之间的整数");
    return static_cast<std::int64_t>(number);
}

int IntOf(const QJsonObject& object, const char* key, int low, int high)
{
    return static_cast<int>(IntegerOf(Member(object, key), key, low, high));
}

SharedIndices IndicesOf(const QJsonValue& value, const char* key)
{
    const QJsonArray array = ArrayOf(value, key);
    auto list = std::make_shared<IndexList>();
    list->reserve(static_cast<std::size_t>(array.size()));
    for (const QJsonValue& entry : array)
        list->push_back(
            static_cast<std::uint32_t>(IntegerOf(entry, key, 0, std::numeric_limits<std::uint32_t>::max())));
    return list;
}

TSubjectValues ValuesOf(const QJsonValue& value, const char* key)
{
    const QJsonArray array = ArrayOf(value, key);
    if (array.size() != SubjectCount)
        Wrong(key, std::to_string(SubjectCount) + " 个数");
    TSubjectValues values {};
    for (int s = 0; s < SubjectCount; ++s) {
        const std::optional<long double> parsed = ParseExtendedText(TextOf(array[s], key));
        if (!parsed)
            Wrong(key, "写成文字的数");
        values[static_cast<std::size_t>(s)] = *parsed;
    }
    return values;
}

std::vector<TSubjectValues> RowsOf(const QJsonObject& object, const char* key)
{
    const QJsonArray array = ArrayOf(object, key);
    if (array.size() > MaxClassCount)
        Wrong(key, "至多 100 个班的数");
    std::vector<TSubjectValues> rows;
    for (const QJsonValue& row : array)
        rows.push_back(ValuesOf(row, key));
    return rows;
}

// A table of the file. The declared counts are checked against the rows
// listed before anything is made, so a file cannot ask for a huge grid.
CellGrid GridOf(const QJsonObject& parent, const char* key, int maxColumns, int maxRows)
{
    const QJsonObject object = ObjectOf(parent, key);
    const int cols = IntOf(object, "columns", 1, maxColumns);
    const int rows = IntOf(object, "rows", 1, maxRows);
    const QJsonArray cells = ArrayOf(object, "cells");
    if (cells.size() != rows)
        throw SnapshotError(std::string("“") + key + "”的行数不对");
    qsizetype widest = 0;
    for (const QJsonValue& line : cells)
        widest = std::max(widest, ArrayOf(line, "cells").size());
    if (widest > cols)
        throw SnapshotError(std::string("“") + key + "”中有一行超出了列数");
    if (cols > widest + SpareColumns)
        throw SnapshotError(std::string("“") + key + "”的列数不对");
    CellGrid grid(cols, rows);
    for (int row = 0; row < rows; ++row) {
        const QJsonArray line = cells[row].toArray();
        for (int col = 0; col < line.size(); ++col)
            grid.setCell(col, row, TextOf(line[col], "cells"));
    }
    return grid;
}

std::shared_ptr<const PackedGrid> TableOf(const QJsonObject& parent, const char* key)
{
    return PackedGrid::Pack(GridOf(parent, key, MaxColumns, std::numeric_limits<int>::max()));
}

// A number as the window wrote it (general format, the roster's separator).
std::optional<long double> ShownNumber(std::string text, const std::string& separator)
{
    if (separator != "." && !separator.empty())
        if (const auto at = text.find(separator); at != std::string::npos)
            text.replace(at, separator.size(), ".");
    return ParseExtendedText(text);
}

// Version 1 kept the averages grid as drawn: its figures are read back from
// the texts, which give the same texts when drawn again.
ShownFigures ShownFromDrawnTable(const CellGrid& grid, const std::string& separator)
{
    ShownFigures shown;
    if (grid.colCount() != SubjectCount + 1)
        return shown; // never drawn: the grid of the start
    const int classes = grid.rowCount() - 2;
    if (classes < 0)
        throw SnapshotError("“averagesTable”的行数不对");
    shown.averagesDrawn = true;
    for (int s = 0; s < SubjectCount; ++s)
        shown.subjectNames.push_back(grid.cell(s + 1, 0));
    const auto number = [&](int col, int row) {
        const std::optional<long double> value = ShownNumber(grid.cell(col, row), separator);
        if (!value)
            throw SnapshotError("“averagesTable”中有读不成数的平均分");
        return *value;
    };
    for (int row = 1; row <= classes; ++row) {
        TSubjectValues values {};
        for (int s = 0; s < SubjectCount; ++s)
            values[static_cast<std::size_t>(s)] = number(s + 1, row);
        shown.classAverages.push_back(values);
        Headcount count;
        char tail = 0;
        const std::string label = grid.cell(0, row);
        int classNo = 0;
        if (std::sscanf(label.c_str(), "%d (%d/%d%c", &classNo, &count.boys, &count.size, &tail) != 4 || tail != ')'
            || classNo != row)
            throw SnapshotError("“averagesTable”中有无效的班级标签");
        shown.headcounts.push_back(count);
    }
    for (int s = 0; s < SubjectCount; ++s)
        shown.gradeAverages[static_cast<std::size_t>(s)] = number(s + 1, classes + 1);
    return shown;
}

// The opened table's extra columns; none in a file without them.
std::shared_ptr<const RosterExtraTexts> ExtraTextsOf(const QJsonObject& root, std::size_t students)
{
    if (!root.contains(Key("extraColumns")))
        return NoExtraTexts();
    const QJsonObject object = ObjectOf(root, "extraColumns");
    const QJsonArray headers = ArrayOf(object, "headers");
    const QJsonArray cells = ArrayOf(object, "cells");
    if (static_cast<std::size_t>(cells.size()) > students)
        Wrong("cells", "不多于学生人数的列表");
    auto extras = std::make_shared<RosterExtraTexts>();
    for (const QJsonValue& header : headers)
        extras->headers.push_back(TextOf(header, "headers"));
    for (const QJsonValue& line : cells) {
        const QJsonArray texts = ArrayOf(line, "cells");
        if (texts.size() > headers.size())
            Wrong("cells", "不多于附加列数的文字");
        std::vector<std::string>& row = extras->cells.emplace_back();
        for (const QJsonValue& text : texts)
            row.push_back(TextOf(text, "cells"));
    }
    if (extras->empty() && extras->cells.empty())
        return NoExtraTexts();
    return extras;
}

QJsonObject ExtraColumnsJson(const RosterExtraTexts& extras)
{
    QJsonArray cells;
    for (const std::vector<std::string>& row : extras.cells)
        cells.append(TextsJson(row));
    return {{Key("headers"), TextsJson(extras.headers)}, {Key("cells"), cells}};
}

QJsonArray RowsOfTexts(const std::vector<std::vector<std::string>>& rows)
{
    QJsonArray out;
    for (const std::vector<std::string>& row : rows)
        out.append(TextsJson(row));
    return out;
}

constexpr const char* ChangeKindNames[] = {"arrival", "leave", "request"};

// What the changes after the division added (docs/file-format.md).
QJsonObject AfterDivisionJson(const AfterDivision& after)
{
    QJsonObject object {
        {Key("asRead"), TableJson(*after.asRead)}, {Key("readCount"), after.readCount}, {Key("nextId"), after.nextId}};
    if (!after.extrasAsRead->empty())
        object[Key("extraColumns")] = ExtraColumnsJson(*after.extrasAsRead);
    QJsonArray ids;
    for (const StudentId id : after.ids)
        ids.append(id);
    object[Key("ids")] = ids;
    QJsonArray left;
    for (const LeftStudent& student : after.left)
        left.append(QJsonObject {{Key("id"), student.id}, {Key("cells"), TextsJson(student.cells)},
            {Key("extras"), TextsJson(student.extras)}, {Key("classNo"), student.classNo},
            {Key("date"), Text(student.date)}, {Key("kind"), Text(student.kind)},
            {Key("reason"), Text(student.reason)}});
    object[Key("left")] = left;
    QJsonArray changes;
    for (const ChangeEntry& entry : after.changes) {
        QJsonArray placements;
        for (const auto& [id, classNo] : entry.placements)
            placements.append(QJsonArray {id, classNo});
        QJsonArray fromClasses;
        for (const std::int32_t classNo : entry.fromClasses)
            fromClasses.append(classNo);
        changes.append(QJsonObject {{Key("kind"), Key(ChangeKindNames[static_cast<int>(entry.kind)])},
            {Key("date"), Text(entry.date)}, {Key("by"), Text(entry.by)}, {Key("reason"), Text(entry.reason)},
            {Key("leaveKind"), Text(entry.leaveKind)}, {Key("rows"), RowsOfTexts(entry.rows)},
            {Key("rowExtras"), RowsOfTexts(entry.rowExtras)}, {Key("student"), entry.student},
            {Key("placements"), placements}, {Key("placedNames"), TextsJson(entry.placedNames)},
            {Key("fromClasses"), fromClasses}, {Key("resultBefore"), Text(entry.resultBefore)},
            {Key("resultAfter"), Text(entry.resultAfter)}, {Key("figures"), Text(entry.figures)}});
    }
    object[Key("changes")] = changes;
    return object;
}

std::vector<std::string> TextsOf(const QJsonValue& value, const char* key)
{
    std::vector<std::string> texts;
    for (const QJsonValue& text : ArrayOf(value, key))
        texts.push_back(TextOf(text, key));
    return texts;
}

std::vector<std::vector<std::string>> RowsOfTextsOf(const QJsonObject& object, const char* key)
{
    std::vector<std::vector<std::string>> rows;
    for (const QJsonValue& row : ArrayOf(object, key))
        rows.push_back(TextsOf(row, key));
    return rows;
}

std::shared_ptr<const AfterDivision> AfterDivisionOf(const QJsonObject& root)
{
    if (!root.contains(Key("afterDivision")))
        return nullptr;
    const QJsonObject object = ObjectOf(root, "afterDivision");
    auto after = std::make_shared<AfterDivision>();
    after->asRead = TableOf(object, "asRead");
    after->readCount = IntOf(object, "readCount", 0, 1 << 30);
    after->nextId = IntOf(object, "nextId", after->readCount, 1 << 30);
    after->extrasAsRead = ExtraTextsOf(object, static_cast<std::size_t>(after->readCount));
    for (const QJsonValue& id : ArrayOf(object, "ids"))
        after->ids.push_back(static_cast<StudentId>(IntegerOf(id, "ids", 0, after->nextId - 1)));
    for (const QJsonValue& value : ArrayOf(object, "left")) {
        const QJsonObject student = ObjectOf(QJsonObject {{Key("left"), value}}, "left");
        after->left.push_back({static_cast<StudentId>(IntOf(student, "id", 0, after->nextId - 1)),
            TextsOf(Member(student, "cells"), "cells"), TextsOf(Member(student, "extras"), "extras"),
            IntOf(student, "classNo", 0, MaxClassCount), TextOf(Member(student, "date"), "date"),
            TextOf(Member(student, "kind"), "kind"), TextOf(Member(student, "reason"), "reason")});
    }
    for (const QJsonValue& value : ArrayOf(object, "changes")) {
        const QJsonObject change = ObjectOf(QJsonObject {{Key("changes"), value}}, "changes");
        ChangeEntry entry;
        const std::string kind = TextOf(Member(change, "kind"), "kind");
        const auto* named = std::find(std::begin(ChangeKindNames), std::end(ChangeKindNames), kind);
        if (named == std::end(ChangeKindNames))
            Wrong("kind", "arrival、leave 或 request");
        entry.kind = static_cast<ChangeKind>(named - std::begin(ChangeKindNames));
        entry.date = TextOf(Member(change, "date"), "date");
        entry.by = TextOf(Member(change, "by"), "by");
        entry.reason = TextOf(Member(change, "reason"), "reason");
        entry.leaveKind = TextOf(Member(change, "leaveKind"), "leaveKind");
        entry.rows = RowsOfTextsOf(change, "rows");
        entry.rowExtras = RowsOfTextsOf(change, "rowExtras");
        entry.student = IntOf(change, "student", -1, 1 << 30);
        for (const QJsonValue& pair : ArrayOf(change, "placements")) {
            const QJsonArray both = ArrayOf(pair, "placements");
            if (both.size() != 2)
                Wrong("placements", "学生编号和班号两个数");
            entry.placements.emplace_back(static_cast<StudentId>(IntegerOf(both[0], "placements", 0, 1 << 30)),
                static_cast<std::int32_t>(IntegerOf(both[1], "placements", 1, MaxClassCount)));
        }
        entry.placedNames = TextsOf(Member(change, "placedNames"), "placedNames");
        for (const QJsonValue& classNo : ArrayOf(change, "fromClasses"))
            entry.fromClasses.push_back(static_cast<std::int32_t>(IntegerOf(classNo, "fromClasses", 0, MaxClassCount)));
        entry.resultBefore = TextOf(Member(change, "resultBefore"), "resultBefore");
        entry.resultAfter = TextOf(Member(change, "resultAfter"), "resultAfter");
        entry.figures = TextOf(Member(change, "figures"), "figures");
        after->changes.push_back(std::move(entry));
    }
    return after;
}

// The parts both versions keep alike: the roster, the lists, the statistics.
void ReadDivision(const QJsonObject& root, Snapshot& s)
{
    s.roster.table = TableOf(root, "table");
    s.roster.decimalSeparator = TextOf(Member(root, "decimalSeparator"), "decimalSeparator");
    s.roster.built = FlagOf(root, "rosterBuilt");
    const std::size_t students = s.roster.built ? static_cast<std::size_t>(s.roster.table->rowCount() - 1) : 0;

    // Every list is checked against the roster's size before it is read.
    const auto sized = [students](const QJsonArray& array, const char* key) {
        if (static_cast<std::size_t>(array.size()) > students)
            Wrong(key, "不多于学生人数的列表");
        return array;
    };
    const QJsonArray numbers = ArrayOf(root, "classNumbers");
    if (static_cast<std::size_t>(numbers.size()) != students)
        throw SnapshotError("学生人数与表格的行数不符");
    auto classNos = std::make_shared<std::vector<std::int32_t>>();
    classNos->reserve(students);
    for (const QJsonValue& value : numbers)
        classNos->push_back(static_cast<std::int32_t>(IntegerOf(value, "classNumbers",
            std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max())));
    s.classNos = std::move(classNos);
    s.roster.extras = ExtraTextsOf(root, students);
    s.handPlaced = IndicesOf(sized(ArrayOf(root, "handPlaced"), "handPlaced"), "handPlaced");
    s.students = IndicesOf(sized(ArrayOf(root, "rosterOrder"), "rosterOrder"), "rosterOrder");
    const QJsonArray groups = ArrayOf(root, "genderGroups");
    if (groups.size() != 2)
        Wrong("genderGroups", "两个名单");
    s.groupA = IndicesOf(sized(ArrayOf(groups[0], "genderGroups"), "genderGroups"), "genderGroups");
    s.groupB = IndicesOf(sized(ArrayOf(groups[1], "genderGroups"), "genderGroups"), "genderGroups");
    const QJsonArray classes = ArrayOf(root, "classes");
    if (classes.size() > MaxClassCount)
        Wrong("classes", "至多 100 个名单");
    for (const QJsonValue& list : classes)
        s.classes.push_back(IndicesOf(sized(ArrayOf(list, "classes"), "classes"), "classes"));

    const QJsonObject stats = ObjectOf(root, "statistics");
    s.statistics = std::make_shared<const StatisticsTables>(
        StatisticsTables {ValuesOf(Member(stats, "gradeAverages"), "gradeAverages"),
            ValuesOf(Member(stats, "deviationSums"), "deviationSums"), RowsOf(stats, "classAverages"),
            RowsOf(stats, "classDeviations")});
}

// 班级设置: one object per class, class 1 first.
QJsonArray SetupJson(const ClassSetup& setup)
{
    QJsonArray classes;
    for (const SetupClass& setupClass : setup.classes)
        classes.append(QJsonObject {{Key("name"), Text(setupClass.name)}, {Key("size"), setupClass.size},
            {Key("kind"), Text(ClassKindText(setupClass.kind))}, {Key("condition"), Text(ConditionText(setupClass))}});
    return classes;
}

ClassSetup SetupOf(const QJsonArray& classes)
{
    ClassSetup setup;
    if (classes.size() > MaxClassCount)
        Wrong("classSetup", "至多 " + std::to_string(MaxClassCount) + " 个班");
    for (const QJsonValue& entry : classes) {
        if (!entry.isObject())
            Wrong("classSetup", "每个班一个对象");
        const QJsonObject object = entry.toObject();
        SetupClass setupClass;
        setupClass.name = TextOf(Member(object, "name"), "classSetup");
        setupClass.size = IntOf(object, "size", 0, std::numeric_limits<int>::max());
        const std::optional<ClassKind> kind = ClassKindOfText(TextOf(Member(object, "kind"), "classSetup"));
        if (!kind)
            Wrong("classSetup", "平行班、实验班或特长班");
        setupClass.kind = *kind;
        if (!ParseCondition(TextOf(Member(object, "condition"), "classSetup"), setupClass.column, setupClass.value))
            Wrong("classSetup", "“列名=值”或空的条件");
        setup.classes.push_back(std::move(setupClass));
    }
    return setup;
}

void ReadSettings(const QJsonObject& object, Settings& c)
{
    c.classCount = IntOf(object, "classCount", 1, MaxClassCount);
    const QJsonArray pair = ArrayOf(object, "exchangeClasses");
    if (pair.size() != 2)
        Wrong("exchangeClasses", "两个班号");
    c.classA = static_cast<int>(IntegerOf(pair[0], "exchangeClasses", 1, MaxClassCount));
    c.classB = static_cast<int>(IntegerOf(pair[1], "exchangeClasses", 1, MaxClassCount));
    c.subject = IntOf(object, "subject", -1, SubjectCount - 1);
    c.coefficient = static_cast<std::int32_t>(IntegerOf(Member(object, "coefficient"), "coefficient",
        std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    c.manual = FlagOf(object, "manual");
    c.soundAlike = FlagOf(object, "soundAlike");
    const QJsonArray names = ArrayOf(object, "subjectNames");
    if (names.size() > SubjectCount)
        Wrong("subjectNames", "0 或 11 个科目名");
    for (const QJsonValue& name : names)
        c.subjectNames.push_back(TextOf(name, "subjectNames"));
    // Files written before the score bands keep the default; a count the window does not offer is refused.
    c.rankBands = object.contains(Key("rankBands")) ? IntOf(object, "rankBands", 0, 20) : DefaultRankBands;
    if (std::find(std::begin(RankBandChoices), std::end(RankBandChoices), c.rankBands) == std::end(RankBandChoices))
        Wrong("rankBands", " 0、5、10 或 20");
    // Files without a set-up have no member for it.
    if (object.contains(Key("classSetup")))
        c.setup = SetupOf(ArrayOf(object, "classSetup"));
}

Snapshot SnapshotOfVersion1(const QJsonObject& root)
{
    Snapshot s;
    ReadDivision(root, s);
    const QJsonObject controls = ObjectOf(root, "controls");
    ReadSettings(controls, s.settings);
    auto shown = std::make_shared<ShownFigures>(ShownFromDrawnTable(
        GridOf(root, "averagesTable", SubjectCount + 1, MaxClassCount + 2), s.roster.decimalSeparator));
    // Edit1's text: the total as the window wrote it; anything typed there is no figure.
    if (const std::optional<long double> total
        = ShownNumber(TextOf(Member(controls, "edit1"), "edit1"), s.roster.decimalSeparator)) {
        shown->hasTotal = true;
        shown->total = *total;
    }
    s.shown = std::move(shown);

    const QJsonObject view = ObjectOf(root, "view");
    s.tableShown = FlagOf(view, "tableShown");
    s.shownClass = IntOf(view, "shownClass", -1, MaxClassCount - 1);
    const QJsonArray cell = ArrayOf(view, "selectedCell");
    if (cell.size() != 2)
        Wrong("selectedCell", "列和行两个数");
    s.selCol = static_cast<int>(IntegerOf(cell[0], "selectedCell", -1, std::numeric_limits<int>::max()));
    s.selRow = static_cast<int>(IntegerOf(cell[1], "selectedCell", -1, std::numeric_limits<int>::max()));
    return s;
}

Snapshot SnapshotOfVersion2(const QJsonObject& root)
{
    Snapshot s;
    ReadDivision(root, s);
    ReadSettings(ObjectOf(root, "settings"), s.settings);
    s.after = AfterDivisionOf(root);

    const QJsonObject figures = ObjectOf(root, "shown");
    auto shown = std::make_shared<ShownFigures>();
    shown->averagesDrawn = FlagOf(figures, "averagesDrawn");
    const QJsonArray names = ArrayOf(figures, "subjectNames");
    if (names.size() > SubjectCount)
        Wrong("subjectNames", "0 或 11 个科目名");
    for (const QJsonValue& name : names)
        shown->subjectNames.push_back(TextOf(name, "subjectNames"));
    const QJsonArray averages = ArrayOf(figures, "classAverages");
    const QJsonArray headcounts = ArrayOf(figures, "headcounts");
    if (averages.size() > MaxClassCount || headcounts.size() != averages.size())
        Wrong("headcounts", "与各班平均分一样多的人数");
    shown->classAverages = RowsOf(figures, "classAverages");
    for (const QJsonValue& entry : headcounts) {
        const QJsonArray pair = ArrayOf(entry, "headcounts");
        if (pair.size() != 2)
            Wrong("headcounts", "男生人数和班级人数两个数");
        shown->headcounts.push_back({static_cast<int>(IntegerOf(pair[0], "headcounts", 0, 1 << 30)),
            static_cast<int>(IntegerOf(pair[1], "headcounts", 0, 1 << 30))});
    }
    shown->gradeAverages = ValuesOf(Member(figures, "gradeAverages"), "gradeAverages");
    const QJsonValue total = Member(figures, "total");
    if (!total.isNull()) {
        const std::optional<long double> value = ParseExtendedText(TextOf(total, "total"));
        if (!value)
            Wrong("total", "写成文字的数或 null");
        shown->hasTotal = true;
        shown->total = *value;
    }
    s.shown = std::move(shown);

    const QJsonObject view = ObjectOf(root, "view");
    s.tableShown = FlagOf(view, "tableShown");
    s.shownClass = IntOf(view, "shownClass", -1, MaxClassCount - 1);
    return s;
}

} // namespace

QByteArray DivisionJson(const Snapshot& snapshot, const QJsonObject& extra)
{
    return DivisionJsonWriter().json(snapshot, extra);
}

QByteArray DivisionJsonWriter::json(const Snapshot& s, const QJsonObject& extra)
{
    QJsonObject root;
    root[Key("format")] = Text(DivisionFormatName);
    // A file with changes after the division needs a program that knows them.
    root[Key("version")] = s.after ? DivisionFormatVersion : 2;
    root[Key("table")] = QJsonValue(); // filled in below
    root[Key("decimalSeparator")] = Text(s.roster.decimalSeparator);
    root[Key("rosterBuilt")] = s.roster.built;
    QJsonArray classNos;
    for (const std::int32_t classNo : *s.classNos)
        classNos.append(classNo);
    root[Key("classNumbers")] = classNos;
    root[Key("handPlaced")] = IndicesJson(*s.handPlaced);
    root[Key("rosterOrder")] = IndicesJson(*s.students);
    root[Key("genderGroups")] = QJsonArray {IndicesJson(*s.groupA), IndicesJson(*s.groupB)};
    QJsonArray classes;
    for (const SharedIndices& list : s.classes)
        classes.append(IndicesJson(*list));
    root[Key("classes")] = classes;
    const StatisticsTables& stats = *s.statistics;
    root[Key("statistics")] = QJsonObject {{Key("gradeAverages"), ValuesJson(stats.gradeAvg)},
        {Key("deviationSums"), ValuesJson(stats.devSum)}, {Key("classAverages"), RowsJson(stats.classAvg)},
        {Key("classDeviations"), RowsJson(stats.classDev)}};
    const Settings& c = s.settings;
    root[Key("settings")] = QJsonObject {{Key("classCount"), c.classCount},
        {Key("exchangeClasses"), QJsonArray {c.classA, c.classB}}, {Key("subject"), c.subject},
        {Key("coefficient"), c.coefficient}, {Key("manual"), c.manual}, {Key("soundAlike"), c.soundAlike},
        {Key("subjectNames"), TextsJson(c.subjectNames)}, {Key("rankBands"), c.rankBands}};
    if (!c.setup.empty()) {
        QJsonObject settings = root[Key("settings")].toObject();
        settings[Key("classSetup")] = SetupJson(c.setup);
        root[Key("settings")] = settings;
    }
    const ShownFigures& shown = *s.shown;
    QJsonArray headcounts;
    for (const Headcount& count : shown.headcounts)
        headcounts.append(QJsonArray {count.boys, count.size});
    root[Key("shown")] = QJsonObject {{Key("averagesDrawn"), shown.averagesDrawn},
        {Key("subjectNames"), TextsJson(shown.subjectNames)}, {Key("classAverages"), RowsJson(shown.classAverages)},
        {Key("headcounts"), headcounts}, {Key("gradeAverages"), ValuesJson(shown.gradeAverages)},
        {Key("total"), shown.hasTotal ? QJsonValue(Text(ExtendedText(shown.total))) : QJsonValue()}};
    root[Key("view")] = QJsonObject {{Key("tableShown"), s.tableShown}, {Key("shownClass"), s.shownClass}};
    if (const RosterExtraTexts& extras = *s.roster.extras; !extras.empty())
        root[Key("extraColumns")] = ExtraColumnsJson(extras);
    if (s.after)
        root[Key("afterDivision")] = AfterDivisionJson(*s.after);
    for (auto it = extra.begin(); it != extra.end(); ++it)
        if (it.key() != Key("table"))
            root[it.key()] = it.value();

    if (table_ != s.roster.table) {
        table_ = s.roster.table;
        tableJson_ = QJsonDocument(TableJson(*table_)).toJson(QJsonDocument::Compact);
    }
    // Members come in the order of their names, "table" never first. Inside a
    // string every quotation mark is escaped, so this text is the member itself.
    QByteArray text = QJsonDocument(root).toJson(QJsonDocument::Compact);
    const QByteArray placeholder = QByteArrayLiteral(",\"table\":null");
    const qsizetype at = text.indexOf(placeholder);
    text.replace(at + placeholder.size() - 4, 4, tableJson_);
    return text;
}

Snapshot ParseDivisionJson(const QByteArray& bytes, const std::string& fileName, QJsonObject* whole)
{
    const std::string named = "文件“" + fileName + "”";
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const QJsonObject root = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject()
        || root.value(Key("format")).toString() != Text(DivisionFormatName))
        throw DamagedFileError(named + "不是均衡分班的分班文件，或者已经损坏，不能打开。");
    const QJsonValue version = root.value(Key("version"));
    if (version.isDouble() && version.toDouble() > DivisionFormatVersion)
        throw NewerFileError(named + "是较新版本的均衡分班保存的，这个版本打不开。请先更新均衡分班，再打开它。");
    try {
        if (!version.isDouble() || version.toDouble() != std::floor(version.toDouble()) || version.toDouble() < 1)
            throw SnapshotError("文件格式的版本号无效");
        Snapshot snapshot = version.toDouble() == 1 ? SnapshotOfVersion1(root) : SnapshotOfVersion2(root);
        CheckSnapshot(snapshot);
        BuildSnapshotRecords(snapshot);
        if (whole != nullptr)
            *whole = root;
        return snapshot;
    } catch (const SnapshotError& e) {
        throw DamagedFileError(named + "已经损坏，不能打开：" + e.what() + "。");
    }
}

void WriteDivisionFile(FileSystem& files, const std::filesystem::path& file, const Snapshot& snapshot)
{
    WriteDivisionFile(files, file, DivisionJson(snapshot));
}

void WriteDivisionFile(FileSystem& files, const std::filesystem::path& file, const QByteArray& bytes)
{
    SaveFileSafely(files, file, [&bytes](ByteSink& out) {
        out.write(std::span(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    });
}

void WriteDivisionFile(const std::filesystem::path& file, const Snapshot& snapshot)
{
    WriteDivisionFile(*DiskFileSystem(), file, snapshot);
}

Snapshot ReadDivisionFile(const std::filesystem::path& file, QJsonObject* whole)
{
    const std::string named = "文件“" + PathText(file) + "”";
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
        throw FileReadError("不能打开" + named + "：这是一个文件夹。");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw FileReadError(
            "不能打开" + named + "：" + (std::filesystem::exists(file, error) ? "没有读取权限。" : "文件不存在。"));
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw FileReadError("读取" + named + "时出错。");
    return ParseDivisionJson(QByteArray::fromStdString(content), PathText(file), whole);
}

} // namespace fenban
