#!/usr/bin/env python3
"""Reads a dBase table with the independent dbfread library and prints its live rows as JSON."""
import json
import sys

from dbfread import DBF


def main(path):
    table = DBF(path, encoding="cp1251", char_decode_errors="strict")
    rows = [dict(record) for record in table]
    json.dump({"fields": table.field_names, "rows": rows}, sys.stdout, ensure_ascii=False, default=str)


if __name__ == "__main__":
    main(sys.argv[1])
