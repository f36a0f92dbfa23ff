#include "session/DivisionFile.h"

#include "roster/RosterBuilder.h"
#include "session/SessionErrors.h"
#include "xls/FileSaving.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

namespace fenban {

namespace {

constexpr std::string_view BitsPrefix = "bits:";
constexpr int MaxColumns = 1'000'000;

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
    std::vector<TSubjectValues> rows;
    for (const QJsonValue& row : ArrayOf(object, key))
        rows.push_back(ValuesOf(row, key));
    return rows;
}

std::shared_ptr<const PackedGrid> TableOf(const QJsonObject& parent, const char* key)
{
    const QJsonObject object = ObjectOf(parent, key);
    const int cols = IntOf(object, "columns", 1, MaxColumns);
    const int rows = IntOf(object, "rows", 1, std::numeric_limits<int>::max());
    const QJsonArray cells = ArrayOf(object, "cells");
    if (cells.size() != rows)
        throw SnapshotError(std::string("“") + key + "”的行数不对");
    CellGrid grid(cols, rows);
    for (int row = 0; row < rows; ++row) {
        const QJsonArray line = ArrayOf(cells[row], "cells");
        if (line.size() > cols)
            throw SnapshotError(std::string("“") + key + "”中有一行超出了列数");
        for (int col = 0; col < line.size(); ++col)
            grid.setCell(col, row, TextOf(line[col], "cells"));
    }
    return PackedGrid::Pack(grid);
}

Snapshot SnapshotOf(const QJsonObject& root)
{
    Snapshot s;
    s.roster.table = TableOf(root, "table");
    s.roster.decimalSeparator = TextOf(Member(root, "decimalSeparator"), "decimalSeparator");
    s.roster.built = FlagOf(root, "rosterBuilt");

    auto classNos = std::make_shared<std::vector<std::int32_t>>();
    for (const QJsonValue& value : ArrayOf(root, "classNumbers"))
        classNos->push_back(static_cast<std::int32_t>(IntegerOf(value, "classNumbers",
            std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max())));
    s.classNos = std::move(classNos);
    s.handPlaced = IndicesOf(Member(root, "handPlaced"), "handPlaced");
    s.students = IndicesOf(Member(root, "rosterOrder"), "rosterOrder");
    const QJsonArray groups = ArrayOf(root, "genderGroups");
    if (groups.size() != 2)
        Wrong("genderGroups", "两个名单");
    s.groupA = IndicesOf(groups[0], "genderGroups");
    s.groupB = IndicesOf(groups[1], "genderGroups");
    for (const QJsonValue& list : ArrayOf(root, "classes"))
        s.classes.push_back(IndicesOf(list, "classes"));

    const QJsonObject stats = ObjectOf(root, "statistics");
    s.statistics = std::make_shared<const StatisticsTables>(
        StatisticsTables {ValuesOf(Member(stats, "gradeAverages"), "gradeAverages"),
            ValuesOf(Member(stats, "deviationSums"), "deviationSums"), RowsOf(stats, "classAverages"),
            RowsOf(stats, "classDeviations")});

    const QJsonObject controls = ObjectOf(root, "controls");
    Controls& c = s.controls;
    c.classCount = IntOf(controls, "classCount", 1, MaxClassCount);
    const QJsonArray pair = ArrayOf(controls, "exchangeClasses");
    if (pair.size() != 2)
        Wrong("exchangeClasses", "两个班号");
    c.classA = static_cast<int>(IntegerOf(pair[0], "exchangeClasses", 1, MaxClassCount));
    c.classB = static_cast<int>(IntegerOf(pair[1], "exchangeClasses", 1, MaxClassCount));
    c.subject = IntOf(controls, "subject", -1, SubjectCount - 1);
    c.coefficient = static_cast<std::int32_t>(IntegerOf(Member(controls, "coefficient"), "coefficient",
        std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    c.manual = FlagOf(controls, "manual");
    c.soundAlike = FlagOf(controls, "soundAlike");
    for (const QJsonValue& name : ArrayOf(controls, "subjectNames"))
        c.subjectNames.push_back(TextOf(name, "subjectNames"));
    c.edit1 = TextOf(Member(controls, "edit1"), "edit1");
    c.averages = TableOf(root, "averagesTable");

    const QJsonObject view = ObjectOf(root, "view");
    c.tableShown = FlagOf(view, "tableShown");
    s.shownClass = IntOf(view, "shownClass", -1, MaxClassCount - 1);
    const QJsonArray cell = ArrayOf(view, "selectedCell");
    if (cell.size() != 2)
        Wrong("selectedCell", "列和行两个数");
    s.selCol = static_cast<int>(IntegerOf(cell[0], "selectedCell", -1, std::numeric_limits<int>::max()));
    s.selRow = static_cast<int>(IntegerOf(cell[1], "selectedCell", -1, std::numeric_limits<int>::max()));
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
    root[Key("version")] = DivisionFormatVersion;
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
    const Controls& c = s.controls;
    root[Key("controls")] = QJsonObject {{Key("classCount"), c.classCount},
        {Key("exchangeClasses"), QJsonArray {c.classA, c.classB}}, {Key("subject"), c.subject},
        {Key("coefficient"), c.coefficient}, {Key("manual"), c.manual}, {Key("soundAlike"), c.soundAlike},
        {Key("subjectNames"), TextsJson(c.subjectNames)}, {Key("edit1"), Text(c.edit1)}};
    root[Key("view")] = QJsonObject {{Key("tableShown"), c.tableShown}, {Key("shownClass"), s.shownClass},
        {Key("selectedCell"), QJsonArray {s.selCol, s.selRow}}};
    root[Key("averagesTable")] = TableJson(*c.averages);
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
        Snapshot snapshot = SnapshotOf(root);
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
