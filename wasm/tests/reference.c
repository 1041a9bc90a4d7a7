/* The native library's samples, for the WebAssembly module's tests to
 * compare with: reference FILE POSITION... loads FILE (JSON or binary) and
 * prints, for every POSITION (a frame, or "sSECONDS" for seconds), one line
 * of VALUEBITS:EFFECT:KEYED per channel, the float's bits in hexadecimal. */
#include <animationmodel/animationmodel.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    am_clip* clip = NULL;
    am_cursor* cursor = NULL;
    am_error error;
    if (argc < 2 || am_clip_load_file(argv[1], &clip, &error) != AM_OK
        || am_cursor_create(clip, &cursor, &error) != AM_OK) {
        fprintf(stderr, "reference: %s\n", argc < 2 ? "usage: reference FILE POSITION..." : error.message);
        return 2;
    }
    const size_t count = am_clip_channel_count(clip);
    float* values = calloc(count + 1, sizeof *values);
    int32_t* effects = calloc(count + 1, sizeof *effects);
    uint8_t* keyed = calloc(count + 1, sizeof *keyed);
    for (int i = 2; i < argc; ++i) {
        if (argv[i][0] == 's') {
            am_cursor_sample_seconds(cursor, strtod(argv[i] + 1, NULL), count, values, effects, keyed);
        } else {
            am_cursor_sample_frame(cursor, strtod(argv[i], NULL), count, values, effects, keyed);
        }
        for (size_t channel = 0; channel < count; ++channel) {
            uint32_t bits;
            memcpy(&bits, &values[channel], sizeof bits);
            printf("%s%08x:%d:%u", channel == 0 ? "" : " ", (unsigned)bits, (int)effects[channel],
                   (unsigned)keyed[channel]);
        }
        printf("\n");
    }
    free(values);
    free(effects);
    free(keyed);
    am_cursor_free(cursor);
    am_clip_free(clip);
    return 0;
}
