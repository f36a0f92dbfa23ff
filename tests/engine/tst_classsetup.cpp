#include "EngineTestKit.h"
#include "engine/ClassSetup.h"
#include "engine/Division.h"
#include "engine/GroupBalancing.h"
#include "engine/Optimiser.h"

#include <QtTest>
#include <algorithm>
#include <map>
#include <random>

using namespace fenban;
using namespace fenban::testkit;

namespace {

const char* const Talents[] = {"", "", "", "体育", "艺术", " 体育 "};

// A random grade with a 特长 column beside it.
void FillGrade(DivisionState& state, std::mt19937_64& rng, int students)
{
    FillRandomRoster(state, rng, students, ScoreKind::OneDecimal);
    state.ExtraTexts.headers = {"学号", "特长"};
    for (std::size_t i = 0; i < state.Records.size(); ++i)
        state.ExtraTexts.cells.push_back({std::to_string(i), Talents[rng() % std::size(Talents)]});
}

// A random set-up: up to three 实验班 (by 总分, or one by 志愿 when asked), up to two 特长班, 平行班 after them.
ClassSetup RandomSetup(std::mt19937_64& rng, int students)
{
    ClassSetup setup;
    const int tops = static_cast<int>(rng() % 4);
    const int specials = static_cast<int>(rng() % 3);
    const int parallels = 1 + static_cast<int>(rng() % 6);
    const auto add = [&](ClassKind kind, std::string column, std::string value, int size) {
        SetupClass setupClass;
        setupClass.name = NameFromPattern("高一(#)班", setup.classCount() + 1);
        setupClass.kind = kind;
        setupClass.column = std::move(column);
        setupClass.value = std::move(value);
        setupClass.size = size;
        setup.classes.push_back(setupClass);
    };
    const int share = students / (tops + specials + parallels);
    for (int k = 0; k < tops; ++k)
        add(ClassKind::Top, {}, {}, rng() % 2 ? 0 : share - 3 + static_cast<int>(rng() % 4));
    for (int k = 0; k < specials; ++k)
        add(ClassKind::Special, "特长", k % 2 ? "艺术" : "体育", rng() % 2 ? 0 : share);
    for (int k = 0; k < parallels; ++k)
        add(ClassKind::Parallel, {}, {}, rng() % 3 ? 0 : share + static_cast<int>(rng() % 8));
    std::shuffle(setup.classes.begin(), setup.classes.end(), rng);
    return setup;
}

// The groups by a plain reading of the rules: a column's students go to the
// first class naming their value; of the rest, the K best by 总分 (table order
// at equal totals) to the 实验班; the others to the 平行班.
std::vector<int> GroupsByHand(const DivisionState& state, const ClassSetup& setup, const SetupPlan& plan)
{
    std::vector<int> group(state.Records.size(), -1);
    for (std::size_t i = 0; i < state.Records.size(); ++i)
        for (std::size_t c = 0; c < setup.classes.size() && group[i] < 0; ++c) {
            const SetupClass& setupClass = setup.classes[c];
            std::string text(state.ExtraTexts.text(i, 1));
            text.erase(0, text.find_first_not_of(' '));
            text.erase(text.find_last_not_of(' ') + 1);
            if (!setupClass.column.empty() && text == setupClass.value)
                group[i] = plan.groups.groupOfClass[c];
        }
    int top = -1, parallel = -1, k = 0;
    for (std::size_t c = 0; c < setup.classes.size(); ++c)
        if (setup.classes[c].column.empty()) {
            (setup.classes[c].kind == ClassKind::Top ? top : parallel) = plan.groups.groupOfClass[c];
            if (setup.classes[c].kind == ClassKind::Top)
                k += plan.places[c];
        }
    for (int taken = 0; taken < k; ++taken) {
        int best = -1;
        for (std::size_t i = 0; i < state.Records.size(); ++i)
            if (group[i] < 0
                && (best < 0 || state.Records[i]->Scores[0] > state.Records[static_cast<std::size_t>(best)]->Scores[0]))
                best = static_cast<int>(i);
        if (best < 0)
            break;
        group[static_cast<std::size_t>(best)] = top;
    }
    for (int& g : group)
        if (g < 0)
            g = parallel;
    return group;
}

// The group of each record's class (-1: in no class).
std::vector<int> ClassGroupsOfRecords(const DivisionState& state, const ClassGroups& groups)
{
    std::vector<int> out;
    for (const int c : ClassesOfRecords(state))
        out.push_back(c > 0 ? groups.groupOfClass[static_cast<std::size_t>(c - 1)] : -1);
    return out;
}

} // namespace

class TestClassSetup : public QObject {
    Q_OBJECT

private slots:
    void conditionsAndNames();
    void faultsMarkTheField();
    void sizesThatDoNotHoldTheGrade();
    void dealingFollowsTheSetup();
    void balancingKeepsTheGroups();
    void partRulesKeepTheirMembers();
};

void TestClassSetup::conditionsAndNames()
{
    std::string column, value;
    QVERIFY(ParseCondition(" 志愿 ＝ 实验班 ", column, value));
    QCOMPARE(column, std::string("志愿"));
    QCOMPARE(value, std::string("实验班"));
    QVERIFY(ParseCondition("", column, value) && column.empty());
    QVERIFY(!ParseCondition("志愿", column, value));
    QVERIFY(!ParseCondition("=体育", column, value));
    QCOMPARE(NameFromPattern("高一(#)班", 12), std::string("高一(12)班"));
    ClassSetup setup;
    setup.classes = {{"实验1班", 45, ClassKind::Top, {}, {}}};
    QCOMPARE(ClassNameOr(setup, 1, "1班"), std::string("实验1班"));
    QCOMPARE(ClassNameOr(setup, 2, "2班"), std::string("2班"));
    QCOMPARE(ClassNameOr({}, 1, "1班"), std::string("1班"));
}

void TestClassSetup::faultsMarkTheField()
{
    ClassSetup setup;
    setup.classes = {{"1班", 0, ClassKind::Parallel, {}, {}}, {"1班", 0, ClassKind::Parallel, {}, {}}};
    std::optional<SetupFault> fault = FindSetupFault(setup);
    QVERIFY(fault && fault->row == 1 && fault->field == 0);
    setup.classes[1] = {"特1班", 0, ClassKind::Special, {}, {}};
    fault = FindSetupFault(setup);
    QVERIFY(fault && fault->row == 1 && fault->field == 3);
    setup.classes[1] = {"实1班", 0, ClassKind::Top, "志愿", {}};
    fault = FindSetupFault(setup);
    QVERIFY(fault && fault->row == 1 && fault->field == 3);
    setup.classes[1] = {"实1班", -1, ClassKind::Top, {}, {}};
    fault = FindSetupFault(setup);
    QVERIFY(fault && fault->row == 1 && fault->field == 1);
    setup.classes[1] = {"实1班", 0, ClassKind::Top, "志愿", "实验班"};
    QVERIFY(!FindSetupFault(setup));
}

void TestClassSetup::sizesThatDoNotHoldTheGrade()
{
    std::mt19937_64 rng(7);
    DivisionState state;
    FillGrade(state, rng, 600);
    ClassSetup setup;
    for (int k = 1; k <= 12; ++k)
        setup.classes.push_back({std::to_string(k) + "班", k == 12 ? 48 : 50, ClassKind::Parallel, {}, {}});
    try {
        PlanSetup(state, setup);
        QFAIL("598 places took 600 students");
    } catch (const ClassSetupError& error) {
        QCOMPARE(std::string(error.what()), std::string("人数合计 598，年级 600 人：还差 2 个位置。"));
    }
    // More students marked 体育 than the 特长班 has places: the count is named.
    setup.classes[11] = {"体育班", 5, ClassKind::Special, "特长", "体育"};
    const auto marked = std::count_if(state.ExtraTexts.cells.begin(), state.ExtraTexts.cells.end(),
        [](const auto& row) { return row[1] == "体育" || row[1] == " 体育 "; });
    try {
        PlanSetup(state, setup);
        QFAIL("a full 特长班 took more");
    } catch (const ClassSetupError& error) {
        QVERIFY2(std::string(error.what()).find("有 " + std::to_string(marked) + " 名学生") != std::string::npos,
            error.what());
    }
    setup.classes[11].column = "志愿";
    QCOMPARE(MissingSetupColumn(state, setup), std::string("志愿"));
    QVERIFY(!SetupPauseReason(state, setup, 12).empty());
    QVERIFY(!SetupPauseReason(state, {}, 12).size());
}

void TestClassSetup::dealingFollowsTheSetup()
{
    std::mt19937_64 rng(20260901);
    int planned = 0;
    for (int round = 0; round < 60; ++round) {
        DivisionState state;
        FillGrade(state, rng, 60 + static_cast<int>(rng() % 400));
        const ClassSetup setup = RandomSetup(rng, static_cast<int>(state.Records.size()));
        SetupPlan plan;
        try {
            plan = PlanSetup(state, setup);
        } catch (const ClassSetupError&) {
            continue; // sizes this grade cannot fill
        }
        ++planned;
        QCOMPARE(plan.groupOfRecord, GroupsByHand(state, setup, plan));
        ResizeClassLists(state, setup.classCount());
        QVERIFY(AssignBySetup(state, plan));
        const std::vector<int> classes = ClassesOfRecords(state);
        for (std::size_t i = 0; i < classes.size(); ++i) {
            QVERIFY(classes[i] >= 1);
            QCOMPARE(plan.groups.groupOfClass[static_cast<std::size_t>(classes[i] - 1)], plan.groupOfRecord[i]);
        }
        // Sizes as set; within a group, a class is more than one short of another only when full.
        for (const std::vector<int>& group : plan.groups.classes)
            for (const int a : group) {
                const auto sizeA = static_cast<int>(state.FClasses[static_cast<std::size_t>(a)].size());
                QVERIFY(sizeA <= plan.places[static_cast<std::size_t>(a)]);
                for (const int b : group)
                    QVERIFY(sizeA + 1 >= static_cast<int>(state.FClasses[static_cast<std::size_t>(b)].size())
                        || sizeA == plan.places[static_cast<std::size_t>(a)]);
            }
    }
    QVERIFY2(planned >= 20, "too few set-ups could be planned to test anything");
}

void TestClassSetup::balancingKeepsTheGroups()
{
    std::mt19937_64 rng(99);
    for (int round = 0; round < 6; ++round) {
        DivisionState state;
        FillGrade(state, rng, 200 + static_cast<int>(rng() % 200));
        ClassSetup setup;
        setup.classes = {{"实验1班", 0, ClassKind::Top, {}, {}}, {"实验2班", 0, ClassKind::Top, {}, {}},
            {"体育班", 0, ClassKind::Special, "特长", "体育"}};
        for (int k = 4; k <= 8; ++k)
            setup.classes.push_back({std::to_string(k) + "班", 0, ClassKind::Parallel, {}, {}});
        const SetupPlan plan = PlanSetup(state, setup);
        ResizeClassLists(state, setup.classCount());
        QVERIFY(AssignBySetup(state, plan));
        const std::vector<int> before = ClassGroupsOfRecords(state, plan.groups);
        std::vector<std::size_t> sizes;
        for (const TStudentList& list : state.FClasses)
            sizes.push_back(list.size());

        OptimiseControl control;
        control.effort = 4000;
        control.threads = 1;
        control.balance = RankBalance {5};
        const OptimiseResult result = OptimiseInGroups(state, plan.groups, {}, control);
        QVERIFY(result.after <= result.before);
        QCOMPARE(ClassGroupsOfRecords(state, plan.groups), before);
        for (std::size_t c = 0; c < sizes.size(); ++c)
            QCOMPARE(state.FClasses[c].size(), sizes[c]);
        QVERIFY(ClassesOfRecords(state) == [&] {
            std::vector<int> numbers;
            for (const auto& record : state.Records)
                numbers.push_back(record->ClassNo);
            return numbers;
        }());

        for (int press = 0; press < 5; ++press)
            BalanceInGroups(state, {false, 1, 2, -1, 1, setup.classCount()}, plan.groups);
        QCOMPARE(ClassGroupsOfRecords(state, plan.groups), before);
        QVERIFY_THROWS_EXCEPTION(
            ClassSetupError, BalanceInGroups(state, {true, 1, 4, 0, 1, setup.classCount()}, plan.groups));
        // A hand move across groups: the student is named as out of his group.
        const PStudent moved = state.FClasses[3].front();
        MoveByHand(state, moved, 0);
        const std::vector<int> out = StudentsOutOfGroup(state, plan);
        QCOMPARE(out.size(), std::size_t(1));
        QCOMPARE(state.Records[static_cast<std::size_t>(out.front())].get(), moved);
    }
}

void TestClassSetup::partRulesKeepTheirMembers()
{
    DivisionRules rules;
    rules.together = {{0, 1, 2}, {3, 4}};
    rules.apart = {{0, 5, 6}};
    rules.fixed = {{1, 3}, {4, 1}};
    // Records 0, 1, 5, 6 in the part, classes 3 and 5 of the whole.
    const DivisionRules part = RulesOfPart(rules, {0, 1, -1, -1, -1, 2, 3}, {2, 4});
    QCOMPARE(part.together, (std::vector<std::vector<int>> {{0, 1}}));
    QVERIFY(part.apart.empty()); // three students apart over two classes: spread instead
    QCOMPARE(part.spread, (std::vector<std::vector<int>> {{0, 2, 3}}));
    QCOMPARE(part.fixed, (std::vector<std::pair<int, int>> {{1, 1}}));
}

QTEST_APPLESS_MAIN(TestClassSetup)
#include "tst_classsetup.moc"
