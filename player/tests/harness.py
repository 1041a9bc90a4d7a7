"""What the player's browser tests share: the tool, the checks, and the
readout compared with `animationmodel sample`.

Each test script is run as `python3 SCRIPT.py TOOL EXAMPLE.animation.json WORK_FOLDER`."""
import os
import subprocess
import sys

TOOL, EXAMPLE, WORK = sys.argv[1:4]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)


def run(*args):
    return subprocess.run([TOOL, *args], check=True, capture_output=True).stdout.decode()


def csv_field(text):
    return '"' + text.replace('"', '""') + '"' if any(c in text for c in ',"\r\n') else text


def page_of(document, name):
    page = os.path.join(WORK, name)
    run("play", document, "-o", page)
    return page


def sample_lines(document, first=None):
    args = ["sample", document] + ([] if first is None else ["--from", str(first), "--to", str(first + 1)])
    return run(*args).split("\r\n")[1:-1]


def page_lines(browser, frame):
    rows = browser.evaluate(f"animationPlayer.seek({frame}); animationPlayer.rows()")
    return [",".join(csv_field(field) for field in row) for row in rows]


def finish():
    print(f"{len(failures)} failed checks")
    return 1 if failures else 0
