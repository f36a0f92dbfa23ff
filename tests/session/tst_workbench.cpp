// The work below the window: every step kind run through the Workbench,
// each heard once, kept by the history when it is an undo step, written to
// the record, and followed by the recovery file; the command line's public
// division the window's steps.
#include "SessionTestKit.h"
#include "audit/Fingerprint.h"
#include "audit/PublicSeed.h"
#include "document/Workbench.h"
#include "session/DivisionFile.h"
#include "session/Session.h"

#include <QTemporaryDir>
#include <QTest>
#include <random>

using namespace fenban;
using namespace fenban::sessiontest;

namespace {

OptimiseControl Quick()
{
    return QuickControl(5000);
}

// A table grid with a header row as a paste fills it: 90 students, scores only.
CellGrid Table(std::mt19937_64& rng)
{
    return RandomTable(rng, 90, 0);
}

} // namespace

class TestWorkbench : public QObject {
    Q_OBJECT

private slots:
    void everyStepKind();
    void recoveryFileFollowsEveryStep();
    void commandLineDivisionIsTheWindowsSteps();
};

void TestWorkbench::everyStepKind()
{
    QTemporaryDir folder;
    std::mt19937_64 rng(11);
    Workbench work;
    std::vector<StepNotice> heard;
    work.listenToSteps([&heard](const StepNotice& notice) { heard.push_back(notice); });
    work.start(CellGrid(6, 5), nullptr, false);
    heard.clear();
    const std::filesystem::path file = std::filesystem::path(folder.path().toStdString()) / "初一.fenban";

    // What each kind does here, in an order where each one changes the work.
    const std::vector<std::pair<StepKind, std::function<void()>>> steps {
        {StepKind::Read, [&] { work.readTable(Table(rng), "."); }},
        {StepKind::OpenTable, [&] { work.openTable(Table(rng), ".", {}, "初一.xlsx"); }},
        {StepKind::ClassCount, [&] { work.setClassCount(3); }},
        {StepKind::Assign, [&] { QVERIFY(work.assign()); }},
        {StepKind::Press,
            [&] {
                work.setSubject(1);
                QCOMPARE(work.press(), BalanceOutcome::Swapped);
            }},
        {StepKind::BalanceAll,
            [&] {
                const OptimiseInput input = work.prepareBalance();
                work.finishBalance(input, Optimise(input, Quick()));
            }},
        {StepKind::Move, [&] { QVERIFY(work.move(0, work.division().state().FStudents[0]->ClassNo % 3)); }},
        {StepKind::ClassSetup,
            [&] {
                ClassSetup setup;
                setup.classes = {{"实验班", 20, ClassKind::Top, {}, {}}, {"甲班", 0, ClassKind::Parallel, {}, {}},
                    {"乙班", 0, ClassKind::Parallel, {}, {}}};
                work.setClassSetup(setup);
            }},
        {StepKind::Save, [&] { work.save(file); }},
        {StepKind::Undo, [&] { work.undo(); }},
        {StepKind::Redo, [&] { work.redo(); }},
        {StepKind::TeacherDraw,
            [&] {
                work.setTeachers({"甲", "乙", "丙"}, {"甲", "乙", "丙"}, "");
            }},
        {StepKind::PublicDivision,
            [&] {
                const PublicRequest request = work.preparePublic(work.division().options(), "42", {"甲", "乙", "丙"});
                work.finishPublic(request, RunPublicDivision(request, Quick()));
            }},
        {StepKind::OpenDivision, [&] { work.openDivision(file); }},
        {StepKind::Recover,
            [&] {
                QJsonObject whole;
                const Snapshot kept = ReadDivisionFile(file, &whole);
                work.recover(kept, whole, file);
            }},
    };
    for (const auto& [kind, run] : steps) {
        const StepInfo& info = StepInfoOf(kind);
        const std::string name(info.name);
        const std::size_t done = work.session().history().stepsDone();
        const std::size_t entries = work.division().publicState().record.entries().size();
        heard.clear();
        run();
        QVERIFY2(heard.size() == 1 && heard[0].kind == kind, name.c_str());
        const auto& record = work.division().publicState().record.entries();
        QVERIFY2(!record.empty(), name.c_str());
        if (info.undoable) {
            QCOMPARE(work.session().history().stepsDone(), done + 1);
            QCOMPARE(work.session().undoText(), "撤销 " + name);
            QVERIFY(heard[0].recorded);
        } else if (kind == StepKind::Undo) {
            QCOMPARE(work.session().history().stepsDone(), done - 1);
        } else if (kind == StepKind::Redo) {
            QCOMPARE(work.session().history().stepsDone(), done + 1);
        } else {
            QCOMPARE(work.session().history().stepsDone(), done);
        }
        if (kind == StepKind::Recover) // the record comes with the work taken over
            QCOMPARE(record.back().kind, RecordKind::Save);
        else
            QVERIFY2(record.back().kind == info.record
                    || (kind == StepKind::PublicDivision && record.back().kind == RecordKind::TeacherDraw),
                name.c_str());
        if (kind == StepKind::Read || kind == StepKind::OpenTable)
            QCOMPARE(record.size(), std::size_t {1}); // new work: a record of its own
        else if (kind != StepKind::OpenDivision && kind != StepKind::Recover)
            QVERIFY2(record.size() > entries, name.c_str());
    }
    QVERIFY(work.session().modified()); // recovered work is unsaved, though it belongs to its file
    QCOMPARE(work.session().document(), file);

    // A step that changes nothing is heard, but neither kept nor written.
    const std::size_t entries = work.division().publicState().record.entries().size();
    const std::size_t done = work.session().history().stepsDone();
    heard.clear();
    QVERIFY(!work.move(0, work.division().state().FStudents[0]->ClassNo - 1));
    QCOMPARE(heard.size(), std::size_t {1});
    QVERIFY(!heard[0].recorded);
    QCOMPARE(work.session().history().stepsDone(), done);
    QCOMPARE(work.division().publicState().record.entries().size(), entries);
}

// After random steps, undos and redos the recovery file holds the live work
// and its record.
void TestWorkbench::recoveryFileFollowsEveryStep()
{
    QTemporaryDir folder;
    auto recovery = std::make_unique<RecoveryFile>(std::filesystem::path(folder.path().toStdString()));
    const std::filesystem::path path = recovery->path();
    std::mt19937_64 rng(3);
    Workbench work;
    work.start(CellGrid(6, 5), std::move(recovery), false);
    work.readTable(Table(rng), ".");
    for (int step = 0; step < 40; ++step) {
        switch (rng() % 6) {
        case 0:
            work.setClassCount(2 + static_cast<int>(rng() % 4));
            break;
        case 1:
            work.assign();
            break;
        case 2:
            work.setSubject(static_cast<int>(rng() % 5));
            work.press();
            break;
        case 3:
            work.setListing(-1);
            work.move(static_cast<int>(rng() % 90), static_cast<int>(rng() % 3));
            break;
        case 4:
            work.undo();
            break;
        default:
            work.redo();
            break;
        }
        if (!work.session().modified())
            continue;
        QJsonObject whole;
        Snapshot written = ReadDivisionFile(path, &whole);
        const Snapshot live = work.division().capture();
        SetChoices(written, ChoicesOf(live)); // choices made since the last step are no step
        QVERIFY(written == live);
        QVERIFY(ReadPublicDivision(whole) == work.division().publicState());
    }
}

// `fenban divide`'s one call gives what the window's steps give: 打开, 分班数
// and 公开分班 with the same seed.
void TestWorkbench::commandLineDivisionIsTheWindowsSteps()
{
    std::mt19937_64 rng(5);
    const CellGrid grid = Table(rng);
    TableRows rows;
    for (int r = 0; r < grid.rowCount(); ++r) {
        std::vector<std::string>& row = rows.emplace_back();
        for (int c = 1; c < grid.colCount(); ++c)
            row.push_back(grid.cell(c, r));
    }
    Workbench line;
    line.start(CellGrid(6, 5), nullptr, false);
    ProposedImport imported;
    imported.table.rows = rows;
    DivideTableInPublic(line, imported, "初一.csv", ".", {4, false, 5}, "123", {}, Quick());

    Workbench window;
    window.start(CellGrid(6, 5), nullptr, false);
    window.openTable(TableGrid(rows), ".", {}, "初一.csv");
    window.setSoundAlike(false);
    window.setClassCount(4);
    window.setRankBands(5);
    const PublicRequest request = window.preparePublic(window.division().options(), "123", {});
    window.finishPublic(request, RunPublicDivision(request, Quick()));

    QCOMPARE(line.division().inputFingerprint(), window.division().inputFingerprint());
    QCOMPARE(line.division().resultFingerprint(), window.division().resultFingerprint());
    QCOMPARE(line.division().inputFingerprint(), InputFingerprint(window.division().state(), {4, false, 5}));
    QCOMPARE(line.division().publicState().seedText, std::string("123"));
    QCOMPARE(line.division().publicState().bands, 5);
}

QTEST_GUILESS_MAIN(TestWorkbench)
#include "tst_workbench.moc"
