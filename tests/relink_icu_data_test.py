#!/usr/bin/env python3
"""packaging/relink-icu-data: ICU's data written anew keeps its bytes and serves ICU, with what the
loader reads in the first two pages; libraries of another kind are refused and nothing is written."""

import os
import struct
import subprocess
import sys
import tempfile

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packaging", "relink-icu-data")
ICU_DATA = "/usr/lib/x86_64-linux-gnu/libicudata.so.72"
ICU_COMMON = "libicuuc.so.72"

# ICU opens its data and lists its converters: both fail on misplaced or misaligned data.
ICU_USER = r"""
#include <stdio.h>
void u_init_72(int*);
int ucnv_countAvailable_72(void);
int main(void) { int e = 0; u_init_72(&e); printf("%d %d\n", e, ucnv_countAvailable_72()); return e > 0; }
"""

failures = []


def check(ok, message):
    if not ok:
        failures.append(message)


def run(*args, **kw):
    return subprocess.run(args, capture_output=True, text=True, **kw)


def segments(path):
    """(type, offset, filesz) of each program header of a 64-bit little-endian ELF file."""
    with open(path, "rb") as f:
        head = f.read(64)
        phoff, = struct.unpack_from("<Q", head, 32)
        phentsize, phnum = struct.unpack_from("<HH", head, 54)
        f.seek(phoff)
        table = f.read(phentsize * phnum)
    result = []
    for i in range(phnum):
        kind, _, offset, _, _, filesz = struct.unpack_from("<IIQQQQ", table, i * phentsize)
        result.append((kind, offset, filesz))
    return result


def symbol_bytes(path, name):
    out = run("nm", "-DS", "--defined-only", path).stdout
    value, size = next((int(f[0], 16), int(f[1], 16)) for f in map(str.split, out.splitlines())
                       if len(f) == 4 and f[3] == name)
    # Address and file offset agree in both the original and the new layout's data segment.
    out = run("readelf", "-lW", path).stdout
    for line in out.splitlines():
        f = line.split()
        if f[:1] == ["LOAD"] and int(f[2], 16) <= value < int(f[2], 16) + int(f[4], 16):
            with open(path, "rb") as lib:
                lib.seek(int(f[1], 16) + value - int(f[2], 16))
                return lib.read(size)
    return None


def test_relinked(work):
    out = os.path.join(work, "lib", "libicudata.so.72")
    os.makedirs(os.path.dirname(out))
    result = run(sys.executable, TOOL, ICU_DATA, out, "--rpath", "$ORIGIN")
    check(result.returncode == 0, f"relinking {ICU_DATA} failed: {result.stderr}")
    if result.returncode != 0:
        return
    check(symbol_bytes(out, "icudt72_dat") == symbol_bytes(ICU_DATA, "icudt72_dat"),
          "the new library's icudt72_dat differs from the original's")
    # Everything but the data lies in the first two pages: the loader reads no other part.
    PT_LOAD, PT_DYNAMIC = 1, 2
    loads = [(o, s) for k, o, s in segments(out) if k == PT_LOAD]
    dynamic = [(o, s) for k, o, s in segments(out) if k == PT_DYNAMIC]
    check(len(loads) == 3 and all(o + s <= 8192 for o, s in loads[:2]) and loads[2][0] == 8192,
          f"the new library's loadable segments are {loads}; expected two in the first two pages, the data after")
    check(dynamic and dynamic[0][0] + dynamic[0][1] <= 8192, f"the dynamic section lies at {dynamic}")
    dyn = run("readelf", "-dW", out).stdout
    for words in ("Library soname: [libicudata.so.72]", "Library rpath: [$ORIGIN]"):
        check(words in dyn, f"the new library lacks {words}:\n{dyn}")
    check("NEEDED" not in dyn and "TEXTREL" not in dyn, f"the new library needs something:\n{dyn}")
    again = os.path.join(work, "again.so")
    run(sys.executable, TOOL, ICU_DATA, again, "--rpath", "$ORIGIN")
    check(open(again, "rb").read() == open(out, "rb").read(), "two runs on the same library wrote different bytes")

    source = os.path.join(work, "user.c")
    with open(source, "w") as f:
        f.write(ICU_USER)
    program = os.path.join(work, "user")
    built = run("cc", source, "-o", program, f"-l:{ICU_COMMON}")
    check(built.returncode == 0, f"cannot build the ICU test program: {built.stderr}")
    env = dict(os.environ, LD_LIBRARY_PATH=os.path.dirname(out))
    ran = run(program, env=env)
    check(ran.returncode == 0 and ran.stdout.split()[0] == "0" and int(ran.stdout.split()[1]) > 100,
          f"ICU on the new data library: status {ran.returncode}, said {ran.stdout!r} {ran.stderr!r}")
    trace = run("ldd", program, env=env).stdout
    check(out in trace, f"the test program did not take the new library:\n{trace}")


# Libraries that are not ICU's data: each refused with a message naming the file and what was found.
REFUSED = [
    ("needs a library", "const char icudt72_dat[64] = {1};", ["-lm"], "needs libm"),
    ("a second symbol", "const char icudt72_dat[64] = {1}; int other = 2;", [], "defines other"),
    ("no data symbol", "const char something[64] = {1};", [], "expected one sized symbol icudtNN_dat"),
]


def test_refused(work):
    for name, code, libraries, said in REFUSED:
        source = os.path.join(work, "lib.c")
        with open(source, "w") as f:
            f.write(code + "\n")
        library = os.path.join(work, "libthing.so")
        # The libraries named are kept though unused, so that the library needs them.
        built = run("cc", "-shared", "-fPIC", "-nostdlib", "-Wl,-soname,libthing.so", "-o", library,
                    "-Wl,--no-as-needed", source, *libraries)
        check(built.returncode == 0, f"{name}: cannot build the test library: {built.stderr}")
        out = os.path.join(work, "out.so")
        if os.path.exists(out):
            os.remove(out)
        result = run(sys.executable, TOOL, library, out)
        check(result.returncode != 0, f"{name}: the library was taken")
        check(said in result.stderr and library in result.stderr,
              f"{name}: the message {result.stderr!r} does not name {library} and say {said!r}")
        check(not os.path.exists(out), f"{name}: something was written")


def main():
    if not os.path.exists(ICU_DATA):
        print(f"skipped: no {ICU_DATA} on this system")
        return 77
    with tempfile.TemporaryDirectory() as work:
        test_relinked(os.path.join(work, "relinked"))
        os.makedirs(os.path.join(work, "refused"))
        test_refused(os.path.join(work, "refused"))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
