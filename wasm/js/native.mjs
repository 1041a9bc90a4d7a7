// The module's memory as the binding sees it: the C interface's statuses,
// phases and steps, its errors as exceptions, and the frees left to the
// collector. The classes over the handles are in binding.mjs and
// playback.mjs.

export const encoder = new TextEncoder();
export const decoder = new TextDecoder();

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
export const leftovers = {
    register: (object, release, ...args) => registry.register(object, [release, args], object),
    unregister: object => registry.unregister(object),
};

// What a clip's memory waits for: the clip given up, and its cursors freed
// (a cursor must not outlive its clip, even when both are collected at once).
export class ClipLife {
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
export class Native {
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

export function asBytes(data) {
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
