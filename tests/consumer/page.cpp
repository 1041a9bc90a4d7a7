// A user of the picture and the player page, built with hidden visibility
// and strict warnings: it includes every public header, draws an animation,
// and catches the file format's error by its type, which the library throws.
#include <animationmodel/animation.h>
#include <animationmodel/animationalgorithms.h>
#include <animationmodel/animationdocument.h>
#include <animationmodel/animationjson.h>
#include <animationmodel/animationkey.h>
#include <animationmodel/animationkeycommand.h>
#include <animationmodel/animationplayer.h>
#include <animationmodel/animationsampler.h>
#include <animationmodel/animationsvg.h>

#include <iostream>
#include <string>
#include <typeinfo>

namespace {

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The error of a document whose version is a string, caught by its type.
bool catchesTheFormatError()
{
    try {
        Korva::animationFromJson("{\n  \"version\": \"1\"}");
    } catch (const Korva::AnimationJsonError& error) {
        // One type information for the class, the library's, shared by the
        // throw in the library and this program (it is exported).
        const bool shared = &typeid(error) == &typeid(Korva::AnimationJsonError);
        if (!shared) {
            std::cerr << "the error's type information is not the library's\n";
        }
        return shared && error.line() == 2 && error.pointer() == "/version";
    } catch (const std::exception& error) {
        std::cerr << "not caught as AnimationJsonError: " << error.what() << '\n';
    }
    return false;
}

} // namespace

int main()
{
    using namespace Korva;
    const LayerMap timeline{{"fade", {AnimationKey(AnimationKeyCommand(Linear, {0.0f, 10.0f}), 20)}}};
    const AnimationDocument document{Animation(timeline, 5, 15)};
    const std::string svg = renderSvg(document, "fade.json", 600);
    const std::string page = playerPage(document, "fade.json", 600);
    const bool ok = startsWith(svg, "<svg ") && startsWith(page, "<!DOCTYPE html>")
        && page.find("fade.json") != std::string::npos && catchesTheFormatError();
    std::cout << (ok ? "page consumer ok" : "page consumer FAILED") << '\n';
    return ok ? 0 : 1;
}
