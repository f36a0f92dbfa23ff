// A division file's bytes through the reader that opens it: a refusal
// (FileReadError) is a pass, anything else escaping or a crash a finding.
#include "session/DivisionFile.h"
#include "session/SessionErrors.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        fenban::ParseDivisionJson(
            QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), "fuzz.fenban");
    } catch (const fenban::FileReadError&) {
    }
    return 0;
}
