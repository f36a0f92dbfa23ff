#include "engine/SwapSearch.h"

#include "engine/ReplacementFigures.h"
#include "engine/Statistics.h"
#include "engine/SuffixFolds.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fenban {

namespace {

constexpr long double NoScoreYet = 9999999.0L;
constexpr long double Epsilon = 0x1p-64L; // unit roundoff of the extended type

// How the scores of a subject in the two classes can be counted in whole units.
enum class Units {
    None,
    Halves, // whole and half points: every sum is exact in any order
    Hundredths, // at most two decimals: sums stray from the decimal sum by far less than a hundredth
};

// One of the two classes of a balancing step: its scores by subject and slot, and
// their running sums in list order.
struct ClassScores {
    explicit ClassScores(const TStudentList& list);

    long double At(int s, std::size_t slot) const { return scores[s * size + slot]; }
    long long UnitsAt(int s, std::size_t slot) const { return units[s * size + slot]; }
    long double Before(int s, std::size_t slot) const { return prefix[s * (size + 1) + slot]; }
    long double Widest(int s) const { return std::max(std::fabs(lowest[s]), std::fabs(highest[s])); }

    std::size_t size;
    std::vector<long double> scores;
    std::vector<long double> prefix; // per subject: the sum of the first i slots, i = 0..size
    std::vector<long long> units; // the scores counted in halves or hundredths
    std::array<long long, SubjectCount> totalUnits {};
    TSubjectValues total {}, absTotal {}, lowest {}, highest {};
};

ClassScores::ClassScores(const TStudentList& list)
    : size(list.size())
    , scores(SubjectCount * size)
    , prefix(SubjectCount * (size + 1))
    , units(SubjectCount * size)
{
    for (int s = 0; s < SubjectCount; ++s) {
        long double sum = 0.0L;
        long double absSum = 0.0L;
        lowest[s] = std::numeric_limits<long double>::infinity();
        highest[s] = -lowest[s];
        for (std::size_t i = 0; i < size; ++i) {
            const long double x = list[i]->Scores[s];
            scores[s * size + i] = x;
            prefix[s * (size + 1) + i] = sum;
            sum += x;
            absSum += std::fabs(x);
            lowest[s] = std::min(lowest[s], x);
            highest[s] = std::max(highest[s], x);
        }
        prefix[s * (size + 1) + size] = sum;
        total[s] = sum;
        absTotal[s] = absSum;
    }
}

class Search {
public:
    Search(const DivisionState& state, const SwapTarget& target, std::int32_t coefficient);
    std::optional<ChosenSwap> Run(const CandidateObserver& observer, const SwapFilter& allowed);

private:
    CandidateScore Score(std::size_t j, std::size_t k);
    const ClassFigures& FiguresOfA(int s, std::size_t j, std::size_t k);
    const ClassFigures& FiguresOfB(int s, std::size_t j, std::size_t k);
    ReplacementFigures MakeFigures(const ClassScores& own, const ClassScores& other, int s, long double grade) const;

    const TStudentList& listA_;
    const TStudentList& listB_;
    const SwapTarget target_;
    const std::int32_t coefficient_;
    const std::size_t classCount_;
    const std::size_t firstChanged_; // the lower of the two class indices
    ClassScores a_;
    ClassScores b_;
    std::array<Units, SubjectCount> units_ {};
    std::vector<ReplacementFigures> figuresA_, figuresB_;
    std::vector<SuffixFolds> foldsA_, foldsB_; // the lists' own scores, for order-faithful sums
    std::vector<long double> baseAbs_; // per subject, per class: |deviation| as the lists stand
    TSubjectValues before_ {}; // deviation sums over the classes below firstChanged_
    TStudentList workB_; // class B as the step's working list holds it
    // Per subject, B's working list added up over its first foldedB_ slots;
    // the slots before the current exchange no longer change for this slot of A.
    std::array<std::size_t, SubjectCount> foldedB_ {};
    TSubjectValues foldB_ {};
    // B's list at an exchange depends only on the gender group and on the
    // incoming student's score: walks already made, by group, subject and slot.
    std::size_t group_ = 0;
    std::unordered_map<std::uint64_t, std::vector<std::pair<long double, ClassFigures>>> walksB_;
};

// Counts a subject's scores in units of 1/perPoint; false unless every score
// is the extended value nearest to a whole number of units, below 2^40 units.
bool CountUnits(ClassScores& scores, int s, int perPoint)
{
    long long total = 0;
    for (std::size_t i = 0; i < scores.size; ++i) {
        const long double x = scores.At(s, i);
        if (!(std::fabs(x) * perPoint < 0x1p40L))
            return false;
        const long long count = std::llrint(x * perPoint);
        if (static_cast<long double>(count) / perPoint != x)
            return false;
        scores.units[s * scores.size + i] = count;
        total += count;
    }
    scores.totalUnits[s] = total;
    return true;
}

// Whether a class's sums in hundredths decide its rounded average: the list
// sum strays from the decimal sum by at most (count + 2) roundings of the
// magnitudes, which must stay far below half a hundredth of the average.
bool HundredthsDecide(const ClassScores& own, const ClassScores& other, int s)
{
    const auto count = static_cast<long double>(own.size);
    const long double magnitudes = own.absTotal[s] + other.Widest(s);
    const long double largestQuotient = 100 * std::max(own.Widest(s), other.Widest(s));
    return 200 * (count + 2) * Epsilon * magnitudes + 2 * count * largestQuotient * 0x1p-52L < 0.25L;
}

Search::Search(const DivisionState& state, const SwapTarget& target, std::int32_t coefficient)
    : listA_(state.FClasses[target.classA])
    , listB_(state.FClasses[target.classB])
    , target_(target)
    , coefficient_(coefficient)
    , classCount_(state.FClassAvg.size())
    , firstChanged_(static_cast<std::size_t>(std::min(target.classA, target.classB)))
    , a_(listA_)
    , b_(listB_)
    , baseAbs_(SubjectCount * classCount_)
    , workB_(listB_)
{
    for (std::size_t c = 0; c < classCount_; ++c) {
        const TStudentList none;
        const TStudentList& list = c < state.FClasses.size() ? state.FClasses[c] : none;
        const TSubjectValues sums = SubjectSums(list);
        for (int s = 0; s < SubjectCount; ++s) {
            const long double average = ClassAverageFromSum(sums[s], list.size());
            baseAbs_[s * classCount_ + c] = std::fabs(Deviation(average, state.FGradeAvg[s]));
        }
    }
    for (int s = 0; s < SubjectCount; ++s) {
        for (std::size_t c = 0; c < firstChanged_; ++c)
            before_[s] += baseAbs_[s * classCount_ + c];
        if (CountUnits(a_, s, 2) && CountUnits(b_, s, 2))
            units_[s] = Units::Halves;
        else if (CountUnits(a_, s, 100) && CountUnits(b_, s, 100) && HundredthsDecide(a_, b_, s)
            && HundredthsDecide(b_, a_, s))
            units_[s] = Units::Hundredths;
        const bool exact = units_[s] == Units::Halves;
        const auto subjectScores = [s](const ClassScores& scores) {
            return std::vector<long double>(scores.scores.begin() + static_cast<std::ptrdiff_t>(s * scores.size),
                scores.scores.begin() + static_cast<std::ptrdiff_t>((s + 1) * scores.size));
        };
        foldsA_.emplace_back(exact ? std::vector<long double> {} : subjectScores(a_), b_.Widest(s));
        foldsB_.emplace_back(exact ? std::vector<long double> {} : subjectScores(b_), a_.Widest(s));
        figuresA_.push_back(MakeFigures(a_, b_, s, state.FGradeAvg[s]));
        figuresB_.push_back(MakeFigures(b_, a_, s, state.FGradeAvg[s]));
    }
}

ReplacementFigures Search::MakeFigures(const ClassScores& own, const ClassScores& other, int s, long double grade) const
{
    // Both the list-order sum and total - out + in stray from the exact sum by
    // at most (count + 1) roundings of the magnitudes' sum; allow eight times.
    const long double magnitudes = own.absTotal[s] + other.Widest(s);
    const long double error
        = units_[s] == Units::Halves ? 0.0L : 16.0L * static_cast<long double>(own.size + 2) * Epsilon * magnitudes;
    return ReplacementFigures(own.size, grade, own.total[s] - own.highest[s] + other.lowest[s],
        own.total[s] - own.lowest[s] + other.highest[s], error, units_[s] == Units::Halves);
}

const ClassFigures& Search::FiguresOfA(int s, std::size_t j, std::size_t k)
{
    ReplacementFigures& figures = figuresA_[s];
    const long long units = a_.totalUnits[s] - a_.UnitsAt(s, j) + b_.UnitsAt(s, k);
    if (units_[s] == Units::Halves)
        return figures.FromHalves(units);
    const ClassFigures* found = units_[s] == Units::Hundredths
        ? figures.TryFromHundredths(units)
        : figures.TryFromSum((a_.total[s] - a_.At(s, j)) + b_.At(s, k));
    if (found)
        return *found;
    return figures.Keep(figures.FromSum(foldsA_[s].FoldFrom(a_.Before(s, j) + b_.At(s, k), j + 1)));
}

const ClassFigures& Search::FiguresOfB(int s, std::size_t j, std::size_t k)
{
    ReplacementFigures& figures = figuresB_[s];
    const long long units = b_.totalUnits[s] - b_.UnitsAt(s, k) + a_.UnitsAt(s, j);
    if (units_[s] == Units::Halves)
        return figures.FromHalves(units);
    const ClassFigures* found = units_[s] == Units::Hundredths
        ? figures.TryFromHundredths(units)
        : figures.TryFromSum((b_.total[s] - b_.At(s, k)) + a_.At(s, j));
    if (found)
        return *found;
    const long double incoming = a_.At(s, j);
    auto& walks = walksB_[(static_cast<std::uint64_t>(group_ * SubjectCount + s) << 32) | k];
    for (const auto& [score, known] : walks)
        if (score == incoming)
            return figures.Keep(known);
    // Earlier exchanges for this slot of A left rotated students in B's list:
    // add up the working list to slot k, then B's own students behind it.
    long double& folded = foldB_[s];
    for (; foldedB_[s] <= k; ++foldedB_[s])
        folded += workB_[foldedB_[s]]->Scores[s];
    walks.emplace_back(incoming, figures.FromSum(foldsB_[s].FoldFrom(folded, k + 1)));
    return figures.Keep(walks.back().second);
}

CandidateScore Search::Score(std::size_t j, std::size_t k)
{
    const std::size_t classA = static_cast<std::size_t>(target_.classA);
    const std::size_t classB = static_cast<std::size_t>(target_.classB);
    TSubjectValues devSums {};
    long double averageA = 0.0L;
    long double averageB = 0.0L;
    for (int s = 0; s < SubjectCount; ++s) {
        const ClassFigures& fa = FiguresOfA(s, j, k);
        const ClassFigures& fb = FiguresOfB(s, j, k);
        if (s == target_.subject) {
            averageA = fa.average;
            averageB = fb.average;
        }
        const long double* base = &baseAbs_[s * classCount_];
        long double sum = before_[s];
        for (std::size_t c = firstChanged_; c < classCount_; ++c)
            sum += c == classA ? fa.absDeviation : c == classB ? fb.absDeviation : base[c];
        devSums[s] = sum;
    }
    return {
        static_cast<int>(j), static_cast<int>(k), TotalDeviation(devSums), PairGap(coefficient_, averageA, averageB)};
}

std::optional<ChosenSwap> Search::Run(const CandidateObserver& observer, const SwapFilter& allowed)
{
    std::map<ShortString<2>, std::size_t> groups; // B's free slots by gender
    std::vector<std::vector<std::size_t>> partners;
    for (std::size_t k = 0; k < listB_.size(); ++k) {
        if (listB_[k]->IsHandPlacedForBalancing())
            continue;
        const auto [group, added] = groups.emplace(listB_[k]->Gender, partners.size());
        if (added)
            partners.emplace_back();
        partners[group->second].push_back(k);
    }

    long double best = NoScoreYet;
    std::optional<ChosenSwap> chosen;
    for (std::size_t j = 0; j < listA_.size(); ++j) {
        const PStudent student = listA_[j];
        if (student->IsHandPlacedForBalancing())
            continue;
        const auto found = groups.find(student->Gender);
        if (found == groups.end())
            continue;
        group_ = found->second;
        const std::vector<std::size_t>& slots = partners[group_];
        foldedB_.fill(slots.front());
        for (int s = 0; s < SubjectCount; ++s)
            foldB_[s] = b_.Before(s, slots.front());
        PStudent held = student;
        for (const std::size_t k : slots) {
            // The working lists exchange slot j with slot k and keep it for the next k.
            workB_[k] = held;
            held = listB_[k];
            const CandidateScore candidate = Score(j, k);
            if (observer)
                observer(candidate);
            const long double score = candidate.devTotal + candidate.pairGap;
            if (score > 0.0L && score < best && (!allowed || allowed(static_cast<int>(j), static_cast<int>(k)))) {
                best = score;
                chosen = ChosenSwap {static_cast<int>(j), static_cast<int>(k)};
            }
        }
        for (const std::size_t k : slots)
            workB_[k] = listB_[k];
    }
    return chosen;
}

} // namespace

std::optional<ChosenSwap> FindBestSwap(const DivisionState& state, const SwapTarget& target, std::int32_t coefficient,
    const CandidateObserver& observer, const SwapFilter& allowed)
{
    return Search(state, target, coefficient).Run(observer, allowed);
}

} // namespace fenban
