// Declarations of the element module (element.mjs and playerelement.mjs).
import type { AnimationModel, Clip } from './animationmodel.js';

/** Detail of the element's events: frame, play, pause, ended; phase adds the phase's name. */
export interface PlayerEventDetail {
    frame: number;
    phase?: string | null;
}

/** <animation-player>: a clip played with its controls and readout. Events
 * (CustomEvent<PlayerEventDetail>): frame, play, pause, phase, ended, ready, error. */
export declare class AnimationPlayerElementBase extends HTMLElement {
    /** A URL to fetch the clip from (a JSON document or a binary clip). */
    src: string;
    /** Plays a JSON document's text or the bytes of either format. */
    load(data: string | ArrayBuffer | ArrayBufferView | Promise<string | ArrayBuffer | ArrayBufferView>): Promise<void>;
    /** The whole frame shown; setting it seeks. */
    frame: number;
    playing: boolean;
    /** Finite and >= 0, else a RangeError. */
    speed: number;
    /** "none", "all" or "body" (not for a timeline), else a RangeError. */
    loop: 'none' | 'all' | 'body';
    readonly frameCount: number;
    readonly fps: number;
    readonly phases: { name: string; start: number; length: number }[];
    readonly clip: Clip | null;
    play(): void;
    pause(): void;
    /** The nearest frame: below 0 or NaN gives 0, past the end the last. */
    seek(frame: number): void;
    /** The readout's rows at the frame shown, as the tool's sample CSV's columns. */
    rows(): string[][];
    rowsAt(frame: number): string[][];
    /** Frees the clip; the element shows nothing until loaded again. */
    unload(): void;
}

export declare function animationPlayerClass(model: Promise<AnimationModel>): typeof AnimationPlayerElementBase;
export declare function defineAnimationPlayer(model: Promise<AnimationModel>, name?: string):
    typeof AnimationPlayerElementBase;
export declare const AnimationPlayerElement: typeof AnimationPlayerElementBase;
