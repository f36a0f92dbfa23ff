#pragma once

#include "document/Division.h"
#include "engine/DivisionState.h"
#include "engine/Optimiser.h"
#include "roster/CellGrid.h"
#include "session/Snapshot.h"

#include <random>
#include <string>

namespace fenban::sessiontest {

// A pasted table as the paste writes it: column 0 numbers the rows, then
// name, gender, class, scores and `extraColumns` rule columns after them.
// Names repeat now and then; some genders are odd, some cells blank.
CellGrid RandomTable(std::mt19937_64& rng, int students, int extraColumns);

// The division document as the window drives it, without the window.
struct World {
    Division division;

    const DivisionState& state() const { return division.state(); }
    Snapshot capture() const { return division.capture(); }
    Choices choices() const { return division.choices(); }
    void restore(const Snapshot& snapshot);
};

// 读入数据: the document reads the table.
void Paste(World& world, const CellGrid& table);

// One random action. Returns the name of the step when it changed the
// division (分班数, 编班, 调整, 调班, 读入数据), empty for a choice that is
// no step (listing, cell, coefficient, pair) or a press that changed nothing.
std::string RandomAction(World& world, std::mt19937_64& rng, bool withChoices);

// What a division file keeps of a snapshot: all but the chosen cell.
Snapshot Filed(Snapshot snapshot);

// A world after a paste of `students` and `actions` random actions.
World RandomWorld(std::mt19937_64& rng, int students, int actions);

// The work recovery_child keeps, the same for a seed in any process.
Snapshot RecoveryChildWork(unsigned seed);

// Records, lists, class numbers, marks, statistics and the records' read
// fields all equal, by index; empty when so, else the first difference.
std::string StateDifference(const DivisionState& a, const DivisionState& b);

// 一键均衡 kept short for tests: one thread, `effort` steps.
OptimiseControl QuickControl(int effort);

} // namespace fenban::sessiontest
