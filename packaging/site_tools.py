"""What every part of the site generator shares: the release's facts, the
platform table, the one-line refusal, running a tool, SHA256SUMS files,
release versions and OpenPGP keys."""
import os
import re
import subprocess
import tempfile
from hashlib import sha256

from release_env import release_facts

FACTS = release_facts("build/release.env")
VERSION = FACTS["version"]
KEY = "quorvast-signing-key.asc"


def platforms():
    """platforms.conf's rows, each a dict of its columns."""
    columns = ("name", "triple", "debian", "uname", "qemu", "cpus", "file", "packages", "refuses", "systems", "serves")
    rows = [dict(zip(columns, (field.strip() for field in line.split("|"))))
            for line in open("platforms.conf") if re.match(r"[a-z0-9]", line)]
    for row in rows:
        row["uname"] = row["uname"].split(",")
    return rows


PLATFORMS = platforms()
ARCHITECTURES = tuple(row["debian"] for row in PLATFORMS)


WINDOWS = "Windows, 64-bit (x64, or ARM with Windows 11)"


def kind_of(name):
    """(platform, what the file is) from a release file's name; the rules in
    the order the download page lists the files."""
    rules = ((r"windows-x86_64\.msi$", WINDOWS, "the installer: most Windows users take this"),
             (r"windows-x86_64\.zip$", WINDOWS, "quorvast.exe with README.txt and LICENSE.txt, no installer"),
             *((r"_%s\.deb$" % row["debian"], "%s (%s)" % (row["systems"], row["debian"]),
                "Debian package: " + row["serves"]) for row in PLATFORMS),
             (r"-linux-(\w+)\.tar\.gz$", "Other Linux (%s)", "static program, man page, README, LICENSE"),
             (r"-web\.zip$", "A web server", "the page, to put on any web server"),
             (r"^quorvast-[\d.]+\.tar\.gz$", "Anything with a C++17 compiler", "the source"),
             (r"\.buildinfo$", "Rebuilders", "how the release was built: the Debian release and the tools' versions"))
    for order, (pattern, platform, what) in enumerate(rules):
        match = re.search(pattern, name)
        if match:
            return order, (platform % match[1] if "%s" in platform else platform), what
    return len(rules), "", ""


class Refusal(Exception):
    """Why the site cannot be built, in one line."""


def refuse(reason):
    raise Refusal(reason)


def run(*command, cwd=None, stdin=None, env=None):
    """What `command` prints; its own reason, in one line, when it fails."""
    done = subprocess.run(command, capture_output=True, text=True, cwd=cwd, input=stdin,
                          env=None if env is None else {**os.environ, **env})
    if done.returncode:
        reason = (done.stderr.strip().splitlines() or ["exit status %d" % done.returncode])[-1]
        refuse("%s failed: %s" % (command[0], reason))
    return done.stdout


def run_bytes(command, data):
    """What `command` writes when given the text `data`, as bytes."""
    done = subprocess.run(command, input=data.encode(), capture_output=True)
    if done.returncode:
        refuse("%s failed: %s" % (command[0], done.stderr.decode(errors="replace").strip()))
    return done.stdout


def file_sum(path):
    with open(path, "rb") as data:
        return sha256(data.read()).hexdigest()


def read_sums(path):
    """A SHA256SUMS file as (sum, name) pairs; refused where a line is none."""
    lines = open(path).read().splitlines()
    for line in lines:
        if not re.fullmatch(r"[0-9a-f]{64}  [\w.+-]+", line):
            refuse("%s: not a line of sums: %.60s" % (path, line))
    return [tuple(line.split("  ", 1)) for line in lines]


def check_sums(folder, sums, what):
    for digest, name in sums:
        path = os.path.join(folder, name)
        if not os.path.isfile(path) or file_sum(path) != digest:
            refuse("%s/%s does not match its SHA256SUMS%s" % (what, name, ": run make dist again" if what == "dist" else ""))


def is_signed(dist):
    """Whether a release folder holds its signature and the signing key."""
    return os.path.exists(os.path.join(dist, "SHA256SUMS.asc")) and os.path.exists(os.path.join(dist, KEY))


def version_of(sums):
    """The release a list of sums is of, from its source tarball's name."""
    return next((match[1] for _, name in sums for match in [re.fullmatch(r"quorvast-([\d.]+)\.tar\.gz", name)]
                 if match), None)


def version_key(version):
    """A version as something that sorts as versions do: 1.0.10 after 1.0.9."""
    return [int(part) for part in version.split(".")]


def fingerprint(key_file=None, key=None):
    """The full fingerprint of the key in `key_file`, without touching any
    keyring, or of `key` in the builder's."""
    if key:
        shown = run("gpg", "--batch", "--with-colons", "--fingerprint", key)
    else:
        with tempfile.TemporaryDirectory() as home:
            shown = run("gpg", "--homedir", home, "--batch", "--with-colons", "--show-keys", key_file)
    return next(line.split(":")[9] for line in shown.splitlines() if line.startswith("fpr:"))


def grouped(fpr):
    return " ".join(fpr[at:at + 4] for at in range(0, len(fpr), 4))


def publisher_keys():
    """The public keys a site of this release trusts and the apt keyring
    package carries, as one armoured block: the release folder's signing
    key and every key identity.conf's archive_keys names (a key being
    rotated in or out), from the builder's keyring."""
    text = open(os.path.join("dist", KEY)).read()
    extra = FACTS.get("archive_keys", "").split()
    return text + (run("gpg", "--batch", "--armor", "--export-options", "export-minimal", "--export", *extra)
                   if extra else "")


def verify(keys, signature, data, label):
    """Refuses unless `signature` is a good signature of `data` by one of
    the armoured `keys`; gpgv's own reason, naming `label`, when it is not."""
    with tempfile.TemporaryDirectory() as home:
        keyring = os.path.join(home, "keyring.gpg")
        with open(keyring, "wb") as out:
            out.write(run_bytes(("gpg", "--dearmor"), keys))
        done = subprocess.run(("gpgv", "--keyring", keyring, signature, data), capture_output=True, text=True)
    if done.returncode:
        said = [line[len("gpgv: "):] for line in done.stderr.splitlines() if line.startswith("gpgv: ")]
        refuse("%s: %s" % (label, next((line for line in said if line.startswith("BAD")), (said or ["no good signature"])[0])))
