#include "choice/Choices.h"

#include <algorithm>
#include <array>
#include <bit>

namespace fenban {

namespace {

struct SubjectWord {
    std::string_view text;
    Elective subject;
};

// Longest first, so 物理 is read before 物.
constexpr std::array<SubjectWord, 19> SubjectWords = {{
    {"思想政治", Elective::Politics},
    {"道德与法治", Elective::Politics},
    {"通用技术", Elective::Technology},
    {"信息技术", Elective::Technology},
    {"物理", Elective::Physics},
    {"化学", Elective::Chemistry},
    {"生物", Elective::Biology},
    {"政治", Elective::Politics},
    {"思政", Elective::Politics},
    {"历史", Elective::History},
    {"地理", Elective::Geography},
    {"技术", Elective::Technology},
    {"物", Elective::Physics},
    {"化", Elective::Chemistry},
    {"生", Elective::Biology},
    {"政", Elective::Politics},
    {"史", Elective::History},
    {"地", Elective::Geography},
    {"技", Elective::Technology},
}};

constexpr std::array<std::string_view, 17> Separators
    = {" ", "\t", "+", "/", ",", ";", "|", "-", "_", "、", "，", "／", "＋", "　", "；", "·", "\xC2\xA0"};

// The order names are written in: the first choice, then 化 生 政 地 技.
constexpr std::array<Elective, ElectiveCount> NameOrder = {Elective::Physics, Elective::History, Elective::Chemistry,
    Elective::Biology, Elective::Politics, Elective::Geography, Elective::Technology};

std::size_t Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// A header without blanks ("选 科" is 选科).
std::string HeaderKey(std::string_view text)
{
    std::string key;
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i).starts_with("　")) {
            i += std::string_view("　").size();
        } else if (static_cast<unsigned char>(text[i]) <= 32) {
            ++i;
        } else {
            key += text[i];
            ++i;
        }
    }
    return key;
}

template <std::size_t N>
std::optional<std::size_t> FindHeader(
    const std::vector<std::string>& keys, const std::array<std::string_view, N>& words)
{
    for (const std::string_view word : words) {
        const auto it = std::find(keys.begin(), keys.end(), word);
        if (it != keys.end())
            return static_cast<std::size_t>(it - keys.begin());
    }
    return std::nullopt;
}

// The text without the blanks a spreadsheet hides at either end.
std::string Trimmed(std::string_view text)
{
    const auto blankAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]) <= 32; };
    while (!text.empty() && (blankAt(0) || text.starts_with("　")))
        text.remove_prefix(blankAt(0) ? 1 : std::string_view("　").size());
    while (!text.empty() && (blankAt(text.size() - 1) || text.ends_with("　")))
        text.remove_suffix(blankAt(text.size() - 1) ? 1 : std::string_view("　").size());
    return std::string(text);
}

} // namespace

int SubjectCountOf(SubjectSet set)
{
    return std::popcount(static_cast<unsigned>(set));
}

std::string_view ElectiveName(Elective subject)
{
    static constexpr std::array<std::string_view, ElectiveCount> names
        = {"物理", "化学", "生物", "政治", "历史", "地理", "技术"};
    return names[static_cast<std::size_t>(subject)];
}

std::string_view ElectiveShort(Elective subject)
{
    static constexpr std::array<std::string_view, ElectiveCount> names = {"物", "化", "生", "政", "史", "地", "技"};
    return names[static_cast<std::size_t>(subject)];
}

std::vector<Elective> SubjectsOf(SubjectSet set)
{
    std::vector<Elective> subjects;
    for (const Elective subject : NameOrder)
        if ((set & Bit(subject)) != 0)
            subjects.push_back(subject);
    return subjects;
}

std::string CombinationName(SubjectSet set)
{
    std::string name;
    for (const Elective subject : SubjectsOf(set))
        name += ElectiveShort(subject);
    return name;
}

std::string SubjectListText(SubjectSet set)
{
    std::string text;
    for (const Elective subject : SubjectsOf(set))
        text += (text.empty() ? "" : "、") + std::string(ElectiveName(subject));
    return text;
}

std::string_view ChoiceModelName(ChoiceModel model)
{
    return model == ChoiceModel::FirstThenTwo ? "3+1+2" : "3+3";
}

std::optional<ChoiceModel> ChoiceModelOfName(std::string_view name)
{
    if (name == "3+1+2")
        return ChoiceModel::FirstThenTwo;
    if (name == "3+3")
        return ChoiceModel::AnyThree;
    return std::nullopt;
}

bool FitsModel(SubjectSet set, ChoiceModel model)
{
    if (SubjectCountOf(set) != 3)
        return false;
    if (model == ChoiceModel::AnyThree)
        return true;
    return SubjectCountOf(set & FirstChoiceSubjects) == 1 && (set & Bit(Elective::Technology)) == 0;
}

ParsedChoice ParseChoiceText(std::string_view text)
{
    ParsedChoice parsed;
    const std::string shown = Trimmed(text);
    std::string unknown;
    SubjectSet repeated = 0;
    int count = 0;
    std::string firstUnknown;
    const auto flush = [&] {
        if (!unknown.empty() && firstUnknown.empty())
            firstUnknown = unknown;
        unknown.clear();
    };
    for (std::size_t i = 0; i < text.size();) {
        const std::string_view rest = text.substr(i);
        const auto separator = std::find_if(
            Separators.begin(), Separators.end(), [&](std::string_view s) { return rest.starts_with(s); });
        if (separator != Separators.end() || static_cast<unsigned char>(rest[0]) < 32) {
            flush();
            i += separator != Separators.end() ? separator->size() : 1;
            continue;
        }
        const auto word = std::find_if(
            SubjectWords.begin(), SubjectWords.end(), [&](const SubjectWord& w) { return rest.starts_with(w.text); });
        if (word == SubjectWords.end()) {
            const std::size_t length = std::min(Utf8Length(static_cast<unsigned char>(rest[0])), rest.size());
            unknown += rest.substr(0, length);
            i += length;
            continue;
        }
        flush();
        const SubjectSet bit = Bit(word->subject);
        if ((parsed.set & bit) != 0)
            repeated |= bit;
        parsed.set |= bit;
        ++count;
        i += word->text.size();
    }
    flush();
    const std::string quoted = "选科“" + shown + "”";
    if (shown.empty())
        parsed.problem = "没有选科";
    else if (!firstUnknown.empty())
        parsed.problem = quoted + "中有不认识的科目“" + firstUnknown + "”";
    else if (repeated != 0)
        parsed.problem = quoted + "重复了科目“" + SubjectListText(repeated) + "”";
    else if (count != 3)
        parsed.problem = quoted + "有 " + std::to_string(count) + " 个科目，应为 3 个";
    return parsed;
}

ChoiceColumns FindChoiceColumns(const std::vector<std::string>& headers)
{
    std::vector<std::string> keys;
    for (const std::string& header : headers)
        keys.push_back(HeaderKey(header));
    ChoiceColumns found;
    static constexpr std::array<std::string_view, 6> single
        = {"选科", "选科组合", "选考科目", "选科科目", "选课组合", "组合"};
    if (const auto column = FindHeader(keys, single)) {
        found.columns.push_back(*column);
        return found;
    }
    static constexpr std::array<std::array<std::string_view, 3>, 4> triples = {{
        {"首选", "再选1", "再选2"},
        {"首选科目", "再选科目1", "再选科目2"},
        {"选科1", "选科2", "选科3"},
        {"选考1", "选考2", "选考3"},
    }};
    for (const auto& triple : triples) {
        std::vector<std::size_t> columns;
        for (const std::string_view word : triple)
            if (const auto column = FindHeader(keys, std::array<std::string_view, 1> {word}))
                columns.push_back(*column);
        if (columns.size() == 3) {
            found.columns = columns;
            return found;
        }
    }
    return found;
}

std::size_t StudentChoices::validCount() const
{
    return static_cast<std::size_t>(std::count_if(of.begin(), of.end(), [](SubjectSet s) { return s != 0; }));
}

StudentChoices ReadChoices(const RosterExtraTexts& extras, const std::vector<std::string>& names,
    const std::vector<int>& rowNumbers, std::optional<ChoiceModel> model)
{
    const ChoiceColumns columns = FindChoiceColumns(extras.headers);
    if (!columns.found())
        throw ChoiceInputError("表格中没有选科列：请加一列“选科”（如 "
                               "物化生），或三列“首选”“再选1”“再选2”（也可写“选科1”“选科2”“选科3”）。");
    const std::size_t records = names.size();
    std::vector<ParsedChoice> parsed(records);
    std::size_t readable = 0, onlyAnyThree = 0;
    for (std::size_t i = 0; i < records; ++i) {
        std::string text;
        for (const std::size_t column : columns.columns) {
            const std::string_view cell = extras.text(i, column);
            if (!text.empty() && !cell.empty())
                text += ' ';
            text += cell;
        }
        parsed[i] = ParseChoiceText(text);
        if (parsed[i].problem.empty()) {
            ++readable;
            if (!FitsModel(parsed[i].set, ChoiceModel::FirstThenTwo))
                ++onlyAnyThree;
        }
    }
    StudentChoices choices;
    choices.modelGiven = model.has_value();
    choices.model = model ? *model : (2 * onlyAnyThree > readable ? ChoiceModel::AnyThree : ChoiceModel::FirstThenTwo);
    choices.of.assign(records, 0);
    for (std::size_t i = 0; i < records; ++i) {
        std::string problem = parsed[i].problem;
        const SubjectSet set = parsed[i].set;
        if (problem.empty() && !FitsModel(set, choices.model)) {
            const std::string quoted = "选科“" + CombinationName(set) + "”";
            if ((set & Bit(Elective::Technology)) != 0)
                problem = quoted + "有技术，不合 3+1+2";
            else if ((set & FirstChoiceSubjects) == 0)
                problem = quoted + "没有首选科目（物理或历史），不合 3+1+2";
            else
                problem = quoted + "物理和历史都选了，不合 3+1+2";
        }
        if (problem.empty()) {
            choices.of[i] = set;
            continue;
        }
        const int row = i < rowNumbers.size() ? rowNumbers[i] : static_cast<int>(i) + 2;
        choices.invalid.push_back("第 " + std::to_string(row) + " 行 " + names[i] + "：" + problem);
    }
    return choices;
}

std::string InvalidChoicesMessage(const StudentChoices& choices, std::size_t most)
{
    if (choices.invalid.empty())
        return {};
    std::string text = "选科：" + std::to_string(choices.invalid.size()) + " 名学生的选科有误，暂不分班，改正后再分：";
    for (std::size_t i = 0; i < choices.invalid.size() && i < most; ++i)
        text += (i == 0 ? "" : "；") + choices.invalid[i];
    if (choices.invalid.size() > most)
        text += "；……";
    return text + "。";
}

} // namespace fenban
