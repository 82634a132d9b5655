"""Helpers for the test drivers that run the menu on a private X server (Xvfb) or Wayland
compositor (weston's headless back end).

What they share: a failed check (TestFailure, check), polling (wait_until), ending a process,
starting Xvfb or weston and a D-Bus session with the desktop's settings, the environment for
programs shown on them, a stand-in for the desktop's opener, and working the windows with
xdotool, xwininfo and ImageMagick (XTools, XSession); on Wayland, and wherever a screen reader's
view is wanted, through the accessibility bus (tests/accessible.py).

The drivers run as scripts and put this folder on sys.path themselves. Standard library only.
"""

import contextlib
import os
import re
import select
import subprocess
import sys
import time

XVFB_REPORT_TIMEOUT = 15.0


class TestFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def wait_until(predicate, timeout, what, interval=0.1):
    """Polls predicate until it returns a true value, which is returned; fails after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TestFailure(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(interval)


def end_process(process):
    """Ends a process that is still running: SIGTERM, then SIGKILL when it has not ended after 3 s."""
    if process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=3)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout=3)


def start_weston(folder, log=None, size=(1024, 768)):
    """Starts weston on its headless back end (drawing with pixman, no input devices) with its
    runtime folder in the new folder `folder`; returns (process, the absolute path of its socket),
    which is what WAYLAND_DISPLAY may name. A compositor that does not make its socket is ended
    before the failure is raised."""
    folder.mkdir(mode=0o700)
    socket = folder / "wayland-discmenu"
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["XDG_RUNTIME_DIR"] = str(folder)
    with (open(log, "wb") if log else contextlib.nullcontext(subprocess.DEVNULL)) as err:
        weston = subprocess.Popen(["weston", "--backend=headless-backend.so", "--use-pixman", "--no-config",
                                   f"--socket={socket.name}", f"--width={size[0]}", f"--height={size[1]}",
                                   "--idle-time=0"], env=env, stdin=subprocess.DEVNULL, stdout=err, stderr=err,
                                  start_new_session=True)
    try:
        wait_until(lambda: socket.exists() or weston.poll() is not None, XVFB_REPORT_TIMEOUT, "weston's socket")
        check(weston.poll() is None, "weston ended before making its socket" + (f" (see {log})" if log else ""))
    except BaseException:
        end_process(weston)
        raise
    return weston, str(socket)


def start_session_bus(env, log=None):
    """Starts a D-Bus session bus for programs with the environment `env` (the desktop's settings
    service, dconf, and the accessibility bus are started on it as they are asked for, with that
    environment); its socket lies in env["XDG_RUNTIME_DIR"]. Returns (process, its address)."""
    address = f"unix:path={env['XDG_RUNTIME_DIR']}/bus"
    with (open(log, "wb") if log else contextlib.nullcontext(subprocess.DEVNULL)) as err:
        bus = subprocess.Popen(["dbus-daemon", "--session", f"--address={address}", "--nofork", "--nopidfile"],
                               env=env, stdin=subprocess.DEVNULL, stdout=err, stderr=err, start_new_session=True)
    socket = address.split("=", 1)[1]
    try:
        wait_until(lambda: os.path.exists(socket) or bus.poll() is not None, XVFB_REPORT_TIMEOUT,
                   "the session bus")
        check(bus.poll() is None, "dbus-daemon ended at once" + (f" (see {log})" if log else ""))
    except BaseException:
        end_process(bus)
        raise
    return bus, address


def write_settings(env, settings):
    """Sets the desktop's settings {dconf key: value in GVariant text} in the session of `env`, as
    a desktop's settings panel does (the user's dconf database under XDG_CONFIG_HOME)."""
    for key, value in settings.items():
        result = subprocess.run(["dconf", "write", key, value], env=env, capture_output=True, text=True,
                                timeout=20)
        check(result.returncode == 0, f"dconf write {key} {value} failed: {result.stderr.strip()}")


def start_xvfb(log=None, noreset=False, size=(1024, 768)):
    """Starts Xvfb (by default 1024x768, 24 bits, no TCP) on a display it picks itself and returns
    (process, display name). Its standard error goes to the file `log`, or nowhere; noreset keeps
    the server as it is when its last client leaves. A server that does not report its display is
    ended before the failure is raised."""
    read_fd, write_fd = os.pipe()
    xvfb = None
    try:
        args = ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{size[0]}x{size[1]}x24", "-nolisten", "tcp"]
        if noreset:
            args.append("-noreset")
        with (open(log, "wb") if log else contextlib.nullcontext(subprocess.DEVNULL)) as err:
            xvfb = subprocess.Popen(args, pass_fds=(write_fd,), stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=err, start_new_session=True)
        os.close(write_fd)
        write_fd = -1
        number = b""
        deadline = time.monotonic() + XVFB_REPORT_TIMEOUT
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_fd], [], [], max(deadline - time.monotonic(), 0))
            check(ready, f"Xvfb did not report its display within {XVFB_REPORT_TIMEOUT:g} s")
            chunk = os.read(read_fd, 64)
            check(chunk, "Xvfb ended before reporting its display" + (f" (see {log})" if log else ""))
            number += chunk
    except BaseException:
        if xvfb:
            end_process(xvfb)
        raise
    finally:
        os.close(read_fd)
        if write_fd >= 0:
            os.close(write_fd)
    return xvfb, ":" + number.decode().strip()


def make_env(display, runtime, drop=(), drop_prefixes=(), **values):
    """The environment for a program on `display` (an X display, or the path of a Wayland socket):
    this one without what ties programs to the user's desktop (QT_* and GDK_BACKEND settings,
    DISPLAY or WAYLAND_DISPLAY, XAUTHORITY, the session bus) and without the names in `drop` and
    those starting with `drop_prefixes`; with the folder `runtime` (created here, private) as
    XDG_RUNTIME_DIR, the C locale in UTF-8, and `values`."""
    env = {key: value for key, value in os.environ.items()
           if not key.startswith(("QT_",) + tuple(drop_prefixes))
           and key not in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "GDK_BACKEND",
                           "DBUS_SESSION_BUS_ADDRESS") + tuple(drop)}
    runtime.mkdir(mode=0o700)
    env.update({"WAYLAND_DISPLAY" if display.startswith("/") else "DISPLAY": display,
                "XDG_RUNTIME_DIR": str(runtime), "LC_ALL": "C.UTF-8"})
    env.update(values)
    return env


def stand_in_opener(bin_dir, log, line):
    """Puts an xdg-open into the new folder bin_dir that only appends `line` (shell words, such as
    "$PWD|$*") to the file `log`, so a test sees what the desktop was asked to open, where; returns
    the PATH with bin_dir first."""
    bin_dir.mkdir()
    opener = bin_dir / "xdg-open"
    opener.write_text(f'#!/bin/sh\necho "{line}" >>"{log}"\n')
    opener.chmod(0o755)
    return f"{bin_dir}:{os.environ.get('PATH', '/usr/bin:/bin')}"


def tree_state(folder):
    """Path -> (size, modification time, mode) for everything under folder: any write shows."""
    return {str(p.relative_to(folder)): (p.stat().st_size, p.stat().st_mtime_ns, p.stat().st_mode)
            for p in sorted(folder.rglob("*"))}


def xdotool_pattern(name):
    """A pattern for xdotool search that matches the whole title `name` (a POSIX extended regular
    expression, matched without regard to case: windows() compares the titles it finds again)."""
    return "^" + re.sub(r"([][.*+?(){}|^$\\])", r"\\\1", name) + "$"


class XTools:
    """The X tools (xdotool, xwininfo, xprop, ImageMagick) run on the display in env["DISPLAY"];
    `timeout` limits each run, `key_delay` is the time between typed keys in milliseconds."""

    def __init__(self, env=None, timeout=20, key_delay=30):
        self.env = env
        self.timeout = timeout
        self.key_delay = key_delay

    def x(self, *args, timeout=None, ok=(0,)):
        """Runs a tool and returns its output; fails when it exits with a status not in `ok`."""
        args = [str(a) for a in args]
        result = subprocess.run(args, env=self.env, capture_output=True, text=True,
                                timeout=timeout or self.timeout)
        if result.returncode not in ok:
            raise TestFailure(f"{' '.join(args)} failed ({result.returncode}): {result.stderr.strip()}")
        return result.stdout

    def windows(self, name, visible=True, pid=None):
        """Ids of the windows whose title is exactly `name` (mapped ones only when visible), of the
        process `pid` when given."""
        args = ["xdotool", "search"] + (["--onlyvisible"] if visible else [])
        out = self.x(*args, "--name", xdotool_pattern(name), ok=(0, 1))
        found = [int(w) for w in out.split() if self.window_name(int(w)) == name]
        if pid is not None:
            found = [w for w in found
                     if self.x("xdotool", "getwindowpid", w, ok=(0, 1)).strip() == str(pid)]
        return found

    def window_name(self, window):
        """The window's title; None when it is gone."""
        result = subprocess.run(["xdotool", "getwindowname", str(window)], env=self.env, capture_output=True,
                                text=True, timeout=10)
        return result.stdout.rstrip("\n") if result.returncode == 0 else None

    def wait_window(self, name, timeout, process, pid=None, output=None, interval=0.1):
        """Waits until a window titled `name` (of the process `pid`, when given) is shown and
        returns its id; fails at once when `process` ends first, with output() (its standard
        error, say) in the message."""
        def shown():
            if process.poll() is not None:
                raise TestFailure(f"the menu ended with status {process.returncode} before showing \"{name}\""
                                  + (f"; standard error:\n{output()}" if output else ""))
            found = self.windows(name, pid=pid)
            return found[0] if found else None
        return wait_until(shown, timeout, f"the window \"{name}\"", interval)

    def geometry(self, window):
        """(x, y, width, height) of the window's client area, from xwininfo."""
        out = self.x("xwininfo", "-id", window)
        values = {}
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            match = re.search(rf"^\s*{key}:\s*(-?\d+)", out, re.M)
            check(match, f"xwininfo gave no {key}: {out}")
            values[key] = int(match.group(1))
        return (values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"],
                values["Height"])

    def focus(self, window):
        self.x("xdotool", "windowfocus", "--sync", window)

    def key(self, *keys):
        self.x("xdotool", "key", "--delay", self.key_delay, *keys)

    def click(self, x, y, repeat=1):
        self.x("xdotool", "mousemove", x, y, "click", "--repeat", repeat, "--delay", "60", "1")

    def screenshot(self, file, window="root"):
        try:
            subprocess.run(["import", "-window", str(window), str(file)], env=self.env, capture_output=True,
                           timeout=20)
        except subprocess.TimeoutExpired:
            pass  # the check that follows (or the failure being reported) says enough


class XSession(XTools):
    """A private Xvfb for a `with` block, or with wayland=True a private weston (in the new folder
    `wayland_folder`), of `size`. Entering starts it and takes the environment from environment();
    with a `session_bus`, a D-Bus session is started with that environment and named in it, and
    the desktop's `settings` (dconf keys) written there. Leaving ends every process in
    self.processes, then the bus and the server, also when the block (or the start) failed; on
    failure (on X11) a screenshot of the whole screen goes to `failure_shot` first."""

    def __init__(self, failure_shot, xvfb_log=None, noreset=False, wayland=False, wayland_folder=None,
                 size=(1024, 768), session_bus=False, settings=None, **tools):
        super().__init__(**tools)
        self.failure_shot = failure_shot
        self.xvfb_log = xvfb_log
        self.noreset = noreset
        self.wayland = wayland
        self.wayland_folder = wayland_folder
        self.size = size
        self.session_bus = session_bus or bool(settings)
        self.settings = settings or {}
        self.bus = None
        self.xvfb = None
        self.display = None
        self.processes = []
        self.snapshots = {}  # medium folder -> its state when the test laid it out

    def check_media_untouched(self):
        for folder, before in self.snapshots.items():
            after = tree_state(folder)
            check(after == before, f"the medium {folder} was written to: "
                                   f"{sorted(set(after.items()) ^ set(before.items()))}")

    def environment(self):
        """The environment for programs on self.display."""
        raise NotImplementedError

    def __enter__(self):
        try:
            if self.wayland:
                self.xvfb, self.display = start_weston(self.wayland_folder, self.xvfb_log, self.size)
            else:
                self.xvfb, self.display = start_xvfb(self.xvfb_log, self.noreset, self.size)
            self.env = self.environment()
            if self.session_bus:
                self.bus, address = start_session_bus(self.env)
                self.env["DBUS_SESSION_BUS_ADDRESS"] = address
                write_settings(self.env, self.settings)
        except BaseException:
            self.__exit__(*sys.exc_info())
            raise
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None and self.env and not self.wayland and self.xvfb.poll() is None:
            self.screenshot(self.failure_shot)
        for process in self.processes:
            end_process(process)
        if self.bus:
            end_process(self.bus)
        if self.xvfb:
            end_process(self.xvfb)
        return False


class MenuProcess:
    """One running menu started as `command` (the program, or Wine and the program) in `cwd`, with
    the session's environment; its standard error goes to a file in the session's folder."""

    def __init__(self, session, command, cwd, caption, window_timeout, exit_timeout, interval):
        self.session = session
        self.caption, self.window_timeout, self.exit_timeout = caption, window_timeout, exit_timeout
        self.interval = interval
        index = len(session.menus) + 1
        self.stdout = session.root / f"menu{index}.out"
        self.stderr = session.root / f"menu{index}.err"
        with open(self.stdout, "wb") as out, open(self.stderr, "wb") as err:
            self.process = subprocess.Popen([str(part) for part in command], cwd=cwd, env=session.env,
                                            stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        session.menus.append(self)
        session.processes.append(self.process)

    def error_text(self):
        return self.stderr.read_text(errors="replace") if self.stderr.exists() else ""

    def window(self, name=None, timeout=None):
        """Waits until the menu shows a window titled `name` (its caption unless given); fails at
        once when the menu ends first. Wine too gives each window the Linux process id."""
        return self.session.wait_window(name or self.caption, timeout or self.window_timeout, self.process,
                                        pid=self.process.pid, output=self.error_text, interval=self.interval)

    def wait_exit(self, timeout=None):
        timeout = timeout or self.exit_timeout
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise TestFailure(f"the menu did not end within {timeout:g} s") from None

    def check_running(self):
        check(self.process.poll() is None,
              f"the menu ended (status {self.process.returncode}); standard error:\n{self.error_text()}")
