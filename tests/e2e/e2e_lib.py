"""The library of the end-to-end harnesses (run_e2e.py, faults_big.py,
faults_system.py, linux_user.py): the programs under test and how they are
started, a scratch folder for one run and the checks of what it left, the
program's fixed texts, and the loop that runs cases on every program.

A case is a function that takes a Scratch and gives its problems (a list,
empty when it passed), or None when it does not apply to that program.
"""
import argparse
import hashlib
import os
import pathlib
import shlex
import shutil
import stat
import subprocess
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
        # Where a relative rule file is read from, as the program shows it,
        # and the separator after it: next to the program on Windows, the
        # current folder (here: the scratch root) on Linux.
        self.here, self.sep = (self.dir, b"\\") if platform.wine else (self.root, b"/")
        # The exit status after a user error.
        self.user_error = 0 if platform.wine else 2
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


# The program's fixed texts.

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


