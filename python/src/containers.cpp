// KeyList and LayerMap: a layer's keys and a map of layers, held as C++
// values. Items are handed out as copies and iteration runs over a snapshot,
// so nothing taken from a container ever refers into it.
#include "bindings.h"
#include "copies.h"
#include "reprs.h"

#include <animationmodel/animationjson.h>

#include <pybind11/operators.h>

#include <algorithm>

namespace Korva::python {

namespace {

// The keys of `keys`, a KeyList or any iterable of AnimationKey.
KeyList keysOf(const py::handle& keys)
{
    if (py::isinstance<KeyList>(keys)) {
        return keys.cast<KeyList>();
    }
    if (PyUnicode_Check(keys.ptr()) || PyBytes_Check(keys.ptr()) || !py::isinstance<py::iterable>(keys)) {
        throw py::type_error("keys must be a KeyList or an iterable of AnimationKey, not " + typeName(keys));
    }
    KeyList list;
    for (const py::handle key : keys) {
        if (!py::isinstance<AnimationKey>(key)) {
            throw py::type_error("keys must be AnimationKey, not " + typeName(key));
        }
        list.push_back(key.cast<AnimationKey>());
    }
    return list;
}

// A map of the layers of `layers`, a LayerMap or a mapping of str to keys.
LayerMap layersOf(const py::handle& layers)
{
    if (py::isinstance<LayerMap>(layers)) {
        return layers.cast<LayerMap>();
    }
    if (!PyMapping_Check(layers.ptr()) || PySequence_Check(layers.ptr())) {
        throw py::type_error("layers must be a LayerMap or a mapping of str to keys, not " + typeName(layers));
    }
    LayerMap map;
    const py::object items = py::reinterpret_steal<py::object>(PyMapping_Items(layers.ptr()));
    if (!items) {
        throw py::error_already_set();
    }
    for (const py::handle item : items) {
        const py::tuple pair = py::reinterpret_borrow<py::tuple>(item);
        map.insert_or_assign(layerName(pair[0]), keysOf(pair[1]));
    }
    return map;
}

// A Python index into a sequence of `size`, negative ones counting from the end.
std::size_t indexOf(std::ptrdiff_t index, std::size_t size)
{
    const auto count = static_cast<std::ptrdiff_t>(size);
    if (index < -count || index >= count) {
        throw py::index_error("KeyList index out of range");
    }
    return static_cast<std::size_t>(index < 0 ? index + count : index);
}

// Copies of the keys, as a list of Python objects.
py::list itemsOf(const KeyList& keys)
{
    py::list items(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        items[i] = py::cast(keys[i]);
    }
    return items;
}

// Raises KeyError(name), as a dict does.
[[noreturn]] void missingLayer(const py::object& name)
{
    PyErr_SetObject(PyExc_KeyError, name.ptr());
    throw py::error_already_set();
}

KeyList sliceOf(const KeyList& keys, const py::slice& slice)
{
    std::size_t start = 0;
    std::size_t stop = 0;
    std::size_t step = 0;
    std::size_t length = 0;
    if (!slice.compute(keys.size(), &start, &stop, &step, &length)) {
        throw py::error_already_set();
    }
    KeyList part;
    part.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        part.push_back(keys[start + i * step]);
    }
    return part;
}

void bindKeyListItems(py::class_<KeyList>& cls)
{
    cls.def("__len__", [](const KeyList& keys) { return keys.size(); })
        .def("__bool__", [](const KeyList& keys) { return !keys.empty(); })
        .def(
            "__getitem__", [](const KeyList& keys, std::ptrdiff_t i) { return keys[indexOf(i, keys.size())]; },
            py::arg("index"), "A copy of the key at index.")
        .def("__getitem__", &sliceOf, py::arg("index"), "A copy of the keys of a slice.")
        .def(
            "__setitem__",
            [](KeyList& keys, std::ptrdiff_t i, const AnimationKey& key) { keys[indexOf(i, keys.size())] = key; },
            py::arg("index"), py::arg("key"))
        .def(
            "__delitem__",
            [](KeyList& keys, std::ptrdiff_t i) {
                keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(indexOf(i, keys.size())));
            },
            py::arg("index"))
        .def(
            "__delitem__",
            [](KeyList& keys, const py::slice& slice) {
                std::size_t start = 0, stop = 0, step = 0, length = 0;
                if (!slice.compute(keys.size(), &start, &stop, &step, &length)) {
                    throw py::error_already_set();
                }
                std::vector<bool> drop(keys.size(), false);
                for (std::size_t i = 0; i < length; ++i) {
                    drop[start + i * step] = true;
                }
                KeyList kept;
                for (std::size_t i = 0; i < keys.size(); ++i) {
                    if (!drop[i]) {
                        kept.push_back(keys[i]);
                    }
                }
                keys.swap(kept);
            },
            py::arg("index"))
        .def(
            "__iter__", [](const KeyList& keys) { return py::iter(itemsOf(keys)); },
            "Iterates over copies of the keys as they are now; changing the list meanwhile changes nothing.")
        .def(
            "__contains__",
            [](const KeyList& keys, const py::object& key) {
                return py::isinstance<AnimationKey>(key)
                    && std::find(keys.begin(), keys.end(), key.cast<AnimationKey>()) != keys.end();
            },
            py::arg("key"));
}

void bindKeyListChanges(py::class_<KeyList>& cls)
{
    cls.def(
           "append", [](KeyList& keys, const AnimationKey& key) { keys.push_back(key); }, py::arg("key"))
        .def(
            "extend",
            [](KeyList& keys, const py::object& more) {
                const KeyList added = keysOf(more); // read all first: more may be keys itself
                keys.insert(keys.end(), added.begin(), added.end());
            },
            py::arg("keys"))
        .def(
            "insert",
            [](KeyList& keys, std::ptrdiff_t i, const AnimationKey& key) {
                const auto size = static_cast<std::ptrdiff_t>(keys.size());
                const std::ptrdiff_t at = std::clamp(i < 0 ? i + size : i, std::ptrdiff_t{0}, size);
                keys.insert(keys.begin() + at, key);
            },
            py::arg("index"), py::arg("key"))
        .def(
            "pop",
            [](KeyList& keys, std::ptrdiff_t i) {
                if (keys.empty()) {
                    throw py::index_error("pop from empty KeyList");
                }
                const std::size_t at = indexOf(i, keys.size());
                AnimationKey key = keys[at];
                keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(at));
                return key;
            },
            py::arg("index") = -1)
        .def("clear", [](KeyList& keys) { keys.clear(); })
        .def(
            "count",
            [](const KeyList& keys, const AnimationKey& key) { return std::count(keys.begin(), keys.end(), key); },
            py::arg("key"))
        .def(
            "remove",
            [](KeyList& keys, const AnimationKey& key) {
                const auto found = std::find(keys.begin(), keys.end(), key);
                if (found == keys.end()) {
                    throw py::value_error("KeyList.remove(key): key not in list");
                }
                keys.erase(found);
            },
            py::arg("key"));
}

void bindKeyList(py::module_& m)
{
    py::class_<KeyList> cls = classOf<KeyList>(m, "KeyList");
    defineInit<KeyList>(
        cls, [] { return KeyList(); }, "An empty list.");
    defineInit<KeyList, const py::object&>(
        cls, [](const py::object& keys) { return keysOf(keys); }, py::arg("keys"),
        "A list holding copies of the keys of an iterable.");
    bindKeyListItems(cls);
    bindKeyListChanges(cls);
    cls.def(py::self == py::self).def(py::self != py::self).def("__repr__", &keysRepr);
    defineCopies(cls);
    definePickle(
        cls, [](const KeyList& k) { return py::make_tuple(itemsOf(k)); },
        [](const py::tuple& state) { return keysOf(state[0]); });
    cls.attr("__hash__") = py::none();
    py::implicitly_convertible<py::list, KeyList>();
    py::implicitly_convertible<py::tuple, KeyList>();
}

void bindLayerMapItems(py::class_<LayerMap>& cls)
{
    cls.def("__len__", [](const LayerMap& layers) { return layers.size(); })
        .def("__bool__", [](const LayerMap& layers) { return !layers.empty(); })
        .def(
            "__getitem__",
            [](const LayerMap& layers, const py::object& name) {
                const auto found = layers.find(layerName(name));
                if (found == layers.end()) {
                    missingLayer(name);
                }
                return KeysCopy(found->second);
            },
            py::arg("name"), "A copy of the layer's keys (it refuses changes); KeyError when there is no such layer.")
        .def(
            "get",
            [](const LayerMap& layers, const py::object& name, const py::object& fallback) -> py::object {
                const auto found = layers.find(layerName(name));
                return found == layers.end() ? fallback : py::cast(KeysCopy(found->second));
            },
            py::arg("name"), py::arg("default") = py::none(), "A copy of the layer's keys, or default.")
        .def(
            "__setitem__",
            [](LayerMap& layers, const py::object& name, const py::object& keys) {
                KeyList copy = keysOf(keys);
                layers.insert_or_assign(layerName(name), std::move(copy));
            },
            py::arg("name"), py::arg("keys"), "Sets the layer's keys (copies of them).")
        .def(
            "__delitem__",
            [](LayerMap& layers, const py::object& name) {
                if (layers.erase(layerName(name)) == 0) {
                    missingLayer(name);
                }
            },
            py::arg("name"))
        .def(
            "__contains__",
            [](const LayerMap& layers, const py::object& name) {
                return PyUnicode_Check(name.ptr()) && layers.count(name.cast<std::string>()) != 0;
            },
            py::arg("name"))
        .def(
            "__iter__", [](const LayerMap& layers) { return py::iter(py::cast(layers).attr("keys")()); },
            "Iterates over the layer names as they are now; changing the map meanwhile changes nothing.")
        .def(
            "keys",
            [](const LayerMap& layers) {
                py::list names;
                for (const auto& layer : layers) {
                    names.append(py::str(layer.first));
                }
                return names;
            },
            "The layer names, in order, as a list.")
        .def(
            "values",
            [](const LayerMap& layers) {
                py::list values;
                for (const auto& layer : layers) {
                    values.append(py::cast(KeysCopy(layer.second)));
                }
                return values;
            },
            "Copies of the layers' keys, in name order, as a list.")
        .def(
            "items",
            [](const LayerMap& layers) {
                py::list items;
                for (const auto& layer : layers) {
                    items.append(py::make_tuple(py::str(layer.first), py::cast(KeysCopy(layer.second))));
                }
                return items;
            },
            "(name, copy of the keys) pairs, in name order, as a list.");
}

void bindLayerMap(py::module_& m)
{
    py::class_<LayerMap> cls = classOf<LayerMap>(m, "LayerMap");
    defineInit<LayerMap>(
        cls, [] { return LayerMap(); }, "An empty map.");
    defineInit<LayerMap, const py::object&>(
        cls, [](const py::object& layers) { return layersOf(layers); }, py::arg("layers"),
        "A map holding copies of the layers of a mapping of str to keys.");
    bindLayerMapItems(cls);
    cls.def(py::self == py::self).def(py::self != py::self).def("__repr__", &layersRepr);
    defineCopies(cls);
    definePickle(
        cls, [](const LayerMap& l) { return py::make_tuple(py::bytes(timelineToJson(l))); },
        [](const py::tuple& state) {
            if (!PyBytes_Check(state[0].ptr())) {
                throw py::type_error("LayerMap state must be bytes");
            }
            return timelineFromJson(state[0].cast<std::string>());
        });
    cls.attr("__hash__") = py::none();
    py::implicitly_convertible<py::dict, LayerMap>();
}

} // namespace

void bindContainers(py::module_& m)
{
    bindKeyList(m);
    bindLayerMap(m);
}

} // namespace Korva::python
