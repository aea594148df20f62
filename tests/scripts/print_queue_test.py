#!/usr/bin/python3
"""Reports through a real CUPS queue, never a system printer.

Starts a private CUPS scheduler (its own configuration, socket and spool in a temporary folder), adds a
PDF queue that offers A4 and Letter and one that offers Letter only, and prints the report of each of
the three layouts with `darni-cli print --printer`, the program's own print path (QPrinter on the
queue). The queue's PDF must be A4, in the layout's orientation, with the pages of the report and the
title, the headings, the last column and the page footer where `darni-cli print` puts them in its own
PDF. The Letter-only queue must refuse with a message and print nothing. Says SKIP and exits 77 where
CUPS is not installed.

Usage: print_queue_test.py BUILD_DIR
"""
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time

SKIP = 77
A4 = (595, 842)
TOLERANCE_PT = 2.0
WAIT_S = 60

CUPSD_CONF = """Listen {work}/cups.sock
LogLevel warn
WebInterface No
Browsing No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
"""

CUPS_FILES_CONF = """ServerRoot {work}/etc
RequestRoot {work}/spool
CacheDir {work}/cache
StateDir {work}/state
TempDir {work}/tmp
AccessLog {work}/log/access_log
ErrorLog {work}/log/error_log
PageLog {work}/log/page_log
FileDevice Yes
Sandboxing Relaxed
"""

# A PDF printer: CUPS's own pdftopdf lays the job out on the chosen paper and the file device keeps it.
PPD = """*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "DARNIPDF.PPD"
*Manufacturer: "DARNI tests"
*Product: "(PDF file)"
*ModelName: "DARNI test PDF queue"
*ShortNickName: "DARNI test PDF queue"
*NickName: "DARNI test PDF queue"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsVersion: 2.4
*DefaultResolution: 300dpi
*OpenUI *Resolution/Resolution: PickOne
*OrderDependency: 20 AnySetup *Resolution
*Resolution 300dpi/300 DPI: "<</HWResolution[300 300]>>setpagedevice"
*CloseUI: *Resolution
*cupsFilter2: "application/vnd.cups-pdf application/pdf 0 -"
*OpenUI *PageSize/Page Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: {default}
{sizes}
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: {default}
{regions}
*CloseUI: *PageRegion
*DefaultImageableArea: {default}
{areas}
*DefaultPaperDimension: {default}
{dimensions}
"""

PAPERS = {"A4": (595, 842), "Letter": (612, 792)}


def ppd(papers):
    def lines(keyword, value):
        return "\n".join('*%s %s/%s: "%s"' % (keyword, p, p, value(*PAPERS[p])) for p in papers)
    return PPD.format(
        default=papers[0],
        sizes=lines("PageSize", lambda w, h: "<</PageSize[%d %d]>>setpagedevice" % (w, h)),
        regions=lines("PageRegion", lambda w, h: "<</PageSize[%d %d]>>setpagedevice" % (w, h)),
        areas=lines("ImageableArea", lambda w, h: "18 36 %d %d" % (w - 18, h - 36)),
        dimensions=lines("PaperDimension", lambda w, h: "%d %d" % (w, h)))


def set_field(table, name, values):
    """Writes numbers into field `name` of the first rows of a dBase table, right-aligned."""
    with open(table, "r+b") as f:
        data = bytearray(f.read())
        header_length, record_length = struct.unpack_from("<HH", data, 8)
        offset, at = 1, 32
        while data[at] != 0x0D:
            field = data[at:at + 11].split(b"\0")[0].decode("ascii")
            width = data[at + 16]
            if field == name:
                for row, value in enumerate(values):
                    start = header_length + row * record_length + offset
                    data[start:start + width] = str(value).rjust(width).encode("ascii")
                f.seek(0)
                f.write(data)
                return
            offset += width
            at += 32
    raise KeyError(name)


def words(pdf, page):
    out = subprocess.run(["pdftotext", "-bbox", "-f", str(page), "-l", str(page), pdf, "-"],
                         capture_output=True, text=True, check=True).stdout
    found = []
    for m in re.finditer(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>',
                         out):
        x0, y0, x1, y1 = (float(v) for v in m.groups()[:4])
        found.append((m.group(5), x0, y0, x1, y1))
    return found


def pdf_info(pdf):
    out = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, check=True).stdout
    pages = int(re.search(r"Pages:\s+(\d+)", out).group(1))
    w, h = (float(v) for v in re.search(r"Page size:\s+([\d.]+) x ([\d.]+)", out).groups())
    return pages, (round(w), round(h))


def centre(word):
    _, x0, y0, x1, y1 = word
    return (x0 + x1) / 2, (y0 + y1) / 2


def compare_positions(direct, queued, direct_size, failures, what):
    """Every landmark of the direct PDF's page stands at the same place of the paper in the queue's,
    after the turn that CUPS gives a landscape page on portrait paper."""
    w, h = direct_size
    turns = [lambda x, y: (x, y)] if w < h else [lambda x, y: (h - y, x), lambda x, y: (y, w - x)]
    by_text = {}
    for word in queued:
        by_text.setdefault(word[0], []).append(centre(word))
    title = direct[0]

    def matches(turn, word):
        x, y = turn(*centre(word))
        return any(abs(x - qx) <= TOLERANCE_PT and abs(y - qy) <= TOLERANCE_PT for qx, qy in by_text.get(word[0], []))

    turn = next((t for t in turns if matches(t, title)), None)
    if turn is None:
        failures.append("%s: the title %r is not where the direct PDF has it" % (what, title[0]))
        return
    footer = [word for word in direct if word[0] == "Стр."]
    # A cell of the last column: the rightmost word of the data, below the headings and above the footer.
    heading = next(word for word in direct if word[0] == "N")
    data = [word for word in direct if word[2] > heading[4] + TOLERANCE_PT and (not footer or word[4] < footer[0][2])
            and not word[0].endswith(",")]
    rightmost = max(data, key=lambda word: word[3])
    landmarks = [title, direct[1], rightmost] + footer
    for word in landmarks:
        if not matches(turn, word):
            failures.append("%s: %r is not where the direct PDF has it" % (what, word[0]))
    if footer == []:
        failures.append("%s: no page footer" % what)


def wait_for_jobs(env):
    deadline = time.time() + WAIT_S
    while time.time() < deadline:
        if subprocess.run(["lpstat", "-o"], capture_output=True, text=True, env=env).stdout.strip() == "":
            return True
        time.sleep(0.2)
    return False


def main():
    build = sys.argv[1]
    cli = os.path.join(build, "tools", "darni-cli", "darni-cli")
    sim = os.path.join(build, "tools", "ornak-sim", "ornak-sim")
    cupsd = shutil.which("cupsd", path="/usr/sbin:/usr/bin:/sbin")
    lpadmin = shutil.which("lpadmin", path="/usr/sbin:/usr/bin:/sbin")
    if not cupsd or not lpadmin or not shutil.which("lpstat"):
        print("SKIP: CUPS is not installed (tools/install-deps installs it)")
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory(prefix="darni-cups-") as work:
        for d in ("etc", "spool", "cache", "state", "tmp", "log", "out", "ppd"):
            os.makedirs(os.path.join(work, d))
        # The scheduler's filters run as its own unprivileged user.
        for d in ("tmp", "out"):
            os.chmod(os.path.join(work, d), 0o1777)
        os.chmod(work, 0o755)
        with open(os.path.join(work, "etc", "cupsd.conf"), "w") as f:
            f.write(CUPSD_CONF.format(work=work))
        with open(os.path.join(work, "etc", "cups-files.conf"), "w") as f:
            f.write(CUPS_FILES_CONF.format(work=work))
        for name, papers in (("a4", ["A4", "Letter"]), ("letter", ["Letter"])):
            with open(os.path.join(work, "ppd", name + ".ppd"), "w") as f:
                f.write(ppd(papers))
        env = dict(os.environ, CUPS_SERVER=os.path.join(work, "cups.sock"), QT_QPA_PLATFORM="offscreen")
        scheduler = subprocess.Popen([cupsd, "-f", "-c", os.path.join(work, "etc", "cupsd.conf"),
                                      "-s", os.path.join(work, "etc", "cups-files.conf")],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.time() + WAIT_S
            while not os.path.exists(env["CUPS_SERVER"]) and time.time() < deadline:
                if scheduler.poll() is not None:
                    print("SKIP: the private CUPS scheduler would not start")
                    return SKIP
                time.sleep(0.1)
            for queue in ("a4", "letter"):
                subprocess.run([lpadmin, "-p", "darni-" + queue, "-E", "-v",
                                "file://%s/out/%s.pdf" % (work, queue), "-P",
                                os.path.join(work, "ppd", queue + ".ppd")],
                               env=env, check=True, capture_output=True)

            image = os.path.join(work, "t.img")
            p = subprocess.Popen([sim, "--silent", "--records", "60,25", "--dump-image", image],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            p.stdout.readline()
            p.terminate()
            p.wait()

            def table(name, kind, device):
                path = os.path.join(work, name + ".db")
                subprocess.run([cli, "decode", image, path], check=True, capture_output=True)
                rows = 85
                set_field(path, "NB_TYPE", [kind] * rows)
                set_field(path, "DEV_TYPE", [device] * rows)
                set_field(path, "N", [54446])  # five digits keep all of them
                return path

            layouts = (("Report1", table("report1", 0, 1), True),
                       ("Report2", table("report2", 1, 1), False),
                       ("Report3", table("report3", 0, 13), False))
            for name, path, landscape in layouts:
                direct = os.path.join(work, name + "-direct.pdf")
                run = subprocess.run([cli, "print", path, direct], capture_output=True, text=True, env=env)
                if run.returncode != 0:
                    failures.append("%s: darni-cli print: %s" % (name, run.stderr))
                    continue
                out = os.path.join(work, "out", "a4.pdf")
                if os.path.exists(out):
                    os.remove(out)
                run = subprocess.run([cli, "print", "--printer", "darni-a4", path], capture_output=True,
                                     text=True, env=env)
                if run.returncode != 0:
                    failures.append("%s: printing on the queue: %s" % (name, run.stderr))
                    continue
                if not wait_for_jobs(env) or not os.path.exists(out):
                    failures.append("%s: the queue produced nothing" % name)
                    continue
                direct_pages, direct_size = pdf_info(direct)
                queued_pages, queued_size = pdf_info(out)
                if queued_size not in (A4, A4[::-1]):
                    failures.append("%s: the queue's paper is %s, not A4" % (name, queued_size))
                if (direct_size[0] > direct_size[1]) != landscape:
                    failures.append("%s: the report's own orientation is wrong" % name)
                if queued_pages != direct_pages:
                    failures.append("%s: %d pages from the queue, %d in the report" % (name, queued_pages,
                                                                                          direct_pages))
                for page in (1, direct_pages):
                    compare_positions(words(direct, page), words(out, page), direct_size, failures,
                                      "%s page %d" % (name, page))
                if "54446" not in [w[0] for w in words(out, 1)]:
                    failures.append("%s: the five-digit N lost digits" % name)

            # A queue without A4 refuses with a message and prints nothing.
            run = subprocess.run([cli, "print", "--printer", "darni-letter", layouts[1][1]], capture_output=True,
                                 text=True, env=env)
            wait_for_jobs(env)
            if run.returncode == 0 or "A4" not in run.stderr:
                failures.append("the Letter-only queue printed or said nothing: %r" % run.stderr)
            if os.path.exists(os.path.join(work, "out", "letter.pdf")):
                failures.append("the Letter-only queue got a job")
            run = subprocess.run([cli, "print", "--printer", "no-such-queue", layouts[1][1]], capture_output=True,
                                 text=True, env=env)
            if run.returncode == 0 or "не найден" not in run.stderr:
                failures.append("a missing queue was not named: %r" % run.stderr)
        finally:
            scheduler.terminate()
            scheduler.wait()
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
