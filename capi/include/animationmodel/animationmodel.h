#ifndef ANIMATIONMODEL_ANIMATIONMODEL_H
#define ANIMATIONMODEL_ANIMATIONMODEL_H

/* The C interface of animationmodel: load an animation (a JSON document or a
 * binary clip file), sample it by frame or by time into the caller's buffers,
 * and play its three phases (intro once, body looped, outro).
 *
 * C99 and C++; only C types cross it, so a program built with another C++
 * standard library or ABI, or in another language, can call it.
 *
 * Rules of every function:
 *  1. No exception and no signal leaves a function; a lack of memory is
 *     AM_NO_MEMORY.
 *  2. No function keeps a pointer it was given, except the data of
 *     am_clip_view_binary, which the clip reads for as long as it lives.
 *  3. Strings are UTF-8; where a NUL may occur they come with a length.
 *  4. An am_error* may be NULL; when given, it is filled on every call that
 *     takes one (status AM_OK and empty texts on success).
 *  5. A refused call leaves its output arguments unchanged.
 *  6. A handle given to its _free function is gone: it must not be used,
 *     nor freed again.
 *
 * Threads: an am_clip is immutable and may be shared by any number of
 * threads; an am_cursor or an am_playback belongs to one thread at a time. */

/* For a binding generator that wants plain declarations (Python's cffi):
 *     cc -E -P -DAM_CDEF -I INCLUDE_DIR animationmodel.h
 * gives this header's declarations alone, in plain C: AM_CDEF leaves out the
 * standard headers, whose expansion such a parser may not read (the types
 * used here are size_t and the <stdint.h> ones, which it knows). */
#ifndef AM_CDEF
#include <stddef.h>
#include <stdint.h>
#endif

/* ANIMATIONMODEL_VERSION and its parts, for #if. */
#include <animationmodel/version.h>

/* Marks the functions the shared library exports: visible when the library
 * is built, nothing for a program that uses it (a DLL import on Windows). */
#ifndef ANIMATIONMODEL_C_EXPORT
#if defined(animationmodel_c_EXPORTS) && defined(_WIN32)
#define ANIMATIONMODEL_C_EXPORT __declspec(dllexport)
#elif defined(animationmodel_c_EXPORTS)
#define ANIMATIONMODEL_C_EXPORT __attribute__((visibility("default")))
#elif defined(_WIN32) && !defined(ANIMATIONMODEL_C_STATIC_DEFINE)
#define ANIMATIONMODEL_C_EXPORT __declspec(dllimport)
#else
#define ANIMATIONMODEL_C_EXPORT
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** An immutable compiled animation; may be shared by threads. */
typedef struct am_clip am_clip;
/** The sampling state of one playing instance; one thread at a time. */
typedef struct am_cursor am_cursor;

/** What a call did. */
typedef enum am_status {
    AM_OK = 0,
    AM_INVALID_ARGUMENT = 1, /* a null pointer, a bad index, a bad option */
    AM_FORMAT_ERROR = 2,     /* a document or binary clip that the library refuses */
    AM_IO_ERROR = 3,         /* a file that cannot be read or written */
    AM_NO_MEMORY = 4,
    AM_NOT_FOUND = 5, /* am_clip_find_channel: no channel of that name */
    AM_REFUSED = 6    /* a valid document or binary clip that the load options refuse */
} am_status;

/** Why a call failed. */
typedef struct am_error {
    am_status status;
    uint64_t line, column; /* 1-based position in a JSON text; 0 when not located */
    char pointer[256];     /* JSON Pointer of the refused value, "" when none (cut with "..." if longer) */
    char message[512];     /* the message alone (position and pointer are in the fields above), UTF-8,
                              NUL-terminated, cut with "..." if longer */
} am_error;

/** "MAJOR.MINOR.PATCH" of the library. */
ANIMATIONMODEL_C_EXPORT const char* am_version(void);

/* Loading. JSON: an animation document, or a timeline document (loaded as an
 * animation whose body is the timeline). am_clip_load_file reads JSON or a
 * binary clip, told apart by the content. error may be NULL. */

/** What a load may refuse beyond the format's own rules, as C++'s
 * JsonLoadOptions: a refused document or binary clip is AM_REFUSED, with the
 * place of the refused value (its line and column in a JSON text, its byte in
 * a binary clip file's message). Fill it with am_load_options_init, then set
 * the fields wanted. */
typedef struct am_load_options {
    uint32_t size;                   /* sizeof(am_load_options), set by am_load_options_init */
    int refuse_non_finite_arguments; /* nonzero: refuse a key argument that is NaN or infinite */
    float minimum_fps;               /* refuse an animation of fewer fps (not asked of a timeline); 0: none */
} am_load_options;

/** Sets *options to the defaults (refuse nothing) and its size. */
ANIMATIONMODEL_C_EXPORT void am_load_options_init(am_load_options* options);

/* The _ex functions take options (NULL: the defaults, as the functions
 * without _ex); AM_INVALID_ARGUMENT for a bad one: a size other than
 * sizeof(am_load_options), a minimum_fps that is NaN, infinite or negative. */

/** The clip of the JSON document text[0..length). */
ANIMATIONMODEL_C_EXPORT am_status am_clip_load_json(const char* text, size_t length, am_clip** clip, am_error* error);
/** The clip of the file path: a JSON document or a binary clip file. */
ANIMATIONMODEL_C_EXPORT am_status am_clip_load_file(const char* path, am_clip** clip, am_error* error);
/** The clip of the binary clip file data[0..size), copied. */
ANIMATIONMODEL_C_EXPORT am_status am_clip_load_binary(const void* data, size_t size, am_clip** clip, am_error* error);
/** The clip of the binary clip file data[0..size), used in place: no copy of
 * the arrays; data must stay valid and unchanged while the clip lives and be
 * 8-byte aligned, else AM_INVALID_ARGUMENT. */
ANIMATIONMODEL_C_EXPORT am_status am_clip_view_binary(const void* data, size_t size, am_clip** clip, am_error* error);
/** am_clip_load_json with options. */
ANIMATIONMODEL_C_EXPORT am_status am_clip_load_json_ex(const char* text, size_t length, const am_load_options* options,
                                                       am_clip** clip, am_error* error);
/** am_clip_load_file with options. */
ANIMATIONMODEL_C_EXPORT am_status am_clip_load_file_ex(const char* path, const am_load_options* options, am_clip** clip,
                                                       am_error* error);
/** am_clip_load_binary with options. */
ANIMATIONMODEL_C_EXPORT am_status am_clip_load_binary_ex(const void* data, size_t size, const am_load_options* options,
                                                         am_clip** clip, am_error* error);
/** am_clip_view_binary with options. */
ANIMATIONMODEL_C_EXPORT am_status am_clip_view_binary_ex(const void* data, size_t size, const am_load_options* options,
                                                         am_clip** clip, am_error* error);
/** Frees clip; NULL is fine. Every cursor of the clip must be freed first. */
ANIMATIONMODEL_C_EXPORT void am_clip_free(am_clip* clip);

/* Saving, atomically, with the file rules of the tool's -o: a regular file is
 * replaced only once the new one is whole and flushed. */

/** Writes the canonical JSON text of clip (a timeline if it was loaded from one). */
ANIMATIONMODEL_C_EXPORT am_status am_clip_save_json(const am_clip* clip, const char* path, am_error* error);
/** Writes the binary clip file of clip. */
ANIMATIONMODEL_C_EXPORT am_status am_clip_save_binary(const am_clip* clip, const char* path, am_error* error);

/* The clip. A NULL clip gives 0 (NaN for am_clip_fps). */

/** The number of channels: the layer names of all three phases. */
ANIMATIONMODEL_C_EXPORT uint32_t am_clip_channel_count(const am_clip* clip);
/** The name of channel, valid while the clip lives, and its byte length in
 * *length when length is not NULL. Not NUL-terminated: names lie end to end
 * in the clip and may hold NUL bytes, so take the length. NULL (and *length 0)
 * if out of range. */
ANIMATIONMODEL_C_EXPORT const char* am_clip_channel_name(const am_clip* clip, uint32_t channel, size_t* length);
/** The index of the channel named name[0..length) in *channel, else AM_NOT_FOUND. */
ANIMATIONMODEL_C_EXPORT am_status am_clip_find_channel(const am_clip* clip, const char* name, size_t length,
                                                       uint32_t* channel);
/** Frames per second. */
ANIMATIONMODEL_C_EXPORT float am_clip_fps(const am_clip* clip);
/** The length in frames, the three phases together. */
ANIMATIONMODEL_C_EXPORT uint64_t am_clip_frame_count(const am_clip* clip);
/** The first frame of phase (0 intro, 1 body, 2 outro); 0 for another phase. */
ANIMATIONMODEL_C_EXPORT uint64_t am_clip_phase_start(const am_clip* clip, int phase);
/** The length in frames of phase (0 intro, 1 body, 2 outro); 0 for another phase. */
ANIMATIONMODEL_C_EXPORT uint64_t am_clip_phase_frame_count(const am_clip* clip, int phase);

/* Sampling. Every sampling call takes its arguments in one order: the
 * cursor, the position, the channels when chosen, count, then the outputs:
 * values (float), effects (int32_t, the covering key's effect: 0 Linear, 1 to
 * 3 Held1 to Held3, or another integer) and keyed (uint8_t, 1 when a key
 * covers the position), each with room for count entries, one
 * per channel in index order (count may be less than the channel count;
 * entries past the channel count are left untouched); effects and keyed may
 * be NULL. A value is the one of the Linear key covering the position, else
 * held from the channel's last Linear key that ended at or before it, else
 * NaN; where no key covers the position, effects gets 0 and keyed 0.
 * Positions below 0 or NaN count as 0, positions past the end as the end.
 * In am_cursor_sample_channels an index out of range gives NaN, 0, 0.
 * No buffer may overlap another one or channels.
 * A NULL cursor, or NULL values with count > 0, writes nothing. */

/** A cursor over clip, which must outlive it. */
ANIMATIONMODEL_C_EXPORT am_status am_cursor_create(const am_clip* clip, am_cursor** cursor, am_error* error);
/** Frees cursor; NULL is fine. */
ANIMATIONMODEL_C_EXPORT void am_cursor_free(am_cursor* cursor);
/** Samples every channel at frame (whole or fractional). */
ANIMATIONMODEL_C_EXPORT void am_cursor_sample_frame(am_cursor* cursor, double frame, size_t count, float* values,
                                                    int32_t* effects, uint8_t* keyed);
/** Samples every channel at seconds (frame = seconds * fps, in double). */
ANIMATIONMODEL_C_EXPORT void am_cursor_sample_seconds(am_cursor* cursor, double seconds, size_t count, float* values,
                                                      int32_t* effects, uint8_t* keyed);
/** Samples channels[i] into entry i, for i below count. */
ANIMATIONMODEL_C_EXPORT void am_cursor_sample_channels(am_cursor* cursor, double frame, const uint32_t* channels,
                                                       size_t count, float* values, int32_t* effects, uint8_t* keyed);

/* Playback of the three phases: the intro once, the body repeated while
 * looping is on and no finish is requested, then the outro, then the end.
 * The position is a phase, whole frames from its first frame (below its
 * length, except at the end: the outro, at its length) and a fraction in
 * [0, 1); a position on a boundary belongs to the next phase. The same code
 * as C++'s ClipPlayback, which gives the same positions bit for bit. */

/** One playing position; one thread at a time. */
typedef struct am_playback am_playback;

/** The phases; the same values as C++'s AnimationPhase. The end is
 * AM_PHASE_OUTRO with am_playback_ended true. */
typedef enum am_phase { AM_PHASE_INTRO = 0, AM_PHASE_BODY = 1, AM_PHASE_OUTRO = 2 } am_phase;

/** What am_playback_advance did. */
enum { AM_CROSSED_PHASE = 1, AM_WRAPPED = 2, AM_FINISHED = 4 };

/** A playback of clip's phases at frame 0, speed 1, looping, no finish
 * requested; it keeps no reference to clip. */
ANIMATIONMODEL_C_EXPORT am_status am_playback_create(const am_clip* clip, am_playback** playback, am_error* error);
/** Frees playback; NULL is fine. */
ANIMATIONMODEL_C_EXPORT void am_playback_free(am_playback* playback);
/** Back to frame 0 (the switches and the speed stay). */
ANIMATIONMODEL_C_EXPORT void am_playback_restart(am_playback* playback);
/** Moves by seconds * fps * speed frames (in double): seconds not finite and
 * > 0 do not move; a product too large for a double plays to the end, or
 * wraps a looping body 2^64 - 1 times. Returns the AM_CROSSED_PHASE,
 * AM_WRAPPED and AM_FINISHED flags (AM_FINISHED at the end, on every later
 * call too), and the number of wraps in *wraps when wraps is not NULL
 * (2^64 - 1 for that many or more). A NULL playback returns 0. */
ANIMATIONMODEL_C_EXPORT int am_playback_advance(am_playback* playback, double seconds, uint64_t* wraps);
/** Sets the speed: AM_INVALID_ARGUMENT (and no change) unless finite and >= 0. */
ANIMATIONMODEL_C_EXPORT am_status am_playback_set_speed(am_playback* playback, double speed);
/** The speed; NaN for NULL. */
ANIMATIONMODEL_C_EXPORT double am_playback_speed(const am_playback* playback);
/** Nonzero: the body repeats until a finish is requested. */
ANIMATIONMODEL_C_EXPORT void am_playback_set_loop(am_playback* playback, int loop);
/** 1 when the body loops, else 0 (0 for NULL). */
ANIMATIONMODEL_C_EXPORT int am_playback_loop(const am_playback* playback);
/** Nonzero: the body plays to its end, then the outro. */
ANIMATIONMODEL_C_EXPORT void am_playback_set_finish(am_playback* playback, int finish);
/** 1 once a finish is requested, else 0 (0 for NULL). */
ANIMATIONMODEL_C_EXPORT int am_playback_finish(const am_playback* playback);
/** The phase of the position (an am_phase; AM_PHASE_OUTRO at the end); -1 for NULL. */
ANIMATIONMODEL_C_EXPORT int am_playback_phase(const am_playback* playback);
/** The whole frames from the first frame of the phase, and the fraction past
 * them in *fraction when fraction is not NULL; 0 (and *fraction 0) for NULL. */
ANIMATIONMODEL_C_EXPORT uint64_t am_playback_phase_frame(const am_playback* playback, double* fraction);
/** The position from the intro's first frame, rounded down to a double (for
 * display: am_cursor_sample_playback samples the exact position); NaN for NULL. */
ANIMATIONMODEL_C_EXPORT double am_playback_frame(const am_playback* playback);
/** 1 at the end, else 0 (0 for NULL). */
ANIMATIONMODEL_C_EXPORT int am_playback_ended(const am_playback* playback);
/** Samples every channel at playback's exact position (always in the phase
 * am_playback_phase reports), as am_cursor_sample_frame; playback must be
 * of the cursor's clip. A NULL playback writes nothing. */
ANIMATIONMODEL_C_EXPORT void am_cursor_sample_playback(am_cursor* cursor, const am_playback* playback, size_t count,
                                                       float* values, int32_t* effects, uint8_t* keyed);

/* Key events: the keys that began while a cursor or a playback moved. */

/** A key that began within a span. */
typedef struct am_key_event {
    uint64_t frame;   /* its first frame, from the intro's first frame */
    uint64_t key;     /* its index among its channel's keys of its phase */
    uint64_t loop;    /* the body wraps passed in the span before it began */
    uint32_t channel; /* its channel */
    int32_t effect;   /* its effect (0 is Linear) */
    int phase;        /* its phase: 0 intro, 1 body, 2 outro */
} am_key_event;

/** An exact place on a clip's timeline: whole frames from the first frame of
 * phase and a fraction of a frame past them, kept apart as a playback keeps
 * its position, so that no rounding moves it across a whole frame. The whole
 * frames may run past the phase's end: {0, f, 0} is frame f from the intro's
 * first frame, a cursor's frame. */
typedef struct am_position {
    int phase;       /* 0 intro, 1 body, 2 outro */
    uint64_t whole;  /* whole frames from the phase's first frame */
    double fraction; /* in [0, 1) */
} am_position;

/** A stretch of the timeline that a cursor or a playback moved over: from
 * `from` (excluded, unless include_from) to `to` (included), passing the
 * body's end `wraps` times (from there to the body's end, wraps - 1 whole
 * loops, then from the body's start). Set include_from on the first move of
 * a cursor or a playback. */
typedef struct am_span {
    am_position from;
    am_position to;
    uint64_t wraps;
    int include_from;
} am_span;

/** playback's exact position into *position (nothing written for a NULL
 * playback or position): a playback's tick is the span from the position
 * before am_playback_advance to the one after it, with its wraps. */
ANIMATIONMODEL_C_EXPORT void am_playback_position(const am_playback* playback, am_position* position);
/** The place frame frames (whole or fractional) from phase's first frame,
 * split exactly into whole frames and a fraction, for a cursor's move: below
 * 0 and NaN give 0, 2^64 and more the largest whole frame. The phase is kept
 * as given (am_clip_key_events refuses one other than 0 to 2). */
ANIMATIONMODEL_C_EXPORT am_position am_position_at(int phase, double frame);

/** Writes into events[0..capacity) the keys of clip that began within span,
 * in time order (loop, frame, channel, key), and their number in all into
 * *total (SIZE_MAX for that many or more): when *total > capacity, the first
 * capacity of them were written. channels[0..channel_count) chooses the
 * channels (a repeated one repeats its events); NULL chooses all of them.
 * AM_INVALID_ARGUMENT for a NULL clip, span or total, NULL events with
 * capacity > 0, a phase other than 0 to 2, a fraction outside [0, 1), or a
 * channel out of range. */
ANIMATIONMODEL_C_EXPORT am_status am_clip_key_events(const am_clip* clip, const am_span* span, const uint32_t* channels,
                                                     size_t channel_count, am_key_event* events, size_t capacity,
                                                     size_t* total);

/** A clip's key events for one cursor or playback: it remembers each
 * channel's next key, so a move that goes on from where the last one ended
 * costs no search (see am_event_tracker_collect). */
typedef struct am_event_tracker am_event_tracker;

/** A tracker of clip's keys (32 bytes a channel); clip must outlive it. */
ANIMATIONMODEL_C_EXPORT am_status am_event_tracker_create(const am_clip* clip, am_event_tracker** tracker,
                                                          am_error* error);
/** Frees tracker; NULL is fine. */
ANIMATIONMODEL_C_EXPORT void am_event_tracker_free(am_event_tracker* tracker);
/** As am_clip_key_events on the tracker's clip, with the same results and
 * refusals (a NULL tracker too). */
ANIMATIONMODEL_C_EXPORT am_status am_event_tracker_collect(am_event_tracker* tracker, const am_span* span,
                                                           const uint32_t* channels, size_t channel_count,
                                                           am_key_event* events, size_t capacity, size_t* total);

/* Crossfades: the channels two clips share by name, and the blend of two samples. */

/** The channels two clips share by name, built once (see am_channel_map_create). */
typedef struct am_channel_map am_channel_map;

/** The map between first and second, which it does not keep. */
ANIMATIONMODEL_C_EXPORT am_status am_channel_map_create(const am_clip* first, const am_clip* second,
                                                        am_channel_map** map, am_error* error);
/** Frees map; NULL is fine. */
ANIMATIONMODEL_C_EXPORT void am_channel_map_free(am_channel_map* map);
/** The shared channels, in name order: entry i pairs channel from[i] of the
 * first clip with to[i] of the second (either pointer may be NULL); returns
 * their number. The arrays live as long as the map. 0 for a NULL map. */
ANIMATIONMODEL_C_EXPORT size_t am_channel_map_pairs(const am_channel_map* map, const uint32_t** from,
                                                    const uint32_t** to);
/** The channels of the first clip (side 0) or the second (side 1) that the
 * other lacks, in index order, into *channels; returns their number (0 for
 * a NULL map or another side). */
ANIMATIONMODEL_C_EXPORT size_t am_channel_map_missing(const am_channel_map* map, int side, const uint32_t** channels);

/** Blends count entries of sample a and sample b by weight in [0, 1] into
 * values, effects and keyed: each value is fl(a + fl(weight * fl(b - a))) in
 * float, a exactly at weight 0 and b exactly at weight 1; where one side is
 * NaN, the other's; infinities as docs/runtime.md says. Effects and keyed
 * come from b when weight > 0.5, else from a; an output pointer that is NULL
 * is skipped, one that is given needs that side's. values may be a_values or
 * b_values; no other overlap. AM_INVALID_ARGUMENT (nothing written) for a
 * weight outside [0, 1] or NaN, or a missing buffer. */
ANIMATIONMODEL_C_EXPORT am_status am_blend_samples(const float* a_values, const int32_t* a_effects,
                                                   const uint8_t* a_keyed, const float* b_values,
                                                   const int32_t* b_effects, const uint8_t* b_keyed, float weight,
                                                   size_t count, float* values, int32_t* effects, uint8_t* keyed);

#ifdef __cplusplus
}
#endif

#endif
