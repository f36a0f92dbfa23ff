#include "io/OutputTables.h"

#include "engine/Statistics.h"
#include "io/CellText.h"
#include "roster/Gb18030.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <unordered_map>

namespace fenban {

namespace {

struct Counts {
    int boys = 0;
    int girls = 0;
    int size = 0;
};

template <typename List> Counts CountGenders(const List& list)
{
    Counts counts;
    for (const TStudent* student : list) {
        counts.boys += student->Gender == MaleGender;
        counts.girls += student->Gender == FemaleGender;
    }
    counts.size = static_cast<int>(list.size());
    return counts;
}

std::string CountsText(const Counts& counts)
{
    return "男 " + std::to_string(counts.boys) + "　女 " + std::to_string(counts.girls) + "　共 "
        + std::to_string(counts.size);
}

std::vector<std::string> ListingHeader(
    const std::vector<std::string>& subjectNames, std::size_t subjects, const RosterExtraTexts& extras)
{
    std::vector<std::string> header {"序号", "姓名", "性别", "班级"};
    for (std::size_t s = 0; s < subjects; ++s)
        header.push_back(s < subjectNames.size() ? subjectNames[s] : std::string());
    header.insert(header.end(), extras.headers.begin(), extras.headers.end());
    return header;
}

// The extra columns' texts of a student, found through its record.
class ExtraCells {
public:
    explicit ExtraCells(const DivisionState& state)
        : extras_(state.ExtraTexts)
    {
        if (extras_.empty())
            return;
        for (std::size_t r = 0; r < state.Records.size(); ++r)
            recordOf_.emplace(state.Records[r].get(), r);
    }

    void addTo(std::vector<OutputCell>& row, const TStudent& student) const
    {
        if (extras_.empty())
            return;
        const auto found = recordOf_.find(&student);
        for (std::size_t j = 0; j < extras_.headers.size(); ++j)
            row.emplace_back(found == recordOf_.end() ? std::string() : std::string(extras_.text(found->second, j)));
    }

private:
    const RosterExtraTexts& extras_;
    std::unordered_map<const TStudent*, std::size_t> recordOf_;
};

void AddStudent(OutputTable& table, const TStudent& student, std::size_t subjects, const ExtraCells& extras)
{
    std::vector<OutputCell> row {static_cast<double>(table.rows.size() + 1), Gb18030ToUtf8(student.Name),
        Gb18030ToUtf8(student.Gender.view()), static_cast<double>(student.ClassNo)};
    for (std::size_t s = 0; s < subjects; ++s)
        row.emplace_back(static_cast<double>(student.Scores[s]));
    extras.addTo(row, student);
    table.rows.push_back(std::move(row));
}

// An average as the window shows it, two decimals: the double nearest that decimal.
double ShownAverage(long double average)
{
    return std::round(static_cast<double>(average) * 100) / 100;
}

OutputTable Averages(const DivisionState& state, const std::vector<std::string>& subjectNames, std::size_t subjects)
{
    OutputTable table {"平均分", "各班平均分", {"班级", "男", "女", "人数"}, {}};
    for (std::size_t s = 0; s < subjects; ++s)
        table.header.push_back(s < subjectNames.size() ? subjectNames[s] : std::string());
    const TStudentList noMembers;
    Counts grade;
    TSubjectValues highest {};
    TSubjectValues lowest {};
    bool anyClass = false;
    for (std::size_t i = 0; i < state.FClassAvg.size(); ++i) {
        const TStudentList& members = i < state.FClasses.size() ? state.FClasses[i] : noMembers;
        const Counts counts = CountGenders(members);
        grade.boys += counts.boys;
        grade.girls += counts.girls;
        grade.size += counts.size;
        std::vector<OutputCell> row {static_cast<double>(i + 1), static_cast<double>(counts.boys),
            static_cast<double>(counts.girls), static_cast<double>(counts.size)};
        for (std::size_t s = 0; s < subjects; ++s) {
            const long double average = state.FClassAvg[i][s];
            row.emplace_back(ShownAverage(average));
            if (members.empty())
                continue;
            highest[s] = anyClass ? std::max(highest[s], average) : average;
            lowest[s] = anyClass ? std::min(lowest[s], average) : average;
        }
        anyClass = anyClass || !members.empty();
        table.rows.push_back(std::move(row));
    }
    std::vector<OutputCell> gradeRow {std::string("年级平均分"), static_cast<double>(grade.boys),
        static_cast<double>(grade.girls), static_cast<double>(grade.size)};
    std::vector<OutputCell> gapRow {std::string("最高−最低"), std::string(), std::string(), std::string()};
    for (std::size_t s = 0; s < subjects; ++s) {
        gradeRow.emplace_back(ShownAverage(state.FGradeAvg[s]));
        gapRow.emplace_back(anyClass ? ShownAverage(RoundTwoDecimals(highest[s] - lowest[s])) : 0.0);
    }
    table.rows.push_back(std::move(gradeRow));
    table.rows.push_back(std::move(gapRow));
    return table;
}

// The subjects up to the last one with a name or a score other than 0: the
// roster always has room for SubjectCount, a grade seldom has as many.
std::size_t UsedSubjects(const DivisionState& state, const std::vector<std::string>& subjectNames)
{
    std::size_t used = SubjectCount;
    for (; used > 0; --used) {
        const std::size_t s = used - 1;
        const bool named = s < subjectNames.size() && subjectNames[s].find_first_not_of(' ') != std::string::npos;
        const bool scored = std::any_of(state.FStudents.begin(), state.FStudents.end(),
            [s](const TStudent* student) { return student->Scores[s] != 0; });
        if (named || scored)
            break;
    }
    return used;
}

// A sheet numbers its rows in its 序号 column: a school's own 序号 among the
// extra columns goes where it numbers the rows alike, and is kept as 原序号
// where it differs.
void KeepOneNumberColumn(OutputTable& sheet)
{
    for (std::size_t c = sheet.header.size(); c-- > 1;) {
        if (sheet.header[c] != "序号")
            continue;
        const bool alike = std::all_of(sheet.rows.begin(), sheet.rows.end(), [c](const std::vector<OutputCell>& row) {
            return c < row.size() && !row.empty() && CellText(row[c]) == CellText(row[0]);
        });
        if (!alike) {
            sheet.header[c] = "原序号";
            continue;
        }
        sheet.header.erase(sheet.header.begin() + static_cast<std::ptrdiff_t>(c));
        for (std::vector<OutputCell>& row : sheet.rows)
            row.erase(row.begin() + static_cast<std::ptrdiff_t>(c));
    }
}

} // namespace

DivisionTables MakeDivisionTables(
    const DivisionState& state, const std::vector<std::string>& subjectNames, const ClassSetup& names)
{
    DivisionTables tables;
    const std::size_t subjects = UsedSubjects(state, subjectNames);
    const std::vector<std::string> header = ListingHeader(subjectNames, subjects, state.ExtraTexts);
    const ExtraCells extras(state);
    tables.grade = {"全部", {}, header, {}};
    std::vector<const TStudent*> everyone;
    for (std::size_t i = 0; i < state.FClasses.size(); ++i) {
        const TStudentList& members = state.FClasses[i];
        const std::string number = std::to_string(i + 1);
        const std::string name = ClassNameOr(names, static_cast<int>(i) + 1, {});
        OutputTable table {name.empty() ? number + "班" : name,
            (name.empty() ? std::string() : name + "　") + "班级 " + number + "　" + CountsText(CountGenders(members)),
            header, {}};
        for (const TStudent* student : members) {
            AddStudent(table, *student, subjects, extras);
            AddStudent(tables.grade, *student, subjects, extras);
            everyone.push_back(student);
        }
        tables.classes.push_back(std::move(table));
    }
    // Students the class lists do not hold (before a division) come last.
    std::vector<const TStudent*> listed = everyone;
    std::sort(listed.begin(), listed.end());
    for (const TStudent* student : state.FStudents) {
        if (!std::binary_search(listed.begin(), listed.end(), student)) {
            AddStudent(tables.grade, *student, subjects, extras);
            everyone.push_back(student);
        }
    }
    tables.grade.title = "全部　" + CountsText(CountGenders(everyone));
    tables.averages = Averages(state, subjectNames, subjects);
    return tables;
}

std::vector<OutputTable> WorkbookTables(const DivisionTables& tables)
{
    std::vector<OutputTable> sheets {tables.grade};
    sheets.insert(sheets.end(), tables.classes.begin(), tables.classes.end());
    for (OutputTable& sheet : sheets)
        KeepOneNumberColumn(sheet);
    sheets.push_back(tables.averages);
    return sheets;
}

std::vector<OutputTable> PrintedTables(const DivisionTables& tables)
{
    std::vector<OutputTable> printed = tables.classes;
    printed.push_back(tables.averages);
    return printed;
}

std::string CellText(const OutputCell& cell)
{
    if (const auto* text = std::get_if<std::string>(&cell))
        return *text;
    return GeneralNumberText(std::get<double>(cell));
}

int DisplayWidth(std::string_view utf8)
{
    int width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += length;
        const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF && cp != 0x303F)
            || (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F)
            || (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

} // namespace fenban
