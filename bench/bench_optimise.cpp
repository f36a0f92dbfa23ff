// 一键均衡 against yardsticks written here (not in the product): a plain
// exchange local search to convergence and two seconds of plain simulated
// annealing, both over same-gender swaps on the unrounded deviations, and
// 150 automatic 调整 presses.
//   bench_optimise --table     the figures of every grade as a table
//   bench_optimise --rules     every grade with school rules
//   bench_optimise --sizes     four generated grades per size and the sample
//                              with its school rules, against the yardsticks
//                              (--sizes-ours: ours alone, for tuning;
//                              BM_OptimiseSizes times them)
//   --bands=B (before the others): score bands per gender, 0 = none (default 10)
//   --seed=N (after --bands): the search's seed instead of the window's
//   --no-narrow, --steps-times=X (after --seed, in this order): without the
//                              narrowing; X times the search's steps
//   bench_optimise             timings (Google Benchmark)
#include "EngineTestKit.h"
#include "RulesTestKit.h"
#include "engine/Assignment.h"
#include "engine/BalanceReport.h"
#include "engine/Balancing.h"
#include "engine/Division.h"
#include "engine/Optimiser.h"
#include "engine/RuleCheck.h"
#include "engine/Statistics.h"
#include "rules/RuleBuilder.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>

using namespace fenban;
using namespace fenban::testkit;

namespace {

using Clock = std::chrono::steady_clock;

int Bands = DefaultRankBands; // --bands=B

// --seed=N: another seed than the window's, to tell a change from the noise of one seed.
std::optional<std::uint64_t> Seed;

// --no-narrow: without the last phase that narrows the largest gap, to compare in one build.
bool Narrow = true;

// --steps-times=X: the search's default steps times X, to see what more work would give.
double StepsTimes = 1.0;

OptimiseControl Control()
{
    OptimiseControl control;
    control.balance.bands = Bands;
    if (Seed)
        control.seed = *Seed;
    control.narrow = Narrow;
    control.stepsTimes = StepsTimes;
    return control;
}

double ProcessorSecondsSince(std::clock_t start)
{
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// The rank columns of the table: the widths of the count ranges of top N,
// top 2N, top 5 %, top and bottom 10 %, the farthest standard deviation
// from the grade's (percent), the range of the classes' standard deviations
// (points), the worst band difference and the band counts out of bounds.
std::string RankColumns(const DivisionState& state, int classes)
{
    const BalanceReport r = MakeBalanceReport(state, classes, Bands > 0 ? Bands : DefaultRankBands);
    const double sd = std::max(r.highestDeviation / r.grade.deviation - 1, 1 - r.lowestDeviation / r.grade.deviation);
    char text[128];
    std::snprintf(text, sizeof text, "%3d %3d %3d %3d %3d %5.1f %5.1f %3d %4zu", r.topN.Width(), r.top2N.Width(),
        r.topFivePercent.Width(), r.topTenPercent.Width(), r.bottomTenPercent.Width(), sd * 100,
        r.highestDeviation - r.lowestDeviation, r.worstBandDifference, r.breaches.size());
    return text;
}

constexpr const char* RankHeader = " tN t2N t5% t10 b10   sd%   sdr bnd  out";

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---------------------------------------------------------------- grades

struct Grade {
    std::string name;
    int classes;
    DivisionState state; // divided by the assign button
};

void Divide(DivisionState& state, int classes)
{
    ResizeClassLists(state, classes);
    AssignClasses(state, classes);
}

// The sample grade file: name, gender, class, total, subjects (UTF-8 text).
DivisionState ReadSampleGrade()
{
    std::ifstream file(FENBAN_SAMPLE_GRADE);
    DivisionState state;
    std::string line;
    std::getline(file, line); // header
    while (std::getline(file, line)) {
        std::vector<std::string> fields;
        std::stringstream cut(line);
        for (std::string field; std::getline(cut, field, '\t');)
            fields.push_back(field);
        if (fields.size() < 4)
            continue;
        const PStudent s = AddStudent(state, fields[1] == "男" ? Male : Female, {});
        for (std::size_t f = 3; f < fields.size() && f - 3 < SubjectCount; ++f)
            s->Scores[f - 3] = std::strtold(fields[f].c_str(), nullptr);
    }
    return state;
}

// A grade like a school's: one ability behind every subject, some subjects
// leaning to one gender, marks in whole or half points, the total their sum,
// about one student in a hundred placed by hand.
DivisionState MakeGrade(int students, int classes, int subjects, bool halves, std::uint32_t seed, double boys = 0.52)
{
    std::mt19937 rng(seed);
    const auto unit = [&rng] { return (static_cast<double>(rng()) + 0.5) / 4294967296.0; };
    const auto normal = [&] { return std::sqrt(-2.0 * std::log(unit())) * std::cos(6.283185307179586 * unit()); };
    const double top[] = {150, 150, 150, 100, 100, 100, 100, 100, 100, 100};
    const double mean[] = {102, 96, 99, 63, 66, 69, 73, 70, 68, 75};
    const double spread[] = {13, 22, 19, 15, 14, 13, 10, 12, 13, 11};
    const double lean[] = {0.2, -0.1, 0.25, -0.15, 0, 0.05, 0.1, 0.05, -0.05, 0.1};
    DivisionState state;
    for (int n = 0; n < students; ++n) {
        const bool boy = unit() < boys;
        const PStudent s = AddStudent(state, boy ? Male : Female, {});
        const double ability = normal();
        long double total = 0;
        for (int k = 0; k < subjects; ++k) {
            const double points = mean[k] + spread[k] * (0.8 * ability + 0.6 * normal() + (boy ? 0 : lean[k]));
            double score = std::clamp(std::round(points * 2) / 2, 0.0, top[k]);
            if (!halves || unit() < 0.6)
                score = std::floor(score);
            s->Scores[k + 1] = score;
            total += score;
        }
        s->Scores[0] = total;
        if (unit() < 0.01) {
            s->Mark = ShortString<3>("F");
            s->ClassNo = 1 + static_cast<int>(unit() * classes);
        }
    }
    Divide(state, classes);
    return state;
}

std::vector<Grade> Grades()
{
    std::vector<Grade> grades;
    for (const int classes : {13, 12}) {
        DivisionState state = ReadSampleGrade();
        Divide(state, classes);
        grades.push_back({"sample " + std::to_string(state.FStudents.size()) + "/" + std::to_string(classes), classes,
            std::move(state)});
    }
    grades.push_back({"600/12 half 9", 12, MakeGrade(600, 12, 9, true, 11)});
    grades.push_back({"600/12 whole 10", 12, MakeGrade(600, 12, 10, false, 12)});
    grades.push_back({"1200/24 half 10", 24, MakeGrade(1200, 24, 10, true, 13)});
    grades.push_back({"1200/24 whole 9", 24, MakeGrade(1200, 24, 9, false, 14)});
    grades.push_back({"5000/100 half 10", 100, MakeGrade(5000, 100, 10, true, 15)});
    grades.push_back({"20000/400 half 10", 400, MakeGrade(20000, 400, 10, true, 16)});
    return grades;
}

// ---------------------------------------------------------------- yardsticks

// Same-gender swaps of students not placed by hand, scored by the sum over
// classes and columns of |class mean - grade average|, unrounded.
class PlainSwaps {
public:
    explicit PlainSwaps(DivisionState& state)
        : state_(state)
        , n_(state.FClasses.size())
    {
        for (std::size_t c = 0; c < n_; ++c)
            for (std::size_t p = 0; p < state.FClasses[c].size(); ++p)
                if (!state.FClasses[c][p]->IsHandPlacedForBalancing())
                    slots_.push_back({c, p});
        sums_.assign(n_ * SubjectCount, 0.0);
        for (std::size_t c = 0; c < n_; ++c)
            for (const PStudent s : state.FClasses[c])
                for (int k = 0; k < SubjectCount; ++k)
                    sums_[c * SubjectCount + k] += static_cast<double>(s->Scores[k]);
    }

    std::size_t Slots() const { return slots_.size(); }
    PStudent At(std::size_t slot) const { return state_.FClasses[slots_[slot].first][slots_[slot].second]; }
    bool CanSwap(std::size_t x, std::size_t y) const
    {
        return slots_[x].first != slots_[y].first && At(x)->Gender == At(y)->Gender;
    }

    double Delta(std::size_t x, std::size_t y) const
    {
        const std::size_t a = slots_[x].first, b = slots_[y].first;
        const PStudent p = At(x), q = At(y);
        const double na = static_cast<double>(state_.FClasses[a].size());
        const double nb = static_cast<double>(state_.FClasses[b].size());
        double delta = 0;
        for (int k = 0; k < SubjectCount; ++k) {
            const double d = static_cast<double>(q->Scores[k] - p->Scores[k]);
            if (d == 0)
                continue;
            const double g = static_cast<double>(state_.FGradeAvg[k]);
            const double sa = sums_[a * SubjectCount + k], sb = sums_[b * SubjectCount + k];
            delta += std::fabs((sa + d) / na - g) - std::fabs(sa / na - g) + std::fabs((sb - d) / nb - g)
                - std::fabs(sb / nb - g);
        }
        return delta;
    }

    void Swap(std::size_t x, std::size_t y)
    {
        const std::size_t a = slots_[x].first, b = slots_[y].first;
        const PStudent p = At(x), q = At(y);
        for (int k = 0; k < SubjectCount; ++k) {
            const double d = static_cast<double>(q->Scores[k] - p->Scores[k]);
            sums_[a * SubjectCount + k] += d;
            sums_[b * SubjectCount + k] -= d;
        }
        std::swap(state_.FClasses[a][slots_[x].second], state_.FClasses[b][slots_[y].second]);
    }

    void Finish()
    {
        for (std::size_t c = 0; c < n_; ++c)
            for (const PStudent s : state_.FClasses[c])
                s->ClassNo = static_cast<int>(c) + 1;
        ComputeClassStats(state_);
    }

private:
    DivisionState& state_;
    std::size_t n_;
    std::vector<std::pair<std::size_t, std::size_t>> slots_; // class, slot
    std::vector<double> sums_;
};

// The exchange method: each student in turn trades with the partner that
// lowers the objective most, if any does; passes until none does.
void ExchangeMethod(DivisionState& state)
{
    PlainSwaps swaps(state);
    for (bool improved = true; improved;) {
        improved = false;
        for (std::size_t x = 0; x < swaps.Slots(); ++x) {
            double best = -1e-9;
            std::size_t partner = x;
            for (std::size_t y = 0; y < swaps.Slots(); ++y) {
                if (!swaps.CanSwap(x, y))
                    continue;
                const double d = swaps.Delta(x, y);
                if (d < best) {
                    best = d;
                    partner = y;
                }
            }
            if (partner != x) {
                swaps.Swap(x, partner);
                improved = true;
            }
        }
    }
    swaps.Finish();
}

// Plain annealing for a fixed time: random same-gender swaps, Metropolis
// acceptance, the temperature falling geometrically with the time spent;
// the best division seen is kept.
void PlainAnnealing(DivisionState& state, double seconds, std::uint64_t seed)
{
    PlainSwaps swaps(state);
    std::mt19937_64 rng(seed);
    const auto pick = [&] { return static_cast<std::size_t>(rng() % swaps.Slots()); };
    double uphill = 0;
    int count = 0;
    for (int n = 0; n < 2000; ++n) {
        const std::size_t x = pick(), y = pick();
        if (swaps.CanSwap(x, y)) {
            const double d = swaps.Delta(x, y);
            if (d > 0) {
                uphill += d;
                ++count;
            }
        }
    }
    const double t0 = 0.3 * uphill / std::max(count, 1), t1 = 0.001;
    std::vector<TStudentList> best = state.FClasses;
    double now = 0, lowest = 0;
    const auto start = Clock::now();
    double t = t0;
    for (std::uint64_t step = 0;; ++step) {
        if (step % 1024 == 0) {
            const double spent = SecondsSince(start) / seconds;
            if (spent >= 1)
                break;
            t = t0 * std::pow(t1 / t0, spent);
        }
        const std::size_t x = pick(), y = pick();
        if (!swaps.CanSwap(x, y))
            continue;
        const double d = swaps.Delta(x, y);
        if (d > 0 && std::uniform_real_distribution<double>(0, 1)(rng) >= std::exp(-d / t))
            continue;
        swaps.Swap(x, y);
        now += d;
        if (now < lowest - 1e-9) {
            lowest = now;
            best = state.FClasses;
        }
    }
    state.FClasses = best;
    swaps.Finish();
}

BalanceFigures BestOfPresses(DivisionState& state, int classes, int presses)
{
    BalanceFigures best = FiguresOf(state);
    for (int n = 0; n < presses; ++n) {
        if (Balance(state, BalanceRequest {false, 1, 2, -1, 1, classes}) != BalanceOutcome::Swapped)
            break;
        best = std::min(best, FiguresOf(state));
    }
    return best;
}

// ---------------------------------------------------------------- table

// The largest gap between class averages over the subjects, the total column left out.
long long SubjectGap(const DivisionState& state)
{
    long long largest = 0;
    for (int s = 1; s < SubjectCount; ++s) {
        long double low = 1e300L, high = -1e300L;
        for (const TSubjectValues& avg : state.FClassAvg) {
            low = std::min(low, avg[s]);
            high = std::max(high, avg[s]);
        }
        largest = std::max(largest, std::llround((high - low) * 100));
    }
    return largest;
}

std::string Hundredths(long long h)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(h) / 100);
    return text;
}

// The exchange method (left out beyond 5,000 students: hours there) and
// two seconds of annealing. One annealing run ends where the machine's speed
// of the moment lets it: five runs, the median the yardstick, the best shown.
struct Yardsticks {
    long long exchange = 0, annealedMedian = 0, annealedBest = 0;
    bool exchanged = false;
    long long Median() const { return exchanged ? std::min(exchange, annealedMedian) : annealedMedian; }
    long long Best() const { return exchanged ? std::min(exchange, annealedBest) : annealedBest; }
};

Yardsticks YardsticksOf(const Grade& grade)
{
    Yardsticks yard;
    yard.exchanged = grade.state.FStudents.size() <= 5000;
    if (yard.exchanged) {
        DivisionState exchange = Clone(grade.state);
        ExchangeMethod(exchange);
        yard.exchange = FiguresOf(exchange).total;
    }
    std::vector<long long> annealed;
    for (std::uint64_t seed = 7; seed < 12; ++seed) {
        DivisionState run = Clone(grade.state);
        PlainAnnealing(run, 2.0, seed);
        annealed.push_back(FiguresOf(run).total);
    }
    std::sort(annealed.begin(), annealed.end());
    yard.annealedMedian = annealed[annealed.size() / 2];
    yard.annealedBest = annealed.front();
    return yard;
}

// yardsticks false: only the start and ours, for tuning. The exchange
// method is left out beyond 5,000 students (hours there).
void PrintTable(std::size_t first, std::size_t last, bool yardsticks)
{
    std::printf("bands %d\n%-18s %8s %8s %8s %8s %8s | %8s %6s %6s %6s %6s | %8s %6s %6s %6s | %s | %s\n", Bands,
        "grade", "start", "150press", "exch", "SA 2s", "SA best", "ours", "gap", "subgap", "time", "cpu", "yard",
        "ours/y", "/best", "steps", RankHeader, "start ranks");
    std::vector<Grade> grades = Grades();
    for (std::size_t g = first; g < std::min(last, grades.size()); ++g) {
        Grade& grade = grades[g];
        const BalanceFigures start = FiguresOf(grade.state);
        const bool small = grade.state.FStudents.size() <= 5000;
        DivisionState presses = Clone(grade.state);
        const BalanceFigures pressBest = yardsticks && small ? BestOfPresses(presses, grade.classes, 150) : start;

        const Yardsticks yard
            = yardsticks ? YardsticksOf(grade) : Yardsticks {start.total, start.total, start.total, small};
        DivisionState ours = Clone(grade.state);
        const auto t = Clock::now();
        const std::clock_t cpu = std::clock();
        const OptimiseResult result = OptimiseDivision(ours, grade.classes, {}, Control());
        const double oursSeconds = SecondsSince(t), oursCpu = ProcessorSecondsSince(cpu);

        const auto ratio = [&](long long by) {
            return static_cast<double>(result.after.total) / static_cast<double>(std::max(by, 1LL));
        };
        std::printf("%-18s %8s %8s %8s %8s %8s | %8s %6s %6s %6.2f %6.2f | %8s %6.2f %6.2f %5.1fM | %s | %s\n",
            grade.name.c_str(), Hundredths(start.total).c_str(), Hundredths(pressBest.total).c_str(),
            small ? Hundredths(yard.exchange).c_str() : "-", Hundredths(yard.annealedMedian).c_str(),
            Hundredths(yard.annealedBest).c_str(), Hundredths(result.after.total).c_str(),
            Hundredths(result.after.largestGap).c_str(), Hundredths(SubjectGap(ours)).c_str(), oursSeconds, oursCpu,
            Hundredths(yard.Median()).c_str(), ratio(yard.Median()), ratio(yard.Best()),
            static_cast<double>(result.steps) / 1e6, RankColumns(ours, grade.classes).c_str(),
            RankColumns(grade.state, grade.classes).c_str());
        std::fflush(stdout);
    }
}

// Mean total and gap over four seeds on the grades first..last-1, for tuning.
void PrintTuning(std::size_t first, std::size_t last)
{
    std::vector<Grade> grades = Grades();
    double all = 0;
    for (std::size_t g = first; g < std::min(last, grades.size()); ++g) {
        double total = 0, gap = 0;
        const auto t = Clock::now();
        for (const std::uint64_t seed : {1, 11, 21, 31}) {
            DivisionState state = Clone(grades[g].state);
            OptimiseControl control = Control();
            control.seed = seed;
            const OptimiseResult result = OptimiseDivision(state, grades[g].classes, {}, control);
            total += static_cast<double>(result.after.total) / 400;
            gap += static_cast<double>(result.after.largestGap) / 400;
        }
        all += total / static_cast<double>(grades[g].state.FStudents.size());
        std::printf("%-18s %7.2f %5.2f %6.2fs\n", grades[g].name.c_str(), total, gap, SecondsSince(t) / 4);
    }
    std::printf("per 100 students %.3f\n", all * 100);
}

// ---------------------------------------------------------------- school rules

// The school rules of a 600/12 grade: 18 together groups (twins, siblings),
// 10 apart groups, 3 fixed students, 8 feeder schools of very unequal size
// and 30 % boarders to spread, 5 groups of sound-alike names kept apart.
// Groups that would make the rules impossible are drawn again.
DivisionRules SchoolRules(const DivisionState& state, int classes)
{
    std::mt19937 rng(2024);
    const auto count = static_cast<int>(state.Records.size());
    DivisionRules rules;
    const double schoolShare[] = {0.32, 0.22, 0.15, 0.11, 0.08, 0.06, 0.04, 0.02};
    rules.spread.resize(9);
    for (int i = 0; i < count; ++i) {
        double roll = std::uniform_real_distribution<double>(0, 1)(rng);
        std::size_t school = 0;
        while (school < 7 && roll >= schoolShare[school])
            roll -= schoolShare[school++];
        rules.spread[school].push_back(i);
        if (std::uniform_real_distribution<double>(0, 1)(rng) < 0.3)
            rules.spread[8].push_back(i);
    }
    std::vector<char> used(static_cast<std::size_t>(count), 0);
    const auto group = [&](int size) {
        std::vector<int> members;
        while (static_cast<int>(members.size()) < size) {
            const int i = static_cast<int>(rng() % static_cast<unsigned>(count));
            if (!used[static_cast<std::size_t>(i)] && std::find(members.begin(), members.end(), i) == members.end())
                members.push_back(i);
        }
        return members;
    };
    const auto add = [&](std::vector<std::vector<int>>& list, int size) {
        for (;;) {
            list.push_back(group(size));
            if (FindRuleConflicts(state, classes, rules).empty())
                break;
            list.pop_back();
        }
        for (const int i : list.back())
            used[static_cast<std::size_t>(i)] = 1;
    };
    for (int g = 0; g < 18; ++g)
        add(rules.together, g % 4 == 3 ? 3 : 2);
    for (int g = 0; g < 10; ++g)
        add(rules.apart, 2 + g % 2);
    for (int g = 0; g < 5; ++g) // sound-alike names
        add(rules.apart, 2 + g % 3);
    for (int g = 0; g < 3; ++g) {
        for (;;) {
            const std::vector<int> one = group(1);
            rules.fixed.emplace_back(one[0], 1 + static_cast<int>(rng() % static_cast<unsigned>(classes)));
            if (FindRuleConflicts(state, classes, rules).empty())
                break;
            rules.fixed.pop_back();
        }
        used[static_cast<std::size_t>(rules.fixed.back().first)] = 1;
    }
    return rules;
}

void PrintRules()
{
    const std::vector<Grade> grades = Grades();
    for (const std::size_t g : {std::size_t {1}, std::size_t {2}, std::size_t {3}, std::size_t {4}, std::size_t {6}}) {
        const Grade& grade = grades[g];
        const DivisionRules rules = SchoolRules(grade.state, grade.classes);
        DivisionState plain = Clone(grade.state);
        OptimiseControl plainControl;
        const OptimiseResult without = OptimiseDivision(plain, grade.classes, {}, plainControl);
        DivisionState ruled = Clone(grade.state);
        const auto t = Clock::now();
        const std::clock_t cpu = std::clock();
        const OptimiseResult with = OptimiseDivision(ruled, grade.classes, rules, Control());
        const double seconds = SecondsSince(t), cpuSeconds = ProcessorSecondsSince(cpu);
        BalanceReport report = MakeBalanceReport(ruled, grade.classes, Bands > 0 ? Bands : DefaultRankBands);
        MarkForcedBreaches(report, ruled, rules);
        const auto forced = std::count_if(report.breaches.begin(), report.breaches.end(),
            [](const BalanceReport::BandBreach& b) { return b.forced; });
        const Yardsticks yard = YardsticksOf(grade);
        std::printf("%-18s rules broken %3d -> %zu  total %s with rules, %s without rules and bands (x %.2f), "
                    "yardstick %s (x %.2f; best %s, x %.2f), gap %s, %.2f s (cpu %.2f) | %s, %td forced\n",
            grade.name.c_str(), with.brokenBefore,
            FindRuleBreaches(rules, ClassesOfRecords(ruled), grade.classes).size(),
            Hundredths(with.after.total).c_str(), Hundredths(without.after.total).c_str(),
            static_cast<double>(with.after.total) / static_cast<double>(without.after.total),
            Hundredths(yard.Median()).c_str(),
            static_cast<double>(with.after.total) / static_cast<double>(yard.Median()), Hundredths(yard.Best()).c_str(),
            static_cast<double>(with.after.total) / static_cast<double>(yard.Best()),
            Hundredths(with.after.largestGap).c_str(), seconds, cpuSeconds, RankColumns(ruled, grade.classes).c_str(),
            forced);
    }
}

// The 600/12 grades with the school rules over several seeds: the mean
// ratio of the total with rules to the total without, and the slowest run.
void PrintRulesSeeds(int seeds)
{
    const std::vector<Grade> grades = Grades();
    for (const std::size_t g : {std::size_t {1}, std::size_t {2}, std::size_t {3}}) {
        const Grade& grade = grades[g];
        const DivisionRules rules = SchoolRules(grade.state, grade.classes);
        double ratios = 0, slowest = 0, cpu = 0;
        std::size_t broken = 0;
        std::size_t out = 0;
        double totals = 0;
        for (int s = 0; s < seeds; ++s) {
            OptimiseControl control = Control();
            control.seed += static_cast<std::uint64_t>(s) * 7919;
            DivisionState plain = Clone(grade.state);
            const OptimiseResult without = OptimiseDivision(plain, grade.classes, {}, control);
            DivisionState ruled = Clone(grade.state);
            const auto t = Clock::now();
            const std::clock_t cpuStart = std::clock();
            const OptimiseResult with = OptimiseDivision(ruled, grade.classes, rules, control);
            slowest = std::max(slowest, SecondsSince(t));
            cpu += static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
            broken += FindRuleBreaches(rules, ClassesOfRecords(ruled), grade.classes).size();
            BalanceReport report = MakeBalanceReport(ruled, grade.classes, Bands > 0 ? Bands : DefaultRankBands);
            MarkForcedBreaches(report, ruled, rules);
            out += static_cast<std::size_t>(std::count_if(report.breaches.begin(), report.breaches.end(),
                [](const BalanceReport::BandBreach& b) { return !b.forced; }));
            ratios += static_cast<double>(with.after.total) / static_cast<double>(without.after.total);
            totals += static_cast<double>(with.after.total) / 100;
        }
        const Yardsticks yard = YardsticksOf(grade);
        std::printf("%-18s %d seeds: rules broken after %zu, rank counts out of bounds unforced %zu, mean total %.2f "
                    "(ratio %.3f to ours without rules, %.3f to the yardstick %s, %.3f to its best), "
                    "slowest %.2f s, processor %.2f s a run\n",
            grade.name.c_str(), seeds, broken, out, totals / seeds, ratios / seeds,
            totals / seeds * 100 / static_cast<double>(yard.Median()), Hundredths(yard.Median()).c_str(),
            totals / seeds * 100 / static_cast<double>(yard.Best()), slowest, cpu / seeds);
    }
}

// ---------------------------------------------------------------- sizes

// Four generated grades per size (half and whole points, 9 and 10 subjects,
// 50-60 % boys), none of them the grades above.
std::vector<Grade> SizeGrades()
{
    struct Kind {
        bool halves;
        int subjects;
        double boys;
    };
    const Kind kinds[] = {{true, 9, 0.50}, {false, 10, 0.55}, {true, 10, 0.60}, {false, 9, 0.53}};
    std::vector<Grade> grades;
    std::uint32_t seed = 101;
    for (const auto& [students, classes] : {std::pair {600, 12}, std::pair {1200, 24}, std::pair {5000, 100}})
        for (const Kind& kind : kinds) {
            char name[64];
            std::snprintf(name, sizeof name, "%d/%d %s %d %.0f%%", students, classes, kind.halves ? "half" : "whole",
                kind.subjects, kind.boys * 100);
            grades.push_back(
                {name, classes, MakeGrade(students, classes, kind.subjects, kind.halves, seed++, kind.boys)});
        }
    return grades;
}

// The sample grade with its own rule columns, divided by 编班 as the window
// does, and its rules with sound-alike names kept apart (the window's default).
Grade SampleWithRules(DivisionRules& rules)
{
    Grade grade {"sample rules 600/12", 12, rulestest::StateOf(rulestest::TableOfFile(FENBAN_SAMPLE_RULES))};
    ResizeClassLists(grade.state, grade.classes);
    AssignClassesWithRules(grade.state, grade.classes);
    rules = BuildDivisionRules(grade.state, grade.classes, true);
    return grade;
}

// One line per grade: the yardsticks (the sample with rules against the
// yardsticks without them), ours, the largest gap per subject with 总分,
// the time, the rank columns; with rules, rules broken and the counts out of
// bounds that no rule forces.
void PrintSizes(bool yardsticks, std::size_t first, std::size_t last)
{
    std::printf("bands %d\n%-22s %8s %8s | %8s %6s %6s %6s %6s | %s | %s\n", Bands, "grade", "yard", "SA best", "ours",
        "ours/y", "gap", "time", "cpu", RankHeader, "rules broken, unforced out");
    std::vector<Grade> grades = SizeGrades();
    DivisionRules sampleRules;
    grades.push_back(SampleWithRules(sampleRules));
    for (std::size_t g = first; g < std::min(last, grades.size()); ++g) {
        const Grade& grade = grades[g];
        const bool ruled = g + 1 == grades.size();
        const DivisionRules rules = ruled ? sampleRules : DivisionRules {};
        const Yardsticks yard = yardsticks ? YardsticksOf(grade) : Yardsticks {};
        DivisionState ours = Clone(grade.state);
        const auto t = Clock::now();
        const std::clock_t cpu = std::clock();
        const OptimiseResult result = OptimiseDivision(ours, grade.classes, rules, Control());
        const double seconds = SecondsSince(t), cpuSeconds = ProcessorSecondsSince(cpu);
        BalanceReport report = MakeBalanceReport(ours, grade.classes, Bands > 0 ? Bands : DefaultRankBands);
        MarkForcedBreaches(report, ours, rules);
        const auto unforced = std::count_if(report.breaches.begin(), report.breaches.end(),
            [](const BalanceReport::BandBreach& b) { return !b.forced; });
        const std::string ruleText
            = (ruled ? std::to_string(FindRuleBreaches(rules, ClassesOfRecords(ours), grade.classes).size()) : "-")
            + ", " + std::to_string(unforced) + " of " + std::to_string(report.breaches.size());
        std::printf("%-22s %8s %8s | %8s %6.2f %6s %6.2f %6.2f | %s | %s\n", grade.name.c_str(),
            yardsticks ? Hundredths(yard.Median()).c_str() : "-", yardsticks ? Hundredths(yard.Best()).c_str() : "-",
            Hundredths(result.after.total).c_str(),
            yardsticks ? static_cast<double>(result.after.total) / static_cast<double>(yard.Median()) : 0.0,
            Hundredths(result.after.largestGap).c_str(), seconds, cpuSeconds, RankColumns(ours, grade.classes).c_str(),
            ruleText.c_str());
        std::fflush(stdout);
    }
}

// ---------------------------------------------------------------- timings

void BM_Optimise(benchmark::State& bench)
{
    static std::vector<Grade> grades = Grades();
    const Grade& grade = grades[static_cast<std::size_t>(bench.range(0))];
    bench.SetLabel(grade.name);
    BalanceFigures after;
    for (auto _ : bench) {
        DivisionState state = Clone(grade.state);
        after = OptimiseDivision(state, grade.classes, {}, Control()).after;
    }
    bench.counters["total"] = static_cast<double>(after.total) / 100;
    bench.counters["gap"] = static_cast<double>(after.largestGap) / 100;
}

// The 600/12 grades with the school rules of SchoolRules.
void BM_OptimiseRules(benchmark::State& bench)
{
    static std::vector<Grade> grades = Grades();
    const Grade& grade = grades[static_cast<std::size_t>(bench.range(0))];
    const DivisionRules rules = SchoolRules(grade.state, grade.classes);
    bench.SetLabel(grade.name + " with rules");
    OptimiseResult result;
    for (auto _ : bench) {
        DivisionState state = Clone(grade.state);
        result = OptimiseDivision(state, grade.classes, rules, Control());
        bench.counters["broken"]
            = static_cast<double>(FindRuleBreaches(rules, ClassesOfRecords(state), grade.classes).size());
    }
    bench.counters["total"] = static_cast<double>(result.after.total) / 100;
    bench.counters["gap"] = static_cast<double>(result.after.largestGap) / 100;
}

// The grades of --sizes (the last one the sample with its rules), timed.
void BM_OptimiseSizes(benchmark::State& bench)
{
    static DivisionRules sampleRules;
    static std::vector<Grade> grades = [] {
        std::vector<Grade> all = SizeGrades();
        all.push_back(SampleWithRules(sampleRules));
        return all;
    }();
    const auto g = static_cast<std::size_t>(bench.range(0));
    const Grade& grade = grades[g];
    const DivisionRules rules = g + 1 == grades.size() ? sampleRules : DivisionRules {};
    bench.SetLabel(grade.name);
    BalanceFigures after;
    for (auto _ : bench) {
        DivisionState state = Clone(grade.state);
        after = OptimiseDivision(state, grade.classes, rules, Control()).after;
    }
    bench.counters["total"] = static_cast<double>(after.total) / 100;
    bench.counters["gap"] = static_cast<double>(after.largestGap) / 100;
}

// The report of a grade as 编班 leaves it (1 % placed by hand, hundreds of
// counts out of bounds), with the check of which the hand moves force: what
// the window does after every step.
void BM_ForcedBreaches(benchmark::State& bench)
{
    static std::vector<Grade> grades = Grades();
    const Grade& grade = grades[static_cast<std::size_t>(bench.range(0))];
    bench.SetLabel(grade.name);
    std::size_t breaches = 0;
    for (auto _ : bench) {
        BalanceReport report = MakeBalanceReport(grade.state, grade.classes, DefaultRankBands);
        MarkForcedBreaches(report, grade.state, {});
        breaches = report.breaches.size();
    }
    bench.counters["breaches"] = static_cast<double>(breaches);
}

} // namespace

BENCHMARK(BM_ForcedBreaches)->Arg(6)->Arg(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Optimise)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_OptimiseRules)->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_OptimiseSizes)->DenseRange(0, 12)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    // The leading options, in their order; each taken off the arguments when present.
    const auto take = [&](const char* name) -> const char* {
        const std::size_t length = std::strlen(name);
        if (argc < 2 || std::strncmp(argv[1], name, length) != 0)
            return nullptr;
        --argc;
        return *++argv + length;
    };
    if (const char* value = take("--bands="))
        Bands = std::atoi(value);
    if (const char* value = take("--seed="))
        Seed = std::stoull(value);
    if (take("--no-narrow"))
        Narrow = false;
    if (const char* value = take("--steps-times="))
        StepsTimes = std::atof(value);
    // --table [first [last]] or --ours [first [last]]: grades first..last-1.
    // --rules [seeds]: every grade with rules once, or the 600/12 grades over several seeds.
    if (argc >= 2 && std::strcmp(argv[1], "--rules") == 0) {
        if (argc >= 3)
            PrintRulesSeeds(std::stoi(argv[2]));
        else
            PrintRules();
        return 0;
    }
    if (argc >= 2 && (std::strcmp(argv[1], "--sizes") == 0 || std::strcmp(argv[1], "--sizes-ours") == 0)) {
        PrintSizes(std::strcmp(argv[1], "--sizes") == 0, argc >= 3 ? std::stoul(argv[2]) : 0,
            argc >= 4 ? std::stoul(argv[3]) : 100);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--tune") == 0) {
        PrintTuning(argc >= 3 ? std::stoul(argv[2]) : 0, argc >= 4 ? std::stoul(argv[3]) : 4);
        return 0;
    }
    if (argc >= 2 && (std::strcmp(argv[1], "--table") == 0 || std::strcmp(argv[1], "--ours") == 0)) {
        const std::size_t first = argc >= 3 ? std::stoul(argv[2]) : 0;
        const std::size_t last = argc >= 4 ? std::stoul(argv[3]) : 100;
        PrintTable(first, last, std::strcmp(argv[1], "--table") == 0);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
