// BIFF records inside a valid compound file: the bytes are the Workbook
// stream, so the records are reached however the container is checked.
#include "FuzzReaders.h"
#include "TableMakers.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string stream(reinterpret_cast<const char*>(data), size);
    fenban::FuzzTableBytes(fenban::testkit::CompoundFile(stream), "fuzz.xls");
    return 0;
}
