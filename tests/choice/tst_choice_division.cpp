#include "EngineTestKit.h"
#include "choice/DivideWithinPlan.h"
#include "document/PublicRun.h"
#include "engine/Assignment.h"
#include "engine/Division.h"
#include "engine/Statistics.h"

#include <QTest>
#include <atomic>
#include <map>

using namespace fenban;
using namespace fenban::testkit;

namespace {

// A grade of random students whose choices follow the shares schools see;
// one in `invalidEvery` has no valid choice.
struct Grade {
    DivisionState state;
    std::vector<SubjectSet> combinations;
};

Grade MakeGrade(int students, std::uint64_t seed, int invalidEvery = 0)
{
    Grade grade;
    std::mt19937_64 rng(seed);
    FillRandomRoster(grade.state, rng, students, ScoreKind::OneDecimal);
    const std::vector<std::pair<const char*, int>> shares
        = {{"物化生", 30}, {"物化地", 12}, {"物化政", 8}, {"物生地", 10}, {"史政地", 15}, {"史生地", 7}, {"史政生", 6},
            {"物生政", 5}, {"史化生", 3}, {"物政地", 2}, {"史化政", 2}};
    std::vector<SubjectSet> pool;
    for (const auto& [name, share] : shares)
        pool.insert(pool.end(), static_cast<std::size_t>(share), ParseChoiceText(name).set);
    for (int i = 0; i < students; ++i)
        grade.combinations.push_back(
            invalidEvery > 0 && i % invalidEvery == invalidEvery - 1 ? 0 : pool[rng() % pool.size()]);
    return grade;
}

ChoicePlan PlanFor(const std::vector<SubjectSet>& combinations, int limit, int rooms = 0)
{
    StudentChoices choices;
    choices.of = combinations;
    return MakeChoicePlan(PlanRequest {ChoiceModel::FirstThenTwo, CountCombinations(choices), limit, rooms});
}

OptimiseControl Control(std::uint64_t effort)
{
    OptimiseControl control;
    control.effort = effort;
    control.threads = 1;
    return control;
}

} // namespace

class TestChoiceDivision : public QObject {
    Q_OBJECT

private slots:
    // Every student with a choice in one home class that teaches its fixed
    // subjects, groups even and within the limit, every walking student once
    // in a teaching class of each subject it walks for; the statistics those
    // of the lists; the same division when made again.
    void divisionHoldsThePlan()
    {
        const Grade grade = MakeGrade(400, 11, 37);
        const ChoicePlan plan = PlanFor(grade.combinations, 45, 10);
        const DivisionOptions options {1, true, 10};
        const DividedByChoice divided = DivideWithinPlan(grade.state, grade.combinations, plan, options, Control(3000));
        QVERIFY(!divided.cancelled);
        QCOMPARE(QString::fromStdString(PlanDivisionFault(divided.state, divided.division)), QString());
        QCOMPARE(divided.division.classNames.size(), std::size_t(10));
        QCOMPARE(QString::fromStdString(divided.division.classNames.front()).right(2), QStringLiteral("1班"));
        int teaching = 0;
        for (const WalkingSubject& subject : WalkingSubjects(plan))
            teaching += subject.teachingClasses;
        QCOMPARE(static_cast<int>(divided.division.teaching.size()), teaching);
        // Class sizes within a group differ by one at most.
        std::size_t first = 0;
        for (const PlanGroup& group : plan.groups) {
            std::size_t largest = 0, smallest = SIZE_MAX;
            for (int c = 0; c < group.classes; ++c) {
                largest = std::max(largest, divided.state.FClasses[first + static_cast<std::size_t>(c)].size());
                smallest = std::min(smallest, divided.state.FClasses[first + static_cast<std::size_t>(c)].size());
            }
            QVERIFY2(largest - smallest <= 1,
                (group.name() + " " + std::to_string(largest) + " " + std::to_string(smallest)).c_str());
            first += static_cast<std::size_t>(group.classes);
        }
        DivisionState recomputed = CopyOf(divided.state);
        ComputeClassStats(recomputed);
        QCOMPARE(QString::fromStdString(FirstDifference(recomputed, divided.state)), QString());
        const DividedByChoice again = DivideWithinPlan(grade.state, grade.combinations, plan, options, Control(3000));
        QCOMPARE(ClassesOfRecords(again.state), ClassesOfRecords(divided.state));
        QVERIFY(again.division == divided.division);
    }

    // Each group is divided exactly as 编班 and 一键均衡 divide a grade of its
    // students alone: the same class lists and figures.
    void groupsAreDividedAsTheEngineDivides()
    {
        const Grade grade = MakeGrade(300, 5);
        const ChoicePlan plan = PlanFor(grade.combinations, 40, 9);
        const DivisionOptions options {1, true, 5};
        const DividedByChoice divided = DivideWithinPlan(grade.state, grade.combinations, plan, options, Control(2000));
        QCOMPARE(QString::fromStdString(PlanDivisionFault(divided.state, divided.division)), QString());
        std::size_t first = 0;
        int compared = 0;
        for (const PlanGroup& group : plan.groups) {
            // The group's students in roster order, as its part was built.
            std::vector<std::size_t> records;
            for (std::size_t c = first; c < first + static_cast<std::size_t>(group.classes); ++c)
                for (const PStudent student : divided.state.FClasses[c])
                    for (std::size_t i = 0; i < divided.state.Records.size(); ++i)
                        if (divided.state.Records[i].get() == student)
                            records.push_back(i);
            std::sort(records.begin(), records.end());
            if (group.classes > 1) {
                DivisionState alone;
                for (const std::size_t i : records) {
                    alone.Records.push_back(std::make_unique<TStudent>(*grade.state.Records[i]));
                    alone.Records.back()->ClassNo = 0; // a class and a hand placement of before mean nothing here
                    alone.Records.back()->Mark = ShortString<3>();
                    alone.FStudents.push_back(alone.Records.back().get());
                }
                ResizeClassLists(alone, group.classes);
                AssignClasses(alone, group.classes, true);
                const OptimiseInput input = PrepareBalance(alone, DivisionOptions {group.classes, true, 5});
                ApplyOptimised(alone, Optimise(input, Control(2000)));
                for (int c = 0; c < group.classes; ++c) {
                    const TStudentList& mine = divided.state.FClasses[first + static_cast<std::size_t>(c)];
                    const TStudentList& theirs = alone.FClasses[static_cast<std::size_t>(c)];
                    QCOMPARE(mine.size(), theirs.size());
                    for (std::size_t k = 0; k < mine.size(); ++k)
                        QCOMPARE(QByteArray::fromStdString(mine[k]->Name), QByteArray::fromStdString(theirs[k]->Name));
                    for (int s = 0; s < SubjectCount; ++s)
                        QVERIFY(SameBits(ClassAverage(mine, s),
                            alone.FClassAvg[static_cast<std::size_t>(c)][static_cast<std::size_t>(s)]));
                }
                ++compared;
            }
            first += static_cast<std::size_t>(group.classes);
        }
        QVERIFY(compared >= 1);
    }

    // A combination shared by two groups gives each a fair slice of its ranks.
    void sharedCombinationSplitsByRank()
    {
        Grade grade = MakeGrade(120, 3);
        const SubjectSet own = ParseChoiceText("物化生").set;
        for (SubjectSet& combination : grade.combinations)
            combination = own;
        ChoicePlan plan = PlanFor(grade.combinations, 50, 3);
        QCOMPARE(plan.groups.size(), std::size_t(1));
        MoveCombination(plan, 0, ParseChoiceText("物").set, own, 40);
        const DividedByChoice divided
            = DivideWithinPlan(grade.state, grade.combinations, plan, {1, true, 0}, Control(500));
        QCOMPARE(QString::fromStdString(PlanDivisionFault(divided.state, divided.division)), QString());
        std::map<std::size_t, long double> sums;
        std::map<std::size_t, int> counts;
        for (std::size_t c = 0; c < divided.state.FClasses.size(); ++c)
            for (const PStudent student : divided.state.FClasses[c]) {
                sums[divided.division.classGroups[c]] += student->Scores[0];
                ++counts[divided.division.classGroups[c]];
            }
        QCOMPARE(counts[0], 80);
        QCOMPARE(counts[1], 40);
        const long double gap = sums[0] / counts[0] - sums[1] / counts[1];
        QVERIFY2(gap < 15 && gap > -15, std::to_string(static_cast<double>(gap)).c_str());
    }

    void cancelStopsAndPlansMustMatch()
    {
        const Grade grade = MakeGrade(200, 8);
        const ChoicePlan plan = PlanFor(grade.combinations, 50);
        std::atomic<bool> cancel {true};
        OptimiseControl control = Control(1000);
        control.cancel = &cancel;
        QVERIFY(DivideWithinPlan(grade.state, grade.combinations, plan, {1, true, 0}, control).cancelled);
        std::vector<SubjectSet> fewer = grade.combinations;
        fewer.front() = 0;
        QVERIFY_THROWS_EXCEPTION(
            PlanInputError, DivideWithinPlan(grade.state, fewer, plan, {1, true, 0}, Control(100)));
    }
};

QTEST_APPLESS_MAIN(TestChoiceDivision)
#include "tst_choice_division.moc"
