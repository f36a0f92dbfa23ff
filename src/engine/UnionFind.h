#pragma once

#include <cstddef>
#include <numeric>
#include <vector>

namespace fenban {

// Disjoint sets over 0..n-1 with path halving. Join keeps the first
// argument's representative, so a set's representative is the one it was
// first joined to.
class UnionFind {
public:
    explicit UnionFind(std::size_t n)
        : parent_(n)
    {
        std::iota(parent_.begin(), parent_.end(), 0);
    }

    int Find(int x)
    {
        while (Up(x) != x)
            x = Up(x) = Up(Up(x));
        return x;
    }

    void Join(int keep, int other)
    {
        const int root = Find(keep);
        Up(Find(other)) = root;
    }

private:
    int& Up(int x) { return parent_[static_cast<std::size_t>(x)]; }

    std::vector<int> parent_;
};

// The groups joined where they share a member: each merged group lists its
// members once, in the order first met; the groups in the order of their
// first member met. `take` filters the members (students outside the division).
template <class Take>
std::vector<std::vector<int>> MergedGroups(const std::vector<std::vector<int>>& groups, std::size_t n, Take&& take)
{
    UnionFind sets(n);
    for (const std::vector<int>& group : groups) {
        int first = -1;
        for (const int i : group)
            if (take(i)) {
                if (first < 0)
                    first = i;
                else
                    sets.Join(first, i);
            }
    }
    std::vector<int> slot(n, -1);
    std::vector<char> seen(n, 0);
    std::vector<std::vector<int>> merged;
    for (const std::vector<int>& group : groups)
        for (const int i : group) {
            if (!take(i) || seen[static_cast<std::size_t>(i)])
                continue;
            seen[static_cast<std::size_t>(i)] = 1;
            int& s = slot[static_cast<std::size_t>(sets.Find(i))];
            if (s < 0) {
                s = static_cast<int>(merged.size());
                merged.emplace_back();
            }
            merged[static_cast<std::size_t>(s)].push_back(i);
        }
    return merged;
}

} // namespace fenban
