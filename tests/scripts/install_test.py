#!/usr/bin/python3
"""The program as a user installs it: "cmake --install" into a scratch root puts every file in its
standard place and the installed programs run from there; the desktop entry and the AppStream metainfo
pass their validators, and the MIME type compiles. With --package the Debian package is built with
CPack, unpacked with dpkg-deb into another scratch root and checked the same way, and lintian reports
no error on it.

Usage: install_test.py BUILD_DIR [--package]
"""
import os
import shutil
import subprocess
import sys
import tempfile

EXPECTED = [
    "bin/darni",
    "bin/darni-cli",
    "bin/ornak-sim",
    "share/applications/ru.velmark.darni.desktop",
    "share/metainfo/ru.velmark.darni.metainfo.xml",
    "share/mime/packages/darni-table.xml",
    "share/icons/hicolor/scalable/apps/darni.svg",
    "share/icons/hicolor/48x48/apps/darni.png",
    "share/icons/hicolor/256x256/apps/darni.png",
    "share/man/man1/darni.1.gz",
    "share/man/man1/darni-cli.1.gz",
    "share/man/man1/ornak-sim.1.gz",
    "share/bash-completion/completions/darni-cli",
    "share/darni/darni-help.html",
    "share/doc/darni/copyright",
]


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def check_tree(root, failures, what):
    for path in EXPECTED:
        if not os.path.isfile(os.path.join(root, path)):
            failures.append("%s: %s is not installed" % (what, path))
    # In the sanitizer build the leak check would report fontconfig's own caches, which the window's
    # libraries keep when a program ends right after --version; the leak check of our code is the tests'.
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", ASAN_OPTIONS="detect_leaks=0")
    for program in ("darni", "darni-cli", "ornak-sim"):
        result = run([os.path.join(root, "bin", program), "--version"], env=env)
        if result.returncode != 0 or "1.0.0.0" not in result.stdout:
            failures.append("%s: %s --version: exit %d, %r %r" % (what, program, result.returncode, result.stdout,
                                                                 result.stderr))
    for command in (["desktop-file-validate", os.path.join(root, "share/applications/ru.velmark.darni.desktop")],
                    ["appstreamcli", "validate", "--no-net",
                     os.path.join(root, "share/metainfo/ru.velmark.darni.metainfo.xml")]):
        if shutil.which(command[0]) is None:
            failures.append("%s is not installed (tools/install-deps installs it)" % command[0])
            continue
        result = run(command)
        if result.returncode != 0:
            failures.append("%s: %s: %s%s" % (what, command[0], result.stdout, result.stderr))
    mime = os.path.join(root, "share/mime")
    result = run(["update-mime-database", mime])
    if result.returncode != 0 or not os.path.isfile(os.path.join(mime, "magic")):
        failures.append("%s: update-mime-database: %s" % (what, result.stderr))
        return
    check_table_type(root, failures, what, env)


def check_table_type(root, failures, what, env):
    """A table the installed darni-cli made is of the program's type by its magic bytes; another file
    named .db is not."""
    if shutil.which("gio") is None:
        failures.append("gio is not installed (tools/install-deps installs it)")
        return
    with tempfile.TemporaryDirectory(prefix="darni-mime-") as work:
        image = os.path.join(work, "t.img")
        sim = subprocess.Popen([os.path.join(root, "bin", "ornak-sim"), "--silent", "--records", "3,2",
                                "--dump-image", image], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        sim.stdout.readline()
        sim.terminate()
        sim.wait()
        table = os.path.join(work, "table.db")
        run([os.path.join(root, "bin", "darni-cli"), "decode", image, table], env=env)
        other = os.path.join(work, "other.db")
        with open(other, "w") as f:
            f.write("not a table")
        looked_up = dict(env, XDG_DATA_DIRS=os.path.join(root, "share") + ":/usr/share")
        for path, wanted in ((table, True), (other, False)):
            result = run(["gio", "info", "-a", "standard::content-type", path], env=looked_up)
            found = "application/x-darni-table" in result.stdout
            if found != wanted:
                failures.append("%s: %s is%s taken for a table: %s" % (what, os.path.basename(path),
                                                                      "" if found else " not", result.stdout))


def main():
    build = sys.argv[1]
    package = "--package" in sys.argv[2:]
    failures = []
    with tempfile.TemporaryDirectory(prefix="darni-install-") as work:
        root = os.path.join(work, "root")
        result = run(["cmake", "--install", build, "--prefix", root])
        if result.returncode != 0:
            failures.append("cmake --install: " + result.stderr)
        else:
            print("installed files:")
            for folder, _, names in sorted(os.walk(root)):
                for name in sorted(names):
                    print("  " + os.path.relpath(os.path.join(folder, name), root))
            check_tree(root, failures, "cmake --install")
        if package:
            out = os.path.join(work, "package")
            result = run(["cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out])
            debs = [n for n in os.listdir(out) if n.endswith(".deb")] if os.path.isdir(out) else []
            if result.returncode != 0 or len(debs) != 1:
                failures.append("cpack: %s %s" % (result.stdout, result.stderr))
            else:
                deb = os.path.join(out, debs[0])
                info = run(["dpkg-deb", "--field", deb, "Depends", "Installed-Size"])
                print("package %s, %d bytes\n%s" % (debs[0], os.path.getsize(deb), info.stdout))
                unpacked = os.path.join(work, "unpacked")
                run(["dpkg-deb", "-x", deb, unpacked])
                check_tree(os.path.join(unpacked, "usr"), failures, "package")
                if shutil.which("lintian") is None:
                    failures.append("lintian is not installed (tools/install-deps installs it)")
                else:
                    lint = run(["lintian", "--allow-root", "--no-tag-display-limit", deb])
                    print("lintian:\n" + lint.stdout)
                    errors = [line for line in lint.stdout.splitlines() if line.startswith("E:")]
                    if errors:
                        failures.append("lintian: " + "; ".join(errors))
    for f in failures:
        print("FAIL " + f)
    print("install: %d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
