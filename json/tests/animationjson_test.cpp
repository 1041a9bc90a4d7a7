#include <animationmodel/animationjson.h>
#include <animationmodel/animationjsonload.h>
#include <animationmodel/files/readtext.h>

#include "boundedchild.h"
#include "expect_throw_msg.h"
#include "invariants.h"
#include "testkeys.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Korva;

namespace {

const char* const canonicalAnimation = R"({
  "format": "animationmodel",
  "version": 1,
  "fps": 25,
  "intro": {
    "fade": [
      {"effect": "Linear", "args": [0, 2.5], "duration": 5}
    ]
  },
  "body": {
    "fade": [
      {"effect": "Linear", "args": [2.5, 10], "duration": 15},
      {"effect": "Held1", "duration": 8}
    ],
    "pose": []
  },
  "outro": {}
}
)";

Animation canonicalModel()
{
    return Animation({{"fade", {ramp(0.0f, 2.5f, 5)}}},
                     {{"fade", {ramp(2.5f, 10.0f, 15), held(Held1, 8)}}, {"pose", {}}}, {});
}

// A document made of `members` after the format and version members.
std::string document(const std::string& members)
{
    return R"({"format": "animationmodel", "version": 1)" + (members.empty() ? "" : ", " + members) + "}";
}

std::string bodyKey(const std::string& key)
{
    return document(R"("body": {"a": [)" + key + "]}");
}

struct TempDir {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("animationjson_test_" + std::to_string(::getpid()));
    TempDir() { std::filesystem::create_directories(path); }
    ~TempDir() { std::filesystem::remove_all(path); }
};

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(AnimationJson, CanonicalLayout)
{
    EXPECT_EQ(canonicalAnimation, animationToJson(canonicalModel()));
    EXPECT_EQ("{\n  \"format\": \"animationmodel-timeline\",\n  \"version\": 1,\n  \"layers\": {}\n}\n",
              timelineToJson({}));
    // Effects outside the enumeration's names as integers; names escaped only
    // where JSON requires; floats in their shortest form.
    const LayerMap timeline{
        {std::string("q\"\\/\n\x01\x7f\xc3\xa9", 9),
         {held(static_cast<AnimationKeyCommandEffect>(-7), 1), held(Held3, 4294967295u), ramp(0.1f, -0.0f, 2),
          ramp(1e-45f, 3.4028235e38f, 3), ramp(NAN, -INFINITY, 4), ramp(INFINITY, 1e21f, 5)}}};
    EXPECT_EQ(R"({
  "format": "animationmodel-timeline",
  "version": 1,
  "layers": {
    "q\"\\/\n\u0001)"
              "\x7f\xc3\xa9"
              R"(": [
      {"effect": -7, "duration": 1},
      {"effect": "Held3", "duration": 4294967295},
      {"effect": "Linear", "args": [0.1, -0], "duration": 2},
      {"effect": "Linear", "args": [1e-45, 3.4028235e+38], "duration": 3},
      {"effect": "Linear", "args": ["NaN", "-Infinity"], "duration": 4},
      {"effect": "Linear", "args": ["Infinity", 1e+21], "duration": 5}
    ]
  }
}
)",
              timelineToJson(timeline));
    EXPECT_TRUE(sameBits(timeline, timelineFromJson(timelineToJson(timeline))));
    EXPECT_THROW_MSG(timelineToJson({{"bad \xff", {}}}), std::invalid_argument,
                     "Could not save layer \"bad \xff\": its name is not valid UTF-8");
}

TEST(AnimationJson, LoadsAnyLayoutExactly)
{
    EXPECT_EQ(canonicalModel(), animationFromJson(canonicalAnimation));
    // Members in any order and any whitespace, defaults for what is left out.
    const Animation loose = animationFromJson(
        "\r\n{\"body\":{\"fade\":[{\"duration\":15,\"args\":[2.5,1e1],\"effect\":0},{\"effect\":\"Held1\","
        "\"duration\":8}],\"pose\":[ ]},\"intro\":{\"fade\":[{\"effect\":\"Linear\",\"args\":[0.0,25e-1],"
        "\"duration\":5}]},\"version\":1,\"format\":\"animationmodel\"}\t");
    EXPECT_EQ(canonicalModel(), loose);
    EXPECT_EQ(canonicalAnimation, animationToJson(loose));

    // One correct rounding from the decimal text: this decimal lies just above
    // the midpoint of 1 and the next float; rounding through double first
    // would give 1.
    const std::string tenTo400 = "1" + std::string(400, '0') + "e-400";
    const std::string tenTo400Negative = "-1" + std::string(400, '0') + "e-400";
    const std::string longFraction = "0." + std::string(600, '0') + "15e601";
    struct Case {
        const char* text;
        float value;
    };
    for (const Case& c :
         {Case{"1.0000000596046447753906251", 0x1.000002p+0f}, Case{"-0", -0.0f}, Case{"1e-45", 0x1p-149f},
          Case{"7.1e-46", 0x1p-149f}, Case{"7e-46", 0.0f}, Case{"-1e-400", -0.0f},
          Case{"0.000000000000000000000000000000000000000000000001", 0.0f}, Case{"3.4028235e38", FLT_MAX},
          Case{"0.1", 0.1f}, Case{"\"-Infinity\"", -INFINITY},
          // Past the double range in their text, inside the float range in value.
          Case{"3.40282356e38", FLT_MAX}, Case{"0e999999999999999999", 0.0f}, Case{"-0e99999999999999999999999", -0.0f},
          Case{"25e-0001", 2.5f}, Case{tenTo400.c_str(), 1.0f}, Case{tenTo400Negative.c_str(), -1.0f},
          Case{longFraction.c_str(), 1.5f}}) {
        const std::string text =
            bodyKey(R"({"effect": "Linear", "args": [)" + std::string(c.text) + R"(, 0], "duration": 1})");
        EXPECT_TRUE(sameBits(c.value, animationFromJson(text).body().at("a")[0].command().args()[0])) << c.text;
    }
    EXPECT_TRUE(std::isnan(animationFromJson(bodyKey(R"({"effect": 0, "args": ["NaN", 0], "duration": 1})"))
                               .body()
                               .at("a")[0]
                               .command()
                               .args()[0]));

    // A leading byte order mark is skipped; locations count from after it.
    EXPECT_EQ(canonicalModel(), animationFromJson("\xEF\xBB\xBF" + std::string(canonicalAnimation)));
    EXPECT_THROW_MSG(animationFromJson("\xEF\xBB\xBF{\"format\": 1}"), AnimationJsonError,
                     "1:12: /format: \"format\" must be a string");
    EXPECT_THROW_MSG(animationFromJson("\xEF\xBB\xBF"), AnimationJsonError, "1:1: The document is empty.");
    EXPECT_THROW_MSG(animationFromJson("\xEF\xBB\xBF\xEF\xBB\xBF{}"), AnimationJsonError, "1:1: Invalid value.");

    // documentFromJson tells the kinds apart.
    EXPECT_TRUE(std::holds_alternative<LayerMap>(
        documentFromJson(R"({"version": 1, "layers": {"x": []}, "format": "animationmodel-timeline"})")));
    EXPECT_EQ(12.5f, std::get<Animation>(documentFromJson(document(R"("fps": 12.5)"))).fps());
}

TEST(AnimationJson, RefusalsAreLocated)
{
    struct Case {
        std::string text;
        std::string what;
    };
    const std::string duration0 =
        std::string(canonicalAnimation)
            .replace(std::string(canonicalAnimation).find("\"duration\": 8"), 13, "\"duration\": 0");
    const Case cases[] = {
        // Not JSON, or not a document.
        {"", "1:1: The document is empty."},
        {"{\"format\": \"animationmodel\", \"version\": 1,}", "1:43: /version: Missing a name for object member."},
        {document("") + " // note", "1:44: The document root must not be followed by other values."},
        {document("\"fps\": NaN"), "1:51: /fps: Invalid value."},
        {document("\"fps\": \"abc"), "1:56: /fps: Missing a closing quotation mark in string."},
        {document("\"body\": {\"\xff\": []}"), "1:53: /body: Invalid encoding in string."},
        {document("\"b\xc3\": 1"), "1:44: Invalid encoding in string."},
        {bodyKey("{\"effect\": \"Held1\xe2\x82\", \"duration\": 1}"),
         "1:70: /body/a/0/effect: Invalid encoding in string."},
        {document("") + std::string(1, '\0'), "1:43: a NUL character is not allowed here"},
        {"[]", "1:1: a document must be a JSON object"},
        {document(R"("body": {"a\udc00": []})"),
         "1:53: /body: a layer name must not hold an unpaired surrogate (\\ud800 to \\udfff)"},
        // The document object.
        {"{\"version\": 1}", "1:1: missing member \"format\""},
        {"{\"fade\": [{\"effect\": \"Held1\", \"duration\": 1}]}", "1:1: missing member \"format\""},
        {"{\"format\": \"animationmodel\"}", "1:1: missing member \"version\""},
        {"{\"format\": \"animationmodel-x\", \"version\": 1}",
         "1:12: /format: unknown format \"animationmodel-x\": expected \"animationmodel\" or "
         "\"animationmodel-timeline\""},
        {"{\"format\": 3, \"version\": 1}", "1:12: /format: \"format\" must be a string"},
        {"{\"format\": \"animationmodel\", \"version\": 2}",
         "1:41: /version: version 2 is newer than this library reads (version 1)"},
        {"{\"format\": \"animationmodel\", \"version\": 1.0}",
         "1:41: /version: unsupported version 1.0: this library reads version 1"},
        // A leading zero is not JSON, wherever the number stands; "0", "-0",
        // "0.5" and "0e1" are.
        {"{\"format\": \"animationmodel\", \"version\": 01}",
         "1:41: /version: invalid JSON: a number must not start with 0 followed by a digit"},
        {document("\"fps\": -00.5"), "1:51: /fps: invalid JSON: a number must not start with 0 followed by a digit"},
        {bodyKey("{\"effect\": 00, \"duration\": 1}"),
         "1:70: /body/a/0/effect: invalid JSON: a number must not start with 0 followed by a digit"},
        {bodyKey("{\"effect\": \"Linear\", \"args\": [0, 0.5, 007], \"duration\": 1}"),
         "1:97: /body/a/0/args/2: invalid JSON: a number must not start with 0 followed by a digit"},
        {document("\"$schema\": 1"), "1:55: /$schema: \"$schema\" must be a string"},
        {document("\"$schema\": {}"), "1:55: /$schema: \"$schema\" must be a string"},
        {document("\"$schema\": \"a\", \"$schema\": \"b\""), "1:60: /$schema: duplicate member \"$schema\""},
        {document("\"durration\": 3"), "1:44: /durration: unknown member \"durration\""},
        {document("\"version\": 1"), "1:44: /version: duplicate member \"version\""},
        {document("\"layers\": {}"), "1:44: /layers: member \"layers\" does not belong in an animation document"},
        {document("\"fps\": 0"), "1:51: /fps: FPS should be strictly higher than 0 but given argument (0) is not."},
        {document("\"fps\": \"Infinity\""), "1:51: /fps: FPS should be finite but given argument (inf) is not."},
        {document("\"fps\": 1e39"), "1:51: /fps: 1e39 is outside the float range"},
        {"{\"format\": \"anim\xff"
         "\"}",
         "1:12: /format: Invalid encoding in string."},
        {"{\"\xff"
         "\": 1}",
         "1:2: Invalid encoding in string."},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": 1, \"\xff"
         "\": 2}]}}",
         "1:73: /body/a/0: Invalid encoding in string."},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": \"\xff"
         "\", \"duration\": 1}]}}",
         "1:70: /body/a/0/effect: Invalid encoding in string."},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": \"Bogus\", \"duration\": "
         "1}]}}",
         "1:70: /body/a/0/effect: unknown effect \"Bogus\": expected \"Linear\", \"Held1\", \"Held2\", \"Held3\" or an "
         "integer"},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"fps\": \"abc\"}", "1:51: /fps: \"fps\" must be a number"},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"fps\": \"\xff"
         "\"}",
         "1:51: /fps: Invalid encoding in string."},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"fps\": true}", "1:51: /fps: \"fps\" must be a number"},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"intro\": \"x\"}",
         "1:53: /intro: a phase must be an object of layers"},
        {"{\"format\": \"animationmodel\", \"version\": -1}",
         "1:41: /version: unsupported version -1: this library reads version 1"},
        {"{\"format\": \"animationmodel\", \"version\": 0}",
         "1:41: /version: unsupported version 0: this library reads version 1"},
        {"{\"format\": \"animationmodel\", \"version\": 2}",
         "1:41: /version: version 2 is newer than this library reads (version 1)"},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": 1, \"duration\": -1}]}}",
         "1:85: /body/a/0/duration: \"duration\" must be an integer from 1 to 4294967295, not -1"},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": 1, \"duration\": 1.5}]}}",
         "1:85: /body/a/0/duration: \"duration\" must be an integer from 1 to 4294967295, not 1.5"},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": 2147483648, \"duration\": "
         "1}]}}",
         "1:70: /body/a/0/effect: \"effect\" must be a 32-bit integer, not 2147483648"},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": 1.5, \"duration\": 1}]}}",
         "1:70: /body/a/0/effect: \"effect\" must be a 32-bit integer, not 1.5"},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": 1, \"duration\": 1, "
         "\"effect\": 2}]}}",
         "1:88: /body/a/0/effect: duplicate member \"effect\""},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": 1, \"duration\": null}]}}",
         "1:85: /body/a/0/duration: \"duration\" must be an integer from 1 to 4294967295"},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": 1, \"duration\": 1, "
         "\"args\": [true]}]}}",
         "1:97: /body/a/0/args/0: an argument must be a number, \"NaN\", \"Infinity\" or \"-Infinity\""},
        {"{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"a\": [{\"effect\": \"Linear\", \"duration\": "
         "1, \"args\": [1, \"x\"]}]}}",
         "1:107: /body/a/0/args/1: an argument must be a number, \"NaN\", \"Infinity\" or \"-Infinity\""},
        {document("\"fps\": 1e400"), "1:51: /fps: 1e400 is outside the float range"},
        {document("\"fps\": -1" + std::string(400, '0')),
         "1:51: /fps: -1" + std::string(400, '0') + " is outside the float range"},
        {document("\"fps\": 1e-50"), "1:51: /fps: FPS should be strictly higher than 0 but given argument (0) is not."},
        {document("\"fps\": 3, \"intro\": 1e999"), "1:63: /intro: a phase must be an object of layers"},
        {"{\"format\": \"animationmodel\", \"version\": 1e400}",
         "1:41: /version: unsupported version 1e400: this library reads version 1"},
        {document("\"intro\": []"), "1:53: /intro: a phase must be an object of layers"},
        // Layers and keys.
        {document(R"("body": {"a": [], "a": []})"), "1:62: /body/a: duplicate layer \"a\""},
        {document(R"("body": {"a": {}})"), "1:58: /body/a: a layer must be an array of keys"},
        {document(R"("body": {"a/b~c": [3]})"), "1:63: /body/a~1b~0c/0: a key must be an object"},
        {document(R"("body": {"a": [[[[[[[[[[[[]]]]]]]]]]]]})"), "1:59: /body/a/0: a key must be an object"},
        {bodyKey(R"({"effect": "Held1", "duration": 1, "durration": 2})"),
         "1:94: /body/a/0/durration: unknown member \"durration\""},
        {bodyKey(R"({"effect": 0, "args": [1, 2], "args": [1, 2], "duration": 1})"),
         "1:89: /body/a/0/args: duplicate member \"args\""},
        {bodyKey(R"({"effect": "Held1"})"), "1:59: /body/a/0: missing member \"duration\""},
        {bodyKey(R"({"duration": 1})"), "1:59: /body/a/0: missing member \"effect\""},
        {bodyKey(R"({"effect": "Held9", "duration": 1})"),
         "1:70: /body/a/0/effect: unknown effect \"Held9\": expected \"Linear\", \"Held1\", \"Held2\", \"Held3\" or an "
         "integer"},
        {bodyKey(R"({"effect": 4294967296, "duration": 1})"),
         "1:70: /body/a/0/effect: \"effect\" must be a 32-bit integer, not 4294967296"},
        {bodyKey(R"({"effect": [], "duration": 1})"),
         "1:70: /body/a/0/effect: \"effect\" must be a string or an integer"},
        {bodyKey(R"({"effect": "Held1", "duration": -1})"),
         "1:91: /body/a/0/duration: \"duration\" must be an integer from 1 to 4294967295, not -1"},
        {bodyKey(R"({"effect": "Held1", "duration": 1.5})"),
         "1:91: /body/a/0/duration: \"duration\" must be an integer from 1 to 4294967295, not 1.5"},
        {bodyKey(R"({"effect": "Held1", "duration": 4294967296})"),
         "1:91: /body/a/0/duration: \"duration\" must be an integer from 1 to 4294967295, not 4294967296"},
        {bodyKey(R"({"effect": "Held1", "duration": "1"})"),
         "1:91: /body/a/0/duration: \"duration\" must be an integer from 1 to 4294967295"},
        {duration0, "13:39: /body/fade/1/duration: Duration of AnimationKeyCommand must be > 0"},
        {bodyKey(R"({"effect": "Linear", "args": [1, 1e39], "duration": 1})"),
         "1:92: /body/a/0/args/1: 1e39 is outside the float range"},
        {bodyKey(R"({"effect": "Linear", "args": [1, "nan"], "duration": 1})"),
         "1:92: /body/a/0/args/1: an argument must be a number, \"NaN\", \"Infinity\" or \"-Infinity\""},
        {bodyKey(R"({"effect": "Linear", "args": [1], "duration": 1})"),
         "1:88: /body/a/0/args: Could not set attributes of AnimationKeyCommand: the number of arguments does not "
         "correspond to the command (1 arguments given but 2 expected for command 0)"},
        {bodyKey(R"({"effect": "Linear", "duration": 1})"),
         "1:59: /body/a/0: Could not set attributes of AnimationKeyCommand: the number of arguments does not "
         "correspond to the command (0 arguments given but 2 expected for command 0)"},
        {document("\"body\": {\"\xc3\xa9\": [{\"effect\": \"Held1\", \"args\": [1], \"duration\": 1}]}"),
         "1:87: /body/\xc3\xa9/0/args: Could not set attributes of AnimationKeyCommand: the number of arguments "
         "does not correspond to the command (1 arguments given but 0 expected for command 1)"},
        {"{\n  \"format\": \"animationmodel-timeline\",\n  \"version\": 1,\n  \"fps\": 25\n}",
         "4:3: /fps: member \"fps\" does not belong in a timeline document"},
    };
    for (const Case& c : cases) {
        EXPECT_THROW_MSG(documentFromJson(c.text), AnimationJsonError, c.what);
    }
    // The parts of the error, and a document of the other kind.
    try {
        animationFromJson(R"({"format": "animationmodel-timeline",
  "version": 1})");
        FAIL() << "a timeline loaded as an animation";
    } catch (const AnimationJsonError& error) {
        EXPECT_EQ(1u, error.line());
        EXPECT_EQ(12u, error.column());
        EXPECT_EQ("/format", error.pointer());
        EXPECT_EQ("expected an animation document, not a timeline", error.message());
    }
    EXPECT_THROW_MSG(timelineFromJson(canonicalAnimation), AnimationJsonError,
                     "2:13: /format: expected a timeline document, not an animation");
}

TEST(AnimationJson, SchemaMemberIsIgnored)
{
    const Animation animation = animationFromJson(
        document(R"("$schema": "https://animationmodel.invalid/schema/animationmodel-1.json", "fps": 0.5)"));
    EXPECT_EQ(0.5f, animation.fps());
    EXPECT_EQ(animationToJson(animation), animationToJson(animationFromJson(document("\"fps\": 0.5"))));
    EXPECT_EQ(LayerMap{}, timelineFromJson(R"({"$schema": "", "format": "animationmodel-timeline", "version": 1})"));
    // Zeros that are JSON.
    EXPECT_EQ(0.0f,
              animationFromJson(bodyKey(R"({"effect": "Linear", "args": [0, -0], "duration": 1})"))
                  .body()
                  .at("a")[0]
                  .command()
                  .args()[0]);
    EXPECT_EQ(0.5f, animationFromJson(document("\"fps\": 0.5e0")).fps());
    EXPECT_EQ(Linear,
              animationFromJson(bodyKey(R"({"effect": 0, "args": [0, 1], "duration": 1})"))
                  .body()
                  .at("a")[0]
                  .command()
                  .effect());
}

TEST(AnimationJson, Files)
{
    const TempDir dir;
    const std::filesystem::path file = dir.path / "show.json";
    const Animation show = canonicalModel();

    // Round trip through a file; replacing keeps the permission bits.
    saveAnimation(show, file.string());
    ::chmod(file.c_str(), 0640);
    saveAnimation(show, file.string());
    EXPECT_EQ(canonicalAnimation, fileText(file));
    struct stat status { };
    ::stat(file.c_str(), &status);
    EXPECT_EQ(0640u, status.st_mode & 07777);
    EXPECT_EQ(show, loadAnimation(file.string()));
    EXPECT_TRUE(std::holds_alternative<Animation>(loadDocument(file.string())));

    // Through a symbolic link, the file it points to is replaced, not the link.
    const std::filesystem::path link = dir.path / "link.json";
    std::filesystem::create_symlink("show.json", link);
    const LayerMap timeline{{"x", {held(Held2, 3)}}};
    saveTimeline(timeline, link.string());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(timeline, loadTimeline(file.string()));

    // Failures name the file and leave everything as it was, no stray file.
    EXPECT_THROW_MSG(saveTimeline(timeline, (dir.path / "missing" / "a.json").string()), std::system_error,
                     (dir.path / "missing" / "a.json").string() + ": No such file or directory");
    EXPECT_THROW_MSG(loadTimeline((dir.path / "none.json").string()), std::system_error,
                     (dir.path / "none.json").string() + ": No such file or directory");
    EXPECT_THROW_MSG(loadTimeline(dir.path.string()), std::system_error, dir.path.string() + ": Is a directory");
    EXPECT_THROW_MSG(saveTimeline(timeline, dir.path.string()), std::system_error,
                     dir.path.string() + ": Is a directory");
    EXPECT_EQ(timelineToJson(timeline), fileText(file));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        ++entries;
    }
    EXPECT_EQ(2u, entries);
}

TEST(AnimationJson, LayerNamesMustBeUtf8)
{
    // Every lead byte range, and the second-byte bounds that exclude overlong
    // forms, surrogates and values past U+10FFFF.
    struct Case {
        const char* name;
        bool valid;
    };
    for (const Case& c : {Case{"a", true},
                          Case{"\xC2\x80", true},
                          Case{"\xDF\xBF", true},
                          Case{"\xC1\xBF", false},
                          Case{"\xC2", false},
                          Case{"\xC2\x7F", false},
                          Case{"\xE0\xA0\x80", true},
                          Case{"\xE0\x9F\xBF", false},
                          Case{"\xED\x9F\xBF", true},
                          Case{"\xED\xA0\x80", false},
                          Case{"\xEF\xBF\xBF", true},
                          Case{"\xE1\x80\x41", false},
                          Case{"\xE1\x80", false},
                          Case{"\xF0\x90\x80\x80", true},
                          Case{"\xF0\x8F\xBF\xBF", false},
                          Case{"\xF4\x8F\xBF\xBF", true},
                          Case{"\xF4\x90\x80\x80", false},
                          Case{"\xF3\xBF\xBF\xC0", false},
                          Case{"\xF5\x80\x80\x80", false},
                          Case{"\x80", false},
                          Case{"\xFF", false}}) {
        const LayerMap timeline{{c.name, {}}};
        const std::string text =
            R"({"format": "animationmodel-timeline", "version": 1, "layers": {")" + std::string(c.name) + R"(": []}})";
        if (c.valid) {
            EXPECT_EQ(timeline, timelineFromJson(timelineToJson(timeline))) << c.name;
            EXPECT_EQ(timeline, timelineFromJson(text)) << c.name;
        } else {
            EXPECT_THROW_MSG(timelineToJson(timeline), std::invalid_argument,
                             "Could not save layer \"" + std::string(c.name) + "\": its name is not valid UTF-8");
            EXPECT_THROW_MSG(timelineFromJson(text), AnimationJsonError, "1:64: /layers: Invalid encoding in string.");
        }
    }
}

TEST(AnimationJson, OutsizedNumbersAmongOthers)
{
    // Masked numbers next to strings with escapes and quotes, numbers that
    // need no masking, and every form of the number grammar.
    const std::string big = "1" + std::string(320, '0');
    const std::string text = R"({"format": "animationmodel-timeline", "version": 1, "layers": {"e\"1e999\\": [)"
                             R"({"effect": "Linear", "args": [-)"
        + big
        + "e-320, 2.5E+1], \"duration\": 1},"
          R"({"effect": 0, "args": [1.5e-9999, -0.25e-0999], "duration": 2},)"
          R"({"effect": 0, "args": [)"
        + big + ".5e-321, 0E+000], \"duration\": 3}]}}";
    const LayerMap timeline = timelineFromJson(text);
    const std::vector<AnimationKey>& keys = timeline.at("e\"1e999\\");
    ASSERT_EQ(3u, keys.size());
    EXPECT_TRUE(sameBits(std::vector<float>{-1.0f, 25.0f}, keys[0].command().args()));
    EXPECT_TRUE(sameBits(std::vector<float>{0.0f, -0.0f}, keys[1].command().args()));
    EXPECT_TRUE(sameBits(std::vector<float>{0.1f, 0.0f}, keys[2].command().args()));
    // Masked numbers keep their own text in messages and are refused where
    // an integer or another type stands.
    EXPECT_THROW_MSG(timelineFromJson(R"({"format": "animationmodel-timeline", "version": 1, "layers": {"a": [)"
                                      R"({"effect": 0e999, "duration": 1}]}})"),
                     AnimationJsonError, "1:81: /layers/a/0/effect: \"effect\" must be a 32-bit integer, not 0e999");
    EXPECT_THROW_MSG(timelineFromJson(R"({"format": "animationmodel-timeline", "version": 1, "layers": {"a": [)"
                                      R"({"effect": 1, "duration": 1e999}]}})"),
                     AnimationJsonError,
                     "1:96: /layers/a/0/duration: \"duration\" must be an integer from 1 to 4294967295, not 1e999");
    EXPECT_THROW_MSG(timelineFromJson(R"({"format": "animationmodel-timeline", "version": 1, "layers": 1e999})"),
                     AnimationJsonError, "1:63: /layers: \"layers\" must be an object of layers");
    // Not JSON either way: the second parse reports it.
    EXPECT_THROW_MSG(timelineFromJson(R"({"format": "animationmodel-timeline", "version": 1e999, "layers": [-]})"),
                     AnimationJsonError, "1:50: /version: unsupported version 1e999: this library reads version 1");
    EXPECT_THROW_MSG(timelineFromJson(R"({"format": "animationmodel-timeline", "layers": {"a": [1e999, -]}})"),
                     AnimationJsonError, "1:56: /layers/a/0: a key must be an object");
}

TEST(AnimationJson, DecimalTextRoundsOnceToFloat)
{
    // Random decimals of 1 to 17 significant digits, some with exponents,
    // against the C library's conversion, which rounds once from the decimal
    // value: bit for bit.
    std::uint64_t state = 0x0123456789ABCDEFu;
    const auto next = [&] {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return state >> 11;
    };
    std::vector<std::string> texts;
    for (int i = 0; i < 20000; ++i) {
        std::string digits = std::to_string(next() % 100000000000000000u).substr(0, 1 + next() % 17);
        const std::size_t point = next() % (digits.size() + 1);
        std::string text = (next() % 2 != 0 ? "-" : "") + digits.substr(0, point);
        text = (point == 0 ? text + "0" : text) + (point < digits.size() ? "." + digits.substr(point) : "");
        if (next() % 4 == 0) {
            text += "e" + std::to_string(static_cast<int>(next() % 40) - 30);
        }
        texts.push_back(text);
    }
    // Halfway cases of the double route: 2^-24 + 2^-48 and its neighbours.
    texts.insert(texts.end(),
                 {"1.0000000596046447753906250", "1.00000005960464477539", "0.50000002980232238769531", "16777217",
                  "16777217.000000001", "33554434.99999999"});
    std::string text = R"({"format": "animationmodel-timeline", "version": 1, "layers": {"a": [)";
    for (std::size_t i = 0; i < texts.size(); i += 2) {
        text += std::string(i == 0 ? "" : ",") + R"({"effect": 0, "args": [)" + texts[i] + ", " + texts[i + 1]
            + R"(], "duration": 1})";
    }
    const LayerMap timeline = timelineFromJson(text + "]}}");
    const std::vector<AnimationKey>& keys = timeline.at("a");
    ASSERT_EQ(texts.size() / 2, keys.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const float expected = std::strtof(texts[i].c_str(), nullptr);
        ASSERT_TRUE(sameBits(expected, keys[i / 2].command().args()[i % 2])) << texts[i];
    }
}

TEST(AnimationJson, NamesWithEveryEscape)
{
    const std::string name = std::string("q\"b\\s\bf\fn\nr\rt\tc\x01") + "\x1f" + "/\xC3\xA9";
    const LayerMap timeline{{name, {}}};
    const std::string text = timelineToJson(timeline);
    EXPECT_NE(std::string::npos,
              text.find(R"("q\"b\\s\bf\fn\nr\rt\tc\u0001\u001f/)"
                        "\xC3\xA9"
                        R"(")"));
    EXPECT_EQ(timeline, timelineFromJson(text));
    EXPECT_EQ(R"("q\"b\\s\bf\fn\nr\rt\tc\u0001\u001f/)"
              "\xC3\xA9"
              R"(")",
              jsonString(name));
    EXPECT_THROW_MSG(jsonString("\xff"), std::invalid_argument,
                     "Could not write \"\xff\" as JSON: it is not valid UTF-8");
    // An empty file is read as an empty text, and refused as an empty document.
    const TempDir dir;
    const std::filesystem::path empty = dir.path / "empty.json";
    std::ofstream(empty).close();
    EXPECT_THROW_MSG(loadDocument(empty.string()), AnimationJsonError, "1:1: The document is empty.");
}

// A device or a pipe is read only as far as a JSON text can go: up to its
// first NUL byte. A regular file is read whole, whatever it holds.
TEST(AnimationJson, ReadingALimitedFile)
{
    EXPECT_EQ(3u, jsonReadLimit(std::string_view("ab\0cd\0", 6), 0));

    const TempDir dir;
    const std::string file = (dir.path / "nul.json").string();
    const std::string bytes("{\0}\xFF", 4);
    std::ofstream(file, std::ios::binary) << bytes;
    // Loaded, the text stops at the NUL byte all the same.
    EXPECT_THROW_MSG(loadAnimation(file), AnimationJsonError, "1:2: Missing a name for object member.");

    if (!boundedChildAvailable) {
        GTEST_SKIP() << "a memory limit in a child does not go with the sanitizers";
    }
    // An endless device ends every load at once (in a child: a read that
    // never ends fails the test instead of exhausting the machine).
    const int faults = boundedChildStatus([] {
        int count = readText("/dev/zero", jsonReadLimit) == std::string(1, '\0') ? 0 : 1;
        try {
            loadAnimation("/dev/zero");
            ++count;
        } catch (const AnimationJsonError& error) {
            count += std::string(error.what()) == "1:1: The document is empty." ? 0 : 1;
        }
        AnimationDocument document;
        JsonLoadError error;
        count += tryLoadDocument("/dev/zero", JsonLoadOptions(), document, error) == JsonLoadStatus::Invalid ? 0 : 1;
        // A pipe whose writer stays open ends the read at a NUL byte that ends what was read.
        int pipe[2] = {-1, -1};
        if (::pipe(pipe) != 0 || ::write(pipe[1], "{\0", 2) != 2) {
            return count + 1;
        }
        count += readText("/dev/fd/" + std::to_string(pipe[0]), jsonReadLimit) == std::string("{\0", 2) ? 0 : 1;
        return count;
    });
    EXPECT_EQ(0, faults);
}

TEST(AnimationJson, TextLocation)
{
    const std::string text = "ab\n\xC3\xA9x\n\n";
    EXPECT_EQ("1:1", textLocation(text, 0));
    EXPECT_EQ("1:3", textLocation(text, 2)); // the line feed itself
    EXPECT_EQ("2:1", textLocation(text, 3));
    EXPECT_EQ("2:2", textLocation(text, 5));    // after é, two bytes, one character
    EXPECT_EQ("4:1", textLocation(text, 8));    // the end
    EXPECT_EQ("4:1", textLocation(text, 1000)); // past the end: the end
}
