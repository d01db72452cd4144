"""The page of many runs that `wexla-collect --html=FILE` writes: one row per
run folder, best WSS first, each with the run's own chart (its wexla.svg,
scaled down, as an image) and a link to its own page (wexla.html), and a
chart of the best WSS of every run.

A run folder's files are untrusted (a shared folder): names and texts are
escaped, and a run's chart is embedded as an <img> with a data: URI, never
as markup, so that it runs no script and loads nothing. The page itself
has no script and makes no request, as its Content-Security-Policy says.
"""
import base64
import html
import math
import os
import urllib.parse

POLICY = "default-src 'none'; style-src 'unsafe-inline'; img-src data:"
CHART = b"wexla.svg"
PAGE = b"wexla.html"
# A chart larger than this is linked, not embedded, so that the page of
# many runs stays a page.
LARGEST_EMBEDDED_CHART = 4 << 20

STYLE = """<style>
:root{color-scheme:light dark;--fg:#1f2328;--bg:#fff;--muted:#59636e;--line:#d0d7de;--bad:#9b2226;--dot:#264653}
@media (prefers-color-scheme:dark){:root{--fg:#e6edf3;--bg:#0d1117;--muted:#9198a1;--line:#30363d;--bad:#ff7b72;--dot:#8ecae6}}
*{box-sizing:border-box}
body{font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;color:var(--fg);background:var(--bg);margin:0 auto;max-width:1200px;padding:16px}
h1{font-size:1.35em;margin:0 0 8px}
h2{font-size:1.1em;margin:24px 0 8px;border-bottom:1px solid var(--line)}
svg.best-chart{display:block;width:100%;height:auto;max-width:720px;font:11px ui-monospace,"DejaVu Sans Mono",Menlo,monospace}
svg.best-chart text{fill:var(--fg)}
svg.best-chart .frame{fill:none;stroke:var(--muted)}
svg.best-chart .grid{stroke:var(--line)}
svg.best-chart circle{fill:var(--dot)}
.table-wrap{overflow-x:auto;max-width:100%}
table.runs{border-collapse:collapse;font-size:13px}
table.runs th,table.runs td{padding:4px 8px;border-bottom:1px solid var(--line);text-align:left;vertical-align:top}
table.runs td.n{text-align:right;font-family:ui-monospace,"DejaVu Sans Mono",Menlo,monospace;white-space:nowrap}
table.runs td.name{overflow-wrap:break-word;max-width:22em}
table.runs td.problem{color:var(--bad)}
table.runs img{display:block;width:240px;height:auto;background:#fff}
@media print{body{max-width:none;padding:0}.table-wrap{overflow:visible}tr{break-inside:avoid}}
</style>
"""


def escape(text):
    return html.escape(text, quote=True)


def best_value(row):
    """The run's best WSS as a number to order by, or None."""
    try:
        value = float(row["best_wss"])
    except (KeyError, ValueError):
        return None
    return value if math.isfinite(value) else None


def link_to(page_folder, target):
    """A link from the page to a file, relative, so that the two may move
    together."""
    relative = os.path.relpath(target, page_folder)
    return urllib.parse.quote(os.fsencode(relative))


def chart_image(folder, label):
    """The run's chart as an <img>, or why there is none."""
    path = os.path.join(folder, CHART)
    try:
        with open(path, "rb") as f:
            svg = f.read(LARGEST_EMBEDDED_CHART + 1)
    except FileNotFoundError:
        return ""
    except OSError as e:
        return "<span class=\"problem\">%s</span>" % escape(e.strerror or str(e))
    if len(svg) > LARGEST_EMBEDDED_CHART:
        return "chart too large to show here"
    data = base64.b64encode(svg).decode("ascii")
    return "<img src=\"data:image/svg+xml;base64,%s\" alt=\"%s\">" % (
        data, escape("chart of the fits of " + label))


def ticks(low, high):
    """4 to 8 round ticks (1, 2 or 5 times a power of ten) within low..high."""
    span = high - low
    best = None
    for power in range(int(math.floor(math.log10(span))) - 2,
                       int(math.floor(math.log10(span))) + 2):
        for m in (1, 2, 5):
            step = m * 10.0 ** power
            first = math.ceil(low / step - 1e-9)
            values = []
            k = first
            while k * step <= high + step * 1e-9:
                values.append(k * step)
                k += 1
            miss = abs(len(values) - 6) if 4 <= len(values) <= 8 else 100 + len(values)
            if best is None or miss < best[0]:
                best = (miss, values)
    return best[1]


def best_chart(rows):
    """The best WSS of every run with one, in the order of the run folders."""
    points = [(k, row, best_value(row)) for k, row in enumerate(rows)]
    points = [(k, row, v) for k, row, v in points if v is not None]
    if not points:
        return "<p>No run has a best WSS: there is nothing to draw.</p>\n"
    values = [v for _, _, v in points]
    small, large = min(values), max(values)
    log = small > 0 and large > 100 * small
    if log:
        lo, hi = math.log10(small), math.log10(large)
        pad = 0.05 * (hi - lo)
        low, high = lo - pad, hi + pad
        marks = [float(p) for p in range(math.ceil(low), math.floor(high) + 1)]
    else:
        pad = 0.05 * (large - small) if large > small else (0.1 * abs(small) or 1.0)
        low, high = small - pad, large + pad
        marks = ticks(low, high)
    width, height, left, top, right, bottom = 720.0, 260.0, 80.0, 16.0, 16.0, 40.0
    plot_w, plot_h = width - left - right, height - top - bottom
    count = len(rows)

    def at_x(k):
        return left + (k + 0.5) / count * plot_w

    def at_y(v):
        v = math.log10(v) if log else v
        return top + (high - v) / (high - low) * plot_h

    out = ["<svg class=\"best-chart\" viewBox=\"0 0 %g %g\" role=\"img\" data-runs=\"%d\">" % (
        width, height, len(points))]
    for mark in marks:
        y = top + (high - mark) / (high - low) * plot_h
        label = ("%g" % 10 ** mark) if log else ("%g" % mark)
        out.append("<line class=\"grid\" x1=\"%.2f\" x2=\"%.2f\" y1=\"%.2f\" y2=\"%.2f\"/>"
                   "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\">%s</text>" % (
                       left, left + plot_w, y, y, left - 6, y + 4, escape(label)))
    out.append("<rect class=\"frame\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"/>" % (
        left, top, plot_w, plot_h))
    for k, row, v in points:
        out.append("<circle cx=\"%.2f\" cy=\"%.2f\" r=\"3.5\"><title>%s</title></circle>" % (
            at_x(k), at_y(v), escape("%s: best WSS %s" % (row["folder"], row["best_wss"]))))
    out.append("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">run folder, in order%s"
               "</text>" % (left + plot_w / 2, height - 12,
                            ", best WSS on a logarithmic scale" if log else ""))
    out.append("</svg>\n")
    return "".join(out)


def write_page(path, rows):
    """Writes the page to `path`, whole: a temporary file beside it, then a
    rename. `rows` are (run folder path, the row of runs.csv)."""
    page_folder = os.path.dirname(os.path.abspath(path)) or "."
    with_best = [r for r in rows if best_value(r[1]) is not None]
    without = [r for r in rows if best_value(r[1]) is None]
    ordered = sorted(with_best, key=lambda r: best_value(r[1])) + without
    parts = ["<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n",
             "<meta http-equiv=\"Content-Security-Policy\" content=\"%s\">\n" % POLICY,
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n",
             "<title>Wexla: %d runs</title>\n" % len(rows), STYLE, "</head>\n<body>\n",
             "<h1>Wexla: %d runs</h1>\n" % len(rows),
             "<h2>The best WSS of every run</h2>\n", best_chart([r for _, r in rows]),
             "<h2>Runs, the best WSS first</h2>\n<div class=\"table-wrap\">"
             "<table class=\"runs\">\n<thead><tr><th>run folder</th><th>results file</th>"
             "<th>outcome</th><th>fits</th><th>best fit</th><th>best WSS</th>"
             "<th>within the window</th><th>error</th><th>chart</th></tr></thead>\n<tbody>\n"]
    for folder, row in ordered:
        name = escape(row["folder"])
        own_page = os.path.join(folder, PAGE)
        if os.path.isfile(own_page):
            name = "<a href=\"%s\">%s</a>" % (link_to(os.fsencode(page_folder), own_page), name)
        problem = row["outcome"] not in ("normal",)
        parts.append(
            "<tr><td class=\"name\">%s</td><td class=\"name\">%s</td><td%s>%s</td>"
            "<td class=\"n\">%s</td><td class=\"n\">%s</td><td class=\"n\">%s</td>"
            "<td class=\"n\">%s</td><td class=\"problem\">%s</td><td>%s</td></tr>\n" % (
                name, escape(row["results"]), " class=\"problem\"" if problem else "",
                escape(row["outcome"]), escape(row.get("fits", "")),
                escape(row.get("best_fit", "")), escape(row.get("best_wss", "")),
                escape(row.get("within_percent", "")), escape(row.get("error", "")),
                chart_image(folder, row["folder"])))
    parts.append("</tbody></table></div>\n</body>\n</html>\n")
    text = "".join(parts).encode("utf-8")
    temporary = "%s.%d.part" % (path, os.getpid())
    temporary = os.path.join(os.path.dirname(temporary),
                             "." + os.path.basename(temporary))
    try:
        with open(temporary, "xb") as f:
            f.write(text)
            f.flush()
            os.fsync(f.fileno())
        os.replace(temporary, path)
    except BaseException:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        raise
