#include "engine/BalanceReport.h"

#include "engine/Division.h"
#include "engine/UnionFind.h"

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

// How far a count lies outside low..high.
int Beyond(int count, int low, int high)
{
    return count < low ? low - count : count > high ? count - high : 0;
}

// Where the rules hold students: per record the class it stays in (0: free)
// and, for a free member of a free 同班 group, the group's representative (-1: none).
struct Anchors {
    std::vector<int> stays, unit;
};

Anchors AnchorsOf(
    const DivisionState& state, const std::vector<int>& classOf, int classCount, const DivisionRules& rules)
{
    const std::size_t n = state.Records.size();
    Anchors anchors {std::vector<int>(n, 0), std::vector<int>(n, -1)};
    const auto listed = [&](int r) {
        return r >= 0 && At(r) < n && At(r) < classOf.size() && classOf[At(r)] >= 1 && classOf[At(r)] <= classCount;
    };
    for (std::size_t r = 0; r < n; ++r)
        if (listed(static_cast<int>(r)) && state.Records[r]->IsHandPlacedForBalancing())
            anchors.stays[r] = classOf[r];
    for (const auto& [r, number] : rules.fixed)
        if (listed(r))
            anchors.stays[At(r)] = classOf[At(r)]; // where it stands: the rule check names a misplaced one
    UnionFind groups(n);
    std::vector<char> grouped(n, 0), anchored(n, 0);
    for (const std::vector<int>& together : rules.together) {
        int first = -1;
        for (const int r : together)
            if (listed(r)) {
                if (first < 0)
                    first = r;
                groups.Join(first, r);
                grouped[At(r)] = 1;
            }
    }
    for (std::size_t r = 0; r < n; ++r)
        if (grouped[r] && anchors.stays[r] != 0)
            anchored[At(groups.Find(static_cast<int>(r)))] = 1;
    for (std::size_t r = 0; r < n; ++r) {
        if (!grouped[r])
            continue;
        const auto root = At(groups.Find(static_cast<int>(r)));
        if (anchored[root])
            anchors.stays[r] = classOf[r];
        else
            anchors.unit[r] = static_cast<int>(root);
    }
    return anchors;
}

// The least a division keeping the anchors can leave the group's counts out
// of low..high, summed over the classes; `forcedOut` gets, per class, whether
// the anchors alone put it out.
int LeastBeyond(const RankGroup& group, const DivisionState& state, const std::vector<int>& classOf, int classCount,
    const Anchors& anchors, std::vector<char>& forcedOut, const std::vector<int>& counts)
{
    const auto k = static_cast<int>(group.records.size());
    const int low = k / classCount, high = (k + classCount - 1) / classCount;
    std::vector<char> member(state.Records.size(), 0);
    for (const int r : group.records)
        member[At(r)] = 1;
    // Per class: the anchored members (least), the largest free 同班 group's
    // members, and the places left beside the anchored others (most).
    std::vector<int> least(At(classCount), 0), places(At(classCount), 0);
    std::vector<std::vector<std::pair<int, int>>> units(At(classCount)); // (group, members)
    for (std::size_t r = 0; r < state.Records.size() && r < classOf.size(); ++r) {
        const int c = classOf[r] - 1;
        if (c < 0 || c >= classCount)
            continue;
        if (group.kind == RankGroup::Kind::Band && state.Records[r]->Gender.view() != group.gender)
            continue;
        if (!member[r] && anchors.stays[r] == 0)
            ++places[At(c)];
        if (!member[r])
            continue;
        ++places[At(c)];
        if (anchors.stays[r] != 0)
            ++least[At(c)];
        else if (anchors.unit[r] >= 0) {
            auto& list = units[At(c)];
            auto at = std::find_if(list.begin(), list.end(), [&](const auto& u) { return u.first == anchors.unit[r]; });
            if (at == list.end())
                list.emplace_back(anchors.unit[r], 1);
            else
                ++at->second;
        }
    }
    int beyond = 0, lowest = 0, highest = 0;
    forcedOut.assign(At(classCount), 0);
    for (int c = 0; c < classCount; ++c) {
        int floor = least[At(c)];
        for (const auto& unit : units[At(c)])
            floor = std::max(floor, unit.second);
        const int ceiling = std::max(floor, places[At(c)]);
        beyond += std::max(0, floor - high) + std::max(0, low - ceiling);
        lowest += std::max(floor, std::min(low, ceiling));
        highest += std::max(floor, std::min(high, ceiling));
        const int count = counts[At(c)];
        forcedOut[At(c)] = (count > high && count <= floor) || (count < low && count >= ceiling);
    }
    return beyond + std::max(0, lowest - k) + std::max(0, k - highest);
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

void MarkForcedBreaches(BalanceReport& report, const DivisionState& state, const DivisionRules& rules)
{
    if (report.breaches.empty() || report.classCount < 1)
        return;
    const std::vector<int> classOf = ClassesOfRecords(state);
    const Anchors anchors = AnchorsOf(state, classOf, report.classCount, rules);
    for (const RankGroup& group : MakeRankGroups(state, classOf, report.classCount, RankBalance {report.bands})) {
        const auto same = [&group](const BalanceReport::BandBreach& b) {
            return b.group.kind == group.kind && b.group.gender == group.gender && b.group.band == group.band;
        };
        if (std::none_of(report.breaches.begin(), report.breaches.end(), same))
            continue;
        std::vector<int> counts(At(report.classCount), 0);
        for (const int r : group.records)
            ++counts[At(classOf[At(r)] - 1)];
        std::vector<char> forcedOut;
        const int least = LeastBeyond(group, state, classOf, report.classCount, anchors, forcedOut, counts);
        int beyond = 0;
        for (BalanceReport::BandBreach& b : report.breaches)
            if (same(b))
                beyond += Beyond(b.count, b.low, b.high);
        for (BalanceReport::BandBreach& b : report.breaches)
            if (same(b))
                b.forced = beyond <= least || forcedOut[At(b.classNo - 1)];
    }
}

std::string WorstBandText(const BalanceReport& report)
{
    if (report.bands <= 0)
        return {};
    std::string text = "分数段最大差 " + std::to_string(report.worstBandDifference);
    if (report.breaches.empty())
        return text;
    const auto forced = std::count_if(
        report.breaches.begin(), report.breaches.end(), [](const BalanceReport::BandBreach& b) { return b.forced; });
    text += "，超出 " + std::to_string(report.breaches.size()) + " 处";
    if (forced == static_cast<std::ptrdiff_t>(report.breaches.size()))
        text += "（规则所致）";
    else if (forced > 0)
        text += "（" + std::to_string(forced) + " 处规则所致）";
    return text;
}

} // namespace fenban
