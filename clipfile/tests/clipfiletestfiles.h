#ifndef ANIMATIONMODEL_CLIPFILE_TESTS_CLIPFILETESTFILES_H
#define ANIMATIONMODEL_CLIPFILE_TESTS_CLIPFILETESTFILES_H

// Binary clip files for the tests: a small one to break field by field, exact
// heap copies (so that ASan sees a read past the end), and random animations
// whose names are UTF-8.

#include <animationmodel/animationjson.h>
#include <animationmodel/files/utf8.h>
#include <animationmodel/clipfile.h>

#include "../../tests/runtime/randomclips.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace Korva::cliptest {

/// A heap copy of exactly the bytes of `text` (malloc aligns it to 16).
class AlignedBytes {
public:
    explicit AlignedBytes(const std::string& text) : _size(text.size()), _bytes(new unsigned char[text.size()])
    {
        if (!text.empty()) {
            std::memcpy(_bytes.get(), text.data(), text.size());
        }
    }
    const void* data() const noexcept { return _bytes.get(); }
    std::size_t size() const noexcept { return _size; }
    std::string text() const { return std::string(reinterpret_cast<const char*>(_bytes.get()), _size); }

private:
    std::size_t _size;
    std::unique_ptr<unsigned char[]> _bytes;
};

/// Stores `value` little-endian at byte `at` of `file`.
template <class T>
void setAt(std::string& file, std::size_t at, T value)
{
    std::memcpy(file.data() + at, &value, sizeof value);
}

/// The number of type T at byte `at` of `file`.
template <class T>
T getAt(const std::string& file, std::size_t at)
{
    T value;
    std::memcpy(&value, file.data() + at, sizeof value);
    return value;
}

/// `file` with its checksum made right again.
inline std::string withChecksum(std::string file)
{
    setAt<std::uint64_t>(file, 8, XXH3_64bits(file.data() + 16, file.size() - 16));
    return file;
}

/// The offset of section `id` (1 to 13) of `file`, from its table.
inline std::size_t sectionOffset(const std::string& file, int id)
{
    return static_cast<std::size_t>(getAt<std::uint64_t>(file, 72 + 24 * static_cast<std::size_t>(id - 1) + 8));
}

/// The small animation: channels a, b, c; a has a Linear key in the intro
/// and a Held1 key in the body; b an entry without keys in the body; c a
/// Linear key and a key of effect 7 in the outro; 30 fps.
inline Animation smallAnimation()
{
    Animation animation(LayerMap{{"a", {AnimationKey(AnimationKeyCommand(Linear, {0.5f, 1.5f}), 2)}}},
                        LayerMap{{"a", {AnimationKey(AnimationKeyCommand(Held1), 3)}}, {"b", {}}},
                        LayerMap{{"c",
                                  {AnimationKey(AnimationKeyCommand(Linear, {2.0f, -3.0f}), 1),
                                   AnimationKey(AnimationKeyCommand(static_cast<AnimationKeyCommandEffect>(7)), 1)}}});
    animation.setFPS(30.0f);
    return animation;
}

/// The binary clip file of the small animation.
inline std::string smallFile()
{
    return clipFileOf(smallAnimation());
}

/// `phase` with every name made valid UTF-8 (names that become equal merge).
inline LayerMap utf8Phase(const LayerMap& phase)
{
    LayerMap repaired;
    for (const auto& [name, keys] : phase) {
        repaired.emplace(utf8Repaired(name), keys);
    }
    return repaired;
}

/// A random animation whose names are UTF-8, with layers of up to `keys` keys.
inline Animation utf8Animation(std::mt19937_64& random, unsigned int keys)
{
    const Animation raw = randomAnimation(random, 6, keys, 6);
    Animation animation(utf8Phase(raw.intro()), utf8Phase(raw.body()), utf8Phase(raw.outro()));
    animation.setFPS(raw.fps());
    return animation;
}

} // namespace Korva::cliptest

#endif
