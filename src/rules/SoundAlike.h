#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// How a name reads in Mandarin without tones, by ICU's Han-Latin
// transliteration: one lower-case syllable per Chinese character, ü written
// v, syllables and other words parted by single spaces ("张伟" -> "zhang wei",
// "吕" -> "lv"). Other letters and digits are lower-cased and stripped of
// accents; any other character parts words.
// Throws Failure when the transliteration data cannot be loaded.
std::string TonelessReading(std::string_view utf8Name);

// Groups of names that are identical or read the same without tones (张伟,
// 章伟, 张玮): indices into `utf8Names`, ascending; only groups of two or
// more, ordered by their first index. Names that read as nothing join none.
std::vector<std::vector<int>> SoundAlikeGroups(const std::vector<std::string>& utf8Names);

} // namespace fenban
