// Declarations of the animationmodel ES module (animationmodel.mjs and inline.mjs).

/** Status codes of a failure (the C interface's am_status). */
export declare const Status: {
    readonly OK: 0;
    readonly INVALID_ARGUMENT: 1;
    readonly FORMAT_ERROR: 2;
    readonly IO_ERROR: 3;
    readonly NO_MEMORY: 4;
    readonly NOT_FOUND: 5;
};

/** The phases of a clip; the end is OUTRO with Playback.ended true. */
export declare const Phase: { readonly INTRO: 0; readonly BODY: 1; readonly OUTRO: 2 };
export type PhaseNumber = 0 | 1 | 2;

/** Flags of Playback.advance, or-ed together. */
export declare const Step: { readonly CROSSED_PHASE: 1; readonly WRAPPED: 2; readonly FINISHED: 4 };

/** A document or binary clip that the library refused, or a bad argument.
 * message reads "LINE:COLUMN: POINTER: reason" (the parts that apply). */
export declare class AnimationModelError extends Error {
    readonly status: number;
    /** 1-based line of the refused value in a JSON text; 0 when not located. */
    readonly line: number;
    /** 1-based column, in characters; 0 when not located. */
    readonly column: number;
    /** JSON Pointer of the refused value; "" for none. */
    readonly pointer: string;
    /** The reason alone. */
    readonly reason: string;
}

/** What a cursor wrote, one entry per channel (or per requested channel).
 * values: the Linear key's value, else held from the channel's last Linear
 * key, else NaN; effects: the covering key's effect, 0 where none; keyed: 1
 * where a key covers the position. */
export declare class Sample {
    constructor(count: number);
    values: Float32Array;
    effects: Int32Array;
    keyed: Uint8Array;
}

/** A compiled animation: immutable, shared by any number of cursors. */
export declare class Clip {
    private constructor();
    readonly channelCount: number;
    readonly fps: number;
    /** The length in frames, the three phases together. */
    readonly frameCount: number;
    /** The name of channel `index`, or undefined when out of range. */
    channelName(index: number): string | undefined;
    channelNames(): string[];
    /** The index of the channel named `name`, or -1. */
    findChannel(name: string): number;
    phaseStart(phase: 0 | 1 | 2): number;
    phaseFrameCount(phase: 0 | 1 | 2): number;
    /** True when the clip was compiled from a timeline (as its body). */
    readonly fromTimeline: boolean;
    /** The phase playing at the whole frame `frame`, or -1 past the end. */
    phaseAt(frame: number): PhaseNumber | -1;
    /** The key of `channel` playing at the whole frame `frame`: its index in
     * its phase and the frames since it started; null where none plays. */
    keyAt(channel: number, frame: number): { key: number; offset: number } | null;
    /** The nearest frame past `frame` (direction > 0) or before it where a
     * phase or any channel's key starts, or the clip ends; `frame` if none. */
    keyBoundary(frame: number, direction: number): number;
    cursor(): Cursor;
    playback(): Playback;
    /** Frees the clip and its cursors now (else when collected). */
    free(): void;
}

/** The sampling state of one playing instance. Positions below 0 or NaN
 * count as 0, positions past the end as the end. */
export declare class Cursor {
    private constructor();
    /** Every channel at `frame`, whole or fractional, into `into` if given. */
    sampleFrame(frame: number, into?: Sample): Sample;
    /** Every channel at `seconds` (frame = seconds * fps). */
    sampleSeconds(seconds: number, into?: Sample): Sample;
    /** Entry i is channel channels[i]; an index out of range gives NaN, 0, 0. */
    sampleChannels(frame: number, channels: ArrayLike<number>, into?: Sample): Sample;
    /** Every channel at the exact position of `playback`, a playback of this cursor's clip. */
    samplePlayback(playback: Playback, into?: Sample): Sample;
    free(): void;
}

/** A playing position over a clip's phases: the intro once, the body
 * repeated while loopBody is set and no finish is requested, then the outro. */
export declare class Playback {
    private constructor();
    /** The position from the clip's frame 0, rounded down to a double (for
     * display; Cursor.samplePlayback samples the exact position). */
    readonly frame: number;
    /** Finite and >= 0 (else a RangeError, and no change); 1 at the start. */
    speed: number;
    /** True at the start. */
    loopBody: boolean;
    finishRequested: boolean;
    /** Moves by seconds * fps * speed; the Step flags of what happened. */
    advance(seconds: number): number;
    /** How many times the last advance wrapped the body. */
    readonly wraps: number;
    /** Back to frame 0; the speed and the switches stay. */
    restart(): void;
    /** The phase of the position (OUTRO at the end). */
    readonly phase: PhaseNumber;
    /** True at the end. */
    readonly ended: boolean;
    /** Whole frames from the phase's first frame and the fraction past them. */
    readonly phaseFrame: { frames: number; fraction: number };
    free(): void;
}

/** The library over its WebAssembly module. */
export declare class AnimationModel {
    private constructor();
    /** "MAJOR.MINOR.PATCH". */
    readonly version: string;
    /** A float's text as every format writes it (the shortest that reads
     * back to the same float32; NaN, Infinity, -Infinity). */
    floatText(value: number): string;
    /** An effect's text: "Linear", "Held1", "Held2", "Held3", or its number. */
    effectText(effect: number): string;
    /** The clip of a JSON document: its text, or its UTF-8 bytes. */
    clipFromJson(json: string | ArrayBuffer | ArrayBufferView): Clip;
    /** The clip of a binary clip file's bytes (copied). */
    clipFromBinary(data: ArrayBuffer | ArrayBufferView): Clip;
    /** A string as a JSON document; bytes of either format (a binary clip
     * file or a JSON document), told apart by their content. */
    loadClip(data: string | ArrayBuffer | ArrayBufferView): Clip;
}

export interface LoadOptions {
    /** The bytes of animationmodel-wasm.wasm, when the page has them already. */
    wasmBinary?: ArrayBuffer | Uint8Array;
}

/** The library, ready to use (in a page, the wasm file is fetched from beside the module). */
export declare function loadAnimationModel(options?: LoadOptions): Promise<AnimationModel>;
export default loadAnimationModel;
