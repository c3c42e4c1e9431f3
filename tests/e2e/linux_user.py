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
import subprocess
import sys
import tty

from e2e_lib import END, START, failure_report, info, rules_file, run_cases, summary


def to_utf8(cp932):
    """Code page 932 bytes as UTF-8, converted by iconv."""
    result = subprocess.run(["iconv", "-f", "CP932", "-t", "UTF-8"], input=cp932, capture_output=True, check=True)
    return result.stdout


def on_terminal(run, args):
    """Runs the program with standard output on a pseudo-terminal in raw
    mode (no line end is rewritten); gives the exit status and the bytes."""
    master, slave = pty.openpty()
    tty.setraw(slave)
    process = subprocess.Popen(run.command(args), cwd=run.root, stdin=subprocess.DEVNULL, stdout=slave,
                               stderr=subprocess.PIPE)
    os.close(slave)
    output = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # EIO: the program closed the terminal's last end
            break
        if not chunk:
            break
        output += chunk
    os.close(master)
    process.wait(timeout=60)
    return process.returncode, output


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
    run.expect(status, output, 0, to_utf8(START) + missing + to_utf8(END))
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


CASES = [("terminal", terminal), ("absolute-paths", absolute_paths), ("utf8-file-name", utf8_file_name)]

if __name__ == "__main__":
    sys.exit(run_cases(CASES, "linux-user"))
