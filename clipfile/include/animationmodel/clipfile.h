#ifndef ANIMATIONMODEL_CLIPFILE_H
#define ANIMATIONMODEL_CLIPFILE_H

// The binary clip file: a compiled clip's arrays stored as they lie in
// memory, so that a program can use a file's bytes in place after checking
// them (layout and rules in docs/binary-format.md).

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include <animationmodel/animationdocument.h>
#include <animationmodel/cliparrays.h>
#include <animationmodel/clipfilecheck.h>
#include <animationmodel/animationmodel_clipfile_export.h>

namespace Korva {

/// The version of the binary clip format that this library writes and the newest it reads.
inline constexpr std::uint32_t clipFileVersion = 1;

/// The 8 bytes a binary clip file starts with (the first is never the start of a JSON or UTF-8 text).
inline constexpr std::string_view clipFileMagic{"\x89"
                                                "AMCLIP\n",
                                                8};

/// The byte of a binary clip file where its frame rate lies (a little-endian float), for messages that name it.
inline constexpr std::uint64_t clipFileFpsOffset = 32;

/// True when `bytes` start with `clipFileMagic` (the file may still be refused).
ANIMATIONMODEL_CLIPFILE_EXPORT bool isClipFile(std::string_view bytes) noexcept;

/// How much of a binary clip file or a JSON text a reader needs, given the
/// bytes read so far (new from `chunkStart` on; SIZE_MAX: all): bytes that
/// start with `clipFileMagic` up to the size their header gives (at least
/// the header's 72 bytes), and no further, so that a pipe whose writer stays
/// open ends the read; any others up to their first NUL byte, as
/// `jsonReadLimit`.
ANIMATIONMODEL_CLIPFILE_EXPORT std::size_t clipReadLimit(std::string_view bytes, std::size_t chunkStart) noexcept;

/// The bytes of the binary clip file of `arrays`, which must satisfy the
/// invariants of `ClipArrays` (names valid UTF-8 included).
ANIMATIONMODEL_CLIPFILE_EXPORT std::string clipFileBytes(const ClipArrays& arrays);

/// Checks the binary clip file `data[0..size)` in full (in time linear in
/// `size`, without allocating) and, when it is accepted, points `arrays` at
/// its sections; `arrays` is left unchanged on a refusal. `data` must start
/// at a multiple of 8 in memory (else the fault `Misaligned`) and must stay
/// valid and unchanged while `arrays` are used.
ANIMATIONMODEL_CLIPFILE_EXPORT ClipFileCheck viewClipFile(const void* data, std::size_t size,
                                                          ClipArrays& arrays) noexcept;

/// The first checks of `viewClipFile` (magic number, version, size) on `data[0..size)` of any alignment:
/// reads only the header, so a size that disagrees with the file's is told before room is made for a copy.
ANIMATIONMODEL_CLIPFILE_EXPORT ClipFileCheck checkClipFileSize(const void* data, std::size_t size) noexcept;

/// Copies the binary clip file `data[0..size)` (any alignment) to `target`
/// (8-byte aligned, room for `size` bytes) and checks the copy as
/// `viewClipFile` does; on acceptance `arrays` point into `target`. `target` is written even when the
/// file is refused; it may overlap `data`. A null `target` is refused before anything is read.
ANIMATIONMODEL_CLIPFILE_EXPORT ClipFileCheck copyClipFile(const void* data, std::size_t size, void* target,
                                                          ClipArrays& arrays) noexcept;

/// A binary clip file that was refused: what() reads "byte OFFSET: message".
class ANIMATIONMODEL_CLIPFILE_EXPORT ClipFileError : public std::invalid_argument {
public:
    /// The error of a refused `check`.
    explicit ClipFileError(const ClipFileCheck& check);
    /// The byte of the file where the fault lies.
    std::uint64_t offset() const noexcept { return _offset; }

private:
    std::uint64_t _offset;
};

/// The binary clip file of `document` (a timeline is kept as one).
ANIMATIONMODEL_CLIPFILE_EXPORT std::string clipFileOf(const AnimationDocument& document);
/// The document of the binary clip file `bytes` (any alignment); throws ClipFileError.
ANIMATIONMODEL_CLIPFILE_EXPORT AnimationDocument documentFromClipFile(std::string_view bytes);
/// Writes the binary clip file of `document` to `path` as `saveAnimation` writes JSON.
ANIMATIONMODEL_CLIPFILE_EXPORT void saveClipFile(const AnimationDocument& document, const std::string& path);

} // namespace Korva

#endif
