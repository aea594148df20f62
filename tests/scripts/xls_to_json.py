#!/usr/bin/python3
"""Reads an .xls file with Debian's olefile and xlrd and prints what they see as JSON:
the compound file's streams, then each sheet's name, cells (type and value) and the column widths it
stores (1/256 of a character)."""
import json
import sys

import olefile
import xlrd


def main(path):
    ole = olefile.OleFileIO(path)
    streams = ["/".join(entry) for entry in ole.listdir(streams=True, storages=True)]
    ole.close()
    book = xlrd.open_workbook(path, formatting_info=True)
    sheets = []
    for sheet in book.sheets():
        rows = []
        for r in range(sheet.nrows):
            row = []
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                kind = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number",
                        xlrd.XL_CELL_BLANK: "blank", xlrd.XL_CELL_EMPTY: "empty"}.get(cell.ctype, str(cell.ctype))
                row.append([kind, cell.value])
            rows.append(row)
        widths = {str(c): info.width for c, info in sheet.colinfo_map.items()}
        sheets.append({"name": sheet.name, "rows": rows, "column_widths": widths})
    print(json.dumps({"streams": streams, "sheets": sheets}, ensure_ascii=False))


if __name__ == "__main__":
    main(sys.argv[1])
