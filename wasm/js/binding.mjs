// The JavaScript face of the WebAssembly module: thin classes over the C
// interface's am_* functions, which hold every rule. This file only moves
// bytes in and out of the module's memory and turns a failed status into an
// exception.
import { AnimationModelError, ClipLife, Native, Status, asBytes, decoder, encoder, leftovers } from './native.mjs';
import { Playback } from './playback.mjs';

export { AnimationModelError, Phase, Status, Step } from './native.mjs';
export { Playback } from './playback.mjs';

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
        sampler(cursor, position, count, values, values + 4 * this.#room, values + 8 * this.#room);
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
