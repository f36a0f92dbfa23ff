#include "engine/RankGroups.h"

#include <algorithm>
#include <map>

namespace fenban {

std::vector<int> RankedRecords(const DivisionState& state, const std::vector<int>& classOfRecord)
{
    std::vector<int> ranked;
    for (std::size_t r = 0; r < state.Records.size() && r < classOfRecord.size(); ++r)
        if (classOfRecord[r] > 0)
            ranked.push_back(static_cast<int>(r));
    std::stable_sort(ranked.begin(), ranked.end(), [&](int a, int b) {
        return state.Records[static_cast<std::size_t>(a)]->Scores[0]
            > state.Records[static_cast<std::size_t>(b)]->Scores[0];
    });
    return ranked;
}

int TopCount(int students, int percent)
{
    if (students <= 0)
        return 0;
    return std::max(1, (students * percent * 2 + 100) / 200);
}

std::vector<RankGroup> MakeRankGroups(
    const DivisionState& state, const std::vector<int>& classOfRecord, int classCount, const RankBalance& balance)
{
    std::vector<RankGroup> groups;
    if (!balance.enabled() || classCount < 1)
        return groups;
    std::vector<int> ranked;
    for (const int r : RankedRecords(state, classOfRecord))
        if (classOfRecord[static_cast<std::size_t>(r)] <= classCount)
            ranked.push_back(r);
    // Each gender's students in rank order.
    std::vector<std::string> genders;
    std::map<std::string, std::vector<int>> byGender;
    for (const int r : ranked) {
        std::string gender(state.Records[static_cast<std::size_t>(r)]->Gender.view());
        auto [found, added] = byGender.try_emplace(gender);
        if (added)
            genders.push_back(gender);
        found->second.push_back(r);
    }
    for (const std::string& gender : genders) {
        const std::vector<int>& list = byGender[gender];
        const auto k = static_cast<long long>(list.size());
        const std::size_t first = groups.size();
        for (int b = 0; b < balance.bands; ++b)
            groups.push_back({RankGroup::Kind::Band, gender, b, {}});
        for (long long at = 0; at < k; ++at)
            groups[first + static_cast<std::size_t>(at * balance.bands / k)].records.push_back(
                list[static_cast<std::size_t>(at)]);
    }
    const auto top = [&](RankGroup::Kind kind, int count) {
        count = std::min(count, static_cast<int>(ranked.size()));
        groups.push_back({kind, {}, 0, std::vector<int>(ranked.begin(), ranked.begin() + count)});
    };
    const auto n = static_cast<int>(ranked.size());
    top(RankGroup::Kind::TopN, classCount);
    top(RankGroup::Kind::Top2N, 2 * classCount);
    top(RankGroup::Kind::TopFivePercent, TopCount(n, 5));
    return groups;
}

} // namespace fenban
