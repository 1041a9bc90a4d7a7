// The JavaScript face of the WebAssembly module: thin classes over the C
// interface's am_* functions, which hold every rule. This file only moves
// bytes in and out of the module's memory and turns a failed status into an
// exception.

const encoder = new TextEncoder();
const decoder = new TextDecoder();

/** Status codes of the C interface (am_status). */
export const Status = Object.freeze({
    OK: 0,
    INVALID_ARGUMENT: 1,
    FORMAT_ERROR: 2,
    IO_ERROR: 3,
    NO_MEMORY: 4,
    NOT_FOUND: 5,
});

/** Phases of a clip, as the C interface numbers them (am_phase). */
export const Phase = Object.freeze({ INTRO: 0, BODY: 1, OUTRO: 2 });

/** Flags of Playback.advance. */
export const Step = Object.freeze({ CROSSED_PHASE: 1, WRAPPED: 2, FINISHED: 4 });

/** A document or binary clip that the library refused, or a bad argument. */
export class AnimationModelError extends Error {
    constructor(status, line, column, pointer, reason) {
        const where = line > 0 ? `${line}:${column}: ` : '';
        super(where + (pointer ? `${pointer}: ` : '') + reason);
        this.name = 'AnimationModelError';
        this.status = status;
        this.line = line;
        this.column = column;
        this.pointer = pointer;
        this.reason = reason;
    }
}

// Frees what the program forgot to free, once its object is collected:
// register(object, release, ...args) calls release(...args). The arguments
// are held apart from any closure, which could keep the object alive.
const registry = new FinalizationRegistry(([release, args]) => release(...args));
const leftovers = {
    register: (object, release, ...args) => registry.register(object, [release, args], object),
    unregister: object => registry.unregister(object),
};

// What a clip's memory waits for: the clip given up, and its cursors freed
// (a cursor must not outlive its clip, even when both are collected at once).
class ClipLife {
    constructor(native, handle) {
        this.native = native;
        this.handle = handle;
        this.cursors = 0;
        this.dropped = false;
    }

    static drop(life) {
        life.dropped = true;
        life.#freeWhenDone();
    }

    cursorFreed() {
        this.cursors -= 1;
        this.#freeWhenDone();
    }

    #freeWhenDone() {
        if (this.dropped && this.cursors === 0 && this.handle !== 0) {
            this.native.wasm._am_clip_free(this.handle);
            this.handle = 0;
        }
    }
}

// The module's memory and functions, with the layout of am_error.
class Native {
    constructor(wasm) {
        this.wasm = wasm;
        const out = wasm._malloc(4 * 8);
        const count = wasm._am_wasm_error_layout(out);
        const layout = Array.from(wasm.HEAPU32.subarray(out >> 2, (out >> 2) + count));
        wasm._free(out);
        [this.errorSize, this.errorStatus, this.errorLine, this.errorColumn, this.errorPointer, this.errorMessage] =
            layout;
        // Room for the small answers of a call: a count, two positions, a text.
        this.scratch = this.malloc(64);
    }

    // The 64-bit word at the scratch room, as a number.
    scratchU64() {
        return Number(new DataView(this.wasm.HEAPU8.buffer).getBigUint64(this.scratch, true));
    }

    scratchF64(index = 0) {
        return new DataView(this.wasm.HEAPU8.buffer).getFloat64(this.scratch + 8 * index, true);
    }

    // The text a call of `write(out, capacity)` wrote into the scratch room.
    scratchText(write) {
        const length = write(this.scratch, 64);
        return decoder.decode(this.wasm.HEAPU8.subarray(this.scratch, this.scratch + length));
    }

    malloc(size) {
        const pointer = this.wasm._malloc(Math.max(size, 1));
        if (pointer === 0) {
            throw new AnimationModelError(Status.NO_MEMORY, 0, 0, '', 'out of memory');
        }
        return pointer;
    }

    free(pointer) {
        this.wasm._free(pointer);
    }

    // A copy of `bytes` in the module's memory; free it with free().
    copyIn(bytes) {
        const pointer = this.malloc(bytes.length);
        this.wasm.HEAPU8.set(bytes, pointer);
        return pointer;
    }

    // The NUL-terminated text at `pointer`, at most `capacity` bytes.
    text(pointer, capacity) {
        const bytes = this.wasm.HEAPU8.subarray(pointer, pointer + capacity);
        const end = bytes.indexOf(0);
        return decoder.decode(bytes.subarray(0, end < 0 ? capacity : end));
    }

    // Runs call(errorPointer, outPointer) and gives the pointer it stored,
    // or throws the error it reported.
    made(call) {
        const error = this.malloc(this.errorSize + 4);
        const out = error + this.errorSize;
        try {
            const status = call(error, out);
            if (status !== Status.OK) {
                const view = new DataView(this.wasm.HEAPU8.buffer);
                throw new AnimationModelError(status,
                    Number(view.getBigUint64(error + this.errorLine, true)),
                    Number(view.getBigUint64(error + this.errorColumn, true)),
                    this.text(error + this.errorPointer, this.errorMessage - this.errorPointer),
                    this.text(error + this.errorMessage, this.errorSize - this.errorMessage));
            }
            return this.wasm.HEAPU32[out >> 2];
        } finally {
            this.free(error);
        }
    }
}

function asBytes(data) {
    if (data instanceof Uint8Array) {
        return data;
    }
    if (ArrayBuffer.isView(data)) {
        return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
    }
    if (data instanceof ArrayBuffer) {
        return new Uint8Array(data);
    }
    throw new TypeError('expected a Uint8Array, an ArrayBuffer or a view of one');
}

/** A compiled animation; immutable, shared by any number of cursors. */
export class Clip {
    #native;
    #handle;
    #life;
    #cursors = new Set();

    constructor(native, handle) {
        this.#native = native;
        this.#handle = handle;
        const life = new ClipLife(native, handle);
        this.#life = life;
        leftovers.register(this, ClipLife.drop, life);
    }

    /** @internal What the clip's memory waits for. */
    life() {
        return this.#life;
    }

    /** @internal The am_clip* of a live clip. */
    handle() {
        if (this.#handle === 0) {
            throw new Error('the clip was freed');
        }
        return this.#handle;
    }

    /** @internal */
    native() {
        return this.#native;
    }

    /** Frees the clip and every cursor made from it; using them later throws. */
    free() {
        if (this.#handle !== 0) {
            for (const cursor of this.#cursors) {
                cursor.free();
            }
            leftovers.unregister(this);
            ClipLife.drop(this.#life);
            this.#handle = 0;
        }
    }

    get channelCount() {
        return this.#native.wasm._am_clip_channel_count(this.handle());
    }

    /** The name of channel `index`, or undefined when out of range. */
    channelName(index) {
        const native = this.#native;
        const length = native.malloc(4);
        try {
            const name = native.wasm._am_clip_channel_name(this.handle(), index >>> 0, length);
            if (name === 0 || index !== index >>> 0) {
                return undefined;
            }
            return decoder.decode(native.wasm.HEAPU8.subarray(name, name + native.wasm.HEAPU32[length >> 2]));
        } finally {
            native.free(length);
        }
    }

    /** Every channel's name, in index order. */
    channelNames() {
        return Array.from({ length: this.channelCount }, (_, index) => this.channelName(index));
    }

    /** The index of the channel named `name`, or -1. */
    findChannel(name) {
        const native = this.#native;
        const bytes = encoder.encode(name);
        const text = native.copyIn(bytes);
        const found = native.malloc(4);
        try {
            const status = native.wasm._am_clip_find_channel(this.handle(), text, bytes.length, found);
            return status === Status.OK ? native.wasm.HEAPU32[found >> 2] : -1;
        } finally {
            native.free(found);
            native.free(text);
        }
    }

    get fps() {
        return this.#native.wasm._am_clip_fps(this.handle());
    }

    get frameCount() {
        return Number(this.#native.wasm._am_clip_frame_count(this.handle()));
    }

    /** The first frame of `phase` (Phase.INTRO, BODY or OUTRO). */
    phaseStart(phase) {
        return Number(this.#native.wasm._am_clip_phase_start(this.handle(), phase));
    }

    /** The length in frames of `phase`. */
    phaseFrameCount(phase) {
        return Number(this.#native.wasm._am_clip_phase_frame_count(this.handle(), phase));
    }

    /** True when the clip was compiled from a timeline (as its body). */
    get fromTimeline() {
        return this.#native.wasm._am_wasm_clip_from_timeline(this.handle()) !== 0;
    }

    /** The phase playing at the whole frame `frame`, or -1 past the end. */
    phaseAt(frame) {
        const phase = this.#native.wasm._am_wasm_phase_at(this.handle(), frame);
        return phase === 3 ? -1 : phase;
    }

    /** The key of channel `channel` playing at the whole frame `frame`:
     * { key, offset }, its index in its phase and the frames since it
     * started; null when none plays there. */
    keyAt(channel, frame) {
        const native = this.#native;
        if (native.wasm._am_wasm_key_at(this.handle(), channel >>> 0, frame, native.scratch) === 0) {
            return null;
        }
        return { key: native.scratchF64(0), offset: native.scratchF64(1) };
    }

    /** The nearest frame past `frame` (direction > 0) or before it where a
     * phase or a key of any channel starts, or the clip ends; `frame` when
     * there is none. */
    keyBoundary(frame, direction) {
        return this.#native.wasm._am_wasm_key_boundary(this.handle(), frame, direction > 0 ? 1 : -1);
    }

    /** A new cursor over the clip. */
    cursor() {
        const cursor = new Cursor(this, this.#cursors);
        this.#cursors.add(cursor);
        return cursor;
    }

    /** A new playback of the clip's phases, at frame 0. */
    playback() {
        return new Playback(this);
    }
}

/** What a cursor wrote: one entry per channel. */
export class Sample {
    constructor(count) {
        this.values = new Float32Array(count);
        this.effects = new Int32Array(count);
        this.keyed = new Uint8Array(count);
    }
}

/** The sampling state of one playing instance of a clip. */
export class Cursor {
    #clip;
    #owners;
    #handle;
    #memory; // the cursor and its buffers in the module, freed together
    #room = 0;
    #buffers = 0;
    #views = null;
    #count;

    constructor(clip, owners) {
        const native = clip.native();
        this.#clip = clip;
        this.#owners = owners;
        this.#handle = native.made((error, out) => native.wasm._am_cursor_create(clip.handle(), out, error));
        this.#count = clip.channelCount;
        const life = clip.life();
        const memory = { handle: this.#handle, buffers: 0 };
        this.#memory = memory;
        life.cursors += 1;
        leftovers.register(this, Cursor.#release, native, memory, life);
    }

    static #release(native, memory, life) {
        native.wasm._am_cursor_free(memory.handle);
        native.free(memory.buffers);
        life.cursorFreed();
    }

    /** Frees the cursor; using it later throws. */
    free() {
        if (this.#handle !== 0) {
            leftovers.unregister(this);
            Cursor.#release(this.#clip.native(), this.#memory, this.#clip.life());
            this.#handle = 0;
            this.#buffers = 0;
            this.#room = 0;
            this.#owners.delete(this);
        }
    }

    #live() {
        if (this.#handle === 0) {
            throw new Error('the cursor was freed');
        }
        return this.#handle;
    }

    // Room in the module for `count` entries of each buffer.
    #reserve(count) {
        if (count > this.#room) {
            const native = this.#clip.native();
            native.free(this.#buffers);
            this.#buffers = 0;
            this.#memory.buffers = 0;
            this.#buffers = native.malloc(count * 9 + 4);
            this.#memory.buffers = this.#buffers;
            this.#room = count;
        }
        return this.#buffers;
    }

    // Copies `count` entries out of the module into `into`, through views
    // of the buffers made again only when the memory grew or the room did.
    #collect(count, into) {
        const memory = this.#clip.native().wasm.HEAPU8.buffer;
        if (this.#views?.memory !== memory || this.#views.room !== this.#room) {
            const values = this.#buffers;
            const room = this.#room;
            this.#views = {
                memory,
                room,
                values: new Float32Array(memory, values, room),
                effects: new Int32Array(memory, values + 4 * room, room),
                keyed: new Uint8Array(memory, values + 8 * room, room),
            };
        }
        const views = this.#views;
        if (count === views.room && into.values.length === count) {
            into.values.set(views.values);
            into.effects.set(views.effects);
            into.keyed.set(views.keyed);
        } else {
            into.values.set(views.values.subarray(0, count));
            into.effects.set(views.effects.subarray(0, count));
            into.keyed.set(views.keyed.subarray(0, count));
        }
        return into;
    }

    #sampleAll(sampler, position, into) {
        const cursor = this.#live();
        const count = this.#count;
        const out = into ?? new Sample(count);
        const values = this.#reserve(count);
        sampler(cursor, position, values, values + 4 * this.#room, values + 8 * this.#room, count);
        return this.#collect(count, out);
    }

    /** Every channel at `frame` (whole or fractional), into `into` if given. */
    sampleFrame(frame, into) {
        return this.#sampleAll(this.#clip.native().wasm._am_cursor_sample_frame, frame, into);
    }

    /** Every channel at `seconds` (frame = seconds * fps, in double). */
    sampleSeconds(seconds, into) {
        return this.#sampleAll(this.#clip.native().wasm._am_cursor_sample_seconds, seconds, into);
    }

    /** The channels `channels` (indices) at `frame`: entry i is channels[i]. */
    sampleChannels(frame, channels, into) {
        const native = this.#clip.native();
        const cursor = this.#live();
        const count = channels.length;
        const out = into ?? new Sample(count);
        const values = this.#reserve(count);
        const indices = native.malloc(4 * count);
        try {
            native.wasm.HEAPU32.set(channels, indices >> 2);
            native.wasm._am_cursor_sample_channels(cursor, frame, indices, count, values,
                values + 4 * this.#room, values + 8 * this.#room);
        } finally {
            native.free(indices);
        }
        return this.#collect(count, out);
    }

    /** Every channel at `playback`'s exact position (a playback of this
     * cursor's clip), into `into` if given. */
    samplePlayback(playback, into) {
        const handle = playback.handle();
        return this.#sampleAll((cursor, _, values, effects, keyed, count) =>
            this.#clip.native().wasm._am_cursor_sample_playback(cursor, handle, values, effects, keyed, count),
        0, into);
    }

    // Key events and blending come here, as methods over their C functions,
    // when the C interface has them.
}

/** A playing position over a clip's phases: the intro once, the body
 * repeated while loopBody is set and no finish is requested, then the outro.
 * The position is exact (whole frames and a fraction); it keeps no
 * reference to the clip's memory. */
export class Playback {
    #native;
    #handle;
    #memory;
    #wraps = 0;

    constructor(clip) {
        const native = clip.native();
        this.#native = native;
        this.#handle = native.made((error, out) => native.wasm._am_playback_create(clip.handle(), out, error));
        const memory = { handle: this.#handle };
        this.#memory = memory;
        leftovers.register(this, Playback.#release, native, memory);
    }

    static #release(native, memory) {
        native.wasm._am_playback_free(memory.handle);
    }

    /** Frees the playback; using it later throws. */
    free() {
        if (this.#handle !== 0) {
            leftovers.unregister(this);
            Playback.#release(this.#native, this.#memory);
            this.#handle = 0;
        }
    }

    /** @internal The am_playback* of a live playback. */
    handle() {
        if (this.#handle === 0) {
            throw new Error('the playback was freed');
        }
        return this.#handle;
    }

    /** The position from the intro's first frame (rounded down to a double). */
    get frame() {
        return this.#native.wasm._am_playback_frame(this.handle());
    }

    get speed() {
        return this.#native.wasm._am_playback_speed(this.handle());
    }

    /** Finite and not negative, else a RangeError (and no change). */
    set speed(value) {
        if (this.#native.wasm._am_playback_set_speed(this.handle(), Number(value)) !== Status.OK) {
            throw new RangeError(`speed ${value}: must be finite and not negative`);
        }
    }

    get loopBody() {
        return this.#native.wasm._am_playback_loop(this.handle()) !== 0;
    }

    set loopBody(value) {
        this.#native.wasm._am_playback_set_loop(this.handle(), value ? 1 : 0);
    }

    get finishRequested() {
        return this.#native.wasm._am_playback_finish(this.handle()) !== 0;
    }

    set finishRequested(value) {
        this.#native.wasm._am_playback_set_finish(this.handle(), value ? 1 : 0);
    }

    /** The Phase of the position (Phase.OUTRO at the end). */
    get phase() {
        return this.#native.wasm._am_playback_phase(this.handle());
    }

    /** True at the end. */
    get ended() {
        return this.#native.wasm._am_playback_ended(this.handle()) !== 0;
    }

    /** Whole frames from the first frame of the phase, and the fraction past them. */
    get phaseFrame() {
        const native = this.#native;
        const frames = Number(native.wasm._am_playback_phase_frame(this.handle(), native.scratch));
        return { frames, fraction: native.scratchF64() };
    }

    /** Back to frame 0 (the switches and the speed stay). */
    restart() {
        this.#native.wasm._am_playback_restart(this.handle());
    }

    /** Moves by seconds * fps * speed frames; the Step flags of what
     * happened. The body's wraps of this step are in `wraps`. */
    advance(seconds) {
        const native = this.#native;
        const flags = native.wasm._am_playback_advance(this.handle(), seconds, native.scratch);
        this.#wraps = native.scratchU64();
        return flags;
    }

    /** How many times the last advance wrapped the body. */
    get wraps() {
        return this.#wraps;
    }
}

/** The library over an instantiated WebAssembly module. */
export class AnimationModel {
    #native;

    constructor(wasm) {
        this.#native = new Native(wasm);
    }

    /** "MAJOR.MINOR.PATCH" of the library. */
    get version() {
        return this.#native.text(this.#native.wasm._am_version(), 64);
    }

    /** The text of a float as every format writes it: the shortest that
     * reads back to the same float32, or NaN, Infinity, -Infinity. */
    floatText(value) {
        const native = this.#native;
        return native.scratchText((out, capacity) => native.wasm._am_wasm_float_text(value, out, capacity));
    }

    /** The text of an effect: "Linear", "Held1", "Held2", "Held3", or its number. */
    effectText(effect) {
        const native = this.#native;
        return native.scratchText((out, capacity) => native.wasm._am_wasm_effect_text(effect | 0, out, capacity));
    }

    /** The clip of a JSON document (text, or its UTF-8 bytes). */
    clipFromJson(json) {
        const native = this.#native;
        const bytes = typeof json === 'string' ? encoder.encode(json) : asBytes(json);
        const text = native.copyIn(bytes);
        try {
            return new Clip(native, native.made((error, out) =>
                native.wasm._am_clip_load_json(text, bytes.length, out, error)));
        } finally {
            native.free(text);
        }
    }

    /** The clip of a binary clip file's bytes (copied). */
    clipFromBinary(data) {
        const native = this.#native;
        const bytes = asBytes(data);
        const copy = native.copyIn(bytes);
        try {
            return new Clip(native, native.made((error, out) =>
                native.wasm._am_clip_load_binary(copy, bytes.length, out, error)));
        } finally {
            native.free(copy);
        }
    }

    /** A string as a JSON document; bytes of either format, a binary clip
     * file or a JSON document, told apart by the loader as it tells files. */
    loadClip(data) {
        if (typeof data === 'string') {
            return this.clipFromJson(data);
        }
        const native = this.#native;
        const bytes = asBytes(data);
        const copy = native.copyIn(bytes);
        try {
            return new Clip(native, native.made((error, out) =>
                native.wasm._am_wasm_clip_load_bytes(copy, bytes.length, out, error)));
        } finally {
            native.free(copy);
        }
    }
}

/** The library, from `factory` (Emscripten's) given `options`. */
export async function instantiate(factory, options) {
    return new AnimationModel(await factory(options));
}
