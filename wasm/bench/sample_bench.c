/* The native half of the WebAssembly benchmark pair (see run): the C
 * interface loading the JSON document FILE and sampling every channel at
 * the frames of POSITIONS (one number a line), best of ROUNDS.
 * usage: sample_bench FILE POSITIONS ROUNDS
 * Prints: load-ms LOAD, then ns-per-channel-sample NS for the positions. */
#define _POSIX_C_SOURCE 199309L
#include <animationmodel/animationmodel.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double now(void)
{
    struct timespec at;
    clock_gettime(CLOCK_MONOTONIC, &at);
    return (double)at.tv_sec + (double)at.tv_nsec * 1e-9;
}

static char* slurp(const char* path, size_t* size)
{
    FILE* file = fopen(path, "rb");
    if (file == NULL) {
        return NULL;
    }
    fseek(file, 0, SEEK_END);
    *size = (size_t)ftell(file);
    fseek(file, 0, SEEK_SET);
    char* bytes = malloc(*size + 1);
    if (fread(bytes, 1, *size, file) != *size) {
        free(bytes);
        bytes = NULL;
    }
    fclose(file);
    return bytes;
}

int main(int argc, char** argv)
{
    size_t size = 0;
    char* text = argc == 4 ? slurp(argv[1], &size) : NULL;
    FILE* list = argc == 4 ? fopen(argv[2], "r") : NULL;
    if (text == NULL || list == NULL) {
        fprintf(stderr, "usage: sample_bench FILE POSITIONS ROUNDS\n");
        return 2;
    }
    const int rounds = atoi(argv[3]);
    size_t count = 0;
    double* positions = malloc(sizeof *positions * 1000000);
    while (count < 1000000 && fscanf(list, "%lf", &positions[count]) == 1) {
        ++count;
    }
    double load = 1e9;
    am_clip* clip = NULL;
    for (int round = 0; round < rounds; ++round) {
        am_clip_free(clip);
        const double start = now();
        if (am_clip_load_json(text, size, &clip, NULL) != AM_OK) {
            fprintf(stderr, "sample_bench: the document is refused\n");
            return 1;
        }
        const double took = now() - start;
        load = took < load ? took : load;
    }
    am_cursor* cursor = NULL;
    am_cursor_create(clip, &cursor, NULL);
    const size_t channels = am_clip_channel_count(clip);
    float* values = malloc(sizeof *values * channels);
    int32_t* effects = malloc(sizeof *effects * channels);
    uint8_t* keyed = malloc(channels);
    double best = 1e9;
    float sum = 0.0f;
    for (int round = 0; round < rounds; ++round) {
        const double start = now();
        for (size_t i = 0; i < count; ++i) {
            am_cursor_sample_frame(cursor, positions[i], channels, values, effects, keyed);
            sum += values[i % channels];
        }
        const double took = now() - start;
        best = took < best ? took : best;
    }
    printf("load-ms %.3f\nns-per-channel-sample %.3f\n(checksum %g)\n", load * 1e3,
           best * 1e9 / (double)(count * channels), (double)sum);
    am_cursor_free(cursor);
    am_clip_free(clip);
    return 0;
}
