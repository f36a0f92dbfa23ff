#pragma once

#include "io/TableFile.h"

#include <optional>
#include <string>
#include <vector>

namespace fenban::testkit {

// A damaged or hostile table file, made byte by byte: what an office may be
// sent, and what once crashed or exhausted a reader. Either it reads (rows
// is what its first non-empty sheet holds, sheets how many sheets it has) or
// it is refused for `refused`, the message holding `says`.
struct HostileFile {
    std::string name; // the file name, whose extension the reader sees
    std::string bytes;
    std::optional<TableReadError::Reason> refused;
    std::string says;
    TableRows rows;
    std::size_t sheets = 1;
};

// Every one of them, made afresh (some are megabytes).
std::vector<HostileFile> HostileFiles();

// The hostile file of that name.
HostileFile HostileFileNamed(const std::string& name);

// A file name's bytes of a larger file than any reader takes, made without
// writing its bytes: a sparse file of MaxTableFileSize + 1 bytes.
void MakeOversizedFile(const std::filesystem::path& file);

} // namespace fenban::testkit
