#!/usr/bin/env python3
"""Prints an .xlsx workbook as JSON, read by openpyxl (an independent reader):
every sheet in order with its cells (value and type), whether the header row is
bold, the frozen cell, the print title rows, the fit-to-page settings, the paper
and the orientation, and the column widths."""
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
sheets = []
for sheet in book.worksheets:
    rows = []
    for row in sheet.iter_rows():
        rows.append([{"value": cell.value, "type": type(cell.value).__name__} for cell in row])
    setup = sheet.page_setup
    sheets.append({
        "name": sheet.title,
        "rows": rows,
        "headerBold": all(cell.font.b for cell in sheet[1] if cell.value is not None),
        "frozen": sheet.freeze_panes,
        "printTitleRows": sheet.print_title_rows,
        # An absent fitToWidth is 1, the file format's default.
        "fitToWidth": 1 if setup.fitToWidth is None else setup.fitToWidth,
        "fitToHeight": setup.fitToHeight,
        "fitToPage": sheet.sheet_properties.pageSetUpPr.fitToPage if sheet.sheet_properties.pageSetUpPr else None,
        "paperSize": setup.paperSize,
        "orientation": setup.orientation,
        "widths": {key: dim.width for key, dim in sheet.column_dimensions.items()},
        "pageHeader": sheet.oddHeader.center.text,
    })
json.dump(sheets, sys.stdout, ensure_ascii=False, default=str)
