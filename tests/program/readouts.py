#!/usr/bin/python3
# What a screen reader is offered by a running application, over AT-SPI:
#   readouts.py APP tabs [--wait S]
#     one line per page tab list: its page tabs' names, "|" between them, the current one in [].
#   readouts.py APP watch SECONDS
#     for SECONDS, one line whenever the force read-outs (the labels described "Force 1" and
#     "Force 2") or the battery gauge (the progress bar named "Battery") change:
#     "F1=<name> F2=<name> battery=<value>,<enabled|greyed>,<description>".
# Exits 1 when the application or the read-outs never appeared. Uses Debian's python3-pyatspi.
import argparse
import os
import sys
import time

# The accessibility bus of this D-Bus session, not the one an X display's root window names.
os.environ.pop("DISPLAY", None)

import pyatspi  # noqa: E402


def children(node):
    try:
        return [c for c in (node.getChildAtIndex(i) for i in range(node.childCount)) if c is not None]
    except Exception:
        return []


def walk(node, depth=0):
    yield node
    if depth < 60:
        for child in children(node):
            yield from walk(child, depth + 1)


def find_app(name, wait):
    deadline = time.monotonic() + wait
    while True:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app.name == name:
                return app
        if time.monotonic() >= deadline:
            return None
        time.sleep(0.3)


def tabs(app):
    for node in walk(app):
        if node.getRoleName() != "page tab list":
            continue
        names = []
        for tab in children(node):
            if tab.getRoleName() != "page tab":
                continue
            # Qt marks the current tab focused.
            state = tab.getState()
            current = state.contains(pyatspi.STATE_FOCUSED) or state.contains(pyatspi.STATE_SELECTED)
            names.append(f"[{tab.name}]" if current else tab.name)
        print(" | ".join(names))


def fresh(node):
    # A look-up keeps what it first read unless told to forget it.
    try:
        node.clear_cache()
    except AttributeError:
        pass
    return node


def watch(app, seconds):
    f1 = f2 = battery = None
    for node in walk(app):
        role = node.getRoleName()
        if role == "label" and node.description == "Force 1":
            f1 = node
        elif role == "label" and node.description == "Force 2":
            f2 = node
        elif role == "progress bar" and node.name == "Battery":
            battery = node
    if None in (f1, f2, battery):
        print("readouts.py: no force read-outs or battery gauge", file=sys.stderr)
        return 1
    last = None
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            b = fresh(battery)
            enabled = b.getState().contains(pyatspi.STATE_ENABLED)
            line = (f"F1={fresh(f1).name} F2={fresh(f2).name} "
                    f"battery={b.queryValue().currentValue:g},{'enabled' if enabled else 'greyed'},"
                    f"{b.description}")
        except Exception as e:  # the window went away meanwhile
            line = f"gone: {e}"
        if line != last:
            print(f"{time.monotonic():.2f} {line}", flush=True)
            last = line
        time.sleep(0.05)
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("app")
    parser.add_argument("what", choices=["tabs", "watch"])
    parser.add_argument("seconds", nargs="?", type=float, default=10.0)
    parser.add_argument("--wait", type=float, default=20.0)
    args = parser.parse_args()
    app = find_app(args.app, args.wait)
    if app is None:
        print(f"readouts.py: no application {args.app!r}", file=sys.stderr)
        return 1
    if args.what == "tabs":
        tabs(app)
        return 0
    return watch(app, args.seconds)


if __name__ == "__main__":
    sys.exit(main())
