#include "SampleGrade.h"

#include <algorithm>
#include <array>
#include <cmath>
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

} // namespace

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
