#!/usr/bin/python3
"""Writes the Debian package's changelog from CHANGELOG.md: each release's
heading, "## VERSION (YYYY-MM-DD)", becomes an entry, its "- " items the
entry's "  * " lines, signed by MAINTAINER at noon UTC of that day.

usage: debian_changelog.py CHANGELOG.md OUTPUT MAINTAINER
"""
import argparse
import datetime
import re
import textwrap


def releases(text):
    """(version, date, items) for each release heading, in the file's order."""
    for heading, body in re.findall(r"^## (.+)\n((?:(?!## ).*\n?)*)", text, re.M):
        version, day = re.fullmatch(r"(\S+) \((\d{4}-\d{2}-\d{2})\)", heading.strip()).groups()
        items = [" ".join(item.split()) for item in re.split(r"^- ", body, flags=re.M)[1:]]
        yield version, datetime.date.fromisoformat(day), items


def entry(version, day, items, maintainer):
    lines = "".join(textwrap.fill(item, 74, initial_indent="  * ", subsequent_indent="    ") + "\n" for item in items)
    signed = day.strftime("%a, %d %b %Y") + " 12:00:00 +0000"
    return "quorvast (%s) stable; urgency=medium\n\n%s\n -- %s  %s\n" % (version, lines, maintainer, signed)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("changelog")
    parser.add_argument("output")
    parser.add_argument("maintainer")
    args = parser.parse_args()
    text = open(args.changelog, encoding="utf-8").read()
    with open(args.output, "w", encoding="utf-8") as out:
        out.write("\n".join(entry(*release, args.maintainer) for release in releases(text)))


if __name__ == "__main__":
    main()
