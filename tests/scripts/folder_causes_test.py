#!/usr/bin/python3
"""darni-cli writing where a new file cannot be made: a folder on a file system mounted read-only, a folder
the user may not write into, a folder that is not there. Each is named by its own Russian cause, for a new
table and for a workbook alike, and nothing is left behind.

Needs root (to mount a tmpfs and to run a command as another user through setpriv); says SKIP and exits 77
where it cannot. Usage: folder_causes_test.py BUILD_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
NOBODY = "65534"


def main():
    build = sys.argv[1]
    cli = os.path.join(build, "tools", "darni-cli", "darni-cli")
    sim = os.path.join(build, "tools", "ornak-sim", "ornak-sim")
    if os.geteuid() != 0 or shutil.which("setpriv") is None:
        print("SKIP: needs root and setpriv")
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory(prefix="darni-folders-") as work:
        os.chmod(work, 0o755)
        image = os.path.join(work, "t.img")
        p = subprocess.Popen([sim, "--silent", "--records", "20,5", "--dump-image", image],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        p.stdout.readline()
        p.terminate()
        p.wait()
        os.chmod(image, 0o644)
        table = os.path.join(work, "t.db")
        subprocess.run([cli, "decode", image, table], check=True, capture_output=True)
        os.chmod(table, 0o644)

        mounted = os.path.join(work, "mounted")
        os.makedirs(mounted)
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "ro,size=1m", "tmpfs", mounted],
                          capture_output=True).returncode != 0:
            print("SKIP: cannot mount a tmpfs here")
            return SKIP
        closed = os.path.join(work, "closed")
        os.makedirs(closed)
        os.chmod(closed, 0o555)
        try:
            cases = [
                ("read-only file system", mounted, [], "только для чтения"),
                ("no permission", closed, ["setpriv", "--reuid=" + NOBODY, "--regid=" + NOBODY, "--clear-groups"],
                 "нет прав на запись в папку"),
                ("missing folder", os.path.join(work, "absent"), [], "папки " + os.path.join(work, "absent") + " нет"),
            ]
            for what, folder, prefix, cause in cases:
                for command in (["decode", image, os.path.join(folder, "new.db")],
                                ["export", table, os.path.join(folder, "out.xls")],
                                ["export", table, os.path.join(folder, "out.xlsx")]):
                    run = subprocess.run(prefix + [cli] + command, capture_output=True, text=True)
                    if run.returncode != 1 or cause not in run.stderr or "не найдены" in run.stderr:
                        failures.append("%s, %s: exit %d, %r" % (what, command[0], run.returncode, run.stderr))
                if os.path.isdir(folder) and os.listdir(folder):
                    failures.append("%s: left %s" % (what, os.listdir(folder)))
        finally:
            subprocess.run(["umount", mounted])
    for f in failures:
        print("FAIL " + f)
    print("folder causes: %d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
