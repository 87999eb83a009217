#!/usr/bin/python3
"""Builds Quorvast's web site: one folder of static files for any web host.

It holds a landing page (what the program does, the picture, a session the
release program itself printed, a link to try it), the downloads (which
file to take, how to check it, every file of the release folder with its
platform and size, the sums as SHA256SUMS has them, the signing key where
the release is signed, and every earlier release), install and remove per
platform, the manual (the man page through mandoc -Thtml), the README and
the development guide as HTML, the licence and the changelog as text, and
the web page itself under try/, unpacked from the release's own web zip.
With GPG_KEY (the key that signed the release folder), an apt repository
under apt/, signed with it; without, none, since an unsigned one is never
published, and a signed release folder is refused without it. And the
winget manifests of the release's .msi under winget/VERSION/. The pages
are the templates in packaging/site/, filled in with Jinja2 (autoescaped).

Releases accumulate: with --previous (the site as last published), every
earlier release's files stay under download/, each with its sums under
download/VERSION/, its packages in the apt pool and its winget manifests,
so that every link, `apt install quorvast=VERSION` and every submitted
manifest still hold. Without, it builds a first release's site and says so.

It publishes the release folder as make dist left it: it refuses, in one
line, when there is none for this version or a file does not match
SHA256SUMS. It builds into a fresh folder and puts it in place only once
the whole site is built and signed: a failure, said in one line with the
tool's own reason, leaves the last site as it was. The same inputs give the
same bytes: nothing depends on the time, the machine or the order a folder
lists its files in.

usage: make_site.py SITE_DIR [--previous DIR]   (from the top of the tree,
after make dist; make site runs it, PREVIOUS_SITE=DIR for --previous)
"""
import argparse
import glob
import html
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import zipfile
from email.utils import formatdate
from hashlib import sha256

import jinja2

from markdown_page import body, page
from release_env import release_facts

FACTS = release_facts("build/release.env")
VERSION = FACTS["version"]
KEY = "quorvast-signing-key.asc"
PAGES = (("index.html", "Quorvast"), ("download.html", "Download"), ("install.html", "Install"),
         ("manual.html", "Manual"), ("readme.html", "README"), ("development.html", "Development"))
# The README's and the guide's links, as the site has them.
LINKS = {"doc/development.md": "development.html", "../README.md": "readme.html", "LICENSE": "LICENSE.txt",
         "README.md": "readme.html"}


def platforms():
    """platforms.conf's rows, each a dict of its columns."""
    columns = ("name", "triple", "debian", "uname", "qemu", "cpus", "file", "packages", "serves")
    rows = [dict(zip(columns, (field.strip() for field in line.split("|"))))
            for line in open("platforms.conf") if re.match(r"[a-z0-9]", line)]
    for row in rows:
        row["uname"] = row["uname"].split(",")
    return rows


PLATFORMS = platforms()
ARCHITECTURES = tuple(row["debian"] for row in PLATFORMS)


def kind_of(name):
    """(platform, what the file is) from a release file's name; the rules in
    the order the download page lists the files."""
    rules = ((r"windows-x86_64\.msi$", "Windows, 64-bit", "the installer: most Windows users take this"),
             (r"windows-x86_64\.zip$", "Windows, 64-bit", "quorvast.exe with README.txt and LICENSE.txt, no installer"),
             *((r"_%s\.deb$" % row["debian"], "Debian, Ubuntu, Raspberry Pi OS (%s)" % row["debian"],
                "Debian package: " + row["serves"]) for row in PLATFORMS),
             (r"-linux-(\w+)\.tar\.gz$", "Other Linux (%s)", "static program, man page, README, LICENSE"),
             (r"-web\.zip$", "A web server", "the page, to put on any web server"),
             (r"^quorvast-[\d.]+\.tar\.gz$", "Anything with a C++17 compiler", "the source"))
    for order, (pattern, platform, what) in enumerate(rules):
        match = re.search(pattern, name)
        if match:
            return order, (platform % match[1] if "%s" in platform else platform), what
    return len(rules), "", ""


class Refusal(Exception):
    """Why the site cannot be built, in one line."""


def refuse(reason):
    raise Refusal(reason)


def read_sums(path):
    """A SHA256SUMS file as (sum, name) pairs."""
    return [tuple(line.split("  ", 1)) for line in open(path).read().splitlines()]


def check_sums(folder, sums, what):
    for digest, name in sums:
        path = os.path.join(folder, name)
        if not os.path.isfile(path) or sha256(open(path, "rb").read()).hexdigest() != digest:
            refuse("%s/%s does not match its SHA256SUMS%s" % (what, name, ": run make dist again" if what == "dist" else ""))


def version_of(sums):
    """The release a list of sums is of, from its source tarball's name."""
    return next((match[1] for _, name in sums for match in [re.fullmatch(r"quorvast-([\d.]+)\.tar\.gz", name)]
                 if match), None)


def checked_release(dist):
    """The release folder's SHA256SUMS as (sum, name) pairs, once every file
    it lists is there with that sum and it is this version's."""
    if not os.path.isfile(os.path.join(dist, "SHA256SUMS")):
        refuse("there is no release folder (dist/SHA256SUMS): run make dist first")
    sums = read_sums(os.path.join(dist, "SHA256SUMS"))
    check_sums(dist, sums, "dist")
    if version_of(sums) != VERSION:
        refuse("dist/ holds another release than %s: run make dist again" % VERSION)
    return sums


def earlier_releases(previous):
    """{version: (folder of its SHA256SUMS, its sums)} of every release but
    this one that the site as last published holds, each file checked."""
    if not previous:
        print("make site: no PREVIOUS_SITE, so a first release's site, with only %s's files" % VERSION, file=sys.stderr)
        return {}
    download = os.path.join(previous, "download")
    if not os.path.isdir(download):
        refuse("PREVIOUS_SITE=%s holds no download/ folder: name the site as last published" % previous)
    releases = {}
    for path in [os.path.join(download, "SHA256SUMS")] + sorted(glob.glob(os.path.join(download, "*", "SHA256SUMS"))):
        sums = read_sums(path) if os.path.isfile(path) else []
        if sums and version_of(sums) not in (None, VERSION):
            check_sums(download, sums, "PREVIOUS_SITE/download")
            releases[version_of(sums)] = (os.path.dirname(path), sums)
    return dict(sorted(releases.items(), key=lambda item: [int(part) for part in item[0].split(".")], reverse=True))


def run(*command, cwd=None, stdin=None):
    """What `command` prints; its own reason, in one line, when it fails."""
    done = subprocess.run(command, capture_output=True, text=True, cwd=cwd, input=stdin)
    if done.returncode:
        reason = (done.stderr.strip().splitlines() or ["exit status %d" % done.returncode])[-1]
        refuse("%s failed: %s" % (command[0], reason))
    return done.stdout


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


TEMPLATES = jinja2.Environment(loader=jinja2.FileSystemLoader(os.path.join(os.path.dirname(__file__), "site")),
                               autoescape=True, trim_blocks=True, lstrip_blocks=True, keep_trailing_newline=True)


def downloads(dist, sums, earlier):
    """The download page: this release's files, their sums, and every
    earlier release's files."""
    signed = os.path.exists(os.path.join(dist, "SHA256SUMS.asc")) and os.path.exists(os.path.join(dist, KEY))
    files = [{"name": name, "platform": kind_of(name)[1], "what": kind_of(name)[2],
              "size": format(os.path.getsize(os.path.join(dist, name)), ",")}
             for _, name in sorted(sums, key=lambda pair: (kind_of(pair[1])[0], pair[1]))]
    history = [{"version": version, "signed": os.path.exists(os.path.join(folder, "SHA256SUMS.asc")),
                "files": sorted((name for _, name in release), key=lambda name: (kind_of(name)[0], name))}
               for version, (folder, release) in earlier.items()]
    return TEMPLATES.get_template("download.html").render(
        version=VERSION, key=KEY, platforms=PLATFORMS, fingerprint=grouped(fingerprint(os.path.join(dist, KEY))) if signed else "",
        files=files, sums=open(os.path.join(dist, "SHA256SUMS")).read(), earlier=history)



def release_time():
    """The release's own time: the source tarball's, which is its commit's."""
    with tarfile.open("dist/quorvast-%s.tar.gz" % VERSION) as source:
        return source.next().mtime


def apt_repository(site, debs):
    """apt/: the Debian packages `debs` (this release's and every earlier
    one's, all in download/) with their lists for each architecture, Release
    with the release's date, signed as InRelease and Release.gpg with
    GPG_KEY; and quorvast.sources, the source file for
    /etc/apt/sources.list.d/. False, and nothing, without GPG_KEY, which a
    signed release folder refuses: its site would quietly lose apt."""
    key = os.environ.get("GPG_KEY")
    if not key and os.path.exists(os.path.join("dist", KEY)):
        refuse("dist/ is signed but GPG_KEY is not set: give the key that signed it, so that the apt repository is signed too")
    if not key:
        print("make site: no GPG_KEY, so no apt repository (an unsigned one is never published)", file=sys.stderr)
        return False
    if fingerprint(key=key) != fingerprint(os.path.join("dist", KEY)):
        refuse("GPG_KEY is not the key the release folder publishes (dist/%s)" % KEY)
    apt = os.path.join(site, "apt")
    os.makedirs(os.path.join(apt, "pool", "main"))
    for name in sorted(debs):
        shutil.copyfile(os.path.join(site, "download", name), os.path.join(apt, "pool", "main", name))
    stable = os.path.join(apt, "dists", "stable")
    for architecture in ARCHITECTURES:
        folder = os.path.join(stable, "main", "binary-" + architecture)
        os.makedirs(folder)
        packages = run("apt-ftparchive", "--arch", architecture, "packages", "pool", cwd=apt)
        with open(os.path.join(folder, "Packages"), "w") as out:
            out.write(packages)
        run("gzip", "-9nk", os.path.join(folder, "Packages"))
    fields = {"Origin": "Quorvast", "Label": "Quorvast", "Suite": "stable", "Codename": "stable",
              "Architectures": " ".join(ARCHITECTURES), "Components": "main",
              "Description": "Quorvast, asteroid size estimates", "Date": formatdate(release_time(), usegmt=True)}
    options = [word for field, value in fields.items() for word in ("-o", "APT::FTPArchive::Release::%s=%s" % (field, value))]
    release = run("apt-ftparchive", *options, "release", ".", cwd=stable)
    with open(os.path.join(stable, "Release"), "w") as out:
        out.write(release)
    sign = ("gpg", "--batch", "--yes", "--local-user", key, "--digest-algo", "SHA512")
    run(*sign, "--clearsign", "--output", "InRelease", "Release", cwd=stable)
    run(*sign, "--armor", "--detach-sign", "--output", "Release.gpg", "Release", cwd=stable)
    with open(os.path.join(apt, "quorvast.sources"), "w") as out:
        out.write("Types: deb\nURIs: %sapt/\nSuites: stable\nComponents: main\nSigned-By: /etc/apt/keyrings/quorvast.asc\n"
                  % FACTS["homepage"])
    return True


def winget_manifests(site, previous):
    """winget/VERSION/: the version, installer and default-locale manifests
    for the release's .msi, as the community repository takes them; and
    every earlier release's, as the site last published them."""
    for folder in sorted(glob.glob(os.path.join(previous or "", "winget", "*"))) if previous else []:
        if os.path.basename(folder) != VERSION:
            shutil.copytree(folder, os.path.join(site, "winget", os.path.basename(folder)))
    msi = "quorvast-%s-windows-x86_64.msi" % VERSION
    properties = dict(line.split("\t", 1) for line in run("msiinfo", "export", "dist/" + msi, "Property").splitlines()
                      if "\t" in line)
    head = "PackageIdentifier: Quorvast.Quorvast\nPackageVersion: %s\n" % VERSION
    tail = "ManifestType: %s\nManifestVersion: 1.10.0\n"
    manifests = {
        "Quorvast.Quorvast.yaml": head + "DefaultLocale: en-US\n" + tail % "version",
        "Quorvast.Quorvast.installer.yaml": head + (
            "InstallerType: wix\nScope: machine\nUpgradeBehavior: install\nProductCode: '%s'\n"
            "AppsAndFeaturesEntries:\n- UpgradeCode: '%s'\nInstallers:\n- Architecture: x64\n"
            "  InstallerUrl: %sdownload/%s\n  InstallerSha256: %s\n") % (
            properties["ProductCode"], properties["UpgradeCode"], FACTS["homepage"], msi,
            sha256(open("dist/" + msi, "rb").read()).hexdigest().upper()) + tail % "installer",
        "Quorvast.Quorvast.locale.en-US.yaml": head + (
            "PackageLocale: en-US\nPublisher: The Quorvast authors\nPublisherUrl: {home}\n"
            "PublisherSupportUrl: {bugs}\nPackageName: Quorvast\nPackageUrl: {home}\nLicense: MIT\n"
            "LicenseUrl: {home}LICENSE.txt\nShortDescription: Estimates an asteroid's diameter from its absolute "
            "magnitude H.\nMoniker: quorvast\nTags:\n- astronomy\n- asteroid\n").format(
            home=FACTS["homepage"], bugs=FACTS["bugs"]) + tail % "defaultLocale"}
    folder = os.path.join(site, "winget", VERSION)
    os.makedirs(folder)
    for name, text in manifests.items():
        with open(os.path.join(folder, name), "w") as out:
            out.write(text)


def session():
    """A session as a terminal shows it: the release program's own output with
    what was typed after each prompt."""
    typed = ("Ceres", "3.34", "q")
    output = run("build/release/quorvast", stdin="\n".join(typed) + "\n")
    for prompt, text in zip(("Type name of asteroid: ", "Type H value of asteroid: ",
                             "type q and press enter to exit\n"), typed):
        output = output.replace(prompt, prompt + text + "\n", 1)
    return output[output.index("Type name"):]


def landing():
    return TEMPLATES.get_template("index.html").render(version=VERSION, session=session())


def navigation(current):
    items = "".join('<a href="%s"%s>%s</a>' % (name, ' aria-current="page"' if name == current else "", title)
                    for name, title in PAGES)
    return '<header><nav aria-label="Quorvast">%s<a href="try/">Try it</a></nav></header>\n' % items


def footer():
    return ('<footer><p>Quorvast %s, free software under the MIT License: <a href="LICENSE.txt">the licence</a>, '
            '<a href="changelog.txt">the changelog</a>. <a href="%s">Report a problem</a>.</p></footer>'
            % (VERSION, html.escape(FACTS["bugs"])))


def write(site, name, title, content):
    description = {"index.html": "Quorvast estimates an asteroid's diameter from its absolute magnitude H: "
                                 "try it in the browser, or download it for Windows, Linux and Raspberry Pi.",
                   "download.html": "Every Quorvast %s release file with its size and SHA-256 sum." % VERSION}
    text = page(title if name == "index.html" else "%s: Quorvast" % title, content + footer(), "site.css",
                description.get(name, "Quorvast %s: %s." % (VERSION, title)), navigation(name))
    with open(os.path.join(site, name), "w", encoding="utf-8") as out:
        out.write(text)


def markdown_file(path):
    return body(open(path, encoding="utf-8").read(), LINKS)


def publish(site, dist, sums, earlier, previous):
    """The whole site into the empty folder `site`."""
    download = os.path.join(site, "download")
    shutil.copytree(dist, download)
    for version, (folder, release) in earlier.items():
        for _, name in release:
            shutil.copyfile(os.path.join(previous, "download", name), os.path.join(download, name))
        os.makedirs(os.path.join(download, version))
        for name in ("SHA256SUMS", "SHA256SUMS.asc"):
            if os.path.exists(os.path.join(folder, name)):
                shutil.copyfile(os.path.join(folder, name), os.path.join(download, version, name))
    os.makedirs(os.path.join(download, VERSION))  # this release's sums, where the next site looks for them
    for name in ("SHA256SUMS", "SHA256SUMS.asc"):
        if os.path.exists(os.path.join(dist, name)):
            shutil.copyfile(os.path.join(dist, name), os.path.join(download, VERSION, name))
    with zipfile.ZipFile("dist/quorvast-%s-web.zip" % VERSION) as page:  # the release's page, as shipped
        page.extractall(site)
    os.rename(os.path.join(site, "quorvast-%s-web" % VERSION), os.path.join(site, "try"))
    for source, target in (("packaging/site.css", "site.css"), ("doc/diameters.svg", "diameters.svg"),
                           ("doc/diameters.svg", "doc/diameters.svg"), ("LICENSE", "LICENSE.txt"),
                           ("build/release/changelog", "changelog.txt"), ("resources/favicon.ico", "favicon.ico"),
                           ("resources/quorvast-32.png", "resources/quorvast-32.png")):
        os.makedirs(os.path.dirname(os.path.join(site, target)), exist_ok=True)
        shutil.copyfile(source, os.path.join(site, target))
    debs = [name for _, release in [(None, sums)] + list(earlier.values()) for _, name in release if name.endswith(".deb")]
    apt = apt_repository(site, debs)
    winget_manifests(site, previous)
    contents = {"index.html": landing(), "download.html": downloads(dist, sums, earlier),
                "install.html": TEMPLATES.get_template("install.html").render(version=VERSION, apt=apt,
                                                                              home=FACTS["homepage"]),
                "manual.html": run("mandoc", "-Thtml", "-Ofragment", "build/release/quorvast.1"),
                "readme.html": markdown_file("build/release/README.md"),
                "development.html": markdown_file("doc/development.md")}
    for name, title in PAGES:
        write(site, name, title, contents[name])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("site", help="the folder to build the site in (replaced once it is whole)")
    parser.add_argument("--previous", help="the site as last published: its earlier releases stay")
    options = parser.parse_args()
    site = os.path.abspath(options.site)
    os.makedirs(os.path.dirname(site), exist_ok=True)
    fresh = tempfile.mkdtemp(prefix=".site-", dir=os.path.dirname(site))
    try:
        sums = checked_release("dist")
        earlier = earlier_releases(options.previous)
        publish(fresh, "dist", sums, earlier, options.previous)
    except (Refusal, OSError) as error:
        shutil.rmtree(fresh, ignore_errors=True)
        sys.exit("make site: %s" % (error if isinstance(error, Refusal) else "%s: %s" % (error.strerror, error.filename)))
    old = fresh + ".old"
    if os.path.exists(site):
        os.rename(site, old)
    os.rename(fresh, site)
    shutil.rmtree(old, ignore_errors=True)


if __name__ == "__main__":
    main()
