#include "engine/RuleCheck.h"

#include "engine/UnionFind.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace fenban {

namespace {

std::size_t At(int index)
{
    return static_cast<std::size_t>(index);
}

int ClassOf(const std::vector<int>& classOf, int record, int classCount)
{
    const int c = record >= 0 && At(record) < classOf.size() ? classOf[At(record)] : 0;
    return c >= 1 && c <= classCount ? c : 0;
}

std::vector<int> Placed(const std::vector<int>& group, const std::vector<int>& classOf, int classCount)
{
    std::vector<int> placed;
    for (const int member : group)
        if (ClassOf(classOf, member, classCount) != 0)
            placed.push_back(member);
    return placed;
}

std::vector<int> Sorted(std::vector<int> students)
{
    std::sort(students.begin(), students.end());
    students.erase(std::unique(students.begin(), students.end()), students.end());
    return students;
}

struct Checker {
    using Kind = RuleConflict::Kind;

    const DivisionState& state;
    const int n;
    const DivisionRules& rules;
    std::vector<int> classOf; // per record: class index, -1 when in no list
    std::vector<int> gender; // per record: index of its exact gender text
    int genders = 0;
    std::vector<int> anchor; // per record: the class index it must stay in, -1: none
    std::vector<RuleConflict> found;

    Checker(const DivisionState& s, int classCount, const DivisionRules& r)
        : state(s)
        , n(classCount)
        , rules(r)
    {
        const std::vector<int> classes = ClassesOfRecords(s);
        for (std::size_t i = 0; i < classes.size(); ++i)
            classOf.push_back(classes[i] >= 1 && classes[i] <= n ? classes[i] - 1 : -1);
        std::map<ShortString<2>, int> ids;
        for (const auto& record : s.Records)
            gender.push_back(ids.emplace(record->Gender, static_cast<int>(ids.size())).first->second);
        genders = static_cast<int>(ids.size());
    }

    bool Placed(int i) const { return classOf[At(i)] >= 0; }

    // The most a class may hold of a spread group: ⌈k/N⌉ of its k placed students.
    int Ceiling(const std::vector<int>& group) const
    {
        const auto k = static_cast<int>(std::count_if(group.begin(), group.end(), [this](int i) { return Placed(i); }));
        return (k + n - 1) / n;
    }

    void Add(Kind kind, std::vector<int> students, int detail = 0)
    {
        found.push_back({kind, Sorted(std::move(students)), detail});
    }

    void CheckIndices() const
    {
        const auto check = [this](int i) {
            if (i < 0 || At(i) >= classOf.size())
                throw std::invalid_argument("DivisionRules names a student outside the roster");
        };
        for (const auto* list : {&rules.together, &rules.apart, &rules.spread})
            for (const std::vector<int>& group : *list)
                std::for_each(group.begin(), group.end(), check);
        for (const auto& entry : rules.fixed)
            check(entry.first);
    }

    void CheckAnchors()
    {
        anchor.assign(classOf.size(), -1);
        for (std::size_t i = 0; i < classOf.size(); ++i)
            if (classOf[i] >= 0 && state.Records[i]->IsHandPlacedForBalancing())
                anchor[i] = classOf[i];
        for (const auto& [i, number] : rules.fixed) {
            if (!Placed(i))
                continue;
            if (number < 1 || number > n)
                Add(Kind::FixedOutOfRange, {i}, number);
            else if (anchor[At(i)] >= 0 && anchor[At(i)] != number - 1)
                Add(Kind::FixedTwice, {i});
            else
                anchor[At(i)] = number - 1;
        }
        // Per class and gender: students that must stay against the places there.
        std::vector<int> places(At(n * genders), 0);
        std::vector<std::vector<int>> holders(At(n * genders));
        for (std::size_t i = 0; i < classOf.size(); ++i) {
            if (classOf[i] >= 0)
                ++places[At(classOf[i] * genders + gender[i])];
            if (anchor[i] >= 0)
                holders[At(anchor[i] * genders + gender[i])].push_back(static_cast<int>(i));
        }
        for (std::size_t cell = 0; cell < holders.size(); ++cell)
            if (static_cast<int>(holders[cell].size()) > places[cell])
                Add(Kind::FixedOverfull, holders[cell], static_cast<int>(cell) / genders + 1);
    }

    void CheckApart()
    {
        for (const std::vector<int>& group : rules.apart) {
            std::vector<int> members;
            for (const int i : group)
                if (Placed(i))
                    members.push_back(i);
            members = Sorted(std::move(members));
            if (static_cast<int>(members.size()) > n)
                Add(Kind::ApartExceedsClasses, members, n);
            for (std::size_t x = 0; x < members.size(); ++x)
                for (std::size_t y = x + 1; y < members.size(); ++y)
                    if (anchor[At(members[x])] >= 0 && anchor[At(members[x])] == anchor[At(members[y])])
                        Add(Kind::PinnedApart, {members[x], members[y]}, anchor[At(members[x])] + 1);
        }
    }

    void CheckSpread()
    {
        for (std::size_t r = 0; r < rules.spread.size(); ++r) {
            const int high = Ceiling(rules.spread[r]);
            std::vector<std::vector<int>> held(At(n));
            for (const int i : rules.spread[r])
                if (Placed(i) && anchor[At(i)] >= 0)
                    held[At(anchor[At(i)])].push_back(i);
            for (const std::vector<int>& students : held)
                if (static_cast<int>(students.size()) > high)
                    Add(Kind::SpreadPinned, students, static_cast<int>(r));
        }
    }

    void CheckTogether()
    {
        // Groups sharing a student are one group.
        for (const std::vector<int>& group :
            MergedGroups(rules.together, classOf.size(), [this](int i) { return Placed(i); }))
            CheckTogetherGroup(Sorted(group));
    }

    void CheckTogetherGroup(const std::vector<int>& members)
    {
        std::vector<int> anchored;
        for (const int i : members)
            if (anchor[At(i)] >= 0)
                anchored.push_back(i);
        for (const int i : anchored)
            if (anchor[At(i)] != anchor[At(anchored.front())]) {
                Add(Kind::TogetherPinnedApart, {anchored.front(), i});
                break;
            }
        std::vector<char> inGroup(classOf.size(), 0);
        for (const int i : members)
            inGroup[At(i)] = 1;
        for (const std::vector<int>& group : rules.apart) {
            std::vector<int> inside;
            for (const int i : group)
                if (Placed(i) && inGroup[At(i)])
                    inside.push_back(i);
            inside = Sorted(std::move(inside));
            if (inside.size() >= 2)
                Add(Kind::TogetherAndApart, {inside[0], inside[1]});
        }
        for (std::size_t r = 0; r < rules.spread.size(); ++r) {
            std::vector<int> inside;
            for (const int i : rules.spread[r])
                if (Placed(i) && inGroup[At(i)])
                    inside.push_back(i);
            if (static_cast<int>(inside.size()) > Ceiling(rules.spread[r]))
                Add(Kind::TogetherExceedsSpread, inside, static_cast<int>(r));
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
            Add(Kind::TogetherTooLarge, members);
    }
};

} // namespace

std::vector<RuleBreach> FindRuleBreaches(const DivisionRules& rules, const std::vector<int>& classOf, int classCount)
{
    std::vector<RuleBreach> broken;
    for (std::size_t g = 0; g < rules.together.size(); ++g) {
        const std::vector<int> placed = Placed(rules.together[g], classOf, classCount);
        const bool split = std::any_of(placed.begin(), placed.end(), [&](int member) {
            return ClassOf(classOf, member, classCount) != ClassOf(classOf, placed.front(), classCount);
        });
        if (split)
            broken.push_back({RuleBreach::Kind::Together, static_cast<int>(g), placed});
    }
    for (std::size_t g = 0; g < rules.apart.size(); ++g) {
        std::map<int, std::vector<int>> byClass;
        for (const int member : Placed(rules.apart[g], classOf, classCount))
            byClass[ClassOf(classOf, member, classCount)].push_back(member);
        RuleBreach rule {RuleBreach::Kind::Apart, static_cast<int>(g), {}};
        for (const auto& [classNo, members] : byClass) {
            if (members.size() < 2)
                continue;
            if (rule.students.empty()) {
                rule.classNo = classNo;
                rule.count = static_cast<int>(members.size());
            }
            rule.students.insert(rule.students.end(), members.begin(), members.end());
        }
        if (!rule.students.empty()) {
            std::sort(rule.students.begin(), rule.students.end());
            broken.push_back(std::move(rule));
        }
    }
    for (std::size_t g = 0; g < rules.spread.size() && classCount >= 1; ++g) {
        const std::vector<int> placed = Placed(rules.spread[g], classOf, classCount);
        const auto k = static_cast<int>(placed.size());
        const int least = k / classCount;
        const int most = (k + classCount - 1) / classCount;
        std::vector<int> counts(At(classCount) + 1, 0);
        for (const int member : placed)
            ++counts[At(ClassOf(classOf, member, classCount))];
        for (int c = 1; c <= classCount; ++c) {
            const int count = counts[At(c)];
            if (count < least || count > most) {
                broken.push_back({RuleBreach::Kind::Spread, static_cast<int>(g), placed, c, count});
                break;
            }
        }
    }
    for (std::size_t f = 0; f < rules.fixed.size(); ++f) {
        const auto [record, wanted] = rules.fixed[f];
        const int actual = ClassOf(classOf, record, classCount);
        if (actual != 0 && actual != wanted)
            broken.push_back({RuleBreach::Kind::Fixed, static_cast<int>(f), {record}, actual});
    }
    return broken;
}

std::vector<RuleConflict> FindRuleConflicts(const DivisionState& state, int classCount, const DivisionRules& rules)
{
    Checker checker(state, classCount, rules);
    checker.CheckIndices();
    if (classCount < 1)
        return {};
    checker.CheckAnchors();
    checker.CheckApart();
    checker.CheckSpread();
    checker.CheckTogether();
    return checker.found;
}

} // namespace fenban
