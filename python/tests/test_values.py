"""Values and errors: constructors, exact messages, float32 rounding, value behaviour."""
import copy
import math
import pickle
import struct

import pytest

import animationmodel as am
from animationmodel import Animation, AnimationKey, AnimationKeyCommand, LayerMap


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def ramp(start, end, duration):
    return AnimationKey(AnimationKeyCommand(am.Linear, [start, end]), duration)


def held(effect, duration):
    return AnimationKey(AnimationKeyCommand(effect), duration)


COUNT_MESSAGE = (
    "Could not set attributes of AnimationKeyCommand: the number of arguments does not correspond "
    "to the command ({} arguments given but {} expected for command {})"
)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: AnimationKeyCommand(am.Linear), COUNT_MESSAGE.format(0, 2, 0)),
        (lambda: AnimationKeyCommand(am.Held2, [1.0]), COUNT_MESSAGE.format(1, 0, 2)),
        (lambda: AnimationKeyCommand(7, [1.0, 2.0]), COUNT_MESSAGE.format(2, 0, 7)),
        (lambda: AnimationKey(AnimationKeyCommand(am.Held1), 0), "Duration of AnimationKeyCommand must be > 0"),
        (
            lambda: ramp(0, 1, 4).split_each(0),
            "Could not split AnimationKey each 0 frame: This number should be strictly higher than 0",
        ),
        (lambda: setattr(Animation(), "fps", 0.0), "FPS should be strictly higher than 0 but given argument (0) is not."),
        (lambda: Animation().set_fps(math.inf), "FPS should be finite but given argument (inf) is not."),
        (
            lambda: Animation({"x": [held(9, 5)]}, 2, 3),
            'Could not split key of layer "x" at frame 2: command 9 cannot be split',
        ),
    ],
)
def test_refusals_keep_the_library_text(call, message):
    with pytest.raises(ValueError) as raised:
        call()
    assert str(raised.value) == message


def test_refused_setters_change_nothing():
    command = AnimationKeyCommand(am.Linear, [1.0, 2.0])
    with pytest.raises(ValueError):
        command.set_effect(am.Held1)
    with pytest.raises(ValueError):
        command.set_args([1.0])
    assert command == AnimationKeyCommand(am.Linear, [1.0, 2.0])
    animation = Animation()
    with pytest.raises(ValueError):
        animation.fps = -1.0
    assert animation.fps == 25.0


@pytest.mark.parametrize("value", [0.1, 1e-46, 3.4e38, -0.0, 1 / 3, 16777217.0, 1e-45])
def test_arguments_are_rounded_to_float32(value):
    args = AnimationKeyCommand(am.Linear, [value, value]).args
    assert args[0] == f32(value)
    assert math.copysign(1.0, args[0]) == math.copysign(1.0, value)


def test_effects_beyond_the_enumeration():
    command = AnimationKeyCommand(-7)
    assert int(command.effect) == -7
    assert AnimationKeyCommand.expected_arg_count(am.Linear) == 2
    assert ramp(0, 1, 4).split_at(2)[1] == ramp(0.5, 1, 2)
    assert len(held(7, 4).split_at(2)) == 0
    assert held(am.Held1, 4).value_at(1) is None
    assert ramp(0.1, 0.7, 13).value_at(5) == float.fromhex("0x1.52b52ap-2")


VALUES = [
    AnimationKeyCommand(am.Linear, [0.1, math.nan]),
    AnimationKeyCommand(12),
    ramp(-0.0, 1e30, 4294967295),
    LayerMap({"a": [held(am.Held3, 2)], "é\n\"": []}),
    Animation({"fade": [ramp(0, 1, 5)]}, {"fade": [held(am.Held1, 3)]}, {}, fps=12.5),
    Animation({"x": [ramp(0, 10, 20), held(am.Held2, 5)]}, 5, 22),
]


@pytest.mark.parametrize("value", VALUES, ids=lambda v: type(v).__name__)
def test_values_copy_pickle_and_repr(value):
    namespace = dict(vars(am))
    for other in (copy.copy(value), copy.deepcopy(value), pickle.loads(pickle.dumps(value)), eval(repr(value), namespace)):
        assert type(other) is type(value)
        # NaN never equals itself: compare the canonical text instead where it appears.
        if "nan" in repr(value):
            assert repr(other) == repr(value)
        else:
            assert other == value
    if isinstance(value, (AnimationKeyCommand, AnimationKey, Animation)):
        with pytest.raises(TypeError):
            hash(value)


def test_phases_are_copies():
    # Both positions fall inside the one key: it is cut once, at the intro's end.
    animation = Animation({"x": [ramp(0, 10, 20)]}, 5, 15)
    body = am.LayerMap(animation.body)
    keys = am.KeyList(body["x"])
    keys.append(held(am.Held1, 1))
    body["x"] = keys
    del body["x"]
    assert animation.body_layer("x") == am.KeyList([ramp(2.5, 10, 15)])
    assert animation.duration_in_frames() == 20
    assert animation.has_layer("x") and not animation.empty()
    animation.set_fps_to_fit_duration_in_seconds(2.0)
    assert animation.fps == 10.0 and animation.duration_in_seconds() == 2.0
