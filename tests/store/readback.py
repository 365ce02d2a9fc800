#!/usr/bin/env python3
"""Reads an exported file the way other programs do and prints what they see
as JSON: the rows of a CSV (comma) or text (tab) file through the csv module,
or a workbook's rows, frozen pane and filter range through openpyxl."""
import csv
import json
import sys


def read_delimited(path, dialect):
    with open(path, encoding="utf-8-sig", newline="") as f:
        return {"rows": list(csv.reader(f, dialect=dialect))}


def read_workbook(path):
    import openpyxl

    sheet = openpyxl.load_workbook(path).worksheets[0]
    rows = [["" if v is None else v for v in row] for row in sheet.iter_rows(values_only=True)]
    return {"rows": rows, "freeze": sheet.freeze_panes, "filter": sheet.auto_filter.ref}


def main():
    path, kind = sys.argv[1], sys.argv[2]
    readers = {
        "csv": lambda: read_delimited(path, "excel"),
        "text": lambda: read_delimited(path, "excel-tab"),
        "workbook": lambda: read_workbook(path),
    }
    json.dump(readers[kind](), sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
