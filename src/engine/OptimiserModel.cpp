#include "engine/OptimiserModel.h"

#include "engine/Balancing.h"
#include "engine/Statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <unordered_map>

namespace fenban::optimise {

std::uint64_t SplitMix(std::uint64_t& state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

Rng::Rng(std::uint64_t seed)
{
    for (std::uint64_t& word : s_)
        word = SplitMix(seed);
}

std::uint64_t Rng::Next()
{
    const auto rotl = [](std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); };
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
}

namespace {

// Hundredths far beyond any score; keeps the totals clear of overflow for wild values.
constexpr long long HugeHundredths = 1LL << 40;

long long Clamp(long long value)
{
    return std::clamp(value, -HugeHundredths, HugeHundredths);
}

// Whether every value is the extended value nearest to a whole number of
// 1/per, small enough that class sums of units stay exact.
bool InUnits(const std::vector<long double>& values, int per)
{
    for (const long double x : values) {
        if (!(std::fabs(x) * per < 0x1p30L))
            return false;
        if (static_cast<long double>(std::llrint(x * per)) / per != x)
            return false;
    }
    return true;
}

} // namespace

long long HundredthsOf(long double value)
{
    const long double q = value / HundredthFactor;
    if (!(std::fabs(q) < static_cast<long double>(HugeHundredths)))
        return q < 0 ? -HugeHundredths : HugeHundredths;
    return std::llrint(q);
}

Problem::Problem(const DivisionState& state, int count)
    : classCount(count)
{
    // Items: the class lists' slots. A student listed twice stays where it is.
    std::unordered_map<PStudent, int> seen;
    std::map<ShortString<2>, int> groups;
    for (int c = 0; c < classCount; ++c) {
        const TStudentList& list = state.FClasses[static_cast<std::size_t>(c)];
        classSize.push_back(static_cast<int>(list.size()));
        for (std::size_t p = 0; p < list.size(); ++p) {
            const PStudent s = list[p];
            student.push_back(s);
            startClass.push_back(c);
            startPos.push_back(static_cast<int>(p));
            group.push_back(groups.emplace(s->Gender, static_cast<int>(groups.size())).first->second);
            movable.push_back(!s->IsHandPlacedForBalancing());
            ++seen[s];
        }
    }
    itemCount = static_cast<int>(student.size());
    groupCount = static_cast<int>(groups.size());
    for (int g = 0; g < groupCount; ++g)
        genderOf.push_back(g);
    for (int i = 0; i < itemCount; ++i)
        if (seen[student[static_cast<std::size_t>(i)]] > 1)
            movable[static_cast<std::size_t>(i)] = 0;

    for (int s = 0; s < SubjectCount; ++s) {
        std::vector<long double> column;
        bool varies = false;
        for (int i = 0; i < itemCount; ++i) {
            const long double x = student[static_cast<std::size_t>(i)]->Scores[s];
            column.push_back(x);
            if (movable[static_cast<std::size_t>(i)] && !(x == column.front()))
                varies = true;
        }
        // The grade average as the assignment left it, and the classes' figures in this column.
        const long long g = HundredthsOf(state.FGradeAvg[s]);
        if (!varies) {
            long long low = 0, high = 0;
            for (int c = 0; c < classCount; ++c) {
                long double sum = 0;
                for (const PStudent st : state.FClasses[static_cast<std::size_t>(c)])
                    sum += st->Scores[s];
                const auto size = static_cast<std::size_t>(classSize[static_cast<std::size_t>(c)]);
                const long long m = HundredthsOf(ClassAverageFromSum(sum, size));
                fixedTotal += Clamp(std::llabs(Clamp(m - g)));
                low = c == 0 ? m : std::min(low, m);
                high = c == 0 ? m : std::max(high, m);
            }
            fixedLargestGap = std::max(fixedLargestGap, Clamp(high - low));
            fixedGapSum += Clamp(high - low);
            continue;
        }
        subject.push_back(s);
        grade.push_back(g);
        per.push_back(InUnits(column, 2) ? 2 : InUnits(column, 100) ? 100 : 0);
        for (const long double x : column) {
            values.push_back(x);
            units.push_back(per.back() ? static_cast<std::int32_t>(std::llrint(x * per.back())) : 0);
            allUnits = allUnits && per.back() != 0;
        }
    }
    active = static_cast<int>(subject.size());
    // Reorder the per-item columns to item * active + k.
    std::vector<std::int32_t> u(units.size());
    std::vector<long double> v(values.size());
    for (int k = 0; k < active; ++k)
        for (int i = 0; i < itemCount; ++i) {
            const auto from
                = static_cast<std::size_t>(k) * static_cast<std::size_t>(itemCount) + static_cast<std::size_t>(i);
            const auto to = static_cast<std::size_t>(i * active + k);
            u[to] = units[from];
            v[to] = values[from];
        }
    units = std::move(u);
    values = std::move(v);
    for (const long double x : values)
        coords.push_back(static_cast<double>(x));
    for (int c = 0; c < classCount; ++c)
        for (int k = 0; k < active; ++k) {
            const int p = per[static_cast<std::size_t>(k)];
            const int n = classSize[static_cast<std::size_t>(c)];
            denominator.push_back(static_cast<long long>(p) * n);
        }

    // One table of deviations per class size and column, centred on the sum
    // that meets the grade average.
    std::map<int, int> sizes;
    for (int c = 0; c < classCount; ++c) {
        const int n = classSize[static_cast<std::size_t>(c)];
        const auto [found, added] = sizes.emplace(n, static_cast<int>(sizes.size()));
        tableOf.push_back(found->second);
        if (!added)
            continue;
        for (int k = 0; k < active; ++k) {
            const int p = per[static_cast<std::size_t>(k)];
            const long long centre = p ? grade[static_cast<std::size_t>(k)] * p * n / 100 : 0;
            const long long first = centre - static_cast<long long>(TableWidth / 2);
            tableStart.push_back(p ? first : std::numeric_limits<long long>::max() / 2);
            for (std::size_t at = 0; at < TableWidth; ++at)
                devTable.push_back(p ? static_cast<int>(std::min(
                                       Dev(k, MeanOfUnits(c, k, first + static_cast<long long>(at))), 1LL << 30))
                                     : 0);
        }
    }
}

void Problem::EnableSpread(double tolerance, double costPerPoint)
{
    spreadColumn = -1;
    for (int k = 0; k < active; ++k)
        if (subject[static_cast<std::size_t>(k)] == 0)
            spreadColumn = k;
    if (spreadColumn < 0 || itemCount == 0)
        return;
    double sum = 0, squares = 0;
    for (int i = 0; i < itemCount; ++i) {
        const double x = coords[static_cast<std::size_t>(i * active + spreadColumn)];
        sum += x;
        squares += x * x;
    }
    const double n = itemCount;
    gradeDeviation = std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
    spreadTolerance = tolerance * gradeDeviation;
    spreadCostPerPoint = costPerPoint;
}

long long Problem::SpreadCost(int c, double sum, double squares) const
{
    const int size = classSize[static_cast<std::size_t>(c)];
    if (spreadColumn < 0 || size < 2)
        return 0;
    const double n = size;
    const double deviation = std::sqrt(std::max(0.0, squares / n - (sum / n) * (sum / n)));
    const double beyond = std::fabs(deviation - gradeDeviation) - spreadTolerance;
    return beyond > 0 ? std::llround(beyond * spreadCostPerPoint) : 0;
}

void Problem::Refine(const std::vector<int>& key)
{
    std::map<std::pair<int, int>, int> fine;
    genderOf.clear();
    for (int i = 0; i < itemCount; ++i) {
        const std::pair<int, int> id {group[static_cast<std::size_t>(i)], key[static_cast<std::size_t>(i)]};
        const auto [found, added] = fine.emplace(id, static_cast<int>(fine.size()));
        if (added)
            genderOf.push_back(id.first);
        group[static_cast<std::size_t>(i)] = found->second;
    }
    groupCount = static_cast<int>(fine.size());
}

void Problem::Settle(
    const std::vector<int>& classes, const std::vector<char>& frozen, int count, const std::atomic<bool>* cancel)
{
    for (int i = 0; i < itemCount; ++i)
        if (frozen[static_cast<std::size_t>(i)])
            movable[static_cast<std::size_t>(i)] = 0;
    // A group whose movable students all stand in one class cannot exchange.
    std::vector<int> firstClass(static_cast<std::size_t>(groupCount), -1);
    std::vector<char> spread(static_cast<std::size_t>(groupCount), 0);
    for (int i = 0; i < itemCount; ++i) {
        if (!movable[static_cast<std::size_t>(i)])
            continue;
        int& first = firstClass[static_cast<std::size_t>(group[static_cast<std::size_t>(i)])];
        if (first < 0)
            first = classes[static_cast<std::size_t>(i)];
        else if (first != classes[static_cast<std::size_t>(i)])
            spread[static_cast<std::size_t>(group[static_cast<std::size_t>(i)])] = 1;
    }
    for (int i = 0; i < itemCount; ++i)
        if (!spread[static_cast<std::size_t>(group[static_cast<std::size_t>(i)])])
            movable[static_cast<std::size_t>(i)] = 0;

    neighbours.assign(static_cast<std::size_t>(itemCount), {});
    const std::vector<double>& x = coords;
    std::vector<int> movers;
    for (int i = 0; i < itemCount; ++i)
        if (movable[static_cast<std::size_t>(i)])
            movers.push_back(i);
    double widest = -1;
    for (int k = 0; k < active; ++k) {
        double sum = 0, squares = 0;
        for (const int i : movers) {
            const double v = x[static_cast<std::size_t>(i * active + k)];
            sum += v;
            squares += v * v;
        }
        const double n = static_cast<double>(std::max<std::size_t>(movers.size(), 1));
        const double variance = squares / n - (sum / n) * (sum / n);
        if (variance > widest) {
            widest = variance;
            mainDim = k;
        }
    }
    // Per group, the movers sorted along the widest column: the scan from each
    // student outward stops where that column alone lies farther than the
    // farthest of the nearest kept, so the result is the full search's.
    const auto along = [&](int i) { return active > 0 ? x[static_cast<std::size_t>(i * active + mainDim)] : 0.0; };
    std::vector<std::vector<int>> sorted(static_cast<std::size_t>(groupCount));
    for (const int i : movers)
        sorted[static_cast<std::size_t>(group[static_cast<std::size_t>(i)])].push_back(i);
    std::vector<std::pair<double, int>> near; // the nearest so far, ascending by (distance, item)
    const auto keep = static_cast<std::size_t>(std::max(count, 0));
    for (std::vector<int>& list : sorted) {
        std::sort(list.begin(), list.end(),
            [&](int a, int b) { return along(a) < along(b) || (along(a) == along(b) && a < b); });
        for (std::size_t at = 0; at < list.size(); ++at) {
            if (at % 1024 == 0 && cancel && cancel->load(std::memory_order_relaxed))
                return;
            const int i = list[at];
            const double* xi = x.data() + static_cast<std::size_t>(i * active);
            near.clear();
            // Whether j may still be among the nearest; if so, it is weighed.
            const auto weigh = [&](int j) {
                const double gap = (along(i) - along(j)) * (along(i) - along(j));
                if (keep == 0 || (near.size() == keep && gap > near.back().first))
                    return false;
                const double* xj = x.data() + static_cast<std::size_t>(j * active);
                double d = 0;
                for (int k = 0; k < active; ++k)
                    d += (xi[k] - xj[k]) * (xi[k] - xj[k]);
                const std::pair<double, int> candidate {d, j};
                if (near.size() < keep || candidate < near.back()) {
                    near.insert(std::upper_bound(near.begin(), near.end(), candidate), candidate);
                    if (near.size() > keep)
                        near.pop_back();
                }
                return true;
            };
            for (std::size_t up = at + 1; up < list.size() && weigh(list[up]); ++up) { }
            for (std::size_t down = at; down > 0 && weigh(list[down - 1]); --down) { }
            auto& mine = neighbours[static_cast<std::size_t>(i)];
            for (const auto& entry : near)
                mine.push_back(entry.second);
        }
    }
}

long long Problem::MeanOfUnits(int c, int k, long long sumUnits) const
{
    const long long den = denominator[static_cast<std::size_t>(c * active + k)];
    if (den == 0)
        return 0;
    const long long num = 100 * sumUnits;
    auto q = static_cast<long long>(std::floor(static_cast<double>(num) / static_cast<double>(den)));
    long long r = num - q * den;
    while (r < 0) {
        --q;
        r += den;
    }
    while (r >= den) {
        ++q;
        r -= den;
    }
    if (2 * r < den)
        return q;
    if (2 * r > den)
        return q + 1;
    // Halfway between two hundredths: the statistics' own rounding decides.
    const int p = per[static_cast<std::size_t>(k)];
    return HundredthsOf(RoundedMean(
        static_cast<long double>(sumUnits) / p, static_cast<std::size_t>(classSize[static_cast<std::size_t>(c)])));
}

long long Problem::MeanOfSum(int c, long double sum) const
{
    const auto size = static_cast<std::size_t>(classSize[static_cast<std::size_t>(c)]);
    if (size == 0)
        return 0;
    const long double q
        = static_cast<long double>(static_cast<double>(sum / static_cast<long double>(size))) / HundredthFactor;
    if (!(std::fabs(q) < static_cast<long double>(HugeHundredths)))
        return q < 0 ? -HugeHundredths : HugeHundredths;
    return std::llrint(q);
}

long long Problem::Dev(int k, long long m) const
{
    return Clamp(std::llabs(Clamp(m - grade[static_cast<std::size_t>(k)])));
}

Chain::Chain(const Problem& p, std::vector<int> classes, std::vector<int> slots)
    : problem(p)
    , cls(std::move(classes))
    , pos(std::move(slots))
    , pool(static_cast<std::size_t>(p.classCount * p.groupCount))
    , poolIndex(static_cast<std::size_t>(p.itemCount), -1)
{
    for (int i = 0; i < p.itemCount; ++i) {
        if (!p.movable[static_cast<std::size_t>(i)])
            continue;
        auto& list = pool[static_cast<std::size_t>(
            cls[static_cast<std::size_t>(i)] * p.groupCount + p.group[static_cast<std::size_t>(i)])];
        poolIndex[static_cast<std::size_t>(i)] = static_cast<int>(list.size());
        list.push_back(i);
    }
    Rebuild();
}

void Chain::Reset(const std::vector<int>& classes, const std::vector<int>& slots)
{
    cls = classes;
    pos = slots;
    for (auto& list : pool)
        list.clear();
    for (int i = 0; i < problem.itemCount; ++i) {
        if (!problem.movable[static_cast<std::size_t>(i)])
            continue;
        auto& list = pool[static_cast<std::size_t>(
            cls[static_cast<std::size_t>(i)] * problem.groupCount + problem.group[static_cast<std::size_t>(i)])];
        poolIndex[static_cast<std::size_t>(i)] = static_cast<int>(list.size());
        list.push_back(i);
    }
    Rebuild();
}

void Chain::Rebuild()
{
    const Problem& p = problem;
    const auto cells = static_cast<std::size_t>(p.classCount * p.active);
    sumUnits.assign(cells, 0);
    sumValues.assign(cells, 0.0L);
    mean.assign(cells, 0);
    dev.assign(cells, 0);
    for (int i = 0; i < p.itemCount; ++i) {
        const auto base = static_cast<std::size_t>(cls[static_cast<std::size_t>(i)] * p.active);
        for (int k = 0; k < p.active; ++k) {
            sumUnits[base + static_cast<std::size_t>(k)] += p.units[static_cast<std::size_t>(i * p.active + k)];
            sumValues[base + static_cast<std::size_t>(k)] += p.values[static_cast<std::size_t>(i * p.active + k)];
        }
    }
    total = p.fixedTotal;
    weighted = p.fixedTotal;
    spreadTotal = 0;
    if (p.spreadColumn >= 0) {
        spreadSum.assign(static_cast<std::size_t>(p.classCount), 0.0);
        spreadSquares.assign(static_cast<std::size_t>(p.classCount), 0.0);
        spreadCost.assign(static_cast<std::size_t>(p.classCount), 0);
        for (int i = 0; i < p.itemCount; ++i) {
            const double x = TotalOf(i);
            spreadSum[static_cast<std::size_t>(cls[static_cast<std::size_t>(i)])] += x;
            spreadSquares[static_cast<std::size_t>(cls[static_cast<std::size_t>(i)])] += x * x;
        }
        for (int c = 0; c < p.classCount; ++c) {
            const auto at = static_cast<std::size_t>(c);
            spreadCost[at] = p.SpreadCost(c, spreadSum[at], spreadSquares[at]);
            spreadTotal += spreadCost[at];
        }
    }
    for (int c = 0; c < p.classCount; ++c)
        for (int k = 0; k < p.active; ++k) {
            const auto cell = static_cast<std::size_t>(c * p.active + k);
            mean[cell] = p.per[static_cast<std::size_t>(k)] ? p.MeanOfUnits(c, k, sumUnits[cell])
                                                            : p.MeanOfSum(c, sumValues[cell]);
            dev[cell] = p.Dev(k, mean[cell]);
            total += dev[cell];
            weighted += Weigh(dev[cell]);
        }
}

long long Chain::ClassDelta(int c, int in, int out) const
{
    const Problem& p = problem;
    const int a = p.active;
    const std::int32_t* xin = &p.units[static_cast<std::size_t>(in * a)];
    const std::int32_t* xout = &p.units[static_cast<std::size_t>(out * a)];
    const auto base = static_cast<std::size_t>(c * a);
    long long delta = 0;
    for (int k = 0; k < a; ++k) {
        const auto cell = base + static_cast<std::size_t>(k);
        if (p.allUnits || p.per[static_cast<std::size_t>(k)]) {
            const long long d = static_cast<long long>(xin[k]) - xout[k];
            if (d != 0)
                delta += Weigh(p.DevOfUnits(c, k, sumUnits[cell] + d)) - Weigh(dev[cell]);
        } else {
            const long double d
                = p.values[static_cast<std::size_t>(in * a + k)] - p.values[static_cast<std::size_t>(out * a + k)];
            if (d != 0)
                delta += Weigh(p.Dev(k, p.MeanOfSum(c, sumValues[cell] + d))) - Weigh(dev[cell]);
        }
    }
    if (p.spreadColumn >= 0) {
        const double x = TotalOf(in), y = TotalOf(out);
        delta += SpreadDelta(c, x - y, x * x - y * y);
    }
    return delta;
}

long long Chain::ClassDeltaSet(int c, const int* in, const int* out, int k) const
{
    const Problem& p = problem;
    const int a = p.active;
    const auto at = [a](int item, int column) { return static_cast<std::size_t>(item * a + column); };
    const auto base = static_cast<std::size_t>(c * a);
    long long delta = 0;
    for (int column = 0; column < a; ++column) {
        const auto cell = base + static_cast<std::size_t>(column);
        if (p.per[static_cast<std::size_t>(column)]) {
            long long d = 0;
            for (int n = 0; n < k; ++n)
                d += static_cast<long long>(p.units[at(in[n], column)]) - p.units[at(out[n], column)];
            if (d != 0)
                delta += Weigh(p.DevOfUnits(c, column, sumUnits[cell] + d)) - Weigh(dev[cell]);
        } else {
            long double d = 0;
            for (int n = 0; n < k; ++n)
                d += p.values[at(in[n], column)] - p.values[at(out[n], column)];
            if (d != 0)
                delta += Weigh(p.Dev(column, p.MeanOfSum(c, sumValues[cell] + d))) - Weigh(dev[cell]);
        }
    }
    if (p.spreadColumn >= 0) {
        double d = 0, dd = 0;
        for (int n = 0; n < k; ++n) {
            const double x = TotalOf(in[n]), y = TotalOf(out[n]);
            d += x - y;
            dd += x * x - y * y;
        }
        delta += SpreadDelta(c, d, dd);
    }
    return delta;
}

long long Chain::SetDelta(const int* from, const int* to, int k) const
{
    return ClassDeltaSet(cls[static_cast<std::size_t>(from[0])], to, from, k)
        + ClassDeltaSet(cls[static_cast<std::size_t>(to[0])], from, to, k);
}

void Chain::Shift(int c, int in, int out)
{
    const Problem& p = problem;
    const int a = p.active;
    const auto base = static_cast<std::size_t>(c * a);
    if (p.spreadColumn >= 0) {
        const auto at = static_cast<std::size_t>(c);
        const double x = TotalOf(in), y = TotalOf(out);
        spreadSum[at] += x - y;
        spreadSquares[at] += x * x - y * y;
        const long long cost = p.SpreadCost(c, spreadSum[at], spreadSquares[at]);
        spreadTotal += cost - spreadCost[at];
        spreadCost[at] = cost;
    }
    for (int k = 0; k < a; ++k) {
        const auto cell = base + static_cast<std::size_t>(k);
        const auto at = [&](int item) { return static_cast<std::size_t>(item * a + k); };
        if (p.per[static_cast<std::size_t>(k)]) {
            const long long d = p.units[at(in)] - p.units[at(out)];
            if (d == 0)
                continue;
            sumUnits[cell] += d;
            mean[cell] = p.MeanOfUnits(c, k, sumUnits[cell]);
        } else {
            if (p.values[at(in)] == p.values[at(out)])
                continue;
            sumValues[cell] += p.values[at(in)] - p.values[at(out)];
            mean[cell] = p.MeanOfSum(c, sumValues[cell]);
        }
        const long long d = p.Dev(k, mean[cell]);
        total += d - dev[cell];
        weighted += Weigh(d) - Weigh(dev[cell]);
        dev[cell] = d;
    }
}

long long Chain::SwapDelta(int i, int j) const
{
    return ClassDelta(cls[static_cast<std::size_t>(i)], j, i) + ClassDelta(cls[static_cast<std::size_t>(j)], i, j);
}

void Chain::ApplySwap(int i, int j)
{
    const auto ui = static_cast<std::size_t>(i);
    const auto uj = static_cast<std::size_t>(j);
    const int a = cls[ui];
    const int b = cls[uj];
    Shift(a, j, i);
    Shift(b, i, j);
    const auto g = static_cast<std::size_t>(problem.group[ui]);
    const auto h = static_cast<std::size_t>(problem.group[uj]);
    const auto groups = static_cast<std::size_t>(problem.groupCount);
    if (g == h) {
        pool[static_cast<std::size_t>(a) * groups + g][static_cast<std::size_t>(poolIndex[ui])] = j;
        pool[static_cast<std::size_t>(b) * groups + g][static_cast<std::size_t>(poolIndex[uj])] = i;
        std::swap(poolIndex[ui], poolIndex[uj]);
    } else {
        // Students of other groups (other categories): each leaves its pool and joins one in the other class.
        const auto leave = [&](std::size_t item, std::size_t list) {
            auto& members = pool[list];
            const auto at = static_cast<std::size_t>(poolIndex[item]);
            members[at] = members.back();
            poolIndex[static_cast<std::size_t>(members[at])] = static_cast<int>(at);
            members.pop_back();
        };
        const auto join = [&](std::size_t item, std::size_t list) {
            poolIndex[item] = static_cast<int>(pool[list].size());
            pool[list].push_back(static_cast<int>(item));
        };
        leave(ui, static_cast<std::size_t>(a) * groups + g);
        leave(uj, static_cast<std::size_t>(b) * groups + h);
        join(ui, static_cast<std::size_t>(b) * groups + g);
        join(uj, static_cast<std::size_t>(a) * groups + h);
    }
    std::swap(cls[ui], cls[uj]);
    std::swap(pos[ui], pos[uj]);
}

BalanceFigures Chain::Figures() const
{
    const Problem& p = problem;
    BalanceFigures f {Chosen(), p.fixedLargestGap, p.fixedGapSum};
    for (int k = 0; k < p.active; ++k) {
        long long low = 0, high = 0;
        for (int c = 0; c < p.classCount; ++c) {
            const long long m = mean[static_cast<std::size_t>(c * p.active + k)];
            low = c == 0 ? m : std::min(low, m);
            high = c == 0 ? m : std::max(high, m);
        }
        f.largestGap = std::max(f.largestGap, Clamp(high - low));
        f.gapSum += Clamp(high - low);
    }
    if (polish.gapWeight)
        f.total += polish.gapWeight * GapExcess();
    return f;
}

long long Chain::GapExcess() const
{
    const Problem& p = problem;
    long long excess = 0;
    for (int k = 0; k < p.active; ++k) {
        long long low = mean[static_cast<std::size_t>(k)], high = low;
        for (int c = 1; c < p.classCount; ++c) {
            const long long m = mean[static_cast<std::size_t>(c * p.active + k)];
            low = std::min(low, m);
            high = std::max(high, m);
        }
        excess += std::max(0LL, high - low - polish.gapFrom);
    }
    return excess;
}

void Chain::StartPolish(const Polish& settings)
{
    polish = settings;
    polish.on = true;
    weighted = problem.fixedTotal;
    for (const long long d : dev)
        weighted += Weigh(d);
}

} // namespace fenban::optimise
