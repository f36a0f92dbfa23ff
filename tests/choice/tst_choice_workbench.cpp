// 选科方案 and 选科分班 as steps of the Workbench: heard once, the plan an
// entry of the record only, the division an undo step with its entry; the
// input fingerprint covers the choices and the plan only while the division
// is the plan's, and a plain table's stays what it was.
#include "SessionTestKit.h"
#include "audit/Fingerprint.h"
#include "choice/DivideWithinPlan.h"
#include "document/PublicRun.h"
#include "document/Workbench.h"
#include "session/Session.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <random>

using namespace fenban;
using namespace fenban::sessiontest;

namespace {

OptimiseControl Quick()
{
    return QuickControl(3000);
}

// The roster's extra column 选科, one choice per student, the fifth without one.
RosterExtraTexts ChoiceColumn(std::size_t students)
{
    const char* const pool[] = {"物化生", "物化生", "物化地", "史政地", "物生地", "史生地", "物化政"};
    RosterExtraTexts extras;
    extras.headers = {"选科"};
    for (std::size_t i = 0; i < students; ++i)
        extras.cells.push_back({i == 4 ? std::string() : std::string(pool[(i * 7 + i / 3) % 7])});
    return extras;
}

} // namespace

class TestChoiceWorkbench : public QObject {
    Q_OBJECT

private slots:
    void planAndDivisionAreSteps()
    {
        std::mt19937_64 rng(5);
        Workbench work;
        std::vector<StepNotice> heard;
        work.listenToSteps([&heard](const StepNotice& notice) { heard.push_back(notice); });
        work.start(CellGrid(6, 5), nullptr, false);
        const CellGrid table = RandomTable(rng, 120, 0);
        work.openTable(table, ".", ChoiceColumn(120), "选科.xlsx");
        const std::string plain = work.division().inputFingerprint();
        QCOMPARE(plain, InputFingerprint(work.division().state(), work.division().options()));

        const StudentChoices choices = work.readChoices(std::nullopt);
        QCOMPARE(choices.invalid.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(choices.invalid[0]).left(5), QStringLiteral("第 6 行"));
        const ChoicePlan plan = MakeChoicePlan(PlanRequest {choices.model, CountCombinations(choices), 30, 0});

        heard.clear();
        const std::size_t done = work.session().history().stepsDone();
        work.acceptChoicePlan(plan, {"物化生 5 人移到物班"});
        QCOMPARE(heard.size(), std::size_t(1));
        QCOMPARE(heard[0].kind, StepKind::ChoicePlan);
        QCOMPARE(work.session().history().stepsDone(), done);
        const auto& record = work.division().publicState().record.entries();
        QCOMPARE(record.back().kind, RecordKind::ChoicePlan);
        QCOMPARE(record[record.size() - 2].text, std::string("改动方案：物化生 5 人移到物班"));
        QCOMPARE(work.division().inputFingerprint(), plain); // a plan alone changes nothing

        heard.clear();
        const ChoiceDivisionRequest request = work.prepareChoiceDivision(choices, plan, "7");
        DividedByChoice divided = RunChoiceDivision(request, Quick());
        work.finishChoiceDivision(request, std::move(divided.state), std::move(divided.division));
        QCOMPARE(heard.size(), std::size_t(1));
        QCOMPARE(heard[0].kind, StepKind::ChoiceDivision);
        QVERIFY(heard[0].recorded);
        QCOMPARE(work.session().undoText(), std::string("撤销 选科分班"));
        QCOMPARE(work.division().publicState().record.entries().back().kind, RecordKind::ChoiceDivision);
        const PlanDivision* kept = work.division().choiceDivision();
        QVERIFY(kept != nullptr);
        QCOMPARE(work.division().classCount(), plan.classCount());
        QCOMPARE(QString::fromStdString(PlanDivisionFault(work.division().state(), *kept)), QString());
        // The classes bear the home classes' names (物化生1班 …) wherever they are named.
        QCOMPARE(work.division().className(1, "1班"), kept->classNames.front());
        QCOMPARE(work.division().className(plan.classCount(), {}), kept->classNames.back());

        // The fingerprints: the choices and the plan's inputs are in them, and
        // recomputed from the texts they are the same.
        const std::string withPlan = work.division().inputFingerprint();
        QVERIFY(withPlan != plain);
        QCOMPARE(withPlan,
            Sha256Hex(InputCanonicalText(work.division().state(), work.division().options()) + ChoiceInputText(*kept)));
        QCOMPARE(work.division().resultFingerprint(),
            Sha256Hex(ResultCanonicalText(work.division().state()) + ChoiceResultText(*kept)));
        QVERIFY(work.division().publicState().record.entries().back().text.find(withPlan) != std::string::npos);

        // Saved and opened again: the plan comes back with the classes, and a
        // check of the file redoes the division within it to the same result.
        QTemporaryDir folder;
        const std::filesystem::path file = std::filesystem::path(folder.path().toStdString()) / "选科.fenban";
        work.save(file);
        Workbench opened;
        opened.start(CellGrid(6, 5), nullptr, false);
        opened.openDivision(file);
        QVERIFY(opened.division().choiceDivision() != nullptr);
        QVERIFY(*opened.division().choiceDivision() == *kept);
        QCOMPARE(opened.division().inputFingerprint(), withPlan);
        QCOMPARE(opened.division().resultFingerprint(), work.division().resultFingerprint());
        DivisionState recorded, redone;
        DivisionCheck check = ReadDivisionFileCheck(file, recorded, redone);
        const std::optional<PlanDivision> filed = ReadChoiceCheck(file, recorded, redone, check);
        QVERIFY(filed.has_value());
        QCOMPARE(check.inputFingerprint, withPlan);
        RedoChoiceDivision(redone, check, *filed, Quick(), &recorded);
        QVERIFY(check.matches());
        QCOMPARE(check.differing, std::size_t(0));

        // A plan that does not add up is a damaged file: opening it changes nothing.
        QFile saved(QString::fromStdU16String(file.u16string()));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QJsonObject whole = QJsonDocument::fromJson(saved.readAll()).object();
        saved.close();
        QJsonObject choice = whole[QStringLiteral("choice")].toObject();
        QJsonArray groups = choice[QStringLiteral("groups")].toArray();
        QJsonObject first = groups[0].toObject();
        first[QStringLiteral("classes")] = 99;
        groups[0] = first;
        choice[QStringLiteral("groups")] = groups;
        whole[QStringLiteral("choice")] = choice;
        const std::filesystem::path damaged = file.parent_path() / "坏.fenban";
        QFile out(QString::fromStdU16String(damaged.u16string()));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(whole).toJson());
        out.close();
        const std::string before = opened.division().resultFingerprint();
        QVERIFY_THROWS_EXCEPTION(Failure, opened.openDivision(damaged));
        QCOMPARE(opened.division().resultFingerprint(), before);

        // Undo leaves a division without a plan: the plain fingerprint again;
        // redo brings the plan back with its fingerprints.
        const std::string result = work.division().resultFingerprint();
        work.undo();
        QVERIFY(work.division().choiceDivision() == nullptr);
        QCOMPARE(work.division().className(1, "1班"), std::string("1班"));
        QCOMPARE(
            work.division().inputFingerprint(), InputFingerprint(work.division().state(), work.division().options()));
        work.redo();
        QVERIFY(work.division().choiceDivision() != nullptr);
        QVERIFY(*work.division().choiceDivision() == *kept);
        QCOMPARE(work.division().inputFingerprint(), withPlan);
        QCOMPARE(work.division().resultFingerprint(), result);
    }

    void planThatDoesNotHoldIsRefused()
    {
        std::mt19937_64 rng(6);
        Workbench work;
        work.start(CellGrid(6, 5), nullptr, false);
        work.openTable(RandomTable(rng, 60, 0), ".", ChoiceColumn(60), "选科.xlsx");
        const StudentChoices choices = work.readChoices(ChoiceModel::FirstThenTwo);
        ChoicePlan plan = MakeChoicePlan(PlanRequest {choices.model, CountCombinations(choices), 20, 0});
        SetGroupClasses(plan, 0, plan.groups[0].size()); // more classes than rooms
        QVERIFY_THROWS_EXCEPTION(DivisionInputError, work.prepareChoiceDivision(choices, plan, "1"));
        QVERIFY(work.division().choiceDivision() == nullptr);
    }
};

QTEST_GUILESS_MAIN(TestChoiceWorkbench)
#include "tst_choice_workbench.moc"
