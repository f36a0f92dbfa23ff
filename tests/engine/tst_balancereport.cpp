#include "EngineTestKit.h"
#include "engine/Assignment.h"
#include "engine/BalanceReport.h"
#include "engine/Division.h"
#include "engine/Optimiser.h"
#include "engine/RuleCheck.h"

#include <QtTest>
#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

using namespace fenban;
using namespace fenban::testkit;

namespace {

DivisionState Divided(std::uint64_t seed, int students, int classes, int handMoves)
{
    std::mt19937_64 rng(seed);
    DivisionState state;
    FillRandomRoster(state, rng, students, ScoreKind::Half);
    ResizeClassLists(state, classes);
    AssignClasses(state, classes);
    for (int n = 0; n < handMoves; ++n)
        MoveByHand(state, state.FStudents[rng() % state.FStudents.size()], static_cast<int>(rng() % classes));
    return state;
}

// A grade like a school's: 总分 the sum of subjects that share an ability.
DivisionState SchoolGrade(std::uint64_t seed, int students, int classes)
{
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal;
    DivisionState state;
    for (int n = 0; n < students; ++n) {
        const PStudent s = AddStudent(state, rng() % 2 ? Male : Female, {});
        const double ability = normal(rng);
        long double total = 0;
        for (int k = 1; k <= 6; ++k) {
            s->Scores[k] = std::clamp(std::round(70 + 14 * (0.8 * ability + 0.6 * normal(rng))), 0.0, 100.0);
            total += s->Scores[k];
        }
        s->Scores[0] = total;
    }
    ResizeClassLists(state, classes);
    AssignClasses(state, classes);
    return state;
}

// Rank of every listed student, counted here: by 总分, higher first, equal scores in roster order.
std::vector<PStudent> RankedByHand(const DivisionState& state)
{
    std::vector<PStudent> ranked;
    for (const auto& record : state.Records)
        if (record->ClassNo >= 1 && record->ClassNo <= static_cast<int>(state.FClasses.size()))
            ranked.push_back(record.get());
    std::stable_sort(
        ranked.begin(), ranked.end(), [](const TStudent* a, const TStudent* b) { return a->Scores[0] > b->Scores[0]; });
    return ranked;
}

int Share(int n, int percent)
{
    return n == 0 ? 0 : std::max(1, static_cast<int>(std::floor(n * percent / 100.0 + 0.5)));
}

} // namespace

class TestBalanceReport : public QObject {
    Q_OBJECT

private slots:
    void countsMatchTheClassLists_data();
    void countsMatchTheClassLists();
    void bandsAndTopStudentsAfterBalancing_data();
    void bandsAndTopStudentsAfterBalancing();
    void rulesHoldWithBands();
    void worstBandText();
};

void TestBalanceReport::countsMatchTheClassLists_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("bands");
    for (int seed = 1; seed <= 6; ++seed)
        QTest::addRow("seed %d", seed) << seed << (seed % 2 ? 10 : 5);
}

// Every figure of the report against a count made here from the class lists.
void TestBalanceReport::countsMatchTheClassLists()
{
    QFETCH(int, seed);
    QFETCH(int, bands);
    const int classes = 3 + seed;
    const DivisionState state = Divided(static_cast<std::uint64_t>(seed), 80 + 37 * seed, classes, seed);
    const BalanceReport report = MakeBalanceReport(state, classes, bands);
    QCOMPARE(static_cast<int>(report.classes.size()), classes);

    const std::vector<PStudent> ranked = RankedByHand(state);
    const auto n = static_cast<int>(ranked.size());
    std::map<const TStudent*, int> rank;
    for (int r = 0; r < n; ++r)
        rank[ranked[static_cast<std::size_t>(r)]] = r;
    double gradeSum = 0;
    for (const TStudent* s : ranked)
        gradeSum += static_cast<double>(s->Scores[0]);
    double gradeSquares = 0;
    for (const TStudent* s : ranked)
        gradeSquares += std::pow(static_cast<double>(s->Scores[0]) - gradeSum / n, 2);
    const double gradeDeviation = std::sqrt(gradeSquares / n);
    QVERIFY(std::fabs(report.grade.deviation - gradeDeviation) < 1e-9 * (1 + gradeDeviation));
    QCOMPARE(report.grade.size, n);

    for (int c = 0; c < classes; ++c) {
        const TStudentList& list = state.FClasses[static_cast<std::size_t>(c)];
        const BalanceReport::Row& row = report.classes[static_cast<std::size_t>(c)];
        int boys = 0, girls = 0, top5 = 0, top10 = 0, bottom10 = 0, topN = 0;
        double sum = 0;
        for (const PStudent s : list) {
            boys += s->Gender == ShortString<2>(Male);
            girls += s->Gender == ShortString<2>(Female);
            sum += static_cast<double>(s->Scores[0]);
            const int r = rank.at(s);
            top5 += r < Share(n, 5);
            top10 += r < Share(n, 10);
            bottom10 += r >= n - Share(n, 10);
            topN += r < classes;
        }
        double squares = 0;
        for (const PStudent s : list)
            squares += std::pow(static_cast<double>(s->Scores[0]) - sum / list.size(), 2);
        const double deviation = list.empty() ? 0 : std::sqrt(squares / list.size());
        QCOMPARE(row.size, static_cast<int>(list.size()));
        QCOMPARE(row.boys, boys);
        QCOMPARE(row.girls, girls);
        QCOMPARE(row.topFivePercent, top5);
        QCOMPARE(row.topTenPercent, top10);
        QCOMPARE(row.bottomTenPercent, bottom10);
        QCOMPARE(row.topN, topN);
        QVERIFY(std::fabs(row.mean - (list.empty() ? 0 : sum / list.size())) < 1e-9 * (1 + std::fabs(row.mean)));
        QVERIFY(std::fabs(row.deviation - deviation) < 1e-9 * (1 + deviation));
        QCOMPARE(row.deviationOut, std::fabs(deviation - gradeDeviation) > 0.05 * gradeDeviation);
        const int k = Share(n, 5);
        QCOMPARE(row.topFivePercentOut, top5 < k / classes || top5 > (k + classes - 1) / classes);
    }

    // Bands of each gender, cut here, against the worst difference and the named breaches.
    std::map<std::string, std::vector<PStudent>> byGender;
    for (const PStudent s : ranked)
        byGender[std::string(s->Gender.view())].push_back(s);
    int worst = 0;
    std::size_t breaches = 0;
    for (const auto& [gender, list] : byGender) {
        std::vector<std::vector<int>> counts(static_cast<std::size_t>(bands), std::vector<int>(classes, 0));
        for (std::size_t at = 0; at < list.size(); ++at)
            ++counts[at * static_cast<std::size_t>(bands) / list.size()]
                    [static_cast<std::size_t>(list[at]->ClassNo - 1)];
        for (int b = 0; b < bands; ++b) {
            const std::vector<int>& band = counts[static_cast<std::size_t>(b)];
            const int k = std::accumulate(band.begin(), band.end(), 0);
            worst = std::max(
                worst, *std::max_element(band.begin(), band.end()) - *std::min_element(band.begin(), band.end()));
            for (int c = 0; c < classes; ++c) {
                const int count = band[static_cast<std::size_t>(c)];
                if (count < k / classes || count > (k + classes - 1) / classes) {
                    ++breaches;
                    const bool named = std::any_of(report.breaches.begin(), report.breaches.end(), [&](const auto& x) {
                        return x.group.kind == RankGroup::Kind::Band && x.group.gender == gender && x.group.band == b
                            && x.classNo == c + 1 && x.count == count;
                    });
                    QVERIFY2(named, qPrintable(QStringLiteral("band %1, class %2").arg(b).arg(c + 1)));
                }
            }
        }
    }
    QCOMPARE(report.worstBandDifference, worst);
    const auto bandBreaches = std::count_if(report.breaches.begin(), report.breaches.end(),
        [](const BalanceReport::BandBreach& x) { return x.group.kind == RankGroup::Kind::Band; });
    QCOMPARE(static_cast<std::size_t>(bandBreaches), breaches);
}

void TestBalanceReport::bandsAndTopStudentsAfterBalancing_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("bands");
    QTest::newRow("480/12, 10 bands") << 1 << 10;
    QTest::newRow("480/12, 5 bands") << 2 << 5;
    QTest::newRow("480/12, 20 bands") << 3 << 20;
}

// With rank balance and no hand-placed students, every band of every gender
// lies within its bounds in every class, the top counts differ by at most
// two, the means improve; and the division is the same on one and two threads.
void TestBalanceReport::bandsAndTopStudentsAfterBalancing()
{
    QFETCH(int, seed);
    QFETCH(int, bands);
    const DivisionState start = SchoolGrade(static_cast<std::uint64_t>(seed), 480, 12);
    std::vector<DivisionState> results;
    for (const int threads : {1, 2}) {
        DivisionState state = Clone(start);
        OptimiseControl control;
        control.effort = 200000;
        control.threads = threads;
        control.balance.bands = bands;
        const OptimiseResult result = OptimiseDivision(state, 12, {}, control);
        QCOMPARE(result.outcome, OptimiseOutcome::Improved);
        QVERIFY(result.after.total < result.before.total);
        const BalanceReport report = MakeBalanceReport(state, 12, bands);
        QVERIFY2(report.breaches.empty(), qPrintable(QString::number(report.breaches.size())));
        QVERIFY(report.worstBandDifference <= 1);
        QVERIFY(report.topN.Width() <= 2 && report.top2N.Width() <= 2 && report.topFivePercent.Width() <= 2);
        QVERIFY(report.highestDeviation <= 1.05 * report.grade.deviation);
        QVERIFY(report.lowestDeviation >= 0.95 * report.grade.deviation);
        results.push_back(std::move(state));
    }
    QCOMPARE(FirstDifference(results[0], results[1]), std::string());
}

// School rules with bands: every rule holds, hand-placed students stay, and
// a band out of bounds is one the report names.
void TestBalanceReport::rulesHoldWithBands()
{
    DivisionState state = Divided(42, 360, 9, 0);
    const std::vector<PStudent> best = RankedByHand(state);
    for (int n = 0; n < 4; ++n) { // the four best placed by hand in class 1: too many of the top there
        MoveByHand(state, best[static_cast<std::size_t>(n)], 0);
        best[static_cast<std::size_t>(n)]->Mark = ShortString<3>("F"); // also one that stood there already
    }
    DivisionRules rules;
    rules.together.push_back({10, 11});
    rules.apart.push_back({12, 13, 14});
    rules.fixed.emplace_back(15, 3);
    rules.spread.emplace_back();
    for (int i = 20; i < 360; i += 3)
        rules.spread.back().push_back(i);
    QVERIFY(FindRuleConflicts(state, 9, rules).empty());
    const BalanceReport before = MakeBalanceReport(state, 9, 10);
    OptimiseControl control;
    control.effort = 100000;
    control.balance.bands = 10;
    const OptimiseResult result = OptimiseDivision(state, 9, rules, control);
    QVERIFY(result.outcome == OptimiseOutcome::Improved || result.outcome == OptimiseOutcome::Unchanged);
    QVERIFY(FindRuleBreaches(rules, ClassesOfRecords(state), 9).empty());
    for (int n = 0; n < 4; ++n)
        QCOMPARE(best[static_cast<std::size_t>(n)]->ClassNo, 1);
    // Every count out of bounds is named, and the run left fewer of them than it found.
    const BalanceReport report = MakeBalanceReport(state, 9, 10);
    QVERIFY(!report.breaches.empty());
    QVERIFY(report.breaches.size() < before.breaches.size());
    std::size_t named = 0;
    for (const RankGroup& group : MakeRankGroups(state, ClassesOfRecords(state), 9, RankBalance {10})) {
        std::vector<int> count(9, 0);
        for (const int r : group.records)
            ++count[static_cast<std::size_t>(state.Records[static_cast<std::size_t>(r)]->ClassNo - 1)];
        const auto k = static_cast<int>(group.records.size());
        for (const int n : count)
            named += n > (k + 8) / 9 || n < k / 9;
    }
    QCOMPARE(report.breaches.size(), named);
}

void TestBalanceReport::worstBandText()
{
    BalanceReport report;
    QCOMPARE(WorstBandText(report), std::string());
    report.bands = 10;
    report.worstBandDifference = 1;
    QCOMPARE(WorstBandText(report), std::string("分数段最大差 1"));
}

QTEST_GUILESS_MAIN(TestBalanceReport)
#include "tst_balancereport.moc"
