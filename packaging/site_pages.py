"""The site's HTML pages: the landing page with a session the release
program itself printed, the downloads (which file for which machine, how
to check one, every file with its size and sum, every earlier release),
install and remove, the manual (mandoc), the README and the development
guide. Each is a Jinja2 template of packaging/site/ (autoescaped) or a
converted document, inside one frame of navigation and footer."""
import html
import os
import re

import jinja2

from markdown_page import POLICY, body, page
from site_tools import FACTS, KEY, PLATFORMS, VERSION, grouped, is_signed, kind_of, run

PAGES = (("index.html", "Quorvast"), ("download.html", "Download"), ("install.html", "Install"),
         ("manual.html", "Manual"), ("readme.html", "README"), ("development.html", "Development"))
# The README's and the guide's links, as the site has them.
LINKS = {"doc/development.md": "development.html", "../README.md": "readme.html", "LICENSE": "LICENSE.txt",
         "README.md": "readme.html", "SECURITY.md": "security.html", "CONTRIBUTING.md": "contributing.html",
         "CHANGELOG.md": "changelog.txt"}
# Pages the README links that the navigation leaves out.
LINKED = (("security.html", "Security"), ("contributing.html", "Contributing"))
TEMPLATES = jinja2.Environment(loader=jinja2.FileSystemLoader(os.path.join(os.path.dirname(__file__), "site")),
                               autoescape=True, trim_blocks=True, lstrip_blocks=True, keep_trailing_newline=True)


def write_pages(site, dist, sums, earlier, apt):
    contents = {"index.html": landing(), "download.html": downloads(dist, sums, earlier),
                "install.html": TEMPLATES.get_template("install.html").render(version=VERSION, apt=apt,
                                                                              home=FACTS["homepage"]),
                "manual.html": run("mandoc", "-Thtml", "-Ofragment", "build/release/quorvast.1"),
                "readme.html": markdown_file("build/release/README.md"),
                "development.html": markdown_file("doc/development.md"),
                "security.html": markdown_file("build/release/SECURITY.md"),
                "contributing.html": markdown_file("build/release/CONTRIBUTING.md")}
    for name, title in PAGES + LINKED:
        write(site, name, title, contents[name])
    write_headers(site)


def merged_policy(*policies):
    """One Content-Security-Policy that allows what each of `policies` does."""
    directives = {}
    for policy in policies:
        for name, *sources in (part.split() for part in policy.split(";") if part.strip()):
            directives.setdefault(name, [])
            directives[name] += [source for source in sources if source not in directives[name]]
    return "; ".join(" ".join([name] + ([s for s in sources if s != "'none'"] or ["'none'"]))
                     for name, sources in directives.items())


def write_headers(site):
    """Header rules for common static hosts (Netlify and Cloudflare Pages
    read _headers, Apache .htaccess): no other site may frame a page, and
    one policy allows what any page of the site needs; each page's own
    policy, in its <meta>, is the stricter one."""
    page_policy = re.search(r'Content-Security-Policy"\s+content="([^"]+)"',
                            open(os.path.join(site, "try", "index.html"), encoding="utf-8").read())[1]
    policy = merged_policy(page_policy, POLICY) + "; frame-ancestors 'none'"
    headers = (("Content-Security-Policy", policy), ("X-Frame-Options", "DENY"), ("X-Content-Type-Options", "nosniff"))
    with open(os.path.join(site, "_headers"), "w", encoding="utf-8") as out:
        out.write("/*\n" + "".join("  %s: %s\n" % header for header in headers))
    with open(os.path.join(site, ".htaccess"), "w", encoding="utf-8") as out:
        out.write("".join('Header always set %s "%s"\n' % header for header in headers))


def downloads(dist, sums, earlier):
    """The download page: this release's files, their sums, and every
    earlier release's files."""
    signed = is_signed(dist)
    files = [{"name": name, "platform": kind_of(name)[1], "what": kind_of(name)[2],
              "size": format(os.path.getsize(os.path.join(dist, name)), ",")}
             for _, name in sorted(sums, key=lambda pair: (kind_of(pair[1])[0], pair[1]))]
    history = [{"version": version, "signed": os.path.exists(os.path.join(folder, "SHA256SUMS.asc")),
                "files": sorted((name for _, name in release), key=lambda name: (kind_of(name)[0], name))}
               for version, (folder, release) in earlier.items()]
    return TEMPLATES.get_template("download.html").render(
        version=VERSION, key=KEY, platforms=PLATFORMS, fingerprint=grouped(FACTS["signing_key"]) if signed else "",
        files=files, sums=open(os.path.join(dist, "SHA256SUMS")).read(), earlier=history)


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
