#ifndef ANIMATIONMODEL_ANIMATION_H
#define ANIMATIONMODEL_ANIMATION_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "animationkey.h"
#include "animationmodel_export.h"

namespace Korva {

/// Layer name to that layer's keys, in playing order. Names compare byte-wise.
using LayerMap = std::map<std::string, std::vector<AnimationKey>>;

/// Three phases played one after the other (intro, body, outro), each a set of
/// named layers running side by side, and a frame rate. Value type, copyable.
///
/// Invariants:
///  1. The frame rate is finite and strictly greater than 0; it is 25 after
///     every constructor.
///  2. A phase lasts as long as its longest layer; the animation lasts the sum
///     of its three phases, in unsigned 32-bit arithmetic (wrapping past 2^32 - 1).
///  3. A layer entry with an empty key sequence still counts as present.
class ANIMATIONMODEL_EXPORT Animation {
public:
    /// An empty animation.
    Animation() = default;
    /// An animation whose body is `body`; intro and outro are empty.
    explicit Animation(LayerMap body) noexcept;
    /// An animation of the three given phases.
    Animation(LayerMap intro, LayerMap body, LayerMap outro) noexcept;

    /// Cuts every layer of `timeline` at frames `introEnd` and `outroStart`
    /// (both counted from the timeline's frame 0) into intro, body and outro.
    ///
    /// Keys lying wholly on one side of a position are copied whole; a key that
    /// a position falls strictly inside is cut with `AnimationKey::splitAt`, at
    /// most once (at `introEnd` when both fall inside it). A phase holds an
    /// entry for a layer only when some key or piece of it went there. Throws
    /// `std::invalid_argument` when a position falls strictly inside a key
    /// whose effect has no splitting rule; `timeline` is never modified.
    Animation(const LayerMap& timeline, unsigned int introEnd, unsigned int outroStart);
    /// Same as the overload above, but moves the keys out of `timeline`
    /// instead of copying them, and reuses its storage. On success `timeline`
    /// is left empty; on any exception it is left exactly as it was.
    Animation(LayerMap&& timeline, unsigned int introEnd, unsigned int outroStart);

    /// A copy of the intro keys of layer `name`; empty when the intro has no such layer.
    std::vector<AnimationKey> introLayer(const std::string& name) const;
    /// A copy of the body keys of layer `name`; empty when the body has no such layer.
    std::vector<AnimationKey> bodyLayer(const std::string& name) const;
    /// A copy of the outro keys of layer `name`; empty when the outro has no such layer.
    std::vector<AnimationKey> outroLayer(const std::string& name) const;
    /// True when some phase has an entry named `name`, even one without keys.
    bool hasLayer(const std::string& name) const;
    /// True when no phase has any entry.
    bool empty() const noexcept;

    /// Length in frames: the sum of the three phases' lengths, wrapping modulo 2^32.
    std::uint32_t durationInFrames() const noexcept;
    /// Length in seconds at the animation's frame rate.
    float durationInSeconds() const noexcept;
    /// Length in seconds at the rate `fps`, which is not checked (0 gives infinity, or NaN for 0 frames).
    float simulatedDurationInSeconds(float fps) const noexcept;

    /// Sets the frame rate; throws `std::invalid_argument` unless `fps` is finite and greater than 0.
    void setFPS(float fps);
    /// Sets the rate to durationInFrames() / `seconds`, rounded to float, through `setFPS`.
    void setFPSToFitDurationInSeconds(float seconds);

    /// Frames per second.
    float fps() const noexcept { return _fps; }
    /// The intro phase.
    const LayerMap& intro() const noexcept { return _intro; }
    /// The body phase.
    const LayerMap& body() const noexcept { return _body; }
    /// The outro phase.
    const LayerMap& outro() const noexcept { return _outro; }

private:
    static std::vector<AnimationKey> _layer(const LayerMap& phase, const std::string& name);
    static std::uint32_t _durationInFramesOf(const LayerMap& phase) noexcept;

    LayerMap _intro;
    LayerMap _body;
    LayerMap _outro;
    float _fps = 25.0f;
};

/// Exact member-wise equality: equal phases (keys compared with `==`) and the same rate.
inline bool operator==(const Animation& a, const Animation& b)
{
    return a.fps() == b.fps() && a.intro() == b.intro() && a.body() == b.body()
        && a.outro() == b.outro();
}

/// Negation of `operator==`.
inline bool operator!=(const Animation& a, const Animation& b)
{
    return !(a == b);
}

} // namespace Korva

#endif
