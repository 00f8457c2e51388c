"""A stand-in for the converter program: installs an executable named
zelc.exe on PATH that follows a plan (output bytes, pauses, standard error,
exit code, what it does when asked to stop) and records its arguments."""

import json
import os
import stat
import sys

PROGRAM = f"""#!{sys.executable}
import json, os, signal, sys, time
plan = json.load(open(os.environ["FAKE_ZELC_PLAN"]))
if plan.get("term_file"):
    def on_term(*_):
        open(plan["term_file"], "w").write("asked to stop")
        os._exit(143)
    signal.signal(signal.SIGTERM, on_term)
if plan.get("ignore_term"):
    signal.signal(signal.SIGTERM, signal.SIG_IGN)
if plan.get("argv_file"):
    json.dump(sys.argv[1:], open(plan["argv_file"], "w"))
if plan.get("create"):
    open(plan["create"], "w").write("partial")
out = sys.stdout.buffer
for item in plan.get("stdout", []):
    if isinstance(item, (int, float)):
        time.sleep(item)
        continue
    out.write(bytes.fromhex(item))
    out.flush()
if plan.get("stderr"):
    sys.stderr.buffer.write(plan["stderr"].encode())
    sys.stderr.flush()
if plan.get("linger"):
    out.close()
    os.close(1)
    time.sleep(plan["linger"])
sys.exit(plan.get("exit", 0))
"""


def out(*texts):
    """Output items: text (encoded as UTF-8), raw bytes, or a pause in seconds."""
    items = []
    for t in texts:
        if isinstance(t, (int, float)):
            items.append(t)
        else:
            items.append((t if isinstance(t, bytes) else t.encode()).hex())
    return items


class FakeZelc:
    def __init__(self, folder, monkeypatch):
        self.folder = folder
        self.plan_path = folder / "plan.json"
        self.argv_path = folder / "argv.json"
        program = folder / "zelc.exe"
        program.write_text(PROGRAM)
        program.chmod(program.stat().st_mode | stat.S_IEXEC)
        monkeypatch.setenv("PATH", f"{folder}{os.pathsep}{os.environ['PATH']}")
        monkeypatch.setenv("FAKE_ZELC_PLAN", str(self.plan_path))
        self.plan()

    def plan(self, **plan):
        plan.setdefault("argv_file", str(self.argv_path))
        self.plan_path.write_text(json.dumps(plan))

    def argv(self):
        return json.loads(self.argv_path.read_text())
