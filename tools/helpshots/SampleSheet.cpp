#include "SampleSheet.h"

#include "Callouts.h"

#include <QPainter>

namespace fenban::shots {

namespace {

constexpr int TitleHeight = 22;
constexpr int RowHeight = 20;
constexpr int RowHeaderWidth = 24;
constexpr int ClassColumn = 2;
constexpr int ShownStudents = 3;
constexpr int ShownColumns = 7; // name to 英语; one more column stands for the rest

int ColumnWidth(int column)
{
    switch (column) {
    case 0:
        return 52; // name
    case 1:
    case 2:
        return 34; // gender, class
    case 3:
        return 44; // total
    default:
        return 39; // subjects
    }
}

} // namespace

SheetLayout DrawSampleSheet(QPainter& painter, const QRect& area, const QString& sample)
{
    const QStringList lines = sample.split(QLatin1Char('\n'));
    painter.save();
    painter.setFont(CalloutFont(13, true));
    painter.setPen(QColor(0x21, 0x21, 0x21));
    painter.drawText(QRect(area.left(), area.top(), area.width(), TitleHeight), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("在电子表格里："));

    const QColor gridLine(0xC8, 0xC8, 0xC8);
    const QColor headerFill(0xEE, 0xEE, 0xEE);
    const QColor selectionFill(0xDD, 0xEB, 0xF7);
    const QColor classFill(0xFF, 0xE0, 0x82);
    const int top = area.top() + TitleHeight;
    SheetLayout layout;

    painter.setFont(CalloutFont(12));
    for (int row = 0; row <= ShownStudents + 2; ++row) { // letters, header, students, "…"
        int x = area.left();
        const int y = top + row * RowHeight;
        const bool letters = row == 0;
        const bool more = row == ShownStudents + 2;
        const QRect rowHeader(x, y, RowHeaderWidth, RowHeight);
        painter.fillRect(rowHeader, headerFill);
        painter.setPen(gridLine);
        painter.drawRect(rowHeader);
        painter.setPen(Qt::darkGray);
        if (!letters)
            painter.drawText(rowHeader, Qt::AlignCenter, QString::number(row));
        x += RowHeaderWidth;
        const QStringList cells = lines.value(row - 1).split(QLatin1Char('\t'));
        for (int column = 0; column <= ShownColumns; ++column) {
            const bool rest = column == ShownColumns; // stands for the other subjects
            const QRect cell(x, y, rest ? 30 : ColumnWidth(column), RowHeight);
            x += cell.width();
            painter.fillRect(cell, letters ? headerFill : column == ClassColumn ? classFill : selectionFill);
            painter.setPen(gridLine);
            painter.drawRect(cell);
            painter.setPen(letters ? Qt::darkGray : Qt::black);
            const QString text = letters ? QString(QChar(u'A' + column))
                : more || rest           ? QStringLiteral("…")
                                         : cells.value(column);
            const bool number = column >= 3 && row > 1 && !more && !rest;
            painter.drawText(
                cell.adjusted(3, 0, -3, 0), Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft), text);
            if (row == 1 && column == ClassColumn)
                layout.classHeader = cell;
            if (letters && column == ClassColumn)
                layout.classLetter = cell;
        }
        if (row == 1)
            layout.table = QRect(
                area.left() + RowHeaderWidth, y, x - area.left() - RowHeaderWidth, (ShownStudents + 2) * RowHeight);
    }
    // The frame a spreadsheet draws around copied cells.
    painter.setPen(QPen(QColor(0x1E, 0x6F, 0xC8), 2, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(layout.table.adjusted(1, 1, -1, -1));
    painter.restore();
    return layout;
}

} // namespace fenban::shots
