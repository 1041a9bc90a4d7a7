#ifndef ANIMATIONMODEL_LOADEDCLIP_H
#define ANIMATIONMODEL_LOADEDCLIP_H

// A clip loaded from a file or from bytes, of either format: a binary clip
// file (kept, aligned and checked, with the clip over its arrays) or a JSON
// document (compiled). The one place where the two formats are told apart.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <animationmodel/animationclip.h>
#include <animationmodel/animationjsonload.h>
#include <animationmodel/animationmodel_loader_export.h>

namespace Korva {

/// A loaded clip and what it is made of.
///
/// Invariants:
///  1. `clip()` is valid while this object lives, moved or not: the bytes it
///     reads are this object's (kept, or copied to 8-byte aligned memory), or
///     the caller's for a view (`viewingBinary`), or the clip's own (JSON).
///  2. Binary bytes were checked in full (`viewClipFile`) before `clip()` reads them.
class ANIMATIONMODEL_LOADER_EXPORT LoadedClip {
public:
    /// A clip of no channel (as `AnimationClip()`).
    LoadedClip() noexcept;
    /// A compiled clip, kept as it is.
    explicit LoadedClip(AnimationClip compiled) noexcept;
    /// The clip of `bytes`: a binary clip file when they start with its magic number (kept, aligned, checked; throws
    /// `ClipFileError`), else a JSON document read and compiled (throws `AnimationJsonError`). The `options` refuse
    /// either alike: a JSON document with `AnimationJsonError` at the refused value, a binary clip file with
    /// `LoadRefusal` naming its byte (both recorded as `JsonLoadStatus::Refused`).
    static LoadedClip fromBytes(std::string bytes, const JsonLoadOptions& options = {});
    /// The clip of the file `path`, of either format, as `fromBytes`; `std::system_error` for the file.
    static LoadedClip fromFile(const std::string& path, const JsonLoadOptions& options = {});
    /// The clip of the binary clip file `data[0..size)` (any alignment), copied to aligned memory and checked;
    /// throws `ClipFileError` (`LoadRefusal` when `options` refuse it). The size is checked against the header before
    /// any room is made.
    static LoadedClip copyingBinary(const void* data, std::size_t size, const JsonLoadOptions& options = {});
    /// The clip of the binary clip file `data[0..size)` used in place: `data` must start at a multiple of 8 in
    /// memory (else `std::invalid_argument`) and stay valid and unchanged while the clip is used; throws
    /// `ClipFileError` when it is refused (`LoadRefusal` when `options` refuse it).
    static LoadedClip viewingBinary(const void* data, std::size_t size, const JsonLoadOptions& options = {});

    LoadedClip(LoadedClip&& other) noexcept;
    LoadedClip& operator=(LoadedClip&& other) noexcept;
    LoadedClip(const LoadedClip&) = delete;
    LoadedClip& operator=(const LoadedClip&) = delete;
    ~LoadedClip();

    /// The clip.
    const AnimationClip& clip() const noexcept { return _clip; }
    /// True when the clip reads a binary clip file's bytes (kept or viewed), false when it was compiled.
    bool isBinary() const noexcept { return _binary; }
    /// A clip that owns its arrays, independent of this object: a copy of the arrays, never a compilation.
    AnimationClip ownedClip() const;

private:
    // A file read whole, viewed in place when its bytes are aligned.
    std::string _file;
    // An aligned copy of binary bytes, viewed in place.
    std::unique_ptr<std::uint64_t[]> _words;
    AnimationClip _clip;
    bool _binary = false;
};

} // namespace Korva

#endif
