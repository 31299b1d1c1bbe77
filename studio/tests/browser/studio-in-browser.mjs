// The studio as a learner uses it, in headless chromium: open the document,
// run the page and see its console and its passed status, break the code and
// see the error at its line, run a page that never ends and stop it.
//
//   node studio-in-browser.mjs CORRAL-HOST DOCUMENT ARTEFACT-FOLDER
//
// DOCUMENT is copied to a scratch folder first, so the test's edits stay there.
import { spawn } from "node:child_process";
import { cpSync, mkdtempSync, readFileSync, rmSync, mkdirSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, basename } from "node:path";
import assert from "node:assert/strict";
import { createRequire } from "node:module";

// The driver comes from the studio's own npm packages in the build tree.
const puppeteer = createRequire(join(process.env.STUDIO_PACKAGES, "package.json"))("puppeteer-core");

const [corralHost, sourceDocument, artefacts] = process.argv.slice(2);
const scratch = mkdtempSync(join(tmpdir(), "studio-browser-"));
const documentFolder = join(scratch, basename(sourceDocument));
cpSync(sourceDocument, documentFolder, { recursive: true });
mkdirSync(artefacts, { recursive: true });

const server = spawn(corralHost, ["serve", "--port", "0", documentFolder],
                     { stdio: ["ignore", "pipe", "inherit"] });
const address = await new Promise((resolve, reject) => {
  let text = "";
  server.stdout.on("data", (chunk) => {
    text += chunk;
    const match = text.match(/Open (http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]+)/);
    if (match) resolve(match[1]);
  });
  server.on("exit", (code) => reject(new Error(`corral-host serve exited with ${code}`)));
  setTimeout(() => reject(new Error("no address printed")), 20000);
});

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
  args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"],
  defaultViewport: { width: 1360, height: 860 },
});
let failed = false;
try {
  const page = await browser.newPage();
  page.on("pageerror", (error) => { console.error("page error:", error.message); failed = true; });
  const consoleText = () => page.$eval("#console", (c) => c.innerText);
  const state = () => page.$eval("#state", (s) => s.textContent);
  const waitForState = (text) => page.waitForFunction(
    (t) => document.getElementById("state").textContent.startsWith(t), { timeout: 30000 }, text);
  const replaceCode = async (text) => {
    await page.click(".cm-content");
    await page.keyboard.down("Control"); await page.keyboard.press("a"); await page.keyboard.up("Control");
    await page.keyboard.press("Backspace");
    // Typed line by line: the editor's auto-indent would otherwise add spaces.
    for (const line of text.split("\n")) {
      await page.keyboard.type(line);
      await page.keyboard.down("Shift"); await page.keyboard.press("Enter"); await page.keyboard.up("Shift");
    }
  };

  // 1. Open, run, see the console lines and the pass.
  await page.goto(address);
  await page.waitForFunction(() => window.studioReady === true, { timeout: 20000 });
  assert.match(await page.$eval("#tabs", (t) => t.innerText), /Page\.cpp/);
  await page.click("#run");
  await page.waitForSelector(".assessment.pass", { timeout: 60000 });
  await waitForState("Finished");
  assert.match(await consoleText(), /hello from the page/);
  assert.match(await page.$eval(".assessment", (a) => a.innerText), /Passed/);
  await page.waitForSelector("#live-view img", { timeout: 20000 });
  await page.screenshot({ path: join(artefacts, "studio.png") });
  console.log("ran the page: console and pass shown; screenshot in", join(artefacts, "studio.png"));

  // 2. A compile error is shown at its line, and the edit was saved.
  await replaceCode("// a broken page\nSAY never\nFAIL_SYNTAX here");
  await page.click("#run");
  await waitForState("Compile error");
  const errorLine = await page.waitForFunction(() => {
    const lines = [...document.querySelectorAll(".cm-line")];
    const index = lines.findIndex((l) => l.querySelector(".cm-lintRange-error"));
    return index >= 0 ? index + 1 : null;
  }, { timeout: 20000 });
  assert.equal(await errorLine.jsonValue(), 3);
  assert.match(readFileSync(join(documentFolder, "Page.cpp"), "utf8"), /FAIL_SYNTAX here/);
  await page.screenshot({ path: join(artefacts, "studio-compile-error.png") });
  console.log("compile error shown at line 3");

  // 3. A page that never ends is stopped; the server goes on serving.
  await replaceCode("SAY looping\nLOOP");
  await page.click("#run");
  await waitForState("Running");
  await page.waitForFunction(() => document.getElementById("console").innerText.includes("looping"));
  await page.click("#stop");
  await waitForState("Stopped");
  const status = await page.evaluate(async () => (await fetch("/api/document")).status);
  assert.equal(status, 200);
  await page.click("#run");  // and it can run again
  await waitForState("Running");
  await page.click("#stop");
  await waitForState("Stopped");
  console.log("endless page stopped, server still serving; state:", await state());

  // 4. Hints one at a time, the solution behind a button, a glossary popover
  //    over the live view, the store updating live.
  await replaceCode("HINTS Count the sides.|A square has four.|sides = 4\nGLOSSARY circle\nSTORE score 7");
  await page.click("#run");
  await waitForState("Finished");
  const hints = () => page.$$eval(".assessment .hint", (h) => h.map((e) => e.textContent));
  assert.deepEqual(await hints(), ["Hint 1 of 2: Count the sides."]);
  assert.equal(await page.$(".assessment .solution"), null);
  const [nextHint, showSolution] = await page.$$(".assessment .actions button");
  await nextHint.click();
  assert.equal((await hints()).length, 2);
  assert.equal(await nextHint.evaluate((b) => b.disabled), true);
  await showSolution.click();
  assert.equal(await page.$eval(".assessment .solution", (s) => s.textContent), "sides = 4");
  const popover = await page.$eval("#live-view .popover", (p) => {
    const box = p.getBoundingClientRect(), img = document.querySelector("#live-view img").getBoundingClientRect();
    return { text: p.textContent, x: box.left + box.width / 2 - img.left, width: img.width };
  });
  assert.match(popover.text, /circle/);
  // Centred under the circle, which is centred in the picture.
  assert.ok(Math.abs(popover.x - popover.width / 2) < 4, JSON.stringify(popover));
  assert.match(await page.$eval("#store", (t) => t.innerText), /score\s+7/);
  console.log("hints, solution, glossary and store shown");
} catch (error) {
  console.error(error);
  failed = true;
} finally {
  await browser.close();
  server.kill("SIGTERM");
  rmSync(scratch, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
