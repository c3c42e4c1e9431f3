#!/usr/bin/env python3
"""The line on standard error that names a destination whose write failed
has one form, and the docs show that form: the program is driven into a real
write failure (a file-size limit, so the write of a block fails with EFBIG)
and the line it prints is compared, with its name, reason and numbers set
aside, with every such line in the docs.

  check_docs_write_failure.py PROGRAM DOC...
"""
import os
import re
import resource
import subprocess
import sys
import tempfile

from check_man_page import report

PREFIX = "rowdispatch: cannot write destination "


def form(line):
    """The line with its file name, its reason and its numbers set aside (a
    doc may write them as words in capitals: PATH, REASON, N)."""
    rest = line[len(PREFIX):]
    match = re.fullmatch(r"(\S+): ([^(]+) \((.*)\)", rest)
    if not match:
        return None
    return PREFIX + "PATH: REASON (" + re.sub(r"\b([0-9][0-9,]*|[A-Z])\b", "N", match.group(3)) + ")"


def printed_line(program):
    with tempfile.TemporaryDirectory() as scratch:
        with open(os.path.join(scratch, "rules.ini"), "wb") as f:
            f.write(b"[AssortRules]\r\nColumnNo=1\r\nCount=1\r\n001=[A,a.csv]\r\n")
        with open(os.path.join(scratch, "in.csv"), "wb") as f:
            f.write(b"".join(b"A,%06d\r\n" % i for i in range(20000)))
        limit = 16 * 1024  # below the first block written to a.csv
        result = subprocess.run([program, "in.csv", "rules.ini"], cwd=scratch, capture_output=True,
                                preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit)))
    lines = [l for l in result.stderr.decode("utf-8", "replace").splitlines() if l.startswith(PREFIX)]
    if result.returncode != 1 or len(lines) != 1:
        sys.exit(f"the program did not fail one write: exit {result.returncode}, standard error "
                 f"{result.stderr!r}")
    return lines[0]


def main():
    program, docs = os.path.abspath(sys.argv[1]), sys.argv[2:]
    printed = printed_line(program)
    wanted = form(printed)
    problems = []
    for doc in docs:
        with open(doc, encoding="utf-8-sig") as f:
            text = f.read().replace("\\-", "-").replace("\\e", "\\")  # troff escapes
        shown = [l[l.index(PREFIX):].split("`")[0].strip() for l in text.splitlines() if PREFIX in l]
        if not shown:
            problems.append(f"{doc}: shows no line {PREFIX!r}")
        for line in shown:
            if form(line) != wanted:
                problems.append(f"{doc}: {line!r} is not of the form the program prints ({printed!r})")
    return report(problems)


if __name__ == "__main__":
    sys.exit(main())
