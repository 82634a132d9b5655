#!/usr/bin/env python3
"""packaging/relink-icu-data: ICU's data written anew keeps its bytes and serves ICU, with what the
loader reads in the first two pages; libraries of another kind are refused and nothing is written."""

import os
import subprocess
import sys
import tempfile

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packaging", "relink-icu-data")
ICU_DATA = "/usr/lib/x86_64-linux-gnu/libicudata.so.72"
# ICU opens its data and lists its converters: both fail on misplaced or misaligned data.
ICU_USER = r"""#include <stdio.h>
void u_init_72(int*);
int ucnv_countAvailable_72(void);
int main(void) { int e = 0; u_init_72(&e); printf("%d %d\n", e, ucnv_countAvailable_72()); return e > 0; }
"""
# Libraries that are not ICU's data: (case, source, libraries it needs, what the message says).
REFUSED = [
    ("needs a library", "const char icudt72_dat[64] = {1};", ["-lm"], "needs libm"),
    ("a second symbol", "const char icudt72_dat[64] = {1}; int other = 2;", [], "defines other"),
    ("no data symbol", "const char something[64] = {1};", [], "expected one sized symbol icudtNN_dat"),
]
failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def run(*args, **kw):
    return subprocess.run(args, capture_output=True, text=True, **kw)


def loads(path):
    """(file offset, file size) of each loadable segment, and the dynamic section's."""
    rows = [line.split() for line in run("readelf", "-lW", path).stdout.splitlines()]
    pick = lambda kind: [(int(r[1], 16), int(r[4], 16)) for r in rows if r[:1] == [kind]]
    return pick("LOAD"), pick("DYNAMIC")


def data_bytes(path):
    """The bytes of icudt72_dat, found through the segment that holds its address."""
    value, size = next((int(f[0], 16), int(f[1], 16)) for f in map(str.split, run(
        "nm", "-DS", "--defined-only", path).stdout.splitlines()) if f[-1:] == ["icudt72_dat"])
    for r in map(str.split, run("readelf", "-lW", path).stdout.splitlines()):
        if r[:1] == ["LOAD"] and int(r[2], 16) <= value < int(r[2], 16) + int(r[4], 16):
            with open(path, "rb") as lib:
                lib.seek(int(r[1], 16) + value - int(r[2], 16))
                return lib.read(size)


def test_relinked(work):
    out = os.path.join(work, "libicudata.so.72")
    result = run(sys.executable, TOOL, ICU_DATA, out, "--rpath", "$ORIGIN")
    check(result.returncode == 0, f"relinking {ICU_DATA} failed: {result.stderr}")
    if result.returncode != 0:
        return
    check(data_bytes(out) == data_bytes(ICU_DATA), "the new library's icudt72_dat differs from the original's")
    # Everything but the data lies in the first two pages: the loader reads no other part.
    segments, dynamic = loads(out)
    check(len(segments) == 3 and all(o + s <= 8192 for o, s in segments[:2]) and segments[2][0] == 8192
          and dynamic and sum(dynamic[0]) <= 8192,
          f"segments {segments}, dynamic section {dynamic}; expected all but the data in the first two pages")
    dyn = run("readelf", "-dW", out).stdout
    check("Library soname: [libicudata.so.72]" in dyn and "Library rpath: [$ORIGIN]" in dyn and "NEEDED" not in dyn,
          f"the new library's dynamic section:\n{dyn}")
    again = os.path.join(work, "again.so")
    run(sys.executable, TOOL, ICU_DATA, again, "--rpath", "$ORIGIN")
    check(open(again, "rb").read() == open(out, "rb").read(), "two runs on the same library wrote different bytes")

    with open(os.path.join(work, "user.c"), "w") as f:
        f.write(ICU_USER)
    program = os.path.join(work, "user")
    built = run("cc", os.path.join(work, "user.c"), "-o", program, "-l:libicuuc.so.72")
    check(built.returncode == 0, f"cannot build the ICU test program: {built.stderr}")
    env = dict(os.environ, LD_LIBRARY_PATH=work)
    ran = run(program, env=env)
    check(ran.returncode == 0 and ran.stdout.split()[0] == "0" and int(ran.stdout.split()[1]) > 100,
          f"ICU on the new data library: status {ran.returncode}, said {ran.stdout!r} {ran.stderr!r}")
    check(out in run("ldd", program, env=env).stdout, "the test program did not take the new library")


def test_refused(work):
    for case, code, libraries, said in REFUSED:
        source, library, out = (os.path.join(work, n) for n in ("lib.c", "libthing.so", case + ".so"))
        with open(source, "w") as f:
            f.write(code + "\n")
        # The libraries named are kept though unused, so that the library needs them.
        built = run("cc", "-shared", "-fPIC", "-nostdlib", "-Wl,-soname,libthing.so", "-o", library, "-Wl,--no-as-needed", source, *libraries)
        check(built.returncode == 0, f"{case}: cannot build the test library: {built.stderr}")
        result = run(sys.executable, TOOL, library, out)
        check(result.returncode != 0 and said in result.stderr and library in result.stderr,
              f"{case}: status {result.returncode}, said {result.stderr!r}; expected a refusal naming "
              f"{library} that says {said!r}")
        check(not os.path.exists(out), f"{case}: something was written")


def main():
    if not os.path.exists(ICU_DATA):
        print(f"skipped: no {ICU_DATA} on this system")
        return 77
    with tempfile.TemporaryDirectory() as work:
        test_relinked(work)
        test_refused(work)
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
