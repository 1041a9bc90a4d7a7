// Views any bytes as a binary clip file. A refused file must say where
// (inside the data); an accepted one must hold valid arrays, sample, rebuild
// its document and write it again; nothing may be read outside the data.
#include <animationmodel/animationclip.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipcursor.h>
#include <animationmodel/clipfile.h>
#include "fuzzcheck.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

using namespace Korva;
using Korva::fuzz::check;

namespace {

void exercise(const ClipArrays& arrays)
{
    check(static_cast<bool>(checkClipArrays(arrays)), "an accepted file holds valid arrays");
    const AnimationClip clip = AnimationClip::borrowing(arrays);
    ClipCursor cursor(clip);
    std::vector<float> values(clip.channelCount());
    std::vector<std::int32_t> effects(clip.channelCount());
    std::unique_ptr<bool[]> keyed(new bool[clip.channelCount() + 1]);
    const double end = static_cast<double>(clip.frameCount());
    for (const double frame : {0.0, 0.5, end / 3, end / 2 + 0.25, end - 1, end, end + 1, -1.0, std::nan("")}) {
        cursor.sampleFrame(frame, ClipSampleBuffers{values.data(), effects.data(), keyed.get()});
    }
    const AnimationDocument document = toDocument(clip);
    check(isClipFile(clipFileOf(document)), "an accepted file is written again");
}

// The same verdict from a copy of misaligned bytes as from the view, and
// from the header's size check whenever that refuses.
void copy(const std::uint8_t* data, std::size_t size, const ClipFileCheck& viewed)
{
    const std::unique_ptr<std::uint8_t[]> shifted(new std::uint8_t[size + 1]);
    if (size != 0) {
        std::memcpy(shifted.get() + 1, data, size);
    }
    const std::unique_ptr<std::uint64_t[]> target(new std::uint64_t[size / 8 + 1]);
    ClipArrays arrays;
    const ClipFileCheck copied = copyClipFile(shifted.get() + 1, size, target.get(), arrays);
    check(bool(copied) == bool(viewed) && copied.offset() == viewed.offset()
              && std::strcmp(copied.message(), viewed.message()) == 0,
          "a copy and a view give the same verdict");
    const ClipFileCheck sized = checkClipFileSize(shifted.get() + 1, size);
    check(sized || (sized.offset() == viewed.offset() && std::strcmp(sized.message(), viewed.message()) == 0),
          "the size check refuses as the view does");
}

// Views `size` bytes of `data` through an exact heap copy: aligned, and ASan
// sees a read past its end.
void view(const std::uint8_t* data, std::size_t size)
{
    const std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size]);
    if (size != 0) {
        std::memcpy(bytes.get(), data, size);
    }
    ClipArrays arrays;
    const ClipFileCheck verdict = viewClipFile(bytes.get(), size, arrays);
    copy(data, size, verdict);
    if (!verdict) {
        check(verdict.fault() == ClipFileCheck::Fault::Refused, "heap data is aligned");
        check(verdict.offset() <= size, "a refusal points inside the data");
        check(std::strlen(verdict.message()) > 0, "a refusal says why");
        return;
    }
    exercise(arrays);
}

} // namespace

// Each input is viewed as it is, then with its checksum made right, so that
// mutations reach the checks behind the checksum.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    view(data, size);
    if (size >= 16) {
        std::vector<std::uint8_t> fixed(data, data + size);
        const std::uint64_t checksum = XXH3_64bits(fixed.data() + 16, size - 16);
        std::memcpy(fixed.data() + 8, &checksum, sizeof checksum);
        view(fixed.data(), size);
    }
    return 0;
}
