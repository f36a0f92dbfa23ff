#include "choice/DivideWithinPlan.h"

#include "audit/PublicSeed.h"
#include "choice/PlanDivisionJson.h"
#include "document/PublicRun.h"
#include "engine/Assignment.h"
#include "engine/Division.h"
#include "engine/Statistics.h"
#include "roster/Gb18030.h"
#include "session/DivisionFile.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <optional>

namespace fenban {

namespace {

// The records of each group: every combination's students, best 总分 first
// (equal scores in roster order), dealt to the groups taking them so that each
// has received its share of every rank's prefix as nearly as can be.
std::vector<std::vector<std::size_t>> ShareAmongGroups(
    const DivisionState& grade, const std::vector<SubjectSet>& combinations, const ChoicePlan& plan)
{
    std::map<SubjectSet, std::vector<std::size_t>> byCombination;
    for (std::size_t i = 0; i < combinations.size(); ++i)
        if (combinations[i] != 0)
            byCombination[combinations[i]].push_back(i);
    std::vector<std::vector<std::size_t>> groups(plan.groups.size());
    for (auto& [combination, records] : byCombination) {
        std::stable_sort(records.begin(), records.end(),
            [&](std::size_t a, std::size_t b) { return grade.Records[a]->Scores[0] > grade.Records[b]->Scores[0]; });
        std::vector<std::pair<std::size_t, int>> quotas; // group, students
        int planned = 0;
        for (std::size_t g = 0; g < plan.groups.size(); ++g)
            for (const auto& [member, count] : plan.groups[g].members)
                if (member == combination && count > 0) {
                    quotas.emplace_back(g, count);
                    planned += count;
                }
        if (planned != static_cast<int>(records.size()))
            throw PlanInputError("方案中“" + CombinationName(combination) + "”有 " + std::to_string(planned)
                + " 人，表格中有 " + std::to_string(records.size()) + " 人：请重新排方案。");
        std::vector<long long> given(quotas.size(), 0);
        for (std::size_t rank = 0; rank < records.size(); ++rank) {
            // The group furthest behind its share of the first rank + 1 students.
            std::optional<std::size_t> pick;
            long long bestLag = 0;
            for (std::size_t q = 0; q < quotas.size(); ++q) {
                if (given[q] == quotas[q].second)
                    continue;
                const long long lag
                    = static_cast<long long>(quotas[q].second) * static_cast<long long>(rank + 1) - given[q] * planned;
                if (!pick || lag > bestLag) {
                    pick = q;
                    bestLag = lag;
                }
            }
            ++given[*pick];
            groups[quotas[*pick].first].push_back(records[rank]);
        }
    }
    for (std::vector<std::size_t>& records : groups)
        std::sort(records.begin(), records.end());
    return groups;
}

// A part of the grade as a roster of its own: copies of the records (in
// roster order), their rule texts without 固定.
DivisionState SubRoster(const DivisionState& grade, const std::vector<std::size_t>& records)
{
    DivisionState part;
    part.RuleTexts.columns = grade.RuleTexts.columns;
    for (const std::size_t i : records) {
        part.Records.push_back(std::make_unique<TStudent>(*grade.Records[i]));
        part.Records.back()->ClassNo = 0;
        part.Records.back()->Mark = ShortString<3>();
        std::vector<RuleCell> cells;
        if (i < grade.RuleTexts.cells.size())
            for (const RuleCell& cell : grade.RuleTexts.cells[i])
                if (grade.RuleTexts.columns[static_cast<std::size_t>(cell.column)].kind != RuleColumnKind::Fixed)
                    cells.push_back(cell);
        part.RuleTexts.cells.push_back(std::move(cells));
    }
    for (const auto& record : part.Records)
        part.FStudents.push_back(record.get());
    return part;
}

// Divides a part of the grade into `classes` classes as 编班 and 一键均衡 do;
// returns per class the positions (into `records`) of its students in list order.
std::vector<std::vector<std::size_t>> DividePart(const DivisionState& grade, const std::vector<std::size_t>& records,
    int classes, const DivisionOptions& options, const OptimiseControl& control)
{
    std::vector<std::vector<std::size_t>> lists(static_cast<std::size_t>(classes));
    if (classes == 1 || records.size() < 3 || static_cast<int>(records.size()) < classes) {
        for (std::size_t k = 0; k < records.size(); ++k)
            lists[k % lists.size()].push_back(k);
        return lists;
    }
    DivisionState part = SubRoster(grade, records);
    // 编班 dealing classes of even size (as around 固定 students), so no class
    // passes the plan's limit; then 一键均衡, which keeps the sizes.
    ResizeClassLists(part, classes);
    AssignClasses(part, classes, true);
    const OptimiseInput input = PrepareBalance(part, DivisionOptions {classes, options.soundAlike, options.bands});
    const OptimisedDivision answer = Optimise(input, control);
    CheckBalanced(input, answer);
    ApplyOptimised(part, answer);
    std::map<const TStudent*, std::size_t> position;
    for (std::size_t k = 0; k < part.Records.size(); ++k)
        position[part.Records[k].get()] = k;
    for (std::size_t c = 0; c < part.FClasses.size(); ++c)
        for (const PStudent student : part.FClasses[c])
            lists[c].push_back(position.at(student));
    return lists;
}

} // namespace

DividedByChoice DivideWithinPlan(const DivisionState& grade, const std::vector<SubjectSet>& combinations,
    const ChoicePlan& plan, const DivisionOptions& options, const OptimiseControl& control)
{
    DividedByChoice result;
    PlanDivision& division = result.division;
    division.plan = plan;
    division.combinations = combinations;
    division.combinations.resize(grade.Records.size(), 0);
    division.classNames = HomeClassNames(plan);
    division.classGroups = HomeClassGroups(plan);
    const std::vector<std::vector<std::size_t>> groups = ShareAmongGroups(grade, division.combinations, plan);

    // The walking students of each subject, in roster order.
    std::vector<std::pair<Elective, std::vector<std::size_t>>> walking;
    for (const WalkingSubject& subject : WalkingSubjects(plan)) {
        std::vector<std::size_t> records;
        for (std::size_t g = 0; g < groups.size(); ++g)
            for (const std::size_t i : groups[g])
                if ((division.combinations[i] & ~plan.groups[g].fixed & Bit(subject.subject)) != 0)
                    records.push_back(i);
        std::sort(records.begin(), records.end());
        walking.emplace_back(subject.subject, std::move(records));
    }

    // Progress over all parts, each weighing as many as its students.
    std::size_t total = 0, done = 0;
    for (const auto& records : groups)
        total += records.size();
    for (const auto& subject : walking)
        total += subject.second.size();
    OptimiseControl partControl = control;
    const auto run = [&](const std::vector<std::size_t>& records, int classes) {
        partControl.progress = [&, weight = records.size()](double fraction) {
            if (control.progress && total > 0)
                control.progress(
                    (static_cast<double>(done) + fraction * static_cast<double>(weight)) / static_cast<double>(total));
        };
        auto lists = DividePart(grade, records, classes, options, partControl);
        done += records.size();
        return lists;
    };
    const auto cancelled = [&] { return control.cancel != nullptr && control.cancel->load(); };

    DivisionState& state = result.state;
    state = CopyOf(grade);
    for (const auto& record : state.Records)
        record->ClassNo = 0;
    state.FClasses.assign(division.classNames.size(), {});
    std::size_t firstClass = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const auto lists = run(groups[g], plan.groups[g].classes);
        for (std::size_t c = 0; c < lists.size(); ++c)
            for (const std::size_t k : lists[c]) {
                TStudent* student = state.Records[groups[g][k]].get();
                student->ClassNo = static_cast<std::int32_t>(firstClass + c + 1);
                state.FClasses[firstClass + c].push_back(student);
            }
        firstClass += lists.size();
        if (cancelled()) {
            result.cancelled = true;
            return result;
        }
    }
    for (const auto& [subject, records] : walking) {
        const int classes = (static_cast<int>(records.size()) + plan.request.limit - 1) / plan.request.limit;
        const auto lists = run(records, classes);
        for (std::size_t c = 0; c < lists.size(); ++c) {
            TeachingClass& teaching = division.teaching.emplace_back();
            teaching.subject = subject;
            teaching.number = static_cast<int>(c) + 1;
            for (const std::size_t k : lists[c])
                teaching.records.push_back(records[k]);
        }
        if (cancelled()) {
            result.cancelled = true;
            return result;
        }
    }

    // The grade's figures over the students placed, in roster order.
    TStudentList placed;
    for (const PStudent student : state.FStudents)
        if (student->ClassNo > 0)
            placed.push_back(student);
    for (int s = 0; s < SubjectCount; ++s)
        state.FGradeAvg[static_cast<std::size_t>(s)] = SubjectAverage(placed, s);
    state.FClassAvg.assign(state.FClasses.size(), TSubjectValues {});
    state.FClassDev.assign(state.FClasses.size(), TSubjectValues {});
    ComputeClassStats(state);
    return result;
}

std::optional<PlanDivision> ReadChoiceCheck(
    const std::filesystem::path& file, const DivisionState& recorded, const DivisionState& redone, DivisionCheck& check)
{
    QJsonObject whole;
    ReadDivisionFile(file, &whole);
    std::optional<PlanDivision> plan = ReadPlanDivisionJson(whole, recorded.Records.size());
    if (!plan)
        return std::nullopt;
    check.expected = Sha256Hex(ResultCanonicalText(recorded) + ChoiceResultText(*plan));
    std::vector<std::string> names;
    for (const auto& record : recorded.Records)
        names.push_back(Gb18030ToUtf8(record->Name));
    plan->combinations = ReadChoices(recorded.ExtraTexts, names, {}, plan->plan.request.model).of;
    check.options.setup = {}; // the plan decides the classes; its names are in the plan
    check.inputFingerprint = Sha256Hex(InputCanonicalText(redone, check.options) + ChoiceInputText(*plan));
    return plan;
}

void RedoChoiceDivision(DivisionState& redone, DivisionCheck& check, const PlanDivision& plan, OptimiseControl control,
    const DivisionState* recorded)
{
    control.seed = SeedOfText(check.seedText);
    DividedByChoice again = DivideWithinPlan(redone, plan.combinations, plan.plan, check.options, control);
    check.redone = Sha256Hex(ResultCanonicalText(again.state) + ChoiceResultText(again.division));
    redone = std::move(again.state);
    if (recorded != nullptr) {
        const std::vector<int> first = ClassesOfRecords(*recorded);
        const std::vector<int> second = ClassesOfRecords(redone);
        check.differences = FirstDifferences(redone, first, second, DifferencesNamed);
        check.differing = 0;
        for (std::size_t i = 0; i < first.size() && i < second.size(); ++i)
            check.differing += first[i] != second[i] ? 1 : 0;
    }
}

DividedByChoice RunChoiceDivision(const ChoiceDivisionRequest& request, const OptimiseControl& control)
{
    OptimiseControl seeded = control;
    seeded.seed = SeedOfText(request.seedText);
    return DivideWithinPlan(*request.grade, request.combinations, request.plan, request.options, seeded);
}

} // namespace fenban
