"""The default mode: a whole session typed into the page, its program's
output on standard output, its message on standard error and its exit
status as the run's, with the checks that the options add."""
import os
import re
import sys
import time

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from page_browser import CONTROLS, FIRST_PROMPT, PANE, PASTE, REQUESTS, Server


def type_session(b, args, lines, last):
    """Types the input a line at a time, or pastes its whole lines at once;
    ends the input with Ctrl-D, or the End input button, tapped twice."""
    field, driver = b.driver.find_element(By.ID, "line"), b.driver
    done = lambda: b.js("return window.quorvastSeen.done")  # noqa: E731
    ctrl_d = lambda: ActionChains(driver).key_down(Keys.CONTROL).send_keys("d").key_up(Keys.CONTROL).perform()  # noqa: E731
    if args.paste:
        b.js(PASTE, "".join(line + "\n" for line in lines))
    for line in [] if args.paste else lines:
        if done():
            break
        b.axe("at a prompt")
        field.send_keys(line + Keys.ENTER)
    if last and not done():
        field.send_keys(last)
        ctrl_d()  # sends the line without a newline
    if args.end_button and not done():
        driver.find_element(By.ID, "end-input").click()
        time.sleep(0.5)
        if done():
            b.problems.append("one tap on End input ended the run")
        driver.find_element(By.ID, "end-input").click()
    elif not done():
        ctrl_d()  # on an empty line: the input ends
    b.wait.until(lambda d: done())


def offline_reload(b):
    """The first visit leaves the page installable and in the worker's cache;
    with the server gone, a reload must still start the program."""
    b.until("return !!navigator.serviceWorker.controller")
    b.problems.extend("installability: %s" % error
                      for error in b.cdp("Page.getInstallabilityErrors")["installabilityErrors"])
    b.server.shutdown()
    b.server.server_close()
    b.driver.refresh()
    b.until(FIRST_PROMPT)


def first_load(b, args):
    """The page loaded as the options ask: kept, then from a failing server;
    measured once uncached; over a slow network; reloaded offline."""
    if args.kept:
        Server.cache_control = "no-cache"
        b.visit_until_kept(b.url)
        Server.failing = args.kept
    if args.measure:
        # A load first, so that the measured one pays neither for the
        # browser's start nor for its first page, and then no cache.
        b.driver.get(b.url)
        b.until(FIRST_PROMPT)
        b.cdp("Network.setCacheDisabled", cacheDisabled=True)
    if args.slow:
        b.cdp("Network.enable")
        b.cdp("Network.emulateNetworkConditions", offline=False, latency=400,
              downloadThroughput=20000, uploadThroughput=20000)
    b.driver.get(b.url)
    if args.offline:
        offline_reload(b)
    if not args.slow:
        b.until(FIRST_PROMPT)
    elif b.js("return window.quorvastSeen.length"):
        b.problems.append("the program had started before the first line was sent")


# The best estimate's line as laid out: its first character left of its
# last, as a terminal shows text in logical order whatever the name holds
# (a right-to-left override in it must not reverse the figures).
LOGICAL_ORDER = """const walker = document.createTreeWalker(document.getElementById('screen'), NodeFilter.SHOW_TEXT);
const left = (node, i) => { const r = document.createRange(); r.setStart(node, i); r.setEnd(node, i + 1);
                            return r.getBoundingClientRect().left; };
for (let node; (node = walker.nextNode());) {
  if (node.data.includes('estimate (km): ')) return left(node, 1) < left(node, node.data.length - 2);
}
return true;"""


def check_outcome(b, lines, last):
    """The status region gives the exit status and any note on a decimal
    comma; the input is disabled and Run again focused."""
    outcome = b.js("return document.querySelector('[role=status]')?.innerText ?? ''")
    if "exit status %d" % b.js("return window.quorvastSeen.status") not in outcome:
        b.problems.append("the status region does not give the exit status")
    comma = re.match(r"\s*([+-]?\d+),(\d+)\s*$", (lines + [last, ""])[1])  # at the H prompt
    if comma and ("read as %s" % comma[1] not in outcome or "%s.%s" % comma.groups() not in outcome):
        b.problems.append("no note on the decimal comma: %r" % outcome)
    if not b.js(LOGICAL_ORDER):
        b.problems.append("the pane reorders the best estimate's line: not in logical order")
    b.axe("after the end")
    if b.js(CONTROLS) != [True] * 3 or b.driver.switch_to.active_element.get_attribute("id") != "again":
        b.problems.append("after the end, the input is not disabled or Run again has not the focus")


def widths(b, folder):
    """The page at phone to desktop widths, after the run."""
    os.makedirs(folder, exist_ok=True)
    for width in (320, 360, 390, 500, 768, 1280):
        b.cdp("Emulation.setDeviceMetricsOverride", width=width, height=844, deviceScaleFactor=1,
              mobile=width < 768 and width != 500)
        shape = b.js("""
            const screen = document.getElementById("screen"), range = document.createRange();
            range.selectNodeContents(screen);
            const box = (id) => document.getElementById(id).getBoundingClientRect();
            return { lines: screen.textContent.split("\\n").length,
                     shown: Math.round(range.getBoundingClientRect().height / parseFloat(getComputedStyle(screen).lineHeight)),
                     scrolls: screen.scrollWidth > screen.clientWidth,
                     small: ["line", "enter", "end-input", "again"].filter(id => box(id).width < 44 || box(id).height < 44),
                     line: box("line").width, form: box("typing").width };""")
        b.problems += ["at %d px, %d lines show as %d" % (width, shape["lines"], shape["shown"])] \
            if shape["shown"] > shape["lines"] else []
        b.problems += ["at %d px the pane scrolls sideways" % width] if width >= 360 and shape["scrolls"] else []
        b.problems += ["at %d px, touch targets under 44 px: %s" % (width, shape["small"])] if shape["small"] else []
        b.problems += ["at %d px the input line is not the full width" % width] \
            if width < 500 and shape["line"] < shape["form"] - 1 else []
        b.screenshot(os.path.join(folder, "page-%d.png" % width), width)
    b.cdp("Emulation.clearDeviceMetricsOverride")
    run_again(b)
    if b.js(CONTROLS) != [False] * 3:
        b.problems.append("Run again left the input disabled")


def run_again(b):
    b.driver.find_element(By.ID, "again").click()
    b.until(FIRST_PROMPT)


def session(b, args, data):
    """Types `data` into the page; its output, message and exit status are
    the run's, unless a check failed (status 3)."""
    *lines, last = data.decode("utf-8").split("\n")  # last: "" when the input ends with a newline
    first_load(b, args)
    requests_at_load = b.js(REQUESTS)
    if not any(node["role"]["value"] == "status" for node in b.cdp("Accessibility.getFullAXTree")["nodes"]):
        b.problems.append("no status region before the end")
    type_session(b, args, lines, last)
    if args.slow:  # the same session typed once the program is there
        pane = b.js(PANE)
        run_again(b)
        type_session(b, args, lines, last)
        if b.js(PANE) != pane:
            b.problems.append("lines sent while loading show otherwise than lines typed later")
    check_outcome(b, lines, last)
    complaint, exit_status, first_prompt_ms = b.js("const r = window.quorvastSeen; "
                                                   "return [r.complaint, r.status, r.firstPromptMs];")
    sys.stdout.buffer.write(b.output())
    if complaint:
        sys.stderr.write("quorvast: %s\n" % complaint)
    if args.measure:
        sys.stderr.write("first prompt at %.1f ms\n" % first_prompt_ms)
    if args.screenshot:
        b.screenshot(args.screenshot, 800)
    b.problems += b.severe()
    requests_after_load = b.js(REQUESTS) - requests_at_load
    if requests_after_load and not args.slow:
        b.problems.append("%d network requests after load" % requests_after_load)
    if args.widths:
        widths(b, args.widths)
    for problem in b.problems:
        sys.stderr.write("page error: %s\n" % problem)
    return 3 if b.problems else exit_status
