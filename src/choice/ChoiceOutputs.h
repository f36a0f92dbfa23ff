#pragma once

#include "document/Division.h"
#include "io/OutputTables.h"

#include <vector>

namespace fenban {

// What the outputs hold of a division within a plan (选科分班).
struct ChoiceTables {
    OutputTable plan; // 方案: 组合, 类型, 人数, 班数, 班级, 走班学科
    OutputTable summary; // 汇总: rooms, walking students, per subject its teaching classes
    DivisionTables division; // the home classes named after the plan, each student's combination last
    std::vector<OutputTable> teaching; // one per teaching class, each student's home class beside it
};

// The plan as a table (also for the plan before a division: no left-out count then).
OutputTable PlanTable(const ChoicePlan& plan);
OutputTable PlanSummaryTable(const ChoicePlan& plan, std::size_t leftOut);

// The tables of the division, which must hold a plan (Division::choiceDivision).
ChoiceTables MakeChoiceTables(const Division& division);

// The workbook's sheets: 方案, 汇总, 全部, the home classes, the teaching classes, 平均分.
std::vector<OutputTable> ChoiceWorkbookTables(const ChoiceTables& tables);
// The printed pages: 方案, 汇总, the home classes, the teaching classes, 平均分.
std::vector<OutputTable> ChoicePrintedTables(const ChoiceTables& tables);

} // namespace fenban
