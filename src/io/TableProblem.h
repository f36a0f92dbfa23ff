#pragma once

#include "io/TableFile.h"

#include <stdexcept>
#include <string>

namespace fenban {

// Why a table file cannot be read, before ReadTableFile puts the file's name
// into the message. text is the reason as the user reads it.
class TableProblem : public std::runtime_error {
public:
    TableProblem(TableReadError::Reason reason, const std::string& text)
        : std::runtime_error(text)
        , reason_(reason)
    {
    }
    TableReadError::Reason reason() const { return reason_; }

private:
    TableReadError::Reason reason_;
};

[[noreturn]] inline void ThrowCorrupt()
{
    throw TableProblem(TableReadError::Reason::Corrupt, "文件已损坏或不完整");
}

// Every table position is checked before a cell is stored (0-based).
void CheckTablePosition(long long row, long long column);

} // namespace fenban
