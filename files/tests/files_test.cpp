#include <animationmodel/files/pendingtemporaries.h>
#include <animationmodel/files/readtext.h>
#include <animationmodel/files/savetext.h>
#include <animationmodel/files/utf8.h>
#include <animationmodel/files/valuetext.h>

#include "expect_throw_msg.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
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

struct TempDir {
    std::filesystem::path path = std::filesystem::temp_directory_path() / ("files_test_" + std::to_string(::getpid()));
    TempDir() { std::filesystem::create_directories(path); }
    ~TempDir() { std::filesystem::remove_all(path); }
};

std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

// The length of a sequence where it starts, at every bound of its lead and
// second byte; a sequence cut short by the end of the text has none.
TEST(Utf8, SequenceLengths)
{
    struct Case {
        std::string_view text;
        std::size_t at;
        std::size_t length;
    };
    for (const Case& c : {Case{"a", 0, 1},
                          Case{std::string_view("\0", 1), 0, 1},
                          Case{"\x7F", 0, 1},
                          Case{"\x80", 0, 0},             // a continuation byte alone
                          Case{"\xC1\xBF", 0, 0},         // overlong
                          Case{"\xC2\x80", 0, 2},         // U+0080
                          Case{"\xDF\xBF", 0, 2},         // U+07FF
                          Case{"\xE0\x9F\xBF", 0, 0},     // overlong
                          Case{"\xE0\xA0\x80", 0, 3},     // U+0800
                          Case{"\xED\x9F\xBF", 0, 3},     // U+D7FF
                          Case{"\xED\xA0\x80", 0, 0},     // U+D800, a surrogate
                          Case{"\xED\xBF\xBF", 0, 0},     // U+DFFF
                          Case{"\xEE\x80\x80", 0, 3},     // U+E000
                          Case{"\xF0\x8F\xBF\xBF", 0, 0}, // overlong
                          Case{"\xF0\x90\x80\x80", 0, 4}, // U+10000
                          Case{"\xF4\x8F\xBF\xBF", 0, 4}, // U+10FFFF
                          Case{"\xF4\x90\x80\x80", 0, 0}, // past U+10FFFF
                          Case{"\xF5\x80\x80\x80", 0, 0},
                          Case{"\xFF", 0, 0},
                          Case{"\xE1\x80\x41", 0, 0}, // a letter where a continuation belongs
                          Case{"\xF3\xBF\xBF\xC0", 0, 0},
                          Case{"x\xE2\x82", 1, 0}, // cut short
                          Case{"x\xF0\x9F\x8E\xAC", 1, 4}}) {
        EXPECT_EQ(c.length, utf8SequenceLength(c.text, c.at)) << c.text;
        if (c.at == 0) {
            EXPECT_EQ(c.length == c.text.size(), isValidUtf8(c.text)) << c.text;
        }
    }
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_FALSE(isValidUtf8("ok \xC3\xA9 then \xC3"));
}

TEST(Utf8, Repaired)
{
    const std::string bad = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"plain \xC3\xA9 \xE2\x88\x9E \xF0\x9F\x8E\xAC", "plain \xC3\xA9 \xE2\x88\x9E \xF0\x9F\x8E\xAC"},
        {"a\xFF"
         "b",
         "a" + bad + "b"},
        {"\xC0\x80", bad + bad},                     // overlong
        {"\xED\xA0\x80", bad + bad + bad},           // surrogate
        {"\xF4\x90\x80\x80", bad + bad + bad + bad}, // past U+10FFFF
        {"x\xE2\x82", "x" + bad + bad},              // cut short at the end
        {"\xE2\x82"
         "A",
         bad + bad + "A"}, // cut short before a letter
        {"", ""},
    };
    for (const auto& [text, repaired] : cases) {
        EXPECT_EQ(repaired, utf8Repaired(text)) << text;
    }
}

// Floats in their shortest text that reads back, whatever their size;
// effects by name, or by value for one outside the enumeration.
TEST(ValueText, FloatsAndEffects)
{
    EXPECT_EQ("0.1", floatText(0.1f));
    EXPECT_EQ("16777216", floatText(16777216.0f));
    EXPECT_EQ("-0", floatText(-0.0f));
    EXPECT_EQ("1e-45", floatText(std::nextafter(0.0f, 1.0f)));
    EXPECT_EQ("3.4028235e+38", floatText(FLT_MAX));
    EXPECT_EQ("NaN", floatText(NAN));
    EXPECT_EQ("Infinity", floatText(INFINITY));
    EXPECT_EQ("-Infinity", floatText(-INFINITY));
    EXPECT_EQ("Linear", effectText(Linear));
    EXPECT_EQ("Held1", effectText(Held1));
    EXPECT_EQ("Held2", effectText(Held2));
    EXPECT_EQ("Held3", effectText(Held3));
    EXPECT_EQ("4", effectText(static_cast<AnimationKeyCommandEffect>(4)));
    EXPECT_EQ("-1", effectText(static_cast<AnimationKeyCommandEffect>(-1)));
    EXPECT_EQ("-2147483648", effectText(static_cast<AnimationKeyCommandEffect>(INT32_MIN)));
    EXPECT_EQ(nullptr, effectName(static_cast<AnimationKeyCommandEffect>(4)));
}

// A text format's limit stops at the first NUL byte among the new ones; a
// device or a pipe is read as far as the limit says, a regular file whole.
TEST(ReadText, Limits)
{
    EXPECT_EQ(SIZE_MAX, textReadLimit("{}", 0));
    EXPECT_EQ(3u, textReadLimit(std::string_view("ab\0cd\0", 6), 0));
    EXPECT_EQ(6u, textReadLimit(std::string_view("ab\0cd\0", 6), 3)); // only the new bytes are looked at
    EXPECT_EQ(1u, textReadLimit(std::string_view("\0", 1), 0));
    EXPECT_EQ("", readText("/dev/null", ReadLimit()));
    EXPECT_EQ("", readText("/dev/null", textReadLimit));

    const TempDir dir;
    const std::string file = (dir.path / "nul.txt").string();
    const std::string bytes("{\0}\xFF", 4);
    std::ofstream(file, std::ios::binary) << bytes;
    EXPECT_EQ(bytes, readText(file, textReadLimit));
    const std::string empty = (dir.path / "empty.txt").string();
    std::ofstream(empty).close();
    EXPECT_EQ("", readText(empty));
    EXPECT_THROW_MSG(readText(dir.path.string()), std::system_error, dir.path.string() + ": Is a directory");
    EXPECT_THROW_MSG(readText((dir.path / "none").string()), std::system_error,
                     (dir.path / "none").string() + ": No such file or directory");
    // Failures of a save name the file and leave nothing beside it.
    EXPECT_THROW_MSG(saveText("x", (dir.path / "missing" / "a.txt").string()), std::system_error,
                     (dir.path / "missing" / "a.txt").string() + ": No such file or directory");
    EXPECT_THROW_MSG(saveText("x", dir.path.string()), std::system_error, dir.path.string() + ": Is a directory");
    EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()));
}

// A listed name is unlinked by the walk, and only while it is listed; the
// list holds 16 names shorter than PATH_MAX.
TEST(PendingTemporaries, ListedNamesAreRemoved)
{
    const TempDir dir;
    const std::string name = (dir.path / ".am-listed").string();
    {
        const PendingTemporary pending(name);
        EXPECT_TRUE(pending.listed());
        std::ofstream(name) << "x";
        removePendingTemporaries();
        EXPECT_FALSE(std::filesystem::exists(name));
        std::ofstream(name) << "x"; // destroying the entry leaves the file
    }
    EXPECT_TRUE(std::filesystem::exists(name));
    removePendingTemporaries();
    EXPECT_TRUE(std::filesystem::exists(name));

    EXPECT_FALSE(PendingTemporary(std::string(PATH_MAX, 'n')).listed());
    std::vector<std::unique_ptr<PendingTemporary>> full;
    for (int i = 0; i < 16; ++i) {
        full.push_back(std::make_unique<PendingTemporary>(name + std::to_string(i)));
        EXPECT_TRUE(full.back()->listed()) << i;
    }
    EXPECT_FALSE(PendingTemporary(name).listed());
    removePendingTemporaries(); // none of the 16 exists: nothing else is removed
    EXPECT_TRUE(std::filesystem::exists(name));
    full.pop_back();
    EXPECT_TRUE(PendingTemporary(name).listed());
}

TEST(SaveText, NeverDestroys)
{
    const TempDir dir;
    const std::string text = "{\"saved\": true}\n";
    const auto inode = [](const std::filesystem::path& path) {
        struct stat status { };
        ::stat(path.c_str(), &status);
        return status;
    };

    // A single-link file is replaced by rename: a new inode, the old mode
    // without set-user-ID and set-group-ID, the old owner (as root).
    const std::filesystem::path file = dir.path / "file.json";
    saveText("old", file.string());
    ::chmod(file.c_str(), 06754);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(0, ::chown(file.c_str(), 1234, 4321));
    }
    const struct stat before = inode(file);
    saveText(text, file.string());
    const struct stat after = inode(file);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(0754u, after.st_mode & 07777);
    if (root) {
        EXPECT_EQ(1234u, after.st_uid);
        EXPECT_EQ(4321u, after.st_gid);
    }
    EXPECT_EQ(text, fileText(file));

    // More than one hard link: refused, both names unchanged.
    const std::filesystem::path linked = dir.path / "linked.json";
    std::filesystem::create_hard_link(file, linked);
    EXPECT_THROW_MSG(saveText("new", linked.string()), std::system_error,
                     linked.string() + " has 2 hard links; it was not replaced, to keep them: Too many links");
    EXPECT_EQ(text, fileText(file));
    EXPECT_EQ(after.st_ino, inode(linked).st_ino);

    // A FIFO is written, not replaced.
    const std::filesystem::path fifo = dir.path / "fifo";
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    std::string received;
    std::thread reader([&] { received = fileText(fifo); });
    saveText(text, fifo.string());
    reader.join();
    EXPECT_EQ(text, received);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    // A device is written in place, even when the write fails.
    EXPECT_THROW_MSG(saveText(text, "/dev/full"), std::system_error, "/dev/full: No space left on device");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    const std::filesystem::path device = dir.path / "null";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        saveText(text, device.string());
        EXPECT_TRUE(std::filesystem::is_character_file(device));
    }

    // A dangling link creates the file it names; a name of 250 bytes fits.
    std::filesystem::create_symlink("target.json", dir.path / "dangling.json");
    saveText(text, (dir.path / "dangling.json").string());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path / "dangling.json"));
    EXPECT_EQ(text, fileText(dir.path / "target.json"));
    const std::filesystem::path longName = dir.path / (std::string(245, 'n') + ".json");
    saveText(text, longName.string());
    EXPECT_EQ(text, fileText(longName));
    // Refusals name the file: a path through a file, a dangling link into a
    // missing folder.
    EXPECT_THROW_MSG(saveText(text, (file / "x.json").string()), std::system_error,
                     (file / "x.json").string() + ": Not a directory");
    std::filesystem::create_symlink("missing/target.json", dir.path / "nowhere.json");
    EXPECT_THROW_MSG(saveText(text, (dir.path / "nowhere.json").string()), std::system_error,
                     (dir.path / "nowhere.json").string() + ": No such file or directory");
    // A regular file is replaced atomically wherever its name lies: here,
    // through an open file's descriptor under /proc.
    const std::filesystem::path opened = dir.path / "opened.json";
    saveText("a much longer old text than the new one", opened.string());
    const int fd = ::open(opened.c_str(), O_RDONLY);
    const struct stat beforeProc = inode(opened);
    saveText("new", "/proc/self/fd/" + std::to_string(fd));
    ::close(fd);
    EXPECT_EQ("new", fileText(opened));
    EXPECT_NE(beforeProc.st_ino, inode(opened).st_ino);
    // A name without a folder is replaced in the current one.
    const std::filesystem::path current = std::filesystem::current_path();
    std::filesystem::current_path(dir.path);
    saveText(text, "here.json");
    std::filesystem::current_path(current);
    EXPECT_EQ(text, fileText(dir.path / "here.json"));
    // No temporary file is left behind.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        ++entries;
    }
    EXPECT_EQ(std::filesystem::exists(device) ? 10u : 9u, entries);
}

TEST(SaveText, AStream)
{
    const TempDir dir;
    const std::string file = (dir.path / "table.csv").string();
    // Pieces make one file.
    saveStream(
        [](const TextWriter& write) {
            write("a,");
            write("");
            write("b\n");
        },
        file, SaveWarning());
    EXPECT_EQ("a,b\n", readText(file));
    // A producer that throws leaves the file as it was, and no new file beside it.
    EXPECT_THROW(saveStream(
                     [](const TextWriter& write) {
                         write("partial");
                         throw std::invalid_argument("refused");
                     },
                     file, SaveWarning()),
                 std::invalid_argument);
    EXPECT_EQ("a,b\n", readText(file));
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()));
    // A failed write stops the producer and is reported for the path.
    int piecesAfterFailure = 0;
    EXPECT_THROW_MSG(saveStream(
                         [&](const TextWriter& write) {
                             write("x");
                             ++piecesAfterFailure;
                         },
                         "/dev/full", SaveWarning()),
                     std::system_error, "/dev/full: No space left on device");
    EXPECT_EQ(0, piecesAfterFailure);
}

// Saved to the process's own standard output, the text follows what the C
// stream already holds, as a program's printf and its -o /dev/stdout are
// read; a stream that cannot take it is an error. In a child whose standard
// output is a file (or /dev/full), so that the test's own stays untouched.
TEST(SaveText, ToStandardOutputAfterWhatIsBuffered)
{
    const TempDir dir;
    const std::string file = (dir.path / "out.txt").string();
    for (const std::string& target : {file, std::string("/dev/full")}) {
        std::fflush(nullptr); // the child starts with nothing of the test's own output
        const pid_t child = ::fork();
        ASSERT_NE(-1, child);
        if (child == 0) {
            const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) {
                ::_exit(3);
            }
            std::fputs("buffered ", stdout); // a file: fully buffered, not yet written
            int status = 0;
            try {
                saveText("saved\n", "/dev/stdout");
            } catch (const std::system_error&) {
                status = 2;
            }
            std::clearerr(stdout);
            ::_exit(status); // without flushing again
        }
        int status = -1;
        ASSERT_EQ(child, ::waitpid(child, &status, 0));
        ASSERT_TRUE(WIFEXITED(status));
        if (target == file) {
            EXPECT_EQ(0, WEXITSTATUS(status));
            EXPECT_EQ("buffered saved\n", readText(file));
        } else {
            EXPECT_EQ(2, WEXITSTATUS(status)); // the buffered text could not be written
        }
    }
}
