#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace fenban {

using Bytes = std::vector<std::uint8_t>;

// Little-endian appends and patches, the byte order of both BIFF8 and the
// compound file.
inline void PutU8(Bytes& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value));
}

inline void PutU16(Bytes& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutU32(Bytes& out, std::uint32_t value)
{
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

inline void PatchU16(Bytes& out, std::size_t at, unsigned value)
{
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void PatchU32(Bytes& out, std::size_t at, std::uint32_t value)
{
    PatchU16(out, at, value & 0xFFFF);
    PatchU16(out, at + 2, value >> 16);
}

inline void PutUtf16(Bytes& out, std::u16string_view text)
{
    for (const char16_t unit : text)
        PutU16(out, unit);
}

} // namespace fenban
