#pragma once

#include <stdexcept>
#include <string>

namespace fenban {

// A failure the user is told about. The message is UTF-8 and is shown as it
// stands in the window's error box; the logic throws, the window's handler
// guard catches.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

// A cell text that is not a number of the expected kind.
class ConversionError : public Failure {
public:
    using Failure::Failure;
};

// A value out of the range a calculation can hold (a score too large to average).
class OutOfRangeError : public Failure {
public:
    using Failure::Failure;
};

// A file could not be written.
class WriteError : public Failure {
public:
    using Failure::Failure;
};

} // namespace fenban
