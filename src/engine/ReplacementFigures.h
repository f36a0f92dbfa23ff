#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace fenban {

// A class's entries in FClassAvg and |FClassDev| for one subject.
struct ClassFigures {
    long double average;
    long double absDeviation;
};

// The figures of one class in one subject when one of its students is
// replaced, looked up by the class's new score sum. Results are kept, as the
// same sums recur from exchange to exchange.
class ReplacementFigures {
public:
    // lowestSum..highestSum: the sums the replacements can give; sumError:
    // how far a sum handed to TryFromSum may lie from the one the statistics
    // add up; halves: the scores are whole or half points adding up exactly.
    ReplacementFigures(std::size_t count, long double gradeAverage, long double lowestSum, long double highestSum,
        long double sumError, bool halves);

    // Results refer to figures kept here, valid until the next call.

    // For whole and half points: the figures of the sum halves / 2.
    const ClassFigures& FromHalves(long long halves)
    {
        const auto slot = static_cast<unsigned long long>(halves - first_);
        if (slot >= known_.size())
            return Keep(FromSum(static_cast<long double>(halves) / 2));
        if (!known_[slot]) {
            cache_[slot] = FromSum(static_cast<long double>(halves) / 2);
            known_[slot] = 1;
        }
        return cache_[slot];
    }

    // For scores in hundredths whose sums stray from the decimal sum by far
    // less than one hundredth over the class size: the figures of the sum of
    // hundredths, declined only when it lies halfway between two averages.
    const ClassFigures* TryFromHundredths(long long hundredths)
    {
        const auto count = static_cast<long long>(count_);
        const double q = static_cast<double>(hundredths) * inverseCount_;
        long long nearest = static_cast<long long>((q + 0x1.8p52) - 0x1.8p52);
        long long twiceOff = 2 * (hundredths - nearest * count); // 2 * count * (exact - nearest)
        for (; twiceOff > count; twiceOff -= 2 * count)
            ++nearest;
        for (; twiceOff < -count; twiceOff += 2 * count)
            --nearest;
        if (twiceOff == count || twiceOff == -count)
            return nullptr;
        return &Cached(nearest);
    }

    // Declines (null) when the sum's error could change the rounded average.
    const ClassFigures* TryFromSum(long double sum)
    {
        // sum * 100 / count stands for the quotient that RoundTwoDecimals
        // rounds; the relative term covers the rounding to double and the
        // factor's offset from 1/100.
        const long double q = sum * scale_;
        const long double magnitude = std::fabs(q);
        if (!(magnitude < 0x1p40L))
            return nullptr;
        const long double nearest = std::rint(q);
        if (!(0.5L - std::fabs(q - nearest) > quotientError_ + magnitude * 0x1p-48L))
            return nullptr;
        return &Cached(static_cast<long long>(static_cast<double>(nearest)));
    }

    // The figures of a sum added up as the statistics add it.
    ClassFigures FromSum(long double sum) const;
    const ClassFigures& Keep(const ClassFigures& figures) { return scratch_ = figures; }

private:
    ClassFigures OfHundredths(long long hundredths) const;

    const ClassFigures& Cached(long long hundredths)
    {
        const auto slot = static_cast<unsigned long long>(hundredths - first_);
        if (slot >= known_.size())
            return Keep(OfHundredths(hundredths));
        if (!known_[slot]) {
            cache_[slot] = OfHundredths(hundredths);
            known_[slot] = 1;
        }
        return cache_[slot];
    }

    std::size_t count_;
    long double grade_;
    long double scale_; // 100 / count
    double inverseCount_;
    long double quotientError_;
    long long first_ = 0; // key of cache_[0]: half points or hundredths
    std::vector<ClassFigures> cache_;
    std::vector<unsigned char> known_;
    ClassFigures scratch_ {};
};

} // namespace fenban
