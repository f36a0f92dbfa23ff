#pragma once

#include "io/TableProblem.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// Strings one after another in one block, as a workbook's shared strings
// are kept: millions of short ones cost little more than their bytes.
class StringPool {
public:
    void add(std::string_view text)
    {
        text_ += text;
        if (text_.size() > UINT32_MAX)
            throw TableProblem(TableReadError::Reason::TooLarge, "文件内容太大");
        ends_.push_back(static_cast<std::uint32_t>(text_.size()));
    }
    std::size_t size() const { return ends_.size(); }
    std::string_view operator[](std::size_t k) const
    {
        const std::uint32_t begin = k == 0 ? 0 : ends_[k - 1];
        return std::string_view(text_).substr(begin, ends_[k] - begin);
    }

private:
    std::string text_;
    std::vector<std::uint32_t> ends_;
};

} // namespace fenban
