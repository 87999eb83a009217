#!/usr/bin/python3
"""Draws doc/diameters.svg: the diameter against H for the three albedos, as
the program itself prints it (it runs the program for H from 2 to 30 and
reads the kilometre figures of its report), with a few asteroids whose size
a spacecraft measured, at their H and their measured diameter.

The same bytes on every run: no date or tool version in the file, and fixed
ids (matplotlib's hash salt).

usage: make_diameters.py PROGRAM [OUTPUT]   (make diagram runs it)
"""
import argparse
import math
import re
import subprocess

import matplotlib

matplotlib.use("agg")  # measures the labels; the file is still written as SVG
import matplotlib.pyplot as plt  # noqa: E402 (after the back end is chosen)
from matplotlib.path import Path  # noqa: E402
from matplotlib.text import Text  # noqa: E402

# Name, H (to a tenth; the sources are named in doc/development.md, with the
# measured diameters in km).
MEASURED = (("Ceres", 3.3, 939.4), ("Vesta", 3.2, 525.4), ("Eros", 10.4, 16.9),
            ("Didymos", 18.2, 0.765), ("Ryugu", 19.3, 0.896), ("Bennu", 20.2, 0.490))
# Each line told apart by colour and by dash.
LABELS = {"Maximum diameter (km)": ("albedo 0.02 (the maximum)", "--", "#1f4e9c"),
          "best diameter estimate (km)": ("albedo 0.15 (the best estimate)", "-", "#222222"),
          "Minimum diameter (km)": ("albedo 0.25 (the minimum)", ":", "#b35900")}
# Where a name may go beside its point, in points, nearest first; further
# away than the first ring, a thin line leads to the point.
OFFSETS = [(round(r * math.cos(a * math.pi / 4)), round(r * math.sin(a * math.pi / 4)))
           for r in (9, 20, 32, 44) for a in (4, 0, 5, 7, 3, 1, 6, 2)]


def figures(program, h):
    """The report's kilometre figures for H, by their label."""
    report = subprocess.run([program], input=b"curve\n%g\nq\n" % h, capture_output=True, check=True).stdout.decode()
    return {label: float(re.search(re.escape(label) + r": (\S+)", report).group(1)) for label in LABELS}


def place_names(figure, axes, lines, points):
    """Each name beside its own point, clear of every line, point, other name
    and the legend: the first offset that is; a name with none fails."""
    renderer = figure.canvas.get_renderer()
    taken = [axes.get_legend().get_window_extent(renderer)]
    paths = [Path(line.get_transform().transform(line.get_xydata())) for line in lines]
    marks = [axes.transData.transform((h, d)) for _, h, d in points]
    for name, h, diameter in points:
        for dx, dy in OFFSETS:
            leader = {"arrowstyle": "-", "color": "0.4", "linewidth": 0.8, "shrinkB": 5} if abs(dx) + abs(dy) > 12 else None
            label = axes.annotate(name, (h, diameter), textcoords="offset points", xytext=(dx, dy),
                                  ha="right" if dx < 0 else "left" if dx > 0 else "center",
                                  va="center", arrowprops=leader)
            label.update_positions(renderer)
            box = Text.get_window_extent(label, renderer).expanded(1.1, 1.3)  # the name, not its leader
            clear = (axes.bbox.contains(box.x0, box.y0) and axes.bbox.contains(box.x1, box.y1)
                     and not any(path.intersects_bbox(box, filled=False) for path in paths)
                     and not any(box.contains(*mark) for mark in marks)
                     and not any(box.overlaps(other) for other in taken))
            if clear:
                taken.append(box)
                break
            label.remove()
        else:
            raise SystemExit("no room for the name %s beside its point" % name)


def main():
    parser = argparse.ArgumentParser(description="Draws the diameter against H from the program's own output.")
    parser.add_argument("program", help="the quorvast program to run")
    parser.add_argument("output", nargs="?", default="doc/diameters.svg")
    options = parser.parse_args()

    hs = [step / 4 for step in range(8, 121)]  # 2 to 30 in steps of 0.25
    reports = [figures(options.program, h) for h in hs]
    # 8 by 5 inches shown 640 px wide: 12 points are 13 px there.
    plt.rcParams.update({"svg.hashsalt": "quorvast", "svg.fonttype": "none", "font.size": 12})
    figure, axes = plt.subplots(figsize=(8, 5))
    lines = [axes.plot(hs, [report[label] for report in reports], style, color=colour, linewidth=2, label=legend)[0]
             for label, (legend, style, colour) in LABELS.items()]
    axes.plot([h for _, h, _ in MEASURED], [d for _, _, d in MEASURED], "o", color="#c0392b", markersize=7,
              label="measured by a spacecraft")
    axes.set_yscale("log")
    axes.set_xlim(2, 30)
    axes.set_xlabel("absolute magnitude H")
    axes.set_ylabel("diameter (km)")
    axes.grid(True, which="major", color="0.88")
    axes.legend(frameon=False)
    figure.tight_layout()
    place_names(figure, axes, lines, MEASURED)
    figure.savefig(options.output, format="svg", metadata={"Date": None, "Creator": None})


if __name__ == "__main__":
    main()
