#include "EngineTestKit.h"
#include "SessionTestKit.h"
#include "engine/Assignment.h"
#include "engine/Balancing.h"
#include "engine/Division.h"
#include "session/SessionErrors.h"
#include "session/Snapshot.h"

#include <QTest>
#include <functional>

using namespace fenban;
using namespace fenban::sessiontest;

class TestSnapshot : public QObject {
    Q_OBJECT

private slots:
    void packedGridKeepsEveryCell();
    void captureRestoreCapture();
    void balancingAfterRestoreMakesTheSameExchanges();
    void restoreOfTheSameTableKeepsRecords();
    void ruleColumnsComeBackWithTheRoster();
    void inconsistentSnapshotChangesNothing_data();
    void inconsistentSnapshotChangesNothing();
};

void TestSnapshot::packedGridKeepsEveryCell()
{
    std::mt19937_64 rng(7);
    for (int round = 0; round < 200; ++round) {
        CellGrid grid(1 + static_cast<int>(rng() % 30), 1 + static_cast<int>(rng() % 30));
        for (int k = static_cast<int>(rng() % 100); k > 0; --k) {
            std::string text(rng() % 200, 'x'); // lengths beyond one byte of count
            for (char& ch : text)
                ch = static_cast<char>(rng() % 256); // any bytes
            grid.setCell(static_cast<int>(rng() % 32), static_cast<int>(rng() % 32), text);
        }
        const CellGrid back = PackedGrid::Pack(grid)->Unpack();
        QCOMPARE(back.colCount(), grid.colCount());
        QCOMPARE(back.rowCount(), grid.rowCount());
        for (int row = 0; row < grid.rowCount(); ++row)
            for (int col = 0; col < grid.colCount(); ++col)
                QCOMPARE(back.cell(col, row), grid.cell(col, row));
        QVERIFY(*PackedGrid::Pack(back) == *PackedGrid::Pack(grid));
    }
}

void TestSnapshot::captureRestoreCapture()
{
    std::mt19937_64 rng(11);
    for (int round = 0; round < 60; ++round) {
        const World world = RandomWorld(rng, 3 + static_cast<int>(rng() % 80), static_cast<int>(rng() % 40));
        const Snapshot snapshot = world.capture();
        CheckSnapshot(snapshot);
        World restored; // fresh records, built from the table
        restored.restore(snapshot);
        QVERIFY(restored.capture() == snapshot);
        QCOMPARE(StateDifference(restored.state(), world.state()), std::string());
        QVERIFY(restored.division.source().table == snapshot.roster.table);
    }
}

// The same presses on the original and on a restored copy: the same outcome,
// the same exchanges, bit for bit the same statistics after each.
void TestSnapshot::balancingAfterRestoreMakesTheSameExchanges()
{
    std::mt19937_64 rng(13);
    int swaps = 0;
    for (int round = 0; round < 80; ++round) {
        World world = RandomWorld(rng, 20 + static_cast<int>(rng() % 120), 30);
        World copy;
        copy.restore(world.capture());
        for (int press = 0; press < 6; ++press) {
            const bool manual = rng() % 3 == 0;
            const int classA = 1 + static_cast<int>(rng() % 4);
            const int classB = 1 + static_cast<int>(rng() % 4);
            const int subject = static_cast<int>(rng() % SubjectCount);
            const auto coefficient = static_cast<std::int32_t>(rng() % 5);
            for (Division* d : {&world.division, &copy.division}) {
                d->setManual(manual);
                d->setPair(classA, classB);
                d->setSubject(subject);
                d->setCoefficient(coefficient);
            }
            const BalanceOutcome outcome = world.division.press();
            QCOMPARE(copy.division.press(), outcome);
            swaps += outcome == BalanceOutcome::Swapped;
            QCOMPARE(StateDifference(copy.state(), world.state()), std::string());
        }
    }
    QVERIFY(swaps > 100); // the property was exercised
}

void TestSnapshot::restoreOfTheSameTableKeepsRecords()
{
    std::mt19937_64 rng(17);
    World world = RandomWorld(rng, 40, 30);
    const Snapshot before = world.capture();
    const TStudent* const first = world.state().Records.front().get();
    world.division.setClassCount(4);
    world.division.assign();
    world.division.setListing(-1);
    world.division.move(3, 1);
    world.division.setManual(false);
    world.division.press();
    world.restore(before);
    QCOMPARE(world.state().Records.front().get(), first);
    QVERIFY(world.capture() == before);
}

// A roster with rule columns restored into a document that never read it
// (an opened file, a recovery) has the rule columns of the one saved.
void TestSnapshot::ruleColumnsComeBackWithTheRoster()
{
    std::mt19937_64 rng(29);
    CellGrid table = RandomTable(rng, 50, 2);
    table.setCell(FirstScoreColumn + SubjectCount, 0, "同班");
    table.setCell(FirstScoreColumn + SubjectCount + 1, 0, "不同班");
    World world;
    Paste(world, table);
    world.division.assign();
    QCOMPARE(world.state().RuleTexts.columns.size(), std::size_t {2});
    World opened;
    opened.restore(world.capture());
    QCOMPARE(StateDifference(opened.state(), world.state()), std::string());
    QVERIFY(opened.capture() == world.capture());
}

Q_DECLARE_METATYPE(std::function<void(Snapshot&)>)

void TestSnapshot::inconsistentSnapshotChangesNothing_data()
{
    using Damage = std::function<void(Snapshot&)>;
    QTest::addColumn<Damage>("damage");
    const auto indices = [](SharedIndices& list, auto change) {
        IndexList copy = *list;
        change(copy);
        list = std::make_shared<const IndexList>(std::move(copy));
    };
    QTest::newRow("student in two classes") << Damage(
        [=](Snapshot& s) { indices(s.classes[1], [&s](IndexList& l) { l.push_back(s.classes[0]->front()); }); });
    QTest::newRow("table does not convert") << Damage([](Snapshot& s) {
        CellGrid grid = s.roster.table->Unpack();
        grid.setCell(FirstScoreColumn, 1, "八十");
        s.roster.table = PackedGrid::Pack(grid);
    });
}

void TestSnapshot::inconsistentSnapshotChangesNothing()
{
    QFETCH(std::function<void(Snapshot&)>, damage);
    std::mt19937_64 rng(19);
    World world;
    Paste(world, RandomTable(rng, 30, 1));
    world.division.setClassCount(3);
    world.division.assign();
    world.division.move(0, 2);
    Snapshot damaged = world.capture();
    damage(damaged);

    World other = RandomWorld(rng, 25, 20);
    const Snapshot before = other.capture();
    QVERIFY_THROWS_EXCEPTION(SnapshotError, other.restore(damaged));
    QVERIFY(other.capture() == before);
}

QTEST_GUILESS_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
