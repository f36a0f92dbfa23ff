#include "io/CompoundFileReader.h"

#include "io/TableProblem.h"

#include <algorithm>
#include <cstdint>

namespace fenban {

namespace {

constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;

std::uint32_t U32(std::string_view bytes, std::size_t at)
{
    if (at + 4 > bytes.size())
        ThrowCorrupt();
    std::uint32_t value = 0;
    for (int k = 3; k >= 0; --k)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
    return value;
}

std::uint16_t U16(std::string_view bytes, std::size_t at)
{
    if (at + 2 > bytes.size())
        ThrowCorrupt();
    return static_cast<std::uint16_t>(
        static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

char16_t Fold(char16_t c)
{
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool SameName(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return Fold(x) == Fold(y); });
}

} // namespace

CompoundFileReader::CompoundFileReader(std::string_view bytes)
    : bytes_(bytes)
{
    if (!bytes.starts_with(CompoundFileMagic) || bytes.size() < 512)
        ThrowCorrupt();
    const std::uint16_t sectorShift = U16(bytes, 0x1E);
    const std::uint16_t miniShift = U16(bytes, 0x20);
    if ((sectorShift != 9 && sectorShift != 12) || miniShift != 6)
        ThrowCorrupt();
    sectorSize_ = 1u << sectorShift;
    miniSectorSize_ = 1u << miniShift;
    miniCutoff_ = U32(bytes, 0x38);
    const std::uint32_t fatSectors = U32(bytes, 0x2C);
    const std::uint32_t perSector = sectorSize_ / 4;
    const std::uint64_t sectorCount = bytes.size() / sectorSize_;
    if (fatSectors > sectorCount)
        ThrowCorrupt();

    // The FAT's sectors: 109 listed in the header, the rest in the DIFAT chain.
    std::vector<std::uint32_t> fatList;
    for (std::uint32_t k = 0; k < std::min<std::uint32_t>(fatSectors, 109); ++k)
        fatList.push_back(U32(bytes, 0x4C + 4 * k));
    std::uint32_t difat = U32(bytes, 0x44);
    std::vector<bool> passed(static_cast<std::size_t>(sectorCount));
    while (fatList.size() < fatSectors) {
        if (difat >= sectorCount || passed[difat])
            ThrowCorrupt();
        passed[difat] = true;
        const std::string_view block = sector(difat);
        for (std::uint32_t k = 0; k + 1 < perSector && fatList.size() < fatSectors; ++k)
            fatList.push_back(U32(block, 4 * k));
        difat = U32(block, sectorSize_ - 4);
    }
    for (const std::uint32_t index : fatList) {
        const std::string_view block = sector(index);
        for (std::uint32_t k = 0; k < perSector; ++k)
            fat_.push_back(U32(block, 4 * k));
    }

    const std::string directory = chain(U32(bytes, 0x30), UINT64_MAX, false);
    for (std::size_t at = 0; at + 128 <= directory.size(); at += 128) {
        const std::string_view raw(directory.data() + at, 128);
        Entry entry;
        entry.type = static_cast<unsigned char>(raw[0x42]);
        if (entry.type != 0 && entry.type != 1 && entry.type != 2 && entry.type != 5)
            ThrowCorrupt();
        // A used entry's name is 1 to 31 characters and its ending zero; any
        // other length is refused, not cut down.
        const std::uint16_t nameBytes = U16(raw, 0x40);
        if (entry.type != 0) {
            if (nameBytes < 4 || nameBytes > 64 || nameBytes % 2 != 0 || U16(raw, nameBytes - 2) != 0)
                ThrowCorrupt();
            for (std::size_t k = 0; k + 1 < nameBytes / 2u; ++k) {
                const char16_t c = U16(raw, 2 * k);
                if (c == 0)
                    ThrowCorrupt();
                entry.name += c;
            }
        }
        entry.start = U32(raw, 0x74);
        entry.size = U32(raw, 0x78) | (sectorSize_ == 4096 ? std::uint64_t {U32(raw, 0x7C)} << 32 : 0);
        entries_.push_back(std::move(entry));
    }
    if (entries_.empty() || entries_.front().type != 5)
        ThrowCorrupt();
    miniStream_ = chain(entries_.front().start, entries_.front().size, false);
    const std::string miniFat = chain(U32(bytes, 0x3C), UINT64_MAX, false);
    for (std::size_t at = 0; at + 4 <= miniFat.size(); at += 4)
        miniFat_.push_back(U32(miniFat, at));
}

std::string_view CompoundFileReader::sector(std::uint32_t index) const
{
    const std::uint64_t at = (std::uint64_t {index} + 1) * sectorSize_;
    if (at + sectorSize_ > bytes_.size())
        ThrowCorrupt();
    return bytes_.substr(static_cast<std::size_t>(at), sectorSize_);
}

// The bytes of a chain of sectors, cut to size (all of it for UINT64_MAX).
// A size the file cannot hold, a chain that ends early, leaves the table or
// comes back to a sector it has passed is corrupt, found before the bytes
// are gathered.
std::string CompoundFileReader::chain(std::uint32_t start, std::uint64_t size, bool mini) const
{
    const std::vector<std::uint32_t>& table = mini ? miniFat_ : fat_;
    const std::uint32_t unit = mini ? miniSectorSize_ : sectorSize_;
    if (size != UINT64_MAX && size > (mini ? miniStream_.size() : bytes_.size()))
        ThrowCorrupt();
    std::vector<std::uint32_t> sectors;
    std::vector<bool> passed(table.size());
    for (std::uint32_t next = start; next != EndOfChain && std::uint64_t {sectors.size()} * unit < size;
         next = table[next]) {
        const std::uint64_t end = (std::uint64_t {next} + (mini ? 1 : 2)) * unit; // a header sector first
        if (next >= table.size() || passed[next] || end > (mini ? miniStream_.size() : bytes_.size()))
            ThrowCorrupt();
        passed[next] = true;
        sectors.push_back(next);
    }
    std::string out;
    out.reserve(sectors.size() * unit);
    for (const std::uint32_t index : sectors) {
        if (mini) {
            out.append(miniStream_, static_cast<std::size_t>(std::uint64_t {index} * unit), unit);
        } else {
            out.append(sector(index));
        }
    }
    if (size != UINT64_MAX) {
        if (out.size() < size)
            ThrowCorrupt();
        out.resize(static_cast<std::size_t>(size));
    }
    return out;
}

bool CompoundFileReader::hasEntry(std::u16string_view name) const
{
    return std::any_of(entries_.begin(), entries_.end(),
        [&](const Entry& entry) { return entry.type != 0 && SameName(entry.name, name); });
}

std::optional<std::string> CompoundFileReader::stream(std::u16string_view name) const
{
    for (const Entry& entry : entries_) {
        if (entry.type == 2 && SameName(entry.name, name))
            return chain(entry.start, entry.size, entry.size < miniCutoff_);
    }
    return std::nullopt;
}

} // namespace fenban
