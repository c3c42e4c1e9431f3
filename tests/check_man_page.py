#!/usr/bin/env python3
"""The man page renders without a single warning (groff -ww, as man -l
renders it), and it names every error message of the catalogue.

  check_man_page.py PAGE CATALOGUE

A PAGE ending in .txt is the Windows users' README instead: UTF-8 with a
byte-order mark and CR LF line ends, naming every error and I/O message.
"""
import re
import subprocess
import sys


def rendered_page(page, problems):
    result = subprocess.run(["groff", "-ww", "-t", "-man", "-Tutf8", page], capture_output=True)
    if result.returncode != 0 or result.stderr:
        problems.append("groff: " + result.stderr.decode(errors="replace").strip())
    text = result.stdout.decode("utf-8", errors="replace")
    return re.sub(r".\x08", "", text)  # overstrike for bold and underline


def windows_text(page, problems):
    with open(page, "rb") as f:
        data = f.read()
    if not data.startswith(b"\xef\xbb\xbf"):
        problems.append("no UTF-8 byte-order mark: Notepad would not know the text is UTF-8")
    if data.count(b"\n") != data.count(b"\r\n") or not data.endswith(b"\r\n"):
        problems.append("a line does not end in CR LF")
    return data.decode("utf-8-sig")


def main():
    page, catalogue = sys.argv[1], sys.argv[2]
    problems = []
    if page.endswith(".txt"):
        text, pattern = windows_text(page, problems), r'MESSAGE\((k\w+Message|\d+), "([^"]*)"\)'
    else:
        text, pattern = rendered_page(page, problems), r'MESSAGE\((k\w+Message), "([^"]*)"\)'
    flat = re.sub(r"\s+", "", text)
    with open(catalogue, encoding="utf-8") as f:
        for name, message in re.findall(pattern, f.read()):
            first = message.split("\\r\\n")[0].replace("%d", "n")  # the page writes a number as n
            if re.search(r"[^\x00-\x7f]", first) and re.sub(r"\s+", "", first) not in flat:
                problems.append(f"{name} ({first}) is not in the page")
    return report(problems)


def report(problems):
    """Prints the problems and the count; gives the exit status."""
    for problem in problems:
        print(problem)
    print(f"{0 if problems else 1} passed, {1 if problems else 0} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
