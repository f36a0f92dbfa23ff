#include "SessionTestKit.h"
#include "session/DivisionFile.h"
#include "session/Session.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <fstream>

using namespace fenban;
using namespace fenban::sessiontest;

namespace {

std::vector<std::string> FilesIn(const QTemporaryDir& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path().toStdString()))
        names.push_back(PathText(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

std::filesystem::path Folder(const QTemporaryDir& dir)
{
    return dir.path().toStdString();
}

Snapshot Work(unsigned seed, int actions)
{
    std::mt19937_64 rng(seed);
    return RandomWorld(rng, 30, actions).capture();
}

} // namespace

class TestRecovery : public QObject {
    Q_OBJECT

private slots:
    void killedRunLeavesItsWorkForTheNextStart();
    void recoveryFollowsTheUnsavedWork_data();
    void recoveryFollowsTheUnsavedWork();
    void leftOversSortedOut();
    void titlesAndStepNames();
    void documentFollowsOpensThroughUndo();
};

void TestRecovery::killedRunLeavesItsWorkForTheNextStart()
{
    QTemporaryDir dir;
    QProcess child;
    child.start(QStringLiteral(RECOVERY_CHILD), {dir.path(), QStringLiteral("71")});
    QVERIFY(child.waitForReadyRead(30000));
    QCOMPARE(child.readAllStandardOutput(), QByteArray("ready\n"));
    QCOMPARE(FilesIn(dir).size(), std::size_t {2}); // the file and its lock
    QVERIFY(ClaimLeftOverRecoveries(Folder(dir)).empty()); // still running

    const qint64 pid = child.processId();
    child.kill(); // SIGKILL: no destructor runs
    QVERIFY(child.waitForFinished());
    std::vector<LeftOverRecovery> found = ClaimLeftOverRecoveries(Folder(dir));
    QCOMPARE(found.size(), std::size_t {1});
    QVERIFY(found[0].snapshot() == Filed(RecoveryChildWork(71)));
    QCOMPARE(found[0].info().pid, pid);
    QCOMPARE(found[0].info().step, std::string("调整"));
    QVERIFY(!found[0].info().written.empty());
    QVERIFY(ClaimLeftOverRecoveries(Folder(dir)).empty()); // held by this run now

    found[0].discard();
    QVERIFY(FilesIn(dir).empty());
}

// Written on the step's thread or in the background: once flushed, the file
// follows the work alike.
void TestRecovery::recoveryFollowsTheUnsavedWork_data()
{
    QTest::addColumn<bool>("inBackground");
    QTest::newRow("on the step's thread") << false;
    QTest::newRow("in the background") << true;
}

void TestRecovery::recoveryFollowsTheUnsavedWork()
{
    QFETCH(bool, inBackground);
    QTemporaryDir dir;
    QTemporaryDir documents;
    const std::filesystem::path document = Folder(documents) / "初一.fenban";
    auto recovery = std::make_unique<RecoveryFile>(Folder(dir));
    const std::filesystem::path file = recovery->path();
    Session session(Work(1, 0), std::move(recovery), {}, inBackground);
    QVERIFY(!std::filesystem::exists(file)); // nothing unsaved yet

    session.record("编班", ChoicesOf(Work(1, 0)), Work(1, 10));
    session.flushRecovery();
    QVERIFY(ReadDivisionFile(file) == Filed(Work(1, 10)));
    QVERIFY(ClaimLeftOverRecoveries(Folder(dir)).empty()); // this run holds it
    session.record("调整", ChoicesOf(Work(1, 10)), Work(1, 20));
    session.flushRecovery();
    QVERIFY(ReadDivisionFile(file) == Filed(Work(1, 20)));

    session.save(document, Work(1, 20));
    session.flushRecovery();
    QVERIFY(!std::filesystem::exists(file)); // saved: nothing to recover
    QVERIFY(ReadDivisionFile(document) == Filed(Work(1, 20)));

    const Snapshot undone = session.undo(Work(1, 20));
    session.flushRecovery();
    QVERIFY(undone == Work(1, 10));
    QJsonObject whole;
    QVERIFY(ReadDivisionFile(file, &whole) == Filed(Work(1, 10)));
    QCOMPARE(whole.value(QStringLiteral("recovery")).toObject().value(QStringLiteral("document")).toString(),
        QString::fromStdString(PathText(document)));

    session.redo(undone); // back at the saved step
    session.flushRecovery();
    QVERIFY(!std::filesystem::exists(file));
    session.record("调班", Choices(), Work(1, 30));
    session.flushRecovery();
    QVERIFY(std::filesystem::exists(file));
    session.close();
    QVERIFY(FilesIn(dir).empty());

    // A folder that cannot be made: the step stands, the problem is told.
    Session blocked(Work(1, 0), std::make_unique<RecoveryFile>(document / "sub"), {}, inBackground);
    blocked.record("编班", Choices(), Work(1, 10));
    blocked.flushRecovery();
    QVERIFY(blocked.recoveryProblem().find("不能保存文件") == 0);
    QVERIFY(blocked.history().canUndo());
}

void TestRecovery::leftOversSortedOut()
{
    QTemporaryDir dir;
    for (const int actions : {5, 15}) { // runs that ended without a clean close
        RecoveryFile run(Folder(dir));
        run.write(Work(2, actions), {}, "编班");
        QThread::msleep(5); // a later time stamp
    }
    std::ofstream(Folder(dir) / "recovery-1-1-1.fenban") << "{\"format\":\"fenban-division\",\"version\":1}";
    std::ofstream(Folder(dir) / "recovery-2-2-1.fenban") << "{\"format\":\"fenban-division\",\"version\":9}";
    std::ofstream(Folder(dir) / "notes.fenban") << "other";

    const std::vector<LeftOverRecovery> found = ClaimLeftOverRecoveries(Folder(dir));
    QCOMPARE(found.size(), std::size_t {2});
    QVERIFY(found[0].snapshot() == Filed(Work(2, 15))); // the newest first
    QVERIFY(found[1].snapshot() == Filed(Work(2, 5)));
    const std::vector<std::string> left = FilesIn(dir);
    QVERIFY(std::find(left.begin(), left.end(), "recovery-1-1-1.fenban") == left.end()); // damaged: gone
    QVERIFY(std::find(left.begin(), left.end(), "recovery-2-2-1.fenban") != left.end()); // a newer program's
    QVERIFY(std::find(left.begin(), left.end(), "notes.fenban") != left.end());
}

void TestRecovery::titlesAndStepNames()
{
    QTemporaryDir documents;
    Session session(Work(3, 0));
    QCOMPARE(session.documentTitle(), std::string());
    QCOMPARE(WindowTitle(session.documentTitle(), "均衡分班"), std::string("均衡分班"));
    QCOMPARE(session.undoText(), std::string("撤销"));
    session.record("编班", Choices(), Work(3, 10));
    QCOMPARE(session.undoText(), std::string("撤销 编班"));
    session.save(Folder(documents) / "初一.fenban", Work(3, 10));
    QCOMPARE(session.documentTitle(), std::string("初一.fenban"));
    session.record("调整", Choices(), Work(3, 20));
    QCOMPARE(WindowTitle(session.documentTitle(), "均衡分班"), std::string("初一.fenban* — 均衡分班"));
    session.undo(Work(3, 20));
    QCOMPARE(session.documentTitle(), std::string("初一.fenban"));
    QCOMPARE(session.redoText(), std::string("重做 调整"));
    QCOMPARE(session.undoText(), std::string("撤销 编班"));
}

void TestRecovery::documentFollowsOpensThroughUndo()
{
    QTemporaryDir documents;
    const std::filesystem::path first = Folder(documents) / "初一.fenban";
    const std::filesystem::path second = Folder(documents) / "初二.fenban";
    Session session(Work(4, 0));
    session.record("编班", Choices(), Work(4, 10));
    session.save(first, Work(4, 10));
    session.recordOpened("打开", Choices(), Work(5, 10), second, true);
    QCOMPARE(session.documentTitle(), std::string("初二.fenban"));
    session.record("调整", Choices(), Work(5, 20));
    QCOMPARE(session.documentTitle(), std::string("初二.fenban*"));

    // Undoing the open gives the work back to the first file: a save there
    // never writes the earlier work over the file opened.
    session.undo(Work(5, 20));
    session.undo(Work(5, 10));
    QVERIFY(session.document() == first);
    QCOMPARE(session.documentTitle(), std::string("初一.fenban*"));
    session.redo(Work(4, 10));
    QVERIFY(session.document() == second);
    session.undo(Work(5, 10));
    session.undo(Work(4, 10));
    QVERIFY(session.document() == first);

    // A save names the document of the steps since the last open; a new
    // step after undoing the open drops the open and its document.
    session.record("分班数", Choices(), Work(4, 30));
    QVERIFY(session.document() == first);
    QVERIFY(!session.history().canRedo());
    session.save(second, Work(4, 30));
    session.undo(Work(4, 30));
    QVERIFY(session.document() == second);
    QCOMPARE(session.documentTitle(), std::string("初二.fenban*"));
}

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
