#include "rules/StudentFinder.h"

#include "roster/Gb18030.h"
#include "roster/RuleColumns.h"
#include "rules/SoundAlike.h"

#include <algorithm>
#include <unordered_set>

namespace fenban {

namespace {

bool LatinLetters(std::string_view text)
{
    return std::all_of(
        text.begin(), text.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

} // namespace

bool NameMatches(std::string_view utf8Name, std::string_view query)
{
    query = TrimRuleText(query);
    if (query.empty())
        return false;
    if (utf8Name.find(query) != std::string_view::npos)
        return true;
    if (!LatinLetters(query))
        return false;
    const std::string reading = TonelessReading(utf8Name);
    std::string initials;
    std::string joined;
    bool wordStart = true;
    for (const char c : reading) {
        if (c == ' ') {
            wordStart = true;
            continue;
        }
        if (wordStart)
            initials += c;
        joined += c;
        wordStart = false;
    }
    const std::string wanted = Lower(query);
    return initials.find(wanted) != std::string::npos || joined.find(wanted) != std::string::npos;
}

std::optional<FoundStudent> FindNextStudent(
    const DivisionState& state, std::string_view query, const TStudent* after, bool withAfter)
{
    std::vector<FoundStudent> order;
    order.reserve(state.FStudents.size());
    std::unordered_set<const TStudent*> listed;
    for (std::size_t c = 0; c < state.FClasses.size(); ++c) {
        for (const TStudent* student : state.FClasses[c]) {
            order.push_back({student, static_cast<int>(c) + 1});
            listed.insert(student);
        }
    }
    for (const TStudent* student : state.FStudents)
        if (!listed.contains(student))
            order.push_back({student, 0});
    if (order.empty())
        return std::nullopt;

    const auto at = std::find_if(
        order.begin(), order.end(), [after](const FoundStudent& entry) { return entry.student == after; });
    const std::size_t start
        = at == order.end() ? 0 : static_cast<std::size_t>(at - order.begin()) + (withAfter ? 0 : 1);
    for (std::size_t k = 0; k < order.size(); ++k) {
        const FoundStudent& entry = order[(start + k) % order.size()];
        if (NameMatches(Gb18030ToUtf8(entry.student->Name), query))
            return entry;
    }
    return std::nullopt;
}

} // namespace fenban
