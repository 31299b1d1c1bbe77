// The studio's browser side: the editor with a tab per source file, the run
// controls, and the views of what a run reports (console, live view,
// assessment, glossary, key-value store), fed by the server's event stream.
import { EditorView, basicSetup } from "codemirror";
import { EditorState } from "@codemirror/state";
import { keymap } from "@codemirror/view";
import { cpp } from "@codemirror/lang-cpp";
import { lintGutter, setDiagnostics } from "@codemirror/lint";
import { describeValue } from "./values.js";

const $ = (id) => document.getElementById(id);
const studio = { files: [], current: 0, pages: [], page: null, running: false,
                 saveTimers: new Map(), liveSize: null, liveUrl: null, lastEvent: 0,
                 store: new Map() };

async function post(path, body) {
  const response = await fetch(path, { method: "POST", headers: { "Content-Type": "application/json" },
                                       body: JSON.stringify(body ?? {}) });
  const answer = await response.json().catch(() => ({}));
  if (!response.ok) throw new Error(answer.error || response.statusText);
  return answer;
}

// ---- editor and tabs ----
const view = new EditorView({ parent: $("editor") });
const extensions = [basicSetup, cpp(), lintGutter(), EditorView.updateListener.of((update) => {
  if (update.docChanged) scheduleSave(studio.current);
}), keymap.of([{ key: "Mod-Enter", run: () => { runPage(); return true; } },
               { key: "Mod-s", run: () => { saveNow(studio.current); return true; } }])];

function tabTitle(file) { return file.module ? `${file.module}/${file.name}` : file.name; }

function showTab(index) {
  if (studio.files[studio.current]) studio.files[studio.current].state = view.state;
  studio.current = index;
  view.setState(studio.files[index].state);
  [...$("tabs").children].forEach((tab, i) => tab.classList.toggle("active", i === index));
}

function loadFiles(files) {
  studio.files = files.map((file) => ({ ...file,
    state: EditorState.create({ doc: file.text, extensions }) }));
  $("tabs").replaceChildren(...studio.files.map((file, index) => {
    const tab = document.createElement("button");
    tab.textContent = tabTitle(file);
    tab.onclick = () => showTab(index);
    return tab;
  }));
  studio.current = 0;
  view.setState(studio.files[0].state);
  $("tabs").firstChild?.classList.add("active");
}

function fileText(index) {
  return index === studio.current ? view.state.doc.toString() : studio.files[index].state.doc.toString();
}

function scheduleSave(index) {
  clearTimeout(studio.saveTimers.get(index));
  $("save-state").textContent = "Editing…";
  studio.saveTimers.set(index, setTimeout(() => saveNow(index), 400));
}

async function saveNow(index) {
  clearTimeout(studio.saveTimers.get(index));
  studio.saveTimers.delete(index);
  const file = studio.files[index];
  try {
    await post("/api/save", { module: file.module, name: file.name, text: fileText(index) });
    $("save-state").textContent = `Saved ${tabTitle(file)}`;
  } catch (error) {
    $("save-state").textContent = `Not saved: ${error.message}`;
  }
}

async function saveAll() {
  await Promise.all([...studio.saveTimers.keys()].map(saveNow));
}

// Compile errors at their line, in the tab of their file.
function showDiagnostics(diagnostics) {
  const byTab = new Map();
  for (const d of diagnostics) {
    const index = studio.files.findIndex((f) => d.file && (d.file === tabTitle(f) ||
      d.file.endsWith("/" + tabTitle(f)) || (!f.module && d.file === f.name)));
    const tab = index < 0 ? 0 : index;
    if (!byTab.has(tab)) byTab.set(tab, []);
    byTab.get(tab).push(d);
  }
  studio.files.forEach((file, index) => {
    const state = index === studio.current ? view.state : file.state;
    const list = (byTab.get(index) || []).map((d) => {
      const line = state.doc.line(Math.min(Math.max(d.line || 1, 1), state.doc.lines));
      const from = Math.min(line.from + Math.max((d.column || 1) - 1, 0), line.to);
      return { from, to: Math.max(from, line.to), severity: d.severity === "note" ? "info" : d.severity,
               message: d.message };
    });
    const transaction = state.update(setDiagnostics(state, list));
    if (index === studio.current) view.dispatch(transaction); else file.state = transaction.state;
  });
  const first = [...byTab.keys()][0];
  if (first !== undefined && first !== studio.current) showTab(first);
}

// ---- console ----
function consoleLine(text, kind) {
  const line = document.createElement("div");
  line.textContent = text;
  if (kind) line.className = kind;
  const box = $("console");
  const atBottom = box.scrollTop + box.clientHeight >= box.scrollHeight - 4;
  box.append(line);
  while (box.childElementCount > 5000) box.firstChild.remove();
  if (atBottom) box.scrollTop = box.scrollHeight;
}

// ---- run state ----
function setState(text, kind) { const s = $("state"); s.textContent = text; s.className = "state " + kind; }
function setRunning(running) { studio.running = running; $("stop").disabled = !running; }

async function runPage(page) {
  await saveAll();
  try {
    await post("/api/run", { mode: $("mode").value, page: page ?? $("page").value ?? "" });
  } catch (error) { consoleLine(`Could not start the run: ${error.message}`, "error"); }
}

// ---- live view ----
// The toolkit draws a live view as one rect per view (filled with the
// view's colour and outlined, titled with its class), subviews over their
// superview. Such a picture is painted on a canvas straight from its rects:
// a browser loads an SVG image of a thousand elements several times slower
// than a live view redraws. Any other picture is shown as an SVG image.
const rectPattern = /<rect x="([-+0-9.e]+)" y="([-+0-9.e]+)" width="([+0-9.e]+)" height="([+0-9.e]+)"(?: fill="(none|#[0-9A-Fa-f]{6})")?(?: fill-opacity="([+0-9.e]+)")?(?: stroke="(#[0-9A-Fa-f]{6})" stroke-width="([+0-9.e]+)")?><title>([^<]*)<\/title><\/rect>/g;
const svgPattern = /^<svg xmlns="http:\/\/www\.w3\.org\/2000\/svg" width="([+0-9.e]+)" height="([+0-9.e]+)" viewBox="([-+0-9.e]+) ([-+0-9.e]+) ([+0-9.e]+) ([+0-9.e]+)">\s*((?:<rect [^>]*><title>[^<]*<\/title><\/rect>\s*)*)<\/svg>\s*$/;

// The rects of a toolkit picture, or null for any other SVG.
function rectsOf(svg) {
  const whole = svgPattern.exec(svg);
  if (!whole) return null;
  const rects = [];
  for (const m of whole[7].matchAll(rectPattern))
    rects.push({ x: +m[1], y: +m[2], width: +m[3], height: +m[4], fill: m[5] !== "none" ? m[5] : null,
                 opacity: m[6] === undefined ? 1 : +m[6], stroke: m[7], strokeWidth: +(m[8] ?? 0),
                 title: m[9].replace(/&lt;/g, "<").replace(/&gt;/g, ">").replace(/&quot;/g, '"').replace(/&amp;/g, "&") });
  // Every element must have been understood.
  if (rects.length !== (whole[7].match(/<rect /g) ?? []).length) return null;
  return { box: [+whole[3], +whole[4], +whole[5], +whole[6]], rects };
}

function paintRects(canvas, picture) {
  const [left, top, width, height] = picture.box;
  canvas.width = Math.round(width); canvas.height = Math.round(height);
  const g = canvas.getContext("2d");
  g.clearRect(0, 0, canvas.width, canvas.height);
  g.translate(-left, -top);
  for (const r of picture.rects) {
    if (r.fill) { g.globalAlpha = r.opacity; g.fillStyle = r.fill; g.fillRect(r.x, r.y, r.width, r.height); }
    g.globalAlpha = 1;
    if (r.stroke && r.strokeWidth > 0) {
      g.strokeStyle = r.stroke; g.lineWidth = r.strokeWidth; g.strokeRect(r.x, r.y, r.width, r.height);
    }
  }
  canvas.rects = picture;
}

// Hovering a view of a painted picture names it, as an SVG image's titles would.
function nameViewUnder(event) {
  const canvas = event.currentTarget, picture = canvas.rects;
  if (!picture) return;
  const bounds = canvas.getBoundingClientRect(), scale = picture.box[2] / bounds.width;
  const x = picture.box[0] + (event.clientX - bounds.left) * scale, y = picture.box[1] + (event.clientY - bounds.top) * scale;
  let name = "";
  for (const r of picture.rects)
    if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) name = r.title;
  canvas.title = name;
}

// The panel's picture element of the given kind, made when missing.
function pictureElement(kind) {
  const box = $("live-view");
  let element = box.querySelector(".picture");
  if (element?.localName !== kind) {
    element = document.createElement(kind);
    element.className = "picture";
    if (kind === "img") element.alt = "live view";
    else { element.setAttribute("role", "img"); element.setAttribute("aria-label", "live view");
           element.addEventListener("mousemove", nameViewUnder); }
    box.replaceChildren(element);
  }
  return element;
}

function showPicture(event) {
  studio.liveSize = { width: event.width, height: event.height };
  $("layout").className = event.fullScreen ? "full-screen" : "side-by-side";
  $("live-view").classList.remove("stale");
  window.__liveViewDrawn?.(event);
}

// SVG images are coalesced: while one loads, a newer picture waits in its
// place (replacing any that waited before it), so a live view that redraws
// faster than the browser loads its pictures is shown at its latest state
// instead of falling further and further behind.
function drawLiveView(event) {
  if (studio.liveLoading) { studio.livePending = event; return; }
  const rects = rectsOf(event.svg);
  if (rects) {
    paintRects(pictureElement("canvas"), rects);
    showPicture(event);
    return;
  }
  const img = pictureElement("img");
  const url = URL.createObjectURL(new Blob([event.svg], { type: "image/svg+xml" }));
  const load = studio.liveLoading = {};
  const loaded = () => {
    if (studio.liveLoading !== load) return;  // the panel was cleared meanwhile
    if (studio.liveUrl && studio.liveUrl !== url) URL.revokeObjectURL(studio.liveUrl);
    studio.liveUrl = url; studio.liveLoading = null;
    showPicture(event);
    const next = studio.livePending;
    studio.livePending = null;
    if (next) drawLiveView(next);
  };
  img.onload = loaded; img.onerror = loaded;
  img.src = url;
}

// Forgets the picture that loads or waits, when the panel is cleared.
function forgetLiveView() { studio.liveLoading = null; studio.livePending = null; }

function showGlossary(event) {
  const box = $("live-view"), img = box.querySelector(".picture");
  box.querySelector(".popover")?.remove();
  const pop = document.createElement("div");
  pop.className = "popover";
  const title = document.createElement("b");
  title.textContent = event.name;
  pop.append(title, document.createTextNode("Glossary entry"));
  // Placed under the location in the picture; a picture that is still
  // loading has no size yet, so the popover waits for it.
  const place = () => {
    let x = box.clientWidth / 2, y = box.clientHeight / 2;
    if (event.location && img && studio.liveSize && img.clientWidth > 0) {
      const scale = img.clientWidth / studio.liveSize.width;
      const imgBox = img.getBoundingClientRect(), outer = box.getBoundingClientRect();
      x = imgBox.left - outer.left + (event.location.x + event.location.width / 2) * scale;
      y = imgBox.top - outer.top + (event.location.y + event.location.height) * scale;
    }
    pop.style.left = `${x}px`; pop.style.top = `${y}px`;
  };
  if (event.location && img?.localName === "img" && !(img.complete && img.clientWidth > 0))
    img.addEventListener("load", place, { once: true });
  place();
  box.append(pop);
  setTimeout(() => pop.remove(), 6000);
  pop.onclick = () => pop.remove();
}

// ---- assessment ----
function showAssessment(status) {
  const box = $("assessment");
  box.replaceChildren();
  if (!status) { box.className = "panel assessment hidden"; return; }
  const title = document.createElement("div");
  title.className = "title";
  box.append(title);
  if ("pass" in status) {
    box.className = "panel assessment pass";
    title.textContent = "✔ Passed";
    if (status.pass) { const m = document.createElement("div"); m.textContent = status.pass; box.append(m); }
    return;
  }
  box.className = "panel assessment fail";
  title.textContent = "Not yet — keep going";
  const hints = status.fail?.hints || [], solution = status.fail?.solution;
  let shown = 0;
  const list = document.createElement("div"), actions = document.createElement("div");
  actions.className = "actions";
  const hintButton = document.createElement("button");
  hintButton.className = "small";
  const next = () => {
    if (shown >= hints.length) return;
    const hint = document.createElement("div");
    hint.className = "hint";
    hint.textContent = `Hint ${shown + 1} of ${hints.length}: ${hints[shown++]}`;
    list.append(hint);
    hintButton.textContent = "Next hint";
    hintButton.disabled = shown >= hints.length;
  };
  hintButton.onclick = next;
  box.append(list, actions);
  if (hints.length) { actions.append(hintButton); next(); }
  if (solution) {
    const solutionButton = document.createElement("button");
    solutionButton.className = "small";
    solutionButton.textContent = "Show solution";
    solutionButton.onclick = () => {
      const s = document.createElement("div");
      s.className = "solution"; s.textContent = solution;
      box.append(s); solutionButton.remove();
    };
    actions.append(solutionButton);
  }
}

// ---- key-value store ----
function showStore(changedKey) {
  const body = $("store").tBodies[0];
  body.replaceChildren(...[...studio.store.keys()].sort().map((key) => {
    const row = body.insertRow ? document.createElement("tr") : null;
    const k = document.createElement("td"), v = document.createElement("td");
    k.textContent = key; v.textContent = describeValue(studio.store.get(key));
    row.append(k, v);
    if (key === changedKey) row.className = "changed";
    return row;
  }));
}

// ---- events ----
const endings = { returned: "Finished", finished: "Finished", stopped: "Stopped", timeout: "Timed out",
                  signal: "Crashed", crash: "Crashed", limit: "Stopped at a limit", error: "Failed",
                  exited: "Exited" };

function handle(event) {
  switch (event.event) {
    case "hello":
      studio.pages = event.pages || [];
      $("page").replaceChildren(...studio.pages.map((name, i) => new Option(name, String(i + 1))));
      $("page").hidden = studio.pages.length < 2;
      break;
    case "runRequested":
      $("console").replaceChildren(); showDiagnostics([]); showAssessment(null);
      $("live-view").classList.add("stale");
      setRunning(true); setState("Starting…", "running");
      break;
    case "compiling": setState("Compiling…", "running"); break;
    case "compiled": if (event.diagnostics?.length) showDiagnostics(event.diagnostics); break;
    case "compileError":
      setState("Compile error", "failed");
      showDiagnostics(event.diagnostics || []);
      if (event.problem) consoleLine(event.problem, "error");
      for (const d of event.diagnostics || [])
        consoleLine(`${d.file ?? ""}${d.line ? ":" + d.line : ""}${d.column ? ":" + d.column : ""}: ${d.severity}: ${d.message}`,
                    d.severity === "error" ? "error" : "system");
      break;
    case "executionMode": $("mode").value = event.mode; break;
    case "started": setState(`Running (${$("mode").selectedOptions[0]?.text ?? event.mode})`, "running"); break;
    case "console":
      consoleLine(event.text, (event.stream === "stderr" ? "stderr" : "") + (event.partial ? " partial" : ""));
      break;
    case "running": setState("Running — waiting for events", "running"); break;
    case "assessmentStatus": showAssessment(event.status); break;
    case "storeContents":
      studio.store = new Map(Object.entries(event.contents || {})); showStore(); break;
    case "store":
      if (event.value === null) studio.store.delete(event.key); else studio.store.set(event.key, event.value);
      showStore(event.key); break;
    case "wantsFullScreenLiveView":
      $("layout").className = event.value ? "full-screen" : "side-by-side"; break;
    case "liveView": drawLiveView(event); break;
    case "liveViewCleared":
      forgetLiveView();
      $("live-view").replaceChildren(Object.assign(document.createElement("div"),
        { className: "placeholder", textContent: "The live view was cleared" }));
      break;
    case "glossary": showGlossary(event); break;
    case "openPage":
      if (event.page !== null && event.page !== undefined) {
        $("page").value = String(event.page + 1);
        consoleLine(`Opening page ${event.name ?? event.reference}`, "system");
        runPage(String(event.page + 1));
      } else consoleLine(`There is no page ${event.reference}`, "error");
      break;
    case "openDocument": case "openApplication":
      consoleLine(`The page asked to open ${event.url}`, "system"); break;
    case "hostMessage": consoleLine(`${event.about}: ${event.message}`, "system"); break;
    case "commandError": consoleLine(`Refused: ${event.message}`, "error"); break;
    case "ended": {
      // A live view in a process of its own sends no picture here.
      const placeholder = $("live-view").querySelector(".placeholder");
      if (placeholder) placeholder.textContent = "This run drew no live view here";
      const passed = $("assessment").classList.contains("pass");
      setState(endings[event.cause] || "Ended", ["returned", "finished", "stopped"].includes(event.cause)
        ? (passed ? "passed" : "idle") : "failed");
      if (!["returned", "finished"].includes(event.cause)) consoleLine(event.message || event.cause, "error");
      break;
    }
    case "runFinished": setRunning(false); break;
  }
}

function listen() {
  const source = new EventSource(`/api/events?after=${studio.lastEvent}`);
  source.onmessage = (message) => {
    studio.lastEvent = Number(message.lastEventId) || studio.lastEvent;
    try { handle(JSON.parse(message.data)); } catch (error) { console.error(error); }
  };
}

async function start() {
  const answer = await (await fetch("/api/document")).json();
  $("document-name").textContent = answer.document;
  document.title = `${answer.document} — Corral Studio`;
  loadFiles(answer.files);
  studio.lastEvent = answer.lastEvent;
  setRunning(answer.running);
  listen();
  $("run").onclick = () => runPage();
  $("stop").onclick = () => post("/api/stop").catch(() => {});
  $("clear").onclick = () => $("console").replaceChildren();
  $("fullscreen").onclick = () => {
    $("layout").className = $("layout").className === "full-screen" ? "side-by-side" : "full-screen";
  };
  $("mode").onchange = () => { if (studio.running) post("/api/command", { command: "setMode", mode: $("mode").value }).catch(() => {}); };
  window.studioReady = true;
  if (new URLSearchParams(location.search).has("run")) runPage();
}

start().catch((error) => consoleLine(`The studio could not load the document: ${error.message}`, "error"));
