"""No Python code can crash the module or make it read freed memory.

Crash-prone cases run in a child process, so that a crash fails the test
instead of the run.
"""
import io
import os
import pickle
import subprocess
import sys
import textwrap

import pytest

import animationmodel as am
from animationmodel import Animation, AnimationKey, AnimationKeyCommand, AnimationSampler, KeyList, LayerMap


def held(duration, effect=am.Held1):
    return AnimationKey(AnimationKeyCommand(effect), duration)


def run_child(code):
    """Runs code in a fresh interpreter; returns its output, failing on a crash or an error."""
    child = subprocess.run(
        [sys.executable, "-c", "import animationmodel as am\nfrom animationmodel import *\n" + textwrap.dedent(code)],
        capture_output=True, text=True, timeout=240, env=dict(os.environ),
    )
    assert child.returncode == 0, f"exit status {child.returncode}\n{child.stdout}\n{child.stderr}"
    return child.stdout


# --- threads --------------------------------------------------------------

THREADS = """
import threading
keys = [AnimationKey(AnimationKeyCommand(am.Held1), 2)] * 50
timeline = LayerMap({f"layer {i}": keys for i in range(40)})
stop = False
def churn():
    i = 0
    while not stop:
        name = f"layer {i % 40}"
        del timeline[name]
        timeline[name] = keys
        i += 1
worker = threading.Thread(target=churn)
worker.start()
try:
    for _ in range(400):
        {action}
finally:
    stop = True
    worker.join()
print("ok")
"""


@pytest.mark.parametrize(
    "action",
    ["am.dumps(timeline)", "am.timeline_to_json(timeline)", "Animation(timeline, 30, 60)",
     "am.split_every_key(timeline, 1)", "LayerMap(timeline)"],
)
def test_reading_a_container_another_thread_changes(action):
    assert run_child(THREADS.replace("{action}", action)) == "ok\n"


def test_one_sampler_shared_by_threads_gives_complete_rows():
    out = run_child("""
        import threading
        animation = Animation({f"l{i}": [AnimationKey(AnimationKeyCommand(am.Linear, [0.0, 1.0]), 7)] * 30
                               for i in range(20)})
        sampler = AnimationSampler(animation)
        expected = AnimationSampler(animation).sample_range()
        failures = []
        def work():
            for _ in range(40):
                if sampler.sample_range() != expected:
                    failures.append(1)
                sampler.seek(5)
                sampler.advance()
        threads = [threading.Thread(target=work) for _ in range(4)]
        for t in threads: t.start()
        for t in threads: t.join()
        print(len(failures), len(expected["frame"]))
    """)
    assert out == "0 4200\n"


# --- references into containers -------------------------------------------

def test_items_are_values_of_their_own():
    keys = KeyList([held(3), held(4)])
    first = keys[0]
    keys.clear()
    keys.extend([held(9, am.Held2)] * 3)
    assert first == held(3) and first.command.effect == am.Held1
    layers = LayerMap({"a": [held(1)]})
    layer = layers["a"]
    del layers["a"]
    layers["b"] = [held(5)]
    assert layer == KeyList([held(1)])
    KeyList(layer).append(held(2))
    assert "a" not in layers and layers["b"] == KeyList([held(5)])


def test_changing_a_container_while_iterating_it():
    layers = LayerMap({"a": [held(1)], "b": [held(2)], "c": []})
    for name in layers:
        del layers[name]
    assert len(layers) == 0
    keys = KeyList([held(1)] * 3)
    seen = 0
    for _ in keys:
        keys.extend([held(2)] * 100)
        seen += 1
    assert seen == 3 and len(keys) == 303
    values = LayerMap({"a": [held(1)]}).values()
    assert values == [KeyList([held(1)])]


def test_a_list_extended_by_itself():
    keys = KeyList([held(1), held(2)])
    keys.extend(keys)
    assert [k.duration for k in keys] == [1, 2, 1, 2]


# --- instances never initialised ------------------------------------------

UNINITIALISED = [
    "LayerMap.__new__(LayerMap).__setitem__('x', KeyList())",
    "len(pickle.loads(b'\\x80\\x02canimationmodel\\nLayerMap\\n)\\x81.'))",
    "len(pickle.loads(b'\\x80\\x02canimationmodel\\nKeyList\\n)\\x81.'))",
    "pickle.loads(b'\\x80\\x02canimationmodel\\nAnimation\\n)\\x81.').frame_count()",
    "pickle.loads(b'\\x80\\x02canimationmodel\\nAnimationKey\\n)\\x81.').duration",
    "AnimationKeyCommand.__new__(AnimationKeyCommand).args",
    "am.dumps(Animation.__new__(Animation))",
    "AnimationSampler(Animation.__new__(Animation))",
    "AnimationSampler.__new__(AnimationSampler).seek(3)",
    "KeyList([AnimationKey.__new__(AnimationKey)])",
    "LayerMap({'x': KeyList.__new__(KeyList)})",
    "am.LayerSample.__new__(am.LayerSample).layer",
    "repr(am.LayerSample.__new__(am.LayerSample))",
    "am.CutOverrun.__new__(am.CutOverrun).layer",
    "repr(am.CutOverrun.__new__(am.CutOverrun))",
]


@pytest.mark.parametrize("use", UNINITIALISED)
def test_an_instance_never_initialised_is_refused(use):
    out = run_child(f"""
        import pickle
        try:
            {use}
        except TypeError as error:
            print(error)
    """)
    assert "holds no value" in out


def test_a_second_initialisation_is_refused():
    for value, arguments in [(Animation(), ()), (held(2), (AnimationKeyCommand(am.Held1), 3)),
                             (KeyList(), ()), (LayerMap({"a": []}), ()),
                             (AnimationKeyCommand(am.Held1), (am.Held2,))]:
        before = repr(value)
        with pytest.raises(TypeError, match=r"\.__init__\(\) on an instance that already holds a value$"):
            value.__init__(*arguments)
        with pytest.raises(TypeError, match=r"\.__setstate__\(\) on an instance that already holds a value$"):
            value.__setstate__(value.__getstate__())
        assert repr(value) == before
    sampler = AnimationSampler(Animation({"x": [held(3)]}))
    with pytest.raises(TypeError, match="already holds a value"):
        sampler.__init__(Animation())
    assert sampler.frame_count() == 3


def test_pickles_still_round_trip():
    timeline = LayerMap({"a": [held(2), AnimationKey(AnimationKeyCommand(am.Linear, [0.5, -1.0]), 3)]})
    animation = Animation(timeline, 1, 4)
    for value in (timeline, KeyList(timeline["a"]), animation, held(7), AnimationKeyCommand(am.Held3)):
        assert pickle.loads(pickle.dumps(value)) == value


# --- errors a Python user understands ---------------------------------------

@pytest.mark.parametrize(
    "call, error, message",
    [
        (lambda: LayerMap({"x": []})["nope"], KeyError, "'nope'"),
        (lambda: LayerMap({1: []}), TypeError, "a layer name must be str, not int"),
        (lambda: LayerMap({b"x": []}), TypeError, "a layer name must be str, not bytes"),
        (lambda: LayerMap()[b"x"], TypeError, "a layer name must be str, not bytes"),
        (lambda: Animation().has_layer(b"x"), TypeError, "a layer name must be str, not bytes"),
        (lambda: AnimationSampler(Animation()).sample_range(layers=[b"x"]), TypeError,
         "a layer name must be str, not bytes"),
        (lambda: am.dumps(5), TypeError, "value must be an Animation, a LayerMap or a mapping of str to keys, not int"),
        (lambda: am.load(type("F", (), {"read": lambda self: 5})()), TypeError, "text must be str or bytes, not int"),
        (lambda: am.load(5), TypeError, "source must be a path or a file object with read(), not int"),
        (lambda: KeyList([1]), TypeError, "keys must be AnimationKey, not int"),
        (lambda: LayerMap({"x": 3}), TypeError,
         "keys must be a KeyList or an iterable of AnimationKey, not int"),
        (lambda: AnimationKeyCommand(am.Linear, "ab"), TypeError, "args must be a sequence of real numbers, not 'ab' (str)"),
        (lambda: AnimationSampler(Animation()).sample_range(layers=5), TypeError,
         "layers must be None, a str or an iterable of str, not int"),
        (lambda: AnimationSampler(Animation({"x": [held(1)]})).sample_range(layers=["x", "nope"]), ValueError,
         'no layer named "nope"'),
    ],
)
def test_errors_name_what_went_wrong(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value) == message
    assert "PYBIND11" not in str(raised.value)


def test_dump_to_text_and_binary_files():
    animation = Animation({"x": [held(2)]})
    binary, text = io.BytesIO(), io.StringIO()
    am.dump(animation, binary)
    am.dump(animation, text)
    assert binary.getvalue().decode() == text.getvalue() == am.dumps(animation)
    assert am.load(io.BytesIO(binary.getvalue())) == animation


def test_signatures_show_python_types():
    assert "std::" not in AnimationKey.split_at.__doc__
    assert AnimationKey.split_at.__doc__.startswith("split_at(self, position: SupportsIndex) -> KeyList\n")
    assert am.__version__ == "2.0.0"


def test_an_endless_device_ends_every_load_at_once():
    """/dev/zero is read only as far as a document can go (in a child under a memory limit)."""
    out = run_child("""
        import resource
        resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))
        for load in (am.load, am.load_animation, am.load_timeline, am.load_clip):
            try:
                load("/dev/zero")
            except am.AnimationJsonError as error:
                print(load.__name__, error)
    """)
    assert out.splitlines() == [f"{name} 1:1: The document is empty."
                                for name in ("load", "load_animation", "load_timeline", "load_clip")]
