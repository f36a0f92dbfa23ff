#include "SessionTestKit.h"
#include "engine/Assignment.h"
#include "engine/Balancing.h"
#include "session/History.h"

#include <QTest>

using namespace fenban;
using namespace fenban::sessiontest;

namespace {

// Steps recorded while the world changes; seen[k] is the state after step k.
struct Walk {
    World world;
    History history;
    std::vector<Snapshot> seen;

    explicit Walk(World start, HistoryLimits limits = {})
        : world(std::move(start))
        , history(world.capture(), limits)
        , seen {world.capture()}
    {
    }
    void step(std::mt19937_64& rng)
    {
        std::string name;
        Choices before;
        while (name.empty()) {
            before = world.choices();
            name = RandomAction(world, rng, false);
        }
        history.record(name, before, world.capture());
        seen.push_back(world.capture());
    }
    void undo() { world.restore(history.undo(world.capture())); }
    void redo() { world.restore(history.redo(world.capture())); }
};

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void undoAndRedoWalkTheStatesSeen();
    void choicesStayUnlessTheStepChangedThem();
    void undoingTheFirstPasteDropsItsSubject();
    void oldestStepsGoBeyondTheLimits();
    void savedMarkFollowsTheSteps();
    void stepsShareWhatTheyLeaveAlone();
};

void TestHistory::undoAndRedoWalkTheStatesSeen()
{
    std::mt19937_64 rng(43);
    for (int round = 0; round < 25; ++round) {
        Walk walk(RandomWorld(rng, 10 + static_cast<int>(rng() % 50), 0));
        const int steps = 5 + static_cast<int>(rng() % 40);
        for (int k = 0; k < steps; ++k)
            walk.step(rng);
        for (int k = steps; k > 0; --k) {
            QVERIFY(walk.history.canUndo());
            walk.undo();
            QVERIFY(walk.world.capture() == walk.seen[k - 1]);
        }
        QVERIFY(!walk.history.canUndo());
        for (int k = 1; k <= steps; ++k) {
            walk.redo();
            QVERIFY(walk.world.capture() == walk.seen[k]);
        }
        QVERIFY(!walk.history.canRedo());

        // A new step after some undos drops the steps undone.
        const int back = 1 + static_cast<int>(rng() % steps);
        for (int k = 0; k < back; ++k)
            walk.undo();
        QCOMPARE(walk.history.stepsUndone(), static_cast<std::size_t>(back));
        walk.seen.resize(static_cast<std::size_t>(steps - back + 1));
        walk.step(rng);
        QVERIFY(!walk.history.canRedo());
        QCOMPARE(walk.history.stepsDone(), static_cast<std::size_t>(steps - back + 1));
        walk.undo();
        QVERIFY(walk.world.capture() == walk.seen[static_cast<std::size_t>(steps - back)]);
    }
}

void TestHistory::choicesStayUnlessTheStepChangedThem()
{
    std::mt19937_64 rng(47);
    World world = RandomWorld(rng, 40, 0);
    world.division.assign();
    world.division.setListing(0); // listing class 1
    History history(world.capture());
    const Snapshot beforePaste = world.capture();

    Choices before = world.choices();
    Paste(world, RandomTable(rng, 60, 2)); // changes the listing: the table is shown
    history.record("读入数据", before, world.capture());
    world.division.setCoefficient(5); // choices, no step
    world.division.setManual(true);
    world.division.setListing(1);
    before = world.choices();
    world.division.assign();
    history.record("编班", before, world.capture());
    world.division.setCoefficient(9);

    Snapshot target = history.undo(world.capture());
    QCOMPARE(target.settings.coefficient, 9); // undoing 编班 keeps what was typed since
    QCOMPARE(target.shownClass, 1);
    QVERIFY(target.settings.manual);
    QVERIFY(*target.classNos == *history.current().classNos);
    world.restore(target);

    target = history.undo(world.capture());
    QCOMPARE(target.shownClass, 0); // the paste changed the listing: it comes back
    QVERIFY(!target.tableShown);
    QCOMPARE(target.settings.coefficient, 9);
    QVERIFY(*target.classNos == *beforePaste.classNos);
    QCOMPARE(history.redoName(), std::string("读入数据"));
    world.restore(target);

    target = history.redo(world.capture());
    QCOMPARE(target.shownClass, -1);
    QVERIFY(target.tableShown);
    QCOMPARE(history.undoName(), std::string("读入数据"));
    QCOMPARE(history.redoName(), std::string("编班"));
}

void TestHistory::undoingTheFirstPasteDropsItsSubject()
{
    std::mt19937_64 rng(59);
    World world; // as at start: no table, no subject names
    History history(world.capture());
    const Choices before = world.choices();
    Paste(world, RandomTable(rng, 20, 0));
    history.record("读入数据", before, world.capture());
    world.division.setSubject(4); // a choice: no step

    const Snapshot target = history.undo(world.capture());
    QCOMPARE(target.settings.subject, -1); // the start has no subject 4
    world.restore(target); // a possible state: it does not throw
    QVERIFY(world.capture() == target);
    QCOMPARE(history.redo(world.capture()).settings.subject, -1);
}

void TestHistory::oldestStepsGoBeyondTheLimits()
{
    std::mt19937_64 rng(53);
    Walk walk(RandomWorld(rng, 30, 0), {5, std::size_t {1} << 30});
    for (int k = 0; k < 8; ++k)
        walk.step(rng);
    QCOMPARE(walk.history.stepsDone(), std::size_t {5});
    for (int k = 0; k < 5; ++k)
        walk.undo();
    QVERIFY(!walk.history.canUndo());
    QVERIFY(walk.world.capture() == walk.seen[3]);

    Walk tight(RandomWorld(rng, 30, 0), {200, 1});
    for (int k = 0; k < 4; ++k)
        tight.step(rng);
    QCOMPARE(tight.history.stepsDone(), std::size_t {1}); // the last step can always be undone
    tight.undo();
    QVERIFY(tight.world.capture() == tight.seen[3]);
}

void TestHistory::savedMarkFollowsTheSteps()
{
    std::mt19937_64 rng(59);
    Walk walk(RandomWorld(rng, 30, 0));
    QVERIFY(!walk.history.modified());
    walk.step(rng);
    QVERIFY(walk.history.modified());
    walk.step(rng);
    walk.history.markSaved();
    QVERIFY(!walk.history.modified());
    walk.undo();
    QVERIFY(walk.history.modified());
    walk.redo();
    QVERIFY(!walk.history.modified());
    walk.undo();
    walk.step(rng); // the saved state is gone for good
    walk.undo();
    walk.step(rng);
    QVERIFY(walk.history.modified());
    walk.undo();
    QVERIFY(walk.history.modified());
}

// Balancing presses change class numbers, two lists and the statistics;
// the table, the roster order and the groups are shared between the steps.
void TestHistory::stepsShareWhatTheyLeaveAlone()
{
    std::mt19937_64 rng(61);
    World world = RandomWorld(rng, 500, 0);
    world.division.assign();
    History history(world.capture());
    std::size_t full = 0;
    std::unordered_set<const void*> counted;
    CountHeldBytes(world.capture(), counted, full);
    for (int press = 0; press < 50; ++press) {
        const Choices before = world.choices();
        world.division.setPair(1, 2);
        world.division.setCoefficient(static_cast<std::int32_t>(press % 3));
        QCOMPARE(world.division.press(), BalanceOutcome::Swapped);
        history.record("调整", before, world.capture());
    }
    const Snapshot last = history.current();
    const Snapshot first = history.undo(last);
    QCOMPARE(first.roster.table.get(), last.roster.table.get());
    QCOMPARE(first.students.get(), last.students.get());
    QCOMPARE(first.groupA.get(), last.groupA.get());
    QVERIFY(history.heldBytes() < 50 * full / 2);
}

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
