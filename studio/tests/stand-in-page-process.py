#!/usr/bin/env python3
"""A scripted page process for the studio server's tests: speaks the page
protocol (JSON Lines on stdin and stdout) and acts on markers in the
document's Page.cpp instead of compiling it:

  SAY <text>        prints <text> on standard output (one console event)
  WARN <text>       prints <text> on standard error
  PASS <message>    reports a passed assessment
  FAIL_SYNTAX       reports a compile error at the marker's line
  LOOP              keeps running until stopped
  FLOOD             writes console lines without end
  HINTS <h1>|<h2>|<solution>
                    reports a failed assessment with hints and a solution
  GLOSSARY <name>   asks for the glossary entry at the live view's circle
  STORE <key> <n>   sets an integer in the key-value store
  CRASH             dies of SIGSEGV without an ended event
  ANIMATE <views> <frames>
                    draws that many live views of that many views each,
                    stamped with the wall-clock time of their layout pass
"""
import json, os, signal, sys, threading, time

args = sys.argv[1:]
document = args[-1]
mode = args[args.index("--mode") + 1] if "--mode" in args else "run"
page = open(os.path.join(document, "Page.cpp"), encoding="utf-8").read().splitlines()

def emit(**event):
    sys.stdout.write(json.dumps(event) + "\n")
    sys.stdout.flush()

stopped = threading.Event()
def read_commands():
    for line in sys.stdin:
        command = json.loads(line)
        if command.get("command") == "stop":
            stopped.set()
        else:
            emit(event="echo", command=command)
threading.Thread(target=read_commands, daemon=True).start()
signal.signal(signal.SIGTERM, lambda *_: stopped.set())

emit(event="hello", protocol=1, version="0.1.0", page=0, pages=["Intro"])
emit(event="compiling", page=0, file="Page.cpp")
for number, line in enumerate(page, 1):
    if "FAIL_SYNTAX" in line:
        emit(event="compileError", diagnostics=[{"file": "Page.cpp", "line": number, "column": 5,
             "severity": "error", "message": "expected ';' before '}' token"}])
        sys.exit(65)
emit(event="compiled", cached=True, diagnostics=[])
emit(event="executionMode", mode=mode)
emit(event="storeContents", contents={"visits": {"integer": 1}})
emit(event="started", mode=mode, page=0, name="Intro")
emit(event="liveView", svg='<svg xmlns="http://www.w3.org/2000/svg" width="512" height="768">'
     '<rect width="512" height="768" fill="#ffffff"/><circle cx="256" cy="300" r="80" fill="#e07a5f"/></svg>',
     width=512, height=768, fullScreen=False)
for line in page:
    text = line.strip().lstrip("/ ")
    if text.startswith("SAY "):
        emit(event="console", stream="stdout", text=text[4:], partial=False)
    elif text.startswith("WARN "):
        emit(event="console", stream="stderr", text=text[5:], partial=False)
    elif text.startswith("PASS "):
        emit(event="assessmentStatus", status={"pass": text[5:]})
    elif text.startswith("HINTS "):
        *hints, solution = text[6:].split("|")
        emit(event="assessmentStatus", status={"fail": {"hints": hints, "solution": solution}})
    elif text.startswith("GLOSSARY "):
        emit(event="glossary", name=text[9:], location={"x": 176, "y": 220, "width": 160, "height": 160})
    elif text.startswith("STORE "):
        key, number = text[6:].split()
        emit(event="store", key=key, value={"integer": int(number)})
    elif text == "CRASH":
        os.kill(os.getpid(), signal.SIGSEGV)
    elif text == "FLOOD":
        n = 0
        while not stopped.is_set():
            emit(event="console", stream="stdout", text="flood %d" % n, partial=False)
            n += 1
    elif text.startswith("ANIMATE "):
        views, frames = (int(n) for n in text.split()[1:3])
        for frame in range(frames):
            shapes = "".join('<rect x="%d" y="%d" width="12" height="12" fill="#%06x"/>'
                             % ((i * 17 + frame * 3) % 500, (i * 29) % 756, (i * 2654435761) & 0xffffff)
                             for i in range(views))
            emit(event="liveView", svg='<svg xmlns="http://www.w3.org/2000/svg" width="512" height="768">'
                 + shapes + "</svg>", width=512, height=768, fullScreen=False, stamp=time.time() * 1000)
            time.sleep(0.1)
    elif text == "LOOP":
        emit(event="running")
        stopped.wait()
if stopped.is_set():
    emit(event="ended", cause="stopped", status=0, signal=None, message="the run was stopped")
else:
    emit(event="ended", cause="returned", status=0, signal=None, message="the page returned")
