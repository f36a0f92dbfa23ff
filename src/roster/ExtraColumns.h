#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// Columns of an opened table that the school keeps on its class lists (学号,
// 身份证号, 备注…), kept beside the records like the rule texts: entry i
// belongs to record i. They take no part in dividing.
struct RosterExtraTexts {
    std::vector<std::string> headers; // UTF-8, as the table heads them
    std::vector<std::vector<std::string>> cells; // per record, one text per header (a row may be shorter)

    bool empty() const { return headers.empty(); }
    friend bool operator==(const RosterExtraTexts&, const RosterExtraTexts&) = default;
    // Empty outside the texts held.
    std::string_view text(std::size_t record, std::size_t column) const
    {
        if (record >= cells.size() || column >= cells[record].size())
            return {};
        return cells[record][column];
    }
};

} // namespace fenban
