#!/usr/bin/python3
"""Turns a Markdown document (the README, the development guide) into an HTML
page with cmark-gfm, the CommonMark and GitHub-flavoured renderer the
repository's host uses, so that a file shows the same there and here; its
headings get ids as the host makes them, and its links and images point
where the page's folder has them. The web page's folder and the site both use it.

usage: markdown_page.py [--home URL] INPUT OUTPUT TITLE [STYLESHEET] [FROM=TO ...]
--home puts a link to the project's home page above the document; FROM=TO
sends a link or image from FROM to TO; an empty TO drops an image (and
makes a link plain text).
"""
import base64
import collections
import hashlib
import html
import re
import subprocess
import sys

READABLE = ("body { max-width: 46rem; margin: 0 auto; padding: 0.5rem 1rem; font-family: system-ui, sans-serif; "
            "line-height: 1.5; color: #222; background: #fff; } img { max-width: 100%; height: auto; } "
            "pre { white-space: pre-wrap; overflow-wrap: anywhere; background: #f4f4f4; padding: 0.5rem; } table { border-collapse: collapse; } "
            "th, td { border: 1px solid #bbb; padding: 0.2rem 0.4rem; text-align: left; } a { color: #0645ad; }")


def with_ids(fragment):
    """Headings with ids as the repository's host makes them: the text in
    lower case, without punctuation, spaces as hyphens, a repeated one
    numbered from -1."""
    seen = collections.Counter()

    def anchor(match):
        text = html.unescape(re.sub(r"<[^>]+>", "", match[2])).strip().lower()
        slug = re.sub(r"[^\w\- ]", "", text).replace(" ", "-")
        seen[slug] += 1
        slug += "-%d" % (seen[slug] - 1) if seen[slug] > 1 else ""
        return '<h%s id="%s">%s</h%s>' % (match[1], html.escape(slug), match[2], match[1])
    return re.sub(r"<h([1-6])>(.*?)</h\1>", anchor, fragment)


def body(text, links):
    """The document's HTML, headings with ids for the links within it. Raw
    HTML (the README's pictures) is kept: these are the project's own files."""
    fragment = with_ids(subprocess.run(["cmark-gfm", "--unsafe", "-e", "table", "-e", "autolink", "--to", "html"],
                                       input=text, capture_output=True, text=True, check=True).stdout)

    def point(match):
        attribute, target = match[1], html.unescape(match[2])
        path, hash_, fragment = target.partition("#")
        if path not in links:
            return match[0]
        return '%s="%s"' % (attribute, html.escape(links[path] + hash_ + fragment if links[path] else ""))
    fragment = re.sub(r'(href|src)="([^"]*)"', point, fragment)
    fragment = re.sub(r'<img [^>]*src=""[^>]*>', "", fragment)  # images sent nowhere
    return re.sub(r'<a href="">(.*?)</a>', r"\1", fragment)


# What a converted page may load: its stylesheet or the inline style (by
# its hash), and images from its own site; no script at all. connect-src
# matters to no script of ours: it lets audit tools that fetch from within
# the page (Lighthouse reading robots.txt) reach the page's own site.
POLICY = ("default-src 'none'; style-src 'self' 'sha256-%s'; img-src 'self'; connect-src 'self'; base-uri 'none'; "
          "form-action 'none'" % base64.b64encode(hashlib.sha256(READABLE.encode()).digest()).decode())


def page(title, content, stylesheet=None, description="", top=""):
    """A whole page: `stylesheet` linked, or the plain readable style inline."""
    style = '<link rel="stylesheet" href="%s">' % stylesheet if stylesheet else "<style>%s</style>" % READABLE
    meta = '<meta name="description" content="%s">\n' % html.escape(description) if description else ""
    return ('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
            '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
            '<meta http-equiv="Content-Security-Policy" content="%s">\n'
            "<title>%s</title>\n%s%s\n</head>\n<body>\n%s<main>\n%s\n</main>\n</body>\n</html>\n"
            % (POLICY, html.escape(title), meta, style, top, content))


def main():
    arguments = sys.argv[1:]
    home = arguments[1] if arguments[0] == "--home" else None
    source, output, title, *rest = arguments[2:] if home else arguments
    stylesheet = rest.pop(0) if rest and "=" not in rest[0] else None
    links = dict(pair.split("=", 1) for pair in rest)
    with open(source, encoding="utf-8") as text, open(output, "w", encoding="utf-8") as out:
        top = '<header><a href="%s">Quorvast\'s home page</a></header>\n' % html.escape(home) if home else ""
        out.write(page(title, body(text.read(), links), stylesheet, top=top))


if __name__ == "__main__":
    main()
