#ifndef ANIMATIONMODEL_TESTS_RUNTIME_RANDOMCLIPS_H
#define ANIMATIONMODEL_TESTS_RUNTIME_RANDOMCLIPS_H

// Random animations for the runtime tests: layers with names of odd bytes,
// entries without keys, effects of any 32-bit value, Linear keys whose ends
// are of every kind (NaN, infinities, -0, subnormals, huge).

#include <animationmodel/animation.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace Korva {

/// A float of any kind: mostly ordinary, sometimes special.
inline float randomEnd(std::mt19937_64& random)
{
    const std::vector<float> special = {0.0f,
                                        -0.0f,
                                        1.0f,
                                        std::numeric_limits<float>::quiet_NaN(),
                                        std::numeric_limits<float>::infinity(),
                                        -std::numeric_limits<float>::infinity(),
                                        FLT_MAX,
                                        -3e38f,
                                        std::numeric_limits<float>::denorm_min(),
                                        FLT_MIN};
    const auto pick = random() % 8;
    if (pick == 0) {
        return special[random() % special.size()];
    }
    return std::ldexp(static_cast<float>(random() % 20001) / 10000.0f - 1.0f, static_cast<int>(random() % 9) - 4);
}

/// A key of a random effect (two in three Linear) and a duration of 1 to `maxDuration` frames.
inline AnimationKey randomKey(std::mt19937_64& random, unsigned int maxDuration)
{
    const auto duration = static_cast<unsigned int>(1 + random() % maxDuration);
    const auto pick = random() % 12;
    if (pick < 8) {
        return AnimationKey(AnimationKeyCommand(Linear, {randomEnd(random), randomEnd(random)}), duration);
    }
    const auto effect = static_cast<AnimationKeyCommandEffect>(pick == 8 ? static_cast<std::int32_t>(random())
                                                                         : static_cast<std::int32_t>(1 + random() % 3));
    return AnimationKey(AnimationKeyCommand(effect == Linear ? Held1 : effect), duration);
}

/// A random phase of up to `layers` layers of up to `keys` keys each.
inline LayerMap randomPhase(std::mt19937_64& random, unsigned int layers, unsigned int keys, unsigned int maxDuration)
{
    LayerMap phase;
    const auto count = random() % (layers + 1);
    for (std::uint64_t i = 0; i < count; ++i) {
        std::string name(1, static_cast<char>('a' + random() % 6));
        if (random() % 4 == 0) {
            name += static_cast<char>(random() % 256);
        }
        std::vector<AnimationKey>& layer = phase[name];
        const auto length = random() % (keys + 1);
        for (std::uint64_t k = 0; k < length; ++k) {
            layer.push_back(randomKey(random, maxDuration));
        }
    }
    return phase;
}

/// A random animation of three random phases at a random rate.
inline Animation randomAnimation(std::mt19937_64& random, unsigned int layers = 6, unsigned int keys = 12,
                                 unsigned int maxDuration = 6)
{
    Animation animation(randomPhase(random, layers, keys, maxDuration), randomPhase(random, layers, keys, maxDuration),
                        randomPhase(random, layers, keys, maxDuration));
    animation.setFPS(static_cast<float>(1 + random() % 120) / 2.0f);
    return animation;
}

} // namespace Korva

#endif
