#pragma once

#include "io/TableBytes.h"

#include <string_view>

namespace fenban {

// The worksheets of an Excel 97-2003 (.xls) workbook whose bytes are given
// (an OLE2 compound file holding a BIFF8 or BIFF5 workbook stream), in the
// workbook's order. Every record's length and every offset is checked before
// it is used; cells come from LABELSST (the shared strings, carried on in
// CONTINUE records), LABEL, RSTRING, NUMBER, RK, MULRK, BOOLERR and the
// values of FORMULA records (STRING for a text result). Throws TableProblem.
std::vector<TableSheet> ReadXlsSheets(std::string_view bytes, SheetsWanted wanted);

// Throws TableProblem (encrypted) when a compound file is an encrypted
// Office document (an .xlsx with a password is one).
void RejectEncryptedPackage(std::string_view bytes);

} // namespace fenban
