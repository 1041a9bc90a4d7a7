/* The C interface driven from C99: every function, its error paths and null
 * arguments; samples checked against the rows of `animationmodel sample`.
 * Usage: capi_test ANIMATION.json TIMELINE.json SAMPLE.csv WORK_DIR
 * Each group of checks runs in a child process: a failed check is reported
 * and the others go on, a crash fails its own group only, and the program
 * ends with the count of failed checks (exit status 1 if any). With
 * CAPI_TEST_SELF_CHECK set in the environment it first runs a group with a
 * failed check and a group that crashes, to show that the rest still runs. */
#define _POSIX_C_SOURCE 200809L /* mkfifo, fork, alarm: a pipe whose writer stays open */
#include <animationmodel/animationmodel.h>

#include <fcntl.h>
#include <math.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static int failures = 0;

#define CHECK(condition)                                                                                               \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition);                                    \
            ++failures;                                                                                                \
        }                                                                                                              \
    } while (0)

static char work[4096];

static const char* inWork(const char* name)
{
    static char path[8192];
    snprintf(path, sizeof path, "%s/%s", work, name);
    return path;
}

/* The whole content of a file, in memory from malloc (aligned for any type). */
static char* readAll(const char* path, size_t* size)
{
    FILE* file = fopen(path, "rb");
    char* bytes;
    long length;
    if (file == NULL) {
        return NULL;
    }
    fseek(file, 0, SEEK_END);
    length = ftell(file);
    fseek(file, 0, SEEK_SET);
    bytes = malloc((size_t)length + 16);
    *size = fread(bytes, 1, (size_t)length, file);
    fclose(file);
    return bytes;
}

static int sameFile(const char* a, const char* b)
{
    size_t sizeA = 0, sizeB = 0;
    char* bytesA = readAll(a, &sizeA);
    char* bytesB = readAll(b, &sizeB);
    const int same = bytesA != NULL && bytesB != NULL && sizeA == sizeB && memcmp(bytesA, bytesB, sizeA) == 0;
    free(bytesA);
    free(bytesB);
    return same;
}

static int sameBits(float a, float b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

static int effectOf(const char* text)
{
    if (strcmp(text, "Linear") == 0) {
        return 0;
    }
    if (strncmp(text, "Held", 4) == 0) {
        return atoi(text + 4);
    }
    return atoi(text);
}

/* Every whole frame against the tool's rows "frame,phase,layer,key,offset,effect,value". */
static void checkAgainstSampleRows(const am_clip* clip, const char* csv)
{
    enum { channels = 5, frames = 96 };
    int rowKeyed[frames][channels] = {{0}};
    int rowEffect[frames][channels] = {{0}};
    float rowValue[frames][channels] = {{0}};
    char line[512];
    float values[channels];
    int32_t effects[channels];
    uint8_t keyed[channels];
    am_cursor* cursor = NULL;
    int frame, c, rows = 0;
    FILE* file = fopen(csv, "r");
    CHECK(file != NULL);
    if (file == NULL || fgets(line, sizeof line, file) == NULL) {
        return;
    }
    while (fgets(line, sizeof line, file) != NULL) {
        char* fields[7];
        uint32_t channel = 0;
        int n = 0;
        char* rest = line;
        line[strcspn(line, "\n")] = '\0';
        for (n = 0; n < 7; ++n) {
            fields[n] = rest;
            rest += strcspn(rest, ",");
            if (*rest == ',') {
                *rest++ = '\0';
            }
        }
        frame = atoi(fields[0]);
        CHECK(am_clip_find_channel(clip, fields[2], strlen(fields[2]), &channel) == AM_OK);
        CHECK(frame >= 0 && frame < frames && channel < channels);
        if (frame < 0 || frame >= frames || channel >= channels) {
            continue;
        }
        rowKeyed[frame][channel] = 1;
        rowEffect[frame][channel] = effectOf(fields[5]);
        rowValue[frame][channel] = fields[6][0] == '\0' ? 0.0f : strtof(fields[6], NULL);
        ++rows;
    }
    fclose(file);
    CHECK(rows > 300);
    CHECK(am_cursor_create(clip, &cursor, NULL) == AM_OK);
    for (frame = 0; frame < frames; ++frame) {
        am_cursor_sample_frame(cursor, frame, channels, values, effects, keyed);
        for (c = 0; c < channels; ++c) {
            CHECK(keyed[c] == rowKeyed[frame][c]);
            CHECK(effects[c] == rowEffect[frame][c]);
            if (rowKeyed[frame][c] && rowEffect[frame][c] == 0) {
                CHECK(sameBits(values[c], rowValue[frame][c]));
            }
        }
    }
    /* Past the end: no key anywhere, values held. */
    am_cursor_sample_frame(cursor, 1e9, channels, values, effects, keyed);
    for (c = 0; c < channels; ++c) {
        CHECK(keyed[c] == 0 && effects[c] == 0);
    }
    am_cursor_free(cursor);
}

static void checkClipQueries(const am_clip* clip)
{
    static const char* const names[] = {"glow", "opacity", "pose", "position x", "scale"};
    uint32_t c, found = 77;
    size_t length = 99;
    CHECK(am_clip_channel_count(clip) == 5);
    for (c = 0; c < 5; ++c) {
        const char* name = am_clip_channel_name(clip, c, &length);
        CHECK(name != NULL && length == strlen(names[c]) && memcmp(name, names[c], length) == 0);
        CHECK(am_clip_find_channel(clip, names[c], strlen(names[c]), &found) == AM_OK && found == c);
    }
    CHECK(am_clip_channel_name(clip, 5, &length) == NULL && length == 0);
    CHECK(am_clip_channel_name(clip, 0, NULL) != NULL);
    found = 77;
    CHECK(am_clip_find_channel(clip, "glowing", 7, &found) == AM_NOT_FOUND && found == 77);
    CHECK(am_clip_find_channel(clip, "glowing", 4, &found) == AM_OK && found == 0); /* the length counts */
    CHECK(am_clip_find_channel(clip, NULL, 0, &found) == AM_NOT_FOUND);
    CHECK(am_clip_find_channel(clip, NULL, 3, &found) == AM_INVALID_ARGUMENT);
    CHECK(am_clip_find_channel(clip, "glow", 4, NULL) == AM_INVALID_ARGUMENT);
    CHECK(am_clip_find_channel(NULL, "glow", 4, &found) == AM_INVALID_ARGUMENT);
    CHECK(am_clip_fps(clip) == 25.0f);
    CHECK(am_clip_frame_count(clip) == 96);
    CHECK(am_clip_phase_start(clip, 0) == 0 && am_clip_phase_start(clip, 1) == 24
          && am_clip_phase_start(clip, 2) == 72);
    CHECK(am_clip_phase_frame_count(clip, 0) == 24 && am_clip_phase_frame_count(clip, 1) == 48
          && am_clip_phase_frame_count(clip, 2) == 24);
    CHECK(am_clip_phase_start(clip, 3) == 0 && am_clip_phase_frame_count(clip, -1) == 0);
    CHECK(am_clip_channel_count(NULL) == 0 && am_clip_frame_count(NULL) == 0 && isnan(am_clip_fps(NULL)));
    CHECK(am_clip_phase_start(NULL, 1) == 0 && am_clip_phase_frame_count(NULL, 1) == 0);
    CHECK(am_clip_channel_name(NULL, 0, NULL) == NULL);
}

static void checkSampling(const am_clip* clip)
{
    float values[8], all[5];
    int32_t effects[8], allEffects[5];
    uint8_t keyed[8], allKeyed[5];
    const uint32_t channels[4] = {4, 5, 0, 4}; /* 5: one past the last channel */
    am_cursor* cursor = (am_cursor*)&values;   /* must stay as it is on a refusal */
    int i;
    CHECK(am_cursor_create(NULL, &cursor, NULL) == AM_INVALID_ARGUMENT && cursor == (am_cursor*)&values);
    CHECK(am_cursor_create(clip, NULL, NULL) == AM_INVALID_ARGUMENT);
    CHECK(am_cursor_create(clip, &cursor, NULL) == AM_OK);
    am_cursor_sample_frame(cursor, 30.5, 5, all, allEffects, allKeyed);
    /* A list of channels, one out of range. */
    am_cursor_sample_channels(cursor, 30.5, channels, 4, values, effects, keyed);
    CHECK(sameBits(values[0], all[4]) && effects[0] == allEffects[4] && keyed[0] == allKeyed[4]);
    CHECK(isnan(values[1]) && effects[1] == 0 && keyed[1] == 0);
    CHECK(sameBits(values[2], all[0]) && sameBits(values[3], all[4]));
    /* Fewer entries than channels, and more: the rest is left untouched. */
    for (i = 0; i < 8; ++i) {
        values[i] = -7.0f;
        effects[i] = -7;
        keyed[i] = 7;
    }
    am_cursor_sample_frame(cursor, 30.5, 2, values, effects, keyed);
    CHECK(sameBits(values[1], all[1]) && values[2] == -7.0f && effects[2] == -7 && keyed[2] == 7);
    am_cursor_sample_frame(cursor, 30.5, 8, values, NULL, NULL);
    CHECK(sameBits(values[4], all[4]) && values[5] == -7.0f && effects[2] == -7);
    /* Seconds: frame = seconds * fps. */
    am_cursor_sample_frame(cursor, 50.0, 5, all, allEffects, allKeyed);
    am_cursor_sample_seconds(cursor, 2.0, 5, values, effects, keyed);
    for (i = 0; i < 5; ++i) {
        CHECK(sameBits(values[i], all[i]) && effects[i] == allEffects[i] && keyed[i] == allKeyed[i]);
    }
    /* Below 0 and NaN are frame 0. */
    am_cursor_sample_frame(cursor, 0.0, 5, all, allEffects, allKeyed);
    am_cursor_sample_frame(cursor, -5.0, 5, values, effects, keyed);
    CHECK(memcmp(values, all, sizeof all) == 0 && memcmp(keyed, allKeyed, sizeof allKeyed) == 0);
    am_cursor_sample_frame(cursor, nan(""), 5, values, effects, keyed);
    CHECK(memcmp(values, all, sizeof all) == 0 && memcmp(effects, allEffects, sizeof allEffects) == 0);
    /* Null arguments write nothing and do not crash. */
    values[0] = -7.0f;
    am_cursor_sample_frame(NULL, 1.0, 5, values, NULL, NULL);
    am_cursor_sample_frame(cursor, 1.0, 5, NULL, effects, keyed);
    am_cursor_sample_seconds(NULL, 1.0, 5, values, NULL, NULL);
    am_cursor_sample_channels(cursor, 1.0, NULL, 4, values, NULL, NULL);
    am_cursor_sample_channels(NULL, 1.0, channels, 4, values, NULL, NULL);
    CHECK(values[0] == -7.0f);
    am_cursor_free(cursor);
    am_cursor_free(NULL);
}

static void checkPlayback(const am_clip* clip)
{
    am_playback* playback = (am_playback*)&failures; /* must stay as it is on a refusal */
    am_cursor* cursor = NULL;
    am_error error;
    uint64_t wraps = 7;
    double fraction = -1.0;
    float values[5], direct[5];
    int flags;
    CHECK(am_playback_create(NULL, &playback, &error) == AM_INVALID_ARGUMENT && playback == (am_playback*)&failures);
    CHECK(strcmp(error.message, "clip is NULL") == 0);
    CHECK(am_playback_create(clip, NULL, &error) == AM_INVALID_ARGUMENT
          && strcmp(error.message, "playback is NULL") == 0);
    CHECK(am_playback_create(clip, &playback, &error) == AM_OK && error.status == AM_OK);
    CHECK(am_cursor_create(clip, &cursor, NULL) == AM_OK);
    CHECK(am_playback_frame(playback) == 0.0 && am_playback_speed(playback) == 1.0 && am_playback_loop(playback) == 1);
    CHECK(am_playback_finish(playback) == 0 && am_playback_phase(playback) == AM_PHASE_INTRO);
    flags = am_playback_advance(playback, 1.0, &wraps); /* 25 frames: into the body */
    CHECK(flags == AM_CROSSED_PHASE && wraps == 0 && am_playback_frame(playback) == 25.0);
    CHECK(am_playback_phase(playback) == AM_PHASE_BODY && am_playback_phase_frame(playback, &fraction) == 1);
    CHECK(fraction == 0.0);
    flags = am_playback_advance(playback, 2.0, &wraps); /* 50 more: the body of 48 wraps */
    CHECK(flags == AM_WRAPPED && wraps == 1 && am_playback_frame(playback) == 27.0);
    CHECK(am_playback_set_speed(playback, -1.0) == AM_INVALID_ARGUMENT && am_playback_speed(playback) == 1.0);
    CHECK(am_playback_set_speed(playback, 0.0) == AM_OK && am_playback_advance(playback, 1.0, NULL) == 0);
    CHECK(am_playback_set_speed(playback, 0.5) == AM_OK && am_playback_advance(playback, 0.1, NULL) == 0);
    CHECK(am_playback_phase_frame(playback, &fraction) == 4 && fraction == 0.25);
    am_cursor_sample_playback(cursor, playback, 5, values, NULL, NULL);
    am_cursor_sample_frame(cursor, 28.25, 5, direct, NULL, NULL);
    CHECK(memcmp(values, direct, sizeof values) == 0);
    CHECK(am_playback_advance(playback, -1.0, NULL) == 0 && am_playback_advance(playback, nan(""), NULL) == 0);
    CHECK(am_playback_frame(playback) == 28.25);
    CHECK(am_playback_set_speed(playback, 1.0) == AM_OK);
    am_playback_set_finish(playback, 1);
    CHECK(am_playback_finish(playback) == 1);
    flags = am_playback_advance(playback, 1.99, NULL); /* to the body's end, 5 frames into the outro */
    CHECK(flags == AM_CROSSED_PHASE && am_playback_frame(playback) == 78.0 && am_playback_phase(playback) == 2);
    flags = am_playback_advance(playback, 10.0, NULL);
    CHECK(flags == AM_FINISHED && am_playback_frame(playback) == 96.0 && am_playback_ended(playback) == 1);
    CHECK(am_playback_phase(playback) == AM_PHASE_OUTRO && am_playback_phase_frame(playback, NULL) == 24);
    CHECK(am_playback_advance(playback, 1.0, NULL) == AM_FINISHED && am_playback_frame(playback) == 96.0);
    /* A finite move whose frames overflow a double wraps as often as a count holds. */
    am_playback_restart(playback);
    am_playback_set_finish(playback, 0);
    CHECK(am_playback_frame(playback) == 0.0 && am_playback_ended(playback) == 0);
    CHECK(am_playback_advance(playback, 1e308, &wraps) == (AM_CROSSED_PHASE | AM_WRAPPED) && wraps == UINT64_MAX);
    CHECK(am_playback_phase(playback) == AM_PHASE_BODY);
    am_playback_set_loop(playback, 0);
    CHECK(am_playback_loop(playback) == 0);
    CHECK(am_playback_advance(playback, 1e308, NULL) == (AM_CROSSED_PHASE | AM_FINISHED));
    /* NULL arguments. */
    CHECK(am_playback_advance(NULL, 1.0, &wraps) == 0 && am_playback_phase(NULL) == -1 && am_playback_ended(NULL) == 0);
    CHECK(am_playback_phase_frame(NULL, &fraction) == 0 && fraction == 0.0 && isnan(am_playback_frame(NULL)));
    CHECK(isnan(am_playback_speed(NULL)) && am_playback_set_speed(NULL, 1.0) == AM_INVALID_ARGUMENT);
    CHECK(am_playback_loop(NULL) == 0 && am_playback_finish(NULL) == 0);
    am_playback_set_loop(NULL, 1);
    am_playback_set_finish(NULL, 1);
    am_playback_restart(NULL);
    values[0] = -7.0f;
    am_cursor_sample_playback(cursor, NULL, 5, values, NULL, NULL);
    am_cursor_sample_playback(NULL, playback, 5, values, NULL, NULL);
    CHECK(values[0] == -7.0f);
    am_cursor_free(cursor);
    am_playback_free(playback);
    am_playback_free(NULL);
}

static void checkLoadErrors(void)
{
    static const char bad[] = "{\"format\": \"animationmodel\", \"version\": 1,\n \"fps\": 0}";
    am_clip* clip = (am_clip*)&failures; /* must stay as it is on a refusal */
    am_error error;
    char text[1024];
    char path[8300];
    size_t length, i;
    CHECK(am_clip_load_json(bad, strlen(bad), &clip, &error) == AM_FORMAT_ERROR && clip == (am_clip*)&failures);
    CHECK(error.status == AM_FORMAT_ERROR && error.line == 2 && error.column == 9);
    CHECK(strcmp(error.pointer, "/fps") == 0);
    CHECK(strcmp(error.message, "FPS should be strictly higher than 0 but given argument (0) is not.") == 0);
    CHECK(am_clip_load_json(bad, strlen(bad), &clip, NULL) == AM_FORMAT_ERROR);
    CHECK(am_clip_load_json("", 0, &clip, &error) == AM_FORMAT_ERROR && error.line == 1 && error.column == 1);
    CHECK(strcmp(error.message, "The document is empty.") == 0 && error.pointer[0] == '\0');
    CHECK(am_clip_load_json(NULL, 0, &clip, &error) == AM_INVALID_ARGUMENT
          && strcmp(error.message, "text is NULL") == 0);
    CHECK(am_clip_load_json(bad, 3, NULL, &error) == AM_INVALID_ARGUMENT && strcmp(error.message, "clip is NULL") == 0);
    CHECK(error.line == 0 && error.column == 0);
    CHECK(am_clip_load_file(NULL, &clip, &error) == AM_INVALID_ARGUMENT);
    CHECK(am_clip_load_file(inWork("missing.json"), &clip, &error) == AM_IO_ERROR);
    snprintf(path, sizeof path, "%s: No such file or directory", inWork("missing.json"));
    CHECK(strcmp(error.message, path) == 0 && clip == (am_clip*)&failures);
    /* A path that is not UTF-8 is named in a message that is: U+FFFD for each stray byte. */
    CHECK(am_clip_load_file(inWork("missing\xFF\xC3.json"), &clip, &error) == AM_IO_ERROR);
    snprintf(path, sizeof path, "%s: No such file or directory", inWork("missing\xEF\xBF\xBD\xEF\xBF\xBD.json"));
    CHECK(strcmp(error.message, path) == 0 && clip == (am_clip*)&failures);
    /* A device is read only as far as a document can go: /dev/zero is refused at once. */
    CHECK(am_clip_load_file("/dev/zero", &clip, &error) == AM_FORMAT_ERROR && clip == (am_clip*)&failures);
    CHECK(strcmp(error.message, "The document is empty.") == 0 && error.line == 1 && error.column == 1);
    CHECK(am_clip_load_binary(NULL, 8, &clip, &error) == AM_INVALID_ARGUMENT);
    CHECK(am_clip_view_binary(bad, 8, NULL, &error) == AM_INVALID_ARGUMENT);
    /* A pointer longer than its field: cut before a whole character, "..." after. */
    strcpy(text, "{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"x");
    for (i = 0; i < 200; ++i) {
        strcat(text, "\xC3\xA9");
    }
    strcat(text, "\": [{\"effect\": \"Held1\", \"duration\": 0}]}}");
    CHECK(am_clip_load_json(text, strlen(text), &clip, &error) == AM_FORMAT_ERROR);
    length = strlen(error.pointer);
    CHECK(length == 254 && strcmp(error.pointer + 251, "...") == 0
          && strncmp(error.pointer, "/body/x\xC3\xA9", 9) == 0);
    CHECK((unsigned char)error.pointer[250] == 0xA9);
    CHECK(strcmp(error.message, "Duration of AnimationKeyCommand must be > 0") == 0);
    /* "/body/NAME/0/duration" of 255 bytes fits whole; of 256 it is cut (ASCII: at 252, then "..."). */
    for (i = 238; i <= 239; ++i) {
        strcpy(text, "{\"format\": \"animationmodel\", \"version\": 1, \"body\": {\"");
        length = strlen(text);
        memset(text + length, 'n', i);
        text[length + i] = '\0';
        strcat(text, "\": [{\"effect\": \"Held1\", \"duration\": 0}]}}");
        CHECK(am_clip_load_json(text, strlen(text), &clip, &error) == AM_FORMAT_ERROR);
        CHECK(strlen(error.pointer) == 255);
        CHECK(strcmp(error.pointer + 252, i == 238 ? "ion" : "...") == 0);
    }
}

static void checkFiles(const char* animationJson, const char* timelineJson)
{
    am_clip *clip = NULL, *back = NULL, *viewed = NULL;
    am_error error;
    size_t size = 0;
    char* bytes;
    char* shifted;
    char expected[256];
    /* Animation: JSON -> binary -> JSON, byte for byte. */
    CHECK(am_clip_load_file(animationJson, &clip, &error) == AM_OK && error.status == AM_OK
          && error.message[0] == '\0');
    CHECK(am_clip_save_binary(clip, inWork("show.clip"), &error) == AM_OK);
    CHECK(am_clip_load_file(inWork("show.clip"), &back, &error) == AM_OK);
    CHECK(am_clip_save_json(back, inWork("show.json"), NULL) == AM_OK && sameFile(inWork("show.json"), animationJson));
    checkClipQueries(back);
    am_clip_free(back);
    /* In place, copied, misaligned, cut. */
    bytes = readAll(inWork("show.clip"), &size);
    CHECK(am_clip_view_binary(bytes, size, &viewed, &error) == AM_OK);
    back = NULL;
    CHECK(am_clip_load_json(bytes, size, &back, &error) == AM_FORMAT_ERROR && back == NULL);
    CHECK(strcmp(error.message, "a binary clip file, not a JSON text (am_clip_load_binary reads it)") == 0
          && error.line == 1 && error.column == 1 && error.pointer[0] == '\0');
    checkClipQueries(viewed);
    CHECK(am_clip_channel_name(viewed, 0, NULL) >= bytes && am_clip_channel_name(viewed, 0, NULL) < bytes + size);
    shifted = malloc(size + 8);
    memcpy(shifted + 4, bytes, size);
    CHECK(am_clip_view_binary(shifted + 4, size, &back, &error) == AM_INVALID_ARGUMENT);
    CHECK(strcmp(error.message, "the data does not start at a multiple of 8 bytes in memory") == 0);
    CHECK(am_clip_load_binary(shifted + 4, size, &back, &error) == AM_OK);
    memset(shifted, 0, size + 8); /* the copy does not read the caller's data again */
    checkClipQueries(back);
    am_clip_free(back);
    free(shifted);
    CHECK(am_clip_load_binary(bytes, size - 8, &back, &error) == AM_FORMAT_ERROR);
    snprintf(expected, sizeof expected,
             "byte 24: the file says it holds %lu bytes but it holds %lu (truncated or extended)", (unsigned long)size,
             (unsigned long)(size - 8));
    CHECK(strcmp(error.message, expected) == 0 && error.line == 0 && error.pointer[0] == '\0');
    /* A size far beyond the file's is refused from its header, before any room is made for a copy. */
    back = NULL;
    CHECK(am_clip_load_binary(bytes, (size_t)-1, &back, &error) == AM_FORMAT_ERROR && back == NULL);
    snprintf(expected, sizeof expected,
             "byte 24: the file says it holds %lu bytes but it holds %lu (truncated or extended)", (unsigned long)size,
             (unsigned long)(size_t)-1);
    CHECK(strcmp(error.message, expected) == 0);
    CHECK(am_clip_load_binary(bytes, (size_t)1 << 40, &back, &error) == AM_FORMAT_ERROR && back == NULL);
    am_clip_free(viewed);
    /* A damaged file: the message of C++'s tryLoadClip and Python's load_clip. */
    bytes[size - 1] ^= 1;
    {
        FILE* damaged = fopen(inWork("damaged.clip"), "wb");
        CHECK(damaged != NULL && fwrite(bytes, 1, size, damaged) == size && fclose(damaged) == 0);
    }
    CHECK(am_clip_load_file(inWork("damaged.clip"), &back, &error) == AM_FORMAT_ERROR && back == NULL);
    CHECK(strcmp(error.message, "byte 8: the checksum does not match the content (the file is damaged)") == 0
          && error.line == 0 && error.column == 0 && error.pointer[0] == '\0');
    free(bytes);
    /* Saving refuses a folder and a missing one, and NULL. */
    CHECK(am_clip_save_binary(clip, work, &error) == AM_IO_ERROR);
    CHECK(am_clip_save_json(clip, inWork("no/such/folder.json"), &error) == AM_IO_ERROR);
    CHECK(am_clip_save_json(NULL, inWork("x.json"), &error) == AM_INVALID_ARGUMENT);
    CHECK(am_clip_save_binary(clip, NULL, &error) == AM_INVALID_ARGUMENT);
    am_clip_free(clip);
    /* Timeline: sampled as a body, saved as a timeline. */
    CHECK(am_clip_load_file(timelineJson, &clip, &error) == AM_OK);
    CHECK(am_clip_phase_frame_count(clip, 0) == 0 && am_clip_phase_frame_count(clip, 1) == 96);
    CHECK(am_clip_save_binary(clip, inWork("timeline.clip"), &error) == AM_OK);
    am_clip_free(clip);
    CHECK(am_clip_load_file(inWork("timeline.clip"), &clip, &error) == AM_OK);
    CHECK(am_clip_save_json(clip, inWork("timeline.json"), &error) == AM_OK);
    CHECK(sameFile(inWork("timeline.json"), timelineJson));
    am_clip_free(clip);
    am_clip_free(NULL);
}

/* A whole clip on a pipe whose writer stays open loads without waiting for
 * the writer to close it (a wait is ended by the alarm, which fails the test). */
static void checkPipeKeptOpen(void)
{
    char fifo[8300];
    size_t size = 0;
    char* bytes = readAll(inWork("show.clip"), &size);
    am_clip* clip = NULL;
    am_error error;
    pid_t writer;
    snprintf(fifo, sizeof fifo, "%s", inWork("pipe.clip"));
    unlink(fifo);
    CHECK(bytes != NULL && mkfifo(fifo, 0600) == 0);
    writer = fork();
    if (writer == 0) {
        const int fd = open(fifo, O_WRONLY);
        const ssize_t written = write(fd, bytes, size);
        close(STDOUT_FILENO); /* so that a failed run does not wait for this one */
        close(STDERR_FILENO);
        sleep(30);
        _exit(written == (ssize_t)size ? 0 : 1);
    }
    alarm(10);
    CHECK(am_clip_load_file(fifo, &clip, &error) == AM_OK && am_clip_channel_count(clip) == 5);
    alarm(0);
    kill(writer, SIGKILL);
    waitpid(writer, NULL, 0);
    am_clip_free(clip);
    free(bytes);
    unlink(fifo);
}

#if ANIMATIONMODEL_VERSION < 20000 || ANIMATIONMODEL_VERSION >= 1000000
#error "ANIMATIONMODEL_VERSION is not a number of #if"
#endif

/* The version macros against the library's text. */
static void checkVersion(void)
{
    char parts[64];
    snprintf(parts, sizeof parts, "%d.%d.%d", ANIMATIONMODEL_VERSION_MAJOR, ANIMATIONMODEL_VERSION_MINOR,
             ANIMATIONMODEL_VERSION_PATCH);
    CHECK(strcmp(am_version(), parts) == 0);
    CHECK(strcmp(am_version(), ANIMATIONMODEL_VERSION_STRING) == 0);
    CHECK(ANIMATIONMODEL_VERSION
          == ANIMATIONMODEL_VERSION_MAJOR * 10000 + ANIMATIONMODEL_VERSION_MINOR * 100 + ANIMATIONMODEL_VERSION_PATCH);
}

/* What the groups below check, set by main before they run. */
static am_clip* shownClip = NULL;
static char** arguments = NULL;

static void clipQueries(void)
{
    checkClipQueries(shownClip);
}
static void sampleRows(void)
{
    checkAgainstSampleRows(shownClip, arguments[3]);
}
static void sampling(void)
{
    checkSampling(shownClip);
}
static void playback(void)
{
    checkPlayback(shownClip);
}
static void files(void)
{
    checkFiles(arguments[1], arguments[2]);
}
static void aFailedCheck(void)
{
    CHECK(1 + 1 == 3);
}
static void aCrash(void)
{
    abort();
}

/* Runs `group` in a child process and adds its failed checks to ours; a
 * child ended by a signal counts as one failed check, named. */
static void inChild(const char* name, void (*group)(void))
{
    int status = 0;
    pid_t child;
    fflush(stdout);
    fflush(stderr);
    child = fork();
    if (child == 0) {
        failures = 0;
        group();
        fflush(stdout);
        fflush(stderr);
        /* exit, not _exit: a coverage build writes the child's counters then */
        exit(failures > 255 ? 255 : failures);
    }
    CHECK(child > 0);
    if (child <= 0 || waitpid(child, &status, 0) != child) {
        return;
    }
    if (WIFEXITED(status)) {
        failures += WEXITSTATUS(status);
    } else {
        fprintf(stderr, "%s: ended by signal %d; the other checks go on\n", name,
                WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        ++failures;
    }
}

int main(int argc, char** argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: capi_test ANIMATION.json TIMELINE.json SAMPLE.csv WORK_DIR\n");
        return 2;
    }
    arguments = argv;
    snprintf(work, sizeof work, "%s", argv[4]);
    if (getenv("CAPI_TEST_SELF_CHECK") != NULL) {
        inChild("a failed check", aFailedCheck);
        inChild("a crash", aCrash);
    }
    checkVersion();
    CHECK(am_clip_load_file(argv[1], &shownClip, NULL) == AM_OK);
    inChild("clip queries", clipQueries);
    inChild("samples against the tool's rows", sampleRows);
    inChild("sampling", sampling);
    inChild("playback", playback);
    am_clip_free(shownClip);
    inChild("load errors", checkLoadErrors);
    inChild("files", files);
    inChild("a pipe kept open", checkPipeKeptOpen);
    if (failures != 0) {
        fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    printf("every check of the C interface passed\n");
    return 0;
}
