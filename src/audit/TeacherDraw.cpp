#include "audit/TeacherDraw.h"

#include "roster/RuleColumns.h"

#include <map>
#include <utility>

namespace fenban {

namespace {

void CheckCount(const std::vector<std::string>& teachers, int classCount)
{
    if (static_cast<int>(teachers.size()) != classCount)
        throw TeacherListError("班主任名单有 " + std::to_string(teachers.size()) + " 位，分班数是 "
            + std::to_string(classCount) + "：每班一位班主任。");
}

} // namespace

std::vector<std::string> ParseTeacherList(std::string_view text)
{
    std::vector<std::string> teachers;
    std::map<std::string, int> lineOf;
    int line = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        ++line;
        const std::string_view name = TrimRuleText(text.substr(start, end - start));
        if (!name.empty()) {
            const auto [found, added] = lineOf.emplace(std::string(name), line);
            if (!added)
                throw TeacherListError("班主任“" + std::string(name) + "”写了两次（第 " + std::to_string(found->second)
                    + " 行和第 " + std::to_string(line) + " 行）。");
            teachers.emplace_back(name);
        }
        if (end == text.size())
            break;
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    return teachers;
}

std::uint64_t SplitMix64(std::uint64_t& state)
{
    state += 0x9E3779B97F4A7C15ULL;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::vector<std::string> DrawTeachers(const std::vector<std::string>& teachers, int classCount, std::uint64_t seed)
{
    CheckCount(teachers, classCount);
    std::vector<std::string> drawn = teachers;
    std::uint64_t state = seed;
    for (std::size_t i = drawn.size(); i > 1; --i) {
        const std::size_t j = static_cast<std::size_t>(SplitMix64(state) % i);
        std::swap(drawn[i - 1], drawn[j]);
    }
    return drawn;
}

std::vector<std::string> SetTeachers(const std::vector<std::string>& teachers, int classCount)
{
    CheckCount(teachers, classCount);
    return teachers;
}

std::string ClassTitleWithTeacher(int classNo, std::string_view teacher)
{
    std::string title = std::to_string(classNo) + "班";
    if (!teacher.empty())
        title += "　班主任：" + std::string(teacher);
    return title;
}

} // namespace fenban
