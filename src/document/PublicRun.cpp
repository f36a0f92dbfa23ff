#include "document/PublicRun.h"

#include "audit/PublicDivision.h"
#include "audit/PublicSeed.h"
#include "common/Version.h"
#include "engine/Division.h"
#include "engine/RuleCheck.h"
#include "roster/Gb18030.h"
#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"
#include "rules/RuleBuilder.h"
#include "rules/RuleMessages.h"
#include "session/DivisionFile.h"

namespace fenban {

CellGrid TableGrid(const TableRows& table)
{
    FieldRows rows;
    rows.reserve(table.size());
    for (const std::vector<std::string>& row : table)
        rows.emplace_back(row.begin(), row.end());
    CellGrid grid(RosterColumns, 2);
    SizeGridForTable(grid, rows);
    FillGridWithTable(grid, rows);
    return grid;
}

std::vector<std::string> ReadRoster(const TableRows& table, std::string_view decimalSeparator, DivisionState& state)
{
    return ReadRosterFromGrid(TableGrid(table), decimalSeparator, state);
}

std::vector<std::string> ReadRosterFromGrid(
    const CellGrid& grid, std::string_view decimalSeparator, DivisionState& state, int* proposedClassCount)
{
    EndDivision(state);
    BuiltRoster built = BuildRosterFromGrid(grid, decimalSeparator);
    state.Records = std::move(built.students);
    state.RuleTexts = std::move(built.rules);
    state.FStudents.reserve(state.Records.size());
    for (const auto& record : state.Records)
        state.FStudents.push_back(record.get());
    if (proposedClassCount != nullptr)
        *proposedClassCount = built.proposedClassCount;
    return {built.subjectNames.begin(), built.subjectNames.end()};
}

void CheckClassCount(const DivisionState& state, int classCount)
{
    if (static_cast<int>(state.Records.size()) < classCount)
        throw DivisionInputError(
            "分班数 " + std::to_string(classCount) + " 多于学生人数 " + std::to_string(state.Records.size()) + "。");
}

OptimiseInput PrepareBalance(const DivisionState& state, const DivisionOptions& options)
{
    DivisionRules rules = BuildDivisionRules(state, options.classCount, options.soundAlike);
    const std::vector<RuleConflict> conflicts = FindRuleConflicts(state, options.classCount, rules);
    if (!conflicts.empty())
        throw DivisionInputError(ConflictMessage(conflicts, rules, state, options.classCount));
    return {std::make_shared<const DivisionState>(CopyOf(state)), std::move(rules), options.classCount,
        RankBalance {options.bands}, options.setup.empty() ? ClassGroups {} : GroupsOf(options.setup)};
}

void CheckBalanced(const OptimiseInput& input, const OptimisedDivision& answer)
{
    if (!answer.result.conflicts.empty())
        throw DivisionInputError(ConflictMessage(answer.result.conflicts, input.rules, *input.state, input.classCount));
}

void ApplyOptimised(DivisionState& state, const OptimisedDivision& answer)
{
    for (std::size_t i = 0; i < state.Records.size() && i < answer.classNos.size(); ++i)
        state.Records[i]->ClassNo = answer.classNos[i];
    state.FClasses.clear();
    for (const IndexList& list : answer.classes) {
        TStudentList& members = state.FClasses.emplace_back();
        members.reserve(list.size());
        for (const std::uint32_t i : list)
            members.push_back(state.Records[i].get());
    }
    state.FGradeAvg = answer.statistics.gradeAvg;
    state.FDevSum = answer.statistics.devSum;
    state.FClassAvg = answer.statistics.classAvg;
    state.FClassDev = answer.statistics.classDev;
}

OptimiseResult DivideAndBalance(DivisionState& state, const DivisionOptions& options, const OptimiseControl& control)
{
    ResizeClassLists(state, options.classCount);
    const bool assigned = options.setup.empty() ? AssignClassesWithRules(state, options.classCount)
                                                : AssignClassesWithRules(state, PlanSetup(state, options.setup));
    if (!assigned)
        throw DivisionInputError("学生不足 3 人，不能编班。");
    const OptimiseInput input = PrepareBalance(state, options);
    const OptimisedDivision answer = Optimise(input, control);
    CheckBalanced(input, answer);
    ApplyOptimised(state, answer);
    return answer.result;
}

DivisionState DivideInPublic(const RosterSource& source, const DivisionOptions& options, const OptimiseControl& control)
{
    DivisionState state;
    ReadRosterFromGrid(source.table->Unpack(), source.decimalSeparator, state);
    state.ExtraTexts = *source.extras; // a set-up's conditions may read them
    DivideAndBalance(state, options, control);
    return state;
}

std::string ChangeName(const ChangeEntry& entry, std::size_t index)
{
    return "第 " + std::to_string(index + 1) + " 条变更（" + ChangeCategory(entry) + " " + entry.date + "）";
}

namespace {

// The changes of the check replayed on the division redone from the table as first read.
void ReplayChanges(DivisionState& state, DivisionCheck& check)
{
    const AfterDivision& recorded = *check.after;
    RosterSource source {recorded.asRead, check.decimalSeparator, true, recorded.extrasAsRead};
    Settings settings = check.settings;
    settings.classCount = static_cast<int>(state.FClasses.size());
    Snapshot snapshot = CaptureSnapshot(state, source, settings, nullptr, true);
    check.replayed = 0;
    for (std::size_t k = 0; k < recorded.changes.size(); ++k) {
        ChangeEntry entry = recorded.changes[k];
        try {
            snapshot = ApplyChange(snapshot, entry, state, source);
        } catch (const Failure& error) {
            check.changeFailure = ChangeName(entry, k) + "不能重演：" + error.what();
            break;
        }
        const std::string print = ResultFingerprint(state, LeftInResultOf(snapshot.after.get()).get());
        check.redone = print;
        if (print != entry.resultAfter) {
            check.changeFailure = ChangeName(entry, k) + "重演后的结果指纹 " + ShortFingerprint(print) + " 与记录的 "
                + ShortFingerprint(entry.resultAfter) + " 不同：记录中的变更被改动过，或次序不对";
            break;
        }
        ++check.replayed;
    }
}

} // namespace

std::string DifferenceSummary(const DivisionCheck& check)
{
    const std::string version
        = check.recordedVersion.empty() ? std::string("记录中没有版本") : "记录中的版本 " + check.recordedVersion;
    return "文件中的分班与重做结果不同（" + std::to_string(check.differing)
        + " 名学生）：文件在分班后被改动过，或由另一版本生成（" + version + "，本程序 " + ProgramVersion() + "）";
}

std::vector<std::string> FirstDifferences(
    const DivisionState& state, const std::vector<int>& first, const std::vector<int>& second, std::size_t most)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < state.Records.size() && lines.size() < most; ++i) {
        const int a = i < first.size() ? first[i] : 0;
        const int b = i < second.size() ? second[i] : 0;
        if (a != b)
            lines.push_back("第 " + std::to_string(i + 2) + " 行 " + Gb18030ToUtf8(state.Records[i]->Name) + "："
                + "记录为 " + std::to_string(a) + " 班，重做为 " + std::to_string(b) + " 班");
    }
    return lines;
}

DivisionCheck ReadDivisionFileCheck(const std::filesystem::path& file, DivisionState& recorded, DivisionState& redone)
{
    QJsonObject whole;
    const Snapshot snapshot = ReadDivisionFile(file, &whole);
    const PublicDivision kept = ReadPublicDivision(whole);
    RosterSource source;
    RestoreSnapshot(snapshot, recorded, source);
    if (recorded.Records.empty())
        throw DivisionInputError("分班文件“" + PathText(file) + "”中没有学生。");
    DivisionCheck check;
    check.options = {snapshot.settings.classCount, snapshot.settings.soundAlike, kept.bands};
    check.seedText = kept.seedText.empty() ? std::string(DefaultSeedText) : NormalSeedText(kept.seedText);
    check.expected = ResultFingerprint(recorded, LeftInResultOf(snapshot.after.get()).get());
    check.recordedVersion = RecordedVersion(kept.record);
    for (const std::string& said : {OtherInputVersionText(kept.record), OtherProgramVersionText(kept.record)})
        if (!said.empty())
            check.otherVersion += (check.otherVersion.empty() ? "" : "\n") + said;
    check.after = snapshot.after;
    const bool changed = snapshot.after != nullptr;
    ReadRosterFromGrid((changed ? *snapshot.after->asRead : *snapshot.roster.table).Unpack(),
        snapshot.roster.decimalSeparator, redone);
    redone.ExtraTexts = changed ? *snapshot.after->extrasAsRead : *snapshot.roster.extras;
    if (SetupPauseReason(redone, snapshot.settings.setup, check.options.classCount).empty())
        check.options.setup = snapshot.settings.setup;
    check.decimalSeparator = snapshot.roster.decimalSeparator;
    check.settings = snapshot.settings;
    check.inputFingerprint = InputFingerprint(redone, check.options);
    return check;
}

void RedoDivision(DivisionState& state, DivisionCheck& check, OptimiseControl control, const DivisionState* recorded)
{
    control.seed = SeedOfText(check.seedText);
    DivideAndBalance(state, check.options, control);
    check.redone = ResultFingerprint(state);
    if (check.after)
        ReplayChanges(state, check);
    if (recorded != nullptr) {
        const std::vector<int> first = ClassesOfRecords(*recorded);
        const std::vector<int> second = ClassesOfRecords(state);
        check.differences = FirstDifferences(state, first, second, DifferencesNamed);
        check.differing = 0;
        for (std::size_t i = 0; i < first.size() && i < second.size(); ++i)
            check.differing += first[i] != second[i] ? 1 : 0;
    }
}

} // namespace fenban
