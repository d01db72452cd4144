#!/usr/bin/env python3
"""The run's page and chart, read back without a browser: the chart's
geometry from the numbers (each point where its WSS puts it on the axes
the SVG states, the axes' spans and scale by the rule, the step line at
the best WSS so far, the band from the best WSS to the count's bound, the
best fit ringed and labelled inside the plot, no two labels overlapping),
and the page's text against the screen and WexlaP.OUT (the same WSS
texts, the fits within the window, the parameter lines as text, whatever
markup they hold).

    chart_test.py WEXLA SAMPLE_RESULTS_FILE
"""
import html.parser
import json
import math
import os
import re
import shutil
import struct
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import page_runs  # noqa: E402

WEXLA = os.path.abspath(sys.argv[1])
SAMPLE = os.path.abspath(sys.argv[2])
POLICY = "default-src 'none'; style-src 'unsafe-inline'"
CHAR_WIDTH = 0.62  # of the font size, for the chart's monospace font
faults = []


def fault(text):
    faults.append(text)
    print("FAULT: " + text)


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def window_threshold(percent, best):
    return f32(f32(f32(percent / f32(100.0)) + f32(1.0)) * best)


def close(a, b, tolerance=0.02):
    return abs(a - b) <= tolerance


# --- The drawing -----------------------------------------------------------

def local(tag):
    return tag.split("}")[-1]


def children(svg, name, cls=None):
    out = []
    for e in svg.iter():
        if local(e.tag) != name:
            continue
        if cls is not None and cls not in e.get("class", "").split():
            continue
        out.append(e)
    return out


class Plot:
    def __init__(self, svg):
        a = svg.attrib
        self.left = float(a["data-plot-left"])
        self.top = float(a["data-plot-top"])
        self.width = float(a["data-plot-width"])
        self.height = float(a["data-plot-height"])
        self.x_low, self.x_high = float(a["data-x-low"]), float(a["data-x-high"])
        self.log = a["data-y-scale"] == "log"
        self.y_low, self.y_high = float(a["data-y-low"]), float(a["data-y-high"])

    def x(self, fit):
        return self.left + (fit - self.x_low) / (self.x_high - self.x_low) * self.width

    def y(self, wss):
        if self.log:
            lo, hi = math.log10(self.y_low), math.log10(self.y_high)
            return self.top + (hi - math.log10(wss)) / (hi - lo) * self.height
        return self.top + (self.y_high - wss) / (self.y_high - self.y_low) * self.height

    def holds(self, box):
        return (box[0] >= self.left - 0.01 and box[2] <= self.left + self.width + 0.01 and
                box[1] >= self.top - 0.01 and box[3] <= self.top + self.height + 0.01)


def text_box(e):
    """The room a label takes: its length in characters of the monospace
    font the chart sets, 11 pixels, the best fit's label 12."""
    size = 12.0 if "best-label" in e.get("class", "") else 11.0
    wide = len(e.text or "") * CHAR_WIDTH * size
    x, y = float(e.get("x")), float(e.get("y"))
    anchor = e.get("text-anchor", "start")
    left = x if anchor == "start" else x - wide if anchor == "end" else x - wide / 2
    return (left, y - 0.8 * size, left + wide, y + 0.25 * size)


def overlap(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def wss_span(values):
    """The WSS axis by the rule: logarithmic when every value is positive and
    the largest more than 100 times the smallest; padded by 5 % of the range
    (of the logarithms' range), a single value by 10 % of it (1 for 0)."""
    small, large = min(values), max(values)
    if small > 0 and large > 100 * small:
        lo, hi = math.log10(small), math.log10(large)
        pad = 0.05 * (hi - lo)
        return True, 10 ** (lo - pad), 10 ** (hi + pad)
    if large > small:
        pad = 0.05 * (large - small)
    else:
        pad = 1.0 if small == 0 else 0.1 * abs(small)
    return False, small - pad, large + pad


def step_segments(path):
    """The horizontal pieces of the step line: (x from, x to, y)."""
    d = path.get("d")
    tokens = re.findall(r"[MHV]|-?[0-9.]+", d)
    x = y = None
    pieces = []
    k = 0
    while k < len(tokens):
        op = tokens[k]
        if op == "M":
            x, y = float(tokens[k + 1]), float(tokens[k + 2])
            k += 3
        elif op == "H":
            nx = float(tokens[k + 1])
            pieces.append((x, nx, y))
            x = nx
            k += 2
        elif op == "V":
            y = float(tokens[k + 1])
            k += 2
        else:
            raise ValueError(d)
    return pieces


def check_chart(label, svg, document, screen, percent):
    fits = document["fits"]
    # The documents' reals are the shortest texts of binary32 values.
    for fit in fits:
        for member in ("wss", "best_wss"):
            if fit[member] is not None:
                fit[member] = f32(fit[member])
    if document["best"] is not None and document["best"]["wss"] is not None:
        document["best"]["wss"] = f32(document["best"]["wss"])
    finite = [f for f in fits if f["wss"] is not None]
    circles = children(svg, "circle", "fit")
    marks = children(svg, "path", "not-finite")
    if svg.get("data-fits") != str(len(fits)):
        fault("%s: data-fits %r for %d fits" % (label, svg.get("data-fits"), len(fits)))
    if not finite:
        if circles or marks or "data-plot-left" in svg.attrib:
            fault("%s: a chart drawn with no finite WSS" % label)
        return
    plot = Plot(svg)
    # Every fit once: a point for a finite WSS, a mark for any other.
    if len(circles) != len(finite) or len(marks) != len(fits) - len(finite):
        fault("%s: %d points and %d marks for %d fits, %d finite" %
              (label, len(circles), len(marks), len(fits), len(finite)))
    if svg.get("data-not-finite") != str(len(fits) - len(finite)):
        fault("%s: data-not-finite %r" % (label, svg.get("data-not-finite")))
    notes = [t.text for t in children(svg, "text", "note")]
    if len(fits) > len(finite) and not any(
            n.startswith("%d fit" % (len(fits) - len(finite))) for n in notes):
        fault("%s: no note counts the fits that are not finite: %r" % (label, notes))

    # The axes by the rule.
    log, low, high = wss_span([f["wss"] for f in finite])
    if plot.log != log or not close(plot.y_low, low, abs(low) * 1e-12 + 1e-12) or not close(
            plot.y_high, high, abs(high) * 1e-12 + 1e-12):
        fault("%s: WSS axis %s %r..%r, want %s %r..%r" % (
            label, svg.get("data-y-scale"), plot.y_low, plot.y_high,
            "log" if log else "linear", low, high))
    if (plot.x_low, plot.x_high) != (0.5, len(fits) + 0.5):
        fault("%s: fit axis %r..%r" % (label, plot.x_low, plot.x_high))
    axis_titles = [t.text for t in children(svg, "text", "axis")]
    if log != any("logarithmic" in (t or "") for t in axis_titles):
        fault("%s: the axis title %r does not say the scale" % (label, axis_titles))
    ticks = children(svg, "text", "tick")
    y_ticks = [t for t in ticks if t.get("text-anchor") == "end"]
    x_ticks = [t for t in ticks if t.get("text-anchor") == "middle"]
    if not 4 <= len(y_ticks) <= 8 or not 1 <= len(x_ticks) <= 8:
        fault("%s: %d WSS ticks and %d fit ticks" % (label, len(y_ticks), len(x_ticks)))
    for t in y_ticks:  # each label stands at its value
        if not close(plot.y(float(t.text)), float(t.get("y")) - 0.35 * 11, 0.05):
            fault("%s: WSS tick %r at y %s" % (label, t.text, t.get("y")))
    for t in x_ticks:
        if not close(plot.x(float(t.text)), float(t.get("x"))):
            fault("%s: fit tick %r at x %s" % (label, t.text, t.get("x")))

    # Each point where its WSS puts it, titled as the screen shows it.
    by_fit = {f["fit"]: f for f in fits}
    for c in circles:
        number = int(c.get("data-fit"))
        fit = by_fit.get(number)
        if fit is None or fit["wss"] is None or f32(float(c.get("data-wss"))) != fit["wss"]:
            fault("%s: point of fit %r with WSS %r" % (label, number, c.get("data-wss")))
            continue
        if not close(float(c.get("cx")), plot.x(number)) or not close(
                float(c.get("cy")), plot.y(fit["wss"])):
            fault("%s, fit %d: point at (%s, %s), want (%.2f, %.2f)" % (
                label, number, c.get("cx"), c.get("cy"), plot.x(number), plot.y(fit["wss"])))
    for shape in circles + marks:
        number = int(shape.get("data-fit"))
        title = shape.find("./*")
        want = "fit %d: %s" % (number, screen[number - 1][1])
        if title is None or local(title.tag) != "title" or title.text != want:
            fault("%s: title %r, want %r" % (
                label, None if title is None else title.text, want))
    for m in marks:
        if not close(float(re.findall(r"-?[0-9.]+", m.get("d"))[1]) + 3.5 * 1.6, plot.top, 6):
            fault("%s: a mark off the top edge: %r" % (label, m.get("d")))

    # The best WSS so far as a step, from the first fit that lowered it.
    steps = children(svg, "path", "step")
    started = False
    pieces = step_segments(steps[0]) if steps else []
    for fit in fits:
        started = started or bool(fit["new_best"])
        best = fit["best_wss"]
        if not started or best is None or not plot.y_low <= best <= plot.y_high:
            continue
        x = plot.x(fit["fit"])
        at = [p for p in pieces if min(p[0], p[1]) < x < max(p[0], p[1])]
        if len(at) != 1 or not close(at[0][2], plot.y(best)):
            fault("%s, fit %d: the step line at %r, want y %.2f" % (
                label, fit["fit"], [p[2] for p in at], plot.y(best)))
            break

    # The band, from the best WSS to the count's bound.
    best = document["best"]
    bands = children(svg, "rect", "band")
    bands = [b for b in bands if float(b.get("width")) > 20]  # not the key's swatch
    counted = document["within_percent"] is not None
    want_band = best is not None and best["wss"] is not None and counted
    if want_band:
        bound = window_threshold(f32(document["percent"]), f32(best["wss"]))
        want_band = math.isfinite(bound) and bound > best["wss"]
    if want_band != bool(bands):
        fault("%s: %d bands, want %s" % (label, len(bands), want_band))
    elif bands:
        b = bands[0]
        top, bottom = float(b.get("y")), float(b.get("y")) + float(b.get("height"))
        if not close(top, plot.y(min(bound, plot.y_high))) or not close(
                bottom, plot.y(max(best["wss"], plot.y_low))):
            fault("%s: band %.2f..%.2f" % (label, top, bottom))

    # The best fit ringed and labelled, inside the plot.
    rings = children(svg, "circle", "best")
    labels = children(svg, "text", "best-label")
    if best is None or best["wss"] is None:
        if rings or labels:
            fault("%s: a best fit marked where there is none" % label)
    elif len(rings) != 1 or len(labels) != 1:
        fault("%s: %d rings and %d best labels" % (label, len(rings), len(labels)))
    else:
        ring = rings[0]
        if not close(float(ring.get("cx")), plot.x(best["fit"])) or not close(
                float(ring.get("cy")), plot.y(best["wss"])):
            fault("%s: the ring is not at the best fit's point" % label)
        want = "best: fit %d, WSS %s" % (best["fit"], screen[best["fit"] - 1][1])
        box = text_box(labels[0])
        if labels[0].text != want:
            fault("%s: best label %r, want %r" % (label, labels[0].text, want))
        if not plot.holds(box):
            fault("%s: the best label %r lies outside the plot %r" % (
                label, box, (plot.left, plot.top, plot.left + plot.width,
                             plot.top + plot.height)))

    # No two labels overlap, and each lies in the drawing.
    texts = children(svg, "text")
    boxes = [(t.text, text_box(t)) for t in texts]
    width, height = float(svg.get("width")), float(svg.get("height"))
    for k, (text, box) in enumerate(boxes):
        if box[0] < 0 or box[1] < 0 or box[2] > width or box[3] > height:
            fault("%s: label %r outside the drawing: %r" % (label, text, box))
        for other, other_box in boxes[k + 1:]:
            if overlap(box, other_box):
                fault("%s: labels %r and %r overlap" % (label, text, other))


# --- The page ---------------------------------------------------------------

class Page(html.parser.HTMLParser):
    """What a reader of the page sees: its elements by name, the table's
    rows, the headings and the preformatted blocks."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags = []
        self.policy = None
        self.rows = []
        self.cells = None
        self.in_cell = False
        self.pres = []
        self.in_pre = False
        self.headings = []
        self.in_h3 = False
        self.dd = []
        self.in_dd = False
        self.no_chart = []
        self.in_no_chart = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        self.tags.append((tag, a))
        if tag == "meta" and a.get("http-equiv") == "Content-Security-Policy":
            self.policy = a.get("content")
        if tag == "tr" and self.tags and any(t == "tbody" for t, _ in self.tags):
            self.cells = ["within" in (a.get("class") or "").split()]
        if tag == "td":
            self.in_cell = True
            self.cells.append("")
        if tag == "pre":
            self.in_pre = True
            self.pres.append("")
        if tag == "h3":
            self.in_h3 = True
            self.headings.append("")
        if tag == "dd":
            self.in_dd = True
            self.dd.append("")
        if tag == "p" and a.get("class") == "no-chart":
            self.in_no_chart = True
            self.no_chart.append("")

    def handle_endtag(self, tag):
        if tag == "td":
            self.in_cell = False
        if tag == "tr" and self.cells is not None:
            self.rows.append(self.cells)
            self.cells = None
        if tag == "pre":
            self.in_pre = False
        if tag == "h3":
            self.in_h3 = False
        if tag == "dd":
            self.in_dd = False
        if tag == "p":
            self.in_no_chart = False

    def handle_data(self, data):
        if self.in_cell:
            self.cells[-1] += data
        if self.in_pre:
            self.pres[-1] += data
        if self.in_h3:
            self.headings[-1] += data
        if self.in_dd:
            self.dd[-1] += data
        if self.in_no_chart:
            self.no_chart[-1] += data


def shown(line):
    """A parameter line as the page shows it: bytes that are not UTF-8 and
    control characters as U+FFFD."""
    text = line.decode("utf-8", "replace")
    return "".join("\ufffd" if ord(c) < 0x20 and c != "\t" else c for c in text)


def check_page(label, raw, document, screen, blocks):
    page = Page()
    try:
        page.feed(raw.decode("utf-8"))
    except UnicodeDecodeError as e:
        fault("%s: the page is not UTF-8: %s" % (label, e))
        page.feed(raw.decode("utf-8", "replace"))
    if page.policy != POLICY:
        fault("%s: Content-Security-Policy %r" % (label, page.policy))
    for tag, attrs in page.tags:
        if tag in ("script", "img", "iframe", "object", "embed", "link", "base", "form"):
            fault("%s: a <%s> element in the page" % (label, tag))
        for name, value in attrs.items():
            if name.startswith("on") or name in ("src", "href", "action"):
                fault("%s: <%s %s=%r>" % (label, tag, name, value))
    if re.search(rb"url\s*\(|@import", raw, re.I):
        fault("%s: the style reaches out" % label)
    fits = document["fits"]
    if len(page.rows) != len(fits):
        fault("%s: %d table rows for %d fits" % (label, len(page.rows), len(fits)))
    for row, fit, on_screen in zip(page.rows, fits, screen):
        want = [bool(fit["within_percent"]), str(fit["fit"]), on_screen[1], on_screen[2],
                "*" if on_screen[0] else "", "yes" if fit["within_percent"] else ""]
        if row != want:
            fault("%s: table row %r, want %r" % (label, row, want))
            break
    svgs = [t for t, _ in page.tags if t == "svg"]
    if bool(svgs) == bool(page.no_chart) or len(svgs) > 1:
        fault("%s: %d charts and the sentences %r" % (label, len(svgs), page.no_chart))
    # The run's facts, the error of a run that did not end well among them.
    facts = " | ".join(page.dd)
    if document["error"] is not None and document["error"] not in facts:
        fault("%s: the page does not say %r" % (label, document["error"]))
    if str(len(fits)) not in page.dd:
        fault("%s: the number of fits is not among %r" % (label, page.dd))
    # The best fit's parameter lines, then every fit's, as WexlaP.OUT has them.
    best = document["best"]
    want_pres = [] if not fits else ([blocks[best["fit"] - 1]] if best else []) + blocks
    got = [p.rstrip("\n").split("\n") for p in page.pres]
    want_lines = [[shown(line) for line in block] for block in want_pres]
    for block in want_lines:  # WexlaP.OUT parts its blocks with a blank line
        while block and block[-1] == "":
            block.pop()
    if got != want_lines:
        first = next((k for k in range(min(len(got), len(want_lines))) if got[k] != want_lines[k]),
                     None)
        fault("%s: %d parameter blocks, want %d; first difference at %r: %r against %r" % (
            label, len(got), len(want_lines), first,
            got[first] if first is not None else None,
            want_lines[first] if first is not None else None))


def main():
    with open(SAMPLE, "rb") as f:
        sample = f.read()
    root = tempfile.mkdtemp(prefix="wexla-pages-")
    try:
        for name, case in page_runs.cases(sample).items():
            results_name, content, percent, status = case
            plain, paged, p, r = page_runs.make_pages(WEXLA, root, name, case)
            if r.returncode != status:
                fault("%s: status %d, want %d: %r" % (name, r.returncode, status, r.stderr))
                continue
            with open(os.path.join(paged, "run.json"), "rb") as f:
                document = json.loads(f.read().decode("utf-8"))
            with open(os.path.join(paged, "run.svg"), "rb") as f:
                alone = f.read()
            with open(os.path.join(paged, "run.html"), "rb") as f:
                page = f.read()
            summary = b""
            if os.path.exists(os.path.join(plain, "WexlaP.OUT")):
                with open(os.path.join(plain, "WexlaP.OUT"), "rb") as f:
                    summary = f.read()
            screen = page_runs.screen_rows(p.stdout)
            # The page's chart is the standalone one, but for its namespace.
            inline = re.search(rb"<svg .*?</svg>", page, re.S)
            standalone = alone.replace(b' xmlns="http://www.w3.org/2000/svg"', b"", 1)
            if inline is None or inline.group(0) != standalone:
                if inline is not None or b"<circle" in alone:
                    fault("%s: the page's chart is not the SVG file's" % name)
            try:
                svg = ET.fromstring(alone)
            except ET.ParseError as e:
                fault("%s: the SVG does not parse: %s" % (name, e))
                continue
            check_chart(name, svg, document, screen, percent)
            check_page(name, page, document, screen, page_runs.summary_blocks(summary))
            print("%s: %d fits checked" % (name, len(document["fits"])))
    finally:
        shutil.rmtree(root)
    if faults:
        print("%d faults" % len(faults))
        return 1
    print("pages: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
