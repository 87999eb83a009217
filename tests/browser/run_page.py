#!/usr/bin/python3
"""Runs the web page like a process, so that the transcript harness can use
it as a command: the input bytes come on standard input and are typed into
the page line by line, as a user would, in Debian's chromium (headless,
through chromium-driver and Debian's python3-selenium); the program's own
output (not the echo of what was typed) goes to standard output, its message
to standard error, and the page's exit status is this process's. The page
is served from PAGE_DIR on 127.0.0.1. Console errors in the page (a
Content-Security-Policy violation, say) and network requests after the
first prompt make the run fail with status 3, as do the checks the options
add; at the end the input and its buttons must be disabled, Run again focused.

usage: run_page.py PAGE_DIR [OPTION...] < input
       run_page.py PAGE_DIR --break KIND   (prints the page's failure sentence)
       run_page.py --typeable < input   (status 0 if a person can type it)
--screenshot FILE  the whole page at the end
--measure          a second, uncached load, and the first prompt's time
--slow             a slow network (20 kB/s, 400 ms); the lines are sent before
                   the program has started, and must still reach it; the
                   pane must then read as when the session is typed again
--offline          after a first visit, an installability check, the server
                   stopped, and the session in a reload from the page's cache
--axe FILE         axe-core (FILE: axe.min.js) at every prompt and at the end
--widths DIR       at the end, at 320 to 1280 CSS px (500 px a desktop window
                   with its scrollbar, the others phones): screenshots in DIR, no
                   line wrapped, 56 columns without scrolling from 360 px up,
                   44 px touch targets; then Run again brings the input back
--break KIND       a page that cannot load its program: no-wasm, bad-wasm,
                   no-network, no-webassembly, file (opened from disk)
--paste            each whole line of the input pasted at once into the field
--end-button       the input ended with the End input button: one tap must
                   not end it, the second must
--no-javascript    no session: the page without JavaScript says it needs it,
                   shows no loading notice, and its controls are disabled
--site             no session: PAGE_DIR is the web site (make site); a crawl
                   from its landing page at 360 px finds every link and image
                   inside it, every page linking home and none scrolling
                   sideways, axe (with --axe) finds nothing on any page, and
                   the download page lists every release file once and the
                   sums as SHA256SUMS has them; the winget manifests follow
                   their schemas (schemas/ beside it) and the .msi
--kept FAILURE     after a first visit (answers marked no-cache), the server
                   fails, and the session runs from the kept release:
                   502 (every answer) or 404-wasm (the program's file)
--release DIR      no session: this page, its files 30 days old, visited
                   until its worker keeps it, then the page in DIR (a newer
                   release) on the server and two loads; neither may mix the
                   two (the version shown is the banner's), the second must
                   run the newer one; without caching headers, then with
                   max-age=600; a tab held while another updates; a damaged
                   newer release; two copies under /a/ and /b/, offline
--long-lines       no session: 200,000 characters at the name prompt, 2,000
                   at the exit prompt, each answered within 1 s
"""
import argparse
import base64
from hashlib import sha256
import http.server
import os
import re
import shutil
import sys
import tempfile
import threading
import time

INPUT = sys.stdin.buffer.read()


def untypeable(data):
    """Why a person cannot type `data` into a text field, or None: bytes that
    are not UTF-8, and control bytes other than the newline that Enter sends
    (NUL, tab, CR, vertical tab, form feed, DEL...)."""
    try:
        data.decode("utf-8")
    except UnicodeDecodeError:
        return "bytes that are not UTF-8"
    control = next((byte for byte in data if (byte < 0x20 and byte != 0x0A) or byte == 0x7F), None)
    return None if control is None else "the control byte 0x%02x" % control


def checked_arguments(arguments):
    """The arguments as given, once argparse has refused any option it does
    not know, an abbreviation, or a value out of its choices: a misspelt
    option must fail the run, not quietly run the default one."""
    parser = argparse.ArgumentParser(prog="run_page.py", allow_abbrev=False,
                                     description=__doc__.split("\n\n")[0])
    parser.add_argument("page_dir", nargs="?" if arguments[:1] == ["--typeable"] else None)
    for name in ("--typeable", "--measure", "--slow", "--offline", "--paste", "--end-button", "--no-javascript",
                 "--site", "--long-lines"):
        parser.add_argument(name, action="store_true")
    for name in ("--screenshot", "--axe", "--widths", "--release"):
        parser.add_argument(name)
    parser.add_argument("--break", choices=("no-wasm", "bad-wasm", "no-network", "no-webassembly", "file"))
    parser.add_argument("--kept", choices=("502", "404-wasm"))
    parser.parse_args(arguments)
    return arguments


if checked_arguments(sys.argv[1:])[0] == "--typeable":
    reason = untypeable(INPUT)
    if reason:
        print("a person cannot type %s in a browser" % reason)
    sys.exit(1 if reason else 0)

from selenium import webdriver  # noqa: E402 (not needed for --typeable)
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402
from selenium.common.exceptions import TimeoutException  # noqa: E402

page_dir, options = sys.argv[1], sys.argv[2:]
option = lambda name: options[options.index(name) + 1] if name in options else None  # noqa: E731
broken = option("--break")
scratch = tempfile.mkdtemp()  # copies of pages; removed at the end
if broken in ("no-wasm", "bad-wasm"):  # a copy of the page whose program is missing or cut short
    page_dir = shutil.copytree(page_dir, os.path.join(scratch, "page"))
    wasm = os.path.join(page_dir, "quorvast.wasm")
    os.truncate(wasm, os.path.getsize(wasm) // 2) if broken == "bad-wasm" else os.remove(wasm)


class Server(http.server.SimpleHTTPRequestHandler):
    """Serves `folder`, with a Cache-Control header or none, and `failing`:
    502 for every answer, 404-wasm for the program's file, or None."""
    folder, cache_control, failing = page_dir, None, None
    log_message = lambda *args: None  # noqa: E731

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=Server.folder, **kwargs)

    def send_head(self):
        if Server.failing == "502" or (Server.failing == "404-wasm" and self.path.endswith("/quorvast.wasm")):
            return self.send_error(int(Server.failing[:3]))
        return super().send_head()

    def end_headers(self):
        if Server.cache_control:
            self.send_header("Cache-Control", Server.cache_control)
        super().end_headers()


def serve():
    """A server on a port of its own: a new origin, with nothing kept from another."""
    started = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Server)
    threading.Thread(target=started.serve_forever, daemon=True).start()
    return started, "http://127.0.0.1:%d/" % started.server_address[1]


server, URL = serve()

chrome = webdriver.ChromeOptions()
chrome.binary_location = "/usr/bin/chromium"
for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--window-size=800,600"):
    chrome.add_argument(argument)
chrome.set_capability("goog:loggingPrefs", {"browser": "ALL"})
if "--no-javascript" in options:
    chrome.add_experimental_option("prefs", {"profile.managed_default_content_settings.javascript": 2})
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=chrome)
# Requests so far, but for those the browser makes when it likes (the icons
# and the manifest).
REQUESTS = ("return performance.getEntriesByType('resource')"
            ".filter(e => !/(favicon.ico|icon-[0-9]+.png|manifest.webmanifest)$/.test(e.name)).length")
FIRST_PROMPT = "return !!window.quorvastRun && window.quorvastRun.firstPromptMs !== null"
# The program's bytes, one character each (Latin-1), so that megabytes of them come back fast.
OUTPUT = ("const o = window.quorvastRun.output; let s = '';"
          "for (let i = 0; i < o.length; i += 8192) s += String.fromCharCode(...o.bytes.subarray(i, Math.min(i + 8192, o.length)));"
          "return s;")
CONTROLS = "return ['line', 'enter', 'end-input'].map(id => document.getElementById(id).disabled)"
problems = []
status = 2


def cdp(command, **parameters):
    return driver.execute_cdp_cmd(command, parameters)


def screenshot(path, width):
    """The whole page, not only the window, `width` CSS px wide, as a PNG."""
    height = driver.execute_script("return document.documentElement.scrollHeight")
    shot = cdp("Page.captureScreenshot", captureBeyondViewport=True,
               clip={"x": 0, "y": 0, "width": width, "height": height, "scale": 1})
    with open(path, "wb") as out:
        out.write(base64.b64decode(shot["data"]))


def shows_failure():
    """The page's sentence when it cannot load its program; no uncaught error."""
    if broken == "no-webassembly":
        cdp("Page.addScriptToEvaluateOnNewDocument", source="delete window.WebAssembly")
    if broken == "no-network":
        cdp("Network.enable")
        cdp("Network.setBlockedURLs", urls=["*quorvast.wasm"])
    driver.get("file://%s/index.html" % os.path.abspath(page_dir) if broken == "file" else URL)
    sentence = wait.until(lambda d: d.execute_script("return window.quorvastFailure"))
    print(sentence)
    uncaught = [entry["message"] for entry in driver.get_log("browser") if "Uncaught" in entry["message"]]
    for_developers = broken != "file" and "make" in sentence  # a visitor builds nothing
    return 3 if uncaught or for_developers or driver.execute_script(CONTROLS) != [True] * 3 else 0


def without_javascript():
    driver.get(URL)
    shown = driver.find_element(By.TAG_NAME, "main").text
    disabled = [driver.find_element(By.ID, id).get_attribute("disabled") for id in ("line", "enter", "end-input")]
    return [] if "needs JavaScript" in shown and "Loading" not in shown and all(disabled) else [
        "without JavaScript: no sentence, a loading notice, or controls enabled"]


def axe(state):
    if option("--axe"):
        if not driver.execute_script("return !!window.axe"):
            driver.execute_script(open(option("--axe")).read())
        found = driver.execute_async_script("axe.run(document).then(r => arguments[0](r.violations"
                                            ".map(v => v.id + ': ' + v.nodes.map(n => n.target).join(' '))))")
        problems.extend("axe, %s: %s" % (state, violation) for violation in found)


def offline_reload():
    """The first visit leaves the page installable and in the worker's cache;
    with the server gone, a reload must still start the program."""
    wait.until(lambda d: d.execute_script("return !!navigator.serviceWorker.controller"))
    problems.extend("installability: %s" % error for error in cdp("Page.getInstallabilityErrors")["installabilityErrors"])
    server.shutdown()
    server.server_close()
    driver.refresh()
    wait.until(lambda d: d.execute_script(FIRST_PROMPT))


*lines, last = INPUT.decode("utf-8").split("\n")  # last: "" when the input ends with a newline
PANE = "return document.getElementById('screen').textContent"


def type_session(field):
    """Types the input a line at a time, or pastes its whole lines at once;
    ends the input with Ctrl-D, or the End input button, tapped twice."""
    done = lambda: driver.execute_script("return window.quorvastRun.done")  # noqa: E731
    ctrl_d = lambda: ActionChains(driver).key_down(Keys.CONTROL).send_keys("d").key_up(Keys.CONTROL).perform()  # noqa: E731
    if "--paste" in options:
        driver.execute_script("const data = new DataTransfer(); data.setData('text/plain', arguments[1]);"
                              "arguments[0].dispatchEvent(new ClipboardEvent('paste', { clipboardData: data }));",
                              field, "".join(line + "\n" for line in lines))
    for line in [] if "--paste" in options else lines:
        if done():
            break
        axe("at a prompt")
        field.send_keys(line + Keys.ENTER)
    if last and not done():
        field.send_keys(last)
        ctrl_d()  # sends the line without a newline
    if "--end-button" in options and not done():
        driver.find_element(By.ID, "end-input").click()
        time.sleep(0.5)
        if done():
            problems.append("one tap on End input ended the run")
        driver.find_element(By.ID, "end-input").click()
    elif not done():
        ctrl_d()  # on an empty line: the input ends
    wait.until(lambda d: done())


def site_problems():
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging"))
    from release_env import release_facts
    facts = release_facts(os.path.join(page_dir, "..", "release.env"))
    homes = [URL, URL + "index.html", facts["homepage"]]  # the site's root, or the address the release names
    cdp("Emulation.setDeviceMetricsOverride", width=360, height=800, deviceScaleFactor=1, mobile=True)
    found, seen, queue, ids, fragments = [], set(), ["index.html"], {}, set()
    while queue:
        path = queue.pop()
        path = path + "index.html" if path.endswith("/") or not path else path
        if path in seen:
            continue
        seen.add(path)
        if not os.path.isfile(os.path.join(page_dir, path)):
            found.append("a link or image to nothing: " + path)
        elif path.endswith(".html"):
            driver.get(URL + path)
            axe(path)
            targets = driver.execute_script("return [...document.querySelectorAll('a[href], img[src], link[href]')]"
                                            ".map(e => e.href || e.src)")
            queue += [target[len(URL):].split("#")[0] for target in targets if target.startswith(URL)]
            fragments |= {(path, *target[len(URL):].split("#", 1)) for target in targets
                          if target.startswith(URL) and "#" in target}
            ids[path] = set(driver.execute_script("return [...document.querySelectorAll('[id]')].map(e => e.id)"))
            found += ["%s shows Markdown left unconverted: %s" % (path, line.strip()) for line in driver.execute_script(
                "const main = (document.querySelector('main') || document.body).cloneNode(true);"
                "main.querySelectorAll('pre, code').forEach(e => e.remove()); return main.textContent.split('\\n')")
                if re.match(r"\s*(#{2,} |\|.*\|\s*$)", line) or re.search(r"\*\*\S", line)]
            if not set(homes) & set(targets):
                found.append("%s links no home page" % path)
            if driver.execute_script("return document.documentElement.scrollWidth > innerWidth"):
                found.append("%s scrolls sideways at 360 px" % path)
    found += ["%s links %s#%s, which names no id there" % (source, target or source, fragment)
              for source, target, fragment in sorted(fragments)
              if fragment not in ids.get(re.sub(r"^$|/$", r"\g<0>index.html", target), set())]
    driver.get(URL + "download.html")
    listed = driver.execute_script("return [...document.querySelectorAll('tbody tr a')].map(a => a.textContent)")
    sums = open(os.path.join(page_dir, "download", "SHA256SUMS")).read()
    if sorted(listed) != sorted(line.split("  ")[1] for line in sums.splitlines()) or \
            driver.execute_script("return document.getElementById('sums').textContent") != sums:
        found.append("the download page's files and sums are not those of SHA256SUMS")
    return found + winget_problems() + problems


def winget_problems():
    """The release's winget manifests against their published schemas, and
    against the .msi on the download page: its SHA-256 and product code."""
    import glob, json, subprocess, jsonschema, yaml
    schemas = os.path.join(os.path.dirname(os.path.abspath(__file__)), "schemas", "winget-manifest-1.10.0")
    msi = glob.glob(os.path.join(page_dir, "download", "*.msi"))[0]
    properties = subprocess.run(["msiinfo", "export", msi, "Property"], capture_output=True, text=True).stdout
    found, manifests = [], glob.glob(os.path.join(page_dir, "winget", "*", "*.yaml"))
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


def visit_until_kept(url):
    driver.get(url)
    wait.until(lambda d: d.execute_script(FIRST_PROMPT + " && !!navigator.serviceWorker.controller"))


def load(url=None):
    """The releases a load's page and its program's banner name."""
    if url:
        driver.get(url)
    shown = driver.execute_script("return document.getElementById('version').textContent")
    try:
        wait.until(lambda d: d.execute_script(FIRST_PROMPT))
    except TimeoutException:
        return shown.split()[-1], "none (%s)" % driver.execute_script("return window.quorvastFailure")
    output = driver.execute_script(OUTPUT).encode("latin-1")
    return shown.split()[-1], re.search(rb"Quorvast (\S+) is free software", output)[1].decode()


def announced(what):
    try:
        WebDriverWait(driver, 20).until(lambda d: d.execute_script("return !document.getElementById('update').hidden"))
    except TimeoutException:
        problems.append("%s: no notice of the newer release" % what)


# Holds this page's request for its program until the runner lets it go,
# as a slow phone would.
HOLD = """const fetchNow = window.fetch, held = new Promise((go) => { window.quorvastLetGo = go; });
window.fetch = (request, ...rest) => String(request).endsWith("quorvast.wasm")
  ? held.then(() => fetchNow(request, ...rest)) : fetchNow(request, ...rest);"""
EMPTY_CACHES = ("caches.keys().then((names) => Promise.all(names.map((name) => caches.open(name)"
                ".then((cache) => cache.keys()).then((kept) => kept.length ? [] : [name]))))"
                ".then((empty) => arguments[0](empty.flat()))")


def release_problems(next_dir):
    """A newer release replaces this one on the server."""
    aged = shutil.copytree(page_dir, os.path.join(scratch, "aged"))
    month_ago = time.time() - 30 * 86400
    for name in os.listdir(aged):
        os.utime(os.path.join(aged, name), (month_ago, month_ago))
    old, newer = (re.search(r'id="version">Quorvast ([^<]+)<', open(os.path.join(folder, "index.html")).read())[1]
                  for folder in (aged, next_dir))

    def expect(what, got, release):
        if got != (release, release):
            problems.append("%s: the page shows %s, its program is %s; expected %s" % (what, *got, release))

    def visited(folder, *paths):
        Server.folder = folder
        site, url = serve()
        for path in paths:
            visit_until_kept(url + path)
        return site, url

    for Server.cache_control in (None, "max-age=600"):
        site, url = visited(aged, "")
        Server.folder = next_dir
        expect("Cache-Control: %s, load 1" % Server.cache_control, load(url), old)
        announced("Cache-Control: %s" % Server.cache_control)  # fetched behind the older one
        expect("Cache-Control: %s, load 2" % Server.cache_control, load(url), newer)
        site.shutdown()
    Server.cache_control = None
    # A tab held before its program's request while another brings the next release.
    site, url = visited(aged, "")
    hold = cdp("Page.addScriptToEvaluateOnNewDocument", source=HOLD)["identifier"]
    driver.get(url)
    cdp("Page.removeScriptToEvaluateOnNewDocument", identifier=hold)
    held = driver.current_window_handle
    Server.folder = next_dir
    driver.switch_to.new_window("tab")
    driver.get(url)
    announced("the tab that brings the next release")
    driver.close()
    driver.switch_to.window(held)
    driver.execute_script("window.quorvastLetGo()")
    expect("a tab held while another brought the next release", load(), old)
    if driver.execute_script("return document.getElementById('update').hidden"):
        problems.append("a tab taken over shows no update notice")
    site.shutdown()
    # A damaged download of the next release is never kept, nor a worker cut
    # short where it is still a whole script; once the server is mended, the
    # next release comes.
    for damage, file, other in (("program cut short", "quorvast.wasm", None), ("older program", "quorvast.wasm", aged),
                                ("worker cut before its fetch listener", "service-worker.js", None)):
        damaged = shutil.copytree(next_dir, os.path.join(scratch, damage))
        path, fetch_listener = os.path.join(damaged, file), b'self.addEventListener("fetch"'
        shutil.copyfile(os.path.join(other, file), path) if other else os.truncate(
            path, open(path, "rb").read().find(fetch_listener) if file.endswith(".js") else 1000)
        os.utime(path, (month_ago + 86400,) * 2)  # newer than the kept release's, older than the mended file
        site, url = visited(aged, "")
        Server.folder = damaged
        for attempt in (1, 2):  # each once its worker is installed, or failed to install
            expect("the next release's %s, load %d" % (damage, attempt), load(url), old)
            WebDriverWait(driver, 20).until(lambda d: d.execute_async_script(
                "navigator.serviceWorker.getRegistration().then((r) => arguments[0](!r.installing))"))
        Server.folder = next_dir
        load(url)
        announced("mended after %s" % damage)
        expect("the next release mended after %s" % damage, load(url), newer)
        site.shutdown()
    # Two copies on one site: each keeps its own release, offline too, where
    # no answer is kept in the browser's HTTP cache.
    Server.cache_control = "no-cache"
    both = os.path.join(scratch, "both")
    for path in ("a", "b"):
        shutil.copytree(aged, os.path.join(both, path))
    site, url = visited(both, "a/", "b/")
    shutil.rmtree(os.path.join(both, "b"))
    shutil.copytree(next_dir, os.path.join(both, "b"))
    load(url + "b/")
    announced("the copy in /b/")
    site.shutdown()
    site.server_close()
    cdp("ServiceWorker.enable")
    cdp("ServiceWorker.stopAllWorkers")  # as when the browser has been closed meanwhile
    for path, release in (("a/", old), ("b/", newer)):
        expect("offline, the copy in /%s" % path, load(url + path), release)
    problems.extend("an empty cache: %s" % name for name in driver.execute_async_script(EMPTY_CACHES))
    return problems


def long_lines():
    """Lines of any length reach the program whole, at every prompt, each
    answered and painted within a second, no task holding the tab longer
    than about 100 ms."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "differential"))
    from expected_session import session
    found = []
    load(URL)
    driver.execute_script("window.longTasks = []; new PerformanceObserver((list) => window.longTasks.push("
                          "...list.getEntries().map((task) => task.duration))).observe({ type: 'longtask' })")
    for lines in (["N" * 200000], ["Vesta", "9" * 200000, "q"], ["Vesta", "10", "x" * 200000, "q"]):
        for line in lines:
            ms = driver.execute_async_script("""
                const [text, done] = arguments, run = window.quorvastRun, start = performance.now();
                document.getElementById("line").value = text;
                document.getElementById("typing").requestSubmit();
                const answered = () => run.done || (run.sent.length === 0 && run.wake !== null);
                (function poll() {
                  const painted = () => requestAnimationFrame(() => done(performance.now() - start));
                  answered() ? requestAnimationFrame(painted) : setTimeout(poll, 1);
                })();""", line)
            print("a line of %d characters answered in %.0f ms" % (len(line), ms))
            found += ["a line of %d characters took %.0f ms" % (len(line), ms)] if ms > 1000 else []
        wait.until(lambda d: d.execute_script("return window.quorvastRun.done"))
        output, status = driver.execute_script(OUTPUT).encode("latin-1"), driver.execute_script("return window.quorvastRun.status")
        if (output, status) != session("".join(line + "\n" for line in lines).encode())[:2]:
            found.append("lines of %s characters: not the session the program must give" % [len(l) for l in lines])
        driver.find_element(By.ID, "again").click()
        wait.until(lambda d: d.execute_script(FIRST_PROMPT))
    longest = max(driver.execute_script("return window.longTasks"), default=0)
    print("the longest task took %.0f ms" % longest)
    found += ["a task held the tab %.0f ms" % longest] if longest > 150 else []
    return found + [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


def widths(folder):
    """The page at phone to desktop widths, after the run."""
    os.makedirs(folder, exist_ok=True)
    for width in (320, 360, 390, 500, 768, 1280):
        cdp("Emulation.setDeviceMetricsOverride", width=width, height=844, deviceScaleFactor=1,
            mobile=width < 768 and width != 500)
        shape = driver.execute_script("""
            const screen = document.getElementById("screen"), range = document.createRange();
            range.selectNodeContents(screen);
            const box = (id) => document.getElementById(id).getBoundingClientRect();
            return { lines: screen.textContent.split("\\n").length,
                     shown: Math.round(range.getBoundingClientRect().height / parseFloat(getComputedStyle(screen).lineHeight)),
                     scrolls: screen.scrollWidth > screen.clientWidth,
                     small: ["line", "enter", "end-input", "again"].filter(id => box(id).width < 44 || box(id).height < 44),
                     line: box("line").width, form: box("typing").width };""")
        if shape["shown"] > shape["lines"]:
            problems.append("at %d px, %d lines show as %d" % (width, shape["lines"], shape["shown"]))
        if width >= 360 and shape["scrolls"]:
            problems.append("at %d px the pane scrolls sideways" % width)
        if shape["small"]:
            problems.append("at %d px, touch targets under 44 px: %s" % (width, shape["small"]))
        if width < 500 and shape["line"] < shape["form"] - 1:
            problems.append("at %d px the input line is not the full width" % width)
        screenshot(os.path.join(folder, "page-%d.png" % width), width)
    cdp("Emulation.clearDeviceMetricsOverride")
    driver.find_element(By.ID, "again").click()
    wait.until(lambda d: d.execute_script(FIRST_PROMPT))
    if driver.execute_script(CONTROLS) != [False] * 3:
        problems.append("Run again left the input disabled")


try:
    wait = WebDriverWait(driver, 60 if "--slow" in options else 20)
    if broken:
        sys.exit(shows_failure())
    # The modes without a session: each gives its problems.
    for mode, check in (("--no-javascript", without_javascript), ("--site", site_problems),
                        ("--release", lambda: release_problems(option("--release"))), ("--long-lines", long_lines)):
        if mode in options:
            problems = check()
            print("\n".join(problems))
            sys.exit(3 if problems else 0)
    if option("--kept"):
        Server.cache_control = "no-cache"
        visit_until_kept(URL)
        Server.failing = option("--kept")
    if "--measure" in options:
        # A load first, so that the measured one pays neither for the
        # browser's start nor for its first page, and then no cache.
        driver.get(URL)
        wait.until(lambda d: d.execute_script(FIRST_PROMPT))
        cdp("Network.setCacheDisabled", cacheDisabled=True)
    if "--slow" in options:
        cdp("Network.enable")
        cdp("Network.emulateNetworkConditions", offline=False, latency=400,
            downloadThroughput=20000, uploadThroughput=20000)
    driver.get(URL)
    if "--offline" in options:
        offline_reload()
    if "--slow" not in options:
        wait.until(lambda d: d.execute_script(FIRST_PROMPT))
    requests_at_load = driver.execute_script(REQUESTS)
    field = driver.find_element(By.ID, "line")
    if "--slow" in options and driver.execute_script("return window.quorvastRun.output.length"):
        problems.append("the program had started before the first line was sent")
    if not any(node["role"]["value"] == "status" for node in cdp("Accessibility.getFullAXTree")["nodes"]):
        problems.append("no status region before the end")
    type_session(field)
    if "--slow" in options:  # the same session typed once the program is there
        pane = driver.execute_script(PANE)
        driver.find_element(By.ID, "again").click()
        wait.until(lambda d: d.execute_script(FIRST_PROMPT))
        type_session(field)
        if driver.execute_script(PANE) != pane:
            problems.append("lines sent while loading show otherwise than lines typed later")
    outcome = driver.execute_script("return document.querySelector('[role=status]')?.innerText ?? ''")
    if "exit status %d" % driver.execute_script("return window.quorvastRun.status") not in outcome:
        problems.append("the status region does not give the exit status")
    comma = re.match(r"\s*([+-]?\d+),(\d+)\s*$", (lines + [last, ""])[1])  # at the H prompt
    if comma and ("read as %s" % comma[1] not in outcome or "%s.%s" % comma.groups() not in outcome):
        problems.append("no note on the decimal comma: %r" % outcome)
    axe("after the end")
    if driver.execute_script(CONTROLS) != [True] * 3 or driver.switch_to.active_element.get_attribute("id") != "again":
        problems.append("after the end, the input is not disabled or Run again has not the focus")
    run = driver.execute_script("const r = window.quorvastRun; "
                                "return [r.complaint, r.status, r.firstPromptMs];")
    complaint, exit_status, first_prompt_ms = run
    sys.stdout.buffer.write(driver.execute_script(OUTPUT).encode("latin-1"))
    if complaint:
        sys.stderr.write("quorvast: %s\n" % complaint)
    if "--measure" in options:
        sys.stderr.write("first prompt at %.1f ms\n" % first_prompt_ms)
    if "--screenshot" in options:
        screenshot(option("--screenshot"), 800)
    problems += [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
    requests_after_load = driver.execute_script(REQUESTS) - requests_at_load
    if requests_after_load and "--slow" not in options:
        problems.append("%d network requests after load" % requests_after_load)
    if option("--widths"):
        widths(option("--widths"))
    for problem in problems:
        sys.stderr.write("page error: %s\n" % problem)
    status = 3 if problems else exit_status
finally:
    driver.quit()
    server.shutdown()
    shutil.rmtree(scratch, ignore_errors=True)
sys.exit(status)
