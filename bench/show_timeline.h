#ifndef ANIMATIONMODEL_BENCH_SHOW_TIMELINE_H
#define ANIMATIONMODEL_BENCH_SHOW_TIMELINE_H

// The timeline that the benchmarks share, and what the file-format part of the
// suite reports beyond its timings.
#include <animationmodel/animation.h>

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

/// Peak memory allocated while loading the show timeline's text, minus what
/// the loaded model keeps, divided by the text's size.
double loadingPeakOverText();

} // namespace Korva

#endif
