#include "EngineTestKit.h"
#include "engine/Assignment.h"
#include "engine/Balancing.h"
#include "engine/Division.h"
#include "engine/Statistics.h"

#include <QtTest>

using namespace fenban;
using namespace fenban::testkit;

Q_DECLARE_METATYPE(BalanceOutcome)
Q_DECLARE_METATYPE(BalanceRequest)
Q_DECLARE_METATYPE(std::vector<long double>)

namespace {

// Hand-made classes with their statistics; lists hold roster indices.
DivisionState Divided(DivisionState state, const std::vector<std::vector<int>>& lists)
{
    for (std::size_t c = 0; c < lists.size(); ++c) {
        state.FClasses.emplace_back();
        for (const int index : lists[c]) {
            state.FClasses[c].push_back(state.FStudents[index]);
            state.FStudents[index]->ClassNo = static_cast<int>(c) + 1;
        }
    }
    for (int s = 0; s < SubjectCount; ++s)
        state.FGradeAvg[s] = SubjectAverage(state.FStudents, s);
    state.FClassAvg.resize(lists.size());
    ComputeClassStats(state);
    return state;
}

// Class 1: p1, p2; class 2: q1, q2; class 3 two weak students. In subject 0
// the two classes' deviations add up to the same for every exchange, so the
// gap between them and subject 1's deviations decide.
DivisionState GapAgainstDeviation()
{
    DivisionState state;
    AddStudent(state, Male, {100, 60});
    AddStudent(state, Male, {80, 70});
    AddStudent(state, Male, {90, 90});
    AddStudent(state, Male, {80, 60});
    AddStudent(state, Male, {20, 70});
    AddStudent(state, Male, {20, 70});
    return Divided(std::move(state), {{0, 1}, {2, 3}, {4, 5}});
}

BalanceRequest Manual(int classA, int classB, int subject, std::int32_t coefficient, int classCount)
{
    return {true, classA, classB, subject, coefficient, classCount};
}

} // namespace

class TestBalancing : public QObject {
    Q_OBJECT

private slots:
    void scoreExample();
    void pickSwapTarget_data();
    void pickSwapTarget();
    void pressesThatStopBeforeTrying_data();
    void pressesThatStopBeforeTrying();
    void coefficientWeighsTheGap_data();
    void coefficientWeighsTheGap();
    void exchangeInPlace();
    void pinnedAndOtherGendersStay();
};

void TestBalancing::scoreExample()
{
    const long double gap = PairGap(1, 78.46L, 78.12L);
    QVERIFY(SameBits(gap, static_cast<long double>(0.34) + 0.1L));
    QVERIFY(SameBits(RoundTwoDecimals(35.2L + gap), 35.64));
    QVERIFY(SameBits(PairGap(0, 78.46L, 12), 0.1L));
    QVERIFY(PairGap(-1, 78.46L, 78.12L) < 0);
}

void TestBalancing::pickSwapTarget_data()
{
    QTest::addColumn<std::vector<long double>>("devSums");
    QTest::addColumn<std::vector<long double>>("deviations"); // of every class in the chosen subject
    QTest::addColumn<int>("subject");
    QTest::addColumn<int>("classA");
    QTest::addColumn<int>("classB");
    QTest::newRow("first of equal largest")
        << std::vector<long double> {0, 3, 3, 1} << std::vector<long double> {-1, 2, 2, -3, -3} << 1 << 1 << 3;
    QTest::newRow("none above the grade")
        << std::vector<long double> {0, 0, 0, 0, 4} << std::vector<long double> {-1, -2, 0} << 4 << 0 << 1;
    QTest::newRow("all on the grade") << std::vector<long double> {} << std::vector<long double> {0, 0, 0} << 0 << 0
                                      << 0;
}

void TestBalancing::pickSwapTarget()
{
    QFETCH(std::vector<long double>, devSums);
    QFETCH(std::vector<long double>, deviations);
    QFETCH(int, subject);
    DivisionState state;
    std::copy(devSums.begin(), devSums.end(), state.FDevSum.begin());
    for (const long double d : deviations) {
        state.FClassDev.emplace_back();
        state.FClassDev.back()[subject] = d;
        state.FClassDev.back()[subject == 0 ? 1 : 0] = 50; // other subjects do not count
    }
    const SwapTarget target = PickSwapTarget(state);
    QCOMPARE(target.subject, subject);
    QTEST(target.classA, "classA");
    QTEST(target.classB, "classB");
}

void TestBalancing::pressesThatStopBeforeTrying_data()
{
    QTest::addColumn<int>("situation");
    QTest::addColumn<BalanceRequest>("request");
    QTest::addColumn<BalanceOutcome>("outcome");
    // Situations: 0 divided into 3, 1 nothing assigned, 2 count raised to 4 since, 3 one class
    QTest::newRow("manual without subject") << 1 << Manual(1, 2, -1, 1, 3) << BalanceOutcome::NoSubject;
    QTest::newRow("before any assignment")
        << 1 << BalanceRequest {false, 1, 2, 0, 1, 3} << BalanceOutcome::NeedsDivision;
    QTest::newRow("count changed since") << 2 << Manual(1, 2, 0, 1, 4) << BalanceOutcome::NeedsDivision;
    QTest::newRow("class above the count") << 0 << Manual(1, 4, 0, 1, 3) << BalanceOutcome::ClassOutOfRange;
    QTest::newRow("class 0") << 0 << Manual(0, 2, 0, 1, 3) << BalanceOutcome::ClassOutOfRange;
    QTest::newRow("same class by hand") << 0 << Manual(2, 2, 0, 1, 3) << BalanceOutcome::SameClass;
    QTest::newRow("one class") << 3 << BalanceRequest {false, 1, 2, -1, 1, 1} << BalanceOutcome::SameClass;
    QTest::newRow("every score at or below 0") << 0 << Manual(1, 2, 0, -1000, 3) << BalanceOutcome::NoCandidate;
    QTest::newRow("class 3 has no free student") << 0 << Manual(3, 1, 0, 1, 3) << BalanceOutcome::NoCandidate;
}

void TestBalancing::pressesThatStopBeforeTrying()
{
    QFETCH(int, situation);
    QFETCH(BalanceRequest, request);
    QFETCH(BalanceOutcome, outcome);
    DivisionState state = GapAgainstDeviation();
    state.FClasses[2][0]->Mark = ShortString<3>("f");
    state.FClasses[2][1]->Mark = ShortString<3>("F");
    // A hand move leaves the statistics behind the lists; a press that stops keeps them so.
    MoveByHand(state, state.FClasses[0][0], 1);
    if (situation == 1)
        EndDivision(state);
    if (situation == 2)
        ResizeClassLists(state, 4);
    if (situation == 3)
        QVERIFY(AssignClasses(state, 1));

    const DivisionState before = Clone(state);
    QCOMPARE(Balance(state, request), outcome);
    QCOMPARE(QString::fromStdString(FirstDifference(state, before)), QString());
}

void TestBalancing::coefficientWeighsTheGap_data()
{
    QTest::addColumn<int>("coefficient");
    QTest::addColumn<int>("slotA");
    QTest::addColumn<int>("slotB");
    // Exchanges (0,0) and (1,1): subject-1 deviations 20, gap 5; (0,1) and (1,0): 10 and 15.
    QTest::newRow("0: deviations alone") << 0 << 0 << 1;
    QTest::newRow("1: all equal, first tried") << 1 << 0 << 0;
    QTest::newRow("100: smallest gap") << 100 << 0 << 0;
    QTest::newRow("-1: the larger gap helps") << -1 << 0 << 1;
    QTest::newRow("-20: scores below 0 skipped") << -20 << 0 << 0;
}

void TestBalancing::coefficientWeighsTheGap()
{
    QFETCH(int, coefficient);
    QFETCH(int, slotA);
    QFETCH(int, slotB);
    DivisionState state = GapAgainstDeviation();
    const PStudent fromA = state.FClasses[0][slotA];
    const PStudent fromB = state.FClasses[1][slotB];
    QCOMPARE(Balance(state, Manual(1, 2, 0, coefficient, 3)), BalanceOutcome::Swapped);
    QCOMPARE(state.FClasses[0][slotA], fromB);
    QCOMPARE(state.FClasses[1][slotB], fromA);
}

void TestBalancing::exchangeInPlace()
{
    DivisionState state;
    AddStudent(state, Male, {90});
    AddStudent(state, Female, {80});
    AddStudent(state, Male, {70});
    AddStudent(state, Female, {60});
    state = Divided(std::move(state), {{0, 1}, {2, 3}});
    const TStudentList roster = state.FStudents;

    // Both same-gender exchanges even the classes out; the first tried wins.
    QCOMPARE(Balance(state, BalanceRequest {false, 1, 2, -1, 1, 2}), BalanceOutcome::Swapped);
    QCOMPARE(state.FClasses, (std::vector<TStudentList> {{roster[2], roster[1]}, {roster[0], roster[3]}}));
    QCOMPARE(roster[2]->ClassNo, 1);
    QCOMPARE(roster[0]->ClassNo, 2);
    QCOMPARE(state.FStudents, roster);
    QVERIFY(SameBits(TotalDeviation(state.FDevSum), 0));
    QVERIFY(SameBits(state.FClassAvg[1][0], 75));

    // Every class on the grade average: both roles fall to class 1.
    QCOMPARE(Balance(state, BalanceRequest {false, 1, 2, -1, 1, 2}), BalanceOutcome::SameClass);
}

void TestBalancing::pinnedAndOtherGendersStay()
{
    DivisionState state = GapAgainstDeviation();
    state.FClasses[0][0]->Mark = ShortString<3>("f");
    state.FClasses[1][1]->Gender = ShortString<2>("\xC4"); // a prefix of 男 is another gender
    const PStudent q1 = state.FClasses[1][0];
    const PStudent p2 = state.FClasses[0][1];
    QCOMPARE(Balance(state, Manual(1, 2, 0, 1, 3)), BalanceOutcome::Swapped);
    QCOMPARE(state.FClasses[0][1], q1);
    QCOMPARE(state.FClasses[1][0], p2);
    // The pinned student still counts in its class's average.
    QVERIFY(SameBits(state.FClassAvg[0][0], 95));
}

QTEST_GUILESS_MAIN(TestBalancing)
#include "tst_balancing.moc"
