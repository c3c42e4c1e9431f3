#!/usr/bin/env python3
"""Fault cases whose data is too big, or too regular, to write out in a case
file, run on both programs with the conventions of e2e_lib.py (a scratch
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
  many-values        a file for each of 3,000 values (ValueFile), more than
                     stay open at once, each with the header once, though
                     put aside and opened again

Each checks the exact standard output, the exit status, and every file the
run leaves: the ones expected, byte for byte (big ones by size and SHA-256),
and no others.

  faults_big.py --linux PROG --windows PROG.exe [--filter TEXT]
"""
import os
import sys

from e2e_lib import CRLF, END, MB, START, Big, info, rules_file, run_cases, show, summary, to_sjis as sjis


def check(run, status, output, expect_status, expect_output, expect_files):
    """The exit status, the output, the files expected and no others."""
    run.expect(status, output, expect_status, expect_output)
    run.expect_only(expect_files)
    return run.problems


def fifty_mb_line(run):
    big = b"K," + b"x" * (50 * MB) + b",\x1a\x00\x81"
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1", "001=[K,k.csv]"))
    run.place("in.csv", b"a\r\n" + big + b"\r\nb")
    status, output = run.run(["in.csv", "rules.ini"])
    return check(run, status, output, 0, START + summary(3, [(b"K", 1)], 2) + END,
                 {"k.csv": Big(big + CRLF), "Default.csv": b"a\r\nb\r\n"})


def thousand_rules(run):
    # Entry n holds the key Rn; entry 1000 is read under the key name 000.
    entries = [f"{n % 1000:03d}=[R{n},f{n}.csv]" for n in range(1, 1001)]
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "Count=1000", *entries))
    # Every value comes again once all have been met, in the other order:
    # the values found so far are then held by a table grown many times.
    lines = ([f"R{n},v".encode() for n in range(1000, 0, -1)] + [f"R{n},w".encode() for n in range(1, 1001)] +
             [b"r500,lower", b"none"])
    run.place("in.csv", CRLF.join(lines) + CRLF)
    status, output = run.run(["in.csv", "rules.ini"])
    counts = [(f"R{n}".encode(), 3 if n == 500 else 2) for n in range(1, 1001)]
    files = {f"f{n}.csv": f"R{n},v\r\nR{n},w\r\n".encode() for n in range(1, 1001)}
    files["f500.csv"] += b"r500,lower\r\n"
    files["Default.csv"] = b"none\r\n"
    return check(run, status, output, 0, START + summary(2002, counts, 1) + END, files)


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
        return check(run, status, output, 0, START + summary(3, [(b"L", 1)], 2) + END,
                     {"Default.csv": b"a\r\nb\r\n", destination: b"L,1\r\n"})
    # The Windows system refuses the path: the run ends with the report at
    # the opening of that destination, after the line before it reached
    # the default; its directory, shorter than 260 bytes, was made.
    problems = check(run, status, output, 1, None, {"Default.csv": b"a\r\n"})
    first = START + sjis("EInOutErrorがモジュール ") + run.prog.encode() + sjis(" の 00000201 で発生しました。\n")
    if not output.startswith(first):
        problems.append("standard output differs\n--- expected to start with\n" + show(first) +
                        "\n--- got\n" + show(output))
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
                info(sjis("** DEBUG ** : ルール設定ファイル = ") + run.here + run.sep + b"rules.ini") +
                info(sjis("** DEBUG ** : チェックカラム = ") + b"0" * 2047) +
                info(sjis("** DEBUG ** : 仕分け先ファイルの格納先 = ") + run.here + run.sep + b"b" * 2047) +
                info(sjis("** DEBUG ** : デフォルト出力先ファイル = ") + b"d" * 2047) +
                END)
    problems = check(run, status, output, 0, expected, {})
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
    return check(run, status, output, 0, START + summary(4, counts, 2, width=2000) + END,
                     {"a.csv": b"A\r\n", "k.csv": b"K" * 2000 + CRLF, "Default.csv": b"B\r\nx\r\n"})


def many_values(run):
    # Values V0000 to V2999 in turn, then again in the other order and in
    # small letters: every file is put aside before its second line comes.
    values = [f"V{n:04d}" for n in range(3000)]
    run.place("rules.ini", rules_file("[AssortRules]", "ColumnNo=1", "BaseDir=out", "Header=1", "ValueFile=v\\*.csv",
                                      "Count=1", "001=[V1500,rule.csv]"))
    lines = [b"key,round"] + [f"{v},1".encode() for v in values] + [f"{v.lower()},2".encode() for v in reversed(values)]
    run.place("in.csv", CRLF.join(lines) + CRLF)
    status, output = run.run(["in.csv", "rules.ini"])
    counts = [(b"V1500", 2)] + [(v.encode(), 2) for v in values if v != "V1500"]
    files = {f"out/v/{v}.csv": f"key,round\r\n{v},1\r\n{v.lower()},2\r\n".encode() for v in values if v != "V1500"}
    files["out/rule.csv"] = b"key,round\r\nV1500,1\r\nv1500,2\r\n"
    files["out/Default.csv"] = b"key,round\r\n"
    return check(run, status, output, 0, START + summary(6000, counts, 0) + END, files)


CASES = [("fifty-mb-line", fifty_mb_line), ("thousand-rules", thousand_rules), ("long-path", long_path),
         ("long-values", long_values), ("many-values", many_values)]


if __name__ == "__main__":
    sys.exit(run_cases(CASES, "faults-big"))
