#!/usr/bin/env python3
"""Checks the include graph of src/: every #include "dir/name.h" is an arrow
from the including module (a .h and .cpp pair) to the included one. Arrows
point down the ranks below, or stay within one directory of one rank; and no
module includes one that includes it back, directly or around a circle.

  check_layers.py [SRC]     exits 1 and names every arrow that breaks a rule
"""
import pathlib
import re
import sys

# The allowed arrows, written down once: a module may include any module of
# a lower rank, and one of its own directory and rank. The first prefix that
# matches a module gives its rank.
RANKS = [
    ("platform/", 0),
    ("messages/", 0),           # the message catalogue: a leaf anyone may include
    ("codepage/", 1),           # the double-byte rule of the code page
    ("process/", 2),            # command-line words, the pending I/O result, failures
    ("files/", 3),
    ("text/", 3),
    ("session/", 4),            # the run's records and the console writers that the
                                # layers below app are handed
    ("rules/", 5),
    ("assort/", 6),
    ("app/", 7),                # the entry point and the run sequence
]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def rank(module):
    for prefix, value in RANKS:
        if module.startswith(prefix):
            return value
    return None


def module_of(path, src):
    rel = path.relative_to(src).as_posix()
    return rel.rsplit(".", 1)[0]


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent / "src")
    arrows = {}
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        module = module_of(path, src)
        for included in INCLUDE.findall(path.read_text(encoding="utf-8")):
            target = included.rsplit(".", 1)[0]
            if target != module and (src / included).exists():
                arrows.setdefault(module, set()).add(target)
    problems = []
    for module, targets in sorted(arrows.items()):
        for target in sorted(targets):
            mine, theirs = rank(module), rank(target)
            if mine is None or theirs is None:
                problems.append(f"{module} -> {target}: a module without a rank (add it to RANKS)")
            elif theirs > mine or (theirs == mine and module.split("/")[0] != target.split("/")[0]):
                problems.append(f"{module} -> {target}: rank {mine} may not include rank {theirs}")
    # Circles, within a directory as anywhere.
    state = {}

    def visit(module, trail):
        state[module] = "open"
        for target in sorted(arrows.get(module, ())):
            if state.get(target) == "open":
                problems.append("circle: " + " -> ".join(trail[trail.index(target):] + [target]))
            elif target not in state:
                visit(target, trail + [target])
        state[module] = "done"

    for module in sorted(arrows):
        if module not in state:
            visit(module, [module])
    modules = len(set(arrows) | {t for ts in arrows.values() for t in ts})
    arrow_count = sum(len(t) for t in arrows.values())
    for problem in problems:
        print(problem)
    print(f"include graph: {modules} modules, {arrow_count} arrows")
    print(f"{0 if problems else 1} passed, {1 if problems else 0} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
