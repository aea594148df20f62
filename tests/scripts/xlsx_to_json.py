#!/usr/bin/python3
"""Reads an .xlsx file with Debian's python3-openpyxl and prints what it sees as JSON: the sheet's
name, frozen panes, filter range, cells (None for an empty one), each column's number format in the
first data row, whether it is a date or time cell there, and its width; date and time cells as
"ДД.ММ.ГГГГ" and "ЧЧ:ММ:СС". With --libreoffice also the rows as LibreOffice's headless converter
writes them to CSV (null when soffice is not installed). With --count only the sheet's row count and
last row, read straight from the sheet's XML (fast for large sheets)."""
import csv
import datetime
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile


def count(path):
    with zipfile.ZipFile(path) as z:
        xml = z.read("xl/worksheets/sheet1.xml").decode("utf-8")
    rows = re.findall(r'<row r="(\d+)"', xml)
    last = xml[xml.rfind("<row "):]
    values = re.findall(r"<v>([^<]*)</v>", last)
    return {"rows": len(rows), "last_row_number": int(rows[-1]) if rows else 0, "last_row_values": values}


def libreoffice_rows(path):
    soffice = shutil.which("soffice")
    if not soffice:
        return None
    with tempfile.TemporaryDirectory() as out:
        profile = "file://" + os.path.join(out, "profile")
        subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless", "--convert-to",
                        "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", out, path],
                       check=True, capture_output=True, timeout=180)
        name = os.path.splitext(os.path.basename(path))[0] + ".csv"
        with open(os.path.join(out, name), encoding="utf-8") as f:
            return list(csv.reader(f))


def kind(value):
    """What a cell holds: "date" (with or without a time of day), "time", "number", "text" or "empty"."""
    if isinstance(value, datetime.datetime):
        return "date"
    if isinstance(value, datetime.time):
        return "time"
    if value is None:
        return "empty"
    return "text" if isinstance(value, str) else "number"


def shown(value):
    """A date or time cell as a Russian reader writes it ("05.03.2024", "10:15:00"); others as they are."""
    if isinstance(value, datetime.datetime):
        return value.strftime("%d.%m.%Y") if value.time() == datetime.time(0) else value.strftime("%d.%m.%Y %H:%M:%S")
    if isinstance(value, datetime.time):
        return value.strftime("%H:%M:%S")
    return value


def main(path, options):
    if "--count" in options:
        print(json.dumps(count(path)))
        return
    import openpyxl
    from openpyxl.utils import get_column_letter
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    rows = [[shown(cell.value) for cell in row] for row in sheet.iter_rows()]
    formats = [sheet.cell(row=2, column=c).number_format for c in range(1, sheet.max_column + 1)]
    dates = [sheet.cell(row=2, column=c).is_date for c in range(1, sheet.max_column + 1)]
    widths = [sheet.column_dimensions[get_column_letter(c)].width for c in range(1, sheet.max_column + 1)]
    kinds = [[kind(cell.value) for cell in row] for row in sheet.iter_rows()]
    result = {"sheet": sheet.title, "freeze": sheet.freeze_panes, "filter": sheet.auto_filter.ref,
              "rows": rows, "kinds": kinds, "formats": formats, "dates": dates, "widths": widths}
    if "--libreoffice" in options:
        result["libreoffice"] = libreoffice_rows(path)
    print(json.dumps(result, ensure_ascii=False))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
