// `fenban divide --by-choice` end to end, as a separate process: the plan,
// the home classes and the teaching classes in the workbook (read back by
// openpyxl), the PDF (pdftotext) and the .csv; the same fingerprints on any
// threads; choices left out named by row; input it cannot plan refused.
#include "AuditTestKit.h"
#include "OutputReaders.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <random>

using namespace fenban;
using namespace fenban::audittest;
using namespace Qt::StringLiterals;

namespace {

CliRun RunCli(const QStringList& arguments)
{
    return RunProgram(QStringLiteral(FENBAN_CLI), arguments);
}

// A grade of `students` with a 选科 column in the forms offices write; rows 9
// and 22 of the file hold a repeated subject and no choice.
QString GradeTable(int students)
{
    std::mt19937 random(4);
    const std::vector<std::pair<QString, int>> shares
        = {{u"物化生"_s, 30}, {u"物化地"_s, 12}, {u"物化政"_s, 8}, {u"物生地"_s, 10}, {u"史政地"_s, 15},
            {u"史生地"_s, 7}, {u"史政生"_s, 6}, {u"物生政"_s, 5}, {u"史化生"_s, 3}, {u"物政地"_s, 2}, {u"史化政"_s, 2}};
    QStringList pool;
    for (const auto& [name, share] : shares)
        for (int k = 0; k < share; ++k)
            pool << name;
    QString text = u"姓名,性别,班级,总分,语文,数学,英语,选科\n"_s;
    for (int i = 0; i < students; ++i) {
        QString choice = pool[static_cast<qsizetype>(random() % static_cast<unsigned>(pool.size()))];
        if (i % 3 == 1)
            choice = choice.split(QString()).join(QLatin1Char('/')).mid(1).chopped(1); // 物/化/生
        if (i == 7)
            choice = u"物化化"_s;
        if (i == 20)
            choice.clear();
        const int a = 60 + static_cast<int>(random() % 90), b = 60 + static_cast<int>(random() % 90),
                  c = 60 + static_cast<int>(random() % 90);
        text += u"学生%1,%2,0,%3,%4,%5,%6,%7\n"_s.arg(i + 1)
                    .arg(random() % 2 ? u"男"_s : u"女"_s)
                    .arg(a + b + c)
                    .arg(a)
                    .arg(b)
                    .arg(c)
                    .arg(choice);
    }
    return text;
}

QJsonArray Rows(const QJsonArray& sheets, const QString& name)
{
    for (const QJsonValue& sheet : sheets)
        if (sheet.toObject()[u"name"_s].toString() == name)
            return sheet.toObject()[u"rows"_s].toArray();
    return {};
}

QString Cell(const QJsonArray& rows, qsizetype row, qsizetype column)
{
    const QJsonValue value = rows[row].toArray()[column].toObject()[u"value"_s];
    return value.isDouble() ? QString::number(value.toDouble()) : value.toString();
}

} // namespace

class ChoiceCommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(folder_.isValid());
        table_ = folder_.filePath(u"选科.csv"_s);
        QFile out(table_);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(GradeTable(300).toUtf8());
    }

    void workbookHoldsThePlanAndTheLists()
    {
        const QString book = folder_.filePath(u"选科分班.xlsx"_s);
        const CliRun run = RunCli(
            {u"divide"_s, table_, u"--by-choice"_s, u"--limit"_s, u"45"_s, u"--rooms"_s, u"9"_s, u"--out"_s, book});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(run.err.contains(u"第 9 行 学生8：选科“物化化”重复了科目“化学”"_s));
        QVERIFY(run.err.contains(u"第 22 行 学生21：没有选科"_s));
        QCOMPARE(run.out.size(), 2);

        QString error;
        const QJsonArray sheets = testkit::ReadWithOpenpyxl(book, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList names;
        for (const QJsonValue& sheet : sheets)
            names << sheet.toObject()[u"name"_s].toString();
        QCOMPARE(names.mid(0, 3), QStringList({u"方案"_s, u"汇总"_s, u"全部"_s}));
        QCOMPARE(names.last(), u"平均分"_s);
        QVERIFY(names.contains(u"物化生1班"_s));

        // The plan's rows: every student once, nine classes, each class's sheet as large as planned.
        const QJsonArray plan = Rows(sheets, u"方案"_s);
        QCOMPARE(Cell(plan, 0, 0), u"组合"_s);
        int students = 0, classes = 0;
        for (qsizetype r = 1; r < plan.size(); ++r) {
            students += Cell(plan, r, 2).toInt();
            classes += Cell(plan, r, 3).toInt();
        }
        QCOMPARE(students, 298);
        QCOMPARE(classes, 9);
        int homeStudents = 0, homeSheets = 0, teachingStudents = 0;
        for (const QString& name : names) {
            const QJsonArray rows = Rows(sheets, name);
            if (name.endsWith(u"教学1班"_s) || name.contains(u"教学"_s)) {
                QCOMPARE(Cell(rows, 0, 3), u"行政班"_s);
                QVERIFY(rows.size() - 1 <= 45);
                for (qsizetype r = 1; r < rows.size(); ++r)
                    QVERIFY(names.contains(Cell(rows, r, 3))); // the home class is a sheet
                teachingStudents += static_cast<int>(rows.size()) - 1;
            } else if (name.endsWith(u"班"_s)) {
                ++homeSheets;
                QVERIFY(rows.size() - 1 <= 45);
                const qsizetype last = rows[0].toArray().size() - 1;
                QCOMPARE(Cell(rows, 0, last), u"组合"_s);
                // Every student holds the subjects the class name fixes.
                const QString fixed = name.left(name.size() - 2).remove(QRegularExpression(u"\\d+"_s));
                for (qsizetype r = 1; r < rows.size(); ++r)
                    for (const QChar subject : fixed)
                        QVERIFY2(Cell(rows, r, last).contains(subject), qPrintable(name + Cell(rows, r, last)));
                homeStudents += static_cast<int>(rows.size()) - 1;
            }
        }
        QCOMPARE(homeSheets, 9);
        QCOMPARE(homeStudents, 298);
        const QJsonArray summary = Rows(sheets, u"汇总"_s);
        int walking = 0;
        for (qsizetype r = 1; r < summary.size(); ++r)
            if (Cell(summary, r, 0) == u"走班人次"_s)
                walking = Cell(summary, r, 1).toInt();
        QCOMPARE(teachingStudents, walking);
    }

    // The same fingerprints on one thread and on four, in every output; the
    // .csv keeps the 选科 column and holds the home class.
    void sameFingerprintsAnyOutput()
    {
        const QString csv = folder_.filePath(u"选科分班.csv"_s);
        const QString pdf = folder_.filePath(u"选科分班.pdf"_s);
        const CliRun first = RunCli({u"divide"_s, table_, u"--by-choice"_s, u"--threads"_s, u"1"_s, u"--out"_s, csv});
        const CliRun second = RunCli({u"divide"_s, table_, u"--by-choice"_s, u"--threads"_s, u"4"_s, u"--out"_s, pdf});
        QVERIFY2(first.code == 0 && second.code == 0, qPrintable(first.err + second.err));
        QCOMPARE(first.out, second.out);
        const CliRun plain = RunCli({u"divide"_s, table_, u"--classes"_s, u"7"_s, u"--out"_s, csv + u".plain.csv"_s});
        QVERIFY(plain.out.value(0) != first.out.value(0)); // the plan's inputs are in the fingerprint

        QFile in(csv);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(in.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
        QVERIFY(lines[0].endsWith(u"选科,班名"_s));
        QCOMPARE(lines.size(), 301);
        const QStringList left = lines[8].split(QLatin1Char(','));
        QCOMPARE(left[2], u"0"_s); // 物化化: no class
        const QStringList placed = lines[1].split(QLatin1Char(','));
        QVERIFY(placed[2].toInt() >= 1 && placed.last().endsWith(u"班"_s));

        // The division file keeps the plan: fenban check redoes it within the plan.
        const QString kept = folder_.filePath(u"选科分班.fenban"_s);
        const CliRun saved = RunCli({u"divide"_s, table_, u"--by-choice"_s, u"--out"_s, kept});
        QCOMPARE(saved.out, first.out);
        const CliRun check = RunCli({u"check"_s, kept});
        QVERIFY2(check.code == 0, qPrintable(check.err));
        QCOMPARE(check.out, QStringList({first.out.value(0), first.out.value(1)}));

        const QString text = testkit::PdfText(pdf);
        QVERIFY(text.contains(u"选科分班方案"_s));
        QVERIFY(text.contains(u"教学1班"_s));
    }

    // A class set-up lends the home classes its names in plan order; the names
    // are in the input fingerprint and a check of the file redoes them.
    void setupNamesTheHomeClasses()
    {
        const QString setup = folder_.filePath(u"班级设置.csv"_s);
        QFile names(setup);
        QVERIFY(names.open(QIODevice::WriteOnly));
        QString text = u"班名,人数,类型,条件\n"_s;
        for (int c = 1; c <= 12; ++c)
            text += u"高一(%1)班,,平行班,\n"_s.arg(c);
        names.write(text.toUtf8());
        names.close();
        const QString csv = folder_.filePath(u"命名.csv"_s);
        const QString kept = folder_.filePath(u"命名.fenban"_s);
        const CliRun plain = RunCli({u"divide"_s, table_, u"--by-choice"_s, u"--out"_s, csv + u".plain.csv"_s});
        const CliRun named = RunCli({u"divide"_s, table_, u"--by-choice"_s, u"--setup"_s, setup, u"--out"_s, csv});
        const CliRun filed = RunCli({u"divide"_s, table_, u"--by-choice"_s, u"--setup"_s, setup, u"--out"_s, kept});
        QVERIFY2(plain.code == 0 && named.code == 0 && filed.code == 0, qPrintable(plain.err + named.err + filed.err));
        QCOMPARE(named.out, filed.out);
        QVERIFY(named.out.value(0) != plain.out.value(0));

        QFile in(csv);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(in.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
        for (qsizetype r = 1; r < lines.size(); ++r) {
            const QStringList row = lines[r].split(QLatin1Char(','));
            const int home = row[2].toInt();
            QCOMPARE(row.last(), home == 0 ? QString() : u"高一(%1)班"_s.arg(home));
        }
        const CliRun check = RunCli({u"check"_s, kept});
        QVERIFY2(check.code == 0, qPrintable(check.err));
        QCOMPARE(check.out, QStringList({named.out.value(0), named.out.value(1)}));
    }

    void refusesWhatCannotBePlanned_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("rooms") << QStringList({u"--rooms"_s, u"5"_s}) << u"至少要 6 个班；现在只有 5 间教室"_s;
        QTest::newRow("classes too") << QStringList({u"--classes"_s, u"5"_s}) << u"不能再给 --classes"_s;
        QTest::newRow("model") << QStringList({u"--model"_s, u"3+2"_s}) << u"选科模式只能是 3+1+2 或 3+3"_s;
    }
    void refusesWhatCannotBePlanned()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const QString out = folder_.filePath(u"不写.xlsx"_s);
        const CliRun run = RunCli(QStringList({u"divide"_s, table_, u"--by-choice"_s, u"--out"_s, out}) + arguments);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(!QFile::exists(out));
    }

    void tableWithoutChoices()
    {
        const QString plain = folder_.filePath(u"无选科.csv"_s);
        QFile out(plain);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(u"姓名,性别,班级,总分\n甲,男,0,1\n乙,女,0,2\n丙,男,0,3\n"_s.toUtf8());
        out.close();
        const CliRun run = RunCli({u"divide"_s, plain, u"--by-choice"_s, u"--out"_s, folder_.filePath(u"x.csv"_s)});
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains(u"表格中没有选科列"_s), qPrintable(run.err));
    }

private:
    QTemporaryDir folder_;
    QString table_;
};

QTEST_MAIN(ChoiceCommandLine)
#include "tst_choice_cli.moc"
