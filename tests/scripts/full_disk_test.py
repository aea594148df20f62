#!/usr/bin/python3
"""darni-cli on a disk with no room left: create, append, export (.xls, .xlsx), charts, print and renumber fail with "диск заполнен",
leave the earlier files byte for byte as they were, and leave no temporary file behind. A transfer received
from the instrument that the full disk cannot take is kept in the home folder, and the message says where.

Needs to mount a small tmpfs (root, or a user namespace); says SKIP and exits 77 where it cannot.
Usage: full_disk_test.py BUILD_DIR
"""
import hashlib
import os
import subprocess
import sys
import tempfile

SKIP = 77
NO_ROOM = "диск заполнен"


def main():
    build = sys.argv[1]
    cli = os.path.join(build, "tools", "darni-cli", "darni-cli")
    sim = os.path.join(build, "tools", "ornak-sim", "ornak-sim")
    failures = []
    with tempfile.TemporaryDirectory(prefix="darni-full-") as work:
        disk = os.path.join(work, "disk")
        os.makedirs(disk)
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=3m", "tmpfs", disk],
                          capture_output=True).returncode != 0:
            print("SKIP: cannot mount a tmpfs here")
            return SKIP
        try:
            def image(records, name):
                path = os.path.join(work, name)
                p = subprocess.Popen([sim, "--silent", "--records", "%d,0" % records, "--dump-image", path],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
                p.stdout.readline()
                p.terminate()
                p.wait()
                return path

            def cli_run(*arguments):
                return subprocess.run([cli] + list(arguments), capture_output=True, text=True)

            small, big = image(300, "small.img"), image(6000, "big.img")
            big_table = os.path.join(work, "big.db")
            cli_run("decode", big, big_table)
            table = os.path.join(disk, "t.db")
            # The rows' numbers get a gap, so that a renumbering has work to do; the delete's undo copy
            # stays beside the table, and no failed command below may cost it.
            for arguments in (("decode", small, table), ("delete", table, "--rows", "1"),
                              ("export", table, os.path.join(disk, "out.xls")),
                              ("export", table, os.path.join(disk, "out.xlsx")),
                              ("chart", table, os.path.join(disk, "out.png")),
                              ("print", table, os.path.join(disk, "out.pdf"))):
                run = cli_run(*arguments)
                if run.returncode != 0:
                    failures.append("setup %s: %s" % (arguments[0], run.stderr))
            filler = os.open(os.path.join(disk, "filler"), os.O_WRONLY | os.O_CREAT)
            for size in (65536, 4096, 1):  # to the last byte
                try:
                    while True:
                        os.write(filler, b"\0" * size)
                except OSError:
                    pass
            os.close(filler)

            def digest():
                return {n: hashlib.sha256(open(os.path.join(disk, n), "rb").read()).hexdigest()
                        for n in sorted(os.listdir(disk))}

            before = digest()
            cases = [
                ("create", ("decode", big, table)),
                ("append", ("decode", "--append", big, table)),
                ("export", ("export", big_table, os.path.join(disk, "out.xls"))),
                ("print", ("print", big_table, os.path.join(disk, "out.pdf"))),
                ("export xlsx", ("export", big_table, os.path.join(disk, "out.xlsx"))),
                ("chart", ("chart", big_table, os.path.join(disk, "out.png"))),
                # The undo copy of a renumbering costs no room; the renumbering itself does, and a
                # renumbering that failed leaves no copy behind.
                ("renumber", ("renumber", table)),
            ]
            for name, arguments in cases:
                run = cli_run(*arguments)
                if run.returncode != 1 or NO_ROOM not in run.stderr:
                    failures.append("%s: exit %d, %r" % (name, run.returncode, run.stderr))
                if "ERROR" in run.stderr or "WARNING" in run.stderr:
                    failures.append("%s: a library's own line reached the user: %r" % (name, run.stderr))
                if digest() != before:
                    failures.append("%s: the files on the disk changed: %s" % (name, sorted(digest())))

            # From the instrument: the undo copy of the append finds no room; the transfer must survive.
            home = os.path.join(work, "home")
            os.makedirs(home)
            cases.append(("receive --append", ()))
            instrument = subprocess.Popen([sim, "--full-speed", "--image", big], stdout=subprocess.PIPE,
                                          stderr=subprocess.DEVNULL, text=True)
            try:
                device = instrument.stdout.readline().split(": ", 1)[1].strip()
                run = subprocess.run([cli, "receive", "--append", "--port", device, table], capture_output=True,
                                     text=True, env=dict(os.environ, HOME=home))
            finally:
                instrument.terminate()
                instrument.wait()
            kept = [n for n in os.listdir(home) if n.endswith(".ornakimg")]
            if run.returncode != 1 or NO_ROOM not in run.stderr:
                failures.append("receive --append: exit %d, %r" % (run.returncode, run.stderr))
            if len(kept) != 1 or kept[0] not in run.stderr:
                failures.append("receive --append: the transfer was not kept in the home folder: %s, %r" %
                                (kept, run.stderr))
            if digest() != before:
                failures.append("receive --append: the files on the disk changed: %s" % sorted(digest()))
        finally:
            subprocess.run(["umount", disk])
    for f in failures:
        print("FAIL " + f)
    print("full disk: %d cases, %d failures" % (len(cases), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
