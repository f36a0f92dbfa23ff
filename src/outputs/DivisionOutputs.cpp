#include "outputs/DivisionOutputs.h"

#include "io/BalanceTable.h"
#include "io/PublicOutputs.h"
#include "rules/RuleBuilder.h"

namespace fenban {

DivisionTables DivisionOutput(const Division& division)
{
    DivisionTables tables = MakeDivisionTables(division.state(), division.settings().subjectNames);
    AddTeachersToTitles(tables, division.publicState().teachers);
    return tables;
}

BalanceReport BalanceReportOf(const DivisionState& state, int classCount, int bands)
{
    BalanceReport report = MakeBalanceReport(state, classCount, bands);
    if (!report.breaches.empty()) {
        try {
            // Sound-alike names only keep students apart: they force no count.
            MarkForcedBreaches(report, state, BuildDivisionRules(state, classCount, false));
        } catch (const RuleValueError&) {
            // A bad 固定 value: no rules to go by, so no breach counts as forced.
        }
    }
    return report;
}

BalanceReport BalanceReportOf(const Division& division)
{
    return BalanceReportOf(division.state(), division.classCount(), division.settings().rankBands);
}

OutputTable BalanceOutput(const Division& division)
{
    return BalanceTable(BalanceReportOf(division), division.settings().subjectNames);
}

std::vector<OutputTable> WorkbookOutput(const Division& division)
{
    std::vector<OutputTable> sheets = WorkbookTables(DivisionOutput(division));
    sheets.push_back(BalanceOutput(division));
    return sheets;
}

std::vector<OutputTable> PrintedOutput(
    const Division& division, std::vector<OutputPicture> balancePictures, TablePictures& pictures)
{
    const DivisionTables tables = DivisionOutput(division);
    std::vector<OutputTable> printed = PrintedTablesWithRecord(tables, division.publicState().record);
    const auto at = static_cast<std::ptrdiff_t>(PrintedTables(tables).size());
    printed.insert(printed.begin() + at, BalanceOutput(division));
    pictures.clear();
    pictures.resize(printed.size());
    pictures[static_cast<std::size_t>(at)] = std::move(balancePictures);
    return printed;
}

} // namespace fenban
