#pragma once

#include "engine/DivisionState.h"
#include "views/ClassViews.h"

#include <QColor>
#include <QStringList>
#include <array>
#include <string>

namespace fenban {

class StringGridModel;

// The balance grid under the averages table: the averages table's columns
// (AverageColumns: the label, then one per score column), the subject names
// in the header row and one row of figures.
inline constexpr int BalanceGridRows = 2;
inline constexpr int BalanceGapRow = 1;

// Per score column, the largest gap between two class averages of
// FClassAvg (the highest minus the lowest), in hundredths of a point; 0
// without classes.
std::array<long long, SubjectCount> ClassAverageGaps(const DivisionState& state);

// Fills the balance grid from the statistics as they stand: the subject
// names, and the row "最大差" with ClassAverageGaps in the one number format.
void ShowAverageGaps(StringGridModel& grid, const DivisionState& state, const QStringList& subjectNames,
    const std::string& decimalSeparator);

// A class average this far from the grade's, as a share of the grade
// average, gets the full tint.
inline constexpr long double FullTintShare = 0.01L;

// The tint of an averages cell: warm above the grade average, cool below,
// translucent, its strength growing with |deviation| up to FullTintShare of
// the grade average. Invalid (no tint) for no deviation or a grade average
// that is not positive.
QColor DeviationTint(long double deviation, long double gradeAverage);

// Tints the class rows of the averages table by FClassDev against
// FGradeAvg as they stand now; the grade-average row and the labels stay plain.
void TintClassAverages(StringGridModel& grid, const DivisionState& state);

} // namespace fenban
