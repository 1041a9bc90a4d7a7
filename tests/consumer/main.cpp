// A program of a library user: it sees only the installed headers and library.
#include "animation.h"

#include <iostream>

int main()
{
    using namespace Korva;
    const LayerMap timeline{{"fade", {AnimationKey(AnimationKeyCommand(Linear, {0.0f, 10.0f}), 20)}}};
    const Animation animation(timeline, 5, 20);
    const std::vector<AnimationKey> intro = animation.introLayer("fade");
    const bool ok = animation.durationInFrames() == 20 && intro.size() == 1
        && intro[0].command().args() == std::vector<float>{0.0f, 2.5f};
    std::cout << (ok ? "consumer ok" : "consumer FAILED") << '\n';
    return ok ? 0 : 1;
}
