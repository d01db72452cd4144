#!/usr/bin/env python3
"""A stand-in for a fitting program, for following tests and the Slurm
recipe: it writes a results file section by section, as the program does
while a long series of fits runs.

    test_fitter.py RESULTS [--sections N] [--every SECONDS] [--late SECONDS]
                   [--pieces] [--seed S] [--from FILE]

The file is created after --late seconds (default 1), then one section is
appended every --every seconds (default 1): N made-up sections (default
12), or the sections of --from FILE. With --pieces each section is written
in a few random pieces, split anywhere, flushed one by one. The sections
follow the layout the scanner relies on; each fit's WSS is made up from
the seed.
"""
import argparse
import random
import re
import sys
import time

RULE = " --------------------------------------------"


def section(wss, k):
    """Section k with its WSS: a number, or a field's text as it stands."""
    field = wss if isinstance(wss, str) else "%.4f" % wss
    lines = ["1           FINAL OUTPUT FROM Kalvor  --  estimation step %d" % k,
             " " + "=" * 78, " Data file: synthetic.dat", "",
             " Final WSS = %14s  (weighted sum of squares)" % field,
             " Iterations  =     14", " Converged   =    yes", " Condition", "",
             " Covariance step completed", " Objective", " ",
             " Model and Parameter Definition   (fit %d)" % k, RULE,
             " Parameter         Estimate        Std. error",
             " THETA(1) (CL)       %8.4f          0.0100" % (1 + k / 10.0),
             " THETA(2) (V1)       %8.4f          0.0200" % (5 + k / 7.0),
             RULE, "", " MAE  =  0.0412    RMSE =  0.0533", " End of statistics", ""]
    return ("\n".join(lines) + "\n").encode()


def sections_of(path):
    """A results file's sections, each from its header line on."""
    data = open(path, "rb").read()
    starts = [m.start() for m in re.finditer(rb"(?m)^.*FINAL OUTPUT FROM Kalvor", data)]
    if not starts:
        return [data]
    starts[0] = 0
    return [data[a:b] for a, b in zip(starts, starts[1:] + [len(data)])]


def main():
    p = argparse.ArgumentParser()
    p.add_argument("results")
    p.add_argument("--sections", type=int, default=12)
    p.add_argument("--every", type=float, default=1.0)
    p.add_argument("--late", type=float, default=1.0)
    p.add_argument("--pieces", action="store_true")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--from", dest="source")
    a = p.parse_args()
    rng = random.Random(a.seed)
    if a.source:
        parts = sections_of(a.source)
    else:
        parts = [section(1000 * (0.8 + rng.random()) - 10 * k, k + 1) for k in range(a.sections)]
    time.sleep(a.late)
    with open(a.results, "wb") as f:
        for k, part in enumerate(parts):
            if k > 0:
                time.sleep(a.every)
            cuts = sorted(rng.sample(range(1, len(part)), min(3, len(part) - 1))) if a.pieces else []
            for start, end in zip([0] + cuts, cuts + [len(part)]):
                f.write(part[start:end])
                f.flush()
                if a.pieces:
                    time.sleep(a.every / 10)
    return 0


if __name__ == "__main__":
    sys.exit(main())
