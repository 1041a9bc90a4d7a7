// Crafted binary clip files: each field of the small file broken in turn,
// behind a correct checksum, refused at its byte with its message.
#include <animationmodel/clipfile.h>

#include "clipfiletestfiles.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace Korva;
using namespace Korva::cliptest;

namespace {

struct Crafted {
    const char* what;
    std::function<void(std::string&)> breakIt;
    std::uint64_t offset;
    const char* message;
};

constexpr std::uint64_t u64max = std::numeric_limits<std::uint64_t>::max();

// The small file's sections start at 384 (name offsets), 416 (names), 424
// (entries), 440, 520, 600 (track keys, blocks, frames), 672 (track held),
// 712 (durations), 728 (effects), 744 (linear arguments), 760, 784, 808
// (block frames, linears, held); it ends at 824.
// The header and the section table, broken field by field.
std::vector<Crafted> craftedLayouts()
{
    return {
        {"magic", [](std::string& f) { f[3] = 'X'; }, 0,
         "not a binary clip file (it does not start with the magic number)"},
        {"newer version", [](std::string& f) { setAt<std::uint32_t>(f, 16, 2); }, 16,
         "written in version 2 of the binary clip format, newer than version 1 that this library reads"},
        {"largest version", [](std::string& f) { setAt<std::uint32_t>(f, 16, 0xFFFFFFFFu); }, 16,
         "written in version 4294967295 of the binary clip format, newer than version 1 that this library reads"},
        {"version 0", [](std::string& f) { setAt<std::uint32_t>(f, 16, 0); }, 16,
         "version 0 is not a version of the binary clip format"},
        {"file size", [](std::string& f) { setAt<std::uint64_t>(f, 24, 832); }, 24,
         "the file says it holds 832 bytes but it holds 824 (truncated or extended)"},
        {"size not a multiple of 8",
         [](std::string& f) {
             f.resize(820);
             setAt<std::uint64_t>(f, 24, 820);
         },
         24, "the file size 820 is not a multiple of 8"},
        {"header cut", [](std::string& f) { f.resize(40); }, 40, "the file ends inside its header of 72 bytes"},
        {"table missing",
         [](std::string& f) {
             f.resize(72);
             setAt<std::uint64_t>(f, 24, 72);
         },
         72, "the file ends inside its section table, which ends at byte 384"},
        {"table cut inside its first entry",
         [](std::string& f) {
             f.resize(88);
             setAt<std::uint64_t>(f, 24, 88);
         },
         88, "the file ends inside its section table, which ends at byte 384"},
        {"table cut before its last entry",
         [](std::string& f) {
             f.resize(376);
             setAt<std::uint64_t>(f, 24, 376);
         },
         376, "the file ends inside its section table, which ends at byte 384"},
        {"flags", [](std::string& f) { setAt<std::uint32_t>(f, 20, 2); }, 20, "unknown flags 0x2"},
        {"fps 0", [](std::string& f) { setAt<float>(f, 32, 0.0f); }, 32,
         "the frame rate 0 is not a finite number greater than 0"},
        {"fps -0", [](std::string& f) { setAt<float>(f, 32, -0.0f); }, 32,
         "the frame rate -0 is not a finite number greater than 0"},
        {"fps NaN", [](std::string& f) { setAt<float>(f, 32, std::nanf("")); }, 32,
         "the frame rate nan is not a finite number greater than 0"},
        {"fps infinite", [](std::string& f) { setAt<float>(f, 32, HUGE_VALF); }, 32,
         "the frame rate inf is not a finite number greater than 0"},
        {"fps negative", [](std::string& f) { setAt<float>(f, 32, -25.0f); }, 32,
         "the frame rate -25 is not a finite number greater than 0"},
        {"section count", [](std::string& f) { setAt<std::uint32_t>(f, 36, 12); }, 36, "12 sections; version 1 has 13"},
        {"2^32 channels", [](std::string& f) { setAt<std::uint64_t>(f, 40, 0x100000000u); }, 40,
         "4294967296 channels; at most 4294967295"},
        {"channel count", [](std::string& f) { setAt<std::uint64_t>(f, 40, 2); }, 88,
         "section 1 (name offsets) has 4 elements; it must have 3"},
        {"section id", [](std::string& f) { setAt<std::uint32_t>(f, 72, 2); }, 72, "section 1 has the id 2"},
        {"element size", [](std::string& f) { setAt<std::uint32_t>(f, 124, 2); }, 124,
         "section 3 (entries) has elements of 2 bytes; they have 1"},
        {"section offset", [](std::string& f) { setAt<std::uint64_t>(f, 104, 424); }, 104,
         "section 2 (names) starts at byte 424; it must start at 416"},
        {"count past the end", [](std::string& f) { setAt<std::uint64_t>(f, 112, u64max); }, 112,
         "section 2 (names) of 18446744073709551615 elements runs past the end of the file"},
        // 2^62 + 4 elements of 4 bytes wrap to the right end in 64 bits.
        {"count that wraps", [](std::string& f) { setAt<std::uint64_t>(f, 304, (std::uint64_t{1} << 62) + 4); }, 304,
         "section 10 (linear arguments) of 4611686018427387908 elements runs past the end of the file"},
        {"count moves the next section", [](std::string& f) { setAt<std::uint64_t>(f, 256, 5); }, 272,
         "section 9 (effects) starts at byte 728; it must start at 736"},
        {"tied count", [](std::string& f) { setAt<std::uint64_t>(f, 280, 3); }, 280,
         "section 9 (effects) has 3 elements; it must have 4"},
        {"padding between sections", [](std::string& f) { f[419] = 1; }, 419, "a padding byte is not 0"},
        {"padding at the end", [](std::string& f) { f[820] = 1; }, 820, "a padding byte is not 0"},
        {"bytes after the last section",
         [](std::string& f) {
             f.append(8, '\0');
             setAt<std::uint64_t>(f, 24, 832);
         },
         824, "8 bytes follow the last section"},
    };
}

// The arrays, broken rule by rule.
std::vector<Crafted> craftedArrays()
{
    return {
        {"phase lengths overflow", [](std::string& f) { setAt<std::uint64_t>(f, 48, u64max); }, 48,
         "the phase lengths add up to more than 2^64 - 1 frames"},
        {"phase length", [](std::string& f) { setAt<std::uint64_t>(f, 56, 4); }, 600,
         "a track's frames or a phase length disagree with the keys' durations"},
        {"name offsets", [](std::string& f) { setAt<std::uint64_t>(f, 384, 1); }, 384,
         "the name offsets do not run in order from 0 to the size of the names"},
        {"names count", [](std::string& f) { setAt<std::uint64_t>(f, 112, 4); }, 384,
         "the name offsets do not run in order from 0 to the size of the names"},
        {"name order", [](std::string& f) { f.replace(416, 3, "bac"); }, 416,
         "the channel names are not in strictly increasing byte-wise order"},
        {"entry flag", [](std::string& f) { f[424] = 2; }, 424,
         "an entry flag is neither 0 nor 1, or a channel has no entry in any phase"},
        {"channel without entry", [](std::string& f) { f[428] = 0; }, 424,
         "an entry flag is neither 0 nor 1, or a channel has no entry in any phase"},
        {"track keys", [](std::string& f) { setAt<std::uint64_t>(f, 440 + 9 * 8, 3); }, 440,
         "the track key offsets do not run in order to the number of keys, or a track with keys has no entry"},
        {"duration 0", [](std::string& f) { setAt<std::uint32_t>(f, 716, 0); }, 716, "a key lasts 0 frames"},
        {"effect", [](std::string& f) { setAt<std::int32_t>(f, 728, 1); }, 744,
         "the number of linear arguments is not twice the number of Linear keys"},
        {"track frames", [](std::string& f) { setAt<std::uint64_t>(f, 600, 3); }, 600,
         "a track's frames or a phase length disagree with the keys' durations"},
        {"track blocks", [](std::string& f) { setAt<std::uint64_t>(f, 520 + 9 * 8, 4); }, 520,
         "the track block offsets disagree with the keys (one block per 64 keys)"},
        {"block frames", [](std::string& f) { setAt<std::uint64_t>(f, 760, 5); }, 760,
         "a block's start frame disagrees with the keys' durations"},
        {"block linears", [](std::string& f) { setAt<std::uint64_t>(f, 792, 0); }, 784,
         "a block's count of Linear keys disagrees with the keys' effects"},
        {"block held", [](std::string& f) { setAt<float>(f, 812, 2.5f); }, 808,
         "a block's held value disagrees with the keys' Linear end values"},
        {"track held", [](std::string& f) { setAt<float>(f, 672 + 8 * 4, 0.0f); }, 672,
         "a track's held value disagrees with the keys' Linear end values"},
        {"timeline with an intro", [](std::string& f) { setAt<std::uint32_t>(f, 20, 1); }, 424,
         "a timeline has an entry in the intro or the outro"},
        {"name not UTF-8", [](std::string& f) { f[418] = '\xFF'; }, 418, "the name of channel 2 is not valid UTF-8"},
    };
}

std::vector<Crafted> craftedFiles()
{
    std::vector<Crafted> files = craftedLayouts();
    for (Crafted& crafted : craftedArrays()) {
        files.push_back(std::move(crafted));
    }
    return files;
}

TEST(ClipFileRefusal, TheSmallFileLiesWhereTheTableSays)
{
    const std::string file = smallFile();
    ASSERT_EQ(std::size_t{824}, file.size());
    const std::size_t starts[] = {384, 416, 424, 440, 520, 600, 672, 712, 728, 744, 760, 784, 808};
    for (int id = 1; id <= 13; ++id) {
        EXPECT_EQ(starts[id - 1], sectionOffset(file, id)) << id;
    }
}

TEST(ClipFileRefusal, EachFieldBrokenInTurn)
{
    for (const Crafted& crafted : craftedFiles()) {
        std::string file = smallFile();
        crafted.breakIt(file);
        if (file.size() >= 72) {
            file = withChecksum(file);
        }
        const AlignedBytes bytes(file);
        ClipArrays arrays;
        arrays.fps = 99.0f;
        const ClipFileCheck check = viewClipFile(bytes.data(), bytes.size(), arrays);
        EXPECT_EQ(ClipFileCheck::Fault::Refused, check.fault()) << crafted.what;
        EXPECT_EQ(crafted.offset, check.offset()) << crafted.what;
        EXPECT_STREQ(crafted.message, check.message()) << crafted.what;
        EXPECT_EQ(99.0f, arrays.fps) << crafted.what << ": the arrays changed";
    }
}

TEST(ClipFileRefusal, AWrongChecksum)
{
    std::string file = smallFile();
    file[8] = static_cast<char>(file[8] ^ 1);
    const AlignedBytes bytes(file);
    ClipArrays arrays;
    const ClipFileCheck check = viewClipFile(bytes.data(), bytes.size(), arrays);
    EXPECT_EQ(std::uint64_t{8}, check.offset());
    EXPECT_STREQ("the checksum does not match the content (the file is damaged)", check.message());
}

// A copy with no target is refused before anything is written.
TEST(ClipFileCopy, RefusesANullTarget)
{
    const std::string file = smallFile();
    EXPECT_EXIT(
        {
            ClipArrays arrays;
            const ClipFileCheck check = copyClipFile(file.data(), file.size(), nullptr, arrays);
            const bool refused = check.fault() == ClipFileCheck::Fault::Refused && check.offset() == 0
                && std::string(check.message()) == "no target to copy the file to" && arrays.names.data == nullptr;
            std::exit(refused ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// A target that overlaps the source (in either direction) gets the file intact.
TEST(ClipFileCopy, ATargetThatOverlapsTheSource)
{
    const std::string file = smallFile();
    for (const std::size_t shift : {std::size_t{8}, std::size_t{3}}) {
        for (const bool forward : {true, false}) {
            std::vector<std::uint64_t> buffer(file.size() / 8 + 2);
            char* base = reinterpret_cast<char*>(buffer.data());
            char* source = forward ? base + shift : base;
            void* target = forward ? static_cast<void*>(base) : static_cast<void*>(base + 8);
            if (!forward && shift != 8) {
                continue; // the target must be 8-byte aligned
            }
            std::copy(file.begin(), file.end(), source);
            ClipArrays arrays;
            const ClipFileCheck check = copyClipFile(source, file.size(), target, arrays);
            EXPECT_TRUE(check) << shift << forward << ": " << check.message();
            EXPECT_EQ(0, std::memcmp(target, file.data(), file.size())) << shift << forward;
        }
    }
}

// The header's checks alone, on data of any alignment, give the refusal of a
// view for every cut of a file (those are all refused by their size), and
// accept the whole file whatever follows it in memory.
TEST(ClipFileSize, AgreesWithAViewOnEveryCut)
{
    const std::string file = smallFile();
    std::vector<std::uint64_t> buffer(file.size() / 8 + 2);
    char* misaligned = reinterpret_cast<char*>(buffer.data()) + 5;
    std::copy(file.begin(), file.end(), misaligned);
    for (std::size_t size = 0; size < file.size(); ++size) {
        const AlignedBytes cut(file.substr(0, size));
        ClipArrays arrays;
        const ClipFileCheck view = viewClipFile(size == 0 ? buffer.data() : cut.data(), size, arrays);
        const ClipFileCheck sized = checkClipFileSize(misaligned, size);
        ASSERT_FALSE(view) << size;
        EXPECT_EQ(ClipFileCheck::Fault::Refused, sized.fault()) << size;
        EXPECT_EQ(view.offset(), sized.offset()) << size;
        EXPECT_STREQ(view.message(), sized.message()) << size;
    }
    EXPECT_TRUE(checkClipFileSize(misaligned, file.size()));
    EXPECT_STREQ("the file says it holds 824 bytes but it holds 18446744073709551615 (truncated or extended)",
                 checkClipFileSize(misaligned, std::numeric_limits<std::size_t>::max()).message());
    EXPECT_STREQ("not a binary clip file (no data)", checkClipFileSize(nullptr, 8).message());
}

// Every cut of the file, its size field and checksum made right, is refused
// inside its bytes without reading past them: the bytes end where an
// unreadable page begins, so a read past them kills the child.
TEST(ClipFileRefusal, EveryCutWithARightSizeAndChecksumIsReadInsideItsBytes)
{
    const std::string file = smallFile();
    EXPECT_EXIT(
        {
            const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
            const std::size_t room = (file.size() / page + 1) * page;
            void* mapped = mmap(nullptr, room + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (mapped == MAP_FAILED || mprotect(static_cast<char*>(mapped) + room, page, PROT_NONE) != 0) {
                std::exit(2);
            }
            int wrong = 0;
            for (std::size_t size = 72; size < file.size(); size += 8) {
                std::string cut = file.substr(0, size);
                setAt<std::uint64_t>(cut, 24, size);
                cut = withChecksum(cut);
                char* bytes = static_cast<char*>(mapped) + room - size;
                std::copy(cut.begin(), cut.end(), bytes);
                ClipArrays arrays;
                const ClipFileCheck check = viewClipFile(bytes, size, arrays);
                wrong += check || check.offset() > size ? 1 : 0;
            }
            std::exit(wrong);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
