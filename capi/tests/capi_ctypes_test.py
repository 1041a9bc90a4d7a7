"""The C interface from Python through ctypes, with no compiled glue: a second
language loads, samples, plays and saves clips, and sees every error path.

Usage: capi_ctypes_test.py LIBANIMATIONMODEL_C ANIMATION.json TIMELINE.json SAMPLE.csv WORK_DIR
"""
import ctypes as C
import csv
import math
import os
import struct
import sys

lib_path, animation_json, timeline_json, sample_csv, work = sys.argv[1:6]
lib = C.CDLL(lib_path)

AM_OK, AM_INVALID_ARGUMENT, AM_FORMAT_ERROR, AM_IO_ERROR, AM_NO_MEMORY, AM_NOT_FOUND = range(6)
AM_CROSSED_PHASE, AM_WRAPPED, AM_FINISHED = 1, 2, 4


class Error(C.Structure):
    _fields_ = [("status", C.c_int), ("line", C.c_uint64), ("column", C.c_uint64),
                ("pointer", C.c_char * 256), ("message", C.c_char * 512)]


P = C.c_void_p
PP = C.POINTER(C.c_void_p)
E = C.POINTER(Error)
signatures = {
    "am_version": (C.c_char_p, []),
    "am_clip_load_json": (C.c_int, [C.c_char_p, C.c_size_t, PP, E]),
    "am_clip_load_file": (C.c_int, [C.c_char_p, PP, E]),
    "am_clip_load_binary": (C.c_int, [P, C.c_size_t, PP, E]),
    "am_clip_view_binary": (C.c_int, [P, C.c_size_t, PP, E]),
    "am_clip_free": (None, [P]),
    "am_clip_save_json": (C.c_int, [P, C.c_char_p, E]),
    "am_clip_save_binary": (C.c_int, [P, C.c_char_p, E]),
    "am_clip_channel_count": (C.c_uint32, [P]),
    "am_clip_channel_name": (C.POINTER(C.c_char), [P, C.c_uint32, C.POINTER(C.c_size_t)]),
    "am_clip_find_channel": (C.c_int, [P, C.c_char_p, C.c_size_t, C.POINTER(C.c_uint32)]),
    "am_clip_fps": (C.c_float, [P]),
    "am_clip_frame_count": (C.c_uint64, [P]),
    "am_clip_phase_start": (C.c_uint64, [P, C.c_int]),
    "am_clip_phase_frame_count": (C.c_uint64, [P, C.c_int]),
    "am_cursor_create": (C.c_int, [P, PP, E]),
    "am_cursor_free": (None, [P]),
    "am_cursor_sample_frame": (None, [P, C.c_double, C.c_size_t, C.POINTER(C.c_float), C.POINTER(C.c_int32),
                                      C.POINTER(C.c_uint8)]),
    "am_cursor_sample_seconds": (None, [P, C.c_double, C.c_size_t, C.POINTER(C.c_float), C.POINTER(C.c_int32),
                                        C.POINTER(C.c_uint8)]),
    "am_cursor_sample_channels": (None, [P, C.c_double, C.POINTER(C.c_uint32), C.c_size_t,
                                         C.POINTER(C.c_float), C.POINTER(C.c_int32), C.POINTER(C.c_uint8)]),
    "am_playback_create": (C.c_int, [P, PP, E]),
    "am_playback_free": (None, [P]),
    "am_playback_advance": (C.c_int, [P, C.c_double, C.POINTER(C.c_uint64)]),
    "am_playback_set_finish": (None, [P, C.c_int]),
    "am_playback_phase": (C.c_int, [P]),
    "am_playback_phase_frame": (C.c_uint64, [P, C.POINTER(C.c_double)]),
    "am_playback_frame": (C.c_double, [P]),
    "am_playback_ended": (C.c_int, [P]),
    "am_cursor_sample_playback": (None, [P, P, C.c_size_t, C.POINTER(C.c_float), C.POINTER(C.c_int32),
                                         C.POINTER(C.c_uint8)]),
}
for name, (result, arguments) in signatures.items():
    function = getattr(lib, name)
    function.restype, function.argtypes = result, arguments


def bits(value):
    return struct.pack("<f", value)


def load_file(path):
    clip, error = C.c_void_p(), Error()
    status = lib.am_clip_load_file(path.encode(), C.byref(clip), C.byref(error))
    assert status == AM_OK, (status, error.message)
    return clip


def name_of(clip, channel):
    length = C.c_size_t()
    pointer = lib.am_clip_channel_name(clip, channel, C.byref(length))
    return C.string_at(pointer, length.value).decode()


assert lib.am_version().decode().count(".") == 2

# The clip's queries.
clip = load_file(animation_json)
n = lib.am_clip_channel_count(clip)
names = [name_of(clip, c) for c in range(n)]
assert names == ["glow", "opacity", "pose", "position x", "scale"], names
assert lib.am_clip_fps(clip) == 25.0 and lib.am_clip_frame_count(clip) == 96
assert [lib.am_clip_phase_start(clip, p) for p in range(3)] == [0, 24, 72]
assert [lib.am_clip_phase_frame_count(clip, p) for p in range(3)] == [24, 48, 24]
assert not lib.am_clip_channel_name(clip, n, None)
found = C.c_uint32(77)
assert lib.am_clip_find_channel(clip, b"position x", 10, C.byref(found)) == AM_OK and found.value == 3
assert lib.am_clip_find_channel(clip, b"nothing", 7, C.byref(found)) == AM_NOT_FOUND and found.value == 3
assert lib.am_clip_find_channel(None, b"glow", 4, C.byref(found)) == AM_INVALID_ARGUMENT

# Every whole frame against the tool's rows.
effects_of = {"Linear": 0, "Held1": 1, "Held2": 2, "Held3": 3}
rows = {}
with open(sample_csv, newline="") as table:
    for row in csv.DictReader(table):
        rows[(int(row["frame"]), row["layer"])] = row
cursor = C.c_void_p()
assert lib.am_cursor_create(clip, C.byref(cursor), None) == AM_OK
values, effects, keyed = (C.c_float * n)(), (C.c_int32 * n)(), (C.c_uint8 * n)()
for frame in range(96):
    lib.am_cursor_sample_frame(cursor, frame, n, values, effects, keyed)
    for c, name in enumerate(names):
        row = rows.get((frame, name))
        assert keyed[c] == (row is not None), (frame, name)
        expected_effect = 0 if row is None else effects_of.get(row["effect"], None)
        if row is not None and expected_effect is None:
            expected_effect = int(row["effect"])
        assert effects[c] == expected_effect, (frame, name)
        if row is not None and row["effect"] == "Linear":
            assert bits(values[c]) == bits(float(row["value"])), (frame, name, values[c], row["value"])

# Seconds, lists of channels, an index out of range.
lib.am_cursor_sample_seconds(cursor, 2.0, n, values, None, None)
at50 = list(values)
lib.am_cursor_sample_frame(cursor, 50.0, n, values, None, None)
assert [bits(v) for v in values] == [bits(v) for v in at50]
channels = (C.c_uint32 * 3)(4, 2**32 - 1, 0)
picked, picked_keyed = (C.c_float * 3)(), (C.c_uint8 * 3)(9, 9, 9)
lib.am_cursor_sample_channels(cursor, 50.0, channels, 3, picked, None, picked_keyed)
assert bits(picked[0]) == bits(values[4]) and bits(picked[2]) == bits(values[0])
assert math.isnan(picked[1]) and picked_keyed[1] == 0

# Playback: into the body, a wrap, a finish through the outro, the end.
playback, wraps, fraction = C.c_void_p(), C.c_uint64(7), C.c_double(-1.0)
assert lib.am_playback_create(clip, C.byref(playback), None) == AM_OK
assert lib.am_playback_advance(playback, 1.0, C.byref(wraps)) == AM_CROSSED_PHASE and wraps.value == 0
assert lib.am_playback_frame(playback) == 25.0
assert lib.am_playback_advance(playback, 2.02, C.byref(wraps)) == AM_WRAPPED and wraps.value == 1
assert lib.am_playback_phase_frame(playback, C.byref(fraction)) == 3 and lib.am_playback_phase(playback) == 1
assert fraction.value == 0.5
lib.am_cursor_sample_playback(cursor, playback, 5, values, None, None)
through = list(values)
lib.am_cursor_sample_frame(cursor, 24.0 + 3.0 + fraction.value, 5, values, None, None)
assert [bits(v) for v in through] == [bits(v) for v in values]
lib.am_playback_set_finish(playback, 1)
assert lib.am_playback_advance(playback, 2.0, None) == AM_CROSSED_PHASE and lib.am_playback_phase(playback) == 2
assert lib.am_playback_advance(playback, 9.0, None) == AM_FINISHED and lib.am_playback_ended(playback) == 1
assert lib.am_playback_phase(playback) == 2 and lib.am_playback_frame(playback) == 96.0
lib.am_playback_free(playback)
lib.am_cursor_free(cursor)

# Saving and loading binary clips, in place and copied.
clip_path = os.path.join(work, "python.clip")
json_path = os.path.join(work, "python.json")
assert lib.am_clip_save_binary(clip, clip_path.encode(), None) == AM_OK
lib.am_clip_free(clip)
with open(clip_path, "rb") as file:
    data = file.read()
buffer = (C.c_uint64 * (len(data) // 8))()  # 8-byte aligned
C.memmove(buffer, data, len(data))
viewed, error = C.c_void_p(), Error()
assert lib.am_clip_view_binary(buffer, len(data), C.byref(viewed), C.byref(error)) == AM_OK
assert [name_of(viewed, c) for c in range(n)] == names
assert lib.am_clip_save_json(viewed, json_path.encode(), None) == AM_OK
with open(json_path, "rb") as a, open(animation_json, "rb") as b:
    assert a.read() == b.read()
lib.am_clip_free(viewed)
misaligned = C.cast(C.addressof(buffer) + 4, C.c_void_p)
assert lib.am_clip_view_binary(misaligned, 16, C.byref(viewed), C.byref(error)) == AM_INVALID_ARGUMENT
copied = C.c_void_p()
assert lib.am_clip_load_binary(data, len(data), C.byref(copied), C.byref(error)) == AM_OK
lib.am_clip_free(copied)

# Refusals, with the error's fields.
damaged = bytearray(data)
damaged[100] ^= 0x10
assert lib.am_clip_load_binary(bytes(damaged), len(damaged), C.byref(copied), C.byref(error)) == AM_FORMAT_ERROR
assert error.message == b"byte 8: the checksum does not match the content (the file is damaged)", error.message
bad = b'{"format": "animationmodel", "version": 1,\n "fps": "NaN"}'
assert lib.am_clip_load_json(bad, len(bad), C.byref(copied), C.byref(error)) == AM_FORMAT_ERROR
assert (error.status, error.line, error.column, error.pointer) == (AM_FORMAT_ERROR, 2, 9, b"/fps"), (
    error.line, error.column, error.pointer, error.message)
assert lib.am_clip_load_file(os.path.join(work, "missing").encode(), C.byref(copied), C.byref(error)) == AM_IO_ERROR
assert error.message.endswith(b"missing: No such file or directory")
copied = C.c_void_p()
assert lib.am_clip_load_json(None, 0, C.byref(copied), C.byref(error)) == AM_INVALID_ARGUMENT
assert error.message == b"text is NULL" and not copied

# A timeline stays a timeline.
timeline = load_file(timeline_json)
assert lib.am_clip_phase_frame_count(timeline, 1) == lib.am_clip_frame_count(timeline)
assert lib.am_clip_save_json(timeline, json_path.encode(), None) == AM_OK
with open(json_path, "rb") as a, open(timeline_json, "rb") as b:
    assert a.read() == b.read()
lib.am_clip_free(timeline)
print("every check of the C interface through ctypes passed")
