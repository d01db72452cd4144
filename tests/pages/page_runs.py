"""Results files for the page and chart tests, made from the layout the
scanner relies on, and the runs that turn them into pages: shared by the
geometry test and the browser test.

Every case is run twice in folders of its own: once without options (its
screen and WexlaP.OUT are the truth the page must agree with) and once as
`wexla --batch --json=run.json --html=run.html --svg=run.svg`.
"""
import math
import os
import random
import re
import subprocess

RULE = " --------------------------------------------"


def section(wss_field, parameter_lines=None):
    """One fit's section: the "Final WSS" line eight lines above the model
    heading, a parameter block, and the closing statistics."""
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


def results_of(fields, parameters=None):
    return "".join(section(f, parameters(k) if parameters else None)
                   for k, f in enumerate(fields)).encode("latin-1")


def falling_series(count, seed, start, end, noise, log=False):
    """A long series of fits that improves with scatter, as a search does:
    WSS fields from about `start` down to about `end`."""
    rng = random.Random(seed)
    fields = []
    for k in range(count):
        t = k / max(1, count - 1)
        if log:
            value = 10 ** (math.log10(start) + (math.log10(end) - math.log10(start)) * t
                           + rng.uniform(0, noise))
        else:
            value = end + (start - end) * math.exp(-5 * t) + rng.uniform(0, noise)
        fields.append("%.4f" % value)
    return fields


def stop_file():
    # A model heading with no "Final WSS" eight lines above it.
    return (section("1187.9") + section("1098.472") +
            "\n".join(["1 FINAL OUTPUT FROM Kalvor", "", "",
                       " Model and Parameter Definition"]) + "\n").encode()


# Parameter lines that are markup; WexlaP.OUT keeps 38 characters of each.
MARKUP = [" THETA(1) <script>alert(1)</script> 1",
          " THETA(2) </svg></pre><b>b</b> caf\xe9 2",
          " THETA(3) <img src=x onerror=alert(2)>",
          " THETA(4) &amp; &lt;i&gt; (Q)    4.0"]


def cases(sample):
    """name -> (results file name, content, percent, batch status)."""
    return {
        "sample": ("sample.OUT", sample, "5", 0),
        "one-fit": ("one.OUT", results_of(["42.125"]), "5", 0),
        "equal": ("equal.OUT", results_of(["7.5"] * 6), "5", 0),
        "zero": ("zero.OUT", results_of(["0", "0"]), "5", 0),
        "linear-150": ("linear.OUT", results_of(falling_series(150, 150, 5200.0, 1040.0, 260.0)),
                       "5", 0),
        "log-150": ("log.OUT", results_of(falling_series(150, 151, 1.0e5, 40.0, 0.6, log=True)),
                    "10", 0),
        "fits-5000": ("many.OUT", results_of(falling_series(5000, 5000, 900.0, 310.0, 60.0)),
                      "2", 0),
        "not-finite": ("odd.OUT", results_of(["12.5", "Infinity", "NaN", "14.25", "1e39",
                                              "11.75", "-Infinity", "13"]), "5", 0),
        "all-nan": ("nans.OUT", results_of(["NaN", "NaN"]), "5", 0),
        "no-fits": ("empty.OUT", b"no fits here\n", "5", 3),
        "stopped": ("stopped.OUT", stop_file(), "5", 4),
        "failed": ("failed.OUT", results_of(["1204.34", "1187.90", "1.2.3"]), "5", 65),
        "markup": ("a<b>&c.OUT", results_of(["2.5", "1.75", "3"],
                                            lambda k: MARKUP), "5", 0),
    }


def run(wexla, folder, args):
    env = dict(os.environ)
    env["PATH"] = os.path.join(folder, "bin") + os.pathsep + env.get("PATH", "")
    return subprocess.run([wexla] + args, cwd=folder, env=env, input=b"\n",
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)


def new_folder(root, name, results_name, content):
    folder = os.path.join(root, name)
    os.makedirs(os.path.join(folder, "bin"))
    editor = os.path.join(folder, "bin", "bbedit")
    with open(editor, "w") as f:
        f.write("#!/bin/sh\ntouch bbedit.ran\n")
    os.chmod(editor, 0o755)
    with open(os.path.join(folder, results_name), "wb") as f:
        f.write(content)
    return folder


def make_pages(wexla, root, name, case):
    """Runs one case both ways; returns the folders and the two runs."""
    results_name, content, percent, _ = case
    plain = new_folder(root, name + "-plain", results_name, content)
    paged = new_folder(root, name, results_name, content)
    p = run(wexla, plain, [results_name, percent])
    r = run(wexla, paged, ["--batch", "--json=run.json", "--html=run.html", "--svg=run.svg",
                           results_name, percent])
    return plain, paged, p, r


TABLE_LINE = re.compile(r" The WSS\(([ \d*]{3})([* ])\) is (.{14}),(.{14})$")


def screen_rows(screen):
    """The screen's table: (marked, WSS text, best text), trimmed."""
    rows = []
    for line in screen.decode("latin-1").split("\n"):
        m = TABLE_LINE.match(line)
        if m:
            rows.append((m.group(2) == "*", m.group(3).strip(), m.group(4).strip()))
    return rows


def summary_blocks(summary):
    """The block lines of each fit in WexlaP.OUT, trailing blanks removed."""
    blocks = []
    for line in summary.split(b"\n")[:-1]:
        if re.search(rb" \([\d* ]{3}\) WSS =", line) and len(line) > 38:
            blocks.append([])
        elif blocks:
            blocks[-1].append(line.rstrip(b" "))
    return blocks
