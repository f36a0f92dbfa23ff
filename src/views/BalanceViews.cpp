#include "views/BalanceViews.h"

#include "engine/Statistics.h"
#include "roster/NumberText.h"
#include "views/StringGridModel.h"

#include <algorithm>
#include <cmath>
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

std::array<long long, SubjectCount> ClassAverageGaps(const DivisionState& state)
{
    std::array<long long, SubjectCount> gaps {};
    for (std::size_t s = 0; s < gaps.size(); ++s) {
        std::vector<long long> averages;
        for (const TSubjectValues& classAverages : state.FClassAvg)
            averages.push_back(Hundredths(classAverages[s]));
        if (!averages.empty()) {
            const auto [low, high] = std::minmax_element(averages.begin(), averages.end());
            gaps[s] = *high - *low;
        }
    }
    return gaps;
}

void ShowAverageGaps(StringGridModel& grid, const DivisionState& state, const QStringList& subjectNames,
    const std::string& decimalSeparator)
{
    const std::array<long long, SubjectCount> gaps = ClassAverageGaps(state);
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

void TintClassAverages(StringGridModel& grid, const DivisionState& state)
{
    grid.setBackgrounds([deviations = state.FClassDev, grade = state.FGradeAvg](int col, int row) {
        const auto classIndex = static_cast<std::size_t>(row - 1);
        const auto subject = static_cast<std::size_t>(col - 1);
        if (row < 1 || col < 1 || classIndex >= deviations.size() || subject >= grade.size())
            return QColor();
        return DeviationTint(deviations[classIndex][subject], grade[subject]);
    });
}

} // namespace fenban
