"""The menu as a screen reader (or voice control) sees and works it: through the accessibility bus
(AT-SPI), on X11 and on Wayland alike, where no X tool reaches.

Needs Debian's gir1.2-atspi-2.0 with python3-gi (taken from the system's Python folder when the
running Python has none). The session's bus address must be known before the first use:
Accessibility(env) sets it for this process. Standard library otherwise.
"""

import os
import sys
import time

from xsession import TestFailure, check, wait_until

SYSTEM_PYTHON = "/usr/lib/python3/dist-packages"


def _atspi():
    try:
        import gi
    except ImportError:
        sys.path.append(SYSTEM_PYTHON)
        import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    return Atspi


class Accessibility:
    """The accessibility bus of the session whose environment is `env`."""

    def __init__(self, env):
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = env["DBUS_SESSION_BUS_ADDRESS"]
        os.environ["XDG_RUNTIME_DIR"] = env["XDG_RUNTIME_DIR"]
        self.atspi = _atspi()

    def application(self, pid, timeout):
        """The accessible application of the process `pid`, once it is on the bus."""
        def found():
            desktop = self.atspi.get_desktop(0)
            for i in range(desktop.get_child_count()):
                app = desktop.get_child_at_index(i)
                try:
                    if app is not None and app.get_process_id() == pid:
                        return app
                except Exception:  # an application that left meanwhile
                    continue
            return None
        return wait_until(found, timeout, f"process {pid} on the accessibility bus")

    def windows(self, app):
        """(role, name) -> accessible of the application's top-level windows that are showing."""
        shown = {}
        for i in range(app.get_child_count()):
            window = app.get_child_at_index(i)
            if window is not None and window.get_state_set().contains(self.atspi.StateType.SHOWING):
                shown[(window.get_role_name(), window.get_name())] = window
        return shown

    def find(self, root, role, name=None, depth=20):
        """The first accessible under `root` (itself included) with `role` (and `name`, or a name
        for which the function `name` is true), or None."""
        if root is None:
            return None
        if root.get_role_name() == role and (name is None or (name(root.get_name()) if callable(name)
                                                              else root.get_name() == name)):
            return root
        if depth == 0:
            return None
        for i in range(root.get_child_count()):
            found = self.find(root.get_child_at_index(i), role, name, depth - 1)
            if found is not None:
                return found
        return None

    def must_find(self, root, role, name=None, timeout=10.0):
        return wait_until(lambda: self.find(root, role, name), timeout, f"the {role} \"{name}\"")

    def size(self, accessible):
        extents = accessible.get_extents(self.atspi.CoordType.WINDOW)
        return extents.width, extents.height

    def press(self, root, name):
        """Presses the button `name` under `root` through its action, as a screen reader does;
        returns the seconds the call took to answer."""
        button = self.must_find(root, "push button", name)
        started = time.monotonic()
        done = button.do_action(0)
        took = time.monotonic() - started
        check(done, f"the button \"{name}\" refused to be pressed")
        return took

    def select(self, root, role, index):
        """Highlights item `index` of the list (`role`) under `root` through its selection."""
        found = self.must_find(root, role)
        # A table (GTK's tree view) selects its rows; a list its children, or its rows where it
        # offers no selection of children (Qt 6.4's list is a table of one column to the bus).
        rows = role == "table" or "Selection" not in found.get_interfaces()
        done = found.add_row_selection(index) if rows else found.select_child(index)
        check(done, f"the {role} did not take item {index}")


__all__ = ["Accessibility", "TestFailure"]
