"""The file format from Python: round trips, located errors, files."""
import io
import math
import os
import struct

import pytest

import animationmodel as am
from animationmodel import Animation, AnimationKey, AnimationKeyCommand

EXAMPLES = os.environ.get("ANIMATIONMODEL_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))


def bits(value):
    return struct.pack("f", value)


@pytest.mark.parametrize("value", [0.1, -0.0, 1e-45, 3.4028234663852886e38, math.inf, -math.inf, 1 / 3])
def test_floats_round_trip_bit_for_bit(value):
    timeline = {"x": [AnimationKey(AnimationKeyCommand(am.Linear, [value, 0.0]), 1)]}
    loaded = am.loads(am.dumps(timeline))
    assert bits(loaded["x"][0].command.args[0]) == bits(value)
    assert am.dumps(loaded) == am.dumps(timeline)


def test_canonical_files_round_trip():
    for name in ("show.timeline.json", "show.animation.json"):
        path = os.path.join(EXAMPLES, "data", name)
        with open(path, encoding="utf-8") as file:
            text = file.read()
        assert am.dumps(am.loads(text)) == text
        assert am.dumps(am.load(path)) == text
        with open(path, "rb") as file:
            assert am.dumps(am.load(file)) == text


@pytest.mark.parametrize(
    "text, line, column, pointer, message",
    [
        ('{"format": "animationmodel",\n "version": 2}', 2, 13, "/version",
         "version 2 is newer than this library reads (version 1)"),
        ('{"format": "animationmodel", "version": 1, "body": {"a": [{"effect": "Held1", "duration": 0}]}}', 1, 91,
         "/body/a/0/duration", "Duration of AnimationKeyCommand must be > 0"),
        ("", 1, 1, "", "The document is empty."),
    ],
)
def test_located_errors(text, line, column, pointer, message):
    with pytest.raises(am.AnimationJsonError) as raised:
        am.loads(text)
    error = raised.value
    assert isinstance(error, ValueError)
    assert (error.line, error.column, error.pointer, error.message) == (line, column, pointer, message)
    location = f"{line}:{column}: {pointer}: " if pointer else f"{line}:{column}: "
    assert str(error) == location + message
    with pytest.raises(am.AnimationJsonError):
        am.animation_from_json('{"format": "animationmodel-timeline", "version": 1}')


def test_files(tmp_path):
    animation = Animation({"a": [AnimationKey(AnimationKeyCommand(am.Held2), 4)]})
    path = tmp_path / "a.json"
    am.dump(animation, path)
    assert am.load(str(path)) == animation
    buffer = io.StringIO()
    am.dump(animation, buffer)
    assert buffer.getvalue() == am.animation_to_json(animation) == path.read_text()
    with pytest.raises(FileNotFoundError) as raised:
        am.load(tmp_path / "none.json")
    assert raised.value.filename == str(tmp_path / "none.json")
    with pytest.raises(FileNotFoundError):
        am.dump(animation, tmp_path / "no" / "such.json")
    with pytest.raises(IsADirectoryError):
        am.load(tmp_path)
