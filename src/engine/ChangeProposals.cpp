#include "engine/ChangeProposals.h"

#include "engine/RankGroups.h"
#include "engine/RuleCheck.h"
#include "engine/Statistics.h"
#include "roster/Gb18030.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

namespace fenban {

namespace {

long long Hundredths(long double value)
{
    return std::llround(static_cast<double>(value) * 100.0);
}

struct Bounds {
    int low = 0, high = 0;
    bool holds(int count) const { return count >= low && count <= high; }
};

Bounds FairShare(int k, int classCount)
{
    return {k / classCount, (k + classCount - 1) / classCount};
}

int Spread(const std::vector<int>& counts)
{
    if (counts.empty())
        return 0;
    const auto [low, high] = std::minmax_element(counts.begin(), counts.end());
    return *high - *low;
}

// How a set of placements ranks: kept genders first, then the bands, then the deviation.
struct Key {
    int genderExcess = 0;
    int bandsOut = 0;
    long long total = 0;
    auto tie() const { return std::tie(genderExcess, bandsOut, total); }
    friend bool operator<(const Key& a, const Key& b) { return a.tie() < b.tie(); }
    friend bool operator==(const Key& a, const Key& b) { return a.tie() == b.tie(); }
};

} // namespace

// The division and its rules held so that a few placements are weighed
// without recounting the grade: per class its list, deviations, size and
// gender counts, per rank and spread group its count in each class.
struct ChangeWeigher::Model {
    const DivisionState& state;
    int classCount;
    const DivisionRules& rules;
    int bands;
    std::vector<int> newcomers;
    int n = 0;

    TSubjectValues grade {}; // every student, newcomers included
    std::vector<bool> male, female, pinned, isNew;
    std::vector<int> fixedOf; // 固定 class, 0 none
    std::vector<std::vector<int>> togetherOf, apartOf, spreadOf, groupsOf;
    std::vector<RankGroup> groups; // counted for bandsOut (with bands)
    std::vector<Bounds> groupBounds;
    std::vector<int> bandGroupOf; // the record's Band group in `groups`, -1 none
    std::vector<int> matchBand; // band (with DefaultRankBands when bands is 0) for exchanges and partners
    std::vector<bool> togetherHeld, apartHeld, spreadHeld, fixedHeld;
    std::vector<bool> columnUsed = std::vector<bool>(SubjectCount, false);
    int boySpread0 = 0, girlSpread0 = 0, sizeSpread0 = 0;
    ChangeGroups setup; // every class in group 0 with target 0 when there is no set-up

    // The placement as it stands; changed by commit().
    struct Current {
        std::vector<int> classOf;
        std::vector<std::vector<int>> lists; // index = class − 1
        std::vector<long long> classTotal; // Σ over columns of |deviation| in hundredths
        std::vector<TSubjectValues> classAverage; // as shown
        std::vector<int> sizes, boys, girls;
        std::vector<std::vector<int>> groupCount, spreadCount; // [group][class − 1]
        std::vector<int> spreadK;
        long long total = 0;
        int bandsOut = 0;
    } now;

    Model(
        const DivisionState& s, int count, const DivisionRules& given, int b, std::vector<int> fresh, ChangeGroups kept)
        : state(s)
        , classCount(count)
        , rules(given)
        , bands(b)
        , newcomers(std::move(fresh))
        , n(static_cast<int>(s.Records.size()))
        , setup(std::move(kept))
    {
        if (setup.empty()) {
            setup.groupOfClass.assign(static_cast<std::size_t>(count), 0);
            setup.names = {""};
        }
        setup.groupOfClass.resize(static_cast<std::size_t>(count), 0);
        setup.groupOfRecord.resize(static_cast<std::size_t>(n), -1);
        setup.targets.resize(static_cast<std::size_t>(count), 0);
        setup.classNames.resize(static_cast<std::size_t>(count));
        std::unordered_map<const TStudent*, int> index;
        for (int i = 0; i < n; ++i)
            index.emplace(s.Records[static_cast<std::size_t>(i)].get(), i);
        isNew.assign(static_cast<std::size_t>(n), false);
        for (const int r : newcomers)
            isNew[static_cast<std::size_t>(r)] = true;
        now.classOf.assign(static_cast<std::size_t>(n), 0);
        now.lists.assign(static_cast<std::size_t>(count), {});
        for (int c = 0; c < count && c < static_cast<int>(s.FClasses.size()); ++c)
            for (const TStudent* student : s.FClasses[static_cast<std::size_t>(c)])
                if (const auto found = index.find(student); found != index.end() && !isNew[found->second]) {
                    now.classOf[static_cast<std::size_t>(found->second)] = c + 1;
                    now.lists[static_cast<std::size_t>(c)].push_back(found->second);
                }
        TStudentList everyone;
        for (const TStudent* student : s.FStudents)
            everyone.push_back(const_cast<PStudent>(student));
        for (int subject = 0; subject < SubjectCount; ++subject)
            grade[static_cast<std::size_t>(subject)] = SubjectAverage(everyone, subject);

        male.assign(static_cast<std::size_t>(n), false);
        female.assign(static_cast<std::size_t>(n), false);
        pinned.assign(static_cast<std::size_t>(n), false);
        for (int i = 0; i < n; ++i) {
            const TStudent& student = *s.Records[static_cast<std::size_t>(i)];
            male[static_cast<std::size_t>(i)] = student.Gender == MaleGender;
            female[static_cast<std::size_t>(i)] = student.Gender == FemaleGender;
            pinned[static_cast<std::size_t>(i)] = student.IsHandPlacedForBalancing();
            for (int subject = 0; subject < SubjectCount; ++subject)
                if (student.Scores[static_cast<std::size_t>(subject)] != 0)
                    columnUsed[static_cast<std::size_t>(subject)] = true;
        }

        // Rank groups over the whole grade, newcomers included.
        const std::vector<int> everyoneRanked(static_cast<std::size_t>(n), 1);
        groups = MakeRankGroups(s, everyoneRanked, count, RankBalance {bands});
        groupsOf.assign(static_cast<std::size_t>(n), {});
        bandGroupOf.assign(static_cast<std::size_t>(n), -1);
        for (std::size_t g = 0; g < groups.size(); ++g) {
            groupBounds.push_back(FairShare(static_cast<int>(groups[g].records.size()), count));
            for (const int r : groups[g].records) {
                groupsOf[static_cast<std::size_t>(r)].push_back(static_cast<int>(g));
                if (groups[g].kind == RankGroup::Kind::Band)
                    bandGroupOf[static_cast<std::size_t>(r)] = static_cast<int>(g);
            }
        }
        matchBand.assign(static_cast<std::size_t>(n), 0);
        const std::vector<RankGroup> matching
            = bands > 0 ? groups : MakeRankGroups(s, everyoneRanked, count, RankBalance {DefaultRankBands});
        for (const RankGroup& group : matching)
            if (group.kind == RankGroup::Kind::Band)
                for (const int r : group.records)
                    matchBand[static_cast<std::size_t>(r)] = group.band;

        fixedOf.assign(static_cast<std::size_t>(n), 0);
        for (const auto& [student, classNo] : given.fixed)
            fixedOf[static_cast<std::size_t>(student)] = classNo;
        const auto member = [&](const std::vector<std::vector<int>>& list, std::vector<std::vector<int>>& of) {
            of.assign(static_cast<std::size_t>(n), {});
            for (std::size_t g = 0; g < list.size(); ++g)
                for (const int student : list[g])
                    of[static_cast<std::size_t>(student)].push_back(static_cast<int>(g));
        };
        member(given.together, togetherOf);
        member(given.apart, apartOf);
        member(given.spread, spreadOf);
        togetherHeld.assign(given.together.size(), true);
        apartHeld.assign(given.apart.size(), true);
        spreadHeld.assign(given.spread.size(), true);
        fixedHeld.assign(given.fixed.size(), true);
        for (const RuleBreach& breach : FindRuleBreaches(given, now.classOf, count)) {
            const auto at = static_cast<std::size_t>(breach.group);
            switch (breach.kind) {
            case RuleBreach::Kind::Together:
                togetherHeld[at] = false;
                break;
            case RuleBreach::Kind::Apart:
                apartHeld[at] = false;
                break;
            case RuleBreach::Kind::Spread:
                spreadHeld[at] = false;
                break;
            case RuleBreach::Kind::Fixed:
                fixedHeld[at] = false;
                break;
            }
        }
        for (std::size_t f = 0; f < given.fixed.size(); ++f)
            if (!fixedHeld[f])
                fixedOf[static_cast<std::size_t>(given.fixed[f].first)] = 0; // broken already: no longer binds

        recount();
        boySpread0 = Spread(now.boys);
        girlSpread0 = Spread(now.girls);
        sizeSpread0 = sizeSpreadOf(now.sizes);
    }

    // The largest spread of the surpluses over the set sizes within a group.
    int sizeSpreadOf(const std::vector<int>& sizes) const
    {
        std::map<int, std::pair<int, int>> range;
        for (std::size_t c = 0; c < sizes.size(); ++c) {
            const int surplus = sizes[c] - setup.targets[c];
            const auto [at, fresh] = range.try_emplace(setup.groupOfClass[c], surplus, surplus);
            if (!fresh) {
                at->second.first = std::min(at->second.first, surplus);
                at->second.second = std::max(at->second.second, surplus);
            }
        }
        int spread = 0;
        for (const auto& [group, bounds] : range)
            spread = std::max(spread, bounds.second - bounds.first);
        return spread;
    }

    // Whether class `classNo` is of the group of `record`.
    bool fits(int record, int classNo) const
    {
        const int group = setup.groupOfRecord[static_cast<std::size_t>(record)];
        return group < 0 || setup.groupOfClass[static_cast<std::size_t>(classNo - 1)] == group;
    }

    int groupOfClass(int classNo) const { return setup.groupOfClass[static_cast<std::size_t>(classNo - 1)]; }

    // "高一(3)班" as the set-up names it, else "3 班".
    std::string classText(int classNo) const
    {
        const std::string& name = setup.classNames[static_cast<std::size_t>(classNo - 1)];
        return name.empty() ? std::to_string(classNo) + " 班" : name;
    }

    void recount()
    {
        const auto N = static_cast<std::size_t>(classCount);
        now.classTotal.assign(N, 0);
        now.classAverage.assign(N, TSubjectValues {});
        now.sizes.assign(N, 0);
        now.boys.assign(N, 0);
        now.girls.assign(N, 0);
        now.total = 0;
        for (std::size_t c = 0; c < N; ++c) {
            now.classTotal[c] = classDeviation(now.lists[c], &now.classAverage[c]);
            now.total += now.classTotal[c];
            now.sizes[c] = static_cast<int>(now.lists[c].size());
            for (const int r : now.lists[c]) {
                now.boys[c] += male[static_cast<std::size_t>(r)] ? 1 : 0;
                now.girls[c] += female[static_cast<std::size_t>(r)] ? 1 : 0;
            }
        }
        now.groupCount.assign(groups.size(), std::vector<int>(N, 0));
        now.spreadCount.assign(rules.spread.size(), std::vector<int>(N, 0));
        now.spreadK.assign(rules.spread.size(), 0);
        for (int r = 0; r < n; ++r) {
            const int c = now.classOf[static_cast<std::size_t>(r)];
            if (c <= 0)
                continue;
            for (const int g : groupsOf[static_cast<std::size_t>(r)])
                ++now.groupCount[static_cast<std::size_t>(g)][static_cast<std::size_t>(c - 1)];
            for (const int g : spreadOf[static_cast<std::size_t>(r)]) {
                ++now.spreadCount[static_cast<std::size_t>(g)][static_cast<std::size_t>(c - 1)];
                ++now.spreadK[static_cast<std::size_t>(g)];
            }
        }
        now.bandsOut = 0;
        for (std::size_t g = 0; g < groups.size(); ++g)
            for (std::size_t c = 0; c < N; ++c)
                now.bandsOut += groupBounds[g].holds(now.groupCount[g][c]) ? 0 : 1;
    }

    // Σ over the score columns of |class average − grade average| in hundredths, summed in list order as shown.
    long long classDeviation(const std::vector<int>& list, TSubjectValues* averages = nullptr) const
    {
        TSubjectValues sums {};
        for (const int r : list)
            for (int subject = 0; subject < SubjectCount; ++subject)
                sums[static_cast<std::size_t>(subject)]
                    += state.Records[static_cast<std::size_t>(r)]->Scores[static_cast<std::size_t>(subject)];
        long long total = 0;
        for (int subject = 0; subject < SubjectCount; ++subject) {
            const auto s = static_cast<std::size_t>(subject);
            const long double average = ClassAverageFromSum(sums[s], list.size());
            if (averages != nullptr)
                (*averages)[s] = average;
            total += std::llabs(Hundredths(Deviation(average, grade[s])));
        }
        return total;
    }

    int classAfter(const std::vector<Placement>& moves, int record) const
    {
        for (auto it = moves.rbegin(); it != moves.rend(); ++it)
            if (it->record == record)
                return it->classNo;
        return now.classOf[static_cast<std::size_t>(record)];
    }

    // The lists of the classes the moves touch, as they would stand after them.
    std::map<int, std::vector<int>> listsAfter(const std::vector<Placement>& moves) const
    {
        std::map<int, std::vector<int>> touched;
        for (const Placement& move : moves) {
            const int from = now.classOf[static_cast<std::size_t>(move.record)];
            if (from > 0)
                touched.emplace(from, now.lists[static_cast<std::size_t>(from - 1)]);
            touched.emplace(move.classNo, now.lists[static_cast<std::size_t>(move.classNo - 1)]);
        }
        for (const Placement& move : moves) {
            for (auto& [c, list] : touched)
                list.erase(std::remove(list.begin(), list.end(), move.record), list.end());
            touched[move.classNo].push_back(move.record);
        }
        return touched;
    }

    bool keepsRules(const std::vector<Placement>& moves) const
    {
        std::set<int> checkedSpread;
        for (const Placement& move : moves) {
            const auto r = static_cast<std::size_t>(move.record);
            const int to = move.classNo;
            if (fixedOf[r] != 0 && classAfter(moves, move.record) != fixedOf[r])
                return false;
            for (const int g : togetherOf[r]) {
                if (!togetherHeld[static_cast<std::size_t>(g)])
                    continue;
                for (const int other : rules.together[static_cast<std::size_t>(g)]) {
                    const int at = classAfter(moves, other);
                    if (at > 0 && at != classAfter(moves, move.record))
                        return false;
                }
            }
            for (const int g : apartOf[r]) {
                if (!apartHeld[static_cast<std::size_t>(g)])
                    continue;
                for (const int other : rules.apart[static_cast<std::size_t>(g)])
                    if (other != move.record && classAfter(moves, other) == to)
                        return false;
            }
            for (const int g : spreadOf[r])
                if (spreadHeld[static_cast<std::size_t>(g)])
                    checkedSpread.insert(g);
        }
        for (const int g : checkedSpread) {
            const auto at = static_cast<std::size_t>(g);
            std::vector<int> counts = now.spreadCount[at];
            int k = now.spreadK[at];
            std::set<int> touchedClasses;
            for (const int member : rules.spread[at]) {
                const int before = now.classOf[static_cast<std::size_t>(member)];
                const int after = classAfter(moves, member);
                if (before == after)
                    continue;
                if (before > 0) {
                    --counts[static_cast<std::size_t>(before - 1)];
                    touchedClasses.insert(before);
                } else {
                    ++k;
                }
                if (after > 0) {
                    ++counts[static_cast<std::size_t>(after - 1)];
                    touchedClasses.insert(after);
                }
            }
            const Bounds share = FairShare(k, classCount);
            if (k != now.spreadK[at]) {
                for (const int count : counts)
                    if (!share.holds(count))
                        return false;
            } else {
                for (const int c : touchedClasses)
                    if (!share.holds(counts[static_cast<std::size_t>(c - 1)]))
                        return false;
            }
        }
        return true;
    }

    // The key of the placement after `moves` (rules not checked here).
    Key keyAfter(const std::vector<Placement>& moves) const
    {
        Key key;
        std::vector<int> boys = now.boys, girls = now.girls;
        std::map<std::pair<int, int>, int> groupDelta;
        for (const Placement& move : moves) {
            const auto r = static_cast<std::size_t>(move.record);
            const int from = now.classOf[r];
            // A record moved twice counts from its latest place.
            const int was = [&] {
                for (auto it = moves.begin(); &*it != &move; ++it)
                    if (it->record == move.record)
                        return it->classNo;
                return from;
            }();
            if (was > 0) {
                boys[static_cast<std::size_t>(was - 1)] -= male[r] ? 1 : 0;
                girls[static_cast<std::size_t>(was - 1)] -= female[r] ? 1 : 0;
                for (const int g : groupsOf[r])
                    --groupDelta[{g, was}];
            }
            boys[static_cast<std::size_t>(move.classNo - 1)] += male[r] ? 1 : 0;
            girls[static_cast<std::size_t>(move.classNo - 1)] += female[r] ? 1 : 0;
            for (const int g : groupsOf[r])
                ++groupDelta[{g, move.classNo}];
        }
        key.genderExcess = std::max(0, Spread(boys) - std::max(1, boySpread0))
            + std::max(0, Spread(girls) - std::max(1, girlSpread0));
        key.bandsOut = now.bandsOut;
        for (const auto& [at, delta] : groupDelta) {
            if (delta == 0)
                continue;
            const auto g = static_cast<std::size_t>(at.first);
            const int before = now.groupCount[g][static_cast<std::size_t>(at.second - 1)];
            key.bandsOut += (groupBounds[g].holds(before + delta) ? 0 : 1) - (groupBounds[g].holds(before) ? 0 : 1);
        }
        key.total = now.total;
        for (const auto& [c, list] : listsAfter(moves))
            key.total += classDeviation(list) - now.classTotal[static_cast<std::size_t>(c - 1)];
        return key;
    }

    int sizeSpreadAfter(const std::vector<Placement>& moves) const
    {
        std::vector<int> sizes = now.sizes;
        for (const auto& [c, list] : listsAfter(moves))
            sizes[static_cast<std::size_t>(c - 1)] = static_cast<int>(list.size());
        return sizeSpreadOf(sizes);
    }

    // Takes the moves: the classes they touch and the counts they change, the rest left as counted.
    void commit(const std::vector<Placement>& moves)
    {
        std::vector<int> was;
        for (const Placement& move : moves)
            was.push_back(now.classOf[static_cast<std::size_t>(move.record)]);
        for (auto& [c, list] : listsAfter(moves)) {
            const auto at = static_cast<std::size_t>(c - 1);
            now.total -= now.classTotal[at];
            now.classTotal[at] = classDeviation(list, &now.classAverage[at]);
            now.total += now.classTotal[at];
            now.sizes[at] = static_cast<int>(list.size());
            now.lists[at] = std::move(list);
        }
        const auto count = [&](int record, int classNo, int delta) {
            const auto r = static_cast<std::size_t>(record);
            const auto at = static_cast<std::size_t>(classNo - 1);
            now.boys[at] += male[r] ? delta : 0;
            now.girls[at] += female[r] ? delta : 0;
            for (const int g : groupsOf[r]) {
                int& inClass = now.groupCount[static_cast<std::size_t>(g)][at];
                now.bandsOut -= groupBounds[static_cast<std::size_t>(g)].holds(inClass) ? 0 : 1;
                inClass += delta;
                now.bandsOut += groupBounds[static_cast<std::size_t>(g)].holds(inClass) ? 0 : 1;
            }
            for (const int g : spreadOf[r])
                now.spreadCount[static_cast<std::size_t>(g)][at] += delta;
        };
        for (std::size_t k = 0; k < moves.size(); ++k) {
            const Placement& move = moves[k];
            const int from = now.classOf[static_cast<std::size_t>(move.record)];
            if (from == move.classNo)
                continue;
            if (from > 0) {
                count(move.record, from, -1);
            } else {
                for (const int g : spreadOf[static_cast<std::size_t>(move.record)])
                    ++now.spreadK[static_cast<std::size_t>(g)];
            }
            count(move.record, move.classNo, +1);
            now.classOf[static_cast<std::size_t>(move.record)] = move.classNo;
        }
    }

    bool everyonePlaced() const
    {
        return std::none_of(now.classOf.begin(), now.classOf.end(), [](int c) { return c == 0; });
    }

    // The figures of the current placement, counted afresh: every class's
    // averages, the grade's, and the rank groups of the students placed.
    ChangeFigures measure() const
    {
        if (everyonePlaced())
            return measureAsCounted();
        ChangeFigures figures;
        std::vector<TSubjectValues> averages;
        TStudentList placed;
        for (const int r : orderOfStudents())
            if (now.classOf[static_cast<std::size_t>(r)] > 0)
                placed.push_back(state.Records[static_cast<std::size_t>(r)].get());
        TSubjectValues gradeNow {};
        for (int subject = 0; subject < SubjectCount; ++subject)
            gradeNow[static_cast<std::size_t>(subject)] = SubjectAverage(placed, subject);
        for (const std::vector<int>& list : now.lists) {
            TStudentList members;
            for (const int r : list)
                members.push_back(state.Records[static_cast<std::size_t>(r)].get());
            auto& row = averages.emplace_back();
            for (int subject = 0; subject < SubjectCount; ++subject) {
                const auto s = static_cast<std::size_t>(subject);
                row[s] = ClassAverage(members, subject);
                figures.totalHundredths += std::llabs(Hundredths(Deviation(row[s], gradeNow[s])));
            }
        }
        setLargestGap(figures, averages);
        std::vector<int> sizes;
        for (const std::vector<int>& list : now.lists)
            sizes.push_back(static_cast<int>(list.size()));
        figures.sizeSpread = sizeSpreadOf(sizes);
        for (const RankGroup& group : MakeRankGroups(state, now.classOf, classCount, RankBalance {bands})) {
            const Bounds share = FairShare(static_cast<int>(group.records.size()), classCount);
            std::vector<int> counts(static_cast<std::size_t>(classCount), 0);
            for (const int r : group.records)
                ++counts[static_cast<std::size_t>(now.classOf[static_cast<std::size_t>(r)] - 1)];
            for (const int count : counts)
                figures.bandsOut += share.holds(count) ? 0 : 1;
        }
        return figures;
    }

    // The largest difference of two classes' averages over the score columns in use.
    void setLargestGap(ChangeFigures& figures, const std::vector<TSubjectValues>& averages) const
    {
        for (int subject = 0; subject < SubjectCount; ++subject) {
            const auto s = static_cast<std::size_t>(subject);
            if (!columnUsed[s] || averages.empty())
                continue;
            long double low = averages.front()[s], high = low;
            for (const TSubjectValues& row : averages) {
                low = std::min(low, row[s]);
                high = std::max(high, row[s]);
            }
            const double gap = static_cast<double>(high - low);
            if (figures.largestGapColumn < 0 || gap > figures.largestGap + 1e-9) {
                figures.largestGap = gap;
                figures.largestGapColumn = subject;
            }
        }
    }

    // With every student placed the counts kept are the figures: the grade's averages are those of everyone.
    ChangeFigures measureAsCounted() const
    {
        ChangeFigures figures;
        figures.totalHundredths = now.total;
        figures.bandsOut = now.bandsOut;
        figures.sizeSpread = sizeSpreadOf(now.sizes);
        setLargestGap(figures, now.classAverage);
        return figures;
    }

    std::vector<int> orderOfStudents() const
    {
        std::unordered_map<const TStudent*, int> index;
        for (int i = 0; i < n; ++i)
            index.emplace(state.Records[static_cast<std::size_t>(i)].get(), i);
        std::vector<int> order;
        for (const TStudent* student : state.FStudents)
            if (const auto found = index.find(student); found != index.end())
                order.push_back(found->second);
        return order;
    }

    ClassShare shareOf(int record, int classNo) const
    {
        ClassShare share;
        const auto c = static_cast<std::size_t>(classNo - 1);
        share.classNo = classNo;
        share.size = now.sizes[c];
        share.boys = now.boys[c];
        share.girls = now.girls[c];
        const int g = bandGroupOf[static_cast<std::size_t>(record)];
        if (g >= 0) {
            share.band = groups[static_cast<std::size_t>(g)].band;
            share.bandCount = now.groupCount[static_cast<std::size_t>(g)][c];
            share.bandLow = groupBounds[static_cast<std::size_t>(g)].low;
            share.bandHigh = groupBounds[static_cast<std::size_t>(g)].high;
        }
        return share;
    }

    // A proposal of `moves` on this placement: its figures and what each class holds after.
    Proposal propose(const std::vector<Placement>& moves, const ChangeFigures& before) const
    {
        Model& self = const_cast<Model&>(*this);
        const Current kept = now;
        Proposal proposal;
        proposal.moves = moves;
        proposal.before = before;
        std::vector<int> sizesBefore = now.sizes;
        proposal.gendersKept = keyAfter(moves).genderExcess == 0;
        self.commit(moves);
        proposal.after = measure();
        for (const Placement& move : moves) {
            ClassShare share = shareOf(move.record, move.classNo);
            share.sizeBefore = sizesBefore[static_cast<std::size_t>(move.classNo - 1)];
            proposal.shares.push_back(share);
        }
        self.now = kept;
        return proposal;
    }

    bool movable(int record) const
    {
        const auto r = static_cast<std::size_t>(record);
        if (pinned[r] || fixedOf[r] != 0)
            return false;
        for (const int g : togetherOf[r])
            if (rules.together[static_cast<std::size_t>(g)].size() > 1)
                return false;
        return true;
    }
};

ChangeWeigher::ChangeWeigher(const DivisionState& state, int classCount, const DivisionRules& rules, int bands,
    const std::vector<int>& newcomers, ChangeGroups groups)
    : model_(std::make_unique<Model>(state, classCount, rules, bands, newcomers, std::move(groups)))
{
}

ChangeWeigher::~ChangeWeigher() = default;

ChangeFigures ChangeWeigher::figures() const
{
    return model_->measure();
}

ChangeFigures ChangeWeigher::figuresAfter(const std::vector<Placement>& moves) const
{
    return model_->propose(moves, {}).after;
}

bool ChangeWeigher::keepsRules(const std::vector<Placement>& moves) const
{
    return model_->keepsRules(moves);
}

ArrivalPlan ChangeWeigher::placeArrivals(bool allowExchange) const
{
    Model& m = *model_;
    const Model::Current start = m.now;
    const ChangeFigures before = m.measure();
    ArrivalPlan plan;
    // Each newcomer in turn into the best class that keeps the sizes and the rules.
    const auto sizesKept
        = [&](const std::vector<Placement>& moves) { return m.sizeSpreadAfter(moves) <= std::max(1, m.sizeSpread0); };
    std::vector<Placement> placed;
    for (const int r : m.newcomers) {
        std::optional<std::pair<Key, int>> best;
        for (int c = 1; c <= m.classCount; ++c) {
            const std::vector<Placement> move {{r, c}};
            if (!m.fits(r, c) || !sizesKept(move) || !m.keepsRules(move))
                continue;
            const Key key = m.keyAfter(move);
            if (!best || key < best->first)
                best = std::pair {key, c};
        }
        if (!best) {
            m.now = start;
            const std::string name = Gb18030ToUtf8(m.state.Records[static_cast<std::size_t>(r)]->Name);
            const int group = m.setup.groupOfRecord[static_cast<std::size_t>(r)];
            const std::string classes = group < 0 || m.setup.names[static_cast<std::size_t>(group)].empty()
                ? std::string("班")
                : "“" + m.setup.names[static_cast<std::size_t>(group)] + "”的班";
            throw ChangeRefused(
                "没有一个" + classes + "能接收“" + name + "”而不违反人数或学校规则（同班、不同班、固定、均衡）。");
        }
        m.commit({{r, best->second}});
        placed.push_back({r, best->second});
    }
    // Then the batch as a whole: two newcomers exchange classes while that ranks better.
    for (int pass = 0; pass < 20; ++pass) {
        bool improved = false;
        for (std::size_t i = 0; i < placed.size(); ++i)
            for (std::size_t j = i + 1; j < placed.size(); ++j) {
                if (placed[i].classNo == placed[j].classNo || !m.fits(placed[i].record, placed[j].classNo)
                    || !m.fits(placed[j].record, placed[i].classNo))
                    continue;
                const std::vector<Placement> exchange {
                    {placed[i].record, placed[j].classNo}, {placed[j].record, placed[i].classNo}};
                if (!(m.keyAfter(exchange) < m.keyAfter({})) || !m.keepsRules(exchange))
                    continue;
                m.commit(exchange);
                std::swap(placed[i].classNo, placed[j].classNo);
                improved = true;
            }
        if (!improved)
            break;
    }
    std::vector<Placement> moves = placed;
    if (allowExchange) {
        std::set<int> receiving;
        for (const Placement& p : placed)
            receiving.insert(p.classNo);
        if (const std::optional<std::pair<int, int>> exchange = bestExchange(receiving)) {
            moves.push_back({exchange->first, m.now.classOf[static_cast<std::size_t>(exchange->second)]});
            moves.push_back({exchange->second, m.now.classOf[static_cast<std::size_t>(exchange->first)]});
            plan.best.exchangeFirst = exchange->first;
            plan.best.exchangeSecond = exchange->second;
        }
    }
    m.now = start;
    const int exchangeFirst = plan.best.exchangeFirst, exchangeSecond = plan.best.exchangeSecond;
    plan.best = m.propose(moves, before);
    plan.best.exchangeFirst = exchangeFirst;
    plan.best.exchangeSecond = exchangeSecond;

    // The choices of each newcomer with the others placed as proposed.
    for (std::size_t i = 0; i < placed.size(); ++i) {
        std::vector<Placement> others;
        for (std::size_t j = 0; j < placed.size(); ++j)
            if (j != i)
                others.push_back(placed[j]);
        m.commit(others);
        std::vector<std::pair<std::tuple<bool, Key, int>, int>> ranked;
        for (int c = 1; c <= m.classCount; ++c) {
            const std::vector<Placement> move {{placed[i].record, c}};
            if (!m.fits(placed[i].record, c) || !sizesKept(move) || !m.keepsRules(move))
                continue;
            ranked.push_back({{c != placed[i].classNo, m.keyAfter(move), c}, c});
        }
        std::sort(ranked.begin(), ranked.end());
        m.now = start;
        std::vector<Proposal>& choices = plan.choices.emplace_back();
        for (std::size_t k = 0; k < ranked.size() && k < 3; ++k) {
            std::vector<Placement> all = placed;
            all[i].classNo = ranked[k].second;
            choices.push_back(m.propose(all, before));
        }
    }
    return plan;
}

std::optional<std::pair<int, int>> ChangeWeigher::bestExchange(const std::set<int>& excluded) const
{
    const Model& m = *model_;
    // Unrounded deviations screen the exchanges; the best few are weighed exactly.
    const auto N = static_cast<std::size_t>(m.classCount);
    std::vector<TSubjectValues> sums(N);
    for (std::size_t c = 0; c < N; ++c)
        for (const int r : m.now.lists[c])
            for (int s = 0; s < SubjectCount; ++s)
                sums[c][static_cast<std::size_t>(s)]
                    += m.state.Records[static_cast<std::size_t>(r)]->Scores[static_cast<std::size_t>(s)];
    const auto absDeviation = [&](std::size_t c, const TSubjectValues& sum) {
        double total = 0;
        const double size = static_cast<double>(m.now.lists[c].size());
        for (std::size_t s = 0; s < SubjectCount; ++s)
            total += std::fabs(static_cast<double>(sum[s]) / size - static_cast<double>(m.grade[s]));
        return total;
    };
    std::vector<double> base(N);
    for (std::size_t c = 0; c < N; ++c)
        base[c] = m.now.lists[c].empty() ? 0 : absDeviation(c, sums[c]);
    // Candidates by gender and band in each class.
    std::map<std::tuple<bool, int, std::size_t>, std::vector<int>> cells;
    for (std::size_t c = 0; c < N; ++c) {
        if (excluded.count(static_cast<int>(c) + 1) != 0)
            continue;
        for (const int r : m.now.lists[c])
            if (m.movable(r) && (m.male[static_cast<std::size_t>(r)] || m.female[static_cast<std::size_t>(r)]))
                cells[{m.male[static_cast<std::size_t>(r)], m.matchBand[static_cast<std::size_t>(r)], c}].push_back(r);
    }
    struct Screened {
        double gain;
        int a, b;
    };
    std::vector<Screened> screened;
    for (auto first = cells.begin(); first != cells.end(); ++first) {
        const auto& [keyA, listA] = *first;
        for (auto second = std::next(first); second != cells.end(); ++second) {
            const auto& [keyB, listB] = *second;
            if (std::get<0>(keyA) != std::get<0>(keyB) || std::get<1>(keyA) != std::get<1>(keyB))
                break;
            const std::size_t ca = std::get<2>(keyA), cb = std::get<2>(keyB);
            if (m.setup.groupOfClass[ca] != m.setup.groupOfClass[cb])
                continue; // exchanges stay within a group
            for (const int a : listA)
                for (const int b : listB) {
                    TSubjectValues sa = sums[ca], sb = sums[cb];
                    for (std::size_t s = 0; s < SubjectCount; ++s) {
                        const long double da = m.state.Records[static_cast<std::size_t>(a)]->Scores[s];
                        const long double db = m.state.Records[static_cast<std::size_t>(b)]->Scores[s];
                        sa[s] += db - da;
                        sb[s] += da - db;
                    }
                    const double gain = base[ca] + base[cb] - absDeviation(ca, sa) - absDeviation(cb, sb);
                    if (gain > 0)
                        screened.push_back({gain, a, b});
                }
        }
    }
    std::sort(screened.begin(), screened.end(),
        [](const Screened& x, const Screened& y) { return std::tie(y.gain, x.a, x.b) < std::tie(x.gain, y.a, y.b); });
    const Key now = m.keyAfter({});
    std::optional<std::pair<Key, std::pair<int, int>>> best;
    for (std::size_t k = 0; k < screened.size() && k < 64; ++k) {
        const auto [gain, a, b] = screened[k];
        const std::vector<Placement> exchange {
            {a, m.now.classOf[static_cast<std::size_t>(b)]}, {b, m.now.classOf[static_cast<std::size_t>(a)]}};
        const Key key = m.keyAfter(exchange);
        if (!(key < now) || !m.keepsRules(exchange))
            continue;
        const std::pair pair {std::min(a, b), std::max(a, b)};
        if (!best || key < best->first || (key == best->first && pair < best->second))
            best = std::pair {key, pair};
    }
    if (!best)
        return std::nullopt;
    return best->second;
}

MovePlan ChangeWeigher::requestMove(int record, int target) const
{
    Model& m = *model_;
    MovePlan plan;
    const auto r = static_cast<std::size_t>(record);
    const std::string name = Gb18030ToUtf8(m.state.Records[r]->Name);
    const int from = m.now.classOf[r];
    if (target < 1 || target > m.classCount) {
        plan.refusal
            = "没有 " + std::to_string(target) + " 班：班号在 1 到 " + std::to_string(m.classCount) + " 之间。";
        return plan;
    }
    if (from == target) {
        plan.refusal = "“" + name + "”已在" + m.classText(target) + "。";
        return plan;
    }
    if (!m.fits(record, target)) {
        const auto group = static_cast<std::size_t>(m.setup.groupOfRecord[r]);
        const auto other = static_cast<std::size_t>(m.groupOfClass(target));
        plan.refusal = "“" + name + "”属" + m.setup.names[group] + "，" + m.classText(target) + "属"
            + m.setup.names[other] + "：不同类的班级之间不能调班。";
        return plan;
    }
    if (m.fixedOf[r] != 0) {
        plan.refusal = "“" + name + "”按固定列固定在" + m.classText(m.fixedOf[r]) + "，不能调走。";
        return plan;
    }
    for (const int g : m.togetherOf[r]) {
        if (!m.togetherHeld[static_cast<std::size_t>(g)])
            continue;
        std::string others;
        for (const int other : m.rules.together[static_cast<std::size_t>(g)])
            if (other != record)
                others += (others.empty() ? "" : "、")
                    + Gb18030ToUtf8(m.state.Records[static_cast<std::size_t>(other)]->Name);
        if (!others.empty()) {
            plan.refusal = "“" + name + "”与" + others + "按同班列须在同一班，不能一人调走。";
            return plan;
        }
    }
    const std::vector<Placement> alone {{record, target}};
    for (const int g : m.apartOf[r]) {
        if (!m.apartHeld[static_cast<std::size_t>(g)])
            continue;
        for (const int other : m.rules.apart[static_cast<std::size_t>(g)])
            if (other != record && m.now.classOf[static_cast<std::size_t>(other)] == target) {
                plan.refusal = "“" + name + "”与" + m.classText(target) + "的“"
                    + Gb18030ToUtf8(m.state.Records[static_cast<std::size_t>(other)]->Name)
                    + "”按不同班列（或同音姓名分班）须在不同班。";
                return plan;
            }
    }
    const ChangeFigures before = m.measure();
    const auto distance
        = [&](int other) { return std::abs(m.matchBand[static_cast<std::size_t>(other)] - m.matchBand[r]); };
    std::vector<std::pair<std::tuple<int, long long, int, int>, int>> ranked;
    const bool sameGenderKnown = m.male[r] || m.female[r];
    for (const int p : m.now.lists[static_cast<std::size_t>(target - 1)]) {
        const auto pi = static_cast<std::size_t>(p);
        if (!m.movable(p) || !sameGenderKnown || m.male[pi] != m.male[r] || m.female[pi] != m.female[r]
            || !m.fits(p, from))
            continue;
        const std::vector<Placement> exchange {{record, target}, {p, from}};
        if (!m.keepsRules(exchange))
            continue;
        const Key key = m.keyAfter(exchange);
        ranked.push_back({{distance(p), key.total, key.bandsOut, p}, p});
    }
    std::sort(ranked.begin(), ranked.end());
    for (std::size_t k = 0; k < ranked.size() && k < 5; ++k)
        plan.partners.push_back(m.propose({{record, target}, {ranked[k].second, from}}, before));
    plan.aloneAllowed = m.sizeSpreadAfter(alone) <= 1 && m.keepsRules(alone);
    if (plan.aloneAllowed)
        plan.alone = m.propose(alone, before);
    if (plan.partners.empty() && !plan.aloneAllowed) {
        if (!m.keepsRules(alone))
            plan.refusal
                = "“" + name + "”调入" + m.classText(target) + "会违反均衡列的规则，且该班没有能换回的同性别学生。";
        else
            plan.refusal = m.classText(target)
                + "没有能换回的同性别学生（固定、同班或规则不允许），单独调入会使班级人数相差 2 人以上。";
    }
    return plan;
}

std::vector<Proposal> ChangeWeigher::evenSizes() const
{
    const Model& m = *model_;
    if (m.sizeSpreadOf(m.now.sizes) < 2)
        return {};
    const auto surplus = [&](int classNo) {
        const auto c = static_cast<std::size_t>(classNo - 1);
        return m.now.sizes[c] - m.setup.targets[c];
    };
    // Per group, its fullest and emptiest surplus; groups within one are left alone.
    std::map<int, std::pair<int, int>> range;
    for (int c = 1; c <= m.classCount; ++c) {
        const auto [at, fresh] = range.try_emplace(m.groupOfClass(c), surplus(c), surplus(c));
        at->second.first = std::min(at->second.first, surplus(c));
        at->second.second = std::max(at->second.second, surplus(c));
    }
    std::optional<std::pair<std::tuple<Key, int, int>, Placement>> best;
    for (int from = 1; from <= m.classCount; ++from) {
        const auto [lowest, highest] = range.at(m.groupOfClass(from));
        if (highest - lowest < 2 || surplus(from) != highest)
            continue;
        for (const int r : m.now.lists[static_cast<std::size_t>(from - 1)]) {
            if (!m.movable(r))
                continue;
            for (int to = 1; to <= m.classCount; ++to) {
                if (m.groupOfClass(to) != m.groupOfClass(from) || surplus(to) != lowest || !m.fits(r, to))
                    continue;
                const std::vector<Placement> move {{r, to}};
                if (!m.keepsRules(move))
                    continue;
                const std::tuple key {m.keyAfter(move), r, to};
                if (!best || key < best->first)
                    best = std::pair {key, Placement {r, to}};
            }
        }
    }
    if (!best)
        return {};
    return {m.propose({best->second}, m.measure())};
}

} // namespace fenban
