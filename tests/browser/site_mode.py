"""The web site (make site) as a visitor on a phone finds it: every link and
image leads inside it, every page converts whole, links home and has a
Content-Security-Policy, the hosts' header rules forbid framing, the
download page lists the release as SHA256SUMS has it, and the winget
manifests follow their schemas and name the .msi."""
import glob
import json
import os
import re
import subprocess
import sys
from hashlib import sha256

HERE = os.path.dirname(os.path.abspath(__file__))
# Unconverted Markdown: a heading, a table row, a list item, a code fence,
# bold or a link, outside code.
UNCONVERTED = ("const main = (document.querySelector('main') || document.body).cloneNode(true);"
               "main.querySelectorAll('pre, code').forEach(e => e.remove()); return main.textContent.split('\\n')")


def page_findings(b, path, homes):
    """One page of the site: the addresses it links, its ids, and what is wrong with it."""
    b.driver.get(b.url + path)
    b.axe(path)
    targets = b.js("return [...document.querySelectorAll('a[href], img[src], link[href]')].map(e => e.href || e.src)")
    ids = set(b.js("return [...document.querySelectorAll('[id]')].map(e => e.id)"))
    found = ["%s shows Markdown left unconverted: %s" % (path, line.strip()) for line in b.js(UNCONVERTED)
             if re.match(r"\s*(#{2,} |\|.*\|\s*$|[-*] \S|```)", line) or re.search(r"\*\*\S|\]\(", line)]
    found += [] if set(homes) & set(targets) else ["%s links no home page" % path]
    found += [] if b.js("return !!document.querySelector('meta[http-equiv=Content-Security-Policy]')") else [
        "%s has no Content-Security-Policy" % path]
    found += ["%s scrolls sideways at 360 px" % path] if b.js(
        "return document.documentElement.scrollWidth > innerWidth") else []
    return [target[len(b.url):] for target in targets if target.startswith(b.url)], ids, found


def crawl(b, homes):
    """Every page reached from the landing page, and every #fragment linked
    naming an id on its page."""
    found, seen, queue, ids, fragments = [], set(), ["index.html"], {}, set()
    while queue:
        path = queue.pop()
        path = path + "index.html" if path.endswith("/") or not path else path
        if path in seen:
            continue
        seen.add(path)
        if not os.path.isfile(os.path.join(b.page_dir, path)):
            found.append("a link or image to nothing: " + path)
        elif path.endswith(".html"):
            targets, ids[path], problems = page_findings(b, path, homes)
            found += problems
            queue += [target.split("#")[0] for target in targets]
            fragments |= {(path, *target.split("#", 1)) for target in targets if "#" in target}
    return found + ["%s links %s#%s, which names no id there" % (source, target or source, fragment)
                    for source, target, fragment in sorted(fragments)
                    if fragment not in ids.get(re.sub(r"^$|/$", r"\g<0>index.html", target), set())]


def winget_problems(site):
    """The release's winget manifests against their published schemas, and
    against the .msi on the download page: its SHA-256 and product code."""
    import jsonschema
    import yaml
    schemas = os.path.join(HERE, "schemas", "winget-manifest-1.10.0")
    msi = glob.glob(os.path.join(site, "download", "*.msi"))[0]
    properties = subprocess.run(["msiinfo", "export", msi, "Property"], capture_output=True, text=True).stdout
    found, manifests = [], glob.glob(os.path.join(site, "winget", "*", "*.yaml"))
    for path in manifests:
        manifest = yaml.safe_load(open(path))
        schema = json.load(open(os.path.join(schemas, "manifest.%s.1.10.0.json" % manifest["ManifestType"])))
        found += ["%s: %s" % (path, error.message) for error in jsonschema.validators.validator_for(schema)(
            schema).iter_errors(manifest)]
        for installer in manifest.get("Installers", []):
            if installer["InstallerSha256"].lower() != sha256(open(msi, "rb").read()).hexdigest() or \
                    "ProductCode\t%s\n" % manifest["ProductCode"] not in properties:
                found.append("%s: not the .msi's sum or product code" % path)
    return found if len(manifests) == 3 else found + ["%d winget manifests, not 3" % len(manifests)]


def site(b):
    """The site in PAGE_DIR, crawled at 360 px from its landing page."""
    sys.path.insert(0, os.path.join(HERE, "..", "..", "packaging"))
    from release_env import release_facts
    facts = release_facts(os.path.join(b.page_dir, "..", "release.env"))
    homes = [b.url, b.url + "index.html", facts["homepage"]]  # the site's root, or the address the release names
    b.cdp("Emulation.setDeviceMetricsOverride", width=360, height=800, deviceScaleFactor=1, mobile=True)
    found = crawl(b, homes)
    b.driver.get(b.url + "download.html")
    listed = b.js("return [...document.querySelectorAll('tbody tr a')].map(a => a.textContent)")
    sums = open(os.path.join(b.page_dir, "download", "SHA256SUMS")).read()
    if sorted(listed) != sorted(line.split("  ")[1] for line in sums.splitlines()) or \
            b.js("return document.getElementById('sums').textContent") != sums:
        found.append("the download page's files and sums are not those of SHA256SUMS")
    found += ["%s does not forbid framing" % name for name in ("_headers", ".htaccess")
              if "frame-ancestors 'none'" not in open(os.path.join(b.page_dir, name)).read()]
    return found + winget_problems(b.page_dir) + b.problems
