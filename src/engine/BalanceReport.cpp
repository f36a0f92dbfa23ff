#include "engine/BalanceReport.h"

#include "engine/Division.h"
#include "roster/Gb18030.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>

namespace fenban {

namespace {

std::size_t At(int index)
{
    return static_cast<std::size_t>(index);
}

// Mean and standard deviation (over n) of 总分 of the students.
void Spread(const std::vector<const TStudent*>& students, double& mean, double& deviation)
{
    mean = deviation = 0;
    if (students.empty())
        return;
    long double sum = 0;
    for (const TStudent* s : students)
        sum += s->Scores[0];
    const long double m = sum / static_cast<long double>(students.size());
    long double squares = 0;
    for (const TStudent* s : students)
        squares += (s->Scores[0] - m) * (s->Scores[0] - m);
    mean = static_cast<double>(m);
    deviation = static_cast<double>(std::sqrt(squares / static_cast<long double>(students.size())));
}

void Genders(const std::vector<const TStudent*>& students, BalanceReport::Row& row)
{
    row.size = static_cast<int>(students.size());
    for (const TStudent* s : students) {
        row.boys += s->Gender == ShortString<2>(MaleGender);
        row.girls += s->Gender == ShortString<2>(FemaleGender);
    }
}

bool Outside(int count, int k, int classes)
{
    return count < k / classes || count > (k + classes - 1) / classes;
}

BalanceReport::Range RangeOf(const std::vector<BalanceReport::Row>& rows, int BalanceReport::Row::*field)
{
    BalanceReport::Range range {rows.front().*field, rows.front().*field};
    for (const BalanceReport::Row& row : rows) {
        range.low = std::min(range.low, row.*field);
        range.high = std::max(range.high, row.*field);
    }
    return range;
}

// How far a count lies outside low..high.
int Beyond(int count, int low, int high)
{
    return count < low ? low - count : count > high ? count - high : 0;
}

// Where the rules and hand moves hold students: per record the class it
// stays in, 0 when free. 固定 and hand-placed students stay, and so does
// every member of a 同班 group: the repair placed the group where the rank
// groups had room, and the search never moves it.
std::vector<int> AnchorsOf(
    const DivisionState& state, const std::vector<int>& classOf, int classCount, const DivisionRules& rules)
{
    const std::size_t n = state.Records.size();
    std::vector<int> stays(n, 0);
    const auto hold = [&](int r) {
        if (r >= 0 && At(r) < n && At(r) < classOf.size() && classOf[At(r)] >= 1 && classOf[At(r)] <= classCount)
            stays[At(r)] = classOf[At(r)]; // where it stands: the rule check names a misplaced one
    };
    for (std::size_t r = 0; r < n; ++r)
        if (state.Records[r]->IsHandPlacedForBalancing())
            hold(static_cast<int>(r));
    for (const auto& entry : rules.fixed)
        hold(entry.first);
    for (const std::vector<int>& together : rules.together)
        if (together.size() > 1)
            for (const int r : together)
                hold(r);
    return stays;
}

// The rule that holds each anchored student where it stands: 固定 first,
// then 同班, then a move by hand; -1 for a student that may move.
enum class Anchor { Free = -1, Fixed, Together, Hand };

std::vector<Anchor> AnchorKinds(const DivisionState& state, const DivisionRules& rules)
{
    const std::size_t n = state.Records.size();
    std::vector<Anchor> kinds(n, Anchor::Free);
    for (std::size_t r = 0; r < n; ++r)
        if (state.Records[r]->IsHandPlacedForBalancing())
            kinds[r] = Anchor::Hand;
    for (const std::vector<int>& together : rules.together)
        if (together.size() > 1)
            for (const int r : together)
                if (r >= 0 && At(r) < n)
                    kinds[At(r)] = Anchor::Together;
    for (const auto& entry : rules.fixed)
        if (entry.first >= 0 && At(entry.first) < n)
            kinds[At(entry.first)] = Anchor::Fixed;
    return kinds;
}

// "固定：张三；同班：李四、王五（等 7 人）": the students by their rule, a few names each.
std::string CauseText(const DivisionState& state, const std::vector<Anchor>& kinds, const std::vector<int>& records)
{
    constexpr std::size_t Named = 4;
    const char* const titles[] = {"固定", "同班", "手工调班"};
    std::string text;
    for (const Anchor kind : {Anchor::Fixed, Anchor::Together, Anchor::Hand}) {
        std::vector<int> some;
        for (const int r : records)
            if (kinds[At(r)] == kind)
                some.push_back(r);
        if (some.empty())
            continue;
        text += std::string(text.empty() ? "" : "；") + titles[static_cast<int>(kind)] + "：";
        for (std::size_t k = 0; k < some.size() && k < Named; ++k)
            text += (k > 0 ? "、" : "") + Gb18030ToUtf8(state.Records[At(some[k])]->Name);
        if (some.size() > Named)
            text += "等 " + std::to_string(some.size()) + " 人";
    }
    return text;
}

// What the anchors leave a rank group in each class: at least `floor` of
// its students (the anchored ones), at most `ceiling` (the places beside the
// anchored students of other groups).
struct Limits {
    std::vector<int> floor, ceiling, count;
};

Limits LimitsOf(const RankGroup& group, const DivisionState& state, const std::vector<int>& classOf, int classCount,
    const std::vector<int>& stays)
{
    std::vector<char> member(state.Records.size(), 0);
    for (const int r : group.records)
        member[At(r)] = 1;
    Limits limits {
        std::vector<int>(At(classCount), 0), std::vector<int>(At(classCount), 0), std::vector<int>(At(classCount), 0)};
    for (std::size_t r = 0; r < state.Records.size() && r < classOf.size(); ++r) {
        const int c = classOf[r] - 1;
        if (c < 0 || c >= classCount)
            continue;
        if (group.kind == RankGroup::Kind::Band && state.Records[r]->Gender.view() != group.gender)
            continue;
        if (!member[r]) {
            limits.ceiling[At(c)] += stays[r] == 0;
            continue;
        }
        ++limits.ceiling[At(c)];
        ++limits.count[At(c)];
        limits.floor[At(c)] += stays[r] != 0;
    }
    return limits;
}

// The least a division keeping the anchors can leave one group's counts out
// of low..high, summed over the classes.
int LeastBeyond(const Limits& limits, int k, int classCount)
{
    const int low = k / classCount, high = (k + classCount - 1) / classCount;
    int beyond = 0, lowest = 0, highest = 0;
    for (int c = 0; c < classCount; ++c) {
        const int floor = limits.floor[At(c)], ceiling = std::max(floor, limits.ceiling[At(c)]);
        beyond += std::max(0, floor - high) + std::max(0, low - ceiling);
        lowest += std::max(floor, std::min(low, ceiling));
        highest += std::max(floor, std::min(high, ceiling));
    }
    return beyond + std::max(0, lowest - k) + std::max(0, k - highest);
}

// Least-cost flow, every cost at least 0: shortest paths by Dijkstra over
// reduced costs give the node potentials, then as much as fits is sent at once
// along the edges of zero reduced cost (a blocking flow by levels), and again.
// The costs here are 0, 1 and 2, so there are few rounds.
class LeastCostFlow {
public:
    explicit LeastCostFlow(int nodes)
        : first_(At(nodes), -1)
        , potential_(At(nodes), 0)
        , level_(At(nodes))
        , next_(At(nodes))
    {
    }
    void Add(int from, int to, long long capacity, long long cost)
    {
        if (capacity <= 0)
            return;
        edges_.push_back({to, first_[At(from)], capacity, cost});
        first_[At(from)] = static_cast<int>(edges_.size()) - 1;
        edges_.push_back({from, first_[At(to)], 0, -cost});
        first_[At(to)] = static_cast<int>(edges_.size()) - 1;
    }
    // The cost of sending everything that fits from source to sink.
    long long Send(int source, int sink)
    {
        long long total = 0;
        while (Potentials(source, sink))
            while (Levels(source, sink)) {
                next_ = first_;
                for (;;) {
                    const long long cost = Push(source, sink, std::numeric_limits<long long>::max());
                    if (pushed_ == 0)
                        break;
                    total += cost;
                }
            }
        return total;
    }

private:
    struct Edge {
        int to, next;
        long long capacity, cost;
    };
    long long Reduced(int from, const Edge& edge) const
    {
        return edge.cost + potential_[At(from)] - potential_[At(edge.to)];
    }
    // Dijkstra from the source; false when the sink is out of reach.
    bool Potentials(int source, int sink)
    {
        constexpr long long None = std::numeric_limits<long long>::max();
        std::vector<long long> distance(first_.size(), None);
        std::priority_queue<std::pair<long long, int>, std::vector<std::pair<long long, int>>, std::greater<>> queue;
        distance[At(source)] = 0;
        queue.emplace(0, source);
        while (!queue.empty()) {
            const auto [d, u] = queue.top();
            queue.pop();
            if (d > distance[At(u)])
                continue;
            for (int e = first_[At(u)]; e >= 0; e = edges_[At(e)].next) {
                const Edge& edge = edges_[At(e)];
                const long long next = d + Reduced(u, edge);
                if (edge.capacity > 0 && next < distance[At(edge.to)]) {
                    distance[At(edge.to)] = next;
                    queue.emplace(next, edge.to);
                }
            }
        }
        if (distance[At(sink)] == None)
            return false;
        // Nodes out of reach stay so: new edges appear only along paths sent.
        for (std::size_t v = 0; v < first_.size(); ++v)
            if (distance[v] != None)
                potential_[v] += distance[v];
        return true;
    }
    // Levels over the edges of zero reduced cost; false when the sink is out of reach.
    bool Levels(int source, int sink)
    {
        std::fill(level_.begin(), level_.end(), -1);
        std::queue<int> queue;
        level_[At(source)] = 0;
        queue.push(source);
        while (!queue.empty()) {
            const int u = queue.front();
            queue.pop();
            for (int e = first_[At(u)]; e >= 0; e = edges_[At(e)].next) {
                const Edge& edge = edges_[At(e)];
                if (edge.capacity > 0 && Reduced(u, edge) == 0 && level_[At(edge.to)] < 0) {
                    level_[At(edge.to)] = level_[At(u)] + 1;
                    queue.push(edge.to);
                }
            }
        }
        return level_[At(sink)] >= 0;
    }
    // Sends up to `most` from u towards the sink along rising levels: the
    // amount in pushed_ (0: none), the cost returned.
    long long Push(int u, int sink, long long most)
    {
        pushed_ = 0;
        return PushFrom(u, sink, most);
    }
    long long PushFrom(int u, int sink, long long most)
    {
        if (u == sink) {
            pushed_ = most;
            return 0;
        }
        for (int& e = next_[At(u)]; e >= 0; e = edges_[At(e)].next) {
            Edge& edge = edges_[At(e)];
            if (edge.capacity <= 0 || Reduced(u, edge) != 0 || level_[At(edge.to)] != level_[At(u)] + 1)
                continue;
            const long long cost = PushFrom(edge.to, sink, std::min(most, edge.capacity));
            if (pushed_ > 0) {
                edge.capacity -= pushed_;
                edges_[At(e ^ 1)].capacity += pushed_;
                return cost + pushed_ * edge.cost;
            }
        }
        return 0;
    }

    std::vector<Edge> edges_;
    std::vector<int> first_;
    std::vector<long long> potential_;
    std::vector<int> level_, next_;
    long long pushed_ = 0;
};

// The least a division keeping the anchors and every class's count of the
// gender can leave that gender's bands out of bounds, summed over bands and
// classes: the bands share the class's places, so a class that hand moves
// made larger must hold more of some band. A flow from the bands to the
// classes: a student in a band-class cell below ⌊k/N⌋ lowers the total out of
// bounds by one, within the bounds leaves it, above ⌈k/N⌉ raises it; as
// costs 0, 1 and 2 (each shifted by one, so that none is negative).
long long LeastBandsBeyond(const std::vector<const Limits*>& bands, const std::vector<int>& sizes, int classCount)
{
    const auto count = static_cast<int>(bands.size());
    const int source = 0, sink = 1 + count + classCount;
    LeastCostFlow flow(sink + 1);
    long long fixedCost = 0, sent = 0;
    std::vector<long long> demand(sizes.begin(), sizes.end());
    for (int b = 0; b < count; ++b) {
        const Limits& limits = *bands[At(b)];
        int k = 0;
        for (int c = 0; c < classCount; ++c)
            k += limits.count[At(c)];
        const int low = k / classCount, high = (k + classCount - 1) / classCount;
        long long supply = k;
        for (int c = 0; c < classCount; ++c) {
            const int floor = limits.floor[At(c)];
            fixedCost += Beyond(floor, low, high);
            supply -= floor;
            demand[At(c)] -= floor;
            const int room = std::max(0, limits.ceiling[At(c)] - floor);
            const int below = std::max(0, low - floor), within = std::max(0, high - std::max(low, floor));
            flow.Add(1 + b, 1 + count + c, std::min(below, room), 0);
            flow.Add(1 + b, 1 + count + c, std::min(within, room - std::min(below, room)), 1);
            flow.Add(1 + b, 1 + count + c, room - std::min(below + within, room), 2);
        }
        flow.Add(source, 1 + b, supply, 0);
        sent += supply;
    }
    for (int c = 0; c < classCount; ++c)
        flow.Add(1 + count + c, sink, demand[At(c)], 0);
    return fixedCost + flow.Send(source, sink) - sent;
}
// The same for the top groups together: each is a prefix of one ranking
// (top N within top 2N within top 5 %, or the other way round in a small
// grade), so a class's count of the larger includes its count of the smaller.
// A flow from the ranks between two prefixes (layers) to the classes,
// through one node per class and prefix; the edge from a class's node for
// one prefix to its node for the next carries its count of that prefix.
long long LeastTopsBeyond(
    std::vector<const RankGroup*> tops, const std::vector<int>& classOf, int classCount, const std::vector<int>& stays)
{
    std::sort(tops.begin(), tops.end(),
        [](const RankGroup* a, const RankGroup* b) { return a->records.size() < b->records.size(); });
    const auto layers = static_cast<int>(tops.size());
    // Nodes: source, one per layer, one per class and layer, sink.
    const int source = 0, sink = 1 + layers + classCount * layers;
    const auto node = [&](int c, int layer) { return 1 + layers + c * layers + layer; };
    LeastCostFlow flow(sink + 1);
    std::vector<std::vector<long long>> held(At(layers), std::vector<long long>(At(classCount), 0));
    std::vector<long long> free(At(layers), 0);
    std::size_t from = 0;
    for (int layer = 0; layer < layers; ++layer) {
        const std::vector<int>& records = tops[At(layer)]->records;
        for (std::size_t at = from; at < records.size(); ++at) {
            const auto r = At(records[at]);
            if (stays[r] != 0)
                for (int up = layer; up < layers; ++up)
                    ++held[At(up)][At(classOf[r] - 1)];
            else
                ++free[At(layer)];
        }
        from = std::max(from, records.size());
        flow.Add(source, 1 + layer, free[At(layer)], 0);
        for (int c = 0; c < classCount; ++c)
            flow.Add(1 + layer, node(c, layer), free[At(layer)], 0);
    }
    long long fixedCost = 0, shift = 0, through = 0;
    for (int layer = 0; layer < layers; ++layer) {
        const auto k = static_cast<int>(tops[At(layer)]->records.size());
        const int low = k / classCount, high = (k + classCount - 1) / classCount;
        through += free[At(layer)];
        shift += through; // every student below this prefix passes its edge once
        for (int c = 0; c < classCount; ++c) {
            const long long f = held[At(layer)][At(c)];
            fixedCost += Beyond(static_cast<int>(f), low, high);
            const long long below = std::max(0LL, low - f), within = std::max(0LL, high - std::max<long long>(low, f));
            const int to = layer + 1 < layers ? node(c, layer + 1) : sink;
            flow.Add(node(c, layer), to, below, 0);
            flow.Add(node(c, layer), to, within, 1);
            flow.Add(node(c, layer), to, through, 2);
        }
    }
    return fixedCost + flow.Send(source, sink) - shift;
}

} // namespace

BalanceReport MakeBalanceReport(const DivisionState& state, int classCount, int bands)
{
    BalanceReport report;
    report.bands = bands;
    classCount = std::min(classCount, static_cast<int>(state.FClasses.size()));
    if (classCount < 1)
        return report;
    report.classCount = classCount;
    const std::vector<int> classOf = ClassesOfRecords(state);
    std::vector<std::vector<const TStudent*>> members(At(classCount));
    std::vector<const TStudent*> all;
    for (int c = 0; c < classCount; ++c)
        for (const TStudent* s : state.FClasses[At(c)]) {
            members[At(c)].push_back(s);
            all.push_back(s);
        }
    report.classes.resize(At(classCount));
    Genders(all, report.grade);
    Spread(all, report.grade.mean, report.grade.deviation);

    // Averages per column: the grade's and each class's.
    std::array<long double, SubjectCount> gradeSum {};
    for (const TStudent* s : all)
        for (int k = 0; k < SubjectCount; ++k) {
            gradeSum[At(k)] += s->Scores[k];
            report.columnUsed[At(k)] = report.columnUsed[At(k)] || s->Scores[k] != 0;
        }
    std::array<double, SubjectCount> lowest {}, highest {};
    for (int c = 0; c < classCount; ++c) {
        BalanceReport::Row& row = report.classes[At(c)];
        Genders(members[At(c)], row);
        Spread(members[At(c)], row.mean, row.deviation);
        row.deviationOut = !members[At(c)].empty()
            && std::fabs(row.deviation - report.grade.deviation)
                > BalanceReport::DeviationShare * report.grade.deviation;
        for (int k = 0; k < SubjectCount; ++k) {
            if (!report.columnUsed[At(k)] || members[At(c)].empty())
                continue;
            long double sum = 0;
            for (const TStudent* s : members[At(c)])
                sum += s->Scores[k];
            const double average = static_cast<double>(sum / static_cast<long double>(members[At(c)].size()));
            const double gap
                = std::fabs(average - static_cast<double>(gradeSum[At(k)] / static_cast<long double>(all.size())));
            if (row.largestGapColumn < 0 || gap > row.largestGap) {
                row.largestGap = gap;
                row.largestGapColumn = k;
            }
            lowest[At(k)] = c == 0 ? average : std::min(lowest[At(k)], average);
            highest[At(k)] = c == 0 ? average : std::max(highest[At(k)], average);
        }
    }
    for (int k = 0; k < SubjectCount; ++k)
        report.columnGap[At(k)] = report.columnUsed[At(k)] ? highest[At(k)] - lowest[At(k)] : 0;

    // Ranks.
    std::vector<int> ranked;
    for (const int r : RankedRecords(state, classOf))
        if (classOf[At(r)] <= classCount)
            ranked.push_back(r);
    const auto n = static_cast<int>(ranked.size());
    const auto count = [&](int first, int size, int BalanceReport::Row::*field) {
        for (int at = first; at < first + size && at < n; ++at)
            ++(report.classes[At(classOf[At(ranked[At(at)])] - 1)].*field);
    };
    report.topNSize = std::min(n, classCount);
    report.top2NSize = std::min(n, 2 * classCount);
    report.topFivePercentSize = TopCount(n, 5);
    report.topTenPercentSize = TopCount(n, 10);
    report.bottomTenPercentSize = TopCount(n, 10);
    count(0, report.topNSize, &BalanceReport::Row::topN);
    count(0, report.top2NSize, &BalanceReport::Row::top2N);
    count(0, report.topFivePercentSize, &BalanceReport::Row::topFivePercent);
    count(0, report.topTenPercentSize, &BalanceReport::Row::topTenPercent);
    count(n - report.bottomTenPercentSize, report.bottomTenPercentSize, &BalanceReport::Row::bottomTenPercent);
    report.grade.topN = report.topNSize;
    report.grade.top2N = report.top2NSize;
    report.grade.topFivePercent = report.topFivePercentSize;
    report.grade.topTenPercent = report.topTenPercentSize;
    report.grade.bottomTenPercent = report.bottomTenPercentSize;
    for (BalanceReport::Row& row : report.classes) {
        row.topFivePercentOut = Outside(row.topFivePercent, report.topFivePercentSize, classCount);
        row.topTenPercentOut = Outside(row.topTenPercent, report.topTenPercentSize, classCount);
        row.bottomTenPercentOut = Outside(row.bottomTenPercent, report.bottomTenPercentSize, classCount);
    }
    report.topN = RangeOf(report.classes, &BalanceReport::Row::topN);
    report.top2N = RangeOf(report.classes, &BalanceReport::Row::top2N);
    report.topFivePercent = RangeOf(report.classes, &BalanceReport::Row::topFivePercent);
    report.topTenPercent = RangeOf(report.classes, &BalanceReport::Row::topTenPercent);
    report.bottomTenPercent = RangeOf(report.classes, &BalanceReport::Row::bottomTenPercent);
    report.lowestDeviation = report.highestDeviation = report.classes.front().deviation;
    for (const BalanceReport::Row& row : report.classes) {
        report.lowestDeviation = std::min(report.lowestDeviation, row.deviation);
        report.highestDeviation = std::max(report.highestDeviation, row.deviation);
    }

    // Bands and the top groups as the search keeps them.
    for (RankGroup& group : MakeRankGroups(state, classOf, classCount, RankBalance {bands})) {
        std::vector<int> counts(At(classCount), 0);
        for (const int r : group.records)
            ++counts[At(classOf[At(r)] - 1)];
        const auto k = static_cast<int>(group.records.size());
        const int low = k / classCount, high = (k + classCount - 1) / classCount;
        group.records.clear();
        if (group.kind == RankGroup::Kind::Band)
            report.worstBandDifference = std::max(report.worstBandDifference,
                *std::max_element(counts.begin(), counts.end()) - *std::min_element(counts.begin(), counts.end()));
        for (int c = 0; c < classCount; ++c)
            if (counts[At(c)] < low || counts[At(c)] > high)
                report.breaches.push_back({group, c + 1, counts[At(c)], low, high, false, {}});
    }
    return report;
}

namespace {

// The anchored students that make a forced breach: too many of its group in
// its class are held there by their rules; too few, the places are held by
// others (of its gender, for a band). Failing those, the group's anchored
// students elsewhere (too few here) or the others anchored elsewhere (too many).
std::string CauseOf(const BalanceReport::BandBreach& breach, const RankGroup& group, const DivisionState& state,
    const std::vector<int>& classOf, const std::vector<int>& stays, const std::vector<Anchor>& kinds)
{
    std::vector<char> member(state.Records.size(), 0);
    for (const int r : group.records)
        member[At(r)] = 1;
    const bool over = breach.count > breach.high;
    std::vector<int> here, elsewhere;
    for (std::size_t r = 0; r < state.Records.size() && r < classOf.size(); ++r) {
        if (stays[r] == 0 || kinds[r] == Anchor::Free)
            continue;
        if (group.kind == RankGroup::Kind::Band && state.Records[r]->Gender.view() != group.gender)
            continue;
        const bool inClass = classOf[r] == breach.classNo;
        if (inClass && member[r] == (over ? 1 : 0))
            here.push_back(static_cast<int>(r));
        else if (!inClass && member[r] == (over ? 0 : 1))
            elsewhere.push_back(static_cast<int>(r));
    }
    return CauseText(state, kinds, here.empty() ? elsewhere : here);
}

} // namespace

void MarkForcedBreaches(BalanceReport& report, const DivisionState& state, const DivisionRules& rules)
{
    if (report.breaches.empty() || report.classCount < 1)
        return;
    const int classCount = report.classCount;
    const std::vector<int> classOf = ClassesOfRecords(state);
    const std::vector<int> stays = AnchorsOf(state, classOf, classCount, rules);
    const std::vector<Anchor> kinds = AnchorKinds(state, rules);
    const std::vector<RankGroup> groups = MakeRankGroups(state, classOf, classCount, RankBalance {report.bands});
    std::vector<Limits> limits;
    for (const RankGroup& group : groups)
        limits.push_back(LimitsOf(group, state, classOf, classCount, stays));
    const auto sameGroup = [](const RankGroup& a, const RankGroup& b) {
        return a.kind == b.kind && a.gender == b.gender && a.band == b.band;
    };
    const auto beyondOf = [&](const auto& belongs) {
        int beyond = 0;
        for (const BalanceReport::BandBreach& b : report.breaches)
            if (belongs(b.group))
                beyond += Beyond(b.count, b.low, b.high);
        return beyond;
    };
    // A breach is forced where the anchors alone put its class out, or where
    // no division keeping them leaves its group (for bands: all the bands of
    // its gender, which share the classes' places) less far out in all.
    std::vector<char> wholly(groups.size(), 0);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const RankGroup& group = groups[g];
        if (group.kind == RankGroup::Kind::Band) {
            if (group.band != 0)
                continue; // once per gender, at its first band
            std::vector<const Limits*> bands;
            std::vector<std::size_t> members;
            for (std::size_t h = g; h < groups.size(); ++h)
                if (groups[h].kind == RankGroup::Kind::Band && groups[h].gender == group.gender) {
                    bands.push_back(&limits[h]);
                    members.push_back(h);
                }
            const int beyond = beyondOf([&](const RankGroup& other) {
                return other.kind == RankGroup::Kind::Band && other.gender == group.gender;
            });
            if (beyond == 0)
                continue;
            std::vector<int> sizes(At(classCount), 0);
            for (const Limits* band : bands)
                for (int c = 0; c < classCount; ++c)
                    sizes[At(c)] += band->count[At(c)];
            if (beyond <= LeastBandsBeyond(bands, sizes, classCount))
                for (const std::size_t h : members)
                    wholly[h] = 1;
        } else {
            const int beyond = beyondOf([&](const RankGroup& other) { return sameGroup(other, group); });
            wholly[g]
                = beyond > 0 && beyond <= LeastBeyond(limits[g], static_cast<int>(group.records.size()), classCount);
        }
    }
    // The top groups together: a class filled with hand-placed students of
    // the top 2N may leave no room for one of the top N.
    std::vector<const RankGroup*> tops;
    std::vector<std::size_t> topIndices;
    for (std::size_t g = 0; g < groups.size(); ++g)
        if (groups[g].kind != RankGroup::Kind::Band) {
            tops.push_back(&groups[g]);
            topIndices.push_back(g);
        }
    const int topsBeyond = beyondOf([](const RankGroup& other) { return other.kind != RankGroup::Kind::Band; });
    if (topsBeyond > 0 && topsBeyond <= LeastTopsBeyond(tops, classOf, classCount, stays))
        for (const std::size_t g : topIndices)
            wholly[g] = 1;
    for (BalanceReport::BandBreach& b : report.breaches)
        for (std::size_t g = 0; g < groups.size(); ++g) {
            if (!sameGroup(b.group, groups[g]))
                continue;
            const int floor = limits[g].floor[At(b.classNo - 1)];
            const int ceiling = std::max(floor, limits[g].ceiling[At(b.classNo - 1)]);
            b.forced = wholly[g] || (b.count > b.high && b.count <= floor) || (b.count < b.low && b.count >= ceiling);
            if (b.forced)
                b.cause = CauseOf(b, groups[g], state, classOf, stays, kinds);
        }
}

std::string BoundsText(const BalanceReport::BandBreach& breach)
{
    return breach.low == breach.high ? std::to_string(breach.low)
                                     : std::to_string(breach.low) + "–" + std::to_string(breach.high);
}

std::string WorstBandText(const BalanceReport& report)
{
    if (report.bands <= 0)
        return {};
    std::string text = "分数段最大差 " + std::to_string(report.worstBandDifference);
    if (report.breaches.empty())
        return text;
    const auto forced = std::count_if(
        report.breaches.begin(), report.breaches.end(), [](const BalanceReport::BandBreach& b) { return b.forced; });
    text += "，超出 " + std::to_string(report.breaches.size()) + " 处";
    if (forced == static_cast<std::ptrdiff_t>(report.breaches.size()))
        text += "（手工或规则所致）";
    else if (forced > 0)
        text += "（" + std::to_string(forced) + " 处手工或规则所致）";
    return text;
}

} // namespace fenban
