// Code written for the first release, with its flat include names.
#include "animationsampler.h"

int main()
{
    const Korva::Animation animation(
        Korva::LayerMap{{"x", {Korva::AnimationKey(Korva::AnimationKeyCommand(Korva::Held1), 3)}}});
    return Korva::AnimationSampler(animation).frameCount() == 3 ? 0 : 1;
}
