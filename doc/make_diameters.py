#!/usr/bin/python3
"""Draws doc/diameters.svg: the diameter against H for the three albedos, as
the program itself prints it (it runs the program for H from -2 to 30 and
reads the kilometre figures of its report), with a few asteroids whose size
a spacecraft measured, at their H and their measured diameter.

The same bytes on every run: no date or tool version in the file, and fixed
ids (matplotlib's hash salt).

usage: make_diameters.py PROGRAM [OUTPUT]   (make diagram runs it)
"""
import argparse
import re
import subprocess

import matplotlib

matplotlib.use("svg")
import matplotlib.pyplot as plt  # noqa: E402 (after the back end is chosen)

# Name, H (as catalogues list it, to a tenth), mean diameter in km measured by
# a spacecraft (the sources are named in doc/development.md), and where the
# name goes beside its point, in points.
MEASURED = (("Ceres", 3.3, 939.4, (7, 2)), ("Vesta", 3.2, 525.4, (7, -11)), ("Eros", 10.4, 16.84, (7, -3)),
            ("Didymos", 18.1, 0.761, (-7, -11)), ("Ryugu", 19.3, 0.896, (-4, 7)), ("Bennu", 20.2, 0.490, (7, -8)))
LABELS = {"Maximum diameter (km)": "albedo 0.02 (the maximum)",
          "best diameter estimate (km)": "albedo 0.15 (the best estimate)",
          "Minimum diameter (km)": "albedo 0.25 (the minimum)"}


def figures(program, h):
    """The report's kilometre figures for H, by their label."""
    report = subprocess.run([program], input=b"curve\n%g\nq\n" % h, capture_output=True, check=True).stdout.decode()
    return {label: float(re.search(re.escape(label) + r": (\S+)", report).group(1)) for label in LABELS}


def main():
    parser = argparse.ArgumentParser(description="Draws the diameter against H from the program's own output.")
    parser.add_argument("program", help="the quorvast program to run")
    parser.add_argument("output", nargs="?", default="doc/diameters.svg")
    options = parser.parse_args()

    hs = [step / 4 for step in range(-8, 121)]  # -2 to 30 in steps of 0.25
    reports = [figures(options.program, h) for h in hs]
    plt.rcParams.update({"svg.hashsalt": "quorvast", "svg.fonttype": "none", "font.size": 10})
    figure, axes = plt.subplots(figsize=(7, 4.6))
    for (label, legend), style in zip(LABELS.items(), ("--", "-", ":")):
        axes.plot(hs, [report[label] for report in reports], style, color="0.25", label=legend)
    for name, h, diameter, offset in MEASURED:
        axes.plot(h, diameter, "o", color="#c0392b")
        axes.annotate(name, (h, diameter), textcoords="offset points", xytext=offset,
                      ha="right" if offset[0] < 0 else "left")
    axes.plot([], [], "o", color="#c0392b", label="measured by a spacecraft")
    axes.set_yscale("log")
    axes.set_xlim(-2, 30)
    axes.set_xlabel("absolute magnitude H")
    axes.set_ylabel("diameter (km)")
    axes.grid(True, which="major", color="0.85")
    axes.legend(frameon=False)
    figure.tight_layout()
    figure.savefig(options.output, metadata={"Date": None, "Creator": None})


if __name__ == "__main__":
    main()
