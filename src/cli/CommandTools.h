#pragma once

#include "common/Failure.h"
#include "io/TableLayout.h"

#include <filesystem>
#include <string>

namespace fenban {

// What the commands share: exit codes, messages, arguments, reading a table.

// A wrong command line: told with a hint to --help.
class UsageError : public Failure {
public:
    using Failure::Failure;
};

inline constexpr int ExitMatch = 0;
inline constexpr int ExitNoMatch = 1;
inline constexpr int ExitError = 2;

std::filesystem::path PathOf(const char* argument);
std::string Local(const char* argument);
// The suffix in lower case with its dot: ".xlsx".
std::string Suffix(const std::filesystem::path& file);
std::string FileNameText(const std::filesystem::path& file);

// A line on stderr (messages) and on stdout (what scripts read).
void Tell(const std::string& text);
void Print(const std::string& text);

// The decimal separator the window reads numbers with.
std::string DecimalSeparator();

// The table of a file as 打开 reads it, with no one to ask: 导入设置's
// proposal as it stands; what it took and what the reading found go to stderr.
ProposedImport ReadLikeOpen(const std::filesystem::path& file);

// A .csv field, quoted when it holds a comma, a quotation mark or a line break.
std::string CsvField(const std::string& text);

} // namespace fenban
