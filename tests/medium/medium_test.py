#!/usr/bin/env python3
"""Tests of scripts/make-medium: a medium whose menu runs without Qt installed.

Usage: medium_test.py STEP SOURCE_DIR WORK_DIR
  labels    the title and volume label read from contents.inf (packaging/catalogue-labels)
  refusals  bad arguments are refused before anything is written (SRC never touched)
  make      builds the medium WORK_DIR/out and image WORK_DIR/medium.iso from a copy of the sample
            (with a long, quoted title and a mixed-case file); the others use them
  bundle    every library the bundle carries resolves inside it (ldd), and nothing else is in it
  installs  two installs in a row and the readme after them, with the menu started from the medium's
            root and from discmenu/: the entries' folders and the readme are found in the root
  environment  a set-up started through autorun.sh sees the user's environment, not what autorun.sh
            and the launcher set for the menu, whether or not the user had set QT_QPA_PLATFORM
  hidden    the launcher's paths where the desktop lacks more and more (a private mount namespace;
            needs root): without Qt's X11 plugin, and without Qt, the menu runs on GTK (by itself;
            with no Qt library in the process) and a set-up gets the user's environment; told,
            on the bundled Qt; told to take the missing Qt, one message and status 1; without GTK
            too, on the bundled Qt, and a medium without the bundled Qt names GTK's package in one
            message (dialog too) and exits with 1; with two desktop libraries hidden as well, the
            bundle check names both and their packages
  iso       the image holds the medium's files with their names, in the order a start reads them,
            its volume label is the cut title, and the menu runs from the extracted tree: on the
            system's Qt by itself, and on each path when told to (DISCMENU_TOOLKIT, DISCMENU_QT),
            also where the environment names the system's Qt; with its pack damaged, the bundled Qt
            from lib/
  reproducible  a second image of the same SRC is byte-identical and FILE.sha256 holds its
            checksum; SOURCE_DATE_EPOCH dates the image
  wayland   on a Wayland desktop (weston, no X11) the launcher takes GTK by itself; Install,
            pressed through the accessibility bus, runs the set-up with the user's environment
  nobundle  --no-bundled-qt: the medium holds the launcher and the two menus alone, 2 MiB at most
            with discmenu.exe, and make-medium says which desktops it serves

Usage: medium_test.py oldsys SOURCE_DIR WORK_DIR NAME SUITE PACKAGES EXPECTED
  runs the medium of the make step in a Debian root NAME of SUITE with PACKAGES (comma-separated),
  made with debootstrap and cached (scripts/debian-root), on this machine's Xvfb, and checks that
  the launcher takes the EXPECTED path: system-qt, bundled-qt or gtk (the window shows, and the
  launcher says it took that path), or started (the launcher itself runs there, says what it
  does in its own words, not the dynamic loader's, and ends without a window). Skips (77) only when this is not root or the
  archive cannot be reached.

Standard library only, plus Xvfb, xdotool, xprop, xorriso, ldd, readelf and unshare. Every X
server and menu started here is ended, also on failure; on failure a screenshot and the menu's
output are left in WORK_DIR.
"""

import hashlib
import os
import re
import runpy
import shutil
import stat
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
from xsession import TestFailure, XSession, check, make_env, stand_in_opener, wait_until  # noqa: E402

SKIP = 77  # ctest SKIP_RETURN_CODE

TITLE = "Sample Software Collection, Deluxe Edition"
CAPTION = TITLE + " (Winter Edition)"
VOLUME_ID = TITLE[:32]
MIXED_CASE = "Extras/ReadMe Now.TXT"
SYSTEM_LIBS = "/usr/lib/x86_64-linux-gnu"
# What a start reads first, in the order it reads it, as the image lays it out: the GTK menu before
# the Qt one, so that a desktop without Qt takes the GTK one without a seek.
START_FILES = ["/autorun.sh", "/contents.inf", "/discmenu/discmenu", "/discmenu/discmenu-gtk.so",
               "/discmenu/discmenu-app.so", "/discmenu/bundle.pack", "/discmenu/preload.list"]

# What the bundle may carry in lib/, and what it must leave to the user's system.
BUNDLED = re.compile(r"^lib(Qt6\w+|icu\w+|double-conversion|b2|gomp|pcre2-16|md4c|xcb-(icccm|image|keysyms|"
                     r"render-util|render|shape|util|cursor|xkb|xinput)|xkbcommon-x11)\.so\.\d+$")
NEVER_BUNDLED = ["libc.so.6", "libm.so.6", "libstdc++.so.6", "libgcc_s.so.1", "libX11.so.6", "libxcb.so.1",
                 "libGLX.so.0", "libEGL.so.1", "libOpenGL.so.0", "libfontconfig.so.1", "libfreetype.so.6",
                 "libharfbuzz.so.0", "libSM.so.6", "libxcb-randr.so.0", "libxcb-shm.so.0", "libxcb-sync.so.1",
                 "libxcb-xfixes.so.0"]
# Two libraries a desktop must have: one that Qt's Gui library needs, one that only the X11 plugin's
# library needs; the "hidden" step hides them and expects both, with their Debian packages, in the
# launcher's one message.
DESKTOP_LIBS = {"libharfbuzz.so.0": "libharfbuzz0b", "libxcb-randr.so.0": "libxcb-randr0"}
PLUGINS = {"platforms/libqxcb.so"}
# How /proc/PID/maps names a library the launcher unpacked from the bundle's pack into memory.
PACKED_PREFIX = "/memfd:discmenu-bundle:"

WINDOW_TIMEOUT = 30.0
ACTION_TIMEOUT = 10.0


def run(args, **kwargs):
    kwargs.setdefault("capture_output", True)
    kwargs.setdefault("text", True)
    kwargs.setdefault("timeout", 120)
    return subprocess.run([str(a) for a in args], **kwargs)


def tree_state(folder):
    """Path -> (mode, content digest or link target) for everything under folder."""
    state = {}
    for path in sorted(Path(folder).rglob("*")):
        info = path.lstat()
        if stat.S_ISLNK(info.st_mode):
            content = os.readlink(path)
        elif stat.S_ISREG(info.st_mode):
            content = hashlib.sha256(path.read_bytes()).hexdigest()
        else:
            content = ""
        state[str(path.relative_to(folder))] = (stat.S_IMODE(info.st_mode), stat.S_IFMT(info.st_mode), content)
    return state


def remove_tree(folder):
    """Removes a tree that may hold read-only folders (an extracted image)."""
    if not os.path.lexists(folder):
        return
    for dirpath, dirnames, _ in os.walk(folder):
        for name in dirnames:
            path = os.path.join(dirpath, name)
            if not os.path.islink(path):
                os.chmod(path, 0o755)
    os.chmod(folder, 0o755)
    shutil.rmtree(folder)


def ldd(elf):
    """soname -> resolved path (None when not found) for every library ldd lists."""
    env = {k: v for k, v in os.environ.items() if k != "LD_LIBRARY_PATH"}
    result = run(["ldd", elf], env=env)
    check(result.returncode == 0, f"ldd {elf} failed: {result.stderr.strip()}")
    found = {}
    for line in result.stdout.splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[1] == "=>":
            found[parts[0]] = None if parts[2] == "not" else os.path.realpath(parts[2])
    return found


def elf_files(bundle):
    return [p for p in sorted(bundle.rglob("*")) if p.is_file() and (p.name == "discmenu" or ".so" in p.name)]


def dynamic_entries(elf, tag):
    """The values of the dynamic section's `tag` entries (NEEDED, RPATH, RUNPATH) of an ELF file."""
    out = run(["readelf", "-d", "-W", elf]).stdout
    return re.findall(rf"\({tag}\)\s+.*?\[(.*)\]", out)


class Paths:
    def __init__(self, source, work):
        self.source = Path(source).resolve()
        self.work = Path(work).resolve()
        self.make_medium = self.source / "scripts" / "make-medium"
        self.sample = self.source / "examples" / "sample-cd"
        self.src = self.work / "src"
        self.out = self.work / "out"
        self.iso = self.work / "medium.iso"
        self.bundle = self.out / "discmenu"


# --- A private X server and the menus started on it -----------------------------------------


class Desktop(XSession):
    """One Xvfb; every menu started through it is ended on leaving, and on failure the screen
    and the menus' output are kept in `keep`."""

    def __init__(self, keep, name, wayland=False):
        self.keep = Path(keep)
        self.name = name
        self.logs = []
        compositor = self.keep / f"{name}-compositor"
        if wayland:
            remove_tree(compositor)
        # A desktop's X server always has clients; one that resets when the last leaves refuses a
        # menu that connects meanwhile (GTK gives up at once). A Wayland desktop comes with its
        # session bus (the accessibility bus is reached through it).
        super().__init__(self.keep / f"{name}-failure.png", noreset=True, wayland=wayland,
                         wayland_folder=compositor, session_bus=wayland)

    def environment(self):
        runtime = self.keep / f"{self.name}-runtime"
        remove_tree(runtime)
        return make_env(self.display, runtime, drop=("LD_LIBRARY_PATH",))

    def __exit__(self, exc_type, exc, tb):
        super().__exit__(exc_type, exc, tb)
        if exc_type is not None:
            if self.failure_shot.exists():
                print(f"screen at failure: {self.failure_shot}", file=sys.stderr)
            for log in self.logs:
                if log.exists():
                    print(f"--- output of the menu ({log}):\n{log.read_text(errors='replace')}",
                          file=sys.stderr)
        return False

    def start(self, program, cwd, **extra_env):
        log = self.keep / f"{self.name}-menu.log"
        env = dict(self.env, **extra_env)
        with open(log, "wb") as out:
            process = subprocess.Popen([str(program)], cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                       stderr=subprocess.STDOUT, start_new_session=True)
        self.processes.append(process)
        self.logs.append(log)
        return process


def check_window(desktop, process, bundle, on_system_qt=False, path=None, packed=None):
    """The menu's window shows the catalogue's caption and its icon, on the launcher's `path`:
    "bundled-qt" (every Qt library and plugin in the process comes from the bundle),
    "system-qt" (from the system, nothing of the bundle's lib/ and plugins/ loaded) or "gtk" (the
    system's GTK 3 and no library of Qt at all). on_system_qt=True is path "system-qt". On the
    bundled Qt, the libraries of lib/ come from the bundle's pack, unpacked into memory, where
    `packed` (by default: where the bundle has a pack), else from lib/ itself."""
    path = path or ("system-qt" if on_system_qt else "bundled-qt")
    packed = (bundle / "bundle.pack").exists() if packed is None else packed
    window = desktop.wait_window(CAPTION, WINDOW_TIMEOUT, process)
    caption = desktop.x("xdotool", "getwindowname", window).strip()
    check(caption == CAPTION, f"caption {caption!r}, expected {CAPTION!r}")
    icon = desktop.x("xprop", "-id", window, "_NET_WM_ICON")
    check("not found" not in icon and "no such atom" not in icon,
          f"the window has no icon: {icon.strip()}")

    bundled = {p.name for p in (bundle / "lib").iterdir()} if (bundle / "lib").is_dir() else set()
    mapped, unpacked = set(), set()
    for line in Path(f"/proc/{process.pid}/maps").read_text().splitlines():
        parts = line.split(maxsplit=5)
        if len(parts) == 6 and parts[5].startswith(PACKED_PREFIX):
            unpacked.add(parts[5][len(PACKED_PREFIX):].removesuffix(" (deleted)"))
        elif len(parts) == 6 and parts[5].startswith("/"):
            mapped.add(parts[5])
    names = {os.path.basename(m) for m in mapped} | unpacked
    if path != "bundled-qt" or not packed:
        check(not unpacked, f"the menu on {path} holds libraries unpacked from the bundle's pack: {sorted(unpacked)}")
    else:
        wanted = {n for n in bundled if not n.startswith("libicudata")}
        check(unpacked == wanted, f"the menu unpacked {sorted(unpacked)} from the bundle's pack, expected {sorted(wanted)}")
        from_files = sorted(m for m in mapped if m.startswith(str(bundle / "lib") + "/") and
                            not os.path.basename(m).startswith("libicudata"))
        check(not from_files, f"the menu on the bundle's pack loaded {from_files} from lib/ too")
    if path == "gtk":
        qt = sorted(m for m in mapped if os.path.basename(m).startswith("libQt") or "/qt6/" in m or
                    m.startswith(str(bundle / "lib") + "/"))
        check(not qt, f"the menu on GTK loaded Qt or the bundle: {qt}")
        check(str(bundle / "discmenu-gtk.so") in mapped, "the menu on GTK did not load discmenu-gtk.so")
        check(any(n.startswith("libgtk-3.so") for n in names), "the menu on GTK loaded no libgtk-3")
        return window
    check(not any(n.startswith("libgtk-3.so") for n in names), f"the menu on {path} loaded GTK")
    for mapping in sorted(mapped):
        name = os.path.basename(mapping)
        if path == "system-qt":
            check(not mapping.startswith((str(bundle / "lib") + "/", str(bundle / "plugins") + "/")),
                  f"the menu runs on the system's Qt but loaded {mapping} from its bundle")
        elif name.startswith("libQt6") or name in bundled or "/plugins/" in mapping or "/qt6/" in mapping:
            check(mapping.startswith(str(bundle) + "/"), f"the menu loaded {mapping} from outside its bundle {bundle}")
    plugins = [f"{SYSTEM_LIBS}/qt6/plugins/{p}" for p in PLUGINS] if path == "system-qt" else \
        [str(bundle / "plugins" / p) for p in PLUGINS]
    for plugin in plugins:
        check(plugin in mapped, f"the menu did not load the plugin {plugin}")
    check(any(n.startswith("libQt6Core.so") for n in names), "the menu loaded no libQt6Core")
    return window


def verbose_line(log):
    """The launcher's DISCMENU_VERBOSE line about the path it took."""
    lines = [line for line in log.read_text(errors="replace").splitlines() if line.startswith("discmenu: runs on")]
    check(lines, f"the launcher did not say which Qt it took: {log.read_text(errors='replace')!r}")
    return lines[0]


def record_environment(medium, variables):
    """Makes the first entry's set-up on the medium copy append "name|folder|" and then the values
    of `variables` ("(unset)" for an unset one), one per line, to $DISCMENU_MARKER."""
    setup = medium / "editor" / "setup.sh"
    os.chmod(setup.parent, 0o755)  # an extracted image's folders are read-only
    setup.unlink()
    values = "".join(f'"${{{v}-(unset)}}" ' for v in variables)
    setup.write_text('#!/bin/sh\nprintf \'%s\\n\' "Text Editor|$(pwd)|" ' + values + '>>"$DISCMENU_MARKER"\n')
    setup.chmod(0o755)


def environment_seen(marker, count, desktop, menu):
    """The values the recording set-up wrote after its first line (record_environment), once it has
    written `count` of them; fails at once when the menu shows a message box or ends."""
    def written():
        check_no_message_box(desktop, menu)
        lines = marker.read_text().splitlines() if marker.exists() else []
        return lines if len(lines) >= count + 1 else None
    return wait_until(written, ACTION_TIMEOUT, "the set-up of the first entry to write the marker")[1:count + 1]


def check_no_message_box(desktop, menu):
    """The menu runs and shows one window with its caption: a message box would be a second one."""
    check(menu.poll() is None, f"the menu ended with status {menu.returncode}")
    shown = desktop.windows(CAPTION, pid=menu.pid)
    check(len(shown) == 1, f"{len(shown)} windows titled \"{CAPTION}\" are shown (a message box?)")


def wait_lines(path, count, desktop, menu, what):
    """The lines of `path` once it holds `count` of them; fails at once on a message box."""
    def enough():
        check_no_message_box(desktop, menu)
        lines = path.read_text().splitlines() if path.exists() else []
        return lines if len(lines) >= count else None
    return wait_until(enough, ACTION_TIMEOUT, what)


# --- Steps -------------------------------------------------------------------------------------


def step_refusals(p):
    """Each bad call exits non-zero with a message naming the problem and writes nothing."""
    base = p.work / "refusals"
    remove_tree(base)
    src = base / "src"
    shutil.copytree(p.sample, src, symlinks=True)
    (base / "full").mkdir()
    (base / "full" / "something").write_text("x")
    no_catalogue = base / "no-catalogue"
    no_catalogue.mkdir()
    with_autorun = base / "with-autorun"
    shutil.copytree(p.sample, with_autorun, symlinks=True)
    (with_autorun / "Autorun").write_text("#!/bin/sh\n")
    with_bundle = base / "with-bundle"
    shutil.copytree(p.sample, with_bundle, symlinks=True)
    (with_bundle / "discmenu" / "lib").mkdir(parents=True)
    with_qt_conf = base / "with-qt-conf"
    shutil.copytree(p.sample, with_qt_conf, symlinks=True)
    (with_qt_conf / "discmenu").mkdir()
    (with_qt_conf / "discmenu" / "Qt.conf").write_text("[Paths]\nPlugins = plugins\n")
    before = {folder: tree_state(folder) for folder in (src, with_autorun, with_bundle, with_qt_conf, base / "full")}

    cases = [
        # (arguments, exit code, words the message must hold)
        ([], 2, "usage"),
        ([src], 2, "usage"),
        ([src, base / "o1", "--bogus"], 2, "unknown option"),
        ([base / "missing", base / "o2"], 1, "is not a folder"),
        ([no_catalogue, base / "o3"], 1, "no contents.inf"),
        ([src, src / "out"], 1, "inside SRC"),
        ([src, src], 1, "inside SRC"),
        ([src, base], 1, "inside OUT"),
        ([src, base / "full"], 1, "not empty"),
        ([src, base / "full" / "something"], 1, "not a folder"),
        ([src, base / "o4", "--iso", src / "x.iso"], 1, "inside SRC"),
        ([src, base / "o5", "--iso", base / "o5" / "x.iso"], 1, "inside OUT"),
        ([src, base / "o6", "--iso", base / "nowhere" / "x.iso"], 1, "does not exist"),
        ([with_autorun, base / "o7"], 1, "Autorun"),
        ([with_bundle, base / "o8"], 1, "discmenu/lib"),
        ([with_qt_conf, base / "o9"], 1, "discmenu/Qt.conf"),
    ]
    problems = []
    for args, code, words in cases:
        result = run([p.make_medium] + args, timeout=60)
        shown = " ".join(str(a).replace(str(base), "...") for a in args)
        if result.returncode != code or words not in result.stderr:
            problems.append(f"make-medium {shown}: exit {result.returncode}, expected {code} with "
                            f"{words!r}; said: {result.stderr.strip()}")
    result = run([p.make_medium, src, base / "o10", "--iso", base / "o10.iso"], timeout=120,
                 env=dict(os.environ, SOURCE_DATE_EPOCH="last Tuesday"))
    if result.returncode != 1 or 'SOURCE_DATE_EPOCH is "last Tuesday"; expected seconds' not in result.stderr:
        problems.append(f"a SOURCE_DATE_EPOCH that is no number: exit {result.returncode}; said: {result.stderr.strip()}")
    for name in ("o1", "o2", "o3", "o4", "o5", "o6", "o7", "o8", "o9", "o10", "o10.iso"):
        if (base / name).exists():
            problems.append(f"a refused call left {name} behind")
    for folder, state in before.items():
        if tree_state(folder) != state:
            problems.append(f"a refused call changed {folder}")
    check(not problems, "\n".join(problems))


def step_labels(p):
    """The title and volume label that packaging/catalogue-labels reads, table-driven; then the
    autorun.inf it writes, in ASCII or, for other titles, UTF-16."""
    helper = p.source / "packaging" / "catalogue-labels"
    folder = p.work / "labels"
    remove_tree(folder)
    folder.mkdir(parents=True)
    long_title = "A Title Of Forty Characters Exactly Here"
    cases = [
        # (contents.inf bytes, title, label) or (bytes, None, words of the message)
        (b"a\nb\nPlain Title\nSub\n", "Plain Title", "Plain Title"),
        (b"a,b,  Fields On One Line  ,Sub\n", "Fields On One Line", "Fields On One Line"),
        (b'a\r\nb\r\n"Quoted, With Comma" trailing\r\nSub\r\n', "Quoted, With Comma", "Quoted, With Comma"),
        (b'a\rb\r"Two\rLines"\r', "Two Lines", "Two Lines"),
        (b"a\nb\n" + long_title.encode() + b"\n", long_title, long_title[:32]),
        (b"\xef\xbb\xbfa\nb\nMarked \xc3\x9cTF-8\n", "Marked \u00dcTF-8", "Marked \u00dcTF-8"),
        (b"a\nb\nCaf\xe9 \x80 Edition\n", "Caf\u00e9 \u20ac Edition", "Caf\u00e9 \u20ac Edition"),
        # 20 two-byte letters: cut to 32 characters would still be 40 bytes, so to 16 letters.
        (b"a\nb\n" + "\u00e9" .encode() * 20 + b"\n", "\u00e9" * 20, "\u00e9" * 16),
        (b"a,b,\n", "", ""),
        (b"a\nb\n", None, "before the title"),
        (b"", None, "after 0 field"),
    ]
    problems = []
    for number, (data, title, expected) in enumerate(cases):
        catalogue = folder / f"case{number}.inf"
        catalogue.write_bytes(data)
        result = run([sys.executable, helper, catalogue])
        if title is None:
            if result.returncode != 1 or expected not in result.stderr:
                problems.append(f"{data!r}: exit {result.returncode}, expected 1 with {expected!r}: {result.stderr}")
        elif result.returncode != 0 or result.stdout.split("\n")[:2] != [title, expected]:
            problems.append(f"{data!r}: exit {result.returncode}, printed {result.stdout!r}, "
                            f"expected {title!r} and {expected!r}; {result.stderr.strip()}")

    for data, encoding, bom in ((b"a\nb\nPlain\n", "ascii", b""), (b"a\nb\nCaf\xe9\n", "utf-16-le", b"\xff\xfe")):
        catalogue = folder / "inf.inf"
        catalogue.write_bytes(data)
        inf = folder / "autorun.inf"
        result = run([sys.executable, helper, catalogue, "--autorun-inf", inf])
        title = result.stdout.split("\n")[0]
        wanted = bom + (f"[autorun]\r\nopen=discmenu.exe\r\nicon=discmenu.exe\r\n"
                        f"label={title}\r\n").encode(encoding)
        if result.returncode != 0 or not inf.exists() or inf.read_bytes() != wanted:
            problems.append(f"autorun.inf for {data!r}: {inf.read_bytes() if inf.exists() else None!r}, "
                            f"expected {wanted!r}")
    check(not problems, "\n".join(problems))
    remove_tree(folder)


def step_make(p):
    """Builds the medium from a copy of the sample whose title is quoted, holds a comma and is
    longer than a volume label; SRC stays as it was."""
    remove_tree(p.work)  # also what earlier runs left for inspection
    p.work.mkdir(parents=True)
    shutil.copytree(p.sample, p.src, symlinks=True)
    catalogue = p.src / "contents.inf"
    lines = catalogue.read_text().splitlines(keepends=True)
    lines[2] = f'"{TITLE}"\n'
    catalogue.write_text("".join(lines))
    (p.src / MIXED_CASE).parent.mkdir()
    (p.src / MIXED_CASE).write_text("Mixed-case names must survive on the medium.\n")
    before = tree_state(p.src)

    started = time.monotonic()
    result = run([p.make_medium, p.src, p.out, "--iso", p.iso], timeout=800)
    print(result.stdout)
    check(result.returncode == 0, f"make-medium failed ({result.returncode}):\n{result.stderr}")
    print(f"make-medium took {time.monotonic() - started:.1f} s")
    check(tree_state(p.src) == before, "make-medium changed SRC")
    check("bundle size:" in result.stdout and "libQt6Core.so.6" in result.stdout,
          "the summary does not list the bundle and its size")
    check(p.iso.is_file(), "no image written")

    # SRC is on the medium as it was: same files, contents and modes (exec bits).
    on_medium = tree_state(p.out)
    for path, state in before.items():
        check(on_medium.get(path) == state, f"{path} differs on the medium: {on_medium.get(path)} != {state}")


def licences_and_version(p, bundle):
    """What every medium says of itself: which release it carries, and the notice of every
    third-party part in it (packaging/licenses check)."""
    version = re.search(r"^project\(discmenu VERSION ([0-9.]+)", (p.source / "CMakeLists.txt").read_text(), re.M)
    said = (bundle / "version.txt").read_text() if (bundle / "version.txt").is_file() else None
    check(said == f"discmenu {version.group(1)}\n", f"discmenu/version.txt holds {said!r}")
    result = run(["python3", p.source / "packaging" / "licenses", "check", bundle])
    check(result.returncode == 0, f"a part of the medium has no notice in discmenu/licenses:\n{result.stdout}{result.stderr}")


def step_bundle(p):
    bundle = p.bundle
    check(bundle.is_dir(), f"no bundle at {bundle} (did the make step run?)")
    licences_and_version(p, bundle)
    problems = []

    libs = sorted(x.name for x in (bundle / "lib").iterdir())
    for name in libs:
        if not BUNDLED.match(name):
            problems.append(f"lib/{name} is not one of the libraries the bundle should carry")
    for name in NEVER_BUNDLED:
        if name in libs:
            problems.append(f"lib/{name} is bundled, but every desktop has it")
    for name in ("libQt6Core.so.6", "libQt6Gui.so.6", "libQt6Widgets.so.6", "libQt6XcbQpa.so.6"):
        if name not in libs:
            problems.append(f"lib/{name} is missing")
    plugins = {str(x.relative_to(bundle / "plugins")) for x in (bundle / "plugins").rglob("*") if x.is_file()}
    if plugins != PLUGINS:
        problems.append(f"plugins {sorted(plugins)}, expected {sorted(PLUGINS)}")
    links = [str(x) for x in bundle.rglob("*") if x.is_symlink()]
    if links:
        problems.append(f"symbolic links in the bundle (FAT and Joliet have none): {links}")

    # Every library the bundle carries is found inside it, from every file that needs it (but the
    # GTK menu, which runs without the bundle: below).
    for elf in [e for e in elf_files(bundle) if e.name != "discmenu-gtk.so"]:
        for soname, path in ldd(elf).items():
            where = elf.relative_to(p.out)
            if path is None:
                problems.append(f"{where}: {soname} not found")
            elif (soname.startswith("libQt6") or soname in libs) and not path.startswith(str(bundle) + "/"):
                problems.append(f"{where}: {soname} resolves to {path}, outside the bundle")

    for name in ("discmenu", "discmenu-app.so", "discmenu-gtk.so"):
        if ".symtab" in run(["readelf", "-S", "-W", bundle / name]).stdout:
            problems.append(f"{name} is not stripped")
    # The GTK menu takes everything from the system (no run path, no Qt, no shared C++ library)
    # and runs where the launcher does (glibc 2.31, when built as root).
    gtk = bundle / "discmenu-gtk.so"
    gtk_needed = dynamic_entries(gtk, "NEEDED")
    if "libgtk-3.so.0" not in gtk_needed or any(n.startswith(("libQt", "libstdc++")) for n in gtk_needed):
        problems.append(f"discmenu-gtk.so needs {gtk_needed}: expected GTK 3, no Qt and no shared C++ library")
    if dynamic_entries(gtk, "RPATH") or dynamic_entries(gtk, "RUNPATH"):
        problems.append("discmenu-gtk.so has a run path")
    gtk_glibc = max((tuple(int(n) for n in v.split(".")) for v in
                     re.findall(r"\bGLIBC_([0-9.]+)", run(["objdump", "-T", gtk]).stdout)), default=())
    if os.geteuid() == 0 and gtk_glibc > (2, 31):
        problems.append(f"discmenu-gtk.so needs glibc {'.'.join(map(str, gtk_glibc))}, newer than 2.31")
    # The launcher must start where the desktop lacks Qt and the C++ library the menu needs, and
    # on older systems: glibc 2.31 (built for it when this is root; before glibc 2.34, dlopen lies
    # in libdl).
    needed = dynamic_entries(bundle / "discmenu", "NEEDED")
    if sorted(needed) not in (["libc.so.6"], ["libc.so.6", "libdl.so.2"]):
        problems.append(f"the launcher needs {needed}, expected libc.so.6 (and libdl.so.2) alone")
    versions = set(re.findall(r"\b(GLIBC_[0-9.]+|GLIBCXX_[0-9.]+|CXXABI_[0-9.]+)", run(["objdump", "-T", bundle / "discmenu"]).stdout))
    glibc = max((tuple(int(n) for n in v[6:].split(".")) for v in versions if v.startswith("GLIBC_")), default=())
    if os.geteuid() == 0 and glibc > (2, 31):
        problems.append(f"the launcher needs glibc {'.'.join(map(str, glibc))}, newer than 2.31")
    if any(not v.startswith("GLIBC_") for v in versions):
        problems.append(f"the launcher needs the C++ library: {sorted(versions)}")
    # preload.list names every bundled file the launcher reads first, ICU's data aside, each whole
    # or in parts that lie in file order and hold every section the loader reads or writes.
    lines = [line.split("\t") for line in (bundle / "preload.list").read_text().splitlines()]
    listed = list(dict.fromkeys(line[0] for line in lines))
    files = sorted(str(x.relative_to(bundle)) for x in list((bundle / "lib").iterdir()) +
                   list((bundle / "plugins").rglob("*")) if x.is_file() and not x.name.startswith("libicudata"))
    if sorted(listed) != files or [line[0] for line in lines] != sorted((line[0] for line in lines), key=listed.index):
        problems.append(f"preload.list holds {listed}, expected {files} in some order, each file's lines together")
    loader = {".dynsym", ".dynstr", ".gnu.hash", ".gnu.version", ".rela.dyn", ".rela.plt", ".plt", ".data.rel.ro",
              ".dynamic", ".got", ".data", ".init_array"}
    partial = 0
    for name in listed:
        size = (bundle / name).stat().st_size
        parts = [(int(line[1]), int(line[2])) for line in lines if line[0] == name and len(line) == 3]
        parts = parts or [(0, size)]
        partial += sum(n for _, n in parts) < size
        if any(a + n > b or b + m > size for (a, n), (b, m) in zip(parts, parts[1:] + [(size, 0)])):
            problems.append(f"preload.list: the parts of {name} overlap, are out of order or pass its end: {parts}")
        headers = run(["readelf", "-SW", bundle / name]).stdout
        for section, offset, length in re.findall(r"\]\s+(\S+)\s+\S+\s+[0-9a-f]+\s+([0-9a-f]+)\s+([0-9a-f]+)", headers):
            start, end = int(offset, 16), int(offset, 16) + int(length, 16)
            if section in loader and not any(a <= start and end <= a + n for a, n in parts):
                problems.append(f"preload.list leaves out {section} of {name}, which the loader reads")
    if partial < 2:
        problems.append(f"preload.list reads {partial} of the libraries in part, expected Qt's and ICU's at least")
    # A qt.conf would send the desktop's Qt to the bundled plugins.
    for name in ("qt.conf", "qt6.conf"):
        if (bundle / name).exists():
            problems.append(f"discmenu/{name} exists")
    # Run paths are DT_RPATH, which LD_LIBRARY_PATH cannot override.
    for elf, wanted in [(bundle / "discmenu-app.so", "$ORIGIN/lib")] + \
            [(bundle / "lib" / name, "$ORIGIN") for name in libs] + \
            [(bundle / "plugins" / plugin, "$ORIGIN/../../lib") for plugin in PLUGINS]:
        rpath, runpath = dynamic_entries(elf, "RPATH"), dynamic_entries(elf, "RUNPATH")
        if rpath != [wanted] or runpath:
            problems.append(f"{elf.relative_to(p.out)}: RPATH {rpath}, RUNPATH {runpath}; expected RPATH {wanted!r} alone")

    autorun = p.out / "autorun.sh"
    if not os.access(autorun, os.X_OK):
        problems.append("autorun.sh is not executable")
    inf = (p.out / "autorun.inf").read_bytes().decode("ascii")
    for line in ("[autorun]", "open=discmenu.exe", "icon=discmenu.exe", f"label={TITLE}"):
        if line + "\r\n" not in inf:
            problems.append(f"autorun.inf lacks the line {line!r}: {inf!r}")
    icon = p.source / "resources" / "discmenu.ico"
    if (p.out / "discmenu.ico").read_bytes() != icon.read_bytes():
        problems.append("discmenu.ico on the medium is not the menu's icon")
    # The program autorun.inf starts: the Windows build, a 32-bit GUI program (PE, i386).
    exe = (p.out / "discmenu.exe").read_bytes() if (p.out / "discmenu.exe").exists() else b""
    pe = int.from_bytes(exe[0x3C:0x40], "little") if len(exe) > 0x40 else 0
    if exe[:2] != b"MZ" or exe[pe:pe + 6] != b"PE\0\0\x4c\x01":
        problems.append("discmenu.exe in the medium's root is not a 32-bit Windows program")
    check(not problems, "\n".join(problems))


def step_installs(p):
    """Two installs in a row, then the readme, with the launcher started from the medium's root and
    from discmenu/ (where the catalogue is found one folder up): both set-ups run in their folders
    in the root, and the readme opens from the root, as before any install."""
    check(p.bundle.is_dir(), f"no bundle at {p.bundle} (did the make step run?)")
    list_item_point = runpy.run_path(str(Path(__file__).resolve().parent.parent / "e2e" / "run.py"))["list_item_point"]
    for name, cwd in (("installs-root", p.out), ("installs-discmenu", p.bundle)):
        with Desktop(p.work, name) as desktop:
            marker, viewer, bin_dir = (p.work / f"{name}-{part}" for part in ("marker.txt", "viewer.txt", "bin"))
            marker.unlink(missing_ok=True)
            viewer.unlink(missing_ok=True)
            remove_tree(bin_dir)
            menu = desktop.start(p.bundle / "discmenu", cwd=cwd, DISCMENU_MARKER=str(marker),
                                 PATH=stand_in_opener(bin_dir, viewer, "$PWD|$*"))
            window = desktop.wait_window(CAPTION, WINDOW_TIMEOUT, menu)
            desktop.focus(window)
            desktop.key("alt+i")  # the first entry, highlighted at start-up
            wait_lines(marker, 1, desktop, menu, "the first set-up")
            desktop.click(*list_item_point(desktop, window, 1))
            desktop.key("alt+i")
            lines = wait_lines(marker, 2, desktop, menu, "the second set-up")
            desktop.focus(window)
            desktop.key("alt+r")
            opened = wait_lines(viewer, 1, desktop, menu, "the readme to be opened")
            wanted = [f"Text Editor|{p.out / 'editor'}|", f"Card Game|{p.out / 'cards'}|"]
            check(lines == wanted, f"{name}: set-ups ran as {lines}, expected {wanted}")
            check(opened == [f"{p.out}|{p.out / 'readme.txt'}"], f"{name}: the readme opened as {opened}")
            check_no_message_box(desktop, menu)


def step_wayland(p):
    """On a Wayland desktop without X11 (weston), started through autorun.sh, the launcher takes the
    desktop's GTK 3 by itself; its window shows to a screen reader, and Install (pressed through the
    accessibility bus) runs the set-up in its folder with the user's environment."""
    check(p.out.is_dir(), f"no medium at {p.out} (did the make step run?)")
    if not shutil.which("weston"):
        print("SKIPPED: weston is not installed (scripts/setup installs it)")
        return SKIP
    from accessible import Accessibility
    medium = p.work / "wayland-medium"
    remove_tree(medium)
    shutil.copytree(p.out, medium, symlinks=True)
    record_environment(medium, ["GDK_BACKEND", "GSETTINGS_BACKEND", "GDK_GL"])
    with Desktop(p.work, "wayland", wayland=True) as desktop:
        check("DISPLAY" not in desktop.env, "the Wayland desktop names an X display")
        marker = p.work / "wayland-marker.txt"
        marker.unlink(missing_ok=True)
        menu = desktop.start(medium / "autorun.sh", cwd="/", DISCMENU_MARKER=str(marker), DISCMENU_VERBOSE="1")
        bus = Accessibility(desktop.env)

        def window():
            check(menu.poll() is None, f"the menu ended with status {menu.returncode}")
            found = bus.atspi.get_desktop(0)
            for i in range(found.get_child_count()):
                app = found.get_child_at_index(i)
                shown = bus.windows(app) if app is not None else {}
                if ("frame", CAPTION) in shown:
                    return shown[("frame", CAPTION)]
            return None
        frame = wait_until(window, WINDOW_TIMEOUT, f"the window \"{CAPTION}\" on the accessibility bus")
        said = verbose_line(desktop.logs[-1])
        check(re.search(EXPECTED_WORDS["gtk"], said), f"on Wayland the launcher said {said!r}; expected GTK")
        bus.press(frame, "Install highlighted program")
        seen = wait_until(lambda: marker.exists() and len(marker.read_text().splitlines()) >= 4 and
                          marker.read_text().splitlines(), ACTION_TIMEOUT, "the first entry's set-up")
        wanted = [f"Text Editor|{medium / 'editor'}|", "(unset)", "(unset)", "(unset)"]
        check(seen[:4] == wanted, f"the set-up saw (folder, GDK_BACKEND, GSETTINGS_BACKEND, GDK_GL) "
                                  f"{seen[:4]}, expected {wanted}")
        print(f"wayland: the launcher said {said!r}")
    remove_tree(medium)


# What a set-up sees of the variables that autorun.sh and the launcher change or use.
SEEN = ["QT_QPA_PLATFORM", "QT_PLUGIN_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH", "DISCMENU_VERBOSE", "DISCMENU_QT",
        "DISCMENU_SAVED_VARS", "DISCMENU_SAVED_VAR_QT_QPA_PLATFORM", "GSETTINGS_BACKEND", "GDK_GL",
        "DISCMENU_NOT_QT"]


def step_environment(p):
    """A set-up started by the menu through autorun.sh sees the environment the user gave
    autorun.sh: what autorun.sh and the launcher changed for the menu is given back, their records
    and the launcher's DISCMENU_QT are gone."""
    check(p.bundle.is_dir(), f"no bundle at {p.bundle} (did the make step run?)")
    medium = p.work / "environment-medium"
    remove_tree(medium)
    shutil.copytree(p.out, medium, symlinks=True)
    record_environment(medium, SEEN)
    cases = [
        # (name, what the user set)
        ("environment-unset", {}),
        ("environment-user", {"QT_QPA_PLATFORM": "wayland", "QT_PLUGIN_PATH": "/opt/user/plugins",
                              "QT_QPA_PLATFORM_PLUGIN_PATH": "", "DISCMENU_VERBOSE": "1"}),
        ("environment-bundled", {"QT_QPA_PLATFORM": "xcb", "DISCMENU_QT": "bundled"}),
        ("environment-gtk", {"DISCMENU_TOOLKIT": "gtk", "QT_QPA_PLATFORM": "wayland", "GSETTINGS_BACKEND": "dconf",
                             "GDK_GL": "gles", "DISCMENU_VERBOSE": "1"}),
    ]
    for name, user in cases:
        with Desktop(p.work, name) as desktop:
            marker = p.work / f"{name}-marker.txt"
            marker.unlink(missing_ok=True)
            menu = desktop.start(medium / "autorun.sh", cwd="/", DISCMENU_MARKER=str(marker), **user)
            window = desktop.wait_window(CAPTION, WINDOW_TIMEOUT, menu)
            desktop.focus(window)
            desktop.key("alt+i")
            seen = dict(zip(SEEN, environment_seen(marker, len(SEEN), desktop, menu)))
            wanted = {v: "(unset)" if v == "DISCMENU_QT" else user.get(v, "(unset)") for v in SEEN}
            check(seen == wanted, f"{name}: the set-up saw {seen}, expected {wanted}")
    remove_tree(medium)


def step_hidden(p):
    """Re-runs this step in a private mount namespace, where the hiding cannot leak out."""
    if os.geteuid() != 0:
        print("SKIPPED: hiding the system's Qt needs root (a private mount namespace)")
        return SKIP
    probe = run(["unshare", "-m", "--propagation", "private", "true"])
    if probe.returncode != 0:
        print(f"SKIPPED: unshare -m is not permitted here: {probe.stderr.strip()}")
        return SKIP
    result = subprocess.run(["unshare", "-m", "--propagation", "private", sys.executable, __file__,
                             "hidden-inside", p.source, p.work], timeout=850)
    return result.returncode


def hide(paths):
    """Hides files (bound over by /dev/null) and folders (an empty tmpfs over them) in this mount
    namespace."""
    for path in sorted(paths):
        args = ["mount", "-t", "tmpfs", "-o", "size=1m", "none", path] if os.path.isdir(path) else \
            ["mount", "--bind", "/dev/null", path]
        check(run(args).returncode == 0, f"cannot hide {path}")


def system_copies(names):
    """The real paths of the system's copies of the libraries `names` (globs allowed)."""
    found = set()
    for name in names:
        for path in Path(SYSTEM_LIBS).glob(name + ("" if "*" in name else "*")):
            found.add(os.path.realpath(path))
    return found


def check_hidden(libraries):
    """The loader finds none of `libraries` (make-medium builds no system-linked program)."""
    for library in libraries:
        proof = run([sys.executable, "-c", f"import ctypes; ctypes.CDLL({library!r})"], timeout=10)
        check(proof.returncode != 0, f"the loader still finds the system's {library} although it is hidden")


def expect_window(p, medium, name, path, words, user):
    """Started through autorun.sh from elsewhere, the menu shows on `path`, the launcher's verbose
    line holds each of `words`, and the set-up of the first entry sees the user's environment."""
    record_environment(medium, SEEN)
    with Desktop(p.work, name) as desktop:
        marker = p.work / f"{name}-marker.txt"
        marker.unlink(missing_ok=True)
        menu = desktop.start(medium / "autorun.sh", cwd="/", DISCMENU_MARKER=str(marker), DISCMENU_VERBOSE="1", **user)
        window = check_window(desktop, menu, medium / "discmenu", path=path)
        said = verbose_line(desktop.logs[-1])
        for word in words:
            check(word in said, f"{name}: the launcher said {said!r}, expected {word!r} in it")
        desktop.focus(window)
        desktop.key("alt+i")
        seen = dict(zip(SEEN, environment_seen(marker, len(SEEN), desktop, menu)))
        line = marker.read_text().splitlines()[0]
        check(line == f"Text Editor|{medium}/editor|", f"{name}: marker {line!r}")
        wanted = {v: dict(user, DISCMENU_VERBOSE="1").get(v, "(unset)") for v in SEEN}
        check(seen == wanted, f"{name}: the set-up saw {seen}, expected {wanted}")


def expect_message(p, medium, name, words, absent=(), **user):
    """Started through autorun.sh without a terminal, the launcher shows one message holding each
    of `words` and none of `absent`, on standard error and in a dialog, and exits with 1."""
    with Desktop(p.work, name) as desktop:
        menu = desktop.start(medium / "autorun.sh", cwd="/", **user)
        def dialog_shown():
            check(menu.poll() is None, f"{name}: the launcher ended with status {menu.returncode} before showing "
                                       f"a dialog:\n{desktop.logs[-1].read_text(errors='replace')}")
            return desktop.windows("discmenu")
        dialog = wait_until(dialog_shown, WINDOW_TIMEOUT, "the dialog that says what is missing")
        desktop.focus(dialog[0])
        desktop.key("Return")
        status = menu.wait(timeout=ACTION_TIMEOUT)
        said = desktop.logs[-1].read_text(errors="replace")
        check(status == 1, f"{name}: the launcher ended with status {status}, expected 1; it said:\n{said}")
        check(said.count("discmenu: ") == 1 and said.count("the menu cannot start") == 1,
              f"{name}: expected one message:\n{said}")
        for word in words:
            check(word in said, f"{name}: the message lacks {word!r}:\n{said}")
        for word in absent:
            check(word not in said, f"{name}: the message names {word!r}:\n{said}")


def evict(path):
    """Drops `path` from the page cache (written out first: dirty pages stay)."""
    fd = os.open(path, os.O_RDONLY)
    try:
        os.fsync(fd)
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    finally:
        os.close(fd)


def share_cached(path):
    """How much of `path` is in the page cache, 0 to 1 (fincore)."""
    result = run(["fincore", "--bytes", "--noheadings", "--output", "RES", str(path)])
    check(result.returncode == 0, f"fincore cannot tell what of {path} is cached: {result.stderr}")
    return int(result.stdout.split()[0]) / max(1, path.stat().st_size)


def step_hidden_inside(p):
    """The launcher's paths where the desktop lacks more and more: hidden one after the other are
    the system Qt's plugins, its libraries (and those the bundle carries), GTK 3, and two libraries
    every desktop has."""
    check(p.bundle.is_dir(), f"no bundle at {p.bundle} (did the make step run?)")
    medium = p.work / "hidden-medium"
    remove_tree(medium)
    shutil.copytree(p.out, medium, symlinks=True)
    bare = p.work / "nobundle"  # the medium without the bundled Qt (the nobundle step's, or made here)
    if not (bare / "discmenu" / "discmenu").exists():
        result = run([p.make_medium, p.sample, bare, "--no-bundled-qt"], timeout=800)
        check(result.returncode == 0, f"make-medium --no-bundled-qt failed:\n{result.stderr}")
    user = {"QT_QPA_PLATFORM": "wayland", "GSETTINGS_BACKEND": "dconf"}

    # The system's Qt loads but has no X11 plugin: the Qt check has loaded Qt's libraries, so the
    # launcher starts afresh for GTK; the menu on GTK holds no Qt library.
    # The Qt check reads the Qt menu library whole (one pass, for the loader) where Qt's core loads,
    # and nothing of it where it does not: a GTK start from a CD then reads on without a seek.
    qt_menu = medium / "discmenu" / "discmenu-app.so"

    def expect_qt_menu_read(name, whole):
        share = share_cached(qt_menu)
        check(share > 0.9 if whole else share == 0,
              f"{name}: {share:.0%} of {qt_menu.name} was read, expected {'all' if whole else 'none'}")

    hide([f"{SYSTEM_LIBS}/qt6"])
    evict(qt_menu)
    expect_window(p, medium, "hidden-plugin", "gtk", ["runs on the system's GTK 3", "has no X11 platform plugin"], user)
    expect_qt_menu_read("hidden-plugin", whole=True)

    # No Qt on the system: GTK by itself; the bundled Qt when told; Qt told but missing says so.
    hide(system_copies(["libQt6*.so*"]))
    check_hidden(["libQt6Core.so.6", "libQt6Widgets.so.6"])
    evict(qt_menu)
    expect_window(p, medium, "hidden-qt", "gtk", ["runs on the system's GTK 3", "the system lacks libQt6"], user)
    expect_qt_menu_read("hidden-qt", whole=False)
    expect_window(p, medium, "hidden-qt-bundled", "bundled-qt", ["runs on the bundled Qt (DISCMENU_TOOLKIT=bundled)"],
                  dict(user, DISCMENU_TOOLKIT="bundled"))
    expect_message(p, medium, "hidden-qt-told", ["on the system's Qt (DISCMENU_TOOLKIT=qt)", "libQt6"],
                   DISCMENU_TOOLKIT="qt")

    # Neither Qt nor GTK, nor any system copy of what the bundle carries (some of which GTK needs
    # too): the bundled Qt, all of it from the medium; a medium without it names GTK's package.
    hide(system_copies(["libgtk-3.so.0", "libgdk-3.so.0"]))
    hide(system_copies([x.name for x in (medium / "discmenu" / "lib").iterdir()]) - system_copies(["libQt6*.so*"]))
    check_hidden(["libgtk-3.so.0"])
    expect_window(p, medium, "hidden-gtk", "bundled-qt",
                  ["runs on the bundled Qt: the system lacks libQt6", "the system lacks libgtk-3.so.0"], user)
    expect_message(p, bare, "hidden-nothing", ["libgtk-3.so.0", "sudo apt install libgtk-3-0", "sudo dnf install gtk3",
                                               "carries no Qt of its own"])

    # Two libraries of the desktop hidden too (the libraries the bundle carries, libgomp and
    # libxcb-shape among them, are hidden already): one message names both, with their packages,
    # and none that the medium carries.
    hide({os.path.realpath(f"{SYSTEM_LIBS}/{library}") for library in DESKTOP_LIBS})
    expect_message(p, medium, "hidden-missing", list(DESKTOP_LIBS) + list(DESKTOP_LIBS.values()) +
                   ["sudo apt install libharfbuzz0b libxcb-randr0\n"], absent=["libgomp", "libxcb-shape", "libQt6"])
    remove_tree(medium)


def step_iso(p):
    check(p.iso.is_file(), f"no image at {p.iso} (did the make step run?)")
    listing = run(["xorriso", "-indev", p.iso, "-find", "/", "-type", "f"])
    check(listing.returncode == 0, f"xorriso cannot read the image: {listing.stderr}")
    on_image = {line.strip().strip("'") for line in listing.stdout.splitlines() if line.startswith("'")}
    on_medium = {"/" + str(x.relative_to(p.out)) for x in p.out.rglob("*") if x.is_file()}
    check(on_image == on_medium, f"the image differs from the medium: only on the image "
                                 f"{sorted(on_image - on_medium)}, only on the medium {sorted(on_medium - on_image)}")
    for name in ("/contents.inf", "/autorun.sh", "/autorun.inf", "/discmenu.ico", "/discmenu/discmenu",
                 "/discmenu/discmenu-app.so", "/discmenu/lib/libQt6Core.so.6", "/discmenu/plugins/platforms/libqxcb.so",
                 "/" + MIXED_CASE):
        check(name in on_image, f"{name} is not on the image")

    # Windows reads the Joliet names: they keep their letter case too.
    joliet = run(["xorriso", "-rockridge", "off", "-joliet", "on", "-indev", p.iso, "-find", "/", "-type", "f"])
    check("'/" + MIXED_CASE + "'" in joliet.stdout, f"the Joliet tree lacks /{MIXED_CASE}: {joliet.stdout}")

    info = run(["xorriso", "-indev", p.iso, "-pvd_info"]).stdout
    found = re.search(r"^Volume Id\s*:\s*(.*)$", info, re.M)
    check(found and found.group(1).strip() == VOLUME_ID,
          f"volume id {found.group(1) if found else None!r}, expected {VOLUME_ID!r}")

    tree = p.work / "iso-tree"
    remove_tree(tree)
    extract = run(["xorriso", "-osirrox", "on", "-indev", p.iso, "-extract", "/", tree])
    check(extract.returncode == 0, f"cannot extract the image: {extract.stderr}")
    # What a start reads lies first and together, in the order it is read: autorun.sh, the
    # catalogue, the launcher, the GTK menu and the Qt one, the bundle's pack, preload.list, the X11
    # plugin and ICU's data (read next by a start from the pack), and the other files of
    # preload.list (read instead of the pack where that does not serve).
    lba = run(["xorriso", "-indev", p.iso, "-find", "/", "-type", "f", "-exec", "report_lba", "--"]).stdout
    extents = {m.group(3): (int(m.group(1)), int(m.group(2)))
               for m in re.finditer(r"^File data lba:\s*\d+\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*\d+\s*,\s*'([^']*)'", lba, re.M)}
    listed = ["/discmenu/" + x for x in dict.fromkeys(line.split("\t")[0] for line in
                                                      (p.bundle / "preload.list").read_text().splitlines())]
    icu = ["/discmenu/lib/" + x.name for x in (p.bundle / "lib").glob("libicudata.so.*")]
    order = START_FILES + listed[:1] + icu + listed[1:]
    check(all(name in extents for name in order), f"the image's layout report lacks files of {order}: {lba}")
    for before, after in zip(order, order[1:]):
        start, blocks = extents[before]
        check(extents[after][0] == start + blocks,
              f"{after} does not follow {before} on the image: {extents[before]} then {extents[after]}")
    for name, executable in (("discmenu/discmenu", True), ("autorun.sh", True), ("editor/setup.sh", True),
                             ("contents.inf", False), ("discmenu/lib/libQt6Core.so.6", False)):
        check(os.access(tree / name, os.X_OK) == executable,
              f"{name} is {'not ' if executable else ''}executable in the extracted tree")

    # Here the system's Qt (Debian's, as new as the one the menu was built with) is in sight: the
    # menu runs on it by itself. Each path can be forced; told to take the bundled one, it takes
    # nothing of the system's Qt, even where the environment points the loader and Qt at it; the
    # set-up it starts gets the user's environment back.
    system_plugins = f"{SYSTEM_LIBS}/qt6/plugins"
    cases = [
        # (name, environment, the path taken, what the launcher says)
        ("iso-system", {}, "system-qt", "runs on the system's Qt (decided in"),
        ("iso-qt", {"DISCMENU_TOOLKIT": "qt"}, "system-qt", "runs on the system's Qt (DISCMENU_TOOLKIT=qt)"),
        ("iso-gtk", {"DISCMENU_TOOLKIT": "gtk", "QT_PLUGIN_PATH": system_plugins}, "gtk",
         "runs on the system's GTK 3 (DISCMENU_TOOLKIT=gtk)"),
        ("iso-bundled", {"DISCMENU_QT": "bundled", "LD_LIBRARY_PATH": SYSTEM_LIBS, "QT_PLUGIN_PATH": system_plugins,
                         "QT_QPA_PLATFORM_PLUGIN_PATH": f"{system_plugins}/platforms", "QT_QPA_PLATFORM": "xcb"},
         "bundled-qt", "runs on the bundled Qt (DISCMENU_QT=bundled)"),
        ("iso-toolkit-bundled", {"DISCMENU_TOOLKIT": "bundled", "QT_QPA_PLATFORM_PLUGIN_PATH": system_plugins},
         "bundled-qt", "runs on the bundled Qt (DISCMENU_TOOLKIT=bundled)"),
    ]
    record_environment(tree, ["DISCMENU_QT", "LD_LIBRARY_PATH", "QT_QPA_PLATFORM_PLUGIN_PATH"])
    for name, env, path, words in cases:
        with Desktop(p.work, name) as desktop:
            marker = p.work / f"{name}-marker.txt"
            marker.unlink(missing_ok=True)
            # The launcher started by hand from the medium's root, as autorun.sh does.
            menu = desktop.start(tree / "discmenu" / "discmenu", cwd=tree, DISCMENU_VERBOSE="1",
                                 DISCMENU_MARKER=str(marker), **env)
            window = check_window(desktop, menu, tree / "discmenu", path=path)
            said = verbose_line(desktop.logs[-1])
            check(said.startswith(f"discmenu: {words}"), f"{name}: the launcher said {said!r}, expected {words!r}")
            desktop.focus(window)
            desktop.key("alt+i")
            lines = wait_until(lambda: marker.exists() and len(marker.read_text().splitlines()) >= 4,
                               ACTION_TIMEOUT, "the set-up of the first entry to write the marker")
            seen = marker.read_text().splitlines()[1:4]
            wanted = ["(unset)", env.get("LD_LIBRARY_PATH", "(unset)"), env.get("QT_QPA_PLATFORM_PLUGIN_PATH", "(unset)")]
            check(lines and seen == wanted, f"{name}: the set-up saw DISCMENU_QT, LD_LIBRARY_PATH, "
                                            f"QT_QPA_PLATFORM_PLUGIN_PATH = {seen}, expected {wanted}")
    # A damaged pack (a medium badly burnt, say) costs the bundled Qt its speed, not its start: the
    # launcher says so and loads the libraries from lib/.
    pack = tree / "discmenu" / "bundle.pack"
    os.chmod(pack, 0o644)
    with open(pack, "r+b") as f:
        f.truncate(pack.stat().st_size // 2)
    with Desktop(p.work, "iso-damaged-pack") as desktop:
        menu = desktop.start(tree / "discmenu" / "discmenu", cwd=tree, DISCMENU_TOOLKIT="bundled")
        check_window(desktop, menu, tree / "discmenu", path="bundled-qt", packed=False)
        said = desktop.logs[-1].read_text(errors="replace")
        check("discmenu: loads the bundled libraries from their own files: " in said and "is damaged" in said,
              f"with a damaged pack the launcher said:\n{said}")
    remove_tree(tree)


def step_reproducible(p):
    """The image of the same SRC made again is the same, byte for byte, and FILE.sha256 says so;
    its dates are those of the newest file of SRC, or SOURCE_DATE_EPOCH."""
    check(p.iso.is_file(), f"no image at {p.iso} (did the make step run?)")
    first = p.iso.read_bytes()
    digest = hashlib.sha256(first).hexdigest()
    listed = (p.work / "medium.iso.sha256").read_text()
    check(listed == f"{digest}  medium.iso\n", f"medium.iso.sha256 holds {listed!r}, expected the digest {digest}")
    check(run(["sha256sum", "-c", "medium.iso.sha256"], cwd=p.work).returncode == 0, "sha256sum -c fails")

    newest = max(int(x.lstat().st_mtime) for x in p.src.rglob("*") if x.is_file() or x.is_symlink())
    epoch = 1700000000
    cases = [
        # (name, SOURCE_DATE_EPOCH or None, the dates the image must carry, same bytes as the first)
        ("again", None, newest, True),
        ("dated", str(epoch), epoch, False),
    ]
    for name, source_date, date, same in cases:
        out, iso = p.work / f"out-{name}", p.work / f"medium-{name}.iso"
        remove_tree(out)
        env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
        if source_date:
            env["SOURCE_DATE_EPOCH"] = source_date
        result = run([p.make_medium, p.src, out, "--iso", iso], env=env, timeout=800)
        check(result.returncode == 0, f"make-medium ({name}) failed:\n{result.stderr}")
        check((iso.read_bytes() == first) == same,
              f"{name}: the image is {'not ' if same else ''}the same as the first one")
        info = run(["xorriso", "-indev", iso, "-pvd_info"]).stdout
        stamp = time.strftime("%Y%m%d%H%M%S00", time.gmtime(date))
        for field in ("Creation Time", "Modif. Time"):
            found = re.search(rf"^{re.escape(field)}\s*:\s*(\d+)", info, re.M)
            check(found and found.group(1) == stamp, f"{name}: {field} {found.group(1) if found else None}, "
                                                     f"expected {stamp}")
        listing = run(["xorriso", "-indev", iso, "-find", "/discmenu/discmenu", "-exec", "lsdl"]).stdout
        check(time.strftime("%b %e", time.gmtime(date)) in listing, f"{name}: file dates {listing.strip()!r}")
        remove_tree(out)
        iso.unlink()
        Path(str(iso) + ".sha256").unlink()


def step_layout(p):
    """The image as a start reads it: right after the directories, each part a start reads, in the
    order it reads them, with nothing between (bench/isomap.py names every part of the image)."""
    check(p.iso.is_file(), f"no image at {p.iso} (did the make step run?)")
    sys.path.insert(0, str(p.source / "bench"))
    import isomap
    parts = isomap.regions(p.iso)
    names = [what for _, _, what in parts]
    first = names.index("/autorun.sh")
    before = {what.split(" (")[0].split(" /")[0] for what in names[:first]}
    check(before <= {"system area", "volume descriptor", "path table", "directory", "(unused)"},
          f"before autorun.sh the image holds more than its directories: {sorted(before)}")
    listed = list(dict.fromkeys(line.split("\t")[0] for line in (p.bundle / "preload.list").read_text().splitlines()))
    check(listed[0] == "plugins/platforms/libqxcb.so",
          f"preload.list begins with {listed[0]}; the X11 plugin, which a start from the pack reads next, must lead")
    icu = sorted(x.name for x in (p.bundle / "lib").glob("libicudata.so.*"))
    check(len(icu) == 1, f"expected one ICU data library in discmenu/lib, found {icu}")
    order = START_FILES + ["/discmenu/" + listed[0], "/discmenu/lib/" + icu[0]] + ["/discmenu/" + x for x in listed[1:]]
    check(names[first:first + len(order)] == order,
          f"the image lays out {names[first:first + len(order)]} after its directories, expected {order}")


STEPS = {"labels": step_labels, "refusals": step_refusals, "make": step_make, "bundle": step_bundle,
         "installs": step_installs, "environment": step_environment, "hidden": step_hidden,
         "hidden-inside": step_hidden_inside, "iso": step_iso, "reproducible": step_reproducible,
         "layout": step_layout}


def step_nobundle(p):
    out = p.work / "nobundle"
    remove_tree(out)
    result = run([p.make_medium, p.sample, out, "--no-bundled-qt"], timeout=800)
    check(result.returncode == 0, f"make-medium --no-bundled-qt failed ({result.returncode}):\n{result.stderr}")
    for words in ("Qt: not bundled", "serves: desktops with GTK 3.24 or newer", "and desktops with Qt 6"):
        check(words in result.stdout, f"make-medium did not say {words!r}:\n{result.stdout}")
    inside = sorted(x.name for x in (out / "discmenu").iterdir())
    check(inside == ["discmenu", "discmenu-app.so", "discmenu-gtk.so", "licenses", "version.txt"],
          f"discmenu/ holds {inside}, expected the launcher, the two menus, the version and the licences")
    size = sum(x.stat().st_size for x in out.rglob("*") if x.is_file())
    check((out / "discmenu.exe").is_file() and size <= 2 * 1024 * 1024,
          f"the medium without Qt holds {size} bytes, more than 2 MiB (or lacks discmenu.exe)")
    print(f"medium without the bundled Qt: {size / 1024:.0f} KiB")
    licences_and_version(p, out / "discmenu")
    # The menu library finds nothing of Qt beside it: no run path into a bundle.
    check(not dynamic_entries(out / "discmenu" / "discmenu-app.so", "RPATH"), "the menu still has a run path")
    # Kept for the "hidden" step, which runs it where neither toolkit can be seen.


STEPS["nobundle"] = step_nobundle
STEPS["wayland"] = step_wayland

# What the launcher says for each path it can take (DISCMENU_VERBOSE=1).
EXPECTED_WORDS = {"system-qt": r"runs on the system's Qt", "bundled-qt": r"runs on the bundled Qt",
                  "gtk": r"runs on the system's GTK 3\.\d+\.\d+: "}


def step_oldsys(p, name, suite, packages, expected):
    """The made medium in a Debian root: chroot, with this machine's Xvfb socket bound in."""
    check(expected in EXPECTED_WORDS or expected == "started", f"unknown expected path {expected!r}")
    check(p.bundle.is_dir(), f"no medium at {p.out} (did the make step run?)")
    started = time.monotonic()
    made = run([p.source / "scripts" / "debian-root", name, suite] + packages.split(","), timeout=1500)
    if made.returncode == SKIP:
        print(f"SKIPPED: {made.stderr.strip()}")
        return SKIP
    check(made.returncode == 0, f"scripts/debian-root {name} failed ({made.returncode}):\n{made.stderr}")
    root = Path(made.stdout.strip().splitlines()[-1])
    print(f"root {root} ready in {time.monotonic() - started:.1f} s")
    # A private mount namespace: the medium read-only at /media/disc, a fresh /tmp with the X
    # socket, /proc; the cached root itself is not written to.
    script = """set -e
mount --make-rprivate /
mount -t proc proc "$1/proc"
mount -t tmpfs tmpfs "$1/tmp"
mount -t tmpfs tmpfs "$1/media"
mkdir -p "$1/tmp/.X11-unix" "$1/media/disc" "$1/tmp/runtime"
chmod 700 "$1/tmp/runtime"
mount --bind /tmp/.X11-unix "$1/tmp/.X11-unix"
mount --bind "$2" "$1/media/disc"
mount -o remount,bind,ro "$1/media/disc"
exec chroot "$1" env -i PATH=/usr/bin:/bin HOME=/root LC_ALL=C.UTF-8 DISPLAY="$3" XDG_RUNTIME_DIR=/tmp/runtime \
    DISCMENU_VERBOSE=1 /media/disc/autorun.sh
"""
    with Desktop(p.work, f"oldsys-{name}") as desktop:
        log = p.work / f"oldsys-{name}-menu.log"
        with open(log, "wb") as out:
            menu = subprocess.Popen(["unshare", "-m", "--", "sh", "-c", script, "oldsys", str(root), str(p.out),
                                     desktop.display], stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                    start_new_session=True)
        desktop.processes.append(menu)
        desktop.logs.append(log)
        if expected == "started":
            # No window; the launcher's own lines say what it took and why it could not go on.
            try:
                status = menu.wait(timeout=WINDOW_TIMEOUT)
            except subprocess.TimeoutExpired:
                raise TestFailure(f"in {name}, the launcher neither showed a window nor ended") from None
            text = log.read_text(errors="replace")
            check(status != 0 and text.startswith("discmenu: "),
                  f"in {name}, expected the launcher to end with its own message; status {status}, output:\n{text}")
            # Not the dynamic loader's words, neither its own nor passed on.
            for loader in ("error while loading shared libraries", "not found (required by"):
                check(loader not in text, f"in {name}, the launcher passed on the loader's error:\n{text}")
            verbose_line(log)
            check(not desktop.windows(CAPTION), f"in {name}, a window {CAPTION!r} showed")
            print(f"{name}: the launcher said:\n{text}")
        else:
            window = desktop.wait_window(CAPTION, WINDOW_TIMEOUT, menu)
            said = verbose_line(log)
            check(re.search(EXPECTED_WORDS[expected], said), f"in {name}, the launcher said {said!r}; expected {expected}")
            maps = Path(f"/proc/{menu.pid}/maps").read_text()
            bundled = str(p.bundle / "lib") + "/"
            if expected == "system-qt":
                check(bundled not in maps and f"{root}/usr/lib/x86_64-linux-gnu/libQt6Core.so" in maps,
                      f"in {name}, the menu on the system's Qt did not take the root's libQt6Core alone")
            if expected == "gtk":
                check("libQt" not in maps and f"{root}/usr/lib/x86_64-linux-gnu/libgtk-3.so" in maps,
                      f"in {name}, the menu on GTK did not take the root's GTK, or loaded Qt")
            print(f"{name}: window {window} shown; the launcher said {said!r}")
    print(f"{name}: {time.monotonic() - started:.1f} s in all")


def main(argv):
    if len(argv) == 8 and argv[1] == "oldsys":
        if os.geteuid() != 0:
            print("SKIPPED: running a medium in a Debian root needs root (debootstrap, chroot)")
            return SKIP
        try:
            status = step_oldsys(Paths(argv[2], argv[3]), *argv[4:])
        except (TestFailure, subprocess.TimeoutExpired) as failure:
            print(f"FAILED oldsys {argv[4]}: {failure}", file=sys.stderr)
            return 1
        return status or 0
    if len(argv) != 4 or argv[1] not in STEPS:
        print(__doc__, file=sys.stderr)
        return 2
    missing = [t for t in ("Xvfb", "xdotool", "xprop", "xorriso", "ldd", "readelf", "import") if not shutil.which(t)]
    if missing:
        print(f"missing tools: {', '.join(missing)} (run scripts/setup)", file=sys.stderr)
        return 1
    started = time.monotonic()
    try:
        status = STEPS[argv[1]](Paths(argv[2], argv[3]))
    except (TestFailure, subprocess.TimeoutExpired) as failure:
        print(f"FAILED {argv[1]}: {failure}", file=sys.stderr)
        return 1
    if status:
        return status
    print(f"PASSED {argv[1]} in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
