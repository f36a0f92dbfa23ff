#include "roster/RosterSummary.h"

#include "roster/RosterBuilder.h"

#include <algorithm>
#include <array>
#include <map>

namespace fenban {

namespace {

// A data row of the grid as the spreadsheet numbers it: the header is row 1.
int SheetRow(int gridRow)
{
    return gridRow + 1;
}

// As the score reading sees it: only characters of code 32 or less.
bool IsBlank(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; });
}

std::string Trimmed(const std::string& text)
{
    const auto kept = [](char c) { return static_cast<unsigned char>(c) > 32; };
    const auto first = std::find_if(text.begin(), text.end(), kept);
    const auto last = std::find_if(text.rbegin(), text.rend(), kept).base();
    return first < last ? std::string(first, last) : std::string();
}

bool IsEmptyRow(const CellGrid& grid, int row)
{
    for (int col = 1; col < grid.heldCells(row); ++col)
        if (!IsBlank(grid.cell(col, row)))
            return false;
    return true;
}

// Rows grouped by a text, in order of each text's first row.
using RowsByText = std::vector<std::pair<std::string, std::vector<int>>>;

void AddRow(RowsByText& groups, std::map<std::string, std::size_t>& where, const std::string& text, int row)
{
    const auto [at, added] = where.emplace(text, groups.size());
    if (added)
        groups.push_back({text, {}});
    groups[at->second].second.push_back(row);
}

std::string Quoted(const std::string& text)
{
    return "“" + text + "”";
}

} // namespace

RosterSummary SummarizeRoster(
    const CellGrid& grid, const std::vector<std::unique_ptr<TStudent>>& students, int classCount)
{
    RosterSummary summary;
    summary.students = static_cast<int>(students.size());
    summary.classes = classCount;

    std::vector<int> emptyRows;
    RowsByText genders, names;
    std::map<std::string, std::size_t> genderAt, nameAt;
    for (std::size_t i = 0; i < students.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        const TStudent& student = *students[i];
        if (student.Gender == MaleGender)
            ++summary.boys;
        else if (student.Gender == FemaleGender)
            ++summary.girls;
        if (IsEmptyRow(grid, row)) {
            emptyRows.push_back(SheetRow(row));
            continue;
        }
        if (!(student.Gender == MaleGender) && !(student.Gender == FemaleGender))
            AddRow(genders, genderAt, grid.cell(GenderColumn, row), SheetRow(row));
        if (const std::string name = Trimmed(grid.cell(NameColumn, row)); !name.empty())
            AddRow(names, nameAt, name, SheetRow(row));
    }

    if (!emptyRows.empty())
        summary.warnings.push_back({ReadWarningKind::EmptyRow, {}, -1, emptyRows});
    for (auto& [text, rows] : genders)
        summary.warnings.push_back({ReadWarningKind::OtherGender, text, -1, std::move(rows)});
    for (auto& [text, rows] : names)
        if (rows.size() > 1)
            summary.warnings.push_back({ReadWarningKind::DuplicateName, text, -1, std::move(rows)});

    const int dataRows = static_cast<int>(students.size());
    // The score columns end before the first rule column, as the roster reads them.
    const std::vector<RuleColumn> rules = FindRuleColumns(grid);
    const int scoreEnd = rules.empty() ? FirstScoreColumn + SubjectCount : rules.front().gridColumn;
    for (int s = 0; s < SubjectCount && FirstScoreColumn + s < scoreEnd; ++s) {
        const int col = FirstScoreColumn + s;
        std::vector<int> filled;
        for (int row = 1; row <= dataRows; ++row)
            if (!IsBlank(grid.cell(col, row)))
                filled.push_back(SheetRow(row));
        const bool named = !IsBlank(grid.cell(col, 0));
        if (s > 0 && (named || !filled.empty()))
            ++summary.subjects;
        if (!named && !filled.empty())
            summary.warnings.push_back({ReadWarningKind::UnnamedScoreColumn, {}, col, std::move(filled)});
    }
    return summary;
}

std::string SummaryStatusText(const RosterSummary& s)
{
    return "读入 " + std::to_string(s.students) + " 人：男 " + std::to_string(s.boys) + "，女 "
        + std::to_string(s.girls) + "；" + std::to_string(s.subjects) + " 科；分 " + std::to_string(s.classes)
        + " 个班";
}

std::string SummaryWarningText(const RosterSummary& summary)
{
    std::array<std::size_t, 4> counts {}; // by kind: rows, rows, names, columns
    for (const ReadWarning& w : summary.warnings) {
        const bool byRows = w.kind == ReadWarningKind::EmptyRow || w.kind == ReadWarningKind::OtherGender;
        counts[static_cast<std::size_t>(w.kind)] += byRows ? w.rows.size() : 1;
    }
    const std::array<const char*, 4> parts = {" 个空行", " 人的性别不是“男”或“女”", " 个姓名重复", " 列成绩没有科目名"};
    std::string text;
    for (std::size_t k = 0; k < counts.size(); ++k)
        if (counts[k] > 0)
            text += (text.empty() ? "请注意：" : "，") + std::to_string(counts[k]) + parts[k];
    return text.empty() ? text : text + "。";
}

std::string SummaryWarningDetails(const RosterSummary& summary)
{
    std::string details;
    for (const ReadWarning& w : summary.warnings) {
        if (!details.empty())
            details += "\n";
        switch (w.kind) {
        case ReadWarningKind::EmptyRow:
            details += "空行（每行算作一个没有姓名的学生）：";
            break;
        case ReadWarningKind::OtherGender:
            details += Trimmed(w.text).empty() ? std::string("性别空着：")
                                               : "性别写作" + Quoted(w.text) + "，不是“男”或“女”：";
            break;
        case ReadWarningKind::DuplicateName:
            details += "重名" + Quoted(w.text) + "：";
            break;
        case ReadWarningKind::UnnamedScoreColumn:
            details += "第 " + std::to_string(w.column) + " 列有成绩，但没有科目名：";
            break;
        }
        details += RowsText(w.rows);
    }
    return details;
}

std::string RowsText(const std::vector<int>& rows)
{
    std::string text = "第 ";
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t end = i + 1;
        while (end < rows.size() && rows[end] == rows[end - 1] + 1)
            ++end;
        if (i > 0)
            text += "、";
        text += std::to_string(rows[i]);
        if (end - i >= 3) {
            text += " 至 " + std::to_string(rows[end - 1]);
            i = end;
        } else {
            ++i;
        }
    }
    return text + " 行";
}

} // namespace fenban
