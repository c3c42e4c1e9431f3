#!/usr/bin/env python3
"""End-to-end suite: runs the real program, Linux and Windows (under Wine),
as a process in a scratch directory for every case file in cases/, and
compares standard output, exit status and the resulting files byte for byte.

A case file is UTF-8 text, turned into Shift-JIS with iconv. Its lines:

  # ...                 a comment
  args: WORD WORD ...   the arguments, split at blanks; "{}" is an empty
                        argument, "{sp}" a blank and "{tab}" a tab inside one
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
  expect stdout [(MODE)]:   the exact standard output, from "| " lines
  expect exit: N
  expect file NAME [(MODE)]: the exact bytes of a file after the run
  expect absent: NAME   no such file after the run
  expect unchanged: NAME    the file holds what was placed
  expect listing DIR: NAME ...  the folder holds exactly these names, as
                        UTF-8 bytes on disk ("." for the scratch folder)

Block MODE: "crlf" (the default) ends every "| " line with CR LF, "lf" with
LF, "raw" with nothing; add "noeol" to leave the last line without one, and
"utf8" for a block whose bytes are UTF-8 rather than Shift-JIS.
Inside a block "␍" is CR, "␊" is LF, "\\xHH" a raw byte, "{prog}" the
program's file name and "{dir}" the scratch directory as the program sees it
(Z:\\...). File names on disk and the arguments are UTF-8 for both programs:
each converts them from and to the run's code page.
"""
import argparse
import hashlib
import os
import pathlib
import re
import shlex
import shutil
import stat
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
# Starts a Windows program as scripts/wine-env decided for this machine.
WINE_RUN = str(HERE.parent.parent / "scripts" / "wine-run")


def to_sjis(text):
    if not text:
        return b""
    result = subprocess.run(["iconv", "-f", "UTF-8", "-t", "CP932"], input=text.encode("utf-8"),
                            capture_output=True)
    if result.returncode != 0:
        raise ValueError(f"iconv cannot write {text!r} in code page 932")
    return result.stdout


class Case:
    def __init__(self, path):
        self.path = path
        self.name = str(path.relative_to(HERE / "cases"))
        self.args = []
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
                content = self.block(body, modes)
                name = block.group(3)
                if block.group(1) and block.group(2) == "stdout":
                    self.expect_stdout = content
                elif block.group(1):
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
                self.args = [self.word(w) for w in value.split()]
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
            elif key == "expect absent":
                self.expect_absent.append(value)
            elif key == "expect unchanged":
                self.expect_unchanged.append(value)
            else:
                raise ValueError(f"{self.name}: cannot read line {line!r}")

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
        return Template(text, utf8="utf8" in modes)


class Template(str):
    """A block's text; its bytes are Shift-JIS, or UTF-8 in mode "utf8"."""
    def __new__(cls, text, utf8=False):
        template = super().__new__(cls, text)
        template.utf8 = utf8
        return template


def render(template, prog, dirname):
    """The bytes of a block: Shift-JIS (or UTF-8) text, with the escapes put in."""
    encode = (lambda text: text.encode("utf-8")) if getattr(template, "utf8", False) else to_sjis
    out = b""
    pattern = re.compile(r"␍|␊|\\x([0-9A-Fa-f]{2})|\{prog\}|\{dir\}")
    pos = 0
    for m in pattern.finditer(template):
        out += encode(template[pos:m.start()])
        token = m.group(0)
        if token == "␍":
            out += b"\r"
        elif token == "␊":
            out += b"\n"
        elif token == "{prog}":
            out += encode(prog)
        elif token == "{dir}":
            out += dirname
        else:
            out += bytes([int(m.group(1), 16)])
        pos = m.end()
    return out + encode(template[pos:])


def show(data):
    return data.decode("cp932", errors="backslashreplace").replace("\r", "␍").replace("\n", "␊\n")


class Platform:
    def __init__(self, label, program, helpers, wine=None):
        """wine: the command that starts a Windows program, or None for the
        Linux program."""
        self.label = label
        self.program = pathlib.Path(program).resolve()
        self.helpers = pathlib.Path(helpers).resolve()
        self.wine = wine

    def command(self, program, args):
        """The command line that starts `program` with `args` (bytes)."""
        return (self.wine or []) + [program] + args

    @staticmethod
    def native_name(name):
        """A case's file name as it stands on disk: UTF-8, the system's own
        names, for both programs."""
        return name.replace("\\", "/").encode("utf-8")

    @staticmethod
    def arg(text):
        # Both programs take their arguments in the system's UTF-8 and see
        # them in the run's code page.
        return text if isinstance(text, bytes) else text.encode("utf-8")

    def helper(self, name):
        suffix = ".exe" if self.wine else ""
        return self.command(str(self.helpers / (name + suffix)), [])


def unlock(root):
    for dirpath, dirnames, filenames in os.walk(root):
        for name in filenames + dirnames:
            path = os.path.join(dirpath, name)
            subprocess.run(["chattr", "-i", path], capture_output=True)
            try:
                os.chmod(path, 0o755)
            except OSError:
                pass


MB = 1024 * 1024


class Big:
    """Expected bytes compared by size and SHA-256 only."""
    def __init__(self, data):
        self.size = len(data)
        self.digest = hashlib.sha256(data).hexdigest()

    def differs(self, path):
        if os.path.getsize(path) != self.size:
            return f"{os.path.getsize(path)} bytes, expected {self.size}"
        digest = hashlib.sha256()
        with open(path, "rb") as f:
            for block in iter(lambda: f.read(MB), b""):
                digest.update(block)
        return None if digest.hexdigest() == self.digest else "same size, other bytes"


class Scratch:
    """A scratch folder for one run of one program: the files placed in it,
    the program copied into it, the run, and the checks of what it left."""

    def __init__(self, platform, parent=None):
        self.platform = platform
        self.path = pathlib.Path(tempfile.mkdtemp(prefix="rowdispatch-e2e-", dir=parent))
        self.root = os.fsencode(self.path)
        self.dir = b"Z:" + self.root.replace(b"/", b"\\")  # the folder as the program sees it
        self.prog = platform.program.name
        self.program = None
        self.placed = {}
        self.problems = []

    def at(self, name):
        return os.path.join(self.root, self.platform.native_name(name))

    def place(self, name, data):
        os.makedirs(os.path.dirname(self.at(name)), exist_ok=True)
        with open(self.at(name), "wb") as f:
            f.write(data)
        self.placed[name] = data

    def install(self, folder=""):
        """Copies the program into the folder (the scratch root by default)."""
        program_dir = self.at(folder) if folder else self.root
        os.makedirs(program_dir, exist_ok=True)
        self.program = os.path.join(program_dir, os.fsencode(self.prog))
        shutil.copy(self.platform.program, self.program)
        return self.program

    def command(self, args):
        program = self.program or self.install()
        return self.platform.command(program, [self.platform.arg(a) for a in args])

    def run(self, args, timeout=600, **kwargs):
        """Runs the program to its end; gives its exit status and output."""
        kwargs.setdefault("cwd", self.root)
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        kwargs.setdefault("stdout", subprocess.PIPE)
        kwargs.setdefault("stderr", subprocess.PIPE)
        result = subprocess.run(self.command(args), timeout=timeout, **kwargs)
        return result.returncode, result.stdout

    def expect(self, status, output, expect_status, expect_output):
        if status != expect_status:
            self.problems.append(f"exit status {status}, expected {expect_status}")
        if expect_output is not None and output != expect_output:
            self.problems.append("standard output differs\n--- expected\n" + show(expect_output[:3000]) +
                                 "\n--- got\n" + show((output or b"")[:3000]))

    def expect_file(self, name, want):
        """want: the bytes (or a Big) the file must hold."""
        path = self.at(name)
        try:
            if isinstance(want, Big):
                why = want.differs(path)
                if why:
                    self.problems.append(f"{name[:80]}: {why}")
                return
            with open(path, "rb") as f:
                got = f.read()
        except OSError as error:
            self.problems.append(f"{name[:80]}: {error}")
            return
        if got != want:
            self.problems.append(f"{name[:80]} differs\n--- expected\n" + show(want[:2000]) +
                                 "\n--- got\n" + show(got[:2000]))

    def expect_absent(self, name):
        if os.path.lexists(self.at(name)):
            self.problems.append(f"{name} exists")

    def expect_only(self, files):
        """The files expected, and besides them only those placed, unchanged
        (regular files: a case checks its FIFOs and devices itself)."""
        wanted = {os.path.relpath(self.at(name), self.root): name for name in files}
        for name in self.placed:
            wanted.setdefault(os.path.relpath(self.at(name), self.root), name)
        present = set()
        for dirpath, _, filenames in os.walk(self.root):
            for name in filenames:
                path = os.path.join(dirpath, name)
                if stat.S_ISREG(os.lstat(path).st_mode):  # FIFOs and devices are the case's own
                    present.add(os.path.relpath(path, self.root))
        if self.program:
            present.discard(os.path.relpath(self.program, self.root))
        for rel in sorted(present - set(wanted)):
            self.problems.append(f"unexpected file {rel!r}")
        for rel, name in sorted(wanted.items()):
            self.expect_file(name, files[name] if name in files else self.placed[name])

    def close(self, keep):
        if keep and self.problems:
            print(f"   kept {self.path}")
            return
        unlock(self.path)
        shutil.rmtree(self.path, ignore_errors=True)


def run_case(case, platform, keep):
    scratch = Scratch(platform)
    holders = []
    try:
        def at(name):
            return scratch.at(name)

        def rendered(template):
            return render(template, scratch.prog, scratch.dir)

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
                args = [platform.arg(a) for a in case.args]
                result = subprocess.run(platform.helper("nostdout") + [windows_program] + args,
                                        stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, **kwargs)
                status = result.returncode
            else:
                status, _ = scratch.run(case.args, preexec_fn=lambda: os.close(1), **kwargs)
        elif case.stdout_mode == "full":
            with open("/dev/full", "wb") as full:
                status, _ = scratch.run(case.args, stdout=full, **kwargs)
        else:
            status, output = scratch.run(case.args, **kwargs)

        for holder in holders:
            holder.stdin.close()
            holder.wait()
        holders = []

        expected_output = rendered(case.expect_stdout) if case.expect_stdout is not None else None
        scratch.expect(status, output, case.expect_exit, expected_output)
        for name, template in case.expect_files:
            scratch.expect_file(name, rendered(template))
        for name in case.expect_absent:
            scratch.expect_absent(name)
        for name in case.expect_unchanged:
            scratch.expect_file(name, scratch.placed[name])
        for folder, names in case.expect_listings:
            got = sorted(os.listdir(at(folder))) if os.path.isdir(at(folder)) else None
            if got != sorted(name.encode("utf-8") for name in names):
                scratch.problems.append(f"{folder} holds {got}, expected {names}")
    finally:
        for holder in holders:
            holder.kill()
        scratch.close(keep)
    return scratch.problems


def arguments_and_platforms():
    """The command line both suites take, and the programs it names."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux")
    parser.add_argument("--windows")
    parser.add_argument("--helpers-linux")
    parser.add_argument("--helpers-windows")
    parser.add_argument("--wine", default=WINE_RUN,
                        help="the command that starts a Windows program (default: scripts/wine-run)")
    parser.add_argument("--filter", default="")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder of a failed case")
    args = parser.parse_args()
    platforms = []
    if args.linux:
        platforms.append(Platform("linux", args.linux, args.helpers_linux or "."))
    if args.windows:
        platforms.append(Platform("windows", args.windows, args.helpers_windows or ".",
                                  wine=shlex.split(args.wine)))
    return args, platforms


def report(failed, problems, label, name):
    """Prints a failed run with its problems; gives the new failure count."""
    print(f"FAIL {label} {name}")
    for problem in problems:
        print("   " + problem.replace("\n", "\n   "))
    return failed + 1


# Pieces of the harnesses whose cases are Python functions (faults_big.py,
# faults_system.py, linux_user.py): the program's fixed texts, and the loop
# that runs the cases on every program.

CRLF = b"\r\n"
START = to_sjis("\r\n-------- Start Rowdispatch --------\r\n\r\n")
END = to_sjis("\r\n-------- E N D Rowdispatch --------\r\n\r\n")


def info(text):
    """One console line: Shift-JIS bytes (or the text's own bytes) and CR LF."""
    return (text if isinstance(text, bytes) else to_sjis(text)) + CRLF


def summary(lines, rules, other, width=8):
    """The count report: rules is a list of (key bytes, count)."""
    out = info(f"入力データ件数 : {lines} 件") + info("出力データ件数")
    for key, count in rules + [(to_sjis("上記以外"), other)]:
        out += info(b" - " + (key + b" " * width)[:width] + b" : " + str(count).encode() + to_sjis(" 件"))
    return out


def failure_report(prog, kind, place, message):
    """The two-line failure report."""
    prog = prog if isinstance(prog, bytes) else prog.encode()
    return (to_sjis(f"{kind}がモジュール ") + prog + to_sjis(f" の {place} で発生しました。\n") +
            to_sjis(message) + b"." + CRLF)


def rules_file(*lines):
    return b"".join((line if isinstance(line, bytes) else line.encode()) + CRLF for line in lines)


def run_cases(cases, prefix):
    """Runs (name, case) pairs on every program named on the command line;
    a case takes a Scratch and gives its problems."""
    args, platforms = arguments_and_platforms()
    passed = failed = 0
    started = time.time()
    for name, case in cases:
        if args.filter not in name:
            continue
        for platform in platforms:
            run = Scratch(platform)
            began = time.time()
            try:
                problems = case(run)
            except subprocess.TimeoutExpired:
                problems = ["the program did not end in time"]
            if problems is None:
                run.close(False)
                continue  # the case does not apply to this program
            run.problems = problems
            run.close(args.keep)
            if problems:
                failed = report(failed, problems, platform.label, f"{prefix}/{name}")
            else:
                passed += 1
                print(f"ok   {platform.label} {prefix}/{name} ({time.time() - began:.1f} s)")
    print(f"{prefix} cases on {len(platforms)} programs in {time.time() - started:.0f} s")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


def main():
    args, platforms = arguments_and_platforms()
    cases = [Case(p) for p in sorted((HERE / "cases").rglob("*.case")) if args.filter in str(p)]
    passed = failed = 0
    started = time.time()
    for case in cases:
        for platform in platforms:
            if case.only and case.only != platform.label:
                continue
            problems = run_case(case, platform, args.keep)
            if problems:
                failed = report(failed, problems, platform.label, case.name)
            else:
                passed += 1
    print(f"end-to-end: {len(cases)} cases on {len(platforms)} programs in {time.time() - started:.0f} s")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not cases else 0


if __name__ == "__main__":
    sys.exit(main())
