#pragma once

#include <utility>
#include <vector>

namespace fenban {

// School rules over students, each named by its index into DivisionState::Records (the roster as built).
struct DivisionRules {
    std::vector<std::vector<int>> together; // 同班: each group ends in one class
    std::vector<std::vector<int>> apart; // 不同班 and sound-alike names: pairwise different classes
    // each 均衡… value: every class gets floor(k/N) or ceil(k/N) of its k students
    std::vector<std::vector<int>> spread;
    std::vector<std::pair<int, int>> fixed; // 固定: student index, class number 1..N
    bool empty() const { return together.empty() && apart.empty() && spread.empty() && fixed.empty(); }
};

} // namespace fenban
