#pragma once

#include "io/TableFile.h"

#include <string>
#include <string_view>

namespace fenban {

// UTF-8 text of a text file's bytes: UTF-16 with its byte-order mark, UTF-8
// with or without one, else GB18030 (any bytes that are not valid UTF-8).
std::string DecodeTableText(std::string_view bytes);

// Tab when the first line holds one, else comma.
char GuessSeparator(std::string_view text);

// Cuts delimited text into rows of fields, as a spreadsheet reads a .csv: a
// field that starts with a quote runs to the closing quote, holding
// separators and line ends, and "" inside it is one quote; text after the
// closing quote joins the field. Lines end at CR LF, CR or LF; a line end at
// the very end adds no row. Line ends inside a quoted field become LF.
TableRows SplitDelimited(std::string_view text, char separator);

class SheetBuilder;
// The same cutting into a sheet, field by field: only non-empty fields are
// kept, each position checked against the table limits before it is.
void SplitDelimited(std::string_view text, char separator, SheetBuilder& sheet);

} // namespace fenban
