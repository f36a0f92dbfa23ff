#pragma once

#include "engine/Balancing.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace fenban {

struct ChosenSwap {
    int slotA;
    int slotB;
};

using CandidateObserver = std::function<void(const CandidateScore&)>;

// Whether the exchange of slot slotA of class A with slot slotB of class B may be made.
using SwapFilter = std::function<bool(int slotA, int slotB)>;

// Tries every exchange of a student of class A with a student of class B of
// the same gender, neither pinned, in slot order (A's slot, then B's), and
// scores each on the division that the exchange produces, figures summed in
// the order the step's working lists have. Returns the slots of the lowest
// score above 0 (below 9999999), the first tried among equal ones. Nothing
// in the state changes; the observer, if any, sees every tried exchange. With
// a filter, only the exchanges it allows can be chosen.
std::optional<ChosenSwap> FindBestSwap(const DivisionState& state, const SwapTarget& target, std::int32_t coefficient,
    const CandidateObserver& observer = {}, const SwapFilter& allowed = {});

} // namespace fenban
