#!/usr/bin/python3
"""Builds Quorvast's web site: one folder of static files for any web host.

It holds a landing page (what the program does, the picture, a session the
release program itself printed, a link to try it), the downloads (every
file of the release folder with its platform, size and SHA-256 as
SHA256SUMS has it, which to take, how to check one), install and remove per
platform, the manual (the man page through mandoc -Thtml), the README and
the development guide as HTML, the licence and the changelog as text, and
the web page itself under try/.

The same inputs give the same bytes: nothing depends on the time, the
machine or the order a folder lists its files in.

usage: make_site.py SITE_DIR   (from the top of the tree, after make dist;
make site runs it)
"""
import html
import os
import re
import shutil
import subprocess
import sys

from markdown_page import body, page

VERSION = re.search(r"^project\(quorvast VERSION (\S+)", open("CMakeLists.txt").read(), re.M)[1]
IDENTITY = dict(re.findall(r"^([a-z]+) = (.*)$", open("identity.conf").read(), re.M))
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


def downloads(dist):
    sums = [line.split("  ", 1) for line in open(os.path.join(dist, "SHA256SUMS")).read().splitlines()]
    rows = "".join('<tr><td><a href="download/%s">%s</a></td><td>%s</td><td>%s</td><td>%s bytes</td>'
                   "<td><code>%s</code></td></tr>\n"
                   % (name, name, *kind_of(name)[1:], format(os.path.getsize(os.path.join(dist, name)), ","), digest)
                   for digest, name in sorted(sums, key=lambda pair: (kind_of(pair[1])[0], pair[1])))
    signed = os.path.exists(os.path.join(dist, "SHA256SUMS.asc"))
    check = ("<p>The release is signed: <a href=\"download/SHA256SUMS.asc\">SHA256SUMS.asc</a>. With the "
             "publisher's public key imported, <code>gpg --verify SHA256SUMS.asc SHA256SUMS</code> checks the list, "
             "and a signed <code>quorvast.exe</code> or <code>.msi</code> shows its publisher under Properties, "
             "Digital Signatures.</p>" if signed else "")
    return ("<h1>Download Quorvast %s</h1>\n<p>Take the file for what you have; the Linux programs are static and "
            "need no libraries. The first Raspberry Pi, the Pi Zero (ARMv6) and PCs without SSE2 are not served; "
            "the source builds anywhere else with a C++17 compiler and CMake.</p>\n"
            '<div class="wide" role="region" aria-label="Release files" tabindex="0"><table>\n<thead><tr><th scope="col">File</th><th scope="col">For</th>'
            '<th scope="col">What it is</th><th scope="col">Size</th><th scope="col">SHA-256</th></tr></thead>\n'
            "<tbody>\n%s</tbody></table></div>\n"
            "<h2>Check a download</h2>\n<p>Put <a href=\"download/SHA256SUMS\">SHA256SUMS</a> beside the files and "
            "run <code>sha256sum -c --ignore-missing SHA256SUMS</code>: it names each file it found with "
            "<code>OK</code>. On Windows, <code>certutil -hashfile FILE SHA256</code> in a Command Prompt prints the "
            "sum to compare with the table.</p>\n%s"
            "<p>How to install each file: <a href=\"install.html\">Install</a>.</p>\n" % (VERSION, rows, check))


INSTALL = """<h1>Install and remove</h1>
<h2>Windows</h2>
<p>Open <code>quorvast-{v}-windows-x86_64.msi</code>. It installs under Program Files\\Quorvast and adds
Quorvast to the Start menu; remove it under Settings, Apps. A newer release installs over an older one.
Without installing: unpack <code>quorvast-{v}-windows-x86_64.zip</code> and double-click
<code>quorvast.exe</code>, or run it in a Command Prompt.</p>
<h2>Debian, Ubuntu and Raspberry Pi OS</h2>
<p>Take the <code>.deb</code> for the machine (<code>dpkg --print-architecture</code> names it) and run
<code>sudo apt install ./quorvast_{v}_amd64.deb</code> in its folder; then <code>quorvast</code> runs it and
<code>man quorvast</code> shows the manual. Remove it with <code>sudo apt remove quorvast</code>.</p>
<h2>Other Linux</h2>
<p>Unpack <code>quorvast-{v}-linux-ARCH.tar.gz</code> (<code>uname -m</code> names ARCH) and run
<code>./quorvast</code> in its folder, or copy <code>quorvast</code> to a folder on your PATH and
<code>quorvast.1</code> to a man page folder. Remove it by deleting those files.</p>
<h2>From the source</h2>
<p>On Debian 12 or 13, in the unpacked <code>quorvast-{v}.tar.gz</code> (or a clone):</p>
<pre>make run     # builds the program and starts it
make test    # builds and runs the tests</pre>
<p><code>make install PREFIX=$HOME/.local</code> installs the program, the man page and the docs;
<code>make uninstall PREFIX=$HOME/.local</code> removes them again.</p>
<h2>The web page</h2>
<p>Unpack <code>quorvast-{v}-web.zip</code> on any web server, or <a href="try/">try it here</a>; once visited,
it works offline and can be installed as an app.</p>
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
            '0.15 and 0.25, and six asteroids a spacecraft measured as points near them" width="640" height="480">\n'
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
            % (VERSION, html.escape(IDENTITY["bugs"])))


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
    shutil.rmtree(site, ignore_errors=True)
    shutil.copytree("build/web", os.path.join(site, "try"))
    shutil.copytree("dist", os.path.join(site, "download"))
    for source, target in (("doc/site.css", "site.css"), ("doc/diameters.svg", "diameters.svg"),
                           ("doc/diameters.svg", "doc/diameters.svg"), ("LICENSE", "LICENSE.txt"),
                           ("doc/changelog", "changelog.txt"), ("resources/quorvast.ico", "favicon.ico"),
                           ("resources/quorvast-32.png", "resources/quorvast-32.png")):
        os.makedirs(os.path.dirname(os.path.join(site, target)), exist_ok=True)
        shutil.copyfile(source, os.path.join(site, target))
    manual = subprocess.run(["mandoc", "-Thtml", "-Ofragment", "build/release/quorvast.1"], capture_output=True,
                            text=True, check=True).stdout
    contents = {"index.html": landing(), "download.html": downloads("dist"),
                "install.html": INSTALL.format(v=VERSION), "manual.html": manual,
                "readme.html": markdown_file("build/release/README.md"),
                "development.html": markdown_file("doc/development.md")}
    for name, title in PAGES:
        write(site, name, title, contents[name])


if __name__ == "__main__":
    main()
