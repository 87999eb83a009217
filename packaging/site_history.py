"""The releases a site holds, checked before a new one joins them: the
release folder make dist left, and the site as last published, read as a
stranger would read it. A published release is never replaced or lost:
the history is refused, naming what is wrong, when it is incomplete,
damaged or signed by no key of ours, and so is a release that would
rewrite a published version, go back behind the newest one, or drop the
signatures that apt users depend on."""
import glob
import os
import re
import sys

from site_tools import FACTS, KEY, VERSION, check_sums, file_sum, fingerprint, is_signed, publisher_keys, read_sums, \
    refuse, verify, version_key, version_of

COPY = "copy the whole site as the host serves it"


def checked_release(dist):
    """The release folder's SHA256SUMS as (sum, name) pairs, once every file
    it lists is there with that sum and it is this version's."""
    if not os.path.isfile(os.path.join(dist, "SHA256SUMS")):
        refuse("there is no release folder (dist/SHA256SUMS): run make dist first")
    sums = read_sums(os.path.join(dist, "SHA256SUMS"))
    check_sums(dist, sums, "dist")
    if version_of(sums) != VERSION:
        refuse("dist/ holds another release than %s: run make dist again" % VERSION)
    if is_signed(dist) and fingerprint(os.path.join(dist, KEY)) != FACTS["signing_key"]:
        refuse("dist/ is signed with another key than identity.conf's signing_key: run make dist again")
    return sums


def earlier_releases(previous, dist, sums):
    """{version: (folder of its SHA256SUMS, its sums)} of every release but
    this one that the site as last published holds, newest first, each
    checked; {} for a first release (previous is "none")."""
    if not previous:
        refuse("PREVIOUS_SITE is not set: name a copy of the site as last published, "
               "or PREVIOUS_SITE=none for a first release")
    if previous == "none":
        print("make site: PREVIOUS_SITE=none: a first release's site, with only %s's files" % VERSION, file=sys.stderr)
        return {}
    releases = published(previous)
    signed = os.path.exists(os.path.join(previous, "download", KEY)) or any(
        os.path.exists(os.path.join(folder, "SHA256SUMS.asc")) for folder, _ in releases.values())
    if signed and not is_signed(dist):
        refuse("PREVIOUS_SITE is signed and dist/ is not: sign the release (make dist GPG_KEY=...), "
               "or apt users lose their updates")
    if signed:
        check_signatures(previous, releases)
    check_channels(previous, releases, signed)
    return placed(releases, sums)


def published(previous):
    """The site's releases, download/VERSION/SHA256SUMS each, their files
    checked against their sums."""
    download = os.path.join(previous, "download")
    if not os.path.isdir(download):
        refuse("PREVIOUS_SITE=%s holds no download/ folder: name the site as last published" % previous)
    releases = {}
    for path in glob.glob(os.path.join(download, "*", "SHA256SUMS")):
        version = os.path.basename(os.path.dirname(path))
        sums = read_sums(path)
        if version_of(sums) != version:
            refuse("PREVIOUS_SITE/download/%s/SHA256SUMS is not that release's" % version)
        check_sums(download, sums, "PREVIOUS_SITE/download")
        releases[version] = (os.path.dirname(path), sums)
    if not releases:
        refuse("PREVIOUS_SITE=%s holds no release (download/VERSION/SHA256SUMS): %s" % (previous, COPY))
    releases = dict(sorted(releases.items(), key=lambda item: version_key(item[0]), reverse=True))
    newest = next(iter(releases.values()))[0]
    if not same_file(os.path.join(download, "SHA256SUMS"), os.path.join(newest, "SHA256SUMS")):
        refuse("PREVIOUS_SITE/download/SHA256SUMS is not its newest release's: %s" % COPY)
    return releases


def same_file(one, other):
    return os.path.isfile(one) and os.path.isfile(other) and file_sum(one) == file_sum(other)


def check_signatures(previous, releases):
    """Every release of a signed site signed by a key of ours."""
    if not os.path.isfile(os.path.join(previous, "download", KEY)):
        refuse("PREVIOUS_SITE/download/%s is missing: %s" % (KEY, COPY))
    keys = publisher_keys()
    for version, (folder, _) in releases.items():
        signature = os.path.join(folder, "SHA256SUMS.asc")
        if not os.path.isfile(signature):
            refuse("PREVIOUS_SITE/download/%s/SHA256SUMS.asc is missing: %s" % (version, COPY))
        verify(keys, signature, os.path.join(folder, "SHA256SUMS"), "PREVIOUS_SITE/download/%s/SHA256SUMS.asc" % version)


def check_channels(previous, releases, signed):
    """What the site's other channels name is there: each release's .debs
    in the apt pool and nothing else, each .msi's winget manifests naming
    it by its sum, and no manifest of a release the site lacks."""
    debs = {name: digest for _, sums in releases.values() for digest, name in sums if name.endswith(".deb")}
    pool = os.path.join(previous, "apt", "pool", "main")
    if signed:
        for name, digest in sorted(debs.items()):
            path = os.path.join(pool, name)
            if not os.path.isfile(path) or file_sum(path) != digest:
                refuse("PREVIOUS_SITE/apt/pool/main/%s is missing or not the release's: %s" % (name, COPY))
        for name in sorted(os.listdir(pool)):
            if name not in debs and not name.startswith("quorvast-archive-keyring_"):
                refuse("PREVIOUS_SITE/apt/pool/main/%s is of no release in download/: %s" % (name, COPY))
    for folder in glob.glob(os.path.join(previous, "winget", "*")):
        if os.path.basename(folder) not in releases:
            refuse("PREVIOUS_SITE/winget/%s names a release that download/ lacks: %s" % (os.path.basename(folder), COPY))
    for version, (_, sums) in releases.items():
        for digest, name in sums:
            if name.endswith(".msi"):
                check_manifest(previous, version, name, digest)


def check_manifest(previous, version, msi, digest):
    path = os.path.join(previous, "winget", version, "Quorvast.Quorvast.installer.yaml")
    if not os.path.isfile(path):
        refuse("PREVIOUS_SITE/winget/%s/ is missing: %s" % (version, COPY))
    text = open(path).read()
    url = re.search(r"InstallerUrl: *'?(\S+?)'?$", text, re.M)
    named = re.search(r"InstallerSha256: *'?([0-9A-Fa-f]{64})'?$", text, re.M)
    if not url or not named or url[1].rsplit("/", 1)[-1] != msi or named[1].lower() != digest:
        refuse("PREVIOUS_SITE/winget/%s/ names another installer than download/%s" % (version, msi))


def placed(releases, sums):
    """The earlier releases, once this one fits among them: a version
    published with other files is never replaced, and none goes back
    behind the newest."""
    newest = next(iter(releases))
    if version_key(VERSION) < version_key(newest):
        refuse("%s is older than %s, the newest published release: raise the version" % (VERSION, newest))
    if VERSION in releases:
        published_sums = dict((name, digest) for digest, name in releases[VERSION][1])
        changed = sorted(name for digest, name in sums if published_sums.get(name) != digest) or \
            sorted(set(published_sums) - set(name for _, name in sums))
        if changed:
            refuse("%s is published already, with another %s: a published release is never replaced; "
                   "raise the version" % (VERSION, changed[0]))
        del releases[VERSION]
    return releases
