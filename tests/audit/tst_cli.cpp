// The command line end to end, as a separate process: the same fingerprints on
// 1, 2 and 4 threads, another seed another division, outputs that keep whole
// names and agree with the fingerprint, check finding a single moved student,
// and wrong input refused with exit code 2 and nothing written.
#include "AuditTestKit.h"
#include "OutputReaders.h"
#include "WindowDriver.h"
#include "audit/PublicDivision.h"
#include "audit/PublicSeed.h"
#include "common/FileSaving.h"
#include "common/Version.h"
#include "document/PublicRun.h"
#include "engine/Division.h"
#include "roster/Gb18030.h"
#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"
#include "session/DivisionFile.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace fenban;
using namespace fenban::audittest;

namespace {

using Run = CliRun;

Run RunCli(const QStringList& arguments)
{
    return RunProgram(QStringLiteral(FENBAN_CLI), arguments);
}

bool IsFingerprint(const QString& line)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(line).hasMatch();
}

// The class column of a written .csv (UTF-8 with BOM, no quoted fields here).
std::vector<int> CsvClasses(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(in.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    std::vector<int> classes;
    const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (qsizetype k = 1; k < lines.size(); ++k)
        classes.push_back(lines[k].split(QLatin1Char(','))[2].toInt());
    return classes;
}

constexpr int Students = 90;

} // namespace

class CommandLine : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sameFingerprintsOnAnyThreads();
    void anotherSeedAnotherDivision();
    void windowDividesAlike();
    void outputsKeepWholeNames();
    void checkFindsASingleMovedStudent();
    void oddGenderIsDealtOnItsOwn();
    void wrongInputWritesNothing_data();
    void wrongInputWritesNothing();
    void helpAndNoCommand();
    void schoolTablesReadAsOpenReadsThem_data();
    void schoolTablesReadAsOpenReadsThem();
    void fingerprintsRecomputedFromFiles();
    void versionIsTheRecordsVersion();
    void changesAreWrittenAndReplayed();

private:
    QTemporaryDir folder_;
    TableRows table_ = Grade(Students);
    QString tableFile_;
    QString path(const QString& name) const { return folder_.filePath(name); }
};

// A school's own tables (title rows, 学号 first, shuffled columns, no 总分,
// one sheet per class) read as 打开 proposes: the plain table's fingerprints,
// and stderr and the record say what was taken.
void CommandLine::schoolTablesReadAsOpenReadsThem_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("taken");
    QTest::newRow("title rows, .xlsx") << QStringLiteral("school-title.xlsx") << QStringLiteral("表头在第");
    QTest::newRow("title rows, .xls") << QStringLiteral("school-title.xls") << QStringLiteral("表头在第");
    QTest::newRow("shuffled") << QStringLiteral("school-shuffled.xlsx") << QStringLiteral("按导入设置的建议读入");
    QTest::newRow("no 总分") << QStringLiteral("school-nototal.xlsx") << QStringLiteral("总分按各科成绩相加");
    QTest::newRow("sheet per class") << QStringLiteral("school-classes.xlsx") << QStringLiteral("合并 3 个工作表");
}

void CommandLine::schoolTablesReadAsOpenReadsThem()
{
    QFETCH(QString, file);
    QFETCH(QString, taken);
    const QString data = QStringLiteral(FENBAN_TEST_DATA "/");
    const auto divide = [this](const QString& table, const QString& out) {
        return RunCli({QStringLiteral("divide"), table, QStringLiteral("--classes"), QStringLiteral("3"),
            QStringLiteral("--threads"), QStringLiteral("1"), QStringLiteral("--out"), path(out)});
    };
    const Run plain = divide(data + QStringLiteral("school-plain.xlsx"), QStringLiteral("plain.csv"));
    QVERIFY2(plain.code == 0, qPrintable(plain.err));
    QVERIFY(!plain.err.contains(QStringLiteral("导入设置")));
    const Run school = divide(data + file, QStringLiteral("school.fenban"));
    QVERIFY2(school.code == 0, qPrintable(school.err));
    QCOMPARE(school.out, plain.out);
    QVERIFY2(school.err.contains(taken), qPrintable(school.err));
    QJsonObject whole;
    ReadDivisionFile(path(QStringLiteral("school.fenban")).toStdU16String(), &whole);
    const OperationRecord record = ReadPublicDivision(whole).record;
    QVERIFY(!record.empty() && record.entries().front().kind == RecordKind::Open);
    QVERIFY2(QString::fromStdString(record.entries().front().text).contains(taken),
        qPrintable(QString::fromStdString(record.entries().front().text)));
}

void CommandLine::initTestCase()
{
    QVERIFY(folder_.isValid());
    tableFile_ = WriteTsv(table_, path(QStringLiteral("初一年级.tsv")));
    QVERIFY(!tableFile_.isEmpty());
}

void CommandLine::sameFingerprintsOnAnyThreads()
{
    QStringList first;
    for (const int threads : {1, 2, 4}) {
        const QString out = path(QStringLiteral("threads-%1.csv").arg(threads));
        const Run run = RunCli({QStringLiteral("divide"), tableFile_, QStringLiteral("--classes"), QStringLiteral("3"),
            QStringLiteral("--seed"), QStringLiteral("271828"), QStringLiteral("--threads"), QString::number(threads),
            QStringLiteral("--out"), out});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(run.out.size(), qsizetype(2));
        QVERIFY(IsFingerprint(run.out[0]) && IsFingerprint(run.out[1]));
        QVERIFY(run.err.contains(QStringLiteral("读入 90 人，分 3 个班")));
        if (first.isEmpty())
            first = run.out;
        QCOMPARE(run.out, first);
        // The written class column is the division the fingerprint names,
        // recomputed from the documented text.
        DivisionOptions options;
        options.classCount = 3;
        options.bands = DefaultPublicBands; // --bands left at its default
        const QJsonObject python = Recompute(table_, options, CsvClasses(out), {}, "271828");
        QCOMPARE(python[QStringLiteral("input")].toString(), run.out[0]);
        QCOMPARE(python[QStringLiteral("result")].toString(), run.out[1]);
    }
    // check on the table with the same options and the fingerprint: a match, in short form too.
    for (const QString& expect : {first[1], first[1].left(16)}) {
        const Run check = RunCli({QStringLiteral("check"), tableFile_, QStringLiteral("--classes"), QStringLiteral("3"),
            QStringLiteral("--seed"), QStringLiteral("271828"), QStringLiteral("--expect"), expect});
        QVERIFY2(check.code == 0, qPrintable(check.err));
        QVERIFY(check.err.contains(QStringLiteral("核验一致")));
    }
    const Run other = RunCli({QStringLiteral("check"), tableFile_, QStringLiteral("--classes"), QStringLiteral("3"),
        QStringLiteral("--expect"), first[1]});
    QCOMPARE(other.code, 1); // the default seed gives another division
    QVERIFY(other.err.contains(QStringLiteral("核验不一致")));
}

void CommandLine::anotherSeedAnotherDivision()
{
    QStringList results;
    QString input;
    for (const QString& seed : {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("0001")}) {
        const Run run = RunCli({QStringLiteral("divide"), tableFile_, QStringLiteral("--classes"), QStringLiteral("3"),
            QStringLiteral("--seed"), seed, QStringLiteral("--out"), path(QStringLiteral("seed.csv"))});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QVERIFY(input.isEmpty() || run.out[0] == input); // the seed is not part of the input
        input = run.out[0];
        results << run.out[1];
    }
    QVERIFY(results[0] != results[1]);
    QCOMPARE(results[2], results[0]); // 0001 is the seed 1
}

// 打开, 分班数, 编班 and 一键均衡 in the window (its 分数段 as a new division
// has it: 10) give the division the command line gives with the default seed
// and 10 bands.
void CommandLine::windowDividesAlike()
{
    const Run run = RunCli({QStringLiteral("divide"), tableFile_, QStringLiteral("--classes"), QStringLiteral("3"),
        QStringLiteral("--bands"), QStringLiteral("10"), QStringLiteral("--out"), path(QStringLiteral("window.csv"))});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    testkit::WindowDriver w;
    QVERIFY(w.trigger("actOpen", tableFile_).isEmpty());
    w.run([&] { w.control<QSpinBox>("SpinEdit1")->setValue(3); });
    QVERIFY(w.click("BitBtn2").isEmpty());
    const DivisionOptions options {3, true, 10}; // 同音姓名分班 is ticked at start
    QCOMPARE(QString::fromStdString(InputFingerprint(w.window.state(), options)), run.out.value(0));
    QVERIFY(w.balanceAll().isEmpty());
    QCOMPARE(QString::fromStdString(ResultFingerprint(w.window.state())), run.out.value(1));
    QCOMPARE(QString::fromStdString(InputFingerprint(w.window.state(), options)), run.out.value(0));
    // The workbooks' last sheet: the balance report, the same from both.
    const QString cliBook = path(QStringLiteral("命令行.xlsx"));
    const QString windowBook = path(QStringLiteral("窗口.xlsx"));
    const Run book = RunCli({QStringLiteral("divide"), tableFile_, QStringLiteral("--classes"), QStringLiteral("3"),
        QStringLiteral("--bands"), QStringLiteral("10"), QStringLiteral("--out"), cliBook});
    QVERIFY2(book.code == 0, qPrintable(book.err));
    QVERIFY(w.trigger("actExportWorkbook", windowBook).isEmpty());
    QString error;
    const QJsonArray cliSheets = testkit::ReadWithOpenpyxl(cliBook, error);
    const QJsonArray windowSheets = testkit::ReadWithOpenpyxl(windowBook, error);
    QVERIFY2(error.isEmpty() && !cliSheets.isEmpty() && !windowSheets.isEmpty(), qPrintable(error));
    const QJsonObject cliSheet = cliSheets.last().toObject();
    const QJsonObject windowSheet = windowSheets.last().toObject();
    QCOMPARE(cliSheet[QStringLiteral("name")].toString(), QStringLiteral("均衡"));
    const QJsonArray rows = cliSheet[QStringLiteral("rows")].toArray();
    QVERIFY(rows.size() > 3 && rows[3].toArray()[0].toObject()[QStringLiteral("value")] == QStringLiteral("3班"));
    QCOMPARE(rows, windowSheet[QStringLiteral("rows")].toArray());
}

void CommandLine::outputsKeepWholeNames()
{
    QFile list(path(QStringLiteral("班主任.txt")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write("王芳\n\n 李强 \n司马相如\n");
    list.close();
    const QString book = path(QStringLiteral("分班.xlsx"));
    const QString pdf = path(QStringLiteral("分班.pdf"));
    const QString notice = path(QStringLiteral("公示.xlsx"));
    QString result;
    for (const QString& out : {book, pdf}) {
        const Run run = RunCli({QStringLiteral("divide"), tableFile_, QStringLiteral("--classes"), QStringLiteral("3"),
            QStringLiteral("--teachers"), list.fileName(), QStringLiteral("--out"), out, QStringLiteral("--notice"),
            notice, QStringLiteral("--mask-names"), QStringLiteral("--by-name")});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        result = run.out.value(1);
    }
    // The posted lists: masked names, the teachers, the fingerprint under every class.
    QString noticeError;
    const QStringList posted = TextsOf(testkit::ReadWithOpenpyxl(notice, noticeError));
    QVERIFY2(noticeError.isEmpty(), qPrintable(noticeError));
    QCOMPARE(posted.count(QStringLiteral("巴**·*尔")), qsizetype(2));
    QVERIFY(posted.contains(QStringLiteral("欧阳****")) && !posted.contains(QStringLiteral("欧阳娜娜娜娜")));
    QCOMPARE(posted.count(QStringLiteral("结果指纹（SHA-256）：") + result), qsizetype(3));
    QString error;
    const QJsonArray sheets = testkit::ReadWithOpenpyxl(book, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QStringList texts = TextsOf(sheets);
    for (const std::string& name : LongNames) {
        const auto times = std::count(LongNames.begin(), LongNames.end(), name);
        QCOMPARE(texts.count(QString::fromStdString(name)), qsizetype(2 * times)); // 全部 and its class
    }
    const QString text = testkit::PdfText(pdf);
    for (const std::string& name : LongNames)
        QVERIFY(text.contains(QString::fromStdString(name)));
    for (const QString& teacher : {QStringLiteral("王芳"), QStringLiteral("李强"), QStringLiteral("司马相如")})
        QVERIFY(text.contains(QStringLiteral("班主任：") + teacher));
    // The balance report's page after the averages, before the record's.
    const qsizetype report = text.indexOf(QStringLiteral("各班均衡情况"));
    QVERIFY(report > text.indexOf(QStringLiteral("年级平均分")));
    QVERIFY(report < text.lastIndexOf(QStringLiteral("操作记录")));
}

void CommandLine::checkFindsASingleMovedStudent()
{
    // A division file as the window saves it after 编班 and 一键均衡 with a public seed.
    DivisionState state;
    FieldRows rows;
    for (const auto& row : table_)
        rows.emplace_back(row.begin(), row.end());
    CellGrid grid(RosterColumns, 2);
    SizeGridForTable(grid, rows);
    FillGridWithTable(grid, rows);
    ReadRosterFromGrid(grid, ".", state);
    OptimiseControl control;
    control.seed = SeedOfText("8675309");
    DivideAndBalance(state, {3, false, 0}, control);
    Settings settings;
    settings.classCount = 3;
    settings.soundAlike = false;
    PublicDivision extra;
    extra.seedText = "8675309";
    const QString saved = path(QStringLiteral("公开.fenban"));
    WriteDivisionFile(*DiskFileSystem(), saved.toStdU16String(),
        DivisionJson(CaptureSnapshot(state, {PackedGrid::Pack(grid), ".", true}, settings,
                         std::make_shared<const ShownFigures>(), false),
            PublicDivisionJson(extra)));
    const Run match = RunCli({QStringLiteral("check"), saved, QStringLiteral("--threads"), QStringLiteral("1")});
    QVERIFY2(match.code == 0, qPrintable(match.err));
    QCOMPARE(match.out.value(1), QString::fromStdString(ResultFingerprint(state)));

    // One student of class 2 moved to class 3 by hand.
    const std::string name = Gb18030ToUtf8(state.FClasses[1][4]->Name);
    const auto row = std::find_if(state.Records.begin(), state.Records.end(),
                         [&](const auto& record) { return record.get() == state.FClasses[1][4]; })
        - state.Records.begin() + 2;
    QVERIFY(MoveStudentToClass(state, 1, 4, 2)); // from the listing of class 2
    const QString moved = path(QStringLiteral("改过.fenban"));
    WriteDivisionFile(*DiskFileSystem(), moved.toStdU16String(),
        DivisionJson(CaptureSnapshot(state, {PackedGrid::Pack(grid), ".", true}, settings,
                         std::make_shared<const ShownFigures>(), false),
            PublicDivisionJson(extra)));
    const Run differs = RunCli({QStringLiteral("check"), moved});
    QCOMPARE(differs.code, 1);
    QVERIFY(differs.err.contains(QStringLiteral("核验不一致")));
    QVERIFY2(differs.err.contains(
                 QStringLiteral("第 %1 行 %2：记录为 3 班，重做为 2 班").arg(row).arg(QString::fromStdString(name))),
        qPrintable(differs.err));
    QCOMPARE(differs.err.count(QStringLiteral(" 行 ")), qsizetype(1)); // that student alone
    QVERIFY2(differs.err.contains(QStringLiteral("文件中的分班与重做结果不同（1 名学生）")), qPrintable(differs.err));
    QVERIFY(differs.err.contains(QStringLiteral("记录中没有版本"))); // a file whose record names no search
}

// One mistyped gender: told with its row, and boys and girls still even per class.
void CommandLine::oddGenderIsDealtOnItsOwn()
{
    TableRows typo = table_;
    typo[5][1] = "M";
    const QString file = WriteTsv(typo, path(QStringLiteral("错字.tsv")));
    const QString out = path(QStringLiteral("错字.csv"));
    const Run run = RunCli({QStringLiteral("divide"), file, QStringLiteral("--classes"), QStringLiteral("4"),
        QStringLiteral("--out"), out});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("性别写作“M”，不是“男”或“女”：第 6 行")), qPrintable(run.err));
    const std::vector<int> classes = CsvClasses(out);
    QCOMPARE(classes.size(), typo.size() - 1);
    for (const char* gender : {"男", "女"}) {
        std::vector<int> counts(4);
        for (std::size_t r = 1; r < typo.size(); ++r)
            if (typo[r][1] == gender)
                ++counts[static_cast<std::size_t>(classes[r - 1] - 1)];
        QVERIFY(*std::max_element(counts.begin(), counts.end()) - *std::min_element(counts.begin(), counts.end()) <= 1);
    }
}

void CommandLine::wrongInputWritesNothing_data()
{
    QTest::addColumn<QStringList>("arguments"); // TABLE and OUT stand for the files
    QTest::addColumn<QString>("message");
    const QString divide = QStringLiteral("divide");
    QTest::newRow("missing table") << QStringList {divide, QStringLiteral("无此文件.xlsx"), QStringLiteral("--classes"),
        QStringLiteral("3"), QStringLiteral("--out"), QStringLiteral("OUT.xlsx")}
                                   << QStringLiteral("不能打开文件");
    QTest::newRow("class count 0") << QStringList {divide, QStringLiteral("TABLE"), QStringLiteral("--classes"),
        QStringLiteral("0"), QStringLiteral("--out"), QStringLiteral("OUT.xlsx")}
                                   << QStringLiteral("分班数必须是 1 到 100 之间的整数");
    QTest::newRow("class count abc") << QStringList {divide, QStringLiteral("TABLE"), QStringLiteral("--classes"),
        QStringLiteral("abc"), QStringLiteral("--out"), QStringLiteral("OUT.csv")}
                                     << QStringLiteral("分班数必须是");
    QTest::newRow("more classes than students") << QStringList {divide, QStringLiteral("TABLE"),
        QStringLiteral("--classes"), QStringLiteral("91"), QStringLiteral("--out"), QStringLiteral("OUT.csv")}
                                                << QStringLiteral("多于学生人数");
    QTest::newRow("no class count") << QStringList {divide, QStringLiteral("TABLE"), QStringLiteral("--out"),
        QStringLiteral("OUT.pdf")} << QStringLiteral("缺少分班数");
    QTest::newRow("seed with letters") << QStringList {divide, QStringLiteral("TABLE"), QStringLiteral("--classes"),
        QStringLiteral("3"), QStringLiteral("--seed"), QStringLiteral("12ab"), QStringLiteral("--out"),
        QStringLiteral("OUT.pdf")} << QStringLiteral("种子只能由数字组成");
    QTest::newRow("unreadable table") << QStringList {divide, QStringLiteral("BAD"), QStringLiteral("--classes"),
        QStringLiteral("3"), QStringLiteral("--out"), QStringLiteral("OUT.xlsx")}
                                      << QStringLiteral("不能打开文件");
    QTest::newRow("score with letters") << QStringList {divide, QStringLiteral("LETTERS"), QStringLiteral("--classes"),
        QStringLiteral("3"), QStringLiteral("--out"), QStringLiteral("OUT.xlsx")}
                                        << QStringLiteral("第 8 行第 E 列（语文）的“8x”不是分数。");
    QTest::newRow("class written 二班") << QStringList {divide, QStringLiteral("CLASSWORD"),
        QStringLiteral("--classes"), QStringLiteral("3"), QStringLiteral("--out"), QStringLiteral("OUT.xlsx")}
                                        << QStringLiteral("第 4 行第 C 列（班级）的“二班”不是班级号。");
    QTest::newRow("score too large to average") << QStringList {divide, QStringLiteral("HUGE"),
        QStringLiteral("--classes"), QStringLiteral("13"), QStringLiteral("--out"),
        QStringLiteral("OUT.xlsx")} << QStringLiteral("第 6 行第 F 列（数学）的“1e18”超出范围，算不出平均分。");
    QTest::newRow("fixed class out of range") << QStringList {divide, QStringLiteral("FIXED"),
        QStringLiteral("--classes"), QStringLiteral("3"), QStringLiteral("--out"), QStringLiteral("OUT.pdf")}
                                              << QStringLiteral("迪丽热巴·热依扎"); // the whole name in the message
    QTest::newRow("output kind") << QStringList {divide, QStringLiteral("TABLE"), QStringLiteral("--classes"),
        QStringLiteral("3"), QStringLiteral("--out"), QStringLiteral("OUT.doc")}
                                 << QStringLiteral("输出文件必须是");
    QTest::newRow("unknown option") << QStringList {divide, QStringLiteral("TABLE"), QStringLiteral("--classes"),
        QStringLiteral("3"), QStringLiteral("--fast"), QStringLiteral("--out"), QStringLiteral("OUT.xlsx")}
                                    << QStringLiteral("不认识的选项“--fast”");
    QTest::newRow("teacher twice") << QStringList {divide, QStringLiteral("TABLE"), QStringLiteral("--classes"),
        QStringLiteral("3"), QStringLiteral("--teachers"), QStringLiteral("TWICE"), QStringLiteral("--out"),
        QStringLiteral("OUT.xlsx")} << QStringLiteral("写了两次");
    QTest::newRow("class count twice") << QStringList {divide, QStringLiteral("TABLE"), QStringLiteral("--classes"),
        QStringLiteral("12"), QStringLiteral("--classes"), QStringLiteral("13"), QStringLiteral("--out"),
        QStringLiteral("OUT.xlsx")} << QStringLiteral("只能给一次");
    QTest::newRow("masked names without a notice") << QStringList {divide, QStringLiteral("TABLE"),
        QStringLiteral("--classes"), QStringLiteral("3"), QStringLiteral("--mask-names"), QStringLiteral("--out"),
        QStringLiteral("OUT.xlsx")} << QStringLiteral("需同时给出 --notice");
    QTest::newRow("by name without a notice") << QStringList {divide, QStringLiteral("TABLE"),
        QStringLiteral("--classes"), QStringLiteral("3"), QStringLiteral("--by-name"), QStringLiteral("--out"),
        QStringLiteral("OUT.xlsx")} << QStringLiteral("需同时给出 --notice");
    QTest::newRow("no command, no file") << QStringList {QStringLiteral("frob")}
                                         << QStringLiteral("既不是命令（divide、check、change），也不是存在的文件");
    QTest::newRow("bad fingerprint") << QStringList {QStringLiteral("check"), QStringLiteral("TABLE"),
        QStringLiteral("--classes"), QStringLiteral("3"), QStringLiteral("--expect"), QStringLiteral("12g")}
                                     << QStringLiteral("指纹必须是");
}

void CommandLine::wrongInputWritesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const QTemporaryDir outFolder;
    QFile bad(path(QStringLiteral("坏.xlsx")));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("PK\x03\x04 not a workbook at all");
    bad.close();
    QFile twice(path(QStringLiteral("两次.txt")));
    QVERIFY(twice.open(QIODevice::WriteOnly));
    twice.write("王芳\n李强\n王芳\n");
    twice.close();
    TableRows lettered = table_;
    lettered[7][4] = "8x";
    const QString letters = WriteTsv(lettered, path(QStringLiteral("字母.tsv")));
    TableRows worded = table_;
    worded[3][2] = "二班"; // "2班" reads as class 2, as 打开 reads it
    const QString classWord = WriteTsv(worded, path(QStringLiteral("班字.tsv")));
    TableRows huge = table_;
    huge[5][5] = "1e18";
    const QString hugeFile = WriteTsv(huge, path(QStringLiteral("太大.tsv")));
    TableRows fixed = table_;
    fixed[0][6] = "固定";
    fixed[1][6] = "9";
    const QString fixedFile = WriteTsv(fixed, path(QStringLiteral("固定.tsv")));
    for (QString& argument : arguments) {
        if (argument == QStringLiteral("TABLE"))
            argument = tableFile_;
        else if (argument == QStringLiteral("BAD"))
            argument = bad.fileName();
        else if (argument == QStringLiteral("FIXED"))
            argument = fixedFile;
        else if (argument == QStringLiteral("LETTERS"))
            argument = letters;
        else if (argument == QStringLiteral("CLASSWORD"))
            argument = classWord;
        else if (argument == QStringLiteral("HUGE"))
            argument = hugeFile;
        else if (argument == QStringLiteral("TWICE"))
            argument = twice.fileName();
        else if (argument.startsWith(QStringLiteral("OUT.")))
            argument = outFolder.filePath(argument);
    }
    const Run run = RunCli(arguments);
    QCOMPARE(run.code, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("fenban：")));
    QVERIFY(QDir(outFolder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

// Both fingerprints recomputed by a script that reads the files by the rules of
// docs/fingerprint.md alone: long scores, cut genders, line ends in quoted
// fields, blank rows, workbook numbers, rule headers with blanks, several sheets.
void CommandLine::fingerprintsRecomputedFromFiles()
{
    const QString python = testkit::PythonWithModule(QStringLiteral("openpyxl"));
    QVERIFY2(!python.isEmpty(), "no python3 with openpyxl: install python3-openpyxl");
    const QString script = QStringLiteral(RECOMPUTE_FILES_SCRIPT);
    const QDir folder(path(QStringLiteral("读法")));
    QVERIFY(QDir().mkpath(folder.path()));
    const QStringList files
        = QString::fromUtf8(testkit::RunReader(python, {script, QStringLiteral("make"), folder.path()}))
              .split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(files.size(), qsizetype(7));
    for (const QString& file : files) {
        const QString out = folder.filePath(file + QStringLiteral(".out.csv"));
        const Run run = RunCli({QStringLiteral("divide"), folder.filePath(file), QStringLiteral("--classes"),
            QStringLiteral("3"), QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("--out"), out});
        QVERIFY2(run.code == 0, qPrintable(file + run.err));
        const QStringList recomputed = QString::fromUtf8(
            testkit::RunReader(
                python, {script, QStringLiteral("fingerprints"), folder.filePath(file), QStringLiteral("3"), out}))
                                           .split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(recomputed == run.out, qPrintable(file));
    }
}

void CommandLine::helpAndNoCommand()
{
    const Run help = RunCli({QStringLiteral("--help")});
    QCOMPARE(help.code, 0);
    const QString text = help.out.join(QLatin1Char('\n'));
    QVERIFY(text.startsWith(QStringLiteral("用法：")));
    for (const QString& option : {QStringLiteral("--classes"), QStringLiteral("--seed"), QStringLiteral("--bands"),
             QStringLiteral("--teachers"), QStringLiteral("--out"), QStringLiteral("--expect")})
        QVERIFY(text.contains(option));
    QCOMPARE(RunCli({tableFile_}).code, 3); // a file to open: the window's business
    QCOMPARE(RunCli({}).code, 3);
}

// --version prints the one version, the one a division's record names.
void CommandLine::versionIsTheRecordsVersion()
{
    const QString version = QString::fromLatin1(ProgramVersion());
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9]+(\\.[0-9]+)+$")).match(version).hasMatch());
    const Run run = RunCli({QStringLiteral("--version")});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QStringList {QStringLiteral("fenban ") + version});
    const QString saved = path(QStringLiteral("版本.fenban"));
    const Run divide = RunCli({QStringLiteral("divide"), tableFile_, QStringLiteral("--classes"), QStringLiteral("3"),
        QStringLiteral("--out"), saved});
    QVERIFY2(divide.code == 0, qPrintable(divide.err));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.contains(QStringLiteral("程序版本 ") + version));
    const Run same = RunCli({QStringLiteral("check"), saved});
    QCOMPARE(same.code, 0);
    QVERIFY2(!same.err.contains(QStringLiteral("版一键均衡")), qPrintable(same.err));

    // The same file as another version made it: said before the comparison.
    const QString older = path(QStringLiteral("旧版本.fenban"));
    QFile edited(older);
    QVERIFY(edited.open(QIODevice::WriteOnly));
    edited.write(text.replace(QStringLiteral("程序版本 ") + version, QStringLiteral("程序版本 0.0.1")).toUtf8());
    edited.close();
    const Run check = RunCli({QStringLiteral("check"), older});
    const QString said = QStringLiteral("这个分班文件由本程序的 0.0.1 版一键均衡，本程序是 %1 版").arg(version);
    QVERIFY2(check.err.contains(said), qPrintable(check.err));
    QVERIFY(check.err.indexOf(said) < check.err.indexOf(QStringLiteral("分班文件：")));
    QCOMPARE(check.code, 0); // the same division all the same
}

// fenban change on a division file: proposals alone write nothing; an
// accepted change is written to another file, replayed by fenban check, and
// a .csv keeps leavers (已转出) and puts late students last.
void CommandLine::changesAreWrittenAndReplayed()
{
    const QString divided = path(QStringLiteral("变更前.fenban"));
    const Run divide = RunCli({QStringLiteral("divide"), tableFile_, QStringLiteral("--classes"), QStringLiteral("3"),
        QStringLiteral("--threads"), QStringLiteral("1"), QStringLiteral("--out"), divided});
    QVERIFY2(divide.code == 0, qPrintable(divide.err));
    const QString student = QStringLiteral("学生20"); // a girl of no 同班 group
    const auto change
        = [](const QStringList& arguments) { return RunCli(QStringList {QStringLiteral("change")} + arguments); };

    const QString untouched = path(QStringLiteral("未写.fenban"));
    const Run proposals = change({divided, QStringLiteral("--move"), student, QStringLiteral("--to"),
        QStringLiteral("2"), QStringLiteral("--out"), untouched});
    QVERIFY2(proposals.code == 0, qPrintable(proposals.err));
    QVERIFY2(proposals.out.join(QLatin1Char('\n')).contains(QStringLiteral("换回 1：")),
        qPrintable(proposals.out.join(QLatin1Char('\n'))));
    QVERIFY(!QFile::exists(untouched));

    const QString moved = path(QStringLiteral("调班后.fenban"));
    const Run accepted = change({divided, QStringLiteral("--move"), student, QStringLiteral("--to"),
        QStringLiteral("2"), QStringLiteral("--by"), QStringLiteral("家长"), QStringLiteral("--reason"),
        QStringLiteral("就近照顾"), QStringLiteral("--date"), QStringLiteral("2026-09-01"),
        QStringLiteral("--accept-best"), QStringLiteral("--out"), moved});
    QVERIFY2(accepted.code == 0, qPrintable(accepted.err));
    QVERIFY(IsFingerprint(accepted.out.last()));
    const Run check = RunCli({QStringLiteral("check"), moved, QStringLiteral("--threads"), QStringLiteral("1")});
    QVERIFY2(check.code == 0, qPrintable(check.err));
    QCOMPARE(check.out.last(), accepted.out.last());
    QVERIFY(check.err.contains(QStringLiteral("重演了 1 条变更")));

    // A late student of an existing name, then a leaver of that name: asked which one.
    TableRows late {table_.front(), table_[20]};
    late[1][0] = "学生20";
    late[1][3] = "600";
    const QString lateFile = WriteTsv(late, path(QStringLiteral("插班.tsv")));
    const QString added = path(QStringLiteral("插班后.fenban"));
    const Run add = change(
        {moved, QStringLiteral("--add"), lateFile, QStringLiteral("--accept-best"), QStringLiteral("--out"), added});
    QVERIFY2(add.code == 0, qPrintable(add.err));
    QVERIFY(add.err.contains(QStringLiteral("同名")));
    const Run ambiguous = change({added, QStringLiteral("--remove"), student, QStringLiteral("--kind"),
        QStringLiteral("转学"), QStringLiteral("--out"), path(QStringLiteral("转出.csv"))});
    QCOMPARE(ambiguous.code, 2);
    QVERIFY2(ambiguous.err.contains(QStringLiteral("第 21 行 学生20"))
            && ambiguous.err.contains(QStringLiteral("第 92 行 学生20")),
        qPrintable(ambiguous.err));
    QVERIFY(!QFile::exists(path(QStringLiteral("转出.csv"))));
    const Run removed = change({added, QStringLiteral("--remove"), student, QStringLiteral("--row"),
        QStringLiteral("21"), QStringLiteral("--kind"), QStringLiteral("转学"), QStringLiteral("--out"),
        path(QStringLiteral("转出.csv"))});
    QVERIFY2(removed.code == 0, qPrintable(removed.err));
    QFile csv(path(QStringLiteral("转出.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines
        = QString::fromUtf8(csv.readAll()).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), Students + 2); // the header, the grade, the late student
    QVERIFY(lines.front().endsWith(QStringLiteral(",状态")));
    QVERIFY2(lines[20].startsWith(QStringLiteral("学生20,")) && lines[20].endsWith(QStringLiteral(",已转出")),
        qPrintable(lines[20]));
    QVERIFY(lines.last().startsWith(QStringLiteral("学生20,")) && lines.last().endsWith(QLatin1Char(',')));
    QVERIFY(lines.last().split(QLatin1Char(','))[2].toInt() >= 1);
}

QTEST_MAIN(CommandLine)
#include "tst_cli.moc"
