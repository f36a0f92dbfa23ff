#include "engine/RuleCheck.h"

#include "engine/Balancing.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <unordered_map>

namespace fenban {

namespace {

std::size_t At(int index)
{
    return static_cast<std::size_t>(index);
}

// Where each student of the roster stands: class index, -1 when in no list.
std::vector<int> ClassOfRecords(const DivisionState& state, int classCount)
{
    std::unordered_map<PStudent, int> at;
    for (int c = 0; c < classCount && At(c) < state.FClasses.size(); ++c)
        for (const PStudent student : state.FClasses[At(c)])
            at.emplace(student, c);
    std::vector<int> classes;
    for (const auto& record : state.Records) {
        const auto found = at.find(record.get());
        classes.push_back(found == at.end() ? -1 : found->second);
    }
    return classes;
}

struct Checker {
    const DivisionState& state;
    const int n;
    const DivisionRules& rules;
    std::vector<int> classOf; // per record
    std::vector<int> gender; // per record: index of its exact gender text
    int genders = 0;
    std::vector<int> anchor; // per record: the class it must stay in, -1: none
    std::vector<RuleConflict> found;

    Checker(const DivisionState& s, int classCount, const DivisionRules& r)
        : state(s)
        , n(classCount)
        , rules(r)
        , classOf(ClassOfRecords(s, classCount))
    {
        std::map<ShortString<2>, int> ids;
        for (const auto& record : s.Records)
            gender.push_back(ids.emplace(record->Gender, static_cast<int>(ids.size())).first->second);
        genders = static_cast<int>(ids.size());
    }

    bool Valid(int i) const { return i >= 0 && At(i) < classOf.size() && classOf[At(i)] >= 0; }

    void Add(RuleConflict::Reason reason, RuleKind kind, int rule, std::vector<int> students)
    {
        std::sort(students.begin(), students.end());
        students.erase(std::unique(students.begin(), students.end()), students.end());
        found.push_back({reason, kind, rule, std::move(students)});
    }

    void CheckIndices()
    {
        const auto check = [&](RuleKind kind, const std::vector<std::vector<int>>& groups) {
            for (std::size_t r = 0; r < groups.size(); ++r)
                for (const int i : groups[r])
                    if (!Valid(i))
                        Add(RuleConflict::Reason::BadIndex, kind, static_cast<int>(r), {i});
        };
        check(RuleKind::Together, rules.together);
        check(RuleKind::Apart, rules.apart);
        check(RuleKind::Spread, rules.spread);
        for (std::size_t r = 0; r < rules.fixed.size(); ++r)
            if (!Valid(rules.fixed[r].first))
                Add(RuleConflict::Reason::BadIndex, RuleKind::Fixed, static_cast<int>(r), {rules.fixed[r].first});
    }

    void CheckAnchors()
    {
        anchor.assign(classOf.size(), -1);
        for (std::size_t i = 0; i < classOf.size(); ++i)
            if (classOf[i] >= 0 && IsPinned(*state.Records[i]))
                anchor[i] = classOf[i];
        std::vector<int> fixedBy(classOf.size(), -1); // the first fixed rule of each student
        for (std::size_t r = 0; r < rules.fixed.size(); ++r) {
            const auto [i, number] = rules.fixed[r];
            if (!Valid(i))
                continue;
            if (number < 1 || number > n) {
                Add(RuleConflict::Reason::FixedOutOfRange, RuleKind::Fixed, static_cast<int>(r), {i});
                continue;
            }
            if (anchor[At(i)] >= 0 && anchor[At(i)] != number - 1) {
                Add(RuleConflict::Reason::FixedTwice, RuleKind::Fixed, static_cast<int>(r), {i});
                continue;
            }
            anchor[At(i)] = number - 1;
            fixedBy[At(i)] = static_cast<int>(r);
        }
        // Per class and gender: students that must stay against the places there.
        std::vector<int> places(At(n * genders), 0), held(At(n * genders), 0);
        std::vector<std::vector<int>> holders(At(n * genders));
        for (std::size_t i = 0; i < classOf.size(); ++i) {
            if (classOf[i] >= 0)
                ++places[At(classOf[i] * genders + gender[i])];
            if (anchor[i] >= 0) {
                ++held[At(anchor[i] * genders + gender[i])];
                holders[At(anchor[i] * genders + gender[i])].push_back(static_cast<int>(i));
            }
        }
        for (std::size_t cell = 0; cell < held.size(); ++cell)
            if (held[cell] > places[cell])
                Add(RuleConflict::Reason::FixedOverfull, RuleKind::Fixed, -1, holders[cell]);
    }

    void CheckApart()
    {
        for (std::size_t r = 0; r < rules.apart.size(); ++r) {
            std::vector<int> members;
            for (const int i : rules.apart[r])
                if (Valid(i))
                    members.push_back(i);
            std::sort(members.begin(), members.end());
            members.erase(std::unique(members.begin(), members.end()), members.end());
            if (static_cast<int>(members.size()) > n)
                Add(RuleConflict::Reason::ApartLargerThanClasses, RuleKind::Apart, static_cast<int>(r), members);
            for (std::size_t x = 0; x < members.size(); ++x)
                for (std::size_t y = x + 1; y < members.size(); ++y)
                    if (anchor[At(members[x])] >= 0 && anchor[At(members[x])] == anchor[At(members[y])])
                        Add(RuleConflict::Reason::FixedApartSameClass, RuleKind::Apart, static_cast<int>(r),
                            {members[x], members[y]});
        }
    }

    void CheckSpread()
    {
        for (std::size_t r = 0; r < rules.spread.size(); ++r) {
            const auto k = static_cast<int>(rules.spread[r].size());
            const int high = (k + n - 1) / n;
            std::vector<std::vector<int>> held(At(n));
            for (const int i : rules.spread[r])
                if (Valid(i) && anchor[At(i)] >= 0)
                    held[At(anchor[At(i)])].push_back(i);
            for (const std::vector<int>& students : held)
                if (static_cast<int>(students.size()) > high)
                    Add(RuleConflict::Reason::SpreadFixedTooMany, RuleKind::Spread, static_cast<int>(r), students);
        }
    }

    void CheckTogether()
    {
        // Groups sharing a student are one group.
        std::vector<int> parent(classOf.size());
        std::iota(parent.begin(), parent.end(), 0);
        const auto root = [&parent](int x) {
            while (parent[At(x)] != x)
                x = parent[At(x)] = parent[At(parent[At(x)])];
            return x;
        };
        for (const std::vector<int>& group : rules.together) {
            int first = -1;
            for (const int i : group)
                if (Valid(i)) {
                    if (first < 0)
                        first = i;
                    else
                        parent[At(root(i))] = root(first);
                }
        }
        std::map<int, std::pair<int, std::vector<int>>> merged; // root -> first rule, members
        for (std::size_t r = 0; r < rules.together.size(); ++r)
            for (const int i : rules.together[r])
                if (Valid(i)) {
                    auto& entry = merged.try_emplace(root(i), static_cast<int>(r), std::vector<int> {}).first->second;
                    entry.second.push_back(i);
                }
        for (auto& [key, entry] : merged) {
            auto& [rule, members] = entry;
            std::sort(members.begin(), members.end());
            members.erase(std::unique(members.begin(), members.end()), members.end());
            CheckTogetherGroup(rule, members);
        }
    }

    void CheckTogetherGroup(int rule, const std::vector<int>& members)
    {
        std::vector<int> anchored;
        for (const int i : members)
            if (anchor[At(i)] >= 0)
                anchored.push_back(i);
        for (const int i : anchored)
            if (anchor[At(i)] != anchor[At(anchored.front())]) {
                Add(RuleConflict::Reason::TogetherFixedApart, RuleKind::Together, rule, anchored);
                break;
            }
        std::vector<char> inGroup(classOf.size(), 0);
        for (const int i : members)
            inGroup[At(i)] = 1;
        for (std::size_t r = 0; r < rules.apart.size(); ++r) {
            std::vector<int> inside;
            for (const int i : rules.apart[r])
                if (Valid(i) && inGroup[At(i)])
                    inside.push_back(i);
            std::sort(inside.begin(), inside.end());
            inside.erase(std::unique(inside.begin(), inside.end()), inside.end());
            if (inside.size() >= 2)
                Add(RuleConflict::Reason::TogetherHoldsApartPair, RuleKind::Together, rule, inside);
        }
        for (std::size_t r = 0; r < rules.spread.size(); ++r) {
            const auto k = static_cast<int>(rules.spread[r].size());
            std::vector<int> inside;
            for (const int i : rules.spread[r])
                if (Valid(i) && inGroup[At(i)])
                    inside.push_back(i);
            if (static_cast<int>(inside.size()) > (k + n - 1) / n)
                Add(RuleConflict::Reason::TogetherBreaksSpread, RuleKind::Together, rule, inside);
        }
        // Room: some class (the anchored one, if any) has, for every gender,
        // places for the group beside the students that stay there.
        std::vector<int> need(At(genders), 0);
        for (const int i : members)
            ++need[At(gender[At(i)])];
        bool room = false;
        for (int c = 0; c < n && !room; ++c) {
            if (!anchored.empty() && c != anchor[At(anchored.front())])
                continue;
            std::vector<int> free(At(genders), 0);
            for (std::size_t i = 0; i < classOf.size(); ++i) {
                if (classOf[i] == c)
                    ++free[At(gender[i])];
                if (anchor[i] == c && !inGroup[i])
                    --free[At(gender[i])];
            }
            room = true;
            for (int g = 0; g < genders; ++g)
                room = room && need[At(g)] <= free[At(g)];
        }
        if (!room)
            Add(RuleConflict::Reason::TogetherTooLarge, RuleKind::Together, rule, members);
    }
};

} // namespace

std::vector<RuleConflict> FindRuleConflicts(const DivisionState& state, int classCount, const DivisionRules& rules)
{
    Checker checker(state, classCount, rules);
    checker.CheckIndices();
    checker.CheckAnchors();
    checker.CheckApart();
    checker.CheckSpread();
    checker.CheckTogether();
    return checker.found;
}

std::vector<BrokenRule> FindBrokenRules(const DivisionState& state, int classCount, const DivisionRules& rules)
{
    const std::vector<int> classOf = ClassOfRecords(state, classCount);
    const auto where = [&classOf](int i) { return i >= 0 && At(i) < classOf.size() ? classOf[At(i)] : -1; };
    std::vector<BrokenRule> broken;
    for (std::size_t r = 0; r < rules.together.size(); ++r) {
        const std::vector<int>& group = rules.together[r];
        for (const int i : group)
            if (where(i) < 0 || where(i) != where(group.front())) {
                broken.push_back({RuleKind::Together, static_cast<int>(r), group});
                break;
            }
    }
    for (std::size_t r = 0; r < rules.apart.size(); ++r) {
        std::vector<int> sharing;
        for (const int i : rules.apart[r])
            for (const int j : rules.apart[r])
                if (i != j && where(i) >= 0 && where(i) == where(j)) {
                    sharing.push_back(i);
                    break;
                }
        if (!sharing.empty())
            broken.push_back({RuleKind::Apart, static_cast<int>(r), sharing});
    }
    const int n = std::max(classCount, 1);
    for (std::size_t r = 0; r < rules.spread.size(); ++r) {
        const auto k = static_cast<int>(rules.spread[r].size());
        std::vector<int> count(At(n), 0);
        bool outside = false;
        for (const int i : rules.spread[r]) {
            if (where(i) < 0)
                outside = true;
            else
                ++count[At(where(i))];
        }
        for (const int c : count)
            outside = outside || c < k / n || c > (k + n - 1) / n;
        if (outside)
            broken.push_back({RuleKind::Spread, static_cast<int>(r), rules.spread[r]});
    }
    for (std::size_t r = 0; r < rules.fixed.size(); ++r) {
        const auto [i, number] = rules.fixed[r];
        if (where(i) != number - 1)
            broken.push_back({RuleKind::Fixed, static_cast<int>(r), {i}});
    }
    return broken;
}

} // namespace fenban
