#include "EngineTestKit.h"
#include "engine/Assignment.h"
#include "engine/Division.h"
#include "engine/Statistics.h"

#include <QtTest>
#include <algorithm>

using namespace fenban;
using namespace fenban::testkit;

namespace {

std::vector<int> ClassNumbers(const TStudentList& list)
{
    std::vector<int> numbers;
    for (const PStudent student : list)
        numbers.push_back(student->ClassNo);
    return numbers;
}

// Every roster student stands once in the list of its class, and nothing else does.
bool ListsMatchClasses(const DivisionState& state)
{
    std::size_t listed = 0;
    for (std::size_t c = 0; c < state.FClasses.size(); ++c) {
        for (const PStudent student : state.FClasses[c])
            if (student->ClassNo != static_cast<int>(c) + 1)
                return false;
        listed += state.FClasses[c].size();
    }
    for (const PStudent student : state.FStudents)
        if (std::count(
                state.FClasses[student->ClassNo - 1].begin(), state.FClasses[student->ClassNo - 1].end(), student)
            != 1)
            return false;
    return listed == state.FStudents.size();
}

} // namespace

class TestAssignment : public QObject {
    Q_OBJECT

private slots:
    void dealSerpentine_data();
    void dealSerpentine();
    void sortsAreStableWithTheirKeys();
    void workedExample();
    void fewerThanThreeChangesNothing();
    void genderGroups_data();
    void genderGroups();
    void everyGenderIsDealtOnItsOwn();
    void handPlacedStudentsKeepTheirClass();
    void listsAreRebuiltForTheClassCount();
    void everyStudentEndsInOneList();
};

void TestAssignment::dealSerpentine_data()
{
    QTest::addColumn<int>("classCount");
    QTest::addColumn<int>("students");
    QTest::addColumn<int>("handPlaced"); // index of a student marked "F" in class 7, or -1
    QTest::addColumn<std::vector<int>>("expected");
    QTest::newRow("ten over four") << 4 << 10 << -1 << std::vector<int> {1, 2, 3, 4, 4, 3, 2, 1, 1, 2};
    QTest::newRow("one class") << 1 << 4 << -1 << std::vector<int> {1, 1, 1, 1};
    QTest::newRow("four over three") << 3 << 4 << -1 << std::vector<int> {1, 2, 3, 3};
    QTest::newRow("hand-placed passed over") << 2 << 5 << 2 << std::vector<int> {1, 2, 7, 2, 1};
}

void TestAssignment::dealSerpentine()
{
    QFETCH(int, classCount);
    QFETCH(int, students);
    QFETCH(int, handPlaced);
    QFETCH(std::vector<int>, expected);
    DivisionState state;
    for (int i = 0; i < students; ++i)
        AddStudent(state, Male, {});
    if (handPlaced >= 0) {
        state.FStudents[handPlaced]->Mark = ShortString<3>("F");
        state.FStudents[handPlaced]->ClassNo = 7;
    }
    DealSerpentine(state.FStudents, classCount);
    QCOMPARE(ClassNumbers(state.FStudents), expected);
}

void TestAssignment::sortsAreStableWithTheirKeys()
{
    DivisionState state;
    const PStudent a = AddStudent(state, Female, {87.3L});
    const PStudent b = AddStudent(state, "\xC4", {static_cast<double>(87.3L)}); // 87.3 as a double is lower
    const PStudent c = AddStudent(state, Male, {90});
    const PStudent d = AddStudent(state, "", {87.3L});
    const PStudent e = AddStudent(state, Male, {87.3L});
    const PStudent f = AddStudent(state, "M", {90});

    TStudentList list = state.FStudents;
    SortByGender(list);
    QCOMPARE(list, (TStudentList {d, f, b, c, e, a}));
    SortByScore(list, 0);
    QCOMPARE(list, (TStudentList {f, c, d, e, a, b}));

    for (const auto& [student, number] : {std::pair {a, 2}, {b, 1}, {c, 2}, {d, 1}, {e, -1}, {f, 1}})
        student->ClassNo = number;
    SortByClassNo(list);
    QCOMPARE(list, (TStudentList {e, f, d, b, c, a}));
}

void TestAssignment::workedExample()
{
    DivisionState state;
    const PStudent a = AddStudent(state, Male, {90});
    const PStudent b = AddStudent(state, Female, {85});
    const PStudent c = AddStudent(state, Male, {70});
    const PStudent d = AddStudent(state, Female, {95});
    const PStudent e = AddStudent(state, Male, {80});
    const PStudent f = AddStudent(state, Female, {60});
    ResizeClassLists(state, 2);
    QVERIFY(AssignClasses(state, 2));

    QCOMPARE(state.FGroupA, (TStudentList {a, e, c}));
    QCOMPARE(state.FGroupB, (TStudentList {d, b, f}));
    QCOMPARE(state.FStudents, (TStudentList {a, d, c, e, b, f}));
    QCOMPARE(state.FClasses, (std::vector<TStudentList> {{a, d}, {c, e, b, f}}));
    QVERIFY(SameBits(state.FGradeAvg[0], 80));
    QVERIFY(SameBits(state.FClassAvg[0][0], 92.5L) && SameBits(state.FClassAvg[1][0], 73.75L));
    QVERIFY(SameBits(state.FClassDev[0][0], 12.5L) && SameBits(state.FClassDev[1][0], -6.25L));
    QVERIFY(SameBits(state.FDevSum[0], 18.75L));
    for (int s = 1; s < SubjectCount; ++s)
        QVERIFY(SameBits(state.FDevSum[s], 0) && SameBits(state.FClassAvg[1][s], 0));
}

void TestAssignment::fewerThanThreeChangesNothing()
{
    DivisionState state;
    AddStudent(state, Female, {70});
    AddStudent(state, Male, {90});
    ResizeClassLists(state, 2);
    const DivisionState before = Clone(state);
    QVERIFY(!AssignClasses(state, 2));
    QCOMPARE(QString::fromStdString(FirstDifference(state, before)), QString());
    QVERIFY(state.FClassAvg.empty() && state.FGroupA.empty());
}

void TestAssignment::genderGroups_data()
{
    QTest::addColumn<QByteArrayList>("genders");
    QTest::addColumn<int>("groupA");
    QTest::addColumn<std::vector<int>>("classes");
    const QByteArray male(Male.data(), 2);
    const QByteArray female(Female.data(), 2);
    QTest::newRow("one gender: group A empty")
        << QByteArrayList {male, male, male, male} << 0 << std::vector<int> {1, 2, 2, 1};
    QTest::newRow("one female alone") << QByteArrayList {male, female, male, male} << 3
                                      << std::vector<int> {1, 1, 2, 2};
    QTest::newRow("empty gender first: each gender dealt from class 1")
        << QByteArrayList {female, male, QByteArray(), female} << 1 << std::vector<int> {1, 1, 1, 2};
}

void TestAssignment::genderGroups()
{
    QFETCH(QByteArrayList, genders);
    QFETCH(int, groupA);
    QFETCH(std::vector<int>, classes);
    DivisionState state;
    int score = 100; // pasted best first
    for (const QByteArray& gender : genders)
        AddStudent(state, std::string_view(gender.constData(), gender.size()), {static_cast<long double>(score--)});
    const TStudentList pasted = state.FStudents;
    QVERIFY(AssignClasses(state, 2));
    QCOMPARE(static_cast<int>(state.FGroupA.size()), groupA);
    QCOMPARE(ClassNumbers(pasted), classes);
}

// However many gender values a roster has, each is spread evenly over the
// classes; the two gender groups stay the first value and all the rest.
void TestAssignment::everyGenderIsDealtOnItsOwn()
{
    std::mt19937_64 rng(11);
    const std::array<std::string_view, 4> genders = {Male, Female, "M", ""};
    for (int round = 0; round < 30; ++round) {
        DivisionState state;
        const int students = 3 + static_cast<int>(rng() % 200);
        const int classCount = 1 + static_cast<int>(rng() % 9);
        for (int i = 0; i < students; ++i)
            AddStudent(state, genders[rng() % (1 + round % 4)], {static_cast<long double>(rng() % 50)});
        const TStudentList pasted = state.FStudents;
        QVERIFY(AssignClasses(state, classCount));
        QVERIFY(ListsMatchClasses(state));
        for (const std::string_view gender : genders) {
            // The reference: this gender's students by score, dealt 1..N, N..1 from class 1.
            TStudentList run;
            std::copy_if(
                pasted.begin(), pasted.end(), std::back_inserter(run), [&](PStudent s) { return s->Gender == gender; });
            std::stable_sort(
                run.begin(), run.end(), [](PStudent a, PStudent b) { return a->Scores[0] > b->Scores[0]; });
            for (std::size_t k = 0; k < run.size(); ++k) {
                const int lap = static_cast<int>(k) / classCount;
                const int at = static_cast<int>(k) % classCount;
                QCOMPARE(run[k]->ClassNo, lap % 2 == 0 ? at + 1 : classCount - at);
            }
            std::vector<int> counts(static_cast<std::size_t>(classCount));
            for (const PStudent student : state.FStudents)
                if (student->Gender == gender)
                    ++counts[static_cast<std::size_t>(student->ClassNo - 1)];
            QVERIFY2(
                *std::max_element(counts.begin(), counts.end()) - *std::min_element(counts.begin(), counts.end()) <= 1,
                qPrintable(QStringLiteral("round %1").arg(round)));
        }
        TStudentList byGender = state.FStudents;
        std::stable_sort(
            byGender.begin(), byGender.end(), [](PStudent a, PStudent b) { return a->Gender < b->Gender; });
        const auto firstRun = std::find_if(
            byGender.begin(), byGender.end(), [&](PStudent s) { return !(s->Gender == byGender.front()->Gender); });
        if (firstRun != byGender.end())
            QCOMPARE(state.FGroupA.size(), static_cast<std::size_t>(firstRun - byGender.begin()));
        QCOMPARE(state.FGroupA.size() + state.FGroupB.size(), state.FStudents.size());
        QVERIFY(std::is_sorted(state.FGroupB.begin(), state.FGroupB.end(),
            [](PStudent a, PStudent b) { return a->Scores[0] > b->Scores[0]; }));
    }
}

void TestAssignment::handPlacedStudentsKeepTheirClass()
{
    std::mt19937_64 rng(5);
    DivisionState state;
    FillRandomRoster(state, rng, 30, ScoreKind::OneDecimal);
    ResizeClassLists(state, 3);
    const PStudent kept = state.FStudents[4];
    const PStudent lowered = state.FStudents[9];
    const PStudent lowerCase = state.FStudents[11];
    MoveByHand(state, lowered, 2);
    MoveByHand(state, kept, 1);
    lowerCase->Mark = ShortString<3>("f"); // only "F" pins a student here
    lowerCase->ClassNo = 2;
    state.FClasses[1].push_back(lowerCase);
    QVERIFY(AssignClasses(state, 3));
    QVERIFY(ListsMatchClasses(state));
    QCOMPARE(state.FClasses[1].front(), kept);
    QCOMPARE(state.FClasses[2].front(), lowered);

    // Class 3 is gone: its hand-placed student loses the mark and is dealt.
    ResizeClassLists(state, 2);
    QVERIFY(AssignClasses(state, 2));
    QVERIFY(ListsMatchClasses(state));
    QVERIFY(lowered->Mark.empty());
    QCOMPARE(kept->ClassNo, 2);
    QCOMPARE(state.FClasses[1].front(), kept);

    // The grade averages count every student, hand-placed ones too.
    for (int s = 0; s < SubjectCount; ++s)
        QVERIFY(SameBits(state.FGradeAvg[s], SubjectAverage(state.FStudents, s)));
}

void TestAssignment::listsAreRebuiltForTheClassCount()
{
    std::mt19937_64 rng(6);
    DivisionState state;
    FillRandomRoster(state, rng, 25, ScoreKind::Whole);
    QVERIFY(AssignClasses(state, 4)); // the lists were never sized
    QCOMPARE(state.FClasses.size(), std::size_t(4));
    QVERIFY(ListsMatchClasses(state));

    // A hand-placed student standing in another class's list, twice.
    const PStudent misplaced = state.FClasses[0].front();
    state.FClasses[0].erase(state.FClasses[0].begin());
    misplaced->ClassNo = 3;
    misplaced->Mark = ShortString<3>("F");
    state.FClasses[1].push_back(misplaced);
    state.FClasses[1].push_back(misplaced);
    state.FClasses.resize(6); // more lists than classes
    QVERIFY(AssignClasses(state, 4));
    QCOMPARE(state.FClasses.size(), std::size_t(4));
    QVERIFY(ListsMatchClasses(state));
    QCOMPARE(state.FClasses[2].front(), misplaced);
    QCOMPARE(state.FClassAvg.size(), std::size_t(4));
}

void TestAssignment::everyStudentEndsInOneList()
{
    std::mt19937_64 rng(7);
    for (int round = 0; round < 40; ++round) {
        DivisionState state;
        const int students = 3 + static_cast<int>(rng() % 300);
        FillRandomRoster(state, rng, students, ScoreKind::Mixed);
        int classCount = 1 + static_cast<int>(rng() % 12);
        ResizeClassLists(state, classCount);
        for (int move = 0; move < 4; ++move) {
            MoveByHand(state, state.FStudents[rng() % students], static_cast<int>(rng() % classCount));
            AssignClasses(state, classCount);
            classCount = 1 + static_cast<int>(rng() % 12);
            ResizeClassLists(state, classCount);
        }
        QVERIFY(AssignClasses(state, classCount));
        QVERIFY(ListsMatchClasses(state));
        QVERIFY(std::is_sorted(state.FStudents.begin(), state.FStudents.end(),
            [](PStudent a, PStudent b) { return a->ClassNo < b->ClassNo; }));
    }
}

QTEST_GUILESS_MAIN(TestAssignment)
#include "tst_assignment.moc"
