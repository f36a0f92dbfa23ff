#!/usr/bin/env python3
"""Recomputes fingerprints and the teachers' draw from docs/fingerprint.md alone.

Reads a JSON job from the file named by its argument: {"table": [[cell, ...], ...] (header first, UTF-8
texts as in the file), "classes", "soundAlike", "bands", "result": [class of
each student], "teachers": [...], "seed": "digits"}; prints a JSON object
{"input": sha, "result": sha, "seed": int, "draw": [...]}.
"""
import decimal
import hashlib
import json
import sys

RULE_KINDS = {"同班": "同班", "不同班": "不同班", "固定": "固定"}
BLANKS = " \t\r\n\u00a0\u3000"


def field(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def number(text):
    value = float(text) if text.strip() else 0.0
    if value == 0:
        return "0"
    return format(decimal.Decimal(repr(value)).normalize(), "f")


def rule_kind(header):
    header = header.strip(BLANKS)
    if header in RULE_KINDS:
        return RULE_KINDS[header]
    return "均衡" if header.startswith("均衡") else None


def input_text(job):
    table = job["table"]
    header = table[0]
    rules = [(c, rule_kind(h)) for c, h in enumerate(header) if c >= 4 and rule_kind(h)]
    score_end = min([c for c, _ in rules] + [3 + 11])
    lines = ["fenban-input\t2", "classes\t%d" % job["classes"], "sound-alike\t%d" % int(job["soundAlike"]),
             "bands\t%d" % job["bands"], "rules\t%d" % len(rules)]
    lines += ["%s\t%s" % (kind, field(header[c])) for c, kind in rules]
    lines.append("students\t%d" % (len(table) - 1))
    for row in table[1:]:
        cell = lambda c: row[c] if c < len(row) else ""
        gender = cell(1).encode("gb18030")[:2].decode("gb18030", errors="ignore")
        scores = [number(cell(3 + s)) if 3 + s < score_end else "0" for s in range(11)]
        texts = [field(cell(c)) for c, _ in rules]
        lines.append("\t".join([field(cell(0)), field(gender)] + scores + texts))
    return "".join(line + "\n" for line in lines)


def result_text(job):
    names = [row[0] for row in job["table"][1:]]
    lines = ["fenban-result\t1", "classes\t%d" % job["classes"], "students\t%d" % len(names)]
    lines += ["%s\t%d" % (field(n), k) for n, k in zip(names, job["result"])]
    return "".join(line + "\n" for line in lines)


def draw(teachers, seed):
    state = seed
    mask = 2**64 - 1

    def next_number():
        nonlocal state
        state = (state + 0x9E3779B97F4A7C15) & mask
        z = state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & mask
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & mask
        return z ^ (z >> 31)

    drawn = list(teachers)
    for i in range(len(drawn), 1, -1):
        j = next_number() % i
        drawn[i - 1], drawn[j] = drawn[j], drawn[i - 1]
    return drawn


def main():
    with open(sys.argv[1], encoding="utf-8") as job_file:
        job = json.load(job_file)
    seed = int(job["seed"]) % 2**64
    print(json.dumps({
        "input": hashlib.sha256(input_text(job).encode("utf-8")).hexdigest(),
        "result": hashlib.sha256(result_text(job).encode("utf-8")).hexdigest(),
        "seed": str(seed),
        "draw": draw(job["teachers"], seed),
    }, ensure_ascii=False))


main()
