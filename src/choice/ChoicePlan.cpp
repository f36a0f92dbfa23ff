#include "choice/ChoicePlan.h"

#include "roster/RosterBuilder.h"

#include <algorithm>
#include <cmath>
#include <glpk.h>
#include <map>
#include <numeric>
#include <optional>

namespace fenban {

namespace {

int CeilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

// Orders subjects as names are written (物 史 化 生 政 地 技), for sorting.
int OrderKey(SubjectSet set)
{
    int key = 0;
    for (const Elective subject : SubjectsOf(set))
        key = key * 8 + static_cast<int>(subject) + 1;
    return key;
}

// The fixed subjects a group of classes may have under the model: the
// combination itself; for 3+1+2 the first choice with one more, or the first
// choice alone; for 3+3 any two or any one of the combination's subjects.
std::vector<SubjectSet> FixedSetsOf(SubjectSet combination, ChoiceModel model)
{
    std::vector<SubjectSet> sets;
    for (unsigned sub = combination;; sub = (sub - 1) & combination) {
        const SubjectSet set = static_cast<SubjectSet>(sub);
        if (set != 0) {
            const bool allowed = model == ChoiceModel::AnyThree || SubjectCountOf(set) == 3
                || SubjectCountOf(set & FirstChoiceSubjects) == 1;
            if (allowed)
                sets.push_back(set);
        }
        if (sub == 0)
            break;
    }
    return sets;
}

// The integer programme over the candidate groups: y_t classes of kind t and
// x_(c,t) students of combination c in them.
struct PlanModel {
    const PlanRequest& request;
    std::vector<SubjectSet> types;
    struct Placement {
        std::size_t combination;
        std::size_t type;
        int walking; // subjects its students walk for
    };
    std::vector<Placement> placements;
    int students = 0;

    explicit PlanModel(const PlanRequest& r)
        : request(r)
    {
        std::map<SubjectSet, std::size_t> index;
        for (std::size_t c = 0; c < request.counts.size(); ++c) {
            students += request.counts[c].second;
            for (const SubjectSet fixed : FixedSetsOf(request.counts[c].first, request.model)) {
                const auto [it, added] = index.emplace(fixed, types.size());
                if (added)
                    types.push_back(fixed);
                placements.push_back({c, it->second, 3 - SubjectCountOf(fixed)});
            }
        }
    }
    int yColumn(std::size_t t) const { return static_cast<int>(t) + 1; }
    int xColumn(std::size_t p) const { return static_cast<int>(types.size() + p) + 1; }
    int columns() const { return static_cast<int>(types.size() + placements.size()); }
};

// The fewest classes (the room count free), or the least walking with the
// room count, every class of one kind holding between `floor` and `cap` students.
enum class Stage { FewestClasses, LeastWalking };
struct ClassSizes {
    int cap;
    int floor = 1;
    int walkingAtMost = -1; // -1: no bound
};

// A solution: classes per type and students per placement.
struct Solution {
    std::vector<int> classes;
    std::vector<int> placed;

    int walkingPairs(const PlanModel& model) const
    {
        int pairs = 0;
        for (std::size_t p = 0; p < model.placements.size(); ++p)
            pairs += placed[p] * model.placements[p].walking;
        return pairs;
    }
};

struct SearchLimits {
    const PlanBudget& budget;
    const std::vector<double>* start = nullptr; // a solution offered to the search at once
    int nodes = 0;
    bool offered = false;
};

void Callback(glp_tree* tree, void* info)
{
    SearchLimits& limits = *static_cast<SearchLimits*>(info);
    switch (glp_ios_reason(tree)) {
    case GLP_IHEUR:
        if (limits.start != nullptr && !limits.offered) {
            limits.offered = true;
            glp_ios_heur_sol(tree, limits.start->data());
        }
        break;
    case GLP_ISELECT:
        if (++limits.nodes > limits.budget.nodes || glp_get_it_cnt(glp_ios_get_prob(tree)) > limits.budget.iterations)
            glp_ios_terminate(tree);
        break;
    default:
        break;
    }
}

// Every column's value of a solution, for offering it to the search.
std::vector<double> ColumnValues(const PlanModel& model, const Solution& solution)
{
    std::vector<double> values(static_cast<std::size_t>(model.columns()) + 1, 0.0);
    for (std::size_t p = 0; p < model.placements.size(); ++p)
        values[static_cast<std::size_t>(model.xColumn(p))] = solution.placed[p];
    for (std::size_t t = 0; t < model.types.size(); ++t)
        values[static_cast<std::size_t>(model.yColumn(t))] = solution.classes[t];
    return values;
}

// One solve of the programme; nothing when the search found no solution
// (none exists when `proved`) and none was offered.
std::optional<Solution> Solve(const PlanModel& model, Stage stage, ClassSizes sizes, const Solution* start,
    const PlanBudget& budget, bool& proved)
{
    glp_term_out(GLP_OFF);
    glp_prob* problem = glp_create_prob();
    glp_set_obj_dir(problem, GLP_MIN);
    glp_add_cols(problem, model.columns());
    const std::size_t types = model.types.size();
    for (std::size_t t = 0; t < types; ++t) {
        glp_set_col_kind(problem, model.yColumn(t), GLP_IV);
        glp_set_col_bnds(problem, model.yColumn(t), GLP_LO, 0, 0);
        if (stage == Stage::FewestClasses)
            glp_set_obj_coef(problem, model.yColumn(t), 1);
    }
    for (std::size_t p = 0; p < model.placements.size(); ++p) {
        glp_set_col_kind(problem, model.xColumn(p), GLP_IV);
        glp_set_col_bnds(problem, model.xColumn(p), GLP_LO, 0, 0);
        if (stage == Stage::LeastWalking)
            glp_set_obj_coef(problem, model.xColumn(p), model.placements[p].walking);
    }

    std::vector<int> rowIndex {0}, columnIndex {0};
    std::vector<double> value {0};
    const auto add = [&](int row, int column, double v) {
        rowIndex.push_back(row);
        columnIndex.push_back(column);
        value.push_back(v);
    };
    const auto newRow = [&](int kind, double bound) {
        const int row = glp_add_rows(problem, 1);
        glp_set_row_bnds(problem, row, kind, bound, bound);
        return row;
    };
    for (std::size_t c = 0; c < model.request.counts.size(); ++c) {
        const int row = newRow(GLP_FX, model.request.counts[c].second);
        for (std::size_t p = 0; p < model.placements.size(); ++p)
            if (model.placements[p].combination == c)
                add(row, model.xColumn(p), 1);
    }
    for (std::size_t t = 0; t < types; ++t) {
        const int full = newRow(GLP_UP, 0); // size <= cap x classes
        const int filled = newRow(GLP_LO, 0); // size >= floor x classes
        add(full, model.yColumn(t), -sizes.cap);
        add(filled, model.yColumn(t), -sizes.floor);
        for (std::size_t p = 0; p < model.placements.size(); ++p) {
            if (model.placements[p].type != t)
                continue;
            add(full, model.xColumn(p), 1);
            add(filled, model.xColumn(p), 1);
        }
    }
    // The students whose combinations lie within a set of subjects go to
    // classes fixed within it: they need their share of classes there. The
    // relaxation alone would not know, and the search would look long for
    // fewer classes than exist.
    for (unsigned within = 1; stage == Stage::FewestClasses && within < (1u << ElectiveCount); ++within) {
        int inside = 0;
        for (const auto& [combination, count] : model.request.counts)
            if ((combination & ~within) == 0)
                inside += count;
        if (inside == 0)
            continue;
        const int row = newRow(GLP_LO, CeilDiv(inside, sizes.cap));
        for (std::size_t t = 0; t < types; ++t)
            if ((model.types[t] & ~within) == 0)
                add(row, model.yColumn(t), 1);
    }
    if (stage == Stage::LeastWalking) {
        const int row = newRow(GLP_FX, model.request.rooms);
        for (std::size_t t = 0; t < types; ++t)
            add(row, model.yColumn(t), 1);
    }
    if (sizes.walkingAtMost >= 0) {
        const int row = newRow(GLP_UP, sizes.walkingAtMost);
        for (std::size_t p = 0; p < model.placements.size(); ++p)
            add(row, model.xColumn(p), model.placements[p].walking);
    }
    glp_load_matrix(problem, static_cast<int>(value.size()) - 1, rowIndex.data(), columnIndex.data(), value.data());

    std::optional<Solution> solved;
    glp_smcp simplex;
    glp_init_smcp(&simplex);
    simplex.msg_lev = GLP_MSG_OFF;
    simplex.it_lim = budget.iterations;
    const int relaxation = glp_simplex(problem, &simplex);
    const int relaxed = relaxation == 0 ? glp_get_status(problem) : GLP_UNDEF;
    proved = relaxed == GLP_NOFEAS;
    if (relaxed == GLP_OPT) {
        const std::vector<double> offered = start != nullptr ? ColumnValues(model, *start) : std::vector<double>();
        SearchLimits limits {budget, start != nullptr ? &offered : nullptr};
        glp_iocp search;
        glp_init_iocp(&search);
        search.msg_lev = GLP_MSG_OFF;
        search.mip_gap = 0;
        search.gmi_cuts = GLP_ON; // Gomory's cuts close the gap of the walking stage quickly
        search.cb_func = Callback;
        search.cb_info = &limits;
        const int returned = glp_intopt(problem, &search);
        const int status = glp_mip_status(problem);
        proved = returned == 0 && (status == GLP_OPT || status == GLP_NOFEAS);
        if (status == GLP_OPT || status == GLP_FEAS) {
            Solution found;
            for (std::size_t t = 0; t < types; ++t)
                found.classes.push_back(static_cast<int>(std::lround(glp_mip_col_val(problem, model.yColumn(t)))));
            for (std::size_t p = 0; p < model.placements.size(); ++p)
                found.placed.push_back(static_cast<int>(std::lround(glp_mip_col_val(problem, model.xColumn(p)))));
            solved = std::move(found);
        }
    }
    glp_delete_prob(problem);
    if (!solved && start != nullptr)
        solved = *start;
    return solved;
}

// Every combination in the group of its first subject (3+3: its first in
// name order): a plan that always fits, with the fewest classes of that kind.
Solution FirstSubjectsOnly(const PlanModel& model)
{
    Solution solution {std::vector<int>(model.types.size(), 0), std::vector<int>(model.placements.size(), 0)};
    std::vector<int> sizes(model.types.size(), 0);
    for (std::size_t p = 0; p < model.placements.size(); ++p) {
        const auto& placement = model.placements[p];
        const SubjectSet combination = model.request.counts[placement.combination].first;
        const SubjectSet first = static_cast<SubjectSet>(Bit(SubjectsOf(combination).front()));
        if (model.types[placement.type] == first) {
            solution.placed[p] = model.request.counts[placement.combination].second;
            sizes[placement.type] += solution.placed[p];
        }
    }
    for (std::size_t t = 0; t < model.types.size(); ++t)
        solution.classes[t] = CeilDiv(sizes[t], model.request.limit);
    return solution;
}

// A solution with its classes made up to the room count, a class more each
// time for the group with the largest classes.
Solution WithAllRooms(const PlanModel& model, Solution solution)
{
    std::vector<int> sizes(model.types.size(), 0);
    for (std::size_t p = 0; p < model.placements.size(); ++p)
        sizes[model.placements[p].type] += solution.placed[p];
    int total = std::accumulate(solution.classes.begin(), solution.classes.end(), 0);
    while (total < model.request.rooms) {
        std::optional<std::size_t> best;
        for (std::size_t t = 0; t < model.types.size(); ++t) {
            if (solution.classes[t] >= sizes[t])
                continue;
            // sizes[t] / classes[t] compared without division
            if (!best
                || static_cast<long long>(sizes[t]) * solution.classes[*best]
                    > static_cast<long long>(sizes[*best]) * solution.classes[t])
                best = t;
        }
        if (!best)
            break;
        ++solution.classes[*best];
        ++total;
    }
    return solution;
}

ChoicePlan PlanOf(const PlanModel& model, const Solution& solution)
{
    ChoicePlan plan;
    plan.request = model.request;
    for (std::size_t t = 0; t < model.types.size(); ++t) {
        PlanGroup group;
        group.fixed = model.types[t];
        group.classes = solution.classes[t];
        for (std::size_t p = 0; p < model.placements.size(); ++p)
            if (model.placements[p].type == t && solution.placed[p] > 0)
                group.members.emplace_back(
                    model.request.counts[model.placements[p].combination].first, solution.placed[p]);
        if (group.size() > 0)
            plan.groups.push_back(std::move(group));
    }
    SortGroups(plan.groups);
    return plan;
}

const std::string WorkLimitNote = "求解达到工作量上限，采用已找到的最好方案（未必最优）。";

void CheckRequest(const PlanRequest& request)
{
    if (request.limit < 1 || request.limit > 1000)
        throw PlanInputError(
            "每班人数上限必须是 1 到 1000 之间的整数（现在是 " + std::to_string(request.limit) + "）。");
    int students = 0;
    for (const auto& [combination, count] : request.counts) {
        if (!FitsModel(combination, request.model) || count < 0)
            throw PlanInputError(
                "选科“" + CombinationName(combination) + "”不合 " + std::string(ChoiceModelName(request.model)) + "。");
        students += count;
    }
    if (students == 0)
        throw PlanInputError("没有选科有效的学生，不能排选科分班。");
}

} // namespace

CombinationCounts CountCombinations(const StudentChoices& choices)
{
    std::map<SubjectSet, int> counts;
    for (const SubjectSet set : choices.of)
        if (set != 0)
            ++counts[set];
    CombinationCounts sorted(counts.begin(), counts.end());
    std::sort(sorted.begin(), sorted.end(),
        [](const auto& a, const auto& b) { return OrderKey(a.first) < OrderKey(b.first); });
    return sorted;
}

int PlanGroup::size() const
{
    int total = 0;
    for (const auto& member : members)
        total += member.second;
    return total;
}

int PlanGroup::walkingPairs() const
{
    int pairs = 0;
    for (const auto& [combination, count] : members)
        pairs += count * SubjectCountOf(static_cast<SubjectSet>(combination & ~fixed));
    return pairs;
}

SubjectSet PlanGroup::walkingSubjects() const
{
    SubjectSet walking = 0;
    for (const auto& member : members)
        walking |= static_cast<SubjectSet>(member.first & ~fixed);
    return walking;
}

int PlanGroup::largestClass() const
{
    return classes > 0 ? CeilDiv(size(), classes) : size();
}

int PlanGroup::smallestClass() const
{
    return classes > 0 ? size() / classes : 0;
}

std::string PlanGroup::kindName() const
{
    switch (SubjectCountOf(fixed)) {
    case 3:
        return "定三";
    case 2:
        return "定二走一";
    default:
        return "定一走二";
    }
}

std::string PlanGroup::name() const
{
    return CombinationName(fixed);
}

int ChoicePlan::classCount() const
{
    int total = 0;
    for (const PlanGroup& group : groups)
        total += group.classes;
    return total;
}

int ChoicePlan::walkingPairs() const
{
    int total = 0;
    for (const PlanGroup& group : groups)
        total += group.walkingPairs();
    return total;
}

int ChoicePlan::sizeSpread() const
{
    if (groups.empty())
        return 0;
    int largest = 0, smallest = groups.front().smallestClass();
    for (const PlanGroup& group : groups) {
        largest = std::max(largest, group.largestClass());
        smallest = std::min(smallest, group.smallestClass());
    }
    return largest - smallest;
}

std::vector<WalkingSubject> WalkingSubjects(const ChoicePlan& plan)
{
    std::vector<WalkingSubject> subjects;
    for (const Elective subject : SubjectsOf(static_cast<SubjectSet>((1u << ElectiveCount) - 1))) {
        WalkingSubject walking {subject};
        for (const PlanGroup& group : plan.groups)
            for (const auto& [combination, count] : group.members)
                if ((combination & ~group.fixed & Bit(subject)) != 0)
                    walking.students += count;
        if (walking.students == 0)
            continue;
        walking.teachingClasses = CeilDiv(walking.students, std::max(1, plan.request.limit));
        subjects.push_back(walking);
    }
    return subjects;
}

void SortGroups(std::vector<PlanGroup>& groups)
{
    const auto key = [](const PlanGroup& group) {
        const bool physics = (group.fixed & Bit(Elective::Physics)) != 0;
        return std::make_tuple(physics ? 0 : 1, 3 - SubjectCountOf(group.fixed), OrderKey(group.fixed));
    };
    std::stable_sort(
        groups.begin(), groups.end(), [&](const PlanGroup& a, const PlanGroup& b) { return key(a) < key(b); });
    for (PlanGroup& group : groups)
        std::sort(group.members.begin(), group.members.end(),
            [](const auto& a, const auto& b) { return OrderKey(a.first) < OrderKey(b.first); });
}

int FewestRooms(const PlanRequest& request, const PlanBudget& budget)
{
    CheckRequest(request);
    const PlanModel model(request);
    const Solution start = FirstSubjectsOnly(model);
    bool proved = true;
    const Solution fewest = *Solve(model, Stage::FewestClasses, {request.limit}, &start, budget, proved);
    return std::accumulate(fewest.classes.begin(), fewest.classes.end(), 0);
}

ChoicePlan MakeChoicePlan(const PlanRequest& asked, const PlanBudget& budget)
{
    CheckRequest(asked);
    PlanRequest request = asked;
    const PlanModel model(request);
    const Solution first = FirstSubjectsOnly(model);
    bool proved = true, solvedToOptimum = true;
    const Solution fewest = *Solve(model, Stage::FewestClasses, {request.limit}, &first, budget, proved);
    solvedToOptimum = proved;
    const int fewestRooms = std::accumulate(fewest.classes.begin(), fewest.classes.end(), 0);
    if (request.rooms == 0)
        request.rooms = fewestRooms;
    if (request.rooms > MaxClassCount)
        throw PlanInputError("每班最多 " + std::to_string(request.limit) + " 人时要 " + std::to_string(request.rooms)
            + " 个班，超过了最多的 " + std::to_string(MaxClassCount) + " 个班。请提高每班人数上限。");
    if (request.rooms > model.students)
        throw PlanInputError("教室数 " + std::to_string(request.rooms) + " 多于选科有效的学生人数 "
            + std::to_string(model.students) + "。");
    if (request.rooms < fewestRooms)
        throw PlanInputError("每班最多 " + std::to_string(request.limit) + " 人时，" + std::to_string(model.students)
            + " 名学生至少要 " + std::to_string(fewestRooms) + " 个班；现在只有 " + std::to_string(request.rooms)
            + " 间教室。请把教室数设为 " + std::to_string(fewestRooms) + " 或更多，或提高每班人数上限。");

    // The least walking; then, walking no more, the largest class as small
    // as can be, then the smallest class as large as can be.
    const Solution padded = WithAllRooms(model, fewest);
    Solution best = *Solve(model, Stage::LeastWalking, {request.limit}, &padded, budget, proved);
    solvedToOptimum = solvedToOptimum && proved;
    const int walking = best.walkingPairs(model);
    ClassSizes sizes {request.limit, 1};
    const auto holds = [&](ClassSizes tried) {
        const std::optional<Solution> found = Solve(model, Stage::LeastWalking, tried, nullptr, budget, proved);
        if (found && found->walkingPairs(model) == walking) {
            best = *found;
            return true;
        }
        // Not proved: a plan might exist that the search did not reach.
        solvedToOptimum = solvedToOptimum && proved;
        return false;
    };
    for (int low = CeilDiv(model.students, request.rooms), high = request.limit - 1; low <= high;) {
        const int middle = low + (high - low) / 2;
        if (holds({middle, 1, walking})) {
            sizes.cap = middle;
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    for (int low = 2, high = model.students / request.rooms; low <= high;) {
        const int middle = low + (high - low) / 2;
        if (holds({sizes.cap, middle, walking})) {
            sizes.floor = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    ChoicePlan plan = PlanOf(model, best); // the solution of the last bounds that held
    plan.proved = solvedToOptimum;
    if (!plan.proved)
        plan.note = WorkLimitNote;
    return plan;
}

std::vector<std::string> PlanProblems(const ChoicePlan& plan)
{
    std::vector<std::string> problems;
    const int limit = plan.request.limit;
    for (const PlanGroup& group : plan.groups) {
        const std::string name = group.name() + "（" + group.kindName() + "）";
        if (group.size() == 0)
            problems.push_back(name + "没有学生");
        else if (group.classes < 1)
            problems.push_back(name + "有 " + std::to_string(group.size()) + " 人，却没有班");
        else if (group.classes > group.size())
            problems.push_back(name + "只有 " + std::to_string(group.size()) + " 人，分不成 "
                + std::to_string(group.classes) + " 个班");
        else if (group.largestClass() > limit)
            problems.push_back(name + "有 " + std::to_string(group.size()) + " 人，分 " + std::to_string(group.classes)
                + " 个班每班多于 " + std::to_string(limit) + " 人");
        for (const auto& member : group.members)
            if ((member.first & group.fixed) != group.fixed)
                problems.push_back(
                    name + "中的“" + CombinationName(member.first) + "”没有选" + SubjectListText(group.fixed));
    }
    if (plan.classCount() > plan.request.rooms)
        problems.push_back(
            "共 " + std::to_string(plan.classCount()) + " 个班，多于教室数 " + std::to_string(plan.request.rooms));
    return problems;
}

void MoveCombination(ChoicePlan& plan, std::size_t from, SubjectSet toFixed, SubjectSet combination, int count)
{
    if (from >= plan.groups.size())
        throw PlanInputError("没有这一组班。");
    if ((combination & toFixed) != toFixed || toFixed == 0)
        throw PlanInputError("“" + CombinationName(combination) + "”的学生不能去" + CombinationName(toFixed)
            + "班：他们没有选" + SubjectListText(static_cast<SubjectSet>(toFixed & ~combination)) + "。");
    if (SubjectCountOf(toFixed) < 3 && plan.request.model == ChoiceModel::FirstThenTwo
        && SubjectCountOf(toFixed & FirstChoiceSubjects) != 1)
        throw PlanInputError("3+1+2 的班须含首选科目（物理或历史）。");
    PlanGroup& source = plan.groups[from];
    const auto member = std::find_if(
        source.members.begin(), source.members.end(), [&](const auto& m) { return m.first == combination; });
    if (member == source.members.end() || count < 1 || count > member->second)
        throw PlanInputError(source.name() + "班中没有这么多“" + CombinationName(combination) + "”的学生。");
    member->second -= count;
    if (member->second == 0)
        source.members.erase(member);
    auto target
        = std::find_if(plan.groups.begin(), plan.groups.end(), [&](const PlanGroup& g) { return g.fixed == toFixed; });
    if (target == plan.groups.end()) {
        plan.groups.push_back(PlanGroup {toFixed, 1, {}});
        target = plan.groups.end() - 1;
    }
    const auto into = std::find_if(
        target->members.begin(), target->members.end(), [&](const auto& m) { return m.first == combination; });
    if (into == target->members.end())
        target->members.emplace_back(combination, count);
    else
        into->second += count;
    plan.groups.erase(
        std::remove_if(plan.groups.begin(), plan.groups.end(), [](const PlanGroup& g) { return g.size() == 0; }),
        plan.groups.end());
    SortGroups(plan.groups);
    plan.proved = false;
    plan.note.clear();
}

void SetGroupClasses(ChoicePlan& plan, std::size_t group, int classes)
{
    if (group >= plan.groups.size())
        throw PlanInputError("没有这一组班。");
    if (classes < 1 || classes > plan.groups[group].size())
        throw PlanInputError(plan.groups[group].name() + "班有 " + std::to_string(plan.groups[group].size())
            + " 人，班数须在 1 到 " + std::to_string(plan.groups[group].size()) + " 之间。");
    plan.groups[group].classes = classes;
    plan.proved = false;
    plan.note.clear();
}

} // namespace fenban
