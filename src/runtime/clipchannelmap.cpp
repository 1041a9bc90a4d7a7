#include <animationmodel/clipchannelmap.h>

#include <algorithm>
#include <new>
#include <utility>

namespace Korva {

ClipChannelMap::ClipChannelMap(const AnimationClip& first, const AnimationClip& second)
    : _indices(new std::uint32_t[std::size_t{first.channelCount()} + second.channelCount()]),
      _firstCount(first.channelCount()), _secondCount(second.channelCount()), _shared(0)
{
    // Both clips index their channels in byte-wise name order: one merge. The
    // shared channels fill each side's part from its start, the unshared ones
    // from its end (backwards, put in order afterwards).
    std::uint32_t* const firstSide = _indices;
    std::uint32_t* const secondSide = _indices + _firstCount;
    std::size_t firstOwn = 0;
    std::size_t secondOwn = 0;
    std::uint32_t i = 0;
    std::uint32_t j = 0;
    while (i < _firstCount || j < _secondCount) {
        // std::string_view compares as unsigned char, the clips' order.
        const int order = j == _secondCount ? -1
            : i == _firstCount              ? 1
                                            : first.channelName(i).compare(second.channelName(j));
        if (order < 0) {
            firstSide[_firstCount - ++firstOwn] = i++;
        } else if (order > 0) {
            secondSide[_secondCount - ++secondOwn] = j++;
        } else {
            firstSide[_shared] = i++;
            secondSide[_shared++] = j++;
        }
    }
    std::reverse(firstSide + _shared, firstSide + _firstCount);
    std::reverse(secondSide + _shared, secondSide + _secondCount);
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

ClipChannelMap::ClipChannelMap(const ClipChannelMap& other)
    : _indices(new std::uint32_t[other._firstCount + other._secondCount]), _firstCount(other._firstCount),
      _secondCount(other._secondCount), _shared(other._shared)
{
    std::copy(other._indices, other._indices + _firstCount + _secondCount, _indices);
}

ClipChannelMap::ClipChannelMap(ClipChannelMap&& other) noexcept
    : _indices(std::exchange(other._indices, nullptr)), _firstCount(std::exchange(other._firstCount, 0)),
      _secondCount(std::exchange(other._secondCount, 0)), _shared(std::exchange(other._shared, 0))
{ }

ClipChannelMap& ClipChannelMap::operator=(const ClipChannelMap& other)
{
    if (this != &other) {
        ClipChannelMap copy(other);
        *this = std::move(copy);
    }
    return *this;
}

ClipChannelMap& ClipChannelMap::operator=(ClipChannelMap&& other) noexcept
{
    ClipChannelMap taken(std::move(other));
    std::swap(_indices, taken._indices);
    std::swap(_firstCount, taken._firstCount);
    std::swap(_secondCount, taken._secondCount);
    std::swap(_shared, taken._shared);
    return *this;
}

ClipChannelMap::~ClipChannelMap()
{
    delete[] _indices;
}

} // namespace Korva
