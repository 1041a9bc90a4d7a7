"""The runtime and the loaders against hostile input."""
import gc
import os
import subprocess
import sys
import weakref

import pytest

np = pytest.importorskip("numpy")

import animationmodel as am  # noqa: E402
from animationmodel import AnimationClip, AnimationPhase, ClipCursor, ClipPlayback, PlaybackStep  # noqa: E402

ANIMATION = os.path.join(os.environ.get("ANIMATIONMODEL_EXAMPLES", os.path.join(os.path.dirname(__file__), "..",
                                                                                "..", "examples")),
                         "data", "show.animation.json")
CLIP = AnimationClip(am.load_animation(ANIMATION))


def run_child(code, timeout=240):
    child = subprocess.run([sys.executable, "-c", "import animationmodel as am, gc, numpy as np\n" + code],
                           capture_output=True, text=True, timeout=timeout, env=dict(os.environ))
    assert child.returncode == 0, f"exit status {child.returncode}\n{child.stderr}"
    return child.stdout


def test_channel_indices_that_raise_or_pass_64_bits():
    assert run_child(f"""clip = am.AnimationClip(am.load_animation({ANIMATION!r}))
class Refuses:
    def __index__(self): raise KeyError("mine")
for channels in ([Refuses()], [1, Refuses()], np.array([[0, 1]])):
    try: am.ClipCursor(clip).sample_frame(0, channels)
    except (KeyError, TypeError) as error: print(type(error).__name__)
blank = am.ClipCursor.__new__(am.ClipCursor)
print(gc.is_tracked(blank), gc.collect() >= 0)""").split() == [
        "KeyError", "KeyError", "TypeError", "True", "True"]
    for index in (2**63, -2**63 - 1, np.uint64(2**64 - 1), -1):
        for use in (lambda: CLIP.sample([0.0], [index]), lambda: CLIP.channel_name(index)):
            with pytest.raises(IndexError, match=rf"^channel {int(index)} out of range \(the clip has 5 channels\)$"):
                use()
    for mask, name in ((np.array([True, False, True, False, True]), "numpy.bool_"), ([True], "bool")):
        with pytest.raises(TypeError, match=f"^a channel must be an int index or a str name, not {name}$"):
            CLIP.sample([0.0], mask)
    assert repr(AnimationClip({"x": [am.AnimationKey(am.AnimationKeyCommand(am.Held1), 1)]})) == (
        "<AnimationClip of 1 channel, 1 key, 1 frame at 25.0 fps, from a timeline>")


def test_text_and_paths_that_name_nothing(tmp_path):
    path = tmp_path / "a.json"
    am.dump(am.Animation(), path)
    before = path.read_bytes()
    reader = type("Reader", (), {"read": lambda self: "\ud800"})()
    for load in (am.load, am.load_clip, am.load_animation, am.load_timeline):
        with pytest.raises(ValueError, match="^embedded null byte$"):
            load(f"{path}\0.json")
        for source in (reader, "\ud800.json"):
            with pytest.raises(UnicodeEncodeError):
                load(source)
    for dump in (am.dump, am.dump_clip):
        with pytest.raises(ValueError, match="^embedded null byte$"):
            dump(am.Animation({"x": []}, {}, {}), f"{path}\0.json")
    assert path.read_bytes() == before
    for use in (lambda: CLIP.sample([0.0], ["\ud800"]), lambda: am.LayerMap({"\udcff": []})):
        with pytest.raises(UnicodeEncodeError):
            use()
    with pytest.raises(ValueError, match="^minimum_fps must be a number, not nan$"):
        am.load_clip(ANIMATION, minimum_fps=float("nan"))


def test_phases_and_states_that_are_none():
    for value in (3, 255, -1):
        with pytest.raises(ValueError, match=f"^{value} is not a valid AnimationPhase$"):
            AnimationPhase(value)
    assert [AnimationPhase(p) for p in (0, 1, 2)] == [AnimationPhase.Intro, AnimationPhase.Body, AnimationPhase.Outro]
    blank = AnimationPhase.__new__(AnimationPhase)
    assert not hasattr(blank, "__setstate__")
    for use in (CLIP.phase_length, am.phase_name, am.Animation().phase):
        with pytest.raises(TypeError, match="^AnimationPhase instance holds no value"):
            use(blank)
    for cls, state in ((PlaybackStep, (0, False, False, 0, False)), (PlaybackStep, (None, False, False, 0, False)),
                       (PlaybackStep, (AnimationPhase.Body, False, False, -1, False)), (am.AnimationKey, (1, 1)),
                       (am.LayerSample, ("a", 1, 2, 3, 4)), (am.CutOverrun, ("a", -1, 2))):
        blank = cls.__new__(cls)
        with pytest.raises(TypeError, match=rf"^{cls.__name__} state must be as __getstate__ gives it, not \("):
            blank.__setstate__(state)
        assert not am._holds_value(blank)


def test_playback_past_64_bits():
    for lengths in ([2**63, 2**63, 0], [2**64 - 1, 1, 2**64 - 1]):
        with pytest.raises(ValueError, match=r"^the phases must add up to at most 2\*\*64 - 1 frames$"):
            ClipPlayback(lengths, 25.0)
    playback = ClipPlayback([0, 2**63, 2**63 - 1], 1.0)
    playback.looping = False
    playback.advance(2.0**63 + 2.0**62)
    assert (playback.phase, playback.frame) == (AnimationPhase.Outro, 2.0**63 + 2.0**62)
    for seconds, wraps in ((1e300, 2**64 - 1), (3 * 2.0**64, 2**64 - 1), (3 * 2.0**63, 2**63)):
        step = ClipPlayback([0, 3, 1], 1.0).advance(seconds)
        assert (step.wrapped, step.wraps) == (True, wraps)


def test_positions_numpy_cannot_convert_and_cycles():
    for sample in (CLIP.sample, ClipCursor(CLIP).sample):
        for positions, error in (([2**1100], OverflowError), ([object()], TypeError),
                                 (np.broadcast_to(np.float64(1.0), (2**50,)), MemoryError)):
            with pytest.raises(error):
                sample(positions)
        assert sample(np.arange(8.0)[::4])[0].tobytes() == CLIP.sample([0.0, 4.0])[0].tobytes()
    clip = type("Clip", (AnimationClip,), {})(am.load_animation(ANIMATION))
    clip.cursor = ClipCursor(clip)
    gone = weakref.ref(clip)
    del clip
    gc.collect()
    assert gone() is None


def test_daemon_threads_working_without_the_gil_at_exit():
    for _ in range(3):
        assert run_child(f"""import threading, time
clip, text = am.AnimationClip(am.load_animation({ANIMATION!r})), open({ANIMATION!r}).read()
def work():
    while True:
        clip.sample(np.arange(0, 96, 0.001)), am.clip_from_json(text), am.loads(text)
for _ in range(4):
    threading.Thread(target=work, daemon=True).start()
class Busy:  # runs Python once the interpreter is finalizing, letting threads waiting for the GIL have it
    def __del__(self):
        end = time.monotonic() + 0.2
        while time.monotonic() < end:
            pass
busy = Busy()
busy.cycle = busy
del busy
time.sleep(0.2)
print("exit")""") == "exit\n"
    # An atexit function registered before the import joins a daemon thread that was inside a call.
    child = subprocess.run([sys.executable, "-c", f"""import atexit, threading, time
worker = []
atexit.register(lambda: print("joined" if worker[0].join(30) is None and not worker[0].is_alive() else "alive"))
import animationmodel as am, numpy as np
clip = am.AnimationClip(am.load_animation({ANIMATION!r}))
worker.append(threading.Thread(target=lambda: clip.sample(np.arange(0, 96, 0.0001)), daemon=True))
worker[0].start()
time.sleep(0.05)"""], capture_output=True, text=True, timeout=60)
    assert (child.returncode, child.stdout) == (0, "joined\n"), child.stderr
    # The exiting thread itself, after the atexit callbacks, still releases the GIL and takes it back.
    assert run_child("""class Late:
    def __del__(self):
        self.out.write(f"late {self.loads(self.text) is not None}\\n")
late = Late()
late.loads, late.text, late.out = am.loads, am.dumps(am.Animation()), __import__("sys").stdout""", timeout=60) == (
        "late True\n")
