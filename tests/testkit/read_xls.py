"""Reads the first sheet of an .xls file with xlrd and prints it as JSON:
format facts, every cell as [type, value], and xlrd's warnings."""
import io
import json
import sys

import xlrd

log = io.StringIO()
book = xlrd.open_workbook(sys.argv[1], formatting_info=True, logfile=log, verbosity=0)
sheet = book.sheet_by_index(0)
json.dump({
    "biff": book.biff_version,
    "codepage": book.codepage,
    "sheets": book.sheet_names(),
    "nrows": sheet.nrows,
    "ncols": sheet.ncols,
    "cells": [[[sheet.cell_type(r, c), sheet.cell_value(r, c)] for c in range(sheet.ncols)]
              for r in range(sheet.nrows)],
    "log": log.getvalue(),
}, sys.stdout)
