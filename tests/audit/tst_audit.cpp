// Fingerprints, the public seed, the record, the teachers' draw and the names
// of posted lists. The fingerprints and the draw are recomputed by a Python
// script written from docs/fingerprint.md alone.
#include "AuditTestKit.h"
#include "audit/Fingerprint.h"
#include "audit/NoticeNames.h"
#include "audit/OperationRecord.h"
#include "audit/PublicDivision.h"
#include "audit/PublicSeed.h"
#include "audit/TeacherDraw.h"
#include "common/Version.h"
#include "document/PublicRun.h"
#include "engine/Division.h"
#include "engine/RuleCheck.h"

#include <QJsonDocument>
#include <QtTest>
#include <set>

using namespace fenban;

using namespace fenban::audittest;

namespace {

DivisionOptions Options(int classes)
{
    DivisionOptions options;
    options.classCount = classes;
    return options;
}

OptimiseControl QuickControl(std::uint64_t seed, int threads = 1)
{
    OptimiseControl control;
    control.seed = seed;
    control.threads = threads;
    control.effort = 20000;
    return control;
}

} // namespace

class Audit : public QObject {
    Q_OBJECT

private slots:
    void fingerprintsAsTheDocumentSays();
    void inputFingerprintFollowsEveryPartOfTheInput();
    void resultFingerprintFollowsEveryStudent();
    void fingerprintForms();
    void seedTexts_data();
    void seedTexts();
    void teachersDrawnAsTheDocumentSays();
    void teacherLists();
    void recordReadsBackFromTheFile();
    void maskedNames_data();
    void maskedNames();
    void namesInChineseOrder();
};

void Audit::fingerprintsAsTheDocumentSays()
{
    TableRows table = Grade(40);
    table[3][7] = "三\t中"; // escaped in the canonical text
    DivisionState state;
    ReadRoster(table, ".", state);
    DivisionOptions options = Options(4);
    options.bands = 7;
    const std::string before = InputFingerprint(state, options);
    DivideAndBalance(state, options, QuickControl(SeedOfText("31415926")));
    QCOMPARE(InputFingerprint(state, options), before); // the run reads the input, it does not change it

    const std::vector<std::string> teachers {"王芳", "李强", "赵敏", "陈静"};
    const QJsonObject python = Recompute(table, options, ClassesOfRecords(state), teachers, "31415926");
    QVERIFY2(!python.isEmpty(), "the recomputing script did not run");
    QCOMPARE(python[QStringLiteral("input")].toString().toStdString(), before);
    QCOMPARE(python[QStringLiteral("result")].toString().toStdString(), ResultFingerprint(state));
    QCOMPARE(before.size(), std::size_t {64});
    // Every student is in a class: the result names each by its whole name.
    const std::string result = ResultCanonicalText(state);
    QVERIFY(result.find("巴特尔·努尔\t") != std::string::npos);
    QVERIFY(result.find("\n0\n") == std::string::npos);
    QVERIFY(InputCanonicalText(state, options).find("三\\t中") != std::string::npos);
}

void Audit::inputFingerprintFollowsEveryPartOfTheInput()
{
    const TableRows table = Grade(30);
    DivisionState state;
    ReadRoster(table, ".", state);
    const DivisionOptions options = Options(3);
    const std::string start = InputFingerprint(state, options);
    std::set<std::string> seen {start};
    const auto differs = [&](const DivisionState& s, const DivisionOptions& o) {
        const std::string fingerprint = InputFingerprint(s, o);
        return seen.insert(fingerprint).second;
    };
    DivisionOptions other = options;
    other.classCount = 4;
    QVERIFY(differs(state, other));
    other = options;
    other.bands = 9;
    QVERIFY(differs(state, other));
    other = options;
    other.soundAlike = false;
    QVERIFY(differs(state, other));

    for (const int row : {1, 17}) {
        TableRows changed = table;
        changed[static_cast<std::size_t>(row)][5] += "1"; // one score of one student
        DivisionState second;
        ReadRoster(changed, ".", second);
        QVERIFY(differs(second, options));
    }
    TableRows renamed = table;
    renamed[3][0] = "巴特尔·努"; // the name cut as it once was
    DivisionState third;
    ReadRoster(renamed, ".", third);
    QVERIFY(differs(third, options));
    TableRows ruled = table;
    ruled[8][6] = "双胞胎2";
    DivisionState fourth;
    ReadRoster(ruled, ".", fourth);
    QVERIFY(differs(fourth, options));

    // The same table read again: the same fingerprint; a division does not enter it.
    DivisionState again;
    ReadRoster(table, ".", again);
    DivideAndBalance(again, options, QuickControl(7));
    QCOMPARE(InputFingerprint(again, options), start);
}

void Audit::resultFingerprintFollowsEveryStudent()
{
    DivisionState state;
    ReadRoster(Grade(30), ".", state);
    DivideAndBalance(state, Options(3), QuickControl(1));
    const std::string first = ResultFingerprint(state);
    // Another seed, another division of the same grade.
    DivisionState other;
    ReadRoster(Grade(30), ".", other);
    DivideAndBalance(other, Options(3), QuickControl(2));
    QVERIFY(ResultFingerprint(other) != first);
    // One student moved by hand.
    const TStudent* moved = state.FClasses[0][2];
    QVERIFY(MoveStudentToClass(state, 0, 2, 1)); // from class 1's listing to class 2
    QVERIFY(ResultFingerprint(state) != first);
    const std::vector<int> classes = ClassesOfRecords(state);
    for (std::size_t i = 0; i < state.Records.size(); ++i)
        QCOMPARE(classes[i], state.Records[i].get() == moved ? 2 : state.Records[i]->ClassNo);
}

void Audit::fingerprintForms()
{
    const std::string full = Sha256Hex("abc");
    QCOMPARE(full, std::string("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    QCOMPARE(ShortFingerprint(full), std::string("ba78-16bf-8f01-cfea"));
    QVERIFY(FingerprintMatches("BA78-16BF-8F01-CFEA", full));
    QVERIFY(FingerprintMatches("ba78 16bf 8f01 cfea", full));
    QVERIFY(FingerprintMatches(full, full));
    QVERIFY(!FingerprintMatches("ba78-16bf-8f01-cfeb", full));
    QVERIFY(!FingerprintMatches("ba78-16bf", full));
    QVERIFY(NormalFingerprint("xyz").empty());
    QCOMPARE(CanonicalNumber(-0.0L), std::string("0"));
    QCOMPARE(CanonicalNumber(100.0L), std::string("100"));
    QCOMPARE(CanonicalNumber(0.1L), std::string("0.1"));
    QCOMPARE(CanonicalField("a\\b\tc\nd\re"), std::string("a\\\\b\\tc\\nd\\re"));
}

void Audit::seedTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normal"); // empty: refused
    QTest::addColumn<quint64>("seed");
    QTest::newRow("default") << "20240611"
                             << "20240611" << quint64(OptimiseControl {}.seed);
    QTest::newRow("leading zeros") << " 007 "
                                   << "007" << quint64(7);
    QTest::newRow("full-width") << "　１２３"
                                << "123" << quint64(123);
    QTest::newRow("2^64") << "18446744073709551616"
                          << "18446744073709551616" << quint64(0);
    QTest::newRow("2^64+1") << "18446744073709551617"
                            << "18446744073709551617" << quint64(1);
    QTest::newRow("64 digits")
        << QString(64, QLatin1Char('9')) << QString(64, QLatin1Char('9'))
        << quint64(18446744073709551615ULL); // 10^64 = 2^64 * 5^64: 10^64 - 1 is 2^64 - 1 modulo 2^64
    QTest::newRow("letters") << "12a4"
                             << "" << quint64(0);
    QTest::newRow("inner blank") << "12 34"
                                 << "" << quint64(0);
    QTest::newRow("sign") << "-5"
                          << "" << quint64(0);
    QTest::newRow("empty") << "  "
                           << "" << quint64(0);
    QTest::newRow("65 digits") << QString(65, QLatin1Char('1')) << "" << quint64(0);
}

void Audit::seedTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, normal);
    QFETCH(quint64, seed);
    if (normal.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(SeedTextError, NormalSeedText(text.toStdString()));
        return;
    }
    QCOMPARE(QString::fromStdString(NormalSeedText(text.toStdString())), normal);
    QCOMPARE(quint64(SeedOfText(text.toStdString())), seed);
}

void Audit::teachersDrawnAsTheDocumentSays()
{
    std::vector<std::string> teachers;
    for (int k = 1; k <= 13; ++k)
        teachers.push_back("老师" + std::to_string(k));
    const std::vector<std::string> drawn = DrawTeachers(teachers, 13, SeedOfText("20240611"));
    QCOMPARE(std::multiset(drawn.begin(), drawn.end()), std::multiset(teachers.begin(), teachers.end()));
    QCOMPARE(DrawTeachers(teachers, 13, SeedOfText("20240611")), drawn);
    QVERIFY(DrawTeachers(teachers, 13, SeedOfText("20240612")) != drawn);
    QVERIFY(drawn != teachers);
    const QJsonObject python = Recompute(Grade(3), Options(1), {1, 1, 1}, teachers, "20240611");
    const QJsonArray pythonDrawn = python[QStringLiteral("draw")].toArray();
    QCOMPARE(pythonDrawn.size(), qsizetype(13));
    for (std::size_t k = 0; k < drawn.size(); ++k)
        QCOMPARE(pythonDrawn[static_cast<qsizetype>(k)].toString().toStdString(), drawn[k]);
    QCOMPARE(python[QStringLiteral("seed")].toString(), QStringLiteral("20240611"));
    QCOMPARE(ClassTitleWithTeacher(3, drawn[2]), "3班　班主任：" + drawn[2]);
    QVERIFY_THROWS_EXCEPTION(TeacherListError, DrawTeachers(teachers, 12, 1));
}

void Audit::teacherLists()
{
    QCOMPARE(
        ParseTeacherList("  王芳 \r\n\r\n李强\n　赵敏　\n\n"), (std::vector<std::string> {"王芳", "李强", "赵敏"}));
    QVERIFY(ParseTeacherList("").empty());
    try {
        ParseTeacherList("王芳\n李强\n\n 王芳\n");
        QFAIL("a teacher twice was taken");
    } catch (const TeacherListError& problem) {
        QCOMPARE(QString::fromUtf8(problem.what()), QStringLiteral("班主任“王芳”写了两次（第 1 行和第 4 行）。"));
    }
    QCOMPARE(SetTeachers({"甲", "乙"}, 2), (std::vector<std::string> {"甲", "乙"}));
    QVERIFY_THROWS_EXCEPTION(TeacherListError, SetTeachers({"甲", "乙"}, 3));
}

void Audit::recordReadsBackFromTheFile()
{
    const std::string input = Sha256Hex("input");
    const std::string result = Sha256Hex("result");
    const QDateTime at(QDate(2026, 12, 8), QTime(7, 15, 3, 250));
    PublicDivision division;
    division.seedText = "31415926";
    division.bands = 8;
    division.teachers = {"王芳", "李强"};
    division.teachersDrawn = true;
    OperationRecord& record = division.record;
    record.add(RecordKind::Open, OpenRecordText("初一.xlsx", 600, 13, input), at);
    record.add(RecordKind::ClassCount, ClassCountRecordText(2), at);
    record.add(RecordKind::Assign, AssignRecordText(2, result), at);
    record.add(RecordKind::Adjust, AdjustRecordText(1, 2, "数学", result), at);
    record.add(RecordKind::BalanceAll, BalanceAllRecordText("31415926", 10, result), at);
    record.add(RecordKind::Move, MoveRecordText("迪丽热巴·热依扎", 1, 2), at);
    record.add(RecordKind::Undo, UndoRecordText("调班"), at);
    record.add(RecordKind::Redo, RedoRecordText("调班"), at);
    record.add(RecordKind::TeacherDraw, TeacherRecordText(division.teachers, "31415926"), at);
    record.add(RecordKind::Save, SaveRecordText("初一.fenban", result), at);
    record.add(RecordKind::Read, ReadRecordText(600, 13, input), at);
    QCOMPARE(record.entries().size(), std::size_t {11});
    QCOMPARE(RecordTimeText(record.entries()[0].time), std::string("2026-12-08 07:15:03"));
    QCOMPARE(record.entries()[0].text, "打开 初一.xlsx：600 人，分 13 个班；输入指纹 " + input + "（第 2 版）");
    QCOMPARE(record.entries()[5].text, std::string("调班：迪丽热巴·热依扎 从 1 班 调到 2 班"));
    QCOMPARE(record.entries()[8].text, std::string("班主任抽签：种子 31415926；1班 王芳，2班 李强"));
    QCOMPARE(RecordKindName(RecordKind::BalanceAll), std::string_view("一键均衡"));
    for (const RecordEntry& entry : record.entries())
        QCOMPARE(RecordKindOfKey(RecordKindKey(entry.kind)), std::optional(entry.kind));
    QVERIFY(!RecordKindOfKey("copy"));

    // A check says so when the last reading took its fingerprint by another version.
    QCOMPARE(OtherInputVersionText(record), std::string());
    OperationRecord older;
    older.add(RecordKind::Read, "读入数据：600 人，分 13 个班；输入指纹 " + input, at);
    QVERIFY(OtherInputVersionText(older).find("按第 1 版的输入文本算的，本程序按第 2 版算") != std::string::npos);
    older.add(RecordKind::Open, OpenRecordText("初二.xlsx", 600, 13, input), at);
    QCOMPARE(OtherInputVersionText(older), std::string());

    // And when its last search was made by another version of the program.
    QCOMPARE(OtherProgramVersionText(older), std::string());
    older.add(RecordKind::BalanceAll, "一键均衡：种子 1，分数段 10；结果指纹 " + input, at);
    QVERIFY(OtherProgramVersionText(older).find("较早版本（记录中没有版本）") != std::string::npos);
    older.add(RecordKind::BalanceAll, "一键均衡：种子 1，分数段 10；结果指纹 " + input + "；程序版本 0.0.9", at);
    QVERIFY(
        OtherProgramVersionText(older).find("由本程序的 0.0.9 版一键均衡，本程序是 " + std::string(ProgramVersion()))
        != std::string::npos);
    older.add(RecordKind::BalanceAll, BalanceAllRecordText("1", 10, input), at);
    QCOMPARE(OtherProgramVersionText(older), std::string());

    const QByteArray json = QJsonDocument(PublicDivisionJson(division)).toJson();
    QCOMPARE(ReadPublicDivision(QJsonDocument::fromJson(json).object()), division);
    QCOMPARE(ReadPublicDivision(QJsonObject {}), PublicDivision {});
    QJsonObject broken = PublicDivisionJson(division);
    QJsonArray entries = broken[QStringLiteral("record")].toArray();
    entries[1] = QJsonObject {{QStringLiteral("time"), QStringLiteral("昨天")},
        {QStringLiteral("kind"), QStringLiteral("read")}, {QStringLiteral("text"), QStringLiteral("x")}};
    broken[QStringLiteral("record")] = entries;
    QVERIFY_THROWS_EXCEPTION(Failure, ReadPublicDivision(broken));
}

void Audit::maskedNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("masked");
    QTest::newRow("two") << "张三"
                         << "张*";
    QTest::newRow("three") << "张小明"
                           << "张*明";
    QTest::newRow("compound") << "欧阳娜娜"
                              << "欧阳**";
    QTest::newRow("compound, three") << "欧阳娜"
                                     << "欧阳*";
    QTest::newRow("compound, six") << "欧阳娜娜娜娜"
                                   << "欧阳****";
    QTest::newRow("compound alone") << "欧阳"
                                    << "欧*";
    QTest::newRow("four") << "张王小明"
                          << "张**明";
    QTest::newRow("middle dot") << "迪丽热巴·热依扎"
                                << "迪***·**扎";
    QTest::newRow("middle dot, short") << "巴特尔·努尔"
                                       << "巴**·*尔";
    QTest::newRow("one") << "张"
                         << "张";
    QTest::newRow("latin") << "Anna"
                           << "A**a";
}

void Audit::maskedNames()
{
    QFETCH(QString, name);
    QFETCH(QString, masked);
    QCOMPARE(QString::fromStdString(MaskName(name.toStdString())), masked);
}

void Audit::namesInChineseOrder()
{
    const std::vector<std::string> names {"张三", "安娜", "李四", "王五", "欧阳娜娜", "安娜", "白雪"};
    const std::vector<std::size_t> order = OrderByName(names);
    QCOMPARE(order, (std::vector<std::size_t> {1, 5, 6, 2, 4, 3, 0})); // an, an, bai, li, ou, wang, zhang
}

QTEST_GUILESS_MAIN(Audit)
#include "tst_audit.moc"
