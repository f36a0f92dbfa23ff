#include "xls/Spreadsheet.h"

#include <exception>

namespace fenban {

namespace {

std::unique_ptr<SpreadsheetAutomationObject> TryCreate(const SpreadsheetFactory& factory, std::string_view className)
{
    try {
        return factory ? factory(className) : nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

} // namespace

ExportResult ExportCells(const SpreadsheetFactory& factory, int rowCount, int columnCount, const GridCellText& cell,
    const std::filesystem::path& file)
{
    std::unique_ptr<SpreadsheetAutomationObject> application = TryCreate(factory, "excel.application");
    auto* const excel = dynamic_cast<SpreadsheetApplication*>(application.get());
    if (excel == nullptr)
        return ExportResult::NoSpreadsheetApplication;
    const std::unique_ptr<SpreadsheetAutomationObject> sheet = TryCreate(factory, "excel.sheet");
    if (!sheet)
        return ExportResult::NoSpreadsheetApplication;

    SpreadsheetWorkbook& workbook = excel->workbooks().add();
    for (int row = 0; row < rowCount; ++row) {
        for (int column = 0; column < columnCount; ++column)
            excel->putCell(row + 1, column + 1, cell(column, row));
    }
    workbook.saveAs(file);
    workbook.close();
    excel->quit();
    return ExportResult::Done;
}

} // namespace fenban
