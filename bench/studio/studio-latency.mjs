// Latencies of the studio as a learner feels them, in headless chromium:
//   run-to-first-line  from pressing Run to the page's first console line,
//                      the Echo page compiled from source, its module cached
//   layout-to-redraw   from a layout pass of a live view of 1,000 views (the
//                      Redraw page, compiled from source, stamps each pass
//                      with the wall-clock time) to the next animation frame
//                      after the browser loaded the redrawn picture
//
//   node studio-latency.mjs CORRAL-HOST ECHO-DOCUMENT ECHO-LIVE-VIEW REDRAW-DOCUMENT [ROUNDS]
import { spawn } from "node:child_process";
import { cpSync, mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createRequire } from "node:module";

const puppeteer = createRequire(join(process.env.STUDIO_PACKAGES, "package.json"))("puppeteer-core");
const [corralHost, echoDocument, echoLiveView, redrawDocument, roundsText] = process.argv.slice(2);
const rounds = Number(roundsText || 20);
const scratch = mkdtempSync(join(tmpdir(), "studio-bench-"));
const servers = [];
async function serve(source, options) {
  const documentFolder = join(scratch, String(servers.length), "Bench.paddock");
  cpSync(source, documentFolder, { recursive: true });
  const server = spawn(corralHost, ["serve", "--port", "0", ...options, documentFolder],
                       { stdio: ["ignore", "pipe", "inherit"] });
  servers.push(server);
  const address = await new Promise((resolve) => {
    let text = "";
    server.stdout.on("data", (c) => { text += c; const m = text.match(/Open (\S+)/); if (m) resolve(m[1]); });
  });
  return { address, documentFolder };
}
const browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
                                         args: ["--no-sandbox", "--disable-gpu"] });
const summary = (name, values, target) => {
  values.sort((a, b) => a - b);
  const at = (q) => values[Math.min(values.length - 1, Math.floor(q * values.length))];
  console.log(`${name}: median ${at(0.5).toFixed(1)} ms, p90 ${at(0.9).toFixed(1)} ms, ` +
              `max ${values[values.length - 1].toFixed(1)} ms over ${values.length} (target ${target} ms)`);
};
try {
  const page = await browser.newPage();
  // When each picture's event reached the browser, by the stamp it carries.
  await page.evaluateOnNewDocument(() => {
    window.__arrived = new Map();
    const Original = window.EventSource;
    window.EventSource = function (...args) {
      const source = new Original(...args);
      source.addEventListener("message", (message) => {
        const stamp = message.data.match(/laid out at ([0-9.]+)/);
        if (stamp) window.__arrived.set(stamp[1], performance.timeOrigin + performance.now());
      });
      return source;
    };
  });
  const echo = await serve(echoDocument, ["--live-view", echoLiveView, "--cache", join(scratch, "cache")]);
  await page.goto(echo.address);
  await page.waitForFunction(() => window.studioReady === true);
  // One run compiles the page; the rounds find its module cached.
  await page.click("#run");
  await page.waitForFunction(() => document.getElementById("state").textContent.startsWith("Finished"),
                             { timeout: 300000 });

  // The run's own start-up (the page process) is part of the first figure;
  // the second is the studio's share alone: Run pressed to the run's start
  // acknowledged in the browser.
  const firstLine = [], acknowledged = [];
  for (let i = 0; i < rounds; ++i) {
    const [line, ack] = await page.evaluate(() => new Promise((resolve) => {
      const box = document.getElementById("console"), state = document.getElementById("state");
      let ack = null;
      const stateObserver = new MutationObserver(() => {
        if (ack === null && state.textContent.startsWith("Starting")) ack = performance.now() - start;
      });
      stateObserver.observe(state, { childList: true, characterData: true, subtree: true });
      const observer = new MutationObserver(() => {
        if (box.querySelector("div:not(.system)")) {
          observer.disconnect(); stateObserver.disconnect();
          resolve([performance.now() - start, ack]);
        }
      });
      observer.observe(box, { childList: true });
      const start = performance.now();
      document.getElementById("run").click();
    }));
    firstLine.push(line); acknowledged.push(ack);
    await page.waitForFunction(() => document.getElementById("stop").disabled, { timeout: 60000 });
  }
  summary("run-to-first-line", firstLine, 150);
  summary("run-to-start-acknowledged (studio only)", acknowledged, "-");

  // The Redraw page runs 40 frames; the first five (compiling, warming up)
  // are not counted.
  const redrawServer = await serve(redrawDocument, ["--cache", join(scratch, "cache")]);
  await page.goto(redrawServer.address);
  await page.waitForFunction(() => window.studioReady === true);
  const redraw = await page.evaluate(() => new Promise((resolve, reject) => {
    const times = [];
    window.__liveViewDrawn = (event) => {
      const stamp = event.svg.match(/laid out at ([0-9.]+)/);
      if (!stamp) return;
      const loaded = performance.timeOrigin + performance.now();
      requestAnimationFrame(() => {
        const now = performance.timeOrigin + performance.now();
        times.push([now - Number(stamp[1]), (window.__arrived.get(stamp[1]) ?? NaN) - Number(stamp[1]),
                    loaded - Number(stamp[1])]);
      });
    };
    const state = document.getElementById("state");
    new MutationObserver(() => {
      if (/^(Compile error|Failed|Stopped)/.test(state.textContent)) reject(new Error(state.textContent));
      if (/^Finished/.test(state.textContent)) setTimeout(() => resolve(times), 200);
    }).observe(state, { childList: true, characterData: true, subtree: true });
    document.getElementById("run").click();
  }));
  // A picture that arrives while the one before it still loads replaces it
  // in the image, so not every frame is drawn; each one drawn is counted.
  if (redraw.length < 10) throw new Error(`only ${redraw.length} pictures were drawn`);
  const counted = redraw.slice(3);
  summary("layout-to-redraw (1,000 views)", counted.map((t) => t[0]), 50);
  summary("  of which layout pass to the event in the browser", counted.map((t) => t[1]), "-");
  summary("  of which layout pass to the picture loaded", counted.map((t) => t[2]), "-");
} finally {
  await browser.close();
  for (const server of servers) server.kill("SIGTERM");
  rmSync(scratch, { recursive: true, force: true });
}
