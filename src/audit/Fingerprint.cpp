#include "audit/Fingerprint.h"

#include "engine/RuleCheck.h"
#include "roster/Gb18030.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <charconv>
#include <cmath>

namespace fenban {

namespace {

std::string_view KindText(RuleColumnKind kind)
{
    switch (kind) {
    case RuleColumnKind::Together:
        return "同班";
    case RuleColumnKind::Apart:
        return "不同班";
    case RuleColumnKind::Fixed:
        return "固定";
    case RuleColumnKind::Spread:
        return "均衡";
    }
    return "";
}

void AddLine(std::string& text, std::string_view key, const std::string& value)
{
    text.append(key).append("\t").append(value).append("\n");
}

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

} // namespace

std::string CanonicalNumber(long double value)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    const auto number = static_cast<double>(value);
    if (number == 0)
        return "0";
    char buffer[400];
    const std::to_chars_result written
        = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed);
    return std::string(buffer, written.ptr);
}

std::string CanonicalField(std::string_view utf8)
{
    std::string field;
    field.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            field += "\\\\";
            break;
        case '\t':
            field += "\\t";
            break;
        case '\n':
            field += "\\n";
            break;
        case '\r':
            field += "\\r";
            break;
        default:
            field += c;
        }
    }
    return field;
}

std::string InputCanonicalText(const DivisionState& state, const DivisionOptions& options)
{
    std::string text = "fenban-input\t" + std::to_string(InputTextVersionOf(options)) + "\n";
    AddLine(text, "classes", std::to_string(options.classCount));
    AddLine(text, "sound-alike", options.soundAlike ? "1" : "0");
    AddLine(text, "bands", std::to_string(options.bands));
    const std::vector<SetupColumn> setupColumns = SetupColumns(state, options.setup);
    if (!options.setup.empty()) {
        AddLine(text, "setup", std::to_string(options.setup.classes.size()));
        for (const SetupClass& setupClass : options.setup.classes)
            text.append(CanonicalField(setupClass.name))
                .append("\t")
                .append(std::to_string(setupClass.size))
                .append("\t")
                .append(ClassKindText(setupClass.kind))
                .append("\t")
                .append(CanonicalField(ConditionText(setupClass)))
                .append("\n");
    }
    const RosterRuleTexts& rules = state.RuleTexts;
    AddLine(text, "rules", std::to_string(rules.columns.size()));
    for (const RuleColumn& column : rules.columns)
        text.append(KindText(column.kind)).append("\t").append(CanonicalField(column.header)).append("\n");
    if (!options.setup.empty()) {
        AddLine(text, "conditions", std::to_string(setupColumns.size()));
        for (const SetupColumn& column : setupColumns)
            text.append(CanonicalField(column.header)).append("\n");
    }
    AddLine(text, "students", std::to_string(state.Records.size()));
    for (std::size_t i = 0; i < state.Records.size(); ++i) {
        const TStudent& student = *state.Records[i];
        text += CanonicalField(Gb18030ToUtf8(student.Name));
        text += "\t" + CanonicalField(Gb18030ToUtf8(student.Gender.view()));
        for (const long double score : student.Scores)
            text += "\t" + CanonicalNumber(score);
        for (std::size_t c = 0; c < rules.columns.size(); ++c)
            text += "\t" + CanonicalField(rules.text(i, static_cast<int>(c)));
        for (const SetupColumn& column : setupColumns)
            text += "\t" + CanonicalField(SetupColumnText(state, column, i));
        text += "\n";
    }
    return text;
}

std::string ResultCanonicalText(const DivisionState& state)
{
    return ResultCanonicalText(state, nullptr);
}

std::string ResultCanonicalText(const DivisionState& state, const std::vector<LeftInResult>* left)
{
    const std::vector<int> classes = ClassesOfRecords(state);
    std::string text = left == nullptr ? "fenban-result\t1\n" : "fenban-result\t2\n";
    AddLine(text, "classes", std::to_string(state.FClasses.size()));
    AddLine(text, "students", std::to_string(state.Records.size()));
    for (std::size_t i = 0; i < state.Records.size(); ++i)
        text += CanonicalField(Gb18030ToUtf8(state.Records[i]->Name)) + "\t" + std::to_string(classes[i]) + "\n";
    if (left != nullptr) {
        AddLine(text, "left", std::to_string(left->size()));
        for (const LeftInResult& student : *left)
            text += CanonicalField(student.name) + "\t" + std::to_string(student.classNo) + "\t"
                + CanonicalField(student.kind) + "\t" + CanonicalField(student.date) + "\n";
    }
    return text;
}

std::string Sha256Hex(std::string_view bytes)
{
    const QByteArray hash = QCryptographicHash::hash(
        QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), QCryptographicHash::Sha256);
    return hash.toHex().toStdString();
}

std::string InputFingerprint(const DivisionState& state, const DivisionOptions& options)
{
    return Sha256Hex(InputCanonicalText(state, options));
}

std::string ResultFingerprint(const DivisionState& state)
{
    return Sha256Hex(ResultCanonicalText(state));
}

std::string ResultFingerprint(const DivisionState& state, const std::vector<LeftInResult>* left)
{
    return Sha256Hex(ResultCanonicalText(state, left));
}

std::string ShortFingerprint(std::string_view fingerprint)
{
    std::string text;
    for (std::size_t k = 0; k < 16 && k < fingerprint.size(); ++k) {
        if (k > 0 && k % 4 == 0)
            text += '-';
        text += fingerprint[k];
    }
    return text;
}

std::string NormalFingerprint(std::string_view typed)
{
    std::string digits;
    for (const char c : typed) {
        const char lower = c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
        if (IsHex(lower))
            digits += lower;
        else if (c != '-' && c != ' ' && c != '\t')
            return {};
    }
    return digits.size() == 16 || digits.size() == 64 ? digits : std::string();
}

bool FingerprintMatches(std::string_view typed, std::string_view fingerprint)
{
    const std::string digits = NormalFingerprint(typed);
    return !digits.empty() && fingerprint.substr(0, digits.size()) == digits;
}

} // namespace fenban
