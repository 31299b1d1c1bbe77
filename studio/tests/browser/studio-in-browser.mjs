// The studio as a learner uses it, in headless chromium, with real pages
// compiled from source: open the Echo document with ?run and see its console,
// its passed status and the picture its live view (a process of its own)
// drew, break the code and see the error at its line, run a page that never
// ends and stop it, stop a run while its page compiles, see hints one at a time, the solution behind its button
// and the store table, and a page that draws its own live view with a
// glossary popover at the view it names; requests without the token or from
// another site are refused.
//
//   node studio-in-browser.mjs CORRAL-HOST ECHO-DOCUMENT ECHO-LIVE-VIEW ARTEFACT-FOLDER
//
// Documents are copied to a scratch folder first, so the test's edits stay there.
import { spawn } from "node:child_process";
import { chmodSync, cpSync, mkdtempSync, readFileSync, rmSync, mkdirSync, writeFileSync } from "node:fs";
import { request } from "node:http";
import { tmpdir } from "node:os";
import { join, basename } from "node:path";
import assert from "node:assert/strict";
import { createRequire } from "node:module";

// The driver comes from the studio's own npm packages in the build tree.
const puppeteer = createRequire(join(process.env.STUDIO_PACKAGES, "package.json"))("puppeteer-core");

const [corralHost, echoDocument, echoLiveView, artefacts] = process.argv.slice(2);
const scratch = mkdtempSync(join(tmpdir(), "studio-browser-"));
mkdirSync(artefacts, { recursive: true });
const servers = [];

// Starts `corral-host serve` on a copy of `source`; resolves to its address
// and the copy's folder.
async function serve(source, options = [], environment = {}) {
  const folder = join(scratch, String(servers.length), basename(source));
  cpSync(source, folder, { recursive: true });
  const server = spawn(corralHost, ["serve", "--port", "0", ...options, folder],
                       { stdio: ["ignore", "pipe", "inherit"], env: { ...process.env, ...environment } });
  servers.push(server);
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
  return { address, folder, server };
}

// The status of a request made outside the browser, headers as given.
function statusOf(url, headers) {
  return new Promise((resolve, reject) => {
    const r = request(url, { headers }, (response) => { response.resume(); resolve(response.statusCode); });
    r.on("error", reject);
    r.end();
  });
}

const prelude = '#include "Corral/Corral.h"\n#include "Corral/PaddockPageModule.h"\n';
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
  const waitForState = (text, timeout = 30000) => page.waitForFunction(
    (t) => document.getElementById("state").textContent.startsWith(t), { timeout }, text);
  const replaceCode = async (text) => {
    await page.click(".cm-content");
    await page.keyboard.down("Control"); await page.keyboard.press("a"); await page.keyboard.up("Control");
    await page.keyboard.press("Backspace");
    // Inserted as one piece of text input, as a paste would: typed key by
    // key, the editor's closing brackets and indentation would be added too.
    await page.keyboard.sendCharacter(text);
  };

  // 1. Open the Echo document with ?run: it runs at once, talks to its live
  //    view, prints its echoes and passes.
  // Each picture the live-view panel has loaded, as it loaded it.
  await page.evaluateOnNewDocument(() => {
    window.__liveViewDrawn = (event) => { window.__shownPicture = event.svg; };
  });
  const echo = await serve(echoDocument, ["--live-view", echoLiveView,
                                          "--cache", join(scratch, "cache")]);
  await page.goto(echo.address + "&run");
  await page.waitForFunction(() => window.studioReady === true, { timeout: 20000 });
  assert.match(await page.$eval("#tabs", (t) => t.innerText), /Page\.cpp/);
  await page.waitForSelector(".assessment.pass", { timeout: 120000 });
  await waitForState("Finished");
  assert.match(await consoleText(), /echo 1 matches: "Hello, live view!/);
  assert.match(await consoleText(), /All 15 echoes came back unchanged and in order\./);
  assert.match(await page.$eval(".assessment", (a) => a.innerText), /Passed[\s\S]*The live view answered\./);
  // The echo live view drew one bar per answer, in the half of its screen
  // beside the code: the picture shown is that drawing, side by side. The
  // picture is read back from the panel as the browser drew it.
  const shownPicture = () => page.$eval("#live-view .picture", async (picture) => {
    const canvas = document.createElement("canvas");
    canvas.width = picture.naturalWidth ?? picture.width; canvas.height = picture.naturalHeight ?? picture.height;
    const context = canvas.getContext("2d");
    context.drawImage(picture, 0, 0);
    const at = (x, y) => [...context.getImageData(x, y, 1, 1).data.slice(0, 3)];
    // Bars 14 and 15 (orange, blue) near the floor; above bar 15, the grey.
    return { width: canvas.width, height: canvas.height, svg: window.__shownPicture,
             bar14: at(444, 700), bar15: at(476, 700), above: at(476, 100) };
  });
  await page.waitForFunction(() => (window.__shownPicture?.match(/<title>EchoAnswer<\/title>/g) ?? []).length === 15,
                             { timeout: 20000 });
  const echoPicture = await shownPicture();
  assert.match(echoPicture.svg, /<title>EchoView answered 15<\/title>/);
  assert.deepEqual([echoPicture.width, echoPicture.height], [512, 768]);
  const near = (rgb, expected) => rgb.every((c, i) => Math.abs(c - expected[i]) <= 3);
  assert.ok(near(echoPicture.bar14, [242, 140, 38]), JSON.stringify(echoPicture));
  assert.ok(near(echoPicture.bar15, [51, 115, 204]), JSON.stringify(echoPicture));
  assert.ok(near(echoPicture.above, [230, 230, 230]), JSON.stringify(echoPicture));
  assert.equal(await page.$eval("#layout", (l) => l.className), "side-by-side");
  await page.screenshot({ path: join(artefacts, "studio.png") });
  console.log("ran Echo from ?run: console, pass and its live view's picture shown; screenshot in",
              join(artefacts, "studio.png"));

  // 2. A compile error is shown at its line, and the edit was saved.
  await replaceCode(prelude + "PADDOCK_PAGE_MAIN() {\nint broken = ;\n}");
  await page.click("#run");
  await waitForState("Compile error", 120000);
  const errorLine = await page.waitForFunction(() => {
    const lines = [...document.querySelectorAll(".cm-line")];
    const index = lines.findIndex((l) => l.querySelector(".cm-lintRange-error"));
    return index >= 0 ? index + 1 : null;
  }, { timeout: 20000 });
  assert.equal(await errorLine.jsonValue(), 4);
  assert.match(await consoleText(), /Page\.cpp:4:\d+: error/);
  assert.match(readFileSync(join(echo.folder, "Page.cpp"), "utf8"), /int broken = ;/);
  await page.screenshot({ path: join(artefacts, "studio-compile-error.png") });
  console.log("compile error shown at line 4");

  // 3. A page that never ends is stopped; the server goes on serving.
  await replaceCode(prelude + 'PADDOCK_PAGE_MAIN() {\nstd::puts("looping");\nstd::fflush(stdout);\nfor (volatile int i = 0;; i = i + 1) {\n}\n}');
  await page.click("#run");
  await page.waitForFunction(() => document.getElementById("console").innerText.includes("looping"),
                             { timeout: 120000 });
  await page.click("#stop");
  await waitForState("Stopped");
  assert.equal(await page.evaluate(async () => (await fetch("/api/document")).status), 200);
  console.log("endless page stopped, server still serving; state:", await state());

  // 3b. Stop while the page compiles: with a compiler that never finishes,
  //     the run is stopped at once, not after the compile.
  const endlessCompiler = join(scratch, "endless-c++");
  writeFileSync(endlessCompiler, '#!/bin/sh\n[ "$1" = --version ] && { echo "endless c++ 1"; exit 0; }\nexec sleep 300\n');
  chmodSync(endlessCompiler, 0o755);
  const slow = await serve(echoDocument, ["--compiler", endlessCompiler, "--cache", join(scratch, "endless-cache")]);
  await page.goto(slow.address);
  await page.waitForFunction(() => window.studioReady === true, { timeout: 20000 });
  await page.click("#run");
  await waitForState("Compiling");
  await page.click("#stop");
  await waitForState("Stopped");
  assert.match(await consoleText(), /the run was stopped while the page was compiling/);
  await page.goto(echo.address);
  await page.waitForFunction(() => window.studioReady === true, { timeout: 20000 });
  console.log("a run stopped while its page compiled");

  // 4. Hints one at a time, the solution behind a button, the store table.
  await replaceCode(prelude + 'PADDOCK_PAGE_MAIN() {\nPaddockKeyValueStore::current()["score"] = PaddockValue::integer(7);\n' +
    'PaddockPage::current().setAssessmentStatus(PaddockPage::AssessmentStatus::fail(\n' +
    '{"Count the sides.", "A square has four."}, "sides = 4"));\n}');
  await page.click("#run");
  await waitForState("Finished", 120000);
  const hints = () => page.$$eval(".assessment .hint", (h) => h.map((e) => e.textContent));
  assert.deepEqual(await hints(), ["Hint 1 of 2: Count the sides."]);
  assert.equal(await page.$(".assessment .solution"), null);
  const [nextHint, showSolution] = await page.$$(".assessment .actions button");
  await nextHint.click();
  assert.equal((await hints()).length, 2);
  assert.equal(await nextHint.evaluate((b) => b.disabled), true);
  await showSolution.click();
  assert.equal(await page.$eval(".assessment .solution", (s) => s.textContent), "sides = 4");
  assert.match(await page.$eval("#store", (t) => t.innerText), /score\s+7/);
  console.log("hints, solution and store shown");

  // 4b. A page that draws its own live view: the picture appears beside the
  //     code, and its glossary request is a popover over it.
  await replaceCode(prelude + '#include "Corral/ui/UI.h"\n' +
    'PADDOCK_PAGE_MAIN() {\nauto board = ui::View::make(ui::Rect(0, 0, 320, 240));\n' +
    'board->setBackgroundColor(ui::Color::whiteColor());\n' +
    'auto sun = ui::View::make(ui::Rect(40, 40, 80, 80));\n' +
    'sun->setBackgroundColor(ui::Color::colorWithRed(0.95, 0.6, 0.1, 1));\n' +
    'auto ground = ui::View::make(ui::Rect(0, 180, 320, 60));\n' +
    'ground->setBackgroundColor(ui::Color::colorWithRed(0.2, 0.6, 0.2, 1));\n' +
    'board->addSubview(sun);\nboard->addSubview(ground);\n' +
    'auto& page = PaddockPage::current();\npage.setLiveView(board);\n' +
    'page.showGlossaryEntry("sun", std::nullopt, sun);\nbase::print("drew the sun");\n}');
  await page.click("#run");
  await page.waitForSelector("#live-view .picture", { timeout: 120000 });
  await page.waitForSelector("#live-view .popover", { timeout: 20000 });
  // The popover points at the sun's centre, (80, 80) of the 512-point-wide window.
  await page.waitForFunction(() => {
    const p = document.querySelector("#live-view .popover"), img = document.querySelector("#live-view .picture");
    if (!p || !img || img.clientWidth === 0) return false;
    const box = p.getBoundingClientRect(), picture = img.getBoundingClientRect();
    return Math.abs(box.left + box.width / 2 - picture.left - 80 * picture.width / 512) < 4;
  }, { timeout: 20000 });
  assert.match(await page.$eval("#live-view .popover", (p) => p.textContent), /sun/);
  // The page prints after asking for the popover, so its output may arrive
  // a moment after the popover does.
  await page.waitForFunction(() => document.getElementById("console").innerText.includes("drew the sun"),
                             { timeout: 20000 });
  await page.screenshot({ path: join(artefacts, "studio-glossary.png") });
  console.log("live view drawn with its glossary popover");
  await page.click("#stop");
  await waitForState("Stopped");

  // 5. Without the token, or with another Host or Origin, nothing is served.
  const url = new URL(echo.address), token = url.searchParams.get("token");
  const documentUrl = `${url.origin}/api/document?token=${token}`;
  assert.equal(await statusOf(documentUrl, {}), 200);
  assert.equal(await statusOf(`${url.origin}/api/document?token=${"0".repeat(token.length)}`, {}), 403);
  assert.equal(await statusOf(documentUrl, { Host: `attacker.example:${url.port}` }), 403);
  assert.equal(await statusOf(documentUrl, { Origin: "http://attacker.example" }), 403);
  console.log("wrong token, Host and Origin refused");

} catch (error) {
  console.error(error);
  failed = true;
} finally {
  await browser.close();
  for (const server of servers) server.kill("SIGTERM");
  rmSync(scratch, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
