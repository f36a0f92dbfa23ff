#!/usr/bin/env python3
"""Recomputes the input and result fingerprints of table files from docs/fingerprint.md alone.

make FOLDER: writes table files that exercise the reading rules of "The table as read" (long
scores, cut genders, line ends in quoted .csv fields, blank rows, workbook numbers, rule headers
with blanks, several sheets) and prints their names, one a line.
fingerprints FILE CLASSES OUT.csv: prints the input fingerprint of FILE (sound-alike 1, bands 10,
as fenban divide) and the result fingerprint of the classes in OUT.csv (its third column).
"""
import csv
import hashlib
import os
import random
import sys
from decimal import Decimal
from fractions import Fraction

import openpyxl

BLANKS = "\u00a0\u3000"
HEADER = ["姓名", "性别", "班级", "总分", "语文", "数学"]


def blank(c):
    return ord(c) <= 32 or c in BLANKS


def trim(text):
    start, end = 0, len(text)
    while start < end and blank(text[start]):
        start += 1
    while end > start and blank(text[end - 1]):
        end -= 1
    return text[start:end]


def without_blanks(text):
    return "".join(c for c in text if not blank(c))


def rule_kind(header):
    word = trim(header)
    if word in ("同班", "不同班", "固定"):
        return word
    return "均衡" if word.startswith("均衡") else None


def rounded(value, bits):
    """value rounded to a binary number of `bits` significant bits, to nearest, ties to even."""
    if value == 0:
        return value
    magnitude = abs(value)
    exponent = magnitude.numerator.bit_length() - magnitude.denominator.bit_length()
    while Fraction(2) ** exponent > magnitude:
        exponent -= 1
    while Fraction(2) ** (exponent + 1) <= magnitude:
        exponent += 1
    scale = Fraction(2) ** (bits - 1 - exponent)
    whole, rest = divmod(magnitude * scale, 1)
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and whole % 2 == 1):
        whole += 1
    return (1 if value > 0 else -1) * whole / scale


def number(text):
    if all(ord(c) <= 32 for c in text):
        return "0"
    value = float(rounded(rounded(Fraction(text.strip(" ")), 64), 53))
    if value == 0:
        return "0"
    return format(Decimal(repr(value)).normalize(), "f")


def field(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def read_csv(path):
    text = open(path, "rb").read().decode("utf-8")
    if text.startswith("\ufeff"):
        text = text[1:]
    separator = "\t" if "\t" in text.split("\n")[0] else ","
    rows, row, cell, i = [], [], "", 0
    while i < len(text):
        c = text[i]
        if c == '"' and cell == "":
            end = i + 1
            while True:
                end = text.index('"', end)
                if text[end + 1:end + 2] == '"':
                    end += 2
                    continue
                break
            cell = text[i + 1:end].replace('""', '"').replace("\r\n", "\n").replace("\r", "\n")
            i = end + 1
            continue
        if c == separator:
            row.append(cell)
            cell = ""
        elif c in "\r\n":
            rows.append(row + [cell])
            row, cell = [], ""
            if c == "\r" and text[i + 1:i + 2] == "\n":
                i += 1
        else:
            cell += c
        i += 1
    if row or cell:
        rows.append(row + [cell])
    return [rows]


def read_workbook(path):
    sheets = []
    for sheet in openpyxl.load_workbook(path).worksheets:
        rows = []
        for cells in sheet.iter_rows(values_only=True):
            rows.append(["" if v is None else ("%.15G" % v if isinstance(v, (int, float)) else str(v))
                         for v in cells])
        sheets.append(rows)
    return sheets


def table_as_read(path):
    sheets = read_workbook(path) if path.endswith(".xlsx") else read_csv(path)
    sheets = [[[c for c in row] for row in rows] for rows in sheets if any(any(row) for row in rows)]
    for rows in sheets:
        while rows and not any(rows[-1]):
            rows.pop()
    headers = {tuple(without_blanks(c) for c in rows[0]) for rows in sheets}
    assert len(headers) == 1, "sheets to choose from"
    header = [without_blanks(c) if c and rule_kind(without_blanks(c)) and k >= 4 else c
              for k, c in enumerate(sheets[0][0])]
    students = [row for rows in sheets for row in rows[1:] if not all(all(blank(c) for c in cell) for cell in row)]
    return [header] + students


def input_text(table, classes):
    header = table[0]
    rules = [(c, rule_kind(h)) for c, h in enumerate(header) if c >= 4 and h and rule_kind(h)]
    score_end = min([c for c, _ in rules] + [3 + 11])
    lines = ["fenban-input\t2", "classes\t%d" % classes, "sound-alike\t1", "bands\t10", "rules\t%d" % len(rules)]
    lines += ["%s\t%s" % (kind, field(header[c])) for c, kind in rules]
    lines.append("students\t%d" % (len(table) - 1))
    for row in table[1:]:
        cell = lambda c: row[c] if c < len(row) else ""
        gender = cell(1).encode("gb18030")[:2].decode("gb18030", errors="ignore")
        scores = [number(cell(3 + s)) if 3 + s < score_end else "0" for s in range(11)]
        lines.append("\t".join([field(cell(0)), field(gender)] + scores + [field(cell(c)) for c, _ in rules]))
    return "".join(line + "\n" for line in lines)


def result_text(table, classes, out):
    with open(out, encoding="utf-8-sig", newline="") as written:
        assigned = [int(row[2]) for row in list(csv.reader(written))[1:]]
    lines = ["fenban-result\t1", "classes\t%d" % classes, "students\t%d" % len(assigned)]
    lines += ["%s\t%d" % (field(row[0]), k) for row, k in zip(table[1:], assigned)]
    return "".join(line + "\n" for line in lines)


def student(rng, k, scores=None):
    scores = scores or ["%d.%d" % (rng.randint(40, 120), rng.choice([0, 5])) for _ in range(2)]
    return ["学生%d" % k, rng.choice(["男", "女"]), "", str(300 + k)] + scores


def write_csv(path, rows):
    def quoted(cell):
        return '"' + cell.replace('"', '""') + '"' if any(c in cell for c in ',"\r\n') else cell
    with open(path, "wb") as out:
        out.write(("\ufeff" + "".join(",".join(quoted(c) for c in row) + "\r\n" for row in rows)).encode("utf-8"))


def make(folder):
    rng = random.Random(20240611)
    made = []

    def csv_file(name, rows):
        write_csv(os.path.join(folder, name), rows)
        made.append(name)

    long_scores = ["1.0000000000000001110223024625157", "0.1000000000000000055511151231257827",
                   "-3.00000000000000011102230246251565", "2.5e-1", " 97.49999999999999999999 "]
    csv_file("long-scores.csv", [HEADER] + [student(rng, k, [long_scores[k % 5], "%d.%s" % (rng.randint(40, 120), "".join(
        rng.choice("0123456789") for _ in range(24)))]) for k in range(12)])
    genders = ["M男", "𠮷", " 女", "男生", "女", "男", "f", "女的"]
    csv_file("cut-genders.csv", [HEADER] + [[c if i != 1 else genders[k % 8] for i, c in enumerate(student(rng, k))]
                                            for k in range(12)])
    rows = [HEADER + ["同班"]] + [student(rng, k) + [""] for k in range(12)]
    rows[3][0], rows[5][6], rows[8][0] = "王\r\n小明", "甲\r乙", "李,\"四\"\n"
    csv_file("line-ends.csv", rows)
    rows = [HEADER] + [student(rng, k) for k in range(12)]
    rows[4:4] = [[], ["", "  ", "\u3000"]]
    rows[9:9] = [[""] * 6]
    csv_file("blank-rows.csv", rows)
    header = HEADER + ["", " 同 班", "不同班 ", "均衡\u3000生源", "物理"] + [""] * 6 + ["固 定"]
    rows = [header] + [student(rng, k) + [str(k % 7), "A" if k < 2 else "", "B" if k in (2, 3) else "",
                                          rng.choice(["一中", "二中"]), "88"] + [""] * 6 + [""] for k in range(12)]
    csv_file("rule-headers.csv", rows)

    book = openpyxl.Workbook()
    sheet = book.active
    sheet.append(HEADER)
    values = [1 / 3, 0.1 + 0.2, 2 / 3 * 100, 123456789.123456789, 1e16 / 7, 99.99999999999999]
    for k in range(12):
        sheet.append(["学生%d" % k, rng.choice(["男", "女"]), k % 3 + 1, values[k % 6] * 3,
                      values[(k + 1) % 6], str(rng.randint(50, 99))])
    book.save(os.path.join(folder, "numbers.xlsx"))
    made.append("numbers.xlsx")

    book = openpyxl.Workbook()
    book.remove(book.active)
    for s in range(3):
        sheet = book.create_sheet("%d班" % (s + 1))
        sheet.append(HEADER)
        for k in range(4 + s):
            sheet.append(["学生%d-%d" % (s, k), rng.choice(["男", "女"]), s + 1, 300 + k, 60.5 + k, 70])
        if s == 1:
            sheet.insert_rows(3)
    book.save(os.path.join(folder, "sheets.xlsx"))
    made.append("sheets.xlsx")
    print("\n".join(made))


def main():
    if sys.argv[1] == "make":
        make(sys.argv[2])
        return
    path, classes, out = sys.argv[2], int(sys.argv[3]), sys.argv[4]
    table = table_as_read(path)
    print(hashlib.sha256(input_text(table, classes).encode("utf-8")).hexdigest())
    print(hashlib.sha256(result_text(table, classes, out).encode("utf-8")).hexdigest())


main()
