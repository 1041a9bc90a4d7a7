/* Key events, channel maps and blends through the C interface. */
#include <animationmodel/animationmodel.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

#define CHECK(condition)                                                                                               \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition);                                    \
            ++failures;                                                                                                \
        }                                                                                                              \
    } while (0)

static am_clip* load(const char* text)
{
    am_clip* clip = NULL;
    if (am_clip_load_json(text, strlen(text), &clip, NULL) != AM_OK) {
        fprintf(stderr, "cannot load %s\n", text);
        ++failures;
    }
    return clip;
}

static void events(const am_clip* clip)
{
    /* body: "a" keys at 0 (effect 1) and 2 (effect 2), 5 frames; outro: "a" at 5 (effect 7), "b" at 5 (effect 0). */
    am_span span = {1, 1.0, 1, 0.0, 2, 0};
    am_key_event out[8];
    size_t total = 0;
    uint32_t only_b = 1;
    uint32_t bad = 2;
    CHECK(am_clip_key_events(clip, &span, NULL, 0, out, 8, &total) == AM_OK);
    CHECK(total == 4);
    CHECK(out[0].frame == 2 && out[0].loop == 0 && out[0].key == 1 && out[0].effect == 2 && out[0].phase == 1);
    CHECK(out[1].frame == 0 && out[1].loop == 1 && out[1].key == 0 && out[1].effect == 1);
    CHECK(out[3].frame == 0 && out[3].loop == 2 && out[3].channel == 0);
    /* A full buffer says how many there were. */
    out[1].frame = 99;
    CHECK(am_clip_key_events(clip, &span, NULL, 0, out, 1, &total) == AM_OK && total == 4 && out[1].frame == 99);
    /* Into the outro, for channel b alone; a key at the new position belongs to this move. */
    span.to_phase = 2;
    span.to_frame = 0.0;
    span.wraps = 0;
    CHECK(am_clip_key_events(clip, &span, &only_b, 1, out, 8, &total) == AM_OK && total == 1);
    CHECK(out[0].channel == 1 && out[0].frame == 5 && out[0].phase == 2 && out[0].effect == 0);
    /* Refusals leave the count alone. */
    total = 77;
    CHECK(am_clip_key_events(clip, &span, &bad, 1, out, 8, &total) == AM_INVALID_ARGUMENT && total == 77);
    span.from_phase = 3;
    CHECK(am_clip_key_events(clip, &span, NULL, 0, out, 8, &total) == AM_INVALID_ARGUMENT && total == 77);
    CHECK(am_clip_key_events(clip, &span, NULL, 0, NULL, 1, &total) == AM_INVALID_ARGUMENT);
}

/* A tracker gives what am_clip_key_events gives, tick after tick of a cursor playing on. */
static void tracked(const am_clip* clip)
{
    am_event_tracker* tracker = NULL;
    am_key_event out[8];
    am_key_event expected[8];
    size_t total = 0;
    size_t expected_total = 0;
    int tick;
    CHECK(am_event_tracker_create(clip, &tracker, NULL) == AM_OK);
    for (tick = 0; tick < 14; ++tick) {
        const am_span span = {0, tick * 0.5, 0, tick * 0.5 + 0.5, 0, tick == 0};
        CHECK(am_event_tracker_collect(tracker, &span, NULL, 0, out, 8, &total) == AM_OK);
        CHECK(am_clip_key_events(clip, &span, NULL, 0, expected, 8, &expected_total) == AM_OK);
        CHECK(total == expected_total);
        for (size_t i = 0; i < total && i < 8; ++i) {
            CHECK(out[i].frame == expected[i].frame && out[i].key == expected[i].key && out[i].loop == expected[i].loop
                  && out[i].channel == expected[i].channel && out[i].effect == expected[i].effect
                  && out[i].phase == expected[i].phase);
        }
    }
    CHECK(am_event_tracker_collect(NULL, NULL, NULL, 0, out, 8, &total) == AM_INVALID_ARGUMENT);
    am_event_tracker_free(tracker);
}

static void crossfade(const am_clip* first, const am_clip* second)
{
    am_channel_map* map = NULL;
    const uint32_t* from = NULL;
    const uint32_t* to = NULL;
    const uint32_t* missing = NULL;
    CHECK(am_channel_map_create(first, second, &map, NULL) == AM_OK);
    CHECK(am_channel_map_pairs(map, &from, &to) == 1 && from[0] == 1 && to[0] == 0);
    CHECK(am_channel_map_missing(map, 0, &missing) == 1 && missing[0] == 0);
    CHECK(am_channel_map_missing(map, 1, &missing) == 1 && missing[0] == 1);
    CHECK(am_channel_map_missing(map, 2, &missing) == 0);
    am_channel_map_free(map);
    {
        const float a[3] = {1.0f, NAN, 4.0f};
        const float b[3] = {3.0f, 5.0f, NAN};
        const int32_t a_effects[3] = {1, 2, 3};
        const int32_t b_effects[3] = {7, 8, 9};
        const uint8_t a_keyed[3] = {1, 0, 1};
        const uint8_t b_keyed[3] = {0, 1, 0};
        float values[3] = {0};
        int32_t effects[3] = {0};
        uint8_t keyed[3] = {0};
        CHECK(am_blend_samples(a, a_effects, a_keyed, b, b_effects, b_keyed, 0.5f, 3, values, effects, keyed) == AM_OK);
        CHECK(values[0] == 2.0f && values[1] == 5.0f && values[2] == 4.0f && effects[0] == 1 && keyed[1] == 0);
        CHECK(am_blend_samples(a, a_effects, a_keyed, b, b_effects, b_keyed, 0.75f, 3, values, effects, keyed)
              == AM_OK);
        CHECK(values[0] == 2.5f && effects[2] == 9 && keyed[1] == 1);
        CHECK(am_blend_samples(a, NULL, NULL, b, NULL, NULL, 1.5f, 3, values, NULL, NULL) == AM_INVALID_ARGUMENT);
        CHECK(am_blend_samples(a, NULL, NULL, b, NULL, NULL, 0.75f, 3, values, effects, NULL) == AM_INVALID_ARGUMENT);
        CHECK(values[0] == 2.5f);
    }
}

int main(void)
{
    am_clip* first = load("{\"format\": \"animationmodel\", \"version\": 1, \"fps\": 25, \"body\": {\"a\": ["
                          "{\"effect\": \"Held1\", \"duration\": 2}, {\"effect\": \"Held2\", \"duration\": 3}]},"
                          " \"outro\": {\"a\": [{\"effect\": 7, \"duration\": 1}],"
                          " \"b\": [{\"effect\": \"Linear\", \"args\": [0, 1], \"duration\": 1}]}}");
    am_clip* second =
        load("{\"format\": \"animationmodel\", \"version\": 1, \"fps\": 25, \"body\": {\"b\": ["
             "{\"effect\": \"Held1\", \"duration\": 2}], \"c\": [{\"effect\": \"Held1\", \"duration\": 1}]}}");
    if (first != NULL && second != NULL) {
        events(first);
        tracked(first);
        crossfade(first, second);
    }
    am_clip_free(first);
    am_clip_free(second);
    if (failures != 0) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    printf("all checks passed\n");
    return 0;
}
