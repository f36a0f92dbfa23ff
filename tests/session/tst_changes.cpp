// Changes after a division: the proposals against a brute force that tries
// every class and every partner, and the changes kept, saved, undone and
// replayed by the check of a division file.
#include "SessionTestKit.h"
#include "audit/Fingerprint.h"
#include "document/AfterChanges.h"
#include "document/PublicRun.h"
#include "document/Workbench.h"
#include "engine/Division.h"
#include "engine/RankGroups.h"
#include "engine/RuleCheck.h"
#include "engine/Statistics.h"
#include "rules/RuleBuilder.h"
#include "session/DivisionFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <tuple>

using namespace fenban;

namespace {

// A small grade with school rules: 同班 pairs, 不同班 pairs and a 均衡 column.
CellGrid RuleTable(std::mt19937_64& rng, int students)
{
    const std::vector<std::string> header {
        "", "姓名", "性别", "班级", "总分", "语文", "数学", "同班", "不同班", "均衡生源"};
    CellGrid grid(static_cast<int>(header.size()), students + 1);
    for (int c = 0; c < grid.colCount(); ++c)
        grid.setCell(c, 0, header[static_cast<std::size_t>(c)]);
    std::uniform_int_distribution<int> score(80, 199); // half points
    std::uniform_int_distribution<int> dice(0, 9);
    for (int r = 1; r <= students; ++r) {
        grid.setCell(0, r, std::to_string(r));
        grid.setCell(1, r, "生" + std::to_string(r));
        grid.setCell(2, r, dice(rng) < 5 ? "男" : "女");
        const double a = score(rng) / 2.0, b = score(rng) / 2.0;
        grid.setCell(4, r, std::to_string(a + b));
        grid.setCell(5, r, std::to_string(a));
        grid.setCell(6, r, std::to_string(b));
        if (dice(rng) == 0)
            grid.setCell(7, r, "T" + std::to_string(r / 4));
        if (dice(rng) == 0)
            grid.setCell(8, r, "A" + std::to_string(r / 6));
        if (dice(rng) < 3)
            grid.setCell(9, r, dice(rng) < 5 ? "甲校" : "乙校");
    }
    return grid;
}

// The work divided: read, classes, 编班.
void Divided(Workbench& work, std::mt19937_64& rng, int students, int classes)
{
    work.start(CellGrid(6, 5), nullptr, false);
    work.readTable(RuleTable(rng, students), ".");
    work.setClassCount(classes);
    work.assign();
}

std::vector<std::string> NewRow(std::mt19937_64& rng, int k)
{
    std::uniform_int_distribution<int> score(80, 199);
    const double a = score(rng) / 2.0, b = score(rng) / 2.0;
    return {"新" + std::to_string(k), k % 2 == 0 ? "男" : "女", std::to_string(a + b), std::to_string(a),
        std::to_string(b), "", "", ""};
}

// How the brute force ranks a division: its genders, bands and total as shown.
struct Weighed {
    bool sizesKept = false, rulesKept = false;
    int genderExcess = 0, bandsOut = 0;
    long long total = 0;
};

std::set<std::pair<int, int>> Breaches(const DivisionRules& rules, const std::vector<int>& classOf, int classes)
{
    std::set<std::pair<int, int>> found;
    for (const RuleBreach& breach : FindRuleBreaches(rules, classOf, classes))
        found.insert({static_cast<int>(breach.kind), breach.group});
    return found;
}

int Spread(const std::vector<int>& counts)
{
    return *std::max_element(counts.begin(), counts.end()) - *std::min_element(counts.begin(), counts.end());
}

// The division of `start` after `moves`, counted from scratch.
Weighed WeighByHand(const DivisionState& start, int classes, const DivisionRules& rules, int bands,
    const std::vector<Placement>& moves, const std::vector<int>& classBefore)
{
    DivisionState state = CopyOf(start);
    for (const Placement& move : moves) {
        TStudent* student = state.Records[static_cast<std::size_t>(move.record)].get();
        for (TStudentList& list : state.FClasses)
            list.erase(std::remove(list.begin(), list.end(), student), list.end());
        state.FClasses[static_cast<std::size_t>(move.classNo - 1)].push_back(student);
    }
    const std::vector<int> classOf = ClassesOfRecords(state);
    Weighed weighed;
    const auto counts = [&](const std::vector<int>& of, auto&& counted) {
        std::vector<int> sizes(static_cast<std::size_t>(classes), 0);
        for (std::size_t r = 0; r < of.size(); ++r)
            if (of[r] > 0 && counted(*state.Records[r]))
                ++sizes[static_cast<std::size_t>(of[r] - 1)];
        return sizes;
    };
    const auto all = [](const TStudent&) { return true; };
    const auto boys = [](const TStudent& s) { return s.Gender == MaleGender; };
    const auto girls = [](const TStudent& s) { return s.Gender == FemaleGender; };
    weighed.sizesKept = Spread(counts(classOf, all)) <= std::max(1, Spread(counts(classBefore, all)));
    const std::set<std::pair<int, int>> before = Breaches(rules, classBefore, classes);
    weighed.rulesKept = true;
    for (const auto& breach : Breaches(rules, classOf, classes))
        weighed.rulesKept = weighed.rulesKept && before.count(breach) == 1;
    weighed.genderExcess = std::max(0, Spread(counts(classOf, boys)) - std::max(1, Spread(counts(classBefore, boys))))
        + std::max(0, Spread(counts(classOf, girls)) - std::max(1, Spread(counts(classBefore, girls))));
    for (const RankGroup& group : MakeRankGroups(state, classOf, classes, RankBalance {bands})) {
        const int k = static_cast<int>(group.records.size());
        std::vector<int> inClass(static_cast<std::size_t>(classes), 0);
        for (const int r : group.records)
            ++inClass[static_cast<std::size_t>(classOf[static_cast<std::size_t>(r)] - 1)];
        for (const int n : inClass)
            weighed.bandsOut += n < k / classes || n > (k + classes - 1) / classes ? 1 : 0;
    }
    for (int s = 0; s < SubjectCount; ++s)
        state.FGradeAvg[static_cast<std::size_t>(s)] = SubjectAverage(state.FStudents, s);
    state.FClassAvg.assign(static_cast<std::size_t>(classes), TSubjectValues {});
    ComputeClassStats(state);
    for (const TSubjectValues& row : state.FClassDev)
        for (const long double deviation : row)
            weighed.total += std::llround(std::fabs(static_cast<double>(deviation)) * 100);
    return weighed;
}

auto KeyOf(const Weighed& w)
{
    return std::tuple(w.genderExcess, w.bandsOut, w.total);
}

bool Movable(const DivisionState& state, const DivisionRules& rules, int record)
{
    if (state.Records[static_cast<std::size_t>(record)]->IsHandPlacedForBalancing())
        return false;
    for (const auto& [student, classNo] : rules.fixed)
        if (student == record)
            return false;
    for (const std::vector<int>& group : rules.together)
        if (group.size() > 1 && std::find(group.begin(), group.end(), record) != group.end())
            return false;
    return true;
}

// Each record's band of its gender with 10 bands over the placed students.
std::map<int, int> BandOf(const DivisionState& state, int classes)
{
    std::map<int, int> band;
    const std::vector<int> everyone(state.Records.size(), 1);
    for (const RankGroup& group : MakeRankGroups(state, everyone, classes, RankBalance {DefaultRankBands}))
        if (group.kind == RankGroup::Kind::Band)
            for (const int r : group.records)
                band[r] = group.band;
    return band;
}

} // namespace

class TestChanges : public QObject {
    Q_OBJECT

private slots:
    void arrivalIsTheBestClassAndNoExchangeDoesBetter();
    void requestedMovePartnersAreTheBestFive();
    void leaverEvenedByTheBestMove();
    void changesAreKeptUndoneSavedAndReplayed();
    void badRowsAreNamed();
};

void TestChanges::arrivalIsTheBestClassAndNoExchangeDoesBetter()
{
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937_64 rng(seed);
        Workbench work;
        Divided(work, rng, 24 + static_cast<int>(seed % 5) * 3, 3 + static_cast<int>(seed % 3));
        const Division& division = work.division();
        const ArrivalRows rows = ReadArrivalRows(division, {NewRow(rng, static_cast<int>(seed))});
        const auto study = ChangeStudy::ofArrivals(division, rows);
        const DivisionState& state = study->state();
        const int classes = static_cast<int>(state.FClasses.size());
        const DivisionRules rules = BuildDivisionRules(state, classes, division.settings().soundAlike);
        const int bands = division.settings().rankBands;
        const std::vector<int> before = ClassesOfRecords(state);
        const int newcomer = study->newcomers().front();

        std::optional<std::pair<std::tuple<int, int, long long>, int>> best;
        for (int c = 1; c <= classes; ++c) {
            const Weighed w = WeighByHand(state, classes, rules, bands, {{newcomer, c}}, before);
            if (w.sizesKept && w.rulesKept && (!best || KeyOf(w) < best->first))
                best = std::pair(KeyOf(w), c);
        }
        QVERIFY(best.has_value());
        const ArrivalPlan plan = study->weigher().placeArrivals(false);
        QCOMPARE(plan.best.moves.size(), std::size_t(1));
        QCOMPARE(plan.best.moves.front().classNo, best->second);
        QCOMPARE(plan.best.after.totalHundredths, std::get<2>(best->first));
        QVERIFY(!plan.choices.front().empty() && plan.choices.front().size() <= 3);

        // With one exchange allowed: no exchange between two other classes does better.
        const ArrivalPlan swapped = study->weigher().placeArrivals(true);
        QCOMPARE(swapped.best.moves.front(), plan.best.moves.front());
        const int target = plan.best.moves.front().classNo;
        const auto keyWith = [&](const std::vector<Placement>& extra) {
            std::vector<Placement> moves {{newcomer, target}};
            moves.insert(moves.end(), extra.begin(), extra.end());
            return WeighByHand(state, classes, rules, bands, moves, before);
        };
        const Weighed chosen = keyWith(swapped.best.exchangeFirst < 0
                ? std::vector<Placement> {}
                : std::vector<Placement>(swapped.best.moves.begin() + 1, swapped.best.moves.end()));
        QVERIFY(chosen.rulesKept);
        const std::map<int, int> band = BandOf(state, classes);
        for (int a = 0; a < newcomer; ++a)
            for (int b = a + 1; b < newcomer; ++b) {
                const int ca = before[static_cast<std::size_t>(a)], cb = before[static_cast<std::size_t>(b)];
                if (ca == cb || ca == target || cb == target || !Movable(state, rules, a) || !Movable(state, rules, b)
                    || !(state.Records[static_cast<std::size_t>(a)]->Gender
                        == state.Records[static_cast<std::size_t>(b)]->Gender)
                    || band.at(a) != band.at(b))
                    continue;
                const Weighed other = keyWith({{a, cb}, {b, ca}});
                if (other.rulesKept)
                    QVERIFY2(!(KeyOf(other) < KeyOf(chosen)),
                        qPrintable(
                            QStringLiteral("seed %1: exchanging %2 and %3 does better").arg(seed).arg(a).arg(b)));
            }
    }
}

void TestChanges::requestedMovePartnersAreTheBestFive()
{
    for (unsigned seed = 1; seed <= 10; ++seed) {
        std::mt19937_64 rng(100 + seed);
        Workbench work;
        Divided(work, rng, 30, 3);
        const Division& division = work.division();
        const auto study = ChangeStudy::ofRequest(division);
        const DivisionState& state = study->state();
        const int classes = 3;
        const DivisionRules rules = BuildDivisionRules(state, classes, division.settings().soundAlike);
        const std::vector<int> before = ClassesOfRecords(state);
        const std::map<int, int> band = BandOf(state, classes);
        const int student = static_cast<int>(seed * 7 % state.Records.size());
        const int from = before[static_cast<std::size_t>(student)];
        const int target = from % classes + 1;
        const MovePlan plan = study->weigher().requestMove(student, target);
        if (!Movable(state, rules, student)) {
            QVERIFY(!plan.refusal.empty()); // 固定 or 同班: said, not proposed
            continue;
        }
        std::vector<std::pair<std::tuple<int, long long, int, int>, int>> ranked;
        for (int p = 0; p < static_cast<int>(state.Records.size()); ++p) {
            if (before[static_cast<std::size_t>(p)] != target || !Movable(state, rules, p)
                || !(state.Records[static_cast<std::size_t>(p)]->Gender
                    == state.Records[static_cast<std::size_t>(student)]->Gender))
                continue;
            const Weighed w = WeighByHand(
                state, classes, rules, division.settings().rankBands, {{student, target}, {p, from}}, before);
            if (w.rulesKept)
                ranked.push_back({{std::abs(band.at(p) - band.at(student)), w.total, w.bandsOut, p}, p});
        }
        std::sort(ranked.begin(), ranked.end());
        QCOMPARE(plan.partners.size(), std::min<std::size_t>(5, ranked.size()));
        for (std::size_t k = 0; k < plan.partners.size(); ++k) {
            QCOMPARE(plan.partners[k].moves.at(1).record, ranked[k].second);
            QCOMPARE(plan.partners[k].after.totalHundredths, std::get<1>(ranked[k].first));
        }
        if (ranked.empty() && !plan.aloneAllowed)
            QVERIFY(!plan.refusal.empty());
    }
}

void TestChanges::leaverEvenedByTheBestMove()
{
    std::mt19937_64 rng(7);
    Workbench work;
    Divided(work, rng, 30, 3); // classes of 10
    const Division& division = work.division();
    // Two leave class 1: 8 against 10 and 10.
    for (int left = 0; left < 2; ++left) {
        int record = 0;
        while (ClassesOfRecords(division.state())[static_cast<std::size_t>(record)] != 1)
            ++record;
        const auto study = ChangeStudy::ofLeaver(division, record);
        const std::vector<Proposal> even = study->weigher().evenSizes();
        if (left == 0) {
            QVERIFY(even.empty()); // 9, 10, 10: within one
            work.applyChange(StepKind::RemoveStudent, study->entry(nullptr, {"2026-09-01", "", "随父母迁居", "转学"}));
            continue;
        }
        QCOMPARE(even.size(), std::size_t(1));
        const DivisionState& state = study->state();
        const DivisionRules rules = BuildDivisionRules(state, 3, division.settings().soundAlike);
        const std::vector<int> before = ClassesOfRecords(state);
        std::optional<std::pair<std::tuple<int, int, long long, int, int>, Placement>> best;
        for (int r = 0; r < static_cast<int>(state.Records.size()); ++r)
            if (before[static_cast<std::size_t>(r)] != 1 && Movable(state, rules, r)) {
                const Weighed w = WeighByHand(state, 3, rules, division.settings().rankBands, {{r, 1}}, before);
                const auto key = std::tuple(w.genderExcess, w.bandsOut, w.total, r, 1);
                if (w.rulesKept && (!best || key < best->first))
                    best = std::pair(key, Placement {r, 1});
            }
        QVERIFY(best.has_value());
        QCOMPARE(even.front().moves.front(), best->second);
        work.applyChange(StepKind::RemoveStudent, study->entry(&even.front(), {"2026-09-02", "", "", "退学"}));
    }
    QCOMPARE(division.after()->left.size(), std::size_t(2));
    std::vector<int> sizes;
    for (const TStudentList& list : division.state().FClasses)
        sizes.push_back(static_cast<int>(list.size()));
    QCOMPARE(Spread(sizes), 1);
    QCOMPARE(division.state().Records.size(), std::size_t(28));
}

void TestChanges::changesAreKeptUndoneSavedAndReplayed()
{
    QTemporaryDir folder;
    std::mt19937_64 rng(5);
    Workbench work;
    work.start(CellGrid(6, 5), nullptr, false);
    work.openTable(RuleTable(rng, 60), ".", {}, "初一.xlsx");
    const PublicRequest request = work.preparePublic({4, true, DefaultRankBands}, "12345", {});
    OptimiseControl control;
    control.threads = 1;
    control.effort = 3000;
    work.finishPublic(request, RunPublicDivision(request, control));
    const Division& division = work.division();
    const std::string input = division.inputFingerprint();
    const std::string published = division.resultFingerprint();

    // A late pair, a leaver and a request, each one step.
    const auto arrivals
        = ChangeStudy::ofArrivals(division, ReadArrivalRows(division, {NewRow(rng, 1), NewRow(rng, 2)}));
    const ArrivalPlan plan = arrivals->weigher().placeArrivals(true);
    work.applyChange(StepKind::AddStudents, arrivals->entry(&plan.best, {"2026-09-01", "教务处", "补录", ""}));
    QCOMPARE(division.state().Records.size(), std::size_t(62));
    // The figures proposed are those the document publishes once the change is made.
    QVERIFY(division.shown().hasTotal);
    QCOMPARE(std::llround(static_cast<double>(division.shown().total) * 100), plan.best.after.totalHundredths);
    const std::string afterArrivals = division.resultFingerprint();
    work.applyChange(StepKind::RemoveStudent,
        ChangeStudy::ofLeaver(division, 3)->entry(nullptr, {"2026-09-03", "", "随父母迁居", "转学"}));
    const auto requests = ChangeStudy::ofRequest(division);
    int student = 0;
    MovePlan move;
    for (;; ++student) {
        move = requests->weigher().requestMove(
            student, ClassesOfRecords(division.state())[static_cast<std::size_t>(student)] % 4 + 1);
        if (!move.partners.empty())
            break;
    }
    work.applyChange(
        StepKind::RequestMove, requests->entry(&move.partners.front(), {"2026-09-05", "家长", "双胞胎分开", ""}));
    QCOMPARE(division.after()->changes.size(), std::size_t(3));
    QCOMPARE(division.inputFingerprint(), input); // changes are no input
    QCOMPARE(division.after()->changes.front().resultBefore, published);
    const std::string last = division.resultFingerprint();
    QCOMPARE(division.after()->changes.back().resultAfter, last);

    // Undone and redone: the fingerprints travel with the steps.
    work.undo();
    work.undo();
    QCOMPARE(division.resultFingerprint(), afterArrivals);
    work.redo();
    work.redo();
    QCOMPARE(division.resultFingerprint(), last);

    // Saved, read back whole, and replayed by the check from the seed.
    const std::filesystem::path file = std::filesystem::path(folder.path().toStdString()) / "变更.fenban";
    work.save(file);
    Workbench reopened;
    reopened.start(CellGrid(6, 5), nullptr, false);
    reopened.openDivision(file);
    QCOMPARE(reopened.division().resultFingerprint(), last);
    QCOMPARE(reopened.division().inputFingerprint(), input);
    QVERIFY(*reopened.division().after() == *division.after());
    DivisionState recorded, redone;
    DivisionCheck check = ReadDivisionFileCheck(file, recorded, redone);
    QCOMPARE(check.inputFingerprint, input);
    RedoDivision(redone, check, control, &recorded);
    QVERIFY2(check.matches(), check.changeFailure.c_str());
    QCOMPARE(check.replayed, std::size_t(3));

    // The change list reordered: the check names the first entry that does not replay.
    QFile in(QString::fromStdString(file.string()));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QJsonObject root = QJsonDocument::fromJson(in.readAll()).object();
    in.close();
    QJsonObject after = root.value(QStringLiteral("afterDivision")).toObject();
    QJsonArray changes = after.value(QStringLiteral("changes")).toArray();
    const QJsonValue first = changes.at(1);
    changes.replace(1, changes.at(2));
    changes.replace(2, first);
    after.insert(QStringLiteral("changes"), changes);
    root.insert(QStringLiteral("afterDivision"), after);
    const std::filesystem::path tampered = std::filesystem::path(folder.path().toStdString()) / "改过.fenban";
    QFile out(QString::fromStdString(tampered.string()));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QJsonDocument(root).toJson());
    out.close();
    DivisionState recorded2, redone2;
    DivisionCheck tamperedCheck = ReadDivisionFileCheck(tampered, recorded2, redone2);
    RedoDivision(redone2, tamperedCheck, control, &recorded2);
    QVERIFY(!tamperedCheck.matches());
    QVERIFY2(tamperedCheck.changeFailure.find("第 2 条变更") == 0, tamperedCheck.changeFailure.c_str());
    QCOMPARE(tamperedCheck.replayed, std::size_t(1));
}

void TestChanges::badRowsAreNamed()
{
    std::mt19937_64 rng(3);
    Workbench work;
    Divided(work, rng, 20, 2);
    const Division& division = work.division();
    const auto problem = [&](const std::vector<std::string>& row) {
        try {
            ReadArrivalRows(division, {NewRow(rng, 1), row});
        } catch (const ChangeInputError& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    QCOMPARE(problem({"王五", "", "100"}), std::string("第 2 行（王五）的性别须是“男”或“女”，现在是空的。"));
    QCOMPARE(problem({"王五", "男", "一百"}), std::string("第 2 行（王五）的总分“一百”不是分数。"));
    QCOMPARE(problem({"", "男", "100"}), std::string("第 2 行没有姓名。"));
    // Before 编班 there is nothing to place into.
    Workbench fresh;
    fresh.start(CellGrid(6, 5), nullptr, false);
    fresh.readTable(RuleTable(rng, 10), ".");
    QVERIFY_THROWS_EXCEPTION(ChangeInputError, ChangeStudy::ofRequest(fresh.division()));
}

QTEST_GUILESS_MAIN(TestChanges)
#include "tst_changes.moc"
