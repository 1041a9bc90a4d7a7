"""Python's ClipPlayback is the C++ one: it replays the walk that the C++
tests record (tests/runtime/data/playback_walk.txt), bit for bit; and a
cursor samples a playback's exact position."""
import math
import os
import struct

import pytest

import animationmodel as am
from animationmodel import AnimationPhase, ClipPlayback

# The walk the C++ tests record, in the source tree, or beside these tests
# where the package's check copies them out of it.
WALK = os.environ.get("ANIMATIONMODEL_PLAYBACK_WALK") or os.path.join(
    os.path.dirname(__file__), "..", "..", "tests", "runtime", "data", "playback_walk.txt"
)
ADVANCE, SPEED, LOOP, FINISH, RESTART = range(5)


def bits(value):
    return struct.pack("<d", value)


def cases():
    with open(WALK) as file:
        case = None
        for line in file:
            fields = line.split()
            if fields[0] == "case":
                if case:
                    yield case
                case = ([int(n) for n in fields[1:4]], float.fromhex(fields[4]), [])
            else:
                case[2].append(fields)
        yield case


def apply(playback, kind, value, on):
    if kind == SPEED:
        try:
            playback.speed = value
        except ValueError:
            assert not (math.isfinite(value) and value >= 0)
    elif kind == LOOP:
        playback.looping = on
    elif kind == FINISH:
        playback.finish_requested = on
    elif kind == RESTART:
        playback.restart()
    else:
        return playback.advance(value)
    return None


def test_the_recorded_walk_plays_alike_bit_for_bit():
    count = 0
    for lengths, fps, operations in cases():
        playback = ClipPlayback(lengths, fps)
        for fields in operations:
            kind, value, on = int(fields[0]), float.fromhex(fields[1]), fields[2] == "1"
            step = apply(playback, kind, value, on)
            phase, whole, fraction, frame, speed = fields[3:8]
            crossed, wrapped, wraps, ended = fields[8:12]
            where = (lengths, fps, fields)
            assert playback.phase == AnimationPhase(int(phase)), where
            assert playback.phase_whole_frame == int(whole), where
            assert bits(playback.phase_fraction) == bits(float.fromhex(fraction)), where
            assert bits(playback.frame) == bits(float.fromhex(frame)), where
            assert bits(playback.speed) == bits(float.fromhex(speed)), where
            assert playback.ended == (ended == "1"), where
            if step is not None:
                assert (step.crossed_phase, step.wrapped, step.wraps, step.ended) == (
                    crossed == "1", wrapped == "1", int(wraps), ended == "1"), where
            count += 1
    assert count > 500


def test_a_move_whose_frames_overflow_a_float_still_moves():
    playback = ClipPlayback((3, 4, 5), 25.0)
    step = playback.advance(1e308)
    assert (step.phase, step.wraps, step.crossed_phase) == (AnimationPhase.Body, 2**64 - 1, True)
    playback.speed = 1.7976931348623157e308
    playback.looping = False
    assert playback.advance(1.0).ended and playback.frame == 12.0


def test_a_cursor_samples_a_playback_in_the_phase_it_reports():
    intro = am.LayerMap({"p": [am.AnimationKey(am.AnimationKeyCommand(am.Held1), 1)]})
    body = am.LayerMap({"p": [am.AnimationKey(am.AnimationKeyCommand(am.Held2), 5)]})
    clip = am.AnimationClip(am.Animation(intro, body, am.LayerMap(), fps=1.0))
    cursor, playback = am.ClipCursor(clip), ClipPlayback(clip)
    for seconds in (1 / 6, 1 / 6, 2 / 3):  # they sum to 1.0 in floats, to just below 1 exactly
        playback.advance(seconds)
    assert (playback.phase, playback.phase_whole_frame) == (AnimationPhase.Intro, 0)
    assert playback.phase_fraction == 1 - 2**-53 and playback.frame < 1
    values, effects, keyed = cursor.sample_playback(playback)
    assert (effects[0], keyed[0]) == (am.Held1, True)
    assert cursor.sample_frame(1 / 6 + 1 / 6 + 2 / 3)[1][0] == am.Held2  # the rounded sum is in the body
    with pytest.raises(TypeError):
        cursor.sample_playback(None)
