#pragma once

#include "choice/PlanDivision.h"

#include <QJsonObject>
#include <cstddef>
#include <optional>

namespace fenban {

// A division within a plan in the division file: the member `choice`
// (docs/file-format.md) of the file's top-level object.
QJsonObject PlanDivisionJson(const PlanDivision& division);

// The file's `choice` member, or none when it has none. Throws Failure for a
// member that does not hold together (another number of students, a plan
// that does not add up, a subject or a combination not read).
std::optional<PlanDivision> ReadPlanDivisionJson(const QJsonObject& whole, std::size_t records);

} // namespace fenban
