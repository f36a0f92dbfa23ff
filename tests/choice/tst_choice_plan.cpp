#include "choice/ChoicePlan.h"

#include <QTest>
#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <random>

using namespace fenban;

namespace {

SubjectSet Named(const char* name)
{
    return ParseChoiceText(name).set;
}

// The fixed subjects a class may have for a combination, written out for the reference.
std::vector<SubjectSet> AllowedFixed(SubjectSet combination, ChoiceModel model)
{
    std::vector<SubjectSet> sets;
    for (unsigned sub = 1; sub < 128; ++sub) {
        if ((sub & combination) != sub)
            continue;
        const SubjectSet set = static_cast<SubjectSet>(sub);
        const int first = SubjectCountOf(set & FirstChoiceSubjects);
        if (model == ChoiceModel::AnyThree || set == combination || first == 1)
            sets.push_back(set);
    }
    return sets;
}

struct Reference {
    int fewestRooms = INT_MAX;
    int leastWalking = INT_MAX; // with exactly `rooms` classes
};

// Every way of sharing each combination's students among the classes it may
// join; a sharing fits `rooms` classes of at most `limit` when the fewest
// classes it needs are no more than the rooms and the students no fewer.
Reference BruteForce(const PlanRequest& request)
{
    std::vector<std::vector<SubjectSet>> allowed;
    for (const auto& [combination, count] : request.counts)
        allowed.push_back(AllowedFixed(combination, request.model));
    Reference best;
    std::map<SubjectSet, int> sizes;
    std::function<void(std::size_t, std::size_t, int, int)> share
        = [&](std::size_t c, std::size_t k, int left, int walking) {
              if (c == request.counts.size()) {
                  int needed = 0, students = 0;
                  for (const auto& [fixed, size] : sizes) {
                      needed += (size + request.limit - 1) / request.limit;
                      students += size;
                  }
                  best.fewestRooms = std::min(best.fewestRooms, needed);
                  if (needed <= request.rooms && request.rooms <= students)
                      best.leastWalking = std::min(best.leastWalking, walking);
                  return;
              }
              const SubjectSet fixed = allowed[c][k];
              const bool last = k + 1 == allowed[c].size();
              for (int n = last ? left : 0; n <= left; ++n) {
                  sizes[fixed] += n;
                  const int walk = walking + n * (3 - SubjectCountOf(fixed));
                  if (last)
                      share(c + 1, 0, c + 1 < request.counts.size() ? request.counts[c + 1].second : 0, walk);
                  else
                      share(c, k + 1, left - n, walk);
                  if ((sizes[fixed] -= n) == 0)
                      sizes.erase(fixed);
              }
          };
    share(0, 0, request.counts.front().second, 0);
    return best;
}

// What every plan must hold: exactly its rooms, no class over the limit, every
// member holding its classes' fixed subjects, every chosen student once.
void CheckPlan(const ChoicePlan& plan)
{
    QCOMPARE(plan.classCount(), plan.request.rooms);
    std::map<SubjectSet, int> placed;
    for (const PlanGroup& group : plan.groups) {
        QVERIFY(group.classes >= 1);
        QVERIFY(group.classes <= group.size());
        QVERIFY2(group.largestClass() <= plan.request.limit, group.name().c_str());
        if (plan.request.model == ChoiceModel::FirstThenTwo)
            QCOMPARE(SubjectCountOf(group.fixed & FirstChoiceSubjects), 1);
        for (const auto& [combination, count] : group.members) {
            QCOMPARE(combination & group.fixed, group.fixed);
            placed[combination] += count;
        }
    }
    for (const auto& [combination, count] : plan.request.counts)
        QCOMPARE(placed[combination], count);
    QCOMPARE(placed.size(), plan.request.counts.size());
    QVERIFY(PlanProblems(plan).empty());
    for (const WalkingSubject& walking : WalkingSubjects(plan))
        QVERIFY(walking.students <= walking.teachingClasses * plan.request.limit);
}

CombinationCounts Shares(int students, const std::vector<std::pair<const char*, double>>& shares)
{
    CombinationCounts counts;
    int given = 0;
    for (const auto& [name, share] : shares) {
        const int count = static_cast<int>(students * share);
        counts.emplace_back(Named(name), count);
        given += count;
    }
    counts.front().second += students - given;
    return counts;
}

} // namespace

class TestChoicePlan : public QObject {
    Q_OBJECT

private slots:
    // On small grades the plan's walking pairs equal the least of every
    // possible sharing, and its room count the fewest possible.
    void walkingIsLeastOnSmallGrades()
    {
        std::mt19937 random(7);
        const std::vector<SubjectSet> firstThenTwo
            = {Named("物化生"), Named("物化地"), Named("物生政"), Named("史政地"), Named("史化政"), Named("物政地")};
        const std::vector<SubjectSet> anyThree
            = {Named("物化生"), Named("化生地"), Named("生政技"), Named("史政地"), Named("物史地")};
        int compared = 0;
        for (int round = 0; round < 40; ++round) {
            PlanRequest request;
            request.model = round % 4 == 3 ? ChoiceModel::AnyThree : ChoiceModel::FirstThenTwo;
            std::vector<SubjectSet> pool = request.model == ChoiceModel::AnyThree ? anyThree : firstThenTwo;
            std::shuffle(pool.begin(), pool.end(), random);
            const int combinations = request.model == ChoiceModel::AnyThree ? 3 : 2 + static_cast<int>(random() % 2);
            const int most = request.model == ChoiceModel::AnyThree ? 3 : 6;
            int students = 0;
            for (int c = 0; c < combinations; ++c) {
                const int count = 1 + static_cast<int>(random() % most);
                request.counts.emplace_back(pool[static_cast<std::size_t>(c)], count);
                students += count;
            }
            std::sort(request.counts.begin(), request.counts.end());
            request.limit = 2 + static_cast<int>(random() % 4);
            Reference reference = BruteForce(request);
            QCOMPARE(FewestRooms(request), reference.fewestRooms);
            request.rooms = reference.fewestRooms + static_cast<int>(random() % (students - reference.fewestRooms + 1));
            reference = BruteForce(request);
            const ChoicePlan plan = MakeChoicePlan(request);
            QVERIFY(plan.proved);
            CheckPlan(plan);
            QCOMPARE(plan.walkingPairs(), reference.leastWalking);
            ++compared;
        }
        QCOMPARE(compared, 40);
    }

    // A grade with the shares schools see: every property holds, the large
    // combinations get classes of their own, and the plan is the same when made again.
    void realisticGrade()
    {
        PlanRequest request;
        request.counts = Shares(1000,
            {{"物化生", 0.30}, {"物化地", 0.12}, {"物化政", 0.08}, {"物生地", 0.10}, {"史政地", 0.15}, {"史生地", 0.06},
                {"史政生", 0.05}, {"物生政", 0.04}, {"史化生", 0.03}, {"物政地", 0.03}, {"史化地", 0.02},
                {"史化政", 0.02}});
        std::sort(request.counts.begin(), request.counts.end());
        request.limit = 50;
        const ChoicePlan plan = MakeChoicePlan(request);
        QCOMPARE(plan.request.rooms, 21); // 670 students of 物理 and 330 of 历史
        CheckPlan(plan);
        const auto own = std::find_if(
            plan.groups.begin(), plan.groups.end(), [](const PlanGroup& g) { return g.fixed == Named("物化生"); });
        QVERIFY(own != plan.groups.end());
        QCOMPARE(own->walkingPairs(), 0);
        QVERIFY(plan.walkingPairs() < 1000);
        QVERIFY((plan.groups.front().fixed & Bit(Elective::Physics)) != 0);
        QCOMPARE(MakeChoicePlan(request), plan);

        // More rooms never make more students walk.
        request.rooms = 24;
        const ChoicePlan roomier = MakeChoicePlan(request);
        CheckPlan(roomier);
        QVERIFY(roomier.walkingPairs() <= plan.walkingPairs());
    }

    // A search stopped by its work limit still gives a plan that holds, with a note.
    void workLimitKeepsTheBestPlan()
    {
        PlanRequest request;
        request.model = ChoiceModel::AnyThree;
        request.counts = Shares(3000,
            {{"物化生", 0.2}, {"物化地", 0.1}, {"物化政", 0.08}, {"物生地", 0.1}, {"史政地", 0.12}, {"化生地", 0.06},
                {"生政地", 0.05}, {"物生政", 0.05}, {"史化生", 0.04}, {"物政地", 0.04}, {"物化技", 0.03},
                {"史生技", 0.03}, {"化生技", 0.03}, {"物史地", 0.02}, {"政史技", 0.02}, {"化政地", 0.01},
                {"物化史", 0.01}, {"生史地", 0.01}});
        std::sort(request.counts.begin(), request.counts.end());
        request.limit = 45;
        request.rooms = 70;
        const ChoicePlan plan = MakeChoicePlan(request, PlanBudget {50, 1});
        CheckPlan(plan);
        QVERIFY(!plan.proved);
        QVERIFY(!plan.note.empty());
        QVERIFY(MakeChoicePlan(request).walkingPairs() <= plan.walkingPairs());
    }

    void refusesWhatCannotBePlanned()
    {
        PlanRequest request;
        request.counts = {{Named("物化生"), 120}, {Named("史政地"), 30}};
        request.limit = 50;
        request.rooms = 3;
        try {
            MakeChoicePlan(request);
            QFAIL("three rooms were taken for 150 students in two first subjects");
        } catch (const PlanInputError& error) {
            QCOMPARE(QString::fromUtf8(error.what()),
                QStringLiteral("每班最多 50 人时，150 名学生至少要 4 个班；现在只有 3 间教室。请把教室数设为 4 "
                               "或更多，或提高每班人数上限。"));
        }
        request.rooms = 151;
        QVERIFY_THROWS_EXCEPTION(PlanInputError, MakeChoicePlan(request));
        request.rooms = 0;
        request.limit = 1; // 150 classes: more than the program holds
        QVERIFY_THROWS_EXCEPTION(PlanInputError, MakeChoicePlan(request));
        request.limit = 50;
        request.rooms = 0;
        request.limit = 0;
        QVERIFY_THROWS_EXCEPTION(PlanInputError, MakeChoicePlan(request));
        request.limit = 50;
        request.counts.emplace_back(Named("化生地"), 3);
        QVERIFY_THROWS_EXCEPTION(PlanInputError, MakeChoicePlan(request));
    }

    // Edits keep every student once; a class over the limit or more classes than rooms is said.
    void editsAreChecked()
    {
        PlanRequest request;
        request.counts = {{Named("物化生"), 90}, {Named("物化地"), 20}, {Named("史政地"), 45}};
        request.limit = 50;
        request.rooms = 4;
        ChoicePlan plan = MakeChoicePlan(request);
        CheckPlan(plan);
        const std::size_t own
            = static_cast<std::size_t>(std::find_if(plan.groups.begin(), plan.groups.end(), [](const PlanGroup& g) {
                  return g.fixed == Named("物化生");
              }) - plan.groups.begin());
        QVERIFY(own < plan.groups.size());
        const int walkingBefore = plan.walkingPairs();
        MoveCombination(plan, own, Named("物"), Named("物化生"), 10);
        QCOMPARE(plan.walkingPairs(), walkingBefore + 20);
        QVERIFY_THROWS_EXCEPTION(PlanInputError, MoveCombination(plan, 0, Named("史政地"), Named("物化生"), 1));
        QVERIFY_THROWS_EXCEPTION(PlanInputError, MoveCombination(plan, 0, Named("化"), Named("物化生"), 1));
        int total = 0;
        for (const PlanGroup& group : plan.groups)
            total += group.size();
        QCOMPARE(total, 155);
        for (std::size_t g = 0; g < plan.groups.size(); ++g)
            if (plan.groups[g].fixed == Named("史政地"))
                SetGroupClasses(plan, g, 2);
        const std::vector<std::string> problems = PlanProblems(plan);
        QVERIFY(!problems.empty());
        QVERIFY(problems.back().find("多于教室数 4") != std::string::npos);
        QVERIFY_THROWS_EXCEPTION(PlanInputError, SetGroupClasses(plan, 0, 0));
    }
};

QTEST_APPLESS_MAIN(TestChoicePlan)
#include "tst_choice_plan.moc"
