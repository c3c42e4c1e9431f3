#!/usr/bin/env python3
"""Cases that drive the real program into a real fault of the system around
it, and check every file it leaves byte for byte, with the conventions of
run_e2e.py. Each holds a promise of the program:

  out-of-memory         a line too big for the memory left (ulimit -v): the
                        lines routed before it are in their file
  read-error            the input's second read fails (EIO, injected with
                        strace): the same, and the code is a read fault (30)
  open-race             another run makes and fills the destination while
                        the open waits (strace delays it): its lines stay
  clear-leaves-non-files  /c removes regular files and links (never what a
                        link names), never FIFOs, devices or the program
  path-is-no-option     "/var/tmp/.../in.csv" is the input, not "/v"
  closed-descriptors    started with standard input and output closed, the
                        report lands in no destination
  flock-holder, unlocked-writer  a destination that another program holds
                        by flock, or a destination or input that it has
                        open for writing without any lock, is refused with
                        32 and left as it was
  append-at-the-end     bytes another program appends during the run are
                        never written over; a flock taker meets our lock
  interrupted-SIG...    SIGINT, SIGTERM and SIGHUP while the input waits:
                        the run ends at a line boundary with the report
  hostile-rule-files    a FIFO, /dev/zero and a file over the size limit as
                        rule files end at once, as an unreadable rule file;
                        a rule file of 2 MB is read whole
  program-as-destination  a program path longer than 260 bytes is named
                        right in the report; the running program as a
                        destination is a file in use (32)
  write-fault-sweep     EIO, ENOSPC, EDQUOT at every write of a small run:
                        the failing file keeps its lines before the first
                        one the diagnostic names, the others every line read
  full-disk-then-more   a full tmpfs (a short write, then no space): no file
                        ends inside a line, and the next run's lines are whole
                        (both programs)
  stop-in-endless-line  SIGTERM while 'Z:\\dev\\zero' is read as one line:
                        heard at the next block
  write-of-nothing      a write that takes no byte fails (29), never loops
  few-descriptors       a descriptor limit below the destinations in use:
                        the least recently used are put aside holding their
                        lines, the files those of the run without the limit;
                        a failure past the limit puts every destination back
  few-descriptors-wine  the Windows program under ulimit -n 256 with 300
                        destinations: every file right, status 0
  non-file-destinations  a block device, a terminal, a FIFO and a socket as
                        destinations are refused with 5, nothing written
  deleted-destination   a destination removed while the run writes it ends
                        the run with code 2, never exit 0
  file-size-limit       past ulimit -f a write fails with 223 (EFBIG): a
                        report, not a death by SIGXFSZ
  stop-while-writing    SIGTERM while a console write waits on a full pipe
                        ends the run with the interruption report
  killed-...-then-again  SIGKILL at three points, then the same command: the
                        second run puts the first back, a >> writer's bytes
                        stay (both programs; with Sync=1 too)
  restarted-then-again  a Sync=1 journal left by a power cut: put back after
                        a restart, trusted to its exact ends in the same start
  stop-while-nobody-reads  a request to stop while the console waits on a
                        full pipe nobody reads: the run ends within seconds,
                        put back (both programs)
  sibling-folders       runs making sibling folders at once all succeed
                        (both programs)
  no-proc               without /proc the command line comes from main and
                        the program's file from its name and PATH
  reasons               the line on standard error gives the system's words
                        for the call that failed (EACCES, EIO at the rule
                        file's open: unreadable, not a missing key), or the
                        program's own where it refuses by itself (a lock
                        another program holds, a device as a destination)

Most are Linux only (the fault has no counterpart under Wine); a case that
does not apply to a program is left out for it, and one whose tool is
missing (strace, root for mknod) says so and fails.

  faults_system.py --linux PROG [--windows PROG.exe] [--sanitized]
"""
import fcntl
import os
import re
import resource
import shlex
import shutil
import signal
import socket
import stat
import struct
import subprocess
import sys
import termios
import time

from e2e_lib import CRLF, END, START, failure_report, info, rules_file, run_cases, summary

SANITIZED = "--sanitized" in sys.argv
if SANITIZED:
    sys.argv.remove("--sanitized")

# Prepares Wine as the harness's own Windows runs have it.
WINE_ENV = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-env")

COLUMN_ERROR = (info("Error : チェックするカラムが正しく指定されていません。") + info(" - カラム番号 : -1"))


# A line that a process limited to 300,000 KiB of address space cannot hold.
BIG_LINE = b"B," + b"x" * (150 * 1024 * 1024)


def limit_memory():
    resource.setrlimit(resource.RLIMIT_AS, (300_000 * 1024, 300_000 * 1024))


def linux_only(case):
    def only(run):
        return None if run.platform.wine else case(run)
    only.__name__ = case.__name__
    return only


def two_rules(run, **extra):
    lines = ["[AssortRules]", "ColumnNo=1", "Count=2", "001=[A,a.csv]", "002=[B,b.csv]"]
    lines += [f"{key}={value}" for key, value in extra.items()]
    run.place("rules.ini", rules_file(*lines))


def io_report(run, place, code):
    messages = {2: "ファイルが見つかりません", 5: "ファイルへのアクセスが拒否されました"}
    return failure_report(run.prog, "EInOutError", place, messages.get(code, f"I/O エラー ({code})"))


def waits_in_call(pid, call):
    """Some thread of the process waits in the system call (0 read, 1
    write): the Windows program writes its console on a thread of its own."""
    try:
        tasks = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return False
    for task in tasks:
        try:
            with open(f"/proc/{pid}/task/{task}/syscall") as f:
                if f.read().split()[:1] == [str(call)]:
                    return True
        except OSError:
            pass
    return False


class Paused:
    """The program reading its input from a FIFO that the case feeds, so
    that the case can act while the run waits between two lines."""

    def __init__(self, run, args=("in.csv", "rules.ini"), stdout=subprocess.PIPE, preexec_fn=None):
        os.mkfifo(run.at("in.csv"))
        self.writer = os.open(run.at("in.csv"), os.O_RDWR)  # open without waiting for the reader
        self.process = subprocess.Popen(run.command(list(args)), cwd=run.root, stdin=subprocess.DEVNULL,
                                        stdout=stdout, stderr=subprocess.PIPE, preexec_fn=preexec_fn)

    def feed(self, data):
        """Writes to the input and waits until the program has read it all
        and waits in read() for more."""
        os.write(self.writer, data)
        unread = lambda: struct.unpack("i", fcntl.ioctl(self.writer, termios.FIONREAD, b"\0\0\0\0"))[0]
        self.wait_until(lambda: unread() == 0 and self.in_call(0), "wait for input")

    def in_call(self, call):
        """The program waits in the system call (0 read, 1 write), on any of
        its threads (the Windows program's waits may be on another)."""
        return waits_in_call(self.process.pid, call)

    def catches(self, number):
        """The program has a handler for the signal (one that resets itself
        on delivery: so the signal has come when this turns false)."""
        caught = [line.split()[1] for line in self.status("status").splitlines() if line.startswith("SigCgt:")]
        return bool(caught) and int(caught[0], 16) & (1 << (number - 1)) != 0

    def status(self, name):
        try:
            with open(f"/proc/{self.process.pid}/{name}") as f:
                return f.read()
        except OSError:
            return ""

    def wait_until(self, ready, what):
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            if ready():
                return
            time.sleep(0.01)
        raise RuntimeError(f"the program did not come to {what}")

    def finish(self, close_input=True):
        """Ends the input (unless the program is to end by itself first) and
        gives the exit status and the output."""
        if close_input:
            os.close(self.writer)
        output, self.errors = self.process.communicate(timeout=60)
        if not close_input:
            os.close(self.writer)
        return self.process.returncode, output


@linux_only
def out_of_memory(run):
    if SANITIZED:
        return None  # the sanitizers reserve more address space than the limit
    two_rules(run)
    run.place("in.csv", b"A,first\r\n" + BIG_LINE + b"\r\n")
    status, output = run.run(["in.csv", "rules.ini"], preexec_fn=limit_memory)
    run.expect(status, output, 1, START + failure_report(run.prog, "EOutOfMemory", "00000601", "メモリが足りません"))
    run.expect_only({})
    return run.problems


@linux_only
def many_long_values(run):
    """Distinct routing values far larger in all than the memory left: the
    run keeps no more of them than a line's worth."""
    if SANITIZED:
        return None  # the sanitizers reserve more address space than the limit
    two_rules(run)
    lines = [b"%06d" % i + b"v" * 40000 + b",x\r\n" for i in range(2000)]
    run.place("in.csv", b"".join(lines))

    def limit():
        resource.setrlimit(resource.RLIMIT_AS, (60_000 * 1024, 60_000 * 1024))

    status, output = run.run(["in.csv", "rules.ini"], preexec_fn=limit)
    run.expect(status, output, 0, START + summary(2000, [(b"A", 0), (b"B", 0)], 2000) + END)
    run.expect_only({"Default.csv": b"".join(lines)})
    return run.problems


def under_strace(run, strace_args, args):
    if not shutil.which("strace"):
        return None, None, ["strace is not installed (scripts/setup installs it)"]
    command = ["strace", "-f", "-o", "/dev/null"] + strace_args + run.command(args)
    result = subprocess.run(command, cwd=run.root, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=120)
    return result.returncode, result.stdout, []


def injected(path, fault, placed, place, code, files):
    """A fault injected with strace into the calls on one file: the report
    with its place and code, and the files as they must be left."""
    @linux_only
    def case(run):
        two_rules(run)
        for name, data in placed.items():
            run.place(name, data)
        status, output, problems = under_strace(
            run, ["-P", os.fsdecode(run.at(path)), "-e", "trace=" + fault.split(":")[0], "-e", "inject=" + fault],
            ["in.csv", "rules.ini"])
        if problems:
            return problems
        run.expect(status, output, 1, START + io_report(run, place, code))
        run.expect_only(files)
        return run.problems
    return case


@linux_only
def open_race(run):
    two_rules(run, Default="all.csv")
    run.place("in.csv", b"mine\r\n")
    target = run.at("all.csv")
    if not shutil.which("strace"):
        return ["strace is not installed (scripts/setup installs it)"]
    command = ["strace", "-f", "-o", "/dev/null", "-P", os.fsdecode(target), "-e", "trace=openat",
               "-e", "inject=openat:delay_enter=3000000"] + run.command(["in.csv", "rules.ini"])
    process = subprocess.Popen(command, cwd=run.root, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    time.sleep(0.5)  # the open now waits in strace
    try:
        fd = os.open(target, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    except FileExistsError:
        process.communicate(timeout=60)
        return ["the program made the destination before the other run could: nothing was tried"]
    os.write(fd, b"other\r\n")
    os.close(fd)
    output, _ = process.communicate(timeout=60)
    run.expect(process.returncode, output, 0, START + summary(1, [(b"A", 0), (b"B", 0)], 1) + END)
    run.expect_file("all.csv", b"other\r\nmine\r\n")
    return run.problems


@linux_only
def clear_leaves_non_files(run):
    os.mkfifo(run.at("fifo"))
    device = os.geteuid() == 0
    if device:
        os.mknod(run.at("null"), 0o666 | stat.S_IFCHR, os.makedev(1, 3))
    run.place("target.csv", b"kept\r\n")
    os.symlink("target.csv", run.at("link.csv"))
    run.place("r.csv", b"old\r\n")
    run.install()
    entries = ["001=[F,fifo]", "002=[N,null]", f"003=[P,{run.prog}]", "004=[L,link.csv]", "005=[R,r.csv]"]
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=5", *entries))
    run.place("in.csv", b"x\r\n")
    status, output = run.run(["in.csv", "rules.ini", "/c", "/o"])
    keys = [(b"F", 0), (b"N", 0), (b"P", 0), (b"L", 0), (b"R", 0)]
    run.expect(status, output, 0, START + summary(1, keys, 1) + END)
    kinds = {"fifo": stat.S_ISFIFO, run.prog: stat.S_ISREG}
    if device:
        kinds["null"] = stat.S_ISCHR
    for name, is_kind in kinds.items():
        if not os.path.lexists(run.at(name)) or not is_kind(os.lstat(run.at(name)).st_mode):
            run.problems.append(f"{name} was removed or replaced")
    run.expect_absent("link.csv")
    run.expect_absent("r.csv")
    run.expect_file("target.csv", b"kept\r\n")
    if not device:
        run.problems.append("not root: the device node was not tried")
    return run.problems


@linux_only
def path_is_no_option(run):
    # /var/tmp: a path whose first letter is the option /v.
    moved = run.__class__(run.platform, parent="/var/tmp")
    try:
        two_rules(moved)
        moved.place("in.csv", b"A,1\r\nz\r\n")
        status, output = moved.run([os.fsdecode(moved.at("in.csv")), "rules.ini", "/o/c"])
        # "/o/c" names nothing: it stays the options /o (only the first letter counts).
        moved.expect(status, output, 0, START + summary(2, [(b"A", 1), (b"B", 0)], 1) + END)
        moved.expect_only({})
        return moved.problems
    finally:
        moved.close(False)


@linux_only
def closed_descriptors(run):
    if SANITIZED:
        return None
    two_rules(run)
    run.place("in.csv", b"z\r\n" + BIG_LINE + b"\r\n")

    def close_standard():
        os.close(0)
        os.close(1)
        limit_memory()

    # Default.csv, the first file opened after the input, would have taken
    # descriptor 1, and the report with it.
    status, _ = run.run(["in.csv", "rules.ini", "/s"], stdin=None, stdout=None, preexec_fn=close_standard)
    run.expect(status, None, 1, None)
    run.expect_only({})
    return run.problems


def held_file(run, hold, name="a.csv", place="00000201", made=None):
    """The file `name` held by another process while the run opens it:
    refused with 32 at `place`, every file as it was. The input ends inside
    a line, as one that a writer is still writing."""
    two_rules(run)
    run.place("a.csv", b"keep\r\n")
    run.place("in.csv", b"A,1\r\nB,half")
    holder = hold(run.at(name))
    try:
        status, output = run.run(["in.csv", "rules.ini"])
    finally:
        os.close(holder)
    run.expect(status, output, 1, START + io_report(run, place, 32))
    run.expect_only({} if made is None else made)
    return run.problems


@linux_only
def flock_holder(run):
    def hold(path):
        fd = os.open(path, os.O_RDONLY)
        fcntl.flock(fd, fcntl.LOCK_EX)
        return fd
    return held_file(run, hold)


@linux_only
def unlocked_writer(run):
    # As a shell's `exec 3>>a.csv`: open for appending, no lock at all; the
    # destination, then the input.
    def hold(path):
        return os.open(path, os.O_WRONLY | os.O_APPEND)
    held_file(run, hold)
    return held_file(run, hold, "in.csv", "00000101", {})


@linux_only
def append_at_the_end(run):
    two_rules(run)
    run.place("a.csv", b"")
    paused = Paused(run)
    paused.feed(b"A,1\r\n")  # a.csv is open now, the line pending
    try:
        probe = os.open(run.at("a.csv"), os.O_RDONLY)
        try:
            fcntl.flock(probe, fcntl.LOCK_EX | fcntl.LOCK_NB)
            run.problems.append("a flock taker did not meet the program's lock")
        except BlockingIOError:
            pass
        finally:
            os.close(probe)
        with open(run.at("a.csv"), "ab") as other:
            other.write(b"other\r\n")
        paused.feed(b"A,2\r\n")
    finally:
        status, output = paused.finish()
    run.expect(status, output, 0, START + summary(2, [(b"A", 2), (b"B", 0)], 0) + END)
    run.expect_file("a.csv", b"other\r\nA,1\r\nA,2\r\n")
    return run.problems


def interrupted(number):
    # Linux only: the Windows program hears Ctrl+C while its read of a pipe
    # waits only when the next bytes or the end come.
    @linux_only
    def case(run):
        two_rules(run)
        run.place("a.csv", b"A,old\r\n")
        paused = Paused(run)
        # The long line reaches a.csv at once: the run has written it.
        paused.feed(b"A," + b"1" * 40000 + b"\r\nB,2\r\nA,3\r\nB,part")
        paused.process.send_signal(number)
        status, output = paused.finish(close_input=False)
        run.expect(status, output, 1, START + failure_report(run.prog, "EControlC", "00000701", "処理が中断されました"))
        if not paused.errors.startswith(PUT_BACK):
            run.problems.append(f"standard error: {paused.errors!r}")
        run.expect_only({})
        return run.problems
    return case


@linux_only
def hostile_rule_files(run):
    os.mkfifo(run.at("rules.fifo"))
    run.place("big.ini", rules_file("[AssortRules]", "ColumnNo=1") + b";" * (4 * 1024 * 1024))
    run.place("in.csv", b"x\r\n")
    for rules in ["rules.fifo", "Z:\\dev\\zero", "big.ini"]:
        status, output = run.run(["in.csv", rules], timeout=30)
        if output != START + COLUMN_ERROR + END or status != run.user_error:
            run.problems.append(f"{rules}: exit status {status}, output {output[:300]!r}")
    # 1,000 rules of 2 KB: read whole, once.
    entries = [f"{n % 1000:03d}=[R{n},f{n}.csv," + "p" * 2000 + "]" for n in range(1, 1001)]
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1000", *entries))
    run.place("in.csv", b"R7,a\r\nR1000,b\r\n")
    status, output = run.run(["in.csv", "rules.ini"])
    counts = [(f"R{n}".encode(), 1 if n in (7, 1000) else 0) for n in range(1, 1001)]
    run.expect(status, output, 0, START + summary(2, counts, 0) + END)
    run.expect_only({"f7.csv": b"R7,a\r\n", "f1000.csv": b"R1000,b\r\n", "Default.csv": b""})
    return run.problems


@linux_only
def program_as_destination(run):
    folder = "d" * 120 + "/" + "e" * 120
    run.install(folder)
    run.place(folder + "/rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1", f"001=[P,{run.prog}]"))
    run.place("in.csv", b"P,1\r\n")
    if len(run.program) <= 260:
        return ["the program's path is not longer than 260 bytes"]
    # The rule file is next to the program: run from there on Linux, where a
    # relative rule file is the one in the current folder.
    if run.platform.wine:
        status, output = run.run(["in.csv", "rules.ini"])
    else:
        status, output = run.run([run.at("in.csv"), "rules.ini"], cwd=run.at(folder))
    run.expect(status, output, 1, START + io_report(run, "00000201", 32))
    run.expect_only({})
    return run.problems


# The write-fault cases: three destinations, lines of 600 to 900 bytes and
# one longer than a write block, so that each file takes several writes.
SWEEP_RULES = ("[AssortRules]", "ColumnNo=1", "Count=2", "001=[A,a.csv]", "002=[B,b.csv]", "Default=d.csv")
SWEEP_FILES = {"A": "a.csv", "B": "b.csv", "x": "d.csv"}

def sweep_lines(count, width):
    lines = [f"{'ABAx'[n % 4]},{n:04d},".encode() + b"q" * (width + n % 7 * 50) for n in range(1, count + 1)]
    lines[count // 2] = b"A,big," + b"z" * 40_000
    return lines


def routed(lines, name, upto):
    """The bytes the file of `name` holds when lines 1 to `upto` are routed."""
    return b"".join(line + CRLF for line in lines[:upto] if SWEEP_FILES[chr(line[0])] == name)


def held_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


@linux_only
def write_fault_sweep(run):
    """EIO and ENOSPC at every write of a small run (a.csv held a line
    before): the failed run leaves every destination as it was, byte for
    byte, says so, and leaves no journal; past the last write the run is
    whole, and the files hold their earlier bytes and the run's lines."""
    if not shutil.which("strace"):
        return ["strace is not installed (scripts/setup installs it)"]
    run.place("rules.ini", rules_file(*SWEEP_RULES))
    lines = sweep_lines(150, 600)
    run.place("in.csv", b"".join(line + CRLF for line in lines))
    watched = []
    for name in SWEEP_FILES.values():
        watched += ["-P", os.fsdecode(run.at(name))]
    for error, code in [("EIO", 29), ("ENOSPC", 112)]:
        for when in range(1, 30):
            for name in SWEEP_FILES.values():
                if os.path.exists(run.at(name)):
                    os.remove(run.at(name))
            run.place("a.csv", b"A,old\r\n")
            command = (["strace", "-f", "-o", "/dev/null"] + watched +
                       ["-e", "trace=write", "-e", f"inject=write:error={error}:when={when}"] +
                       run.command(["in.csv", "rules.ini"]))
            result = subprocess.run(command, cwd=run.root, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
            label = f"{error} at write {when}: "
            if result.returncode == 0:
                problems = len(run.problems)
                run.expect_only({"a.csv": b"A,old\r\n" + routed(lines, "a.csv", len(lines)),
                                 "b.csv": routed(lines, "b.csv", len(lines)), "d.csv": routed(lines, "d.csv", len(lines))})
                if len(run.problems) > problems:
                    run.problems.insert(problems, label + "the whole run")
                break  # past the last write: the run was whole
            reports = [START + io_report(run, place, code) for place in ("00000202", "00000203")]
            if result.returncode != 1 or result.stdout not in reports or not result.stderr.startswith(PUT_BACK):
                run.problems.append(label + f"exit status {result.returncode}, output {result.stdout[:300]!r}, "
                                    f"errors {result.stderr[:300]!r}")
            problems = len(run.problems)
            run.expect_only({"a.csv": b"A,old\r\n"})
            if len(run.problems) > problems:
                run.problems.insert(problems, label + "not put back")
        else:
            run.problems.append(f"{error}: the run never got past its writes")
    return run.problems


# 60 rules taking turns, a new one on most lines; rule 51 names f1.csv by a
# second spelling, first met after f1.csv was put aside holding a line;
# K2's lines are 3 KB long, so that its buffer fills while it is aside.
FEW_KEYS = range(1, 61)
FEW_LINES = [f"K{(n * 7) % 60 + 1},{n}".encode() + (b"," + b"x" * 3000 if (n * 7) % 60 == 1 else b"")
             for n in range(1200)]


def few_descriptors_input(run):
    entries = [f"{n:03d}=[K{n},{'.' + chr(92) + 'f1' if n == 51 else f'f{n}'}.csv]" for n in FEW_KEYS]
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=60", *entries))
    run.place("in.csv", b"".join(line + CRLF for line in FEW_LINES))


def few_descriptors_limit(descriptors, size=None):
    def limit():
        resource.setrlimit(resource.RLIMIT_NOFILE, (descriptors, descriptors))
        if size:
            resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
    return limit


@linux_only
def few_descriptors(run):
    """A descriptor limit of 40 and 60 destinations taking turns: those used
    least recently are put aside holding their lines and opened again when
    their buffer fills or the run ends; every file holds its lines in input
    order, byte for byte as the run without the limit writes them, the two
    spellings of one file too."""
    few_descriptors_input(run)
    expected = {f"f{n}.csv": b"".join(line + CRLF for line in FEW_LINES
                                      if line.split(b",")[0] in ({b"K1", b"K51"} if n == 1 else {f"K{n}".encode()}))
                for n in FEW_KEYS if n != 51}
    expected["Default.csv"] = b""
    for limit in (few_descriptors_limit(40), None):
        status, output = run.run(["in.csv", "rules.ini"], preexec_fn=limit)
        run.expect(status, output, 0, START + summary(1200, [(f"K{n}".encode(), 20) for n in FEW_KEYS], 0) + END)
        run.expect_only(expected)
        for name in expected:
            os.unlink(run.at(name))
    return run.problems


@linux_only
def few_descriptors_then_failure(run):
    """The same run past the descriptor limit, and past a file-size limit
    when K2's file grows: the write fails (223), and every destination is
    put back, those holding lines aside and f3.csv, there before, too."""
    few_descriptors_input(run)
    run.place("f3.csv", b"old\r\n")
    status, output = run.run(["in.csv", "rules.ini"], preexec_fn=few_descriptors_limit(40, 40_000))
    run.expect(status, output, 1, START + io_report(run, "00000203", 223))
    run.expect_only({})
    return run.problems


def few_descriptors_wine(run):
    """Under Wine, whose program holds a descriptor for every handle: the
    program under a limit of 256 with 300 destinations taking turns, the
    wine server (started here unless one runs) under 4096, so that the
    server is not the one to run out. Those used least recently are put
    aside and opened again, and every file holds its lines in input order
    (once: 245 files, then "too many open files")."""
    if not run.platform.wine:
        return None
    limit, count = 256, 300
    # A first program starts the prefix's services, which outlive it
    # holding its output: one of their own, not the case's pipes.
    start = f'source {shlex.quote(WINE_ENV)} && ulimit -n 4096 && (wineserver -p 60 || true) && ' \
            '"$ROWDISPATCH_WINE_LOADER" cmd /c rem'
    subprocess.run(["bash", "-c", start],
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    entries = [f"{n:03d}=[K{n},f{n}.csv]" for n in range(1, count + 1)]
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", f"Count={count}", *entries))
    lines = [f"K{(n * 7) % count + 1},{n}".encode() for n in range(count * 10)]
    run.place("in.csv", b"".join(line + CRLF for line in lines))

    status, output = run.run(["in.csv", "rules.ini"], preexec_fn=few_descriptors_limit(limit))
    run.expect(status, output, 0,
               START + summary(count * 10, [(f"K{n}".encode(), 10) for n in range(1, count + 1)], 0) + END)
    files = {f"f{n}.csv": b"".join(line + CRLF for line in lines if line.split(b",")[0] == f"K{n}".encode())
             for n in range(1, count + 1)}
    run.expect_only(dict(files, **{"Default.csv": b""}))
    return run.problems


def full_disk_then_more(run):
    """A destination folder on a full tmpfs: the run stops with 112 (a short
    write, then no space) and is put back; once space is freed, the next run
    writes its lines whole."""
    if os.geteuid() != 0:
        return ["not root: no tmpfs could be mounted"]
    os.mkdir(run.at("disk"))
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256k", "rowdispatch-test", run.at("disk")], check=True)
    try:
        run.place("disk/filler", b"f" * 96 * 1024)
        rules = [rule.replace("=[A,", "=[A,disk\\").replace("=[B,", "=[B,disk\\") for rule in SWEEP_RULES]
        rules[-1] = "Default=disk\\d.csv"
        run.place("rules.ini", rules_file(*rules))
        first = sweep_lines(400, 500)
        run.place("in.csv", b"".join(line + CRLF for line in first))
        status, output = run.run(["in.csv", "rules.ini"])
        # Both programs: a short write goes on with the rest, whose failure
        # is the full disk (112), never a write fault (29).
        reports = [START + io_report(run, place, 112) for place in ("00000202", "00000203")]
        if status != 1 or output not in reports:
            run.problems.append(f"full: exit status {status}, output {output[:300]!r}")
        # Put back: the files the run made are gone again, the folder holds
        # no journal.
        if sorted(os.listdir(run.at("disk"))) != [b"filler"]:
            run.problems.append(f"full: the disk holds {sorted(os.listdir(run.at('disk')))}")
        os.remove(run.at("disk/filler"))
        second = [f"{'ABx'[n % 3]},again{n}".encode() for n in range(30)]
        run.place("in.csv", b"".join(line + CRLF for line in second))
        status, output = run.run(["in.csv", "rules.ini"])
        counts = [(b"A", 10), (b"B", 10)]
        run.expect(status, output, 0, START + summary(30, counts, 10) + END)
        for name in SWEEP_FILES.values():
            run.expect_file("disk/" + name, routed(second, name, len(second)))
    finally:
        subprocess.run(["umount", run.at("disk")])
    return run.problems


@linux_only
def stop_in_endless_line(run):
    """A stop request while the input is one endless line ('Z:\\dev\\zero',
    each read slowed down so that the line grows slowly): heard at the next
    block, with the report, long before memory runs out."""
    if not shutil.which("strace"):
        return ["strace is not installed (scripts/setup installs it)"]
    two_rules(run)
    command = (["strace", "-f", "-o", "/dev/null", "-P", "/dev/zero", "-e", "trace=read",
                "-e", "inject=read:delay_exit=20000"] + run.command(["Z:\\dev\\zero", "rules.ini"]))
    process = subprocess.Popen(command, cwd=run.root, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, preexec_fn=None if SANITIZED else limit_memory)
    program = None
    deadline = time.monotonic() + 30
    while program is None and time.monotonic() < deadline:
        time.sleep(0.1)
        try:
            with open(f"/proc/{process.pid}/task/{process.pid}/children") as f:
                children = f.read().split()
            if children:
                with open(f"/proc/{children[0]}/cmdline", "rb") as f:
                    program = int(children[0]) if b"rules.ini" in f.read() else None
        except OSError:
            program = None
    if program is None:
        process.kill()
        return ["the program did not start under strace"]
    time.sleep(0.5)  # a few blocks of the endless line read
    os.kill(program, signal.SIGTERM)
    output, _ = process.communicate(timeout=60)
    run.expect(process.returncode, output, 1,
               START + failure_report(run.prog, "EControlC", "00000701", "処理が中断されました"))
    run.expect_only({})
    return run.problems


def one_rule(run, destination):
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1", f"001=[A,{destination}]"))


@linux_only
def non_file_destinations(run):
    if os.geteuid() != 0 or not shutil.which("losetup"):
        return ["needs root and losetup for the block device"]
    image = bytes(range(256)) * 256
    run.place("disk.img", image)
    loop = subprocess.run(["losetup", "-f", "--show", run.at("disk.img")], capture_output=True)
    if loop.returncode != 0:
        return [f"losetup: {loop.stderr.decode(errors='replace').strip()}"]
    device = loop.stdout.decode().strip()
    master, terminal = os.openpty()
    os.set_blocking(master, False)
    os.mkfifo(run.at("fifo"))
    fifo = os.open(run.at("fifo"), os.O_RDONLY | os.O_NONBLOCK)
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listener.bind(run.at("socket"))
    listener.listen(1)
    listener.setblocking(False)
    run.place("in.csv", b"A,x\r\n")
    try:
        for name in [device, os.ttyname(terminal), "fifo", "socket"]:
            one_rule(run, name)
            status, output = run.run(["in.csv", "rules.ini"])
            run.expect(status, output, 1, START + io_report(run, "00000201", 5))
        for name, reader in [("terminal", lambda: os.read(master, 100)), ("fifo", lambda: os.read(fifo, 100)),
                             ("socket", lambda: listener.accept())]:
            try:
                got = reader()
                if got:
                    run.problems.append(f"the {name} received {got!r}")
            except BlockingIOError:
                pass
    finally:
        subprocess.run(["losetup", "-d", device])
        listener.close()
        for fd in (master, terminal, fifo):
            os.close(fd)
    run.expect_only({})  # disk.img among the files placed, unchanged
    return run.problems


@linux_only
def deleted_destination(run):
    two_rules(run)
    paused = Paused(run)
    try:
        # a.csv is open now, and its first line, longer than a block, is
        # already in the file
        paused.feed(b"A," + b"1" * 40000 + b"\r\n")
        os.unlink(run.at("a.csv"))
        paused.feed(b"A,2\r\n")
    finally:
        status, output = paused.finish()
    run.expect(status, output, 1, START + io_report(run, "00000203", 2))
    run.expect_only({})
    # Nothing of the run is left anywhere: the same command may run again.
    if b"every destination put back: run the same command again)" not in paused.errors:
        run.problems.append(f"standard error does not send the user to run again: {paused.errors!r}")
    return run.problems


@linux_only
def file_size_limit(run):
    two_rules(run)
    limit = 7 * 600
    run.place("a.csv", b"A,old\r\n" * 600)  # as large as the limit allows
    run.place("in.csv", b"B,1\r\nA,1\r\n")

    def limit_size():
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    status, output = run.run(["in.csv", "rules.ini"], preexec_fn=limit_size)
    run.expect(status, output, 1, START + io_report(run, "00000203", 223))
    run.expect_only({})
    return run.problems


@linux_only
def stop_while_writing(run):
    two_rules(run)
    reader, writer = os.pipe()
    fcntl.fcntl(reader, fcntl.F_SETPIPE_SZ, 4096)
    # A description of the pipe of our own, so that not waiting on it does
    # not change the program's.
    filler = os.open(f"/proc/self/fd/{writer}", os.O_WRONLY | os.O_NONBLOCK)
    paused = Paused(run, stdout=writer)
    os.close(writer)
    output = b""
    try:
        paused.feed(b"A,1\r\n")
        try:  # the pipe full while the program waits for input; nobody reads
            while True:
                os.write(filler, b"f" * 512)
        except BlockingIOError:
            pass
        os.close(filler)
        os.close(paused.writer)  # the end of the input: the summary finds the pipe full
        paused.wait_until(lambda: paused.in_call(1), "wait in write()")
        paused.process.send_signal(signal.SIGTERM)
        paused.wait_until(lambda: not paused.catches(signal.SIGTERM), "take the signal")  # before anyone reads
        while chunk := os.read(reader, 65536):
            output += chunk
        paused.process.wait(timeout=60)
    finally:
        os.close(reader)
        if paused.process.poll() is None:
            paused.process.kill()
    run.expect(paused.process.returncode, None, 1, None)
    report = failure_report(run.prog, "EControlC", "00000701", "処理が中断されました")
    if not output.endswith(report) or END in output:
        run.problems.append(f"output: {output.lstrip(b'f')[:600]!r}")
    run.expect_only({})
    return run.problems


def sibling_folders(run):
    """Two runs at once, each making its own folder at the end of one long
    chain of new folders: the one that finds a folder of the chain made by
    the other goes on."""
    chain = "\\".join(["d"] * 40)
    run.place("in.csv", b"x\r\n")
    for k in range(2):
        run.place(f"r{k}.ini", rules_file("[AssortRules]", "ColumnNo=1", f"Default={chain}\\s{k}\\x.csv"))
    for _ in range(20):
        runs = [subprocess.Popen(run.command(["in.csv", f"r{k}.ini"]), cwd=run.root, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE) for k in range(2)]
        for process in runs:
            output, _ = process.communicate(timeout=120)
            run.expect(process.returncode, output, 0, START + summary(1, [], 1) + END)
        for k in range(2):
            run.expect_file(f"{chain}/s{k}/x.csv", b"x\r\n")
        shutil.rmtree(run.at("d"), ignore_errors=True)
        if run.problems:
            break
    return run.problems


@linux_only
def no_proc(run):
    """Without /proc the arguments still come (from main), and the program
    still knows its own file (from its name, as the shell found it): the
    report names it, and it is no destination. When nothing names it, the
    report names no program."""
    if SANITIZED:
        return None  # the sanitizers' runtime reads /proc before main
    if os.geteuid() != 0 or not shutil.which("unshare"):
        return ["needs root and unshare to hide /proc"]
    program = run.install("bin")
    run.place("here/rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1",
                                           f"001=[A,{os.fsdecode(program)}]"))
    run.place("here/in.csv", b"A,1\r\n")
    hide = 'mount -t tmpfs none /proc && exec -a "$0" "$@"'
    rows = [("../bin/" + run.prog, "/usr/bin:/bin", run.prog),  # a path from the current folder
            (run.prog, "/usr/bin:/bin:" + os.fsdecode(run.at("bin")), run.prog),  # a name along PATH
            ("no-such-program", "/usr/bin:/bin", "")]
    for name, path, shown in rows:
        result = subprocess.run(["unshare", "-m", "bash", "-c", hide, name, program, "in.csv", "rules.ini"],
                                cwd=run.at("here"), env=dict(os.environ, PATH=path), stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=120)
        report = failure_report(shown, "EInOutError", "00000201", "I/O エラー (32)")
        run.expect(result.returncode, result.stdout, 1, START + report)
        run.expect_only({})
        if run.problems:
            return [f"started as {name!r} with PATH={path}: {result.stderr[:300]!r}"] + run.problems
    with open(program, "rb") as mine, open(run.platform.program, "rb") as built:
        if mine.read() != built.read():
            run.problems.append("the program's file was written to")
    return run.problems


@linux_only
def reasons(run):
    if not shutil.which("strace"):
        return ["strace is not installed (scripts/setup installs it)"]
    root = os.fsdecode(run.root)
    run.place("in.csv", b"A,1\r\n")
    opened = " (line 1 of the input; 0 lines routed)\n"

    def hold_by_flock():
        fd = os.open(run.at("a.csv"), os.O_RDONLY)  # not open for writing: only the lock refuses
        fcntl.flock(fd, fcntl.LOCK_EX)
        return fd

    def injected_at_rule_file(error):
        return ["strace", "-f", "-o", "/dev/null", "-P", os.fsdecode(run.at("rules.ini")), "-e", "trace=openat",
                "-e", f"inject=openat:error={error}"]

    column_error = START + COLUMN_ERROR + END
    rows = [  # destination, holder, command prefix, status, output, the line after "rowdispatch: "
        ("a.csv", hold_by_flock, [], 1, START + io_report(run, "00000201", 32),
         f"cannot open destination {root}/a.csv for appending: locked by another program" + opened),
        ("/dev/null", None, [], 1, START + io_report(run, "00000201", 5),
         "cannot open destination /dev/null for appending: is a device, not a regular file" + opened),
        ("a.csv", None, injected_at_rule_file("EACCES"), 2, column_error,
         f"cannot read rule file {root}/rules.ini: Permission denied (no input line read)\n"),
        ("a.csv", None, injected_at_rule_file("EIO"), 2, column_error,
         f"cannot read rule file {root}/rules.ini: Input/output error (no input line read)\n"),
    ]
    for destination, hold, prefix, want_status, want_output, want_line in rows:
        one_rule(run, destination)
        run.place("a.csv", b"kept\r\n")
        holder = hold() if hold else None
        try:
            result = subprocess.run(prefix + run.command(["in.csv", "rules.ini"]), cwd=run.root,
                                    stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        finally:
            if holder is not None:
                os.close(holder)
        run.expect(result.returncode, result.stdout, want_status, want_output)
        # A failure in the pass puts the default destination back first.
        if result.stderr != (PUT_BACK if want_status == 1 else b"") + b"rowdispatch: " + want_line.encode():
            run.problems.append(f"{destination} {prefix[-1:]}: standard error {result.stderr!r}")
        run.expect_file("a.csv", b"kept\r\n")
        if os.path.exists(run.at("Default.csv")):
            os.unlink(run.at("Default.csv"))
    return run.problems


PUT_BACK = b"rowdispatch: every destination was put back as it was before the run\n"
EARLIER = re.compile(rb"rowdispatch: a run that did not end left its journal \S+\.rowdispatch-\d+\.journal: its "
                     rb"destinations were put back as they were before it(; left as they are, [^\n]*: (.*))?\n")


def killed_then_again(point, sync=False):
    """SIGKILL while the run waits for input at a point of its work; a
    program appending with >> to b.csv meanwhile. The second run puts the
    first one's destinations back (saying so in one line) and adds exactly
    its own lines: the appended bytes stay, with Sync=1 too, whose journal
    announces ends 8 MiB ahead (the same start of the system: the exact
    ends count)."""
    feeds, append = point

    def case(run):
        two_rules(run, **({"Sync": "1"} if sync else {}))
        run.place("a.csv", b"A,old\r\n")
        run.place("b.csv", b"B,old\r\n")
        paused = Paused(run)
        for data in feeds:
            paused.feed(data)
        if append:
            with open(run.at("b.csv"), "ab") as other:
                other.write(b"appended\r\n")
        paused.process.kill()
        paused.finish(close_input=False)
        os.unlink(run.at("in.csv"))
        run.place("in.csv", b"A,2\r\nB,2\r\nx,2\r\n")
        result = subprocess.run(run.command(["in.csv", "rules.ini"]), cwd=run.root, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=120)
        status, output, errors = result.returncode, result.stdout, result.stderr
        run.expect(status, output, 0, START + summary(3, [(b"A", 1), (b"B", 1)], 1) + END)
        # b.csv, written by the killed run and appended to after, is left as
        # it is, and named; appended to only, it is no business of the run.
        changed = LONG_B in feeds
        found = EARLIER.fullmatch(errors)
        named = (found.group(2) or b"") if found else None
        if errors if run.platform.wine else named != (os.fsencode(run.at("b.csv")) if changed else b""):
            run.problems.append(f"standard error: {errors!r}")  # the Windows program writes nothing there
        b_before = b"B,old\r\n" + (LONG_B if changed else b"") + (b"appended\r\n" if append else b"")
        run.expect_only({"a.csv": b"A,old\r\nA,2\r\n", "b.csv": b_before + b"B,2\r\n", "Default.csv": b"x,2\r\n"})
        return run.problems
    return case


LONG_A = b"A," + b"1" * 40000 + b"\r\n"
LONG_B = b"B," + b"2" * 40000 + b"\r\n"
# What the killed run had done: opened the default only; written a long line
# to a.csv; written to both, with another program appending to b.csv after.
KILL_POINTS = {"opened": ([b"x,1\r\n"], False), "one-written": ([LONG_A, b"x,1\r\n"], True),
               "both-written": ([LONG_A, LONG_B, b"B,3\r\n"], True)}


def restarted_then_again(same_start):
    """The journal of a Sync=1 run that a power cut ended, as the disk kept
    it: the open record and the end announced ahead, the exact ends lost,
    a.csv holding some of the run's bytes past its old size. After a restart
    (another start of the system) a.csv is put back; in the same start the
    journal's exact ends count, and a.csv, longer than they say, is left as
    it is and named."""
    @linux_only
    def case(run):
        two_rules(run, Sync="1")
        run.place("a.csv", b"A,old\r\n")
        with open(run.at("a.csv"), "ab") as f:
            f.write(b"A,1\r\nA,2\r\n")  # the dead run's bytes, not placed
        info = os.stat(run.at("a.csv"))
        with open("/proc/sys/kernel/random/boot_id", "rb") as f:
            start = f.read().strip() if same_start else b"00000000-0000-0000-0000-000000000000"
        journal = (b"rowdispatch journal 1 932\nB " + start + b"\n" +
                   b"O 0 0 %d %d 7 " % (info.st_dev, info.st_ino) + run.root + b"\\a.csv\nA 0 8388615\n")
        with open(run.at(".rowdispatch-0.journal"), "wb") as f:
            f.write(journal)
        run.place("in.csv", b"B,2\r\n")
        result = subprocess.run(run.command(["in.csv", "rules.ini"]), cwd=run.root, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=120)
        run.expect(result.returncode, result.stdout, 0, START + summary(1, [(b"A", 0), (b"B", 1)], 0) + END)
        found = EARLIER.fullmatch(result.stderr)
        left = os.fsencode(run.at("a.csv")) if same_start else b""
        if not found or (found.group(2) or b"") != left:
            run.problems.append(f"standard error: {result.stderr!r}")
        a = b"A,old\r\n" + (b"A,1\r\nA,2\r\n" if same_start else b"")
        run.expect_only({"a.csv": a, "b.csv": b"B,2\r\n", "Default.csv": b""})
        return run.problems
    return case


def aside_then(change):
    """ulimit -n 17: one destination open at a time, so a.csv, after a line
    longer than its buffer went to the file, is put aside holding its next
    line while b.csv takes one. Then a.csv is changed; a third line for it
    is held too, and the end of the run opens it again to write them. Gone,
    replaced by another file or cut short: code 2 and every destination put
    back, the held lines never written there. Only appended to: written on,
    after the appended bytes, as the run without the limit writes it."""
    @linux_only
    def case(run):
        two_rules(run)
        paused = Paused(run, preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (17, 17)))
        paused.feed(LONG_A + b"A,2\r\n")
        paused.feed(b"B,1\r\n")
        path = run.at("a.csv")
        if change == "removed":
            os.unlink(path)
        elif change == "replaced":  # another file of the same bytes moved over it
            with open(path + b".new", "wb") as f:
                f.write(LONG_A)
            os.replace(path + b".new", path)
        elif change == "emptied":
            os.truncate(path, 0)
        else:
            with open(path, "ab") as f:
                f.write(b"other\r\n")
        os.write(paused.writer, b"A,3\r\n")
        status, output = paused.finish()
        if change == "appended":
            run.expect(status, output, 0, START + summary(4, [(b"A", 3), (b"B", 1)], 0) + END)
            run.expect_only({"a.csv": LONG_A + b"other\r\nA,2\r\nA,3\r\n", "b.csv": b"B,1\r\n", "Default.csv": b""})
            return run.problems
        run.expect(status, output, 1, START + io_report(run, "00000201", 2))
        kept = {"replaced": {"a.csv": LONG_A}, "emptied": {"a.csv": b""}}.get(change, {})
        run.expect_only(kept)
        return run.problems
    return case


@linux_only
def failed_write_spares_appended(run):
    """A program appends with >> after the open; then the first write fails
    (ENOSPC): the appended line stays, and so do the bytes before; the file
    is named as left as it is."""
    if not shutil.which("strace"):
        return ["strace is not installed (scripts/setup installs it)"]
    two_rules(run)
    run.place("a.csv", b"A,old\r\n")
    run.place("in.csv", b"A,1\r\n")
    command = (["strace", "-f", "-o", "/dev/null", "-P", os.fsdecode(run.at("a.csv")), "-e", "trace=write",
                "-e", "inject=write:error=ENOSPC:delay_enter=1500000:when=1"] + run.command(["in.csv", "rules.ini"]))
    process = subprocess.Popen(command, cwd=run.root, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    time.sleep(0.7)  # the write waits in strace
    with open(run.at("a.csv"), "ab") as other:
        other.write(b"other\r\n")
    output, errors = process.communicate(timeout=60)
    run.expect(process.returncode, output, 1, START + io_report(run, "00000203", 112))
    run.expect_only({"a.csv": b"A,old\r\nother\r\n"})
    if not errors.startswith(PUT_BACK[:-1] + b"; left as they are") or os.fsencode(run.at("a.csv")) not in errors:
        run.problems.append(f"standard error: {errors!r}")
    return run.problems


@linux_only
def input_shrinks(run):
    """The input cut short while it is read (reads slowed by strace): a read
    fault (30), never a torn line routed; every destination put back."""
    if not shutil.which("strace"):
        return ["strace is not installed (scripts/setup installs it)"]
    two_rules(run)
    lines = b"".join(b"%s,%05d,%s\r\n" % (b"ABx"[n % 3:n % 3 + 1], n, b"y" * 60) for n in range(6000))
    run.place("in.csv", lines)
    command = (["strace", "-f", "-o", "/dev/null", "-P", os.fsdecode(run.at("in.csv")), "-e", "trace=read",
                "-e", "inject=read:delay_exit=300000"] + run.command(["in.csv", "rules.ini"]))
    process = subprocess.Popen(command, cwd=run.root, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    time.sleep(0.8)  # a few blocks read
    with open(run.at("in.csv"), "r+b") as f:
        f.truncate(0)
        f.write(lines[:100_005])  # written anew, shorter, ending inside a line
    run.placed["in.csv"] = lines[:100_005]
    output, _ = process.communicate(timeout=60)
    run.expect(process.returncode, output, 1, START + io_report(run, "00000102", 30))
    run.expect_only({})
    return run.problems




def stop_while_nobody_reads(run):
    """A request to stop (SIGTERM; under Wine SIGINT, which Wine hands to
    the program as Ctrl+C) while the console waits on a full pipe that
    nobody ever reads: the console gives up after about a second, and the
    run ends with status 1, put back, without a second request."""
    two_rules(run)
    run.place("a.csv", b"A,old\r\n")
    run.place("in.csv", b"A,1\r\n")
    reader, writer = os.pipe()
    fcntl.fcntl(reader, fcntl.F_SETPIPE_SZ, 4096)
    os.write(writer, b"f" * (4096 - len(START)))  # room for the start banner: the summary waits
    process = subprocess.Popen(run.command(["in.csv", "rules.ini"]), cwd=run.root, stdin=subprocess.DEVNULL,
                               stdout=writer, stderr=subprocess.PIPE)
    os.close(writer)
    try:
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and not waits_in_call(process.pid, 1):
            time.sleep(0.02)
        process.send_signal(signal.SIGINT if run.platform.wine else signal.SIGTERM)
        started = time.monotonic()
        process.wait(timeout=20)
        if time.monotonic() - started > 5:
            run.problems.append(f"the run took {time.monotonic() - started:.1f} s to end")
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        run.problems.append("the run never ended")
    finally:
        os.close(reader)
    run.expect(process.returncode, None, 1, None)
    run.expect_only({})
    return run.problems


@linux_only
def sync_order(run):
    """Sync=1: every write of a destination follows the journal's records
    of it on the disk (an fsync of the journal after its last open record or
    end announced ahead; the exact ends, for a run killed, need no fsync),
    every destination reaches the disk before the journal goes, and the
    files are those of a run without it."""
    if not shutil.which("strace"):
        return ["strace is not installed (scripts/setup installs it)"]
    two_rules(run, Sync="1")
    run.place("a.csv", b"A,old\r\n")
    lines = [b"A," + b"1" * 40000, b"B,1", b"x,1"] + [b"A,%d," % n + b"2" * 4000 for n in range(100)]
    run.place("in.csv", b"".join(line + CRLF for line in lines))
    result = subprocess.run(["strace", "-f", "-y", "-o", run.at("trace"), "-e", "trace=write,fsync,unlink"] +
                            run.command(["in.csv", "rules.ini"]), cwd=run.root, stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=120)
    run.expect(result.returncode, result.stdout, 0, START + summary(103, [(b"A", 101), (b"B", 1)], 1) + END)
    with open(run.at("trace"), "rb") as f:
        events = re.findall(rb"^\d+ +(\w+)\((?:\d+<|\")?([^,>)\"]*)>?(?:, \"(..))?", f.read(), re.M)
    os.unlink(run.at("trace"))
    journal = [i for i, (call, path, _) in enumerate(events) if path.endswith(b".journal")]
    last_sync = {}
    unsynced = True
    for i, (call, path, data) in enumerate(events):
        if path.endswith(b".journal") and call == b"write" and data != b"W ":
            unsynced = True
        if path.endswith(b".journal") and call == b"fsync":
            unsynced = False
        if path.endswith(b".csv") and call == b"write" and unsynced:
            run.problems.append(f"a write of {path[-8:]!r} without the journal on the disk first")
        if path.endswith(b".csv") and call == b"fsync":
            last_sync[path] = i
    # Ends are announced 8 MiB ahead: the journal reaches the disk at its
    # start, before a.csv's first block, after b.csv's open and at its end,
    # not before each of a.csv's 13 blocks.
    flushes = sum(1 for i in journal if events[i][0] == b"fsync")
    if flushes > 4:
        run.problems.append(f"the journal was flushed {flushes} times")
    removed = [i for i in journal if events[i][0] == b"unlink"]
    if not removed or len(last_sync) != 3 or max(last_sync.values()) > removed[0]:
        run.problems.append(f"the destinations synced {last_sync}, the journal removed at {removed}")
    run.expect_only({"a.csv": b"A,old\r\n" + b"".join(line + CRLF for line in lines if line[:1] == b"A"),
                     "b.csv": b"B,1\r\n",
                     "Default.csv": b"x,1\r\n"})
    return run.problems


CASES = [("out-of-memory", out_of_memory),
         ("many-long-values", many_long_values),
         # The input's second read fails: a read fault (30); line B, which
         # needs that read of 64 KiB, is not routed.
         ("read-error", injected("in.csv", "read:error=EIO:when=2", {"in.csv": b"A,first\r\nB," + b"x" * 70_000 + b"\r\n"},
                                 "00000102", 30, {})),
         # A write that takes no byte fails as a write fault (29) instead of
         # being tried forever; the file keeps no part of it.
         ("write-of-nothing", injected("a.csv", "write:retval=0", {"a.csv": b"old\r\n", "in.csv": b"A,1\r\nz\r\nA,2\r\n"},
                                       "00000203", 29, {})),
         ("open-race", open_race),
         ("clear-leaves-non-files", clear_leaves_non_files), ("path-is-no-option", path_is_no_option),
         ("closed-descriptors", closed_descriptors), ("flock-holder", flock_holder),
         ("unlocked-writer", unlocked_writer), ("append-at-the-end", append_at_the_end),
         ("interrupted-SIGINT", interrupted(signal.SIGINT)), ("interrupted-SIGTERM", interrupted(signal.SIGTERM)),
         ("interrupted-SIGHUP", interrupted(signal.SIGHUP)), ("hostile-rule-files", hostile_rule_files),
         ("program-as-destination", program_as_destination), ("write-fault-sweep", write_fault_sweep),
         ("full-disk-then-more", full_disk_then_more), ("stop-in-endless-line", stop_in_endless_line),
         ("few-descriptors", few_descriptors), ("few-descriptors-wine", few_descriptors_wine),
         ("few-descriptors-then-failure", few_descriptors_then_failure),
         ("non-file-destinations", non_file_destinations),
         ("deleted-destination", deleted_destination), ("file-size-limit", file_size_limit),
         ("stop-while-writing", stop_while_writing), ("sibling-folders", sibling_folders), ("no-proc", no_proc),
         ("reasons", reasons),
         ("failed-write-spares-appended", failed_write_spares_appended), ("input-shrinks", input_shrinks),
         ("stop-while-nobody-reads", stop_while_nobody_reads), ("sync-order", sync_order)]
CASES += [(f"killed-{name}-then-again", killed_then_again(point)) for name, point in KILL_POINTS.items()]
CASES += [("killed-both-written-sync-then-again", killed_then_again(KILL_POINTS["both-written"], sync=True)),
          ("restarted-then-again", restarted_then_again(False)), ("killed-then-again-same-start", restarted_then_again(True))]
CASES += [(f"aside-then-{change}", aside_then(change)) for change in ("removed", "replaced", "emptied", "appended")]
if __name__ == "__main__":
    sys.exit(run_cases(CASES, "faults-system"))
