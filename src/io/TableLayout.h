#pragma once

#include "common/Failure.h"
#include "io/TableFile.h"
#include "roster/ExtraColumns.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fenban {

// What a column of an opened table is taken as.
enum class ColumnRole { Name, Gender, Class, Total, Subject, Rule, Extra, Unused };

// The roles in the order the import dialog offers them, and their names there:
// 姓名 / 性别 / 班级 / 总分 / 科目 / 规则 / 附加 / 不用.
inline constexpr ColumnRole AllColumnRoles[] = {ColumnRole::Name, ColumnRole::Gender, ColumnRole::Class,
    ColumnRole::Total, ColumnRole::Subject, ColumnRole::Rule, ColumnRole::Extra, ColumnRole::Unused};
std::string_view ColumnRoleName(ColumnRole role);

// The roster takes at most ten subjects after the total.
inline constexpr int MaxSubjects = 10;

// How to read a table: which sheet (or all of them one after another), the
// header row and each column's role (columns counted from the table's first).
struct ImportChoice {
    static constexpr int MergeSheets = -1;
    int sheet = 0; // index into the sheets, or MergeSheets
    int headerRow = -1; // row index in the sheet; with MergeSheets each sheet's own is found by its texts
    std::vector<ColumnRole> roles;
    bool asIs = false; // the table is in the program's own layout: taken unchanged
};

// What reading the layout proposes for the sheets of a file.
struct ImportProposal {
    ImportChoice choice;
    bool askUser = false; // the import dialog is to be shown
    std::vector<std::string> doubts; // why, in Chinese; empty for a table in the own layout
};

// The table in the layout the paste reads (header row, then one row per
// student: 姓名, 性别, 班级, 总分, the subjects, the rule columns), each
// student's extra columns beside it, and what the reading has to say.
struct ImportedTable {
    TableRows rows;
    RosterExtraTexts extras; // entry i for the student of rows[i + 1]
    std::vector<std::string> warnings; // "第 12 行 数学：缺考", the summed total, …
    // The spreadsheet's row of each student, when they come from one sheet; empty when taken as it stands.
    std::vector<int> rowNumbers;
    // Each sheet read and its students' rows, when several sheets are read one after another.
    std::vector<std::pair<std::string, int>> sheetsRead;
};

// "读了 3 个工作表：1班 200 行，2班 198 行，3班 201 行"; empty unless several sheets were read.
std::string SheetsReadText(const ImportedTable& table);

// A table that cannot be read with the choice made: the message names the
// sheet, the row as the spreadsheet numbers it and the column.
class ImportError : public Failure {
public:
    using Failure::Failure;
};

// A header text with every blank taken out ("性 别" -> "性别").
std::string HeaderWord(std::string_view text);

// The first row holding both 姓名 and 性别 as header words; -1 when none does.
int FindHeaderRow(const TableRows& rows);

// Whether the table is already in the program's own layout: its first row is
// the header 姓名, 性别, 班级, 总分, … and every class and score cell reads as
// the roster build reads it. Such a table opens unchanged, as a paste of it.
bool IsOwnLayout(const TableRows& rows, std::string_view decimalSeparator);

// The roles proposed for the columns under the given header row, and the
// doubts about them (appended to `doubts`).
// Columns are named by their letters in the sheet, the table's first being
// the sheet's column firstColumn.
std::vector<ColumnRole> ProposeRoles(const TableRows& rows, int headerRow, std::string_view decimalSeparator,
    std::vector<std::string>& doubts, int firstColumn = 0);

// Whether every sheet with cells has a header row with the same header words.
// False when fewer than two sheets have cells.
bool SheetsShareHeader(const std::vector<TableSheet>& sheets);

// The choice proposed for a file's sheets. Unasked, as they stand: a single sheet
// with cells in the own layout, the sheet 全部 of the program's own workbook
// (its class sheets and 平均分, 均衡 left out), or several sheets all in the
// own layout under one header, merged one after another. Otherwise asked:
// the first sheet with cells (or 全部) by its header row and roles by header,
// all sheets merged when they share their header, and the doubts say which
// sheets are read.
ImportProposal ProposeImport(const std::vector<TableSheet>& sheets, std::string_view decimalSeparator);

// The header words of the choice's header row, the key under which a choice
// is remembered.
std::vector<std::string> ChosenHeader(const std::vector<TableSheet>& sheets, const ImportChoice& choice);

// Reads the sheets as chosen. Rows and columns are named as the spreadsheet
// names them: a sheet's table starts at its firstRow and firstColumn, row 0
// of the sheet being numbered firstRowNumber. Empty rows are skipped.
// Scores written as 缺考, 缺, 免考, 作弊, —, / count as empty, each one
// named in a warning. Without a total column the total is the sum of the
// subjects, added in column order in the extended type, and written so
// that the roster reads back exactly that sum. Throws ImportError (a Chinese
// message naming sheet, row and column) for a class or score cell that is no
// number, and for a choice without 姓名 or 性别 or with more than ten subjects.
ImportedTable ImportTable(const std::vector<TableSheet>& sheets, const ImportChoice& choice,
    std::string_view decimalSeparator, int firstRowNumber = 1);

// What a choice takes in Chinese: the sheet or the sheets merged, the header
// row ("合并 3 个工作表", "工作表“初一”；表头在第 3 行"); empty for a single
// table in the program's own layout.
std::string ImportChoiceText(const std::vector<TableSheet>& sheets, const ImportChoice& choice);

// The sheets read as 打开 proposes, with no one to ask (the command line):
// ProposeImport's choice as it stands, never a choice remembered by the
// window. `taken` says in Chinese what the proposal took (the sheet or the
// sheets merged, the header row, its doubts); empty for a table in the
// program's own layout. Throws what ImportTable throws.
struct ProposedImport {
    ImportedTable table;
    std::string taken;
};
ProposedImport ImportAsProposed(const std::vector<TableSheet>& sheets, std::string_view decimalSeparator);

// The first class or score cell of a table in the own layout that the roster
// does not read, as "第 5 行第 C 列（班级）的“2班”不是班级号"; empty when none.
// Rows are named by rowNumbers (entry i for the student of rows[i + 1]) or,
// without them, as the spreadsheet numbers a table starting in row 1.
std::string UnreadableCellText(
    const TableRows& rows, const std::vector<int>& rowNumbers, std::string_view decimalSeparator);

// The score cell of the largest magnitude, as "第 9 行第 E 列（语文）的“1e18”": the
// one that puts an average out of range first. Empty for a table without scores.
std::string LargestScoreText(
    const TableRows& rows, const std::vector<int>& rowNumbers, std::string_view decimalSeparator);

// A spreadsheet column's letters: 0 -> "A", 26 -> "AA".
std::string ColumnLetters(int column);

} // namespace fenban
