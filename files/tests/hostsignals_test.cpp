// A program that handles signals itself saves through every door (the JSON
// save, the binary clip save, the C interface's saves, the files layer's
// stream) and finds its handlers and its signal mask as they were, during
// the save as after it. Calls that set a signal action or the mask are
// counted by interposing them in this program.
#include <animationmodel/animationjson.h>
#include <animationmodel/animationmodel.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/files/savetext.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

namespace {

std::atomic<int> signalCalls{0};

template <typename Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int sigaction(int signal, const struct sigaction* action, struct sigaction* old) noexcept
{
    if (action != nullptr) {
        ++signalCalls;
    }
    using Sigaction = int (*)(int, const struct sigaction*, struct sigaction*);
    static const auto real = next<Sigaction>("sigaction");
    return real(signal, action, old);
}

extern "C" int sigprocmask(int how, const sigset_t* set, sigset_t* old) noexcept
{
    if (set != nullptr) {
        ++signalCalls;
    }
    using Sigprocmask = int (*)(int, const sigset_t*, sigset_t*);
    static const auto real = next<Sigprocmask>("sigprocmask");
    return real(how, set, old);
}

extern "C" int pthread_sigmask(int how, const sigset_t* set, sigset_t* old) noexcept
{
    if (set != nullptr) {
        ++signalCalls;
    }
    using PthreadSigmask = int (*)(int, const sigset_t*, sigset_t*);
    static const auto real = next<PthreadSigmask>("pthread_sigmask");
    return real(how, set, old);
}

extern "C" sighandler_t signal(int number, sighandler_t handler) noexcept
{
    ++signalCalls;
    using Signal = sighandler_t (*)(int, sighandler_t);
    static const auto real = next<Signal>("signal");
    return real(number, handler);
}

namespace {

extern "C" void hostInterrupt(int)
{ }

// The actions of the signals that end a process, and the thread's mask, as
// text: equal texts are equal states.
std::string signalState()
{
    std::string state;
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGUSR1}) {
        struct sigaction action { };
        ::sigaction(number, nullptr, &action);
        state += std::to_string(number) + ": handler "
            + std::to_string(reinterpret_cast<std::uintptr_t>(action.sa_handler)) + " flags "
            + std::to_string(action.sa_flags) + " mask";
        for (int member = 1; member < 32; ++member) {
            state += sigismember(&action.sa_mask, member) == 1 ? " " + std::to_string(member) : "";
        }
        state += "\n";
    }
    sigset_t mask;
    ::pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    state += "blocked";
    for (int member = 1; member < 65; ++member) {
        state += sigismember(&mask, member) == 1 ? " " + std::to_string(member) : "";
    }
    return state;
}

// The host: its own SIGINT handler, SIGTERM and SIGUSR1 blocked; restored at the end.
class HostSignals : public ::testing::Test {
protected:
    void SetUp() override
    {
        struct sigaction action { };
        action.sa_handler = hostInterrupt;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaddset(&action.sa_mask, SIGUSR2);
        ASSERT_EQ(0, ::sigaction(SIGINT, &action, &_interrupt));
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGTERM);
        sigaddset(&blocked, SIGUSR1);
        ASSERT_EQ(0, ::pthread_sigmask(SIG_BLOCK, &blocked, &_mask));
        std::filesystem::create_directories(_dir);
    }

    void TearDown() override
    {
        ::sigaction(SIGINT, &_interrupt, nullptr);
        ::pthread_sigmask(SIG_SETMASK, &_mask, nullptr);
        std::filesystem::remove_all(_dir);
    }

    // Runs `save` twice (a new file, then its replacement): no call sets a
    // signal action or the mask, the state is the host's after each, and
    // the folder holds the one file.
    void expectUntouched(const std::string& door, const std::function<void(const std::string&)>& save)
    {
        const std::string before = signalState();
        const std::string path = (_dir / (door + ".out")).string();
        for (int run = 0; run < 2; ++run) {
            signalCalls = 0;
            save(path);
            EXPECT_EQ(0, signalCalls.load()) << door << ", run " << run;
            EXPECT_EQ(before, signalState()) << door << ", run " << run;
        }
        struct sigaction interrupt { };
        ::sigaction(SIGINT, nullptr, &interrupt);
        EXPECT_EQ(reinterpret_cast<void*>(hostInterrupt), reinterpret_cast<void*>(interrupt.sa_handler)) << door;
        EXPECT_TRUE(std::filesystem::is_regular_file(path)) << door;
        std::filesystem::remove(path);
        EXPECT_TRUE(std::filesystem::is_empty(_dir)) << door;
    }

    std::filesystem::path _dir =
        std::filesystem::temp_directory_path() / ("hostsignals_test_" + std::to_string(::getpid()));

private:
    struct sigaction _interrupt { };
    sigset_t _mask{};
};

TEST_F(HostSignals, UnchangedBySaves)
{
    const std::string example = std::string(ANIMATIONMODEL_EXAMPLES) + "/data/show.animation.json";
    const Korva::AnimationDocument document = Korva::loadDocument(example);
    expectUntouched("json",
                    [&](const std::string& path) { Korva::saveAnimation(std::get<Korva::Animation>(document), path); });
    expectUntouched("binary", [&](const std::string& path) { Korva::saveClipFile(document, path); });

    am_clip* clip = nullptr;
    am_error error{};
    ASSERT_EQ(AM_OK, am_clip_load_file(example.c_str(), &clip, &error)) << error.message;
    expectUntouched("c_json", [&](const std::string& path) {
        EXPECT_EQ(AM_OK, am_clip_save_json(clip, path.c_str(), &error)) << error.message;
    });
    expectUntouched("c_binary", [&](const std::string& path) {
        EXPECT_EQ(AM_OK, am_clip_save_binary(clip, path.c_str(), &error)) << error.message;
    });
    am_clip_free(clip);
}

// While a save writes its new file (listed as pending, when it has a name),
// the host's state is its own.
TEST_F(HostSignals, UnchangedWhileSaving)
{
    std::string during;
    expectUntouched("stream", [&](const std::string& path) {
        Korva::saveStream(
            [&](const Korva::TextWriter& write) {
                during = signalState();
                write("text\n");
            },
            path, Korva::SaveWarning());
        EXPECT_EQ(signalState(), during);
    });
}

} // namespace
