#include "xls/CompoundFile.h"

#include "xls/LittleEndian.h"

#include <cassert>

namespace fenban {

namespace {

constexpr std::uint32_t SectorSize = 512;
constexpr std::uint32_t MiniSectorSize = 64;
constexpr std::uint32_t MiniStreamCutoff = 4096;
constexpr std::uint32_t EntriesPerSector = SectorSize / 4;
constexpr std::uint32_t HeaderDifatEntries = 109;

constexpr std::uint32_t FreeSector = 0xFFFFFFFF;
constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t FatSector = 0xFFFFFFFD;
constexpr std::uint32_t DifatSector = 0xFFFFFFFC;
constexpr std::uint32_t NoStream = 0xFFFFFFFF;

std::uint32_t CountOf(std::uint64_t bytes, std::uint32_t unit)
{
    return static_cast<std::uint32_t>((bytes + unit - 1) / unit);
}

// Where everything lies, in sectors after the header: FAT, DIFAT, directory,
// mini FAT (when there is a mini stream), data.
struct Layout {
    bool mini = false;
    std::uint32_t miniSectors = 0;
    std::uint32_t fat = 0;
    std::uint32_t difat = 0;
    std::uint32_t miniFat = 0;
    std::uint32_t data = 0;

    std::uint32_t directoryStart() const { return fat + difat; }
    std::uint32_t miniFatStart() const { return directoryStart() + 1; }
    std::uint32_t dataStart() const { return miniFatStart() + miniFat; }
    std::uint32_t total() const { return dataStart() + data; }
};

Layout Plan(std::uint64_t streamSize)
{
    Layout layout;
    layout.mini = streamSize < MiniStreamCutoff;
    if (layout.mini) {
        layout.miniSectors = CountOf(streamSize, MiniSectorSize); // at most 64: one mini FAT sector
        layout.miniFat = layout.miniSectors > 0 ? 1 : 0;
        layout.data = CountOf(std::uint64_t {layout.miniSectors} * MiniSectorSize, SectorSize);
    } else {
        layout.data = CountOf(streamSize, SectorSize);
    }
    // The FAT covers itself and the DIFAT: grow both until they fit.
    layout.fat = 1;
    while (true) {
        layout.difat
            = layout.fat > HeaderDifatEntries ? CountOf(layout.fat - HeaderDifatEntries, EntriesPerSector - 1) : 0;
        const std::uint32_t needed = CountOf(layout.total(), EntriesPerSector);
        if (needed <= layout.fat)
            return layout;
        layout.fat = needed;
    }
}

void PutChain(std::vector<std::uint32_t>& table, std::uint32_t first, std::uint32_t count)
{
    for (std::uint32_t i = 0; i < count; ++i)
        table[first + i] = i + 1 < count ? first + i + 1 : EndOfChain;
}

Bytes Header(const Layout& layout)
{
    Bytes out;
    out.reserve(SectorSize);
    for (const unsigned byte : {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1})
        PutU8(out, byte);
    out.resize(out.size() + 16, 0); // class id
    PutU16(out, 0x003E); // minor version
    PutU16(out, 0x0003); // major version 3
    PutU16(out, 0xFFFE); // little-endian
    PutU16(out, 9); // 512-byte sectors
    PutU16(out, 6); // 64-byte mini sectors
    out.resize(out.size() + 6, 0);
    PutU32(out, 0); // directory sector count: always 0 in version 3
    PutU32(out, layout.fat);
    PutU32(out, layout.directoryStart());
    PutU32(out, 0); // transaction signature
    PutU32(out, MiniStreamCutoff);
    PutU32(out, layout.miniFat > 0 ? layout.miniFatStart() : EndOfChain);
    PutU32(out, layout.miniFat);
    PutU32(out, layout.difat > 0 ? layout.fat : EndOfChain);
    PutU32(out, layout.difat);
    for (std::uint32_t i = 0; i < HeaderDifatEntries; ++i)
        PutU32(out, i < layout.fat ? i : FreeSector);
    assert(out.size() == SectorSize);
    return out;
}

Bytes Fat(const Layout& layout)
{
    std::vector<std::uint32_t> table(std::size_t {layout.fat} * EntriesPerSector, FreeSector);
    for (std::uint32_t i = 0; i < layout.fat; ++i)
        table[i] = FatSector;
    for (std::uint32_t i = 0; i < layout.difat; ++i)
        table[layout.fat + i] = DifatSector;
    PutChain(table, layout.directoryStart(), 1);
    PutChain(table, layout.miniFatStart(), layout.miniFat);
    PutChain(table, layout.dataStart(), layout.data);
    Bytes out;
    out.reserve(table.size() * 4);
    for (const std::uint32_t entry : table)
        PutU32(out, entry);
    return out;
}

// FAT sectors past the 109 listed in the header, 127 per sector, each
// sector ending with the next one's number.
Bytes Difat(const Layout& layout)
{
    Bytes out;
    std::uint32_t fatSector = HeaderDifatEntries;
    for (std::uint32_t i = 0; i < layout.difat; ++i) {
        for (std::uint32_t k = 0; k + 1 < EntriesPerSector; ++k, ++fatSector)
            PutU32(out, fatSector < layout.fat ? fatSector : FreeSector);
        PutU32(out, i + 1 < layout.difat ? layout.fat + i + 1 : EndOfChain);
    }
    return out;
}

void PutEntry(
    Bytes& out, std::u16string_view name, unsigned type, std::uint32_t child, std::uint32_t start, std::uint64_t size)
{
    const std::size_t begin = out.size();
    PutUtf16(out, name);
    out.resize(begin + 64, 0); // name, zero-terminated
    PutU16(out, name.empty() ? 0 : static_cast<unsigned>((name.size() + 1) * 2));
    PutU8(out, type);
    PutU8(out, type == 0 ? 0 : 1); // black in the red-black tree
    PutU32(out, NoStream); // left sibling
    PutU32(out, NoStream); // right sibling
    PutU32(out, child);
    out.resize(out.size() + 16 + 4 + 8 + 8, 0); // class id, state, times
    PutU32(out, start);
    PutU32(out, static_cast<std::uint32_t>(size));
    PutU32(out, static_cast<std::uint32_t>(size >> 32));
}

Bytes Directory(const Layout& layout, std::u16string_view streamName, std::uint64_t streamSize)
{
    constexpr unsigned StreamType = 2;
    constexpr unsigned RootType = 5;
    const std::uint32_t streamStart = layout.mini ? (layout.miniSectors > 0 ? 0 : EndOfChain) : layout.dataStart();
    const bool hasMiniStream = layout.miniSectors > 0;
    Bytes out;
    out.reserve(SectorSize);
    PutEntry(out, u"Root Entry", RootType, 1, hasMiniStream ? layout.dataStart() : EndOfChain,
        std::uint64_t {layout.miniSectors} * MiniSectorSize);
    PutEntry(out, streamName, StreamType, NoStream, streamStart, streamSize);
    PutEntry(out, u"", 0, NoStream, 0, 0);
    PutEntry(out, u"", 0, NoStream, 0, 0);
    assert(out.size() == SectorSize);
    return out;
}

Bytes MiniFat(const Layout& layout)
{
    std::vector<std::uint32_t> table(std::size_t {layout.miniFat} * EntriesPerSector, FreeSector);
    PutChain(table, 0, layout.miniSectors);
    Bytes out;
    for (const std::uint32_t entry : table)
        PutU32(out, entry);
    return out;
}

} // namespace

void WriteCompoundFile(ByteSink& out, std::u16string_view streamName, std::span<const std::uint8_t> stream)
{
    assert(streamName.size() < 32);
    const Layout layout = Plan(stream.size());
    out.write(Header(layout));
    out.write(Fat(layout));
    if (layout.difat > 0)
        out.write(Difat(layout));
    out.write(Directory(layout, streamName, stream.size()));
    if (layout.miniFat > 0)
        out.write(MiniFat(layout));
    out.write(stream);
    const Bytes padding(std::size_t {layout.data} * SectorSize - stream.size(), 0);
    if (!padding.empty())
        out.write(padding);
}

} // namespace fenban
