#pragma once

#include "engine/ClassSetup.h"
#include "engine/DivisionState.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fenban {

// Everything besides the roster that changes a division: the class count
// and the options of 一键均衡. The seed is not here: it is drawn after the
// input is published.
struct DivisionOptions {
    DivisionOptions() = default;
    DivisionOptions(int classes, bool keepApart, int scoreBands, ClassSetup classSetup = {})
        : classCount(classes)
        , soundAlike(keepApart)
        , bands(scoreBands)
        , setup(std::move(classSetup))
    {
    }

    int classCount = 1;
    bool soundAlike = true; // sound-alike names in different classes (chkSoundAlike, ticked at start)
    int bands = 0; // score bands the optimiser keeps even across the classes
    ClassSetup setup; // 班级设置 as followed; empty: none (the input text is then as before it)
};

// The canonical text of the input (docs/fingerprint.md): UTF-8, lines ended
// by LF, fields by TAB; the roster as read (every record's name, gender,
// class cell, mark and eleven scores, the rule columns and every record's
// texts in them) and the options. Locale-free: numbers are written by
// CanonicalNumber.
std::string InputCanonicalText(const DivisionState& state, const DivisionOptions& options);

// The version on the input text's first line: 2 since opened files leave out
// rows without text and read "同 班" as 同班.
inline constexpr int InputTextVersion = 2;
// The version of a text with a 班级设置: version 2 and the set-up's lines. A
// text without a set-up stays version 2, so its fingerprint stays the same.
inline constexpr int InputSetupTextVersion = 3;
inline int InputTextVersionOf(const DivisionOptions& options)
{
    return options.setup.empty() ? InputTextVersion : InputSetupTextVersion;
}

// The canonical text of a result: per record, in roster order, its name and
// the class whose list holds it (ClassesOfRecords: 0 for none).
std::string ResultCanonicalText(const DivisionState& state);

// A student who left after the division, as the result text names him.
struct LeftInResult {
    std::string name; // UTF-8, as in the table
    int classNo = 0; // the class he left
    std::string kind; // 转学, 退学 or 其他
    std::string date;
};

// The result text of a division with changes after it (`left` given, maybe
// empty): version 2, the students who remain (late ones after the others),
// then those who left. Without `left` it is the version 1 text above.
std::string ResultCanonicalText(const DivisionState& state, const std::vector<LeftInResult>* left);
std::string ResultFingerprint(const DivisionState& state, const std::vector<LeftInResult>* left);

// 64 lowercase hex digits: the SHA-256 of the bytes.
std::string Sha256Hex(std::string_view bytes);

std::string InputFingerprint(const DivisionState& state, const DivisionOptions& options);
std::string ResultFingerprint(const DivisionState& state);

// The first 16 hex digits in groups of four: "3f2a-09bc-77d1-e054".
std::string ShortFingerprint(std::string_view fingerprint);

// A fingerprint as typed: 64 hex digits, or the short form (16 hex digits,
// groups separated by "-" or blanks); lowercase. Empty when it is neither.
std::string NormalFingerprint(std::string_view typed);

// Whether a typed fingerprint (NormalFingerprint) names the full one: equal,
// or its first 16 digits.
bool FingerprintMatches(std::string_view typed, std::string_view fingerprint);

// The number as the canonical texts write it: the shortest decimal that
// reads back as the same IEEE double (the value converted to double),
// positional, no exponent, no trailing zeros or point; "0" for zero of
// either sign; "inf", "-inf", "nan".
std::string CanonicalNumber(long double value);

// A field of the canonical texts: backslash, TAB, LF and CR written as
// \\, \t, \n and \r.
std::string CanonicalField(std::string_view utf8);

} // namespace fenban
