"""Binary clip files from Python: load and the typed loaders read them, dump_clip writes them."""
import io
import os
import pickle

import pytest

import animationmodel as am

EXAMPLES = os.environ.get("ANIMATIONMODEL_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
MAGIC = b"\x89AMCLIP\n"


def example(name):
    return os.path.join(EXAMPLES, "data", name)


@pytest.mark.parametrize("name", ["show.animation.json", "show.timeline.json"])
def test_json_to_binary_to_json_is_byte_identical(name, tmp_path):
    document = am.load(example(name))
    data = am.dumps_clip(document)
    assert data.startswith(MAGIC) and len(data) % 8 == 0
    back = am.loads_clip(data)
    assert type(back) is type(document)
    with open(example(name), encoding="utf-8") as file:
        assert am.dumps(back) == file.read()
    path = tmp_path / "show.clip"
    am.dump_clip(document, path)
    assert path.read_bytes() == data
    assert am.dumps(am.load(path)) == am.dumps(document)
    assert am.dumps(am.load(str(path))) == am.dumps(document)


def test_load_reads_file_objects_of_both_kinds():
    document = am.load(example("show.animation.json"))
    data = am.dumps_clip(document)
    assert am.load(io.BytesIO(data)) == document
    with open(example("show.animation.json"), "rb") as file:
        assert am.load(file) == document
    with open(example("show.animation.json"), encoding="utf-8") as file:
        assert am.load(file) == document


def test_dump_clip_to_a_file_object_and_a_mapping():
    timeline = {"fade": [am.AnimationKey(am.AnimationKeyCommand(am.Linear, [0.0, 1.0]), 3)], "pose": []}
    target = io.BytesIO()
    am.dump_clip(timeline, target)
    back = am.loads_clip(target.getvalue())
    assert isinstance(back, am.LayerMap) and list(back) == ["fade", "pose"] and len(back["pose"]) == 0


def test_refusals_name_the_byte():
    data = bytearray(am.dumps_clip(am.load(example("show.animation.json"))))
    with pytest.raises(ValueError, match=r"^byte 24: the file says it holds \d+ bytes but it holds 100 "):
        am.loads_clip(bytes(data[:100]))
    data[200] ^= 1
    with pytest.raises(ValueError, match=r"^byte 8: the checksum does not match the content \(the file is damaged\)$"):
        am.load(io.BytesIO(bytes(data)))
    with pytest.raises(ValueError, match="not a binary clip file"):
        am.loads_clip(b"{}")


def test_type_errors():
    with pytest.raises(TypeError, match="value must be an Animation"):
        am.dumps_clip(3)
    with pytest.raises(TypeError, match="target must be a path or a binary file object"):
        am.dump_clip(am.Animation(), 3)
    with pytest.raises(TypeError):
        am.loads_clip("text")
    with pytest.raises(TypeError):
        am.load(3)


def test_typed_loaders_read_binary_clips_of_their_kind(tmp_path):
    animation = am.load_animation(example("show.animation.json"))
    timeline = am.load_timeline(example("show.timeline.json"))
    for value, load, other in ((animation, am.load_animation, am.load_timeline),
                               (timeline, am.load_timeline, am.load_animation)):
        path = tmp_path / "clip"
        am.dump_clip(value, path)
        assert load(path) == value and load(str(path)) == value
        with open(path, "rb") as file:
            assert load(file) == value
        expected, found = ("a timeline", "an animation") if value is animation else ("an animation", "a timeline")
        with pytest.raises(ValueError, match=f"^expected {expected}, not {found} \\(a binary clip file\\)$"):
            other(path)
        with pytest.raises(ValueError, match=f"^expected {expected}, not {found}"):
            other(io.BytesIO(am.dumps_clip(value)))
    # JSON of the other kind keeps its located error; text file objects still read.
    with pytest.raises(am.AnimationJsonError, match="expected an animation document, not a timeline"):
        am.load_animation(example("show.timeline.json"))
    with open(example("show.animation.json"), encoding="utf-8") as file:
        assert am.load_animation(file) == animation
    with pytest.raises(TypeError, match="^source must be a path or a file object with read\\(\\), not int$"):
        am.load_timeline(3)


@pytest.mark.parametrize("name", ["show.animation.json", "show.timeline.json"])
def test_load_clip_gives_the_same_clip_of_a_binary_file_and_its_json(name, tmp_path):
    from_json = am.load_clip(example(name))
    path = tmp_path / "show.clip"
    am.dump_clip(am.load(example(name)), path)
    for source in (path, str(path), io.BytesIO(path.read_bytes())):
        clip = am.load_clip(source)
        assert clip == from_json and clip.from_timeline == from_json.from_timeline
        frames = [f + 0.25 for f in range(clip.frame_count() + 1)]
        for got, expected in zip(clip.sample(frames), from_json.sample(frames)):
            assert got.tobytes() == expected.tobytes()


def test_a_clip_pickles_as_its_binary_clip_file():
    clip = am.load_clip(example("show.animation.json"))
    data = am.dumps_clip(am.load(example("show.animation.json")))
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        assert clip.__reduce_ex__(protocol)[2] == (data,)
        again = pickle.loads(pickle.dumps(clip, protocol))
        assert again == clip and again.__reduce_ex__(protocol)[2] == (data,)
    damaged = bytearray(data)
    damaged[-1] ^= 1
    with pytest.raises(ValueError, match=r"^byte 8: the checksum does not match the content \(the file is damaged\)$"):
        am.AnimationClip.__new__(am.AnimationClip).__setstate__((bytes(damaged),))


def test_load_clip_refuses_a_damaged_binary_file_as_every_door_does(tmp_path):
    data = bytearray(am.dumps_clip(am.load(example("show.animation.json"))))
    data[-1] ^= 1
    path = tmp_path / "damaged.clip"
    path.write_bytes(bytes(data))
    # The message of C++'s tryLoadClip and of the C interface's am_error.
    with pytest.raises(ValueError, match=r"^byte 8: the checksum does not match the content \(the file is damaged\)$"):
        am.load_clip(path)
