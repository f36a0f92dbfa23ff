#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

inline constexpr std::string_view CompoundFileMagic = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

// The streams of an OLE2 compound file held in memory (versions 3 and 4,
// regular and mini streams). Every sector and chain is checked against the
// file's size, a chain that loops is stopped at the sector it comes back to,
// and entry names must have a length the format allows: a file that breaks
// the format throws TableProblem (corrupt) and is never mended.
class CompoundFileReader {
public:
    explicit CompoundFileReader(std::string_view bytes);

    bool hasEntry(std::u16string_view name) const; // a stream or storage, any case
    // The stream's bytes, or nothing when no stream has that name (any case).
    std::optional<std::string> stream(std::u16string_view name) const;

private:
    struct Entry {
        std::u16string name;
        int type = 0; // 1 storage, 2 stream, 5 root
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    std::string chain(std::uint32_t start, std::uint64_t size, bool mini) const;
    std::string_view sector(std::uint32_t index) const;

    std::string_view bytes_;
    std::uint32_t sectorSize_ = 512;
    std::uint32_t miniSectorSize_ = 64;
    std::uint32_t miniCutoff_ = 4096;
    std::vector<std::uint32_t> fat_;
    std::vector<std::uint32_t> miniFat_;
    std::vector<Entry> entries_;
    std::string miniStream_;
};

} // namespace fenban
