// <animation-player>: plays a clip of the library with its controls and a
// readout of every layer at the frame shown. Every value, effect, key and
// text comes from the module; this file only lays out and schedules. Its
// ids and styles stay in its shadow root; its keyboard shortcuts act only
// while it (or something in it) has focus. Fed a URL (src), bytes or text
// (load()); a page may put its picture in the slot "picture" (an <svg> with
// data-plot-left, -right, -top, -bottom and -frames gets a playhead and
// scrubbing).

import { Picture, Readout, controlsHtml, playerStyle, readoutHtml } from './playerview.mjs';

/** The element's class over a promise of the library (an AnimationModel). */
export function animationPlayerClass(modelPromise) {
    return class AnimationPlayerElement extends HTMLElement {
        static get observedAttributes() {
            return ['src'];
        }

        #root;
        #player = null; // the loaded clip's state, once loaded
        #queued = { frame: 0, speed: 1, loop: 'none' };

        constructor() {
            super();
            this.#root = this.attachShadow({ mode: 'open' });
        }

        connectedCallback() {
            if (!this.hasAttribute('tabindex')) {
                this.tabIndex = 0;
            }
        }

        disconnectedCallback() {
            this.#player?.pause();
        }

        attributeChangedCallback(name, before, after) {
            if (name === 'src' && after !== null && after !== before) {
                this.load(fetch(after).then(response => {
                    if (!response.ok) {
                        throw new Error(`${after}: ${response.status} ${response.statusText}`);
                    }
                    return response.arrayBuffer();
                }));
            }
        }

        get src() {
            return this.getAttribute('src') ?? '';
        }

        set src(url) {
            this.setAttribute('src', url);
        }

        /** Plays `data`: a JSON document's text, or the bytes of either
         * format (or a promise of them). Resolves once shown; an error
         * (the library's AnimationModelError for a refused clip) rejects it
         * and is also sent as an "error" event. */
        async load(data) {
            try {
                const [model, content] = await Promise.all([modelPromise, data]);
                const clip = model.loadClip(content);
                this.#player?.free();
                this.#player = new PlayerState(this, this.#root, model, clip);
                this.#player.seek(this.#queued.frame);
                this.speed = this.#queued.speed;
                this.loop = this.#queued.loop;
                this.dispatchEvent(new CustomEvent('ready'));
            } catch (error) {
                this.dispatchEvent(new CustomEvent('error', { detail: error }));
                throw error;
            }
        }

        /** The shown frame; setting it seeks. */
        get frame() {
            return this.#player?.frame ?? this.#queued.frame;
        }

        set frame(value) {
            this.seek(value);
        }

        get playing() {
            return this.#player?.playing ?? false;
        }

        set playing(value) {
            value ? this.play() : this.pause();
        }

        /** 0.25, 0.5, 1, 2 or 4 from the list; any finite rate >= 0 from a script. */
        get speed() {
            return this.#player?.speed ?? this.#queued.speed;
        }

        set speed(value) {
            this.#queued.speed = Number(value);
            this.#player?.setSpeed(Number(value));
        }

        /** "none", "all" (the whole animation) or "body". */
        get loop() {
            return this.#player?.loop ?? this.#queued.loop;
        }

        set loop(value) {
            this.#queued.loop = String(value);
            this.#player?.setLoop(String(value));
        }

        get frameCount() {
            return this.#player?.frameCount ?? 0;
        }

        get fps() {
            return this.#player?.fps ?? NaN;
        }

        /** Each phase's name, first frame and length. */
        get phases() {
            return this.#player?.phases.map(p => ({ ...p })) ?? [];
        }

        /** The loaded clip (the module's Clip), or null. */
        get clip() {
            return this.#player?.clip ?? null;
        }

        play() {
            this.#player?.play();
        }

        pause() {
            this.#player?.pause();
        }

        /** Shows the nearest frame: below 0 or NaN gives 0, past the end the last. */
        seek(frame) {
            if (this.#player) {
                this.#player.seek(frame);
            } else {
                this.#queued.frame = frame;
            }
        }

        /** The readout's rows at the frame shown: the columns of the tool's `sample` CSV. */
        rows() {
            return this.#player?.rowsAt(this.frame) ?? [];
        }

        /** The rows at a whole frame; none elsewhere. */
        rowsAt(frame) {
            return this.#player?.rowsAt(frame) ?? [];
        }

        /** Frees the clip and stops; the element shows nothing until loaded again. */
        unload() {
            this.#player?.free();
            this.#player = null;
            this.#root.replaceChildren();
        }
    };
}

/** Defines `name` (default animation-player) with the library of
 * `modelPromise`, once; returns the class. */
export function defineAnimationPlayer(modelPromise, name = 'animation-player') {
    const existing = customElements.get(name);
    if (existing) {
        return existing;
    }
    const element = animationPlayerClass(modelPromise);
    customElements.define(name, element);
    return element;
}

// What a loaded element plays: the clip, its playback and the shown parts.
class PlayerState {
    constructor(host, root, model, clip) {
        this.host = host;
        this.model = model;
        this.clip = clip;
        this.cursor = clip.cursor();
        this.playback = clip.playback();
        this.fps = clip.fps;
        this.frameCount = clip.frameCount;
        this.names = clip.channelNames();
        const timeline = clip.fromTimeline;
        this.phaseNames = timeline ? ['timeline', 'timeline', 'timeline'] : ['intro', 'body', 'outro'];
        this.phases = (timeline ? [1] : [0, 1, 2]).map(phase => ({
            name: this.phaseNames[phase], start: clip.phaseStart(phase), length: clip.phaseFrameCount(phase),
        }));
        this.frame = 0;
        this.playing = false;
        this.speed = 1;
        this.loop = 'none';
        this.playStart = 0;
        this.anchor = { time: 0, frame: 0 };
        this.shownPhase = null;
        this.scheduled = null;
        this.active = new Uint32Array(0);
        this.activeFrame = -1;
        this.build(root, timeline);
    }

    free() {
        this.pause();
        this.playback.free();
        this.clip.free();
    }

    // " of NAME" for the player's aria-label or title, escaped for an attribute; else nothing.
    playerName() {
        const name = this.host.getAttribute('aria-label') ?? this.host.getAttribute('title');
        const escaped = name?.replace(/&/g, '&amp;').replace(/"/g, '&quot;').replace(/</g, '&lt;');
        return escaped ? ` of ${escaped}` : '';
    }

    build(root, timeline) {
        root.innerHTML = `<style>${playerStyle}</style><slot name="picture"></slot>
<input type="range" class="scrubber" id="scrubber" min="0" max="${Math.max(this.frameCount - 1, 0)}" value="0" aria-label="Frame">
${controlsHtml(timeline)}
${readoutHtml(this.playerName())}`;
        this.root = root;
        const part = id => root.getElementById(id);
        this.counter = part('counter');
        this.readoutBox = part('readout-box');
        this.table = part('readout');
        this.tbody = this.table.tBodies[0];
        this.playButton = part('play');
        this.speedSelect = part('speed');
        this.loopSelect = part('loop');
        this.scrubber = part('scrubber');
        this.readout = new Readout(this);
        this.picture = new Picture(this, root.querySelector('slot'));
        this.connectControls(part);
    }

    connectControls(part) {
        const second = Math.max(1, Math.round(this.fps));
        const actions = {
            'play': () => (this.playing ? this.pause() : this.play()),
            'back-second': () => this.seek(this.frame - second),
            'back-frame': () => this.seek(this.frame - 1),
            'forward-frame': () => this.seek(this.frame + 1),
            'forward-second': () => this.seek(this.frame + second),
            'previous-key': () => this.seek(this.clip.keyBoundary(this.frame, -1)),
            'next-key': () => this.seek(this.clip.keyBoundary(this.frame, 1)),
            'start': () => this.seek(0),
            'end': () => this.seek(this.frameCount - 1),
            'phase-0': () => this.seek(this.clip.phaseStart(0)),
            'phase-1': () => this.seek(this.clip.phaseStart(1)),
            'phase-2': () => this.seek(this.clip.phaseStart(2)),
        };
        for (const [name, action] of Object.entries(actions)) {
            part(name)?.addEventListener('click', action);
        }
        this.speedSelect.addEventListener('change', () => this.setSpeed(Number(this.speedSelect.value)));
        this.loopSelect.addEventListener('change', () => this.setLoop(this.loopSelect.value));
        this.scrubber.addEventListener('input', () => this.seek(Number(this.scrubber.value)));
        const shortcuts = part('shortcuts');
        const shortcutsButton = part('shortcuts-button');
        const toggle = open => {
            shortcuts.hidden = !open;
            shortcutsButton.setAttribute('aria-expanded', String(open));
        };
        shortcutsButton.addEventListener('click', () => toggle(shortcuts.hidden));
        const keys = event => ({
            ' ': actions.play,
            'ArrowLeft': event.shiftKey ? actions['back-second'] : actions['back-frame'],
            'ArrowRight': event.shiftKey ? actions['forward-second'] : actions['forward-frame'],
            ',': actions['previous-key'],
            '.': actions['next-key'],
            'Enter': () => this.stopAndReturn(),
            'Home': actions.start,
            'End': actions.end,
            '1': actions['phase-0'],
            '2': this.phases.length > 1 ? actions['phase-1'] : actions['phase-0'],
            '3': this.phases.length > 1 ? actions['phase-2'] : actions['phase-0'],
            'l': () => this.cycleLoop(),
            'L': () => this.cycleLoop(),
            '?': () => toggle(shortcuts.hidden),
            'Escape': () => toggle(false),
        })[event.key];
        // On the host: only keys pressed while the focus is inside it. A
        // focused list or slider keeps every key; a focused button Space and Enter.
        this.onKey = event => {
            const target = event.composedPath()[0];
            if (event.ctrlKey || event.metaKey || event.altKey || target instanceof HTMLSelectElement
                || target instanceof HTMLInputElement) {
                return;
            }
            if ((event.key === ' ' || event.key === 'Enter') && target instanceof HTMLButtonElement) {
                return;
            }
            const action = keys(event);
            if (action) {
                event.preventDefault();
                action();
            }
        };
        this.host.addEventListener('keydown', this.onKey);
    }

    cycleLoop() {
        const options = [...this.loopSelect.options].map(option => option.value);
        this.setLoop(options[(options.indexOf(this.loop) + 1) % options.length]);
    }

    // The nearest whole frame of the clip.
    clamp(frame) {
        const rounded = Math.round(Number(frame));
        return rounded > 0 ? Math.min(rounded, Math.max(this.frameCount - 1, 0)) : 0;
    }

    seek(frame) {
        this.frame = this.clamp(frame);
        if (this.playing) {
            this.anchorHere();
        }
        this.show();
    }

    setSpeed(speed) {
        if (!(Number.isFinite(speed) && speed >= 0)) {
            throw new RangeError(`speed ${speed}: must be finite and not negative`);
        }
        this.speed = speed;
        this.speedSelect.value = String(speed);
        if (this.playing) {
            this.anchorHere();
        }
    }

    setLoop(loop) {
        if (![...this.loopSelect.options].some(option => option.value === loop)) {
            throw new RangeError(`loop "${loop}": must be one of none, all${this.phases.length > 1 ? ', body' : ''}`);
        }
        this.loop = loop;
        this.loopSelect.value = loop;
        if (this.playing) {
            this.anchorHere();
        }
    }

    anchorHere() {
        this.anchor = { time: performance.now(), frame: this.frame };
    }

    // The playback at the whole frame `frame` (its phases played once to
    // get there), then `seconds` further at the speed and loop chosen.
    playbackAt(frame, seconds) {
        const playback = this.playback;
        playback.restart();
        playback.loopBody = false;
        playback.finishRequested = false;
        playback.speed = 1;
        playback.advance(frame / this.fps);
        if (Math.floor(playback.frame) < frame) { // a quotient a hair short of the frame
            playback.advance(1e-9);
        }
        playback.loopBody = this.loop === 'body';
        playback.speed = this.speed;
        return playback.advance(seconds);
    }

    play() {
        if (this.playing || this.frameCount === 0) {
            return;
        }
        if (this.frame >= this.frameCount - 1 && this.loop === 'none') {
            this.frame = 0;
        }
        this.playing = true;
        this.playStart = this.frame;
        this.anchorHere();
        this.playButton.textContent = 'pause';
        this.show();
        this.host.dispatchEvent(new CustomEvent('play', { detail: { frame: this.frame } }));
        this.schedule();
    }

    pause() {
        if (!this.playing) {
            return;
        }
        this.playing = false;
        this.playButton.textContent = 'play';
        this.show();
        this.host.dispatchEvent(new CustomEvent('pause', { detail: { frame: this.frame } }));
    }

    stopAndReturn() {
        const start = this.playStart;
        this.pause();
        this.seek(start);
    }

    // The next tick comes with the next animation frame, or after 16 ms when
    // the browser draws no frame (a hidden or headless page).
    schedule() {
        if (this.scheduled !== null) {
            return;
        }
        const run = () => {
            cancelAnimationFrame(this.scheduled.frame);
            clearTimeout(this.scheduled.timer);
            this.scheduled = null;
            this.tick(performance.now());
        };
        this.scheduled = { frame: requestAnimationFrame(run), timer: setTimeout(run, 16) };
    }

    // The frame real time has reached since the anchor, by the library's
    // playback: frames are skipped, never time stretched, when the browser is slow.
    tick(now) {
        if (!this.playing) {
            return;
        }
        const flags = this.playbackAt(this.anchor.frame, (now - this.anchor.time) / 1000);
        if (this.playback.ended || (flags & 4) !== 0) {
            if (this.loop === 'all') { // again from frame 0, as far into it as time has gone past the end
                const rate = this.fps * this.speed;
                const past = ((now - this.anchor.time) / 1000 * rate + this.anchor.frame) % this.frameCount;
                const into = Number.isFinite(past) ? past : 0;
                this.anchor = { time: now - (into / rate) * 1000, frame: 0 };
                this.frame = Math.min(Math.floor(into), this.frameCount - 1);
                this.show();
                this.schedule();
                return;
            }
            this.frame = Math.max(this.frameCount - 1, 0);
            this.pause();
            this.host.dispatchEvent(new CustomEvent('ended', { detail: { frame: this.frame } }));
            return;
        }
        const frame = Math.floor(this.playback.frame);
        if (frame !== this.frame) {
            this.frame = frame;
            this.show();
        }
        this.schedule();
    }

    show() {
        this.readout.show(this.frame);
        this.picture.show(this.frame);
        this.scrubber.value = String(this.frame);
        const seconds = this.model.floatText(Math.fround(this.frame / this.fps));
        this.counter.textContent = `frame ${this.frame} of ${this.frameCount} \u00b7 ${seconds} s at `
            + `${this.model.floatText(this.fps)} fps`;
        if (this.shownFrame !== this.frame) {
            this.shownFrame = this.frame;
            this.host.dispatchEvent(new CustomEvent('frame', { detail: { frame: this.frame } }));
        }
        const phase = this.phaseNames[this.clip.phaseAt(this.frame)] ?? null;
        if (phase !== this.shownPhase) {
            this.shownPhase = phase;
            this.host.dispatchEvent(new CustomEvent('phase', { detail: { phase, frame: this.frame } }));
        }
    }

    // The channels with a key at the whole frame `frame`, in name order.
    activeAt(frame) {
        if (frame !== this.activeFrame) {
            const sample = this.cursor.sampleFrame(frame, this.sample);
            this.sample = sample;
            const active = [];
            if (this.clip.phaseAt(frame) >= 0) {
                sample.keyed.forEach((keyed, channel) => keyed && active.push(channel));
            }
            this.active = active;
            this.activeFrame = frame;
        }
        return this.active;
    }

    // Row `i` of the frame `frame`: the CSV columns of `animationmodel sample`.
    rowOf(frame, i) {
        const channel = this.active[i];
        const { key, offset } = this.clip.keyAt(channel, frame);
        const effect = this.sample.effects[channel];
        const value = effect === 0 ? this.model.floatText(this.sample.values[channel]) : '';
        return [String(frame), this.phaseNames[this.clip.phaseAt(frame)], this.names[channel], String(key),
            String(offset), this.model.effectText(effect), value];
    }

    rowsAt(frame) {
        if (!Number.isInteger(frame) || frame < 0 || frame >= this.frameCount) {
            return [];
        }
        return this.activeAt(frame).map((_, i) => this.rowOf(frame, i));
    }
}
