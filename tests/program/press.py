#!/usr/bin/python3
# Presses a button of a running application over AT-SPI, as assistive technology does:
#   press.py APP BUTTON [--wait S]
# Waits up to S seconds (default 20) for the application and the button to appear. Exits 0 when
# pressed, 1 when the button never appeared. Uses Debian's python3-pyatspi.
import argparse
import os
import sys
import time

# The accessibility bus of this D-Bus session, not the one an X display's root window names: two
# X servers started at once may end up sharing a display number.
os.environ.pop("DISPLAY", None)

import pyatspi  # noqa: E402


def find(node, role, name, depth=0):
    try:
        if node.getRoleName() == role and node.name == name:
            return node
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None and depth < 40:
                found = find(child, role, name, depth + 1)
                if found is not None:
                    return found
    except Exception:
        pass
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("app")
    parser.add_argument("button")
    parser.add_argument("--wait", type=float, default=20.0)
    args = parser.parse_args()
    deadline = time.monotonic() + args.wait
    while True:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == args.app:
                button = find(app, "push button", args.button)
                if button is not None:
                    action = button.queryAction()
                    for a in range(action.nActions):
                        if action.getName(a) in ("Press", "press", "click"):
                            action.doAction(a)
                            return 0
                    action.doAction(0)
                    return 0
        if time.monotonic() >= deadline:
            break
        time.sleep(0.3)
    print(f"press.py: no button {args.button!r} in {args.app!r}", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
