#pragma once

#include "common/Failure.h"

namespace fenban {

// The .xls writer was given a cell position below 1.
class SpreadsheetError : public Failure {
public:
    using Failure::Failure;
};

// The grid does not fit an .xls file: too many rows or columns, or a text too
// long for one cell. Raised before any file is touched.
class SpreadsheetLimitError : public SpreadsheetError {
public:
    using SpreadsheetError::SpreadsheetError;
};

} // namespace fenban
