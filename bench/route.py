#!/usr/bin/env python3
"""The assort job as a Python csv script, for the benchmark: the rule table
read from the same rule file, the routing field found by the csv module,
its value looked up ignoring ASCII case, each line appended with CR LF to
its destination, every destination kept open.

  route.py RULES INPUT

Lines are handled as bytes (decoded as Latin-1 for the csv module, which
leaves every byte as it is: no second byte of Shift-JIS is a comma or a
quote), so Shift-JIS and UTF-8 input alike come out unchanged.
"""
import csv
import os
import sys


def rule_table(path):
    column, base, other, table = 0, "", b"Default.csv", {}
    with open(path, "rb") as f:
        for line in f.read().splitlines():
            if line.startswith(b"ColumnNo="):
                column = int(line[9:])
            elif line.startswith(b"BaseDir="):
                base = line[8:].decode("latin-1")
            elif line.startswith(b"Default="):
                other = line[8:]
            elif len(line) > 5 and line[3:5] == b"=[" and line.endswith(b"]"):
                key, name = line[5:-1].split(b",")[:2]
                table.setdefault(key.lower(), name)
    folder = base[2:].replace("\\", "/") if base[1:2] == ":" else base
    return column, os.fsencode(folder), table, other


def main():
    column, folder, table, other = rule_table(sys.argv[1])
    files = {}
    with open(sys.argv[2], "rb") as source:
        for line in source:
            text = line.rstrip(b"\r\n")
            fields = next(csv.reader([text.decode("latin-1")]), [])
            value = fields[column - 1].encode("latin-1").lower() if len(fields) >= column else b""
            name = table.get(value, other)
            out = files.get(name)
            if out is None:
                out = files[name] = open(os.path.join(folder, name), "ab")
            out.write(text + b"\r\n")
    for out in files.values():
        out.close()


if __name__ == "__main__":
    main()
