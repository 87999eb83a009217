"""A newer release replacing the page's on its server: a returning visitor
gets it whole by the second load, and no load ever mixes the two releases
unless the page says so, whatever the caching headers, a tab held or
loading slowly meanwhile, a damaged download, pages opened during the
install, full storage, caches evicted, room for one release or a second
copy on the same site."""
import os
import re
import shutil
import time
from types import SimpleNamespace

from selenium.common.exceptions import TimeoutException
from selenium.webdriver.support.ui import WebDriverWait

from page_browser import Server, serve

# Holds this page's request for its program until the runner lets it go,
# as a slow phone would.
HOLD = """const fetchNow = window.fetch, held = new Promise((go) => { window.quorvastLetGo = go; });
window.fetch = (request, ...rest) => String(request).endsWith("quorvast.wasm")
  ? held.then(() => fetchNow(request, ...rest)) : fetchNow(request, ...rest);"""
EMPTY_CACHES = ("caches.keys().then((names) => Promise.all(names.map((name) => caches.open(name)"
                ".then((cache) => cache.keys()).then((kept) => kept.length ? [] : [name]))))"
                ".then((empty) => arguments[0](empty.flat()))")
# Kept: installed whole (it may still wait: the browser lets the worker it
# replaces finish its work first, as long as that takes).
NEWER_KEPT = ("const [release, done] = arguments; navigator.serviceWorker.getRegistration().then((r) => caches.keys()"
              ".then((names) => done(!r.installing && names.some((n) => n.includes(' ' + release + '-')))))")
EARLIER_NAMING = "caches.open('quorvast-1.0.0-0123456789ab').then((c) => c.put('index.html', new Response('')))" \
                 ".then(arguments[0])"
CACHES = "caches.keys().then(arguments[0])"
SETTLED = ("navigator.serviceWorker.getRegistration().then((r) => arguments[0](!r.installing && !r.waiting))")
# The page opened in a window every 100 ms for 5 s, each closed after 1 s:
# navigations that the kept worker answers.
OPENED_EVERY_100_MS = """const done = arguments[0], opening = setInterval(() => {
  const opened = window.open(location.href);
  setTimeout(() => opened.close(), 1000);
}, 100);
setTimeout(() => { clearInterval(opening); setTimeout(done, 1500); }, 5000);"""


def expect(b, what, got, release):
    if got != (release, release):
        b.problems.append("%s: the page shows %s, its program is %s; expected %s" % (what, *got, release))


def visited(b, folder, *paths):
    """A new site serving `folder`, each of `paths` visited until its worker keeps it."""
    Server.folder = folder
    site, url = serve()
    for path in paths:
        b.visit_until_kept(url + path)
    return site, url


def settled(b):
    b.wait.until(lambda driver: driver.execute_async_script(SETTLED))


def updates(b, r):
    """Load 1 runs the kept release and announces the next, load 2 runs it;
    a cache of the earlier naming is gone by then."""
    for Server.cache_control in (None, "max-age=600"):
        site, url = visited(b, r.aged, "")
        b.driver.execute_async_script(EARLIER_NAMING)
        Server.folder = r.next_dir
        expect(b, "Cache-Control: %s, load 1" % Server.cache_control, b.load(url), r.old)
        b.announced("Cache-Control: %s" % Server.cache_control)  # fetched behind the older one
        expect(b, "Cache-Control: %s, load 2" % Server.cache_control, b.load(url), r.newer)
        if any(name.startswith("quorvast-") for name in b.driver.execute_async_script(CACHES)):
            b.problems.append("Cache-Control: %s: the earlier naming's cache is still there" % Server.cache_control)
        site.shutdown()
    Server.cache_control = None


def held_tab(b, r, kept):
    """A tab held before its program's request while another brings the
    next release: it runs the release it started with when one was kept
    (else its page's, or says the program is newer), and shows the notice."""
    site, url = visited(b, r.aged, "") if kept else visited(b, r.aged)
    hold = b.cdp("Page.addScriptToEvaluateOnNewDocument", source=HOLD)["identifier"]
    b.driver.get(url)
    b.cdp("Page.removeScriptToEvaluateOnNewDocument", identifier=hold)
    held = b.driver.current_window_handle
    Server.folder = r.next_dir
    b.driver.switch_to.new_window("tab")
    b.driver.get(url)
    if kept:
        b.announced("the tab that brings the next release")
    b.driver.close()
    b.driver.switch_to.window(held)
    b.js("window.quorvastLetGo()")
    got = b.load()
    what = "a tab %s, held while another brought the next release" % ("kept" if kept else "loading from the network")
    if kept or got[1] != r.newer:
        expect(b, what, got, r.old)
    if kept or got[1] == r.newer:
        b.announced(what)
    site.shutdown()


def damaged_downloads(b, r):
    """A damaged download of the next release is never kept, nor a worker
    cut short where it is still a whole script; once the server is mended,
    the next release comes."""
    for damage, file, other in (("program cut short", "quorvast.wasm", None), ("older program", "quorvast.wasm", r.aged),
                                ("worker cut before its fetch listener", "service-worker.js", None)):
        damaged = shutil.copytree(r.next_dir, os.path.join(b.scratch, damage))
        path, fetch_listener = os.path.join(damaged, file), b'self.addEventListener("fetch"'
        shutil.copyfile(os.path.join(other, file), path) if other else os.truncate(
            path, open(path, "rb").read().find(fetch_listener) if file.endswith(".js") else 1000)
        os.utime(path, (r.month_ago + 86400,) * 2)  # newer than the kept release's, older than the mended file
        site, url = visited(b, r.aged, "")
        Server.folder = damaged
        for attempt in (1, 2):  # each once its worker is installed, or failed to install
            expect(b, "the next release's %s, load %d" % (damage, attempt), b.load(url), r.old)
            settled(b)
        Server.folder = r.next_dir
        b.load(url)
        b.announced("mended after %s" % damage)
        expect(b, "the next release mended after %s" % damage, b.load(url), r.newer)
        site.shutdown()


def offline(b, site):
    """The server gone and the workers stopped, as when the browser has been closed meanwhile."""
    site.shutdown()
    site.server_close()
    b.cdp("ServiceWorker.enable")
    b.cdp("ServiceWorker.stopAllWorkers")


def navigations_during_install(b, r):
    """Pages opened every 100 ms while the next release installs slowly:
    none of them costs it its cache, and it then runs offline."""
    site, url = visited(b, r.aged, "")
    Server.folder, Server.delay = r.next_dir, 0.5
    b.driver.execute_async_script(OPENED_EVERY_100_MS)
    b.driver.switch_to.window(b.driver.current_window_handle)  # in front again, where frames are painted
    Server.delay = 0
    kept(b, r.newer, "pages opened during the install")
    offline(b, site)
    expect(b, "offline, after pages opened during the install", b.load(url), r.newer)


def storage_full(b, r):
    """A quota below what the origin holds: every reload runs one release,
    the next one on the server too; a first visit with 20 kB runs from the
    network and says that it will not work offline."""
    site, url = visited(b, r.aged, "")
    b.cdp("Storage.overrideQuotaForOrigin", origin=url.rstrip("/"), quotaSize=1)
    expect(b, "storage full, a reload", b.load(url), r.old)
    Server.folder = r.next_dir
    for attempt in (1, 2, 3):
        got = b.load(url)
        if got[0] != got[1]:
            b.problems.append("storage full, the next release on the server, load %d: %s and %s" % (attempt, *got))
    site.shutdown()
    site, url = visited(b, r.aged)
    b.cdp("Storage.overrideQuotaForOrigin", origin=url.rstrip("/"), quotaSize=20000)
    expect(b, "a first visit with 20 kB of storage", b.load(url), r.old)
    try:
        b.until("return document.getElementById('offline').textContent.includes('not work offline')", 20)
    except TimeoutException:
        b.problems.append("a first visit with 20 kB of storage: nothing says it will not work offline")
    site.shutdown()


def kept(b, release, what):
    """Waits until the worker has kept `release` and settled: a minute, as an
    install slowed down on purpose takes long on a loaded machine."""
    try:
        WebDriverWait(b.driver, 60).until(lambda driver: driver.execute_async_script(NEWER_KEPT, release))
    except TimeoutException:
        b.problems.append("%s: release %s is not kept" % (what, release))


def evicted_or_cramped(b, r):
    """The browser evicts the caches and keeps the worker: a reload runs and
    the release is kept again. Then room for one release only: the next
    one replaces the kept one rather than leaving the visitor on it."""
    site, url = visited(b, r.aged, "")
    b.driver.execute_async_script("caches.keys().then((names) => Promise.all(names.map((name) => "
                                  "caches.delete(name)))).then(arguments[0])")
    expect(b, "caches evicted, a reload", b.load(url), r.old)
    kept(b, r.old, "caches evicted")
    usage = b.driver.execute_async_script("navigator.storage.estimate().then((e) => arguments[0](e.usage))")
    b.cdp("Storage.overrideQuotaForOrigin", origin=url.rstrip("/"), quotaSize=usage * 3 // 2)
    Server.folder = r.next_dir
    b.load(url)
    kept(b, r.newer, "room for one release")
    expect(b, "room for one release, the load after", b.load(url), r.newer)
    site.shutdown()


def two_copies(b, r):
    """Two copies on one site each keep their own release, offline too,
    where no answer is kept in the browser's HTTP cache."""
    Server.cache_control = "no-cache"
    both = os.path.join(b.scratch, "both")
    for path in ("a", "b"):
        shutil.copytree(r.aged, os.path.join(both, path))
    site, url = visited(b, both, "a/", "b/")
    shutil.rmtree(os.path.join(both, "b"))
    shutil.copytree(r.next_dir, os.path.join(both, "b"))
    b.load(url + "b/")
    b.announced("the copy in /b/")
    offline(b, site)
    for path, release in (("a/", r.old), ("b/", r.newer)):
        expect(b, "offline, the copy in /%s" % path, b.load(url + path), release)
    Server.cache_control = None


def release(b, next_dir):
    """This page, its files 30 days old, against the next release in NEXT_DIR."""
    aged = shutil.copytree(b.page_dir, os.path.join(b.scratch, "aged"))
    month_ago = time.time() - 30 * 86400
    for name in os.listdir(aged):
        os.utime(os.path.join(aged, name), (month_ago, month_ago))
    old, newer = (re.search(r'id="version">Quorvast ([^<]+)<', open(os.path.join(folder, "index.html")).read())[1]
                  for folder in (aged, next_dir))
    r = SimpleNamespace(aged=aged, next_dir=next_dir, old=old, newer=newer, month_ago=month_ago)
    updates(b, r)
    for kept in (True, False):
        held_tab(b, r, kept)
    for scenario in (damaged_downloads, navigations_during_install, storage_full, evicted_or_cramped, two_copies):
        scenario(b, r)
    b.problems.extend("an empty cache: %s" % name for name in b.driver.execute_async_script(EMPTY_CACHES))
    return b.problems
