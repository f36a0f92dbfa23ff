#include "io/ZipArchive.h"

#include "io/TableProblem.h"

#include <algorithm>
#include <zlib.h>

namespace fenban {

namespace {

std::uint32_t Read(std::string_view bytes, std::uint64_t at, int size)
{
    if (at + static_cast<std::uint64_t>(size) > bytes.size())
        ThrowCorrupt();
    std::uint32_t value = 0;
    for (int k = size - 1; k >= 0; --k)
        value = (value << 8)
            | static_cast<unsigned char>(bytes[static_cast<std::size_t>(at) + static_cast<std::size_t>(k)]);
    return value;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

constexpr std::uint32_t EndOfDirectorySignature = 0x06054b50;
constexpr std::uint32_t DirectorySignature = 0x02014b50;
constexpr std::uint32_t LocalSignature = 0x04034b50;

} // namespace

ZipArchive::ZipArchive(std::string_view bytes, std::uint64_t maxEntrySize)
    : bytes_(bytes)
    , maxEntrySize_(maxEntrySize)
{
    // The end record lies in the last 22 bytes plus at most a 64 KiB comment.
    if (bytes.size() < 22)
        ThrowCorrupt();
    std::size_t end = bytes.size() - 22;
    const std::size_t lowest = bytes.size() > 22 + 0xFFFF ? bytes.size() - 22 - 0xFFFF : 0;
    while (Read(bytes, end, 4) != EndOfDirectorySignature) {
        if (end == lowest)
            ThrowCorrupt();
        --end;
    }
    const std::uint32_t count = Read(bytes, end + 10, 2);
    std::uint64_t at = Read(bytes, end + 16, 4);
    for (std::uint32_t k = 0; k < count; ++k) {
        if (Read(bytes, at, 4) != DirectorySignature)
            ThrowCorrupt();
        Entry entry {};
        entry.method = static_cast<std::uint16_t>(Read(bytes, at + 10, 2));
        entry.crc = Read(bytes, at + 16, 4);
        entry.packedSize = Read(bytes, at + 20, 4);
        entry.size = Read(bytes, at + 24, 4);
        const std::uint32_t nameLength = Read(bytes, at + 28, 2);
        const std::uint32_t extraLength = Read(bytes, at + 30, 2);
        const std::uint32_t commentLength = Read(bytes, at + 32, 2);
        entry.headerOffset = Read(bytes, at + 42, 4);
        if (at + 46 + nameLength > bytes.size())
            ThrowCorrupt();
        entry.name = std::string(bytes.substr(static_cast<std::size_t>(at) + 46, nameLength));
        // Sizes of 4 GiB and more live in a zip64 field; no table needs them.
        if (entry.packedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF || entry.headerOffset == 0xFFFFFFFF)
            throw TableProblem(TableReadError::Reason::TooLarge, "文件内容太大");
        entries_.push_back(std::move(entry));
        at += 46u + nameLength + extraLength + commentLength;
    }
}

std::optional<std::string> ZipArchive::entry(std::string_view name) const
{
    const auto found = std::find_if(
        entries_.begin(), entries_.end(), [&](const Entry& entry) { return SameName(entry.name, name); });
    if (found == entries_.end())
        return std::nullopt;
    const Entry& entry = *found;
    if (entry.size > maxEntrySize_)
        throw TableProblem(TableReadError::Reason::TooLarge, "文件内容太大");
    if (Read(bytes_, entry.headerOffset, 4) != LocalSignature)
        ThrowCorrupt();
    const std::uint64_t data
        = entry.headerOffset + 30 + Read(bytes_, entry.headerOffset + 26, 2) + Read(bytes_, entry.headerOffset + 28, 2);
    if (data + entry.packedSize > bytes_.size())
        ThrowCorrupt();
    const std::string_view packed
        = bytes_.substr(static_cast<std::size_t>(data), static_cast<std::size_t>(entry.packedSize));

    std::string out;
    if (entry.method == 0) {
        out = packed;
    } else if (entry.method == 8) {
        out.resize(static_cast<std::size_t>(entry.size));
        z_stream stream {};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
            throw std::bad_alloc();
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
        stream.avail_in = static_cast<uInt>(packed.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        const int result = inflate(&stream, Z_FINISH);
        const bool complete = result == Z_STREAM_END && stream.total_out == entry.size;
        inflateEnd(&stream);
        if (!complete)
            ThrowCorrupt();
    } else {
        ThrowCorrupt(); // no spreadsheet packs its parts otherwise
    }
    if (out.size() != entry.size
        || crc32(0, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(out.size())) != entry.crc)
        ThrowCorrupt();
    return out;
}

} // namespace fenban
