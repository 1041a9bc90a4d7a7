"""What a user sees: every attribute of what the module returns, the list
protocol of the containers, pickles of every protocol, signatures, the
package's names, typed loading, and the size of reprs and notebook outputs.

Anything that could abort the interpreter runs in a child process, so that
an abort fails the test instead of the run.
"""
import inspect
import io
import os
import pickle
import pydoc
import re
import subprocess
import sys
import textwrap

import pytest

import animationmodel as am
from animationmodel import Animation, AnimationKey, AnimationKeyCommand, AnimationSampler, KeyList, LayerMap

EXAMPLES = os.environ.get("ANIMATIONMODEL_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
ANIMATION = os.path.join(EXAMPLES, "data", "show.animation.json")
TIMELINE = os.path.join(EXAMPLES, "data", "show.timeline.json")

CLASSES = ["AnimationKeyCommand", "AnimationKey", "KeyList", "LayerMap", "Animation", "AnimationSampler",
           "LayerSample", "CutOverrun", "AnimationKeyCommandEffect", "AnimationPhase"]


def held(duration, effect=am.Held1):
    return AnimationKey(AnimationKeyCommand(effect), duration)


def ramp(start, end, duration):
    return AnimationKey(AnimationKeyCommand(am.Linear, [start, end]), duration)


def run_child(code):
    child = subprocess.run([sys.executable, "-c", "import animationmodel as am\n" + textwrap.dedent(code)],
                           capture_output=True, text=True, timeout=240, env=dict(os.environ))
    assert child.returncode == 0, f"exit status {child.returncode}\n{child.stdout}\n{child.stderr}"
    return child.stdout


# --- every attribute, read as a user reads it -------------------------------

def returned_values():
    """One of everything the module hands out."""
    animation = am.load(ANIMATION)
    sampler = AnimationSampler(animation)
    samples = sampler.seek(30)
    overruns = am.cut_overruns({"a": [held(30)]}, 5, 25)
    return [animation, animation.body, animation.body["opacity"], animation.body["opacity"][0],
            animation.body["opacity"][0].command, sampler, *samples, *overruns, am.Linear, am.AnimationPhase.Body,
            am.load(TIMELINE)]


def test_every_attribute_of_every_returned_value_reads():
    seen = set()
    for value in returned_values():
        for name in dir(value):
            if name.startswith("_"):
                continue
            attribute = getattr(value, name)  # a property that cannot be read raises here
            seen.add(f"{type(value).__name__}.{name}")
            if callable(attribute):
                try:
                    signature = inspect.signature(attribute)
                except ValueError:
                    continue
                if not signature.parameters:
                    attribute()
    for expected in ("LayerSample.key", "LayerSample.value", "CutOverrun.frames", "AnimationKey.command",
                     "Animation.fps", "AnimationSampler.frame"):
        assert expected in seen


def test_a_sample_gives_its_key():
    animation = am.load(ANIMATION)
    sampler = AnimationSampler(animation)
    for frame in (0, 30, 95):
        phase, _ = sampler.locate(frame)
        for sample in sampler.seek(frame):
            assert sample.key == animation.phase(phase)[sample.layer][sample.key_index]
            assert sample.key.duration > sample.offset
            assert sample.value == sample.key.value_at(sample.offset)


# --- the list protocol ------------------------------------------------------

def keys_and_model(count):
    keys = [held(i + 1) for i in range(count)]
    return KeyList(keys), list(keys)


@pytest.mark.parametrize("count", [0, 1, 2, 5])
def test_keylist_indices_match_a_list(count):
    keys, model = keys_and_model(count)
    for index in range(-count - 2, count + 2):
        if -count <= index < count:
            assert keys[index] == model[index]
        else:
            with pytest.raises(IndexError, match="^KeyList index out of range$"):
                keys[index]
            with pytest.raises(IndexError):
                keys[index] = held(99)
            with pytest.raises(IndexError):
                del keys[index]
    assert list(keys) == model


@pytest.mark.parametrize("index", [-7, -6, -5, -1, 0, 1, 4, 5, 6, 2**62, -(2**62)])
def test_keylist_insert_clamps_like_a_list(index):
    keys, model = keys_and_model(5)
    keys.insert(index, held(99))
    model.insert(index, held(99))
    assert list(keys) == model


@pytest.mark.parametrize("index", [None, -1, -5, 0, 4, 5, -6])
def test_keylist_pop_like_a_list(index):
    keys, model = keys_and_model(5)
    arguments = () if index is None else (index,)
    if index is not None and not -5 <= index < 5:
        with pytest.raises(IndexError):
            keys.pop(*arguments)
        assert list(keys) == model
        return
    assert keys.pop(*arguments) == model.pop(*arguments)
    assert list(keys) == model


def test_pop_from_an_empty_keylist():
    with pytest.raises(IndexError, match="^pop from empty KeyList$"):
        KeyList().pop()


@pytest.mark.parametrize("part", [slice(None), slice(1, 3), slice(-2, None), slice(None, None, -1),
                                  slice(None, None, 2), slice(4, 0, -2), slice(10, 20), slice(-100, 100, 3)])
def test_keylist_slices_like_a_list(part):
    keys, model = keys_and_model(6)
    assert isinstance(keys[part], KeyList) and list(keys[part]) == model[part]
    del keys[part]
    del model[part]
    assert list(keys) == model


def test_keylist_slice_step_zero_is_refused():
    keys, _ = keys_and_model(3)
    with pytest.raises(ValueError):
        keys[::0]
    with pytest.raises(ValueError):
        del keys[::0]
    assert len(keys) == 3


def test_layermap_protocol():
    layers = LayerMap({"b": [held(2)], "a": [], "c": [held(1), held(3)]})
    assert list(layers) == ["a", "b", "c"] and len(layers) == 3
    assert layers.get("z") is None and layers.get("z", KeyList([held(4)])) == KeyList([held(4)])
    with pytest.raises(KeyError):
        layers["z"]
    with pytest.raises(KeyError):
        del layers["z"]
    assert "a" in layers and 1 not in layers and b"a" not in layers
    del layers["a"]
    layers[""] = (held(5),)
    assert layers.keys() == ["", "b", "c"]
    assert [len(v) for v in layers.values()] == [1, 1, 2]
    assert layers.items()[0] == ("", KeyList([held(5)]))
    with pytest.raises(TypeError):
        layers[0:1]


# --- widths -----------------------------------------------------------------

@pytest.mark.parametrize("width", [299, 100001, 0, 2**32 - 1])
def test_widths_past_the_limit(width):
    animation = Animation({"x": [held(3)]})
    for method in (animation.to_svg, animation.to_html, LayerMap({"x": [held(3)]}).to_svg):
        with pytest.raises(ValueError, match=f"^width must be from 300 to 100000 pixels, not {width}$"):
            method(width=width)


@pytest.mark.parametrize("width", [-1, 2**32, 1.5])
def test_widths_that_are_no_pixel_count(width):
    with pytest.raises(TypeError):
        Animation().to_svg(width=width)


def test_widths_at_the_limits():
    animation = Animation({"x": [held(3)]})
    assert 'width="300"' in animation.to_svg(width=300)
    assert 'width="100000"' in animation.to_svg(width=100000)


# --- pickles of every protocol ------------------------------------------------

def test_every_class_pickles_in_every_protocol_or_refuses():
    out = run_child("""
        import pickle
        from animationmodel import *
        animation = load(%r)
        sampler = AnimationSampler(animation)
        values = [AnimationKeyCommand(Linear, [0.5, -1.0]), AnimationKeyCommand(-9), animation.body["opacity"][0],
                  KeyList(animation.body["opacity"]), LayerMap(animation.body), animation, sampler.seek(30)[0],
                  cut_overruns({"a": [AnimationKey(AnimationKeyCommand(Held1), 30)]}, 5, 25)[0],
                  Linear, Held3, AnimationKeyCommandEffect(77), AnimationPhase.Outro]
        for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
            for value in values:
                again = pickle.loads(pickle.dumps(value, protocol))
                assert type(again) is type(value) and repr(again) == repr(value), (protocol, repr(value))
            try:
                pickle.dumps(sampler, protocol)
            except TypeError as error:
                print(protocol, error)
    """ % ANIMATION)
    message = "cannot pickle 'AnimationSampler' object: pickle its animation and make a new sampler"
    assert out == "".join(f"{p} {message}\n" for p in range(pickle.HIGHEST_PROTOCOL + 1))


def test_pickles_of_protocol_2_keep_their_form():
    # The class made by NEWOBJ, then its state: as before every protocol was supported.
    data = pickle.dumps(held(1), 2)
    assert b"copyreg" not in data and data.count(b"\x81") == 2
    assert pickle.loads(pickle.dumps(am.Held2, 0)) == am.Held2


@pytest.mark.parametrize("name", CLASSES)
def test_the_common_base_cannot_be_called(name):
    out = run_child(f"""
        cls = am.{name}
        for attempt in (lambda: cls.__base__(), lambda: cls.__base__.__new__(cls.__base__),
                        lambda: type("Sub", (cls.__base__,), {{}})()):
            try:
                attempt()
            except TypeError as error:
                print(error)
    """)
    assert out.count("it is the base of the module's classes") == 3, out


# --- what help(), inspect and dir() show ---------------------------------------

@pytest.mark.parametrize("method, parameters", [
    (AnimationKey.__init__, "(self, command: 'AnimationKeyCommand', duration: 'SupportsIndex') -> 'None'"),
    (AnimationKeyCommand.__init__, "(self, effect: 'EffectLike', args: 'Union[Sequence[SupportsFloat], "
                                   "NDArray[Any]]' = ()) -> 'None'"),
    (AnimationSampler.__init__, "(self, animation: 'Animation') -> 'None'"),
    (KeyList.__init__, "(self, /, *args, **kwargs)"),
    (Animation.__setstate__, "(self, arg0: 'Tuple[bytes]') -> 'None'"),
])
def test_signatures_are_the_methods_own(method, parameters):
    assert str(inspect.signature(method)) == parameters
    text = pydoc.render_doc(method)
    assert "__native" not in text and "__method" not in text


def test_help_of_the_classes_names_no_wrapper():
    for name in CLASSES:
        assert "__native" not in pydoc.render_doc(getattr(am, name))


def test_the_package_lists_only_its_own_names():
    public = {name for name in dir(am) if not name.startswith("_")}
    assert public == set(am.__all__)
    for name in am.__all__:
        assert getattr(am, name) is not None
    assert not {"os", "Union", "Iterable", "Mapping", "ast", "inspect"} & set(dir(am))


# --- sample_range effects -------------------------------------------------------

def test_sample_range_gives_named_effects_as_the_enumeration():
    animation = Animation({"a": [ramp(0, 1, 2), held(1, am.Held3), held(2, 7), held(1, -2**31)]})
    effects = AnimationSampler(animation).sample_range()["effect"]
    assert effects == [am.Linear, am.Linear, am.Held3, 7, 7, -2**31]
    assert [type(e).__name__ for e in effects] == ["AnimationKeyCommandEffect"] * 3 + ["int"] * 3
    assert effects[2] is am.Held3


# --- typed loading -------------------------------------------------------------

def test_typed_loading():
    animation = am.load_animation(ANIMATION)
    assert isinstance(animation, Animation) and animation == am.load(ANIMATION)
    timeline = am.load_timeline(TIMELINE)
    assert isinstance(timeline, LayerMap) and timeline == am.load(TIMELINE)
    with open(TIMELINE, "rb") as file:
        assert am.load_timeline(file) == timeline
    assert am.load_animation(io.StringIO(am.dumps(animation))) == animation
    with pytest.raises(am.AnimationJsonError):
        am.load_animation(TIMELINE)
    with pytest.raises(am.AnimationJsonError):
        am.load_timeline(io.StringIO(am.dumps(animation)))
    with pytest.raises(FileNotFoundError):
        am.load_timeline(TIMELINE + ".none")
    with pytest.raises(TypeError, match="^source must be a path or a file object with read\\(\\), not int$"):
        am.load_animation(3)


def test_the_readme_example_passes_mypy_strict(tmp_path):
    pytest.importorskip("mypy")
    readme = open(os.path.join(EXAMPLES, "..", "README.md"), encoding="utf-8").read()
    block = re.search(r"animationmodel_example\.py\) at work:\n\n```python\n(.*?)```", readme, re.S).group(1)
    script = tmp_path / "readme_example.py"
    script.write_text("import os\nhere = os.getcwd()\nout = os.path.join(here, 'out.json')\n" + block)
    checked = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental", str(script)],
                             capture_output=True, text=True, env=dict(os.environ))
    assert checked.returncode == 0, checked.stdout + checked.stderr


# --- sizes of reprs and notebook outputs ------------------------------------------

def large_animation(keys, layers):
    per_layer = [ramp(float(i), float(i + 1), 1 + i % 3) if i % 2 else held(2) for i in range(keys // layers)]
    return Animation({f"layer {j}": per_layer for j in range(layers)})


def test_repr_of_a_large_animation_shows_its_ends():
    animation = large_animation(100000, 1000)
    text = repr(animation)
    assert len(text) <= 500000
    assert text.count(", ...") == 1 + 6 * 1  # the body's layers, and the keys of each of the 6 shown
    assert "'layer 0': KeyList([AnimationKey(AnimationKeyCommand(AnimationKeyCommandEffect.Held1), 2), " in text
    assert "'layer 997'" in text and "'layer 996'" not in text and "'layer 10'" in text
    assert text.endswith("'layer 999': KeyList([AnimationKey(AnimationKeyCommand(AnimationKeyCommandEffect.Held1), 2), "
                         "AnimationKey(AnimationKeyCommand(AnimationKeyCommandEffect.Linear, [1.0, 2.0]), 2), "
                         "AnimationKey(AnimationKeyCommand(AnimationKeyCommandEffect.Held1), 2), ..., "
                         "AnimationKey(AnimationKeyCommand(AnimationKeyCommandEffect.Linear, [97.0, 98.0]), 2), "
                         "AnimationKey(AnimationKeyCommand(AnimationKeyCommandEffect.Held1), 2), "
                         "AnimationKey(AnimationKeyCommand(AnimationKeyCommandEffect.Linear, [99.0, 100.0]), 1)])}), "
                         "LayerMap({}), fps=25.0)")


def test_repr_up_to_the_threshold_is_whole():
    namespace = dict(vars(am))
    keys = KeyList([held(1)] * 1000)
    assert "..." not in repr(keys) and eval(repr(keys), namespace) == keys
    keys.append(held(1))
    assert repr(keys).count("AnimationKey(") == 6
    layers = LayerMap({f"{i:03}": [] for i in range(1000)})
    assert eval(repr(layers), namespace) == layers
    layers["x"] = []
    assert repr(layers).startswith("LayerMap({'000': KeyList([]), '001': KeyList([]), '002': KeyList([]), ..., '998'")
    # Keys and layers count together: one layer of 999 keys is whole, two of 600 are summarised.
    assert repr(LayerMap({"a": [held(1)] * 999})).count("AnimationKey(") == 999
    assert repr(LayerMap({"a": [held(1)] * 600, "b": [held(2)] * 600})).count("AnimationKey(") == 12


@pytest.mark.parametrize("layers", [10, 1000, 100000])
def test_notebook_outputs_of_a_large_animation_stay_small(layers):
    animation = large_animation(100000, layers)
    svg, html = animation._repr_svg_(), animation.player()._repr_html_()
    assert len(svg.encode()) <= 20000 and len(html.encode()) <= 500000
    assert svg.startswith("<svg") and svg.endswith("</svg>\n")
    if len(animation.to_svg()) > 20000:
        assert f"animation: {layers} layers, 100000 keys, " in svg and "to_svg() and to_html()" in svg
    else:
        assert svg == animation.to_svg()


def test_notebook_outputs_of_a_small_animation_are_whole():
    animation = am.load(ANIMATION)
    assert animation._repr_svg_() == animation.to_svg()
    frame = animation.player()._repr_html_()
    assert frame.startswith('<iframe title="player of animation" sandbox="allow-scripts" style="width:100%;height:')
    assert "animationmodelFrameHeight" in frame and frame.count("<iframe") == 1
    # The height a frame starts with, before its page reports one: the picture, the controls and a row per
    # layer, at most a screen's.
    start = int(re.search(r"height:(\d+)px", frame).group(1))
    assert 300 < start < 900
    tall = LayerMap({f"layer {i}": [held(2)] for i in range(100)}).player()._repr_html_()
    assert re.search(r"height:(\d+)px", tall).group(1) == "900"
