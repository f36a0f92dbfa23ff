#pragma once

#include "engine/DivisionState.h"

#include <optional>
#include <string>
#include <string_view>

namespace fenban {

// Whether a name matches what was typed to find it: the query as a part of
// the name; or, for a query of Latin letters (any case), as a part of the
// name's pinyin initials ("zw" for 张伟) or of its pinyin written together
// ("zhangw"), read as TonelessReading reads the name. An empty or blank
// query matches nothing.
bool NameMatches(std::string_view utf8Name, std::string_view query);

struct FoundStudent {
    const TStudent* student = nullptr;
    int classNo = 0; // the class list holding the student, from 1; 0: none
};

// The next student whose name matches, in the order of the class lists (class
// 1 first, each in list order) followed by the roster's students that no
// class list holds; searching starts after `after` (at it when withAfter;
// from the first student when it is null or not among them) and wraps round.
// `after` is only compared, never read. None when no name matches.
std::optional<FoundStudent> FindNextStudent(
    const DivisionState& state, std::string_view query, const TStudent* after, bool withAfter = false);

} // namespace fenban
