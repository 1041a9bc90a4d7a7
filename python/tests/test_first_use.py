"""What a new user does first: changing what the module hands out, NumPy
numbers, wrong arguments, help(), reprs, notebook displays, load messages."""
import copy
import inspect
import os
import pickle
import pydoc
import re
import shutil
import subprocess
import sys

import pytest

np = pytest.importorskip("numpy")

import animationmodel as am  # noqa: E402
from animationmodel import Animation, AnimationKey, AnimationKeyCommand, KeyList, LayerMap  # noqa: E402

EXAMPLES = os.environ.get("ANIMATIONMODEL_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
ANIMATION = os.path.join(EXAMPLES, "data", "show.animation.json")
README = os.path.join(EXAMPLES, "..", "README.md")


def held(duration):
    return AnimationKey(AnimationKeyCommand(am.Held1), duration)


def ramp(start, end, duration):
    return AnimationKey(AnimationKeyCommand(am.Linear, [start, end]), duration)


# --- what is handed out either changes its source or refuses -------------------

@pytest.mark.parametrize("change", [
    lambda a: a.intro.__setitem__("extra", [held(1)]),
    lambda a: a.body.__delitem__("a"),
    lambda a: a.phase("body")["a"].append(held(1)),
    lambda a: a.body_layer("a").extend([held(1)]),
    lambda a: a.body["a"].pop(),
    lambda a: a.body["a"].__iadd__([held(1)]),  # keys += [...]
    lambda a: a.body.values()[0].clear(),
    lambda a: setattr(a, "intro", LayerMap()),
    lambda a: setattr(a, "outro", {}),
])
def test_a_phase_and_its_keys_refuse_changes_and_name_the_way(change):
    animation = Animation({}, {"a": [ramp(0, 1, 4)]}, {}, 30)
    before = copy.deepcopy(animation)
    with pytest.raises(TypeError, match=r"Animation\(intro, body, outro, fps\)"):
        change(animation)
    assert animation == before and not animation.has_layer("extra")


def test_a_commands_arguments_and_a_keys_command_refuse_changes():
    key = ramp(0, 1, 4)
    for change in (lambda: key.command.set_args([2, 3]), lambda: key.command.set_effect(am.Held2),
                   lambda: setattr(key.command, "args", [2, 3]), lambda: key.command.args.append(3),
                   lambda: key.command.args.__setitem__(0, 5.0)):
        with pytest.raises(TypeError, match=r"AnimationKey\(AnimationKeyCommand\(effect, args\), key.duration\)"):
            change()
    assert key == ramp(0, 1, 4)
    command = AnimationKeyCommand(am.Linear, [0, 1])
    with pytest.raises(TypeError, match=r"command.args = \[...\]"):
        command.args += [3]
    command.args = [2, 3]
    assert command.args == [2.0, 3.0] and command == AnimationKeyCommand(am.Linear, [2, 3])


def test_copies_copy_and_pickle_as_the_changeable_classes():
    animation = Animation({"a": [held(2)]})
    for value, cls in ((animation.body, LayerMap), (animation.body["a"], KeyList),
                       (animation.body["a"][0].command, AnimationKeyCommand)):
        assert isinstance(value, cls)
        for again in [copy.copy(value), copy.deepcopy(value)] + [pickle.loads(pickle.dumps(value, p)) for p in range(6)]:
            assert type(again) is cls and again == value
    mine = KeyList(animation.body["a"])
    mine.append(held(3))
    assert len(mine) == 2 and len(animation.body["a"]) == 1
    with pytest.raises(TypeError, match="cannot be made; make a LayerMap instead"):
        type(animation.body)()


# --- NumPy numbers ---------------------------------------------------------------

@pytest.mark.parametrize("args", [np.array([0, 1]), np.array([0, 1], dtype=np.float32), np.array([0, 1], np.int8),
                                  np.array([0, 1], np.float16), (np.uint64(0), np.float64(1)), [0, True]])
def test_numpy_arrays_and_scalars_are_arguments(args):
    assert AnimationKeyCommand(am.Linear, args) == AnimationKeyCommand(am.Linear, [0.0, 1.0])


def test_every_number_parameter_takes_numpy_numbers():
    key = AnimationKey(AnimationKeyCommand(am.Linear, [0, 1]), np.uint32(4))
    assert key.duration == 4 and key.value_at(np.int64(2)) == 0.5 and len(key.split_each(np.int16(1))) == 4
    animation = Animation({}, {"a": [key]}, {}, np.float32(12.5))
    animation.fps = np.int64(30)
    assert animation.fps == 30.0 and animation.simulated_duration_in_seconds(np.float16(2)) == 2.0
    assert Animation({"a": [held(1), held(2), held(1)]}, np.int64(1), np.uint8(3)).phase_frame_count("body") == 2
    cursor = am.ClipCursor(am.AnimationClip(animation))
    assert cursor.sample_frame(np.float32(2))[0][0] == 0.5


@pytest.mark.parametrize("integer, nearest", [
    (2**60 + 2**36 + 1, 2**60 + 2**37),  # a double would round to the tie, then to even: 2**60
    (-(2**60 + 2**36 + 1), -(2**60 + 2**37)),
    (2**70 + 2**46 + 1, 2**70 + 2**47),  # past 64 bits: the double's tie is corrected
    (-(2**70 + 2**46 + 1), -(2**70 + 2**47)),
    (2**70 + 2**46, 2**70),  # a true tie goes to the even float
    (2**24 + 1, 2**24),
])
def test_an_int_is_rounded_once_to_the_nearest_float(integer, nearest):
    assert AnimationKeyCommand(am.Linear, [integer, 0]).args[0] == float(nearest)


def test_an_int_past_every_float_is_refused_by_name():
    with pytest.raises(ValueError, match=r"^args\[1\] is too large for a float: 1000000000"):
        AnimationKeyCommand(am.Linear, [0, 10**400])


# --- wrong arguments name the parameter and the value ------------------------------

COMMAND = AnimationKeyCommand(am.Held1)


@pytest.mark.parametrize("call, error, message", [
    (lambda: AnimationKey(COMMAND, -1), OverflowError, "duration must be from 0 to 4294967295, not -1"),
    (lambda: AnimationKey(COMMAND, 2**32), OverflowError, "duration must be from 0 to 4294967295, not 4294967296"),
    (lambda: AnimationKey(COMMAND, 10.0), TypeError, "duration must be an int, not 10.0 (float)"),
    (lambda: AnimationKey(COMMAND, "x" * 99), TypeError, "duration must be an int, not '" + "x" * 56 + "... (str)"),
    (lambda: held(3).value_at(-1), OverflowError, "frame must be from 0 to 4294967295, not -1"),
    (lambda: AnimationKeyCommand("linear"), ValueError,
     "effect must be named 'Linear', 'Held1', 'Held2' or 'Held3', not 'linear'"),
    (lambda: AnimationKeyCommand(2**31), OverflowError,
     "effect must be a 32-bit int (from -2147483648 to 2147483647), not 2147483648"),
    (lambda: AnimationKeyCommand(1.0), TypeError,
     "effect must be an AnimationKeyCommandEffect, its name or an int, not 1.0 (float)"),
    (lambda: AnimationKeyCommand(am.Linear, [0, "1"]), TypeError, "args[1] must be a real number, not '1' (str)"),
    (lambda: Animation().phase("middle"), ValueError, "phase must be named 'intro', 'body' or 'outro', not 'middle'"),
    (lambda: Animation().phase(1), TypeError,
     "phase must be an AnimationPhase or its name ('intro', 'body', 'outro'), not 1 (int)"),
    (lambda: Animation({}, {}, {}, "fast"), TypeError, "fps must be a real number, not 'fast' (str)"),
    (lambda: AnimationKey(5, 3), TypeError, "AnimationKey(): command must be an AnimationKeyCommand, not 5 (int)"),
    (lambda: Animation(5), TypeError, "Animation(): body must be a LayerMap, not 5 (int)"),
    (lambda: KeyList([held(1)]).__setitem__(0, 5), TypeError,
     "KeyList.__setitem__(): key must be an AnimationKey, not 5 (int)"),
    (lambda: am.dump(), TypeError, "dump(): value is missing"),
    (lambda: setattr(am.ClipPlayback(am.AnimationClip(Animation())), "speed", "x"), TypeError,
     "a property of ClipPlayback(): the value must be a real number, not 'x' (str)"),
    (lambda: am.split_every_key(5, 2), TypeError,
     "split_every_key(): timeline must be a LayerMap, not 5 (int); or animation must be an Animation, not 5 (int)"),
])
def test_wrong_arguments_name_the_parameter_and_the_value(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value) == message


def test_effects_and_phases_by_name():
    assert AnimationKeyCommand("Linear", [0, 1]) == AnimationKeyCommand(am.Linear, [0, 1])
    assert AnimationKeyCommand.expected_arg_count("Held3") == 0 and am.phase_name("outro") == "outro"
    animation = Animation({"a": [held(1)]}, {"b": [held(2)]}, {}, 25)
    assert animation.phase("body") == animation.body and animation.phase_frame_count("intro") == 1
    assert am.AnimationClip(animation).phase_start("outro") == 3


def every_function():
    """Every compiled function and method of the module, with its owner's name."""
    native = am._animationmodel
    for name, value in vars(native).items():
        if callable(value) and not isinstance(value, type):
            yield "", name, value
        elif isinstance(value, type):
            for attribute, member in vars(value).items():
                function = getattr(member, "__func__", None)
                if type(function).__name__ == "builtin_function_or_method":
                    yield value.__name__, attribute, function


def test_no_call_gets_pybind11s_list_of_argument_types():
    instances = [Animation({"a": [held(2)]}), LayerMap(), KeyList(), held(1), COMMAND, am.AnimationSampler(Animation()),
                 am.AnimationClip(Animation()), am.ClipPlayback(am.AnimationClip(Animation()))]
    for owner, name, _ in every_function():
        if name in ("__init__", "__new__", "__reduce_ex__") or owner not in [""] + [type(i).__name__ for i in instances]:
            continue
        target = getattr(am._animationmodel, name) if not owner else getattr(
            next(i for i in instances if type(i).__name__ == owner), name)
        for arguments in ((), (object(),), (object(), object()), (-1, -1)):
            try:
                target(*arguments)
            except Exception as error:
                assert "argument types are supported" not in str(error), (owner, name, arguments)


# --- help() and inspect --------------------------------------------------------------

def test_every_function_has_a_signature():
    for owner, name, function in every_function():
        signature = inspect.signature(function)
        assert (owner == "") != ("self" in signature.parameters) or name == "expected_arg_count", (owner, name)
    assert str(inspect.signature(am.dump)) == "(value, target)"
    assert str(inspect.signature(am.AnimationClip.sample)) == "(self, positions, channels=None, *, seconds=False)"
    assert str(inspect.signature(am.load_clip)) == (
        "(source, *, refuse_non_finite_arguments=False, minimum_fps=0.0)")
    text = pydoc.render_doc(am.AnimationClip.sample)
    assert ("sample(self, positions: ArrayLike, channels: Optional[Iterable[Union[int, str]]]=None, *, "
            "seconds: bool=False) -> ClipSamples") in text


def test_the_readme_gives_load_clip_its_signature():
    if not os.path.exists(README):
        pytest.skip("no README beside the examples")
    with open(README, encoding="utf-8") as readme:
        shown = re.search(r"`am\.load_clip(\(.*?\))`", readme.read(), re.S).group(1)
    assert " ".join(shown.split()) == str(inspect.signature(am.load_clip))


# --- reprs and enumerations ---------------------------------------------------------------

def test_reprs_of_every_type_and_of_an_unnamed_effect():
    clip = am.AnimationClip(Animation({"a": [ramp(0, 1, 4)]}))
    cursor = am.ClipCursor(clip)
    assert repr(cursor) == "<ClipCursor of AnimationClip of 1 channel, 1 key, 4 frames at 25.0 fps>"
    assert repr(am.AnimationKeyCommandEffect(7)) == "AnimationKeyCommandEffect(7)"
    assert str(am.AnimationKeyCommandEffect(-2)) == "AnimationKeyCommandEffect(-2)"
    assert repr(am.Held2) == "<AnimationKeyCommandEffect.Held2: 2>"
    sampler = am.AnimationSampler(Animation({"a": [held(3)]}))
    sampler.seek(2)
    assert repr(sampler) == "<AnimationSampler at frame 2 of 3 frames>"
    for value in (cursor, clip, am.ClipPlayback(clip), Animation().player(), Animation().body, held(1).command,
                  sampler.seek(1)[0], am.ClipPlayback(clip).advance(0.1)):
        assert " object at 0x" not in repr(value)


def test_the_enumerations_are_iterable():
    assert list(am.AnimationKeyCommandEffect) == [am.Linear, am.Held1, am.Held2, am.Held3]
    assert list(am.AnimationPhase) == [am.AnimationPhase.Intro, am.AnimationPhase.Body, am.AnimationPhase.Outro]
    assert len(am.AnimationPhase) == 3


# --- notebooks ------------------------------------------------------------------------------

def test_a_displayed_object_costs_at_most_20_kb_and_says_what_it_shows():
    animation = am.load(ANIMATION)
    for value, title in ((animation, "animation"), (animation.intro, "intro of an animation"),
                         (animation.phase("outro"), "outro of an animation"), (LayerMap(animation.body), "timeline")):
        # A notebook keeps every representation an object offers.
        shown = [getattr(value, m)() for m in ("_repr_svg_", "_repr_html_", "_repr_mimebundle_") if hasattr(value, m)]
        assert sum(len(s.encode()) for s in shown) <= 20000
        assert f">{title}<" in value._repr_svg_() or f"{title}," in value._repr_svg_()
        assert value.player()._repr_html_().startswith(f'<iframe title="player of {title}"')


# --- load messages ---------------------------------------------------------------------------

@pytest.mark.parametrize("text", ["{}", '{"fade": [{"effect": "Held1", "duration": 1}]}', '{"version": 1, "x": 2}'])
def test_a_document_without_its_format_says_so(text):
    with pytest.raises(am.AnimationJsonError, match='^1:1: missing member "format"$'):
        am.loads(text)


# --- positions of every shape NumPy has -------------------------------------------------------

@pytest.fixture(scope="module")
def clip():
    return am.AnimationClip(am.load(ANIMATION))


@pytest.mark.parametrize("positions", [
    np.arange(0.0, 40.0, 0.5)[::3],  # not contiguous
    np.arange(0.0, 40.0, 0.5).astype(">f8"),  # big-endian
    np.arange(0.0, 40.0, 0.5).astype(object),
    np.arange(0, 40, dtype=np.int16),
    np.arange(0, 40, dtype=np.float32),
    np.arange(0.0, 40.0, 0.5).reshape(2, 40)[1],
])
def test_positions_of_any_layout_sample_as_their_values(clip, positions):
    expected = clip.sample(np.array([float(p) for p in positions]))
    for got, want in zip(clip.sample(positions), expected):
        assert got.shape == want.shape and np.array_equal(got, want, equal_nan=True)


def test_positions_of_other_shapes(clip):
    values, effects, keyed = clip.sample(np.empty(0))
    assert values.shape == effects.shape == keyed.shape == (0, clip.channel_count)
    for positions in (np.float64(3), np.zeros((2, 2))):
        with pytest.raises(ValueError, match=f"^positions must be one-dimensional, not of {positions.ndim} "):
            clip.sample(positions)
    with pytest.raises(ValueError, match="could not convert string to float"):
        clip.sample(np.array([1.0, "x"], dtype=object))


def test_nan_and_negative_positions_sample_as_frame_0(clip):
    got = clip.sample([np.nan, -1.0, -1e300, 0.0])
    for array in got:
        assert all(np.array_equal(array[i], array[3], equal_nan=True) for i in range(3))


# --- the test harness ------------------------------------------------------------------------------

@pytest.mark.skipif(not hasattr(os, "fork"), reason="tests run in children only where os.fork exists")
def test_a_crashing_test_fails_alone(tmp_path):
    shutil.copy(os.path.join(os.path.dirname(__file__), "conftest.py"), tmp_path)
    (tmp_path / "test_crash.py").write_text("import os\n\ndef test_crash():\n    os.abort()\n\n"
                                            "def test_after():\n    assert True\n")
    run = subprocess.run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider", str(tmp_path)],
                         capture_output=True, text=True, timeout=120, cwd=tmp_path,
                         env={k: v for k, v in os.environ.items() if k != "ANIMATIONMODEL_TESTS_IN_PROCESS"})
    assert "the test's process ended with signal SIGABRT" in run.stdout, run.stdout
    assert "1 failed, 1 passed" in run.stdout and run.returncode == 1
