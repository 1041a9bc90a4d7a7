"""Cutting timelines and sampling animations, from Python."""
import os
import resource

import pytest

import animationmodel as am
from animationmodel import Animation, AnimationKey, AnimationKeyCommand, AnimationPhase, AnimationSampler

EXAMPLES = os.environ.get("ANIMATIONMODEL_EXAMPLES", os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
TIMELINE = os.path.join(EXAMPLES, "data", "show.timeline.json")
ANIMATION = os.path.join(EXAMPLES, "data", "show.animation.json")


def test_cut_a_loaded_timeline_without_conversion():
    timeline = am.load(TIMELINE)
    assert isinstance(timeline, am.LayerMap)
    cut = Animation(timeline, 24, 72)
    assert cut == am.load(ANIMATION)
    assert len(timeline) == 5  # the caller's timeline is kept
    # A plain dict of lists of keys is a timeline too.
    as_dict = {name: list(keys) for name, keys in timeline.items()}
    assert Animation(as_dict, 24, 72) == cut


@pytest.mark.parametrize(
    "frame, phase, rows",
    [
        (0, AnimationPhase.Intro, [("glow", 0, 0, None), ("opacity", 0, 0, 0.0), ("pose", 0, 0, None),
                                   ("position x", 0, 0, -120.0), ("scale", 0, 0, 0.5)]),
        (24, AnimationPhase.Body, [("opacity", 0, 0, None), ("pose", 0, 0, None), ("position x", 0, 0, -24.0),
                                   ("scale", 0, 0, 1.0399999618530273)]),
        (95, AnimationPhase.Outro, [("opacity", 0, 23, 0.04166668653488159), ("pose", 0, 23, None),
                                    ("position x", 1, 19, 228.77499389648438), ("scale", 0, 23, 0.8166667222976685)]),
        (96, None, []),
        (2**64 - 1, None, []),
    ],
)
def test_seek(frame, phase, rows):
    animation = am.load(ANIMATION)
    sampler = AnimationSampler(animation)
    located = sampler.locate(frame)
    assert (located[0] if located else None) == phase
    assert [(s.layer, s.key_index, s.offset, s.value) for s in sampler.seek(frame)] == rows


def test_sample_range_matches_advance():
    sampler = AnimationSampler(am.load(ANIMATION))
    columns = sampler.sample_range(20, 30, layers={"opacity", "scale"})
    stepped = []
    sampler.seek(19)
    for frame in range(20, 30):
        for sample in sampler.advance():
            if sample.layer in ("opacity", "scale"):
                stepped.append((frame, sample.layer, sample.key_index, sample.offset, sample.value))
    assert list(zip(columns["frame"], columns["layer"], columns["key"], columns["offset"], columns["value"])) == stepped
    assert columns["phase"][0] == AnimationPhase.Intro and columns["phase"][-1] == AnimationPhase.Body
    assert set(columns["effect"]) == {int(am.Linear), int(am.Held1)}
    whole = AnimationSampler(am.load(ANIMATION)).sample_range()
    assert len(whole["frame"]) == sum(len(s) for s in (AnimationSampler(am.load(ANIMATION)).seek(f) for f in range(96)))


def test_sampler_keeps_its_animation_alive():
    sampler = AnimationSampler(Animation({"x": [AnimationKey(AnimationKeyCommand(am.Held1), 3)]}))
    assert sampler.frame_count() == 3
    assert sampler.seek(2)[0].layer == "x"


def test_many_cuts_do_not_leak():
    timeline = am.load(TIMELINE)

    def cut_many(times):
        for _ in range(times):
            animation = Animation(timeline, 24, 72)
            am.dumps(animation)
            AnimationSampler(animation).sample_range()

    cut_many(200)
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    cut_many(3000)
    grown_kib = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
    assert grown_kib < 2048


def test_sample_range_shares_the_core_rules():
    sampler = AnimationSampler(am.load(ANIMATION))
    assert sampler.sample_range(20, 30, layers=[])["frame"] == []
    assert set(sampler.sample_range(20, 30, layers="opacity")["layer"]) == {"opacity"}
    with pytest.raises(ValueError, match='^no layer named "nope"$'):
        sampler.sample_range(layers=["opacity", "nope"])
    # A range past the end, or near 2**64, gives no row at once.
    assert sampler.sample_range(2**64 - 1)["frame"] == []
    assert sampler.sample_range(95, 2**64 - 1)["frame"] == sampler.sample_range(95)["frame"]


def test_lengths_and_splitting_come_from_the_core():
    long_key = AnimationKey(AnimationKeyCommand(am.Held1), 2**32 - 1)
    animation = Animation({"a": [long_key, AnimationKey(AnimationKeyCommand(am.Held1), 2)]},
                          {"b": [AnimationKey(AnimationKeyCommand(am.Held2), 9)]}, {})
    assert animation.frame_count() == 4294967306
    assert animation.duration_in_frames() == 10
    assert animation.phase_frame_count(AnimationPhase.Body) == 9
    assert animation.phase(AnimationPhase.Body) == animation.body
    phases = (AnimationPhase.Intro, AnimationPhase.Body, AnimationPhase.Outro)
    assert [am.phase_name(p) for p in phases] == ["intro", "body", "outro"]
    animation.set_fps_to_fit_duration_in_seconds(2.0)
    assert animation.fps == 2147483648.0
    timeline = {"x": [AnimationKey(AnimationKeyCommand(am.Linear, [0.0, 12.0]), 10)]}
    assert am.split_every_key_count(timeline, 4) == 3
    assert [k.duration for k in am.split_every_key(timeline, 4)["x"]] == [4, 4, 2]
    # Cut where split_at cuts, so frame 4 still plays 4.8; even_values shares the values evenly.
    ramp = timeline["x"][0]
    assert [k.command.args for k in am.split_every_key(timeline, 4)["x"]] == [
        [0.0, ramp.value_at(4)], [ramp.value_at(4), ramp.value_at(8)], [ramp.value_at(8), 12.0]]
    assert [k.command.args for k in am.split_every_key(timeline, 4, even_values=True)["x"]] == [
        [0.0, 4.0], [4.0, 8.0], [8.0, 12.0]]
    assert am.split_every_key_count(animation, 2**31) == 4
    with pytest.raises(ValueError, match='^key 0 of layer "y" in the timeline cannot be split: command 7'):
        am.split_every_key({"y": [AnimationKey(AnimationKeyCommand(am.AnimationKeyCommandEffect(7)), 2)]}, 1)


def test_cut_overruns_name_the_bodies_past_the_outro_start() -> None:
    held = AnimationKey(AnimationKeyCommand(am.Held1), 30)
    timeline = {"a": [held], "b": [AnimationKey(AnimationKeyCommand(am.Held1), 5)]}
    (overrun,) = am.cut_overruns(timeline, 5, 25)
    assert (overrun.layer, overrun.key_index, overrun.frames) == ("a", 0, 5)
    assert repr(overrun) == "CutOverrun(layer='a', key_index=0, frames=5)"
    assert am.Animation(timeline, 5, 25).phase_frame_count(AnimationPhase.Body) == 25
    assert am.cut_overruns(timeline, 5, 30) == []
    with pytest.raises(OverflowError, match="^intro_end must be from 0 to 4294967295, not -1$"):
        am.cut_overruns(timeline, -1, 0)
