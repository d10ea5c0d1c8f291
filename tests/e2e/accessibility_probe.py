#!/usr/bin/python3
"""Reads Hexlark's window the way a screen reader does, over AT-SPI.

Finds the running program by its process id in the accessibility tree, reads
the address box, presses Generate and then Copy through their actions, and
prints what it found as one JSON object for the test to judge. Exits with a
failure, saying why on standard error, when something is missing that a
screen reader would need to get that far.

Usage: accessibility_probe.py --pid PID
"""

import argparse
import json
import sys
import time

import pyatspi

WINDOW_NAME = "Hexlark"
BOX_NAME = "MAC address"
GENERATE_NAME = "Generate"
COPY_NAME = "Copy"
# How long the program may take to show up in the tree, and to show a new
# address after Generate.
FIND_DEADLINE_S = 20.0
CHANGE_DEADLINE_S = 10.0
POLL_S = 0.1
# What toolkits call the action that presses a button.
PRESS_ACTIONS = ("press", "click", "activate")


class ProbeError(Exception):
    """Something a screen reader needs is not in the tree."""


def wait_for(find, deadline_s, what):
    """Calls find() until it returns something, or fails after the deadline."""
    deadline = time.monotonic() + deadline_s
    while True:
        try:
            found = find()
        except Exception:  # pylint: disable=broad-except
            # The registry or the program may not be answering yet.
            found = None
        if found is not None:
            return found
        if time.monotonic() >= deadline:
            raise ProbeError(f"{what} not found within {deadline_s} s")
        time.sleep(POLL_S)


def find_application(pid):
    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and application.get_process_id() == pid:
            return application
    return None


def find_window(application):
    for child in application:
        if child is not None and child.name == WINDOW_NAME:
            return child
    return None


def find_named(root, name):
    return pyatspi.findDescendant(root, lambda node: node is not None and node.name == name)


def action_names(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def describe(node):
    return {
        "name": node.name,
        "role": node.getRoleName(),
        "states": sorted(pyatspi.stateToString(s) for s in node.getState().getStates()),
        "actions": action_names(node),
    }


def press(button):
    """Presses a button through its Action interface, as Orca's 'activate' does."""
    names = [name.lower() for name in action_names(button)]
    for index, name in enumerate(names):
        if name in PRESS_ACTIONS:
            if not button.queryAction().doAction(index):
                raise ProbeError(f"{button.name}: its '{name}' action did nothing")
            return
    raise ProbeError(f"{button.name}: no press action among {names}")


def box_text(box):
    return box.queryText().getText(0, -1)


def probe(pid):
    application = wait_for(lambda: find_application(pid), FIND_DEADLINE_S,
                           f"an application with process id {pid}")
    window = wait_for(lambda: find_window(application), FIND_DEADLINE_S,
                      f"a window named {WINDOW_NAME!r}")
    box = wait_for(lambda: find_named(window, BOX_NAME), FIND_DEADLINE_S, repr(BOX_NAME))
    generate = wait_for(lambda: find_named(window, GENERATE_NAME), FIND_DEADLINE_S,
                        repr(GENERATE_NAME))
    copy = wait_for(lambda: find_named(window, COPY_NAME), FIND_DEADLINE_S, repr(COPY_NAME))

    report = {
        "application": application.name,
        "window": describe(window),
        "box": describe(box),
        "generate": describe(generate),
        "copy": describe(copy),
        "before": box_text(box),
    }
    press(generate)
    # The new address is read back as a screen reader would, once it is there;
    # at the deadline whatever the box holds is reported, and the test judges.
    deadline = time.monotonic() + CHANGE_DEADLINE_S
    after = box_text(box)
    while after == report["before"] and time.monotonic() < deadline:
        time.sleep(POLL_S)
        after = box_text(box)
    report["after"] = after
    press(copy)
    return report


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pid", type=int, required=True, help="the program's process id")
    arguments = parser.parse_args()
    try:
        report = probe(arguments.pid)
    except ProbeError as error:
        print(f"accessibility_probe: {error}", file=sys.stderr)
        return 1
    print(json.dumps(report))
    return 0


if __name__ == "__main__":
    sys.exit(main())
