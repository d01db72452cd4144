#!/usr/bin/env python3
"""The tables that R, pandas and awk read: each run's fit table (--csv),
the collected table of many runs (wexla-collect) and the long table of
every fit of every run (wexla-collect --fits), read back with Python's csv
and checked against the runs' JSON documents, for every outcome and for
run folders damaged in every way the collector meets.

    tables_test.py WEXLA COLLECT SAMPLE [--readers]

With --readers, the README's pandas and R lines read every table too, and
the column types are checked: a mark is a boolean in both, whatever the
outcome. That runs in the stage of .ci/run that installs Debian's pandas
and R (it sets WEXLA_TABLE_READERS=1); elsewhere it is skipped (status 77)
with the reason.
"""
import csv
import html.parser
import json
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

WEXLA = os.path.abspath(sys.argv[1])
COLLECT = os.path.abspath(sys.argv[2])
SAMPLE = os.path.abspath(sys.argv[3])
faults = []


def find_readers():
    """A Python that has pandas, and Rscript; exits 77 saying why when this
    is not the stage for them or they are not installed."""
    if os.environ.get("WEXLA_TABLE_READERS") != "1":
        print("SKIP: pandas and R read the tables in their own stage of .ci/run "
              "(WEXLA_TABLE_READERS=1)")
        sys.exit(77)
    pythons = [p for p in ("/usr/bin/python3", shutil.which("python3")) if p]
    python = next((p for p in pythons if subprocess.run(
        [p, "-c", "import pandas"], capture_output=True).returncode == 0), None)
    rscript = shutil.which("Rscript")
    if python is None or rscript is None:
        print("SKIP: needs Debian's python3-pandas and r-base-core (pandas %s, Rscript %s)" %
              ("found" if python else "missing", "found" if rscript else "missing"))
        sys.exit(77)
    return python, rscript


READERS = find_readers() if sys.argv[4:5] == ["--readers"] else None

FIT_TABLE = ["results", "results_hex", "fit", "wss", "wss_text", "best_wss", "marked",
             "new_best", "within_percent"]
RUN_TABLE = ["folder", "folder_hex", "results", "results_hex", "outcome", "status", "error",
             "fits", "best_fit", "best_wss", "within_percent"]
LONG_TABLE = ["folder", "folder_hex", "results", "results_hex", "fit", "wss", "wss_text",
              "best_wss", "marked", "new_best", "within_percent"]


def fault(text):
    faults.append(text)
    print("FAULT: " + text)


RULE = " --------------------------------------------"


def section(wss_field):
    """A section of one fit, made from the layout the scanner relies on."""
    lines = [" FINAL OUTPUT FROM Kalvor", RULE, " Final WSS = %14s" % wss_field]
    lines += [" filler line %d" % k for k in range(7)]
    lines += [" Model and Parameter Definition", RULE, " THETA(1) (CL) 1.5", " THETA(2) (V) 2.5",
              RULE, " MAE  = 0.5", " closing", ""]
    return "\n".join(lines) + "\n"


def read_table(path):
    with open(path, "rb") as f:
        raw = f.read()
    if b"\r" in raw:
        fault("%s: a carriage return; lines end in a line feed" % path)
    return list(csv.reader(raw.decode("utf-8").splitlines(), strict=True))


def truth(value):
    return "TRUE" if value is True else "FALSE"


def number(value):
    return "" if value is None else json.dumps(value)


def make_run(runs, folder, results_name, content, percent="5"):
    """A run folder as the README's recipe leaves it: the results file
    linked in from data/, the documents, the screen and the status."""
    data = os.path.join(os.path.dirname(runs), b"data")
    os.makedirs(data, exist_ok=True)
    path = os.path.join(runs, folder)
    os.makedirs(path)
    if content is not None:
        with open(os.path.join(data, results_name), "wb") as f:
            f.write(content)
        os.symlink(os.path.join(b"..", b"..", b"data", results_name),
                   os.path.join(path, results_name))
    r = subprocess.run([WEXLA, b"--batch", b"--json=wexla.json", b"--csv=fits.csv",
                        b"--html=wexla.html", b"--svg=wexla.svg", b"--",
                        results_name, percent.encode()], cwd=path, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    with open(os.path.join(path, b"wexla.status"), "w") as f:
        f.write("%d\n" % r.returncode)
    return path


def document_of(path):
    with open(os.path.join(path, b"wexla.json"), "rb") as f:
        return json.loads(f.read().decode("utf-8"))


def check_fit_table(path, label):
    """A run's fit table against its document."""
    document = document_of(path)
    table = read_table(os.path.join(path, b"fits.csv"))
    if table[0] != FIT_TABLE:
        fault("%s: fit table header %r" % (label, table[0]))
        return
    fits = document["fits"]
    if len(table) - 1 != len(fits):
        fault("%s: %d rows for %d fits" % (label, len(table) - 1, len(fits)))
        return
    for row, fit in zip(table[1:], fits):
        want = [document["results"], document.get("results_hex", ""), str(fit["fit"]),
                number(fit["wss"]), fit.get("wss_text", "") if fit["wss"] is None else "",
                number(fit["best_wss"]), truth(fit["marked"]), truth(fit["new_best"]),
                truth(fit["within_percent"])]
        if row != want:
            fault("%s: fit table row %r, want %r" % (label, row, want))


def main():
    sample = open(SAMPLE, "rb").read()
    root = tempfile.mkdtemp(prefix="wexla-tables-")
    try:
        runs = os.path.join(os.fsencode(root), b"runs")
        os.makedirs(runs)
        stop = (" FINAL OUTPUT FROM Kalvor\n a line\n Model and Parameter Definition\n").encode()
        bad = (section("12.5") + section("1.2.3")).encode()
        odd = (section("12.5") + section("NaN") + section("-Infinity") + section("3")).encode()
        cases = [
            (b"sample", b"sample.OUT", sample, "normal", 0),
            (b"stopped", b"stopped.OUT", stop, "not a normal fit", 4),
            (b"data-error", b"bad.OUT", bad, "data error", 65),
            (b"empty", b"empty.OUT", b"", "no fits", 3),
            (b"missing", b"missing.OUT", None, "no results file", 66),
            (b"odd", b"odd.OUT", odd, "normal", 0),
            (b"caf\xe9", b"caf\xe9.OUT", sample, "normal", 0),
        ]
        # More runs of the sample at other percentages: twenty run folders.
        for k in range(7):
            cases.append((b"sample-%d" % k, b"sample-%d.OUT" % k, sample, "normal", 0))
        for folder, name, content, outcome, status in cases:
            path = make_run(runs, folder, name, content)
            label = folder.decode("utf-8", "replace")
            got = open(os.path.join(path, b"wexla.status")).read().strip()
            if got != str(status):
                fault("%s: status %s, want %d" % (label, got, status))
            if document_of(path)["outcome"] != outcome:
                fault("%s: outcome %r, want %r" % (label, document_of(path)["outcome"], outcome))
            check_fit_table(path, label)
        # A run that failed: the scratch file is a link.
        path = os.path.join(runs, b"failed")
        os.makedirs(path)
        shutil.copy(SAMPLE, os.path.join(path, b"failed.OUT"))
        os.symlink(b"elsewhere", os.path.join(path, b"temp.OUT"))
        r = subprocess.run([WEXLA, "--batch", "--json=wexla.json", "--csv=fits.csv", "failed",
                            "5"], cwd=path, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        open(os.path.join(path, b"wexla.status"), "w").write("%d\n" % r.returncode)
        check_fit_table(path, "failed")
        # The damaged run folders: a document cut short, one nested too deep,
        # none at all (the program was killed), and a status that is text.
        damaged = {b"cut-document": b'{"wexla": "1.03", "fits": [',
                   b"nested-too-deep": b"[" * 200000 + b"]" * 200000,
                   b"not-an-object": b"[1, 2]"}
        for folder, text in damaged.items():
            path = make_run(runs, folder, folder + b".OUT", sample)
            with open(os.path.join(path, b"wexla.json"), "wb") as f:
                f.write(text)
        path = make_run(runs, b"killed", b"killed.OUT", sample)
        os.remove(os.path.join(path, b"wexla.json"))
        with open(os.path.join(path, b"wexla.status"), "w") as f:
            f.write("Killed\n")
        # A chart that is not the program's, in a shared folder.
        with open(os.path.join(runs, b"cut-document", b"wexla.svg"), "wb") as f:
            f.write(b"<svg xmlns='http://www.w3.org/2000/svg'><script>alert(1)</script></svg>")
        check_collected(root, runs)
        check_collected_page(root, runs)
    finally:
        shutil.rmtree(root)
    if faults:
        print("%d faults" % len(faults))
        return 1
    print("tables: all checks passed")
    return 0


class RunsPage(html.parser.HTMLParser):
    """The rows, links, images and policy of the page of many runs."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.links, self.images, self.tags = [], [], [], []
        self.policy = None
        self.cell = None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        self.tags.append(tag)
        if tag == "meta" and a.get("http-equiv") == "Content-Security-Policy":
            self.policy = a.get("content")
        if tag == "tr" and "tbody" in self.tags:
            self.rows.append([])
        if tag == "td":
            self.cell = ""
        if tag == "a":
            self.links.append(a.get("href"))
        if tag == "img":
            self.images.append(a.get("src", ""))

    def handle_endtag(self, tag):
        if tag == "td":
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


def check_collected_page(root, runs):
    """--html: a row for every run folder, the best WSS first and the runs
    without one last, each run's chart an image and each link a file that
    is there; no script, whatever a run folder holds."""
    page = os.path.join(root, "runs.html")
    r = collect(["--html=" + page, os.fsdecode(runs)])
    if r.returncode != 0 or r.stdout:
        fault("--html: status %d, output %r, %r" % (r.returncode, r.stdout[:100], r.stderr))
        return
    raw = open(page, "rb").read()
    parsed = RunsPage()
    parsed.feed(raw.decode("utf-8"))
    folders = sorted(os.listdir(runs))
    if len(parsed.rows) != len(folders):
        fault("--html: %d rows for %d run folders" % (len(parsed.rows), len(folders)))
    best = [float(row[5]) if row[5] else None for row in parsed.rows]
    known = [b for b in best if b is not None]
    if known != sorted(known) or None in best[:len(known)]:
        fault("--html: the rows are not ordered by best WSS: %r" % best)
    charts = sum(os.path.exists(os.path.join(runs, f, b"wexla.svg")) for f in folders)
    if len(parsed.images) != charts or any(
            not src.startswith("data:image/svg+xml;base64,") for src in parsed.images):
        fault("--html: %d images for %d charts" % (len(parsed.images), charts))
    pages = sum(os.path.exists(os.path.join(runs, f, b"wexla.html")) for f in folders)
    if len(parsed.links) != pages:
        fault("--html: %d links for %d pages" % (len(parsed.links), pages))
    for href in parsed.links:
        target = os.path.join(os.fsencode(root), urllib.parse.unquote_to_bytes(href))
        if not os.path.isfile(target):
            fault("--html: a link to %r, which is not there" % href)
    if parsed.policy != "default-src 'none'; style-src 'unsafe-inline'; img-src data:" or \
            b"<script" in raw or "script" in parsed.tags:
        fault("--html: policy %r, or a script in the page" % parsed.policy)
    if collect(["--fits", "--html=" + page, os.fsdecode(runs)]).returncode != 64:
        fault("--html with --fits is not refused")


def collect(args, **kw):
    return subprocess.run([sys.executable, COLLECT] + args, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=120, **kw)


def check_collected(root, runs):
    """runs.csv and --fits over the run folders, row by row."""
    env = dict(os.environ, LC_ALL="C", LANG="C")
    env.pop("PYTHONIOENCODING", None)
    r = collect([os.fsdecode(runs)], env=env)
    if r.returncode != 0:
        fault("wexla-collect: status %d: %r" % (r.returncode, r.stderr[-400:]))
        return
    for reason in (b"nested too deep", b"not an object", b"cut-document"):
        if reason not in r.stderr:
            fault("wexla-collect did not say %r on standard error: %r" % (reason, r.stderr))
    if b"Traceback" in r.stderr:
        fault("wexla-collect: a traceback: %r" % r.stderr[-400:])
    runs_csv = os.path.join(root, "runs.csv")
    open(runs_csv, "wb").write(r.stdout)
    table = read_table(runs_csv)
    if table[0] != RUN_TABLE:
        fault("runs.csv header %r" % table[0])
        return
    folders = sorted(e for e in os.listdir(runs))
    if len(table) - 1 != len(folders):
        fault("runs.csv: %d rows for %d run folders" % (len(table) - 1, len(folders)))
    long_rows = []
    for row, folder in zip(table[1:], folders):
        cells = dict(zip(RUN_TABLE, row))
        label = folder.decode("utf-8", "replace")
        want_folder = folder.decode("utf-8", "replace")
        want_hex = "" if want_folder.encode("utf-8") == folder else folder.hex()
        if (cells["folder"], cells["folder_hex"]) != (want_folder, want_hex):
            fault("%s: folder %r %r" % (label, cells["folder"], cells["folder_hex"]))
        if cells["status"] and not cells["status"].isdigit():
            fault("%s: status %r is not a number" % (label, cells["status"]))
        path = os.path.join(runs, folder)
        status = open(os.path.join(path, b"wexla.status")).read().strip()
        if cells["status"] != (status if status.isdigit() else ""):
            fault("%s: status %r, the folder's %r" % (label, cells["status"], status))
        results = cells["results"].encode("utf-8") if not cells["results_hex"] else \
            bytes.fromhex(cells["results_hex"])
        if not os.path.isabs(results):
            fault("%s: results %r is not an absolute path" % (label, results))
        try:
            document = document_of(path)
            assert isinstance(document, dict) and isinstance(document["fits"], list)
        except (OSError, ValueError, AssertionError, KeyError, RecursionError):
            document = None
        if document is None:
            want = "no document" if not os.path.exists(os.path.join(path, b"wexla.json")) \
                else "damaged document"
            if cells["outcome"] != want or cells["fits"] != "":
                fault("%s: %r, want a row of a %s" % (label, row, want))
            if not results.endswith(folder + b".OUT"):
                fault("%s: the results file %r is not named" % (label, results))
            continue
        best = document["best"]
        want = {"outcome": document["outcome"], "error": document["error"] or "",
                "fits": str(len(document["fits"])),
                "best_fit": "" if best is None else str(best["fit"]),
                "best_wss": "" if best is None else number(best["wss"]),
                "within_percent": number(document["within_percent"])}
        for column, value in want.items():
            if cells[column] != value:
                fault("%s: %s %r, want %r" % (label, column, cells[column], value))
        for fit in document["fits"]:
            long_rows.append([cells["folder"], cells["folder_hex"], cells["results"],
                              cells["results_hex"], str(fit["fit"]), number(fit["wss"]),
                              fit.get("wss_text", "") if fit["wss"] is None else "",
                              number(fit["best_wss"]), truth(fit["marked"]),
                              truth(fit["new_best"]), truth(fit["within_percent"])])

    # Every fit of every run, in one long table.
    r = collect(["--fits", os.fsdecode(runs)], env=env)
    fits_csv = os.path.join(root, "fits.csv")
    open(fits_csv, "wb").write(r.stdout)
    table = read_table(fits_csv)
    if r.returncode != 0 or table[0] != LONG_TABLE:
        fault("--fits: status %d, header %r" % (r.returncode, table[0]))
    elif table[1:] != long_rows:
        fault("--fits: %d rows, want %d; first difference %r" % (
            len(table) - 1, len(long_rows),
            next(((g, w) for g, w in zip(table[1:], long_rows) if g != w), None)))

    # A run folder given itself is a table of one row.
    r = collect([os.fsdecode(os.path.join(runs, b"sample"))])
    rows = list(csv.reader(r.stdout.decode("utf-8").splitlines()))
    if len(rows) != 2 or rows[1][0] != "sample":
        fault("a run folder given itself: %r" % rows)
    # A reader that goes after one line (| head -1): a quiet end.
    p = subprocess.Popen([sys.executable, COLLECT, "--fits", os.fsdecode(runs)],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, bufsize=0)
    p.stdout.readline()
    p.stdout.close()
    err = p.stderr.read()
    if p.wait() != 0 or b"Traceback" in err or b"BrokenPipe" in err:
        fault("a closed pipe: status %d, %r" % (p.returncode, err[-300:]))

    if READERS:
        check_readers(root, runs, [runs_csv, fits_csv])


def check_readers(root, runs, collected):
    """The README's pandas and R lines on every table, and their column
    types: a mark is a boolean whatever the outcome, numbers are numbers."""
    python, rscript = READERS
    tables = collected + [os.fsdecode(os.path.join(runs, f, b"fits.csv"))
                          for f in sorted(os.listdir(runs))
                          if os.path.exists(os.path.join(runs, f, b"fits.csv"))]
    pandas = r'''
import sys, pandas as pd
marks = {"marked": bool, "new_best": bool, "within_percent": bool}
for path in sys.argv[1:]:
    header = open(path, encoding="utf-8").readline().rstrip("\n").split(",")
    # The marks of a fit table; the collected runs' within_percent is a count.
    types = marks if "marked" in header else {}
    d = pd.read_csv(path, dtype=types)
    d.query("within_percent") if "marked" in header else d
    for c in types:
        assert d[c].dtype == bool, (path, c, d[c].dtype)
    if len(d) and "fit" in header:
        assert d["fit"].dtype.kind == "i", (path, d["fit"].dtype)
        assert d["wss"].dtype.kind == "f", (path, d["wss"].dtype)
    if len(d) and "status" in header:
        assert d["status"].dtype.kind in "if", (path, d["status"].dtype)
print("pandas read", len(sys.argv) - 1, "tables")
'''
    r = subprocess.run([python, "-c", pandas] + tables, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE)
    if r.returncode != 0:
        fault("pandas: %r" % r.stderr[-600:])
    rcode = r'''
for (path in commandArgs(trailingOnly = TRUE)) {
  d <- read.csv(path, encoding = "UTF-8")
  if ("marked" %in% names(d)) {
    s <- subset(d, within_percent)
    for (c in c("marked", "new_best", "within_percent"))
      if (!is.logical(d[[c]])) stop(paste(path, c, class(d[[c]])))
    if (nrow(d) > 0 && !is.numeric(d$wss)) stop(paste(path, "wss", class(d$wss)))
  }
  if ("status" %in% names(d) && !(is.numeric(d$status) || all(is.na(d$status))))
    stop(paste(path, "status", class(d$status)))
}
cat("R read", length(commandArgs(trailingOnly = TRUE)), "tables\n")
'''
    r = subprocess.run([rscript, "-e", rcode] + tables, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE)
    if r.returncode != 0:
        fault("R: %r" % r.stderr[-600:])
    print("readers: pandas and R read %d tables" % len(tables))


if __name__ == "__main__":
    sys.exit(main())
