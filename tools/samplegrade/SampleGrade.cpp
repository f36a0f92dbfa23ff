#include "SampleGrade.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string_view>
#include <vector>

namespace fenban::sample {

namespace {

struct Subject {
    std::string_view name;
    int maxPoints;
    double mean;
    double spread;
    double genderLean; // added for girls, in spreads
    bool halfPoints; // marked by hand: halves occur
};

constexpr std::array<Subject, 9> Subjects {{
    {"语文", 150, 102, 13, 0.20, true},
    {"数学", 150, 96, 22, -0.10, false},
    {"英语", 150, 99, 19, 0.25, true},
    {"物理", 100, 63, 15, -0.15, false},
    {"化学", 100, 66, 14, 0.00, false},
    {"生物", 100, 69, 13, 0.05, false},
    {"政治", 100, 73, 10, 0.10, true},
    {"历史", 100, 70, 12, 0.05, true},
    {"地理", 100, 68, 13, -0.05, true},
}};

constexpr std::array<std::string_view, 60> Surnames {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐",
    "孙", "马", "朱", "胡", "郭", "何", "林", "高", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹",
    "彭", "曾", "肖", "田", "董", "袁", "潘", "蒋", "蔡", "余", "杜", "叶", "程", "苏", "魏", "吕", "丁", "任", "沈",
    "姚", "卢", "姜", "崔", "钟", "谭", "陆", "汪", "范", "金", "石"};
constexpr std::array<std::string_view, 30> BoyChars {"浩", "宇", "轩", "博", "文", "杰", "俊", "涛", "明", "伟", "磊",
    "晨", "阳", "鹏", "睿", "昊", "然", "泽", "航", "凯", "峰", "辰", "毅", "坤", "志", "强", "健", "斌", "翔", "远"};
constexpr std::array<std::string_view, 30> GirlChars {"欣", "怡", "雨", "婷", "静", "琪", "佳", "慧", "雪", "梦", "瑶",
    "诗", "思", "涵", "悦", "晴", "颖", "璐", "倩", "妍", "玥", "若", "嘉", "雅", "萱", "蕾", "丽", "芳", "敏", "彤"};

// Draws from the standard Mersenne Twister only: its output is fixed by the
// language, unlike that of the library's distributions.
class Draw {
public:
    explicit Draw(std::uint32_t seed)
        : engine(seed)
    {
    }
    double uniform() { return (static_cast<double>(engine()) + 0.5) / 4294967296.0; } // (0, 1)
    int below(int n) { return static_cast<int>(uniform() * n); }
    double normal() // Box-Muller
    {
        const double radius = std::sqrt(-2.0 * std::log(uniform()));
        return radius * std::cos(6.283185307179586 * uniform());
    }
    template <class List> std::string_view pick(const List& list)
    {
        return list[static_cast<std::size_t>(below(static_cast<int>(list.size())))];
    }

private:
    std::mt19937 engine;
};

// Halves of a point as text: 171 -> "85.5", 170 -> "85".
std::string PointsText(int halves)
{
    std::string text = std::to_string(halves / 2);
    if (halves % 2 != 0)
        text += ".5";
    return text;
}

std::string MakeName(Draw& draw, bool boy)
{
    std::string name(draw.pick(Surnames));
    const int givenLength = draw.uniform() < 0.35 ? 1 : 2;
    for (int k = 0; k < givenLength; ++k)
        name += boy ? draw.pick(BoyChars) : draw.pick(GirlChars);
    return name;
}

constexpr std::array<std::string_view, 8> FeederSchools {
    "实验小学", "城关小学", "育才小学", "东关小学", "西街小学", "红星小学", "河口小学", "柳湾小学"};
constexpr std::array<double, 8> FeederShares {0.22, 0.18, 0.15, 0.13, 0.11, 0.09, 0.07, 0.05};

struct RuleTexts {
    std::string together, apart, fixed, school, boarding;
};

// Lines of a tab-separated text, without the line ends.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string FirstField(const std::string& line)
{
    return line.substr(0, line.find('\t'));
}

// The surname: the first character (three UTF-8 bytes for the common ones).
std::string Surname(const std::string& name)
{
    return name.substr(0, 3);
}

} // namespace

std::string MakeSampleGradeWithRules(std::uint32_t seed, int students)
{
    const std::vector<std::string> lines = Lines(MakeSampleGrade(seed, students));
    const auto count = static_cast<int>(lines.size()) - 1;
    std::vector<RuleTexts> rules(static_cast<std::size_t>(std::max(count, 0)));
    std::vector<bool> taken(rules.size(), false);
    Draw draw(seed ^ 0x9E3779B9U); // a stream of its own: the grade stays as it is

    // Feeder school and boarding first; siblings then share their first member's.
    for (RuleTexts& texts : rules) {
        double point = draw.uniform();
        std::size_t school = 0;
        while (school + 1 < FeederSchools.size() && point >= FeederShares[school])
            point -= FeederShares[school++];
        texts.school = FeederSchools[school];
        texts.boarding = draw.uniform() < 0.3 ? "住校" : "";
    }

    // Siblings: seven pairs and one set of triplets, all of one surname.
    std::map<std::string, std::vector<int>> bySurname;
    for (int k = 0; k < count; ++k)
        bySurname[Surname(FirstField(lines[static_cast<std::size_t>(k) + 1]))].push_back(k);
    auto untaken = [&](const std::vector<int>& family) {
        std::vector<int> free;
        for (const int k : family)
            if (!taken[static_cast<std::size_t>(k)])
                free.push_back(k);
        return free;
    };
    for (int group = 1; group <= 8; ++group) {
        const std::size_t size = group == 8 ? 3 : 2;
        std::vector<std::vector<int>> families; // surnames with room for one more family
        for (const auto& entry : bySurname)
            if (std::vector<int> free = untaken(entry.second); free.size() > size)
                families.push_back(std::move(free));
        if (families.empty())
            break;
        const std::vector<int>& free
            = families[static_cast<std::size_t>(draw.below(static_cast<int>(families.size())))];
        const std::size_t first = static_cast<std::size_t>(draw.below(static_cast<int>(free.size() - size + 1)));
        for (std::size_t m = 0; m < size; ++m) {
            const auto k = static_cast<std::size_t>(free[first + m]);
            taken[k] = true;
            rules[k].together = std::to_string(group);
            if (size == 3) {
                rules[k].school = FeederSchools[0]; // triplets: the largest school has room for three in a class
                rules[k].boarding.clear();
            } else if (m > 0) {
                rules[k].school = rules[static_cast<std::size_t>(free[first])].school;
                rules[k].boarding = rules[static_cast<std::size_t>(free[first])].boarding;
            }
        }
    }

    auto drawFree = [&] {
        int k = draw.below(count);
        while (taken[static_cast<std::size_t>(k)])
            k = (k + 1) % count;
        taken[static_cast<std::size_t>(k)] = true;
        return static_cast<std::size_t>(k);
    };
    // Kept apart: four pairs and a trio.
    constexpr std::array<std::string_view, 5> ApartMarks {"甲", "乙", "丙", "丁", "戊"};
    for (std::size_t g = 0; g < ApartMarks.size(); ++g)
        for (std::size_t m = 0; m < (g == 4 ? 3U : 2U); ++m)
            rules[drawFree()].apart = ApartMarks[g];
    // Teachers' children in their parents' classes.
    for (const int classNo : {2, 7, 11})
        rules[drawFree()].fixed = std::to_string(classNo);

    std::string text = lines.front() + "\t同班\t不同班\t固定\t均衡生源\t均衡住校\n";
    for (std::size_t k = 0; k < rules.size(); ++k) {
        const RuleTexts& texts = rules[k];
        text += lines[k + 1] + "\t" + texts.together + "\t" + texts.apart + "\t" + texts.fixed + "\t" + texts.school
            + "\t" + texts.boarding + "\n";
    }
    return text;
}

std::string MakeSampleGrade(std::uint32_t seed, int students)
{
    Draw draw(seed);
    std::string text = "姓名\t性别\t班级\t总分";
    for (const Subject& subject : Subjects)
        text += "\t" + std::string(subject.name);
    text += "\n";

    std::set<std::string> names;
    for (int k = 0; k < students; ++k) {
        const bool boy = draw.uniform() < 0.52;
        std::string name = MakeName(draw, boy);
        while (!names.insert(name).second) // no two students of one name
            name = MakeName(draw, boy);

        const double ability = draw.normal();
        std::vector<int> halves;
        int total = 0;
        for (const Subject& subject : Subjects) {
            const double lean = boy ? 0.0 : subject.genderLean;
            const double points = subject.mean + subject.spread * (0.8 * ability + 0.6 * draw.normal() + lean);
            int score = static_cast<int>(std::lround(points * 2.0));
            if (!subject.halfPoints || draw.uniform() < 0.6)
                score &= ~1; // most marks are whole points
            score = std::clamp(score, 0, subject.maxPoints * 2);
            halves.push_back(score);
            total += score;
        }

        text += name + "\t" + (boy ? "男" : "女") + "\t\t" + PointsText(total);
        for (const int score : halves)
            text += "\t" + PointsText(score);
        text += "\n";
    }
    return text;
}

} // namespace fenban::sample
