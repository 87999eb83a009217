#!/usr/bin/python3
"""Asks an RFC 3161 timestamp server for a token, as signing will, and
exits 0 when it answers with one: make dist checks the server before it
builds anything, so that an unreachable one costs seconds, not a build.

usage: timestamp_probe.py URL   (prints the reason and exits 1 otherwise)
"""
import argparse
import subprocess
import sys
import urllib.request


def query():
    """A timestamp query for the SHA-256 of nothing, in DER."""
    return subprocess.run(["openssl", "ts", "-query", "-data", "/dev/null", "-sha256", "-cert"],
                          capture_output=True, check=True).stdout


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("url")
    url = parser.parse_args().url
    request = urllib.request.Request(url, data=query(), headers={"Content-Type": "application/timestamp-query"})
    try:
        with urllib.request.urlopen(request, timeout=20) as response:
            kind = response.headers.get("Content-Type", "")
            if kind != "application/timestamp-reply":
                sys.exit("it answers %s, not a timestamp reply" % (kind or "with no content type"))
    except OSError as error:
        sys.exit(str(getattr(error, "reason", error)))


if __name__ == "__main__":
    main()
