"""Runs the program on random whole sessions and compares standard output,
standard error and exit status with expected_session.py, byte for byte.

usage: random_sessions.py COUNT SEED PROGRAM [ARG...]
(QUORVAST_CRLF=1 for a Windows build, see session_check.py)
"""
import random
import sys

from session_check import mismatch

# Pieces of H texts, heavy on the grammar's edges.
H_PIECES = [b"0", b"1", b"5", b"9", b"00", b"10", b"16.992", b"6.992", b"2.6665664", b"-", b"+", b".",
            b"e", b"E", b"e-", b"e+", b"x", b",", b" ", b"\n", b"q", b"Q", b"39", b"-172.8", b"245.7",
            b"-13.98226", b"4.8657", b"0.8", b"\t", b"\0", b"\xff", b"inf", b"-10.0000004768371582031250000001"]
NAME_BYTES = b"abcXYZ  q09-.\t\r\0\x80\xfe"
BLANKS = [b"", b" ", b"\n", b"\r\n", b"\t\v\f"]


def random_number(rng):
    if rng.random() < 0.5:  # a plausible magnitude, printed at random precision
        h = rng.uniform(-250, 260) if rng.random() < 0.3 else rng.uniform(-5, 30)
        text = b"%.*f" % (rng.randint(0, 9), h)
        return text + (b"e%d" % rng.randint(-3, 2) if rng.random() < 0.2 else b"")
    if rng.random() < 0.05:  # around the 349-byte limit
        return b"0" * rng.randint(340, 352) + rng.choice([b"12", b"e5", b"e-", b".5", b""])
    return b"".join(rng.choice(H_PIECES) for _ in range(rng.randint(1, 6)))


def random_session(rng):
    name = bytes(rng.choice(NAME_BYTES) for _ in range(rng.choice([0, 1, 5, 10, 11, 11, 12, 13])))
    data = name + b"\n" + rng.choice(BLANKS) + random_number(rng)
    data += bytes(rng.choice(b" \nabq") for _ in range(rng.randint(0, 6)))
    data += rng.choice([b"\nq\n", b"\nQ\nq\n", b"", b"\n"])
    if rng.random() < 0.2:
        data = data[:rng.randint(0, len(data))]
    return data


def main():
    count, seed, command = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3:]
    rng = random.Random(seed)
    failures = 0
    for _ in range(count):
        problem = mismatch(random_session(rng), command)
        if problem:
            failures += 1
            if failures <= 5:
                print("MISMATCH " + problem)
    print("random sessions: %d passed, %d failed" % (count - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
