#pragma once

#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"

#include <cstdint>
#include <optional>

namespace fenban {

struct SwapTarget {
    int classA; // class indices
    int classB;
    int subject;
};

// The automatic choice from FDevSum and FClassDev as they stand: the first
// subject with the largest deviation sum, the first class furthest above the
// grade average there (class 0 when none lies above) and the first class with
// the smallest deviation.
SwapTarget PickSwapTarget(const DivisionState& state);

struct BalanceRequest {
    bool manual;
    int classA; // class numbers, 1-based, chosen by the user
    int classB;
    int subject; // -1: none selected
    std::int32_t coefficient;
    int classCount; // the current class count
};

enum class BalanceOutcome {
    NoSubject, // a pair chosen by the user, but no subject
    NeedsDivision, // no division at the class count
    ClassOutOfRange, // a chosen class number beyond the class count
    SameClass, // the pair is one class: nothing to exchange
    NoCandidate, // no two students may trade places
    Swapped,
};

// One balancing step: makes the best-scoring exchange of two same-gender
// students, neither hand-placed, between the chosen classes and recomputes
// the statistics. With school rules, only an exchange that breaks no rule the
// division keeps. Only Swapped changes anything.
BalanceOutcome Balance(DivisionState& state, const BalanceRequest& request, const DivisionRules* rules = nullptr);

// The pair and subject of one balancing step, or the outcome that ends it before any
// exchange is tried. Checks in order: subject, division, class numbers, pair.
struct PressTarget {
    std::optional<BalanceOutcome> stop;
    SwapTarget target {};
};
PressTarget ResolvePressTarget(const DivisionState& state, const BalanceRequest& request);

// A tried exchange; the slots name the two students in FClasses[classA] and
// FClasses[classB]. Its score is devTotal + pairGap.
struct CandidateScore {
    int indexA;
    int indexB;
    long double devTotal; // sum of the deviation sums after the exchange
    long double pairGap; // weighted gap between the two classes in the subject
};

// coefficient * |RoundTwoDecimals(averageA - averageB)| + 0.1, in extended precision.
long double PairGap(std::int32_t coefficient, long double averageA, long double averageB);

// Swaps slot slotA of class A with slot slotB of class B in FClasses, sets
// both class numbers and recomputes the statistics from FClasses.
void ExchangeStudents(DivisionState& state, const SwapTarget& target, int slotA, int slotB);

} // namespace fenban
