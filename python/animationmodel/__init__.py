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

import ast as _ast
import inspect as _inspect
import os as _os
from typing import Any as _Any
from typing import Callable as _Callable
from typing import Iterable as _Iterable
from typing import List as _List
from typing import Mapping as _Mapping
from typing import Optional as _Optional
from typing import Tuple as _Tuple
from typing import TypedDict as _TypedDict
from typing import Union as _Union

from ._animationmodel import (
    Animation,
    AnimationJsonError,
    AnimationKey,
    AnimationKeyCommand,
    AnimationKeyCommandEffect,
    AnimationPhase,
    AnimationSampler,
    AnimationClip,
    ClipChannelMap,
    ClipCursor,
    ClipEventTracker,
    ClipPlayback,
    PlaybackStep,
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
    blend_samples,
    dump,
    dump_clip,
    dumps,
    dumps_clip,
    load,
    load_animation,
    load_timeline,
    loads,
    loads_clip,
    phase_name,
    split_every_key,
    split_every_key_count,
    CutOverrun,
    cut_overruns,
    clip_from_json,
    load_clip,
    timeline_from_json,
    timeline_to_json,
)

# Types that functions accept, for annotations.
EffectLike = _Union[AnimationKeyCommandEffect, int]
KeysLike = _Union[KeyList, _Iterable[AnimationKey]]
LayersLike = _Union[LayerMap, _Mapping[str, KeysLike]]
Document = _Union[Animation, LayerMap]
PathLike = _Union[str, "_os.PathLike[str]"]

try:
    import numpy as _numpy
    import numpy.typing as _numpy_typing

    # What sampling a clip gives: values, effects and key flags.
    ClipSamples = _Tuple[_numpy_typing.NDArray[_numpy.float32], _numpy_typing.NDArray[_numpy.int32],
                         _numpy_typing.NDArray[_numpy.bool_]]
except ImportError:  # the runtime's sampling needs NumPy; the rest of the package does not
    ClipSamples = _Tuple[_Any, _Any, _Any]  # type: ignore[misc]


class SampleColumns(_TypedDict):
    """The columns of AnimationSampler.sample_range, one item per row."""

    frame: _List[int]
    phase: _List[AnimationPhase]
    layer: _List[str]
    key: _List[int]
    offset: _List[int]
    effect: _List[_Union[AnimationKeyCommandEffect, int]]
    value: _List[_Optional[float]]


__all__ = [
    "Document",
    "EffectLike",
    "KeysLike",
    "LayersLike",
    "PathLike",
    "SampleColumns",
    "Animation",
    "AnimationJsonError",
    "AnimationKey",
    "AnimationKeyCommand",
    "AnimationKeyCommandEffect",
    "AnimationPhase",
    "AnimationSampler",
    "AnimationClip",
    "ClipChannelMap",
    "ClipCursor",
    "ClipEventTracker",
    "ClipPlayback",
    "ClipSamples",
    "PlaybackStep",
    "Held1",
    "Held2",
    "Held3",
    "KeyList",
    "LayerMap",
    "LayerSample",
    "Linear",
    "animation_from_json",
    "animation_to_json",
    "blend_samples",
    "dump",
    "dump_clip",
    "dumps",
    "dumps_clip",
    "load",
    "load_animation",
    "load_timeline",
    "loads",
    "loads_clip",
    "phase_name",
    "split_every_key",
    "split_every_key_count",
    "CutOverrun",
    "cut_overruns",
    "clip_from_json",
    "load_clip",
    "timeline_from_json",
    "timeline_to_json",
]


def _signature_of(native: object) -> _inspect.Signature:
    """The signature the compiled method's docstring gives, or (self, *args,
    **kwargs) for one of several overloads (whose docstring lists them all)."""
    first_line = (getattr(native, "__doc__", None) or "").split("\n", 1)[0]
    name = getattr(native, "__name__", "")
    generic = _inspect.Signature([
        _inspect.Parameter("self", _inspect.Parameter.POSITIONAL_OR_KEYWORD),
        _inspect.Parameter("args", _inspect.Parameter.VAR_POSITIONAL),
        _inspect.Parameter("kwargs", _inspect.Parameter.VAR_KEYWORD),
    ])
    try:
        function = _ast.parse(f"def f{first_line[len(name):]}: pass").body[0]
        assert isinstance(function, _ast.FunctionDef) and first_line.startswith(name + "(")
        arguments = function.args
        defaults = [_ast.literal_eval(d) for d in arguments.defaults]
    except (SyntaxError, ValueError, AssertionError, IndexError):
        return generic
    if arguments.vararg or arguments.kwarg or arguments.kwonlyargs or arguments.posonlyargs:
        return generic
    parameters = []
    first_default = len(arguments.args) - len(defaults)
    for index, argument in enumerate(arguments.args):
        annotation = _ast.unparse(argument.annotation) if argument.annotation and index else _inspect.Parameter.empty
        default = defaults[index - first_default] if index >= first_default else _inspect.Parameter.empty
        parameters.append(_inspect.Parameter(argument.arg, _inspect.Parameter.POSITIONAL_OR_KEYWORD,
                                             default=default, annotation=annotation))
    returns = _ast.unparse(function.returns) if function.returns else _inspect.Signature.empty
    return _inspect.Signature(parameters, return_annotation=returns)


def _guarded(cls: type, method: str, native: _Callable[..., None]) -> _Callable[..., None]:
    def guarded(self: object, *args: object, **kwargs: object) -> None:
        if _holds_value(self):
            raise TypeError(f"{type(self).__name__}.{method}() on an instance that already holds a value")
        native(self, *args, **kwargs)

    guarded.__name__ = method
    guarded.__qualname__ = f"{cls.__name__}.{method}"
    guarded.__module__ = cls.__module__
    guarded.__doc__ = native.__doc__
    guarded.__signature__ = _signature_of(native)  # type: ignore[attr-defined]
    return guarded


def _refuse_second_initialisation(cls: type) -> None:
    """Makes __init__ and __setstate__ refuse an instance that already holds a
    value (the compiled module would ignore the call)."""
    for method in ("__init__", "__setstate__"):
        native = cls.__dict__.get(method)
        if native is not None:
            setattr(cls, method, _guarded(cls, method, native))


for _class in (AnimationKeyCommand, AnimationKey, KeyList, LayerMap, Animation, AnimationSampler, LayerSample,
               CutOverrun, AnimationClip, ClipChannelMap, ClipCursor, ClipEventTracker, ClipPlayback,
               PlaybackStep):
    _refuse_second_initialisation(_class)
del _class
