#include "engine/Balancing.h"

#include "engine/Statistics.h"
#include "engine/SwapSearch.h"

#include <cmath>
#include <cstddef>

namespace fenban {

SwapTarget PickSwapTarget(const DivisionState& state)
{
    SwapTarget target {0, 0, 0};
    long double largestSum = 0.0L;
    for (int s = 0; s < SubjectCount; ++s) {
        if (state.FDevSum[s] > largestSum) {
            largestSum = state.FDevSum[s];
            target.subject = s;
        }
    }
    long double highest = 0.0L;
    long double lowest = 99999.0L;
    for (std::size_t c = 0; c < state.FClassDev.size(); ++c) {
        const long double d = state.FClassDev[c][target.subject];
        if (d > highest) {
            highest = d;
            target.classA = static_cast<int>(c);
        }
        if (d < lowest) {
            lowest = d;
            target.classB = static_cast<int>(c);
        }
    }
    return target;
}

PressTarget ResolvePressTarget(const DivisionState& state, const BalanceRequest& request)
{
    if (request.manual && (request.subject < 0 || request.subject >= SubjectCount))
        return {BalanceOutcome::NoSubject};

    // The tables and the lists must describe a division at the current class count.
    const int n = request.classCount;
    const auto count = static_cast<std::size_t>(n);
    if (n < 1 || state.FClassAvg.size() != count || state.FClassDev.size() != count || state.FClasses.size() != count)
        return {BalanceOutcome::NeedsDivision};

    SwapTarget target {};
    if (request.manual) {
        if (request.classA < 1 || request.classA > n || request.classB < 1 || request.classB > n)
            return {BalanceOutcome::ClassOutOfRange};
        target = {request.classA - 1, request.classB - 1, request.subject};
    } else {
        target = PickSwapTarget(state);
    }
    if (target.classA == target.classB)
        return {BalanceOutcome::SameClass};
    return {std::nullopt, target};
}

long double PairGap(std::int32_t coefficient, long double averageA, long double averageB)
{
    const long double gap = std::fabs(static_cast<long double>(RoundTwoDecimals(averageA - averageB)));
    return static_cast<long double>(coefficient) * gap + 0.1L;
}

void ExchangeStudents(DivisionState& state, const SwapTarget& target, int slotA, int slotB)
{
    TStudentList& listA = state.FClasses[target.classA];
    TStudentList& listB = state.FClasses[target.classB];
    const PStudent fromA = listA[slotA];
    const PStudent fromB = listB[slotB];
    listA[slotA] = fromB;
    fromB->ClassNo = target.classA + 1;
    listB[slotB] = fromA;
    fromA->ClassNo = target.classB + 1;
    ComputeClassStats(state);
}

BalanceOutcome Balance(DivisionState& state, const BalanceRequest& request)
{
    const PressTarget press = ResolvePressTarget(state, request);
    if (press.stop)
        return *press.stop;
    const std::optional<ChosenSwap> chosen = FindBestSwap(state, press.target, request.coefficient);
    if (!chosen)
        return BalanceOutcome::NoCandidate;
    ExchangeStudents(state, press.target, chosen->slotA, chosen->slotB);
    return BalanceOutcome::Swapped;
}

} // namespace fenban
