#pragma once

#include <cstddef>
#include <vector>

namespace fenban {

// A class's entries in FClassAvg and |FClassDev| for one subject.
struct ClassFigures {
    long double average;
    long double absDeviation;
};

// The figures of one class in one subject when one of its students is
// replaced, from the class's new score sum. TryFromSum takes a sum that may
// be off from the one the statistics add up by at most sumError, and
// declines when that error could change the rounded average; FromSum takes
// the sum exactly as the statistics add it up.
class ReplacementFigures {
public:
    ReplacementFigures(std::size_t count, long double gradeAverage, long double lowestSum,
                       long double highestSum, long double sumError);

    bool TryFromSum(long double sum, ClassFigures& figures);
    ClassFigures FromSum(long double sum) const;

private:
    ClassFigures OfHundredths(long long hundredths) const;

    std::size_t count_;
    long double grade_;
    long double scale_; // 100 / count
    long double quotientError_;
    long long first_ = 0;             // hundredths of cache_[0]
    std::vector<ClassFigures> cache_; // average NaN: not computed yet
};

} // namespace fenban
