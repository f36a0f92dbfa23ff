#include "session/Changes.h"

#include "engine/Statistics.h"
#include "roster/RosterBuilder.h"
#include "session/SessionErrors.h"
#include "session/Snapshot.h"

#include <algorithm>
#include <numeric>

namespace fenban {

bool operator==(const AfterDivision& a, const AfterDivision& b)
{
    const auto sameTable = [](const auto& x, const auto& y) { return x == y || (x && y && *x == *y); };
    return sameTable(a.asRead, b.asRead) && sameTable(a.extrasAsRead, b.extrasAsRead) && a.readCount == b.readCount
        && a.nextId == b.nextId && a.ids == b.ids && a.left == b.left && a.changes == b.changes;
}

std::string ChangeCategory(const ChangeEntry& entry)
{
    switch (entry.kind) {
    case ChangeKind::Arrival:
        return "插班";
    case ChangeKind::Leave:
        return entry.leaveKind.empty() ? std::string("其他") : entry.leaveKind;
    case ChangeKind::Request:
        return "调班申请";
    }
    return {};
}

namespace {

AfterDivision StartOf(const Snapshot& snapshot)
{
    if (snapshot.after)
        return *snapshot.after;
    AfterDivision after;
    after.asRead = snapshot.roster.table;
    after.extrasAsRead = snapshot.roster.extras;
    after.readCount = static_cast<std::int32_t>(snapshot.studentCount());
    after.nextId = after.readCount;
    after.ids.resize(snapshot.studentCount());
    std::iota(after.ids.begin(), after.ids.end(), 0);
    return after;
}

// Every list with `index` taken out and the indices after it moved down.
SharedIndices Without(const SharedIndices& list, std::uint32_t index)
{
    auto out = std::make_shared<IndexList>();
    out->reserve(list->size());
    for (const std::uint32_t i : *list)
        if (i != index)
            out->push_back(i > index ? i - 1 : i);
    return out;
}

// The list without `index`, the others unchanged.
SharedIndices Dropped(const SharedIndices& list, std::uint32_t index)
{
    auto out = std::make_shared<IndexList>(*list);
    out->erase(std::remove(out->begin(), out->end(), index), out->end());
    return out;
}

SharedIndices With(const SharedIndices& list, std::uint32_t index)
{
    auto out = std::make_shared<IndexList>(*list);
    out->push_back(index);
    return out;
}

void Renumber(CellGrid& grid)
{
    for (int row = 0; row < grid.rowCount(); ++row)
        grid.setCell(0, row, std::to_string(row));
}

} // namespace

int RecordOfId(const Snapshot& snapshot, StudentId id)
{
    if (!snapshot.after)
        return id >= 0 && static_cast<std::size_t>(id) < snapshot.studentCount() ? id : -1;
    const std::vector<StudentId>& ids = snapshot.after->ids;
    const auto found = std::find(ids.begin(), ids.end(), id);
    return found == ids.end() ? -1 : static_cast<int>(found - ids.begin());
}

StudentId IdOfRecord(const Snapshot& snapshot, int index)
{
    return snapshot.after ? snapshot.after->ids.at(static_cast<std::size_t>(index)) : index;
}

std::vector<StudentId> NewIds(const Snapshot& snapshot, const ChangeEntry& entry)
{
    const StudentId next = snapshot.after ? snapshot.after->nextId : static_cast<StudentId>(snapshot.studentCount());
    std::vector<StudentId> ids(entry.rows.size());
    std::iota(ids.begin(), ids.end(), next);
    return ids;
}

Snapshot ApplyChange(const Snapshot& snapshot, const ChangeEntry& entry)
{
    DivisionState state;
    RosterSource source;
    return ApplyChange(snapshot, entry, state, source);
}

Snapshot ApplyChange(const Snapshot& snapshot, const ChangeEntry& entry, DivisionState& state, RosterSource& source)
{
    Snapshot next = snapshot;
    auto after = std::make_shared<AfterDivision>(StartOf(snapshot));
    CellGrid table = snapshot.roster.table->Unpack();
    RosterExtraTexts extras = *snapshot.roster.extras;
    auto classNos = std::make_shared<std::vector<std::int32_t>>(*snapshot.classNos);
    const auto at = [&](StudentId id) {
        const auto found = std::find(after->ids.begin(), after->ids.end(), id);
        if (found == after->ids.end())
            throw ChangeReplayError("记录中的学生（编号 " + std::to_string(id) + "）不在名册中");
        return static_cast<std::uint32_t>(found - after->ids.begin());
    };

    int leftIndex = -1;
    if (entry.kind == ChangeKind::Arrival) {
        for (std::size_t k = 0; k < entry.rows.size(); ++k) {
            const std::vector<std::string>& row = entry.rows[k];
            const auto index = static_cast<std::uint32_t>(classNos->size());
            const int r = table.rowCount();
            table.setRowCount(r + 1);
            if (static_cast<int>(row.size()) + 1 > table.colCount())
                table.setColCount(static_cast<int>(row.size()) + 1);
            for (std::size_t col = 0; col < row.size(); ++col)
                table.setCell(static_cast<int>(col) + 1, r, row[col]);
            if (!extras.empty()) {
                extras.cells.resize(index);
                extras.cells.push_back(k < entry.rowExtras.size() ? entry.rowExtras[k] : std::vector<std::string> {});
            }
            classNos->push_back(0);
            next.students = With(next.students, index);
            if (!next.groupA->empty() || !next.groupB->empty()) {
                // The gender group of the last 编班 whose students share his gender cell.
                const std::string gender = row.size() > 1 ? row[1] : std::string();
                const bool inA
                    = !next.groupA->empty() && table.cell(2, static_cast<int>(next.groupA->front()) + 1) == gender;
                (inA ? next.groupA : next.groupB) = With(inA ? next.groupA : next.groupB, index);
            }
            after->ids.push_back(after->nextId++);
        }
    } else if (entry.kind == ChangeKind::Leave) {
        const std::uint32_t index = at(entry.student);
        leftIndex = static_cast<int>(index);
        LeftStudent left;
        left.id = entry.student;
        const int row = static_cast<int>(index) + 1;
        for (int col = 1; col < table.heldCells(row); ++col)
            left.cells.push_back(table.cell(col, row));
        if (index < extras.cells.size())
            left.extras = extras.cells[index];
        left.classNo = (*classNos)[index];
        for (std::size_t c = 0; c < next.classes.size(); ++c)
            if (std::find(next.classes[c]->begin(), next.classes[c]->end(), index) != next.classes[c]->end())
                left.classNo = static_cast<std::int32_t>(c) + 1;
        left.date = entry.date;
        left.kind = entry.leaveKind;
        left.reason = entry.reason;
        after->left.push_back(std::move(left));

        CellGrid shorter(table.colCount(), table.rowCount() - 1);
        for (int r = 0, to = 0; r < table.rowCount(); ++r) {
            if (r == row)
                continue;
            for (int col = 0; col < table.heldCells(r); ++col)
                shorter.setCell(col, to, table.cell(col, r));
            ++to;
        }
        table = std::move(shorter);
        Renumber(table);
        if (index < extras.cells.size())
            extras.cells.erase(extras.cells.begin() + index);
        classNos->erase(classNos->begin() + index);
        next.students = Without(next.students, index);
        next.groupA = Without(next.groupA, index);
        next.groupB = Without(next.groupB, index);
        next.handPlaced = Without(next.handPlaced, index);
        for (SharedIndices& list : next.classes)
            list = Without(list, index);
        after->ids.erase(after->ids.begin() + index);
    }

    for (const auto& [id, classNo] : entry.placements) {
        if (classNo < 1 || classNo > static_cast<std::int32_t>(next.classes.size()))
            throw ChangeReplayError("记录中的班号 " + std::to_string(classNo) + " 不存在");
        const std::uint32_t index = at(id);
        for (SharedIndices& list : next.classes)
            if (std::find(list->begin(), list->end(), index) != list->end())
                list = Dropped(list, index);
        next.classes[static_cast<std::size_t>(classNo - 1)]
            = With(next.classes[static_cast<std::size_t>(classNo - 1)], index);
        (*classNos)[index] = classNo;
    }
    if (entry.kind == ChangeKind::Request) {
        const std::uint32_t index = at(entry.student);
        if (std::find(next.handPlaced->begin(), next.handPlaced->end(), index) == next.handPlaced->end()) {
            auto marked = std::make_shared<IndexList>(*next.handPlaced);
            marked->insert(std::lower_bound(marked->begin(), marked->end(), index), index);
            next.handPlaced = std::move(marked);
        }
    }

    after->changes.push_back(entry);
    next.roster.table = PackedGrid::Pack(table);
    if (!extras.empty())
        next.roster.extras = std::make_shared<const RosterExtraTexts>(std::move(extras));
    next.classNos = std::move(classNos);
    next.after = std::move(after);

    // The working copy follows without reading the table again: late
    // students' records are built from their rows under the table's header.
    const std::size_t n = snapshot.studentCount();
    if (source.built && state.Records.size() == n
        && (source.table == snapshot.roster.table || *source.table == *snapshot.roster.table)) {
        if (entry.kind == ChangeKind::Arrival && !entry.rows.empty()) {
            CellGrid added(table.colCount(), static_cast<int>(entry.rows.size()) + 1);
            for (int col = 0; col < table.colCount(); ++col)
                added.setCell(col, 0, table.cell(col, 0));
            for (std::size_t k = 0; k < entry.rows.size(); ++k)
                for (std::size_t col = 0; col < entry.rows[k].size(); ++col)
                    added.setCell(static_cast<int>(col) + 1, static_cast<int>(k) + 1, entry.rows[k][col]);
            BuiltRoster built = BuildRosterFromGrid(added, next.roster.decimalSeparator);
            const bool perRecord = state.RuleTexts.cells.size() == n;
            for (std::size_t k = 0; k < built.students.size(); ++k) {
                state.Records.push_back(std::move(built.students[k]));
                if (perRecord)
                    state.RuleTexts.cells.push_back(
                        k < built.rules.cells.size() ? built.rules.cells[k] : std::vector<RuleCell> {});
            }
        } else if (entry.kind == ChangeKind::Leave) {
            const std::size_t index = static_cast<std::size_t>(leftIndex);
            state.Records.erase(state.Records.begin() + static_cast<std::ptrdiff_t>(index));
            if (index < state.RuleTexts.cells.size())
                state.RuleTexts.cells.erase(state.RuleTexts.cells.begin() + static_cast<std::ptrdiff_t>(index));
        }
        state.ExtraTexts = *next.roster.extras;
        source = next.roster;
    }

    // The statistics of the classes as they now stand, over the students who remain.
    next.statistics = std::make_shared<const StatisticsTables>(*snapshot.statistics);
    RestoreSnapshot(next, state, source);
    for (int s = 0; s < SubjectCount; ++s)
        state.FGradeAvg[static_cast<std::size_t>(s)] = SubjectAverage(state.FStudents, s);
    state.FClassAvg.assign(next.classes.size(), TSubjectValues {});
    ComputeClassStats(state);
    next.statistics = std::make_shared<const StatisticsTables>(
        StatisticsTables {state.FGradeAvg, state.FDevSum, state.FClassAvg, state.FClassDev});
    return next;
}

} // namespace fenban
