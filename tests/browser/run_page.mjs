// Runs the web page like a process, so that the transcript harness can use
// it as a command: the input bytes come on standard input and are typed into
// the page line by line, as a user would, in Debian's chromium (headless);
// the program's own output (not the echo of what was typed) goes to standard
// output, its message to standard error, and the page's exit status is this
// process's. The page is served from PAGE_DIR on 127.0.0.1.
//
// usage: node run_page.mjs PAGE_DIR [--screenshot FILE] [--measure] < input
//        node run_page.mjs --typeable < input   (exit 0 if a person can type it)
import { createServer } from "node:http";
import { readFile } from "node:fs/promises";
import { extname, join } from "node:path";
import puppeteer from "puppeteer-core";

const input = await new Promise((resolve) => {
  const chunks = [];
  process.stdin.on("data", (chunk) => chunks.push(chunk));
  process.stdin.on("end", () => resolve(Buffer.concat(chunks)));
});

// What a person cannot type into a text field: bytes that are not UTF-8,
// and control bytes other than the newline that Enter sends (NUL, tab, CR,
// vertical tab, form feed, DEL...).
function untypeable(bytes) {
  try {
    new TextDecoder("utf-8", { fatal: true }).decode(bytes);
  } catch {
    return "bytes that are not UTF-8";
  }
  const control = bytes.find((byte) => (byte < 0x20 && byte !== 0x0a) || byte === 0x7f);
  return control === undefined ? null : `the control byte 0x${control.toString(16).padStart(2, "0")}`;
}

if (process.argv[2] === "--typeable") {
  const reason = untypeable(input);
  if (reason) console.log(`a person cannot type ${reason} in a browser`);
  process.exit(reason ? 1 : 0);
}

const [pageDir, ...options] = process.argv.slice(2);
const screenshot = options.includes("--screenshot") ? options[options.indexOf("--screenshot") + 1] : null;
const TYPES = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".wasm": "application/wasm",
                ".ico": "image/x-icon" };
const server = createServer(async (request, response) => {
  const path = new URL(request.url, "http://localhost").pathname;
  try {
    const body = await readFile(join(pageDir, path === "/" ? "index.html" : path.slice(1)));
    response.writeHead(200, { "Content-Type": TYPES[extname(path) || ".html"] ?? "application/octet-stream" });
    response.end(body);
  } catch {
    response.writeHead(404).end();
  }
});
await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));

const browser = await puppeteer.launch({
  executablePath: "/usr/bin/chromium",
  args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});
let status = 2;
try {
  const page = await browser.newPage();
  const problems = [];
  page.on("console", (message) => { if (message.type() === "error") problems.push(message.text()); });
  page.on("pageerror", (error) => problems.push(error.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForFunction(() => window.quorvastRun && window.quorvastRun.firstPromptMs !== null);
  let requestsAfterLoad = 0;
  // The browser asks for the favicon when it likes, sometimes after the
  // first prompt; any other request from here on is the page's own.
  page.on("request", (request) => { if (!request.url().endsWith("/favicon.ico")) requestsAfterLoad += 1; });

  const text = input.toString("utf8");
  const lines = text.split("\n");
  const last = lines.pop();  // "" when the input ends with a newline
  const done = () => page.evaluate(() => window.quorvastRun.done);
  const ctrlD = async () => {
    await page.keyboard.down("Control");
    await page.keyboard.press("d");
    await page.keyboard.up("Control");
  };
  for (const typed of lines) {
    if (await done()) break;
    await page.type("#line", typed);
    await page.keyboard.press("Enter");
  }
  if (!(await done())) {
    if (last !== "") {
      await page.type("#line", last);
      await ctrlD();  // sends the line without a newline
    }
    await ctrlD();  // on an empty line: the input ends
  }
  await page.waitForFunction(() => window.quorvastRun.done, { timeout: 20000 });
  const run = await page.evaluate(() => window.quorvastRun);
  process.stdout.write(Buffer.from(run.output));
  if (run.complaint) process.stderr.write(`quorvast: ${run.complaint}\n`);
  if (options.includes("--measure")) process.stderr.write(`first prompt at ${run.firstPromptMs.toFixed(1)} ms\n`);
  if (screenshot) await page.screenshot({ path: screenshot, fullPage: true });
  for (const problem of problems) process.stderr.write(`page error: ${problem}\n`);
  if (requestsAfterLoad) process.stderr.write(`${requestsAfterLoad} network requests after load\n`);
  status = problems.length || requestsAfterLoad ? 3 : run.status;
} finally {
  await browser.close();
  server.close();
}
process.exit(status);
