#!/usr/bin/python3
"""Prints, as JSON, the accessible tree of the application called NAME as AT-SPI shows it to a
screen reader: for each object its role, name, description, states, text caret and children.
Needs Debian's python3-pyatspi (hence /usr/bin/python3) and the session's AT-SPI bus.

Usage: atspi_tree.py NAME"""

import json
import sys
import time

import pyatspi


def node(accessible):
    states = accessible.getState()
    entry = {"role": accessible.getRoleName(), "name": accessible.name or "",
             "description": accessible.description or "",
             "states": sorted(pyatspi.stateToString(s) for s in states.getStates())}
    try:
        entry["caret"] = accessible.queryText().caretOffset
    except NotImplementedError:
        pass
    entry["children"] = [node(child) for child in accessible if child is not None]
    return entry


def main(name):
    # The application registers with the bus a little after its window shows.
    for _ in range(50):
        apps = [app for app in pyatspi.Registry.getDesktop(0) if app is not None and app.name == name]
        if apps and apps[0].childCount:
            print(json.dumps(node(apps[0])))
            return 0
        time.sleep(0.2)
    print(f"atspi_tree: no application {name!r} on the AT-SPI bus", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
