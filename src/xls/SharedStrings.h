#pragma once

#include "xls/LittleEndian.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fenban {

// Appends the shared string table to a BIFF8 workbook stream: the SST record,
// CONTINUE records wherever it passes the record size limit, then the EXTSST
// index into it. Every string is stored uncompressed (UTF-16). referenceCount
// is the number of cells that refer to the table.
void AppendSharedStrings(Bytes& stream, const std::vector<const std::u16string*>& texts, std::uint32_t referenceCount);

} // namespace fenban
