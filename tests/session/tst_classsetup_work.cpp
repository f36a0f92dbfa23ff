// 班级设置 through the Workbench: a step kept by undo, the division file and
// the record; the input fingerprint follows it; 编班, 一键均衡 and 公开分班
// follow it; a set-up naming a column the table lacks is kept but not followed.
#include "SessionTestKit.h"
#include "audit/Fingerprint.h"
#include "document/AfterChanges.h"
#include "document/Workbench.h"
#include "io/BalanceTable.h"
#include "outputs/DivisionOutputs.h"
#include "session/DivisionFile.h"
#include "session/Session.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <random>
#include <set>

using namespace fenban;
using namespace fenban::sessiontest;

namespace {

OptimiseControl Quick()
{
    return QuickControl(5000);
}

// Every fifth student marked 体育 in the 特长 column.
RosterExtraTexts Talents(int students)
{
    RosterExtraTexts extras;
    extras.headers = {"特长"};
    for (int i = 0; i < students; ++i)
        extras.cells.push_back({i % 5 == 0 ? "体育" : ""});
    return extras;
}

// Two 实验班 of 45, a 体育班, then 平行班 of an even share.
ClassSetup SchoolSetup(int parallels)
{
    ClassSetup setup;
    setup.classes = {{"实验1班", 45, ClassKind::Top, {}, {}}, {"实验2班", 45, ClassKind::Top, {}, {}},
        {"体育班", 0, ClassKind::Special, "特长", "体育"}};
    for (int k = 1; k <= parallels; ++k)
        setup.classes.push_back({NameFromPattern("高一(#)班", k), 0, ClassKind::Parallel, {}, {}});
    return setup;
}

// The group of each student's class.
std::vector<int> GroupOfClasses(const DivisionState& state, const ClassSetup& setup)
{
    const ClassGroups groups = GroupsOf(setup);
    std::vector<int> out;
    for (const int c : ClassesOfRecords(state))
        out.push_back(c > 0 ? groups.groupOfClass[static_cast<std::size_t>(c - 1)] : -1);
    return out;
}

// A random set-up: up to two 实验班 (a size or an even share), maybe one or two
// 体育班 (of Talents), two to four 平行班 of an even share.
ClassSetup RandomSetup(std::mt19937_64& rng)
{
    ClassSetup setup;
    const int tops = static_cast<int>(rng() % 3);
    for (int k = 1; k <= tops; ++k)
        setup.classes.push_back({"实验" + std::to_string(k) + "班",
            rng() % 2 == 0 ? 0 : 18 + static_cast<int>(rng() % 8), ClassKind::Top, {}, {}});
    const int specials = static_cast<int>(rng() % 3);
    for (int k = 1; k <= specials; ++k)
        setup.classes.push_back({"体育" + std::to_string(k) + "班", 0, ClassKind::Special, "特长", "体育"});
    const int parallels = 2 + static_cast<int>(rng() % 3);
    for (int k = 1; k <= parallels; ++k)
        setup.classes.push_back({NameFromPattern("高一(#)班", k), 0, ClassKind::Parallel, {}, {}});
    return setup;
}

// Late students' rows as typed: the second marked 体育 in 特长.
std::vector<std::vector<std::string>> LateRows(const Division& division, std::mt19937_64& rng, int count)
{
    std::vector<std::vector<std::string>> typed;
    for (int k = 0; k < count; ++k) {
        std::vector<std::string> row;
        for (const ChangeColumn& column : ArrivalColumns(division))
            row.push_back(column.header == "姓名" ? "新" + std::to_string(k)
                    : column.header == "性别"     ? (k % 2 == 0 ? "男" : "女")
                    : column.header == "特长"     ? (k == 1 ? "体育" : "")
                                                  : std::to_string(60 + rng() % 60));
        typed.push_back(row);
    }
    return typed;
}

// Every placed student in a class of his group, and within each group the
// classes' sizes over their set sizes within one.
void CheckGroupsAndSizes(const Division& division, const char* when)
{
    const ChangeGroups groups = SetupGroupsOf(division);
    const DivisionState& state = division.state();
    const std::vector<int> classes = ClassesOfRecords(state);
    QCOMPARE(groups.groupOfRecord.size(), classes.size());
    for (std::size_t i = 0; i < classes.size(); ++i) {
        QVERIFY2(classes[i] > 0, when);
        QVERIFY2(groups.groupOfClass[static_cast<std::size_t>(classes[i] - 1)] == groups.groupOfRecord[i], when);
    }
    std::map<int, std::pair<int, int>> range;
    for (std::size_t c = 0; c < state.FClasses.size(); ++c) {
        const int surplus = static_cast<int>(state.FClasses[c].size()) - groups.targets[c];
        auto [at, fresh] = range.try_emplace(groups.groupOfClass[c], surplus, surplus);
        at->second = {std::min(at->second.first, surplus), std::max(at->second.second, surplus)};
    }
    for (const auto& [group, bounds] : range)
        QVERIFY2(bounds.second - bounds.first <= 1, when);
}

} // namespace

class TestClassSetupWork : public QObject {
    Q_OBJECT

private slots:
    void stepUndoFileAndFingerprint();
    void divisionFollowsTheSetup();
    void missingColumnPausesTheSetup();
    void changesKeepTheGroupsAndSizes();
    void reportCountsEachGroupOnItsOwn();
};

void TestClassSetupWork::stepUndoFileAndFingerprint()
{
    QTemporaryDir folder;
    std::mt19937_64 rng(3);
    Workbench work;
    work.start(CellGrid(6, 5), nullptr, false);
    const CellGrid table = RandomTable(rng, 300, 0);
    work.openTable(table, ".", Talents(300), "高一.xlsx");
    const std::string plain = work.division().inputFingerprint();
    const std::string plainText = InputCanonicalText(work.division().state(), work.division().options());
    QVERIFY(plainText.starts_with("fenban-input\t2\n"));
    QVERIFY(plainText.find("\nsetup\t") == std::string::npos);

    const ClassSetup setup = SchoolSetup(4);
    work.setClassSetup(setup);
    QCOMPARE(work.division().classCount(), 7);
    QVERIFY(work.division().setupPause().empty());
    QCOMPARE(work.session().undoText(), std::string("撤销 班级设置"));
    QCOMPARE(work.division().publicState().record.entries().back().kind, RecordKind::ClassSetup);
    QVERIFY(work.division().publicState().record.entries().back().text.ends_with("（第 3 版）"));
    const std::string text = InputCanonicalText(work.division().state(), work.division().options());
    QVERIFY(text.starts_with("fenban-input\t3\n"));
    QVERIFY(text.find("\nsetup\t7\n实验1班\t45\t实验班\t\n") != std::string::npos);
    QVERIFY(text.find("\nconditions\t1\n特长\n") != std::string::npos);
    const std::string withSetup = work.division().inputFingerprint();
    QVERIFY(withSetup != plain);

    // A name, a size or a condition changes the input fingerprint.
    std::vector<ClassSetup> changed(3, setup);
    changed[0].classes[3].name = "高一(9)班";
    changed[1].classes[0].size = 44;
    changed[2].classes[2].value = "艺术";
    for (const ClassSetup& other : changed) {
        DivisionOptions options = work.division().options();
        options.setup = other;
        QVERIFY(InputFingerprint(work.division().state(), options) != withSetup);
    }

    // Undo gives the work without it back, the fingerprint as before; redo brings it again.
    work.undo();
    QVERIFY(work.division().settings().setup.empty());
    QCOMPARE(work.division().inputFingerprint(), plain);
    work.redo();
    QCOMPARE(work.division().settings().setup, setup);

    // The division file carries it; a file of work without one has no member for it.
    const std::filesystem::path file = std::filesystem::path(folder.path().toStdString()) / "高一.fenban";
    QVERIFY(work.assign());
    work.save(file);
    QJsonObject whole;
    const Snapshot read = ReadDivisionFile(file, &whole);
    QCOMPARE(read.settings.setup, setup);
    Workbench other;
    other.start(CellGrid(6, 5), nullptr, false);
    other.openDivision(file);
    QCOMPARE(other.division().inputFingerprint(), withSetup);
    QCOMPARE(other.division().state().FClasses.size(), std::size_t(7));

    work.setClassSetup({});
    work.save(file);
    QFile saved(QString::fromStdString(file.string()));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(!saved.readAll().contains("classSetup"));
    QCOMPARE(work.division().inputFingerprint(), InputFingerprint(work.division().state(), {7, true, 10, {}}));
}

void TestClassSetupWork::divisionFollowsTheSetup()
{
    std::mt19937_64 rng(5);
    Workbench work;
    work.start(CellGrid(6, 5), nullptr, false);
    const CellGrid table = RandomTable(rng, 400, 0);
    const int students = static_cast<int>(table.rowCount()) - 1;
    work.openTable(table, ".", Talents(students), "高一.xlsx");
    const ClassSetup setup = SchoolSetup(5);
    work.setClassSetup(setup);
    QVERIFY(work.assign());
    const DivisionState& state = work.division().state();
    QCOMPARE(state.FClasses[0].size(), std::size_t(45));
    QCOMPARE(state.FClasses[1].size(), std::size_t(45));
    const std::vector<int> groups = GroupOfClasses(state, setup);

    work.setSubject(1);
    work.press();
    QCOMPARE(GroupOfClasses(work.division().state(), setup), groups);
    const OptimiseInput input = work.prepareBalance();
    QCOMPARE(input.groups.classes.size(), std::size_t(3));
    work.finishBalance(input, Optimise(input, Quick()));
    QCOMPARE(GroupOfClasses(work.division().state(), setup), groups);
    QCOMPARE(work.division().state().FClasses[0].size(), std::size_t(45));

    // 公开分班 follows it too, and 核验 of the saved file redoes the same division.
    const PublicRequest request = work.preparePublic(work.division().options(), "2026", {});
    QCOMPARE(request.options.setup, setup);
    work.finishPublic(request, RunPublicDivision(request, Quick()));
    QCOMPARE(GroupOfClasses(work.division().state(), setup), groups);
    QTemporaryDir folder;
    const std::filesystem::path file = std::filesystem::path(folder.path().toStdString()) / "公开.fenban";
    work.save(file);
    DivisionState recorded, redone;
    DivisionCheck check = ReadDivisionFileCheck(file, recorded, redone);
    QCOMPARE(check.inputFingerprint, work.division().inputFingerprint());
    QVERIFY(check.otherVersion.empty());
    RedoDivision(redone, check, Quick(), &recorded);
    QVERIFY2(check.matches(), DifferenceSummary(check).c_str());

    // Changes after it: the input fingerprint stays, 核验 redoes the division
    // from the table as first read (its 特长 column too) and replays them.
    const Division& division = work.division();
    const std::string published = division.inputFingerprint();
    const auto arrivals = ChangeStudy::ofArrivals(division, ReadArrivalRows(division, LateRows(division, rng, 2)));
    const ArrivalPlan plan = arrivals->weigher().placeArrivals(false);
    work.applyChange(StepKind::AddStudents, arrivals->entry(&plan.best, {"2026-09-01", "", "", ""}));
    const auto leaving = ChangeStudy::ofLeaver(division, 7);
    const std::vector<Proposal> even = leaving->weigher().evenSizes();
    work.applyChange(StepKind::RemoveStudent,
        leaving->entry(even.empty() ? nullptr : &even.front(), {"2026-09-02", "", "", "转学"}));
    QCOMPARE(division.inputFingerprint(), published);
    const std::filesystem::path changed = std::filesystem::path(folder.path().toStdString()) / "变更.fenban";
    work.save(changed);
    DivisionState recordedAfter, redoneAfter;
    DivisionCheck checkAfter = ReadDivisionFileCheck(changed, recordedAfter, redoneAfter);
    QCOMPARE(checkAfter.inputFingerprint, published);
    RedoDivision(redoneAfter, checkAfter, Quick(), &recordedAfter);
    QVERIFY2(checkAfter.changeFailure.empty(), checkAfter.changeFailure.c_str());
    QCOMPARE(checkAfter.replayed, std::size_t(2));
    QVERIFY2(checkAfter.matches(), DifferenceSummary(checkAfter).c_str());
}

void TestClassSetupWork::missingColumnPausesTheSetup()
{
    std::mt19937_64 rng(8);
    Workbench work;
    work.start(CellGrid(6, 5), nullptr, false);
    work.openTable(RandomTable(rng, 200, 0), ".", Talents(200), "甲.xlsx");
    work.setClassSetup(SchoolSetup(3));
    QVERIFY(work.division().setupPause().empty());
    // Another table without the 特长 column: the set-up stays, but 编班 and the fingerprint do without it.
    work.openTable(RandomTable(rng, 200, 0), ".", {}, "乙.xlsx");
    QCOMPARE(work.division().settings().setup, SchoolSetup(3));
    QCOMPARE(work.division().setupPause(), std::string("表格中没有班级设置用到的列“特长”：班级设置暂不使用。"));
    QVERIFY(work.division().options().setup.empty());
    QCOMPARE(work.division().inputFingerprint(),
        InputFingerprint(work.division().state(), {work.division().classCount(), true, 10, {}}));
    QVERIFY(work.assign());
    // Sizes the grade does not fit stop 编班 before anything changes.
    ClassSetup small;
    small.classes = {{"1班", 50, ClassKind::Parallel, {}, {}}, {"2班", 50, ClassKind::Parallel, {}, {}}};
    work.setClassSetup(small);
    const std::vector<int> before = ClassesOfRecords(work.division().state());
    QVERIFY_THROWS_EXCEPTION(ClassSetupError, work.assign());
    QCOMPARE(ClassesOfRecords(work.division().state()), before);
}

// Late students, requested moves and leavers on random grades and set-ups:
// nobody leaves his group, a late 体育 student goes to a 体育班 and any other
// to a 平行班, a move across groups is refused naming both, sizes hold.
void TestClassSetupWork::changesKeepTheGroupsAndSizes()
{
    for (unsigned round = 0; round < 8; ++round) {
        std::mt19937_64 rng(40 + round);
        Workbench work;
        work.start(CellGrid(6, 5), nullptr, false);
        CellGrid table = RandomTable(rng, 150 + static_cast<int>(rng() % 80), 0);
        for (int r = 1; r < static_cast<int>(table.rowCount()); ++r)
            table.setCell(ClassColumn, r, {}); // nobody placed by hand
        const int rows = static_cast<int>(table.rowCount()) - 1;
        work.openTable(table, ".", Talents(rows), "高一.xlsx");
        work.setSoundAlike(false);
        const ClassSetup setup = RandomSetup(rng);
        work.setClassSetup(setup);
        QVERIFY(work.division().setupPause().empty());
        QVERIFY(work.assign());
        const Division& division = work.division();
        CheckGroupsAndSizes(division, "编班");
        const ClassGroups groups = GroupsOf(setup);
        const auto groupNamed = [&](std::string_view start) {
            for (std::size_t g = 0; g < groups.names.size(); ++g)
                if (groups.names[g].starts_with(start))
                    return static_cast<int>(g);
            return -1;
        };

        // Three late students, the middle one 体育.
        const std::vector<std::vector<std::string>> typed = LateRows(division, rng, 3);
        const auto arrivals = ChangeStudy::ofArrivals(division, ReadArrivalRows(division, typed));
        const ArrivalPlan plan = arrivals->weigher().placeArrivals(round % 2 == 0);
        for (std::size_t k = 0; k < arrivals->newcomers().size(); ++k) {
            const int wanted = k == 1 && groupNamed("特长班") >= 0 ? groupNamed("特长班") : groupNamed("平行班");
            QCOMPARE(arrivals->groups().groupOfRecord[static_cast<std::size_t>(arrivals->newcomers()[k])], wanted);
        }
        // The proposal names the classes as the set-up does.
        const int firstClass = plan.best.moves.front().classNo;
        QVERIFY(arrivals->movesText(plan.best).find(setup.classes[static_cast<std::size_t>(firstClass - 1)].name)
            != std::string::npos);
        work.applyChange(StepKind::AddStudents, arrivals->entry(&plan.best, {"2026-09-01", "", "补录", ""}));
        CheckGroupsAndSizes(division, "插班");

        // Requested moves: across groups refused naming both, within one kept.
        const auto requests = ChangeStudy::ofRequest(division);
        const std::vector<int> classes = ClassesOfRecords(division.state());
        for (int tries = 0; tries < 12; ++tries) {
            const int student = static_cast<int>(rng() % classes.size());
            const int target = 1 + static_cast<int>(rng() % setup.classes.size());
            const MovePlan move = requests->weigher().requestMove(student, target);
            const int from
                = groups.groupOfClass[static_cast<std::size_t>(classes[static_cast<std::size_t>(student)] - 1)];
            const int to = groups.groupOfClass[static_cast<std::size_t>(target - 1)];
            if (from != to) {
                QVERIFY(move.partners.empty() && !move.aloneAllowed);
                QVERIFY2(move.refusal.find(groups.names[static_cast<std::size_t>(from)]) != std::string::npos
                        && move.refusal.find(groups.names[static_cast<std::size_t>(to)]) != std::string::npos
                        && move.refusal.find(setup.classes[static_cast<std::size_t>(target - 1)].name)
                            != std::string::npos,
                    move.refusal.c_str());
            }
            for (const Proposal& partner : move.partners)
                for (const Placement& placed : partner.moves)
                    QCOMPARE(groups.groupOfClass[static_cast<std::size_t>(placed.classNo - 1)], from);
        }

        // A leaver, the classes of his group evened as proposed.
        const int leaver = static_cast<int>(rng() % division.state().Records.size());
        const auto leaving = ChangeStudy::ofLeaver(division, leaver);
        const std::vector<Proposal> even = leaving->weigher().evenSizes();
        work.applyChange(StepKind::RemoveStudent,
            leaving->entry(even.empty() ? nullptr : &even.front(), {"2026-09-03", "", "", "转学"}));
        CheckGroupsAndSizes(division, "转出");

        // 变更公示 and the 转出 sheet name the classes as the set-up does.
        std::set<std::string> names;
        for (const SetupClass& setupClass : setup.classes)
            names.insert(setupClass.name);
        NoticeOptions options;
        const OutputTable notice = ChangeNoticeOutput(division, options);
        QVERIFY(notice.rows.size() >= 4);
        for (const std::vector<OutputCell>& row : notice.rows)
            QVERIFY(CellText(row[4]) == "转出" || names.count(CellText(row[4])) == 1);
        const std::optional<OutputTable> left = LeftOutput(division);
        QVERIFY(left.has_value());
        QCOMPARE(names.count(CellText(left->rows.front()[3])), std::size_t(1));
    }
}

// The balance report with a set-up: one block per group, its row the group's
// students' figures and each class's largest gap against the group's means
// (counted here from the scores), and the table's rows group by group.
void TestClassSetupWork::reportCountsEachGroupOnItsOwn()
{
    for (unsigned round = 0; round < 6; ++round) {
        std::mt19937_64 rng(70 + round);
        Workbench work;
        work.start(CellGrid(6, 5), nullptr, false);
        CellGrid table = RandomTable(rng, 150 + static_cast<int>(rng() % 80), 0);
        for (int r = 1; r < static_cast<int>(table.rowCount()); ++r)
            table.setCell(ClassColumn, r, {});
        work.openTable(table, ".", Talents(static_cast<int>(table.rowCount()) - 1), "高一.xlsx");
        const ClassSetup setup = RandomSetup(rng);
        work.setClassSetup(setup);
        QVERIFY(work.assign());
        const DivisionState& state = work.division().state();
        const BalanceReport report = BalanceReportOf(work.division());
        const ClassGroups groups = GroupsOf(setup);
        QCOMPARE(report.blocks.size(), groups.classes.size());
        std::vector<std::string> labels;
        for (std::size_t g = 0; g < groups.classes.size(); ++g) {
            const BalanceReport::Block& block = report.blocks[g];
            QCOMPARE(block.classes, groups.classes[g]);
            QCOMPARE(block.name, groups.names[g]);
            std::array<long double, SubjectCount> sum {};
            int size = 0;
            for (const int c : block.classes)
                for (const PStudent student : state.FClasses[static_cast<std::size_t>(c)]) {
                    ++size;
                    for (int k = 0; k < SubjectCount; ++k)
                        sum[static_cast<std::size_t>(k)] += student->Scores[static_cast<std::size_t>(k)];
                }
            QCOMPARE(block.group.size, size);
            QVERIFY(std::fabs(block.group.mean - static_cast<double>(sum[0] / size)) < 1e-9);
            for (const int c : block.classes) {
                const TStudentList& list = state.FClasses[static_cast<std::size_t>(c)];
                double largest = 0;
                for (int k = 0; k < SubjectCount; ++k) {
                    if (!report.columnUsed[static_cast<std::size_t>(k)])
                        continue;
                    long double own = 0;
                    for (const PStudent student : list)
                        own += student->Scores[static_cast<std::size_t>(k)];
                    largest = std::max(largest,
                        std::fabs(static_cast<double>(
                            own / static_cast<long double>(list.size()) - sum[static_cast<std::size_t>(k)] / size)));
                }
                QVERIFY(std::fabs(report.classes[static_cast<std::size_t>(c)].largestGap - largest) < 1e-6);
                labels.push_back(setup.classes[static_cast<std::size_t>(c)].name);
            }
            labels.push_back(groups.names[g] + "全体");
        }
        labels.push_back("年级");
        const OutputTable sheet = BalanceOutput(work.division());
        for (std::size_t r = 0; r < labels.size(); ++r)
            QCOMPARE(CellText(sheet.rows[r][0]), labels[r]);
        for (const BalanceReport::BandBreach& breach : report.breaches)
            QVERIFY(breach.classNo >= 1 && breach.classNo <= setup.classCount());
    }
}

QTEST_GUILESS_MAIN(TestClassSetupWork)
#include "tst_classsetup_work.moc"
