// Loads any bytes as a document. A refusal must be an AnimationJsonError; an
// accepted document must save, load back equal bit for bit, and save again to
// the same bytes.
#include <animationmodel/animationjson.h>
#include "invariants.h"
#include "fuzzcheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace Korva;
using Korva::fuzz::check;

namespace {

std::string save(const AnimationDocument& document)
{
    if (const auto* animation = std::get_if<Animation>(&document)) {
        return animationToJson(*animation);
    }
    return timelineToJson(std::get<LayerMap>(document));
}

bool sameBits(const AnimationDocument& a, const AnimationDocument& b)
{
    if (a.index() != b.index()) {
        return false;
    }
    if (const auto* first = std::get_if<Animation>(&a)) {
        const Animation& second = std::get<Animation>(b);
        return Korva::sameBits(first->fps(), second.fps()) && Korva::sameBits(first->intro(), second.intro())
            && Korva::sameBits(first->body(), second.body()) && Korva::sameBits(first->outro(), second.outro());
    }
    return Korva::sameBits(std::get<LayerMap>(a), std::get<LayerMap>(b));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    AnimationDocument document;
    try {
        document = documentFromJson(text);
    } catch (const AnimationJsonError& error) {
        check(error.line() >= 1 && error.column() >= 1, "error without a location");
        return 0;
    }
    const std::string saved = save(document);
    const AnimationDocument reloaded = documentFromJson(saved);
    check(sameBits(document, reloaded), "saved document loads back different");
    check(save(reloaded) == saved, "saving is not stable");
    return 0;
}
