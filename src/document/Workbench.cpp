#include "document/Workbench.h"

#include "audit/PublicSeed.h"
#include "audit/TeacherDraw.h"
#include "choice/PlanDivisionJson.h"
#include "document/AfterChanges.h"
#include "engine/Division.h"
#include "roster/CellGrid.h"
#include "roster/Gb18030.h"
#include "session/DivisionFile.h"
#include "session/RecoveryFile.h"
#include "session/Session.h"

#include <algorithm>
#include <array>
#include <exception>

namespace fenban {

namespace {

constexpr std::array<StepInfo, 20> Steps {{
    {StepKind::Read, "读入数据", true, RecordKind::Read},
    {StepKind::OpenTable, "打开", true, RecordKind::Open},
    {StepKind::OpenDivision, "打开", true, RecordKind::Open},
    {StepKind::Recover, "恢复", true, RecordKind::Open},
    {StepKind::ClassCount, "分班数", true, RecordKind::ClassCount},
    {StepKind::Assign, "编班", true, RecordKind::Assign},
    {StepKind::Press, "调整", true, RecordKind::Adjust},
    {StepKind::BalanceAll, "一键均衡", true, RecordKind::BalanceAll},
    {StepKind::PublicDivision, "公开分班", true, RecordKind::BalanceAll},
    {StepKind::Move, "调班", true, RecordKind::Move},
    {StepKind::Undo, "撤销", false, RecordKind::Undo},
    {StepKind::Redo, "重做", false, RecordKind::Redo},
    {StepKind::Save, "保存", false, RecordKind::Save},
    {StepKind::TeacherDraw, "班主任抽签", false, RecordKind::TeacherDraw},
    {StepKind::ClassSetup, "班级设置", true, RecordKind::ClassSetup},
    {StepKind::AddStudents, "新增学生", true, RecordKind::Arrival},
    {StepKind::RemoveStudent, "学生转出", true, RecordKind::Leave},
    {StepKind::RequestMove, "调班申请", true, RecordKind::Request},
    {StepKind::ChoicePlan, "选科方案", false, RecordKind::ChoicePlan},
    {StepKind::ChoiceDivision, "选科分班", true, RecordKind::ChoiceDivision},
}};

// True when the live state differs from the recorded one in more than the choices.
bool ChangedWork(const Snapshot& live, const Snapshot& recorded)
{
    Snapshot compared = live;
    SetChoices(compared, ChoicesOf(recorded));
    return !(compared == recorded);
}

// The class (1..N, 0 none) of each record as the snapshot's lists hold it.
std::vector<int> ClassesOf(const Snapshot& snapshot)
{
    std::vector<int> classes(snapshot.studentCount(), 0);
    for (std::size_t c = 0; c < snapshot.classes.size(); ++c)
        for (const std::uint32_t i : *snapshot.classes[c])
            if (i < classes.size())
                classes[i] = static_cast<int>(c) + 1;
    return classes;
}

// The two classes a press exchanged students between (0, 0 when not two).
std::pair<int, int> ExchangedClasses(const std::vector<int>& before, const std::vector<int>& after)
{
    std::vector<int> classes;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i)
        if (before[i] != after[i])
            for (const int c : {before[i], after[i]})
                if (std::find(classes.begin(), classes.end(), c) == classes.end())
                    classes.push_back(c);
    std::sort(classes.begin(), classes.end());
    return classes.size() == 2 ? std::pair(classes[0], classes[1]) : std::pair(0, 0);
}

std::string FileNameText(const std::filesystem::path& file)
{
    return PathText(file.filename());
}

// "12 个班：实验班 2 个，平行班 10 个", or 不用 for none.
std::string SetupSummary(const ClassSetup& setup)
{
    if (setup.empty())
        return "不用";
    std::string text = std::to_string(setup.classCount()) + " 个班：";
    const ClassGroups groups = GroupsOf(setup);
    for (std::size_t g = 0; g < groups.classes.size(); ++g)
        text += (g > 0 ? "，" : "") + groups.names[g] + " " + std::to_string(groups.classes[g].size()) + " 个";
    return text;
}

} // namespace

const StepInfo& StepInfoOf(StepKind kind)
{
    for (const StepInfo& info : Steps)
        if (info.kind == kind)
            return info;
    return Steps.front();
}

DivisionState RunPublicDivision(const PublicRequest& request, const OptimiseControl& control)
{
    OptimiseControl seeded = control;
    seeded.seed = SeedOfText(request.seedText);
    return DivideInPublic(request.source, request.options, seeded);
}

Workbench::Workbench() = default;

Workbench::~Workbench() = default;

void Workbench::start(const CellGrid& startTable, std::unique_ptr<RecoveryFile> recovery, bool inBackground)
{
    division_.setStartTable(startTable);
    session_ = std::make_unique<Session>(division_.capture(), std::move(recovery), HistoryLimits {}, inBackground);
    tell(StepKind::Read, false);
}

void Workbench::listenToSteps(std::function<void(const StepNotice&)> listener)
{
    stepListeners_.push_back(std::move(listener));
}

void Workbench::tell(StepKind kind, bool recorded) const
{
    for (const auto& listener : stepListeners_)
        listener(StepNotice {kind, recorded});
}

void Workbench::perform(
    StepKind kind, const std::function<void()>& work, const OpenedFile& opened, std::optional<Choices> chosen)
{
    if (depth_ > 0 || !session_) {
        work(); // part of the step around it, or before the history starts
        return;
    }
    const Choices before = chosen ? *chosen : division_.choices();
    newWork_ = false;
    std::exception_ptr failure;
    ++depth_;
    try {
        work();
    } catch (...) {
        failure = std::current_exception(); // what it changed stays, and is a step
    }
    --depth_;
    const Snapshot after = division_.capture();
    const Snapshot previous = session_->history().current();
    const bool recorded = newWork_ || ChangedWork(after, previous);
    if (recorded) {
        note(kind, previous, after, opened); // first, so that the recovery file has the step's entry
        keepRecord();
        const std::string name(StepInfoOf(kind).name);
        if (newWork_) // a table read: new work, which belongs to no file until saved
            session_->recordOpened(name, before, after, {}, false);
        else
            session_->record(name, before, after);
    }
    newWork_ = false;
    tell(kind, recorded);
    if (failure)
        std::rethrow_exception(failure);
}

void Workbench::performOpened(StepKind kind, const Snapshot& snapshot, PublicDivision kept,
    const std::filesystem::path& document, bool saved, const OpenedFile& opened, std::optional<PlanDivision> plan)
{
    const Choices before = division_.choices();
    division_.restore(snapshot);
    division_.setPublicState(std::move(kept));
    if (plan && PlanDivisionFault(division_.state(), *plan).empty()) // classes changed outside: no plan
        division_.keepChoiceDivision(std::move(*plan));
    if (kind == StepKind::OpenDivision)
        note(kind, snapshot, snapshot, opened);
    keepRecord();
    session_->recordOpened(std::string(StepInfoOf(kind).name), before, snapshot, document, saved);
    tell(kind, true);
}

void Workbench::note(StepKind kind, const Snapshot& previous, const Snapshot& after, const OpenedFile& opened)
{
    const RecordKind entry = StepInfoOf(kind).record;
    const int classCount = division_.classCount();
    const int students = static_cast<int>(division_.state().Records.size());
    switch (kind) {
    case StepKind::Read:
    case StepKind::OpenTable:
        if (!division_.hasRoster())
            return; // a cell that does not convert: no roster to record
        division_.setPublicState({}); // new work: its own record, no seed, no teachers
        [[fallthrough]];
    case StepKind::OpenDivision: {
        const int version = InputTextVersionOf(division_.options());
        if (kind == StepKind::Read) {
            division_.note(entry, ReadRecordText(students, classCount, division_.inputFingerprint(), version));
            return;
        }
        std::string text = OpenRecordText(opened.name, students, classCount, division_.inputFingerprint(), version);
        if (!opened.importNote.empty())
            text += "；" + opened.importNote;
        division_.note(entry, text);
        return;
    }
    case StepKind::ClassCount:
        division_.note(entry, ClassCountRecordText(classCount));
        return;
    case StepKind::ClassSetup: {
        std::string summary = SetupSummary(division_.settings().setup);
        if (const std::string pause = division_.setupPause(); !pause.empty())
            summary += "（" + pause.substr(0, pause.size() - std::string_view("。").size()) + "）";
        division_.note(entry,
            ClassSetupRecordText(summary, division_.inputFingerprint(), InputTextVersionOf(division_.options())));
        return;
    }
    case StepKind::Assign:
        division_.note(entry, AssignRecordText(classCount, division_.resultFingerprint()));
        return;
    case StepKind::Press: {
        const auto [classA, classB] = ExchangedClasses(ClassesOf(previous), ClassesOf(after));
        const Settings& settings = division_.settings();
        const std::string subject
            = settings.subject >= 0 && static_cast<std::size_t>(settings.subject) < settings.subjectNames.size()
            ? settings.subjectNames[static_cast<std::size_t>(settings.subject)]
            : std::string();
        division_.note(entry, AdjustRecordText(classA, classB, subject, division_.resultFingerprint()));
        return;
    }
    case StepKind::BalanceAll:
        // The button's 一键均衡: the default seed, the bands of 分数段.
        division_.setBalanceSeed(std::string(DefaultSeedText));
        division_.note(entry,
            BalanceAllRecordText(DefaultSeedText, division_.settings().rankBands, division_.resultFingerprint()));
        return;
    case StepKind::Move: {
        const std::vector<int> before = ClassesOf(previous);
        const std::vector<int> now = ClassesOf(after);
        for (std::size_t i = 0; i < before.size() && i < now.size(); ++i)
            if (before[i] != now[i])
                division_.note(
                    entry, MoveRecordText(Gb18030ToUtf8(division_.state().Records[i]->Name), before[i], now[i]));
        return;
    }
    case StepKind::AddStudents:
    case StepKind::RemoveStudent:
    case StepKind::RequestMove:
        if (division_.after() != nullptr && !division_.after()->changes.empty())
            division_.note(entry, ChangeRecordText(division_.after()->changes.back()));
        return;
    case StepKind::PublicDivision: // its entries are written with the division, changed or not
    case StepKind::ChoicePlan:
    case StepKind::ChoiceDivision:
    case StepKind::Recover: // the record comes with the recovered work
    case StepKind::Undo:
    case StepKind::Redo:
    case StepKind::Save:
    case StepKind::TeacherDraw:
        return;
    }
}

void Workbench::keepRecord()
{
    if (session_)
        session_->setFileMembers(WorkFileMembers(division_));
}

void Workbench::readTable(const CellGrid& table, const std::string& decimalSeparator, std::optional<Choices> before)
{
    perform(
        StepKind::Read,
        [&] {
            newWork_ = true;
            division_.readTable(table, decimalSeparator);
        },
        {}, before);
}

void Workbench::openTable(const CellGrid& table, const std::string& decimalSeparator, RosterExtraTexts extras,
    const std::string& fileName, const std::string& importNote, std::optional<Choices> before)
{
    perform(
        StepKind::OpenTable,
        [&] {
            newWork_ = true;
            division_.readTable(table, decimalSeparator, std::move(extras), true);
        },
        OpenedFile {fileName, importNote}, before);
}

void Workbench::openDivision(const std::filesystem::path& file)
{
    QJsonObject whole;
    const Snapshot opened = ReadDivisionFile(file, &whole); // a damaged file changes nothing
    std::optional<PlanDivision> plan = ReadPlanDivisionJson(whole, opened.studentCount());
    performOpened(StepKind::OpenDivision, opened, ReadPublicDivision(whole), file, true, {FileNameText(file), {}},
        std::move(plan));
}

void Workbench::recover(const Snapshot& recovered, const QJsonObject& whole, const std::filesystem::path& document)
{
    PublicDivision kept;
    try {
        kept = ReadPublicDivision(whole);
    } catch (const Failure&) {
        kept = {}; // the work is what matters; its record was damaged
    }
    std::optional<PlanDivision> plan;
    try {
        plan = ReadPlanDivisionJson(whole, recovered.studentCount());
    } catch (const Failure&) {
        plan.reset(); // the classes are kept without their plan
    }
    performOpened(StepKind::Recover, recovered, std::move(kept), document, false, OpenedFile {}, std::move(plan));
}

void Workbench::setClassCount(int classCount)
{
    perform(StepKind::ClassCount, [&] { division_.setClassCount(classCount); });
}

void Workbench::setClassSetup(ClassSetup setup)
{
    perform(StepKind::ClassSetup, [&] { division_.setClassSetup(std::move(setup)); });
}

bool Workbench::assign()
{
    bool assigned = false;
    perform(StepKind::Assign, [&] { assigned = division_.assign(); });
    return assigned;
}

BalanceOutcome Workbench::press()
{
    BalanceOutcome outcome = BalanceOutcome::NoCandidate;
    perform(StepKind::Press, [&] { outcome = division_.press(); });
    return outcome;
}

bool Workbench::move(int position, int target)
{
    bool moved = false;
    perform(StepKind::Move, [&] { moved = division_.move(position, target); });
    return moved;
}

OptimiseInput Workbench::prepareBalance() const
{
    return division_.optimiseInput();
}

void Workbench::finishBalance(const OptimiseInput& input, const OptimisedDivision& answer)
{
    CheckBalanced(input, answer);
    perform(StepKind::BalanceAll, [&] { division_.apply(answer); });
}

PublicRequest Workbench::preparePublic(
    const DivisionOptions& options, std::string seedText, std::vector<std::string> teachers) const
{
    CheckClassCount(division_.state(), options.classCount);
    PublicRequest request {division_.source(), division_.withSetup(options), std::move(seedText), std::move(teachers)};
    if (!request.options.setup.empty()) {
        try {
            PlanSetup(division_.state(), request.options.setup); // sizes that do not hold the grade stop it here
        } catch (const ClassSetupError& problem) {
            throw DivisionInputError(problem.what());
        }
    }
    if (!request.teachers.empty()) // a list that does not fit the classes stops it before the run
        DrawTeachers(request.teachers, request.options.classCount, SeedOfText(request.seedText));
    return request;
}

void Workbench::finishPublic(const PublicRequest& request, DivisionState divided)
{
    perform(StepKind::PublicDivision, [&] {
        const DivisionOptions& options = request.options;
        if (!options.setup.empty() && !(options.setup == division_.settings().setup))
            division_.setClassSetup(options.setup); // the command line's set-up becomes the division's
        division_.setSoundAlike(options.soundAlike);
        division_.setRankBands(options.bands);
        division_.applyDivided(std::move(divided)); // its class count too
        division_.setBalanceSeed(request.seedText);
        const std::string result = division_.resultFingerprint();
        division_.setPublicResult(result);
        // Recorded even when the division is the one already there (no step to undo then).
        division_.note(StepInfoOf(StepKind::PublicDivision).record,
            PublicDivisionRecordText(options.classCount, options.bands, options.soundAlike, request.seedText,
                division_.inputFingerprint(), result));
        if (!request.teachers.empty()) {
            const bool redrawn = division_.publicState().teachersDrawn;
            std::vector<std::string> drawn
                = DrawTeachers(request.teachers, request.options.classCount, SeedOfText(request.seedText));
            division_.note(RecordKind::TeacherDraw, TeacherRecordText(drawn, request.seedText, redrawn));
            division_.setTeachers(request.teachers, std::move(drawn), true);
        }
    });
    keepRecord(); // when the division was the one already there
}

void Workbench::applyChange(StepKind kind, const ChangeEntry& entry)
{
    perform(kind, [&] { division_.applyChange(entry); });
}

StudentChoices Workbench::readChoices(std::optional<ChoiceModel> model, const std::vector<int>& rowNumbers) const
{
    const DivisionState& state = division_.state();
    std::vector<std::string> names;
    names.reserve(state.Records.size());
    for (const auto& record : state.Records)
        names.push_back(Gb18030ToUtf8(record->Name));
    return ReadChoices(state.ExtraTexts, names, rowNumbers, model);
}

void Workbench::acceptChoicePlan(const ChoicePlan& plan, const std::vector<std::string>& edits)
{
    for (const std::string& edit : edits)
        division_.note(RecordKind::ChoicePlan, "改动方案：" + edit);
    division_.note(RecordKind::ChoicePlan, PlanRecordText(plan) + (plan.note.empty() ? "" : "；" + plan.note));
    keepRecord();
    tell(StepKind::ChoicePlan, false);
}

ChoiceDivisionRequest Workbench::prepareChoiceDivision(
    const StudentChoices& choices, const ChoicePlan& plan, std::string seedText) const
{
    CheckClassCount(division_.state(), plan.classCount());
    if (const std::vector<std::string> problems = PlanProblems(plan); !problems.empty())
        throw DivisionInputError("方案不能用：" + problems.front() + "。");
    DivisionOptions options = division_.options();
    options.classCount = plan.classCount();
    options.setup = {}; // the plan decides the classes; a class set-up lends them its names
    ChoicePlan named = plan;
    named.names.clear();
    const ClassSetup& setup = division_.settings().setup;
    for (int c = 0; c < std::min(setup.classCount(), plan.classCount()); ++c)
        named.names.push_back(setup.classes[static_cast<std::size_t>(c)].name);
    return {std::make_shared<const DivisionState>(CopyOf(division_.state())), choices.of, std::move(named), options,
        std::move(seedText)};
}

void Workbench::finishChoiceDivision(const ChoiceDivisionRequest& request, DivisionState divided, PlanDivision plan)
{
    perform(StepKind::ChoiceDivision, [&] {
        division_.applyChoiceDivision(std::move(divided), std::move(plan));
        division_.setBalanceSeed(request.seedText);
        std::size_t left = 0;
        for (const SubjectSet combination : request.combinations)
            left += combination == 0 ? 1 : 0;
        std::string text = std::to_string(request.plan.classCount()) + " 个班，"
            + std::to_string(division_.choiceDivision()->teaching.size()) + " 个教学班；种子 " + request.seedText
            + "；输入指纹 " + division_.inputFingerprint() + "；结果指纹 " + division_.resultFingerprint();
        if (left > 0)
            text += "；" + std::to_string(left) + " 人选科有误，未分班";
        division_.note(StepInfoOf(StepKind::ChoiceDivision).record, text);
    });
    keepRecord();
}

void Workbench::undo()
{
    travel(StepKind::Undo);
}

void Workbench::redo()
{
    travel(StepKind::Redo);
}

void Workbench::travel(StepKind kind)
{
    const bool back = kind == StepKind::Undo;
    if (back ? !session_->history().canUndo() : !session_->history().canRedo())
        return;
    // The menu names the step ("撤销 调整"); the record names it too.
    const std::string menuText = back ? session_->undoText() : session_->redoText();
    const std::string verb = std::string(StepInfoOf(kind).name) + " ";
    const std::string step = menuText.starts_with(verb) ? menuText.substr(verb.size()) : std::string();
    division_.note(StepInfoOf(kind).record, back ? UndoRecordText(step) : RedoRecordText(step));
    keepRecord();
    division_.restore(back ? session_->undo(division_.capture()) : session_->redo(division_.capture()));
    tell(kind, false);
}

void Workbench::save(const std::filesystem::path& file)
{
    // The file holds its own save as the record's last entry; the document
    // takes that record once the file is written.
    PublicDivision kept = division_.publicState();
    kept.record.add(RecordKind::Save, SaveRecordText(FileNameText(file), division_.resultFingerprint()));
    QJsonObject members = PublicDivisionJson(kept);
    if (const PlanDivision* plan = division_.choiceDivision())
        members.insert(QStringLiteral("choice"), PlanDivisionJson(*plan));
    session_->save(file, division_.capture(), members);
    division_.setPublicState(std::move(kept));
    session_->setFileMembers(members);
    tell(StepKind::Save, false);
}

void Workbench::setTeachers(
    std::vector<std::string> list, std::vector<std::string> teachers, const std::string& seedText)
{
    const bool redrawn = division_.publicState().teachersDrawn && !seedText.empty();
    division_.note(RecordKind::TeacherDraw, TeacherRecordText(teachers, seedText, redrawn));
    division_.setTeachers(std::move(list), std::move(teachers), !seedText.empty());
    session_->markChanged(); // the teachers go into the file, which asks to be saved now
    keepRecord();
    tell(StepKind::TeacherDraw, false);
}

void Workbench::close()
{
    if (session_)
        session_->close();
}

void Workbench::flushRecovery()
{
    session_->flushRecovery();
}

QJsonObject WorkFileMembers(const Division& division)
{
    QJsonObject members = PublicDivisionJson(division.publicState());
    if (const PlanDivision* plan = division.choiceDivision())
        members.insert(QStringLiteral("choice"), PlanDivisionJson(*plan));
    return members;
}

void DivideTableInPublic(Workbench& work, const ProposedImport& imported, const std::string& fileName,
    const std::string& decimalSeparator, const DivisionOptions& options, const std::string& seedText,
    std::vector<std::string> teachers, const OptimiseControl& control)
{
    work.openTable(TableGrid(imported.table.rows), decimalSeparator, imported.table.extras, fileName, imported.taken);
    const PublicRequest request = work.preparePublic(options, seedText, std::move(teachers));
    work.finishPublic(request, RunPublicDivision(request, control));
}

} // namespace fenban
