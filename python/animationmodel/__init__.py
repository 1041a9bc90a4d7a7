"""Key-framed animations: key commands, keys, animations of three phases, their
frame arithmetic, playback, and the animationmodel JSON file format.

Arguments and rates are single precision: a Python float given to the library
is rounded to the nearest float32, and reading returns that float32's exact value.

Safety: no Python code can make the module read freed memory. Items taken from
a KeyList or a LayerMap are copies, iteration runs over a snapshot, an object
made by __new__ (or a pickle without its state) is refused with TypeError, and
the interpreter lock is released only while the library works on private data
(text, paths, copies).
"""

import os
from typing import Iterable, Mapping, Union

from ._animationmodel import (
    Animation,
    AnimationJsonError,
    AnimationKey,
    AnimationKeyCommand,
    AnimationKeyCommandEffect,
    AnimationPhase,
    AnimationSampler,
    Held1,
    Held2,
    Held3,
    KeyList,
    LayerMap,
    LayerSample,
    Linear,
    __version__,
    _cut_on_a_copy,
    _dumps_on_a_copy,
    _holds_value,
    _load_cut_save,
    animation_from_json,
    animation_to_json,
    dump,
    dump_clip,
    dumps,
    dumps_clip,
    load,
    loads,
    loads_clip,
    phase_name,
    split_every_key,
    split_every_key_count,
    CutOverrun,
    cut_overruns,
    timeline_from_json,
    timeline_to_json,
)

# Types that functions accept, for annotations.
EffectLike = Union[AnimationKeyCommandEffect, int]
KeysLike = Union[KeyList, Iterable[AnimationKey]]
LayersLike = Union[LayerMap, Mapping[str, KeysLike]]
Document = Union[Animation, LayerMap]
PathLike = Union[str, "os.PathLike[str]"]

__all__ = [
    "Document",
    "EffectLike",
    "KeysLike",
    "LayersLike",
    "PathLike",
    "Animation",
    "AnimationJsonError",
    "AnimationKey",
    "AnimationKeyCommand",
    "AnimationKeyCommandEffect",
    "AnimationPhase",
    "AnimationSampler",
    "Held1",
    "Held2",
    "Held3",
    "KeyList",
    "LayerMap",
    "LayerSample",
    "Linear",
    "animation_from_json",
    "animation_to_json",
    "dump",
    "dump_clip",
    "dumps",
    "dumps_clip",
    "load",
    "loads",
    "loads_clip",
    "phase_name",
    "split_every_key",
    "split_every_key_count",
    "CutOverrun",
    "cut_overruns",
    "timeline_from_json",
    "timeline_to_json",
]


def _refuse_second_initialisation(cls: type) -> None:
    """Makes __init__ and __setstate__ refuse an instance that already holds a
    value (the compiled module would ignore the call)."""
    for method in ("__init__", "__setstate__"):
        native = getattr(cls, method, None)
        if native is None:
            continue

        def guarded(self: object, *args: object, __native: object = native, __method: str = method,
                    **kwargs: object) -> None:
            if _holds_value(self):
                raise TypeError(f"{type(self).__name__}.{__method}() on an instance that already holds a value")
            __native(self, *args, **kwargs)  # type: ignore[operator]

        guarded.__name__ = method
        guarded.__qualname__ = f"{cls.__name__}.{method}"
        guarded.__doc__ = native.__doc__
        setattr(cls, method, guarded)


for _class in (AnimationKeyCommand, AnimationKey, KeyList, LayerMap, Animation, AnimationSampler):
    _refuse_second_initialisation(_class)
del _class
