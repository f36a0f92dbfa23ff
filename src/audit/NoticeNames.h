#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// A name as a posted list may show it: the surname kept, the given name
// hidden by one * a character, its last character kept when the name has
// three characters or more: 张三 → 张*, 张小明 → 张*明, 欧阳娜娜 → 欧阳**
// (a compound surname is kept whole and the given name hidden whole). A
// middle dot (·, the separator of minority names) stays: 迪丽热巴·热依扎 →
// 迪***·**扎. A name of one character is shown as it is. UTF-8 in and out.
std::string MaskName(std::string_view utf8);

// The common two-character (compound) surnames MaskName keeps whole.
bool IsCompoundSurname(std::u32string_view surname);

// The order of names as a Chinese reader looks them up: ICU's collation
// for Chinese (pinyin), ties in their original order. Returns the indices
// of `names` (UTF-8) in that order.
std::vector<std::size_t> OrderByName(const std::vector<std::string>& names);

} // namespace fenban
