#pragma once

#include "common/Failure.h"
#include "roster/ExtraColumns.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// The elective subjects a student chooses, as bits of a SubjectSet.
enum class Elective { Physics, Chemistry, Biology, Politics, History, Geography, Technology };
inline constexpr int ElectiveCount = 7;
using SubjectSet = std::uint8_t;

constexpr SubjectSet Bit(Elective subject)
{
    return static_cast<SubjectSet>(1u << static_cast<unsigned>(subject));
}
inline constexpr SubjectSet FirstChoiceSubjects = Bit(Elective::Physics) | Bit(Elective::History);

int SubjectCountOf(SubjectSet set);
std::string_view ElectiveName(Elective subject); // 物理, 化学, …, 思想政治 as 政治
std::string_view ElectiveShort(Elective subject); // 物, 化, 生, 政, 史, 地, 技

// 物化生, 史政地: the short names, the first choice (物/史) first, then 化 生 政 地 技.
std::string CombinationName(SubjectSet set);
// 物理、化学 for the subjects of a set in the same order.
std::string SubjectListText(SubjectSet set);
// The subjects of a set in that order.
std::vector<Elective> SubjectsOf(SubjectSet set);

// How choices are made: 3+1+2 (one of 物理/历史, two of 化学/生物/政治/地理)
// or 3+3 (any three of the six, or seven with 技术).
enum class ChoiceModel { FirstThenTwo, AnyThree };
std::string_view ChoiceModelName(ChoiceModel model); // "3+1+2", "3+3"
std::optional<ChoiceModel> ChoiceModelOfName(std::string_view name);
bool FitsModel(SubjectSet set, ChoiceModel model);

// One choice as written: the subjects found, or why it is no choice of three
// different known subjects (Chinese, without the row).
struct ParsedChoice {
    SubjectSet set = 0;
    std::string problem; // empty when the text names three different subjects
};
// Reads 物化生, 物理+化学+生物, 物理 化学 生物, 物/化/生, 史政地 and the like:
// full names (物理, 思想政治, 通用技术…) or the one-character short names.
ParsedChoice ParseChoiceText(std::string_view utf8);

// A roster without a column of choices, or with none that reads.
class ChoiceInputError : public Failure {
public:
    using Failure::Failure;
};

// Where a roster's choices stand among its extra columns: one column (选科,
// 选科组合, 选考科目) or three (首选/再选1/再选2, 选科1/选科2/选科3).
struct ChoiceColumns {
    std::vector<std::size_t> columns; // indices into RosterExtraTexts::headers
    bool found() const { return !columns.empty(); }
};
ChoiceColumns FindChoiceColumns(const std::vector<std::string>& headers);

// The choices of a roster: per record its combination (0 when it has no valid
// one), the model they are read under, and a line per record left out.
struct StudentChoices {
    ChoiceModel model = ChoiceModel::FirstThenTwo;
    bool modelGiven = false;
    std::vector<SubjectSet> of; // entry i for record i; 0: left out of the plan
    std::vector<std::string> invalid; // "第 12 行 张三：选科“物化化”重复了科目“化学”"

    std::size_t validCount() const;
};

// Reads the choices of the extra columns. `names` (UTF-8) and `rowNumbers`
// (the spreadsheet's row of each record; empty: record i stands in row i + 2)
// name the records left out. Without a model given, 3+1+2 unless more than
// half of the readable choices fit 3+3 only. Throws ChoiceInputError when the
// roster has no choice column.
StudentChoices ReadChoices(const RosterExtraTexts& extras, const std::vector<std::string>& names,
    const std::vector<int>& rowNumbers, std::optional<ChoiceModel> model);

// "选科：N 人的选择有误，不参加分班：…" for the records left out; empty when none.
std::string InvalidChoicesMessage(const StudentChoices& choices, std::size_t most = 20);

} // namespace fenban
