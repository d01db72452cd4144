#!/usr/bin/env python3
"""The run's page in a real browser: Debian's chromium, headless, driven
over the DevTools protocol. For the sample, a 150-fit, a 5,000-fit, a
stopped, a failed run and one whose parameter lines are markup, at 1280
and at 390 pixels wide: as many points as fits, the best point and its
label inside the plot, no two labels of the chart overlapping in the
browser's own font, nothing wider than the page, no request leaving the
page, no script run, markup shown as text; printed on A4 and on Letter,
every row of the table whole. Then the collection page of wexla-collect
over the same run folders and a damaged one: every run a row, each run's
chart an image that loads, each link's file there.

    browser_test.py WEXLA SAMPLE COLLECT SCREENSHOT_FOLDER

Screenshots (PNG) go to SCREENSHOT_FOLDER, the printed pages too (through
pdftoppm). Skipped (status 77) with the reason where chromium is not
installed, and when WEXLA_BROWSER=later (.ci/run runs it in a stage of its
own, so its suites skip it).
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import devtools  # noqa: E402
import page_runs  # noqa: E402

WEXLA = os.path.abspath(sys.argv[1])
SAMPLE = os.path.abspath(sys.argv[2])
COLLECT = os.path.abspath(sys.argv[3])
SHOTS = os.path.abspath(sys.argv[4])
faults = []

PAGES = ["sample", "linear-150", "fits-5000", "stopped", "failed", "markup"]
PRINTED = ["sample", "linear-150"]
PAPER = {"a4": (8.27, 11.69), "letter": (8.5, 11.0)}


def fault(text):
    faults.append(text)
    print("FAULT: " + text)


# What the page looks like to its reader, measured by the browser.
MEASURE = r"""(() => {
  const box = e => { const r = e.getBoundingClientRect(); return [r.left, r.top, r.right, r.bottom]; };
  const svg = document.querySelector('svg.wexla-chart');
  const out = {rows: document.querySelectorAll('table.fits tbody tr').length};
  if (svg) {
    out.points = svg.querySelectorAll('circle.fit, path.fit').length;
    out.plot = box(svg.querySelector('rect.frame'));
    out.chart = box(svg);
    const ring = svg.querySelector('circle.best');
    const label = svg.querySelector('text.best-label');
    out.ring = ring && box(ring);
    out.label = label && box(label);
    out.texts = [...svg.querySelectorAll('text')].map(t => [t.textContent, box(t)]);
  }
  const width = document.documentElement.clientWidth;
  out.width = width;
  out.scroll_width = document.documentElement.scrollWidth;
  out.wider = [...document.body.querySelectorAll('*')].filter(e => {
    const r = e.getBoundingClientRect();
    return r.width > 0 && (r.right > width + 0.5 || r.left < -0.5);
  }).slice(0, 5).map(e => e.tagName);
  const wrap = document.querySelector('.table-wrap');
  out.table_wrap = wrap && box(wrap);
  out.scripts = document.scripts.length;
  out.markup_elements = document.querySelectorAll('pre *, td *, dd *, h1 *').length;
  out.pre_text = [...document.querySelectorAll('pre')].map(p => p.textContent).join('\n');
  out.heading = document.querySelector('h1').textContent;
  out.outcome = document.querySelector('p.outcome').textContent;
  out.background = getComputedStyle(document.body).backgroundColor;
  return JSON.stringify(out);
})()"""


def inside(inner, outer, slack=0.5):
    return (inner[0] >= outer[0] - slack and inner[1] >= outer[1] - slack and
            inner[2] <= outer[2] + slack and inner[3] <= outer[3] + slack)


def overlap(a, b, slack=0.5):
    return a[0] < b[2] - slack and b[0] < a[2] - slack and a[1] < b[3] - slack and \
        b[1] < a[3] - slack


def requests_out(browser, page_url):
    """Every request but the page itself: a request that leaves the page."""
    urls = []
    for event in browser.events:
        if event.get("method") == "Network.requestWillBeSent":
            url = event["params"]["request"]["url"]
            if url != page_url and not url.startswith("data:"):
                urls.append(url)
    return urls


def blocked(browser):
    """What the page's policy refused, as the browser's log says."""
    return [e["params"]["entry"]["text"] for e in browser.events
            if e.get("method") == "Log.entryAdded" and
            "Content Security Policy" in e["params"]["entry"].get("text", "")]


def check_page(browser, name, url, document, width):
    label = "%s at %d" % (name, width)
    browser.set_width(width, mobile=width < 500)
    browser.load(url)
    m = json.loads(browser.evaluate(MEASURE))
    fits = len(document["fits"])
    if m["rows"] != fits:
        fault("%s: %d table rows for %d fits" % (label, m["rows"], fits))
    finite = [f for f in document["fits"] if f["wss"] is not None]
    if finite and m.get("points") != fits:
        fault("%s: %r points plotted for %d fits" % (label, m.get("points"), fits))
    if document["best"] and finite:
        if not m.get("ring") or not m.get("label"):
            fault("%s: no best point or label" % label)
        elif not inside(m["ring"], m["plot"], 8) or not inside(m["label"], m["plot"]):
            fault("%s: best point %r or label %r outside the plot %r" % (
                label, m["ring"], m["label"], m["plot"]))
        for k, (text, box) in enumerate(m["texts"]):
            for other, other_box in m["texts"][k + 1:]:
                if overlap(box, other_box):
                    fault("%s: labels %r and %r overlap" % (label, text, other))
    if width >= 1280 and m["wider"]:
        fault("%s: elements wider than the page: %r" % (label, m["wider"]))
    if m["scroll_width"] > m["width"]:
        fault("%s: the page scrolls sideways (%d of %d)" % (label, m["scroll_width"], m["width"]))
    if m.get("chart") and m["chart"][2] > m["width"] + 0.5:
        fault("%s: the chart is wider than the page: %r" % (label, m["chart"]))
    if m["table_wrap"] and m["table_wrap"][2] > m["width"] + 0.5:
        fault("%s: the table does not scroll within the page: %r" % (label, m["table_wrap"]))
    if m["scripts"] or m["markup_elements"]:
        fault("%s: %d scripts and %d elements made from the results file" % (
            label, m["scripts"], m["markup_elements"]))
    if any(e.get("method") == "Page.javascriptDialogOpening" for e in browser.events):
        fault("%s: a script ran" % label)
    if requests_out(browser, url) or blocked(browser):
        fault("%s: requests %r, refused %r" % (label, requests_out(browser, url),
                                                  blocked(browser)))
    if document["error"] and document["error"] not in m["outcome"]:
        fault("%s: the page does not say %r up front: %r" % (label, document["error"],
                                                              m["outcome"]))
    if name == "markup":
        for line in page_runs.MARKUP:
            shown = line.encode("latin-1").decode("utf-8", "replace")
            if shown not in m["pre_text"]:
                fault("%s: the parameter line %r is not shown as text" % (label, line))
        if "<b>&c.OUT" not in m["heading"]:
            fault("%s: heading %r" % (label, m["heading"]))
    browser.screenshot(os.path.join(SHOTS, "%s-%d.png" % (name, width)))
    return m


def table_rows_of_text(text):
    """The fit table's rows in the text of a printed page: fit, WSS, best
    so far, and the mark and the within column where they are set."""
    rows = {}
    for line in text.split("\n"):
        m = re.match(r"\s*(\d+)\s+(\S+)\s+(\S+)(?:\s+(\*))?(?:\s+(yes))?\s*$", line)
        if m:
            rows[int(m.group(1))] = m.groups()[1:]
    return rows


def check_print(browser, name, url, document, screen):
    # As printing does: the page's print style, not its screen style.
    browser.set_width(1280, media="print")
    browser.load(url)
    for paper, (w, h) in PAPER.items():
        pdf = os.path.join(SHOTS, "%s-print-%s.pdf" % (name, paper))
        browser.print_to_pdf(pdf, w, h)
        text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True,
                              check=True).stdout.decode("utf-8", "replace")
        rows = table_rows_of_text(text)
        for fit, on_screen in zip(document["fits"], screen):
            want = (on_screen[1], on_screen[2], "*" if on_screen[0] else None,
                    "yes" if fit["within_percent"] else None)
            if rows.get(fit["fit"]) != want:
                fault("%s on %s: printed row %d %r, want %r" % (
                    name, paper, fit["fit"], rows.get(fit["fit"]), want))
                break
        subprocess.run(["pdftoppm", "-png", "-r", "50", "-f", "1", "-l", "2", pdf,
                        os.path.join(SHOTS, "%s-print-%s" % (name, paper))], check=True)


def check_collection(browser, root, folders):
    """wexla-collect --html over the run folders and a damaged one, each
    holding its documents by the names the Slurm script gives them."""
    runs = os.path.join(root, "runs")
    for folder in folders:
        run_folder = os.path.join(runs, os.path.basename(folder))
        shutil.copytree(folder, run_folder)
        for kind in ("json", "html", "svg"):
            os.rename(os.path.join(run_folder, "run." + kind),
                      os.path.join(run_folder, "wexla." + kind))
    damaged = os.path.join(runs, "damaged")
    os.makedirs(damaged)
    with open(os.path.join(damaged, "wexla.json"), "w") as f:
        f.write('{"wexla": "1.03", "results": "x.OUT", "outcome": ')
    with open(os.path.join(damaged, "wexla.svg"), "w") as f:
        f.write("<svg xmlns='http://www.w3.org/2000/svg'><script>alert(3)</script></svg>")
    page = os.path.join(root, "runs.html")
    r = subprocess.run([sys.executable, COLLECT, "--html=" + page, runs], capture_output=True,
                       timeout=300)
    if r.returncode != 0 or not os.path.exists(page):
        fault("collection: status %d: %r" % (r.returncode, r.stderr))
        return
    url = "file://" + urllib.request.pathname2url(page)
    browser.set_width(1280)
    browser.load(url)
    m = json.loads(browser.evaluate(r"""(() => JSON.stringify({
      rows: document.querySelectorAll('table.runs tbody tr').length,
      images: [...document.images].map(i => [i.src.slice(0, 26), i.naturalWidth]),
      links: [...document.querySelectorAll('a[href]')].map(a => a.href),
      scripts: document.scripts.length,
      wider: document.documentElement.scrollWidth > document.documentElement.clientWidth}))()"""))
    if m["rows"] != len(folders) + 1:
        fault("collection: %d rows for %d run folders" % (m["rows"], len(folders) + 1))
    for src, natural in m["images"]:
        if not src.startswith("data:image/svg+xml;base64,") or natural == 0:
            fault("collection: an image %r that does not show (%d wide)" % (src, natural))
    for href in m["links"]:
        target = urllib.parse.urlparse(href)
        if target.scheme != "file" or not os.path.exists(urllib.request.url2pathname(target.path)):
            fault("collection: a link to %r, which is not there" % href)
    if m["scripts"] or requests_out(browser, url) or blocked(browser) or m["wider"]:
        fault("collection: scripts %d, requests %r, refused %r, wider %r" % (
            m["scripts"], requests_out(browser, url), blocked(browser), m["wider"]))
    if any(e.get("method") == "Page.javascriptDialogOpening" for e in browser.events):
        fault("collection: a script ran")
    browser.screenshot(os.path.join(SHOTS, "collection-1280.png"))


def main():
    # WEXLA_BROWSER=later: the suites of .ci/run leave it to its own stage,
    # which sets WEXLA_BROWSER=now, where a missing browser is a failure.
    wanted = os.environ.get("WEXLA_BROWSER", "")
    if wanted == "later":
        print("SKIP: the pages are checked in a browser in their own stage of .ci/run")
        return 77
    program = devtools.find_chromium()
    if program is None or shutil.which("pdftotext") is None:
        print("SKIP: the browser test needs chromium and poppler-utils "
              "(apt-get install chromium poppler-utils)")
        return 1 if wanted == "now" else 77
    os.makedirs(SHOTS, exist_ok=True)
    with open(SAMPLE, "rb") as f:
        sample = f.read()
    root = tempfile.mkdtemp(prefix="wexla-browser-")
    browser = devtools.Browser(program)
    try:
        browser.open_tab()
        cases = page_runs.cases(sample)
        folders = []
        for name in PAGES:
            plain, paged, p, r = page_runs.make_pages(WEXLA, root, name, cases[name])
            if r.returncode != cases[name][3]:
                fault("%s: status %d: %r" % (name, r.returncode, r.stderr))
                continue
            with open(os.path.join(paged, "run.json"), "rb") as f:
                document = json.loads(f.read().decode("utf-8"))
            folders.append(paged)
            url = "file://" + urllib.request.pathname2url(os.path.join(paged, "run.html"))
            for width in (1280, 390):
                check_page(browser, name, url, document, width)
            if name == "sample":
                # The README's picture: the top of the page, as a laptop shows it.
                browser.set_width(1000)
                browser.load(url)
                browser.screenshot(os.path.join(SHOTS, "sample-page.png"), 760)
                browser.set_width(1280, scheme="dark")
                browser.load(url)
                if json.loads(browser.evaluate(MEASURE))["background"] == "rgb(255, 255, 255)":
                    fault("sample: the page ignores the reader's dark setting")
                browser.screenshot(os.path.join(SHOTS, "sample-1280-dark.png"))
            if name == "linear-150":
                browser.set_width(1280)
                browser.load("file://" + urllib.request.pathname2url(
                    os.path.join(paged, "run.svg")))
                browser.screenshot(os.path.join(SHOTS, "linear-150-chart.png"), 380)
            if name in PRINTED:
                check_print(browser, name, url, document, page_runs.screen_rows(p.stdout))
            print("%s: checked" % name)
        check_collection(browser, root, folders)
    finally:
        browser.close()
        shutil.rmtree(root)
    print("screenshots: " + SHOTS)
    if faults:
        print("%d faults" % len(faults))
        return 1
    print("browser: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
