#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// Cuts pasted text into lines. A line ends at CR LF, at a lone CR or at a
// lone LF (LF CR is two ends with an empty line between). A line end at the
// very end adds no empty line; an empty text has no lines. The text ends at
// its first NUL, as clipboard text does.
std::vector<std::string_view> SplitLines(std::string_view text);

// Cuts one line at every tab. A line without a tab is one field; the text
// behind the last tab, empty or not, is the last field.
std::vector<std::string_view> SplitFields(std::string_view line);

class CellGrid;

// The block of cells from (left, top) to (right, bottom), both included, as
// a spreadsheet takes it: cells joined by tabs, rows by CR LF, no line end
// after the last row, texts unchanged.
std::string BlockText(const CellGrid& grid, int left, int top, int right, int bottom);

} // namespace fenban
