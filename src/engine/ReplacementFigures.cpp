#include "engine/ReplacementFigures.h"

#include "engine/Statistics.h"

#include <cmath>
#include <limits>

namespace fenban {

namespace {
constexpr long double MaxCachedSpan = 16384.0L;
constexpr long double MaxQuotient = 0x1p40L; // beyond it the filter declines
} // namespace

ReplacementFigures::ReplacementFigures(std::size_t count, long double gradeAverage,
                                       long double lowestSum, long double highestSum,
                                       long double sumError)
    : count_(count),
      grade_(gradeAverage),
      scale_(100.0L / static_cast<long double>(count)),
      quotientError_(sumError * scale_)
{
    const long double low = std::floor(lowestSum * scale_) - 2.0L;
    const long double high = std::ceil(highestSum * scale_) + 2.0L;
    if (std::fabs(low) < MaxQuotient && std::fabs(high) < MaxQuotient && high - low < MaxCachedSpan) {
        first_ = static_cast<long long>(low);
        const ClassFigures unknown{std::numeric_limits<long double>::quiet_NaN(), 0.0L};
        cache_.assign(static_cast<std::size_t>(high - low) + 1, unknown);
    }
}

bool ReplacementFigures::TryFromSum(long double sum, ClassFigures& figures)
{
    // sum * 100 / count stands for the quotient that RoundTwoDecimals rounds;
    // the relative term covers the rounding to double and the factor's offset.
    const long double q = sum * scale_;
    const long double magnitude = std::fabs(q);
    if (!(magnitude < MaxQuotient))
        return false;
    const long double nearest = std::rint(q);
    if (!(0.5L - std::fabs(q - nearest) > quotientError_ + magnitude * 0x1p-48L))
        return false;

    const long long hundredths = static_cast<long long>(static_cast<double>(nearest));
    const unsigned long long slot = static_cast<unsigned long long>(hundredths - first_);
    if (slot >= cache_.size()) {
        figures = OfHundredths(hundredths);
        return true;
    }
    ClassFigures& cached = cache_[slot];
    if (std::isnan(cached.average))
        cached = OfHundredths(hundredths);
    figures = cached;
    return true;
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
