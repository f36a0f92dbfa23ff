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
    ReplacementFigures(std::size_t count, long double gradeAverage, long double lowestSum,
                       long double highestSum, long double sumError, bool halves);

    // For whole and half points: the figures of the sum halves / 2.
    ClassFigures FromHalves(long long halves)
    {
        const auto slot = static_cast<unsigned long long>(halves - first_);
        if (slot >= known_.size())
            return FromSum(static_cast<long double>(halves) / 2);
        if (!known_[slot]) {
            cache_[slot] = FromSum(static_cast<long double>(halves) / 2);
            known_[slot] = 1;
        }
        return cache_[slot];
    }

    // Declines (false) when the sum's error could change the rounded average.
    bool TryFromSum(long double sum, ClassFigures& figures)
    {
        // sum * 100 / count stands for the quotient that RoundTwoDecimals
        // rounds; the relative term covers the rounding to double and the
        // factor's offset from 1/100.
        const long double q = sum * scale_;
        const long double magnitude = std::fabs(q);
        if (!(magnitude < 0x1p40L))
            return false;
        const long double nearest = std::rint(q);
        if (!(0.5L - std::fabs(q - nearest) > quotientError_ + magnitude * 0x1p-48L))
            return false;
        const auto hundredths = static_cast<long long>(static_cast<double>(nearest));
        const auto slot = static_cast<unsigned long long>(hundredths - first_);
        if (slot >= known_.size()) {
            figures = OfHundredths(hundredths);
            return true;
        }
        if (!known_[slot]) {
            cache_[slot] = OfHundredths(hundredths);
            known_[slot] = 1;
        }
        figures = cache_[slot];
        return true;
    }

    // The figures of a sum added up as the statistics add it.
    ClassFigures FromSum(long double sum) const;

private:
    ClassFigures OfHundredths(long long hundredths) const;

    std::size_t count_;
    long double grade_;
    long double scale_; // 100 / count
    long double quotientError_;
    long long first_ = 0; // key of cache_[0]: half points or hundredths
    std::vector<ClassFigures> cache_;
    std::vector<unsigned char> known_;
};

} // namespace fenban
