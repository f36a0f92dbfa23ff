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

[[noreturn]] void ThrowTooLarge()
{
    throw TableProblem(TableReadError::Reason::TooLarge,
        "文件内容太大（解压后超过 " + std::to_string(MaxUnpackedSize >> 20) + " MB），请只留下名单所在的表格");
}

} // namespace

ZipArchive::ZipArchive(std::string_view bytes, std::uint64_t maxUnpacked)
    : bytes_(bytes)
    , maxUnpacked_(maxUnpacked)
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
            ThrowTooLarge();
        entries_.push_back(std::move(entry));
        at += 46u + nameLength + extraLength + commentLength;
    }
}

ZipArchive::~ZipArchive() = default;

std::unique_ptr<ZipArchive::Reader> ZipArchive::open(std::string_view name) const
{
    const auto found = std::find_if(
        entries_.begin(), entries_.end(), [&](const Entry& entry) { return SameName(entry.name, name); });
    if (found == entries_.end())
        return nullptr;
    const Entry& entry = *found;
    if (entry.size > maxUnpacked_)
        ThrowTooLarge();
    if (Read(bytes_, entry.headerOffset, 4) != LocalSignature)
        ThrowCorrupt();
    const std::uint64_t data
        = entry.headerOffset + 30 + Read(bytes_, entry.headerOffset + 26, 2) + Read(bytes_, entry.headerOffset + 28, 2);
    if (data + entry.packedSize > bytes_.size())
        ThrowCorrupt();
    if (entry.method != 0 && entry.method != 8)
        ThrowCorrupt(); // no spreadsheet packs its parts otherwise
    if (entry.method == 0 && entry.packedSize != entry.size)
        ThrowCorrupt();
    return std::unique_ptr<Reader>(new Reader(
        *this, entry, bytes_.substr(static_cast<std::size_t>(data), static_cast<std::size_t>(entry.packedSize))));
}

struct ZipArchive::Reader::Inflater {
    z_stream stream {};
    bool started = false;
    bool ended = false;
    ~Inflater()
    {
        if (started)
            inflateEnd(&stream);
    }
};

ZipArchive::Reader::Reader(const ZipArchive& zip, const Entry& entry, std::string_view packed)
    : zip_(zip)
    , entry_(entry)
    , packed_(packed)
    , inflater_(std::make_unique<Inflater>())
{
    if (entry.method != 8)
        return;
    if (inflateInit2(&inflater_->stream, -MAX_WBITS) != Z_OK)
        throw std::bad_alloc();
    inflater_->started = true;
    inflater_->stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    inflater_->stream.avail_in = static_cast<uInt>(packed.size());
}

ZipArchive::Reader::~Reader() = default;

std::size_t ZipArchive::Reader::read(char* out, std::size_t size)
{
    if (ended_ || size == 0)
        return 0;
    // One byte more than the entry declares is enough to tell it lied.
    const auto want = static_cast<uInt>(std::min<std::uint64_t>({size, entry_.size - produced_ + 1, 1u << 20}));
    std::size_t got = 0;
    if (entry_.method == 0) {
        got = std::min<std::size_t>(want, packed_.size() - static_cast<std::size_t>(produced_));
        std::copy_n(packed_.data() + produced_, got, out);
    } else {
        z_stream& stream = inflater_->stream;
        stream.next_out = reinterpret_cast<Bytef*>(out);
        stream.avail_out = want;
        while (stream.avail_out == want && !inflater_->ended) {
            const int result = inflate(&stream, Z_NO_FLUSH);
            if (result == Z_STREAM_END)
                inflater_->ended = true;
            else if (result != Z_OK)
                ThrowCorrupt(); // broken data, or the data ends before the stream does
        }
        got = want - stream.avail_out;
    }
    produced_ += got;
    zip_.unpacked_ += got;
    if (produced_ > entry_.size)
        ThrowCorrupt();
    if (zip_.unpacked_ > zip_.maxUnpacked_)
        ThrowTooLarge();
    crc_ = static_cast<std::uint32_t>(crc32(crc_, reinterpret_cast<const Bytef*>(out), static_cast<uInt>(got)));
    if (got == 0) {
        ended_ = true;
        if (produced_ != entry_.size || crc_ != entry_.crc || (entry_.method == 8 && !inflater_->ended))
            ThrowCorrupt();
    }
    return got;
}

} // namespace fenban
