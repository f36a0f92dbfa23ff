#include "audit/PublicDivision.h"

#include <QJsonArray>

namespace fenban {

QJsonObject PublicDivisionJson(const PublicDivision& division)
{
    QJsonArray teachers;
    for (const std::string& teacher : division.teachers)
        teachers.append(QString::fromStdString(teacher));
    const QJsonObject members {{QStringLiteral("seed"), QString::fromStdString(division.seedText)},
        {QStringLiteral("bands"), division.bands}, {QStringLiteral("teachers"), teachers},
        {QStringLiteral("teachersDrawn"), division.teachersDrawn}};
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
