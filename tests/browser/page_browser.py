"""The runner's shared core: the page's folder served on 127.0.0.1, Debian's
chromium driven headless through chromium-driver, and the helpers that
every mode uses to load the page, read the program's output and collect
what it found wrong."""
import base64
import http.server
import re
import shutil
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait
from selenium.common.exceptions import TimeoutException

# Requests so far, but for those the browser makes when it likes (the icons
# and the manifest).
REQUESTS = ("return performance.getEntriesByType('resource')"
            ".filter(e => !/(favicon.ico|icon-[0-9]+.png|manifest.webmanifest)$/.test(e.name)).length")
# The page tells what its runs do as events on window (page.js) and keeps
# no copy: this script, run in every document before the page's own, keeps
# what the checks read, run by run.
SEEN = """const seen = window.quorvastSeen = {};
const fresh = () => Object.assign(seen, { output: [], length: 0, waiting: false, done: false, status: null,
                                          complaint: null, firstPromptMs: null });
fresh();
addEventListener("quorvast-run", fresh);
addEventListener("quorvast-output", ({ detail }) => {
  for (const bytes of detail) {
    seen.output.push(bytes);
    seen.length += bytes.length;
  }
  seen.waiting = false;
});
addEventListener("quorvast-waiting", () => {  // the first prompt's time: once the frame showing it is painted
  seen.waiting = true;
  if (seen.firstPromptMs === null) requestAnimationFrame(() => setTimeout(() => { seen.firstPromptMs ??= performance.now(); }));
});
addEventListener("quorvast-end", ({ detail }) => Object.assign(seen, detail, { done: true }));"""
FIRST_PROMPT = "return window.quorvastSeen?.firstPromptMs != null"
# The sentence the page shows when its program cannot load or stopped.
FAILURE = "return document.querySelector('#screen .failure, #outcome .failure')?.textContent ?? null"
# Pastes arguments[0] into the input field, as a clipboard would.
PASTE = ("const data = new DataTransfer(); data.setData('text/plain', arguments[0]); window.quorvastSeen.waiting = false;"
         "document.getElementById('line').dispatchEvent(new ClipboardEvent('paste', { clipboardData: data }));")
CONTROLS = "return ['line', 'enter', 'end-input'].map(id => document.getElementById(id).disabled)"
PANE = "return document.getElementById('screen').textContent"
# The program's bytes, one character each (Latin-1), so that megabytes of them come back fast.
OUTPUT = ("let s = ''; for (const o of window.quorvastSeen.output)"
          "  for (let i = 0; i < o.length; i += 8192) s += String.fromCharCode(...o.subarray(i, i + 8192));"
          "return s;")


class Server(http.server.SimpleHTTPRequestHandler):
    """Serves `folder`, with a Cache-Control header or none, `failing`: 502
    for every answer, 404-wasm for the program's file, or None, and each
    answer `delay` seconds late."""
    folder, cache_control, failing, delay = None, None, None, 0
    log_message = lambda *args: None  # noqa: E731

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=Server.folder, **kwargs)

    def send_head(self):
        time.sleep(Server.delay)
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


class Browser:
    """Headless chromium, 800 by 600, with PAGE_DIR served at `url`; a
    `scratch` folder for copies of pages; `problems` as the checks find them."""

    def __init__(self, page_dir, timeout=20, javascript=True, axe_file=None):
        Server.folder = self.page_dir = page_dir
        self.server, self.url = serve()
        chrome = webdriver.ChromeOptions()
        chrome.binary_location = "/usr/bin/chromium"
        for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                         "--disable-background-networking", "--disable-component-update", "--disable-sync",
                         "--window-size=800,600"):
            chrome.add_argument(argument)
        chrome.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        if not javascript:
            chrome.add_experimental_option("prefs", {"profile.managed_default_content_settings.javascript": 2})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=chrome)
        self.wait = WebDriverWait(self.driver, timeout)
        self.cdp("Page.addScriptToEvaluateOnNewDocument", source=SEEN)
        self.axe_file, self.problems, self.scratch = axe_file, [], tempfile.mkdtemp()

    def close(self):
        self.driver.quit()
        self.server.shutdown()
        shutil.rmtree(self.scratch, ignore_errors=True)

    def js(self, script, *arguments):
        return self.driver.execute_script(script, *arguments)

    def cdp(self, command, **parameters):
        return self.driver.execute_cdp_cmd(command, parameters)

    def until(self, script, seconds=None):
        """Waits until `script` returns something true, and returns that."""
        wait = WebDriverWait(self.driver, seconds) if seconds else self.wait
        return wait.until(lambda driver: driver.execute_script(script))

    def output(self):
        return self.js(OUTPUT).encode("latin-1")

    def severe(self):
        return [entry["message"] for entry in self.driver.get_log("browser") if entry["level"] == "SEVERE"]

    def screenshot(self, path, width):
        """The whole page, not only the window, `width` CSS px wide, as a PNG."""
        height = self.js("return document.documentElement.scrollHeight")
        shot = self.cdp("Page.captureScreenshot", captureBeyondViewport=True,
                        clip={"x": 0, "y": 0, "width": width, "height": height, "scale": 1})
        with open(path, "wb") as out:
            out.write(base64.b64decode(shot["data"]))

    def axe(self, state):
        """axe-core's findings on the page as it is, when the run has --axe."""
        if self.axe_file:
            if not self.js("return !!window.axe"):
                self.js(open(self.axe_file).read())
            found = self.driver.execute_async_script(
                "axe.run(document).then(r => arguments[0](r.violations"
                ".map(v => v.id + ': ' + v.nodes.map(n => n.target).join(' '))))")
            self.problems.extend("axe, %s: %s" % (state, violation) for violation in found)

    def visit_until_kept(self, url):
        self.driver.get(url)
        self.until(FIRST_PROMPT + " && !!navigator.serviceWorker.controller")

    def load(self, url=None):
        """The releases a load's page and its program's banner name."""
        if url:
            self.driver.get(url)
        shown = self.js("return document.getElementById('version').textContent")
        try:
            self.until(FIRST_PROMPT)
        except TimeoutException:
            return shown.split()[-1], "none (%s)" % self.js(FAILURE)
        return shown.split()[-1], re.search(rb"Quorvast (\S+) is free software", self.output())[1].decode()

    def announced(self, what):
        """The notice that a newer release is ready, within 20 s."""
        try:
            self.until("return !document.getElementById('update').hidden", 20)
        except TimeoutException:
            self.problems.append("%s: no notice of the newer release" % what)
