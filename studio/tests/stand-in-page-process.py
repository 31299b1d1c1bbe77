#!/usr/bin/env python3
"""A scripted page process for the studio server's tests: speaks the page
protocol (JSON Lines on stdin and stdout) and acts on markers in the
document's Page.cpp instead of compiling it:

  SAY <text>        prints <text> on standard output (one console event)
  WARN <text>       prints <text> on standard error
  PASS <message>    reports a passed assessment
  LOOP              keeps running until stopped
  FLOOD             writes console lines without end
  CRASH             dies of SIGSEGV without an ended event

The studio in the browser runs real pages; this peer gives the server's
tests what a real page cannot give exactly: a process that dies without an
end, a flood, events in a known order.
"""
import json, os, signal, sys, threading

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
emit(event="compiled", cached=True, diagnostics=[])
emit(event="executionMode", mode=mode)
emit(event="storeContents", contents={"visits": {"integer": 1}})
emit(event="started", mode=mode, page=0, name="Intro")
for line in page:
    text = line.strip().lstrip("/ ")
    if text.startswith("SAY "):
        emit(event="console", stream="stdout", text=text[4:], partial=False)
    elif text.startswith("WARN "):
        emit(event="console", stream="stderr", text=text[5:], partial=False)
    elif text.startswith("PASS "):
        emit(event="assessmentStatus", status={"pass": text[5:]})
    elif text == "CRASH":
        os.kill(os.getpid(), signal.SIGSEGV)
    elif text == "FLOOD":
        n = 0
        while not stopped.is_set():
            emit(event="console", stream="stdout", text="flood %d" % n, partial=False)
            n += 1
    elif text == "LOOP":
        emit(event="running")
        stopped.wait()
if stopped.is_set():
    emit(event="ended", cause="stopped", status=0, signal=None, message="the run was stopped")
else:
    emit(event="ended", cause="returned", status=0, signal=None, message="the page returned")
