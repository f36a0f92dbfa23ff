#include "xls/GridXls.h"

#include "xls/Biff8Workbook.h"
#include "xls/CompoundFile.h"
#include "xls/SheetCells.h"

namespace fenban {

void WriteGridXls(
    FileSystem& files, const std::filesystem::path& file, int rowCount, int columnCount, const GridCellText& cell)
{
    SheetCells cells;
    for (int row = 0; row < rowCount; ++row) {
        for (int column = 0; column < columnCount; ++column)
            cells.put(row + 1, column + 1, cell(column, row));
    }
    // Built, and so checked against the format's limits, before the file is touched.
    const Bytes stream = BuildWorkbookStream(cells);
    SaveFileSafely(files, file, [&stream](ByteSink& out) { WriteCompoundFile(out, u"Workbook", stream); });
}

} // namespace fenban
