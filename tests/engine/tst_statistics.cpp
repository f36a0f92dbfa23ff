#include "EngineTestKit.h"
#include "engine/Statistics.h"

#include <QtTest>
#include <cstring>

using namespace fenban;
using namespace fenban::testkit;

Q_DECLARE_METATYPE(long double)
Q_DECLARE_METATYPE(std::vector<long double>)

namespace {

bool SameDouble(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

class TestStatistics : public QObject {
    Q_OBJECT

private slots:
    void roundTwoDecimals_data();
    void roundTwoDecimals();
    void roundTwoDecimalsRejectsHugeValues();
    void subjectAverage_data();
    void subjectAverage();
    void subjectAverageAddsInListOrder();
    void classStatistics();
    void emptyAndMissingClasses();
    void workingListsLeaveClassesAlone();
    void totalDeviationAddsInOrder();
};

void TestStatistics::roundTwoDecimals_data()
{
    QTest::addColumn<long double>("x");
    QTest::addColumn<double>("expected");
    QTest::newRow("85.335 is a little below") << 85.335L << 85.33;
    QTest::newRow("87.385 is a little above") << 87.385L << 87.39;
    QTest::newRow("0.005 is half the factor: even") << static_cast<long double>(0.005) << 0.0;
    QTest::newRow("87.125 toward zero") << 87.125L << 87.12;
    QTest::newRow("87.375 toward zero") << 87.375L << 87.37;
    QTest::newRow("87.625 toward zero") << 87.625L << 87.62;
    QTest::newRow("87.875 toward zero") << 87.875L << 87.87;
    QTest::newRow("-0.125 toward zero") << -0.125L << -0.12;
    QTest::newRow("a third") << 256.0L / 3 << 85.33;
    QTest::newRow("extended taken as double first") << 0.125L + 0x1p-60L << 0.12;
    QTest::newRow("negative") << -6.254L << -6.25;
    QTest::newRow("zero") << 0.0L << 0.0;
    QTest::newRow("10.12 comes back one double higher") << static_cast<long double>(10.12) << 10.120000000000001;
}

void TestStatistics::roundTwoDecimals()
{
    QFETCH(long double, x);
    QFETCH(double, expected);
    const double rounded = RoundTwoDecimals(x);
    QVERIFY2(SameDouble(rounded, expected), qPrintable(QString::number(rounded, 'g', 17)));
    QVERIFY(SameDouble(RoundTwoDecimals(rounded), rounded)); // a second pass changes nothing
}

void TestStatistics::roundTwoDecimalsRejectsHugeValues()
{
    QVERIFY_THROWS_EXCEPTION(std::exception, RoundTwoDecimals(1e17L));
    QVERIFY(SameDouble(RoundTwoDecimals(1e16L), 1e16));
}

void TestStatistics::subjectAverage_data()
{
    QTest::addColumn<std::vector<long double>>("scores");
    QTest::addColumn<double>("expected");
    QTest::newRow("90 85 81") << std::vector<long double> {90, 85, 81} << 85.33;
    QTest::newRow("90 85 80") << std::vector<long double> {90, 85, 80} << 85.0;
    QTest::newRow("eight adding to 697") << std::vector<long double> {87, 87, 87, 87, 87, 87, 87, 88} << 87.12;
    QTest::newRow("eight adding to 699") << std::vector<long double> {87, 87, 87, 87, 87, 88, 88, 88} << 87.37;
    QTest::newRow("eight adding to 701") << std::vector<long double> {87, 87, 87, 88, 88, 88, 88, 88} << 87.62;
    QTest::newRow("none") << std::vector<long double> {} << 0.0;
}

void TestStatistics::subjectAverage()
{
    QFETCH(std::vector<long double>, scores);
    QFETCH(double, expected);
    DivisionState state;
    for (const long double score : scores)
        AddStudent(state, Male, {0, 0, 0, score});
    QVERIFY(SameBits(SubjectAverage(state.FStudents, 3), expected));
    QVERIFY(SameBits(SubjectAverage(state.FStudents, 2), 0.0L));
}

void TestStatistics::subjectAverageAddsInListOrder()
{
    // Near 2^55 an addition rounds to 1/512: 87.3 comes through as
    // 87.30078125, 91.68 as 91.6796875. The exact average is 44.745.
    DivisionState state;
    AddStudent(state, Male, {0x1p55L - 150});
    AddStudent(state, Male, {87.3L});
    AddStudent(state, Male, {-(0x1p55L - 150)});
    AddStudent(state, Male, {91.68L});
    QVERIFY(SameBits(SubjectAverage(state.FStudents, 0), 44.75));
    std::swap(state.FStudents[1], state.FStudents[3]);
    QVERIFY(SameBits(SubjectAverage(state.FStudents, 0), 44.74));
}

void TestStatistics::classStatistics()
{
    DivisionState state;
    state.FClasses.resize(2);
    state.FClasses[0].push_back(AddStudent(state, Male, {86, 90.5L}));
    state.FClasses[1].push_back(AddStudent(state, Male, {84, 70.25L}));
    state.FGradeAvg[0] = 85;
    state.FGradeAvg[1] = 80.38;
    state.FClassAvg.resize(2);
    ComputeClassStats(state);
    QVERIFY(SameBits(state.FClassDev[0][0], 1) && SameBits(state.FClassDev[1][0], -1));
    QVERIFY(SameBits(state.FDevSum[0], 2));
    QVERIFY(SameBits(state.FClassAvg[1][1], 70.25L));
    const double gap1 = 10.120000000000001; // 1012 times the factor: one double above 10.12
    QVERIFY(SameBits(state.FClassDev[0][1], gap1) && SameBits(state.FClassDev[1][1], -10.13));
    // The sum of the two doubles in extended precision, not rounded to 20.25.
    QVERIFY(SameBits(state.FDevSum[1], static_cast<long double>(gap1) + static_cast<long double>(10.13)));
    QVERIFY(!SameBits(state.FDevSum[1], 20.25L));
    QVERIFY(SameBits(state.FDevSum[5], 0));
}

void TestStatistics::emptyAndMissingClasses()
{
    DivisionState state;
    state.FClasses.resize(1); // the second class has no list at all
    state.FGradeAvg[4] = 71.5L;
    state.FClassAvg.resize(2);
    ComputeClassStats(state);
    QCOMPARE(state.FClassDev.size(), std::size_t(2));
    for (std::size_t c = 0; c < 2; ++c) {
        QVERIFY(SameBits(state.FClassAvg[c][4], 0));
        QVERIFY(SameBits(state.FClassDev[c][4], -71.5L));
    }
    QVERIFY(SameBits(state.FDevSum[4], 143));
}

void TestStatistics::workingListsLeaveClassesAlone()
{
    DivisionState state;
    state.FClasses = {{AddStudent(state, Male, {90}), AddStudent(state, Male, {80})}, {AddStudent(state, Male, {60})}};
    state.FGradeAvg[0] = 76.67L;
    state.FClassAvg.resize(2);
    ComputeClassStats(state);
    const DivisionState before = Clone(state);

    std::vector<TStudentList> work = state.FClasses;
    std::swap(work[0][0], work[1][0]);
    ComputeClassStats(state, work);
    QVERIFY(SameBits(state.FClassAvg[0][0], 70) && SameBits(state.FClassAvg[1][0], 90));
    QVERIFY(SameBits(state.FClassDev[1][0], RoundTwoDecimals(90 - 76.67L)));
    QCOMPARE(state.FClasses[0][0]->Scores[0], 90.0L);

    ComputeClassStats(state);
    QCOMPARE(QString::fromStdString(FirstDifference(state, before)), QString());
}

void TestStatistics::totalDeviationAddsInOrder()
{
    TSubjectValues sums {};
    sums[0] = 1.25L;
    sums[10] = 2.5L;
    QVERIFY(SameBits(TotalDeviation(sums), 3.75L));
    sums = {1e20L, 1, -1e20L}; // 1e20 + 1 rounds back to 1e20
    QVERIFY(SameBits(TotalDeviation(sums), 0));
    sums = {1e20L, -1e20L, 1};
    QVERIFY(SameBits(TotalDeviation(sums), 1));
}

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
