#include "engine/Balancing.h"

#include "engine/RuleCheck.h"
#include "engine/Statistics.h"
#include "engine/SwapSearch.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <set>
#include <unordered_map>
#include <utility>

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

namespace {

// The rules a division breaks, each as its kind and group.
std::set<std::pair<RuleBreach::Kind, int>> BrokenRules(
    const DivisionRules& rules, const std::vector<int>& classOf, int classCount)
{
    std::set<std::pair<RuleBreach::Kind, int>> broken;
    for (const RuleBreach& breach : FindRuleBreaches(rules, classOf, classCount))
        broken.emplace(breach.kind, breach.group);
    return broken;
}

} // namespace

BalanceOutcome Balance(DivisionState& state, const BalanceRequest& request, const DivisionRules* rules)
{
    const PressTarget press = ResolvePressTarget(state, request);
    if (press.stop)
        return *press.stop;
    SwapFilter keepsRules;
    std::vector<int> classOf;
    std::unordered_map<const TStudent*, std::size_t> recordOf;
    std::set<std::pair<RuleBreach::Kind, int>> brokenBefore;
    const int classCount = request.classCount;
    if (rules != nullptr && !rules->empty()) {
        classOf = ClassesOfRecords(state);
        for (std::size_t r = 0; r < state.Records.size(); ++r)
            recordOf.emplace(state.Records[r].get(), r);
        brokenBefore = BrokenRules(*rules, classOf, classCount);
        keepsRules = [&](int slotA, int slotB) {
            const std::size_t a = recordOf.at(state.FClasses[press.target.classA][slotA]);
            const std::size_t b = recordOf.at(state.FClasses[press.target.classB][slotB]);
            std::swap(classOf[a], classOf[b]);
            const auto after = BrokenRules(*rules, classOf, classCount);
            std::swap(classOf[a], classOf[b]);
            return std::includes(brokenBefore.begin(), brokenBefore.end(), after.begin(), after.end());
        };
    }
    const std::optional<ChosenSwap> chosen = FindBestSwap(state, press.target, request.coefficient, {}, keepsRules);
    if (!chosen)
        return BalanceOutcome::NoCandidate;
    ExchangeStudents(state, press.target, chosen->slotA, chosen->slotB);
    return BalanceOutcome::Swapped;
}

} // namespace fenban
