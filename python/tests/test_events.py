"""Key events and crossfades from Python: NumPy arrays in and out."""
import math

import pytest

np = pytest.importorskip("numpy")

from animationmodel import (  # noqa: E402
    Animation, AnimationClip, AnimationKey, AnimationKeyCommand, AnimationPhase, ClipChannelMap, ClipEventTracker,
    ClipPlayback,
    blend_samples,
)


def keys(*pairs):
    return [AnimationKey(AnimationKeyCommand(effect), duration) for effect, duration in pairs]


def clip():
    # body: "a" keys at 0 (effect 1) and 2 (effect 2) of 5 frames; outro: "a" at 5 (effect 3).
    return AnimationClip(Animation({}, {"a": keys((1, 2), (2, 3))}, {"a": keys((3, 1))}))


def test_a_playback_step_gives_every_loop_in_order():
    events = clip().key_events(1.0, 0.0, from_phase=AnimationPhase.Body, to_phase=AnimationPhase.Body, wraps=2)
    assert events.dtype.names == ("frame", "key", "loop", "channel", "effect", "phase")
    assert events["frame"].tolist() == [2, 0, 2, 0]
    assert events["loop"].tolist() == [0, 1, 1, 2]
    assert events["effect"].tolist() == [2, 1, 2, 1]
    assert events["phase"].tolist() == [1, 1, 1, 1]


def test_a_cursor_move_takes_the_new_position_and_the_first_move_its_start():
    c = clip()
    assert c.key_events(0.0, 2.0)["frame"].tolist() == [2]
    assert c.key_events(0.0, 2.0, include_from=True)["frame"].tolist() == [0, 2]
    assert c.key_events(2.0, 4.5).size == 0
    assert c.key_events(4.0, 1.0).size == 0
    assert c.key_events(0.0, 9.0, channels=np.array([], dtype=np.uint32)).size == 0
    with pytest.raises(IndexError, match=r"channel 1 out of range \(the clip has 1 channels\)"):
        c.key_events(0.0, 9.0, channels=[1])


def test_the_steps_of_a_playback_report_each_key_once():
    c = clip()
    playback = ClipPlayback(c)
    playback.looping = False
    tracker = ClipEventTracker(c)
    assert tracker.clip is c
    frames = []
    first = True
    while not playback.ended:
        before_phase, before_frame = playback.phase, playback.phase_frame
        step, events = tracker.advance(playback, 0.7 / c.fps, first_move=first)
        span = dict(from_phase=before_phase, to_phase=playback.phase, wraps=step.wraps, include_from=first)
        assert events.tolist() == c.key_events(before_frame, playback.phase_frame, **span).tolist()
        first = False
        frames += events["frame"].tolist()
    assert frames == [0, 2, 5]


def test_a_playback_a_hair_before_a_key_has_not_passed_it():
    # At 1 frame per second, whole frame 1 and fraction 1 - 2**-53 (2.0 once added up in a double).
    c = AnimationClip(Animation({}, {"a": keys((1, 2), (2, 3))}, {}, fps=1))
    playback = ClipPlayback(c)
    tracker = ClipEventTracker(c)
    assert tracker.advance(playback, 1.0, first_move=True)[1]["frame"].tolist() == [0]
    step, events = tracker.advance(playback, 1.0 - 2.0**-53, channels=[0])
    assert (playback.phase_whole_frame, playback.phase_fraction) == (1, 1.0 - 2.0**-53)
    assert events.size == 0 and step.wraps == 0
    assert tracker.advance(playback, 0.25)[1]["frame"].tolist() == [2]
    step, events = tracker.advance(playback, 8.0)
    assert step.wraps == 2 and events["frame"].tolist() == [0, 2, 0] and events["loop"].tolist() == [1, 1, 2]
    where = (playback.phase_whole_frame, playback.phase_fraction)
    with pytest.raises(IndexError, match=r"channel 1 out of range"):
        tracker.advance(playback, 1.0, channels=[1])
    with pytest.raises(ValueError, match="the playback's phases are not the tracked clip's"):
        tracker.advance(ClipPlayback(clip()), 1.0)
    assert (playback.phase_whole_frame, playback.phase_fraction) == where


def test_a_channel_map_pairs_names_and_a_blend_follows_its_rules():
    first = AnimationClip(Animation({"a": keys((1, 1)), "b": keys((1, 1))}))
    second = AnimationClip(Animation({"b": keys((1, 1)), "c": keys((1, 1))}))
    pairs = ClipChannelMap(first, second)
    assert len(pairs) == 1 and not pairs.complete
    assert pairs.first_channels.tolist() == [1] and pairs.second_channels.tolist() == [0]
    assert pairs.only_in_first.tolist() == [0] and pairs.only_in_second.tolist() == [1]
    a = (np.array([1.0, math.nan, 4.0], np.float32), np.array([1, 2, 3], np.int32), np.array([1, 0, 1], bool))
    b = (np.array([3.0, 5.0, math.nan], np.float32), np.array([7, 8, 9], np.int32), np.array([0, 1, 0], bool))
    values, effects, keyed = blend_samples(a, b, 0.5)
    assert values.tolist() == [2.0, 5.0, 4.0] and effects.tolist() == [1, 2, 3] and keyed.tolist() == [1, 0, 1]
    values, effects, keyed = blend_samples(a, b, 0.75)
    assert values.tolist() == [2.5, 5.0, 4.0] and effects.tolist() == [7, 8, 9]
    with pytest.raises(ValueError, match=r"weight must be in \[0, 1\], not 1.5"):
        blend_samples(a, b, 1.5)
    with pytest.raises(ValueError, match="the samples differ in size: 3 and 2"):
        blend_samples(a, tuple(x[:2] for x in b), 0.5)


def test_a_blend_takes_its_ends_and_an_empty_body_counts_no_loops():
    a = (np.array([1.0, math.nan], np.float32), np.array([1, 2], np.int32), np.array([1, 0], bool))
    b = (np.array([3.0, 5.0], np.float32), np.array([7, 8], np.int32), np.array([0, 1], bool))
    for weight, expected, effects in [(0.0, [1.0, 5.0], [1, 2]), (-0.0, [1.0, 5.0], [1, 2]), (1.0, [3.0, 5.0], [7, 8])]:
        values, got, _ = blend_samples(a, b, weight)
        assert values.tolist() == expected and got.tolist() == effects
    for weight in [math.nan, -1e-45, 1.0000001, math.inf]:
        with pytest.raises(ValueError, match=r"weight must be in \[0, 1\]"):
            blend_samples(a, b, weight)
    # Without a body there is nothing to wrap: the outro's key is of loop 0 whatever the span says.
    c = AnimationClip(Animation({"a": keys((1, 2))}, {}, {"a": keys((3, 1))}))
    span = dict(from_phase=AnimationPhase.Intro, to_phase=AnimationPhase.Outro, include_from=True)
    for wraps in [0, 3, 2**64 - 1]:
        events = c.key_events(0.0, 0.0, wraps=wraps, **span)
        assert events["frame"].tolist() == [0, 2] and events["loop"].tolist() == [0, 0]


def test_a_tracker_of_no_clip_and_a_span_of_too_many_events_raise():
    for value in [None, "x", 1.5, Animation({}, {}, {})]:
        with pytest.raises(TypeError, match=r"^ClipEventTracker\(\): clip must be an AnimationClip, not "):
            ClipEventTracker(value)
    body = AnimationClip(Animation({}, {"a": keys((1, 1))}, {}))
    span = dict(from_phase=AnimationPhase.Body, to_phase=AnimationPhase.Body, wraps=2**64 - 1)
    for collect in [body.key_events, ClipEventTracker(body).collect]:
        with pytest.raises(MemoryError, match=r"^the span holds 18446744073709551615 key events or more, more than"):
            collect(0.0, 0.0, **span)


def test_channels_are_ints_within_the_clip():
    c = clip()
    for channels in [[0.9], ["0"], [True]]:
        with pytest.raises(TypeError, match=r"^channels must be channel indices \(ints\), not "):
            c.key_events(0.0, 9.0, channels=channels)
    for channels in [[-1], np.array([-1], np.int8), [2**32]]:
        with pytest.raises(IndexError, match=r"^channel (-1|4294967296) out of range \(the clip has 1 channels\)"):
            ClipEventTracker(c).collect(0.0, 9.0, channels=channels)
    assert c.key_events(0.0, 4.0, channels=np.array([0, 0], np.uint64))["frame"].tolist() == [2, 2]
