#!/usr/bin/env python3
"""The Debian package where publishers are: installed into a clean Debian root, used there by an
unprivileged user, and purged.

usage: package_test.py SOURCE_DIR PACKAGE.deb SUITE

The root (scripts/debian-root pkg-SUITE SUITE: minbase, cached) is never changed itself: the test
works on an overlay of it, which it takes down at the end. apt-get inside it installs the package
and fetches its dependencies from Debian's archive (the downloads are kept with the root's, so a
second run fetches nothing). Then, as the user "publisher", on this machine's Xvfb:
  - discmenu-check on the installed sample is clean;
  - discmenu-make-medium makes a medium and an ISO image of the sample, and says its version;
  - the editor opens a copy of the sample, takes an edit and saves it, and the file still checks;
  - the medium made there starts to its window.
After apt-get purge no file of the package is left. Exits 77 (skipped) when not root or when the
archive cannot be reached.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
from xsession import TestFailure, XSession, check, end_process, wait_until  # noqa: E402

SKIP = 77
CAPTION = "Sample Software Collection (Winter Edition)"
SAMPLE = "/usr/share/doc/discmenu/examples/sample-cd"
USER = "publisher"


class Desktop(XSession):
    def __init__(self, keep):
        super().__init__(keep / "package-failure.png")

    def environment(self):
        return dict(os.environ, DISPLAY=self.display)


class Root:
    """An overlay of the cached root at `merged`, with /proc, /dev, a fresh /tmp holding this
    machine's X socket, and apt's download folder kept beside the cached root."""

    def __init__(self, lower, downloads, work):
        self.lower, self.downloads, self.work = lower, downloads, work
        self.merged = work / "merged"
        self.mounts = []

    def mount(self, *args, target):
        subprocess.run(["mount", *args, str(target)], check=True)
        self.mounts.append(target)

    def __enter__(self):
        try:
            for name in ("upper", "ovl", "merged"):
                (self.work / name).mkdir()
            self.mount("-t", "overlay", "overlay", "-o",
                       f"lowerdir={self.lower},upperdir={self.work / 'upper'},workdir={self.work / 'ovl'}",
                       target=self.merged)
            self.mount("-t", "proc", "proc", target=self.merged / "proc")
            self.mount("--rbind", "/dev", target=self.merged / "dev")
            self.mount("-t", "tmpfs", "tmpfs", target=self.merged / "tmp")
            (self.merged / "tmp" / ".X11-unix").mkdir()
            self.mount("--bind", "/tmp/.X11-unix", target=self.merged / "tmp" / ".X11-unix")
            (self.downloads / "partial").mkdir(parents=True, exist_ok=True)
            self.mount("--bind", str(self.downloads), target=self.merged / "var/cache/apt/archives")
        except BaseException:
            self.__exit__(*sys.exc_info())
            raise
        return self

    def __exit__(self, *exc):
        for target in reversed(self.mounts):
            subprocess.run(["umount", "-R", "-l", str(target)], check=False)
        self.mounts = []
        return False

    def command(self, script, user=None, env=()):
        """The command line that runs `script` (sh) in the root, as root or as `user`."""
        spec = [f"--userspec={user}:{user}"] if user else []
        home = f"/home/{user}" if user else "/root"
        return ["chroot", *spec, str(self.merged), "env", "-i", "PATH=/usr/bin:/bin:/usr/sbin:/sbin",
                f"HOME={home}", "LC_ALL=C.UTF-8", *env, "sh", "-c", f"cd {home} && {script}"]

    def run(self, script, user=None, env=(), timeout=600):
        result = subprocess.run(self.command(script, user, env), capture_output=True, text=True, timeout=timeout)
        return result


def expect(result, what, code=0):
    check(result.returncode == code, f"{what}: exit {result.returncode}, expected {code}\n"
                                     f"stdout:\n{result.stdout}\nstderr:\n{result.stderr}")
    return result.stdout


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    source, deb, suite = Path(argv[1]).resolve(), Path(argv[2]).resolve(), argv[3]
    check(deb.is_file(), f"no package {deb} (scripts/release makes it)")
    started = time.monotonic()
    made = subprocess.run([str(source / "scripts" / "debian-root"), f"pkg-{suite}", suite],
                          capture_output=True, text=True, timeout=1500)
    if made.returncode == SKIP:
        print(f"SKIPPED: {made.stderr.strip()}")
        return SKIP
    check(made.returncode == 0, f"scripts/debian-root pkg-{suite} failed:\n{made.stderr}")
    lower = Path(made.stdout.strip().splitlines()[-1])
    downloads = lower.parent / "debs" / f"pkg-{suite}-apt"
    print(f"{suite}: root {lower} ready in {time.monotonic() - started:.1f} s")

    with tempfile.TemporaryDirectory(prefix=f"discmenu-package-{suite}-") as scratch, \
            Root(lower, downloads, Path(scratch)) as root, Desktop(Path(source / "build")) as desktop:
        shutil.copy(deb, root.merged / "tmp" / deb.name)
        step = time.monotonic()
        expect(root.run(f"apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q "
                        f"/tmp/{deb.name}", timeout=1200), "apt-get install of the package")
        print(f"{suite}: installed with its dependencies in {time.monotonic() - step:.1f} s")
        installed = expect(root.run("dpkg -L discmenu"), "dpkg -L").split("\n")
        expect(root.run(f"useradd --create-home {USER}"), "useradd")

        # The publisher's tools, as an ordinary user.
        version = expect(root.run("discmenu-make-medium --version", USER), "discmenu-make-medium --version")
        check(version.startswith("discmenu-make-medium 1."), f"--version said {version!r}")
        said = expect(root.run(f"discmenu-check {SAMPLE}", USER), "discmenu-check on the installed sample")
        step = time.monotonic()
        said = expect(root.run(f"discmenu-make-medium {SAMPLE} medium --iso sample.iso", USER),
                      "discmenu-make-medium of the installed sample")
        took = time.monotonic() - step
        check("Medium assembled in /home/publisher/medium" in said and "Image /home/publisher/sample.iso" in said,
              f"make-medium said:\n{said}")
        medium = root.merged / "home" / USER / "medium"
        check((medium / "discmenu" / "version.txt").read_text().startswith("discmenu 1."),
              "the medium does not say which release it carries")
        print(f"{suite}: discmenu-make-medium with the ISO image in {took:.1f} s")

        # The editor on a copy: one edit (a letter typed at the end of the title, which a click
        # reaches: there is no window manager to give the window the focus), saved with Ctrl+S,
        # and closed with Ctrl+Q.
        expect(root.run(f"cp -r {SAMPLE} copy", USER), "copying the sample")
        original = (root.merged / "home" / USER / "copy" / "contents.inf").read_bytes()
        editor = subprocess.Popen(root.command("exec discmenu-edit copy", USER, [f"DISPLAY={desktop.display}"]),
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        desktop.processes.append(editor)
        window = desktop.wait_window(f"/home/{USER}/copy/contents.inf - discmenu-edit", 60, editor)
        left, top = desktop.geometry(window)[:2]
        time.sleep(0.5)
        desktop.click(left + 350, top + 93)
        desktop.key("End", "Z", "ctrl+s")
        saved = root.merged / "home" / USER / "copy" / "contents.inf"
        wait_until(lambda: saved.read_bytes() != original, 20, "the editor to save the edited catalogue")
        desktop.key("ctrl+q")
        try:
            status = editor.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise TestFailure("the editor did not close on Ctrl+Q") from None
        check(status == 0, f"the editor ended with {status}:\n{editor.stdout.read()}")
        expect(root.run("discmenu-check copy", USER), "discmenu-check on the catalogue the editor saved")
        print(f"{suite}: the editor saved its edit")

        # The medium made there, started as a user starts it.
        log = Path(scratch) / "menu.log"
        with open(log, "wb") as out:
            menu = subprocess.Popen(root.command("exec ./medium/autorun.sh", USER,
                                                 [f"DISPLAY={desktop.display}", "DISCMENU_VERBOSE=1"]),
                                    stdout=out, stderr=subprocess.STDOUT)
        desktop.processes.append(menu)
        desktop.wait_window(CAPTION, 60, menu, output=lambda: log.read_text(errors="replace"))
        end_process(menu)
        print(f"{suite}: the medium made there shows its window; the launcher said: "
              f"{log.read_text(errors='replace').strip()}")

        # Purged, nothing of it is left.
        expect(root.run("DEBIAN_FRONTEND=noninteractive apt-get purge -y -q discmenu"), "apt-get purge")
        left = [path for path in installed
                if path.startswith("/") and (root.merged / path.lstrip("/")).is_file()]
        check(not left, f"after apt-get purge these files of the package are left: {left}")
        check(not (root.merged / "usr/share/doc/discmenu").exists(), "the documentation folder is left")
    print(f"{suite}: package test passed in {time.monotonic() - started:.1f} s")
    return 0


if __name__ == "__main__":
    if os.geteuid() != 0:
        print("SKIPPED: the package test needs root (debootstrap, chroot, mounts)")
        sys.exit(SKIP)
    try:
        sys.exit(main(sys.argv))
    except TestFailure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        sys.exit(1)
