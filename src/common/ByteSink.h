#pragma once

#include <cstdint>
#include <span>

namespace fenban {

// Where written bytes go. write() throws (std::system_error for a file) when
// the bytes cannot be taken.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::span<const std::uint8_t> bytes) = 0;
};

} // namespace fenban
