#!/usr/bin/env python3
"""What the Linux program does for a Linux user where Windows has nothing of
the kind, with the conventions of e2e_lib.py:

  terminal            on a terminal (a real pseudo-terminal) console text is
                      shown in UTF-8, a byte that does not convert as
                      U+FFFD; the report too, also under /s; the exit status
                      as in a pipe
  utf8-file-name      an input whose UTF-8 name ends in あ, then the rule
                      file: the words are the arguments as given
  absolute-paths      "/..." names for the input, the rule file, BaseDir
                      (made when missing, folders and all) and a
                      destination, run from another folder, shown unchanged
                      in the debug lines

  linux_user.py --linux PROG
"""
import os
import pty
import re
import subprocess
import sys
import tty

from e2e_lib import END, START, failure_report, info, rules_file, run_cases, summary


def to_utf8(cp932):
    """Code page 932 bytes as UTF-8, converted by iconv."""
    result = subprocess.run(["iconv", "-f", "CP932", "-t", "UTF-8"], input=cp932, capture_output=True, check=True)
    return result.stdout


def terminal_run(command, cwd, stream):
    """Runs the command with its standard output (stream "stdout") or error
    ("stderr") on a pseudo-terminal in raw mode (no line end is rewritten);
    gives the exit status, the other stream's bytes and the terminal's."""
    master, slave = pty.openpty()
    tty.setraw(slave)
    streams = {"stdout": slave, "stderr": subprocess.PIPE} if stream == "stdout" else \
        {"stdout": subprocess.PIPE, "stderr": slave}
    process = subprocess.Popen(command, cwd=cwd, stdin=subprocess.DEVNULL, **streams)
    os.close(slave)
    shown = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # EIO: the program closed the terminal's last end
            break
        if not chunk:
            break
        shown += chunk
    os.close(master)
    other = (process.stderr if stream == "stdout" else process.stdout).read()
    process.wait(timeout=120)
    return process.returncode, other, shown


def on_terminal(run, args):
    """Standard output on a pseudo-terminal: the exit status and the bytes."""
    status, _, output = terminal_run(run.command(args), run.root, "stdout")
    return status, output


def terminal(run):
    if run.platform.wine:
        return None
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1", "001=[東京,tokyo.csv]".encode("cp932")))
    run.place("in.csv", "東京,1\r\n大阪,2\r\n".encode("cp932"))
    status, output = on_terminal(run, ["in.csv", "rules.ini"])
    expected = START + summary(2, [("東京".encode("cp932"), 1)], 1) + END
    run.expect(status, output, 0, to_utf8(expected))
    # A byte that code page 932 does not hold shows as U+FFFD.
    status, output = on_terminal(run, [b"missing\xff.csv", "rules.ini"])
    missing = to_utf8(info("Error : 指定された入力ファイルが見つかりません。")) + b" - missing\xef\xbf\xbd.csv\r\n"
    run.expect(status, output, 2, to_utf8(START) + missing + to_utf8(END))
    # The report, under /s too, with the same exit status as in a pipe.
    run.place("tokyo.csv", b"")
    os.chmod(run.at("tokyo.csv"), 0o444)
    status, output = on_terminal(run, ["in.csv", "rules.ini", "/s"])
    report = failure_report(run.prog, "EInOutError", "00000201", "ファイルへのアクセスが拒否されました")
    run.expect(status, output, 1, to_utf8(report))
    piped, piped_output = run.run(["in.csv", "rules.ini", "/s"])
    run.expect(piped, piped_output, 1, report)
    # UTF-8 console text (CodePage=65001) reaches the terminal as it is.
    run.place("utf8.ini", rules_file("[AssortRules]", "CodePage=65001", "ColumnNo=1", "Count=1",
                                     "001=[東京,tokyo8.csv]".encode("utf-8")))
    run.place("in8.csv", "東京,1\r\n".encode("utf-8"))
    status, output = on_terminal(run, ["in8.csv", "utf8.ini"])
    def line(text):
        return text.encode("utf-8") + b"\r\n"
    # Keys padded to 8 display columns, as in code page 932.
    expected = (START + line("入力データ件数 : 1 件") + line("出力データ件数") +
                line(" - 東京     : 1 件") + line(" - 上記以外 : 0 件") + END)
    run.expect(status, output, 0, expected)
    return run.problems


def absolute_paths(run):
    if run.platform.wine:
        return None
    root = os.fsdecode(run.root)
    run.place("jobs/rules.ini", rules_file("[AssortRules]", "ColumnNo=1", f"BaseDir={root}/out/deep",
                                           "Count=2", "001=[A,a.csv]", f"002=[B,{root}/other/b.csv]"))
    run.place("data/in.csv", b"A,1\r\nB,2\r\nC,3\r\n")
    run.install("bin")
    os.makedirs(run.at("elsewhere"))
    status, output = run.run([f"{root}/data/in.csv", f"{root}/jobs/rules.ini", "/d"], cwd=run.at("elsewhere"))
    debug = (info(f"** DEBUG ** : ルール設定ファイル = {root}/jobs/rules.ini") +
             info("** DEBUG ** : チェックカラム = 1") +
             info(f"** DEBUG ** : 仕分け先ファイルの格納先 = {root}/out/deep") +
             info("** DEBUG ** : デフォルト出力先ファイル = Default.csv"))
    run.expect(status, output, 0, START + debug + summary(3, [(b"A", 1), (b"B", 1)], 1) + END)
    run.expect_only({"out/deep/a.csv": b"A,1\r\n", "other/b.csv": b"B,2\r\n", "out/deep/Default.csv": b"C,3\r\n"})
    return run.problems


def utf8_file_name(run):
    # The arguments are the words as the system hands them: the last byte of
    # あ (0x82) in a UTF-8 name takes no blank with it.
    if run.platform.wine:
        return None
    name = "inあ".encode("utf-8")
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1", "001=[A,a.csv]"))
    with open(os.path.join(run.root, name), "wb") as f:
        f.write(b"A,1\r\nb\r\n")
    status, output = run.run([name, "rules.ini"])
    run.expect(status, output, 0, START + summary(2, [(b"A", 1)], 1) + END)
    run.expect_file("a.csv", b"A,1\r\n")
    run.expect_file("Default.csv", b"b\r\n")
    return run.problems


def run_all(run, args, **kwargs):
    """Runs the program; gives its exit status, standard output and error."""
    kwargs.setdefault("cwd", run.root)
    kwargs.setdefault("stdin", subprocess.DEVNULL)
    result = subprocess.run(run.command(args), capture_output=True, timeout=120, **kwargs)
    return result.returncode, result.stdout, result.stderr


def expect_errors(run, label, errors, want):
    if errors != want:
        run.problems.append(f"{label}: standard error {errors!r}, expected {want!r}")


def user_errors(run):
    """Every user error ends with status 2, with /s too, and says so in one
    line on standard error; a ColumnNo of 0 is no error."""
    if run.platform.wine:
        return None
    root = os.fsdecode(run.root)
    run.place("in.csv", b"A,1\r\n")
    run.place("bad-column.ini", rules_file("[AssortRules]", "ColumnNo=-3"))
    run.place("no-column.ini", rules_file("[AssortRules]", "Count=0"))
    run.place("bad-page.ini", rules_file("[AssortRules]", "CodePage=1252", "ColumnNo=1"))
    run.place("zero.ini", rules_file("[AssortRules]", "ColumnNo=0"))
    run.place("bad-values.ini", rules_file("[AssortRules]", "ColumnNo=1", "ValueFile=a*b*.csv"))
    nothing = " (no input line read)\n"
    rows = [
        (["in.csv", ""], 2, "no rule file named after the input file; see rowdispatch --help" + nothing),
        (["in.csv", "nothere.ini"], 2, f"cannot read rule file {root}/nothere.ini: No such file or directory" + nothing),
        (["in.csv", "bad-column.ini"], 2,
         f"rule file {root}/bad-column.ini: ColumnNo is -3, not a field number of 1 or more" + nothing),
        (["in.csv", "no-column.ini"], 2,
         f"rule file {root}/no-column.ini: ColumnNo is missing, not a field number of 1 or more" + nothing),
        (["in.csv", "bad-page.ini"], 2, f"rule file {root}/bad-page.ini: CodePage 1252 is neither 932 nor 65001" + nothing),
        (["in.csv", "bad-values.ini"], 2,
         f"rule file {root}/bad-values.ini: ValueFile a*b*.csv does not hold exactly one *" + nothing),
        (["nothere.csv", "zero.ini"], 0, None),
        (["nothere.csv", "bad-column.ini"], 2, None),  # one line per error: the column's
        (["no/such.csv", "no-column.ini"], 2, None),
        (["in.csv", "in.csv/x.ini"], 2, f"cannot read rule file {root}/in.csv/x.ini: Not a directory" + nothing),
    ]
    run.place("ok.ini", rules_file("[AssortRules]", "ColumnNo=1"))
    rows.append((["", "ok.ini"], 2, "no input file named; see rowdispatch --help" + nothing))
    rows.append((["nothere.csv", "ok.ini"], 2, "cannot open input nothere.csv: No such file or directory" + nothing))
    rows.append(([".", "ok.ini"], 2, "cannot open input .: Is a directory" + nothing))
    for args, want_status, want_line in rows:
        for options in ([], ["/s"]):
            status, _, errors = run_all(run, args + options)
            label = " ".join(args + options)
            if status != want_status:
                run.problems.append(f"{label}: exit status {status}, expected {want_status}")
            if want_line is not None:
                expect_errors(run, label, errors, b"rowdispatch: " + want_line.encode())
    return run.problems


def names_from_here(run):
    """A relative rule file is the one in the current folder; a relative or
    absent BaseDir lies in the rule file's folder, wherever it is run from;
    the debug lines show the full paths."""
    if run.platform.wine:
        return None
    root = os.fsdecode(run.root)
    run.place("job/with.ini", rules_file("[AssortRules]", "ColumnNo=1", "BaseDir=out", "Count=1", "001=[A,a.csv]"))
    run.place("job/without.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1", "001=[A,a.csv]"))
    run.place("job/in.csv", b"A,1\r\nB,2\r\n")
    run.install("bin")
    os.makedirs(run.at("elsewhere"))
    made = {"with.ini": ("job/out", "/out"), "without.ini": ("job", "")}
    for cwd, prefix in [("job", ""), ("elsewhere", "../job/")]:
        for rules, (folder, base) in made.items():
            status, output = run.run([prefix + "in.csv", prefix + rules, "/d"], cwd=run.at(cwd))
            shown = f"{root}/{cwd}/{prefix}"
            debug = (info(f"** DEBUG ** : ルール設定ファイル = {shown}{rules}") + info("** DEBUG ** : チェックカラム = 1") +
                     info(f"** DEBUG ** : 仕分け先ファイルの格納先 = {shown.rstrip('/')}{base}") +
                     info("** DEBUG ** : デフォルト出力先ファイル = Default.csv"))
            run.expect(status, output, 0, START + debug + summary(2, [(b"A", 1)], 1) + END)
            run.expect_file(f"{folder}/a.csv", b"A,1\r\n")
            run.expect_file(f"{folder}/Default.csv", b"B,2\r\n")
            for name in ("a.csv", "Default.csv"):
                os.remove(run.at(f"{folder}/{name}"))
    run.expect_only({})
    return run.problems


def wait_blocked_reading(process, pipe):
    """Waits until the program has taken every byte of the pipe and sleeps
    in its next read."""
    import fcntl
    import termios
    import time
    while True:
        left = fcntl.ioctl(pipe, termios.FIONREAD, b"\0\0\0\0")
        with open(f"/proc/{process.pid}/stat") as f:
            state = f.read().rsplit(")", 1)[1].split()[0]
        if int.from_bytes(left, sys.byteorder) == 0 and state == "S":
            return
        time.sleep(0.02)


def failure_lines(run):
    """The line on standard error for a read-only destination, a folder that
    cannot be made (mkdir refused with EACCES) and an interruption; the
    report on standard output stays as it was."""
    if run.platform.wine:
        return None
    import shutil
    import signal
    root = os.fsdecode(run.root)
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", f"BaseDir={root}/out", "Count=1", "001=[A,a.csv]"))
    run.place("in.csv", b"B,1\r\nA,2\r\n")
    run.place("out/a.csv", b"")
    os.chmod(run.at("out/a.csv"), 0o444)
    status, output, errors = run_all(run, ["in.csv", "rules.ini"])
    run.expect(status, output, 1, START + failure_report(run.prog, "EInOutError", "00000201",
                                                         "ファイルへのアクセスが拒否されました"))
    # Root may write anything: the program itself refuses, in its own words.
    why = "is read-only" if os.geteuid() == 0 else "Permission denied"
    expect_errors(run, "read-only", errors, b"rowdispatch: every destination was put back as it was before the run\n" +
                  f"rowdispatch: cannot open destination {root}/out/a.csv for appending: "
                  f"{why} (line 2 of the input; 1 line routed)\n".encode())
    run.expect_absent("out/Default.csv")
    os.chmod(run.at("out/a.csv"), 0o644)

    if not shutil.which("strace"):
        run.problems.append("strace is not installed (scripts/setup installs it)")
    else:
        run.place("deep.ini", rules_file("[AssortRules]", "ColumnNo=1", f"BaseDir={root}/new/deep"))
        command = ["strace", "-f", "-o", "/dev/null", "-e", "inject=mkdir:error=EACCES"] + run.command(["in.csv", "deep.ini"])
        result = subprocess.run(command, cwd=run.root, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        run.expect(result.returncode, result.stdout, 1, START + failure_report(run.prog, "EInOutError", "00000201",
                                                                               "不正なファイル名です"))
        expect_errors(run, "mkdir", result.stderr, f"rowdispatch: cannot make folder {root}/new: Permission denied "
                      "(line 1 of the input; 0 lines routed)\n".encode())

    # Three lines through a pipe, then a request to stop while the program
    # waits for more.
    reader, writer = os.pipe()
    process = subprocess.Popen(run.command(["-", "rules.ini"]), cwd=run.root, stdin=reader, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    os.close(reader)
    os.write(writer, b"A,1\r\nB,2\r\nA,3\r\n")
    wait_blocked_reading(process, writer)
    process.send_signal(signal.SIGINT)
    output, errors = process.communicate(timeout=60)
    os.close(writer)
    run.expect(process.returncode, output, 1, START + failure_report(run.prog, "EControlC", "00000701",
                                                                     "処理が中断されました"))
    expect_errors(run, "interrupted", errors, b"rowdispatch: every destination was put back as it was before the run\n"
                  b"rowdispatch: interrupted by a request to stop (line 4 of the input; 3 lines routed)\n")
    run.expect_file("out/a.csv", b"")
    return run.problems


def help_and_version(run):
    if run.platform.wine:
        return None
    _, version = run.run(["/v"])
    for args in (["--help"], ["-h"], ["/?"], ["in.csv", "rules.ini", "--help", "/s"]):
        status, output, errors = run_all(run, args)
        if status != 0 or not output.startswith(b"Usage: rowdispatch INPUT RULES") or b"--summary=json" not in output \
                or b"man rowdispatch" not in output or errors:
            run.problems.append(f"{args}: status {status}, output {output[:200]!r}, errors {errors!r}")
    run.expect(*run.run(["--version"]), 0, version)
    # Whole words only: --helpme and -version are no options.
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=0"))
    run.expect(*run.run(["in.csv", "rules.ini", "--helpme", "-version", "-H"]), 0, START + END)
    return run.problems


def standard_input(run):
    """The input word - reads standard input: a pipe, or a file; /c never
    deletes the file standard input reads, nor writes to it."""
    if run.platform.wine:
        return None
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1", "001=[A,a.csv]"))
    status, output = run.run(["-", "rules.ini"], stdin=None, input=b"A,1\r\nb\nA,2")
    run.expect(status, output, 0, START + summary(3, [(b"A", 2)], 1) + END)
    run.expect_file("a.csv", b"A,1\r\nA,2\r\n")
    run.expect_file("Default.csv", b"b\r\n")
    with open(run.at("Default.csv"), "rb") as source:
        status, output, errors = run_all(run, ["-", "rules.ini", "/c"], stdin=source)
    run.expect(status, output, 1, START + failure_report(run.prog, "EInOutError", "00000201", "I/O エラー (32)"))
    run.expect_file("Default.csv", b"b\r\n")
    run.expect_absent("a.csv")  # /c cleared the other destination
    return run.problems


def progress(run):
    """On a terminal standard error, a run that lasts over a second shows the
    progress line (with the part of a file's size read and the time left),
    erased before the summary; never on a file, never with /s. The input is
    slow: a FIFO fed a line at a time, or a file whose reads strace delays."""
    if run.platform.wine:
        return None
    import shutil
    import threading
    import time
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1"))
    lines = 15
    os.mkfifo(run.at("slow.fifo"))
    run.place("big.csv", b"".join(b"y,%05d,%s\r\n" % (n, b"q" * 90) for n in range(3000)))
    plain = re.compile(rb"\r\x1b\[Krowdispatch: \d+ lines read, \d+ lines/s")
    sized = re.compile(rb"\r\x1b\[Krowdispatch: \d+ lines read, [\d.]+ MiB of 0.3 MiB \(\d+%\), \d+ lines/s, .* left")
    rows = [("fifo", "terminal", [], plain), ("fifo", "file", [], None), ("fifo", "terminal", ["/s"], None)]
    if shutil.which("strace"):
        rows.append(("file", "terminal", [], sized))
    else:
        run.problems.append("strace is not installed (scripts/setup installs it)")
    for source, stderr_kind, options, shown in rows:
        def feed():
            with open(run.at("slow.fifo"), "wb", buffering=0) as f:
                for n in range(lines):
                    f.write(b"x,%d\r\n" % n)
                    time.sleep(0.15)
        feeder = threading.Thread(target=feed)
        if source == "fifo":
            feeder.start()
            command, count = run.command(["slow.fifo", "rules.ini"] + options), lines
        else:
            command = (["strace", "-f", "-o", "/dev/null", "-P", os.fsdecode(run.at("big.csv")), "-e", "trace=read",
                        "-e", "inject=read:delay_exit=400000"] + run.command(["big.csv", "rules.ini"] + options))
            count = 3000
        if stderr_kind == "terminal":
            status, output, errors = terminal_run(command, run.root, "stderr")
        else:
            result = subprocess.run(command, cwd=run.root, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
            status, output, errors = result.returncode, result.stdout, result.stderr
        if source == "fifo":
            feeder.join()
        label = f"{source} input, stderr on a {stderr_kind} {options}"
        run.expect(status, output, 0, b"" if options else START + summary(count, [], count) + END)
        if shown and (not shown.search(errors) or not errors.endswith(b"\r\x1b[K")):
            run.problems.append(f"{label}: no progress line erased at the end: {errors[-300:]!r}")
        if not shown and errors:
            run.problems.append(f"{label}: standard error {errors[-300:]!r}")
        os.remove(run.at("Default.csv"))
    return run.problems


def expect_json(run, label, status, output, want_status, want):
    """Standard output is exactly one JSON object, the one wanted."""
    import json
    try:
        got = json.loads(output.decode("utf-8"))
    except ValueError as error:
        run.problems.append(f"{label}: not one JSON object ({error}): {output[:300]!r}")
        return None
    if got != want or status != want_status:
        run.problems.append(f"{label}: status {status}, {got}, expected {want_status}, {want}")
    return got


def summary_json(run):
    """--summary=json: one JSON object on standard output and nothing else,
    keys and paths in UTF-8 from a Shift-JIS rule file; after a failure, a
    skipped pass and a user error, an object that says so."""
    if run.platform.wine:
        return None
    import json
    root = os.fsdecode(run.root)
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=2", "BaseDir=out", "Default=rest.csv", "Count=2",
                                      "001=[東京,東京.csv]".encode("cp932"), "002=[OSAKA,osaka.csv]"))
    run.place("in.csv", "1,東京\r\n2,osaka\r\n3,東京\r\n4,nagoya\r\n".encode("cp932"))
    for options in ([], ["/s"], ["/d", "/e"]):
        status, output, errors = run_all(run, ["in.csv", "rules.ini", "--summary=json"] + options)
        try:
            got = json.loads(output.decode("utf-8"))
        except ValueError as error:
            run.problems.append(f"{options}: not one JSON object ({error}): {output[:300]!r}")
            continue
        want = {"input": "in.csv", "lines": 4,
                "rules": [{"key": "東京", "path": f"{root}/out/東京.csv", "count": 2},
                          {"key": "OSAKA", "path": f"{root}/out/osaka.csv", "count": 1}],
                "default": {"path": f"{root}/out/rest.csv", "count": 1}}
        if got != want or status != 0 or errors:
            run.problems.append(f"{options}: status {status}, {got}, errors {errors!r}")
    # Header and ValueFile: the header lines taken, and each value's file
    # in the order first met, its path as the system spells it.
    run.place("values.ini", rules_file("[AssortRules]", "ColumnNo=2", "BaseDir=out", "Header=1", "ValueFile=v\\*.csv",
                                       "Count=1", "001=[OSAKA,osaka.csv]"))
    run.place("values.csv", "no,city\r\n1,東京\r\n2,osaka\r\n3,a:b\r\n4,東京\r\n5\r\n".encode("cp932"))
    status, output, errors = run_all(run, ["values.csv", "values.ini", "--summary=json"])
    want = {"input": "values.csv", "lines": 5, "header": 1,
            "rules": [{"key": "OSAKA", "path": f"{root}/out/osaka.csv", "count": 1}],
            "values": [{"value": "東京", "path": f"{root}/out/v/東京.csv", "count": 2},
                       {"value": "a:b", "path": f"{root}/out/v/a%3Ab.csv", "count": 1}],
            "default": {"path": f"{root}/out/Default.csv", "count": 1}}
    try:
        got = json.loads(output.decode("utf-8"))
    except ValueError as error:
        got = f"not one JSON object ({error}): {output[:300]!r}"
    if got != want or status != 0 or errors:
        run.problems.append(f"values: status {status}, {got}, errors {errors!r}")
    # A failure: its object on standard output, the report itself on standard
    # error, before the line; the destination opened at line 2 is read-only.
    run.place("out/osaka.csv", b"")
    os.chmod(run.at("out/osaka.csv"), 0o444)
    status, output, errors = run_all(run, ["in.csv", "rules.ini", "--summary=json"])
    os.chmod(run.at("out/osaka.csv"), 0o644)
    why = "is read-only" if os.geteuid() == 0 else "Permission denied"  # root: the program itself refuses
    error = f"cannot open destination {root}/out/osaka.csv for appending: {why}"
    denied = "ファイルへのアクセスが拒否されました"
    want = {"outcome": "failure", "kind": "EInOutError", "code": 5, "place": "00000201",
            "file": f"{root}/out/osaka.csv", "message": denied, "error": error, "reason": why, "input": "in.csv",
            "lines": 2, "routed": 1}
    expect_json(run, "failure", status, output, 1, want)
    # The destinations are put back before the report is written.
    expect_errors(run, "failure", errors, b"rowdispatch: every destination was put back as it was before the run\n" +
                  failure_report(run.prog, "EInOutError", "00000201", denied) +
                  f"rowdispatch: {error} (line 2 of the input; 1 line routed)\n".encode())
    # ColumnNo=0: the pass skipped, and said so.
    run.place("zero.ini", rules_file("[AssortRules]", "ColumnNo=0"))
    status, output, errors = run_all(run, ["in.csv", "zero.ini", "--summary=json"])
    expect_json(run, "skipped", status, output, 0, {"outcome": "skipped", "column": 0})
    expect_errors(run, "skipped", errors, b"")
    # A user error: its object on standard output, the line on standard error.
    status, output, errors = run_all(run, ["nothere.csv", "rules.ini", "--summary=json"])
    want = {"outcome": "user error", "errors": [{"error": "cannot open input nothere.csv: No such file or directory",
                                                 "file": "nothere.csv"}]}
    expect_json(run, "user error", status, output, 2, want)
    if not errors.startswith(b"rowdispatch: cannot open input nothere.csv"):
        run.problems.append(f"error: standard error {errors!r}")
    return run.problems


CASES = [("terminal", terminal), ("absolute-paths", absolute_paths), ("utf8-file-name", utf8_file_name),
         ("user-errors", user_errors), ("names-from-here", names_from_here), ("failure-lines", failure_lines),
         ("help-and-version", help_and_version), ("standard-input", standard_input), ("progress", progress),
         ("summary-json", summary_json)]

if __name__ == "__main__":
    sys.exit(run_cases(CASES, "linux-user"))
