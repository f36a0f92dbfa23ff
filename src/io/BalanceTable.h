#pragma once

#include "engine/BalanceReport.h"
#include "engine/ClassSetup.h"
#include "io/OutputTables.h"

#include <string>
#include <vector>

namespace fenban {

// The balance report as a table: the workbook's sheet 均衡 and a page of the
// printed class lists. Per class (1班 … N班) and then for the grade (年级):
// 人数, 男, 女, 总分平均, 标准差, 前N名, 前2N名, 前5%, 前10%, 后10%, the largest gap
// of a class average from the grade's and its subject, and 超出 naming the
// figures out of bounds. Below, a row of the subjects and a row of the gap
// between the highest and the lowest class average in each (各科最大差), then
// 分数段最大差 and one row per band count out of bounds. subjectNames: UTF-8,
// the total first, as the listings head them.
// With a set-up's names, each class's row bears its name. With the report's
// blocks (a set-up followed), the classes stand group by group, each group
// closed by its own row ("实验班全体": its students' figures) and its own
// 各科最大差 row ("实验班各科最大差"), the grade's after them all.
OutputTable BalanceTable(
    const BalanceReport& report, const std::vector<std::string>& subjectNames, const ClassSetup& names = {});

// The class indices in the order of the table's class rows.
std::vector<int> BalanceTableClassOrder(const BalanceReport& report);

// A score column's name in the report: its subject name, else (none, or spaces) 总分 or 第k科.
std::string SubjectName(const std::vector<std::string>& subjectNames, int column);

// One count out of bounds in words, for the band figure's tooltip:
// "1班 男 第8段：4 人，应为 2–3 人", and its cause when the rules force it;
// the class by its set-up name where it has one.
std::string BreachText(const BalanceReport::BandBreach& breach, const ClassSetup& names = {});

// What a rank group is called in the report: "男 第3段" (the band's gender as
// UTF-8, bands from 1 = the best), "前N名", "前2N名", "前5%".
std::string RankGroupName(const RankGroup& group);

} // namespace fenban
