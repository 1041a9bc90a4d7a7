// The compiled part of the Python package `animationmodel`: the library, its
// file format and playback. One binding function per area; see bindings.h
// for the rules every one of them keeps.
#include "bindings.h"
#include "copies.h"

#include <animationmodel/version.h>

namespace Korva::python {
namespace {

// Every class exists before any method is bound, so that every signature
// names the module's own classes.
void declareClasses(py::module_& m)
{
    const py::class_<AnimationKeyCommand> command(
        m, "AnimationKeyCommand", "An effect and the float32 arguments it needs (2 for Linear, 0 for the others).");
    const py::class_<AnimationKey> key(m, "AnimationKey",
                                       "A key command held for a whole number of frames (at least 1).");
    const py::class_<KeyList> keyList(
        m, "KeyList",
        "A layer's keys in playing order, held as C++ values. Items are copies: change a key by "
        "assigning it (keys[i] = key). A list of keys is accepted wherever a KeyList is expected.");
    const py::class_<LayerMap> layerMap(
        m, "LayerMap",
        "Layer name (str) to that layer's keys, in name order, held as C++ values: a timeline, or one "
        "phase of an animation. Items are copies: change a layer by assigning it (layers[name] = "
        "keys). A dict of lists of keys is accepted wherever a LayerMap is expected.");
    const py::class_<Animation> animation(
        m, "Animation",
        "Three phases (intro, body, outro) of named layers, played one after the other, and a "
        "frame rate (25 by default).");
    const py::class_<AnimationSampler> sampler(
        m, "AnimationSampler",
        "Plays an animation back: which key every layer is on at a frame. Each call holds "
        "the interpreter lock, so a sampler shared by threads gives correct results, but "
        "its cursor is shared: give each thread its own sampler to walk frames.");
    const py::class_<AnimationClip> clip(
        m, "AnimationClip",
        "An animation compiled for playback: immutable flat arrays, shareable by threads. Channels are the layer "
        "names of all three phases, indexed in byte-wise name order.");
    const py::class_<PlaybackStep> step(m, "PlaybackStep", "What one ClipPlayback.advance did.");
    const py::class_<ClipPlayback> playback(
        m, "ClipPlayback",
        "The position of one playing instance: the intro once, the body looped until a finish is requested, then "
        "the outro. A value: it keeps no reference to its clip.");
}

} // namespace
} // namespace Korva::python

PYBIND11_MODULE(_animationmodel, m)
{
    using namespace Korva::python;
    m.doc() = "Key-framed animations: key commands, keys, animations of three phases, their frame "
              "arithmetic, playback, and the animationmodel JSON file format.\n\n"
              "Arguments and rates are single precision: a Python float given to the library is rounded "
              "to the nearest float32, and reading returns that float32's exact value.";
    m.attr("__version__") = ANIMATIONMODEL_VERSION_STRING;
    // Classes take their full name from their scope's __module__: the
    // package, which re-exports them, is their home in signatures, reprs of
    // types and pickles.
    m.attr("__module__") = "animationmodel";
    bindErrors(m);
    declareClasses(m);
    bindCopies(m);
    bindValues(m);
    bindContainers(m);
    bindAnimation(m);
    bindSampler(m);
    bindFormat(m);
    bindClipFile(m);
    bindDisplay(m);
    bindRuntime(m);
    bindPlaybackOf(m);
    bindEvents(m);
    guardCommonBase();
    explainArgumentErrors(m);
    py::delattr(m, "__module__");
}
