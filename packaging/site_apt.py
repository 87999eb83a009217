"""apt/: the signed apt repository. It holds every release's Debian
packages and quorvast-archive-keyring, the package of the keys that sign
the repository (as Debian's own archive keyring is packaged): a user who
installs it gets an extended or rotated key through apt upgrade, before
the key they first fetched expires. The repository is dated from the
release's time, so that two builds differ only in their signatures."""
import os
import shutil
import sys
import tarfile
import tempfile
import time
from email.utils import formatdate

from site_tools import ARCHITECTURES, FACTS, KEY, VERSION, fingerprint, publisher_keys, refuse, run, \
    run_bytes

KEYRING = "quorvast-archive-keyring"
KEYRING_PATH = "usr/share/keyrings/%s.gpg" % KEYRING
EXPIRY_MARGIN_DAYS = 183


def apt_repository(site, debs):
    """apt/ with the Debian packages `debs` (every release's, all in
    download/) and the keyring package, signed with GPG_KEY; False, and
    nothing, without GPG_KEY, which a signed release folder refuses: its
    site would quietly lose apt."""
    key = os.environ.get("GPG_KEY")
    if not key and os.path.exists(os.path.join("dist", KEY)):
        refuse("dist/ is signed but GPG_KEY is not set: give the key that signed it, so that the apt repository is signed too")
    if not key:
        print("make site: no GPG_KEY, so no apt repository (an unsigned one is never published)", file=sys.stderr)
        return False
    if fingerprint(key=key) != fingerprint(os.path.join("dist", KEY)):
        refuse("GPG_KEY is not the key the release folder publishes (dist/%s)" % KEY)
    check_expiry(key)
    apt = os.path.join(site, "apt")
    pool = os.path.join(apt, "pool", "main")
    os.makedirs(pool)
    for name in sorted(debs):
        shutil.copyfile(os.path.join(site, "download", name), os.path.join(pool, name))
    keyring_package(pool, os.path.join(apt, KEYRING + ".gpg"))
    stable = os.path.join(apt, "dists", "stable")
    for architecture in ARCHITECTURES:
        folder = os.path.join(stable, "main", "binary-" + architecture)
        os.makedirs(folder)
        with open(os.path.join(folder, "Packages"), "w") as out:
            out.write(run("apt-ftparchive", "--arch", architecture, "packages", "pool", cwd=apt))
        run("gzip", "-9nk", os.path.join(folder, "Packages"))
    signed_release(stable, key)
    with open(os.path.join(apt, "quorvast.sources"), "w") as out:
        out.write("Types: deb\nURIs: %sapt/\nSuites: stable\nComponents: main\nSigned-By: /%s\n"
                  % (FACTS["homepage"], KEYRING_PATH))
    return True


def check_expiry(key):
    """Refuses a signing key (or signing subkey) that expires within six
    months: users must have the extended key before the old date."""
    shown = run("gpg", "--batch", "--with-colons", "--list-keys", key)
    limit = time.time() + EXPIRY_MARGIN_DAYS * 86400
    for fields in (line.split(":") for line in shown.splitlines()):
        if fields[0] in ("pub", "sub") and "s" in fields[11] and fields[6] and int(fields[6]) < limit:
            refuse("the signing key expires on %s, within 6 months: extend it (gpg --quick-set-expire %s 2y, "
                   "and the subkeys' with '*'), then make dist and make site again"
                   % (time.strftime("%Y-%m-%d", time.gmtime(int(fields[6]))), fingerprint(key=key)))


def release_time():
    """The release's own time: the source tarball's, which is its commit's."""
    with tarfile.open("dist/quorvast-%s.tar.gz" % VERSION) as source:
        return source.next().mtime


def signed_release(stable, key):
    fields = {"Origin": "Quorvast", "Label": "Quorvast", "Suite": "stable", "Codename": "stable",
              "Architectures": " ".join(ARCHITECTURES), "Components": "main",
              "Description": "Quorvast, asteroid size estimates", "Date": formatdate(release_time(), usegmt=True)}
    options = [word for field, value in fields.items() for word in ("-o", "APT::FTPArchive::Release::%s=%s" % (field, value))]
    with open(os.path.join(stable, "Release"), "w") as out:
        out.write(run("apt-ftparchive", *options, "release", ".", cwd=stable))
    sign = ("gpg", "--batch", "--yes", "--local-user", key, "--digest-algo", "SHA512")
    run(*sign, "--clearsign", "--output", "InRelease", "Release", cwd=stable)
    run(*sign, "--armor", "--detach-sign", "--output", "Release.gpg", "Release", cwd=stable)


def keyring_package(pool, published):
    """quorvast-archive-keyring_VERSION_all.deb in the pool, and its keyring
    beside the repository for the first install. Its version is the time
    of the newest signature on the keys, so extending or adding a key makes
    a newer package, and the same keys the same bytes."""
    keys = publisher_keys()
    with tempfile.TemporaryDirectory() as root:
        keyring = os.path.join(root, KEYRING_PATH)
        os.makedirs(os.path.dirname(keyring))
        with open(keyring, "wb") as out:
            out.write(run_bytes(("gpg", "--dearmor"), keys))
        shutil.copyfile(keyring, published)
        signed = newest_signature(keyring)
        version = time.strftime("%Y.%m.%d.%H%M%S", time.gmtime(signed))
        os.makedirs(os.path.join(root, "DEBIAN"))
        with open(os.path.join(root, "DEBIAN", "control"), "w") as out:
            out.write("Package: %s\nVersion: %s\nArchitecture: all\nMaintainer: Quorvast authors <%s>\n"
                      "Section: misc\nPriority: optional\nMulti-Arch: foreign\nHomepage: %s\n"
                      "Description: OpenPGP keys of Quorvast's apt repository\n"
                      " The keys apt checks Quorvast's repository with, kept up to date by apt itself.\n"
                      % (KEYRING, version, FACTS["contact"], FACTS["homepage"]))
        for path in (os.path.join(folder, name) for folder, _, names in os.walk(root) for name in names + [""]):
            os.chmod(path, 0o755 if os.path.isdir(path) else 0o644)
            os.utime(path, (signed, signed))
        run("dpkg-deb", "--root-owner-group", "-Zxz", "--build", root,
            os.path.join(pool, "%s_%s_all.deb" % (KEYRING, version)), env={"SOURCE_DATE_EPOCH": str(signed)})


def newest_signature(keyring):
    """The time of the newest signature in a keyring file."""
    packets = run("gpg", "--batch", "--list-packets", keyring)
    times = [int(word.rstrip(",")) for line in packets.splitlines() if line.lstrip().startswith("version ")
             for before, word in zip(line.split(), line.split()[1:]) if before == "created"]
    return max(times)
