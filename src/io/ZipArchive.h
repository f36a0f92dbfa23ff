#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

inline constexpr std::string_view ZipMagic = "PK\x03\x04";

// What a workbook's parts may unpack to, together: XML is parsed at some ten
// megabytes a second on a slow computer, and a roster of a few thousand rows
// takes a few megabytes.
inline constexpr std::uint64_t MaxUnpackedSize = std::uint64_t {64} << 20;

// The entries of a zip archive held in memory, unpacked with zlib (stored
// and deflated entries) a piece at a time. The central directory and every
// local header are checked when an entry is opened, the CRC when it has been
// read to its end. An entry declared larger than maxUnpacked, or entries
// unpacking to more than maxUnpacked together, throw TableProblem (too
// large) before the bytes past the limit are unpacked; an entry unpacking to
// more or less than it declares is corrupt. Other faults throw TableProblem
// (corrupt).
class ZipArchive {
public:
    explicit ZipArchive(std::string_view bytes, std::uint64_t maxUnpacked = MaxUnpackedSize);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    class Reader;
    // A reader of the entry, found by its name in any case; null when missing.
    std::unique_ptr<Reader> open(std::string_view name) const;

private:
    struct Entry {
        std::string name;
        std::uint16_t method;
        std::uint32_t crc;
        std::uint64_t packedSize;
        std::uint64_t size;
        std::uint64_t headerOffset;
    };
    std::string_view bytes_;
    std::uint64_t maxUnpacked_;
    mutable std::uint64_t unpacked_ = 0; // by all readers so far
    std::vector<Entry> entries_;
};

// The bytes of one entry, unpacked as they are asked for.
class ZipArchive::Reader {
public:
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    // Up to size bytes into out; 0 at the end of the entry. Throws TableProblem.
    std::size_t read(char* out, std::size_t size);

private:
    friend class ZipArchive;
    Reader(const ZipArchive& zip, const Entry& entry, std::string_view packed);
    struct Inflater;
    const ZipArchive& zip_;
    const Entry& entry_;
    std::string_view packed_;
    std::unique_ptr<Inflater> inflater_;
    std::uint64_t produced_ = 0;
    std::uint32_t crc_ = 0;
    bool ended_ = false;
};

} // namespace fenban
