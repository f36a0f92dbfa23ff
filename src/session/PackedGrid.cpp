#include "session/PackedGrid.h"

namespace fenban {

namespace {

// Seven bits a byte, lowest first; the high bit says another byte follows.
void WriteCount(std::string& out, std::size_t n)
{
    while (n >= 0x80) {
        out.push_back(static_cast<char>(0x80 | (n & 0x7F)));
        n >>= 7;
    }
    out.push_back(static_cast<char>(n));
}

} // namespace

std::size_t PackedGrid::ReadCount(std::size_t& at) const
{
    std::size_t n = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(bytes_[at++]);
        n |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if (byte < 0x80)
            return n;
    }
}

PackedGrid::PackedGrid(const CellGrid& grid)
    : cols_(grid.colCount())
    , rows_(grid.rowCount())
{
    std::string& out = bytes_;
    for (int row = 0; row < grid.rowCount(); ++row) {
        int used = grid.heldCells(row);
        while (used > 0 && grid.cell(used - 1, row).empty())
            --used;
        WriteCount(out, static_cast<std::size_t>(used));
        for (int col = 0; col < used; ++col) {
            const std::string& text = grid.cell(col, row);
            WriteCount(out, text.size());
            out += text;
        }
    }
    out.shrink_to_fit();
}

CellGrid PackedGrid::Unpack() const
{
    CellGrid grid(cols_, rows_);
    forEachRow([&grid](int row, const std::vector<std::string_view>& cells) {
        for (std::size_t col = 0; col < cells.size(); ++col)
            grid.setCell(static_cast<int>(col), row, std::string(cells[col]));
    });
    return grid;
}

} // namespace fenban
