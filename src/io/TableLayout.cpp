#include "io/TableLayout.h"

#include "roster/NumberText.h"
#include "roster/RosterBuilder.h"
#include "roster/RuleColumns.h"
#include "roster/ScoreParser.h"
#include "roster/Student.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

namespace fenban {

namespace {

constexpr std::array<std::string_view, 13> KnownSubjects
    = {"语文", "数学", "英语", "物理", "化学", "生物", "政治", "道德与法治", "历史", "地理", "信息", "科学", "体育"};
constexpr std::array<std::string_view, 5> ClassWords = {"班级", "班别", "班", "原班级", "原班"};
constexpr std::array<std::string_view, 4> TotalWords = {"总分", "总成绩", "合计", "总计"};
// Columns that hold numbers but are no scores.
constexpr std::array<std::string_view, 16> ExtraWords = {"序号", "学号", "考号", "准考证号", "学籍号", "身份证号",
    "身份证", "编号", "座号", "电话", "联系电话", "手机", "备注", "年龄", "出生日期", "生日"};
// What schools write for a score that is missing.
constexpr std::array<std::string_view, 10> AbsenceWords
    = {"缺考", "缺", "免考", "作弊", "—", "——", "/", "／", "-", "－"};

template <std::size_t N> bool OneOf(std::string_view word, const std::array<std::string_view, N>& words)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool IsAbsence(std::string_view text)
{
    return OneOf(TrimRuleText(text), AbsenceWords);
}

bool IsScore(std::string_view text, std::string_view decimalSeparator)
{
    try {
        ParseScore(text, decimalSeparator);
        return true;
    } catch (const ConversionError&) {
        return false;
    }
}

bool IsClassNo(std::string_view text, std::string_view decimalSeparator)
{
    try {
        ParseClassNo(text, decimalSeparator);
        return true;
    } catch (const ConversionError&) {
        return false;
    }
}

const std::string& Cell(const TableRows& rows, std::size_t row, std::size_t column)
{
    static const std::string empty;
    return column < rows[row].size() ? rows[row][column] : empty;
}

bool BlankRow(const std::vector<std::string>& row)
{
    return std::all_of(row.begin(), row.end(), [](const std::string& cell) { return TrimRuleText(cell).empty(); });
}

// A rule column's header as the roster is to find it: "同 班" is 同班, as for the
// import. Other headers stay as written.
std::string RuleHeader(const std::string& header)
{
    std::string word = HeaderWord(header);
    return RuleColumnKindOfHeader(word) ? word : header;
}

std::size_t WidthFrom(const TableRows& rows, std::size_t first)
{
    std::size_t width = 0;
    for (std::size_t r = first; r < rows.size(); ++r)
        width = std::max(width, rows[r].size());
    return width;
}

std::vector<std::string> HeaderWords(const TableRows& rows, int headerRow)
{
    std::vector<std::string> words;
    if (headerRow < 0 || static_cast<std::size_t>(headerRow) >= rows.size())
        return words;
    for (const std::string& cell : rows[static_cast<std::size_t>(headerRow)])
        words.push_back(HeaderWord(cell));
    while (!words.empty() && words.back().empty())
        words.pop_back();
    return words;
}

int FirstSheetWithCells(const std::vector<TableSheet>& sheets)
{
    for (std::size_t s = 0; s < sheets.size(); ++s)
        if (!sheets[s].rows.empty())
            return static_cast<int>(s);
    return -1;
}

// The shortest text, from 15 significant digits on, that ParseScore reads
// back as exactly the value.
std::string ExactScoreText(long double value, std::string_view decimalSeparator)
{
    std::string text = FormatNumber(value, decimalSeparator);
    for (int digits = 16; ParseScore(text, decimalSeparator) != value && digits <= 21; ++digits) {
        char buffer[64];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits).ptr;
        text.clear();
        for (const char* c = buffer; c != end; ++c) {
            if (*c == '.')
                text += decimalSeparator;
            else
                text += *c;
        }
    }
    return text;
}

struct Place {
    std::string sheetPrefix; // "工作表“2班”" when several sheets are read, else empty
    std::string sheetName;
    int rowNumber;
    int firstColumn = 0; // of the sheet's table, for the column's letters
};

[[noreturn]] void ThrowBadCell(
    const Place& place, std::size_t column, const std::string& header, const std::string& text, std::string_view what)
{
    throw ImportError("不能读入表格：工作表“" + place.sheetName + "”第 " + std::to_string(place.rowNumber) + " 行第 "
        + ColumnLetters(static_cast<int>(column) + place.firstColumn) + " 列（" + header + "）的“" + text + "”不是"
        + std::string(what) + "。");
}

struct Layout {
    std::optional<std::size_t> name, gender, classNo, total;
    std::vector<std::size_t> subjects, rules, extras;
};

Layout CheckedLayout(const std::vector<ColumnRole>& roles)
{
    Layout layout;
    const auto single = [](std::optional<std::size_t>& slot, std::size_t column, std::string_view word) {
        if (slot)
            throw ImportError("只能有一列当作“" + std::string(word) + "”。");
        slot = column;
    };
    for (std::size_t c = 0; c < roles.size(); ++c) {
        switch (roles[c]) {
        case ColumnRole::Name:
            single(layout.name, c, "姓名");
            break;
        case ColumnRole::Gender:
            single(layout.gender, c, "性别");
            break;
        case ColumnRole::Class:
            single(layout.classNo, c, "班级");
            break;
        case ColumnRole::Total:
            single(layout.total, c, "总分");
            break;
        case ColumnRole::Subject:
            layout.subjects.push_back(c);
            break;
        case ColumnRole::Rule:
            layout.rules.push_back(c);
            break;
        case ColumnRole::Extra:
            layout.extras.push_back(c);
            break;
        case ColumnRole::Unused:
            break;
        }
    }
    if (!layout.name)
        throw ImportError("没有一列当作“姓名”。");
    if (!layout.gender)
        throw ImportError("没有一列当作“性别”。");
    if (layout.subjects.size() > static_cast<std::size_t>(MaxSubjects))
        throw ImportError("科目最多 " + std::to_string(MaxSubjects) + " 个。");
    return layout;
}

class Importer {
public:
    Importer(const Layout& layout, const std::vector<std::string>& headers, std::string_view decimalSeparator)
        : layout_(layout)
        , headers_(headers)
        , separator_(decimalSeparator)
    {
    }

    void readRow(const std::vector<std::string>& cells, const Place& place, ImportedTable& table)
    {
        const auto cell = [&cells](std::size_t c) { return c < cells.size() ? cells[c] : std::string(); };
        std::vector<std::string> row {cell(*layout_.name), cell(*layout_.gender)};
        row.push_back(layout_.classNo ? classText(cell(*layout_.classNo), *layout_.classNo, place) : std::string());
        long double sum = 0.0L;
        std::vector<std::string> subjects;
        for (const std::size_t c : layout_.subjects) {
            subjects.push_back(scoreText(cell(c), c, place, table));
            sum += ParseScore(subjects.back(), separator_);
        }
        if (!layout_.total && !std::isfinite(sum))
            throw ImportError("不能读入表格：工作表“" + place.sheetName + "”第 " + std::to_string(place.rowNumber)
                + " 行的各科成绩之和太大。");
        row.push_back(layout_.total ? scoreText(cell(*layout_.total), *layout_.total, place, table)
                                    : ExactScoreText(sum, separator_));
        row.insert(row.end(), subjects.begin(), subjects.end());
        for (const std::size_t c : layout_.rules)
            row.push_back(cell(c));
        while (!row.empty() && row.back().empty())
            row.pop_back();
        table.rows.push_back(std::move(row));
        std::vector<std::string> extras;
        for (const std::size_t c : layout_.extras)
            extras.push_back(cell(c));
        table.extras.cells.push_back(std::move(extras));
    }

private:
    std::string header(std::size_t c) const
    {
        return c < headers_.size() ? std::string(TrimRuleText(headers_[c])) : std::string();
    }

    std::string classText(const std::string& text, std::size_t c, const Place& place) const
    {
        if (IsClassNo(text, separator_))
            return text;
        // "3班" is class 3.
        std::string_view number = TrimRuleText(text);
        if (number.ends_with("班"))
            number.remove_suffix(std::string_view("班").size());
        if (!number.empty() && IsClassNo(number, separator_))
            return std::string(number);
        ThrowBadCell(place, c, header(c), text, "班级号");
    }

    std::string scoreText(const std::string& text, std::size_t c, const Place& place, ImportedTable& table) const
    {
        if (IsScore(text, separator_))
            return text;
        if (IsAbsence(text)) {
            table.warnings.push_back(place.sheetPrefix + "第 " + std::to_string(place.rowNumber) + " 行 " + header(c)
                + "：" + std::string(TrimRuleText(text)));
            return std::string();
        }
        ThrowBadCell(place, c, header(c), text, "分数");
    }

    const Layout& layout_;
    const std::vector<std::string>& headers_;
    std::string_view separator_;
};

} // namespace

std::string_view ColumnRoleName(ColumnRole role)
{
    switch (role) {
    case ColumnRole::Name:
        return "姓名";
    case ColumnRole::Gender:
        return "性别";
    case ColumnRole::Class:
        return "班级";
    case ColumnRole::Total:
        return "总分";
    case ColumnRole::Subject:
        return "科目";
    case ColumnRole::Rule:
        return "规则";
    case ColumnRole::Extra:
        return "附加";
    case ColumnRole::Unused:
        break;
    }
    return "不用";
}

std::string HeaderWord(std::string_view text)
{
    std::string word;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) <= 32)
            i += 1;
        else if (text.substr(i).starts_with("\xC2\xA0")) // no-break space
            i += 2;
        else if (text.substr(i).starts_with("\xE3\x80\x80")) // ideographic space
            i += 3;
        else
            word += text[i++];
    }
    return word;
}

int FindHeaderRow(const TableRows& rows)
{
    for (std::size_t r = 0; r < rows.size(); ++r) {
        bool name = false;
        bool gender = false;
        for (const std::string& cell : rows[r]) {
            const std::string word = HeaderWord(cell);
            name = name || word == "姓名";
            gender = gender || word == "性别";
        }
        if (name && gender)
            return static_cast<int>(r);
    }
    return -1;
}

bool IsOwnLayout(const TableRows& rows, std::string_view decimalSeparator)
{
    if (rows.empty())
        return false;
    const std::vector<std::string> header = HeaderWords(rows, 0);
    if (header.size() < 4 || header[0] != "姓名" || header[1] != "性别" || header[2] != "班级" || header[3] != "总分")
        return false;
    // The scores end before the first rule column, as the roster build reads them.
    std::size_t scoreEnd = FirstScoreColumn - 1 + SubjectCount;
    for (std::size_t c = FirstRuleColumn - 1; c < std::min(scoreEnd, rows[0].size()); ++c) {
        if (RuleColumnKindOfHeader(HeaderWord(rows[0][c]))) {
            scoreEnd = c;
            break;
        }
    }
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (BlankRow(rows[r]))
            continue; // left out when opened
        if (!IsClassNo(Cell(rows, r, 2), decimalSeparator))
            return false;
        for (std::size_t c = FirstScoreColumn - 1; c < scoreEnd; ++c)
            if (!IsScore(Cell(rows, r, c), decimalSeparator))
                return false;
    }
    return true;
}

std::vector<ColumnRole> ProposeRoles(const TableRows& rows, int headerRow, std::string_view decimalSeparator,
    std::vector<std::string>& doubts, int firstColumn)
{
    const auto first = static_cast<std::size_t>(std::max(headerRow, 0));
    const std::size_t width = rows.empty() ? 0 : WidthFrom(rows, first);
    std::vector<ColumnRole> roles(width, ColumnRole::Unused);
    bool name = false, gender = false, classNo = false, total = false;
    int subjects = 0;
    for (std::size_t c = 0; c < width; ++c) {
        const std::string& text = rows.empty() ? std::string() : Cell(rows, first, c);
        const std::string word = HeaderWord(text);
        int numbers = 0;
        bool others = false;
        for (std::size_t r = first + 1; r < rows.size(); ++r) {
            const std::string& cell = Cell(rows, r, c);
            if (TrimRuleText(cell).empty() || IsAbsence(cell))
                continue;
            if (IsScore(cell, decimalSeparator))
                ++numbers;
            else
                others = true;
        }
        const std::string place = "第 " + ColumnLetters(static_cast<int>(c) + firstColumn) + " 列";
        const auto once = [&](bool& seen, ColumnRole role) {
            if (seen) {
                doubts.push_back(place + "“" + word + "”重复，当作附加列");
                return ColumnRole::Extra;
            }
            seen = true;
            return role;
        };
        ColumnRole& role = roles[c];
        if (word.empty()) {
            if (numbers > 0 || others)
                doubts.push_back(place + "没有标题，不用");
            role = ColumnRole::Unused;
        } else if (word == "姓名") {
            role = once(name, ColumnRole::Name);
        } else if (word == "性别") {
            role = once(gender, ColumnRole::Gender);
        } else if (OneOf(word, ClassWords)) {
            role = once(classNo, ColumnRole::Class);
        } else if (OneOf(word, TotalWords)) {
            role = once(total, ColumnRole::Total);
        } else if (RuleColumnKindOfHeader(word)) {
            role = ColumnRole::Rule;
        } else if (OneOf(word, ExtraWords)) {
            role = ColumnRole::Extra;
        } else if (OneOf(word, KnownSubjects) || (numbers > 0 && !others)) {
            if (subjects == MaxSubjects) {
                doubts.push_back(place + "“" + word + "”：科目最多 " + std::to_string(MaxSubjects) + " 个，不用");
                role = ColumnRole::Unused;
            } else {
                if (!OneOf(word, KnownSubjects))
                    doubts.push_back(place + "“" + word + "”都是数字，当作科目");
                ++subjects;
                role = ColumnRole::Subject;
            }
        } else {
            role = ColumnRole::Extra;
        }
    }
    if (!name)
        doubts.push_back("没有找到“姓名”列");
    if (!gender)
        doubts.push_back("没有找到“性别”列");
    if (!total && subjects > 0)
        doubts.push_back("没有“总分”列：总分按各科成绩相加");
    return roles;
}

bool SheetsShareHeader(const std::vector<TableSheet>& sheets)
{
    std::optional<std::vector<std::string>> shared;
    int withCells = 0;
    for (const TableSheet& sheet : sheets) {
        if (sheet.rows.empty())
            continue;
        ++withCells;
        const int headerRow = FindHeaderRow(sheet.rows);
        if (headerRow < 0)
            return false;
        std::vector<std::string> words = HeaderWords(sheet.rows, headerRow);
        if (shared && *shared != words)
            return false;
        shared = std::move(words);
    }
    return withCells >= 2;
}

namespace {

// The sheet 全部 of the program's own workbook: the other sheets are its class
// lists under the same header, or its 平均分 and 均衡. -1 when there is none.
int GradeSheet(const std::vector<TableSheet>& sheets)
{
    const auto grade = std::find_if(
        sheets.begin(), sheets.end(), [](const TableSheet& sheet) { return HeaderWord(sheet.name) == "全部"; });
    if (grade == sheets.end() || FindHeaderRow(grade->rows) < 0)
        return -1;
    const std::vector<std::string> header = HeaderWords(grade->rows, FindHeaderRow(grade->rows));
    for (const TableSheet& sheet : sheets) {
        if (sheet.rows.empty() || &sheet == &*grade || sheet.name == "平均分" || sheet.name == "均衡")
            continue;
        const int headerRow = FindHeaderRow(sheet.rows);
        if (headerRow < 0 || HeaderWords(sheet.rows, headerRow) != header)
            return -1;
    }
    return static_cast<int>(grade - sheets.begin());
}

// Whether every sheet with cells is in the own layout, all under one header.
bool OwnLayoutSheets(const std::vector<TableSheet>& sheets, std::string_view decimalSeparator)
{
    std::optional<std::vector<std::string>> shared;
    for (const TableSheet& sheet : sheets) {
        if (sheet.rows.empty())
            continue;
        if (!IsOwnLayout(sheet.rows, decimalSeparator) || (shared && *shared != HeaderWords(sheet.rows, 0)))
            return false;
        shared = HeaderWords(sheet.rows, 0);
    }
    return true;
}

} // namespace

ImportProposal ProposeImport(const std::vector<TableSheet>& sheets, std::string_view decimalSeparator)
{
    ImportProposal proposal;
    const int first = FirstSheetWithCells(sheets);
    if (first < 0)
        throw ImportError("表格里没有数据。");
    ImportChoice& choice = proposal.choice;
    choice.sheet = first;
    const int withCells = static_cast<int>(
        std::count_if(sheets.begin(), sheets.end(), [](const TableSheet& sheet) { return !sheet.rows.empty(); }));
    const int grade = withCells > 1 ? GradeSheet(sheets) : -1;
    if (grade >= 0)
        choice.sheet = grade;
    const TableSheet& sheet = sheets[static_cast<std::size_t>(choice.sheet)];
    const TableRows& rows = sheet.rows;
    // The own layout opens unasked: a single sheet, the 全部 of the program's workbook, or
    // sheets sharing one header, one after another.
    if ((withCells == 1 || grade >= 0) && IsOwnLayout(rows, decimalSeparator)) {
        choice.headerRow = 0;
        choice.asIs = true;
        return proposal;
    }
    if (grade < 0 && OwnLayoutSheets(sheets, decimalSeparator)) {
        choice.sheet = ImportChoice::MergeSheets;
        choice.headerRow = 0;
        choice.asIs = true;
        return proposal;
    }
    if (grade >= 0) {
        proposal.doubts.push_back("工作表“" + sheet.name + "”含各班工作表的全部学生：只读这一个工作表");
    } else if (SheetsShareHeader(sheets)) {
        choice.sheet = ImportChoice::MergeSheets;
        proposal.doubts.push_back("各工作表的表头相同：合并所有工作表，一个接一个读入");
    } else if (withCells > 1) {
        proposal.doubts.push_back("工作簿有 " + std::to_string(withCells) + " 个有数据的工作表，表头不同：只读工作表“"
            + sheet.name + "”，可以另选");
    }
    choice.headerRow = FindHeaderRow(rows);
    if (choice.headerRow < 0) {
        proposal.doubts.push_back("没有找到含“姓名”和“性别”的表头行");
        choice.headerRow = 0;
    } else if (choice.headerRow > 0) {
        proposal.doubts.push_back(
            "表头在第 " + std::to_string(sheet.firstRow + choice.headerRow + 1) + " 行，上面的行不读");
    }
    choice.roles = ProposeRoles(rows, choice.headerRow, decimalSeparator, proposal.doubts, sheet.firstColumn);
    proposal.askUser = true;
    return proposal;
}

namespace {

// Own-layout sheets as they stand: the header, then each sheet's rows (all sheets with
// cells when `only` is -1). Rows without text between students are left out, as the
// import leaves them out; each student's spreadsheet row is kept when some are.
ImportedTable OwnLayoutTable(const std::vector<TableSheet>& sheets, int only, int firstRowNumber)
{
    ImportedTable table;
    bool skipped = false;
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        const TableSheet& sheet = sheets[s];
        if (sheet.rows.empty() || (only >= 0 && static_cast<int>(s) != only))
            continue;
        if (table.rows.empty()) {
            table.rows.push_back(sheet.rows[0]);
            for (std::size_t c = FirstRuleColumn - 1; c < table.rows[0].size(); ++c)
                table.rows[0][c] = RuleHeader(table.rows[0][c]);
        }
        int read = 0;
        for (std::size_t r = 1; r < sheet.rows.size(); ++r) {
            if (BlankRow(sheet.rows[r])) {
                skipped = true;
                continue;
            }
            table.rows.push_back(sheet.rows[r]);
            table.rowNumbers.push_back(static_cast<int>(r) + sheet.firstRow + firstRowNumber);
            ++read;
        }
        if (only < 0)
            table.sheetsRead.emplace_back(sheet.name, read);
    }
    if (only < 0 || !skipped)
        table.rowNumbers.clear();
    return table;
}

} // namespace

std::vector<std::string> ChosenHeader(const std::vector<TableSheet>& sheets, const ImportChoice& choice)
{
    const int sheet = choice.sheet == ImportChoice::MergeSheets ? FirstSheetWithCells(sheets) : choice.sheet;
    if (sheet < 0 || static_cast<std::size_t>(sheet) >= sheets.size())
        return {};
    return HeaderWords(sheets[static_cast<std::size_t>(sheet)].rows, choice.headerRow);
}

ImportedTable ImportTable(const std::vector<TableSheet>& sheets, const ImportChoice& choice,
    std::string_view decimalSeparator, int firstRowNumber)
{
    const bool merge = choice.sheet == ImportChoice::MergeSheets;
    if (!merge && (choice.sheet < 0 || static_cast<std::size_t>(choice.sheet) >= sheets.size()))
        throw ImportError("没有这个工作表。");
    if (choice.asIs)
        return OwnLayoutTable(sheets, merge ? -1 : choice.sheet, firstRowNumber);

    const Layout layout = CheckedLayout(choice.roles);
    const std::vector<std::string> chosen = ChosenHeader(sheets, choice);
    const int firstSheet = merge ? FirstSheetWithCells(sheets) : choice.sheet;
    if (firstSheet < 0)
        throw ImportError("表格里没有数据。");
    const TableRows& firstRows = sheets[static_cast<std::size_t>(firstSheet)].rows;
    if (choice.headerRow < 0 || static_cast<std::size_t>(choice.headerRow) >= firstRows.size())
        throw ImportError("没有这个表头行。");
    const std::vector<std::string>& headerCells = firstRows[static_cast<std::size_t>(choice.headerRow)];

    ImportedTable table;
    const auto header = [&headerCells](std::size_t c) {
        return c < headerCells.size() ? std::string(TrimRuleText(headerCells[c])) : std::string();
    };
    std::vector<std::string> top {"姓名", "性别", "班级", "总分"};
    for (const std::size_t c : layout.subjects)
        top.push_back(header(c));
    for (const std::size_t c : layout.rules)
        top.push_back(c < headerCells.size() ? RuleHeader(headerCells[c]) : std::string());
    table.rows.push_back(std::move(top));
    for (const std::size_t c : layout.extras)
        table.extras.headers.push_back(header(c));
    if (!layout.total && !layout.subjects.empty())
        table.warnings.push_back("没有总分列：总分是各科成绩按列的顺序相加之和");

    Importer importer(layout, headerCells, decimalSeparator);
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        const TableSheet& sheet = sheets[s];
        if (merge ? sheet.rows.empty() : static_cast<int>(s) != choice.sheet)
            continue;
        int headerRow = choice.headerRow;
        if (merge && static_cast<int>(s) != firstSheet) {
            headerRow = -1;
            for (std::size_t r = 0; r < sheet.rows.size() && headerRow < 0; ++r)
                if (HeaderWords(sheet.rows, static_cast<int>(r)) == chosen)
                    headerRow = static_cast<int>(r);
            if (headerRow < 0)
                throw ImportError("不能合并：工作表“" + sheet.name + "”没有与“"
                    + sheets[static_cast<std::size_t>(firstSheet)].name + "”相同的表头。");
        }
        Place place {merge ? "工作表“" + sheet.name + "”" : std::string(), sheet.name, 0, sheet.firstColumn};
        for (std::size_t r = static_cast<std::size_t>(headerRow) + 1; r < sheet.rows.size(); ++r) {
            if (BlankRow(sheet.rows[r]))
                continue;
            place.rowNumber = static_cast<int>(r) + sheet.firstRow + firstRowNumber;
            importer.readRow(sheet.rows[r], place, table);
            if (!merge)
                table.rowNumbers.push_back(place.rowNumber);
            else if (table.sheetsRead.empty() || table.sheetsRead.back().first != sheet.name)
                table.sheetsRead.emplace_back(sheet.name, 1);
            else
                ++table.sheetsRead.back().second;
        }
    }
    return table;
}

namespace {

// The class and score cells of an own-layout table as the roster reads them:
// `visit(row, column)` for each, rows from 1.
template <class Visit> void ForEachNumberCell(const TableRows& rows, Visit&& visit)
{
    if (rows.empty())
        return;
    std::size_t scoreEnd = FirstScoreColumn - 1 + SubjectCount;
    for (std::size_t c = FirstRuleColumn - 1; c < std::min(scoreEnd, rows[0].size()); ++c) {
        if (RuleColumnKindOfHeader(rows[0][c])) {
            scoreEnd = c;
            break;
        }
    }
    for (std::size_t r = 1; r < rows.size(); ++r)
        for (std::size_t c = ClassColumn - 1; c < scoreEnd && c < rows[r].size(); ++c)
            visit(r, c);
}

std::string CellPlace(const TableRows& rows, const std::vector<int>& rowNumbers, std::size_t r, std::size_t c)
{
    const int row = r - 1 < rowNumbers.size() ? rowNumbers[r - 1] : static_cast<int>(r) + 1;
    return "第 " + std::to_string(row) + " 行第 " + ColumnLetters(static_cast<int>(c)) + " 列（"
        + std::string(TrimRuleText(Cell(rows, 0, c))) + "）的“" + rows[r][c] + "”";
}

} // namespace

std::string UnreadableCellText(
    const TableRows& rows, const std::vector<int>& rowNumbers, std::string_view decimalSeparator)
{
    std::string text;
    ForEachNumberCell(rows, [&](std::size_t r, std::size_t c) {
        const bool classCell = c == ClassColumn - 1;
        if (text.empty()
            && !(classCell ? IsClassNo(rows[r][c], decimalSeparator) : IsScore(rows[r][c], decimalSeparator)))
            text = CellPlace(rows, rowNumbers, r, c) + (classCell ? "不是班级号" : "不是分数");
    });
    return text;
}

std::string LargestScoreText(
    const TableRows& rows, const std::vector<int>& rowNumbers, std::string_view decimalSeparator)
{
    std::string text;
    long double largest = -1.0L;
    ForEachNumberCell(rows, [&](std::size_t r, std::size_t c) {
        if (c == ClassColumn - 1 || !IsScore(rows[r][c], decimalSeparator))
            return;
        const long double magnitude = std::fabs(ParseScore(rows[r][c], decimalSeparator));
        if (magnitude > largest) {
            largest = magnitude;
            text = CellPlace(rows, rowNumbers, r, c);
        }
    });
    return text;
}

std::string SheetsReadText(const ImportedTable& table)
{
    if (table.sheetsRead.size() < 2)
        return {};
    std::string text = "读了 " + std::to_string(table.sheetsRead.size()) + " 个工作表：";
    for (std::size_t s = 0; s < table.sheetsRead.size(); ++s)
        text += (s > 0 ? "，" : "") + table.sheetsRead[s].first + " " + std::to_string(table.sheetsRead[s].second)
            + " 行";
    return text;
}

std::string ColumnLetters(int column)
{
    std::string letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

ProposedImport ImportAsProposed(const std::vector<TableSheet>& sheets, std::string_view decimalSeparator)
{
    const ImportProposal proposal = ProposeImport(sheets, decimalSeparator);
    ProposedImport imported {ImportTable(sheets, proposal.choice, decimalSeparator), {}};
    std::string taken = ImportChoiceText(sheets, proposal.choice);
    for (const std::string& doubt : proposal.doubts)
        taken += (taken.empty() ? "" : "；") + doubt;
    if (!taken.empty())
        imported.taken = "按导入设置的建议读入：" + taken;
    return imported;
}

std::string ImportChoiceText(const std::vector<TableSheet>& sheets, const ImportChoice& choice)
{
    if (choice.sheet == ImportChoice::MergeSheets)
        return "合并 " + std::to_string(sheets.size()) + " 个工作表";
    if (choice.sheet < 0 || static_cast<std::size_t>(choice.sheet) >= sheets.size())
        return {};
    const TableSheet& chosen = sheets[static_cast<std::size_t>(choice.sheet)];
    std::string text = sheets.size() > 1 ? "工作表“" + chosen.name + "”" : std::string();
    if (!choice.asIs && choice.headerRow >= 0)
        text += (text.empty() ? "" : "；") + std::string("表头在第 ")
            + std::to_string(chosen.firstRow + choice.headerRow + 1) + " 行";
    return text;
}

} // namespace fenban
