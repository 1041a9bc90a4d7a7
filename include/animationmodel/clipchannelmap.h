#ifndef ANIMATIONMODEL_CLIPCHANNELMAP_H
#define ANIMATIONMODEL_CLIPCHANNELMAP_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include <animationmodel/animationclip.h>
#include <animationmodel/animationmodel_export.h>

namespace Korva {

/// The channels that two clips share by name, for sampling both into
/// buffers that match entry by entry (for a crossfade), and those that only
/// one of them has.
///
/// Built once in O(channels of both), comparing names byte by byte: entry i
/// pairs channel `from()[i]` of the first clip with channel `to()[i]` of the
/// second, in name order. Sampling the first clip with the list `from()` and
/// the second with `to()` gives two buffers of `size()` entries to blend.
/// The map holds indices only: it stays valid for any clips of the same names.
class ClipChannelMap {
public:
    /// The map between `first` and `second`; throws `std::bad_alloc`.
    ANIMATIONMODEL_EXPORT ClipChannelMap(const AnimationClip& first, const AnimationClip& second);
    /// Like the constructor, but returns nothing instead of throwing when memory runs out.
    ANIMATIONMODEL_EXPORT static std::optional<ClipChannelMap> tryCreate(const AnimationClip& first,
                                                                         const AnimationClip& second) noexcept;

    /// Number of channels the clips share.
    std::size_t size() const noexcept { return _from.size(); }
    /// The shared channels' indices in the first clip, in name order.
    const std::vector<std::uint32_t>& from() const noexcept { return _from; }
    /// The same channels' indices in the second clip.
    const std::vector<std::uint32_t>& to() const noexcept { return _to; }
    /// The first clip's channels that the second lacks, in index order.
    const std::vector<std::uint32_t>& onlyInFirst() const noexcept { return _onlyInFirst; }
    /// The second clip's channels that the first lacks, in index order.
    const std::vector<std::uint32_t>& onlyInSecond() const noexcept { return _onlyInSecond; }
    /// True when both clips have the same channel names.
    bool complete() const noexcept { return _onlyInFirst.empty() && _onlyInSecond.empty(); }

private:
    std::vector<std::uint32_t> _from;
    std::vector<std::uint32_t> _to;
    std::vector<std::uint32_t> _onlyInFirst;
    std::vector<std::uint32_t> _onlyInSecond;
};

} // namespace Korva

#endif
