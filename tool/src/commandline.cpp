#include "commandline.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/clipload.h>

#include <CLI/CLI.hpp>

#include <cmath>
#include <utility>
#include <variant>

namespace Korva::tool {

float parseSeconds(const std::string& text)
{
    float value = 0.0f;
    const char* const end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    if (text.empty() || read.ec != std::errc() || read.ptr != end) {
        throw UsageError("--seconds: \"" + text + "\" is not a number");
    }
    // Written so that NaN fails too.
    if (!(value > 0.0f) || !std::isfinite(value)) {
        throw UsageError("--seconds: \"" + text + "\" is not a finite number of seconds greater than 0");
    }
    return value;
}

CLI::Option* addOutputOption(CLI::App& command, std::string& out, const char* help)
{
    // An empty name (an unset variable in a script) is no file: without this
    // it would be taken for standard output.
    const CLI::Validator named(
        [](const std::string& name) { return name.empty() ? std::string("an empty file name") : std::string(); }, "");
    return command.add_option("-o,--output", out, help)->type_name("FILE")->check(named);
}

CLI::Option* addFileArgument(CLI::App& command, const char* name, std::string& into, const char* help)
{
    // No type name: the help shows "FILE REQUIRED", not "FILE FILE REQUIRED".
    return command.add_option(name, into, help)->type_name("")->required();
}

std::string readDocumentText(const Options& o, const std::string& file)
{
    return readInput(file, parseNumber<std::uint64_t>(o.maxBytes, "--max-bytes"));
}

AnimationDocument parseDocument(const std::string& file, const std::string& text)
{
    try {
        return documentFromBytes(text);
    } catch (const ClipFileError& error) {
        throw InputError(shownName(file) + ": " + error.what());
    } catch (const AnimationJsonError& error) {
        throw InputError(shownName(file) + ":" + error.what());
    }
}

LoadedClip loadClip(const Options& o, const std::string& file)
{
    std::string text = readDocumentText(o, file);
    try {
        return LoadedClip::fromBytes(std::move(text));
    } catch (const ClipFileError& error) {
        throw InputError(shownName(file) + ": " + error.what());
    } catch (const AnimationJsonError& error) {
        throw InputError(shownName(file) + ":" + error.what());
    }
}

AnimationDocument loadDocument(const Options& o, const std::string& file)
{
    return parseDocument(file, readDocumentText(o, file));
}

Animation loadAnimationDocument(const Options& o, const std::string& file)
{
    AnimationDocument document = loadDocument(o, file);
    if (auto* animation = std::get_if<Animation>(&document)) {
        return std::move(*animation);
    }
    throw InputError(shownName(file) + ": this is a timeline, not an animation: cut it first (animationmodel cut)");
}

std::string canonicalText(const AnimationDocument& document)
{
    return documentToJson(document);
}

} // namespace Korva::tool
