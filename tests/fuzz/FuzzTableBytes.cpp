// Raw bytes under each table extension: the first byte picks the name.
#include "FuzzReaders.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const char* const names[] = {"fuzz.xlsx", "fuzz.xls", "fuzz.csv", "fuzz.tsv", "fuzz.txt"};
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    fenban::FuzzTableBytes(bytes, names[data[0] % 5]);
    return 0;
}
