#include "engine/ReplacementFigures.h"

#include "engine/Statistics.h"

namespace fenban {

ReplacementFigures::ReplacementFigures(std::size_t count, long double gradeAverage, long double lowestSum,
    long double highestSum, long double sumError, bool halves)
    : count_(count)
    , grade_(gradeAverage)
    , scale_(100.0L / static_cast<long double>(count))
    , inverseCount_(1.0 / static_cast<double>(count))
    , quotientError_(sumError * scale_)
{
    const long double keyScale = halves ? 2.0L : scale_;
    const long double low = std::floor(lowestSum * keyScale) - 2.0L;
    const long double high = std::ceil(highestSum * keyScale) + 2.0L;
    if (std::fabs(low) < 0x1p40L && std::fabs(high) < 0x1p40L && high - low < 65536.0L) {
        first_ = static_cast<long long>(low);
        const auto size = static_cast<std::size_t>(high - low) + 1;
        cache_.resize(size);
        known_.assign(size, 0);
    }
}

ClassFigures ReplacementFigures::FromSum(long double sum) const
{
    const long double average = ClassAverageFromSum(sum, count_);
    return {average, std::fabs(Deviation(average, grade_))};
}

ClassFigures ReplacementFigures::OfHundredths(long long hundredths) const
{
    const long double average = RoundTwoDecimals(HundredthsValue(hundredths));
    return {average, std::fabs(Deviation(average, grade_))};
}

} // namespace fenban
