#include "FuzzReaders.h"

#include "io/TableBytes.h"
#include "io/TableProblem.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace fenban {

void FuzzTableBytes(std::string_view bytes, const std::filesystem::path& name)
{
    try {
        std::uint64_t cells = 0;
        for (const TableSheet& sheet : ReadTableBytes(bytes, name, SheetsWanted::All)) {
            if (sheet.rows.size() > std::size_t {MaxTableRows})
                std::abort();
            for (const auto& row : sheet.rows) {
                if (row.size() > std::size_t {MaxTableColumns})
                    std::abort();
                cells += row.size();
            }
        }
        if (cells > MaxTableCells)
            std::abort();
    } catch (const TableProblem& problem) {
        if (std::string_view(problem.what()).empty())
            std::abort();
    } catch (const std::out_of_range&) {
        // ReadTableSheets tells these as a damaged file
    } catch (const std::length_error&) {
    } catch (const std::bad_alloc&) {
    }
}

} // namespace fenban
