#include "BalancingReference.h"

#include "engine/Statistics.h"

#include <cmath>
#include <cstddef>

namespace fenban::reference {

namespace {

struct TSwapCandidate {
    std::int32_t IndexA;
    std::int32_t IndexB;
    long double DevTotal;
    long double PairGap;
};

bool MarkedF(const TStudent& student)
{
    std::string upper(student.Mark.view());
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper == "F";
}

} // namespace

Press Balance(DivisionState& state, const BalanceRequest& request)
{
    const PressTarget press = ResolvePressTarget(state, request);
    if (press.stop)
        return {*press.stop, {}};
    const int classA = press.target.classA;
    const int classB = press.target.classB;
    const int subject = press.target.subject;
    const int n = request.classCount;

    std::vector<TStudentList> work(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        work[i].resize(state.FClasses[i].size());
    const auto resetWorkClasses = [&state, &work, n] {
        for (int i = 0; i < n; ++i)
            for (std::size_t e = 0; e < work[i].size(); ++e)
                work[i][e] = state.FClasses[i][e];
    };
    resetWorkClasses();

    const auto savedAvg = state.FClassAvg;
    const auto savedDev = state.FClassDev;
    const auto savedDevSum = state.FDevSum;

    TStudentList& workA = work[classA];
    TStudentList& workB = work[classB];
    std::vector<TSwapCandidate> table(workA.size() * workB.size(), TSwapCandidate {0, 0, 0.0L, 0.0L});
    std::size_t written = 0;
    for (std::size_t j = 0; j < workA.size(); ++j) {
        if (MarkedF(*workA[j]))
            continue;
        for (std::size_t k = 0; k < workB.size(); ++k) {
            if (!(workA[j]->Gender == workB[k]->Gender) || MarkedF(*workB[k]))
                continue;
            std::swap(workA[j], workB[k]);
            ComputeClassStats(state, work);
            TSwapCandidate& entry = table[written++];
            entry.IndexA = static_cast<std::int32_t>(j);
            entry.IndexB = static_cast<std::int32_t>(k);
            entry.DevTotal = 0.0L;
            for (int s = 0; s < SubjectCount; ++s)
                entry.DevTotal += state.FDevSum[s];
            const double r = RoundTwoDecimals(state.FClassAvg[classA][subject] - state.FClassAvg[classB][subject]);
            entry.PairGap
                = static_cast<long double>(request.coefficient) * std::fabs(static_cast<long double>(r)) + 0.1L;
        }
        resetWorkClasses();
    }

    Press result {BalanceOutcome::NoCandidate, {}};
    for (std::size_t i = 0; i < written; ++i)
        result.tried.push_back({table[i].IndexA, table[i].IndexB, table[i].DevTotal, table[i].PairGap});

    long double best = 9999999.0L;
    int chosenJ = -1;
    int chosenK = -1;
    for (const TSwapCandidate& entry : table) {
        const long double score = entry.DevTotal + entry.PairGap;
        if (score > 0.0L && score < best) {
            best = score;
            chosenJ = entry.IndexA;
            chosenK = entry.IndexB;
        }
    }
    if (chosenJ < 0) {
        state.FClassAvg = savedAvg;
        state.FClassDev = savedDev;
        state.FDevSum = savedDevSum;
        return result;
    }

    const PStudent p = state.FClasses[classA][chosenJ];
    const PStudent q = state.FClasses[classB][chosenK];
    state.FClasses[classA][chosenJ] = q;
    q->ClassNo = classA + 1;
    state.FClasses[classB][chosenK] = p;
    p->ClassNo = classB + 1;
    ComputeClassStats(state);
    result.outcome = BalanceOutcome::Swapped;
    return result;
}

} // namespace fenban::reference
