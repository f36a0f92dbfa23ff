#pragma once

#include "engine/DivisionState.h"

#include <cstddef>

namespace fenban {

// The double nearest to one hundredth; slightly above 0.01, so a double lying
// exactly halfway between two hundredths rounds toward zero.
inline constexpr double HundredthFactor = static_cast<double>(1.0L / 100.0L);

// Two-decimal rounding of every average and deviation: x taken as a double,
// divided by HundredthFactor in extended precision, rounded to an integer
// (halves to even), multiplied back in extended precision, then a double.
// Throws Failure when the quotient does not fit a 64-bit integer.
double RoundTwoDecimals(long double x);

// The last step of RoundTwoDecimals: n hundredths as a double.
double HundredthsValue(long long n);

// RoundTwoDecimals(sum / count) for a non-empty list, 0 for an empty one.
long double RoundedMean(long double sum, std::size_t count);

// Two-decimal average of one subject over a list, summed in list order.
long double SubjectAverage(const TStudentList& list, int subject);

// Per subject, the scores of a list added in list order.
TSubjectValues SubjectSums(const TStudentList& list);

// A class's entry in FClassAvg: the subject average, rounded once more.
long double ClassAverage(const TStudentList& list, int subject);
long double ClassAverageFromSum(long double sum, std::size_t count);

// A class's entry in FClassDev.
long double Deviation(long double classAverage, long double gradeAverage);

// Recomputes FClassAvg, FClassDev and FDevSum for the FClassAvg.size() classes
// from FClasses, or from `lists` (working lists while balancing). A missing
// list counts as empty.
void ComputeClassStats(DivisionState& state);
void ComputeClassStats(DivisionState& state, const std::vector<TStudentList>& lists);

// 0 + devSum[0] + ... + devSum[10], in this order, in extended precision.
long double TotalDeviation(const TSubjectValues& devSum);

} // namespace fenban
