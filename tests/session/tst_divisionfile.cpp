#include "EngineTestKit.h"
#include "FaultyFileSystem.h"
#include "SessionTestKit.h"
#include "engine/Assignment.h"
#include "engine/Division.h"
#include "session/DivisionFile.h"
#include "session/SessionErrors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>

using namespace fenban;
using namespace fenban::sessiontest;
using fenban::testkit::FaultyFileSystem;
using fenban::testkit::SameBits;

namespace {

std::filesystem::path PathOf(const QTemporaryDir& dir, const char* name)
{
    return std::filesystem::path(dir.path().toStdString())
        / std::filesystem::path(std::u8string(
            reinterpret_cast<const char8_t*>(name), reinterpret_cast<const char8_t*>(name) + std::strlen(name)));
}

void WriteBytes(const std::filesystem::path& file, const QByteArray& bytes)
{
    std::ofstream(file, std::ios::binary).write(bytes.constData(), bytes.size());
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(PathText(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

// A division of 30 students in 3 classes with hand moves, as a JSON object.
QJsonObject ValidObject()
{
    std::mt19937_64 rng(23);
    World world = RandomWorld(rng, 30, 0);
    world.division.setClassCount(3);
    world.division.assign();
    world.division.move(4, 0);
    return QJsonDocument::fromJson(DivisionJson(world.capture())).object();
}

using Edit = std::function<void(QJsonObject&)>;

// Sets root[path...] = value, following objects and arrays.
void SetAt(QJsonValueRef ref, const QStringList& path, int at, const QJsonValue& value)
{
    if (at == path.size()) {
        ref = value;
        return;
    }
    bool isIndex = false;
    const int index = path[at].toInt(&isIndex);
    QJsonValue inner = ref;
    if (isIndex) {
        QJsonArray array = inner.toArray();
        if (index >= array.size())
            array.append(QJsonValue()); // one entry more
        SetAt(array[std::min<qsizetype>(index, array.size() - 1)], path, at + 1, value);
        ref = array;
    } else {
        QJsonObject object = inner.toObject();
        SetAt(object[path[at]], path, at + 1, value);
        ref = object;
    }
}

Edit Set(const QString& path, const QJsonValue& value)
{
    return [=](QJsonObject& root) {
        const QStringList parts = path.split(QLatin1Char('/'));
        SetAt(root[parts.first()], parts, 1, value);
    };
}

// root[to] = root[from]: one student named in a second place.
Edit Copy(const QString& from, const QString& to)
{
    return [=](QJsonObject& root) {
        QJsonValue value = root;
        for (const QString& part : from.split(QLatin1Char('/'))) {
            bool isIndex = false;
            const int index = part.toInt(&isIndex);
            value = isIndex ? value.toArray()[index] : value.toObject()[part];
        }
        Set(to, value)(root);
    };
}

Edit Remove(const QString& key)
{
    return [=](QJsonObject& root) { root.remove(key); };
}

// Saves the world's work to `file` and opens it into `opened`: the file
// holds what was saved, and the opened division is the saved one.
void SaveAndOpen(World& world, const std::filesystem::path& file, World& opened)
{
    const Snapshot saved = world.capture();
    WriteDivisionFile(file, saved);
    const Snapshot read = ReadDivisionFile(file);
    QVERIFY(read == Filed(saved));
    opened.restore(read);
    world.division.setSelectedCell(-1, -1); // a file keeps no chosen cell
    QCOMPARE(StateDifference(opened.state(), world.state()), std::string());
}

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestDivisionFile : public QObject {
    Q_OBJECT

private slots:
    void extendedValuesReadBackBitForBit();
    void extendedTexts_data();
    void extendedTexts();
    void roundTripOfRandomDivisions();
    void extraColumnsTravel();
    void writerKeepsOnlyTheTableItWrote();
    void independentReaderSeesTheDivision();
    void damagedFiles_data();
    void damagedFiles();
    void unreadableFiles();
    void failedWriteLeavesNoPartialFile();
    void versionOneFilesOpen();
    void hostileVersionOneFiles_data();
    void hostileVersionOneFiles();
};

void TestDivisionFile::extendedValuesReadBackBitForBit()
{
    std::mt19937_64 rng(29);
    std::vector<long double> values {0.0L, -0.0L, 0.1L, 85.5L, static_cast<long double>(0.01),
        std::numeric_limits<long double>::denorm_min(), std::numeric_limits<long double>::min() / 3,
        std::numeric_limits<long double>::max(), -std::numeric_limits<long double>::infinity(),
        std::numeric_limits<long double>::quiet_NaN()};
    for (int i = 0; i < 200000; ++i) { // any 80-bit pattern: every exponent, any integer bit
        unsigned char bytes[sizeof(long double)] = {};
        const std::uint64_t significand = rng();
        const auto signExponent = static_cast<std::uint16_t>(rng());
        std::memcpy(bytes, &significand, 8);
        std::memcpy(bytes + 8, &signExponent, 2);
        long double value = 0;
        std::memcpy(&value, bytes, sizeof value);
        values.push_back(value);
    }
    int decimal = 0;
    for (const long double value : values) {
        const std::string text = ExtendedText(value);
        const std::optional<long double> back = ParseExtendedText(text);
        QVERIFY2(back && SameBits(*back, value), text.c_str());
        decimal += !text.starts_with("bits:");
    }
    QVERIFY(decimal > 90000); // every pattern with the integer bit set (half of them) as a decimal
}

void TestDivisionFile::extendedTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("written"); // ExtendedText of the value read
    QTest::newRow("half") << "85.5" << true << "85.5";
    QTest::newRow("tenth") << "0.1" << true << "0.1";
    QTest::newRow("double's hundredth") << "0.01000000000000000020816681711721685" << true << "0.010000000000000000208";
    QTest::newRow("exponent") << "1e4000" << true << "1e+4000";
    QTest::newRow("negative zero") << "-0" << true << "-0";
    QTest::newRow("infinity") << "inf" << true << "inf";
    QTest::newRow("bits of one") << "bits:3fff8000000000000000" << true << "1";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("leading space") << " 1" << false << "";
    QTest::newRow("trailing text") << "1x" << false << "";
    QTest::newRow("plus sign") << "+1" << false << "";
    QTest::newRow("decimal comma") << "1,5" << false << "";
    QTest::newRow("short bits") << "bits:3fff" << false << "";
    QTest::newRow("bits not hex") << "bits:3fff80000000000000zz" << false << "";
}

void TestDivisionFile::extendedTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, written);
    const std::optional<long double> value = ParseExtendedText(text.toStdString());
    QCOMPARE(value.has_value(), valid);
    if (valid)
        QCOMPARE(QString::fromStdString(ExtendedText(*value)), written);
}

void TestDivisionFile::roundTripOfRandomDivisions()
{
    QTemporaryDir dir;
    const std::filesystem::path file = PathOf(dir, "初一 分班.fenban");
    std::mt19937_64 rng(31);
    for (int round = 0; round < 40; ++round) {
        World world = RandomWorld(rng, 3 + static_cast<int>(rng() % 90), static_cast<int>(rng() % 50));
        world.division.setSoundAlike(rng() % 2);
        World opened;
        SaveAndOpen(world, file, opened);
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(FilesIn(dir.path().toStdString()).size(), std::size_t {1});
}

// An opened table's extra columns (学号, 备注…) come back from the file with
// every text, through any steps; a file without them opens with none.
void TestDivisionFile::extraColumnsTravel()
{
    QTemporaryDir dir;
    const std::filesystem::path file = PathOf(dir, "学号.fenban");
    std::mt19937_64 rng(41);
    const std::string texts[] = {"", "住校", "带\"引号\"", "两行\n文字", "  空格  ", "𠮷"};
    for (int round = 0; round < 12; ++round) {
        const int students = 3 + static_cast<int>(rng() % 50);
        RosterExtraTexts extras {{"学号", "备注", ""}, {}};
        for (int i = 0; i < students; ++i) {
            std::vector<std::string> row {std::to_string(2026001 + i), texts[rng() % std::size(texts)]};
            row.resize(rng() % 4); // rows end at their last cell, some before the first
            extras.cells.push_back(std::move(row));
        }
        World world;
        world.division.readTable(RandomTable(rng, students, static_cast<int>(rng() % 3)), ".", extras);
        QVERIFY(world.state().ExtraTexts == extras);
        for (int step = 0; step < 8; ++step)
            RandomAction(world, rng, false);
        World opened;
        SaveAndOpen(world, file, opened);
        if (QTest::currentTestFailed())
            return;
        // Back to a roster without them, as undo does.
        opened.restore(RandomWorld(rng, 10, 0).capture());
        QVERIFY(opened.state().ExtraTexts.empty());
    }
    const QJsonObject plain = ValidObject();
    QVERIFY(!plain.contains(QStringLiteral("extraColumns")));
    QVERIFY(ParseDivisionJson(QJsonDocument(plain).toJson(), "x").roster.extras->empty());
}

// The writer of the recovery file reuses the text of the table it wrote
// last, and only for that table.
void TestDivisionFile::writerKeepsOnlyTheTableItWrote()
{
    std::mt19937_64 rng(67);
    World world = RandomWorld(rng, 40, 10);
    DivisionJsonWriter writer;
    for (int step = 0; step < 30; ++step) {
        const QJsonObject extra {{QStringLiteral("recovery"), QJsonObject {{QStringLiteral("step"), step}}}};
        const Snapshot snapshot = world.capture();
        QCOMPARE(writer.json(snapshot, extra), DivisionJson(snapshot, extra));
        QVERIFY(ParseDivisionJson(writer.json(snapshot), "x") == Filed(snapshot));
        if (step % 10 == 9)
            Paste(world, RandomTable(rng, 20, 1)); // a new table
        else
            RandomAction(world, rng, true);
    }
}

// Python's json module reads what Qt wrote: the counts and texts it finds
// are those of the division.
void TestDivisionFile::independentReaderSeesTheDivision()
{
    QTemporaryDir dir;
    const std::filesystem::path file = PathOf(dir, "初二.fenban");
    std::mt19937_64 rng(37);
    const World world = RandomWorld(rng, 60, 40);
    const Snapshot s = world.capture();
    WriteDivisionFile(file, s);

    QProcess python;
    python.start(QStringLiteral("python3"),
        {QStringLiteral("-c"),
            QStringLiteral("import json,sys\n"
                           "d=json.load(open(sys.argv[1],encoding='utf-8'))\n"
                           "print(d['format'],d['version'],d['table']['rows'],len(d['classNumbers']),"
                           "sum(len(c) for c in d['classes']),d['table']['cells'][1][1],"
                           "d['statistics']['gradeAverages'][0],sep='|')"),
            QString::fromStdString(PathText(file))});
    QVERIFY2(python.waitForFinished(), "python3 is needed (scripts/install-deps.sh)");
    QCOMPARE(python.exitCode(), 0);
    std::size_t listed = 0;
    for (const SharedIndices& list : s.classes)
        listed += list->size();
    const std::string expected = "fenban-division|2|" + std::to_string(s.roster.table->rowCount()) + "|"
        + std::to_string(s.studentCount()) + "|" + std::to_string(listed) + "|" + s.roster.table->Unpack().cell(1, 1)
        + "|" + ExtendedText(s.statistics->gradeAvg[0]) + "\n";
    QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()), QString::fromStdString(expected));
}

void TestDivisionFile::damagedFiles_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<bool>("newer");
    const auto key = [](const char* k) { return QString::fromLatin1(k); };
    QTest::newRow("newer version") << Set(key("version"), DivisionFormatVersion + 1) << true;
    QTest::newRow("version zero") << Set(key("version"), 0) << false;
    QTest::newRow("other format") << Set(key("format"), key("spreadsheet")) << false;
    QTest::newRow("no classes") << Remove(key("classes")) << false;
    QTest::newRow("classes not a list") << Set(key("classes"), 3) << false;
    QTest::newRow("index beyond the roster") << Set(key("classes/0/0"), 30) << false;
    QTest::newRow("fractional index") << Set(key("rosterOrder/0"), 1.5) << false;
    QTest::newRow("student in two classes") << Copy(key("classes/0/0"), key("classes/1/0")) << false;
    QTest::newRow("class number off its list") << Set(key("classNumbers/5"), 99) << false;
    QTest::newRow("roster order repeats") << Copy(key("rosterOrder/0"), key("rosterOrder/1")) << false;
    QTest::newRow("one class number too many") << Set(key("classNumbers/30"), 1) << false;
    QTest::newRow("gender group missing") << Set(key("genderGroups"), QJsonArray {QJsonArray {}}) << false;
    QTest::newRow("averages of ten subjects") << Set(key("statistics/gradeAverages"), QJsonArray {1, 2}) << false;
    QTest::newRow("average not a number") << Set(key("statistics/deviationSums/0"), key("abc")) << false;
    QTest::newRow("class tables differ") << Set(key("statistics/classDeviations"), QJsonArray {}) << false;
    QTest::newRow("table rows miscounted") << Set(key("table/rows"), 40) << false;
    QTest::newRow("cell not text") << Set(key("table/cells/1/1"), 7) << false;
    QTest::newRow("row wider than the table") << Set(key("table/columns"), 2) << false;
    QTest::newRow("score does not convert") << Set(key("table/cells/1/4"), QStringLiteral("八十")) << false;
    QTest::newRow("class count 0") << Set(key("settings/classCount"), 0) << false;
    QTest::newRow("flag as number") << Set(key("settings/manual"), 1) << false;
    QTest::newRow("score bands not offered") << Set(key("settings/rankBands"), 7) << false;
    QTest::newRow("score bands as text") << Set(key("settings/rankBands"), key("10")) << false;
    QTest::newRow("headcounts miscounted") << Set(key("shown/headcounts"), QJsonArray {}) << false;
    QTest::newRow("total not a number") << Set(key("shown/total"), key("abc")) << false;
    QTest::newRow("table of 30 million columns") << Set(key("table/columns"), 30'000'000) << false;
    QTest::newRow("no view") << Remove(key("view")) << false;
    const QJsonArray number {key("2026001")};
    QTest::newRow("extra columns not a list") << Set(key("extraColumns/headers"), 7) << false;
    QJsonArray tooMany;
    for (int i = 0; i < 31; ++i)
        tooMany.append(number);
    QTest::newRow("extra texts of 31 students")
        << Set(key("extraColumns"), QJsonObject {{key("headers"), QJsonArray {key("学号")}}, {key("cells"), tooMany}})
        << false;
    QTest::newRow("extra text not text") << Set(key("extraColumns"),
        QJsonObject {{key("headers"), QJsonArray {key("学号")}}, {key("cells"), QJsonArray {QJsonArray {7}}}})
                                         << false;
    QTest::newRow("extra texts beyond the headers") << Set(key("extraColumns"),
        QJsonObject {
            {key("headers"), QJsonArray {key("学号")}}, {key("cells"), QJsonArray {QJsonArray {key("1"), key("2")}}}})
                                                    << false;
}

void TestDivisionFile::damagedFiles()
{
    QFETCH(Edit, edit);
    QFETCH(bool, newer);
    QTemporaryDir dir;
    const std::filesystem::path file = PathOf(dir, "损坏.fenban");
    QJsonObject root = ValidObject();
    ReadDivisionFile((WriteBytes(file, QJsonDocument(root).toJson()), file)); // valid before the edit
    edit(root);
    WriteBytes(file, QJsonDocument(root).toJson());
    try {
        ReadDivisionFile(file);
        QFAIL("read a damaged file");
    } catch (const NewerFileError& e) {
        QVERIFY(newer);
        QVERIFY(std::string(e.what()).find("较新版本") != std::string::npos);
    } catch (const DamagedFileError& e) {
        QVERIFY(!newer);
        const std::string message = e.what();
        QVERIFY2(message.find("文件“" + PathText(file) + "”") == 0, message.c_str());
    }
}

void TestDivisionFile::unreadableFiles()
{
    QTemporaryDir dir;
    const QByteArray valid = QJsonDocument(ValidObject()).toJson(QJsonDocument::Compact);
    const std::vector<QByteArray> damaged {
        QByteArray(), "{", "[1,2]", "\x00\xff garbage", valid.left(valid.size() / 2)};
    for (const QByteArray& bytes : damaged) {
        const std::filesystem::path file = PathOf(dir, "坏.fenban");
        WriteBytes(file, bytes);
        QVERIFY_THROWS_EXCEPTION(DamagedFileError, ReadDivisionFile(file));
    }
    try {
        ReadDivisionFile(PathOf(dir, "没有.fenban"));
        QFAIL("read a missing file");
    } catch (const FileReadError& e) {
        QVERIFY(std::string(e.what()).find("文件不存在") != std::string::npos);
    }
    QVERIFY_THROWS_EXCEPTION(FileReadError, ReadDivisionFile(dir.path().toStdString()));
}

// Every step of the write failing in turn: the target keeps its old content
// or stays absent, and no other file is left in the folder.
void TestDivisionFile::failedWriteLeavesNoPartialFile()
{
    std::mt19937_64 rng(41);
    const Snapshot snapshot = RandomWorld(rng, 50, 20).capture();
    for (const bool existing : {false, true}) {
        for (int failAt = 1;; ++failAt) {
            QTemporaryDir dir;
            const std::filesystem::path file = PathOf(dir, "初三.fenban");
            if (existing)
                WriteBytes(file, "old");
            FaultyFileSystem files(failAt);
            try {
                WriteDivisionFile(files, file, snapshot);
            } catch (const WriteError& e) {
                QVERIFY(std::string(e.what()).find(PathText(file)) != std::string::npos);
                QCOMPARE(FilesIn(dir.path().toStdString()),
                    existing ? std::vector<std::string> {"初三.fenban"} : std::vector<std::string> {});
                if (existing) {
                    std::ifstream in(file);
                    QCOMPARE(std::string(std::istreambuf_iterator<char>(in), {}), std::string("old"));
                }
                continue;
            }
            QVERIFY(failAt > 3); // create, write, close and rename could each fail
            QVERIFY(ReadDivisionFile(file) == Filed(snapshot));
            break;
        }
    }
}

// Files the program wrote in version 1 open: the figures shown come back
// from the drawn table and Edit1's text, and a version-2 file of them reads
// back the same.
void TestDivisionFile::versionOneFilesOpen()
{
    QTemporaryDir dir;
    for (const char* name : {"v1-before-division.fenban", "v1-rules-moved.fenban", "v1-random.fenban"}) {
        const std::filesystem::path v1 = std::filesystem::path(FENBAN_TEST_DATA) / name;
        QJsonObject whole;
        const Snapshot read = ReadDivisionFile(v1, &whole);
        QCOMPARE(whole.value(QStringLiteral("version")).toInt(), 1);
        const QJsonObject table = whole.value(QStringLiteral("averagesTable")).toObject();
        QCOMPARE(read.shown->averagesDrawn, table.value(QStringLiteral("columns")).toInt() == SubjectCount + 1);
        if (read.shown->averagesDrawn)
            QCOMPARE(
                static_cast<int>(read.shown->classAverages.size()), table.value(QStringLiteral("rows")).toInt() - 2);
        const QString edit1
            = whole.value(QStringLiteral("controls")).toObject().value(QStringLiteral("edit1")).toString();
        QCOMPARE(read.shown->hasTotal, !edit1.isEmpty());
        QCOMPARE(read.settings.rankBands, DefaultRankBands); // written before the score bands
        World world;
        world.restore(read); // a possible state
        const std::filesystem::path v2 = PathOf(dir, name);
        WriteDivisionFile(v2, read);
        QVERIFY(ReadDivisionFile(v2) == Filed(read));
    }
}

void TestDivisionFile::hostileVersionOneFiles_data()
{
    QTest::addColumn<Edit>("edit");
    const auto key = [](const char* k) { return QString::fromLatin1(k); };
    QTest::newRow("30 million averages columns") << Set(key("averagesTable/columns"), 30'000'000);
    QTest::newRow("averages of 200 classes") << Set(key("averagesTable/rows"), 202);
    QTest::newRow("class label of another class") << Set(key("averagesTable/cells/1/0"), key("7 (1/2)"));
    QTest::newRow("average not a number") << Set(key("averagesTable/cells/1/1"), key("abc"));
    QTest::newRow("more class numbers than students") << Set(key("classNumbers/5000"), 1);
    QTest::newRow("a class list longer than the roster") << Set(key("classes/0/600"), 1);
}

// Version-1 files whose counts lie are refused before anything is made of them.
void TestDivisionFile::hostileVersionOneFiles()
{
    QFETCH(Edit, edit);
    QFile original(QStringLiteral(FENBAN_TEST_DATA "/v1-rules-moved.fenban"));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QJsonObject root = QJsonDocument::fromJson(original.readAll()).object();
    edit(root);
    QTemporaryDir dir;
    const std::filesystem::path file = PathOf(dir, "坏.fenban");
    WriteBytes(file, QJsonDocument(root).toJson());
    QVERIFY_THROWS_EXCEPTION(DamagedFileError, ReadDivisionFile(file));
}

QTEST_GUILESS_MAIN(TestDivisionFile)
#include "tst_divisionfile.moc"
