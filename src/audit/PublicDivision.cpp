#include "audit/PublicDivision.h"

#include <QJsonArray>

namespace fenban {

namespace {

QJsonArray Texts(const std::vector<std::string>& texts)
{
    QJsonArray array;
    for (const std::string& text : texts)
        array.append(QString::fromStdString(text));
    return array;
}

} // namespace

QJsonObject PublicDivisionJson(const PublicDivision& division)
{
    QJsonObject members {{QStringLiteral("seed"), QString::fromStdString(division.seedText)},
        {QStringLiteral("bands"), division.bands}, {QStringLiteral("teachers"), Texts(division.teachers)},
        {QStringLiteral("teachersDrawn"), division.teachersDrawn}};
    // Written only when kept: older files stay as they were.
    if (!division.teacherList.empty())
        members.insert(QStringLiteral("teacherList"), Texts(division.teacherList));
    if (!division.publicResult.empty())
        members.insert(QStringLiteral("publicResult"), QString::fromStdString(division.publicResult));
    return {{QStringLiteral("public"), members}, {QStringLiteral("record"), division.record.toJson()}};
}

PublicDivision ReadPublicDivision(const QJsonObject& whole)
{
    PublicDivision division;
    const QJsonValue members = whole[QStringLiteral("public")];
    if (!members.isUndefined()) {
        const QJsonObject object = members.toObject();
        const QJsonValue seed = object[QStringLiteral("seed")];
        const QJsonValue bands = object[QStringLiteral("bands")];
        const QJsonValue teachers = object[QStringLiteral("teachers")];
        if (!members.isObject() || !seed.isString() || !bands.isDouble() || !teachers.isArray())
            throw Failure("分班文件中的公开分班信息不完整。");
        division.seedText = seed.toString().toStdString();
        division.bands = bands.toInt();
        for (const QJsonValue teacher : teachers.toArray())
            division.teachers.push_back(teacher.toString().toStdString());
        division.teachersDrawn = object[QStringLiteral("teachersDrawn")].toBool();
        const QJsonValue list = object[QStringLiteral("teacherList")];
        if (!list.isUndefined() && !list.isArray())
            throw Failure("分班文件中的公开分班信息不完整。");
        for (const QJsonValue teacher : list.toArray())
            division.teacherList.push_back(teacher.toString().toStdString());
        division.publicResult = object[QStringLiteral("publicResult")].toString().toStdString();
    }
    const QJsonValue record = whole[QStringLiteral("record")];
    if (!record.isUndefined()) {
        if (!record.isArray())
            throw Failure("分班文件中的操作记录不完整。");
        division.record = OperationRecord::fromJson(record.toArray());
    }
    return division;
}

} // namespace fenban
