// Whole names in every output reachable without the window (listing, .xls,
// workbook, PDF, division file), the posted lists (公示名单) and the record
// page, read back by independent readers: openpyxl, xlrd, pdftotext.
#include "AuditTestKit.h"
#include "FaultyFileSystem.h"
#include "OutputReaders.h"
#include "XlsReaders.h"
#include "audit/NoticeNames.h"
#include "audit/PublicDivision.h"
#include "audit/PublicSeed.h"
#include "audit/TeacherDraw.h"
#include "document/PublicRun.h"
#include "io/ClassListPrint.h"
#include "io/PublicOutputs.h"
#include "io/WorkbookFile.h"
#include "roster/Gb18030.h"
#include "roster/PastedTable.h"
#include "session/DivisionFile.h"
#include "views/ClassViews.h"
#include "views/StringGridModel.h"
#include "xls/GridXls.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <set>

using namespace fenban;
using namespace fenban::audittest;

namespace {

std::filesystem::path PathOf(const QString& file)
{
    return std::filesystem::path(file.toStdU16String());
}

// The grade read and divided as the window does it, with the default seed.
struct Divided {
    TableRows table = Grade(48);
    DivisionState state;
    std::vector<std::string> subjects;
    std::vector<std::string> teachers;

    Divided()
    {
        subjects = ReadRoster(table, ".", state);
        OptimiseControl control;
        control.effort = 20000;
        DivideAndBalance(state, DivisionOptions {4, false, 10}, control);
        teachers = DrawTeachers({"王芳", "李强", "司马相如", "赵敏"}, 4, SeedOfText(DefaultSeedText));
    }
};

QStringList Utf8Names(const DivisionState& state)
{
    QStringList names;
    for (const auto& record : state.Records)
        names << QString::fromStdString(Gb18030ToUtf8(record->Name));
    return names;
}

// How many times each long name occurs among the texts.
void CompareLongNames(const QStringList& texts, int perName = 1)
{
    for (const std::string& name : std::set<std::string>(LongNames.begin(), LongNames.end())) {
        const auto wanted = static_cast<qsizetype>(std::count(LongNames.begin(), LongNames.end(), name) * perName);
        QVERIFY2(texts.count(QString::fromStdString(name)) == wanted, name.c_str());
    }
}

} // namespace

class PublicOutputs : public QObject {
    Q_OBJECT

private slots:
    void listingAndXlsKeepWholeNames();
    void workbookAndPdfKeepWholeNames();
    void divisionFileKeepsWholeNamesAndTheRecord();
    void postedListsShowNoScores_data();
    void postedListsShowNoScores();
    void postedListsAreSavedWhole();
    void aClassOfSixtyOnOnePage();
    void postedListsCarryOnlyTheChosenExtraColumns();
};

void PublicOutputs::listingAndXlsKeepWholeNames()
{
    DivisionState roster; // as read, listed in its order
    ReadRoster(Grade(48), ".", roster);
    StringGridModel grid(6, 5);
    ListStudents(grid, roster.FStudents, ".", roster);
    QStringList listed;
    for (int row = 1; row < grid.grid().rowCount(); ++row)
        listed << QString::fromStdString(grid.grid().cell(1, row));
    QCOMPARE(listed, Utf8Names(roster));
    CompareLongNames(listed);
    // 拷贝 takes the block as it stands.
    const QString copied = QString::fromStdString(BlockText(grid.grid(), 1, 1, 2, 4));
    QCOMPARE(copied, QStringLiteral("迪丽热巴·热依扎\t女\r\n巴特尔·努尔\t男\r\n巴特尔·努尔\t女\r\n欧阳娜娜娜娜\t女"));

    const QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("名单.xls"));
    const CellGrid& cells = grid.grid();
    WriteGridXls(*DiskFileSystem(), PathOf(file), cells.rowCount(), cells.colCount(),
        [&cells](int col, int row) -> const std::string& { return cells.cell(col, row); });
    const testkit::SheetReadBack xls = testkit::ReadWithXlrd(file);
    QVERIFY2(xls.error.isEmpty(), qPrintable(xls.error));
    QStringList read;
    for (int row = 1; row < xls.rows; ++row)
        read << QString::fromStdString(xls.cells[static_cast<std::size_t>(row)][1].value_or(""));
    QCOMPARE(read, listed);
}

void PublicOutputs::workbookAndPdfKeepWholeNames()
{
    const Divided divided;
    DivisionTables tables = MakeDivisionTables(divided.state, divided.subjects);
    AddTeachersToTitles(tables, divided.teachers);
    QVERIFY(QString::fromStdString(tables.classes[2].title)
                .endsWith(QStringLiteral("班主任：") + QString::fromStdString(divided.teachers[2])));
    const QTemporaryDir folder;
    const QString book = folder.filePath(QStringLiteral("分班.xlsx"));
    WriteWorkbook(*DiskFileSystem(), PathOf(book), WorkbookTables(tables));
    QString error;
    const QJsonArray sheets = testkit::ReadWithOpenpyxl(book, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    CompareLongNames(TextsOf(sheets), 2); // 全部 and the student's class

    OperationRecord record;
    const std::string result = ResultFingerprint(divided.state);
    record.add(RecordKind::BalanceAll, BalanceAllRecordText(DefaultSeedText, 10, result));
    record.add(RecordKind::Move, MoveRecordText("迪丽热巴·热依扎", 1, 2));
    // Letter pairs that fonts join into ligatures must copy out as letters.
    const std::string ligatures = "0ff1ffe2fa3ff4ffff5eff6aff7fff8cff9dff0eff1ffa2ffb3ffc4ffd5ffe6f";
    record.add(RecordKind::BalanceAll, BalanceAllRecordText(DefaultSeedText, 10, ligatures));
    std::vector<OutputTable> printed = PrintedTables(tables);
    printed.push_back(RecordTable(record));
    const QString pdf = folder.filePath(QStringLiteral("名单.pdf"));
    WriteTablesPdf(*DiskFileSystem(), PathOf(pdf), printed);
    const QString text = testkit::PdfText(pdf);
    for (const std::string& name : LongNames)
        QVERIFY2(text.contains(QString::fromStdString(name)), name.c_str());
    QCOMPARE(text.count(QStringLiteral("巴特尔·努尔")), 2); // the boy and the girl
    // The record is the last page: its heading and the whole fingerprint, after the averages.
    const qsizetype averages = text.indexOf(QStringLiteral("各班平均分"));
    const qsizetype recordAt = text.lastIndexOf(QStringLiteral("操作记录"));
    QVERIFY(averages >= 0 && recordAt > averages);
    QVERIFY(text.mid(recordAt).contains(QStringLiteral("调班：迪丽热巴·热依扎 从 1 班 调到 2 班")));
    QVERIFY(
        text.mid(recordAt).remove(QRegularExpression(QStringLiteral("\\s"))).contains(QString::fromStdString(result)));
    QVERIFY(
        QString(text).remove(QRegularExpression(QStringLiteral("\\s"))).contains(QString::fromStdString(ligatures)));
    QVERIFY(text.contains(QStringLiteral("班主任：") + QString::fromStdString(divided.teachers[2])));
}

void PublicOutputs::divisionFileKeepsWholeNamesAndTheRecord()
{
    Divided divided;
    FieldRows rows;
    for (const auto& row : divided.table)
        rows.emplace_back(row.begin(), row.end());
    CellGrid grid(RosterColumns, 2);
    SizeGridForTable(grid, rows);
    FillGridWithTable(grid, rows);
    Settings settings;
    settings.classCount = 4;
    const Snapshot snapshot = CaptureSnapshot(
        divided.state, {PackedGrid::Pack(grid), ".", true}, settings, std::make_shared<const ShownFigures>(), false);
    PublicDivision extra;
    extra.seedText = "123";
    extra.teachers = divided.teachers;
    extra.record.add(RecordKind::Move, MoveRecordText("巴特尔·努尔", 2, 3));
    const QTemporaryDir folder;
    const std::filesystem::path file = PathOf(folder.filePath(QStringLiteral("初一.fenban")));
    WriteDivisionFile(*DiskFileSystem(), file, DivisionJson(snapshot, PublicDivisionJson(extra)));

    QJsonObject whole;
    const Snapshot read = ReadDivisionFile(file, &whole);
    DivisionState state;
    RosterSource source;
    RestoreSnapshot(read, state, source);
    QCOMPARE(Utf8Names(state), Utf8Names(divided.state));
    QCOMPARE(ResultFingerprint(state), ResultFingerprint(divided.state));
    QCOMPARE(ReadPublicDivision(whole), extra);
}

void PublicOutputs::postedListsShowNoScores_data()
{
    QTest::addColumn<bool>("mask");
    QTest::addColumn<bool>("byName");
    QTest::newRow("whole names, list order") << false << false;
    QTest::newRow("masked, by name") << true << true;
}

void PublicOutputs::postedListsShowNoScores()
{
    QFETCH(bool, mask);
    QFETCH(bool, byName);
    const Divided divided;
    NoticeOptions options;
    options.maskNames = mask;
    options.order = byName ? NoticeOrder::Name : NoticeOrder::List;
    const std::vector<OutputTable> tables = NoticeTables(divided.state, divided.teachers, options);
    QCOMPARE(tables.size(), std::size_t {4});
    int students = 0;
    for (std::size_t k = 0; k < tables.size(); ++k) {
        const OutputTable& table = tables[k];
        const TStudentList& members = divided.state.FClasses[k];
        QCOMPARE(table.header, (std::vector<std::string> {"序号", "姓名", "性别"}));
        QCOMPARE(table.rows.size(), members.size());
        std::vector<std::string> expected;
        for (const TStudent* student : members)
            expected.push_back(Gb18030ToUtf8(student->Name));
        if (byName) {
            const std::vector<std::size_t> order = OrderByName(expected);
            std::vector<std::string> sorted;
            for (const std::size_t i : order)
                sorted.push_back(expected[i]);
            expected = sorted;
        }
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const auto& row = table.rows[r];
            QCOMPARE(row.size(), std::size_t {3}); // no score, no rule column, no teacher
            QCOMPARE(std::get<double>(row[0]), double(r + 1));
            QCOMPARE(std::get<std::string>(row[1]), mask ? MaskName(expected[r]) : expected[r]);
        }
        // The teacher once, in the title; none at all without teachers.
        QVERIFY(QString::fromStdString(table.title)
                    .startsWith(QString::fromStdString(ClassTitleWithTeacher(int(k) + 1, divided.teachers[k]))));
        QCOMPARE(QString::fromStdString(table.title).count(QString::fromStdString(divided.teachers[k])), qsizetype(1));
        QVERIFY(!QString::fromStdString(NoticeTables(divided.state, {}, options)[k].title)
                     .contains(QStringLiteral("班主任")));
        students += static_cast<int>(table.rows.size());
    }
    QCOMPARE(students, 48);
}

// 学号 goes on the notice board by default, 身份证号 and a parent's phone
// never unless chosen; each posted text is its own student's.
void PublicOutputs::postedListsCarryOnlyTheChosenExtraColumns()
{
    Divided divided;
    RosterExtraTexts& extras = divided.state.ExtraTexts;
    extras.headers = {"身份证号", "学号", "家长电话"};
    for (std::size_t r = 0; r < divided.state.Records.size(); ++r)
        extras.cells.push_back({"ID" + std::to_string(r), "S" + std::to_string(r), "T" + std::to_string(r)});
    NoticeOptions options;
    options.extraColumns = DefaultPostedColumns(extras);
    QCOMPARE(options.extraColumns, (std::vector<std::size_t> {1}));
    const std::vector<OutputTable> tables = NoticeTables(divided.state, divided.teachers, options);
    for (std::size_t k = 0; k < tables.size(); ++k) {
        QCOMPARE(tables[k].header, (std::vector<std::string> {"序号", "姓名", "性别", "学号"}));
        const TStudentList& members = divided.state.FClasses[k];
        for (std::size_t r = 0; r < members.size(); ++r) {
            const auto record = std::find_if(divided.state.Records.begin(), divided.state.Records.end(),
                [&](const auto& kept) { return kept.get() == members[r]; });
            const auto index = static_cast<std::size_t>(record - divided.state.Records.begin());
            QCOMPARE(std::get<std::string>(tables[k].rows[r][3]), "S" + std::to_string(index));
        }
    }
    options.extraColumns = {2, 0, 7}; // chosen by hand; a column past the end is ignored
    QCOMPARE(NoticeTables(divided.state, divided.teachers, options).front().header,
        (std::vector<std::string> {"序号", "姓名", "性别", "家长电话", "身份证号"}));
}

// A posted class of up to 60 students stands on one A4 page, every row on it.
void PublicOutputs::aClassOfSixtyOnOnePage()
{
    std::vector<OutputTable> tables;
    for (const int size : {60, 12}) {
        OutputTable table {
            std::to_string(size) + "人", "共 " + std::to_string(size) + " 人", {"序号", "姓名", "性别"}, {}};
        for (int r = 1; r <= size; ++r)
            table.rows.push_back({double(r), "学生" + std::to_string(size) + "之" + std::to_string(r), "男"});
        tables.push_back(std::move(table));
    }
    const QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("六十.pdf"));
    WriteNoticePdf(*DiskFileSystem(), PathOf(pdf), tables, NoticeOptions {});
    QCOMPARE(testkit::PdfPages(pdf), 2);
    const QString first = testkit::PdfText(pdf, 1);
    for (int r = 1; r <= 60; ++r)
        QVERIFY2(first.contains(QStringLiteral("学生60之%1").arg(r)), qPrintable(QString::number(r)));
    QVERIFY(first.contains(QStringLiteral("监督人：")));
}

void PublicOutputs::postedListsAreSavedWhole()
{
    const Divided divided;
    NoticeOptions options;
    options.maskNames = true;
    options.resultFingerprint = ResultFingerprint(divided.state);
    options.seedText = "31415926";
    options.date = QDate(2026, 12, 8);
    const std::vector<OutputTable> tables = NoticeTables(divided.state, divided.teachers, options);
    const QTemporaryDir folder;
    const QString book = folder.filePath(QStringLiteral("公示.xlsx"));
    const QString pdf = folder.filePath(QStringLiteral("公示.pdf"));
    WriteNoticeWorkbook(*DiskFileSystem(), PathOf(book), tables, options);
    WriteNoticePdf(*DiskFileSystem(), PathOf(pdf), tables, options);

    QString error;
    const QJsonArray sheets = testkit::ReadWithOpenpyxl(book, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(sheets.size(), qsizetype(4));
    const QStringList texts = TextsOf(sheets);
    const QString text = testkit::PdfText(pdf);
    const QString flat = QString(text).remove(QRegularExpression(QStringLiteral("\\s")));
    for (const QString& masked :
        {QStringLiteral("迪***·**扎"), QStringLiteral("巴**·*尔"), QStringLiteral("欧阳****")}) {
        QVERIFY2(texts.contains(masked), qPrintable(masked));
        QVERIFY2(text.contains(masked), qPrintable(masked));
    }
    QCOMPARE(texts.count(QStringLiteral("巴**·*尔")), 2);
    for (const std::string& name : LongNames) {
        QVERIFY(!texts.contains(QString::fromStdString(name)));
        QVERIFY(!text.contains(QString::fromStdString(name)));
    }
    // No score of the grade anywhere: every number cell is a 序号.
    for (const QJsonValue sheet : sheets) {
        const QJsonArray rows = sheet[QStringLiteral("rows")].toArray();
        QCOMPARE(rows[2].toArray()[1][QStringLiteral("value")].toString(), QStringLiteral("姓名"));
        for (qsizetype r = 3; r < rows.size(); ++r) {
            const QJsonArray row = rows[r].toArray();
            for (qsizetype c = 0; c < row.size(); ++c) {
                if (row[c][QStringLiteral("type")].toString() != QStringLiteral("str")
                    && row[c][QStringLiteral("type")].toString() != QStringLiteral("NoneType"))
                    QVERIFY(c == 0 && row[c][QStringLiteral("value")].toDouble() == double(r - 2));
            }
        }
    }
    for (const QString& score : {QStringLiteral("87.5"), QStringLiteral("93.25"), QStringLiteral("1234567")})
        QVERIFY(!text.contains(score));
    // The footer, the seed, the date and the signature lines, under every class.
    const QString fingerprint
        = QStringLiteral("结果指纹（SHA-256）：") + QString::fromStdString(options.resultFingerprint);
    QCOMPARE(texts.count(fingerprint), qsizetype(4));
    QCOMPARE(flat.count(QString(fingerprint).remove(QLatin1Char(' '))), qsizetype(4));
    QCOMPARE(flat.count(QStringLiteral("种子：31415926")), qsizetype(4));
    QCOMPARE(flat.count(QStringLiteral("日期：2026年12月8日")), qsizetype(4));
    QCOMPARE(flat.count(QStringLiteral("监督人：")), qsizetype(4));
    QCOMPARE(flat.count(QStringLiteral("经办人：")), qsizetype(4));
    QVERIFY(flat.contains(QStringLiteral("3班班主任：") + QString::fromStdString(divided.teachers[2])));

    // A disk that fails leaves nothing behind.
    for (int step = 1; step <= 3; ++step) {
        testkit::FaultyFileSystem faulty(step);
        const QString failed = folder.filePath(QStringLiteral("失败.pdf"));
        QVERIFY_THROWS_EXCEPTION(WriteError, WriteNoticePdf(faulty, PathOf(failed), tables, options));
        QVERIFY(!QFile::exists(failed));
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
        (QStringList {QStringLiteral("公示.pdf"), QStringLiteral("公示.xlsx")}));
}

QTEST_MAIN(PublicOutputs)
#include "tst_public_outputs.moc"
