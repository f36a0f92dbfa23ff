#pragma once

#include "common/ByteSink.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace fenban {

// Writes an OLE2 compound file (version 3, 512-byte sectors) whose root
// storage holds one stream. A stream under 4096 bytes lives in the mini
// stream, as the format requires; a FAT of more than 109 sectors is reached
// through DIFAT sectors. The file goes out in several writes: header, FAT,
// DIFAT, directory, mini FAT, data.
void WriteCompoundFile(ByteSink& out, std::u16string_view streamName, std::span<const std::uint8_t> stream);

} // namespace fenban
