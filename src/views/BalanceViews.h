#pragma once

#include "engine/ClassSetup.h"
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
// without classes. With a set-up's groups, the largest such gap within a group.
std::array<long long, SubjectCount> ClassAverageGaps(const DivisionState& state, const ClassGroups& groups = {});

// Fills the balance grid from the statistics as they stand: the subject
// names, and the row "最大差" with ClassAverageGaps in the one number format.
void ShowAverageGaps(StringGridModel& grid, const DivisionState& state, const QStringList& subjectNames,
    const std::string& decimalSeparator, const ClassGroups& groups = {});

// With a set-up's groups: below the grade-average row of the averages table,
// one row per group with its students' averages ("平行班平均分"), from the
// class lists as they stand. Without groups the table is left as drawn.
void ShowGroupAverages(
    StringGridModel& grid, const DivisionState& state, const ClassGroups& groups, const std::string& decimalSeparator);

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
// With a set-up's groups, each class against its group's averages.
void TintClassAverages(StringGridModel& grid, const DivisionState& state, const ClassGroups& groups = {});

} // namespace fenban
