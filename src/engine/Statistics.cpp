#include "engine/Statistics.h"

#include "common/Failure.h"

#include <cmath>

namespace fenban {

static_assert(HundredthFactor == 0.01, "the factor is the double nearest to 1/100");

double RoundTwoDecimals(long double x)
{
    const long double q = static_cast<long double>(static_cast<double>(x)) / HundredthFactor;
    if (!(std::fabs(q) < 0x1p63L))
        throw OutOfRangeError("Invalid floating point operation");
    return HundredthsValue(std::llrint(q)); // default rounding: halves to even
}

double HundredthsValue(long long n)
{
    return static_cast<double>(static_cast<long double>(n) * HundredthFactor);
}

long double RoundedMean(long double sum, std::size_t count)
{
    if (count == 0)
        return 0.0L;
    return RoundTwoDecimals(sum / static_cast<long double>(count));
}

long double SubjectAverage(const TStudentList& list, int subject)
{
    long double sum = 0.0L;
    for (const PStudent student : list)
        sum += student->Scores[subject];
    return RoundedMean(sum, list.size());
}

TSubjectValues SubjectSums(const TStudentList& list)
{
    TSubjectValues sums {};
    for (const PStudent student : list)
        for (int s = 0; s < SubjectCount; ++s)
            sums[s] += student->Scores[s];
    return sums;
}

long double ClassAverage(const TStudentList& list, int subject)
{
    return RoundTwoDecimals(SubjectAverage(list, subject));
}

long double ClassAverageFromSum(long double sum, std::size_t count)
{
    return RoundTwoDecimals(RoundedMean(sum, count));
}

long double Deviation(long double classAverage, long double gradeAverage)
{
    return RoundTwoDecimals(classAverage - gradeAverage);
}

void ComputeClassStats(DivisionState& state)
{
    ComputeClassStats(state, state.FClasses);
}

void ComputeClassStats(DivisionState& state, const std::vector<TStudentList>& lists)
{
    const std::size_t classCount = state.FClassAvg.size();
    state.FClassDev.resize(classCount);
    const TStudentList none;

    for (std::size_t c = 0; c < classCount; ++c) {
        const TStudentList& list = c < lists.size() ? lists[c] : none;
        const TSubjectValues sums = SubjectSums(list);
        for (int s = 0; s < SubjectCount; ++s)
            state.FClassAvg[c][s] = ClassAverageFromSum(sums[s], list.size());
    }
    for (int s = 0; s < SubjectCount; ++s) {
        long double devSum = 0.0L;
        for (std::size_t c = 0; c < classCount; ++c) {
            state.FClassDev[c][s] = Deviation(state.FClassAvg[c][s], state.FGradeAvg[s]);
            devSum += std::fabs(state.FClassDev[c][s]);
        }
        state.FDevSum[s] = devSum;
    }
}

long double TotalDeviation(const TSubjectValues& devSum)
{
    long double total = 0.0L;
    for (const long double value : devSum)
        total += value;
    return total;
}

} // namespace fenban
