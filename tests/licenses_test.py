#!/usr/bin/env python3
"""packaging/licenses on a small medium of real parts: copies of a few of this system's libraries
in discmenu/lib/ and plugins/, and programs compiled here the way ours are linked (a C launcher,
a C++ menu with the C++ library linked in, a static mingw-w64 exe when that compiler is here).

usage: licenses_test.py [PATH/TO/packaging/licenses]
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "packaging", "licenses")
SYSTEM_LIBS = "/usr/lib/x86_64-linux-gnu"
# Carried file: the Debian source package it comes from (Debian 12's).
CARRIED = {
    "lib/libQt6Core.so.6": "qt6-base",
    "lib/libicuuc.so.72": "icu",
    "lib/libpcre2-16.so.0": "pcre2",
    "plugins/platforms/libqxcb.so": "qt6-base",
}
ORIGINALS = {
    "lib/libQt6Core.so.6": SYSTEM_LIBS + "/libQt6Core.so.6",
    "lib/libicuuc.so.72": SYSTEM_LIBS + "/libicuuc.so.72",
    "lib/libpcre2-16.so.0": SYSTEM_LIBS + "/libpcre2-16.so.0",
    "plugins/platforms/libqxcb.so": SYSTEM_LIBS + "/qt6/plugins/platforms/libqxcb.so",
}
CXX = "#include <string>\nint main(int argc, char** argv) { return std::string(argv[0]).size() > 3 && argc; }\n"
MINGW = shutil.which("i686-w64-mingw32-g++-posix")
# Program: (compile command, the statically linked parts the index must name for it).
PROGRAMS = {
    "discmenu/discmenu": (["gcc", "-x", "c", "-O2", "-o", "{out}", "-"], "int main(void) { return 0; }\n",
                          {"libgcc"}),
    "discmenu/discmenu-gtk.so": (["g++", "-x", "c++", "-O2", "-static-libstdc++", "-static-libgcc",
                                  "-Wl,--gc-sections", "-o", "{out}", "-"], CXX, {"libgcc", "libstdc++"}),
}
if MINGW:
    PROGRAMS["discmenu.exe"] = ([MINGW, "-x", "c++", "-O2", "-static", "-o", "{out}", "-"], CXX,
                                {"libgcc", "libstdc++", "winpthreads", "mingw-w64-crt", "mingw-w64-headers"})


def run(*args):
    return subprocess.run([sys.executable, SCRIPT, *args], capture_output=True, text=True)


def index(folder):
    """{file entry: {part: statically linked components}} and {part: fields} of licenses/index.txt."""
    entries, parts, part = {}, {}, None
    with open(os.path.join(folder, "licenses", "index.txt"), encoding="utf-8") as f:
        field = None
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("#") or not line.strip():
                field = None
                continue
            if not line.startswith(" "):
                field, _, value = line.partition(": ")
                if field == "Part":
                    part = value
                    parts[part] = {}
            else:
                value = line.strip()
            parts[part][field] = parts[part].get(field, "") + " " + value
            if field == "Files":
                name, _, rest = value.partition(" (statically linked: ")
                entries.setdefault(name, {})[part] = set(filter(None, rest.rstrip(")").split(", ")))
    return entries, parts


class Licenses(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="licenses_test.")
        cls.template = os.path.join(cls.work, "template")
        for rel, original in ORIGINALS.items():
            os.makedirs(os.path.dirname(os.path.join(cls.template, "discmenu", rel)), exist_ok=True)
            shutil.copyfile(original, os.path.join(cls.template, "discmenu", rel))
        # make-medium rewrites each copy's run path; the copy is still known by its build id.
        subprocess.run(["patchelf", "--force-rpath", "--set-rpath", "$ORIGIN",
                        os.path.join(cls.template, "discmenu/lib/libQt6Core.so.6")], check=True)
        for rel, (command, source, _) in PROGRAMS.items():
            out = os.path.join(cls.template, rel)
            subprocess.run([c.format(out=out) for c in command], input=source, text=True, check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def setUp(self):
        self.top = os.path.join(self.work, self.id().rsplit(".", 1)[1])
        shutil.copytree(self.template, self.top, symlinks=True)
        self.folder = os.path.join(self.top, "discmenu")

    def collect(self):
        result = run("collect", self.folder)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_collect_names_every_part_and_its_source(self):
        self.collect()
        self.assertEqual(run("check", self.folder).returncode, 0)
        entries, parts = index(self.folder)
        for rel, source in CARRIED.items():
            self.assertIn(source, entries.get("discmenu/" + rel, {}), rel)
            self.assertRegex(parts[source]["Source-Package"], rf"^ {source} \S+$")
            self.assertIn(f"apt-get source {source}=", parts[source]["Source"])
        for rel, (_, _, components) in PROGRAMS.items():
            linked = set().union(*entries[rel].values())
            self.assertEqual(linked, components, rel)
            self.assertIn("discmenu", entries[rel], rel)
        self.assertIn("discmenu/lib/", parts["qt6-base"]["Replacing"])
        self.assertIn("LGPL", parts["qt6-base"]["License"])
        self.assertNotIn("Replacing", parts["icu"])

    def test_check_names_what_lost_its_notice(self):
        self.collect()
        _, parts = index(self.folder)
        cases = {
            "qt6-base": ["discmenu/lib/libQt6Core.so.6", "discmenu/plugins/platforms/libqxcb.so"],
            "pcre2": ["discmenu/lib/libpcre2-16.so.0"],
        }
        static = next(p for p in parts if p.startswith("gcc-") and "discmenu/discmenu-gtk.so" in parts[p]["Files"])
        cases[static] = ["discmenu/discmenu-gtk.so: its statically linked libstdc++"]
        for part, named in cases.items():
            with self.subTest(part=part):
                notice = os.path.join(self.folder, "licenses", parts[part]["Notice"].strip())
                kept = notice + ".kept"
                os.rename(notice, kept)
                result = run("check", self.folder)
                os.rename(kept, notice)
                self.assertEqual(result.returncode, 1)
                for name in named:
                    self.assertIn(name, result.stderr)

    def test_prune_without_bundled_qt(self):
        self.collect()
        for sub in ("lib", "plugins"):
            shutil.rmtree(os.path.join(self.folder, sub))
        result = run("check", self.folder)
        self.assertEqual(result.returncode, 1, "an index naming files no longer there passed")
        self.assertIn("discmenu/lib/libicuuc.so.72, which is not there", result.stderr)
        self.assertEqual(run("prune", self.folder).returncode, 0)
        result = run("check", self.folder)
        self.assertEqual(result.returncode, 0, result.stderr)
        entries, parts = index(self.folder)
        self.assertFalse({"qt6-base", "icu", "pcre2"} & set(parts))
        self.assertEqual(set(entries), set(PROGRAMS))
        notices = {p["Notice"].strip() for p in parts.values()} | {"index.txt"}
        self.assertEqual(set(os.listdir(os.path.join(self.folder, "licenses"))), notices)

    def test_collect_refuses_a_copy_of_no_system_library(self):
        shutil.copyfile(SYSTEM_LIBS + "/libpcre2-8.so.0", os.path.join(self.folder, "lib/libpcre2-16.so.0"))
        result = run("collect", self.folder)
        self.assertEqual(result.returncode, 1)
        self.assertIn("discmenu/lib/libpcre2-16.so.0: none of", result.stderr)

    def test_debian_copyright(self):
        self.collect()
        staging = os.path.join(self.work, "staging")
        runtime = os.path.join(staging, "usr/lib/x86_64-linux-gnu/discmenu/runtime")
        shutil.copytree(self.top, runtime)
        os.makedirs(os.path.join(staging, "usr/bin"))
        shutil.copyfile(os.path.join(self.folder, "discmenu"), os.path.join(staging, "usr/bin/discmenu-check"))
        out = os.path.join(self.work, "copyright")
        result = run("debian-copyright", staging, out)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(out, encoding="utf-8") as f:
            stanzas = [s for s in f.read().split("\n\n")]
        self.assertTrue(stanzas[0].startswith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"))
        self.assertIn("Files: *\nCopyright: 2026 The discmenu authors\nLicense: MIT", stanzas[1])
        by_file = {}
        for stanza in stanzas[2:]:
            if not stanza.startswith("Files: "):
                continue
            fields = stanza.split("\nCopyright: ", 1)
            self.assertIn("\nLicense: ", fields[1])
            for name in fields[0][len("Files: "):].split("\n "):
                by_file[name] = fields[1]
        qt = by_file["usr/lib/x86_64-linux-gnu/discmenu/runtime/discmenu/lib/libQt6Core.so.6"]
        self.assertIn("The Qt Company", qt)
        self.assertNotIn("discmenu authors", qt)
        gtk = by_file["usr/lib/x86_64-linux-gnu/discmenu/runtime/discmenu/discmenu-gtk.so"]
        self.assertIn("License: MIT, and GPL-3+ with GCC-Runtime-Library-3.1 exception", gtk)
        self.assertNotIn("usr/bin/discmenu-check", by_file)


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        SCRIPT = sys.argv.pop(1)
    unittest.main()
