#include "views/BalanceViews.h"

#include "engine/Statistics.h"
#include "roster/NumberText.h"
#include "views/StringGridModel.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

namespace fenban {

namespace {

constexpr QColor AboveTint(0xE0, 0x7A, 0x1F); // a soft orange
constexpr QColor BelowTint(0x2F, 0x7F, 0xD0); // a soft blue
constexpr int MostTintAlpha = 110;

long long Hundredths(long double value)
{
    return std::llround(value * 100);
}

} // namespace

// The groups of the classes of `state`; one group of all classes without a set-up (or for another class count).
std::vector<std::vector<int>> ClassesByGroup(const DivisionState& state, const ClassGroups& groups)
{
    if (!groups.empty() && groups.groupOfClass.size() == state.FClassAvg.size())
        return groups.classes;
    std::vector<int> all(state.FClassAvg.size());
    for (std::size_t c = 0; c < all.size(); ++c)
        all[c] = static_cast<int>(c);
    return {all};
}

// Per group, its students' averages, summed in the grade's order.
std::vector<TSubjectValues> GroupAverages(const DivisionState& state, const ClassGroups& groups)
{
    std::vector<TSubjectValues> averages;
    for (const std::vector<int>& classes : groups.classes) {
        std::unordered_set<const TStudent*> inGroup;
        for (const int c : classes)
            if (static_cast<std::size_t>(c) < state.FClasses.size())
                inGroup.insert(state.FClasses[static_cast<std::size_t>(c)].begin(),
                    state.FClasses[static_cast<std::size_t>(c)].end());
        TStudentList members;
        for (const PStudent student : state.FStudents)
            if (inGroup.count(student) != 0)
                members.push_back(student);
        TSubjectValues& row = averages.emplace_back();
        for (int s = 0; s < SubjectCount; ++s)
            row[static_cast<std::size_t>(s)] = SubjectAverage(members, s);
    }
    return averages;
}

std::array<long long, SubjectCount> ClassAverageGaps(const DivisionState& state, const ClassGroups& groups)
{
    std::array<long long, SubjectCount> gaps {};
    for (const std::vector<int>& classes : ClassesByGroup(state, groups))
        for (std::size_t s = 0; s < gaps.size(); ++s) {
            std::vector<long long> averages;
            for (const int c : classes)
                averages.push_back(Hundredths(state.FClassAvg[static_cast<std::size_t>(c)][s]));
            if (!averages.empty()) {
                const auto [low, high] = std::minmax_element(averages.begin(), averages.end());
                gaps[s] = std::max(gaps[s], *high - *low);
            }
        }
    return gaps;
}

void ShowGroupAverages(
    StringGridModel& grid, const DivisionState& state, const ClassGroups& groups, const std::string& decimalSeparator)
{
    const auto classCount = static_cast<int>(state.FClassAvg.size());
    if (groups.empty() || groups.groupOfClass.size() != state.FClassAvg.size()
        || static_cast<int>(grid.grid().rowCount()) < classCount + 2)
        return;
    const std::vector<TSubjectValues> averages = GroupAverages(state, groups);
    grid.setRowCount(classCount + 2 + static_cast<int>(averages.size()));
    grid.updateCells([&](CellGrid& cells) {
        for (std::size_t g = 0; g < averages.size(); ++g) {
            const int row = classCount + 2 + static_cast<int>(g);
            cells.setCell(0, row, groups.names[g] + "平均分");
            for (int s = 0; s < SubjectCount; ++s)
                cells.setCell(s + 1, row, FormatNumber(averages[g][static_cast<std::size_t>(s)], decimalSeparator));
        }
    });
}

void ShowAverageGaps(StringGridModel& grid, const DivisionState& state, const QStringList& subjectNames,
    const std::string& decimalSeparator, const ClassGroups& groups)
{
    const std::array<long long, SubjectCount> gaps = ClassAverageGaps(state, groups);
    grid.setColCount(AverageColumns);
    grid.setRowCount(BalanceGridRows);
    grid.updateCells([&](CellGrid& cells) {
        cells.setCell(0, BalanceGapRow, "最大差");
        for (int s = 0; s < SubjectCount; ++s) {
            cells.setCell(s + 1, 0, s < subjectNames.size() ? subjectNames[s].toStdString() : std::string());
            cells.setCell(s + 1, BalanceGapRow,
                FormatNumber(HundredthsValue(gaps[static_cast<std::size_t>(s)]), decimalSeparator));
        }
    });
}

QColor DeviationTint(long double deviation, long double gradeAverage)
{
    if (!(gradeAverage > 0) || deviation == 0)
        return {};
    const long double share = std::fabs(deviation) / (gradeAverage * FullTintShare);
    const double strength = static_cast<double>(std::min(share, 1.0L));
    QColor tint = deviation > 0 ? AboveTint : BelowTint;
    tint.setAlpha(static_cast<int>(std::lround(strength * MostTintAlpha)));
    return tint.alpha() > 0 ? tint : QColor();
}

void TintClassAverages(StringGridModel& grid, const DivisionState& state, const ClassGroups& groups)
{
    std::vector<TSubjectValues> deviations = state.FClassDev;
    std::vector<TSubjectValues> against(deviations.size(), state.FGradeAvg);
    if (!groups.empty() && groups.groupOfClass.size() == state.FClassAvg.size()
        && deviations.size() == against.size()) {
        const std::vector<TSubjectValues> averages = GroupAverages(state, groups);
        for (std::size_t c = 0; c < deviations.size(); ++c) {
            against[c] = averages[static_cast<std::size_t>(groups.groupOfClass[c])];
            for (std::size_t s = 0; s < SubjectCount; ++s)
                deviations[c][s] = state.FClassAvg[c][s] - against[c][s];
        }
    }
    grid.setBackgrounds([deviations = std::move(deviations), against = std::move(against)](int col, int row) {
        const auto classIndex = static_cast<std::size_t>(row - 1);
        const auto subject = static_cast<std::size_t>(col - 1);
        if (row < 1 || col < 1 || classIndex >= deviations.size() || subject >= SubjectCount)
            return QColor();
        return DeviationTint(deviations[classIndex][subject], against[classIndex][subject]);
    });
}

} // namespace fenban
