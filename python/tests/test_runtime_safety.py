"""The runtime's types and the loaders against hostile input: indices that
raise or overflow, phases that are none of the three, crafted states, paths
with a NUL, text that is no UTF-8, positions NumPy cannot convert."""
import gc
import os
import pickle
import subprocess
import sys
import textwrap
import weakref

import pytest

np = pytest.importorskip("numpy")

import animationmodel as am  # noqa: E402
from animationmodel import Animation, AnimationClip, AnimationPhase, ClipCursor, ClipPlayback, PlaybackStep  # noqa: E402

EXAMPLES = os.environ.get("ANIMATIONMODEL_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
ANIMATION = os.path.join(EXAMPLES, "data", "show.animation.json")


def run_child(code):
    """Runs code in a fresh interpreter; returns its output, failing on a crash or an error."""
    child = subprocess.run([sys.executable, "-c", "import animationmodel as am\n" + textwrap.dedent(code)],
                           capture_output=True, text=True, timeout=240, env=dict(os.environ))
    assert child.returncode == 0, f"exit status {child.returncode}\n{child.stdout}\n{child.stderr}"
    return child.stdout


def test_a_channel_index_that_raises_is_that_error():
    out = run_child(f"""
        import numpy as np
        class Refuses:
            def __index__(self):
                raise KeyError("mine")
        clip = am.AnimationClip(am.load_animation({ANIMATION!r}))
        for use in (lambda: clip.sample([0.0], [Refuses()]), lambda: am.ClipCursor(clip).sample_frame(0, [1, Refuses()]),
                    lambda: clip.sample([0.0], np.array([[0, 1]]))):
            try:
                use()
            except (KeyError, TypeError) as error:
                print(type(error).__name__)
    """)
    assert out.split() == ["KeyError", "KeyError", "TypeError"]


@pytest.mark.parametrize("index", [2**63, 2**64, -2**63 - 1, -2**70, np.uint64(2**64 - 1)])
def test_channel_indices_past_64_bits_are_out_of_range(index):
    clip = AnimationClip(am.load_animation(ANIMATION))
    message = rf"^channel {int(index)} out of range \(the clip has 5 channels\)$"
    with pytest.raises(IndexError, match=message):
        clip.sample([0.0], [index])
    with pytest.raises(IndexError, match=message):
        clip.channel_name(index)
    with pytest.raises(IndexError, match=r"^channel -1 out of range \(the clip has 5 channels\)$"):
        clip.channel_name(-1)
    assert clip.channel_name(np.int8(4)) == "scale"


def test_text_that_is_no_utf8_is_a_unicode_error():
    clip = AnimationClip(am.load_animation(ANIMATION))
    with pytest.raises(UnicodeEncodeError):
        clip.sample([0.0], ["\ud800"])
    with pytest.raises(UnicodeEncodeError):
        am.LayerMap({"\udcff": []})
    with pytest.raises(UnicodeEncodeError):
        am.clip_from_json('{"\ud800": 1}')
    for load in (am.load, am.load_clip, am.load_animation, am.load_timeline):
        with pytest.raises(UnicodeEncodeError):
            load(type("Reader", (), {"read": lambda self: "\ud800"})())
        with pytest.raises(UnicodeEncodeError):
            load("\ud800.json")


def test_a_path_with_a_nul_names_no_file(tmp_path):
    before = tmp_path / "before"
    am.dump(am.Animation(), before)
    text = before.read_bytes()
    for load in (am.load, am.load_clip, am.load_animation, am.load_timeline):
        with pytest.raises(ValueError, match="^embedded null byte$"):
            load(f"{before}\0.json")
    with pytest.raises(ValueError, match="^embedded null byte$"):
        am.dump(am.Animation({"x": []}, {}, {}), f"{before}\0.json")
    with pytest.raises(ValueError, match="^embedded null byte$"):
        am.dump_clip(am.Animation({"x": []}, {}, {}), f"{before}\0.json")
    assert before.read_bytes() == text


@pytest.mark.parametrize("value", [3, 255, -1, 2**31])
def test_a_phase_is_one_of_three(value):
    with pytest.raises(ValueError, match=f"^{value} is not a valid AnimationPhase$"):
        AnimationPhase(value)
    assert [AnimationPhase(p) for p in (0, 1, 2)] == [AnimationPhase.Intro, AnimationPhase.Body, AnimationPhase.Outro]
    assert [pickle.loads(pickle.dumps(p, 0)) for p in (AnimationPhase.Body,)] == [AnimationPhase.Body]
    blank = AnimationPhase.__new__(AnimationPhase)
    assert not hasattr(blank, "__setstate__")
    clip = AnimationClip(am.load_animation(ANIMATION))
    for use in (clip.phase_length, clip.phase_start, am.phase_name, am.Animation().phase):
        with pytest.raises(TypeError, match="^AnimationPhase instance holds no value"):
            use(blank)


@pytest.mark.parametrize("cls, state", [
    (PlaybackStep, (0, False, False, 0, False)), (PlaybackStep, (None, False, False, 0, False)),
    (PlaybackStep, (AnimationPhase.Body, False, False, -1, False)), (am.AnimationKey, (1, 1)),
    (am.AnimationKey, (am.AnimationKeyCommand(am.Held1), 2**32)), (am.AnimationKeyCommand, (2**31, [])),
    (am.LayerSample, ("a", 1, 2, 3, 4)), (am.CutOverrun, ("a", -1, 2)),
])
def test_a_crafted_state_is_a_type_error_that_shows_it(cls, state):
    blank = cls.__new__(cls)
    with pytest.raises(TypeError, match=rf"^{cls.__name__} state must be as __getstate__ gives it, not \("):
        blank.__setstate__(state)
    assert not am._holds_value(blank)


def test_phase_lengths_that_overflow_are_refused():
    with pytest.raises(ValueError, match=r"^the phases must add up to at most 2\*\*64 - 1 frames$"):
        ClipPlayback([2**63, 2**63, 0], 25.0)
    with pytest.raises(ValueError, match=r"^the phases must add up to at most 2\*\*64 - 1 frames$"):
        ClipPlayback([2**64 - 1, 1, 2**64 - 1], 25.0)
    playback = ClipPlayback([0, 2**63, 2**63 - 1], 1.0)
    playback.looping = False
    playback.advance(2.0**63 + 2.0**62)
    assert (playback.phase, playback.frame) == (AnimationPhase.Outro, 2.0**63 + 2.0**62)


@pytest.mark.parametrize("seconds, wraps", [(1e300, 2**64 - 1), (3 * 2.0**64, 2**64 - 1), (3 * 2.0**63, 2**63)])
def test_wraps_past_64_bits_are_the_most_64_bits_count(seconds, wraps):
    step = ClipPlayback([0, 3, 1], 1.0).advance(seconds)
    assert (step.wrapped, step.wraps) == (True, wraps)


def test_a_clip_of_one_shows_it_in_the_singular():
    one = AnimationClip(Animation({}, {"x": [am.AnimationKey(am.AnimationKeyCommand(am.Held1), 1)]}, {}))
    assert repr(one) == "<AnimationClip of 1 channel, 1 key, 1 frame at 25.0 fps>"


def test_a_minimum_rate_of_nan_is_refused():
    with pytest.raises(ValueError, match="^minimum_fps must be a number, not nan$"):
        am.load_clip(ANIMATION, minimum_fps=float("nan"))


def test_positions_numpy_cannot_convert_raise_numpys_error():
    clip = AnimationClip(am.load_animation(ANIMATION))
    cursor = ClipCursor(clip)
    for sample in (clip.sample, cursor.sample):
        with pytest.raises(OverflowError):
            sample([2**1100])
        with pytest.raises(TypeError, match="float"):
            sample([object()])
        with pytest.raises(MemoryError):
            sample(np.broadcast_to(np.float64(1.0), (2**50,)))
        assert sample(np.arange(8.0)[::4])[0].tobytes() == clip.sample([0.0, 4.0])[0].tobytes()


def test_a_cycle_through_a_cursor_is_collected():
    class Clip(AnimationClip):
        pass

    clip = Clip(am.load_animation(ANIMATION))
    clip.cursor = ClipCursor(clip)
    gone = weakref.ref(clip)
    del clip
    gc.collect()
    assert gone() is None
    assert run_child("""
        import gc
        blank = am.ClipCursor.__new__(am.ClipCursor)
        print(gc.is_tracked(blank), gc.collect() >= 0)  # traversed while it holds no value
    """) == "True True\n"
