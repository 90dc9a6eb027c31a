#!/usr/bin/env python3
"""The sizes of ostrel's write requests to its list, in order, for write_floor:
one little-endian uint32 per request.

    python3 write_sizes.py strace TRACE OUT.oxl SIZES.bin
    python3 write_sizes.py oxl OUT.oxl SIZES.bin
    python3 write_sizes.py rows OUT.oxl SIZES.bin

strace: read from a trace of the run that wrote OUT.oxl, made with
    strace -qq -s 0 -e trace=openat,write -e signal=none -o TRACE ostrel IN OUT.oxl
exact by construction, but ptrace costs about 0.1 ms per request here, so it
is used on the smallest index only.
oxl: derived from the list itself, by the way ostrel writes it: the header in
one request; a file row in 12 (", path, ", ",", size, ",", modified, ",",
created, ",", attributes, CR LF) and a directory row in 11 (no size piece).
Empty pieces are zero-byte requests. run.sh checks that both ways agree.
rows: not what ostrel does but what it would cost to write each row, header
included, with one request: a what-if floor for write_floor.
Prints the number of requests and of bytes, and for oxl the rows.
"""
import array
import re
import sys

HEADER = b"Filename,Size,Date Modified,Date Created,Attributes\r\n"


def from_strace(trace_path, out_path):
    out_fd = None
    sizes = []
    opened = re.compile(r'^openat\([^,]*, "(.*)", .*\) = (\d+)$')
    written = re.compile(r"^write\((\d+), .*, (\d+)\)\s+= ")
    with open(trace_path, encoding="utf-8", errors="replace") as trace:
        for line in trace:
            if line.startswith("openat"):
                match = opened.match(line.rstrip("\n"))
                if match and match.group(1) == out_path:
                    out_fd = match.group(2)
            elif out_fd is not None:
                match = written.match(line)
                if match and match.group(1) == out_fd:
                    sizes.append(int(match.group(2)))
    if out_fd is None:
        sys.exit("write_sizes: %s is not opened in %s" % (out_path, trace_path))
    return sizes


def from_oxl(oxl_path):
    with open(oxl_path, "rb") as f:
        data = f.read()
    if not data.startswith(HEADER):
        sys.exit("write_sizes: %s does not start with the header" % oxl_path)
    sizes = [len(HEADER)]
    row_sizes = [len(HEADER)]
    at = len(HEADER)
    end = len(data)
    while at < end:
        if data[at:at + 1] != b'"':
            sys.exit("write_sizes: no row at byte %d" % at)
        # The path ends at the first quote that is not doubled; it may hold
        # commas and line breaks.
        scan = at + 1
        while True:
            quote = data.index(b'"', scan)
            if data[quote + 1:quote + 2] == b'"':
                scan = quote + 2
            else:
                break
        path_size = quote - at - 1
        line_end = data.index(b"\r\n", quote)
        fields = data[quote + 2:line_end].split(b",")
        if data[quote + 1:quote + 2] != b"," or len(fields) != 4:
            sys.exit("write_sizes: unexpected row at byte %d" % at)
        size, modified, created, attributes = fields
        sizes += [1, path_size, 1, 1]
        if not int(attributes) & 16:
            sizes.append(len(size))
        sizes += [1, len(modified), 1, len(created), 1, len(attributes), 2]
        row_sizes.append(line_end + 2 - at)
        at = line_end + 2
    return sizes, row_sizes


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "strace":
        sizes, rows = from_strace(sys.argv[2], sys.argv[3]), None
    elif len(sys.argv) == 4 and sys.argv[1] in ("oxl", "rows"):
        sizes, row_sizes = from_oxl(sys.argv[2])
        rows = len(row_sizes) - 1
        if sys.argv[1] == "rows":
            sizes = row_sizes
    else:
        sys.exit(__doc__)
    packed = array.array("I", sizes)
    if packed.itemsize != 4 or sys.byteorder != "little":
        sys.exit("write_sizes: needs a little-endian machine with 4-byte unsigned int")
    with open(sys.argv[-1], "wb") as out:
        packed.tofile(out)
    print(len(sizes), sum(sizes), *([rows] if rows is not None else []))


if __name__ == "__main__":
    main()
