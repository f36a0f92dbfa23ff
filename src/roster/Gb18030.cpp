#include "roster/Gb18030.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace fenban {

namespace {

// Bytes taken by the GB18030 character that starts at bytes[i].
std::size_t charLength(std::string_view bytes, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x81 || lead == 0xFF || i + 1 >= bytes.size())
        return 1;
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return (second >= 0x30 && second <= 0x39) ? 4 : 2;
}

// Byte length of the first `count` code points of valid UTF-8.
std::size_t utf8PrefixLength(std::string_view utf8, std::size_t count)
{
    std::size_t i = 0;
    while (i < utf8.size() && count > 0) {
        ++i;
        while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80)
            ++i;
        --count;
    }
    return i;
}

} // namespace

std::size_t Gb18030WholeCharsLength(std::string_view bytes, std::size_t maxBytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t next = i + charLength(bytes, i);
        if (next > maxBytes)
            break;
        i = next;
    }
    return i;
}

std::string Gb18030Prefix(std::string_view utf8, std::size_t maxBytes)
{
    // Every character takes at least one byte: no need to encode more than maxBytes of them.
    const std::string_view head = utf8.substr(0, utf8PrefixLength(utf8, maxBytes));
    thread_local QStringEncoder encoder("GB18030");
    encoder.resetState();
    const QByteArray encoded = encoder.encode(QString::fromUtf8(head.data(), static_cast<qsizetype>(head.size())));
    const std::string_view bytes(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    return std::string(bytes.substr(0, Gb18030WholeCharsLength(bytes, maxBytes)));
}

std::string Gb18030ToUtf8(std::string_view bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(bytes); // ASCII reads the same in both
    thread_local QStringDecoder decoder("GB18030");
    decoder.resetState();
    const QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return text.toUtf8().toStdString();
}

} // namespace fenban
