#!/usr/bin/python3
"""Finds private keys among files, in every format a key is kept in, so
that none ships in a source tarball: PEM blocks (PKCS#1, PKCS#8, EC,
OpenSSH, OpenPGP armoured), DER keys (plain or encrypted PKCS#8, PKCS#1,
EC), PKCS#12 (.pfx, .p12), PuTTY keys, binary OpenPGP secret keys, and
GnuPG homes (their private-keys-v1.d/ or secring.gpg).

usage: private_keys.py < NUL-separated paths; prints "PATH holds WHAT" for each
file that holds a key, and exits 1 when there is one.
"""
import os
import re
import sys

PEM = re.compile(rb"-----BEGIN [A-Z0-9 ]*PRIVATE KEY( BLOCK)?-----")
# DER object identifiers of password-based encryption: PKCS#5 (PBES1,
# PBES2) and PKCS#12, as an encrypted PKCS#8 key names its scheme.
ENCRYPTION_OIDS = (bytes.fromhex("2a864886f70d0105"), bytes.fromhex("2a864886f70d010c01"))
SECRET_KEY_TAGS = (5, 7)  # OpenPGP packets: secret key, secret subkey


def der_element(data, at):
    """(tag, start of content, end) of the DER element at `at`, or None."""
    if at + 2 > len(data):
        return None
    tag, length, start = data[at], data[at + 1], at + 2
    if length & 0x80:
        count = length & 0x7f
        if not 0 < count <= 4 or start + count > len(data):
            return None
        length, start = int.from_bytes(data[start:start + count], "big"), start + count
    return (tag, start, start + length) if start + length <= len(data) else None


def der_key(data):
    """What kind of key a DER file is, or None: one SEQUENCE that is the
    whole file, holding first a small version (PKCS#8 0 or 1, PKCS#1 0,
    EC 1, PKCS#12 3), or an encryption scheme then the encrypted key."""
    outer = der_element(data, 0)
    if not outer or outer[0] != 0x30 or outer[2] != len(data):
        return None
    first = der_element(data, outer[1])
    if not first:
        return None
    if first[0] == 0x02 and first[2] - first[1] == 1 and data[first[1]] in (0, 1, 3):
        return "a PKCS#12 bundle" if data[first[1]] == 3 else "a DER private key"
    if first[0] == 0x30:
        scheme = der_element(data, first[1])
        if scheme and scheme[0] == 0x06 and data[scheme[1]:scheme[2]].startswith(ENCRYPTION_OIDS):
            return "an encrypted DER private key"
    return None


def openpgp_secret(data):
    """Whether the file starts with an OpenPGP secret-key packet (old or new
    format header), of a version that exists (3 to 6)."""
    if not data or not data[0] & 0x80:
        return False
    if data[0] & 0x40:
        tag, header = data[0] & 0x3f, 1 + (1 if len(data) > 1 and data[1] < 192 else 2 if len(data) > 1 and data[1] < 224 else 5)
    else:
        tag, header = (data[0] >> 2) & 0x0f, 1 + (1, 2, 4, 0)[data[0] & 3]
    return tag in SECRET_KEY_TAGS and len(data) > header and data[header] in (3, 4, 5, 6)


def kind(path):
    """What private key `path` holds, or None."""
    parts = path.split(os.sep)
    if "private-keys-v1.d" in parts[:-1] or parts[-1] == "secring.gpg":
        return "a GnuPG home's secret keys"
    with open(path, "rb") as source:
        data = source.read(1 << 20)
    if PEM.search(data):
        return "a PEM private key"
    if data.startswith(b"PuTTY-User-Key-File-"):
        return "a PuTTY private key"
    if re.match(rb"(Created: .*\n)?(Key: )?\((protected-|shadowed-)?private-key", data):
        return "a GnuPG home's secret keys"
    if openpgp_secret(data):
        return "an OpenPGP secret key"
    return der_key(data)


def main():
    found = 0
    for path in sys.stdin.buffer.read().decode().split("\0"):
        if path and os.path.isfile(path) and not os.path.islink(path):
            what = kind(path)
            if what:
                print("%s holds %s" % (path, what))
                found = 1
    return found


if __name__ == "__main__":
    sys.exit(main())
