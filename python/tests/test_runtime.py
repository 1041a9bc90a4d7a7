"""The runtime from Python: compiled clips, cursors, playback and sampling
many positions at once into NumPy arrays."""
import copy
import gc
import math
import os
import pickle
import random
import struct
import subprocess
import sys
import textwrap
import threading
from fractions import Fraction

import pytest

np = pytest.importorskip("numpy")

import animationmodel as am  # noqa: E402
from animationmodel import (  # noqa: E402
    Animation, AnimationClip, AnimationKey, AnimationKeyCommand, AnimationPhase, ClipCursor, ClipPlayback, LayerMap,
)

EXAMPLES = os.environ.get("ANIMATIONMODEL_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
ANIMATION = os.path.join(EXAMPLES, "data", "show.animation.json")
TIMELINE = os.path.join(EXAMPLES, "data", "show.timeline.json")
PHASES = (AnimationPhase.Intro, AnimationPhase.Body, AnimationPhase.Outro)


def ramp(start, end, duration):
    return AnimationKey(AnimationKeyCommand(am.Linear, [start, end]), duration)


def held(duration, effect=am.Held1):
    return AnimationKey(AnimationKeyCommand(effect), duration)


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def bits(value):
    return struct.pack("f", value)


# --- a naive reference: walk the keys ------------------------------------------

def reference(animation, names, frame):
    """(values, effects, keyed) at whole frame `frame`, walking the keys of every phase."""
    starts, start = [], 0
    for phase in PHASES:
        starts.append(start)
        start += animation.phase_frame_count(phase)
    end = start
    frame = min(max(frame, 0), end)
    values, effects, keyed = [], [], []
    for name in names:
        held_value, value, effect, covered = math.nan, None, 0, False
        for phase, first in zip(PHASES, starts):
            at = first
            for key in animation.phase(phase).get(name, am.KeyList()):
                if at <= frame < at + key.duration:
                    covered, effect = True, int(key.command.effect)
                    value = key.value_at(frame - at)
                elif at + key.duration <= frame and key.command.effect == am.Linear:
                    held_value = key.command.args[1]
                at += key.duration
        values.append(held_value if value is None else value)
        effects.append(effect)
        keyed.append(covered)
    return values, effects, keyed


def random_animation(rng):
    names = [f"c{i}" for i in range(rng.randint(1, 6))]

    def phase():
        layers = {}
        for name in rng.sample(names, rng.randint(0, len(names))):
            layers[name] = [ramp(f32(rng.uniform(-100, 100)), f32(rng.uniform(-100, 100)), rng.randint(1, 9))
                            if rng.random() < 2 / 3 else held(rng.randint(1, 9), rng.choice([am.Held2, 5, -1]))
                            for _ in range(rng.randint(0, 5))]
        return layers

    return Animation(phase(), phase(), phase(), fps=rng.choice([24.0, 25.0, 60.0]))


def assert_same(actual, expected):
    values, effects, keyed = actual
    assert [bits(v) for v in values] == [bits(v) for v in expected[0]]
    assert list(effects) == expected[1] and list(keyed) == expected[2]


# --- the clip -------------------------------------------------------------------

def test_a_clip_of_the_show_animation():
    animation = am.load_animation(ANIMATION)
    clip = AnimationClip(animation)
    names = sorted({n for p in PHASES for n in animation.phase(p).keys()}, key=lambda n: n.encode())
    assert clip.channel_names() == names and clip.channel_count == len(names)
    assert [clip.find_channel(n) for n in names] == list(range(len(names)))
    assert clip.find_channel("nope") is None and clip.channel_name(len(names) - 1) == names[-1]
    with pytest.raises(IndexError, match=f"^channel {len(names)} out of range \\(the clip has {len(names)} channels\\)$"):
        clip.channel_name(len(names))
    assert clip.frame_count() == animation.frame_count() == 96 and clip.fps == animation.fps
    assert [clip.phase_length(p) for p in PHASES] == [animation.phase_frame_count(p) for p in PHASES]
    assert [clip.phase_start(p) for p in PHASES] == [0, 24, 72]
    assert clip.key_count == sum(len(k) for p in PHASES for k in animation.phase(p).values())
    assert 0 < clip.byte_size and not clip.from_timeline
    assert clip.to_animation() == animation and clip.to_document() == animation
    assert repr(clip) == f"<AnimationClip of 5 channels, {clip.key_count} keys, 96 frames at 25.0 fps>"


def test_a_clip_of_a_timeline_and_of_empty_layers():
    timeline = am.load_timeline(TIMELINE)
    clip = AnimationClip(timeline)
    assert clip.from_timeline and clip.to_document() == timeline and isinstance(clip.to_document(), LayerMap)
    assert clip.phase_length(AnimationPhase.Body) == clip.frame_count()
    empty = AnimationClip({"quiet": []})
    assert empty.channel_names() == ["quiet"] and empty.frame_count() == 0
    values, effects, keyed = empty.sample([0.0, 5.0])
    assert values.shape == (2, 1) and np.isnan(values).all() and not keyed.any() and not effects.any()


def test_clips_round_trip_and_copy():
    rng = random.Random(7)
    for _ in range(30):
        animation = random_animation(rng)
        clip = AnimationClip(animation)
        assert clip.to_animation() == animation
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            again = pickle.loads(pickle.dumps(clip, protocol))
            assert again == clip and again.to_animation() == animation
        assert copy.copy(clip) == clip and copy.deepcopy(clip).to_animation() == animation


def test_clips_refuse_what_is_no_document():
    with pytest.raises(TypeError):
        AnimationClip(3)
    with pytest.raises(TypeError, match="holds no value"):
        AnimationClip(Animation.__new__(Animation))
    with pytest.raises(TypeError, match="already holds a value"):
        AnimationClip(Animation()).__init__(Animation())


# --- sampling ---------------------------------------------------------------------

def test_every_whole_frame_agrees_with_the_reference_and_the_sampler():
    rng = random.Random(11)
    animations = [am.load_animation(ANIMATION)] + [random_animation(rng) for _ in range(200)]
    for animation in animations:
        clip = AnimationClip(animation)
        names = clip.channel_names()
        frames = list(range(-2, clip.frame_count() + 3))
        values, effects, keyed = clip.sample(frames)
        assert values.dtype == np.float32 and effects.dtype == np.int32 and keyed.dtype == np.bool_
        assert values.shape == effects.shape == keyed.shape == (len(frames), len(names))
        for row, frame in enumerate(frames):
            assert_same((values[row], effects[row], keyed[row]), reference(animation, names, frame))
    # Linear values are AnimationSampler's, bit for bit.
    animation = animations[0]
    clip = AnimationClip(animation)
    sampler = am.AnimationSampler(animation)
    values, _, _ = clip.sample(range(96))
    for frame in range(96):
        for sample in sampler.seek(frame):
            if sample.value is not None:
                assert bits(values[frame, clip.find_channel(sample.layer)]) == bits(sample.value)


def round_to_float32(x):
    """The float32 nearest to the rational x (ties to even), as a Python float."""
    if x == 0:
        return 0.0
    sign, x = (-1 if x < 0 else 1), abs(x)
    exponent = x.numerator.bit_length() - x.denominator.bit_length()
    if Fraction(2) ** exponent > x:
        exponent -= 1
    exponent = max(exponent, -126)
    scale = Fraction(2) ** (23 - exponent)
    scaled = x * scale
    whole = math.floor(scaled)
    rest = scaled - whole
    if rest > Fraction(1, 2) or (rest == Fraction(1, 2) and whole % 2):
        whole += 1
    result = float(whole / scale)
    return sign * (math.inf if result > 3.4028234663852886e38 else result)


def signed_zero(negative):
    return -0.0 if negative else 0.0


def exact_ramp(start, end, duration, t):
    """The value at offset t of a Linear key: each step rounded once to float32
    from its exact result (IEEE signs of zeros kept); finite ends whose steps
    overflow take the value computed in double, kept between the ends."""
    if t <= 0:
        return start
    if t >= duration:
        return end
    delta = round_to_float32(Fraction(end) - Fraction(start))
    if delta == 0:
        delta = signed_zero(math.copysign(1, end) < 0 and math.copysign(1, start) > 0)
    value = math.inf
    if math.isfinite(delta):
        exact = Fraction(t) * Fraction(delta)
        product = round_to_float32(exact) if exact else signed_zero(math.copysign(1, delta) < 0)
        if math.isfinite(product):
            share = round_to_float32(Fraction(product) / duration) if product else product
            total = Fraction(start) + Fraction(share)
            both_negative_zeros = math.copysign(1, start) < 0 and math.copysign(1, share) < 0
            value = round_to_float32(total) if total else signed_zero(both_negative_zeros)
    if math.isfinite(value):
        return value
    low, high = min(start, end), max(start, end)
    return f32(min(max(start + t * (end - start) / duration, low), high))


@pytest.mark.parametrize("seed", range(4))
def test_fractional_positions_are_exact_and_monotone(seed):
    rng = random.Random(seed)
    keys = []
    for _ in range(60):
        start = f32(rng.choice([rng.uniform(-1e3, 1e3), rng.uniform(-1e38, 1e38), 1e-45 * rng.randint(1, 9), -0.0]))
        end = f32(rng.choice([rng.uniform(-1e3, 1e3), rng.uniform(-1e38, 1e38), 1e-44, start]))
        keys.append(ramp(start, end, rng.choice([1, 2, 3, 7, 40, 2**24 + 3, 2**31 + 11])))
    for key in keys:
        clip = AnimationClip({"x": [key]})
        start, end = key.command.args
        duration = key.duration
        offsets = sorted({0.0, 0.25, 0.5, 1.0, 1.5, duration - 0.5, duration - 2**-20, float(duration),
                          *(rng.uniform(0, duration) for _ in range(40))})
        offsets = [o for o in offsets if 0 <= o <= duration]
        values, _, keyed = clip.sample(offsets)
        for offset, value, is_keyed in zip(offsets, values[:, 0], keyed[:, 0]):
            assert bits(value) == bits(exact_ramp(start, end, duration, offset)), (key, offset)
            assert bool(is_keyed) == (offset < duration)
            if offset == int(offset) and offset < duration:
                assert bits(value) == bits(key.value_at(int(offset)))
        ordered = values[:-1, 0] if start <= end else -values[:-1, 0]
        assert (np.diff(ordered.astype(np.float64)) >= 0).all()


def test_positions_outside_the_clip():
    clip = AnimationClip(Animation({"x": [ramp(1, 2, 4), held(2)]}))
    values, effects, keyed = clip.sample([-1.0, -0.0, math.nan, -math.inf, 6.0, 1e300, math.inf])
    assert values[:4, 0].tolist() == [1.0] * 4 and keyed[:4, 0].all()
    assert values[4:, 0].tolist() == [2.0] * 3 and not keyed[4:, 0].any() and effects[4:, 0].tolist() == [0] * 3


def test_time_is_frames_at_the_rate():
    animation = am.load_animation(ANIMATION)
    clip = AnimationClip(animation)
    seconds = np.linspace(-0.5, 4.5, 301)
    by_time = clip.sample(seconds, seconds=True)
    by_frame = clip.sample(seconds * float(clip.fps))
    for a, b in zip(by_time, by_frame):
        assert a.tobytes() == b.tobytes()


def test_channels_by_index_and_name():
    clip = AnimationClip(am.load_animation(ANIMATION))
    whole = clip.sample(np.arange(0, 96, 0.5))
    some = clip.sample(np.arange(0, 96, 0.5), ["scale", 0, np.int64(3), "scale"])
    chosen = [clip.find_channel("scale"), 0, 3, clip.find_channel("scale")]
    for part, full in zip(some, whole):
        assert part.tobytes() == full[:, chosen].tobytes()
    assert clip.sample([1.0], [])[0].shape == (1, 0)
    assert clip.sample([])[0].shape == (0, 5)


@pytest.mark.parametrize("channels, error, message", [
    (["nope"], ValueError, 'no channel named "nope"'),
    ([5], IndexError, r"channel 5 out of range \(the clip has 5 channels\)"),
    ([-1], IndexError, r"channel -1 out of range \(the clip has 5 channels\)"),
    ([2**40], IndexError, r"channel 1099511627776 out of range \(the clip has 5 channels\)"),
    ([1.0], TypeError, "a channel must be an int index or a str name, not float"),
    ("scale", TypeError, "channels must be None or a sequence of channel indices or names, not str"),
    (7, TypeError, "channels must be None or a sequence of channel indices or names, not int"),
])
def test_channels_refused(channels, error, message):
    clip = AnimationClip(am.load_animation(ANIMATION))
    with pytest.raises(error, match=f"^{message}$"):
        clip.sample([0.0], channels)
    with pytest.raises(error, match=f"^{message}$"):
        ClipCursor(clip).sample_frame(0.0, channels)


def test_out_of_range_messages_count_channels():
    one = AnimationClip({"x": []})
    with pytest.raises(IndexError, match=r"^channel 1 out of range \(the clip has 1 channel\)$"):
        one.sample([0.0], [1])
    with pytest.raises(IndexError, match=r"^channel 0 out of range \(the clip has 0 channels\)$"):
        AnimationClip(Animation()).channel_name(0)
    assert one.channel_name(0) == "x"


def test_positions_refused():
    clip = AnimationClip(am.load_animation(ANIMATION))
    with pytest.raises(ValueError, match="^positions must be one-dimensional, not of 2 dimensions$"):
        clip.sample(np.zeros((2, 2)))
    with pytest.raises((TypeError, ValueError)):
        clip.sample(["a"])


def test_bulk_sampling_runs_in_threads_at_once():
    clip = AnimationClip(am.load_animation(ANIMATION))
    positions = np.tile(np.arange(0, 96, 0.25), 200)
    expected = clip.sample(positions)
    results = [None] * 4

    def work(i):
        results[i] = clip.sample(positions)

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for result in results:
        assert all(a.tobytes() == b.tobytes() for a, b in zip(result, expected))


# --- the cursor ----------------------------------------------------------------------

def test_a_cursor_samples_as_the_clip_does():
    clip = AnimationClip(am.load_animation(ANIMATION))
    cursor = ClipCursor(clip)
    assert cursor.clip is clip and cursor.channel_count == 5
    positions = [0.0, 0.4, 1.0, 30.5, 30.5, 29.0, 95.99, 96.0, 3.0]
    grid = clip.sample(positions)
    for row, position in enumerate(positions):
        one = cursor.sample_frame(position)
        assert all(a.shape == (5,) for a in one)
        assert all(a.tobytes() == b[row].tobytes() for a, b in zip(one, grid))
        by_time = cursor.sample_time(position / 25.0, ["opacity"])
        assert by_time[0].tobytes() == grid[0][row, [clip.find_channel("opacity")]].tobytes()
    assert all(a.tobytes() == b.tobytes() for a, b in zip(cursor.sample(positions), grid))


def test_a_cursor_keeps_its_clip_alive_and_copies_are_independent():
    cursor = ClipCursor(AnimationClip(Animation({"x": [ramp(0, 8, 8)]})))
    gc.collect()
    assert cursor.sample_frame(4.0)[0].tolist() == [4.0]
    other = copy.copy(cursor)
    assert other.clip is cursor.clip
    assert other.sample_frame(7.0)[0].tolist() == [7.0] and cursor.sample_frame(1.0)[0].tolist() == [1.0]
    with pytest.raises(TypeError, match="^cannot pickle 'ClipCursor' object: pickle its clip and make a new cursor$"):
        pickle.dumps(cursor)
    with pytest.raises(TypeError, match="^clip must be an AnimationClip, not animationmodel.Animation$"):
        ClipCursor(Animation())


# --- playback --------------------------------------------------------------------------

def playback(intro=10, body=20, outro=5, fps=10.0):
    return ClipPlayback((intro, body, outro), fps)


def test_playback_through_the_phases():
    p = playback()
    assert (p.frame, p.phase, p.speed, p.looping, p.finish_requested, p.ended) == (0.0, AnimationPhase.Intro, 1.0,
                                                                                   True, False, False)
    step = p.advance(0.5)
    assert (p.frame, step.phase, step.crossed_phase, step.wrapped, step.ended) == (5.0, AnimationPhase.Intro, False,
                                                                                   False, False)
    step = p.advance(1.0)
    assert (p.frame, p.phase_frame, step.phase, step.crossed_phase) == (15.0, 5.0, AnimationPhase.Body, True)
    step = p.advance(4.0)  # 40 frames: twice round the body
    assert (p.frame, step.wrapped, step.wraps, step.crossed_phase) == (15.0, True, 2, False)
    p.finish_requested = True
    step = p.advance(100.0)
    assert (p.frame, p.phase, step.ended, step.crossed_phase, p.ended) == (35.0, AnimationPhase.Outro, True, True, True)
    assert p.advance(1.0).ended and p.frame == 35.0
    assert repr(step) == ("PlaybackStep(phase=AnimationPhase.Outro, crossed_phase=True, wrapped=False, wraps=0, "
                          "ended=True)")
    p.restart()
    assert p.frame == 0.0 and p.finish_requested


@pytest.mark.parametrize("setup, seconds, frame, phase", [
    (dict(looping=False), 3.5, 35.0, AnimationPhase.Outro),       # the body once, then the outro
    (dict(finish_requested=True), 2.9, 29.0, AnimationPhase.Body),  # a finish in the intro lets the body play
    (dict(), 3.0, 10.0, AnimationPhase.Body),                      # exactly the body's end wraps to its start
    (dict(speed=0.0), 5.0, 0.0, AnimationPhase.Intro),
    (dict(speed=2.5), 0.2, 5.0, AnimationPhase.Intro),
])
def test_playback_cases(setup, seconds, frame, phase):
    p = playback()
    for name, value in setup.items():
        setattr(p, name, value)
    p.advance(seconds)
    assert (p.frame, p.phase) == (frame, phase)


def test_playback_of_an_empty_body_never_loops():
    p = playback(body=0)
    step = p.advance(1.2)
    assert (p.frame, p.phase, step.wrapped) == (12.0, AnimationPhase.Outro, False)


@pytest.mark.parametrize("seconds", [-1.0, 0.0, math.nan, math.inf, -math.inf])
def test_moves_that_change_nothing(seconds):
    p = playback()
    p.advance(0.3)
    p.advance(seconds)
    assert p.frame == 3.0


@pytest.mark.parametrize("speed", [-1.0, math.nan, math.inf])
def test_speeds_refused(speed):
    p = playback()
    with pytest.raises(ValueError, match="^speed must be finite and at least 0, not "):
        p.speed = speed
    assert p.speed == 1.0


@pytest.mark.parametrize("fps", [0.0, -1.0, math.nan, math.inf])
def test_rates_refused(fps):
    with pytest.raises(ValueError, match="^fps must be finite and greater than 0, not "):
        ClipPlayback((1, 2, 3), fps)


def test_a_million_small_steps_do_not_drift():
    clip = AnimationClip(Animation({}, {"x": [held(7)]}, {}, fps=25.0))
    p = ClipPlayback(clip)
    for _ in range(1000000):
        p.advance(1 / 60)
    exact = Fraction(1000000, 60) * 25 % 7
    assert abs(Fraction(p.frame) - exact) < Fraction(1, 10**6)


def test_playback_copies_and_refuses_pickles():
    p = playback()
    p.advance(0.5)
    other = copy.deepcopy(p)
    other.advance(0.5)
    assert (p.frame, other.frame) == (5.0, 10.0)
    with pytest.raises(TypeError, match="^cannot pickle 'ClipPlayback' object"):
        pickle.dumps(p, 0)
    step = p.advance(1.0)
    assert pickle.loads(pickle.dumps(step, 0)) == step and copy.copy(step) == step


def test_an_engine_loop_in_python():
    animation = am.load_animation(ANIMATION)
    clip = AnimationClip(animation)
    cursor, p = ClipCursor(clip), ClipPlayback(clip)
    opacity = clip.find_channel("opacity")
    seen = []
    for tick in range(600):
        if tick == 300:
            p.finish_requested = True
        step = p.advance(1 / 60)
        values, _, _ = cursor.sample_frame(p.frame, [opacity])
        seen.append(float(values[0]))
        if step.ended:
            break
    assert step.ended and p.phase == AnimationPhase.Outro and p.frame == 96.0
    assert seen[-1] == reference(animation, ["opacity"], 96)[0][0]


def test_uninitialised_runtime_objects_are_refused():
    out = subprocess.run([sys.executable, "-c", textwrap.dedent("""
        import animationmodel as am
        for use in (lambda: am.AnimationClip.__new__(am.AnimationClip).frame_count(),
                    lambda: am.ClipCursor.__new__(am.ClipCursor).sample_frame(0.0),
                    lambda: am.ClipPlayback.__new__(am.ClipPlayback).advance(1.0),
                    lambda: am.ClipCursor(am.AnimationClip.__new__(am.AnimationClip)),
                    lambda: am.PlaybackStep.__new__(am.PlaybackStep).wraps):
            try:
                use()
            except TypeError as error:
                print(error)
    """)], capture_output=True, text=True, env=dict(os.environ))
    assert out.returncode == 0, out.stderr
    assert out.stdout.count("holds no value") == 5


def test_the_documented_runtime_example_runs_and_passes_mypy_strict(tmp_path):
    root = os.path.join(EXAMPLES, "..")
    page = open(os.path.join(root, "docs", "python.md"), encoding="utf-8").read()
    block = page[page.index("## The runtime from Python"):]
    block = block[block.index("```python\n") + 10:]
    block = block[:block.index("```")]
    script = tmp_path / "readme_runtime.py"
    script.write_text("import numpy as np\nimport animationmodel as am\n" + block)
    package = os.path.dirname(os.path.dirname(os.path.abspath(am.__file__)))
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join([package, os.environ.get("PYTHONPATH", "")]))
    ran = subprocess.run([sys.executable, str(script)], cwd=root, capture_output=True, text=True, env=environment)
    assert ran.returncode == 0, ran.stderr
    pytest.importorskip("mypy")
    checked = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental", str(script)],
                             capture_output=True, text=True, env=dict(os.environ))
    assert checked.returncode == 0, checked.stdout + checked.stderr


# --- loading a clip with the runtime's options ----------------------------------------------

def test_load_clip_with_options(tmp_path):
    clip = am.load_clip(ANIMATION)
    assert clip == AnimationClip(am.load_animation(ANIMATION))
    with open(TIMELINE, "rb") as file:
        assert am.load_clip(file).from_timeline
    nan = ('{"format": "animationmodel-timeline", "version": 1, "layers": {"x": [{"effect": "Linear", '
           '"args": [0, "NaN"], "duration": 2}]}}')
    assert math.isnan(am.clip_from_json(nan).to_document()["x"][0].command.args[1])
    with pytest.raises(am.AnimationJsonError) as raised:
        am.clip_from_json(nan, refuse_non_finite_arguments=True)
    assert raised.value.pointer.startswith("/layers/x/0/args")
    slow = am.dumps(Animation({}, {"x": [held(2)]}, {}, fps=1e-3))
    assert am.clip_from_json(slow.encode(), minimum_fps=1e-3).fps == f32(1e-3)
    with pytest.raises(am.AnimationJsonError) as raised:
        am.clip_from_json(slow, minimum_fps=1.0)
    assert raised.value.pointer == "/fps"
    with pytest.raises(am.AnimationJsonError):
        am.clip_from_json("{")
    with pytest.raises(FileNotFoundError) as missing:
        am.load_clip(tmp_path / "none.json")
    assert missing.value.filename == str(tmp_path / "none.json")
    with pytest.raises(TypeError, match="^text must be str or bytes, not int$"):
        am.clip_from_json(3)
