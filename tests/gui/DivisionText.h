#pragma once

#include "WindowDriver.h"

#include <QLineEdit>
#include <unordered_map>

namespace fenban::testkit {

// The division as the window holds it, in lines of text that another
// process can compare: the order of the roster, each class list and the
// hand-placed students by the students' rows, Edit1 and the averages grid.
inline QString DivisionText(const WindowDriver& w)
{
    const DivisionState& s = w.window.state();
    std::unordered_map<const TStudent*, std::size_t> row;
    for (std::size_t i = 0; i < s.Records.size(); ++i)
        row.emplace(s.Records[i].get(), i + 1);
    const auto rows = [&row](const TStudentList& list) {
        QStringList numbers;
        for (const TStudent* student : list)
            numbers << QString::number(row.at(student));
        return numbers.join(u' ');
    };
    QStringList lines;
    lines << QStringLiteral("名册 ") + rows(s.FStudents);
    for (std::size_t c = 0; c < s.FClasses.size(); ++c)
        lines << QStringLiteral("%1 班 ").arg(c + 1) + rows(s.FClasses[c]);
    QStringList marked;
    for (std::size_t i = 0; i < s.Records.size(); ++i)
        if (s.Records[i]->IsHandPlaced())
            marked << QString::number(i + 1);
    lines << QStringLiteral("手动 ") + marked.join(u' ');
    lines << QStringLiteral("Edit1 ") + w.control<QLineEdit>("Edit1")->text();
    for (int r = 0; r < w.rows("gdAvg"); ++r)
        lines << w.row("gdAvg", r, 0, w.cols("gdAvg") - 1).join(u'\t');
    return lines.join(u'\n');
}

} // namespace fenban::testkit
