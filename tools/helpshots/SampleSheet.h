#pragma once

#include <QRect>
#include <QString>

class QPainter;

namespace fenban::shots {

// Where the parts of the drawn spreadsheet lie.
struct SheetLayout {
    QRect table; // the header line and the students shown
    QRect classHeader; // the cell 班级 of the header line
    QRect classLetter; // the column letter above it
};

// Draws the first lines and columns of the sample grade as a spreadsheet shows them:
// column letters, row numbers, the class column empty and marked, and the
// whole table selected and copied (dashed frame).
SheetLayout DrawSampleSheet(QPainter& painter, const QRect& area, const QString& sample);

} // namespace fenban::shots
