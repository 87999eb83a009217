"""An independent model of one whole session: the bytes the program must print,
its exit status and its complaint, derived from the input bytes alone.

Written apart from the C++ code on purpose (regular expressions instead of a
state table, Python's own correctly rounded parsing and printing), so that
comparing the two over random sessions catches faults in either.
"""
import ctypes
import math
import os
import re
import sys

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(TOP, "packaging"))
from release_env import release_facts  # noqa: E402 (found through the path above)

FACTS = release_facts(os.path.join(TOP, "build", "release.env"))
VERSION, CONTACT = FACTS["version"].encode(), FACTS["contact"].encode()

BANNER = (b"\n -------------------------------------------------------\n\n"
          + b" " * 26 + b"Quorvast\n\n"
          + b"  Asteroid size estimates from its absolute magnitude H\n\n\n"
          + b" " * 21 + b"by the Quorvast authors\n\n"
          + b" " * 20 + b"contact: " + CONTACT + b"\n\n"
          + b" -------------------------------------------------------\n\n"
          + b" Quorvast " + VERSION + b" is free software; see LICENSE (MIT).\n\n\n\n")
EXIT_LINE = b"type q and press enter to exit\n"
BLANK = b" \t\n\v\f\r"
NUMBER = re.compile(rb"[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?")
LIMIT = 349


def f32(x):
    return ctypes.c_float(x).value


def figure(x):
    return b"Infinity" if math.isinf(x) else (b"%.3g" % x)


def diameter(h, albedo):
    try:
        power = math.pow(10.0, -(f32(0.2) * h))
    except OverflowError:  # C's pow gives infinity here
        power = math.inf
    return f32(1329.0 / math.sqrt(f32(albedo)) * power)


def miles(km):
    return f32(km / 1.609)


def metres(km):
    m = f32(km * 1000.0)
    return figure(m) if math.isinf(m) or m + 0.5 >= 2.0 ** 31 else b"%d" % int(m + 0.5)


def read_name(data, at):
    """(name, position, ok, ended) after the line reader."""
    line = data[at:at + 12]
    end = line.find(b"\n")
    if end >= 0 and end <= 11:
        return line[:end], at + end + 1, True, False
    if len(line) == 12:
        return line[:11], at + 11, False, False
    return line, len(data), len(line) > 0, True


def read_number(data, at):
    """(value or None, position, ended) after the number reader."""
    while at < len(data) and data[at] in BLANK:
        at += 1
    if at == len(data):
        return None, at, True
    window = data[at:at + LIMIT]
    match = NUMBER.match(window)
    taken = match.end() if match else 0
    # The scan also took what only looked like the start of more: a trailing
    # marker and sign, or a lone sign and point. It saw the end of input if
    # that brought it to the last byte before the length limit.
    rest = window[taken:]
    if match and re.search(rb"[eE]", match.group()):
        tail = 0
    else:
        tail = re.match(rb"(?:[eE][+-]?)?" if match else rb"[+-]?\.?", rest).end()
    ended = at + taken + tail == len(data) and taken + tail < LIMIT
    if not match:
        return None, at, ended
    return f32(float(match.group())), at + taken, ended


def session(data):
    """(stdout bytes, exit status, complaint) for the whole input `data`."""
    out = BANNER + b"Type name of asteroid: "
    name, at, ok, ended = read_name(data, 0)
    if not ok:
        return out, 1, ("input ended before the asteroid's name was typed" if ended
                        else "the asteroid's name is longer than 11 bytes")
    out += b"\nType H value of asteroid: "
    h, at, number_ended = (None, at, True) if ended else read_number(data, at)
    if h is None:
        return out, 1, ("input ended before a value of H was typed" if number_ended
                        else "the value of H is not a number")
    out += b"\n\n"
    for label, albedo in ((b"Maximum", 0.02), (b"Minimum", 0.25)):
        km = diameter(h, albedo)
        out += b" %s diameter (km): %s\n %s diameter (miles): %s\n\n" % (label, figure(km), label, figure(miles(km)))
    km = diameter(h, 0.15)
    name = name.split(b"\0")[0]
    out += b"\n\n***************** BEST ESTIMATE *****************\n\n"
    out += b" %s best diameter estimate (km): %s\n" % (name, figure(km))
    out += b" %s best diameter estimate (miles): %s\n" % (name, figure(miles(km)))
    out += b" %s best diameter estimate (meter): %s" % (name, metres(km))
    out += b"\n\n*************************************************\n\n"
    out += b" maximum for albedo = 0.02, minimum for albedo = 0.25\n best estimate for albedo = 0.15\n\n\n"
    keys = b"" if number_ended else data[at:].translate(None, BLANK)
    quit_at = keys.find(b"q")
    if quit_at < 0:
        return out + EXIT_LINE * (len(keys) + 1), 1, 'input ended before "q" was typed'
    return out + EXIT_LINE * (quit_at + 1), 0, ""
