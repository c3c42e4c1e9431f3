#!/usr/bin/env python3
"""Fault cases whose data is too big, or too regular, to write out in a case
file, run on both programs with the conventions of run_e2e.py (a scratch
folder each, the program copied into it, Shift-JIS texts made with iconv):

  fifty-mb-line      a line of 50 MB among short ones, the last line
                     without a line end
  thousand-rules     1,000 rules, entry 1000 read as "000", a destination
                     change on every line
  long-path          a destination path of 300 bytes (the Windows system
                     refuses paths of 260 bytes and more: the Windows
                     program ends with a report instead)
  long-values        rule file values of 3,000 bytes, read as their first
                     2,047 bytes

Each checks the exact standard output, the exit status, and every file the
run leaves: the ones expected, byte for byte (big ones by size and SHA-256),
and no others.

  faults_big.py --linux PROG --windows PROG.exe [--filter TEXT]
"""
import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import run_e2e  # noqa: E402

MB = 1024 * 1024
CRLF = b"\r\n"


def sjis(text):
    return run_e2e.to_sjis(text)


START = sjis("\r\n-------- Start Rowdispatch --------\r\n\r\n")
END = sjis("\r\n-------- E N D Rowdispatch --------\r\n\r\n")


def info(text):
    """One console line: Shift-JIS bytes (or the text's own bytes) and CR LF."""
    return (text if isinstance(text, bytes) else sjis(text)) + CRLF


def summary(lines, rules, other, width=8):
    """The count report: rules is a list of (key bytes, count)."""
    out = info(f"入力データ件数 : {lines} 件") + info("出力データ件数")
    for key, count in rules + [(sjis("上記以外"), other)]:
        out += info(b" - " + (key + b" " * width)[:width] + b" : " + str(count).encode() + sjis(" 件"))
    return out


def report(prog, place, message):
    return (sjis("EInOutErrorがモジュール ") + prog + sjis(f" の {place} で発生しました。\n") +
            sjis(message) + b"." + CRLF)


class Big:
    """Bytes compared by size and SHA-256 only."""
    def __init__(self, data):
        self.size = len(data)
        self.digest = hashlib.sha256(data).hexdigest()

    def matches(self, path):
        if os.path.getsize(path) != self.size:
            return f"{os.path.getsize(path)} bytes, expected {self.size}"
        digest = hashlib.sha256()
        with open(path, "rb") as f:
            for block in iter(lambda: f.read(MB), b""):
                digest.update(block)
        return None if digest.hexdigest() == self.digest else "same size, other bytes"


class Run:
    """One run of one program in a scratch folder of its own."""

    def __init__(self, platform):
        self.platform = platform
        self.scratch = pathlib.Path(tempfile.mkdtemp(prefix="rowdispatch-big-"))
        self.root = os.fsencode(self.scratch)
        self.dir = b"Z:" + self.root.replace(b"/", b"\\")  # the folder as the program sees it
        self.prog = platform.program.name.encode()
        self.placed = {}

    def at(self, name):
        return os.path.join(self.root, self.platform.native_name(name))

    def place(self, name, data):
        with open(self.at(name), "wb") as f:
            f.write(data)
        self.placed[name] = data

    def run(self, args, timeout=600):
        program = os.path.join(self.root, os.fsencode(self.platform.program.name))
        shutil.copy(self.platform.program, program)
        command = self.platform.command(program, [self.platform.arg(a) for a in args])
        result = subprocess.run(command, cwd=self.root, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=timeout)
        return result.returncode, result.stdout

    def files(self):
        """Every file in the scratch folder but the program, by name relative to it."""
        found = set()
        for dirpath, _, filenames in os.walk(self.root):
            for name in filenames:
                rel = os.path.relpath(os.path.join(dirpath, name), self.root)
                found.add(rel)
        found.discard(os.fsencode(self.platform.program.name))
        return found

    def check(self, status, output, expect_status, expect_output, expect_files):
        """expect_files: name -> bytes or Big; every other file must be one placed."""
        problems = []
        if status != expect_status:
            problems.append(f"exit status {status}, expected {expect_status}")
        if expect_output is not None and output != expect_output:
            problems.append("standard output differs\n--- expected\n" + run_e2e.show(expect_output[:3000]) +
                            "\n--- got\n" + run_e2e.show(output[:3000]))
        wanted = {}
        for name, data in expect_files.items():
            wanted[os.path.relpath(self.at(name), self.root)] = (name, data)
        for name in self.placed:
            wanted.setdefault(os.path.relpath(self.at(name), self.root), (name, self.placed[name]))
        present = self.files()
        for rel in sorted(present - set(wanted)):
            problems.append(f"unexpected file {rel!r}")
        for rel, (name, data) in sorted(wanted.items()):
            if rel not in present:
                problems.append(f"{name[:80]}: missing")
                continue
            path = os.path.join(self.root, rel)
            if isinstance(data, Big):
                why = data.matches(path)
                if why:
                    problems.append(f"{name[:80]}: {why}")
            else:
                with open(path, "rb") as f:
                    got = f.read()
                if got != data:
                    problems.append(f"{name[:80]} differs\n--- expected\n" + run_e2e.show(data[:2000]) +
                                    "\n--- got\n" + run_e2e.show(got[:2000]))
        return problems

    def close(self, keep):
        if keep:
            print(f"   kept {self.scratch}")
            return
        run_e2e.unlock(self.scratch)
        shutil.rmtree(self.scratch, ignore_errors=True)


def rules_file(*lines):
    return b"".join((line if isinstance(line, bytes) else line.encode()) + CRLF for line in lines)


def fifty_mb_line(run):
    big = b"K," + b"x" * (50 * MB) + b",\x1a\x00\x81"
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1", "001=[K,k.csv]"))
    run.place("in.csv", b"a\r\n" + big + b"\r\nb")
    status, output = run.run(["in.csv", "rules.ini"])
    return run.check(status, output, 0, START + summary(3, [(b"K", 1)], 2) + END,
                     {"k.csv": Big(big + CRLF), "Default.csv": b"a\r\nb\r\n"})


def thousand_rules(run):
    # Entry n holds the key Rn; entry 1000 is read under the key name 000.
    entries = [f"{n % 1000:03d}=[R{n},f{n}.csv]" for n in range(1, 1001)]
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1000", *entries))
    lines = [f"R{n},v".encode() for n in range(1000, 0, -1)] + [b"r500,lower", b"none"]
    run.place("in.csv", CRLF.join(lines) + CRLF)
    status, output = run.run(["in.csv", "rules.ini"])
    counts = [(f"R{n}".encode(), 2 if n == 500 else 1) for n in range(1, 1001)]
    files = {f"f{n}.csv": f"R{n},v\r\n".encode() for n in range(1, 1001)}
    files["f500.csv"] += b"r500,lower\r\n"
    files["Default.csv"] = b"none\r\n"
    return run.check(status, output, 0, START + summary(1002, counts, 1) + END, files)


def long_path(run):
    # A rule naming a destination by a full path of exactly 300 bytes.
    folder = "d" * 150
    head = run.dir + b"\\" + folder.encode() + b"\\"
    name = b"f" * (300 - len(head) - len(b".csv")) + b".csv"
    path = head + name
    assert len(path) == 300
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1", b"001=[L," + path + b"]"))
    run.place("in.csv", b"a\r\nL,1\r\nb\r\n")
    status, output = run.run(["in.csv", "rules.ini"])
    destination = folder + "/" + name.decode()
    if not run.platform.wine:
        return run.check(status, output, 0, START + summary(3, [(b"L", 1)], 2) + END,
                         {"Default.csv": b"a\r\nb\r\n", destination: b"L,1\r\n"})
    # The Windows system refuses the path: the run ends with the report at
    # the opening of that destination, after the line before it reached
    # the default; its directory, shorter than 260 bytes, was made.
    problems = run.check(status, output, 1, None, {"Default.csv": b"a\r\n"})
    first = START + sjis("EInOutErrorがモジュール ") + run.prog + sjis(" の 00000201 で発生しました。\n")
    if not output.startswith(first):
        problems.append("standard output differs\n--- expected to start with\n" + run_e2e.show(first) +
                        "\n--- got\n" + run_e2e.show(output))
    if not os.path.isdir(run.at(folder)) or os.listdir(run.at(folder)):
        problems.append("the destination's folder is missing or not empty")
    return problems


def long_values(run):
    # Every value is 3,000 bytes; each is read as its first 2,047 bytes.
    column = "0" * 2999 + "1"     # 2,047 zeros: 0, which skips the pass in silence
    count = "0" * 2999 + "5"      # 0 entries
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=" + column, "BaseDir=" + "b" * 3000,
                                      "Default=" + "d" * 3000, "Count=" + count))
    run.place("in.csv", b"A\r\n")
    status, output = run.run(["in.csv", "rules.ini", "/d"])
    expected = (START +
                info(sjis("** DEBUG ** : ルール設定ファイル = ") + run.dir + b"\\rules.ini") +
                info(sjis("** DEBUG ** : チェックカラム = ") + b"0" * 2047) +
                info(sjis("** DEBUG ** : 仕分け先ファイルの格納先 = ") + run.dir + b"\\" + b"b" * 2047) +
                info(sjis("** DEBUG ** : デフォルト出力先ファイル = ") + b"d" * 2047) +
                END)
    problems = run.check(status, output, 0, expected, {})
    if problems:
        return problems

    # Entries of 3,000 bytes: kept when byte 2,047 is their "]", skipped when
    # it is byte 2,048. A key of 2,000 bytes widens the summary to 2,000.
    a = "[A,a.csv," + "p" * 2037 + "]"
    b = "[B,b.csv," + "p" * 2038 + "]"
    k = "[" + "K" * 2000 + ",k.csv," + "z" * 38 + "]"
    assert len(a) == 2047 and len(b) == 2048 and len(k) == 2047
    entries = [value + "q" * (3000 - len(value)) for value in (a, b, k)]
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=3",
                                      *(f"{i:03d}={v}" for i, v in enumerate(entries, 1))))
    run.place("in.csv", b"A\r\nB\r\n" + b"K" * 2000 + b"\r\nx\r\n")
    status, output = run.run(["in.csv", "rules.ini"])
    counts = [(b"A", 1), (b"K" * 2000, 1)]
    return run.check(status, output, 0, START + summary(4, counts, 2, width=2000) + END,
                     {"a.csv": b"A\r\n", "k.csv": b"K" * 2000 + CRLF, "Default.csv": b"B\r\nx\r\n"})


CASES = [("fifty-mb-line", fifty_mb_line), ("thousand-rules", thousand_rules), ("long-path", long_path),
         ("long-values", long_values)]


def main():
    args, platforms = run_e2e.arguments_and_platforms()
    passed = failed = 0
    started = time.time()
    for name, case in CASES:
        if args.filter not in name:
            continue
        for platform in platforms:
            run = Run(platform)
            began = time.time()
            try:
                problems = case(run)
            except subprocess.TimeoutExpired:
                problems = ["the program did not end in time"]
            run.close(args.keep and bool(problems))
            if problems:
                failed = run_e2e.report(failed, problems, platform.label, f"faults-big/{name}")
            else:
                passed += 1
                print(f"ok   {platform.label} faults-big/{name} ({time.time() - began:.1f} s)")
    print(f"big fault cases on {len(platforms)} programs in {time.time() - started:.0f} s")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
