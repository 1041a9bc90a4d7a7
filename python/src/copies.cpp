// Copies that refuse changes (see copies.h).
#include "copies.h"

#include <initializer_list>
#include <string>

namespace Korva::python {

const char* const phaseChangeHint =
    "an Animation's phases are copies and an Animation does not change them: build a changed animation with "
    "Animation(intro, body, outro, fps), e.g. intro = LayerMap(anim.intro); intro[name] = keys; "
    "anim = Animation(intro, anim.body, anim.outro, anim.fps)";

namespace {

const char* const keysChangeHint =
    "this KeyList is a copy of a layer's keys, and changing it would change nothing: change a copy you own, "
    "keys = KeyList(layers[name]), then assign it, layers[name] = keys (for an Animation's phase, build a changed "
    "animation with Animation(intro, body, outro, fps))";

const char* const commandChangeHint =
    "this AnimationKeyCommand is a copy of a key's command, and changing it would change nothing: build a changed "
    "key, AnimationKey(AnimationKeyCommand(effect, args), key.duration), and put it in place of the key";

// Makes every method of `names` on `cls` raise TypeError(`hint`); the class
// cannot be made from Python and pickles as its base `base`.
template <class T, class Base>
void refuseChanges(py::class_<T, Base>& cls, std::initializer_list<const char*> names, const char* hint,
                   const char* base)
{
    for (const char* name : names) {
        cls.def(name, [hint](const py::object&, const py::args&, const py::kwargs&) { throw py::type_error(hint); });
    }
    const std::string baseName = base;
    cls.def("__init__", [baseName](const py::object&, const py::args&, const py::kwargs&) {
        throw py::type_error("a copy handed out by the module cannot be made; make a " + baseName + " instead");
    });
    cls.def("__setstate__", [baseName](const py::object&, const py::args&, const py::kwargs&) {
        throw py::type_error("a copy handed out by the module cannot be made; make a " + baseName + " instead");
    });
    // Pickled as a copy of the base class's (which pickles as that class does).
    cls.def(
        "__reduce_ex__",
        [](const py::object& self, int) {
            const py::object copy = py::module_::import("copy").attr("copy");
            return py::make_tuple(copy, py::make_tuple(copy(self)));
        },
        py::arg("protocol"));
}

} // namespace

void bindCopies(py::module_& m)
{
    py::class_<CommandCopy, AnimationKeyCommand> command(
        m, "_AnimationKeyCommandCopy",
        "A copy of a key's command: read it as an AnimationKeyCommand; it refuses changes.");
    refuseChanges(command, {"set_effect", "set_args", "set_effect_and_args"}, commandChangeHint, "AnimationKeyCommand");
    py::class_<KeysCopy, KeyList> keys(m, "_KeyListCopy",
                                       "A copy of a layer's keys: read it as a KeyList; it refuses changes.");
    refuseChanges(keys,
                  {"append", "extend", "insert", "pop", "clear", "remove", "__setitem__", "__delitem__", "__iadd__"},
                  keysChangeHint, "KeyList");
    py::class_<PhaseCopy, LayerMap> phase(m, "_PhaseCopy",
                                          "A copy of an Animation's phase: read it as a LayerMap; it refuses changes.");
    refuseChanges(phase, {"__setitem__", "__delitem__"}, phaseChangeHint, "LayerMap");
}

} // namespace Korva::python
