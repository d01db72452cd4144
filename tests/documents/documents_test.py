#!/usr/bin/env python3
"""The run's JSON document and CSV table, read back by Python's json and csv
modules and checked against what a run without options shows: its screen
table, WexlaP.OUT, and the WSS fields of the results file, with exact
arithmetic (fractions) for every number.

    documents_test.py WEXLA SAMPLE_RESULTS_FILE

Each case of the table runs `wexla --batch --json=run.json --csv=run.csv
RESULTS PERCENT` and the same run without options in another folder.
"""
import csv
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
from fractions import Fraction

WEXLA = os.path.abspath(sys.argv[1])
SAMPLE = os.path.abspath(sys.argv[2])
faults = []


def fault(text):
    faults.append(text)
    print("FAULT: " + text)


# --- Exact single precision ---------------------------------------------

def nearest_f32(x):
    """The binary32 value nearest to the Fraction x, ties to even, as a
    Fraction; None for a value beyond the largest finite one."""
    if x == 0:
        return Fraction(0)
    sign = -1 if x < 0 else 1
    x = abs(x)
    e = x.numerator.bit_length() - x.denominator.bit_length()
    if Fraction(2) ** e > x:
        e -= 1
    e = max(e, -126)  # subnormals share the smallest exponent
    unit = Fraction(2) ** (e - 23)
    q, r = divmod(x / unit, 1)
    q = int(q)
    if r > Fraction(1, 2) or (r == Fraction(1, 2) and q % 2 == 1):
        q += 1
    value = q * unit
    if value >= Fraction(2) ** 128:
        return None
    return sign * value


def f32(text):
    """The binary32 value the program reads from a decimal field text."""
    m = re.fullmatch(r"\s*([+-]?)(\d*)(?:\.(\d*))?(?:[eEdD]([+-]?\d+))?\s*", text)
    if not m:
        raise ValueError(text)
    digits = (m.group(2) or "") + (m.group(3) or "")
    scale = int(m.group(4) or 0) - len(m.group(3) or "")
    value = Fraction(int(digits or "0")) * Fraction(10) ** scale
    return nearest_f32(-value if m.group(1) == "-" else value)


def exact(number_text):
    """A JSON or CSV number text as an exact Fraction."""
    return Fraction(number_text)


def six_digits_match(value, screen_text):
    """The screen shows six significant digits: the document's value lies
    within half a unit of the sixth digit of the screen's text."""
    shown = Fraction(screen_text.strip())
    if shown == 0:
        return value == 0
    digits = len(re.sub(r"[^0-9]", "", screen_text.split("E")[0]).lstrip("0"))
    e = 0
    while Fraction(10) ** (e + 1) <= abs(shown):
        e += 1
    while Fraction(10) ** e > abs(shown):
        e -= 1
    half_unit = Fraction(10) ** (e - 5) / 2
    return abs(value - shown) <= half_unit


# --- Results files made from the layout the scanner relies on ------------

RULE = " --------------------------------------------"


def section(wss_field, parameter_lines=None):
    lines = ["1           FINAL OUTPUT FROM Kalvor  --  nonlinear regression  (v7.2)",
             " " + "=" * 78, " Data file: synthetic.dat", "",
             " Final WSS = %14s  (weighted sum of squares)" % wss_field,
             " Iterations  =     14", " Converged   =    yes", " Condition", "",
             " Covariance step completed", " Objective", " ",
             " Model and Parameter Definition   (final estimates)", RULE,
             " Parameter         Estimate        Std. error"]
    lines += parameter_lines or [" THETA(1) (CL1)        1.2500          0.0100"]
    lines += [RULE, "", " MAE  =  0.0412    RMSE =  0.0533", " End of statistics", ""]
    return "\n".join(lines) + "\n"


def stop_file():
    # A model heading with no "Final WSS" eight lines above it.
    return section("12.5") + "\n".join(["1 FINAL OUTPUT FROM Kalvor", "", "",
                                        " Model and Parameter Definition"]) + "\n"


# --- Running -------------------------------------------------------------

def run(folder, args):
    env = dict(os.environ)
    env["PATH"] = os.path.join(folder, "bin") + os.pathsep + env.get("PATH", "")
    return subprocess.run([WEXLA] + args, cwd=folder, env=env, input=b"\n",
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)


def new_folder(root, name, results_name, content):
    folder = os.path.join(root, name)
    os.makedirs(os.path.join(folder, "bin"))
    editor = os.path.join(folder, "bin", "bbedit")
    with open(editor, "w") as f:
        f.write("#!/bin/sh\ntouch bbedit.ran\n")
    os.chmod(editor, 0o755)
    if isinstance(results_name, str):
        results_name = results_name.encode()
    with open(os.path.join(folder.encode(), results_name), "wb") as f:
        f.write(content)
    return folder


TABLE_LINE = re.compile(r" The WSS\(([ \d*]{3})([* ])\) is (.{14}),(.{14})$")


def screen_table(screen):
    rows = []
    for line in screen.decode("latin-1").split("\n"):
        m = TABLE_LINE.match(line)
        if m:
            rows.append((int(m.group(1)), m.group(2) == "*", m.group(3), m.group(4)))
    count = re.search(r"WSS within .{10}% of best (.{5})", screen.decode("latin-1"))
    return rows, (int(count.group(1)) if count else None)


def summary_blocks(summary):
    """The block lines of each fit in WexlaP.OUT, trailing blanks removed."""
    blocks = []
    for line in summary.split(b"\n")[:-1]:
        if re.search(rb" \(\d{3}\) WSS =", line) and len(line) > 38:
            blocks.append([])
        elif blocks:
            blocks[-1].append(line.rstrip(b" "))
    return blocks


def wss_fields(results):
    """The WSS field of each fit, in order: characters 14 to 27 of the line
    eight above each model heading."""
    lines = [l[:80].ljust(80) for l in results.split(b"\n")]
    fields = []
    for k, line in enumerate(lines):
        if b"Model and Parameter Definition" in line and k >= 8 and b"Final WSS" in lines[k - 8]:
            fields.append(lines[k - 8][13:27].decode("latin-1"))
    return fields


def text_of(document, name):
    """A text member's bytes, from its _hex companion when it has one."""
    if name + "_hex" in document:
        return bytes.fromhex(document[name + "_hex"])
    return document[name].encode("utf-8")


# --- The checks ----------------------------------------------------------

def check_case(label, root, results_name, content, percent, want):
    plain = new_folder(root, label + "-plain", results_name, content)
    scripted = new_folder(root, label + "-scripted", results_name, content)
    typed = results_name.decode("latin-1") if isinstance(results_name, bytes) else results_name
    arg = results_name if isinstance(results_name, bytes) else results_name.encode()
    p = run(plain, [arg, percent.encode()])
    s = run(scripted, [b"--batch", b"--json=run.json", b"--csv=run.csv", arg, percent.encode()])
    # A batch run has statuses of its own for what did not end well.
    batch_status = want.get("batch_status", want["status"])
    if s.returncode != batch_status or p.returncode != want["status"]:
        fault("%s: status %d (plain %d), want %d (plain %d): %r" % (
            label, s.returncode, p.returncode, batch_status, want["status"], s.stderr))
    if s.stderr.decode("utf-8", "replace") != want.get("batch_line", ""):
        fault("%s: standard error %r, want %r" % (label, s.stderr, want.get("batch_line", "")))
    if os.path.exists(os.path.join(scripted, "bbedit.ran")):
        fault("%s: the editor ran in a batch run" % label)
    try:
        with open(os.path.join(scripted, "run.json"), "rb") as f:
            raw = f.read()
        document = json.loads(raw.decode("utf-8"))
    except (OSError, ValueError) as e:
        fault("%s: the JSON document does not read: %s" % (label, e))
        return
    try:
        with open(os.path.join(scripted, "run.csv"), newline="") as f:
            table = list(csv.reader(f, strict=True))
        with open(os.path.join(scripted, "run.csv"), "rb") as f:
            if b"\r" in f.read():
                fault("%s: the CSV holds a carriage return; its lines end in a line feed" % label)
    except (OSError, csv.Error) as e:
        fault("%s: the CSV table does not read: %s" % (label, e))
        return

    for member in ("wexla", "results", "percent", "outcome", "status", "error", "error_line",
                   "error_fit", "error_field", "fits", "best", "within_percent", "files"):
        if member not in document:
            fault("%s: no member %s" % (label, member))
    if document.get("outcome") != want["outcome"]:
        fault("%s: outcome %r, want %r" % (label, document.get("outcome"), want["outcome"]))
    if document.get("status") != batch_status:
        fault("%s: status member %r" % (label, document.get("status")))
    if text_of(document, "results") != arg.split(b".")[0] + b".OUT" and "/" not in typed:
        fault("%s: results %r" % (label, document.get("results")))
    if "error" in want:
        if not isinstance(document.get("error"), str) or want["error"] not in document["error"]:
            fault("%s: error %r, want it to hold %r" % (label, document.get("error"), want["error"]))
    elif document.get("error") is not None:
        fault("%s: error %r for a run that did not fail" % (label, document.get("error")))
    place = [document.get(m) for m in ("error_line", "error_fit", "error_field")]
    if place != want.get("place", [None, None, None]):
        fault("%s: error_line, error_fit, error_field %r, want %r" % (
            label, place, want.get("place", [None, None, None])))

    # Against the plain run's screen, summary and the results file itself.
    rows, count = screen_table(p.stdout)
    fits = document["fits"]
    if len(fits) != len(rows) or len(fits) != want["fits"]:
        fault("%s: %d fits in the document, %d on the screen, want %d" %
              (label, len(fits), len(rows), want["fits"]))
        return
    fields = wss_fields(content)
    with open(os.path.join(plain, "WexlaP.OUT"), "rb") as f:
        blocks = summary_blocks(f.read())
    percent_value = f32(percent)
    if document["percent"] is not None and f32(json.dumps(document["percent"])) != (
            percent_value if percent_value > 0 else f32("0.001")):
        fault("%s: percent %r" % (label, document["percent"]))
    counted = want["outcome"] in ("normal", "no fits")
    best = None
    for k, (fit, row) in enumerate(zip(fits, rows)):
        number, marked, wss_text, best_text = row
        where = "%s, fit %d" % (label, number)
        if fit["fit"] != number or fit["marked"] != marked:
            fault("%s: fit/marked %r, screen %r" % (where, (fit["fit"], fit["marked"]), row[:2]))
        read = f32(fields[k]) if not re.search(r"[a-zA-Z]{2}", fields[k]) else None
        if fit["wss"] is None:
            if read is not None or fit.get("wss_text") != fields[k].strip():
                fault("%s: wss null with text %r, field %r" % (where, fit.get("wss_text"), fields[k]))
        else:
            # The exact value the run read, not merely a close one.
            if read is None or f32(raw_number(raw, k, "wss")) != read:
                fault("%s: wss %s is not the field %r read exactly" %
                      (where, raw_number(raw, k, "wss"), fields[k]))
            if not six_digits_match(exact(raw_number(raw, k, "wss")), wss_text):
                fault("%s: wss %s against the screen's %r" % (where, fit["wss"], wss_text))
            if read is not None and (best is None or read < best[1]):
                best = (number, read)
        if fit["best_wss"] is not None and not six_digits_match(
                exact(raw_number(raw, k, "best_wss")), best_text):
            fault("%s: best_wss %s against the screen's %r" % (where, fit["best_wss"], best_text))
        if k < len(blocks):
            got = [text_of({"p": line, "p_hex": h} if h else {"p": line}, "p")
                   for line, h in zip(fit["parameters"],
                                      fit.get("parameters_hex", [None] * len(fit["parameters"])))]
            if got != blocks[k]:
                fault("%s: parameters %r, WexlaP.OUT %r" % (where, got, blocks[k]))
        if counted and fit["within_percent"] is None:
            fault("%s: within_percent null in a run that counted" % where)
        if not counted and fit["within_percent"] is not None:
            fault("%s: within_percent %r in a run that did not count" % (where, fit["within_percent"]))
    if counted:
        if document["within_percent"] != count or count != want["within"]:
            fault("%s: within_percent %r, screen %r, want %r" %
                  (label, document["within_percent"], count, want["within"]))
        if sum(1 for fit in fits if fit["within_percent"]) != count:
            fault("%s: the fits within do not add up to the count" % label)
    want_best = want.get("best")
    got_best = document["best"]["fit"] if document["best"] else None
    if got_best != want_best:
        fault("%s: best fit %r, want %r" % (label, got_best, want_best))

    # The CSV holds the same values as the JSON, with the results file first.
    header = ["results", "results_hex", "fit", "wss", "wss_text", "best_wss", "marked",
              "new_best", "within_percent"]
    if table[0] != header:
        fault("%s: CSV header %r" % (label, table[0]))
    if len(table) != len(fits) + 1:
        fault("%s: %d CSV rows for %d fits" % (label, len(table) - 1, len(fits)))
        return
    truth = {True: "TRUE", False: "FALSE", None: "FALSE"}
    for k, (row, fit) in enumerate(zip(table[1:], fits)):
        if len(row) != 9 or not row[2].isdigit():
            fault("%s: CSV row %r is not nine fields with a fit number third" % (label, row))
            continue

        def same(field, member):
            value = fit[member]
            if value is None:
                return field == ""
            return field != "" and f32(field) == f32(raw_number(raw, k, member))
        want_hex = document.get("results_hex", "")
        if (row[0] != document["results"] or row[1] != want_hex or int(row[2]) != fit["fit"]
                or not same(row[3], "wss") or row[4] != (fit.get("wss_text") or "")
                or not same(row[5], "best_wss") or row[6] != truth[fit["marked"]]
                or row[7] != truth[fit["new_best"]] or row[8] != truth[fit["within_percent"]]):
            fault("%s: CSV row %r, JSON %r" % (label, row, fit))
    # new_best: the fit lowered the best WSS, which starts at 1e30.
    best = f32("1e30")
    for k, fit in enumerate(fits):
        value = field_value(fields[k])
        lowered = value < best
        if lowered:
            best = value
        if fit["new_best"] != lowered:
            fault("%s, fit %d: new_best %r" % (label, fit["fit"], fit["new_best"]))


def field_value(text):
    """The value of a WSS field as the run reads it, infinities and NaNs
    included, as a float that compares as the single-precision one does."""
    if re.search(r"[a-zA-Z]{2}", text):
        return float(text.split("(")[0])
    value = f32(text)
    if value is None:
        return float("-inf") if text.strip().startswith("-") else float("inf")
    return value


def raw_number(raw, k, member):
    """The text of a number member of fit k as it stands in the document,
    so that it is compared exactly and not through a binary64 value."""
    fits = raw.split(b'{"fit": ')[1:]
    m = re.search(rb'"' + member.encode() + rb'": (-?[0-9.eE+-]+)', fits[k])
    return m.group(1).decode()


def main():
    with open(SAMPLE, "rb") as f:
        sample = f.read()
    root = tempfile.mkdtemp(prefix="wexla-documents-")
    try:
        stray = [" THETA(1) caf\xe9 (CL1)     1.2500", " \"quoted\" \\ and\ttab (x)   2.0"]
        cases = [
            ("sample", "sample", sample, "5",
             {"status": 0, "outcome": "normal", "fits": 12, "within": 4, "best": 10}),
            ("sample-at-10", "sample.OUT", sample, "10",
             {"status": 0, "outcome": "normal", "fits": 12, "within": 8, "best": 10}),
            ("infinities-and-nans", "odd",
             (section("12.5") + section("Infinity") + section("NaN") + section("-Infinity") +
              section("1e39") + section("3")).encode(), "5",
             {"status": 0, "outcome": "normal", "fits": 6, "within": 0, "best": 4}),
            ("not-utf8-name", b"caf\xe9", (section("7") + section("6.5", stray)).encode("latin-1"),
             "0", {"status": 0, "outcome": "normal", "fits": 2, "within": 1, "best": 2}),
            ("data-error", "bad", (section("12.5") + section("1.2.3")).encode(), "5",
             {"status": 2, "batch_status": 65, "outcome": "data error", "fits": 1,
              "error": "bad.OUT line 26, fit 2: the WSS field '1.2.3' is not a number",
              "batch_line": "wexla: bad.OUT line 26, fit 2: the WSS field '1.2.3' is not a number\n",
              "place": [26, 2, "1.2.3"], "best": 1}),
            ("stop", "stopped", stop_file().encode(), "5",
             {"status": 0, "batch_status": 4, "outcome": "not a normal fit", "fits": 1, "best": 1,
              "error": "stopped.OUT: not the result of a normal fit"}),
            ("no-fits", "empty", b"no fits here\n", "5",
             {"status": 0, "batch_status": 3, "outcome": "no fits", "fits": 0, "within": 0,
              "best": None, "error": "empty.OUT: no fit found",
              "batch_line": "wexla: empty.OUT: no fit found\n"}),
        ]
        for label, name, content, percent, want in cases:
            results_name = name + b".OUT" if isinstance(name, bytes) else (
                name if name.endswith(".OUT") else name + ".OUT")
            check_case(label, root, results_name if isinstance(name, bytes) else results_name,
                       content, percent, want)

        # Negative zero keeps its sign through Python's json: "-0.0", not "-0".
        folder = new_folder(root, "negative-zero", "zero.OUT", (section("-0")).encode())
        r = run(folder, [b"--batch", b"--json=run.json", b"--csv=run.csv", b"zero", b"5"])
        with open(os.path.join(folder, "run.json"), "rb") as f:
            raw = f.read()
        fit = json.loads(raw.decode("utf-8"))["fits"][0]
        if (r.returncode != 0 or b'"wss": -0.0,' not in raw or not isinstance(fit["wss"], float)
                or math.copysign(1.0, fit["wss"]) != -1.0):
            fault("negative zero: %r in %r" % (fit.get("wss"), raw[:300]))
        with open(os.path.join(folder, "run.csv"), newline="") as f:
            if list(csv.reader(f))[1][3] != "-0.0":
                fault("negative zero in the CSV")

        # The done-when line: the document alone on standard output, with
        # standard input at its end, and no editor.
        folder = new_folder(root, "stdout", "sample.OUT", sample)
        env = dict(os.environ, PATH=os.path.join(folder, "bin") + os.pathsep + os.environ["PATH"])
        r = subprocess.run([WEXLA, "--batch", "--json=-", "sample", "5"], cwd=folder, env=env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=120)
        try:
            d = json.loads(r.stdout.decode("utf-8"))
            if (r.returncode, len(d["fits"]), d["best"]["fit"], d["within_percent"]) != (0, 12, 10, 4):
                fault("standard output: %r" % ((r.returncode, len(d["fits"]), d["best"], d["within_percent"]),))
        except ValueError as e:
            fault("standard output is not a JSON document alone: %s: %r" % (e, r.stdout[:200]))
        if os.path.exists(os.path.join(folder, "bbedit.ran")):
            fault("standard output: the editor ran")
    finally:
        shutil.rmtree(root)
    if faults:
        print("%d faults" % len(faults))
        return 1
    print("documents: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
