#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace fenban::testkit {

// The first sheet of an .xls file as an independent reader sees it.
struct SheetReadBack {
    QString error; // empty when the file was read
    int biffVersion = 0;
    int codepage = 0;
    std::vector<std::string> sheetNames;
    int rows = 0;
    int columns = 0;
    // rows x columns; an empty cell is nullopt. A cell of any kind but text
    // or empty is recorded as an error.
    std::vector<std::vector<std::optional<std::string>>> cells;
    unsigned fatEntries = 0; // FreeXL only: 128 per FAT sector
};

SheetReadBack ReadWithFreeXl(const QString& file);
SheetReadBack ReadWithXlrd(const QString& file);

} // namespace fenban::testkit
