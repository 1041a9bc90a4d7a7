// A C++ program built with the old string ABI (-D_GLIBCXX_USE_CXX11_ABI=0):
// it cannot link the C++ interface, but calls the C interface of the
// installed library, passing and receiving only C types.
#include <animationmodel/animationmodel.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#if _GLIBCXX_USE_CXX11_ABI != 0
#error "this consumer must be built with -D_GLIBCXX_USE_CXX11_ABI=0"
#endif

int main()
{
    const std::string text = R"({"format": "animationmodel", "version": 1, "fps": 10,
        "body": {"fade": [{"effect": "Linear", "args": [0, 10], "duration": 4}], "pose": []}})";
    am_clip* clip = nullptr;
    am_error error;
    if (am_clip_load_json(text.data(), text.size(), &clip, &error) != AM_OK) {
        std::printf("refused: %s\n", error.message);
        return 1;
    }
    std::vector<std::string> names;
    for (std::uint32_t c = 0; c < am_clip_channel_count(clip); ++c) {
        std::size_t length = 0;
        const char* name = am_clip_channel_name(clip, c, &length);
        names.emplace_back(name, length);
    }
    am_cursor* cursor = nullptr;
    std::vector<float> values(names.size());
    std::vector<std::uint8_t> keyed(names.size());
    bool ok = am_cursor_create(clip, &cursor, &error) == AM_OK;
    am_cursor_sample_seconds(cursor, 0.1, values.size(), values.data(), nullptr, keyed.data());
    ok = ok && names == std::vector<std::string>{"fade", "pose"} && values[0] == 2.5f && keyed[0] == 1
        && std::isnan(values[1]) && keyed[1] == 0;
    const std::string bad = "{}";
    ok = ok && am_clip_load_json(bad.data(), bad.size(), &clip, &error) == AM_FORMAT_ERROR
        && std::string(error.message).find("format") != std::string::npos;
    am_cursor_free(cursor);
    am_clip_free(clip);
    std::printf("%s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
