"""Whole runs on input that ends or misbehaves, as tables of cases:

- every prefix of a few whole sessions (the input ending at each byte): no
  hang, and output, message and status exactly as the rules give;
- bytes no user types (NUL, 0x80-0xFF, CR, form feed) in every field;
- 1 MB in one field (name line, digits of H, keys at the exit prompt): the
  same exact output, peak memory under 4 MB, and time linear in the input
  (10x the input against 0.1 MB); with --big, only these cases, at 10 MB
  against 1 MB;
- standard input or output left non-blocking by another program: the run
  waits for them as for blocking ones, loses nothing, and still ends;
- standard error on a terminal: a message begins on a line of its own.

usage: failure_modes.py [--no-limits] [--big] PROGRAM [ARG...]
--no-limits keeps the outputs exact but drops the memory and time limits,
which mean little for builds under sanitizers or gcov.
"""
import os
import pty
import select
import subprocess
import sys
import tempfile
import threading
import tty
import time

from session_check import expected, mismatch

WHOLE_SESSIONS = [
    b"Vesta\n10\nq\n",
    b"Hygiea12345\n \t-1.5e+2x\n\nQ q\n",
    b"  Ida\r\n\n.5e-\r\nzq",
    b"\n+007.50E3 \n\n  q",
]
HOSTILE = [
    b"Ve\0sta\n10\0\nq\n",
    b"\x80\xff\xfe\n\xff10\n10\xff\x80q\n",
    b"Vesta\r\n\r10\r\n\rq\r\n",
    b"\f\fVesta\n\f10\f\n\f\0q\n",
    b"Vesta\n1\0" + b"0" * 5 + b"\nq\n",
    b"\0" * 11 + b"\n10\nq\n",
]
PEAK_RSS_LIMIT_KB = 4096
LARGE = [  # name: (small input, large input); the large one is 10x the small
    ("name line", lambda n: b"N" * n + b"\n10\nq\n"),
    ("digits of H", lambda n: b"Vesta\n" + b"7" * n + b"\nq\n"),
    ("keys at the exit prompt", lambda n: b"Vesta\n10\n" + b"x" * n + b"\n"),
]


def measured_run(data, command):
    """(stdout, stderr, status, peak RSS in KB, CPU seconds) of one run. GNU
    time measures it: a child forked from this Python process would count the
    interpreter's own memory in its peak."""
    with tempfile.NamedTemporaryFile() as usage, tempfile.TemporaryFile() as source:
        source.write(data)
        source.seek(0)
        run = subprocess.run(["/usr/bin/time", "-o", usage.name, "-f", "%M %U %S"] + command,
                             stdin=source, capture_output=True, timeout=120)
        rss, user, system = open(usage.name).read().split()[-3:]
        return run.stdout, run.stderr, run.returncode, int(rss), float(user) + float(system)


def large_input_problems(name, make_input, command, limits, big):
    problems = []
    seconds = []
    for size in (big // 10, big):
        data = make_input(size)
        got_out, got_err, status, rss, cpu = measured_run(data, command)
        want_out, want_err, want_status = expected(data)
        seconds.append(cpu)
        print("%s, %d bytes: peak RSS %d KB, %.2f s CPU" % (name, size, rss, cpu))
        if (got_out, got_err, status) != (want_out, want_err, want_status):
            problems.append("%s, %d bytes: output, message or status differ" % (name, size))
        if limits and rss >= PEAK_RSS_LIMIT_KB:
            problems.append("%s, %d bytes: peak RSS %d KB" % (name, size, rss))
    if limits and seconds[1] > 20 * seconds[0] + 0.5:  # 10x the input: far from 100x
        problems.append("%s: %.2f s for 10x the input that took %.2f s" % (name, seconds[1], seconds[0]))
    return problems


def late_input_problems(command, data):
    """Input from a non-blocking pipe, typed a piece at a time, then closed."""
    read_end, write_end = os.pipe()
    os.set_blocking(read_end, False)
    process = subprocess.Popen(command, stdin=read_end, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    os.close(read_end)
    try:
        for piece in (data[:6], data[6:9], data[9:]):
            time.sleep(0.2)
            os.write(write_end, piece)
    except BrokenPipeError:
        pass  # the program stopped reading early; the comparison shows it
    os.close(write_end)
    try:
        out, err = process.communicate(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        return ["non-blocking input %r: no end within 10 s" % data]
    return [] if (out, err, process.returncode) == expected(data) else ["non-blocking input %r: runs differ" % data]


def late_reader_problems(command, terminal=False):
    """Output to a non-blocking pipe, or terminal, that nobody reads for a
    while: it fills up. A pipe takes a write of the program's size whole or
    not at all; a terminal takes what it has room for, so there the program
    must go on from where a partial write stopped."""
    data = b"Vesta\n10\n" + b"x" * 20000 + b"q\n"  # 620 KB of exit prompts
    read_end, write_end = pty.openpty() if terminal else os.pipe()
    if terminal:
        tty.setraw(write_end)  # the program's bytes as they are, no "\r\n"
    os.set_blocking(write_end, False)
    with tempfile.TemporaryFile() as source:
        source.write(data)
        source.seek(0)
        process = subprocess.Popen(command, stdin=source, stdout=write_end, stderr=subprocess.PIPE)
    os.close(write_end)
    time.sleep(0.5)
    chunks = []
    reader = threading.Thread(target=read_until_closed, args=(read_end, chunks))
    reader.start()
    err = process.stderr.read()
    process.wait(timeout=30)
    reader.join()
    os.close(read_end)
    got = (b"".join(chunks), err, process.returncode)
    return [] if got == expected(data) else ["non-blocking output%s: runs differ" % (" (terminal)" * terminal)]


def read_until_closed(fd, chunks):
    try:
        while chunk := os.read(fd, 65536):
            chunks.append(chunk)
    except OSError:  # a terminal whose last writer has gone
        pass


def terminal_problems(command, typed, typed_at_terminal, new_line):
    """Standard error on a terminal, and standard input too where
    `typed_at_terminal` (the terminal echoes what is typed; \\x04 is Ctrl-D):
    the message begins on a line of its own only where the cursor was left
    mid-line, after a prompt or after text typed without Enter; standard
    output keeps its exact bytes. `new_line`: whether the message must begin
    with one."""
    master, slave = pty.openpty()
    data = typed.replace(b"\x04", b"")
    if typed_at_terminal:
        os.write(master, typed)
    run = subprocess.run(command, input=None if typed_at_terminal else data, stdin=slave if typed_at_terminal else None,
                         stdout=subprocess.PIPE, stderr=slave, timeout=10)
    os.close(slave)
    shown = b""
    while select.select([master], [], [], 0)[0]:
        try:
            shown += os.read(master, 4096)
        except OSError:  # the terminal's last reader has gone
            break
    os.close(master)
    out, want_err, status = expected(data)
    echo = data if typed_at_terminal else b""
    if new_line:
        want_err = b"\n" + want_err
    got = (run.stdout, shown.replace(b"\r\n", b"\n"), run.returncode)  # the terminal's own line ends
    return [] if got == (out, echo + want_err, status) else ["terminal %r: %r" % (typed, got[1])]


def main():
    options = {"--no-limits", "--big"}
    flags = set(sys.argv[1:3]) & options
    command = sys.argv[1 + len(flags):]
    limits, big = "--no-limits" not in flags, 10_000_000 if "--big" in flags else 1_000_000
    cases = [(None, large) for large in LARGE]
    if "--big" in flags:
        return run_cases(cases, command, limits, big)
    cases += [(data[:cut], None) for data in WHOLE_SESSIONS for cut in range(len(data) + 1)]
    cases += [(data, None) for data in HOSTILE]
    cases += [(None, lambda c: late_input_problems(c, b"Vesta\n10\nxq\n")),
              (None, lambda c: late_input_problems(c, b"Vesta\n10\nx")),  # closed before "q"
              (None, late_reader_problems),
              (None, lambda c: late_reader_problems(c, terminal=True))]
    # Typed: (input, typed at the terminal or piped, whether the message begins on a new line)
    cases += [(None, lambda c, row=row: terminal_problems(c, *row))
              for row in ((b"Vesta\n", False, True), (b"Vesta\n10\n", False, False),  # piped: after the prompt
                          (b"Vesta\nabc\n", True, False), (b"ABCDEFGHIJKL\n", True, False),  # after Enter
                          (b"Vesta\n\x04", True, True), (b"Vesta\nabc\x04", True, True),  # Ctrl-D mid-line
                          (b"Vesta\nab\t\x04", True, True), (b"Ves\x04\x04", True, True),  # a control byte; two ends
                          (b"Vesta\n10\n\x04", True, False))]  # the exit prompt ends its line
    return run_cases(cases, command, limits, big)


def run_cases(cases, command, limits, big):
    failures = 0
    for data, large in cases:
        if callable(large):
            problems = large(command)
        elif large:
            problems = large_input_problems(*large, command, limits, big)
        else:
            problems = [mismatch(data, command, timeout=10)]
        for problem in filter(None, problems):
            failures += 1
            print("FAILED " + problem)
    print("failure modes: %d passed, %d failed" % (len(cases) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
