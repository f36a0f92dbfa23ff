#pragma once

#include "document/Division.h"
#include "engine/BalanceReport.h"
#include "io/OutputTables.h"
#include "io/PublicOutputs.h"

#include <optional>
#include <vector>

namespace fenban {

// What the window's exports and `fenban divide` write of a division, made
// once for both.

// The class lists, the averages: each class titled with its teacher.
DivisionTables DivisionOutput(const Division& division);

// The groups of classes the balance report counts apart: the plan's groups
// while a 选科分班 stands, else the groups of the 班级设置 as followed; none otherwise.
ClassGroups ReportGroupsOf(const Division& division);

// The balance report of the division as it stands, by its 分数段, with the
// breaches its school rules force marked; one block per group of
// ReportGroupsOf (BalanceReport::blocks).
BalanceReport BalanceReportOf(const Division& division);
// The same of a copy of the division's state (the window makes it on a worker).
BalanceReport BalanceReportOf(const DivisionState& state, int classCount, int bands, const ClassGroups& groups = {});

// The report as the workbook's sheet 均衡 and the printed page (BalanceTable).
OutputTable BalanceOutput(const Division& division);

// The workbook's sheets: WorkbookTables, the balance report, the leavers (转出) last.
std::vector<OutputTable> WorkbookOutput(const Division& division);

// The students who left after the division: 序号, 姓名, 性别, 原班级, 转出日期,
// 类别, 原因; sheet and page "转出". None without leavers.
std::optional<OutputTable> LeftOutput(const Division& division);

// 变更公示: every change after the division, a row per student it places
// or takes out: 序号, 日期, 姓名 (masked when asked), 原班级, 新班级, 类别; no
// scores. One table ("变更"); `options` gets the result fingerprints
// before the first change and now for its footer.
OutputTable ChangeNoticeOutput(const Division& division, NoticeOptions& options);

// The printed pages: the class lists, the averages, the balance report with
// `balancePictures` below it, the leavers (转出), the record (操作记录) last. `pictures` gets
// the pictures of every page.
std::vector<OutputTable> PrintedOutput(
    const Division& division, std::vector<OutputPicture> balancePictures, TablePictures& pictures);

} // namespace fenban
