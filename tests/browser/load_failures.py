"""The page when it cannot run its program: each way its load can fail
gives one sentence for the visitor, and without JavaScript it says that
it needs it."""
import os
import shutil

from selenium.webdriver.common.by import By

from page_browser import CONTROLS, Server


def broken_page(b, kind):
    """Prints the page's sentence when its program cannot load (`kind`:
    no-wasm, bad-wasm, no-network, no-webassembly or file); status 3 on an
    uncaught error, a sentence that asks a visitor to build something, or
    controls left enabled."""
    if kind in ("no-wasm", "bad-wasm"):  # a copy of the page whose program is missing or cut short
        Server.folder = shutil.copytree(b.page_dir, os.path.join(b.scratch, "page"))
        wasm = os.path.join(Server.folder, "quorvast.wasm")
        os.truncate(wasm, os.path.getsize(wasm) // 2) if kind == "bad-wasm" else os.remove(wasm)
    if kind == "no-webassembly":
        b.cdp("Page.addScriptToEvaluateOnNewDocument", source="delete window.WebAssembly")
    if kind == "no-network":
        b.cdp("Network.enable")
        b.cdp("Network.setBlockedURLs", urls=["*quorvast.wasm"])
    b.driver.get("file://%s/index.html" % os.path.abspath(b.page_dir) if kind == "file" else b.url)
    sentence = b.until("return window.quorvastFailure")
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
