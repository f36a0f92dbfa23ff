#include "SessionTestKit.h"

#include "EngineTestKit.h"
#include "engine/Assignment.h"
#include "engine/Balancing.h"
#include "engine/Division.h"
#include "engine/Statistics.h"
#include "roster/NumberText.h"
#include "roster/RosterBuilder.h"

#include <cstring>
#include <utility>

namespace fenban::sessiontest {

namespace {

std::string RandomName(std::mt19937_64& rng)
{
    static const char* const syllables[] = {"张", "王", "李", "赵", "欧阳", "明", "华", "小", "丽", "强", "😀", "A"};
    std::string name;
    const int length = 1 + static_cast<int>(rng() % 6);
    for (int i = 0; i < length; ++i)
        name += syllables[rng() % std::size(syllables)];
    return name;
}

std::string RandomScore(std::mt19937_64& rng, int top)
{
    switch (rng() % 12) {
    case 0:
        return {}; // blank: 0
    case 1:
        return " " + std::to_string(rng() % static_cast<unsigned>(top)) + " ";
    case 2:
        return std::to_string(rng() % static_cast<unsigned>(top)) + "." + std::to_string(rng() % 100);
    default:
        return std::to_string(rng() % static_cast<unsigned>(top)) + (rng() % 2 ? ".5" : "");
    }
}

} // namespace

CellGrid RandomTable(std::mt19937_64& rng, int students, int extraColumns)
{
    const int columns = FirstScoreColumn + SubjectCount + extraColumns;
    CellGrid grid(columns, students + 1);
    const char* const header[] = {"姓名", "性别", "班级", "总分", "语文", "数学", "英语", "物理", "化学", "", "政治"};
    for (int c = 0; c < static_cast<int>(std::size(header)); ++c)
        grid.setCell(c + 1, 0, header[c]);
    for (int e = 0; e < extraColumns; ++e)
        grid.setCell(FirstScoreColumn + SubjectCount + e, 0, "规则" + std::to_string(e + 1));
    std::vector<std::string> names;
    for (int row = 0; row <= students; ++row)
        grid.setCell(0, row, std::to_string(row));
    for (int row = 1; row <= students; ++row) {
        if (rng() % 50 == 0)
            continue; // an empty line
        names.push_back(!names.empty() && rng() % 20 == 0 ? names[rng() % names.size()] : RandomName(rng));
        grid.setCell(1, row, names.back());
        const unsigned roll = rng() % 100;
        grid.setCell(2, row, roll < 48 ? "男" : roll < 96 ? "女" : roll < 98 ? "M" : "");
        if (rng() % 8 == 0)
            grid.setCell(3, row, std::to_string(rng() % 5));
        const int used = 5 + static_cast<int>(rng() % 7);
        for (int s = 0; s < used; ++s)
            grid.setCell(FirstScoreColumn + s, row, RandomScore(rng, s == 0 ? 750 : 120));
        for (int e = 0; e < extraColumns; ++e)
            if (rng() % 3 == 0)
                grid.setCell(FirstScoreColumn + SubjectCount + e, row, RandomName(rng));
    }
    return grid;
}

void World::restore(const Snapshot& snapshot)
{
    division.restore(snapshot);
}

void Paste(World& world, const CellGrid& table)
{
    world.division.readTable(table, ".");
}

std::string RandomAction(World& world, std::mt19937_64& rng, bool withChoices)
{
    Division& d = world.division;
    const DivisionState& s = d.state();
    const int roll = static_cast<int>(rng() % (withChoices ? 100 : 80));
    if (roll < 5) {
        Paste(world, RandomTable(rng, 3 + static_cast<int>(rng() % 60), static_cast<int>(rng() % 3)));
        return "读入数据";
    }
    if (roll < 12) {
        const int count = 1 + static_cast<int>(rng() % 8);
        if (count == d.classCount())
            return {};
        d.setClassCount(count);
        return "分班数";
    }
    if (roll < 25)
        return d.assign() ? "编班" : "";
    if (roll < 60) {
        const Settings kept = d.settings();
        const bool manual = rng() % 3 == 0;
        d.setManual(manual);
        d.setPair(1 + static_cast<int>(rng() % 4), 1 + static_cast<int>(rng() % 4));
        if (manual)
            d.setSubject(static_cast<int>(rng() % SubjectCount));
        d.setCoefficient(static_cast<std::int32_t>(rng() % 4));
        const bool swapped = d.press() == BalanceOutcome::Swapped;
        // The press's own choices are the user's between steps: put back.
        d.setManual(kept.manual);
        d.setPair(kept.classA, kept.classB);
        d.setSubject(kept.subject);
        d.setCoefficient(kept.coefficient);
        return swapped ? "调整" : "";
    }
    if (roll < 80) {
        // A hand move from a listing; the listing chosen for it is part of the step.
        const int shown = s.FClasses.empty() ? -1 : static_cast<int>(rng() % (s.FClasses.size() + 1)) - 1;
        const std::size_t listed = shown < 0 ? s.FStudents.size() : s.FClasses[shown].size();
        if (listed == 0 || s.FClasses.empty())
            return {};
        const Snapshot before = d.capture(); // a move that fails leaves the listing as it was
        d.setListing(shown);
        const int position = static_cast<int>(rng() % listed);
        if (!d.move(position, static_cast<int>(rng() % s.FClasses.size()))) {
            d.restore(before);
            return {};
        }
        return "调班";
    }
    // Choices: none is a step.
    switch (rng() % 4) {
    case 0:
        d.setCoefficient(static_cast<std::int32_t>(rng() % 7) - 1);
        d.setRankBands(RankBandChoices[rng() % std::size(RankBandChoices)]);
        break;
    case 1:
        d.setManual(!d.settings().manual);
        d.setPair(1 + static_cast<int>(rng() % 4), 1 + static_cast<int>(rng() % 4));
        break;
    case 2:
        d.setListing(static_cast<int>(rng() % (s.FClasses.size() + 1)) - 1);
        break;
    default:
        d.setSelectedCell(static_cast<int>(rng() % 15), static_cast<int>(rng() % 30));
        d.setSubject(static_cast<int>(rng() % 12) - 1);
        break;
    }
    return {};
}

Snapshot Filed(Snapshot snapshot)
{
    snapshot.selCol = -1;
    snapshot.selRow = -1;
    return snapshot;
}

World RandomWorld(std::mt19937_64& rng, int students, int actions)
{
    World world;
    Paste(world, RandomTable(rng, students, static_cast<int>(rng() % 4)));
    for (int i = 0; i < actions; ++i)
        RandomAction(world, rng, true);
    return world;
}

Snapshot RecoveryChildWork(unsigned seed)
{
    std::mt19937_64 rng(seed);
    return RandomWorld(rng, 40, 25).capture();
}

std::string StateDifference(const DivisionState& a, const DivisionState& b)
{
    if (std::string difference = testkit::FirstDifference(a, b); !difference.empty())
        return difference;
    const auto indexOf = [](const DivisionState& s, PStudent p) {
        for (std::size_t i = 0; i < s.Records.size(); ++i)
            if (s.Records[i].get() == p)
                return i;
        return s.Records.size();
    };
    const auto sameList = [&](const TStudentList& x, const TStudentList& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(),
            [&](PStudent p, PStudent q) { return indexOf(a, p) == indexOf(b, q); });
    };
    if (!sameList(a.FGroupA, b.FGroupA) || !sameList(a.FGroupB, b.FGroupB))
        return "gender groups";
    for (std::size_t i = 0; i < a.Records.size(); ++i) {
        const TStudent& x = *a.Records[i];
        const TStudent& y = *b.Records[i];
        if (!(x.Name == y.Name) || !(x.Gender == y.Gender)
            || !std::equal(x.Scores.begin(), x.Scores.end(), y.Scores.begin(), testkit::SameBits))
            return "record " + std::to_string(i);
    }
    const RosterRuleTexts& ra = a.RuleTexts;
    const RosterRuleTexts& rb = b.RuleTexts;
    const auto sameColumn = [](const RuleColumn& x, const RuleColumn& y) {
        return x.kind == y.kind && x.gridColumn == y.gridColumn && x.header == y.header;
    };
    const auto sameCells = [](const std::vector<RuleCell>& x, const std::vector<RuleCell>& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(),
            [](const RuleCell& p, const RuleCell& q) { return p.column == q.column && p.text == q.text; });
    };
    if (!std::equal(ra.columns.begin(), ra.columns.end(), rb.columns.begin(), rb.columns.end(), sameColumn)
        || !std::equal(ra.cells.begin(), ra.cells.end(), rb.cells.begin(), rb.cells.end(), sameCells))
        return "rule columns";
    if (!(a.ExtraTexts == b.ExtraTexts))
        return "extra columns";
    return {};
}

OptimiseControl QuickControl(int effort)
{
    OptimiseControl control;
    control.threads = 1;
    control.effort = effort;
    return control;
}

} // namespace fenban::sessiontest
