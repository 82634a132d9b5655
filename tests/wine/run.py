#!/usr/bin/env python3
"""End-to-end tests of discmenu.exe under Wine on a private X server (Xvfb).

Usage: run.py template TEMPLATE BITS
       run.py TEST DISCMENU RECORDER SAMPLE_MEDIUM TEMPLATE
  template        makes the Wine prefix TEMPLATE once (wineboot -i) with BITS-bit (32 or 64) Wine,
                  the word size of the build; nothing when it is there
  TEST            one of: startup, install, documents, keys, missing, screenreader and message
                  (which read and press the window with readwindow.exe, named by DISCMENU_READWINDOW)
  DISCMENU        the built discmenu.exe
  RECORDER        the built recorder.exe, a stand-in set-up program that appends its working
                  folder, its own path and its arguments to the file %DISCMENU_RECORD%
  SAMPLE_MEDIUM   the sample medium folder (copied, never written to)
  TEMPLATE        the Wine prefix made by "template"; every test works in its own copy

The programs run under the Wine of their own word size (wine.py): 32-bit Wine for the 32-bit
discmenu.exe, 64-bit Wine for the 64-bit build that is tested where 32-bit code cannot run.
Every test starts its own Xvfb, works in a fresh copy of the medium (with the menu in its root
and the recorder as every entry's setup.exe, plus one setup.exe beside the menu that must never
run) and ends every Windows and X process it started, also on failure. On failure the temporary
folder is kept (with a screenshot) and its path printed; DISCMENU_E2E_KEEP=1 keeps it always.
"""

import os
import runpy
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
from xsession import MenuProcess, TestFailure, XSession, check, make_env, tree_state, wait_until  # noqa: E402
import wine  # noqa: E402

CAPTION = "Sample Software Collection (Winter Edition)"
ENTRY_FOLDERS = ("editor", "cards", "photos", "typing", "fonts")

# The client area: 5655 x 5175 twips at the screen's DPI (15 twips to the pixel at 96 dpi).
CLIENT_SIZE = {96: (377, 345), 120: (471, 431)}

# The program list inside the client area at 96 dpi: Frame3 at (0, 67), the list at (8, 12) in it,
# with a 2-pixel sunken border; items of Arial 7.5 pt are 11 pixels high under Wine.
LIST_LEFT, LIST_TOP, LIST_BORDER, ITEM_HEIGHT = 8, 79, 2, 11

WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
WINDOW_TIMEOUT = 40.0  # the first program in a fresh prefix starts Wine's services too
ACTION_TIMEOUT = 15.0
EXIT_TIMEOUT = 10.0

# Prefix files that are only ever read (the system's DLLs and programs) are hard-linked into each
# test's copy; everything else (the registry above all) is copied.
LINKED_SUFFIXES = (".dll", ".exe", ".drv", ".sys", ".ocx", ".acm", ".cpl", ".tlb", ".nls", ".ax", ".ds")


def windows_path(path):
    """The Windows name of a Linux path under Wine (drive Z: is the root)."""
    return "Z:" + str(path).replace("/", "\\")


def copy_prefix(template, target):
    def copy(source, destination):
        if source.lower().endswith(LINKED_SUFFIXES):
            try:
                os.link(source, destination)
                return destination
            except OSError:
                pass
        return shutil.copy2(source, destination)
    shutil.copytree(template, target, symlinks=True, copy_function=copy)


def make_template(template, bits):
    """Makes the Wine prefix once; a half-made one (an interrupted run) is made again."""
    template = Path(template)
    if (template / "system.reg").exists():
        return 0
    work = template.with_name(template.name + ".new")
    shutil.rmtree(work, ignore_errors=True)
    env = {key: value for key, value in os.environ.items() if key != "DISPLAY"}
    env.update(WINE_ENV, WINEPREFIX=str(work))
    started = time.monotonic()
    try:
        status, error = wine.boot(bits, env)
    except wine.WineMissing as missing:
        status, error = 1, str(missing)
    if status:
        print(f"[template] FAILED: {error}", file=sys.stderr)
        return 1
    shutil.rmtree(template, ignore_errors=True)
    work.rename(template)
    print(f"[template] Wine prefix made with {bits}-bit Wine ({wine.loader(bits)}) in "
          f"{time.monotonic() - started:.1f} s")
    return 0


class Session(XSession):
    """One Xvfb, one Wine prefix, one temporary folder, and every program started in them."""

    def __init__(self, name, discmenu, recorder, sample, template):
        root = Path(tempfile.mkdtemp(prefix=f"discmenu-wine-{name}-")).resolve()
        super().__init__(root / "failure.png", xvfb_log=root / "xvfb.log", noreset=True, timeout=15)
        self.name = name
        self.discmenu = Path(discmenu).resolve()
        self.recorder = Path(recorder).resolve()
        self.sample = Path(sample).resolve()
        self.root = root
        self.prefix = root / "prefix"
        self.record = root / "record.txt"
        self.marker = root / "marker.txt"  # the sample's own set-ups write here
        self.menus = []
        self.bits = wine.pe_bits(self.discmenu)
        copy_prefix(template, self.prefix)

    def wine(self, *args):
        """The command line that runs `args` under the Wine of discmenu.exe's word size."""
        return wine.command(self.bits, *args)[0]

    def environment(self):
        return make_env(self.display, self.root / "runtime", drop_prefixes=("WINE",), WINEPREFIX=str(self.prefix),
                        DISCMENU_RECORD=windows_path(self.record), DISCMENU_MARKER=windows_path(self.marker),
                        **WINE_ENV, **wine.command(self.bits)[1])

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None and self.env and self.xvfb.poll() is None:
            self.screenshot(self.failure_shot)  # before the Windows programs are ended
            self.failure_shot = self.root / "failure-after-cleanup.png"
        if self.env:
            # Ends every Windows program of this prefix (Notepad, the menus, Wine's services).
            subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=30)
        super().__exit__(exc_type, exc, tb)
        if exc_type is not None or os.environ.get("DISCMENU_E2E_KEEP"):
            print(f"[{self.name}] files kept in {self.root}", file=sys.stderr)
            for menu in self.menus:
                text = menu.error_text()
                if text.strip():
                    print(f"--- {menu.stderr.name}:\n{text[-4000:]}", file=sys.stderr)
        else:
            shutil.rmtree(self.root, ignore_errors=True)
        return False

    # --- the medium ----------------------------------------------------------------------

    def medium(self, name="cd", edit=None):
        """A fresh copy of the sample medium with discmenu.exe in its root, the recorder as each
        entry's setup.exe and a decoy setup.exe beside the menu; `edit` changes the catalogue's
        lines before the snapshot is taken."""
        target = self.root / name
        shutil.copytree(self.sample, target)
        shutil.copy2(self.discmenu, target / "discmenu.exe")
        for folder in ("",) + ENTRY_FOLDERS:
            shutil.copy2(self.recorder, target / folder / "setup.exe")
        if edit:
            catalogue = target / "contents.inf"
            lines = catalogue.read_text().splitlines(keepends=True)
            edit(lines)
            catalogue.write_text("".join(lines))
        self.snapshots[target] = tree_state(target)
        return target

    def runs(self):
        """The recorded set-up runs: (working folder, program, arguments...) each."""
        if not self.record.exists():
            return []
        return [tuple(line.split("\t")) for line in self.record.read_text(encoding="utf-8").splitlines()]

    def expect_runs(self, menu, count):
        def enough():
            menu.check_running()
            runs = self.runs()
            return runs if len(runs) >= count else None
        return wait_until(enough, ACTION_TIMEOUT, f"{count} set-up run(s)", interval=0.05)

    # --- windows -------------------------------------------------------------------------

    def start_menu(self, program, cwd):
        return Menu(self, Path(program), Path(cwd))

    def visible_windows(self, pid=None):
        """(id, title) of every visible window with a title, of process `pid` when given."""
        out = self.x("xdotool", "search", "--onlyvisible", "--name", ".+", ok=(0, 1))
        found = []
        for window in (int(w) for w in out.split()):
            if pid is not None and self.x("xdotool", "getwindowpid", window, ok=(0, 1)).strip() != str(pid):
                continue
            title = self.window_name(window)
            if title:
                found.append((window, title))
        return found

    def activate(self, menu, window):
        """Makes the menu the active window again, as a user's click does once another program
        (a started set-up, Notepad) has taken over: a click on the picture box, which only takes
        the focus."""
        self.x("xdotool", "windowraise", window)  # there is no window manager to do it
        left, top, _, _ = self.geometry(window)
        self.click(left + 40, top + 30)
        time.sleep(0.3)

    def list_click(self, window, row, repeat=1):
        left, top, _, _ = self.geometry(window)
        self.click(left + LIST_LEFT + 30, top + LIST_TOP + LIST_BORDER + row * ITEM_HEIGHT + 4, repeat=repeat)


class Menu(MenuProcess):
    """One running discmenu.exe under Wine."""

    def __init__(self, session, program, cwd):
        super().__init__(session, session.wine(program), cwd, CAPTION, WINDOW_TIMEOUT, EXIT_TIMEOUT, interval=0.1)

    def check_alone(self):
        """The menu runs and shows its window only: no message box, no dialog."""
        self.check_running()
        shown = self.session.visible_windows(pid=self.process.pid)
        check([title for _, title in shown] == [CAPTION], f"the menu shows {shown}")


# --- the tests ------------------------------------------------------------------------------


def test_startup(s):
    medium = s.medium()
    menu = s.start_menu(medium / "discmenu.exe", medium)
    window = menu.window()
    size = s.geometry(window)[2:]
    check(size == CLIENT_SIZE[96], f"client size at 96 dpi is {size}, expected {CLIENT_SIZE[96]}")
    menu.check_alone()

    # Started from another folder (as from Explorer or a shortcut), the catalogue beside the
    # program is found.
    home = s.root / "home"
    home.mkdir()
    other = s.start_menu(medium / "discmenu.exe", home)
    other.window()
    other.check_alone()
    check(s.runs() == [], f"a set-up ran at start-up: {s.runs()}")

    # At 120 dpi the layout is converted at that DPI, not drawn at 96.
    subprocess.run(s.wine("reg.exe", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                    "/d", "120", "/f"), env=s.env, capture_output=True, timeout=60, check=True)
    large = s.start_menu(medium / "discmenu.exe", medium)
    size = s.geometry(large.window())[2:]
    check(size == CLIENT_SIZE[120], f"client size at 120 dpi is {size}, expected {CLIENT_SIZE[120]}")
    s.check_media_untouched()


def test_install(s):
    medium = s.medium()
    menu = s.start_menu(medium / "discmenu.exe", medium)
    window = menu.window()
    s.focus(window)

    # The keyboard: the list's first item, one down, Alt+I.
    s.list_click(window, 0)
    s.key("Down", "alt+i")
    runs = s.expect_runs(menu, 1)
    cards = windows_path(medium / "cards")
    check(runs == [(cards, cards + "\\setup.exe")], f"unexpected set-up run: {runs}")

    # A double click on the third item runs it with its arguments; the medium's folder is current
    # again after the first install, so the entry's folder is found from there.
    s.activate(menu, window)
    s.list_click(window, 2, repeat=2)
    runs = s.expect_runs(menu, 2)
    photos = windows_path(medium / "photos")
    check(runs[1] == (photos, photos + "\\setup.exe", "--typical"), f"unexpected set-up run: {runs}")
    time.sleep(0.5)  # a second start would show up by now
    check(len(s.runs()) == 2, f"the set-up ran more often than asked: {s.runs()}")
    menu.check_alone()
    s.check_media_untouched()


def test_documents(s):
    medium = s.medium()
    menu = s.start_menu(medium / "discmenu.exe", medium)
    window = menu.window()
    s.focus(window)

    # Alt+R: the readme in the system's Notepad, visibly.
    s.key("alt+r")
    wait_until(lambda: [w for w, title in s.visible_windows() if "readme.txt" in title.lower()],
               ACTION_TIMEOUT, "a visible Notepad window on readme.txt")
    menu.check_running()

    # Browse: the system's file-open dialog, over the menu; Esc cancels it quietly.
    s.activate(menu, window)
    s.key("alt+b")
    dialog = wait_until(lambda: [w for w, title in s.visible_windows(pid=menu.process.pid) if title != CAPTION],
                        ACTION_TIMEOUT, "the file-open dialog")
    s.focus(dialog[0])
    s.key("Escape")
    wait_until(lambda: not any(title != CAPTION for _, title in s.visible_windows(pid=menu.process.pid)),
               ACTION_TIMEOUT, "the dialog to close")
    menu.check_alone()

    s.activate(menu, window)
    s.key("alt+e")
    status = menu.wait_exit()
    check(status == 0, f"Exit ended the menu with status {status}")
    check(s.runs() == [], f"a set-up ran: {s.runs()}")
    s.check_media_untouched()


def test_keys(s):
    # The licence button off: Tab passes over it.
    def no_licence_button(lines):
        check(lines[7].strip() == "1", f"unexpected licence flag: {lines[7]!r}")
        lines[7] = "0\n"

    medium = s.medium(edit=no_licence_button)
    menu = s.start_menu(medium / "discmenu.exe", medium)
    window = menu.window()
    s.focus(window)
    # The picture box has the focus; Tab reaches the install button, where Enter and Esc press
    # nothing; then Browse, Show Readme, (not Show License), Exit, which the space bar presses.
    s.key("Tab", "Return", "Escape")
    time.sleep(0.5)
    menu.check_alone()
    check(s.runs() == [], f"Enter or Esc installed: {s.runs()}")
    s.key("Tab", "Tab", "Tab", "space")
    status = menu.wait_exit()
    check(status == 0, f"Exit by keyboard ended the menu with status {status}")

    # The window's close box (the window manager's request) ends it as Exit does.
    menu = s.start_menu(medium / "discmenu.exe", medium)
    window = menu.window()
    send_close(s, window)
    status = menu.wait_exit()
    check(status == 0, f"closing the window ended the menu with status {status}")
    check(s.runs() == [], f"a set-up ran: {s.runs()}")
    s.check_media_untouched()


def test_sample(s):
    """The sample medium as published, whose catalogue names setup.sh: every entry installs on
    Windows through the setup.bat beside it, in its folder, with its arguments."""
    medium = s.root / "sample"
    shutil.copytree(s.sample, medium)
    shutil.copy2(s.discmenu, medium / "discmenu.exe")
    s.snapshots[medium] = tree_state(medium)
    menu = s.start_menu(medium / "discmenu.exe", medium)
    window = menu.window()
    expected = [("Text Editor", "editor", ""), ("Card Game", "cards", ""), ("Photo Viewer", "photos", "--typical"),
                ("Typing Tutor", "typing", ""), ("Fonts Pack", "fonts", "")]
    for row, (name, folder, arguments) in enumerate(expected):
        s.activate(menu, window)
        s.list_click(window, row)
        s.key("alt+i")

        def written():
            menu.check_running()
            lines = s.marker.read_text(errors="replace").splitlines() if s.marker.exists() else []
            return lines if len(lines) > row else None
        line = wait_until(written, ACTION_TIMEOUT, f"the set-up of {name}")[row]
        wanted = f"{name}|{windows_path(medium / folder)}|{arguments}"
        check(line.strip().lower() == wanted.lower(), f"set-up run {line!r}, expected {wanted!r}")
    s.check_media_untouched()


def send_close(s, window):
    """Asks the window to close as a window manager's close box does (WM_DELETE_WINDOW), with the
    helper of the Linux end-to-end tests."""
    e2e = runpy.run_path(str(Path(__file__).resolve().parent.parent / "e2e" / "run.py"))
    e2e["send_wm_delete"](s.display, window)


def test_missing(s):
    empty = s.root / "empty"
    empty.mkdir()
    folder = s.root / "program"
    folder.mkdir()
    shutil.copy2(s.discmenu, folder / "discmenu.exe")
    menu = s.start_menu(folder / "discmenu.exe", empty)

    box = wait_until(lambda: s.visible_windows(pid=menu.process.pid), WINDOW_TIMEOUT, "the message box")
    check(all(title != CAPTION and "Here will be" not in title for _, title in box),
          f"the menu window was shown: {box}")
    error = menu.error_text()
    check("contents.inf" in error, f"standard error does not name contents.inf:\n{error}")
    s.focus(box[0][0])
    s.key("Return")
    status = menu.wait_exit()
    check(status == 1, f"the menu ended with status {status} without a catalogue, expected 1")


SKIP = 77


class Skipped(Exception):
    """What this Wine cannot show, said instead of a failure (ctest counts the test as skipped)."""


def run_reader(s, *args):
    """readwindow.exe's output on the menu's window with `args` (see readwindow.cpp)."""
    out = subprocess.run(s.wine(os.environ["DISCMENU_READWINDOW"], "DiscMenuWindow", *args), env=s.env,
                         capture_output=True, timeout=60, text=True, encoding="utf-8")
    if s.bits == 64 and out.returncode == 1 and "HRESULT 80004002" in out.stderr:
        # 64-bit Wine 8 hands no IAccessible from one process to another (E_NOINTERFACE, with
        # oleacc registered); 32-bit Wine does, and the 32-bit program is the one media carry.
        raise Skipped("64-bit Wine cannot hand the window's IAccessible to another process "
                      "(E_NOINTERFACE); the 32-bit build is read through MSAA where 32-bit Wine runs")
    check(out.returncode == 0, f"readwindow {' '.join(args)} failed ({out.returncode}): {out.stderr[-2000:]}")
    return out.stdout


def read_window(s, *args):
    """The window (or with "dialog" the one it owns) as readwindow.exe reads it through MSAA:
    (accessible objects, child windows), each a list of (depth, fields...); after a "D" line, the
    owned window's (class, title) comes first."""
    objects, windows, owned = [], [], []
    for line in run_reader(s, *args).splitlines():
        kind, rest = line.split(" ", 1)
        if kind == "D":
            owned = rest.split("\t")
            continue
        depth, rest = rest.split(" ", 1)
        (objects if kind == "A" else windows).append((int(depth), *rest.split("\t")))
    return (tuple(owned), objects, windows) if owned else (objects, windows)


def press(s, name, *where):
    """Presses the object `name` of the menu's window (or, with "dialog", of the window it owns)
    through MSAA's accDoDefaultAction; fails unless the call succeeds and returns at once."""
    line = run_reader(s, *where, "press", name).strip().splitlines()[-1]
    check(line.startswith("P "), f"readwindow gave {line!r} for pressing {name!r}")
    result, took, *posted = line[2:].split("\t")
    check(int(took) < ANSWER_MS, f"pressing {name!r} took {took} ms to return (a dialog run inside the call?)")
    if int(result, 16) == E_NOTIMPL and posted == ["posted"]:
        # Wine's oleacc implements no default action: the button's click (BN_CLICKED) was posted
        # to its parent instead, which returns at once whatever the click does.
        print(f"[{s.name}] accDoDefaultAction is not implemented here (E_NOTIMPL): the click of {name!r} "
              "was posted instead")
        return
    check(int(result, 16) == 0, f"accDoDefaultAction on {name!r} failed: HRESULT {result}")


def test_screenreader(s):
    """The window as a screen reader reads it through MSAA. Wine's oleacc names an edit box from
    the static just before it in z-order, as Windows does, but gives a list box no name and no
    items: the list's name is checked from the window structure, the static that names it."""
    def no_licence_button(lines):
        lines[7] = "0\n"

    medium = s.medium(edit=no_licence_button)
    menu = s.start_menu(medium / "discmenu.exe", medium)
    menu.window()
    objects, windows = read_window(s)
    # The controls in object order (the picture, the panels and what they hold, the count line),
    # which is the keyboard order; a hidden static before each box names it.
    controls = [(depth, name, states, key) for depth, _, name, states, key, _ in objects[1:]
                if depth == 1 or name]
    expected = [
        (1, CAPTION, "focusable ", ""),  # the picture, named by the caption
        (1, "", "focusable ", ""),
        (2, "Install highlighted program", "focusable ", "Alt+I"),
        (1, "", "focusable ", ""),
        (2, "Browse CD", "focusable ", "Alt+B"),
        (2, "Show Readme", "focusable ", "Alt+R"),
        (2, "Show License", "unavailable ", "Alt+L"),
        (2, "Exit", "focusable ", "Alt+E"),
    ]
    check(controls[:len(expected)] == expected, f"the picture and the buttons read as {controls[:len(expected)]}")
    # The picture, which has the focus first, is a picture to the listener, and says what it is.
    picture = [(role, description) for depth, role, name, *_, description in objects[1:2]]
    check(picture == [("graphic", "The medium's picture")], f"the picture reads as {picture}")
    boxes = [(role, name) for depth, role, name, *_ in objects if role == "text"]
    check(boxes == [("text", "Size in Kb (installed)"), ("text", "Program description")],
          f"the text boxes read as {boxes}")

    # Every list and edit box right after a hidden static with its heading; no static before
    # anything else is hidden, and the labels seen are beneath every other control.
    before = {}
    for (_, cls, text, shown), (_, next_cls, _, _) in zip(windows, windows[1:]):
        if cls == "Static" and shown == "hidden":
            before[next_cls] = before.get(next_cls, []) + [text]
    check(before == {"ListBox": ["Programs on this CD"], "Edit": ["Size in Kb (installed)", "Program description"]},
          f"hidden names before the boxes: {before}")
    for (depth, cls, _, shown), (next_depth, next_cls, _, _) in zip(windows, windows[1:]):
        check(not (cls == "Static" and shown == "visible" and next_depth == depth and next_cls != "Static"),
              f"a label lies above a {next_cls}")
    menu.check_alone()


ANSWER_MS = 500  # a press through MSAA returns at once, whatever the press shows
E_NOTIMPL = 0x80004001


def test_message(s):
    """A message box as a screen reader meets it through MSAA: Install pressed on an entry whose
    set-up is missing returns at once; the box is a window that the menu owns, with its caption,
    its text and an OK button; the menu answers meanwhile; OK returns to the menu, which goes on."""
    medium = s.medium()
    for setup in (medium / "editor").glob("setup.*"):  # the first entry's set-up, in every form
        setup.unlink()
    s.snapshots[medium] = tree_state(medium)
    menu = s.start_menu(medium / "discmenu.exe", medium)
    window = menu.window()
    press(s, "Install highlighted program")
    owned, objects, windows = wait_until(lambda: run_reader_box(s), ACTION_TIMEOUT, "the message box owned by the menu")
    check(owned == ("#32770", CAPTION), f"the menu's message box is {owned}, expected a box titled {CAPTION!r}")
    # Wine's oleacc gives every object the role "client": the OK button is told by its window.
    names = [name for _, _, name, *_ in objects]
    check(any(name.startswith('Cannot install "Text Editor"') for name in names) and "OK" in names,
          f"the message box reads as {names}")
    check((0, "Button", "OK", "visible") in windows, f"the message box has no OK button: {windows}")
    menu_objects, _ = read_window(s)
    check([name for _, _, name, *_ in menu_objects][:1] == [CAPTION] and
          "Exit" in [name for _, _, name, *_ in menu_objects],
          f"the menu reads as {menu_objects} while its box is open")
    press(s, "OK", "dialog")
    wait_until(lambda: [title for _, title in s.visible_windows(pid=menu.process.pid)] == [CAPTION],
               ACTION_TIMEOUT, "the message box to close")
    # The menu goes on: the next entry installs.
    s.list_click(window, 1)
    press(s, "Install highlighted program")
    cards = windows_path(medium / "cards")
    check(s.expect_runs(menu, 1) == [(cards, cards + "\\setup.exe")], f"unexpected set-up run: {s.runs()}")
    menu.check_alone()
    s.check_media_untouched()


def run_reader_box(s):
    """The window the menu owns, as read_window(s, "dialog") reads it, or None while there is none."""
    try:
        return read_window(s, "dialog")
    except TestFailure as failure:
        if "owns no visible window" in str(failure):
            return None
        raise


TESTS = {
    "screenreader": test_screenreader,
    "message": test_message,
    "startup": test_startup,
    "install": test_install,
    "sample": test_sample,
    "documents": test_documents,
    "keys": test_keys,
    "missing": test_missing,
}


def main(argv):
    if len(argv) == 4 and argv[1] == "template" and argv[3] in ("32", "64"):
        return make_template(argv[2], int(argv[3]))
    if len(argv) != 6 or argv[1] not in TESTS:
        print(__doc__, file=sys.stderr)
        return 2
    name, discmenu, recorder, sample, template = argv[1:]
    missing = [tool for tool in ("Xvfb", "xdotool", "xwininfo", "wineserver") if not shutil.which(tool)]
    if missing:
        print(f"[{name}] FAILED: missing tools: {', '.join(missing)} (scripts/setup installs them)",
              file=sys.stderr)
        return 1
    if not (Path(template) / "system.reg").exists():
        print(f"[{name}] FAILED: no Wine prefix at {template} (run.py template makes it)", file=sys.stderr)
        return 1
    started = time.monotonic()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(f"[{name}] terminated"))
    try:
        wine.command(wine.pe_bits(discmenu))  # fails here, saying why, where this Wine cannot run
        with Session(name, discmenu, recorder, sample, template) as session:
            TESTS[name](session)
    except Skipped as reason:
        print(f"[{name}] SKIPPED: {reason}")
        return SKIP
    except (TestFailure, wine.WineMissing) as failure:
        print(f"[{name}] FAILED: {failure}", file=sys.stderr)
        return 1
    print(f"[{name}] passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
