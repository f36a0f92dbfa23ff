#include "GradeText.h"

#include "roster/Gb18030.h"

namespace fenban::testkit {

namespace {

// Points in hundredths as a score cell: no trailing zeros, no lone point.
QString ScoreText(long long hundredths)
{
    QString text = QString::number(hundredths / 100);
    const long long fraction = hundredths % 100;
    if (fraction != 0) {
        text += u'.' + QStringLiteral("%1").arg(fraction, 2, 10, QLatin1Char('0'));
        while (text.endsWith(u'0'))
            text.chop(1);
    }
    return text;
}

QString Gender(int k)
{
    return k % 2 != 0 ? QStringLiteral("男") : QStringLiteral("女");
}

} // namespace

QString FullHeader()
{
    return QStringLiteral("姓名\t性别\t班级\t总分\t语文\t数学\t英语\t物理\t化学\t生物\t政治\t历史\t地理");
}

QString Table(const QStringList& students, const QString& header)
{
    return header + QStringLiteral("\r\n") + students.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QStringList Students(int n)
{
    QStringList lines;
    for (int k = 1; k <= n; ++k)
        lines << QStringLiteral("学生%1\t%2\t\t%3\t90\t80.5").arg(k).arg(Gender(k)).arg(500 + k);
    return lines;
}

QString SixStudents()
{
    return Table({QStringLiteral("A\t男\t\t90"), QStringLiteral("B\t女\t\t85"), QStringLiteral("C\t男\t\t70"),
                     QStringLiteral("D\t女\t\t95"), QStringLiteral("E\t男\t\t80"), QStringLiteral("F\t女\t\t60")},
        QStringLiteral("姓名\t性别\t班级\t总分"));
}

QString GradeText(int students, Points points)
{
    QString text = FullHeader() + QStringLiteral("\r\n");
    for (int k = 1; k <= students; ++k) {
        long long total = 0;
        QString subjects;
        for (int s = 0; s < 10; ++s) {
            const long long whole = 40 + (k * (s + 3) + s * 7) % 60;
            const int mix = (k * (s + 5) * 37 + s * 11) % 100;
            long long hundredths = whole * 100;
            switch (points) {
            case Points::Whole:
                break;
            case Points::Half:
                hundredths += mix % 2 * 50;
                break;
            case Points::Tenths:
                hundredths += mix % 10 * 10;
                break;
            case Points::Hundredths:
                hundredths += mix;
                break;
            }
            total += hundredths;
            subjects += u'\t' + ScoreText(hundredths);
        }
        text += QStringLiteral("学生%1\t%2\t\t%3%4\r\n").arg(k).arg(Gender(k), ScoreText(total), subjects);
    }
    return text;
}

QString PasteText(const CellGrid& table)
{
    QString text;
    for (int row = 0; row < table.rowCount(); ++row) {
        QStringList cells;
        for (int col = 1; col < table.colCount(); ++col)
            cells << QString::fromStdString(table.cell(col, row));
        text += cells.join(u'\t') + QStringLiteral("\r\n");
    }
    return text;
}

QString NameOf(const TStudent* student)
{
    return QString::fromStdString(Gb18030ToUtf8(student->Name));
}

QStringList Names(const TStudentList& list)
{
    QStringList names;
    for (const TStudent* student : list)
        names << NameOf(student);
    return names;
}

} // namespace fenban::testkit
