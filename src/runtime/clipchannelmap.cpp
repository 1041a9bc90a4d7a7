#include <animationmodel/clipchannelmap.h>

#include <new>

namespace Korva {

ClipChannelMap::ClipChannelMap(const AnimationClip& first, const AnimationClip& second)
{
    // Both clips index their channels in byte-wise name order: one merge.
    const std::uint32_t firstCount = first.channelCount();
    const std::uint32_t secondCount = second.channelCount();
    std::uint32_t i = 0;
    std::uint32_t j = 0;
    while (i < firstCount || j < secondCount) {
        if (j == secondCount) {
            _onlyInFirst.push_back(i++);
        } else if (i == firstCount) {
            _onlyInSecond.push_back(j++);
        } else {
            // std::string_view compares as unsigned char, the clips' order.
            const int order = first.channelName(i).compare(second.channelName(j));
            if (order < 0) {
                _onlyInFirst.push_back(i++);
            } else if (order > 0) {
                _onlyInSecond.push_back(j++);
            } else {
                _from.push_back(i++);
                _to.push_back(j++);
            }
        }
    }
}

std::optional<ClipChannelMap> ClipChannelMap::tryCreate(const AnimationClip& first,
                                                        const AnimationClip& second) noexcept
{
    try {
        return ClipChannelMap(first, second);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace Korva
