"""The C interface from Python through cffi, from the header as it is shipped:
`cc -E -P -DAM_CDEF` gives the declarations that cffi's cdef reads, with
nothing cut by hand; then the built library is opened, every function declared
is found in it, and the shipped example is loaded, sampled at every whole frame
against the rows of `animationmodel sample`, and played to its end.

Usage: capi_cffi_test.py CC LIBANIMATIONMODEL_C ANIMATION.json SAMPLE.csv INCLUDE_DIR...
"""
import csv
import os
import re
import struct
import subprocess
import sys

import cffi

cc, lib_path, animation_json, sample_csv, *include_dirs = sys.argv[1:]
header = next(os.path.join(d, "animationmodel", "animationmodel.h") for d in include_dirs
              if os.path.exists(os.path.join(d, "animationmodel", "animationmodel.h")))
declarations = subprocess.run([cc, "-E", "-P", "-DAM_CDEF", *("-I" + d for d in include_dirs), header],
                              check=True, capture_output=True, text=True).stdout
ffi = cffi.FFI()
ffi.cdef(declarations)
lib = ffi.dlopen(lib_path)

# Every function declared is exported; the enumerations and structs come through.
functions = set(re.findall(r"\b(am_\w+)\s*\(", declarations))
assert len(functions) >= 40, sorted(functions)
missing = [name for name in sorted(functions) if not hasattr(lib, name)]
assert not missing, missing
assert (lib.AM_REFUSED, lib.AM_PHASE_OUTRO, lib.AM_WRAPPED, lib.AM_FINISHED) == (6, 2, 2, 4)
assert ffi.sizeof("am_load_options") == 12 and ffi.sizeof("am_error") == 792
assert ffi.string(lib.am_version()).count(b".") == 2


def message(error):
    return ffi.string(error.message).decode()


# Loading with options: the example is at 25 fps.
options = ffi.new("am_load_options*")
lib.am_load_options_init(options)
options.minimum_fps = 26.0
clip_out, error = ffi.new("am_clip**"), ffi.new("am_error*")
assert lib.am_clip_load_file_ex(animation_json.encode(), options, clip_out, error) == lib.AM_REFUSED
assert message(error) == "fps 25 is below the minimum of 26" and ffi.string(error.pointer) == b"/fps", message(error)
options.minimum_fps = 25.0
assert lib.am_clip_load_file_ex(animation_json.encode(), options, clip_out, error) == lib.AM_OK, message(error)
clip = clip_out[0]
n = lib.am_clip_channel_count(clip)
length = ffi.new("size_t*")
names = [ffi.unpack(lib.am_clip_channel_name(clip, c, length), length[0]).decode() for c in range(n)]
assert names == ["glow", "opacity", "pose", "position x", "scale"], names

# Every whole frame against the tool's rows: keyed, effect, and a Linear key's value bit for bit.
effects_of = {"Linear": 0, "Held1": 1, "Held2": 2, "Held3": 3}
rows = {}
with open(sample_csv, newline="") as table:
    for row in csv.DictReader(table):
        rows[(int(row["frame"]), row["layer"])] = row
cursor_out = ffi.new("am_cursor**")
assert lib.am_cursor_create(clip, cursor_out, error) == lib.AM_OK
cursor = cursor_out[0]
values, effects, keyed = ffi.new("float[]", n), ffi.new("int32_t[]", n), ffi.new("uint8_t[]", n)
for frame in range(96):
    lib.am_cursor_sample_frame(cursor, frame, n, values, effects, keyed)
    for c, name in enumerate(names):
        row = rows.get((frame, name))
        assert keyed[c] == (row is not None), (frame, name)
        if row is not None:
            assert effects[c] == effects_of.get(row["effect"], None) or str(effects[c]) == row["effect"], (frame, name)
            if row["effect"] == "Linear":
                assert struct.pack("<f", values[c]) == struct.pack("<f", float(row["value"])), (frame, name)

# Played to its end: a finish through the outro; the end is the outro, ended.
playback_out, wraps = ffi.new("am_playback**"), ffi.new("uint64_t*")
assert lib.am_playback_create(clip, playback_out, error) == lib.AM_OK
playback = playback_out[0]
assert lib.am_playback_advance(playback, 3.0, wraps) == lib.AM_CROSSED_PHASE | lib.AM_WRAPPED and wraps[0] == 1
lib.am_playback_set_finish(playback, 1)
assert lib.am_playback_advance(playback, 10.0, wraps) == lib.AM_CROSSED_PHASE | lib.AM_FINISHED
assert lib.am_playback_phase(playback) == lib.AM_PHASE_OUTRO and lib.am_playback_ended(playback) == 1
lib.am_cursor_sample_playback(cursor, playback, n, values, effects, keyed)
assert list(keyed) == [0] * n
lib.am_playback_free(playback)
lib.am_cursor_free(cursor)
lib.am_clip_free(clip)
print("every check of the C interface through cffi passed")
