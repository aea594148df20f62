#!/usr/bin/python3
"""Opens a CSV file the way a Russian LibreOffice opens it by double-click (";" between values, UTF-8,
Russian locale for numbers and dates), saves it as .xlsx with LibreOffice's headless converter and prints
each cell's kind as JSON: "number", "text" or null for an empty one. Exit code 77 when soffice is not
installed."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

RUSSIAN = 1049  # LibreOffice's language number for Russian
SEMICOLON, QUOTE, UTF8 = 59, 34, 76


def main(path):
    soffice = shutil.which("soffice")
    if not soffice:
        return 77
    import openpyxl
    with tempfile.TemporaryDirectory() as out:
        profile = "file://" + os.path.join(out, "profile")
        options = "CSV:%d,%d,%d,1,,%d" % (SEMICOLON, QUOTE, UTF8, RUSSIAN)
        subprocess.run([soffice, "-env:UserInstallation=" + profile, "--headless", "--infilter=" + options,
                        "--convert-to", "xlsx", "--outdir", out, path], check=True, capture_output=True, timeout=180)
        book = openpyxl.load_workbook(os.path.join(out, os.path.splitext(os.path.basename(path))[0] + ".xlsx"))
    rows = []
    for row in book.worksheets[0].iter_rows():
        kinds = []
        for cell in row:
            value = cell.value
            kinds.append(None if value is None else "number" if isinstance(value, (int, float)) else "text")
        rows.append(kinds)
    print(json.dumps(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
