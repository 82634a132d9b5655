#!/usr/bin/env python3
"""bench/isomap.py on small images that xorriso writes as make-medium does (Rock Ridge, Joliet, a
sort-weight list): every part is named where xorriso says it lies, every byte belongs to one part,
and each request of a slow medium's log is put to the parts it read."""

import importlib.util
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
spec = importlib.util.spec_from_file_location("isomap", os.path.join(HERE, "..", "bench", "isomap.py"))
isomap = importlib.util.module_from_spec(spec)
spec.loader.exec_module(isomap)

SECTOR = 2048
# name: size; the weights put the first three first, in this order.
FILES = {"start.sh": 300, "big/menu.so": 5000, "a/b/deep.txt": 2048, "Mixed Case.txt": 10, "zz.bin": 70000}
WEIGHTED = ["start.sh", "big/menu.so", "a/b/deep.txt"]


class IsoMapTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        tree = os.path.join(cls.work.name, "tree")
        for name, size in FILES.items():
            os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
            with open(os.path.join(tree, name), "wb") as f:
                f.write(bytes(i % 251 for i in range(size)))
        weights = os.path.join(cls.work.name, "weights")
        with open(weights, "w") as f:
            for i, name in enumerate(WEIGHTED):
                f.write(f"{100 - i} /{name}\n")
        cls.image = os.path.join(cls.work.name, "test.iso")
        subprocess.run(["xorriso", "-as", "mkisofs", "-r", "-J", "-joliet-long", "-iso-level", "3",
                        "--sort-weight-list", weights, "-o", cls.image, tree], check=True, capture_output=True)
        report = subprocess.run(["xorriso", "-indev", cls.image, "-find", "/", "-type", "f", "-exec", "report_lba"],
                                check=True, capture_output=True, text=True).stdout
        cls.lba = {m.group(2): int(m.group(1)) for m in
                   re.finditer(r"^File data lba:\s*\d+\s*,\s*(\d+)\s*,.*'([^']*)'$", report, re.M)}
        cls.parts = isomap.regions(cls.image)
        cls.named = {what: (offset, length) for offset, length, what in cls.parts}

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def test_files_lie_where_xorriso_says(self):
        for name, size in FILES.items():
            with self.subTest(name=name):
                offset, length = self.named["/" + name]
                self.assertEqual(offset, self.lba["/" + name] * SECTOR)
                self.assertEqual(length, -(-size // SECTOR) * SECTOR)

    def test_parts_cover_the_image_once_in_order(self):
        at = 0
        for offset, length, what in self.parts:
            self.assertEqual(offset, at, f"{what} does not start where the part before it ends")
            self.assertGreater(length, 0, what)
            at = offset + length
        self.assertEqual(at, os.path.getsize(self.image))

    def test_metadata_of_both_trees_is_named(self):
        for what in ["system area", "volume descriptor", "path table (ISO 9660, L)", "path table (ISO 9660, M)",
                     "path table (Joliet, L)", "path table (Joliet, M)"] + \
                [f"directory {d} ({tree})" for d in ("/", "/a/", "/a/b/", "/big/") for tree in ("ISO 9660", "Joliet")]:
            with self.subTest(what=what):
                self.assertIn(what, self.named)
        # The directories come before the files, and the weighted files first, in weight order.
        last_directory = max(o for o, _, w in self.parts if w.startswith(("directory", "path table")))
        starts = [self.named["/" + name][0] for name in WEIGHTED]
        self.assertLess(last_directory, starts[0])
        self.assertEqual(starts, sorted(starts))

    def test_requests_are_put_to_what_they_read(self):
        menu, deep = self.named["/big/menu.so"], self.named["/a/b/deep.txt"]
        cases = [
            # (offset, length, the parts read)
            (0, 4096, ["system area"]),
            (16 * SECTOR, SECTOR, ["volume descriptor"]),
            (menu[0] + 100, 200, ["/big/menu.so"]),
            (menu[0] + menu[1] - 10, 20, ["/big/menu.so", "/a/b/deep.txt"]),
            # one sector each, then the unweighted files in name order
            (deep[0], 3 * SECTOR, ["/a/b/deep.txt", "/Mixed Case.txt", "/zz.bin"]),
            (os.path.getsize(self.image) - 1, 1, [self.parts[-1][2]]),
        ]
        starts = [p[0] for p in self.parts]
        for offset, length, expected in cases:
            with self.subTest(offset=offset, length=length):
                self.assertEqual(isomap.touched(self.parts, starts, offset, length), expected)

    def test_runs_split_at_seeks(self):
        start, menu = self.named["/start.sh"], self.named["/big/menu.so"]
        requests = [(start[0], SECTOR, True), (menu[0], 4096, False), (menu[0] + 4096, 2048, False),
                    (0, 2048, True)]
        self.assertEqual(isomap.runs(self.parts, requests),
                         [(start[0], 8192, 3, ["/start.sh", "/big/menu.so"]), (0, 2048, 1, ["system area"])])

    def test_trace_reads_the_log_lines_asked_for(self):
        log = os.path.join(self.work.name, "trace.log")
        with open(log, "w") as f:
            f.write("0 2048 seek\n32768 2048\n40960 4096 seek\n")
        self.assertEqual(isomap.read_log(log, 1, 3), [(32768, 2048, False), (40960, 4096, True)])

    def test_not_an_image(self):
        other = os.path.join(self.work.name, "not.iso")
        with open(other, "wb") as f:
            f.write(b"\0" * 40 * SECTOR)
        with self.assertRaisesRegex(ValueError, r"not\.iso: sector 16 is not an ISO 9660 volume descriptor"):
            isomap.regions(other)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
