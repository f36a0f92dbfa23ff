#include "io/TextTable.h"

#include "io/SheetBuilder.h"
#include "roster/Gb18030.h"

#include <QStringDecoder>

namespace fenban {

namespace {

bool IsValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    while (i < text.size()) {
        const unsigned char lead = byte(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t cp = 0;
        char32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, cp = lead & 0x1Fu, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, cp = lead & 0x0Fu, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, cp = lead & 0x07u, least = 0x10000;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (byte(i + k) & 0x3Fu);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string FromUtf16(std::string_view bytes, QStringDecoder::Encoding encoding)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    const QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return text.toStdString();
}

// Calls take(row, column, field) for every field of delimited text, in
// order: the cutting of SplitDelimited, holding no more than one field.
template <typename Take> void ForEachField(std::string_view text, char separator, Take take)
{
    std::size_t row = 0;
    std::size_t column = 0;
    std::string field;
    bool quoted = false; // inside a quoted part of the field
    bool fieldStarted = false; // the field has a character or a quote
    bool rowStarted = false; // the line has a character
    const auto endField = [&] {
        take(row, column, std::move(field));
        field.clear();
        fieldStarted = false;
        ++column;
    };
    const auto endRow = [&] {
        endField();
        ++row;
        column = 0;
        rowStarted = false;
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    i += 2;
                    continue;
                }
                quoted = false;
            } else if (c == '\r') {
                field += '\n';
                if (i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
            } else {
                field += c;
            }
            ++i;
            continue;
        }
        if (c == '"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == separator) {
            endField();
        } else if (c == '\r' || c == '\n') {
            endRow();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            ++i;
            continue;
        } else {
            field += c;
            fieldStarted = true;
        }
        rowStarted = true;
        ++i;
    }
    if (fieldStarted || rowStarted)
        endRow();
}

} // namespace

std::string DecodeTableText(std::string_view bytes)
{
    if (bytes.starts_with("\xFF\xFE"))
        return FromUtf16(bytes.substr(2), QStringDecoder::Utf16LE);
    if (bytes.starts_with("\xFE\xFF"))
        return FromUtf16(bytes.substr(2), QStringDecoder::Utf16BE);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return Gb18030ToUtf8(bytes);
}

char GuessSeparator(std::string_view text)
{
    const std::string_view firstLine = text.substr(0, text.find_first_of("\r\n"));
    return firstLine.find('\t') != std::string_view::npos ? '\t' : ',';
}

TableRows SplitDelimited(std::string_view text, char separator)
{
    TableRows rows;
    ForEachField(text, separator, [&](std::size_t row, std::size_t column, std::string&& field) {
        if (rows.size() <= row)
            rows.resize(row + 1);
        if (rows[row].size() <= column)
            rows[row].resize(column + 1);
        rows[row][column] = std::move(field);
    });
    return rows;
}

void SplitDelimited(std::string_view text, char separator, SheetBuilder& sheet)
{
    ForEachField(text, separator, [&](std::size_t row, std::size_t column, std::string&& field) {
        sheet.put(static_cast<long long>(row), static_cast<long long>(column), std::move(field));
    });
}

} // namespace fenban
