#include "document/Division.h"

#include "document/PublicRun.h"
#include "engine/Division.h"
#include "engine/GroupBalancing.h"
#include "engine/Statistics.h"
#include "roster/RosterBuilder.h"
#include "rules/RuleBuilder.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <utility>

namespace fenban {

OptimisedDivision Optimise(const OptimiseInput& input, const OptimiseControl& control)
{
    DivisionState work = CopyOf(*input.state);
    OptimiseControl banded = control;
    banded.balance = input.balance;
    OptimisedDivision answer;
    answer.result = input.groups.empty() ? OptimiseDivision(work, input.classCount, input.rules, banded)
                                         : OptimiseInGroups(work, input.groups, input.rules, banded);
    std::unordered_map<const TStudent*, std::uint32_t> index;
    index.reserve(work.Records.size());
    answer.classNos.reserve(work.Records.size());
    for (std::size_t i = 0; i < work.Records.size(); ++i) {
        index.emplace(work.Records[i].get(), static_cast<std::uint32_t>(i));
        answer.classNos.push_back(work.Records[i]->ClassNo);
    }
    for (const TStudentList& list : work.FClasses) {
        IndexList& indices = answer.classes.emplace_back();
        indices.reserve(list.size());
        for (const PStudent student : list)
            indices.push_back(index.at(student));
    }
    answer.statistics = {work.FGradeAvg, work.FDevSum, work.FClassAvg, work.FClassDev};
    return answer;
}

std::unique_ptr<std::vector<LeftInResult>> LeftInResultOf(const AfterDivision* after)
{
    if (after == nullptr)
        return nullptr;
    auto left = std::make_unique<std::vector<LeftInResult>>();
    for (const LeftStudent& student : after->left)
        left->push_back({student.cells.empty() ? std::string() : student.cells.front(), student.classNo, student.kind,
            student.date});
    return left;
}

Division::Division()
    : shown_(std::make_shared<const ShownFigures>())
{
}

void Division::notify(const DivisionChange& change) const
{
    if (change.step != DivisionStep::Choice)
        resultPrint_.reset();
    for (const Listener& listener : listeners_)
        listener(change);
}

void Division::notifyChoice(ChoiceKind kind) const
{
    DivisionChange change {DivisionStep::Choice};
    change.choice = kind;
    notify(change);
}

void Division::readTable(
    const CellGrid& table, const std::string& decimalSeparator, RosterExtraTexts extras, bool ownWork)
{
    choice_.reset(); // its classes are no longer the plan's
    view_ = {};
    after_.reset();
    EndDivision(state_);
    source_ = {PackedGrid::Pack(table), decimalSeparator, false};
    DivisionChange change {DivisionStep::ReadTable};
    change.roster = change.lists = change.statistics = true;
    if (ownWork) {
        shown_ = std::make_shared<const ShownFigures>();
        settings_.rankBands = DefaultRankBands;
        change.shown = true;
    }
    std::vector<std::string> subjectNames;
    int proposedClassCount = 1;
    try {
        subjectNames = ReadRosterFromGrid(table, decimalSeparator, state_, &proposedClassCount);
    } catch (...) {
        notify(change); // the table stays, without a roster
        throw;
    }
    if (!extras.empty()) {
        extras.cells.resize(std::min(extras.cells.size(), state_.Records.size()));
        source_.extras = std::make_shared<const RosterExtraTexts>(extras);
        state_.ExtraTexts = std::move(extras);
    }
    source_.built = true;
    settings_.subjectNames = std::move(subjectNames);
    settings_.subject = -1;
    // A 班级设置 keeps its class count; without one the new roster proposes its own.
    if (settings_.setup.empty() && proposedClassCount != settings_.classCount) {
        settings_.classCount = proposedClassCount;
        ResizeClassLists(state_, settings_.classCount);
        change.classCount = true;
    }
    notify(change);
}

void Division::setClassCount(int classCount)
{
    choice_.reset(); // its classes are no longer the plan's
    settings_.classCount = classCount;
    ResizeClassLists(state_, classCount);
    DivisionChange change {DivisionStep::ClassCount};
    change.classCount = change.lists = true;
    notify(change);
}

void Division::setClassSetup(ClassSetup setup)
{
    settings_.setup = std::move(setup);
    DivisionChange change {DivisionStep::ClassCount};
    change.classCount = true;
    if (!settings_.setup.empty() && settings_.setup.classCount() != settings_.classCount) {
        settings_.classCount = settings_.setup.classCount();
        ResizeClassLists(state_, settings_.classCount);
        change.lists = true;
    }
    notify(change);
}

const ClassSetup& Division::activeSetup() const
{
    static const ClassSetup none;
    return setupPause().empty() ? settings_.setup : none;
}

const ClassSetup& Division::names() const
{
    static const ClassSetup none;
    if (choice_ && static_cast<int>(choice_->classNames.size()) == settings_.classCount) {
        if (choiceNamesOf_ != choice_) {
            choiceNames_ = {};
            for (const std::string& name : choice_->classNames)
                choiceNames_.classes.emplace_back().name = name;
            choiceNamesOf_ = choice_;
        }
        return choiceNames_;
    }
    return settings_.setup.classCount() == settings_.classCount ? settings_.setup : none;
}

std::string Division::setupPause() const
{
    return SetupPauseReason(state_, settings_.setup, settings_.classCount);
}

bool Division::assign()
{
    const bool assigned = activeSetup().empty() ? AssignClassesWithRules(state_, settings_.classCount)
                                                : AssignClassesWithRules(state_, PlanSetup(state_, activeSetup()));
    if (!assigned)
        return false;
    choice_.reset();
    publishAverages(false);
    DivisionChange change {DivisionStep::Assign};
    change.lists = change.statistics = change.shown = true;
    notify(change);
    return true;
}

BalanceOutcome Division::press()
{
    const BalanceRequest request {settings_.manual, settings_.classA, settings_.classB, settings_.subject,
        settings_.coefficient, settings_.classCount};
    // With rule columns the exchange keeps the rules; a bad 固定 value (told at 编班) leaves the plain press.
    std::optional<DivisionRules> rules;
    if (!state_.RuleTexts.empty()) {
        try {
            rules = BuildDivisionRules(state_, settings_.classCount, settings_.soundAlike);
        } catch (const RuleValueError&) {
        }
    }
    const ClassSetup& setup = activeSetup();
    const BalanceOutcome outcome = setup.empty()
        ? Balance(state_, request, rules ? &*rules : nullptr)
        : BalanceInGroups(state_, request, GroupsOf(setup), rules ? &*rules : nullptr);
    if (outcome != BalanceOutcome::Swapped)
        return outcome;
    choice_.reset();
    publishAverages(true);
    DivisionChange change {DivisionStep::Press};
    change.lists = change.statistics = change.shown = true;
    notify(change);
    return outcome;
}

bool Division::move(int position, int target)
{
    if (!MoveStudentToClass(state_, view_.FShownClass, position, target))
        return false;
    choice_.reset();
    view_.tableShown = false; // the listing shows where the student went
    DivisionChange change {DivisionStep::Move};
    change.lists = true;
    notify(change);
    return true;
}

OptimiseInput Division::optimiseInput() const
{
    return PrepareBalance(state_, options());
}

void Division::apply(const OptimisedDivision& answer)
{
    choice_.reset(); // its classes are no longer the plan's
    ApplyOptimised(state_, answer);
    publishAverages(true);
    DivisionChange change {DivisionStep::Optimise};
    change.lists = change.statistics = change.shown = true;
    notify(change);
}

void Division::applyDivided(DivisionState divided)
{
    replaceDivided(std::move(divided), nullptr); // its classes are no longer the plan's
}

void Division::replaceDivided(DivisionState divided, std::shared_ptr<const PlanDivision> choice)
{
    state_ = std::move(divided);
    after_.reset(); // the roster divided afresh is the one as read from now on
    choice_ = std::move(choice); // before the listeners hear
    DivisionChange change {DivisionStep::Optimise};
    change.classCount = settings_.classCount != static_cast<int>(state_.FClasses.size());
    settings_.classCount = static_cast<int>(state_.FClasses.size());
    publishAverages(true);
    change.lists = change.statistics = change.shown = true;
    notify(change);
}

void Division::applyChange(ChangeEntry entry)
{
    entry.resultBefore = resultFingerprint();
    DivisionState changed = CopyOf(state_);
    RosterSource source = source_;
    Snapshot next = ApplyChange(capture(), entry, changed, source);
    choice_.reset(); // the classes are no longer the plan's
    auto after = std::make_shared<AfterDivision>(*next.after);
    after->changes.back().resultAfter = ResultFingerprint(changed, LeftInResultOf(after.get()).get());
    // Checked: from here on nothing fails.
    state_ = std::move(changed);
    source_ = std::move(source);
    after_ = std::move(after);
    view_.tableShown = false; // the listing shows where the students went
    if (view_.FShownClass >= static_cast<int>(state_.FClasses.size()))
        view_.FShownClass = -1;
    publishAverages(true);
    DivisionChange change {DivisionStep::Change};
    change.roster = change.lists = change.statistics = change.shown = true;
    notify(change);
}

void Division::applyChoiceDivision(DivisionState divided, PlanDivision plan)
{
    replaceDivided(std::move(divided), std::make_shared<const PlanDivision>(std::move(plan)));
}

void Division::keepChoiceDivision(PlanDivision plan)
{
    choice_ = std::make_shared<const PlanDivision>(std::move(plan));
    resultPrint_.reset();
}

void Division::setBalanceSeed(std::string seedText)
{
    public_.seedText = std::move(seedText);
    public_.bands = settings_.rankBands;
}

void Division::setTeachers(std::vector<std::string> list, std::vector<std::string> teachers, bool drawn)
{
    public_.teacherList = std::move(list);
    public_.teachers = std::move(teachers);
    public_.teachersDrawn = drawn;
}

DivisionOptions Division::options() const
{
    return {settings_.classCount, settings_.soundAlike, settings_.rankBands, activeSetup()};
}

std::string Division::inputFingerprint() const
{
    if (!hasRoster())
        return {};
    const DivisionOptions chosen = options();
    if (choice_) { // the plan, not a set-up, decides the classes
        DivisionOptions planned = chosen;
        planned.setup = {};
        return Sha256Hex(InputCanonicalText(state_, planned) + ChoiceInputText(*choice_));
    }
    const std::string key
        = std::to_string(chosen.classCount) + (chosen.soundAlike ? "+" : "-") + std::to_string(chosen.bands);
    const std::shared_ptr<const PackedGrid>& table = after_ ? after_->asRead : source_.table;
    if (inputPrint_.table != table || inputPrint_.options != key || !(inputPrint_.setup == chosen.setup))
        inputPrint_ = {table, key, chosen.setup, inputFingerprint(chosen)};
    return inputPrint_.fingerprint;
}

std::string Division::inputFingerprint(const DivisionOptions& chosen) const
{
    if (!hasRoster())
        return {};
    if (!after_)
        return InputFingerprint(state_, withSetup(chosen));
    // Changes after the division are no input: the roster as first read is.
    DivisionState asRead;
    ReadRosterFromGrid(after_->asRead->Unpack(), source_.decimalSeparator, asRead);
    asRead.ExtraTexts = *after_->extrasAsRead;
    return InputFingerprint(asRead, withSetup(chosen));
}

DivisionOptions Division::withSetup(DivisionOptions chosen) const
{
    if (chosen.setup.empty() && SetupPauseReason(state_, settings_.setup, chosen.classCount).empty())
        chosen.setup = settings_.setup;
    return chosen;
}

bool Division::showsPublicResult() const
{
    return !public_.publicResult.empty() && public_.publicResult == resultFingerprint();
}

std::string Division::resultFingerprint() const
{
    if (!resultPrint_)
        resultPrint_ = choice_ ? Sha256Hex(ResultCanonicalText(state_) + ChoiceResultText(*choice_))
                               : ResultFingerprint(state_, LeftInResultOf(after_.get()).get());
    return *resultPrint_;
}

void Division::publishAverages(bool withTotal)
{
    auto shown = std::make_shared<ShownFigures>();
    shown->averagesDrawn = true;
    shown->subjectNames = settings_.subjectNames;
    shown->classAverages = state_.FClassAvg;
    shown->gradeAverages = state_.FGradeAvg;
    for (std::size_t c = 0; c < state_.FClassAvg.size(); ++c) {
        Headcount count;
        if (c < state_.FClasses.size()) {
            const TStudentList& members = state_.FClasses[c];
            count.size = static_cast<int>(members.size());
            count.boys = static_cast<int>(std::count_if(
                members.begin(), members.end(), [](const TStudent* student) { return student->Gender == MaleGender; }));
        }
        shown->headcounts.push_back(count);
    }
    // 编班 leaves the total of the last press; 调整 and 一键均衡 publish theirs.
    shown->hasTotal = withTotal || shown_->hasTotal;
    shown->total = withTotal ? TotalDeviation(state_.FDevSum) : shown_->total;
    shown_ = std::move(shown);
}

void Division::setPair(int classA, int classB)
{
    settings_.classA = classA;
    settings_.classB = classB;
    notifyChoice(ChoiceKind::Pair);
}

void Division::setSubject(int subject)
{
    settings_.subject = subject;
    notifyChoice(ChoiceKind::Subject);
}

void Division::setCoefficient(std::int32_t coefficient)
{
    settings_.coefficient = coefficient;
    notifyChoice(ChoiceKind::Coefficient);
}

void Division::setManual(bool manual)
{
    settings_.manual = manual;
    notifyChoice(ChoiceKind::Manual);
}

void Division::setSoundAlike(bool soundAlike)
{
    settings_.soundAlike = soundAlike;
    notifyChoice(ChoiceKind::SoundAlike);
}

void Division::setRankBands(int bands)
{
    settings_.rankBands = bands;
    notifyChoice(ChoiceKind::Bands);
}

void Division::setListing(int shownClass)
{
    view_.FShownClass = shownClass;
    view_.tableShown = state_.FClasses.empty(); // a listing needs class lists to list from
    notifyChoice(ChoiceKind::Listing);
}

void Division::setSelectedCell(int col, int row)
{
    view_.FSelCol = col;
    view_.FSelRow = row;
    notifyChoice(ChoiceKind::Cell);
}

Choices Division::choices() const
{
    return {settings_.classA, settings_.classB, settings_.subject, settings_.coefficient, settings_.manual,
        settings_.soundAlike, view_.tableShown, view_.FShownClass, view_.FSelCol, view_.FSelRow, settings_.rankBands};
}

Snapshot Division::capture() const
{
    Snapshot snapshot = CaptureSnapshot(state_, source_, settings_, shown_, view_.tableShown);
    snapshot.after = after_;
    snapshot.plan = choice_;
    snapshot.shownClass = view_.FShownClass;
    snapshot.selCol = view_.FSelCol;
    snapshot.selRow = view_.FSelRow;
    return snapshot;
}

void Division::restore(const Snapshot& snapshot)
{
    RestoreSnapshot(snapshot, state_, source_);
    after_ = snapshot.after;
    choice_ = snapshot.plan;
    view_ = {snapshot.selCol, snapshot.selRow, snapshot.shownClass, snapshot.tableShown};
    if (state_.FClasses.empty())
        view_.tableShown = true; // no class lists to list from: the grid shows the table
    settings_ = snapshot.settings;
    shown_ = snapshot.shown;
    DivisionChange change {DivisionStep::Restore};
    change.roster = change.classCount = change.lists = change.statistics = change.shown = true;
    notify(change);
}

} // namespace fenban
