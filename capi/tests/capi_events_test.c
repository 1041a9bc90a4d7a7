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
    am_span span = {{1, 1, 0.0}, {1, 0, 0.0}, 2, 0};
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
    span.to.phase = 2;
    span.to.whole = 0;
    span.wraps = 0;
    CHECK(am_clip_key_events(clip, &span, &only_b, 1, out, 8, &total) == AM_OK && total == 1);
    CHECK(out[0].channel == 1 && out[0].frame == 5 && out[0].phase == 2 && out[0].effect == 0);
    /* Refusals leave the count alone. */
    total = 77;
    CHECK(am_clip_key_events(clip, &span, &bad, 1, out, 8, &total) == AM_INVALID_ARGUMENT && total == 77);
    span.to.fraction = 1.0;
    CHECK(am_clip_key_events(clip, &span, NULL, 0, out, 8, &total) == AM_INVALID_ARGUMENT && total == 77);
    span.to.fraction = 0.0;
    span.from.phase = 3;
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
        const am_span span = {am_position_at(0, tick * 0.5), am_position_at(0, tick * 0.5 + 0.5), 0, tick == 0};
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

/* A playback's tick as an exact span: a position a hair before a key's frame
 * (whole 2, fraction 1 - 2^-53, which is 3.0 once added up in a double) has not
 * passed the key yet, the next tick has. A cursor's move takes am_position_at. */
static void exact(const am_clip* clip)
{
    /* body of 5 frames at 1 frame per second: "a" keys at 0 (effect 1) and 3 (effect 2). */
    const double ticks[3] = {2.0, 1.0 - 0x1p-53, 0.5};
    const size_t totals[3] = {1, 0, 1};
    am_playback* playback = NULL;
    am_key_event out[4];
    am_span span;
    size_t total = 0;
    int tick;
    CHECK(am_playback_create(clip, &playback, NULL) == AM_OK);
    for (tick = 0; tick < 3 && playback != NULL; ++tick) {
        am_playback_position(playback, &span.from);
        am_playback_advance(playback, ticks[tick], &span.wraps);
        am_playback_position(playback, &span.to);
        span.include_from = tick == 0;
        CHECK(am_clip_key_events(clip, &span, NULL, 0, out, 4, &total) == AM_OK && total == totals[tick]);
    }
    CHECK(span.from.phase == 1 && span.from.whole == 2 && span.from.fraction == 1.0 - 0x1p-53);
    CHECK(out[0].frame == 3 && out[0].key == 1 && out[0].effect == 2);
    CHECK(am_position_at(1, 2.0 + span.from.fraction).whole == 3);
    am_playback_position(NULL, &span.from);
    CHECK(span.from.whole == 2);
    am_playback_free(playback);
    span.from = am_position_at(0, 2.5);
    span.to = am_position_at(0, 3.0);
    span.wraps = 0;
    span.include_from = 0;
    CHECK(span.from.whole == 2 && span.from.fraction == 0.5 && span.to.whole == 3 && span.to.fraction == 0.0);
    CHECK(am_clip_key_events(clip, &span, NULL, 0, out, 4, &total) == AM_OK && total == 1 && out[0].frame == 3);
    span.from = am_position_at(0, 3.0);
    span.to = am_position_at(0, 4.75);
    CHECK(am_clip_key_events(clip, &span, NULL, 0, out, 4, &total) == AM_OK && total == 0);
    span.from = am_position_at(7, -1.0);
    CHECK(span.from.phase == 7 && span.from.whole == 0 && span.from.fraction == 0.0);
}

/* Every NULL that a call names is refused with the message of its argument, and changes nothing. */
static void nulls(const am_clip* clip)
{
    am_error error;
    am_event_tracker* tracker = NULL;
    am_channel_map* map = NULL;
    size_t total = 7;
    const uint32_t* from = NULL;
    am_span span;
    memset(&span, 0, sizeof span);
    CHECK(am_clip_key_events(NULL, &span, NULL, 0, NULL, 0, &total) == AM_INVALID_ARGUMENT && total == 7);
    CHECK(am_event_tracker_collect(NULL, &span, NULL, 0, NULL, 0, &total) == AM_INVALID_ARGUMENT && total == 7);
    CHECK(am_event_tracker_create(NULL, &tracker, &error) == AM_INVALID_ARGUMENT && tracker == NULL);
    CHECK(strcmp(error.message, "clip is NULL") == 0);
    CHECK(am_event_tracker_create(clip, NULL, &error) == AM_INVALID_ARGUMENT);
    CHECK(strcmp(error.message, "tracker is NULL") == 0);
    CHECK(am_channel_map_create(NULL, clip, &map, &error) == AM_INVALID_ARGUMENT && map == NULL);
    CHECK(strcmp(error.message, "first is NULL") == 0);
    CHECK(am_channel_map_create(clip, NULL, &map, &error) == AM_INVALID_ARGUMENT && map == NULL);
    CHECK(strcmp(error.message, "second is NULL") == 0);
    CHECK(am_channel_map_create(clip, clip, NULL, &error) == AM_INVALID_ARGUMENT);
    CHECK(strcmp(error.message, "map is NULL") == 0);
    CHECK(am_channel_map_pairs(NULL, &from, NULL) == 0 && from == NULL);
    CHECK(am_channel_map_missing(NULL, 0, &from) == 0 && from == NULL);
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
        nulls(first);
    }
    am_clip* paced = load("{\"format\": \"animationmodel\", \"version\": 1, \"fps\": 1, \"body\": {\"a\": ["
                          "{\"effect\": \"Held1\", \"duration\": 3}, {\"effect\": \"Held2\", \"duration\": 2}]}}");
    if (paced != NULL) {
        exact(paced);
    }
    am_clip_free(paced);
    am_clip_free(first);
    am_clip_free(second);
    if (failures != 0) {
        fprintf(stderr, "%d checks failed\n", failures);
        return 1;
    }
    printf("all checks passed\n");
    return 0;
}
