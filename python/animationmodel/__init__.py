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
import re as _re
from typing import Any as _Any
from typing import Callable as _Callable
from typing import Dict as _Dict
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
    NotebookPlayer,
    LayerSample,
    Linear,
    __version__,
    _cut_on_a_copy,
    _dumps_on_a_copy,
    _holds_value,
    _set_native_doc,
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
EffectLike = _Union[AnimationKeyCommandEffect, int, str]
PhaseLike = _Union[AnimationPhase, str]
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
    "PhaseLike",
    "NotebookPlayer",
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


def _header(line: str) -> _Optional[_ast.FunctionDef]:
    """The function a signature line 'name(parameters) -> type' declares, or None."""
    try:
        function = _ast.parse(f"def {line.strip()}: pass").body[0]
    except SyntaxError:
        return None
    return function if isinstance(function, _ast.FunctionDef) else None


def _text_signature(function: _ast.FunctionDef) -> _Optional[str]:
    """The parameters of a function as CPython reads them from a docstring
    (no annotations; literal defaults only), or None."""
    arguments = function.args
    positional = arguments.posonlyargs + arguments.args
    defaults: _List[_Optional[_ast.expr]] = [None] * (len(positional) - len(arguments.defaults))
    defaults += arguments.defaults
    parts = []
    pairs = list(zip(positional, defaults)) + list(zip(arguments.kwonlyargs, arguments.kw_defaults))
    for index, (argument, default) in enumerate(pairs):
        if index == len(arguments.posonlyargs) and arguments.posonlyargs:
            parts.append("/")
        if index == len(positional):
            parts.append("*" + arguments.vararg.arg if arguments.vararg else "*")
        if default is None:
            parts.append(argument.arg)
            continue
        try:
            _ast.literal_eval(default)
        except ValueError:
            return None
        parts.append(f"{argument.arg}={_ast.unparse(default)}")
    if arguments.vararg and not arguments.kwonlyargs:
        parts.append("*" + arguments.vararg.arg)
    if arguments.kwarg:
        parts.append("**" + arguments.kwarg.arg)
    return "(" + ", ".join(parts) + ")"


def _stub_functions() -> _Dict[_Tuple[str, str], _List[_ast.FunctionDef]]:
    """The functions and methods of the stubs, by (class name or '', name): several for overloads."""
    try:
        with open(_os.path.join(_os.path.dirname(__file__), "__init__.pyi"), encoding="utf-8") as stub:
            tree = _ast.parse(stub.read())
    except (OSError, SyntaxError):
        return {}
    found: _Dict[_Tuple[str, str], _List[_ast.FunctionDef]] = {}
    scopes: _List[_Tuple[str, _List[_ast.stmt]]] = [("", tree.body)]
    scopes += [(node.name, node.body) for node in tree.body if isinstance(node, _ast.ClassDef)]
    for owner, body in scopes:
        for node in body:
            if isinstance(node, _ast.FunctionDef) and not any(
                    _ast.unparse(d) == "property" or _ast.unparse(d).endswith(".setter") for d in node.decorator_list):
                found.setdefault((owner, node.name), []).append(node)
    return found


def _precise(stub: _ast.FunctionDef, runtime: _Optional[_ast.FunctionDef]) -> str:
    """The stub's line for a function: its types, with the defaults the module has."""
    line = _ast.FunctionDef(name=stub.name, args=_copy_arguments(stub.args, runtime), body=[_ast.Pass()],
                            decorator_list=[], returns=stub.returns, type_comment=None)
    return _ast.unparse(_ast.fix_missing_locations(line)).split("\n", 1)[0][len("def "):].rstrip(":")


def _copy_arguments(arguments: _ast.arguments, runtime: _Optional[_ast.FunctionDef]) -> _ast.arguments:
    given: _Dict[str, _ast.expr] = {}
    if runtime is not None:
        positional = runtime.args.posonlyargs + runtime.args.args
        for argument, default in zip(positional[len(positional) - len(runtime.args.defaults):],
                                     runtime.args.defaults):
            given[argument.arg] = default
        for argument, kw_default in zip(runtime.args.kwonlyargs, runtime.args.kw_defaults):
            if kw_default is not None:
                given[argument.arg] = kw_default
    positional = arguments.posonlyargs + arguments.args
    defaults = [given.get(a.arg, d) for a, d in zip(positional[len(positional) - len(arguments.defaults):],
                                                     arguments.defaults)]
    kw_defaults = [given.get(a.arg, d) if d is not None else None
                   for a, d in zip(arguments.kwonlyargs, arguments.kw_defaults)]
    return _ast.arguments(posonlyargs=arguments.posonlyargs, args=arguments.args, vararg=arguments.vararg,
                          kwonlyargs=arguments.kwonlyargs, kw_defaults=kw_defaults, kwarg=arguments.kwarg,
                          defaults=defaults)


def _document(native: _Any, owner: str, stubs: _Dict[_Tuple[str, str], _List[_ast.FunctionDef]]) -> None:
    """Gives a compiled function a signature that inspect reads, and a first
    line of help with the stubs' types (pybind11's would say 'object')."""
    name = native.__name__
    doc = native.__doc__ or ""
    if native.__text_signature__ is not None or not doc.startswith(name + "("):
        return
    first, _, rest = doc.partition("\n")
    overloads: _List[_Tuple[str, str]] = []  # (pybind11's line, its text)
    if rest.startswith("Overloaded function."):
        for block in _re.split(r"\n(?=\d+\. )", rest.split("\n\n", 1)[1]):
            line, _, text = block.partition("\n")
            overloads.append((line.split(". ", 1)[1], text.strip()))
    else:
        overloads.append((first, rest.strip()))
    headers = [_header(line) for line, _ in overloads]
    texts = {_text_signature(h) if h is not None else None for h in headers}
    if len(texts) == 1 and None not in texts:
        signature = texts.pop()
    else:
        signature = "(self, /, *args, **kwargs)" if owner else "(*args, **kwargs)"
    stub = stubs.get((owner, name), [])
    lines = []
    for index, (line, text) in enumerate(overloads):
        runtime = headers[index]
        shown = _precise(stub[index], runtime) if len(stub) == len(overloads) else line
        lines.append(shown + ("\n    " + text if len(overloads) > 1 and text else ""))
    body = "\n".join(lines)
    if len(overloads) == 1 and overloads[0][1]:
        body += "\n\n" + overloads[0][1]
    _set_native_doc(native, f"{name}{signature}\n--\n\n{body}")


def _document_module() -> None:
    stubs = _stub_functions()
    from . import _animationmodel

    for value in vars(_animationmodel).values():
        if type(value).__name__ == "builtin_function_or_method":
            _document(value, "", stubs)
        elif isinstance(value, type):
            for attribute in vars(value).values():
                if type(attribute).__name__ == "instancemethod" or isinstance(attribute, staticmethod):
                    native = attribute.__func__
                    if type(native).__name__ == "builtin_function_or_method":
                        _document(native, value.__name__, stubs)


def _signature_of(cls: type, native: _Any) -> _inspect.Signature:
    """The signature of a compiled __init__ or __setstate__, with the stubs' types when it has one form."""
    signature = _inspect.signature(native)
    stub = _stub_functions().get((cls.__name__, native.__name__), [])
    if len(stub) != 1:
        return signature
    # By name, or by position where pybind11 names a parameter arg0.
    stubbed = stub[0].args.args + stub[0].args.kwonlyargs
    annotations = {a.arg: _ast.unparse(a.annotation) for a in stubbed if a.annotation is not None}
    runtime = list(signature.parameters.values())
    if len(runtime) == len(stubbed):
        annotations.update({p.name: _ast.unparse(a.annotation) for p, a in zip(runtime, stubbed)
                            if a.annotation is not None and p.name not in annotations})
    parameters = [p.replace(annotation=annotations.get(p.name, p.annotation)) for p in runtime]
    returns = _ast.unparse(stub[0].returns) if stub[0].returns is not None else signature.return_annotation
    return signature.replace(parameters=parameters, return_annotation=returns)


# What the module converts implicitly to its classes.
_CONVERTED: _Dict[str, _Tuple[type, ...]] = {"LayerMap": (dict,), "KeyList": (list, tuple),
                                            "AnimationKeyCommandEffect": (int,)}


def _shown(value: object) -> str:
    text = repr(value)
    return (text if len(text) <= 60 else text[:57] + "...") + f" ({type(value).__name__})"


def _refusal(annotation: str, value: object) -> _Optional[str]:
    """What a parameter of pybind11's type `annotation` expects, when `value` is not it; None when it is."""
    from . import _animationmodel

    name = annotation.rsplit(".", 1)[-1]
    native = getattr(_animationmodel, name, None)
    if isinstance(native, type) and annotation.startswith("animationmodel."):
        article = "an" if name[0] in "AEIOU" else "a"
        return None if isinstance(value, (native,) + _CONVERTED.get(name, ())) else f"{article} {name}"
    if name == "int":
        return "an int in range" if hasattr(type(value), "__index__") else "an int"
    if name == "float":
        return None if hasattr(type(value), "__float__") or hasattr(type(value), "__index__") else "a real number"
    expected = {"bool": "True or False", "str": "a str", "bytes": "bytes"}.get(name)
    return expected if expected and type(value).__name__ != name else None


def _mismatch(function: _ast.FunctionDef, args: _Tuple[object, ...], kwargs: _Dict[str, object]) -> _Tuple[int, str]:
    """Why a call does not fit one form of a function, and how sure that is (0: the
    count of arguments, 1: nothing found, 2: an int out of range, 3: a value of the wrong type)."""
    arguments = function.args
    positional = arguments.posonlyargs + arguments.args
    method = bool(positional) and positional[0].arg == "self"
    shift = 1 if method else 0
    if len(args) > len(positional) and arguments.vararg is None:
        return 0, f"takes at most {len(positional) - shift} positional arguments, not {len(args) - shift}"
    bound = {parameter.arg: value for parameter, value in zip(positional, args)}
    names = {parameter.arg for parameter in positional + arguments.kwonlyargs}
    for key, value in kwargs.items():
        if key not in names and arguments.kwarg is None:
            return 0, f"has no parameter named {key!r}"
        bound[key] = value
    required = positional[:len(positional) - len(arguments.defaults)]
    required += [a for a, d in zip(arguments.kwonlyargs, arguments.kw_defaults) if d is None]
    for parameter in required:
        if parameter.arg not in bound:
            return 0, f"{parameter.arg} is missing"
    found: _List[_Tuple[int, str]] = [(1, "")]
    for parameter in positional[shift:] + arguments.kwonlyargs:
        if parameter.arg in bound and parameter.annotation is not None:
            expected = _refusal(_ast.unparse(parameter.annotation), bound[parameter.arg])
            if expected is not None:
                sure = 2 if expected.endswith(" in range") else 3
                shown = "the value" if _re.fullmatch(r"arg\d+", parameter.arg) else parameter.arg  # a setter's
                found.append((sure, f"{shown} must be {expected}, not {_shown(bound[parameter.arg])}"))
    return max(found, key=lambda reason: reason[0])


def _explain_arguments(name: str, forms: _List[str], args: _Tuple[object, ...], kwargs: _Dict[str, object]) -> str:
    """The message of a call whose arguments fit none of the forms of a compiled function (called by it)."""
    found = [_mismatch(function, args, kwargs) if function is not None else (1, "")
             for function in map(_header, forms)]
    surest = max(sure for sure, _ in found)
    reasons = list(dict.fromkeys(reason for sure, reason in found if sure == surest))
    if surest == 1 or (surest == 0 and len(reasons) > 1):
        first = _header(forms[0]) if forms else None
        method = first is not None and bool(first.args.args) and first.args.args[0].arg == "self"
        given = args[1:] if method else args
        shown = ", ".join([_shown(a) for a in given] + [f"{k}={_shown(v)}" for k, v in kwargs.items()])
        return f"{name}(): the arguments ({shown}) fit none of its forms; see help({name.split('.')[0]})"
    return f"{name}(): " + "; or ".join(reasons)


_document_module()


def _guarded(cls: type, method: str, native: _Callable[..., None]) -> _Callable[..., None]:
    def guarded(self: object, *args: object, **kwargs: object) -> None:
        if _holds_value(self):
            raise TypeError(f"{type(self).__name__}.{method}() on an instance that already holds a value")
        native(self, *args, **kwargs)

    guarded.__name__ = method
    guarded.__qualname__ = f"{cls.__name__}.{method}"
    guarded.__module__ = cls.__module__
    guarded.__doc__ = native.__doc__
    guarded.__signature__ = _signature_of(cls, native)  # type: ignore[attr-defined]
    return guarded


def _refuse_second_initialisation(cls: type) -> None:
    """Makes __init__ and __setstate__ refuse an instance that already holds a
    value (the compiled module would ignore the call)."""
    for method in ("__init__", "__setstate__"):
        native = cls.__dict__.get(method)
        if native is not None:
            setattr(cls, method, _guarded(cls, method, native))


class _Arguments(list):  # type: ignore[type-arg]
    """A copy of a command's arguments: a list that refuses changes, which would change nothing."""

    def _refuse(self, *args: object, **kwargs: object) -> None:
        raise TypeError("AnimationKeyCommand.args is a copy, and changing it would change nothing: set the "
                        "arguments with command.args = [...] or command.set_args([...]); for a key's command, "
                        "build a changed key, AnimationKey(AnimationKeyCommand(effect, args), key.duration)")

    append = extend = insert = pop = remove = clear = sort = reverse = _refuse  # type: ignore[assignment]
    __setitem__ = __delitem__ = __iadd__ = __imul__ = _refuse  # type: ignore[assignment]


def _arguments_property() -> property:
    native = AnimationKeyCommand.__dict__["args"]

    def get(command: AnimationKeyCommand) -> _List[float]:
        return _Arguments(native.__get__(command))

    def set(command: AnimationKeyCommand, args: object) -> None:
        command.set_args(args)  # type: ignore[arg-type]

    return property(get, set, None, "A copy of the arguments, as Python floats (it refuses changes); setting it "
                    "is set_args.")


AnimationKeyCommand.args = _arguments_property()  # type: ignore[misc]


for _class in (AnimationKeyCommand, AnimationKey, KeyList, LayerMap, Animation, AnimationSampler, LayerSample,
               CutOverrun, AnimationClip, ClipChannelMap, ClipCursor, ClipEventTracker, ClipPlayback,
               PlaybackStep):
    _refuse_second_initialisation(_class)
del _class
