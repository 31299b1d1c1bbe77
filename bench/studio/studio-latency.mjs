// Latencies of the studio as a learner feels them, in headless chromium:
//   run-to-first-line  from pressing Run to the page's first console line,
//                      the Echo page compiled from source, its module cached
//   layout-to-redraw   from a live view's layout pass (1,000 views), stamped
//                      by the scripted page process, to the redrawn picture
//
//   node studio-latency.mjs CORRAL-HOST ECHO-DOCUMENT ECHO-LIVE-VIEW SCRIPTED-DOCUMENT [ROUNDS]
import { spawn } from "node:child_process";
import { cpSync, mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createRequire } from "node:module";

const puppeteer = createRequire(join(process.env.STUDIO_PACKAGES, "package.json"))("puppeteer-core");
const [corralHost, echoDocument, echoLiveView, scriptedDocument, roundsText] = process.argv.slice(2);
const rounds = Number(roundsText || 20);
const scratch = mkdtempSync(join(tmpdir(), "studio-bench-"));
const servers = [];
async function serve(source, options, environment = {}) {
  const documentFolder = join(scratch, String(servers.length), "Bench.paddock");
  cpSync(source, documentFolder, { recursive: true });
  const server = spawn(corralHost, ["serve", "--port", "0", ...options, documentFolder],
                       { stdio: ["ignore", "pipe", "inherit"], env: { ...process.env, ...environment } });
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

  const scripted = await serve(scriptedDocument, [],
                               { CORRAL_STUDIO_PAGE_PROCESS: process.env.SCRIPTED_PAGE_PROCESS });
  writeFileSync(join(scripted.documentFolder, "Page.cpp"), `SAY animating\nANIMATE 1000 ${rounds + 5}\n`);
  await page.goto(scripted.address);
  await page.waitForFunction(() => window.studioReady === true);
  const redraw = await page.evaluate((count) => new Promise((resolve) => {
    const times = [];
    window.__liveViewDrawn = (event) => {
      if (event.stamp) times.push(Date.now() - event.stamp);
      if (times.length === count) resolve(times);
    };
    document.getElementById("run").click();
  }), rounds + 5);
  summary("layout-to-redraw (1,000 views)", redraw.slice(5), 50);
} finally {
  await browser.close();
  for (const server of servers) server.kill("SIGTERM");
  rmSync(scratch, { recursive: true, force: true });
}
