#!/usr/bin/env bash
# Makes the spreadsheet files of this folder from their .fods sources with
# LibreOffice Calc (Debian: libreoffice-calc-nogui), the way an office saves
# a table. Only needed when a source changes; the results are committed.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Options of the text export: separator, quote, character set (76 UTF-8,
# 85 GB18030), header line, cell format, language, quote every text cell,
# detect special numbers, cells as shown, export formulas, remove spaces,
# sheet (2: the second sheet; roster-table.fods has an empty first one).
text() { # source sheet separator quote charset quoteAll target
  soffice --headless --convert-to "csv:Text - txt - csv (StarCalc):$3,$4,$5,1,,0,$6,true,true,false,false,$2" \
    --outdir "$work/out" "$1" >/dev/null 2>&1
  mv "$work"/out/*.csv "$7"
}

for source in roster-table quoted-cells several-sheets; do
  soffice --headless --convert-to xlsx --outdir . "$source.fods" >/dev/null 2>&1
done
for source in roster-table several-sheets; do
  soffice --headless --convert-to xls --outdir . "$source.fods" >/dev/null 2>&1
done

# A school's grade as offices keep it, each file giving the roster of
# school-plain: title rows, shuffled columns, no 总分, one sheet per class
# (its sheets also as text files, one per sheet); own-classes keeps the own layout
# one sheet per former class.
for source in school-plain school-title school-shuffled school-nototal school-classes school-offset own-classes; do
  soffice --headless --convert-to xlsx --outdir . "$source.fods" >/dev/null 2>&1
done
for source in school-title school-classes; do
  soffice --headless --convert-to xls --outdir . "$source.fods" >/dev/null 2>&1
done
text school-nototal.fods 1 44 34 76 false school-nototal.csv
for sheet in 1 2 3; do
  text school-classes.fods $sheet 44 34 85 false "school-classes-$sheet.csv"
done

text roster-table.fods 2 9 0 76 false roster-table.txt          # tab-separated, as a copy gives it
text roster-table.fods 2 44 34 76 false roster-table-utf8.csv
text roster-table.fods 2 44 34 85 true roster-table-gb18030.csv  # every text quoted
text quoted-cells.fods 1 44 34 76 false quoted-cells-utf8.csv
text quoted-cells.fods 1 44 34 85 false quoted-cells-gb18030.csv
ls -l roster-table.* quoted-cells.* several-sheets.* school-*
