#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

inline constexpr std::string_view ZipMagic = "PK\x03\x04";

// The entries of a zip archive held in memory, unpacked with zlib (stored
// and deflated entries). The central directory, every local header and every
// entry's CRC are checked; a broken archive throws TableProblem (corrupt), an
// entry that unpacks to more than maxEntrySize throws TableProblem (too large).
class ZipArchive {
public:
    explicit ZipArchive(std::string_view bytes, std::uint64_t maxEntrySize = std::uint64_t {1} << 30);

    // The entry's bytes, found by its name in any case; nothing when missing.
    std::optional<std::string> entry(std::string_view name) const;

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
    std::uint64_t maxEntrySize_;
    std::vector<Entry> entries_;
};

} // namespace fenban
