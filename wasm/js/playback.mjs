// The playback of a clip's phases, over the C interface's am_playback handle.
import { Status, leftovers } from './native.mjs';

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
