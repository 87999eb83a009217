"""The page when it cannot run its program: each way its load can fail
gives one sentence for the visitor, as does a program that traps once
running, and without JavaScript it says that it needs it."""
import os
import re
import shutil
import subprocess

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

from page_browser import CONTROLS, FAILURE, FIRST_PROMPT, Server


def trap_at_h_prompt(folder):
    """The program in `folder` made to trap (unreachable) where the page is
    told that H is read next: each call of that import becomes a test of
    its argument (1, the H) and a trap (wabt's wasm2wat and wat2wasm)."""
    letter = re.search(r'"(\w+)":show_awaited\b', open(os.path.join(folder, "quorvast.js")).read())[1]
    wasm, wat = os.path.join(folder, "quorvast.wasm"), os.path.join(folder, "quorvast.wat")
    text = subprocess.run(["wasm2wat", wasm], check=True, capture_output=True, text=True).stdout
    index = re.search(r'\(import "a" "%s" \(func \(;(\d+);\)' % letter, text)[1]
    open(wat, "w").write(re.sub(r"\bcall %s\b" % index, "i32.const 1 i32.eq if unreachable end", text))
    subprocess.run(["wat2wasm", "-o", wasm, wat], check=True)


def broken_page(b, kind):
    """Prints the page's sentence when its program cannot load (`kind`:
    no-wasm, bad-wasm, no-network, no-webassembly or file) or traps when a
    name has been typed (trap); status 3 on an uncaught error, a sentence
    that asks a visitor to build something, or controls left enabled."""
    if kind in ("no-wasm", "bad-wasm", "trap"):  # a copy of the page whose program is missing, cut short or trapping
        Server.folder = shutil.copytree(b.page_dir, os.path.join(b.scratch, "page"))
        wasm = os.path.join(Server.folder, "quorvast.wasm")
        {"bad-wasm": lambda: os.truncate(wasm, os.path.getsize(wasm) // 2), "no-wasm": lambda: os.remove(wasm),
         "trap": lambda: trap_at_h_prompt(Server.folder)}[kind]()
    if kind == "no-webassembly":
        b.cdp("Page.addScriptToEvaluateOnNewDocument", source="delete window.WebAssembly")
    if kind == "no-network":
        b.cdp("Network.enable")
        b.cdp("Network.setBlockedURLs", urls=["*quorvast.wasm"])
    b.driver.get("file://%s/index.html" % os.path.abspath(b.page_dir) if kind == "file" else b.url)
    if kind == "trap":
        b.until(FIRST_PROMPT)
        b.driver.find_element(By.ID, "line").send_keys("Vesta" + Keys.ENTER)
    sentence = b.until(FAILURE)
    print(sentence)
    uncaught = [entry["message"] for entry in b.driver.get_log("browser") if "Uncaught" in entry["message"]]
    for_developers = kind != "file" and "make" in sentence  # a visitor builds nothing
    return 3 if uncaught or for_developers or b.js(CONTROLS) != [True] * 3 else 0


def without_javascript(b):
    """The page with JavaScript off: its sentence, no loading notice, and
    its controls disabled."""
    b.driver.get(b.url)
    shown = b.driver.find_element(By.TAG_NAME, "main").text
    disabled = [b.driver.find_element(By.ID, id).get_attribute("disabled") for id in ("line", "enter", "end-input")]
    return [] if "needs JavaScript" in shown and "Loading" not in shown and all(disabled) else [
        "without JavaScript: no sentence, a loading notice, or controls enabled"]
