"""The player page of the benchmark document (the show timeline of 100,000
keys, cut as the other benchmarks cut it), measured in headless Chromium:
its size against the document's JSON text, the time until it is ready (first
picture and readout shown, from the start of navigation), and the median time
of a seek to a random frame with the readout updated, over 1,000 seeks.
Exits with status 2 if a goal is missed.

    PYTHONPATH=build/default/python python3 bench/player_bench.py build/default/tool/animationmodel
"""
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "player"))

import animationmodel as am  # noqa: E402
from chromium import Browser  # noqa: E402
from python_bench import INTRO_END, OUTRO_START, show_timeline_text  # noqa: E402

GOALS = {"size": 1.5, "ready": 1500.0, "seek": 2.0}


def main(tool):
    with tempfile.TemporaryDirectory() as folder:
        document = os.path.join(folder, "bench.animation.json")
        page = os.path.join(folder, "bench.html")
        text = am.dumps(am.Animation(am.loads(show_timeline_text()), INTRO_END, OUTRO_START))
        with open(document, "w") as out:
            out.write(text)
        subprocess.run([tool, "play", document, "-o", page], check=True)
        size = os.path.getsize(page) / len(text.encode())
        readies, seeks = [], []
        with Browser() as browser:
            for _ in range(5):
                browser.open(f"file://{page}")
                readies.append(browser.evaluate("animationPlayer.readyAt"))
            seeks = browser.evaluate("""(() => {
                const times = [];
                let seed = 12345;
                for (let i = 0; i < 1000; i++) {
                    seed = (seed * 1103515245 + 12345) % 2147483648;
                    const frame = seed % animationPlayer.frameCount;
                    const start = performance.now();
                    animationPlayer.seek(frame);
                    times.push(performance.now() - start);
                }
                return times;
            })()""")
            layers = browser.evaluate("document.querySelectorAll('#readout tbody tr').length")
    ready, seek = statistics.median(readies), statistics.median(seeks)
    results = {"size": size, "ready": ready, "seek": seek}
    print(f"player page of the benchmark document ({len(text)} bytes of JSON, 100,000 keys, {layers} rows at the "
          "last frame):")
    print(f"  size {size:.3f} x the JSON text (goal {GOALS['size']})")
    print(f"  ready after {ready:.0f} ms, median of 5 loads (goal {GOALS['ready']:.0f} ms)")
    print(f"  seek {seek:.3f} ms, median of 1,000 random seeks (goal {GOALS['seek']} ms)")
    missed = [name for name, value in results.items() if value > GOALS[name]]
    print("missed: " + ", ".join(missed) if missed else "all goals met")
    return 2 if missed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
