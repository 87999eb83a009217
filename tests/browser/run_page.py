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

usage: run_page.py PAGE_DIR [OPTION...] < input
       run_page.py PAGE_DIR --break KIND   (prints the page's failure sentence)
       run_page.py --typeable < input   (status 0 if a person can type it)
--screenshot FILE  the whole page at the end
--measure          a second, uncached load, and the first prompt's time
--slow             a slow network (20 kB/s, 400 ms); the lines are sent before
                   the program has started, and must still reach it; the
                   pane must then read as when the session is typed again
--offline          after a first visit, an installability check, the server
                   stopped, and the session in a reload from the page's cache
--axe FILE         axe-core (FILE: axe.min.js) at every prompt and at the end
--widths DIR       at the end, at 320 to 1280 CSS px (500 px a desktop window
                   with its scrollbar, the others phones): screenshots in DIR, no
                   line wrapped, 56 columns without scrolling from 360 px up,
                   44 px touch targets; then Run again brings the input back
--break KIND       a page that cannot load its program: no-wasm, bad-wasm,
                   no-network, no-webassembly, file (opened from disk)
--paste            each whole line of the input pasted at once into the field
--end-button       the input ended with the End input button: one tap must
                   not end it, the second must
--no-javascript    no session: the page without JavaScript says it needs it,
                   shows no loading notice, and its controls are disabled
--site             no session: PAGE_DIR is the web site (make site); a crawl
                   from its landing page at 360 px finds every link and image
                   inside it, every page linking home and none scrolling
                   sideways, axe (with --axe) finds nothing on any page, and
                   the download page lists every release file once and the
                   sums as SHA256SUMS has them; the winget manifests follow
                   their schemas (schemas/ beside it) and the .msi
--kept FAILURE     after a first visit (answers marked no-cache), the server
                   fails, and the session runs from the kept release:
                   502 (every answer) or 404-wasm (the program's file)
--release DIR      no session: this page, its files 30 days old, visited
                   until its worker keeps it, then the page in DIR (a newer
                   release) on the server and two loads; neither may mix the
                   two (the version shown is the banner's), the second must
                   run the newer one; without caching headers, then with
                   max-age=600; a tab held, or loading from the network,
                   while another updates; a damaged newer release or worker;
                   pages opened during a slow install; full storage; two
                   copies under /a/ and /b/, offline
--long-lines       no session: 200,000 characters at the name, H and exit
                   prompts, each answered and painted within 1 s, no task
                   over 150 ms, the pane's scrollback bounded

The modes live beside this file, over page_browser.py (server, browser,
helpers): session_mode, load_failures, site_mode, release_mode,
long_lines_mode.
"""
import argparse
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


def parsed(arguments):
    """The options, once argparse has refused any it does not know, an
    abbreviation, or a value out of its choices: a misspelt option must fail
    the run, not quietly run the default one."""
    parser = argparse.ArgumentParser(prog="run_page.py", allow_abbrev=False,
                                     description=__doc__.split("\n\n")[0])
    parser.add_argument("page_dir", nargs="?" if arguments[:1] == ["--typeable"] else None)
    for name in ("--typeable", "--measure", "--slow", "--offline", "--paste", "--end-button", "--no-javascript",
                 "--site", "--long-lines"):
        parser.add_argument(name, action="store_true")
    for name in ("--screenshot", "--axe", "--widths", "--release"):
        parser.add_argument(name)
    parser.add_argument("--break", choices=("no-wasm", "bad-wasm", "no-network", "no-webassembly", "file"))
    parser.add_argument("--kept", choices=("502", "404-wasm"))
    return parser.parse_args(arguments)


def mode(args, data):
    """The exit status of the mode the options name, in a browser of its own."""
    from page_browser import Browser
    import load_failures, long_lines_mode, release_mode, session_mode, site_mode  # noqa: E401
    b = Browser(args.page_dir, 60 if args.slow else 20, not args.no_javascript, args.axe)
    try:
        if getattr(args, "break"):
            return load_failures.broken_page(b, getattr(args, "break"))
        # The modes without a session: each gives its problems.
        for wanted, check in ((args.no_javascript, load_failures.without_javascript), (args.site, site_mode.site),
                              (args.release, lambda b: release_mode.release(b, args.release)),
                              (args.long_lines, long_lines_mode.long_lines)):
            if wanted:
                problems = check(b)
                print("\n".join(problems))
                return 3 if problems else 0
        return session_mode.session(b, args, data)
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
