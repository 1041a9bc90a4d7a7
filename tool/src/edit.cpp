// cut, fit and split: new documents made from one.
#include "commandline.h"

#include <animationmodel/animationalgorithms.h>
#include <animationmodel/animationjson.h>
#include <animationmodel/files/valuetext.h>

#include <CLI/CLI.hpp>

#include <climits>
#include <cmath>
#include <stdexcept>
#include <utility>
#include <vector>

namespace Korva::tool {

namespace {

// The surprises of a valid cut: the outro starting before the intro ends,
// and each layer whose body runs past the outro start.
void warnAboutCut(const std::string& file, const std::vector<CutOverrun>& overruns, unsigned int introEnd,
                  unsigned int outroStart)
{
    if (outroStart < introEnd) {
        warn(shownName(file) + ": --outro-start " + std::to_string(outroStart) + " is before --intro-end "
             + std::to_string(introEnd) + ": the body holds only what the keys cut at frame " + std::to_string(introEnd)
             + " leave over");
    }
    for (const CutOverrun& overrun : overruns) {
        warn(shownName(file) + ": layer " + jsonString(overrun.layer) + ": key " + std::to_string(overrun.keyIndex)
             + " is cut at frame " + std::to_string(introEnd) + " and ends at frame "
             + std::to_string(std::uint64_t{outroStart} + overrun.frames) + ": the body runs "
             + counted(overrun.frames, "frame", "frames") + " past --outro-start " + std::to_string(outroStart));
    }
}

int cut(const Options& o, unsigned int introEnd, unsigned int outroStart)
{
    AnimationDocument document = loadDocument(o, o.file);
    auto* timeline = std::get_if<LayerMap>(&document);
    if (timeline == nullptr) {
        throw InputError(shownName(o.file) + ": this is an animation already: cut takes a timeline");
    }
    const std::vector<CutOverrun> overruns =
        o.quiet ? std::vector<CutOverrun>() : cutOverruns(*timeline, introEnd, outroStart);
    std::string text;
    try {
        text = animationToJson(Animation(std::move(*timeline), introEnd, outroStart));
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(o.file) + ": " + refusal.what());
    }
    if (!o.quiet) {
        warnAboutCut(o.file, overruns, introEnd, outroStart);
    }
    writeOutput(text, o.out);
    return 0;
}

int fit(const Options& o, float seconds)
{
    Animation animation = loadAnimationDocument(o, o.file);
    const float rate = static_cast<float>(static_cast<double>(animation.frameCount()) / seconds);
    if (std::isinf(rate)) {
        throw UsageError("--seconds: " + floatText(seconds) + " s for "
                         + counted(animation.frameCount(), "frame", "frames") + " gives a rate past the float range");
    }
    try {
        animation.setFPSToFitDurationInSeconds(seconds);
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(o.file) + ": " + refusal.what());
    }
    writeOutput(animationToJson(animation), o.out);
    return 0;
}

int split(const Options& o, unsigned int length, std::uint64_t maxKeys)
{
    const AnimationDocument document = loadDocument(o, o.file);
    std::string text;
    try {
        // The pieces are counted before any is made: a short file can ask for billions.
        const std::uint64_t count = std::holds_alternative<LayerMap>(document)
            ? splitEveryKeyCount(std::get<LayerMap>(document), length)
            : splitEveryKeyCount(std::get<Animation>(document), length);
        if (count > maxKeys) {
            throw InputError(shownName(o.file) + ": splitting every key into pieces of at most "
                             + counted(length, "frame", "frames") + " would make " + counted(count, "key", "keys")
                             + ", more than the limit of " + std::to_string(maxKeys) + " (--max-keys)");
        }
        const KeySplitting rule = o.evenValues ? KeySplitting::EvenValues : KeySplitting::AtFrames;
        if (const auto* timeline = std::get_if<LayerMap>(&document)) {
            text = timelineToJson(splitEveryKey(*timeline, length, rule));
        } else {
            text = animationToJson(splitEveryKey(std::get<Animation>(document), length, rule));
        }
    } catch (const std::invalid_argument& refusal) {
        throw InputError(shownName(o.file) + ": " + refusal.what());
    }
    writeOutput(text, o.out);
    return 0;
}

} // namespace

void declareCut(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("cut", "Cut a timeline into intro, body and outro.");
    addFileArgument(*command, "TIMELINE", o.file, "timeline document");
    command->add_option("--intro-end", o.introEnd, "frame at which the intro ends")->type_name("UINT")->required();
    command->add_option("--outro-start", o.outroStart, "frame at which the outro starts")
        ->type_name("UINT")
        ->required();
    addOutputOption(*command, o.out);
    command->add_flag("-q,--quiet", o.quiet, "no warnings about surprising cuts");
    command->callback([&] {
        status = cut(o, parseNumber<unsigned int>(o.introEnd, "--intro-end"),
                     parseNumber<unsigned int>(o.outroStart, "--outro-start"));
    });
}

void declareFit(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("fit", "Set an animation's rate so that it lasts S seconds.");
    addFileArgument(*command, "FILE", o.file, "animation document");
    command->add_option("--seconds", o.seconds, "the length wanted, in seconds")->type_name("FLOAT")->required();
    addOutputOption(*command, o.out);
    command->callback([&] { status = fit(o, parseSeconds(o.seconds)); });
}

void declareSplit(CLI::App& app, Options& o, int& status)
{
    CLI::App* command = app.add_subcommand("split", "Split every key into pieces of at most L frames.");
    addFileArgument(*command, "FILE", o.file, "animation or timeline document");
    command->add_option("--max-keys", o.maxKeys, "refuse to make more keys than this (default 10000000)")
        ->type_name("UINT64");
    command
        ->add_option("--each", o.each,
                     "the length of the pieces, in frames: every longer key is cut at each multiple of it from "
                     "its start, each ramp piece running between the key's own values there (what plays is "
                     "unchanged)")
        ->type_name("UINT")
        ->required();
    command->add_flag("--even-values", o.evenValues,
                      "share each ramp's values evenly among its pieces instead, whatever their lengths (the "
                      "shorter last piece changes pace)");
    addOutputOption(*command, o.out);
    command->callback([&] {
        status = split(o, parseNumber<unsigned int>(o.each, "--each", UINT_MAX, 1),
                       parseNumber<std::uint64_t>(o.maxKeys, "--max-keys"));
    });
}

} // namespace Korva::tool
