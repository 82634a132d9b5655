#!/usr/bin/env python3
"""Names what each part of an ISO 9660 image holds, and so what each read of a slow medium read.

usage: isomap.py regions IMAGE
       isomap.py trace IMAGE LOG [FIRST [END]] [--runs]

"regions" lists the image's parts in address order, one "offset<tab>length<tab>what" a line: the
system area, the volume descriptors, each path table, each directory (of the ISO 9660 tree with its
Rock Ridge names, and of the Joliet tree), each file's extent, and the gaps between them.

"trace" reads bench/slowmedium's request log (SLOWMEDIUM_LOG: "offset length[ seek]" a line) and
writes each request with the parts it touched; FIRST and END (0-based line numbers, END excluded)
take part of the log, such as the requests of one run. With --runs it writes instead the runs of
requests the drive read without a seek: where each starts, its bytes and requests, and what it read.

Only the standard library: the image is parsed here, so that the volume descriptors, path tables
and directories are named too (xorriso's report_lba names the files alone).
"""

import bisect
import struct
import sys

SECTOR = 2048


def both_endian_32(record, at):
    """The little-endian half of an ISO 9660 both-endian 32-bit field."""
    return struct.unpack_from("<I", record, at)[0]


def rock_ridge_name(record, name_length):
    """The Rock Ridge NM name in the system use area of a directory record, or None."""
    at = 33 + name_length + (1 - name_length % 2)
    name, end = b"", record[0]
    while at + 4 <= end:
        tag, length = record[at:at + 2], record[at + 2]
        if length < 4:
            break
        if tag == b"NM":
            name += record[at + 5:at + length]
        at += length
    return name.decode("utf-8", "replace") if name else None


def directory_records(image, extent, size):
    """(name, extent, size, is_directory) of each record of the directory, "." and ".." left out."""
    image.seek(extent * SECTOR)
    data = image.read(size)
    at = 0
    while at < len(data):
        length = data[at]
        if length == 0:  # records never cross a sector: the rest of this one is padding
            at = (at // SECTOR + 1) * SECTOR
            continue
        record = data[at:at + length]
        at += length
        name_length = record[32]
        raw = record[33:33 + name_length]
        if raw in (b"\0", b"\1"):
            continue
        yield raw, name_length, record, both_endian_32(record, 2), both_endian_32(record, 10), bool(record[25] & 2)


def volume_regions(image, descriptor, sector, tree):
    """The regions of one volume (primary or Joliet): its path tables and its directories and files."""
    joliet = tree == "Joliet"
    block = struct.unpack_from("<H", descriptor, 128)[0]
    table_size = both_endian_32(descriptor, 132)
    regions = []
    for at, kind in ((140, "L"), (144, "L"), (148, "M"), (152, "M")):
        fmt = "<I" if kind == "L" else ">I"
        location = struct.unpack_from(fmt, descriptor, at)[0]
        if location:
            regions.append((location * block, table_size, f"path table ({tree}, {kind})"))
    root = descriptor[156:156 + 34]
    pending = [("/", both_endian_32(root, 2), both_endian_32(root, 10))]
    seen = set()
    while pending:
        path, extent, size = pending.pop()
        if extent in seen:
            continue
        seen.add(extent)
        regions.append((extent * block, size, f"directory {path} ({tree})"))
        for raw, name_length, record, child, child_size, is_dir in directory_records(image, extent, size):
            if joliet:
                name = raw.decode("utf-16-be", "replace")
            else:
                name = rock_ridge_name(record, name_length) or raw.decode("ascii", "replace")
            name = name.split(";")[0]
            if is_dir:
                pending.append((path + name + "/", child, child_size))
            elif not joliet and child_size:  # Joliet's records point at the same file data
                regions.append((child * block, child_size, path + name))
    return regions


def regions(path):
    """Every part of the image, in address order, gaps included: (offset, length, what)."""
    found = [(0, 16 * SECTOR, "system area")]
    with open(path, "rb") as image:
        image.seek(0, 2)
        size = image.tell()
        sector = 16
        while True:
            image.seek(sector * SECTOR)
            descriptor = image.read(SECTOR)
            if len(descriptor) < SECTOR or descriptor[1:6] != b"CD001":
                raise ValueError(f"{path}: sector {sector} is not an ISO 9660 volume descriptor")
            kind = descriptor[0]
            found.append((sector * SECTOR, SECTOR, "volume descriptor"))
            if kind == 1:
                found += volume_regions(image, descriptor, sector, "ISO 9660")
            elif kind == 2 and descriptor[88:91] in (b"%/@", b"%/C", b"%/E"):
                found += volume_regions(image, descriptor, sector, "Joliet")
            elif kind == 255:
                break
            sector += 1
    found.sort()
    # Each sector to one part: a part ends where its sectors end, a gap fills what lies between.
    result, at = [], 0
    for offset, length, what in found:
        if offset > at:
            result.append((at, offset - at, "(unused)"))
        end = offset + -(-length // SECTOR) * SECTOR
        if end > at:
            result.append((max(offset, at), end - max(offset, at), what))
            at = end
    if at < size:
        result.append((at, size - at, "(unused)"))
    return result


def touched(parts, starts, offset, length):
    """The names of the parts the bytes [offset, offset + length) fall in, in address order."""
    i = max(0, bisect.bisect_right(starts, offset) - 1)
    names = []
    while i < len(parts) and parts[i][0] < offset + length:
        if parts[i][0] + parts[i][1] > offset:
            names.append(parts[i][2])
        i += 1
    return names


def read_log(path, first=0, end=None):
    """(offset, length, seek) of each request of the log's lines [first, end)."""
    requests = []
    with open(path) as log:
        for number, line in enumerate(log):
            if number < first or (end is not None and number >= end):
                continue
            fields = line.split()
            requests.append((int(fields[0]), int(fields[1]), len(fields) > 2 and fields[2] == "seek"))
    return requests


def runs(parts, requests):
    """The runs of requests without a seek between them: (offset, bytes, requests, names)."""
    starts = [p[0] for p in parts]
    result = []
    for offset, length, seek in requests:
        if seek or not result:
            result.append([offset, 0, 0, []])
        run = result[-1]
        run[1] += length
        run[2] += 1
        for name in touched(parts, starts, offset, length):
            if name not in run[3]:
                run[3].append(name)
    return [tuple(r) for r in result]


def summarise(names, most=6):
    """At most `most` names, and how many more."""
    shown = ", ".join(names[:most])
    return shown + (f" and {len(names) - most} more" if len(names) > most else "")


def main():
    args = [a for a in sys.argv[1:] if a != "--runs"]
    if len(args) == 2 and args[0] == "regions":
        for offset, length, what in regions(args[1]):
            print(f"{offset}\t{length}\t{what}")
        return
    if len(args) in (3, 4, 5) and args[0] == "trace":
        parts = regions(args[1])
        first = int(args[3]) if len(args) > 3 else 0
        end = int(args[4]) if len(args) > 4 else None
        requests = read_log(args[2], first, end)
        if "--runs" in sys.argv:
            for number, (offset, size, count, names) in enumerate(runs(parts, requests), 1):
                print(f"  run {number}: at {offset / 1024:.0f} KiB, {size / 1024:.0f} KiB in {count} requests: "
                      f"{summarise(names)}")
            return
        starts = [p[0] for p in parts]
        for offset, length, seek in requests:
            print(f"{offset}\t{length}\t{'seek' if seek else ''}\t{'; '.join(touched(parts, starts, offset, length))}")
        return
    sys.exit(__doc__.split("\n\n")[1])


if __name__ == "__main__":
    main()
