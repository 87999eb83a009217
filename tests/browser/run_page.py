#!/usr/bin/python3
"""Runs the web page like a process, so that the transcript harness can use
it as a command: the input bytes come on standard input and are typed into
the page line by line, as a user would, in Debian's chromium (headless,
through chromium-driver and Debian's python3-selenium); the program's own
output (not the echo of what was typed) goes to standard output, its message
to standard error, and the page's exit status is this process's. The page
is served from PAGE_DIR on 127.0.0.1. Console errors in the page (a
Content-Security-Policy violation, say) and network requests after the
first prompt make the run fail with status 3.

usage: run_page.py PAGE_DIR [--screenshot FILE] [--measure] < input
       run_page.py --typeable < input   (status 0 if a person can type it)
"""
import base64
import functools
import http.server
import sys
import threading

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


if sys.argv[1] == "--typeable":
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

page_dir, options = sys.argv[1], sys.argv[2:]
Quiet = type("Quiet", (http.server.SimpleHTTPRequestHandler,), {"log_message": lambda *args: None})
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=page_dir))
threading.Thread(target=server.serve_forever, daemon=True).start()

chrome = webdriver.ChromeOptions()
chrome.binary_location = "/usr/bin/chromium"
for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--window-size=800,600"):
    chrome.add_argument(argument)
chrome.set_capability("goog:loggingPrefs", {"browser": "ALL"})
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=chrome)
# Requests so far, but for the favicon, which the browser asks for when it likes.
REQUESTS = "return performance.getEntriesByType('resource').filter(e => !e.name.endsWith('/favicon.ico')).length"
URL = "http://127.0.0.1:%d/" % server.server_address[1]
FIRST_PROMPT = "return !!window.quorvastRun && window.quorvastRun.firstPromptMs !== null"
status = 2
try:
    wait = WebDriverWait(driver, 20)
    if "--measure" in options:
        # A load first, so that the measured one pays neither for the
        # browser's start nor for its first page, and then no cache.
        driver.get(URL)
        wait.until(lambda d: d.execute_script(FIRST_PROMPT))
        driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
    driver.get(URL)
    wait.until(lambda d: d.execute_script(FIRST_PROMPT))
    requests_at_load = driver.execute_script(REQUESTS)
    field = driver.find_element(By.ID, "line")
    done = lambda: driver.execute_script("return window.quorvastRun.done")  # noqa: E731
    ctrl_d = lambda: ActionChains(driver).key_down(Keys.CONTROL).send_keys("d").key_up(Keys.CONTROL).perform()  # noqa: E731

    *lines, last = INPUT.decode("utf-8").split("\n")  # last: "" when the input ends with a newline
    for line in lines:
        if done():
            break
        field.send_keys(line + Keys.ENTER)
    if not done():
        if last:
            field.send_keys(last)
            ctrl_d()  # sends the line without a newline
        ctrl_d()  # on an empty line: the input ends
    wait.until(lambda d: done())
    run = driver.execute_script("const r = window.quorvastRun; "
                                "return [r.output, r.complaint, r.status, r.firstPromptMs];")
    output, complaint, exit_status, first_prompt_ms = run
    sys.stdout.buffer.write(bytes(output))
    if complaint:
        sys.stderr.write("quorvast: %s\n" % complaint)
    if "--measure" in options:
        sys.stderr.write("first prompt at %.1f ms\n" % first_prompt_ms)
    if "--screenshot" in options:  # the whole page, not only the window
        height = driver.execute_script("return document.documentElement.scrollHeight")
        shot = driver.execute_cdp_cmd("Page.captureScreenshot", {
            "captureBeyondViewport": True, "clip": {"x": 0, "y": 0, "width": 800, "height": height, "scale": 1}})
        with open(options[options.index("--screenshot") + 1], "wb") as out:
            out.write(base64.b64decode(shot["data"]))
    problems = [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
    requests_after_load = driver.execute_script(REQUESTS) - requests_at_load
    for problem in problems:
        sys.stderr.write("page error: %s\n" % problem)
    if requests_after_load:
        sys.stderr.write("%d network requests after load\n" % requests_after_load)
    status = 3 if problems or requests_after_load else exit_status
finally:
    driver.quit()
    server.shutdown()
sys.exit(status)
