#ifndef ANIMATIONMODEL_CLIPCHANNELMAP_H
#define ANIMATIONMODEL_CLIPCHANNELMAP_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include <animationmodel/animationclip.h>
#include <animationmodel/animationmodel_export.h>

namespace Korva {

/// A list of channel indices held by a `ClipChannelMap`: a view, valid while
/// the map lives and is not assigned to.
class ClipChannelList {
public:
    /// The `size` indices at `data`.
    ClipChannelList(const std::uint32_t* data, std::size_t size) noexcept : _data(data), _size(size) { }

    /// The first index (not null when the list is not empty).
    const std::uint32_t* data() const noexcept { return _data; }
    /// The number of indices.
    std::size_t size() const noexcept { return _size; }
    /// True when it holds none.
    bool empty() const noexcept { return _size == 0; }
    /// Index `i` (i < size()).
    std::uint32_t operator[](std::size_t i) const noexcept { return _data[i]; }
    const std::uint32_t* begin() const noexcept { return _data; }
    const std::uint32_t* end() const noexcept { return _data + _size; }

private:
    const std::uint32_t* _data;
    std::size_t _size;
};

/// The channels that two clips share by name, for sampling both into
/// buffers that match entry by entry (for a crossfade), and those that only
/// one of them has.
///
/// Built once in O(channels of both), comparing names byte by byte: entry i
/// pairs channel `from()[i]` of the first clip with channel `to()[i]` of the
/// second, in name order. Sampling the first clip with the list `from()` and
/// the second with `to()` gives two buffers of `size()` entries to blend.
/// The map holds indices only: it stays valid for any clips of the same names.
/// Its four lists lie in one allocation of (channels of both) indices.
class ClipChannelMap {
public:
    /// The map between `first` and `second`; one allocation, throws `std::bad_alloc`.
    ANIMATIONMODEL_EXPORT ClipChannelMap(const AnimationClip& first, const AnimationClip& second);
    /// Like the constructor, but returns nothing instead of throwing when memory runs out.
    ANIMATIONMODEL_EXPORT static std::optional<ClipChannelMap> tryCreate(const AnimationClip& first,
                                                                         const AnimationClip& second) noexcept;

    /// A copy of `other` (one allocation).
    ANIMATIONMODEL_EXPORT ClipChannelMap(const ClipChannelMap& other);
    /// Takes over `other`'s lists; `other` is left empty, to be destroyed or assigned to.
    ANIMATIONMODEL_EXPORT ClipChannelMap(ClipChannelMap&& other) noexcept;
    /// Copy assignment (strong guarantee).
    ANIMATIONMODEL_EXPORT ClipChannelMap& operator=(const ClipChannelMap& other);
    /// Move assignment.
    ANIMATIONMODEL_EXPORT ClipChannelMap& operator=(ClipChannelMap&& other) noexcept;
    /// Releases the lists.
    ANIMATIONMODEL_EXPORT ~ClipChannelMap();

    /// Number of channels the clips share.
    std::size_t size() const noexcept { return _shared; }
    /// The shared channels' indices in the first clip, in name order.
    ClipChannelList from() const noexcept { return {_indices, _shared}; }
    /// The same channels' indices in the second clip.
    ClipChannelList to() const noexcept { return {_indices + _firstCount, _shared}; }
    /// The first clip's channels that the second lacks, in index order.
    ClipChannelList onlyInFirst() const noexcept { return {_indices + _shared, _firstCount - _shared}; }
    /// The second clip's channels that the first lacks, in index order.
    ClipChannelList onlyInSecond() const noexcept { return {_indices + _firstCount + _shared, _secondCount - _shared}; }
    /// True when both clips have the same channel names.
    bool complete() const noexcept { return _shared == _firstCount && _shared == _secondCount; }

private:
    // The first clip's channels (shared ones, then its own), then the
    // second's (the same), in one block (new[]); null once moved from.
    std::uint32_t* _indices;
    std::size_t _firstCount;
    std::size_t _secondCount;
    std::size_t _shared;
};

} // namespace Korva

#endif
