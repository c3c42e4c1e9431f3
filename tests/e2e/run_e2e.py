#!/usr/bin/env python3
"""End-to-end suite: runs the real program, Linux and Windows (under Wine),
as a process in a scratch directory for every case file in cases/, and
compares standard output, exit status and the resulting files byte for byte.

A case file is UTF-8 text, turned into Shift-JIS with iconv. Its lines:

  # ...                 a comment
  args: WORD WORD ...   the arguments, split at blanks; "{}" is an empty
                        argument, "{sp}" a blank and "{tab}" a tab inside one;
                        several args lines: one run for each, with the same
                        files and expectations
  file NAME [(MODE)]:   a file to place before the run, from the "| " lines
                        that follow (MODE below)
  mkdir: DIR            a directory to make before the run
  readonly: NAME        make the placed file read-only (also for root)
  old: NAME             date the placed file 1970-01-02
  hold: NAME MODE       another process holds the file open (read, write)
  program: DIR          put the program into DIR instead of the scratch root
  only: linux|windows   the case holds for that program only (where the two
                        differ for their users: docs/PLATFORM.md)
  cwd: DIR              run from DIR
  stdout: closed|full   run with standard output closed, or on /dev/full
  expect stdout [(MODE)]:   standard output, from "| " lines: what the
                        program prints between its start and its end banner
                        (a block that begins with the start banner itself is
                        the whole output; an empty block is no output)
  expect exit: N
  linux exit: N         the Linux program's exit status where it differs
                        (2 after a user error)
  expect file NAME [(MODE)]: the exact bytes of a file after the run
  expect absent: NAME   no such file after the run
  expect unchanged: NAME    the file holds what was placed
  expect listing DIR: NAME ...  the folder holds exactly these names, as
                        UTF-8 bytes on disk

Block MODE: "crlf" (the default) ends every "| " line with CR LF, "lf" with
LF, "raw" with nothing; add "noeol" to leave the last line without one,
"utf8", "utf16le" or "utf16be" for a block whose bytes are in that encoding
rather than Shift-JIS, and "bom" to begin it with the encoding's byte-order
mark (the forms editors save a rule file in). For standard
output, "noend" expects the start banner only (a run that fails prints its
report and no end banner), "bare" no banner at all (/v, /s).
Inside a block "␍" is CR, "␊" is LF, "\\xHH" a raw byte, "{prog}" the
program's file name and "{dir}" the scratch directory as the program sees it
(Z:\...); "{here}" is the folder a relative rule file is read from, as the
program shows it (Windows: {dir}, next to the program; Linux: the current
folder, /...), and "{/}" the separator the program puts after it. File
names on disk and the arguments are UTF-8 for both programs: each converts
them from and to the run's code page.
"""
import os
import re
import subprocess
import sys

from e2e_lib import HERE, run_cases, to_sjis
# The other harnesses were written against this file; what they take from it
# stays to be had here.
from e2e_lib import (CRLF, END, MB, START, Big, Platform, Scratch, arguments_and_platforms,  # noqa: F401
                     failure_report, info, report, rules_file, show, summary)

# The banners as block text.
START_TEXT = "␍␊-------- Start Rowdispatch --------␍␊␍␊"
END_TEXT = "␍␊-------- E N D Rowdispatch --------␍␊␍␊"


class Case:
    def __init__(self, path):
        self.path = path
        self.name = str(path.relative_to(HERE / "cases"))
        self.runs = {}        # the args line: its words
        self.files = []       # (name, bytes template)
        self.dirs = []
        self.readonly = []
        self.old = []
        self.holds = []
        self.program_dir = ""
        self.only = ""
        self.cwd = ""
        self.stdout_mode = ""
        self.expect_stdout = None
        self.expect_exit = 0
        self.linux_exit = None
        self.expect_files = []
        self.expect_absent = []
        self.expect_unchanged = []
        self.expect_listings = []  # (folder, names)
        self.parse(path.read_text(encoding="utf-8").splitlines())

    def parse(self, lines):
        i = 0
        while i < len(lines):
            line = lines[i]
            i += 1
            if not line.strip() or line.startswith("#"):
                continue
            block = re.fullmatch(r"(expect )?(file|stdout)\s*([^():]*?)\s*(\(([^)]*)\))?:", line)
            if block:
                body = []
                while i < len(lines) and (lines[i].startswith("| ") or lines[i] == "|"):
                    body.append(lines[i][2:])
                    i += 1
                modes = [m.strip() for m in (block.group(5) or "").split(",") if m.strip()]
                name = block.group(3)
                if block.group(1) and block.group(2) == "stdout":
                    self.expect_stdout = self.output(body, modes)
                    continue
                content = self.block(body, modes)
                if block.group(1):
                    self.expect_files.append((name, content))
                else:
                    self.files.append((name, content))
                continue
            listing = re.fullmatch(r"expect listing (.+?):(.*)", line)
            if listing:
                self.expect_listings.append((listing.group(1), listing.group(2).split()))
                continue
            key, _, value = line.partition(":")
            value = value.strip()
            if key == "args":
                self.runs[value] = [self.word(w) for w in value.split()]
            elif key == "mkdir":
                self.dirs.append(value)
            elif key == "readonly":
                self.readonly.append(value)
            elif key == "old":
                self.old.append(value)
            elif key == "hold":
                name, mode = value.rsplit(None, 1)
                self.holds.append((name, mode))
            elif key == "program":
                self.program_dir = value
            elif key == "only":
                if value not in ("linux", "windows"):
                    raise ValueError(f"{self.name}: only: linux or windows, not {value!r}")
                self.only = value
            elif key == "cwd":
                self.cwd = value
            elif key == "stdout":
                self.stdout_mode = value
            elif key == "expect exit":
                self.expect_exit = int(value)
            elif key == "linux exit":
                self.linux_exit = int(value)
            elif key == "expect absent":
                self.expect_absent.append(value)
            elif key == "expect unchanged":
                self.expect_unchanged.append(value)
            else:
                raise ValueError(f"{self.name}: cannot read line {line!r}")

    @classmethod
    def output(cls, body, modes):
        """Standard output: the block put between the banners, unless it
        states the start banner itself, is empty, or is "bare"."""
        text = cls.block(body, modes)
        if not body or "bare" in modes or text.startswith(START_TEXT):
            return text
        return Template(START_TEXT + text + ("" if "noend" in modes else END_TEXT), text.encoding)

    @staticmethod
    def word(text):
        return text.replace("{}", "").replace("{sp}", " ").replace("{tab}", "\t")

    @staticmethod
    def block(body, modes):
        end = {"crlf": "␍␊", "lf": "␊", "raw": ""}
        line_end = next((end[m] for m in modes if m in end), "␍␊")
        text = "".join(line + line_end for line in body)
        if "noeol" in modes and line_end:
            text = text[: -len(line_end)]
        encoding = next((m for m in modes if m in ENCODINGS), "sjis")
        return Template(text, encoding, "bom" in modes)


# The encodings a block may be written in: how its text becomes bytes, and
# its byte-order mark.
ENCODINGS = {
    "sjis": (to_sjis, b""),
    "utf8": (lambda text: text.encode("utf-8"), b"\xef\xbb\xbf"),
    "utf16le": (lambda text: text.encode("utf-16-le"), b"\xff\xfe"),
    "utf16be": (lambda text: text.encode("utf-16-be"), b"\xfe\xff"),
}


class Template(str):
    """A block's text; its bytes are Shift-JIS, or in the encoding its mode
    names, after that encoding's byte-order mark in mode "bom"."""
    def __new__(cls, text, encoding="sjis", bom=False):
        template = super().__new__(cls, text)
        template.encoding = encoding
        template.bom = bom
        return template


def render(template, prog, dirname, here=None, sep=b"\\"):
    """The bytes of a block: Shift-JIS (or its mode's encoding), with the
    escapes put in."""
    template_encoding = getattr(template, "encoding", "sjis")
    encode, mark = ENCODINGS[template_encoding]
    out = mark if getattr(template, "bom", False) else b""
    pattern = re.compile(r"␍|␊|\\x([0-9A-Fa-f]{2})|\{prog\}|\{dir\}|\{here\}|\{/\}")
    pos = 0
    for m in pattern.finditer(template):
        out += encode(template[pos:m.start()])
        token = m.group(0)
        if token in ("␍", "␊"):
            control = "\r" if token == "␍" else "\n"
            out += control.encode("ascii") if template_encoding == "sjis" else encode(control)
        elif token == "{prog}":
            out += encode(prog)
        elif token == "{dir}":
            out += dirname
        elif token == "{here}":
            out += dirname if here is None else here
        elif token == "{/}":
            out += sep
        else:
            out += bytes([int(m.group(1), 16)])
        pos = m.end()
    return out + encode(template[pos:])


def run_case(case, args, scratch):
    """Runs the case with the arguments args in the scratch folder; gives its
    problems, or None where the case holds for the other program only."""
    platform = scratch.platform
    if case.only and case.only != platform.label:
        return None
    holders = []
    try:
        def at(name):
            return scratch.at(name)

        def rendered(template):
            return render(template, scratch.prog, scratch.dir, scratch.here, scratch.sep)

        for d in case.dirs:
            os.makedirs(at(d), exist_ok=True)
        for name, template in case.files:
            scratch.place(name, rendered(template))
        for name in case.old:
            os.utime(at(name), (86400, 86400))
        for name in case.readonly:
            os.chmod(at(name), 0o444)
            # Wine running as root writes past missing write bits; the
            # immutable flag stops every writer.
            subprocess.run(["chattr", "+i", at(name)], capture_output=True)
        program = scratch.install(case.program_dir)
        for name, mode in case.holds:
            holder = subprocess.Popen(platform.helper("filehold") + [platform.native_name(name), mode],
                                      cwd=scratch.root, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
            said = holder.stdout.readline()
            if said.strip() != b"held":
                scratch.problems.append(f"could not hold {name}: {said!r}")
            holders.append(holder)

        kwargs = dict(cwd=at(case.cwd) if case.cwd else scratch.root)
        output = None
        if case.stdout_mode == "closed":
            kwargs["stdout"] = subprocess.DEVNULL
            if platform.wine:
                # Wine would give the program whatever its loader opened on
                # descriptor 1; a Windows parent can start it with no
                # standard output handle at all.
                windows_program = b"Z:" + program.replace(b"/", b"\\")
                words = [platform.arg(a) for a in args]
                result = subprocess.run(platform.helper("nostdout") + [windows_program] + words,
                                        stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, **kwargs)
                status = result.returncode
            else:
                status, _ = scratch.run(args, preexec_fn=lambda: os.close(1), **kwargs)
        elif case.stdout_mode == "full":
            with open("/dev/full", "wb") as full:
                status, _ = scratch.run(args, stdout=full, **kwargs)
        else:
            status, output = scratch.run(args, **kwargs)

        for holder in holders:
            holder.stdin.close()
            holder.wait()
        holders = []

        expected_output = rendered(case.expect_stdout) if case.expect_stdout is not None else None
        expected_exit = case.expect_exit
        if case.linux_exit is not None and not scratch.platform.wine:
            expected_exit = case.linux_exit
        scratch.expect(status, output, expected_exit, expected_output)
        for name, template in case.expect_files:
            scratch.expect_file(name, rendered(template))
        for name in case.expect_absent:
            scratch.expect_absent(name)
        for name in case.expect_unchanged:
            scratch.expect_file(name, scratch.placed[name])
        for folder, names in case.expect_listings:
            path = scratch.at(folder)
            got = sorted(os.listdir(path)) if os.path.isdir(path) else None
            if got != sorted(name.encode("utf-8") for name in names):
                scratch.problems.append(f"{folder} holds {got}, expected {names}")
    finally:
        for holder in holders:
            holder.kill()
    return scratch.problems


def main():
    cases = [Case(p) for p in sorted((HERE / "cases").rglob("*.case"))]
    runs = [(case.name + (f" [{line}]" if len(case.runs) > 1 else ""),
             lambda scratch, case=case, args=args: run_case(case, args, scratch))
            for case in cases for line, args in (case.runs or {"": []}).items()]
    return run_cases(runs, "end-to-end")


if __name__ == "__main__":
    sys.exit(main())
