#include "document/AfterChanges.h"

#include "document/PublicRun.h"
#include "engine/ClassSetup.h"
#include "engine/Division.h"
#include "roster/Gb18030.h"
#include "roster/RosterBuilder.h"
#include "roster/RuleColumns.h"
#include "roster/ScoreParser.h"
#include "rules/RuleBuilder.h"

#include <algorithm>
#include <cstdio>

namespace fenban {

namespace {

// The score columns of the table: 总分 and the subjects up to the first rule column.
int ScoreColumnsEnd(const CellGrid& header)
{
    int end = FirstScoreColumn + SubjectCount;
    for (const RuleColumn& column : FindRuleColumns(header))
        end = std::min(end, column.gridColumn);
    return end;
}

std::string Hundredths(long long value)
{
    char text[32];
    std::snprintf(
        text, sizeof text, "%s%lld.%02lld", value < 0 ? "-" : "", std::llabs(value) / 100, std::llabs(value) % 100);
    return text;
}

std::string TwoDecimals(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string Trimmed(std::string_view text)
{
    return std::string(TrimRuleText(text));
}

CellGrid HeaderOf(const Division& division)
{
    const CellGrid table = division.source().table->Unpack();
    CellGrid header(table.colCount(), 1);
    for (int col = 0; col < table.colCount(); ++col)
        header.setCell(col, 0, table.cell(col, 0));
    return header;
}

} // namespace

std::vector<ChangeColumn> ArrivalColumns(const Division& division)
{
    const CellGrid header = HeaderOf(division);
    std::vector<ChangeColumn> columns;
    const int scoresEnd = ScoreColumnsEnd(header);
    for (int col = NameColumn; col < header.colCount(); ++col) {
        if (col == ClassColumn)
            continue;
        const bool rule = RuleColumnKindOfHeader(header.cell(col, 0)).has_value();
        if (col >= scoresEnd && !rule)
            continue; // not read by the roster
        columns.push_back({col, header.cell(col, 0)});
    }
    const RosterExtraTexts& extras = *division.source().extras;
    for (std::size_t k = 0; k < extras.headers.size(); ++k)
        columns.push_back({-1 - static_cast<int>(k), extras.headers[k]});
    return columns;
}

ArrivalRows ReadArrivalRows(const Division& division, const std::vector<std::vector<std::string>>& typed)
{
    const std::vector<ChangeColumn> columns = ArrivalColumns(division);
    const CellGrid header = HeaderOf(division);
    const int scoresEnd = ScoreColumnsEnd(header);
    const int width = std::max(header.colCount() - 1, RosterColumns - 1);
    const std::size_t extraCount = division.source().extras->headers.size();
    ArrivalRows rows;
    for (std::size_t k = 0; k < typed.size(); ++k) {
        std::vector<std::string> row(static_cast<std::size_t>(width));
        std::vector<std::string> extras(extraCount);
        bool any = false;
        for (std::size_t c = 0; c < columns.size() && c < typed[k].size(); ++c) {
            const std::string text = Trimmed(typed[k][c]);
            any = any || !text.empty();
            if (columns[c].tableColumn > 0)
                row[static_cast<std::size_t>(columns[c].tableColumn - 1)] = text;
            else
                extras[static_cast<std::size_t>(-1 - columns[c].tableColumn)] = text;
        }
        if (!any)
            continue; // an empty line of the dialog's table
        const std::string where = "第 " + std::to_string(k + 1) + " 行";
        const std::string& name = row[NameColumn - 1];
        if (name.empty())
            throw ChangeInputError(where + "没有姓名。");
        const std::string& gender = row[GenderColumn - 1];
        if (gender != "男" && gender != "女")
            throw ChangeInputError(where + "（" + name + "）的性别须是“男”或“女”"
                + (gender.empty() ? "，现在是空的。" : "，现在是“" + gender + "”。"));
        for (int col = FirstScoreColumn; col < scoresEnd; ++col) {
            const std::string& cell = row[static_cast<std::size_t>(col - 1)];
            try {
                ParseScore(cell, division.source().decimalSeparator);
            } catch (const ConversionError&) {
                throw ChangeInputError(
                    where + "（" + name + "）的" + Trimmed(header.cell(col, 0)) + "“" + cell + "”不是分数。");
            }
        }
        while (!row.empty() && row.back().empty())
            row.pop_back();
        rows.rows.push_back(std::move(row));
        rows.extras.push_back(std::move(extras));
    }
    if (rows.rows.empty())
        throw ChangeInputError("没有填写新学生。");
    return rows;
}

std::vector<std::vector<std::string>> TypedRowsOf(const Division& division, const ImportedTable& table)
{
    std::vector<std::vector<std::string>> typed;
    if (table.rows.empty())
        return typed;
    const std::vector<std::string>& header = table.rows.front();
    const auto find = [](const std::vector<std::string>& headers, const std::string& wanted) {
        for (std::size_t k = 0; k < headers.size(); ++k)
            if (Trimmed(headers[k]) == Trimmed(wanted))
                return static_cast<int>(k);
        return -1;
    };
    std::vector<std::pair<bool, int>> sources; // (from the extras, column)
    for (const ChangeColumn& column : ArrivalColumns(division)) {
        const int inRows = find(header, column.header);
        const int inExtras = find(table.extras.headers, column.header);
        if (inRows >= 0)
            sources.emplace_back(false, inRows);
        else if (inExtras >= 0)
            sources.emplace_back(true, inExtras);
        else
            sources.emplace_back(false, column.tableColumn > 0 ? column.tableColumn - 1 : -1);
    }
    for (std::size_t r = 1; r < table.rows.size(); ++r) {
        std::vector<std::string>& row = typed.emplace_back();
        for (const auto& [extra, at] : sources)
            row.emplace_back(at < 0 ? std::string_view()
                    : extra         ? table.extras.text(r - 1, static_cast<std::size_t>(at))
                    : static_cast<std::size_t>(at) < table.rows[r].size()
                    ? std::string_view(table.rows[r][static_cast<std::size_t>(at)])
                    : std::string_view());
    }
    return typed;
}

std::vector<int> StudentsNamed(const Division& division, const std::string& name)
{
    const std::string wanted = Trimmed(name);
    std::vector<int> found;
    const auto& records = division.state().Records;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (Trimmed(Gb18030ToUtf8(records[i]->Name)) == wanted)
            found.push_back(static_cast<int>(i));
    return found;
}

std::string StudentText(const Division& division, int record)
{
    const DivisionState& state = division.state();
    const std::vector<int> classes = ClassesOfRecords(state);
    const auto at = static_cast<std::size_t>(record);
    std::string text = "第 " + std::to_string(record + 2) + " 行 " + Gb18030ToUtf8(state.Records[at]->Name);
    if (classes[at] > 0)
        text += "（" + division.className(classes[at], std::to_string(classes[at]) + " 班") + "）";
    return text;
}

ChangeGroups SetupGroupsOf(const Division& division, const Snapshot& snapshot, const DivisionState& state)
{
    ChangeGroups kept;
    const int classCount = static_cast<int>(state.FClasses.size());
    if (!division.names().empty())
        for (int c = 1; c <= classCount; ++c)
            kept.classNames.push_back(division.className(c, {}));
    const ClassSetup& setup = division.activeSetup();
    if (setup.empty() || setup.classCount() != classCount)
        return kept;
    // The plan 编班 followed: of the table as first read.
    const AfterDivision* after = snapshot.after.get();
    DivisionState asRead;
    if (after != nullptr) {
        ReadRosterFromGrid(after->asRead->Unpack(), division.source().decimalSeparator, asRead);
        asRead.ExtraTexts = *after->extrasAsRead;
    }
    const DivisionState& first = after != nullptr ? asRead : division.state();
    const SetupPlan plan = PlanSetup(first, setup);
    kept.groupOfClass = plan.groups.groupOfClass;
    kept.names = plan.groups.names;
    kept.targets = plan.places;

    // A late student: the first group whose column he matches, else the 平行班.
    int unclaimed = -1, parallel = -1;
    std::vector<std::pair<SetupColumn, std::string>> claims(plan.groups.classes.size());
    const std::vector<SetupColumn> columns = SetupColumns(state, setup);
    for (std::size_t g = 0; g < plan.groups.classes.size(); ++g) {
        const SetupClass& setupClass = setup.classes[static_cast<std::size_t>(plan.groups.classes[g].front())];
        if (setupClass.column.empty()) {
            unclaimed = unclaimed < 0 ? static_cast<int>(g) : unclaimed;
            parallel = parallel < 0 && setupClass.kind == ClassKind::Parallel ? static_cast<int>(g) : parallel;
            continue;
        }
        for (const SetupColumn& column : columns)
            if (column.header == setupClass.column)
                claims[g] = {column, std::string(TrimRuleText(setupClass.value))};
    }
    const auto readCount = static_cast<StudentId>(first.Records.size());
    for (std::size_t i = 0; i < state.Records.size(); ++i) {
        const StudentId id = IdOfRecord(snapshot, static_cast<int>(i));
        if (id >= 0 && id < readCount) {
            kept.groupOfRecord.push_back(plan.groupOfRecord[static_cast<std::size_t>(id)]);
            continue;
        }
        int group = parallel >= 0 ? parallel : unclaimed;
        for (std::size_t g = 0; g < claims.size(); ++g)
            if (claims[g].first.found && TrimRuleText(SetupColumnText(state, claims[g].first, i)) == claims[g].second) {
                group = static_cast<int>(g);
                break;
            }
        kept.groupOfRecord.push_back(group);
    }
    return kept;
}

ChangeGroups SetupGroupsOf(const Division& division)
{
    return SetupGroupsOf(division, division.capture(), division.state());
}

ChangeStudy::~ChangeStudy() = default;

std::string ChangeStudy::classText(int classNo) const
{
    const auto at = static_cast<std::size_t>(classNo - 1);
    return classNo > 0 && at < groups_.classNames.size() && !groups_.classNames[at].empty()
        ? groups_.classNames[at]
        : std::to_string(classNo) + " 班";
}

std::unique_ptr<ChangeStudy> ChangeStudy::ofArrivals(const Division& division, const ArrivalRows& rows)
{
    std::unique_ptr<ChangeStudy> study(new ChangeStudy);
    study->pending_.kind = ChangeKind::Arrival;
    study->pending_.rows = rows.rows;
    study->pending_.rowExtras = rows.extras;
    study->weigh(division);
    return study;
}

std::unique_ptr<ChangeStudy> ChangeStudy::ofLeaver(const Division& division, int record)
{
    std::unique_ptr<ChangeStudy> study(new ChangeStudy);
    study->pending_.kind = ChangeKind::Leave;
    study->pending_.student = IdOfRecord(division.capture(), record);
    study->weigh(division);
    return study;
}

std::unique_ptr<ChangeStudy> ChangeStudy::ofRequest(const Division& division)
{
    std::unique_ptr<ChangeStudy> study(new ChangeStudy);
    study->pending_.kind = ChangeKind::Request;
    study->weigh(division);
    return study;
}

void ChangeStudy::weigh(const Division& division)
{
    const DivisionState& now = division.state();
    const std::vector<int> classes = ClassesOfRecords(now);
    if (now.FClasses.empty() || now.Records.empty()
        || std::any_of(classes.begin(), classes.end(), [](int c) { return c == 0; }))
        throw ChangeInputError("还没有分班：请先编班（或公开分班），再处理插班、转出和调班申请。");
    const Snapshot base = division.capture();
    state_ = CopyOf(now);
    RosterSource source = division.source();
    trial_ = pending_.kind == ChangeKind::Request ? base : ApplyChange(base, pending_, state_, source);
    const int classCount = static_cast<int>(state_.FClasses.size());
    for (std::size_t k = 0; k < pending_.rows.size(); ++k)
        newcomers_.push_back(static_cast<int>(base.studentCount() + k));
    rules_ = BuildDivisionRules(state_, classCount, division.settings().soundAlike);
    subjectNames_ = division.settings().subjectNames;
    try {
        groups_ = SetupGroupsOf(division, trial_, state_);
    } catch (const ClassSetupError&) {
        // A set-up changed since 编班 that no longer plans: each student keeps the group of his class.
        groups_ = {};
        const ClassGroups groups = GroupsOf(division.activeSetup());
        if (groups.groupOfClass.size() == static_cast<std::size_t>(classCount)) {
            groups_.groupOfClass = groups.groupOfClass;
            groups_.names = groups.names;
            for (const int c : ClassesOfRecords(state_))
                groups_.groupOfRecord.push_back(c > 0 ? groups.groupOfClass[static_cast<std::size_t>(c - 1)] : -1);
        }
        if (!division.names().empty())
            for (int c = 1; c <= classCount; ++c)
                groups_.classNames.push_back(division.className(c, {}));
    }
    weigher_ = std::make_unique<ChangeWeigher>(
        state_, classCount, rules_, division.settings().rankBands, newcomers_, groups_);
}

std::string ChangeStudy::nameOf(int record) const
{
    return Gb18030ToUtf8(state_.Records[static_cast<std::size_t>(record)]->Name);
}

ChangeEntry ChangeStudy::entry(const Proposal* proposal, const ChangeMeta& meta) const
{
    ChangeEntry entry = pending_;
    entry.date = meta.date;
    entry.by = meta.by;
    entry.reason = meta.reason;
    entry.leaveKind = pending_.kind == ChangeKind::Leave ? meta.leaveKind : std::string();
    if (proposal != nullptr) {
        const std::vector<int> classes = ClassesOfRecords(state_);
        for (const Placement& move : proposal->moves) {
            entry.placements.emplace_back(IdOfRecord(trial_, move.record), move.classNo);
            entry.placedNames.push_back(nameOf(move.record));
            entry.fromClasses.push_back(classes[static_cast<std::size_t>(move.record)]);
        }
        if (pending_.kind == ChangeKind::Request && !proposal->moves.empty())
            entry.student = IdOfRecord(trial_, proposal->moves.front().record);
        entry.figures = movesText(*proposal) + "；" + figuresText(*proposal);
    }
    if (pending_.kind == ChangeKind::Leave && trial_.after && !trial_.after->left.empty()) {
        const LeftStudent& left = trial_.after->left.back();
        entry.figures = (left.cells.empty() ? std::string() : left.cells.front()) + " 从 " + classText(left.classNo)
            + (entry.leaveKind.empty() ? "转出" : entry.leaveKind)
            + (entry.figures.empty() ? std::string() : "；人数调整：" + entry.figures);
    }
    return entry;
}

std::string ChangeStudy::movesText(const Proposal& proposal) const
{
    const std::vector<int> classes = ClassesOfRecords(state_);
    std::string text;
    for (const Placement& move : proposal.moves) {
        const int from = classes[static_cast<std::size_t>(move.record)];
        text += (text.empty() ? "" : "，") + nameOf(move.record) + " "
            + (from > 0 ? classText(from) + " " : std::string()) + "→ " + classText(move.classNo);
    }
    return text;
}

std::string ChangeStudy::figuresText(const Proposal& proposal) const
{
    const auto column = [this](int c) {
        return c >= 0 && static_cast<std::size_t>(c) < subjectNames_.size()
            ? "（" + Trimmed(subjectNames_[static_cast<std::size_t>(c)]) + "）"
            : std::string();
    };
    std::string text = "总偏差 " + Hundredths(proposal.before.totalHundredths) + " → "
        + Hundredths(proposal.after.totalHundredths) + "；最大差 " + TwoDecimals(proposal.before.largestGap)
        + column(proposal.before.largestGapColumn) + " → " + TwoDecimals(proposal.after.largestGap)
        + column(proposal.after.largestGapColumn);
    if (proposal.before.bandsOut > 0 || proposal.after.bandsOut > 0)
        text += "；分数段超出 " + std::to_string(proposal.before.bandsOut) + " → "
            + std::to_string(proposal.after.bandsOut);
    return text;
}

std::string ChangeStudy::sharesText(const Proposal& proposal) const
{
    std::string text;
    for (const ClassShare& share : proposal.shares) {
        text += (text.empty() ? "" : "；") + classText(share.classNo) + " " + std::to_string(share.sizeBefore) + " → "
            + std::to_string(share.size) + " 人（男 " + std::to_string(share.boys) + "，女 "
            + std::to_string(share.girls) + "）";
        if (share.band >= 0)
            text += "，第 " + std::to_string(share.band + 1) + " 段 " + std::to_string(share.bandCount) + " 人（应 "
                + (share.bandLow == share.bandHigh
                        ? std::to_string(share.bandLow)
                        : std::to_string(share.bandLow) + "–" + std::to_string(share.bandHigh))
                + "）";
    }
    return text;
}

TableRows RosterWithChanges(const Division& division)
{
    const Snapshot snapshot = division.capture();
    const CellGrid table = division.source().table->Unpack();
    const std::vector<int> classes = ClassesOfRecords(division.state());
    TableRows rows;
    const auto rowOf = [](const CellGrid& grid, int r) {
        std::vector<std::string> cells;
        for (int col = 1; col < grid.heldCells(r); ++col)
            cells.push_back(grid.cell(col, r));
        return cells;
    };
    std::vector<std::string> header = rowOf(table, 0);
    const std::size_t width = std::max<std::size_t>(header.size(), ClassColumn);
    header.resize(width);
    header.push_back("状态");
    rows.push_back(std::move(header));
    const auto add = [&](std::vector<std::string> cells, int classNo, const char* state) {
        cells.resize(width);
        cells[ClassColumn - 1] = classNo > 0 ? std::to_string(classNo) : std::string();
        cells.push_back(state);
        rows.push_back(std::move(cells));
    };
    const AfterDivision* after = division.after();
    const StudentId ids = after != nullptr ? after->nextId : static_cast<StudentId>(classes.size());
    for (StudentId id = 0; id < ids; ++id) {
        if (const int at = RecordOfId(snapshot, id); at >= 0) {
            add(rowOf(table, at + 1), classes[static_cast<std::size_t>(at)], "");
            continue;
        }
        if (after == nullptr)
            continue;
        for (const LeftStudent& left : after->left)
            if (left.id == id)
                add(left.cells, left.classNo, "已转出");
    }
    return rows;
}

std::string ChangeRecordText(const ChangeEntry& entry)
{
    std::string text = ChangeCategory(entry) + "（" + entry.date + "）";
    if (!entry.figures.empty())
        text += "：" + entry.figures;
    if (!entry.by.empty())
        text += "；申请人 " + entry.by;
    if (!entry.reason.empty())
        text += "；原因 " + entry.reason;
    text += "；结果指纹 " + entry.resultAfter;
    return text;
}

} // namespace fenban
