#ifndef ANIMATIONMODEL_BENCH_SHOW_TIMELINE_H
#define ANIMATIONMODEL_BENCH_SHOW_TIMELINE_H

// The timeline that the benchmarks share, and what the file-format part of the
// suite reports beyond its timings.
#include <animationmodel/animation.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Korva {

constexpr unsigned int layerCount = 200;
constexpr unsigned int keysPerLayer = 500;
constexpr unsigned int keyFrames = 10;

/// 200 layers of 500 keys of 10 frames, alternately Linear and Held1.
inline LayerMap showTimeline()
{
    LayerMap timeline;
    for (unsigned int layer = 0; layer < layerCount; ++layer) {
        std::vector<AnimationKey>& keys = timeline["layer " + std::to_string(layer)];
        keys.reserve(keysPerLayer);
        for (unsigned int i = 0; i < keysPerLayer; ++i) {
            if (i % 2 == 0) {
                keys.emplace_back(AnimationKeyCommand(Linear, {0.0f, static_cast<float>(i)}), keyFrames);
            } else {
                keys.emplace_back(AnimationKeyCommand(Held1), keyFrames);
            }
        }
    }
    return timeline;
}

/// The same shape with realistic values: 200 layers of 500 keys lasting 1 to
/// 40 frames, two in three Linear with random start and end values of 7 to 9
/// significant digits, the others held; the same every run.
inline LayerMap realisticTimeline()
{
    LayerMap timeline;
    std::uint64_t state = 0x853C49E6748FEA9Bu;
    const auto next = [&] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return static_cast<std::uint32_t>(state >> 33);
    };
    // A float of magnitude 0.001 to 1000 whose shortest text has 7 to 9 digits.
    const auto value = [&] {
        const float magnitude = static_cast<float>(next() % 1000000000u) / static_cast<float>(1u << (next() % 20 + 10));
        return (next() & 1) != 0 ? -magnitude : magnitude;
    };
    for (unsigned int layer = 0; layer < layerCount; ++layer) {
        std::vector<AnimationKey>& keys = timeline["layer " + std::to_string(layer)];
        keys.reserve(keysPerLayer);
        for (unsigned int i = 0; i < keysPerLayer; ++i) {
            const unsigned int frames = next() % 40 + 1;
            if (next() % 3 != 0) {
                keys.emplace_back(AnimationKeyCommand(Linear, {value(), value()}), frames);
            } else {
                keys.emplace_back(AnimationKeyCommand(static_cast<AnimationKeyCommandEffect>(next() % 3 + 1)), frames);
            }
        }
    }
    return timeline;
}

/// Peak memory allocated while loading the show timeline's text, minus what
/// the loaded model keeps, divided by the text's size.
double loadingPeakOverText();

/// Bytes that operator new holds now (each block counted at its usable size).
std::size_t liveHeapBytes() noexcept;

} // namespace Korva

#endif
