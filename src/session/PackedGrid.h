#pragma once

#include "roster/CellGrid.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// The cells of a grid in one byte string, for keeping many tables cheaply:
// per row the number of cells up to its last non-empty one, then each of
// those cells as its length and bytes. The current cell is not kept.
class PackedGrid {
public:
    explicit PackedGrid(const CellGrid& grid);
    static std::shared_ptr<const PackedGrid> Pack(const CellGrid& grid)
    {
        return std::make_shared<const PackedGrid>(grid);
    }

    int colCount() const { return cols_; }
    int rowCount() const { return rows_; }
    CellGrid Unpack() const;

    // Calls visit(row, cells) for every row in order, with the row's texts up
    // to its last non-empty cell (none for an empty row).
    template <class Visit> void forEachRow(Visit&& visit) const
    {
        std::vector<std::string_view> cells;
        std::size_t at = 0;
        for (int row = 0; row < rows_; ++row) {
            cells.resize(ReadCount(at));
            for (std::string_view& cell : cells) {
                const std::size_t length = ReadCount(at);
                cell = std::string_view(bytes_).substr(at, length);
                at += length;
            }
            visit(row, static_cast<const std::vector<std::string_view>&>(cells));
        }
    }

    // Memory held, the object included.
    std::size_t heldBytes() const { return sizeof(*this) + bytes_.capacity(); }

    friend bool operator==(const PackedGrid& a, const PackedGrid& b)
    {
        return a.cols_ == b.cols_ && a.rows_ == b.rows_ && a.bytes_ == b.bytes_;
    }

private:
    std::size_t ReadCount(std::size_t& at) const;

    int cols_ = 1;
    int rows_ = 1;
    std::string bytes_;
};

} // namespace fenban
