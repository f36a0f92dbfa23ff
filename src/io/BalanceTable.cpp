#include "io/BalanceTable.h"

#include "roster/Gb18030.h"

#include <cmath>

namespace fenban {

namespace {

double Rounded(double value, double unit)
{
    return std::round(value / unit) * unit;
}

std::vector<OutputCell> Row(
    const std::string& label, const BalanceReport::Row& row, const std::vector<std::string>& subjectNames, bool flags)
{
    std::vector<OutputCell> cells {label, double(row.size), double(row.boys), double(row.girls),
        Rounded(row.mean, 0.01), Rounded(row.deviation, 0.01), double(row.topN), double(row.top2N),
        double(row.topFivePercent), double(row.topTenPercent), double(row.bottomTenPercent)};
    if (row.largestGapColumn >= 0) {
        cells.emplace_back(Rounded(row.largestGap, 0.01));
        cells.emplace_back(SubjectName(subjectNames, row.largestGapColumn));
    } else {
        cells.emplace_back(std::string());
        cells.emplace_back(std::string());
    }
    std::string out;
    const auto flag = [&out](bool on, const char* name) {
        if (on)
            out += (out.empty() ? "" : "、") + std::string(name);
    };
    if (flags) {
        flag(row.deviationOut, "标准差");
        flag(row.topFivePercentOut, "前5%");
        flag(row.topTenPercentOut, "前10%");
        flag(row.bottomTenPercentOut, "后10%");
    }
    cells.emplace_back(out);
    return cells;
}

} // namespace

std::string SubjectName(const std::vector<std::string>& names, int column)
{
    // A column without a header has a name of spaces.
    if (column >= 0 && static_cast<std::size_t>(column) < names.size()
        && names[static_cast<std::size_t>(column)].find_first_not_of(' ') != std::string::npos)
        return names[static_cast<std::size_t>(column)];
    return column == 0 ? "总分" : "第" + std::to_string(column) + "科";
}

namespace {

const std::string ForcedCause = "手工调班、固定或同班学生所致";

// The rule and students that force a breach, or the causes in general where it names none.
std::string CauseOf(const BalanceReport::BandBreach& breach)
{
    return breach.cause.empty() ? ForcedCause : breach.cause + " 所致";
}

} // namespace

std::string BreachText(const BalanceReport::BandBreach& breach, const ClassSetup& names)
{
    return ClassNameOr(names, breach.classNo, std::to_string(breach.classNo) + "班") + " " + RankGroupName(breach.group)
        + "：" + std::to_string(breach.count) + " 人，应为 " + BoundsText(breach) + " 人"
        + (breach.forced ? "（" + CauseOf(breach) + "）" : "");
}

std::string RankGroupName(const RankGroup& group)
{
    switch (group.kind) {
    case RankGroup::Kind::Band:
        return Gb18030ToUtf8(group.gender) + " 第" + std::to_string(group.band + 1) + "段";
    case RankGroup::Kind::TopN:
        return "前N名";
    case RankGroup::Kind::Top2N:
        return "前2N名";
    case RankGroup::Kind::TopFivePercent:
        return "前5%";
    }
    return {};
}

std::vector<int> BalanceTableClassOrder(const BalanceReport& report)
{
    std::vector<int> order;
    if (report.blocks.empty())
        for (std::size_t c = 0; c < report.classes.size(); ++c)
            order.push_back(static_cast<int>(c));
    for (const BalanceReport::Block& block : report.blocks)
        order.insert(order.end(), block.classes.begin(), block.classes.end());
    return order;
}

OutputTable BalanceTable(
    const BalanceReport& report, const std::vector<std::string>& subjectNames, const ClassSetup& classNames)
{
    OutputTable table;
    table.name = "均衡";
    table.title = "各班均衡情况";
    table.header = {"班级", "人数", "男", "女", "总分平均", "标准差", "前N名", "前2N名", "前5%", "前10%", "后10%",
        "最大差", "最大差科目", "超出"};
    const auto className
        = [&classNames](int c) { return ClassNameOr(classNames, c + 1, std::to_string(c + 1) + "班"); };
    for (const int c : BalanceTableClassOrder(report)) {
        table.rows.push_back(Row(className(c), report.classes[static_cast<std::size_t>(c)], subjectNames, true));
        for (const BalanceReport::Block& block : report.blocks)
            if (block.classes.back() == c)
                table.rows.push_back(Row(block.name + "全体", block.group, subjectNames, false));
    }
    table.rows.push_back(Row("年级", report.grade, subjectNames, false));
    table.rows.emplace_back();
    std::vector<OutputCell> names {std::string("科目")};
    const auto gapsRow = [&](const std::string& label, const std::array<double, 11>& columnGap) {
        std::vector<OutputCell> gaps {label};
        for (std::size_t k = 0; k < report.columnUsed.size(); ++k)
            if (report.columnUsed[k])
                gaps.emplace_back(Rounded(columnGap[k], 0.01));
        return gaps;
    };
    for (int k = 0; k < static_cast<int>(report.columnUsed.size()); ++k)
        if (report.columnUsed[static_cast<std::size_t>(k)])
            names.emplace_back(SubjectName(subjectNames, k));
    table.rows.push_back(std::move(names));
    if (report.blocks.empty())
        table.rows.push_back(gapsRow("各科最大差", report.columnGap));
    for (const BalanceReport::Block& block : report.blocks)
        table.rows.push_back(gapsRow(block.name + "各科最大差", block.columnGap));
    if (report.bands > 0) {
        table.rows.push_back({std::string("分数段"), double(report.bands), std::string("分数段最大差"),
            double(report.worstBandDifference)});
        for (const BalanceReport::BandBreach& breach : report.breaches)
            table.rows.push_back({std::string("超出范围"), RankGroupName(breach.group), className(breach.classNo - 1),
                double(breach.count), "应为" + BoundsText(breach) + "人",
                breach.forced ? CauseOf(breach) : std::string()});
    }
    return table;
}

} // namespace fenban
