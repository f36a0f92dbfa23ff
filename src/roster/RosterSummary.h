#pragma once

#include "roster/CellGrid.h"
#include "roster/Student.h"

#include <memory>
#include <string>
#include <vector>

namespace fenban {

enum class ReadWarningKind {
    EmptyRow, // a data row without any text: a student without name or scores
    OtherGender, // a gender the division reads as neither 男 nor 女
    DuplicateName, // one name on several rows
    UnnamedScoreColumn, // a score column with values under an empty header
};

// Something in the table that would spoil the division. Rows are numbered as
// the spreadsheet numbers them: the header is row 1, the first student row 2.
struct ReadWarning {
    ReadWarningKind kind;
    std::string text; // the gender or the name as written; empty for the other kinds
    int column = -1; // UnnamedScoreColumn: the grid column (the name column is 1)
    std::vector<int> rows; // ascending
};

// What a paste or an open has read.
struct RosterSummary {
    int students = 0;
    int boys = 0; // gender 男
    int girls = 0; // gender 女
    int subjects = 0; // score columns after the total (grid columns 5..14) with a header or a value
    int classes = 0;
    std::vector<ReadWarning> warnings; // by kind, then by first row
};

// The summary of a roster built from the grid (students[i] from row i + 1)
// that is to be divided into classCount classes. Genders are judged as the
// division reads them, by their first two bytes; empty rows count only as
// empty rows.
RosterSummary SummarizeRoster(
    const CellGrid& grid, const std::vector<std::unique_ptr<TStudent>>& students, int classCount);

// "读入 600 人：男 312，女 288；9 科；分 13 个班"
std::string SummaryStatusText(const RosterSummary& summary);

// One line for the status bar, like "请注意：2 个空行，1 人的性别不是“男”或“女”。";
// empty without warnings.
std::string SummaryWarningText(const RosterSummary& summary);

// One line per warning, naming the rows, like "重名“张三”：第 3、45 行".
std::string SummaryWarningDetails(const RosterSummary& summary);

// "第 3、5、10 至 20 行": runs of three rows or more are written as a range.
std::string RowsText(const std::vector<int>& rows);

} // namespace fenban
