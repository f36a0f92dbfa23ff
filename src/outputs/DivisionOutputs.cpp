#include "outputs/DivisionOutputs.h"

#include "audit/NoticeNames.h"
#include "engine/GroupBalancing.h"
#include "io/BalanceTable.h"
#include "io/PublicOutputs.h"
#include "roster/RosterBuilder.h"
#include "rules/RuleBuilder.h"

#include <optional>

namespace fenban {

DivisionTables DivisionOutput(const Division& division)
{
    DivisionTables tables = MakeDivisionTables(division.state(), division.settings().subjectNames, division.names());
    AddTeachersToTitles(tables, division.publicState().teachers);
    return tables;
}

namespace {

// The school rules that can force a count: sound-alike names only keep
// students apart, so they are left out. None for a bad 固定 value.
std::optional<DivisionRules> ForcingRules(const DivisionState& state, int classCount)
{
    try {
        return BuildDivisionRules(state, classCount, false);
    } catch (const RuleValueError&) {
        return std::nullopt;
    }
}

} // namespace

ClassGroups ReportGroupsOf(const Division& division)
{
    const int classCount = division.classCount();
    const PlanDivision* choice = division.choiceDivision();
    if (choice != nullptr && choice->classGroups.size() == static_cast<std::size_t>(classCount)) {
        // In the order of their first class, as the set-up's.
        ClassGroups groups;
        std::vector<int> groupOfPlanGroup(choice->plan.groups.size(), -1);
        for (int c = 0; c < classCount; ++c) {
            const std::size_t planGroup = choice->classGroups[static_cast<std::size_t>(c)];
            int& group = groupOfPlanGroup.at(planGroup);
            if (group < 0) {
                group = static_cast<int>(groups.classes.size());
                groups.classes.emplace_back();
                groups.names.push_back(choice->plan.groups[planGroup].name());
            }
            groups.groupOfClass.push_back(group);
            groups.classes[static_cast<std::size_t>(group)].push_back(c);
        }
        return groups;
    }
    const ClassSetup& setup = division.activeSetup();
    return !setup.empty() && setup.classCount() == classCount ? GroupsOf(setup) : ClassGroups {};
}

BalanceReport BalanceReportOf(const DivisionState& state, int classCount, int bands, const ClassGroups& groups)
{
    BalanceReport report = MakeBalanceReport(state, classCount, bands);
    if (!groups.empty() && groups.groupOfClass.size() == static_cast<std::size_t>(classCount)
        && report.classCount == classCount) {
        // Each group counted on its own: its classes against its means, its bands and fair shares.
        const std::optional<DivisionRules> rules = ForcingRules(state, classCount);
        report.breaches.clear();
        report.worstBandDifference = 0;
        for (std::size_t g = 0; g < groups.classes.size(); ++g) {
            const std::vector<int>& classes = groups.classes[g];
            std::vector<int> records;
            const DivisionState partState = GroupPartOf(state, classes, &records);
            BalanceReport part = MakeBalanceReport(partState, static_cast<int>(classes.size()), bands);
            if (rules && !part.breaches.empty())
                MarkForcedBreaches(part, partState, RulesOfPart(*rules, records, classes));
            report.blocks.push_back({groups.names[g], classes, part.grade, part.columnGap});
            for (std::size_t j = 0; j < classes.size() && j < part.classes.size(); ++j)
                report.classes[static_cast<std::size_t>(classes[j])] = part.classes[j];
            for (BalanceReport::BandBreach breach : part.breaches) {
                breach.classNo = classes[static_cast<std::size_t>(breach.classNo - 1)] + 1;
                report.breaches.push_back(breach);
            }
            report.worstBandDifference = std::max(report.worstBandDifference, part.worstBandDifference);
        }
        return report;
    }
    if (!report.breaches.empty())
        if (const std::optional<DivisionRules> rules = ForcingRules(state, classCount))
            MarkForcedBreaches(report, state, *rules);
    return report;
}

BalanceReport BalanceReportOf(const Division& division)
{
    return BalanceReportOf(
        division.state(), division.classCount(), division.settings().rankBands, ReportGroupsOf(division));
}

OutputTable BalanceOutput(const Division& division)
{
    return BalanceTable(BalanceReportOf(division), division.settings().subjectNames, division.names());
}

std::optional<OutputTable> LeftOutput(const Division& division)
{
    const AfterDivision* after = division.after();
    if (after == nullptr || after->left.empty())
        return std::nullopt;
    OutputTable table;
    table.name = "转出";
    table.title = "转出学生";
    table.header = {"序号", "姓名", "性别", "原班级", "转出日期", "类别", "原因"};
    const auto cell = [](const LeftStudent& student, int column) {
        return static_cast<std::size_t>(column - 1) < student.cells.size()
            ? student.cells[static_cast<std::size_t>(column - 1)]
            : std::string();
    };
    for (std::size_t k = 0; k < after->left.size(); ++k) {
        const LeftStudent& student = after->left[k];
        table.rows.push_back({static_cast<double>(k + 1), cell(student, NameColumn), cell(student, GenderColumn),
            division.names().empty() ? OutputCell(static_cast<double>(student.classNo))
                                     : OutputCell(division.className(student.classNo, {})),
            student.date, student.kind, student.reason});
    }
    return table;
}

OutputTable ChangeNoticeOutput(const Division& division, NoticeOptions& options)
{
    OutputTable table;
    table.name = "变更";
    table.title = "分班后的变更";
    table.header = {"序号", "日期", "姓名", "原班级", "新班级", "类别"};
    const AfterDivision* after = division.after();
    options.earlierFingerprint.clear();
    options.resultFingerprint = division.resultFingerprint();
    if (after == nullptr)
        return table;
    if (!after->changes.empty())
        options.earlierFingerprint = after->changes.front().resultBefore;
    const auto name = [&options](const std::string& text) { return options.maskNames ? MaskName(text) : text; };
    const auto classText = [&division](int classNo) {
        return classNo > 0 ? division.className(classNo, std::to_string(classNo) + "班") : std::string("—");
    };
    for (const ChangeEntry& entry : after->changes) {
        const std::string category = ChangeCategory(entry);
        if (entry.kind == ChangeKind::Leave)
            for (const LeftStudent& left : after->left)
                if (left.id == entry.student)
                    table.rows.push_back({static_cast<double>(table.rows.size() + 1), entry.date,
                        name(left.cells.empty() ? std::string() : left.cells.front()), classText(left.classNo),
                        std::string("转出"), category});
        for (std::size_t k = 0; k < entry.placements.size(); ++k) {
            const bool requested = entry.kind == ChangeKind::Request && entry.placements[k].first == entry.student;
            const bool newcomer = entry.kind == ChangeKind::Arrival && k < entry.rows.size();
            const std::string why = entry.kind == ChangeKind::Leave ? "转出后人数调整"
                : newcomer || requested                             ? category
                                                                    : category + "（配合调换）";
            table.rows.push_back({static_cast<double>(table.rows.size() + 1), entry.date,
                name(k < entry.placedNames.size() ? entry.placedNames[k] : std::string()),
                classText(k < entry.fromClasses.size() ? entry.fromClasses[k] : 0),
                classText(entry.placements[k].second), why});
        }
    }
    return table;
}

std::vector<OutputTable> WorkbookOutput(const Division& division)
{
    std::vector<OutputTable> sheets = WorkbookTables(DivisionOutput(division));
    sheets.push_back(BalanceOutput(division));
    if (std::optional<OutputTable> left = LeftOutput(division))
        sheets.push_back(std::move(*left));
    return sheets;
}

std::vector<OutputTable> PrintedOutput(
    const Division& division, std::vector<OutputPicture> balancePictures, TablePictures& pictures)
{
    const DivisionTables tables = DivisionOutput(division);
    std::vector<OutputTable> printed = PrintedTablesWithRecord(tables, division.publicState().record);
    const auto at = static_cast<std::ptrdiff_t>(PrintedTables(tables).size());
    printed.insert(printed.begin() + at, BalanceOutput(division));
    if (std::optional<OutputTable> left = LeftOutput(division))
        printed.insert(printed.begin() + at + 1, std::move(*left));
    pictures.clear();
    pictures.resize(printed.size());
    pictures[static_cast<std::size_t>(at)] = std::move(balancePictures);
    return printed;
}

} // namespace fenban
