#!/usr/bin/env python3
"""The man page renders without a single warning (groff -ww, as man -l
renders it), and it names every error message of the catalogue.

  check_man_page.py PAGE CATALOGUE
"""
import re
import subprocess
import sys


def main():
    page, catalogue = sys.argv[1], sys.argv[2]
    problems = []
    result = subprocess.run(["groff", "-ww", "-t", "-man", "-Tutf8", page], capture_output=True)
    if result.returncode != 0 or result.stderr:
        problems.append("groff: " + result.stderr.decode(errors="replace").strip())
    text = result.stdout.decode("utf-8", errors="replace")
    text = re.sub(r".\x08", "", text)  # overstrike for bold and underline
    flat = re.sub(r"\s+", "", text)
    with open(catalogue, encoding="utf-8") as f:
        for name, message in re.findall(r'MESSAGE\((k\w+Message), "([^"]*)"\)', f.read()):
            first = message.split("\\r\\n")[0].replace("%d", "n")  # the page writes a number as n
            if re.search(r"[^\x00-\x7f]", first) and re.sub(r"\s+", "", first) not in flat:
                problems.append(f"{name} ({first}) is not in the page")
    for problem in problems:
        print(problem)
    print(f"{0 if problems else 1} passed, {1 if problems else 0} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
