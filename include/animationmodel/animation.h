#ifndef ANIMATIONMODEL_ANIMATION_H
#define ANIMATIONMODEL_ANIMATION_H

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <animationmodel/animationkey.h>
#include <animationmodel/animationmodel_export.h>
#include <animationmodel/animationphase.h>

namespace Korva {

/// Layer name to that layer's keys, in playing order. Names compare byte-wise.
using LayerMap = std::map<std::string, std::vector<AnimationKey>>;

/// The length of one phase: the frames of its longest layer, exactly (64-bit).
ANIMATIONMODEL_EXPORT std::uint64_t frameCountOf(const LayerMap& phase) noexcept;

/// Three phases played one after the other (intro, body, outro), each a set of
/// named layers running side by side, and a frame rate. Value type, copyable.
///
/// Invariants:
///  1. The frame rate is finite and strictly greater than 0; it is 25 after
///     every constructor.
///  2. A phase lasts as long as its longest layer; the animation lasts the sum
///     of its three phases: exactly in `frameCount()` (64-bit), and in
///     unsigned 32-bit arithmetic, wrapping past 2^32 - 1, in the
///     `durationInFrames()` that callers of the first version rely on.
///  3. A layer entry with an empty key sequence still counts as present.
///
/// Threads: any number of threads may read one `const Animation` at the same
/// time; changing it needs that no other thread uses it meanwhile.
class Animation {
public:
    /// An empty animation.
    Animation() = default;
    /// An animation whose body is `body`; intro and outro are empty.
    ANIMATIONMODEL_EXPORT explicit Animation(LayerMap body) noexcept;
    /// An animation of the three given phases.
    ANIMATIONMODEL_EXPORT Animation(LayerMap intro, LayerMap body, LayerMap outro) noexcept;

    /// Cuts every layer of `timeline` at frames `introEnd` and `outroStart`
    /// (both counted from the timeline's frame 0) into intro, body and outro.
    ///
    /// Keys lying wholly on one side of a position are copied whole; a key that
    /// a position falls strictly inside is cut with `AnimationKey::splitAt`, at
    /// most once (at `introEnd` when both fall inside it). A phase holds an
    /// entry for a layer only when some key or piece of it went there. Throws
    /// `std::invalid_argument` when a position falls strictly inside a key
    /// whose effect has no splitting rule; `timeline` is never modified.
    ANIMATIONMODEL_EXPORT Animation(const LayerMap& timeline, unsigned int introEnd, unsigned int outroStart);
    /// Same as the overload above, but moves the keys out of `timeline`
    /// instead of copying them, and reuses its storage. On success `timeline`
    /// is left empty; on any exception it is left exactly as it was.
    ANIMATIONMODEL_EXPORT Animation(LayerMap&& timeline, unsigned int introEnd, unsigned int outroStart);

    /// A copy of the intro keys of layer `name`; empty when the intro has no such layer.
    ANIMATIONMODEL_EXPORT std::vector<AnimationKey> introLayer(const std::string& name) const;
    /// A copy of the body keys of layer `name`; empty when the body has no such layer.
    ANIMATIONMODEL_EXPORT std::vector<AnimationKey> bodyLayer(const std::string& name) const;
    /// A copy of the outro keys of layer `name`; empty when the outro has no such layer.
    ANIMATIONMODEL_EXPORT std::vector<AnimationKey> outroLayer(const std::string& name) const;
    /// True when some phase has an entry named `name`, even one without keys.
    ANIMATIONMODEL_EXPORT bool hasLayer(const std::string& name) const;
    /// True when no phase has any entry.
    ANIMATIONMODEL_EXPORT bool empty() const noexcept;

    /// Length in frames: the sum of the three phases' lengths, wrapping modulo
    /// 2^32 as the first version of this interface defined it. An animation of
    /// 2^32 frames or more reports the remainder; use `frameCount()` for the
    /// exact length.
    ANIMATIONMODEL_EXPORT std::uint32_t durationInFrames() const noexcept;
    /// Exact length in frames: the sum of the three phases' lengths, 64-bit.
    ANIMATIONMODEL_EXPORT std::uint64_t frameCount() const noexcept;
    /// Exact length of `phase` in frames: its longest layer, 64-bit.
    ANIMATIONMODEL_EXPORT std::uint64_t phaseFrameCount(AnimationPhase phase) const noexcept;
    /// Length in seconds at the animation's frame rate: `frameCount()` / fps, rounded to float once.
    ANIMATIONMODEL_EXPORT float durationInSeconds() const noexcept;
    /// `frameCount()` / `fps`, rounded to float; `fps` is not checked (0 gives infinity, or NaN for 0 frames).
    ANIMATIONMODEL_EXPORT float simulatedDurationInSeconds(float fps) const noexcept;

    /// Sets the frame rate; throws `std::invalid_argument` unless `fps` is finite and greater than 0.
    ANIMATIONMODEL_EXPORT void setFPS(float fps);
    /// Sets the rate to frameCount() / `seconds`, rounded to float once, through `setFPS`.
    ANIMATIONMODEL_EXPORT void setFPSToFitDurationInSeconds(float seconds);

    /// Frames per second.
    float fps() const noexcept { return _fps; }
    /// The intro phase.
    const LayerMap& intro() const noexcept { return _intro; }
    /// The body phase.
    const LayerMap& body() const noexcept { return _body; }
    /// The outro phase.
    const LayerMap& outro() const noexcept { return _outro; }
    /// The phase `phase`.
    const LayerMap& phase(AnimationPhase phase) const noexcept
    {
        return phase == AnimationPhase::Intro ? _intro : phase == AnimationPhase::Body ? _body : _outro;
    }

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
    // std::equal_to is `==`, without a -Wfloat-equal warning in the builds of users who turn it on.
    return std::equal_to<float>()(a.fps(), b.fps()) && a.intro() == b.intro() && a.body() == b.body()
        && a.outro() == b.outro();
}

/// Negation of `operator==`.
inline bool operator!=(const Animation& a, const Animation& b)
{
    return !(a == b);
}

} // namespace Korva

#endif
