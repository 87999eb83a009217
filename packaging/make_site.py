#!/usr/bin/python3
"""Builds Quorvast's web site: one folder of static files for any web host.

It holds the pages (site_pages.py), the downloads of this release and of
every earlier one with their sums under download/VERSION/, the web page
itself under try/ (unpacked from the release's own web zip), the licence
and the changelog as text; with GPG_KEY (the key that signed the release
folder) the signed apt repository (site_apt.py); and the winget
manifests (site_winget.py).

Releases accumulate and a published one never changes: PREVIOUS_SITE, a
copy of the site as last published, is checked as a stranger would check
it before this release joins it (site_history.py), and refused, in one
line naming what is wrong, when it is incomplete or damaged, when this
version is published already with other files or is older than the
newest, or when an unsigned release would follow a signed one. A first
release says so: PREVIOUS_SITE=none.

It publishes the release folder as make dist left it and builds into a
fresh folder, put in place only once the whole site is built and signed:
a failure or an interruption leaves the last site as it was, and no
temporary folder. The same inputs give the same bytes: nothing depends on
the time, the machine or the order a folder lists its files in.

usage: make_site.py SITE_DIR --previous DIR|none   (from the top of the
tree, after make dist; make site runs it, PREVIOUS_SITE=DIR for --previous)
"""
import argparse
import os
import shutil
import signal
import sys
import tempfile
import zipfile

from site_apt import apt_repository
from site_history import checked_release, earlier_releases
from site_pages import write_pages
from site_tools import VERSION, Refusal
from site_winget import winget_manifests

STATIC = (("packaging/site.css", "site.css"), ("doc/diameters.svg", "diameters.svg"),
          ("doc/diameters.svg", "doc/diameters.svg"), ("LICENSE", "LICENSE.txt"),
          ("CHANGELOG.md", "changelog.txt"), ("resources/favicon.ico", "favicon.ico"),
          ("resources/quorvast-32.png", "resources/quorvast-32.png"))


def downloads(site, dist, earlier, previous):
    """download/: the release folder, every earlier release's files, and
    each release's sums under download/VERSION/, where the next site looks."""
    download = os.path.join(site, "download")
    shutil.copytree(dist, download)
    folders = {version: folder for version, (folder, _) in earlier.items()}
    folders[VERSION] = dist
    for version, (_, release) in earlier.items():
        for _, name in release:
            shutil.copyfile(os.path.join(previous, "download", name), os.path.join(download, name))
    for version, folder in folders.items():
        os.makedirs(os.path.join(download, version))
        for name in ("SHA256SUMS", "SHA256SUMS.asc"):
            if os.path.exists(os.path.join(folder, name)):
                shutil.copyfile(os.path.join(folder, name), os.path.join(download, version, name))


def publish(site, dist, sums, earlier, previous):
    """The whole site into the empty folder `site`."""
    downloads(site, dist, earlier, previous)
    with zipfile.ZipFile("dist/quorvast-%s-web.zip" % VERSION) as page:  # the release's page, as shipped
        page.extractall(site)
    os.rename(os.path.join(site, "quorvast-%s-web" % VERSION), os.path.join(site, "try"))
    for source, target in STATIC:
        os.makedirs(os.path.dirname(os.path.join(site, target)), exist_ok=True)
        shutil.copyfile(source, os.path.join(site, target))
    debs = [name for release in [sums] + [release for _, release in earlier.values()]
            for _, name in release if name.endswith(".deb")]
    apt = apt_repository(site, debs)
    winget_manifests(site, previous)
    write_pages(site, dist, sums, earlier, apt)


def interrupted(number, _):
    sys.exit("make site: interrupted (%s); the site is as it was" % signal.Signals(number).name)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("site", help="the folder to build the site in (replaced once it is whole)")
    parser.add_argument("--previous", default="",
                        help="a copy of the site as last published, whose releases stay; none for a first release")
    options = parser.parse_args()
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGINT, interrupted)
    site = os.path.abspath(options.site)
    os.makedirs(os.path.dirname(site), exist_ok=True)
    fresh = tempfile.mkdtemp(prefix=".site-", dir=os.path.dirname(site))
    try:
        sums = checked_release("dist")
        previous = "none" if options.previous == "none" else options.previous and os.path.abspath(options.previous)
        earlier = earlier_releases(previous, "dist", sums)
        publish(fresh, "dist", sums, earlier, None if previous == "none" else previous)
        old = fresh + ".old"
        if os.path.exists(site):
            os.rename(site, old)
        os.rename(fresh, site)
        shutil.rmtree(old, ignore_errors=True)
    except (Refusal, OSError) as error:
        sys.exit("make site: %s" % (error if isinstance(error, Refusal) else "%s: %s" % (error.strerror, error.filename)))
    finally:
        shutil.rmtree(fresh, ignore_errors=True)


if __name__ == "__main__":
    main()
