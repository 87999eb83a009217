"""Lines of any length at every prompt: each reaches the program whole and
is answered as the program must, and the pane keeps a terminal's
scrollback; then pastes of long and of many lines, after which the page's
JavaScript heap is within a few MB of a fresh page's. The times are printed; only make bench-web (--timed) holds
them to a limit (answered and painted within a second, no task over
150 ms), since a loaded machine would break a timed assert in CI."""
import os
import sys

from page_browser import FIRST_PROMPT, PASTE
from session_mode import run_again

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "differential"))
from expected_session import session  # noqa: E402

SESSIONS = (["N" * 200000], ["Vesta", "9" * 200000, "q"], ["Vesta", "10", "x" * 200000, "q"])
# Sends a line and gives the time until it is answered (read whole, the
# program waiting again or ended) and the frame after is painted.
ANSWERED = """
    const [text, done] = arguments, seen = window.quorvastSeen, start = performance.now();
    seen.waiting = false;
    document.getElementById("line").value = text;
    document.getElementById("typing").requestSubmit();
    const answered = () => seen.done || seen.waiting;
    (function poll() {
      const painted = () => requestAnimationFrame(() => done(performance.now() - start));
      answered() ? requestAnimationFrame(painted) : setTimeout(poll, 1);
    })();"""
LONG_TASKS = ("window.longTasks = []; new PerformanceObserver((list) => window.longTasks.push("
              "...list.getEntries().map((task) => task.duration))).observe({ type: 'longtask' })")
SHOWN_LINES = "return document.getElementById('screen').textContent.split('\\n').length"
# After the name and H: 20 pastes of 200,000 x and one of 100,000 short lines.
PASTES = ["x" * 200000 + "\n"] * 20 + ["x\n" * 100000]
HEAP_GROWTH_MB = 16  # what the page may hold beyond a fresh page's after PASTES


def timed_session(b, lines, timed):
    """One session a line at a time; what was not as the program must answer,
    and with `timed`, what was slow."""
    found = []
    for line in lines:
        ms = b.driver.execute_async_script(ANSWERED, line)
        print("a line of %d characters answered in %.0f ms" % (len(line), ms))
        found += ["a line of %d characters took %.0f ms" % (len(line), ms)] if timed and ms > 1000 else []
    b.until("return window.quorvastSeen.done")
    output = b.output()
    if (output, b.js("return window.quorvastSeen.status")) != session("".join(l + "\n" for l in lines).encode())[:2]:
        found.append("lines of %s characters: not the session the program must give" % [len(l) for l in lines])
    if output.count(b"\n") > 10000 and (b.js(SHOWN_LINES) > 10002 or "earlier lines are no longer shown" not in
                                        b.js("return document.querySelector('#screen .dropped')?.textContent")):
        found.append("%d lines of output: the pane keeps more than 10,000 or says nothing of the rest" %
                     output.count(b"\n"))
    return found


def heap_mb(b):
    """The page's JavaScript heap after a garbage collection, without the
    output the checks keep."""
    b.js("window.quorvastSeen.output = []")
    b.cdp("HeapProfiler.collectGarbage")
    return b.cdp("Runtime.getHeapUsage")["usedSize"] / 1e6


def pasted(b):
    """PASTES at the exit prompt, each once the last is answered; the whole
    output must be as long as the program's, and the heap bounded."""
    fresh = heap_mb(b)
    b.driver.execute_async_script(ANSWERED, "Vesta")
    b.driver.execute_async_script(ANSWERED, "10")
    for text in PASTES:
        b.js(PASTE, text)
        b.until("return window.quorvastSeen.waiting", 120)
        b.js("window.quorvastSeen.output = []")  # counted, not kept: they are hundreds of MB
    after = heap_mb(b)
    print("JavaScript heap: %.1f MB fresh, %.1f MB after the pastes" % (fresh, after))
    b.driver.execute_async_script(ANSWERED, "q")
    expected = len(session(("Vesta\n10\n" + "".join(PASTES) + "q\n").encode())[0])
    found = [] if b.js("return window.quorvastSeen.length") == expected else [
        "the pastes: not as much output as the program must give"]
    return found + (["the pastes left %.1f MB more on the heap" % (after - fresh)] if after - fresh > HEAP_GROWTH_MB
                    else [])


def long_lines(b, timed):
    """Every session of SESSIONS in one tab, Run again between them."""
    b.driver.get(b.url)
    b.until(FIRST_PROMPT)
    b.js(LONG_TASKS)
    found = []
    for lines in SESSIONS:
        found += timed_session(b, lines, timed)
        run_again(b)
    found += pasted(b)
    longest = max(b.js("return window.longTasks"), default=0)
    print("the longest task took %.0f ms" % longest)
    return found + (["a task held the tab %.0f ms" % longest] if timed and longest > 150 else []) + b.severe()
