#!/usr/bin/env python3
"""The installed metadata as Debian's tools read it: the editor's desktop entry
(desktop-file-validate), its AppStream metadata (appstreamcli validate), the manual pages (groff
with every warning, lexgrog's NAME line), that the three name each other as installed, and that
every file whose format makes it spell out the version (the Debian changelog's newest entry, the
newest AppStream release, the manual pages, the Windows manifest) spells the project's.

usage: packaging_metadata_test.py SOURCE_DIR
"""

import os
import re
import subprocess
import sys
import unittest

SOURCE = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
PACKAGING = os.path.join(SOURCE, "packaging")
APP_ID = "org.discmenu.discmenu_edit"
DESKTOP = os.path.join(PACKAGING, "discmenu-edit.desktop")
METAINFO = os.path.join(PACKAGING, APP_ID + ".metainfo.xml")
MAN_PAGES = ["discmenu-edit", "discmenu-check", "discmenu-make-medium"]


def run(*command):
    return subprocess.run(command, capture_output=True, text=True)


class Metadata(unittest.TestCase):
    def test_validators_accept_every_file(self):
        cases = [("desktop-file-validate", DESKTOP), ("appstreamcli", "validate", "--no-net", "--pedantic", METAINFO)]
        for page in MAN_PAGES:
            cases.append(("groff", "-man", "-Tutf8", "-ww", "-z", os.path.join(SOURCE, "docs/man", page + ".1")))
        for command in cases:
            with self.subTest(command=" ".join(command[:-1]), file=os.path.basename(command[-1])):
                result = run(*command)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
                if command[0] != "appstreamcli":
                    self.assertEqual(result.stdout + result.stderr, "")

    def test_manual_pages_are_indexed_under_their_names(self):
        for page in MAN_PAGES:
            with self.subTest(page=page):
                result = run("lexgrog", os.path.join(SOURCE, "docs/man", page + ".1"))
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
                self.assertRegex(result.stdout, rf': "{re.escape(page)} - \S')

    def test_every_written_version_is_the_projects(self):
        with open(os.path.join(SOURCE, "CMakeLists.txt"), encoding="utf-8") as f:
            version = re.search(r"^project\(discmenu VERSION ([0-9.]+)", f.read(), re.M).group(1)
        places = [
            (os.path.join(PACKAGING, "debian", "changelog"), r"\Adiscmenu \(([^)]+)\)"),
            (METAINFO, r'<release version="([^"]+)"'),
            (os.path.join(SOURCE, "win32", "discmenu.manifest"), r'name="discmenu" version="([0-9.]+?)(?:\.0)?"'),
        ] + [(os.path.join(SOURCE, "docs/man", page + ".1"), r'\A\.TH \S+ 1 \S+ "discmenu ([^"]+)"')
             for page in MAN_PAGES]
        for path, pattern in places:
            with self.subTest(file=os.path.basename(path)):
                with open(path, encoding="utf-8") as f:
                    found = re.search(pattern, f.read())
                self.assertIsNotNone(found, f"no version in {path}")
                self.assertEqual(found.group(1), version, f"{path} says {found.group(1)}, the project {version}")

    def test_files_name_each_other(self):
        with open(DESKTOP, encoding="utf-8") as f:
            desktop = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        with open(METAINFO, encoding="utf-8") as f:
            metainfo = f.read()
        self.assertEqual(desktop["Icon"], APP_ID)
        for name in (APP_ID + ".svg", APP_ID + "-48.png", APP_ID + "-128.png"):
            self.assertTrue(os.path.isfile(os.path.join(PACKAGING, "icons", name)), name)
        self.assertIn(f'<launchable type="desktop-id">{os.path.basename(DESKTOP)}</launchable>', metainfo)
        self.assertIn(f"<id>{APP_ID}</id>", metainfo)
        self.assertEqual(desktop["Exec"].split()[0], "discmenu-edit")
        for page in MAN_PAGES:
            self.assertIn(f"<binary>{page}</binary>", metainfo)


if __name__ == "__main__":
    unittest.main()
