#!/usr/bin/python3
"""Runs the web page like a process, so that the transcript harness can use
it as a command: the input bytes come on standard input and are typed into
the page line by line, as a user would, in Debian's chromium (headless,
through chromium-driver and Debian's python3-selenium); the program's own
output (not the echo of what was typed) goes to standard output, its message
to standard error, and the page's exit status is this process's. The page
is served from PAGE_DIR on 127.0.0.1. Console errors in the page (a
Content-Security-Policy violation, say) and network requests after the
first prompt make the run fail with status 3, as do the checks the options
add; at the end the input and its buttons must be disabled, Run again focused.

usage: run_page.py PAGE_DIR [OPTION...] < input   (run_page.py --help lists them)
       run_page.py --typeable < input   (status 0 if a person can type it)
The modes without a session live beside this file, over page_browser.py
(server, browser, helpers), each module saying what its mode checks.
"""
import argparse
import importlib
import sys


def untypeable(data):
    """Why a person cannot type `data` into a text field, or None: bytes that
    are not UTF-8, and control bytes other than the newline that Enter sends
    (NUL, tab, CR, vertical tab, form feed, DEL...)."""
    try:
        data.decode("utf-8")
    except UnicodeDecodeError:
        return "bytes that are not UTF-8"
    control = next((byte for byte in data if (byte < 0x20 and byte != 0x0A) or byte == 0x7F), None)
    return None if control is None else "the control byte 0x%02x" % control


# Each option: its name, None for a flag, or what it takes (a word, or the
# values it allows), and what it does.
OPTIONS = (
    ("--typeable", None, "no browser: status 0 if a person can type the input, else 1 and why not"),
    ("--screenshot", "FILE", "the whole page at the end"),
    ("--measure", None, "a second, uncached load, and the first prompt's time"),
    ("--slow", None, "a slow network (20 kB/s, 400 ms): the lines, sent before the program has started, must "
                     "still reach it, and the pane must read as when the session is typed again"),
    ("--offline", None, "after a first visit, an installability check, the server stopped, and the session in a "
                        "reload from the page's cache"),
    ("--axe", "FILE", "axe-core (FILE: axe.min.js) at every prompt and at the end"),
    ("--widths", "DIR", "at the end, at 320 to 1280 CSS px (500 a desktop window, the others phones): screenshots "
                        "in DIR, no line wrapped, 56 columns unscrolled from 360 px up, 44 px touch targets; then "
                        "Run again brings the input back"),
    ("--paste", None, "each whole line of the input pasted at once into the field"),
    ("--end-button", None, "the input ended with the End input button: one tap must not end it, the second must"),
    ("--kept", ("502", "404-wasm"), "after a first visit (answers marked no-cache), the server fails (every answer, "
                                    "or the program's file), and the session runs from the kept release"),
    ("--break", ("no-wasm", "bad-wasm", "no-network", "no-webassembly", "file", "trap"),
     "no session: prints the page's sentence when its program cannot load or traps (load_failures)"),
    ("--no-javascript", None, "no session: the page without JavaScript (load_failures)"),
    ("--site", None, "no session: PAGE_DIR is the web site (make site), crawled at 360 px (site_mode)"),
    ("--release", "DIR", "no session: the next release, in DIR, replaces this one on the server (release_mode)"),
    ("--long-lines", None, "no session: 200,000 characters at every prompt (long_lines_mode)"),
    ("--timed", None, "with --long-lines: the time limits too, for make bench-web"),
)


def parsed(arguments):
    """The options, once argparse has refused any it does not know, an
    abbreviation, or a value out of its choices: a misspelt option must fail
    the run, not quietly run the default one."""
    parser = argparse.ArgumentParser(prog="run_page.py", allow_abbrev=False,
                                     description=__doc__.split("\n\n")[0])
    parser.add_argument("page_dir", nargs="?" if arguments[:1] == ["--typeable"] else None)
    for name, value, text in OPTIONS:
        if value is None:
            parser.add_argument(name, action="store_true", help=text)
        elif isinstance(value, tuple):
            parser.add_argument(name, choices=value, help=text)
        else:
            parser.add_argument(name, metavar=value, help=text)
    return parser.parse_args(arguments)


def mode(args, data):
    """The exit status of the mode the options name, in a browser of its own."""
    from page_browser import Browser
    # Each mode's module only when it runs: the session modes read the
    # source tree's build/release.env, which a site's crawl does not need.
    module = importlib.import_module
    b = Browser(args.page_dir, 60 if args.slow else 20, not args.no_javascript, args.axe)
    try:
        if getattr(args, "break"):
            return module("load_failures").broken_page(b, getattr(args, "break"))
        # The modes without a session: each gives its problems.
        for wanted, check in ((args.no_javascript, lambda b: module("load_failures").without_javascript(b)),
                              (args.site, lambda b: module("site_mode").site(b)),
                              (args.release, lambda b: module("release_mode").release(b, args.release)),
                              (args.long_lines, lambda b: module("long_lines_mode").long_lines(b, args.timed))):
            if wanted:
                problems = check(b)
                print("\n".join(problems))
                return 3 if problems else 0
        return module("session_mode").session(b, args, data)
    finally:
        b.close()


def main():
    args, data = parsed(sys.argv[1:]), sys.stdin.buffer.read()
    if args.typeable:
        reason = untypeable(data)
        if reason:
            print("a person cannot type %s in a browser" % reason)
        return 1 if reason else 0
    return mode(args, data)


if __name__ == "__main__":
    sys.exit(main())
