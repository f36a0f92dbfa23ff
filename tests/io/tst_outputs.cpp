// The division's tables, the .xlsx workbook read back by openpyxl, and the
// class lists as a PDF read back by poppler (pdftotext, pdffonts, pdfinfo).
#include "FaultyFileSystem.h"
#include "OutputReaders.h"
#include "engine/Assignment.h"
#include "io/ClassListPrint.h"
#include "io/WorkbookFile.h"
#include "roster/Gb18030.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPageRanges>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <map>
#include <random>

using namespace fenban;

namespace {

const std::string Boy = "男";
const std::string Girl = "女";

// UTF-8 names of a grade: three characters each, all different.
std::string NameOf(int index)
{
    static const char* const first[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马",
        "朱", "胡", "郭", "何", "高", "林", "罗"};
    static const char* const given[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋", "勇", "艳", "杰",
        "娟", "涛", "明", "超", "秀", "霞", "平", "刚", "桂", "英", "华", "玉", "萍", "红", "鹏", "飞", "辉"};
    return std::string(first[index % 20]) + given[(index / 20) % 30] + given[(index / 600) % 30];
}

// A divided grade of random students (a few with another gender text).
void MakeGrade(DivisionState& state, int students, int classes, unsigned seed)
{
    std::mt19937 rng(seed);
    for (int k = 0; k < students; ++k) {
        auto student = std::make_unique<TStudent>();
        student->Name = Gb18030Prefix(NameOf(k), std::string::npos);
        const std::string gender = k % 17 == 5 ? "?" : rng() % 2 ? Boy : Girl;
        student->Gender = ShortString<2>(Gb18030Prefix(gender, 2));
        long double total = 0;
        for (int s = 1; s < SubjectCount; ++s) {
            student->Scores[static_cast<std::size_t>(s)] = std::uniform_int_distribution<int>(60, 300)(rng) / 2.0L;
            total += student->Scores[static_cast<std::size_t>(s)];
        }
        student->Scores[0] = total;
        state.FStudents.push_back(student.get());
        state.Records.push_back(std::move(student));
    }
    state.FClasses.resize(static_cast<std::size_t>(classes));
    QVERIFY(AssignClasses(state, classes));
}

std::vector<std::string> SubjectNames()
{
    return {"总分", "语文", "数学", "英语", "物理", "化学", "生物", "政治", "历史", "地理", "体育"};
}

QString Utf8(const std::string& text)
{
    return QString::fromStdString(text);
}

QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class Outputs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void tablesHoldTheDivision();
    void averagesAsTheWindowShowsThem();
    void unusedSubjectsLeftOut_data();
    void unusedSubjectsLeftOut();
    void workbookReadsBackInOpenpyxl();
    void workbookNumbersAsShown();
    void workbookFailureLeavesNoFile();
    void workbookToAMissingFolder();
    void pdfHoldsEveryName();
    void printingKeepsToThePageRanges();
    void pdfFailureLeavesNoFile();

private:
    DivisionState state_;
    DivisionTables tables_;
    QTemporaryDir folder_;
    std::filesystem::path temp(const char* name) const
    {
        return std::filesystem::path(folder_.path().toStdString()) / name;
    }
};

void Outputs::initTestCase()
{
    MakeGrade(state_, 230, 4, 9);
    tables_ = MakeDivisionTables(state_, SubjectNames());
}

void Outputs::tablesHoldTheDivision()
{
    QCOMPARE(tables_.classes.size(), std::size_t {4});
    QCOMPARE(tables_.grade.rows.size(), state_.FStudents.size());
    std::size_t next = 0;
    for (std::size_t k = 0; k < tables_.classes.size(); ++k) {
        const OutputTable& table = tables_.classes[k];
        const TStudentList& members = state_.FClasses[k];
        QCOMPARE(table.name, std::to_string(k + 1) + "班");
        QCOMPARE(table.rows.size(), members.size());
        const auto boys
            = std::count_if(members.begin(), members.end(), [](const TStudent* s) { return s->Gender == MaleGender; });
        const auto girls = std::count_if(
            members.begin(), members.end(), [](const TStudent* s) { return Gb18030ToUtf8(s->Gender.view()) == "女"; });
        QCOMPARE(table.title,
            "班级 " + std::to_string(k + 1) + "　男 " + std::to_string(boys) + "　女 " + std::to_string(girls) + "　共 "
                + std::to_string(members.size()));
        for (std::size_t r = 0; r < members.size(); ++r) {
            const auto& row = table.rows[r];
            QCOMPARE(row.size(), std::size_t {4 + SubjectCount});
            QCOMPARE(std::get<double>(row[0]), double(r + 1));
            QCOMPARE(std::get<std::string>(row[1]), Gb18030ToUtf8(members[r]->Name));
            QCOMPARE(std::get<double>(row[3]), double(k + 1));
            for (int s = 0; s < SubjectCount; ++s)
                QCOMPARE(std::get<double>(row[4 + std::size_t(s)]), double(members[r]->Scores[std::size_t(s)]));
            // The whole grade lists the classes one after another.
            QCOMPARE(tables_.grade.rows[next][1], row[1]);
            QCOMPARE(std::get<double>(tables_.grade.rows[next][0]), double(next + 1));
            ++next;
        }
    }
    QCOMPARE(tables_.grade.header[4], std::string("总分"));
    QCOMPARE(tables_.grade.header.size(), std::size_t {15});

    // Before a division the grade is the roster, in roster order.
    DivisionState undivided;
    MakeGrade(undivided, 5, 1, 2);
    undivided.FClasses.clear();
    const DivisionTables plain = MakeDivisionTables(undivided, {});
    QCOMPARE(plain.grade.rows.size(), std::size_t {5});
    QCOMPARE(std::get<std::string>(plain.grade.rows[2][1]), Gb18030ToUtf8(undivided.FStudents[2]->Name));
    QVERIFY(plain.classes.empty());
}

void Outputs::averagesAsTheWindowShowsThem()
{
    const OutputTable& averages = tables_.averages;
    QCOMPARE(averages.rows.size(), state_.FClassAvg.size() + 2);
    for (std::size_t i = 0; i < state_.FClassAvg.size(); ++i) {
        QCOMPARE(std::get<double>(averages.rows[i][0]), double(i + 1));
        QCOMPARE(std::get<double>(averages.rows[i][3]), double(state_.FClasses[i].size()));
        for (std::size_t s = 0; s < SubjectCount; ++s)
            QCOMPARE(std::get<double>(averages.rows[i][4 + s]), double(state_.FClassAvg[i][s]));
    }
    const auto& grade = averages.rows[state_.FClassAvg.size()];
    QCOMPARE(std::get<std::string>(grade[0]), std::string("年级平均分"));
    QCOMPARE(std::get<double>(grade[3]), double(state_.FStudents.size()));
    const auto& gap = averages.rows.back();
    for (std::size_t s = 0; s < SubjectCount; ++s) {
        QCOMPARE(std::get<double>(grade[4 + s]), double(state_.FGradeAvg[s]));
        double low = 1e300;
        double high = -1e300;
        for (const auto& average : state_.FClassAvg) {
            low = std::min(low, double(average[s]));
            high = std::max(high, double(average[s]));
        }
        // Two decimals, as the averages are.
        QVERIFY(std::abs(std::get<double>(gap[4 + s]) - (high - low)) < 1e-9);
        QCOMPARE(CellText(gap[4 + s]), CellText(OutputCell(std::round((high - low) * 100) / 100)));
    }
}

void Outputs::unusedSubjectsLeftOut_data()
{
    QTest::addColumn<int>("named"); // subjects with a name, from the total on
    QTest::addColumn<int>("scored"); // subjects with scores, from the total on
    QTest::addColumn<int>("stray"); // a subject where one student alone has a score; -1: none
    QTest::addColumn<int>("expected");
    QTest::newRow("all eleven") << 11 << 11 << -1 << 11;
    QTest::newRow("nine of a full grade") << 10 << 10 << -1 << 10;
    QTest::newRow("blank names, no scores") << 6 << 6 << -1 << 6;
    QTest::newRow("a name without scores stays") << 8 << 6 << -1 << 8;
    QTest::newRow("scores without a name stay") << 6 << 8 << -1 << 8;
    QTest::newRow("one student's score keeps the column") << 6 << 6 << 9 << 10;
    QTest::newRow("the total alone") << 1 << 1 << -1 << 1;
    QTest::newRow("nothing named") << 0 << 3 << -1 << 3;
}

void Outputs::unusedSubjectsLeftOut()
{
    QFETCH(int, named);
    QFETCH(int, scored);
    QFETCH(int, stray);
    QFETCH(int, expected);
    DivisionState state;
    MakeGrade(state, 12, 2, 5);
    for (TStudent* student : state.FStudents)
        for (int s = scored; s < SubjectCount; ++s)
            student->Scores[std::size_t(s)] = 0;
    if (stray >= 0)
        state.FStudents[7]->Scores[std::size_t(stray)] = 0.5L;
    std::vector<std::string> names = SubjectNames();
    for (int s = named; s < SubjectCount; ++s)
        names[std::size_t(s)] = s % 2 ? "  " : "";
    const DivisionTables tables = MakeDivisionTables(state, names);
    const std::size_t columns = 4 + std::size_t(expected);
    QCOMPARE(tables.grade.header.size(), columns);
    QCOMPARE(tables.averages.header.size(), columns);
    for (const OutputTable* table : {&tables.grade, &tables.classes[0], &tables.averages})
        for (const auto& row : table->rows)
            QCOMPARE(row.size(), columns);
}

void Outputs::workbookReadsBackInOpenpyxl()
{
    const std::filesystem::path file = temp("年级分班.xlsx");
    ExportDivisionWorkbook(file, tables_);
    QString error;
    const QJsonArray sheets = testkit::ReadWithOpenpyxl(QString::fromStdString(file.string()), error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(sheets.size(), 6);
    QStringList names;
    for (const auto& sheet : sheets)
        names << sheet[QStringLiteral("name")].toString();
    QCOMPARE(names,
        (QStringList {QStringLiteral("全部"), QStringLiteral("1班"), QStringLiteral("2班"), QStringLiteral("3班"),
            QStringLiteral("4班"), QStringLiteral("平均分")}));

    std::map<QString, int> inGrade;
    std::map<QString, int> inClasses;
    for (qsizetype k = 0; k < sheets.size(); ++k) {
        const QJsonObject sheet = sheets[k].toObject();
        QVERIFY(sheet[QStringLiteral("headerBold")].toBool());
        QCOMPARE(sheet[QStringLiteral("frozen")].toString(), QStringLiteral("A2"));
        QCOMPARE(sheet[QStringLiteral("printTitleRows")].toString(), QStringLiteral("$1:$1"));
        QCOMPARE(sheet[QStringLiteral("fitToWidth")].toInt(), 1);
        QCOMPARE(sheet[QStringLiteral("fitToHeight")].toInt(), 0);
        QVERIFY(sheet[QStringLiteral("fitToPage")].toBool());
        QCOMPARE(sheet[QStringLiteral("paperSize")].toInt(), 9);
        QCOMPARE(sheet[QStringLiteral("orientation")].toString(), QStringLiteral("portrait"));
        const QJsonArray rows = sheet[QStringLiteral("rows")].toArray();
        if (k == sheets.size() - 1) {
            // 平均分: numbers where the window shows numbers.
            QCOMPARE(rows.size(), int(state_.FClassAvg.size()) + 3);
            QCOMPARE(rows[1].toArray()[4][QStringLiteral("type")].toString(), QStringLiteral("float"));
            QCOMPARE(
                rows[rows.size() - 2].toArray()[0][QStringLiteral("value")].toString(), QStringLiteral("年级平均分"));
            continue;
        }
        QCOMPARE(rows[0].toArray()[1][QStringLiteral("value")].toString(), QStringLiteral("姓名"));
        const OutputTable& table = k == 0 ? tables_.grade : tables_.classes[std::size_t(k - 1)];
        QCOMPARE(sheet[QStringLiteral("pageHeader")].toString(), Utf8(table.title)); // the title on paper
        // Column B holds the names: as wide as three Chinese characters and more.
        QVERIFY(sheet[QStringLiteral("widths")][QStringLiteral("B")].toDouble() >= 6);
        for (qsizetype r = 1; r < rows.size(); ++r) {
            const QJsonArray row = rows[r].toArray();
            QCOMPARE(row[1][QStringLiteral("type")].toString(), QStringLiteral("str"));
            QCOMPARE(row[2][QStringLiteral("type")].toString(), QStringLiteral("str"));
            for (const int numeric : {0, 3, 4, 5, 14})
                QVERIFY2(row[numeric][QStringLiteral("type")].toString() == QStringLiteral("int")
                        || row[numeric][QStringLiteral("type")].toString() == QStringLiteral("float"),
                    qPrintable(row[numeric][QStringLiteral("type")].toString()));
            const QString name = row[1][QStringLiteral("value")].toString();
            if (k == 0) {
                ++inGrade[name];
            } else {
                ++inClasses[name];
                QCOMPARE(row[3][QStringLiteral("value")].toDouble(), double(k)); // the sheet's class
            }
        }
    }
    QCOMPARE(inGrade.size(), state_.FStudents.size());
    QCOMPARE(inClasses.size(), state_.FStudents.size());
    for (const TStudent* student : state_.FStudents) {
        const QString name = Utf8(Gb18030ToUtf8(student->Name));
        QCOMPARE(inGrade[name], 1);
        QCOMPARE(inClasses[name], 1);
    }
}

// The 平均分 sheet holds its numbers as shown, two decimals; each sheet has
// one 序号 column, a school's own kept as 原序号 where it numbers otherwise.
void Outputs::workbookNumbersAsShown()
{
    DivisionState state;
    MakeGrade(state, 40, 2, 3);
    state.FClassAvg[0][1] += 1e-9L; // shown as two decimals all the same
    state.ExtraTexts.headers = {"学号", "序号"};
    for (std::size_t r = 0; r < state.Records.size(); ++r)
        state.ExtraTexts.cells.push_back({"S" + std::to_string(r), std::to_string(r + 1)});
    const std::filesystem::path file = temp("两位小数.xlsx");
    DivisionTables tables = MakeDivisionTables(state, SubjectNames());
    // The whole grade before a division: in roster order, as the school numbered it.
    DivisionState undivided;
    undivided.Records = std::move(state.Records);
    for (const auto& record : undivided.Records)
        undivided.FStudents.push_back(record.get());
    undivided.ExtraTexts = state.ExtraTexts;
    tables.grade = MakeDivisionTables(undivided, SubjectNames()).grade;
    ExportDivisionWorkbook(file, tables);
    QString error;
    const QJsonArray sheets = testkit::ReadWithOpenpyxl(QString::fromStdString(file.string()), error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QJsonArray averages = sheets.last()[QStringLiteral("rows")].toArray();
    int numbers = 0;
    for (qsizetype r = 1; r < averages.size(); ++r)
        for (const QJsonValue cell : averages[r].toArray())
            if (cell[QStringLiteral("type")].toString() == QStringLiteral("float")) {
                const double value = cell[QStringLiteral("value")].toDouble();
                QVERIFY2(std::round(value * 100) / 100 == value, qPrintable(QString::number(value, 'g', 17)));
                ++numbers;
            }
    QVERIFY(numbers > 20);
    for (qsizetype k = 0; k + 1 < sheets.size(); ++k) {
        QStringList header;
        for (const QJsonValue cell : sheets[k][QStringLiteral("rows")].toArray()[0].toArray())
            header << cell[QStringLiteral("value")].toString();
        QCOMPARE(header.count(QStringLiteral("序号")), qsizetype(1));
        // The roster order numbers the whole grade alike; a class numbers its rows otherwise.
        QCOMPARE(header.contains(QStringLiteral("原序号")), k > 0);
        QCOMPARE(header.last(), k > 0 ? QStringLiteral("原序号") : QStringLiteral("学号"));
    }
}

void Outputs::workbookFailureLeavesNoFile()
{
    QTemporaryDir folder;
    const std::filesystem::path file = std::filesystem::path(folder.path().toStdString()) / "book.xlsx";
    const std::vector<OutputTable> sheets = WorkbookTables(tables_);
    // Every step of the save fails once: create, the write, close, rename.
    for (int step = 1; step <= 4; ++step) {
        testkit::FaultyFileSystem files(step);
        QVERIFY_THROWS_EXCEPTION(WriteError, WriteWorkbook(files, file, sheets));
        QCOMPARE(FilesIn(folder.path()), QStringList());
    }
    testkit::FaultyFileSystem files(0);
    WriteWorkbook(files, file, sheets);
    QCOMPARE(FilesIn(folder.path()), QStringList {QStringLiteral("book.xlsx")});
    QCOMPARE(files.steps(), 4);
}

void Outputs::workbookToAMissingFolder()
{
    const std::filesystem::path file = temp("没有的文件夹") / "名单.xlsx";
    try {
        ExportDivisionWorkbook(file, tables_);
        QFAIL("no failure");
    } catch (const WriteError& error) {
        QCOMPARE(QString::fromUtf8(error.what()),
            QStringLiteral("不能保存文件“%1”：文件夹不存在。").arg(QString::fromStdString(file.string())));
    }
}

void Outputs::pdfHoldsEveryName()
{
    const std::filesystem::path file = temp("班级名单.pdf");
    ExportClassListsPdf(file, tables_);
    const QString pdf = QString::fromStdString(file.string());
    const QString text = testkit::PdfText(pdf);
    QVERIFY2(!text.isEmpty(), "pdftotext gave nothing: install the Debian package poppler-utils");
    for (const TStudent* student : state_.FStudents) {
        const QString name = Utf8(Gb18030ToUtf8(student->Name));
        QVERIFY2(text.count(name) == 1, qPrintable(name));
    }
    for (std::size_t k = 0; k < tables_.classes.size(); ++k)
        QVERIFY(text.contains(Utf8(tables_.classes[k].title).replace(QChar(0x3000), u' ')));
    QVERIFY(text.contains(QStringLiteral("年级平均分")));

    // A class of about 57 students takes two pages, each with the header row.
    const QString info = QString::fromUtf8(testkit::RunReader(QStringLiteral("pdfinfo"), {pdf}));
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    QVERIFY(pages.hasMatch());
    const int pageCount = pages.captured(1).toInt();
    QCOMPARE(pageCount, 9);
    QCOMPARE(text.count(QStringLiteral("姓名")), 8);
    QCOMPARE(text.count(QStringLiteral("（续）")), 4);
    QVERIFY(text.contains(QStringLiteral("第 9 页，共 9 页")));
    QVERIFY(info.contains(QStringLiteral("A4")));

    // Every font is embedded.
    const QStringList fonts
        = QString::fromUtf8(testkit::RunReader(QStringLiteral("pdffonts"), {pdf})).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY(fonts.size() > 2);
    for (const QString& line : fonts.mid(2)) {
        const QStringList columns = line.simplified().split(u' ');
        QVERIFY2(columns.size() >= 5 && columns[columns.size() - 5] == QStringLiteral("yes"), qPrintable(line));
    }
}

void Outputs::printingKeepsToThePageRanges()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    int pages = 0;
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageLayout(ClassListPageLayout());
        QPageRanges ranges;
        ranges.addRange(2, 3);
        pdf.setPageRanges(ranges);
        pages = PaintTables(pdf, PrintedTables(tables_));
    }
    QCOMPARE(pages, 9);
    const std::filesystem::path file = temp("pages.pdf");
    QFile out(QString::fromStdString(file.string()));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(buffer.data());
    out.close();
    const QString info = QString::fromUtf8(testkit::RunReader(QStringLiteral("pdfinfo"), {out.fileName()}));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))), qPrintable(info));
    const QString text = testkit::PdfText(out.fileName());
    // (Without the ToUnicode repair of the PDF export 页 reads as a radical.)
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("第 2 \\S，共 9"))));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("第 3 \\S，共 9"))));
    QVERIFY(!text.contains(QRegularExpression(QStringLiteral("第 1 \\S，"))));
}

void Outputs::pdfFailureLeavesNoFile()
{
    QTemporaryDir folder;
    const std::filesystem::path file = std::filesystem::path(folder.path().toStdString()) / "lists.pdf";
    const std::vector<OutputTable> printed = PrintedTables(tables_);
    for (int step = 1; step <= 4; ++step) {
        testkit::FaultyFileSystem files(step);
        QVERIFY_THROWS_EXCEPTION(WriteError, WriteTablesPdf(files, file, printed));
        QCOMPARE(FilesIn(folder.path()), QStringList());
    }
}

QTEST_MAIN(Outputs)
#include "tst_outputs.moc"
