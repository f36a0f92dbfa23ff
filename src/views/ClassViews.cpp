#include "views/ClassViews.h"

#include "roster/Gb18030.h"
#include "roster/NumberText.h"
#include "roster/RosterBuilder.h"
#include "views/StringGridModel.h"

#include <algorithm>
#include <unordered_map>

namespace fenban {

namespace {

void WriteStudent(CellGrid& cells, int row, const TStudent& student, const std::string& decimalSeparator)
{
    // The row's number is the student's place in the list, which a hand move reads.
    cells.setCell(0, row, std::to_string(row));
    cells.setCell(NameColumn, row, Gb18030ToUtf8(student.Name));
    cells.setCell(GenderColumn, row, Gb18030ToUtf8(student.Gender.view()));
    cells.setCell(ClassColumn, row, std::to_string(student.ClassNo));
    for (int s = 0; s < SubjectCount; ++s)
        cells.setCell(
            FirstScoreColumn + s, row, FormatNumber(student.Scores[static_cast<std::size_t>(s)], decimalSeparator));
}

} // namespace

void ListStudents(StringGridModel& grid, const TStudentList& list, const std::string& decimalSeparator)
{
    grid.setColCount(RosterColumns);
    grid.setRowCount(static_cast<int>(list.size()) + 1);
    grid.updateCells([&](CellGrid& cells) {
        for (std::size_t k = 1; k <= list.size(); ++k)
            WriteStudent(cells, static_cast<int>(k), *list[k - 1], decimalSeparator);
    });
}

void ListStudents(
    StringGridModel& grid, const TStudentList& list, const std::string& decimalSeparator, const DivisionState& state)
{
    const RosterRuleTexts& rules = state.RuleTexts;
    const RosterExtraTexts& extras = state.ExtraTexts;
    if (rules.empty() && extras.empty()) {
        ListStudents(grid, list, decimalSeparator);
        return;
    }
    std::unordered_map<const TStudent*, std::size_t> recordOf;
    recordOf.reserve(state.Records.size());
    for (std::size_t r = 0; r < state.Records.size(); ++r)
        recordOf.emplace(state.Records[r].get(), r);

    const auto ruleCount = static_cast<int>(rules.columns.size());
    const auto extraCount = static_cast<int>(extras.headers.size());
    const int firstExtra = RosterColumns + ruleCount;
    grid.setColCount(firstExtra + extraCount);
    grid.setRowCount(static_cast<int>(list.size()) + 1);
    grid.updateCells([&](CellGrid& cells) {
        // The subjects end before the first rule column: their headers from there on go.
        if (!rules.empty())
            for (int col = rules.columns.front().gridColumn; col < RosterColumns; ++col)
                cells.setCell(col, 0, std::string());
        for (int j = 0; j < ruleCount; ++j)
            cells.setCell(RosterColumns + j, 0, rules.columns[static_cast<std::size_t>(j)].header);
        for (int j = 0; j < extraCount; ++j)
            cells.setCell(firstExtra + j, 0, extras.headers[static_cast<std::size_t>(j)]);
        for (std::size_t k = 1; k <= list.size(); ++k) {
            const int row = static_cast<int>(k);
            WriteStudent(cells, row, *list[k - 1], decimalSeparator);
            const auto found = recordOf.find(list[k - 1]);
            const bool known = found != recordOf.end();
            for (int j = 0; j < ruleCount; ++j)
                cells.setCell(
                    RosterColumns + j, row, known ? std::string(rules.text(found->second, j)) : std::string());
            for (int j = 0; j < extraCount; ++j)
                cells.setCell(firstExtra + j, row,
                    known ? std::string(extras.text(found->second, static_cast<std::size_t>(j))) : std::string());
        }
    });
}

std::string ClassLabel(int classNo, const TStudentList& members)
{
    const auto boys = std::count_if(
        members.begin(), members.end(), [](const TStudent* student) { return student->Gender == MaleGender; });
    return std::to_string(classNo) + " (" + std::to_string(boys) + "/" + std::to_string(members.size()) + ")";
}

void ShowClassAverages(StringGridModel& grid, const ShownFigures& shown, const std::string& decimalSeparator)
{
    if (!shown.averagesDrawn) { // the empty grid of the start
        grid.setColCount(StartAverageColumns);
        grid.setRowCount(StartAverageRows);
        grid.updateCells([](CellGrid& cells) { cells.clearCells(); });
        return;
    }
    const int classCount = static_cast<int>(shown.classAverages.size());
    grid.setColCount(AverageColumns);
    grid.setRowCount(classCount + 2);
    grid.updateCells([&](CellGrid& cells) {
        for (int i = 0; i < classCount; ++i) {
            const auto index = static_cast<std::size_t>(i);
            for (int s = 0; s < SubjectCount; ++s)
                cells.setCell(s + 1, i + 1,
                    FormatNumber(shown.classAverages[index][static_cast<std::size_t>(s)], decimalSeparator));
            const Headcount& count = shown.headcounts[index];
            cells.setCell(0, i + 1,
                std::to_string(i + 1) + " (" + std::to_string(count.boys) + "/" + std::to_string(count.size) + ")");
        }
        cells.setCell(0, classCount + 1, "年级平均分");
        const auto names = static_cast<int>(shown.subjectNames.size());
        for (int s = 0; s < SubjectCount; ++s) {
            cells.setCell(s + 1, classCount + 1,
                FormatNumber(shown.gradeAverages[static_cast<std::size_t>(s)], decimalSeparator));
            cells.setCell(s + 1, 0, s < names ? shown.subjectNames[static_cast<std::size_t>(s)] : std::string());
        }
    });
}

} // namespace fenban
