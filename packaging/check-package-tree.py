#!/usr/bin/python3
"""Checks an installed tree of the program as the Debian package carries it.

  check-package-tree.py --files package-files.txt --install BUILD_DIR [--cmake CMAKE]
  check-package-tree.py --files package-files.txt --tree DIR

--install installs BUILD_DIR with prefix /usr into a temporary folder first; --tree takes a tree
that is already there (an unpacked .deb). The tree must hold exactly the files of the list, the menu
entry and the metadata must validate, the icons, the sound and the manual pages must be what they
say, the udev rules must carry their three lines, and the installed program, started once, must
keep its settings under $XDG_CONFIG_HOME/kelvaro-monitor.
"""
import argparse
import gzip
import os
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time
import wave
import xml.etree.ElementTree as ElementTree

APP_ID = "org.kelvaro.Monitor"
failures = []


def check(ok, what, detail=""):
    print(("ok      " if ok else "FAILED  ") + what + ("" if ok or not detail else ": " + detail))
    if not ok:
        failures.append(what)
    return ok


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def files_in(tree):
    found = set()
    for folder, _, names in os.walk(tree):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), tree))
    return found


def check_file_list(tree, list_path):
    with open(list_path) as f:
        wanted = {line.strip() for line in f if line.strip() and not line.startswith("#")}
    found = files_in(tree)
    missing = sorted(wanted - found)
    extra = sorted(found - wanted)
    check(not missing, "every file of the list is there", " ".join(missing))
    check(not extra, "no file beyond the list", " ".join(extra))


def check_desktop_and_metainfo(tree):
    desktop = os.path.join(tree, "usr/share/applications", APP_ID + ".desktop")
    result = run(["desktop-file-validate", desktop])
    check(result.returncode == 0, "desktop-file-validate", result.stdout + result.stderr)
    metainfo = os.path.join(tree, "usr/share/metainfo", APP_ID + ".metainfo.xml")
    result = run(["appstreamcli", "validate", "--no-net", metainfo])
    check(result.returncode == 0, "appstreamcli validate --no-net", result.stdout + result.stderr)


def check_licence(tree):
    copyright_path = os.path.join(tree, "usr/share/doc/kelvaro-monitor/copyright")
    with open(copyright_path) as f:
        text = f.read()
    paragraphs = [p for p in text.split("\n\n") if p.strip()]
    header = dict(re.findall(r"^([A-Za-z-]+):[ \t]*(.*)$", paragraphs[0], re.M)) if paragraphs else {}
    check(header.get("Format", "").startswith("https://www.debian.org/doc/packaging-manuals/copyright-format/1.0"),
          "copyright is in Debian's machine-readable format", header.get("Format", "no Format field"))
    licences = re.findall(r"^License:[ \t]*(\S+)", text, re.M)
    check(licences and set(licences) == {"GPL-3+"}, "every file of the package is under GPL-3+",
          " ".join(licences))
    check("/usr/share/common-licenses/GPL-3" in text and "any later version" in text,
          "the copyright file points at the GPL's text and says 'or any later version'")
    metainfo = ElementTree.parse(os.path.join(tree, "usr/share/metainfo", APP_ID + ".metainfo.xml"))
    check(metainfo.getroot().findtext("project_license") == "GPL-3.0-or-later",
          "metadata names the project licence GPL-3.0-or-later",
          str(metainfo.getroot().findtext("project_license")))


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def check_icons(tree):
    base = os.path.join(tree, "usr/share/icons/hicolor")
    for size_dir in sorted(os.listdir(base)):
        path = os.path.join(base, size_dir, "apps", APP_ID + (".svg" if size_dir == "scalable" else ".png"))
        if size_dir == "scalable":
            try:
                root = ElementTree.parse(path).getroot()
                check(root.tag == "{http://www.w3.org/2000/svg}svg", "scalable icon is an SVG picture")
            except (OSError, ElementTree.ParseError) as e:
                check(False, "scalable icon is an SVG picture", str(e))
            continue
        n = int(size_dir.split("x")[0])
        check(png_size(path) == (n, n), f"{size_dir} icon is a {n}x{n} PNG", str(png_size(path)))


def check_wav(tree, name, what, seconds_range, peak_range):
    """A mono 16-bit WAV of the package, its length and loudness within the given ranges."""
    path = os.path.join(tree, "usr/share/kelvaro-monitor", name)
    try:
        with wave.open(path) as w:
            seconds = w.getnframes() / w.getframerate()
            frames = w.readframes(w.getnframes())
            shape = (w.getnchannels(), w.getsampwidth())
        peak = max(abs(s) for (s,) in struct.iter_unpack("<h", frames)) / 32768
        check(shape == (1, 2) and seconds_range[0] <= seconds <= seconds_range[1]
              and peak_range[0] < peak <= peak_range[1], what,
              f"channels/bytes {shape}, {seconds:.2f} s, peak {peak:.2f}")
    except (OSError, wave.Error, ValueError) as e:
        check(False, what, str(e))


def check_sound(tree):
    check_wav(tree, "sample-alarm.wav", "sample alarm sound is a short, audible 16-bit WAV",
              (0.5, 3), (0.2, 1))


def check_cue(tree):
    check_wav(tree, "breath-cue.wav", "breathing guide's cue is a short, soft 16-bit WAV",
              (0.1, 1), (0.05, 0.5))


def check_extension(tree):
    path = os.path.join(tree, "usr/share/kelvaro-monitor/kelvaro-belt.js")
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except OSError as e:
        text = str(e)
    check("Scratch.extensions.register(" in text and "'ws://localhost:8000/belt'" in text,
          "the Scratch 3 extension registers its blocks and reads the bridge on port 8000")


def check_manual(tree, program, must_show):
    path = os.path.join(tree, "usr/share/man/man1", program + ".1.gz")
    with gzip.open(path, "rt") as f:
        source = f.read()
    result = subprocess.run(["groff", "-man", "-ww", "-z"], input=source, capture_output=True,
                            text=True)
    check(result.returncode == 0 and not result.stderr, f"{program}(1) formats without warnings",
          result.stderr)
    shown = run(["man", "--no-hyphenation", "--no-justification", "-l", path],
                env=dict(os.environ, MANWIDTH="100", MANPAGER="cat"))
    text = " ".join(re.sub(r".\x08", "", shown.stdout).split())
    absent = [s for s in must_show if s not in text]
    check(shown.returncode == 0 and not absent, f"man -l shows {program}(1) with its options",
          "missing " + ", ".join(absent))


def check_udev_rules(tree):
    with open(os.path.join(tree, "usr/lib/udev/rules.d/70-kelvaro-monitor.rules")) as f:
        rules = [line.strip() for line in f if line.strip() and not line.lstrip().startswith("#")]
    dongle = 'ATTRS{idVendor}=="2458", ATTRS{idProduct}=="0001"'
    for what, parts in [("the dongle's port gets uaccess", ['SUBSYSTEM=="tty"', dongle, 'TAG+="uaccess"']),
                        ("ModemManager leaves the dongle alone", [dongle, 'ENV{ID_MM_DEVICE_IGNORE}="1"']),
                        ("/dev/uinput gets uaccess", ['KERNEL=="uinput"', 'TAG+="uaccess"'])]:
        check(any(all(p in line for p in parts) for line in rules), "udev: " + what)


def check_program_home(tree):
    program = os.path.join(tree, "usr/bin/kelvaro-monitor")
    version = run([program, "--version"])
    check(version.returncode == 0 and version.stdout.startswith("KELVARO monitor "),
          "kelvaro-monitor --version", version.stdout + version.stderr)
    with tempfile.TemporaryDirectory() as scratch:
        env = dict(os.environ, HOME=os.path.join(scratch, "home"),
                   XDG_CONFIG_HOME=os.path.join(scratch, "config"),
                   XDG_RUNTIME_DIR=scratch, QT_QPA_PLATFORM="offscreen")
        env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        os.makedirs(env["HOME"])
        started = subprocess.Popen([program, "--simulate", "--key-injector=none"], env=env,
                                   cwd=env["HOME"], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, text=True)
        time.sleep(5)  # past the start-up, so the quit request writes the settings back
        started.send_signal(signal.SIGTERM)
        try:
            _, err = started.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            started.kill()
            _, err = started.communicate()
        check(started.returncode == 0, "installed kelvaro-monitor --simulate ends cleanly on SIGTERM",
              f"exit {started.returncode}: {err[-2000:]}")
        home = os.path.join(env["XDG_CONFIG_HOME"], "kelvaro-monitor")
        check(os.path.isfile(os.path.join(home, "Darev.ini")),
              "the installed program keeps Darev.ini under $XDG_CONFIG_HOME/kelvaro-monitor")
        beside = [n for n in os.listdir(os.path.dirname(program)) if not n.startswith("kelvaro-")]
        check(not beside, "nothing is written beside the installed executable", " ".join(beside))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--files", required=True, help="the list of files the package must hold")
    where = ap.add_mutually_exclusive_group(required=True)
    where.add_argument("--install", metavar="BUILD_DIR", help="install this build first")
    where.add_argument("--tree", help="an installed tree, for example an unpacked .deb")
    ap.add_argument("--cmake", default="cmake", help="the cmake command for --install")
    args = ap.parse_args()

    with tempfile.TemporaryDirectory() as scratch:
        tree = args.tree
        if args.install:
            tree = os.path.join(scratch, "root")
            result = run([args.cmake, "--install", args.install, "--prefix", "/usr"],
                         env=dict(os.environ, DESTDIR=tree))
            if not check(result.returncode == 0, "cmake --install", result.stdout + result.stderr):
                sys.exit(1)
        check_file_list(tree, args.files)
        check_desktop_and_metainfo(tree)
        check_licence(tree)
        check_icons(tree)
        check_sound(tree)
        check_cue(tree)
        check_extension(tree)
        check_manual(tree, "kelvaro-monitor", ["finds the belt's USB dongle", "--simulate", "--home", "--connect", "FILES",
                                               "XDG_CONFIG_HOME", "SoundAct.wav"])
        check_manual(tree, "kelvaro-belt-sim", ["through its real serial-port code", "--scenario", "--link", "--no-answer", "EXAMPLES"])
        check_udev_rules(tree)
        check_program_home(tree)
    if failures:
        sys.exit(f"{len(failures)} check(s) failed: " + "; ".join(failures))
    print("every check passed")


if __name__ == "__main__":
    main()
