// Files of the format: documents saved and loaded through the files layer.
#include <animationmodel/animationjson.h>

#include <animationmodel/files/readtext.h>
#include <animationmodel/files/savetext.h>

namespace Korva {

std::size_t jsonReadLimit(std::string_view text, std::size_t chunkStart) noexcept
{
    return textReadLimit(text, chunkStart);
}

void saveAnimation(const Animation& animation, const std::string& path)
{
    saveText(animationToJson(animation), path);
}

void saveTimeline(const LayerMap& timeline, const std::string& path)
{
    saveText(timelineToJson(timeline), path);
}

Animation loadAnimation(const std::string& path)
{
    return animationFromJson(readText(path, jsonReadLimit));
}

LayerMap loadTimeline(const std::string& path)
{
    return timelineFromJson(readText(path, jsonReadLimit));
}

AnimationDocument loadDocument(const std::string& path)
{
    return documentFromJson(readText(path, jsonReadLimit));
}

} // namespace Korva
