"""Reads build/release.env, the release's facts that configuring writes
(version, homepage, contact, bugs, signing_key, page_files), for the Python
scripts; shell scripts source the same file. Each line is name='value',
with no quote inside a value."""
import re


def release_facts(path):
    """The facts as a dict of strings."""
    facts = {}
    for line in open(path, encoding="utf-8").read().splitlines():
        match = re.fullmatch(r"([a-z_]+)='([^']*)'", line)
        if not match:
            raise ValueError("%s: not a name='value' line: %s" % (path, line))
        facts[match[1]] = match[2]
    return facts
