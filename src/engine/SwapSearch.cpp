#include "engine/SwapSearch.h"

#include "engine/ReplacementFigures.h"
#include "engine/Statistics.h"

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

// Whole and half points whose magnitudes add up to less than this are summed
// exactly in extended precision, in any order.
constexpr long double ExactSumLimit = 0x1p50L;
constexpr long double NoScoreYet = 9999999.0L;
constexpr long double Epsilon = 0x1p-64L; // unit roundoff of the extended type

bool IsHalfPoint(long double x)
{
    const long double twice = 2.0L * x;
    return std::isfinite(twice) && std::rint(twice) == twice;
}

// One of the two classes of a press: its scores by subject and slot, and
// their running sums in list order.
struct ClassScores {
    explicit ClassScores(const TStudentList& list);

    long double At(int s, std::size_t slot) const { return scores[s * size + slot]; }
    long long HalvesAt(int s, std::size_t slot) const { return halves[s * size + slot]; }
    long double Before(int s, std::size_t slot) const { return prefix[s * (size + 1) + slot]; }
    long double Widest(int s) const { return std::max(std::fabs(lowest[s]), std::fabs(highest[s])); }

    std::size_t size;
    std::vector<long double> scores;
    std::vector<long double> prefix; // per subject: the sum of the first i slots, i = 0..size
    std::vector<long long> halves;    // twice the scores, for whole and half points
    std::array<long long, SubjectCount> totalHalves{};
    TSubjectValues total{}, absTotal{}, lowest{}, highest{};
};

ClassScores::ClassScores(const TStudentList& list)
    : size(list.size()),
      scores(SubjectCount * size),
      prefix(SubjectCount * (size + 1)),
      halves(SubjectCount * size)
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
    std::optional<ChosenSwap> Run(const CandidateObserver& observer);

private:
    CandidateScore Score(std::size_t j, std::size_t k);
    ClassFigures FiguresOfA(int s, std::size_t j, std::size_t k);
    ClassFigures FiguresOfB(int s, std::size_t j, std::size_t k);
    ReplacementFigures MakeFigures(const ClassScores& own, const ClassScores& other, int s,
                                   long double grade) const;

    const TStudentList& listA_;
    const TStudentList& listB_;
    const SwapTarget target_;
    const std::int32_t coefficient_;
    const std::size_t classCount_;
    const std::size_t firstChanged_; // the lower of the two class indices
    ClassScores a_;
    ClassScores b_;
    std::array<bool, SubjectCount> exact_{};
    std::vector<ReplacementFigures> figuresA_, figuresB_;
    std::vector<long double> baseAbs_; // per subject, per class: |deviation| as the lists stand
    TSubjectValues before_{};          // deviation sums over the classes below firstChanged_
    TStudentList workB_;               // class B as the press's working list holds it
    // Per subject, B's working list added up over its first foldedB_ slots;
    // the slots before the current exchange no longer change for this slot of A.
    std::array<std::size_t, SubjectCount> foldedB_{};
    TSubjectValues foldB_{};
    // B's list at an exchange depends only on the gender group and on the
    // incoming student's score: walks already made, by group, subject and slot.
    std::size_t group_ = 0;
    std::unordered_map<std::uint64_t, std::vector<std::pair<long double, ClassFigures>>> walksB_;
};

void CountHalves(ClassScores& scores, int s)
{
    long long total = 0;
    for (std::size_t i = 0; i < scores.size; ++i) {
        const long long twice = std::llrint(2.0L * scores.At(s, i));
        scores.halves[s * scores.size + i] = twice;
        total += twice;
    }
    scores.totalHalves[s] = total;
}

Search::Search(const DivisionState& state, const SwapTarget& target, std::int32_t coefficient)
    : listA_(state.FClasses[target.classA]),
      listB_(state.FClasses[target.classB]),
      target_(target),
      coefficient_(coefficient),
      classCount_(state.FClassAvg.size()),
      firstChanged_(static_cast<std::size_t>(std::min(target.classA, target.classB))),
      a_(listA_),
      b_(listB_),
      baseAbs_(SubjectCount * classCount_),
      workB_(listB_)
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
        exact_[s] = a_.absTotal[s] + b_.absTotal[s] < ExactSumLimit;
        for (std::size_t i = 0; i < a_.size && exact_[s]; ++i)
            exact_[s] = IsHalfPoint(a_.At(s, i));
        for (std::size_t i = 0; i < b_.size && exact_[s]; ++i)
            exact_[s] = IsHalfPoint(b_.At(s, i));
        if (exact_[s]) {
            CountHalves(a_, s);
            CountHalves(b_, s);
        }
        figuresA_.push_back(MakeFigures(a_, b_, s, state.FGradeAvg[s]));
        figuresB_.push_back(MakeFigures(b_, a_, s, state.FGradeAvg[s]));
    }
}

ReplacementFigures Search::MakeFigures(const ClassScores& own, const ClassScores& other, int s,
                                       long double grade) const
{
    // Both the list-order sum and total - out + in stray from the exact sum by
    // at most (count + 1) roundings of the magnitudes' sum; allow eight times.
    const long double magnitudes = own.absTotal[s] + other.Widest(s);
    const long double error =
        exact_[s] ? 0.0L : 16.0L * static_cast<long double>(own.size + 2) * Epsilon * magnitudes;
    return ReplacementFigures(own.size, grade, own.total[s] - own.highest[s] + other.lowest[s],
                              own.total[s] - own.lowest[s] + other.highest[s], error, exact_[s]);
}

ClassFigures Search::FiguresOfA(int s, std::size_t j, std::size_t k)
{
    if (exact_[s])
        return figuresA_[s].FromHalves(a_.totalHalves[s] - a_.HalvesAt(s, j) + b_.HalvesAt(s, k));
    ClassFigures figures;
    if (figuresA_[s].TryFromSum((a_.total[s] - a_.At(s, j)) + b_.At(s, k), figures))
        return figures;
    long double listed = a_.Before(s, j) + b_.At(s, k);
    for (std::size_t i = j + 1; i < a_.size; ++i)
        listed += a_.At(s, i);
    return figuresA_[s].FromSum(listed);
}

ClassFigures Search::FiguresOfB(int s, std::size_t j, std::size_t k)
{
    if (exact_[s])
        return figuresB_[s].FromHalves(b_.totalHalves[s] - b_.HalvesAt(s, k) + a_.HalvesAt(s, j));
    ClassFigures figures;
    if (figuresB_[s].TryFromSum((b_.total[s] - b_.At(s, k)) + a_.At(s, j), figures))
        return figures;
    const long double incoming = a_.At(s, j);
    auto& walks = walksB_[(static_cast<std::uint64_t>(group_ * SubjectCount + s) << 32) | k];
    for (const auto& [score, known] : walks)
        if (score == incoming)
            return known;
    // Earlier exchanges for this slot of A left rotated students in B's list:
    // add up the working list to slot k, then B's own students behind it.
    long double& folded = foldB_[s];
    for (; foldedB_[s] <= k; ++foldedB_[s])
        folded += workB_[foldedB_[s]]->Scores[s];
    long double listed = folded;
    for (std::size_t i = k + 1; i < b_.size; ++i)
        listed += b_.At(s, i);
    walks.emplace_back(incoming, figuresB_[s].FromSum(listed));
    return walks.back().second;
}

CandidateScore Search::Score(std::size_t j, std::size_t k)
{
    const std::size_t classA = static_cast<std::size_t>(target_.classA);
    const std::size_t classB = static_cast<std::size_t>(target_.classB);
    TSubjectValues devSums{};
    long double averageA = 0.0L;
    long double averageB = 0.0L;
    for (int s = 0; s < SubjectCount; ++s) {
        const ClassFigures fa = FiguresOfA(s, j, k);
        const ClassFigures fb = FiguresOfB(s, j, k);
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
    return {static_cast<int>(j), static_cast<int>(k), TotalDeviation(devSums),
            PairGap(coefficient_, averageA, averageB)};
}

std::optional<ChosenSwap> Search::Run(const CandidateObserver& observer)
{
    std::map<ShortString<2>, std::size_t> groups; // B's free slots by gender
    std::vector<std::vector<std::size_t>> partners;
    for (std::size_t k = 0; k < listB_.size(); ++k) {
        if (IsPinned(*listB_[k]))
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
        if (IsPinned(*student))
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
            if (score > 0.0L && score < best) {
                best = score;
                chosen = ChosenSwap{static_cast<int>(j), static_cast<int>(k)};
            }
        }
        for (const std::size_t k : slots)
            workB_[k] = listB_[k];
    }
    return chosen;
}

} // namespace

std::optional<ChosenSwap> FindBestSwap(const DivisionState& state, const SwapTarget& target,
                                       std::int32_t coefficient, const CandidateObserver& observer)
{
    return Search(state, target, coefficient).Run(observer);
}

} // namespace fenban
