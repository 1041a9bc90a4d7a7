"""Loading the 100,000-key show timeline document, cutting it and saving the
animation from Python, against the same three steps done in C++ in the same
process (animationmodel._load_cut_save). Prints both medians and their ratio;
exits with status 2 if the ratio misses its goal of 1.2.

Run with the module on the path, e.g.
    PYTHONPATH=build/default/python python3 bench/python_bench.py
"""
import statistics
import sys
import time

import animationmodel as am

LAYERS, KEYS, FRAMES = 200, 500, 10
INTRO_END, OUTRO_START = 100 * FRAMES + FRAMES // 2, 400 * FRAMES + FRAMES // 2
REPETITIONS, GOAL = 9, 1.2


def show_timeline_text():
    """The C++ suite's show timeline: 200 layers of 500 keys of 10 frames, alternately Linear and Held1."""
    held = am.AnimationKey(am.AnimationKeyCommand(am.Held1), FRAMES)
    timeline = am.LayerMap()
    for layer in range(LAYERS):
        timeline["layer " + str(layer)] = [
            am.AnimationKey(am.AnimationKeyCommand(am.Linear, [0.0, float(i)]), FRAMES) if i % 2 == 0 else held
            for i in range(KEYS)
        ]
    return am.timeline_to_json(timeline)


def from_python(text):
    timeline = am.loads(text)
    return am.dumps(am.Animation(timeline, INTRO_END, OUTRO_START))


def in_cpp(text):
    return am._load_cut_save(text, INTRO_END, OUTRO_START)


def in_cpp_keeping_the_timeline(text):
    return am._load_cut_save(text, INTRO_END, OUTRO_START, keep=True)


def safety_costs(text):
    """Medians of the cut and of dumps on a LayerMap held by Python, as the
    module does them (the interpreter lock held, no copy), against copying
    the input with the lock held and releasing it for the work."""
    timeline = am.loads(text)
    runs = {
        "cut, lock held": lambda: am.Animation(timeline, INTRO_END, OUTRO_START),
        "cut, copy then lock released": lambda: am._cut_on_a_copy(timeline, INTRO_END, OUTRO_START),
        "dumps, lock held": lambda: am.dumps(timeline),
        "dumps, copy then lock released": lambda: am._dumps_on_a_copy(timeline),
    }
    times = {name: [] for name in runs}
    for _ in range(REPETITIONS):
        for name, run in runs.items():
            start = time.perf_counter()
            run()
            times[name].append(time.perf_counter() - start)
    for name, spent in times.items():
        print(f"  {name}: {statistics.median(spent) * 1e3:.2f} ms")


def main():
    text = show_timeline_text()
    assert from_python(text) == in_cpp(text)
    times = {from_python: [], in_cpp: [], in_cpp_keeping_the_timeline: []}
    for _ in range(REPETITIONS):
        for run, spent in times.items():
            start = time.perf_counter()
            run(text)
            spent.append(time.perf_counter() - start)
    python = statistics.median(times[from_python])
    cpp = statistics.median(times[in_cpp])
    keeping = statistics.median(times[in_cpp_keeping_the_timeline])
    ratio = python / cpp
    print(f"load, cut and save {len(text)} bytes ({LAYERS * KEYS} keys), median of {REPETITIONS}:")
    print(f"  from Python {python * 1e3:.2f} ms, in C++ {cpp * 1e3:.2f} ms (timeline moved into the cut), "
          f"ratio {ratio:.3f} (goal {GOAL}) " + ("met" if ratio <= GOAL else "MISSED"))
    print(f"  in C++ keeping the timeline, as Python does: {keeping * 1e3:.2f} ms, ratio {python / keeping:.3f}")
    print("what the safety of shared objects costs, on a LayerMap held by Python, median of "
          f"{REPETITIONS}:")
    safety_costs(text)
    return 0 if ratio <= GOAL else 2


if __name__ == "__main__":
    sys.exit(main())
