#!/usr/bin/env python3
"""Which Wine runs the Windows tests, and how to start a program under it.

Usage: wine.py choose            prints 32 or 64: the build whose tests run here (the reason on
                                 standard error, in one line); fails when no Wine can run
       wine.py run PROGRAM ARGS  runs PROGRAM (a .exe) under the Wine of its own word size
       wine.py boot BITS         makes the Wine prefix $WINEPREFIX when it is not there yet

Some machines run no 32-bit x86 code at all (their kernel answers "Exec format error"), so 32-bit
Wine cannot start there, whatever is installed. Whether it can is found out by starting its
loader, not guessed from names. The 32-bit discmenu.exe is what media carry; where 32-bit Wine
cannot start, the same sources built as a 64-bit program (preset windows64) are tested under
64-bit Wine instead. DISCMENU_WINE=32 or 64 forces one (to test the 64-bit path on a machine that
runs both).

Debian's wine wrapper (and wineboot, reg and the other tools, which start through it) takes the
32-bit loader whenever wine32 is installed, even where it cannot run; the loaders are therefore
started directly, the 64-bit one with WINELOADER naming itself.
"""

import os
import subprocess
import sys
from pathlib import Path

LOADERS = {32: "/usr/lib/wine/wine", 64: "/usr/lib/wine/wine64"}
PACKAGES = {32: "wine32:i386", 64: "wine64"}
PE32, PE32_PLUS = 0x10B, 0x20B


class WineMissing(Exception):
    """No Wine of the word size asked for can run here; the text says what is missing."""


def loader(bits):
    """The loader of `bits`-bit Wine, path overridable by DISCMENU_WINE32 / DISCMENU_WINE64."""
    return os.environ.get(f"DISCMENU_WINE{bits}", LOADERS[bits])


def try_loader(bits):
    """None when the `bits`-bit loader starts (wine --version), else why not."""
    path = loader(bits)
    if not os.path.exists(path):
        return f"{path} is missing (package {PACKAGES[bits]}; scripts/setup installs it)"
    try:
        result = subprocess.run([path, "--version"], stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    except OSError as error:
        reason = error.strerror
        if bits == 32 and error.errno == 8:  # ENOEXEC
            reason += " (this machine's kernel runs no 32-bit code)"
        return f"{path} cannot start: {reason}"
    except subprocess.TimeoutExpired:
        return f"{path} --version did not answer within 60 s"
    if result.returncode != 0:
        output = (result.stderr or result.stdout).decode(errors="replace").strip()[-300:]
        return f"{path} --version failed ({result.returncode}): {output}"
    return None


def choose():
    """(bits, reason): the word size of the build whose Windows tests run on this machine."""
    forced = os.environ.get("DISCMENU_WINE", "")
    if forced:
        if forced not in ("32", "64"):
            raise WineMissing(f"DISCMENU_WINE is {forced!r}; it may be 32 or 64 (or unset: decided by trying)")
        bits = int(forced)
        failure = try_loader(bits)
        if failure:
            raise WineMissing(f"DISCMENU_WINE={forced} asks for {bits}-bit Wine, but {failure}")
        return bits, f"forced by DISCMENU_WINE={forced}"
    failure32 = try_loader(32)
    if not failure32:
        return 32, f"32-bit Wine starts here ({loader(32)} --version ran)"
    failure64 = try_loader(64)
    if not failure64:
        return 64, f"32-bit Wine cannot: {failure32}"
    raise WineMissing(f"no Wine can run here: {failure32}; {failure64}")


def describe(bits, reason):
    if bits == 32:
        return f"Windows tests: the 32-bit discmenu.exe (preset windows) under 32-bit Wine: {reason}"
    return f"Windows tests: the 64-bit build (preset windows64) under 64-bit Wine: {reason}"


def pe_bits(program):
    """32 or 64: the word size of the Windows program `program`, from its optional header."""
    with open(program, "rb") as file:
        head = file.read(4096)
    offset = int.from_bytes(head[0x3C:0x40], "little") if head[:2] == b"MZ" else -1
    magic = int.from_bytes(head[offset + 24:offset + 26], "little") if 0 <= offset < len(head) - 26 else 0
    if head[offset:offset + 4] != b"PE\0\0" or magic not in (PE32, PE32_PLUS):
        raise WineMissing(f"{program} is not a Windows program (no PE32 or PE32+ header)")
    return 32 if magic == PE32 else 64


def command(bits, *args):
    """(argv, environment additions) that run `args` (a program and its arguments, or a Wine tool
    such as "wineboot.exe") under `bits`-bit Wine; WineMissing when that cannot run here."""
    failure = try_loader(bits)
    if failure:
        hint = " (where 32-bit code cannot run, the tests run on the windows64 preset)" if bits == 32 else ""
        raise WineMissing(f"{bits}-bit Wine cannot run: {failure}{hint}")
    path = loader(bits)
    return [path, *map(str, args)], ({"WINELOADER": path} if bits == 64 else {})


def boot(bits, env):
    """Makes the Wine prefix env["WINEPREFIX"] (wineboot -i, then waits for the wineserver);
    returns (status, error text)."""
    argv, extra = command(bits, "wineboot.exe", "-i")
    env = {**env, **extra}
    for step in (argv, ["wineserver", "-w"]):
        result = subprocess.run(step, env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
        if result.returncode != 0:
            return result.returncode, f"{' '.join(step)} failed ({result.returncode}): " + \
                result.stderr.decode(errors="replace")[-2000:]
    return 0, ""


def main(argv):
    try:
        if len(argv) == 2 and argv[1] == "choose":
            bits, reason = choose()
            print(describe(bits, reason), file=sys.stderr)
            print(bits)
            return 0
        if len(argv) >= 3 and argv[1] == "run":
            args, extra = command(pe_bits(argv[2]), *argv[2:])
            sys.stdout.flush()
            os.execve(args[0], args, {**os.environ, **extra})
        if len(argv) == 3 and argv[1] == "boot" and argv[2] in ("32", "64"):
            if (Path(os.environ["WINEPREFIX"]) / "system.reg").exists():
                return 0
            status, error = boot(int(argv[2]), dict(os.environ))
            print(error, file=sys.stderr, end="")
            return 1 if status else 0
    except WineMissing as missing:
        print(f"wine.py: FAILED: {missing}", file=sys.stderr)
        return 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
