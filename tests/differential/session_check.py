"""Runs the program on one input and compares it with expected_session.py."""
import os
import subprocess

from expected_session import session


def expected(data):
    """(stdout, stderr, status) the program must give for `data`. With
    QUORVAST_CRLF=1 the program is a Windows build: its standard streams are
    text streams, "\\r\\n" read as "\\n" and "\\n" written as "\\r\\n"."""
    windows = os.environ.get("QUORVAST_CRLF") == "1"
    out, status, complaint = session(data.replace(b"\r\n", b"\n") if windows else data)
    err = b"quorvast: %s\n" % complaint.encode() if complaint else b""
    if windows:
        out, err = out.replace(b"\n", b"\r\n"), err.replace(b"\n", b"\r\n")
    return out, err, status


def mismatch(data, command, timeout=30):
    """None when the run matches, else a description of the difference."""
    try:
        run = subprocess.run(command, input=data, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return "no end within %d s for input %r" % (timeout, data[:200])
    out, err, status = expected(data)
    if (run.stdout, run.stderr, run.returncode) == (out, err, status):
        return None
    return ("for input %r\n  got status %d, stderr %r, stdout tail %r\n  want status %d, stderr %r, stdout tail %r"
            % (data[:200], run.returncode, run.stderr, run.stdout[-300:], status, err, out[-300:]))
