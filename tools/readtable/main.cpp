// Reads table files as the window opens them and tells what came out: each
// sheet's name and size, or the message. For looking at a file someone sent
// and for measuring a reader's time and memory (/usr/bin/time -v).
//   readtable FILE...
#include "io/TableFile.h"

#include <cstdio>

int main(int argc, char** argv)
{
    int failures = 0;
    for (int k = 1; k < argc; ++k) {
        std::printf("%s\n", argv[k]);
        try {
            for (const fenban::TableSheet& sheet : fenban::ReadTableSheets(argv[k])) {
                std::size_t cells = 0;
                std::size_t widest = 0;
                for (const auto& row : sheet.rows) {
                    cells += row.size();
                    widest = std::max(widest, row.size());
                }
                std::printf(
                    "  %s: %zu rows, %zu columns, %zu cells\n", sheet.name.c_str(), sheet.rows.size(), widest, cells);
                for (std::size_t r = 0; r < std::min<std::size_t>(sheet.rows.size(), 8); ++r) {
                    std::printf("   ");
                    for (const std::string& cell : sheet.rows[r])
                        std::printf(" [%s]", cell.c_str());
                    std::printf("\n");
                }
            }
        } catch (const fenban::TableReadError& error) {
            std::printf("  %s\n", error.what());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
