#!/usr/bin/python3
"""The peer of bench_xls: python3-xlwt writing the cells of a page, given as the CSV that "Экспорт в CSV"
writes, into an Excel 97-2003 workbook. Reading the CSV is not timed; it prints the seconds that
building and saving the workbook took.

Usage: xlwt_peer.py PAGE.csv OUT.xls
"""
import csv
import sys
import time

import xlwt


def main(source, target):
    with open(source, encoding="utf-8-sig", newline="") as f:
        rows = list(csv.reader(f, delimiter=";"))
    cells = []
    for row in rows:
        values = []
        for text in row:
            try:
                values.append(float(text.replace(",", ".")) if text else None)
            except ValueError:
                values.append(text)
        cells.append(values)
    start = time.perf_counter()
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("ORNAK-TR5")
    for r, values in enumerate(cells):
        for c, value in enumerate(values):
            if value is not None:
                sheet.write(r, c, value)
    book.save(target)
    print("%.6f" % (time.perf_counter() - start))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
