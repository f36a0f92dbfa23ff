// The division document: its steps against the engine's functions run on a
// copy, its change notices, and 一键均衡 on a private copy giving what the
// search gives in place.
#include "EngineTestKit.h"
#include "SessionTestKit.h"
#include "engine/Division.h"
#include "rules/RuleBuilder.h"

#include <QTest>
#include <random>

using namespace fenban;
using namespace fenban::sessiontest;

class TestDocument : public QObject {
    Q_OBJECT

private slots:
    // Random steps on the document and the same calls of the engine on a
    // plain state: the same division after every step.
    void stepsAreTheEnginesSteps()
    {
        std::mt19937_64 rng(5);
        for (int round = 0; round < 30; ++round) {
            World world = RandomWorld(rng, 20 + static_cast<int>(rng() % 60), 0);
            world.division.setClassCount(2 + static_cast<int>(rng() % 4));
            QVERIFY(world.division.assign());
            DivisionState plain = CopyOf(world.state());
            for (int step = 0; step < 20; ++step) {
                const Settings& c = world.division.settings();
                if (rng() % 3 == 0) {
                    const int position = static_cast<int>(rng() % plain.FStudents.size());
                    const int target = static_cast<int>(rng() % static_cast<unsigned>(c.classCount));
                    QCOMPARE(world.division.move(position, target), MoveStudentToClass(plain, -1, position, target));
                } else {
                    world.division.setPair(1, 1 + static_cast<int>(rng() % static_cast<unsigned>(c.classCount)));
                    world.division.setManual(rng() % 2 == 0);
                    world.division.setSubject(static_cast<int>(rng() % SubjectCount));
                    const BalanceRequest request {c.manual, c.classA, c.classB, c.subject, c.coefficient, c.classCount};
                    QCOMPARE(world.division.press(), Balance(plain, request));
                }
                QCOMPARE(testkit::FirstDifference(plain, world.state()), std::string());
            }
        }
    }

    // Each step tells the listeners once, after it is complete, what changed;
    // a step that changes nothing tells nothing; a choice tells its kind.
    void changeNotices()
    {
        std::mt19937_64 rng(7);
        World world;
        std::vector<DivisionChange> heard;
        std::vector<ChoiceKind> chosen;
        world.division.listen([&](const DivisionChange& change) {
            if (change.step == DivisionStep::Choice)
                chosen.push_back(change.choice);
            else
                heard.push_back(change);
        });
        Paste(world, RandomTable(rng, 120, 0));
        QCOMPARE(heard.size(), std::size_t {1});
        QVERIFY(heard.back().step == DivisionStep::ReadTable && heard.back().roster && heard.back().classCount);
        QCOMPARE(world.division.classCount(), 3); // proposed: one more than the whole fifties
        QVERIFY(world.division.assign());
        QVERIFY(heard.back().step == DivisionStep::Assign && heard.back().shown && heard.back().statistics);
        QVERIFY(world.division.shown().averagesDrawn && !world.division.shown().hasTotal);
        world.division.setSubject(1);
        QCOMPARE(heard.size(), std::size_t {2}); // a choice is no step
        world.division.setManual(false);
        QCOMPARE(chosen, (std::vector {ChoiceKind::Subject, ChoiceKind::Manual}));
        QCOMPARE(world.division.press(), BalanceOutcome::Swapped);
        QVERIFY(heard.back().step == DivisionStep::Press && world.division.shown().hasTotal);
        const ShownFigures published = world.division.shown();
        QVERIFY(world.division.move(0, 2) || world.division.move(0, 1));
        QVERIFY(heard.back().step == DivisionStep::Move && heard.back().lists && !heard.back().shown);
        QVERIFY(world.division.shown() == published); // a hand move publishes nothing
        QVERIFY(!world.division.move(0, 99));
        QCOMPARE(heard.size(), std::size_t {4});
    }

    // 一键均衡 on the document's copy, on another thread or not, gives the
    // division the search makes in place, on 1, 2 and 4 threads.
    void optimiseOnACopyIsTheSearchInPlace()
    {
        std::mt19937_64 rng(9);
        World world;
        CellGrid table = RandomTable(rng, 240, 1);
        table.setCell(FirstScoreColumn + SubjectCount, 0, "不同班");
        Paste(world, table);
        world.division.setClassCount(6);
        QVERIFY(world.division.assign());
        const DivisionRules rules = BuildDivisionRules(world.state(), 6, true);
        world.division.setRankBands(5); // the document's score bands reach the search, whatever the control says
        for (const int threads : {1, 2, 4}) {
            OptimiseControl control;
            control.threads = threads;
            control.effort = 20000;
            DivisionState inPlace = CopyOf(world.state());
            control.balance.bands = 5;
            const OptimiseResult expected = OptimiseDivision(inPlace, 6, rules, control);
            control.balance.bands = 0;

            World copy;
            copy.restore(world.capture());
            const OptimiseInput input = copy.division.optimiseInput();
            const Snapshot before = copy.capture();
            const OptimisedDivision answer = Optimise(input, control);
            QVERIFY(copy.capture() == before); // the search never touched the document
            QCOMPARE(answer.result.after, expected.after);
            copy.division.apply(answer);
            QCOMPARE(testkit::FirstDifference(inPlace, copy.state()), std::string());
            QVERIFY(copy.division.shown().hasTotal);
        }
    }
};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
