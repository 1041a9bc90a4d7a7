// A plugin of the parent, linking the static libraries.
#include <animationmodel/animationjson.h>

int parentOwn();

extern "C" int pluginEntry()
{
    const Korva::LayerMap timeline = Korva::timelineFromJson(
        R"({"format": "animationmodel-timeline", "version": 1, "layers": {"x": [{"effect": "Held1", "duration": 4}]}})");
    return static_cast<int>(Korva::Animation(timeline, 1, 2).frameCount()) + parentOwn();
}
