#include "audit/OperationRecord.h"

#include "audit/Fingerprint.h"
#include "common/Version.h"

#include <QJsonObject>
#include <algorithm>
#include <array>

namespace fenban {

namespace {

struct KindNames {
    RecordKind kind;
    std::string_view name;
    std::string_view key;
};

constexpr std::array<KindNames, 17> Kinds {{
    {RecordKind::Read, "读入数据", "read"},
    {RecordKind::Open, "打开", "open"},
    {RecordKind::ClassCount, "分班数", "classes"},
    {RecordKind::Assign, "编班", "assign"},
    {RecordKind::Adjust, "调整", "adjust"},
    {RecordKind::BalanceAll, "一键均衡", "balance"},
    {RecordKind::Move, "调班", "move"},
    {RecordKind::Undo, "撤销", "undo"},
    {RecordKind::Redo, "重做", "redo"},
    {RecordKind::Save, "保存", "save"},
    {RecordKind::TeacherDraw, "班主任抽签", "teachers"},
    {RecordKind::ClassSetup, "班级设置", "setup"},
    {RecordKind::Arrival, "插班", "arrival"},
    {RecordKind::Leave, "转出", "leave"},
    {RecordKind::Request, "调班申请", "request"},
    {RecordKind::ChoicePlan, "选科方案", "choice-plan"},
    {RecordKind::ChoiceDivision, "选科分班", "choice-division"},
}};

const KindNames& NamesOf(RecordKind kind)
{
    for (const KindNames& names : Kinds) {
        if (names.kind == kind)
            return names;
    }
    return Kinds.front();
}

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

std::string Str(std::string_view text)
{
    return std::string(text);
}

std::string ClassText(int classNo)
{
    return classNo >= 1 ? std::to_string(classNo) + " 班" : std::string("未分班");
}

} // namespace

std::string_view RecordKindName(RecordKind kind)
{
    return NamesOf(kind).name;
}

std::string_view RecordKindKey(RecordKind kind)
{
    return NamesOf(kind).key;
}

std::optional<RecordKind> RecordKindOfKey(std::string_view key)
{
    for (const KindNames& names : Kinds) {
        if (names.key == key)
            return names.kind;
    }
    return std::nullopt;
}

std::string RecordTimeText(const QDateTime& time)
{
    return time.toString(TimeFormat).toStdString();
}

void OperationRecord::add(RecordKind kind, std::string text, const QDateTime& time)
{
    // Kept to the second, as the file keeps it, so a record reads back equal.
    entries_.push_back({QDateTime::fromString(time.toString(TimeFormat), TimeFormat), kind, std::move(text)});
}

QJsonArray OperationRecord::toJson() const
{
    QJsonArray array;
    for (const RecordEntry& entry : entries_) {
        array.append(QJsonObject {{QStringLiteral("time"), QString::fromStdString(RecordTimeText(entry.time))},
            {QStringLiteral("kind"), QString::fromUtf8(RecordKindKey(entry.kind))},
            {QStringLiteral("text"), QString::fromStdString(entry.text)}});
    }
    return array;
}

OperationRecord OperationRecord::fromJson(const QJsonArray& json)
{
    OperationRecord record;
    for (qsizetype k = 0; k < json.size(); ++k) {
        const QJsonObject entry = json[k].toObject();
        const QDateTime time = QDateTime::fromString(entry[QStringLiteral("time")].toString(), TimeFormat);
        const std::optional<RecordKind> kind = RecordKindOfKey(entry[QStringLiteral("kind")].toString().toStdString());
        const QJsonValue text = entry[QStringLiteral("text")];
        if (!json[k].isObject() || !time.isValid() || !kind || !text.isString())
            throw Failure("操作记录的第 " + std::to_string(k + 1) + " 条不完整。");
        record.entries_.push_back({time, *kind, text.toString().toStdString()});
    }
    return record;
}

namespace {

// The version of the input text a fingerprint is taken of, as the record names it.
std::string VersionText(int version = InputTextVersion)
{
    return "（第 " + std::to_string(version) + " 版）";
}

std::string InputText(std::string_view inputFingerprint, int version = InputTextVersion)
{
    return "；输入指纹 " + Str(inputFingerprint) + VersionText(version);
}

} // namespace

std::string ReadRecordText(int students, int classCount, std::string_view inputFingerprint, int version)
{
    return "读入数据：" + std::to_string(students) + " 人，分 " + std::to_string(classCount) + " 个班"
        + InputText(inputFingerprint, version);
}

std::string OpenRecordText(
    std::string_view fileName, int students, int classCount, std::string_view inputFingerprint, int version)
{
    return "打开 " + Str(fileName) + "：" + std::to_string(students) + " 人，分 " + std::to_string(classCount) + " 个班"
        + InputText(inputFingerprint, version);
}

std::string ClassSetupRecordText(const std::string& summary, std::string_view inputFingerprint, int version)
{
    return "班级设置：" + summary + (inputFingerprint.empty() ? std::string() : InputText(inputFingerprint, version));
}

std::string OtherInputVersionText(const OperationRecord& record)
{
    const auto& entries = record.entries();
    const auto read = std::find_if(entries.rbegin(), entries.rend(), [](const RecordEntry& entry) {
        return (entry.kind == RecordKind::Open || entry.kind == RecordKind::Read)
            && entry.text.find("输入指纹") != std::string::npos;
    });
    if (read == entries.rend() || read->text.ends_with(VersionText())
        || read->text.ends_with(VersionText(InputSetupTextVersion)))
        return {};
    const std::size_t named = read->text.rfind("（第 ");
    const std::string version = named == std::string::npos || !read->text.ends_with(" 版）")
        ? std::string("1")
        : read->text.substr(named + std::string_view("（第 ").size(),
            read->text.size() - named - std::string_view("（第 ").size() - std::string_view(" 版）").size());
    return "这个分班文件的输入指纹是按第 " + version + " 版的输入文本算的，本程序按第 "
        + std::to_string(InputTextVersion) + " 版算，输入指纹会不同；结果照样核验。";
}

std::string ClassCountRecordText(int classCount)
{
    return "分班数改为 " + std::to_string(classCount);
}

std::string AssignRecordText(int classCount, std::string_view resultFingerprint)
{
    return "编班：分 " + std::to_string(classCount) + " 个班；结果指纹 " + Str(resultFingerprint);
}

std::string AdjustRecordText(int classA, int classB, std::string_view subject, std::string_view resultFingerprint)
{
    std::string text = "调整：" + ClassText(classA) + "与" + ClassText(classB);
    if (!subject.empty())
        text += "（" + Str(subject) + "）";
    return text + "；结果指纹 " + Str(resultFingerprint);
}

namespace {

constexpr std::string_view VersionLead = "；程序版本 ";

// The search may divide differently in another version of the program, so
// the entries of a search name the version that made the division.
std::string ProgramVersionText()
{
    return Str(VersionLead) + ProgramVersion();
}

} // namespace

std::string RecordedVersion(const OperationRecord& record)
{
    for (auto entry = record.entries().rbegin(); entry != record.entries().rend(); ++entry) {
        if (entry->kind != RecordKind::BalanceAll)
            continue;
        const std::size_t at = entry->text.rfind(VersionLead);
        return at == std::string::npos ? std::string() : entry->text.substr(at + VersionLead.size());
    }
    return {};
}

std::string OtherProgramVersionText(const OperationRecord& record)
{
    const auto& entries = record.entries();
    const bool searched = std::any_of(
        entries.begin(), entries.end(), [](const RecordEntry& entry) { return entry.kind == RecordKind::BalanceAll; });
    const std::string version = RecordedVersion(record);
    if (!searched || version == ProgramVersion())
        return {};
    const std::string made
        = version.empty() ? std::string("本程序的较早版本（记录中没有版本）") : "本程序的 " + version + " 版";
    return "这个分班文件由" + made + "一键均衡，本程序是 " + ProgramVersion()
        + " 版：不同版本的一键均衡可能分得不同，重做的结果指纹也就可能不同；结果照样核验。";
}

std::string BalanceAllRecordText(std::string_view seedText, int bands, std::string_view resultFingerprint)
{
    return "一键均衡：种子 " + Str(seedText) + "，分数段 " + std::to_string(bands) + "；结果指纹 "
        + Str(resultFingerprint) + ProgramVersionText();
}

std::string PublicDivisionRecordText(int classCount, int bands, bool soundAlike, std::string_view seedText,
    std::string_view inputFingerprint, std::string_view resultFingerprint)
{
    return "公开分班：按读入的名单编班并一键均衡，分 " + std::to_string(classCount) + " 个班，分数段 "
        + std::to_string(bands) + "，同音姓名" + (soundAlike ? "分班" : "不必分班") + "，种子 " + Str(seedText)
        + "；输入指纹 " + Str(inputFingerprint) + "；结果指纹 " + Str(resultFingerprint) + ProgramVersionText();
}

std::string MoveRecordText(std::string_view name, int fromClass, int toClass)
{
    return "调班：" + Str(name) + " 从 " + ClassText(fromClass) + " 调到 " + ClassText(toClass);
}

std::string UndoRecordText(std::string_view stepName)
{
    return "撤销 " + Str(stepName);
}

std::string RedoRecordText(std::string_view stepName)
{
    return "重做 " + Str(stepName);
}

std::string SaveRecordText(std::string_view fileName, std::string_view resultFingerprint)
{
    return "保存 " + Str(fileName) + "；结果指纹 " + Str(resultFingerprint);
}

std::string TeacherRecordText(const std::vector<std::string>& teachers, std::string_view seedText, bool redrawn)
{
    std::string text = seedText.empty()
        ? std::string("班主任（指定）：")
        : (redrawn ? "班主任重新抽签：种子 " : "班主任抽签：种子 ") + Str(seedText) + "；";
    for (std::size_t k = 0; k < teachers.size(); ++k)
        text += (k > 0 ? "，" : "") + std::to_string(k + 1) + "班 " + teachers[k];
    return text;
}

} // namespace fenban
