#include "engine/BalanceReport.h"

#include "engine/Division.h"

#include <algorithm>
#include <cmath>

namespace fenban {

namespace {

std::size_t At(int index)
{
    return static_cast<std::size_t>(index);
}

// Mean and standard deviation (over n) of 总分 of the students.
void Spread(const std::vector<const TStudent*>& students, double& mean, double& deviation)
{
    mean = deviation = 0;
    if (students.empty())
        return;
    long double sum = 0;
    for (const TStudent* s : students)
        sum += s->Scores[0];
    const long double m = sum / static_cast<long double>(students.size());
    long double squares = 0;
    for (const TStudent* s : students)
        squares += (s->Scores[0] - m) * (s->Scores[0] - m);
    mean = static_cast<double>(m);
    deviation = static_cast<double>(std::sqrt(squares / static_cast<long double>(students.size())));
}

void Genders(const std::vector<const TStudent*>& students, BalanceReport::Row& row)
{
    row.size = static_cast<int>(students.size());
    for (const TStudent* s : students) {
        row.boys += s->Gender == ShortString<2>(MaleGender);
        row.girls += s->Gender == ShortString<2>(FemaleGender);
    }
}

bool Outside(int count, int k, int classes)
{
    return count < k / classes || count > (k + classes - 1) / classes;
}

BalanceReport::Range RangeOf(const std::vector<BalanceReport::Row>& rows, int BalanceReport::Row::*field)
{
    BalanceReport::Range range {rows.front().*field, rows.front().*field};
    for (const BalanceReport::Row& row : rows) {
        range.low = std::min(range.low, row.*field);
        range.high = std::max(range.high, row.*field);
    }
    return range;
}

} // namespace

BalanceReport MakeBalanceReport(const DivisionState& state, int classCount, int bands)
{
    BalanceReport report;
    report.bands = bands;
    classCount = std::min(classCount, static_cast<int>(state.FClasses.size()));
    if (classCount < 1)
        return report;
    report.classCount = classCount;
    const std::vector<int> classOf = ClassesOfRecords(state);
    std::vector<std::vector<const TStudent*>> members(At(classCount));
    std::vector<const TStudent*> all;
    for (int c = 0; c < classCount; ++c)
        for (const TStudent* s : state.FClasses[At(c)]) {
            members[At(c)].push_back(s);
            all.push_back(s);
        }
    report.classes.resize(At(classCount));
    Genders(all, report.grade);
    Spread(all, report.grade.mean, report.grade.deviation);

    // Averages per column: the grade's and each class's.
    std::array<long double, SubjectCount> gradeSum {};
    for (const TStudent* s : all)
        for (int k = 0; k < SubjectCount; ++k) {
            gradeSum[At(k)] += s->Scores[k];
            report.columnUsed[At(k)] = report.columnUsed[At(k)] || s->Scores[k] != 0;
        }
    std::array<double, SubjectCount> lowest {}, highest {};
    for (int c = 0; c < classCount; ++c) {
        BalanceReport::Row& row = report.classes[At(c)];
        Genders(members[At(c)], row);
        Spread(members[At(c)], row.mean, row.deviation);
        row.deviationOut = !members[At(c)].empty()
            && std::fabs(row.deviation - report.grade.deviation)
                > BalanceReport::DeviationShare * report.grade.deviation;
        for (int k = 0; k < SubjectCount; ++k) {
            if (!report.columnUsed[At(k)] || members[At(c)].empty())
                continue;
            long double sum = 0;
            for (const TStudent* s : members[At(c)])
                sum += s->Scores[k];
            const double average = static_cast<double>(sum / static_cast<long double>(members[At(c)].size()));
            const double gap
                = std::fabs(average - static_cast<double>(gradeSum[At(k)] / static_cast<long double>(all.size())));
            if (row.largestGapColumn < 0 || gap > row.largestGap) {
                row.largestGap = gap;
                row.largestGapColumn = k;
            }
            lowest[At(k)] = c == 0 ? average : std::min(lowest[At(k)], average);
            highest[At(k)] = c == 0 ? average : std::max(highest[At(k)], average);
        }
    }
    for (int k = 0; k < SubjectCount; ++k)
        report.columnGap[At(k)] = report.columnUsed[At(k)] ? highest[At(k)] - lowest[At(k)] : 0;

    // Ranks.
    std::vector<int> ranked;
    for (const int r : RankedRecords(state, classOf))
        if (classOf[At(r)] <= classCount)
            ranked.push_back(r);
    const auto n = static_cast<int>(ranked.size());
    const auto count = [&](int first, int size, int BalanceReport::Row::*field) {
        for (int at = first; at < first + size && at < n; ++at)
            ++(report.classes[At(classOf[At(ranked[At(at)])] - 1)].*field);
    };
    report.topNSize = std::min(n, classCount);
    report.top2NSize = std::min(n, 2 * classCount);
    report.topFivePercentSize = TopCount(n, 5);
    report.topTenPercentSize = TopCount(n, 10);
    report.bottomTenPercentSize = TopCount(n, 10);
    count(0, report.topNSize, &BalanceReport::Row::topN);
    count(0, report.top2NSize, &BalanceReport::Row::top2N);
    count(0, report.topFivePercentSize, &BalanceReport::Row::topFivePercent);
    count(0, report.topTenPercentSize, &BalanceReport::Row::topTenPercent);
    count(n - report.bottomTenPercentSize, report.bottomTenPercentSize, &BalanceReport::Row::bottomTenPercent);
    report.grade.topN = report.topNSize;
    report.grade.top2N = report.top2NSize;
    report.grade.topFivePercent = report.topFivePercentSize;
    report.grade.topTenPercent = report.topTenPercentSize;
    report.grade.bottomTenPercent = report.bottomTenPercentSize;
    for (BalanceReport::Row& row : report.classes) {
        row.topFivePercentOut = Outside(row.topFivePercent, report.topFivePercentSize, classCount);
        row.topTenPercentOut = Outside(row.topTenPercent, report.topTenPercentSize, classCount);
        row.bottomTenPercentOut = Outside(row.bottomTenPercent, report.bottomTenPercentSize, classCount);
    }
    report.topN = RangeOf(report.classes, &BalanceReport::Row::topN);
    report.top2N = RangeOf(report.classes, &BalanceReport::Row::top2N);
    report.topFivePercent = RangeOf(report.classes, &BalanceReport::Row::topFivePercent);
    report.topTenPercent = RangeOf(report.classes, &BalanceReport::Row::topTenPercent);
    report.bottomTenPercent = RangeOf(report.classes, &BalanceReport::Row::bottomTenPercent);
    report.lowestDeviation = report.highestDeviation = report.classes.front().deviation;
    for (const BalanceReport::Row& row : report.classes) {
        report.lowestDeviation = std::min(report.lowestDeviation, row.deviation);
        report.highestDeviation = std::max(report.highestDeviation, row.deviation);
    }

    // Bands and the top groups as the search keeps them.
    for (RankGroup& group : MakeRankGroups(state, classOf, classCount, RankBalance {bands})) {
        std::vector<int> counts(At(classCount), 0);
        for (const int r : group.records)
            ++counts[At(classOf[At(r)] - 1)];
        const auto k = static_cast<int>(group.records.size());
        const int low = k / classCount, high = (k + classCount - 1) / classCount;
        group.records.clear();
        if (group.kind == RankGroup::Kind::Band)
            report.worstBandDifference = std::max(report.worstBandDifference,
                *std::max_element(counts.begin(), counts.end()) - *std::min_element(counts.begin(), counts.end()));
        for (int c = 0; c < classCount; ++c)
            if (counts[At(c)] < low || counts[At(c)] > high)
                report.breaches.push_back({group, c + 1, counts[At(c)], low, high});
    }
    return report;
}

std::string WorstBandText(const BalanceReport& report)
{
    if (report.bands <= 0)
        return {};
    return "分数段最大差 " + std::to_string(report.worstBandDifference);
}

} // namespace fenban
