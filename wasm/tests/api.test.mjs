// The ES module's own work: errors as exceptions with their place, names
// in and out as UTF-8, the buffers it fills, the playback's fields, freeing.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';
import { setFlagsFromString } from 'node:v8';
import { runInNewContext } from 'node:vm';

import { loadModule, root, wasmDir } from './helpers.mjs';

const am = await loadModule();
const { AnimationModelError, Phase, Sample, Status, Step } = await import(join(wasmDir, 'animationmodel.mjs'));
setFlagsFromString('--expose-gc');
const collect = runInNewContext('gc');
const show = readFileSync(join(root, 'examples/data/show.animation.json'), 'utf8');

function refusal(load) {
    try {
        load();
    } catch (error) {
        assert.ok(error instanceof AnimationModelError, String(error));
        return error;
    }
    assert.fail('not refused');
}

test('a refused document throws its line, column, pointer and reason', () => {
    const text = '{"format": "animationmodel", "version": 1,\n "body": {"fade": [\n  {"effect": "Held1", "duration": 0}]}}';
    const error = refusal(() => am.clipFromJson(text));
    assert.equal(error.status, Status.FORMAT_ERROR);
    assert.equal(error.line, 3);
    assert.equal(error.column, 35);
    assert.equal(error.pointer, '/body/fade/0/duration');
    assert.equal(error.reason, 'Duration of AnimationKeyCommand must be > 0');
    assert.equal(error.message, '3:35: /body/fade/0/duration: Duration of AnimationKeyCommand must be > 0');
    const syntax = refusal(() => am.clipFromJson('{"format": "animationmodel",\n  ]'));
    assert.deepEqual([syntax.line, syntax.column, syntax.pointer], [2, 3, '/format']);
});

test('a document in bytes reads as its text; a binary clip is refused as JSON and the reverse', () => {
    const clip = am.clipFromJson(new TextEncoder().encode(show));
    assert.equal(clip.frameCount, 96);
    const binaryMagic = refusal(() => am.clipFromBinary(new TextEncoder().encode(show)));
    assert.equal(binaryMagic.status, Status.FORMAT_ERROR);
    assert.match(binaryMagic.reason, /^byte 0: /);
    assert.equal(refusal(() => am.clipFromBinary(new Uint8Array(0))).status, Status.FORMAT_ERROR);
    assert.throws(() => am.clipFromBinary('text'), TypeError);
    clip.free();
});

test('names cross as UTF-8, NUL bytes included, and are found by name', () => {
    const text = '{"format": "animationmodel-timeline", "version": 1, "layers":'
        + ' {"z\\u0000a": [], "名前": [{"effect": 7, "duration": 2}], "é": []}}';
    const clip = am.clipFromJson(text);
    assert.deepEqual(clip.channelNames(), ['z\u0000a', 'é', '名前']);
    assert.equal(clip.findChannel('名前'), 2);
    assert.equal(clip.findChannel('z\u0000a'), 0);
    assert.equal(clip.findChannel('z'), -1);
    assert.equal(clip.channelName(3), undefined);
    assert.equal(clip.channelName(-1), undefined);
    const sample = clip.cursor().sampleFrame(1);
    assert.deepEqual(Array.from(sample.effects), [0, 0, 7]);
    assert.deepEqual(Array.from(sample.keyed), [0, 0, 1]);
    clip.free();
});

test('the clip tells its rate and phases', () => {
    const clip = am.loadClip(show);
    assert.equal(clip.fps, 25);
    assert.deepEqual([0, 1, 2].map(phase => clip.phaseStart(phase)), [0, 24, 72]);
    assert.deepEqual([0, 1, 2].map(phase => clip.phaseFrameCount(phase)), [24, 48, 24]);
    assert.equal(clip.phaseStart(3), 0);
    clip.free();
});

test('a sample fills the given buffers; chosen channels come in their order', () => {
    const clip = am.loadClip(show);
    const cursor = clip.cursor();
    const into = new Sample(clip.channelCount);
    assert.equal(cursor.sampleFrame(12, into), into);
    const opacity = clip.findChannel('opacity');
    assert.equal(into.values[opacity], Math.fround(0.5));
    assert.deepEqual(cursor.sampleSeconds(12 / 25).values, into.values);
    const some = cursor.sampleChannels(12, [opacity, 99, opacity]);
    assert.deepEqual(Array.from(some.values), [0.5, NaN, 0.5]);
    assert.deepEqual(Array.from(some.keyed), [1, 0, 1]);
    // More channels asked than the clip has: the cursor's room grows.
    assert.equal(cursor.sampleChannels(0, new Array(50).fill(opacity)).values.length, 50);
    clip.free();
});

test('the playback moves, loops, finishes and reports its steps', () => {
    const clip = am.loadClip(show);
    const playback = clip.playback();
    assert.deepEqual([playback.frame, playback.speed, playback.loopBody, playback.finishRequested], [0, 1, true, false]);
    assert.equal(playback.advance(1), Step.CROSSED_PHASE);
    assert.deepEqual([playback.frame, playback.phase], [25, Phase.BODY]);
    assert.equal(playback.advance(2), Step.WRAPPED);
    assert.equal(playback.frame, 27);
    playback.speed = 0.5;
    playback.advance(2);
    assert.equal(playback.frame, 52);
    playback.finishRequested = true;
    assert.equal(playback.advance(100), Step.CROSSED_PHASE | Step.FINISHED);
    assert.deepEqual([playback.frame, playback.phase, playback.ended], [96, Phase.OUTRO, true]);
    const once = clip.playback();
    once.loopBody = false;
    assert.equal(once.loopBody, false);
    once.advance(3);
    assert.deepEqual([once.frame, once.phase, once.ended], [75, Phase.OUTRO, false]);
    assert.throws(() => { once.speed = -1; }, /speed -1: must be finite and not negative/);
    assert.equal(once.speed, 1);
    // A fraction: the exact position samples as the frame it rounds to.
    once.restart();
    once.advance(1.3 / clip.fps);
    assert.deepEqual(once.phaseFrame, { frames: 1, fraction: once.phaseFrame.fraction });
    assert.ok(once.phaseFrame.fraction > 0.29 && once.phaseFrame.fraction < 0.31);
    const cursor = clip.cursor();
    assert.deepEqual(cursor.samplePlayback(once), cursor.sampleFrame(once.frame));
    // Wrapping: the body's wraps of the last step.
    const looping = clip.playback();
    looping.advance(1 + 50 * (clip.phaseFrameCount(Phase.BODY) / clip.fps));
    assert.equal(looping.wraps, 50);
    playback.free();
    assert.throws(() => playback.frame, /freed/);
    clip.free();
});

test('the page\'s queries: phases, keys, boundaries and texts', () => {
    const clip = am.loadClip(show);
    const glow = clip.findChannel('glow');
    assert.deepEqual([clip.fromTimeline, clip.phaseAt(23), clip.phaseAt(24), clip.phaseAt(95), clip.phaseAt(96)],
        [false, 0, 1, 2, -1]);
    assert.deepEqual([clip.keyAt(glow, 7), clip.keyAt(glow, 8), clip.keyAt(glow, 23)],
        [{ key: 0, offset: 7 }, { key: 1, offset: 0 }, { key: 1, offset: 15 }]);
    assert.equal(clip.keyAt(glow, 96), null);
    assert.equal(clip.keyAt(99, 3), null);
    assert.deepEqual([clip.keyBoundary(10, 1), clip.keyBoundary(10, -1), clip.keyBoundary(8, -1)], [12, 8, 0]);
    assert.deepEqual([clip.keyBoundary(95, 1), clip.keyBoundary(96, 1), clip.keyBoundary(0, -1)], [96, 96, 0]);
    assert.deepEqual([am.floatText(Math.fround(0.1)), am.floatText(1e-45), am.floatText(-Infinity), am.floatText(NaN)],
        ['0.1', '1e-45', '-Infinity', 'NaN']);
    assert.deepEqual([0, 2, 4, -1].map(effect => am.effectText(effect)), ['Linear', 'Held2', '4', '-1']);
    const timeline = am.loadClip(readFileSync(join(root, 'examples/data/show.timeline.json'), 'utf8'));
    assert.deepEqual([timeline.fromTimeline, timeline.phaseAt(0)], [true, 1]);
});

test('bytes of either format load as the loader tells them apart', () => {
    const fromBytes = am.loadClip(new TextEncoder().encode(show));
    assert.deepEqual(fromBytes.channelNames(), am.loadClip(show).channelNames());
    assert.throws(() => am.loadClip(new Uint8Array([0x7b, 0x20])), error => error.line === 1 && error.column > 0);
});

test('freeing a clip frees its cursors; a freed object refuses to be used', () => {
    const clip = am.loadClip(show);
    const cursor = clip.cursor();
    clip.free();
    clip.free();
    assert.throws(() => clip.channelCount, /the clip was freed/);
    assert.throws(() => cursor.sampleFrame(0), /the cursor was freed/);
});

test('the one-file module gives the same module', async () => {
    const inline = await (await import(join(wasmDir, 'inline.mjs'))).loadAnimationModel();
    assert.equal(inline.version, am.version);
    const a = inline.loadClip(show).cursor().sampleFrame(30.25);
    const b = am.loadClip(show).cursor().sampleFrame(30.25);
    assert.deepEqual(a, b);
});

test('the version is the package\'s', () => {
    const pkg = JSON.parse(readFileSync(join(wasmDir, 'package.json'), 'utf8'));
    assert.equal(am.version, pkg.version);
});

test('clips and cursors left to the collector give their memory back, cursors first', async () => {
    const { AnimationModel } = await import(join(wasmDir, 'binding.mjs'));
    // A module whose frees are watched: a clip freed while a cursor of it
    // lives is a fault.
    const { default: factory } = await import(join(wasmDir, 'animationmodel-wasm.mjs'));
    const wasm = await factory({ wasmBinary: readFileSync(join(wasmDir, 'animationmodel-wasm.wasm')) });
    const live = new Map();
    const faults = [];
    const freed = { clips: 0 };
    // The exports themselves: Emscripten's stubs on the module replace themselves when first called.
    const [createCursor, freeCursor, freeClip] = [wasm.asm.am_cursor_create, wasm.asm.am_cursor_free, wasm.asm.am_clip_free];
    wasm._am_cursor_create = (clip, out, error) => {
        const status = createCursor(clip, out, error);
        live.set(wasm.HEAPU32[out >> 2], clip);
        return status;
    };
    wasm._am_cursor_free = cursor => {
        live.delete(cursor);
        freeCursor(cursor);
    };
    wasm._am_clip_free = clip => {
        if ([...live.values()].includes(clip)) {
            faults.push('a clip freed before its cursor');
        }
        freeClip(clip);
        freed.clips += 1;
    };
    const model = new AnimationModel(wasm);
    (() => {
        for (let i = 0; i < 50; ++i) {
            const clip = model.loadClip(show);
            clip.cursor().sampleFrame(3);
            clip.cursor();
        }
    })();
    for (let round = 0; round < 20 && freed.clips < 50; ++round) {
        collect();
        await new Promise(resolve => setTimeout(resolve, 10));
    }
    assert.equal(live.size, 0, 'cursors left');
    assert.deepEqual(faults, []);
    assert.equal(freed.clips, 50);
});
