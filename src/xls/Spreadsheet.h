#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace fenban {

// An automation-shaped spreadsheet component: the calls an export makes on a
// spreadsheet application. Any failure of a call is thrown (a fenban::Failure
// for what the user should read).

// Whatever a class name creates.
class SpreadsheetAutomationObject {
public:
    virtual ~SpreadsheetAutomationObject() = default;
};

class SpreadsheetWorkbook {
public:
    virtual ~SpreadsheetWorkbook() = default;
    virtual void saveAs(const std::filesystem::path& file) = 0;
    virtual void close() = 0;
};

class SpreadsheetWorkbooks {
public:
    virtual ~SpreadsheetWorkbooks() = default;
    // The new workbook becomes the active one; it lives as long as the
    // application object.
    virtual SpreadsheetWorkbook& add() = 0;
};

class SpreadsheetApplication : public SpreadsheetAutomationObject {
public:
    virtual SpreadsheetWorkbooks& workbooks() = 0;
    // "cells": puts a text into the active sheet of the active workbook at a
    // 1-based row and column.
    virtual void putCell(int row, int column, std::string_view utf8) = 0;
    virtual void quit() = 0;
};

// Creates an automation object by class name ("excel.application",
// "excel.sheet"); returns nullptr or throws when it cannot.
using SpreadsheetFactory = std::function<std::unique_ptr<SpreadsheetAutomationObject>(std::string_view className)>;

enum class ExportResult { Done, NoSpreadsheetApplication };

// The text of grid cell (column, row), both 0-based.
using GridCellText = std::function<const std::string&(int column, int row)>;

// Exports a grid the way a spreadsheet application is driven: create
// "excel.application", create "excel.sheet" (held, never used), workbooks,
// add, put every cell row by row (grid row r, column c to sheet cell r + 1,
// c + 1; empty ones as empty texts), saveas, close, quit.
// NoSpreadsheetApplication when either creation fails (nothing else is
// called, no file made). A failure of any later call ends the export there
// and is thrown on; every object made is released either way.
ExportResult ExportCells(const SpreadsheetFactory& factory, int rowCount, int columnCount, const GridCellText& cell,
    const std::filesystem::path& file);

} // namespace fenban
