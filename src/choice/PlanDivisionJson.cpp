#include "choice/PlanDivisionJson.h"

#include <QJsonArray>

namespace fenban {

namespace {

const std::string Broken = "分班文件中的选科分班信息不完整。";

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

SubjectSet SetOf(const QJsonValue& value, bool emptyAllowed = false)
{
    if (!value.isString())
        throw Failure(Broken);
    const std::string text = value.toString().toStdString();
    if (text.empty() && emptyAllowed)
        return 0;
    SubjectSet set = 0;
    for (const Elective subject : SubjectsOf(static_cast<SubjectSet>((1u << ElectiveCount) - 1))) {
        const std::string_view name = ElectiveShort(subject);
        if (text.find(name) != std::string::npos)
            set |= Bit(subject);
    }
    if (set == 0 || CombinationName(set) != text)
        throw Failure(Broken);
    return set;
}

int Whole(const QJsonValue& value, int low, int high)
{
    if (!value.isDouble() || value.toDouble() != static_cast<double>(value.toInt()) || value.toInt() < low
        || value.toInt() > high)
        throw Failure(Broken);
    return value.toInt();
}

} // namespace

QJsonObject PlanDivisionJson(const PlanDivision& division)
{
    const ChoicePlan& plan = division.plan;
    QJsonArray groups;
    for (const PlanGroup& group : plan.groups) {
        QJsonArray members;
        for (const auto& [combination, count] : group.members)
            members.append(QJsonArray {Text(CombinationName(combination)), count});
        groups.append(QJsonObject {{QStringLiteral("fixed"), Text(CombinationName(group.fixed))},
            {QStringLiteral("classes"), group.classes}, {QStringLiteral("members"), members}});
    }
    QJsonArray combinations;
    for (const SubjectSet combination : division.combinations)
        combinations.append(Text(CombinationName(combination)));
    QJsonArray teaching;
    for (const TeachingClass& taught : division.teaching) {
        QJsonArray records;
        for (const std::size_t record : taught.records)
            records.append(static_cast<qint64>(record));
        teaching.append(QJsonObject {{QStringLiteral("subject"), Text(std::string(ElectiveShort(taught.subject)))},
            {QStringLiteral("number"), taught.number}, {QStringLiteral("records"), records}});
    }
    QJsonObject object {{QStringLiteral("model"), Text(std::string(ChoiceModelName(plan.request.model)))},
        {QStringLiteral("limit"), plan.request.limit}, {QStringLiteral("rooms"), plan.request.rooms},
        {QStringLiteral("proved"), plan.proved}, {QStringLiteral("note"), Text(plan.note)},
        {QStringLiteral("groups"), groups}, {QStringLiteral("combinations"), combinations},
        {QStringLiteral("teaching"), teaching}};
    if (!plan.names.empty()) {
        QJsonArray names;
        for (const std::string& name : plan.names)
            names.append(Text(name));
        object.insert(QStringLiteral("names"), names);
    }
    return object;
}

std::optional<PlanDivision> ReadPlanDivisionJson(const QJsonObject& whole, std::size_t records)
{
    const QJsonValue member = whole[QStringLiteral("choice")];
    if (member.isUndefined())
        return std::nullopt;
    if (!member.isObject())
        throw Failure(Broken);
    const QJsonObject object = member.toObject();
    PlanDivision division;
    ChoicePlan& plan = division.plan;
    const auto model = ChoiceModelOfName(object[QStringLiteral("model")].toString().toStdString());
    if (!model)
        throw Failure(Broken);
    plan.request.model = *model;
    plan.request.limit = Whole(object[QStringLiteral("limit")], 1, 1000);
    plan.request.rooms = Whole(object[QStringLiteral("rooms")], 1, 100);
    plan.proved = object[QStringLiteral("proved")].toBool(true);
    plan.note = object[QStringLiteral("note")].toString().toStdString();
    for (const QJsonValue value : object[QStringLiteral("groups")].toArray()) {
        const QJsonObject kept = value.toObject();
        PlanGroup& group = plan.groups.emplace_back();
        group.fixed = SetOf(kept[QStringLiteral("fixed")]);
        group.classes = Whole(kept[QStringLiteral("classes")], 1, 100);
        for (const QJsonValue pair : kept[QStringLiteral("members")].toArray()) {
            const QJsonArray entry = pair.toArray();
            group.members.emplace_back(SetOf(entry[0]), Whole(entry[1], 1, 1 << 24));
        }
    }
    for (const QJsonValue name : object[QStringLiteral("names")].toArray())
        plan.names.push_back(name.toString().toStdString());
    const QJsonArray combinations = object[QStringLiteral("combinations")].toArray();
    if (static_cast<std::size_t>(combinations.size()) != records || plan.groups.empty() || !PlanProblems(plan).empty())
        throw Failure(Broken);
    for (const QJsonValue value : combinations)
        division.combinations.push_back(SetOf(value, true));
    for (const QJsonValue value : object[QStringLiteral("teaching")].toArray()) {
        const QJsonObject kept = value.toObject();
        TeachingClass& taught = division.teaching.emplace_back();
        const SubjectSet subject = SetOf(kept[QStringLiteral("subject")]);
        if (SubjectCountOf(subject) != 1)
            throw Failure(Broken);
        taught.subject = SubjectsOf(subject).front();
        taught.number = Whole(kept[QStringLiteral("number")], 1, 1000);
        for (const QJsonValue record : kept[QStringLiteral("records")].toArray())
            taught.records.push_back(static_cast<std::size_t>(Whole(record, 0, static_cast<int>(records) - 1)));
    }
    StudentChoices chosen; // the plan's request: the counts of the combinations
    chosen.of = division.combinations;
    plan.request.counts = CountCombinations(chosen);
    division.classNames = HomeClassNames(plan);
    division.classGroups = HomeClassGroups(plan);
    return division;
}

} // namespace fenban
