// A plugin of the parent, linking the static libraries: it reads a timeline
// (the format's number parsing) and writes it back (its number printing).
#include <animationmodel/animationjson.h>

#include <string>

int parentOwn();

extern "C" int pluginEntry()
{
    const std::string text = R"({"format": "animationmodel-timeline", "version": 1, )"
                             R"("layers": {"x": [{"effect": "Linear", "args": [0.25, 1e-7], "duration": 4}]}})";
    const Korva::LayerMap timeline = Korva::timelineFromJson(text);
    if (Korva::timelineFromJson(Korva::timelineToJson(timeline)) != timeline) {
        return -1;
    }
    return static_cast<int>(Korva::Animation(timeline, 1, 2).frameCount()) + parentOwn();
}
