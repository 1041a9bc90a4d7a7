// A program of a library user: it sees only the installed headers and libraries.
#include <animationmodel/animation.h>
#include <animationmodel/animationjson.h>
#include <animationmodel/animationsampler.h>

#include <animation.h> // the consumer's own
#ifndef CONSUMER_OWN_ANIMATION_H
#error "the library's headers shadow the consumer's own animation.h"
#endif

#include <cstdio>
#include <iostream>
#include <string>

int main()
{
    using namespace Korva;
    const LayerMap timeline{{"fade", {AnimationKey(AnimationKeyCommand(Linear, {0.0f, 10.0f}), 20)}}};
    const Animation animation(timeline, 5, 20);
    const std::vector<AnimationKey> intro = animation.introLayer("fade");
    AnimationSampler sampler(animation);
    bool ok = animation.durationInFrames() == 20 && intro.size() == 1
        && intro[0].command().args() == std::vector<float>{0.0f, 2.5f} && sampler.seek(7)[0].offset == 2;

    // Save to a file and load it back.
    const std::string file = "consumer-animation.json";
    saveAnimation(animation, file);
    ok = ok && loadAnimation(file) == animation;
    std::remove(file.c_str());

    std::cout << (ok ? "consumer ok" : "consumer FAILED") << '\n';
    return ok ? 0 : 1;
}
