#include "rules/SoundAlike.h"

#include "common/Failure.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unicode/locid.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>
#include <unordered_map>

namespace fenban {

namespace {

// Han-Latin gives pinyin with tone marks; in the decomposed form the
// diaeresis of ü becomes v, and every other mark goes.
constexpr const char* ReadingRules = "::Han-Latin; ::NFD; u \\u0308 > v; "
                                     "::[:Nonspacing Mark:] Remove; ::Latin-ASCII;";

// One transliterator for the program, and the reading of every character
// met so far: a name is read one character at a time, which is ten times
// faster than handing ICU whole names.
class CharacterReadings {
public:
    static CharacterReadings& instance()
    {
        static CharacterReadings readings;
        return readings;
    }

    std::unique_lock<std::mutex> lock() { return std::unique_lock(mutex_); }

    // Under lock().
    const std::string& read(UChar32 c)
    {
        const auto found = cache_.find(c);
        if (found != cache_.end())
            return found->second;
        if (!transliterator_)
            create();
        icu::UnicodeString text(c);
        transliterator_->transliterate(text);
        text.toLower(icu::Locale::getRoot());
        std::string utf8;
        text.toUTF8String(utf8);
        return cache_.emplace(c, std::move(utf8)).first->second;
    }

private:
    void create()
    {
        UErrorCode status = U_ZERO_ERROR;
        UParseError where {};
        transliterator_.reset(icu::Transliterator::createFromRules(
            "FenbanReading", icu::UnicodeString(ReadingRules, -1, US_INV), UTRANS_FORWARD, where, status));
        if (U_FAILURE(status) || !transliterator_) {
            transliterator_.reset();
            throw Failure(std::string("无法读取汉字的拼音（ICU：") + u_errorName(status) + "）。");
        }
    }

    std::mutex mutex_;
    std::unique_ptr<icu::Transliterator> transliterator_;
    std::unordered_map<UChar32, std::string> cache_;
};

std::string ReadName(CharacterReadings& readings, std::string_view utf8Name)
{
    const icu::UnicodeString name
        = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8Name.data(), static_cast<int32_t>(utf8Name.size())));
    std::string reading;
    bool wordOpen = false; // the last character belongs to a word of letters still going on
    auto startWord = [&] {
        if (!reading.empty())
            reading += ' ';
    };
    for (int32_t i = 0; i < name.length(); i = name.moveIndex32(i, 1)) {
        const UChar32 c = name.char32At(i);
        UErrorCode status = U_ZERO_ERROR;
        const bool han = uscript_getScript(c, &status) == USCRIPT_HAN;
        if (!han && !u_isalnum(c)) { // blanks and marks like the dot inside 阿依古丽·买买提 part words
            wordOpen = false;
            continue;
        }
        const std::string& part = readings.read(c);
        if (part.empty())
            continue;
        if (han || !wordOpen)
            startWord();
        reading += part;
        wordOpen = !han;
    }
    return reading;
}

} // namespace

std::string TonelessReading(std::string_view utf8Name)
{
    CharacterReadings& readings = CharacterReadings::instance();
    const std::unique_lock lock = readings.lock();
    return ReadName(readings, utf8Name);
}

std::vector<std::vector<int>> SoundAlikeGroups(const std::vector<std::string>& utf8Names)
{
    std::unordered_map<std::string, std::vector<int>> byReading;
    {
        CharacterReadings& readings = CharacterReadings::instance();
        const std::unique_lock lock = readings.lock();
        for (std::size_t i = 0; i < utf8Names.size(); ++i) {
            std::string reading = ReadName(readings, utf8Names[i]);
            if (!reading.empty())
                byReading[std::move(reading)].push_back(static_cast<int>(i));
        }
    }
    std::vector<std::vector<int>> groups;
    for (auto& entry : byReading)
        if (entry.second.size() >= 2)
            groups.push_back(std::move(entry.second));
    std::sort(groups.begin(), groups.end(),
        [](const std::vector<int>& a, const std::vector<int>& b) { return a.front() < b.front(); });
    return groups;
}

} // namespace fenban
