#!/usr/bin/python3
"""Builds Quorvast's web site: one folder of static files for any web host.

It holds a landing page (what the program does, the picture, a session the
release program itself printed, a link to try it), the downloads (which
file to take, how to check it, every file of the release folder with its
platform and size, the sums as SHA256SUMS has them, the signing key where
the release is signed), install and remove per platform, the manual (the
man page through mandoc -Thtml), the README and the development guide as
HTML, the licence and the changelog as text, and the web page itself under
try/, unpacked from the release's own web zip. With GPG_KEY (the key that
signed the release folder), an apt repository under apt/, signed with it;
without, none, since an unsigned one is never published. And the winget
manifests of the release's .msi under winget/VERSION/.

It publishes the release folder as make dist left it: it refuses, in one
line, when there is none for this version or a file does not match
SHA256SUMS. The same inputs give the same bytes: nothing depends on the
time, the machine or the order a folder lists its files in.

usage: make_site.py SITE_DIR   (from the top of the tree, after make dist;
make site runs it)
"""
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

from markdown_page import body, page

FACTS = dict(line.split("=", 1) for line in open("build/release.env").read().splitlines())
VERSION = FACTS["version"]
KEY = "quorvast-signing-key.asc"
PAGES = (("index.html", "Quorvast"), ("download.html", "Download"), ("install.html", "Install"),
         ("manual.html", "Manual"), ("readme.html", "README"), ("development.html", "Development"))
# The README's and the guide's links, as the site has them.
LINKS = {"doc/development.md": "development.html", "../README.md": "readme.html", "LICENSE": "LICENSE.txt",
         "README.md": "readme.html"}


def kind_of(name):
    """(platform, what the file is) from a release file's name; the rules in
    the order the download page lists the files."""
    rules = ((r"windows-x86_64\.msi$", "Windows, 64-bit", "the installer: most Windows users take this"),
             (r"windows-x86_64\.zip$", "Windows, 64-bit", "quorvast.exe with README.txt and LICENSE.txt, no installer"),
             (r"_amd64\.deb$", "Debian, Ubuntu (PC)", "Debian package, 64-bit PCs"),
             (r"_arm64\.deb$", "Raspberry Pi OS, Debian (arm64)", "Debian package, 64-bit Raspberry Pi and ARM"),
             (r"_armhf\.deb$", "Raspberry Pi OS (armhf)", "Debian package, 32-bit Raspberry Pi 2 and later"),
             (r"_i386\.deb$", "Debian (i386)", "Debian package, 32-bit PCs with SSE2"),
             (r"-linux-(\w+)\.tar\.gz$", "Other Linux (%s)", "static program, man page, README, LICENSE"),
             (r"-web\.zip$", "A web server", "the page, to put on any web server"),
             (r"^quorvast-[\d.]+\.tar\.gz$", "Anything with a C++17 compiler", "the source"))
    for order, (pattern, platform, what) in enumerate(rules):
        match = re.search(pattern, name)
        if match:
            return order, (platform % match[1] if "%s" in platform else platform), what
    return len(rules), "", ""


def refuse(reason):
    sys.exit("make site: %s" % reason)


def checked_release(dist):
    """The release folder's SHA256SUMS as (sum, name) pairs, once every file
    it lists is there with that sum and it is this version's."""
    if not os.path.isfile(os.path.join(dist, "SHA256SUMS")):
        refuse("there is no release folder (dist/SHA256SUMS): run make dist first")
    sums = [line.split("  ", 1) for line in open(os.path.join(dist, "SHA256SUMS")).read().splitlines()]
    for digest, name in sums:
        path = os.path.join(dist, name)
        if not os.path.isfile(path) or sha256(open(path, "rb").read()).hexdigest() != digest:
            refuse("dist/%s does not match dist/SHA256SUMS: run make dist again" % name)
    if "quorvast-%s-web.zip" % VERSION not in [name for _, name in sums]:
        refuse("dist/ holds another release than %s: run make dist again" % VERSION)
    return sums


def run(*command, cwd=None):
    return subprocess.run(command, capture_output=True, text=True, check=True, cwd=cwd).stdout


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


WHICH = """<h1>Download Quorvast {v}</h1>
<table>
<thead><tr><th scope="col">You have</th><th scope="col">Take</th></tr></thead>
<tbody>
<tr><td>Windows, 64-bit</td><td><code>quorvast-{v}-windows-x86_64.msi</code>, the installer; or the
<code>.zip</code> to run it without installing</td></tr>
<tr><td>Debian, Ubuntu, Raspberry Pi OS</td><td>the <code>.deb</code> named for what
<code>dpkg --print-architecture</code> prints: <code>amd64</code>, <code>arm64</code>, <code>armhf</code>
(a Raspberry Pi 2 or later on a 32-bit system) or <code>i386</code></td></tr>
<tr><td>Other Linux</td><td>the <code>.tar.gz</code> for what <code>uname -m</code> prints:
<code>x86_64</code>; <code>aarch64</code>; <code>armv7l</code> or <code>armv8l</code> take <code>linux-armhf</code>;
<code>i686</code>. <code>armv6l</code> (the first Raspberry Pi, the Pi Zero) is not served.</td></tr>
<tr><td>A web server</td><td><code>quorvast-{v}-web.zip</code>, the page</td></tr>
<tr><td>Anything else with a C++17 compiler</td><td><code>quorvast-{v}.tar.gz</code>, the source</td></tr>
</tbody></table>
<p>The Linux programs are static and need no libraries. How to install each file:
<a href="install.html">Install</a>.</p>
"""

SIGNED = """<h2>Check a download</h2>
<p>The release is signed with the OpenPGP key in <a href="download/{key}">{key}</a>, whose fingerprint is
<code class="fingerprint">{fpr}</code>. First check the list of sums against the key, then the file against the
list.</p>
<p>On Linux, with the file, <code>SHA256SUMS</code>, <code>SHA256SUMS.asc</code> and the key in one folder:</p>
<pre>gpg --import {key}
gpg --fingerprint     # the fingerprint above: compare it
gpg --verify SHA256SUMS.asc SHA256SUMS
sha256sum -c --ignore-missing SHA256SUMS</pre>
<p><code>gpg --verify</code> must say "Good signature"; <code>sha256sum</code> names each file it found with
<code>OK</code>.</p>
<p>On Windows, in PowerShell, <code>Get-FileHash quorvast-{v}-windows-x86_64.msi</code> prints the SHA-256 to
compare with the file's line below; right-click <code>quorvast.exe</code> or the <code>.msi</code>, then
Properties, Digital Signatures: it names the publisher. (Gpg4win checks <code>SHA256SUMS.asc</code> as above.)</p>
"""

UNSIGNED = """<h2>Check a download</h2>
<p>This release is not signed. Compare a file's SHA-256 with its line below: on Linux, with
<a href="download/SHA256SUMS">SHA256SUMS</a> beside the file, <code>sha256sum -c --ignore-missing SHA256SUMS</code>
names each file it found with <code>OK</code>; on Windows, in PowerShell, <code>Get-FileHash FILE</code> prints
the sum.</p>
"""


def downloads(dist, sums):
    rows = "".join('<tr><td><a href="download/%s">%s</a></td><td>%s</td><td>%s</td><td>%s bytes</td></tr>\n'
                   % (name, name, *kind_of(name)[1:], format(os.path.getsize(os.path.join(dist, name)), ","))
                   for _, name in sorted(sums, key=lambda pair: (kind_of(pair[1])[0], pair[1])))
    signed = os.path.exists(os.path.join(dist, "SHA256SUMS.asc")) and os.path.exists(os.path.join(dist, KEY))
    check = SIGNED.format(v=VERSION, key=KEY, fpr=grouped(fingerprint(os.path.join(dist, KEY)))) if signed else UNSIGNED
    return (WHICH.format(v=VERSION) + check +
            '<h2>Every file</h2>\n<table class="files">\n<thead><tr><th scope="col">File</th><th scope="col">For</th>'
            '<th scope="col">What it is</th><th scope="col">Size</th></tr></thead>\n<tbody>\n%s</tbody></table>\n'
            '<h2>SHA-256 sums</h2>\n<p>As <a href="download/SHA256SUMS">SHA256SUMS</a> has them%s:</p>\n'
            '<pre id="sums">%s</pre>\n'
            % (rows, ", signed in <a href=\"download/SHA256SUMS.asc\">SHA256SUMS.asc</a>" if signed else "",
               html.escape(open(os.path.join(dist, "SHA256SUMS")).read())))


ARCHITECTURES = ("amd64", "arm64", "armhf", "i386")


def release_time():
    """The release's own time: the source tarball's, which is its commit's."""
    with tarfile.open("dist/quorvast-%s.tar.gz" % VERSION) as source:
        return source.next().mtime


def apt_repository(site, sums):
    """apt/: the release's Debian packages with their lists for each
    architecture, Release with the release's date, signed as InRelease and
    Release.gpg with GPG_KEY; and quorvast.sources, the source file for
    /etc/apt/sources.list.d/. False, and nothing, without GPG_KEY."""
    key = os.environ.get("GPG_KEY")
    if not key:
        print("make site: no GPG_KEY, so no apt repository (an unsigned one is never published)", file=sys.stderr)
        return False
    if fingerprint(key=key) != fingerprint(os.path.join("dist", KEY)):
        refuse("GPG_KEY is not the key the release folder publishes (dist/%s)" % KEY)
    apt = os.path.join(site, "apt")
    os.makedirs(os.path.join(apt, "pool", "main"))
    for name in sorted(name for _, name in sums if name.endswith(".deb")):
        shutil.copyfile(os.path.join("dist", name), os.path.join(apt, "pool", "main", name))
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


def winget_manifests(site):
    """winget/VERSION/: the version, installer and default-locale manifests
    for the release's .msi, as the community repository takes them."""
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


APT = """<p>Or from Quorvast's apt repository, which <code>apt upgrade</code> then keeps up to date: save the
signing key and the source file, then install.</p>
<pre>sudo curl -fsSL -o /etc/apt/keyrings/quorvast.asc {home}download/quorvast-signing-key.asc
sudo curl -fsSL -o /etc/apt/sources.list.d/quorvast.sources {home}apt/quorvast.sources
sudo apt update
sudo apt install quorvast</pre>
<p><code>gpg --show-keys /etc/apt/keyrings/quorvast.asc</code> shows the key's fingerprint, to compare with the
<a href="download.html">download page</a>'s. To remove Quorvast and the repository:
<code>sudo apt remove quorvast</code>, then delete those two files.</p>
"""

INSTALL = """<h1>Install and remove</h1>
<h2>Windows</h2>
<p>Open <code>quorvast-{v}-windows-x86_64.msi</code>. It installs for every user of the PC under Program
Files\\Quorvast, so Windows asks for an administrator's consent, and adds Quorvast to the Start menu; remove it
under Settings, Apps. A newer release installs over an older one. Without installing, and without administrator
rights: unpack <code>quorvast-{v}-windows-x86_64.zip</code> and double-click <code>quorvast.exe</code>, or run it
in a Command Prompt. With winget, once Quorvast is in its community repository:
<code>winget install Quorvast.Quorvast</code>.</p>
<p>A file Windows has not seen often may first show "Windows protected your PC" (SmartScreen): check the file as
the <a href="download.html">download page</a> says, then choose More info, Run anyway. An unsigned file shows
"Unknown publisher"; a signed one names its publisher.</p>
<h2>Debian, Ubuntu and Raspberry Pi OS</h2>
<p>Take the <code>.deb</code> for the machine (<code>dpkg --print-architecture</code> names it) and run
<code>sudo apt install ./quorvast_{v}_amd64.deb</code> in its folder; then <code>quorvast</code> runs it and
<code>man quorvast</code> shows the manual. Remove it with <code>sudo apt remove quorvast</code>.</p>
{apt}<h2>Other Linux</h2>
<p>Unpack <code>quorvast-{v}-linux-ARCH.tar.gz</code> for the machine (the <a href="download.html">download
page</a> says which ARCH each <code>uname -m</code> takes) and run <code>./quorvast</code> in its folder, or copy
<code>quorvast</code> to a folder on your PATH and <code>quorvast.1</code> to a man page folder. Remove it by
deleting those files.</p>
<h2>From the source</h2>
<p>On Debian 12 or 13, in the unpacked <code>quorvast-{v}.tar.gz</code> (or a clone):</p>
<pre>make run     # builds the program and starts it
make test    # builds and runs the tests</pre>
<p><code>make install PREFIX=$HOME/.local</code> installs the program, the man page and the docs;
<code>make uninstall PREFIX=$HOME/.local</code> removes them again.</p>
<h2>The web page</h2>
<p>Unpack <code>quorvast-{v}-web.zip</code> on any web server, or <a href="try/">try it here</a>. Served over
https (or from localhost), a visited page works offline and can be installed as an app; over plain http it runs,
but browsers allow neither. To put a new release on the server without a visitor meeting half of it, upload
every other file first and <code>service-worker.js</code> last, or upload the folder under a new name and swap
it in with one rename.</p>
<h2>The next release</h2>
<ul>
<li>The web page: by itself. A visit finds the new release and says so; the next visit runs it.</li>
<li>From the apt repository: <code>sudo apt update &amp;&amp; sudo apt upgrade</code>.</li>
<li>From winget: <code>winget upgrade Quorvast.Quorvast</code>.</li>
<li>A <code>.deb</code> or the <code>.msi</code> installed by hand: the next one, installed the same way, replaces
it.</li>
<li>The <code>.zip</code> and the Linux tarballs: by hand, from the <a href="download.html">download page</a>.</li>
</ul>
"""


def session():
    """A session as a terminal shows it: the release program's own output with
    what was typed after each prompt."""
    typed = ("Ceres", "3.34", "q")
    output = subprocess.run(["build/release/quorvast"], input="\n".join(typed) + "\n", capture_output=True,
                            text=True, check=True).stdout
    for prompt, text in zip(("Type name of asteroid: ", "Type H value of asteroid: ",
                             "type q and press enter to exit\n"), typed):
        output = output.replace(prompt, prompt + text + "\n", 1)
    return output[output.index("Type name"):]


def landing():
    return ("<h1>Quorvast: how big is that asteroid?</h1>\n<p>Quorvast estimates an asteroid's diameter from its "
            "absolute magnitude H: you type a name and H, and it prints the largest, the smallest and the best "
            "estimate in kilometres, miles and metres. It runs in a terminal on Linux and Windows, and in a web "
            'page.</p>\n<p class="actions"><a href="try/">Try it in your browser</a> '
            '<a href="download.html">Download Quorvast %s</a></p>\n'
            '<img src="diameters.svg" alt="Diameter against H on a log scale: three parallel lines for albedo 0.02, '
            '0.15 and 0.25, and six asteroids a spacecraft measured as points near them" width="640" height="400">\n'
            "<h2>A session</h2>\n<p>Ceres, whose H is 3.34; the largest body in the asteroid belt measures 939 km "
            "across, darker than the best estimate assumes (see <a href=\"readme.html#the-science\">the "
            "science</a>).</p>\n<pre>%s</pre>\n" % (VERSION, html.escape(session())))


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


def main():
    site = sys.argv[1]
    sums = checked_release("dist")
    shutil.rmtree(site, ignore_errors=True)
    shutil.copytree("dist", os.path.join(site, "download"))
    with zipfile.ZipFile("dist/quorvast-%s-web.zip" % VERSION) as page:  # the release's page, as shipped
        page.extractall(site)
    os.rename(os.path.join(site, "quorvast-%s-web" % VERSION), os.path.join(site, "try"))
    for source, target in (("packaging/site.css", "site.css"), ("doc/diameters.svg", "diameters.svg"),
                           ("doc/diameters.svg", "doc/diameters.svg"), ("LICENSE", "LICENSE.txt"),
                           ("doc/changelog", "changelog.txt"), ("resources/favicon.ico", "favicon.ico"),
                           ("resources/quorvast-32.png", "resources/quorvast-32.png")):
        os.makedirs(os.path.dirname(os.path.join(site, target)), exist_ok=True)
        shutil.copyfile(source, os.path.join(site, target))
    apt = apt_repository(site, sums)
    winget_manifests(site)
    manual = subprocess.run(["mandoc", "-Thtml", "-Ofragment", "build/release/quorvast.1"], capture_output=True,
                            text=True, check=True).stdout
    contents = {"index.html": landing(), "download.html": downloads("dist", sums),
                "install.html": INSTALL.format(v=VERSION, apt=APT.format(home=FACTS["homepage"]) if apt else ""),
                "manual.html": manual,
                "readme.html": markdown_file("build/release/README.md"),
                "development.html": markdown_file("doc/development.md")}
    for name, title in PAGES:
        write(site, name, title, contents[name])


if __name__ == "__main__":
    main()
