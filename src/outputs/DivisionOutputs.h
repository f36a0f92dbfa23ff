#pragma once

#include "document/Division.h"
#include "engine/BalanceReport.h"
#include "io/OutputTables.h"

#include <vector>

namespace fenban {

// What the window's exports and `fenban divide` write of a division, made
// once for both.

// The class lists, the averages: each class titled with its teacher.
DivisionTables DivisionOutput(const Division& division);

// The balance report of the division as it stands, by its 分数段, with the
// breaches its school rules force marked.
BalanceReport BalanceReportOf(const Division& division);
// The same of a copy of the division's state (the window makes it on a worker).
BalanceReport BalanceReportOf(const DivisionState& state, int classCount, int bands);

// The report as the workbook's sheet 均衡 and the printed page (BalanceTable).
OutputTable BalanceOutput(const Division& division);

// The workbook's sheets: WorkbookTables, the balance report last.
std::vector<OutputTable> WorkbookOutput(const Division& division);

// The printed pages: the class lists, the averages, the balance report with
// `balancePictures` below it, the record (操作记录) last. `pictures` gets
// the pictures of every page.
std::vector<OutputTable> PrintedOutput(
    const Division& division, std::vector<OutputPicture> balancePictures, TablePictures& pictures);

} // namespace fenban
