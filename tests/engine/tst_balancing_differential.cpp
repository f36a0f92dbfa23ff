// The product's balance press against the plain reference press: same
// candidates, same choice, same lists and statistics, bit for bit.
#include "BalancingReference.h"
#include "EngineTestKit.h"
#include "engine/Assignment.h"
#include "engine/Division.h"
#include "engine/Statistics.h"
#include "engine/SuffixFolds.h"
#include "engine/SwapSearch.h"

#include <QtTest>
#include <cmath>

using namespace fenban;
using namespace fenban::testkit;

namespace {

BalanceRequest RandomRequest(std::mt19937_64& rng, int classCount)
{
    static const std::int32_t coefficients[] = {1, 1, 1, 0, -1, 2, 7, -5, 1000, 100000};
    BalanceRequest request {};
    request.manual = rng() % 5 < 2;
    request.subject = rng() % 20 == 0 ? -1 : static_cast<int>(rng() % SubjectCount);
    request.classA = 1 + static_cast<int>(rng() % (classCount + 1)); // now and then out of range
    request.classB = 1 + static_cast<int>(rng() % (classCount + 1));
    request.coefficient = coefficients[rng() % std::size(coefficients)];
    request.classCount = classCount;
    return request;
}

} // namespace

class TestBalancingDifferential : public QObject {
    Q_OBJECT

private slots:
    void suffixFoldsMatchPlainSums_data();
    void suffixFoldsMatchPlainSums();
    void matchesReference_data();
    void matchesReference();
};

void TestBalancingDifferential::suffixFoldsMatchPlainSums_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("one decimal") << 0;
    QTest::newRow("two decimals, some negative") << 1;
    QTest::newRow("binary fractions: halfway cases") << 2;
    QTest::newRow("around 2^55") << 3;
}

void TestBalancingDifferential::suffixFoldsMatchPlainSums()
{
    QFETCH(int, kind);
    std::mt19937_64 rng(77 + kind);
    const auto draw = [&]() -> long double {
        switch (kind) {
        case 0:
            return static_cast<long double>(rng() % 1001) / 10;
        case 1:
            return static_cast<long double>(static_cast<long long>(rng() % 20001) - 1000) / 100;
        case 2:
            return std::ldexp(static_cast<long double>(rng() % 4096), -static_cast<int>(rng() % 70));
        default:
            return rng() % 8 ? static_cast<long double>(rng() % 1001) / 10 : (0x1p55L - 150);
        }
    };
    for (int round = 0; round < 60; ++round) {
        std::vector<long double> scores(1 + rng() % 3000);
        for (long double& score : scores)
            score = draw();
        const SuffixFolds folds(scores, 1000);
        for (int start = 0; start < 40; ++start) {
            const std::size_t from = rng() % scores.size();
            long double plain = draw() * static_cast<long double>(rng() % 3000);
            const long double folded = folds.FoldFrom(plain, from);
            for (std::size_t i = from; i < scores.size(); ++i)
                plain += scores[i];
            QVERIFY2(SameBits(folded, plain), qPrintable(QStringLiteral("round %1 from %2").arg(round).arg(from)));
        }
    }
}

void TestBalancingDifferential::matchesReference_data()
{
    QTest::addColumn<int>("students");
    QTest::addColumn<int>("classes");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("presses");
    QTest::addColumn<quint64>("seed");

    const auto row = [](int students, int classes, ScoreKind kind, int presses, quint64 seed) {
        QTest::addRow("%d/%d kind %d seed %llu", students, classes, static_cast<int>(kind), seed)
            << students << classes << static_cast<int>(kind) << presses << seed;
    };
    for (quint64 seed = 1; seed <= 6; ++seed) {
        row(3 + static_cast<int>(seed), 1 + static_cast<int>(seed % 3), ScoreKind::Mixed, 30, seed);
        row(16, 2, ScoreKind::OneDecimal, 40, seed);
        row(24, 3, ScoreKind::TwoDecimals, 40, seed);
        row(48, 6, ScoreKind::Half, 30, seed);
        row(60, 4, ScoreKind::Whole, 30, seed);
        row(120, 2, ScoreKind::OneDecimal, 15, seed);
        row(150, 7, ScoreKind::Mixed, 20, seed);
        row(200, 100, ScoreKind::OneDecimal, 20, seed);
        row(12 * static_cast<int>(seed), 1 + static_cast<int>(seed), ScoreKind::Wild, 30, seed);
    }
    row(400, 2, ScoreKind::OneDecimal, 6, 7);
    row(1000, 20, ScoreKind::Mixed, 6, 8);
    row(5000, 100, ScoreKind::OneDecimal, 2, 9);

    // A long run on demand: random shapes up to 5,000 students.
    const int rounds = qEnvironmentVariableIntValue("FENBAN_DIFFERENTIAL_ROUNDS");
    std::mt19937_64 shapes(2024);
    for (int r = 0; r < rounds; ++r) {
        const int students = static_cast<int>(std::exp2(1.6 + 10.7 * (shapes() % 1000) / 1000.0));
        // Keep the reference's cost, about (students / classes)^2 * students, in bounds.
        const int fewest = std::max(1, static_cast<int>(std::ceil(std::pow(students, 1.5) / 2500.0)));
        const int classes = std::min(100, fewest + static_cast<int>(shapes() % 100));
        row(students, classes, static_cast<ScoreKind>(shapes() % 6), 25, 1000 + r);
    }
}

void TestBalancingDifferential::matchesReference()
{
    QFETCH(int, students);
    QFETCH(int, classes);
    QFETCH(int, kind);
    QFETCH(int, presses);
    QFETCH(quint64, seed);

    std::mt19937_64 rng(seed);
    DivisionState product;
    FillRandomRoster(product, rng, students, static_cast<ScoreKind>(kind));
    ResizeClassLists(product, classes);
    for (int i = 0; i < students / 20; ++i)
        MoveByHand(product, product.FStudents[rng() % students], static_cast<int>(rng() % classes));
    QVERIFY(AssignClasses(product, classes));
    DivisionState reference = Clone(product);

    int classCount = classes;
    for (int press = 0; press < presses; ++press) {
        const unsigned roll = rng() % 20;
        if (roll == 0) { // a hand move between presses
            const std::size_t who = rng() % product.Records.size();
            const int target = static_cast<int>(rng() % classCount);
            MoveByHand(product, product.Records[who].get(), target);
            MoveByHand(reference, reference.Records[who].get(), target);
            continue;
        }
        if (roll == 1) { // a new class count, assigned or not
            classCount = 1 + static_cast<int>(rng() % std::min(students, 100));
            ResizeClassLists(product, classCount);
            ResizeClassLists(reference, classCount);
            if (rng() % 2) {
                AssignClasses(product, classCount);
                AssignClasses(reference, classCount);
            }
        }
        const BalanceRequest request = RandomRequest(rng, classCount);
        std::vector<CandidateScore> seen;
        const PressTarget target = ResolvePressTarget(product, request);
        if (!target.stop)
            FindBestSwap(
                product, target.target, request.coefficient, [&seen](const CandidateScore& c) { seen.push_back(c); });

        const BalanceOutcome outcome = Balance(product, request);
        const reference::Press expected = reference::Balance(reference, request);

        QCOMPARE(static_cast<int>(outcome), static_cast<int>(expected.outcome));
        QCOMPARE(seen.size(), expected.tried.size());
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const CandidateScore& got = seen[i];
            const CandidateScore& want = expected.tried[i];
            QVERIFY2(got.indexA == want.indexA && got.indexB == want.indexB && SameBits(got.devTotal, want.devTotal)
                    && SameBits(got.pairGap, want.pairGap),
                qPrintable(QStringLiteral("press %1, candidate %2 (%3, %4)")
                               .arg(press)
                               .arg(i)
                               .arg(want.indexA)
                               .arg(want.indexB)));
        }
        QCOMPARE(QString::fromStdString(FirstDifference(product, reference)), QString());
        QVERIFY(SameBits(TotalDeviation(product.FDevSum), TotalDeviation(reference.FDevSum)));
    }
}

QTEST_GUILESS_MAIN(TestBalancingDifferential)
#include "tst_balancing_differential.moc"
