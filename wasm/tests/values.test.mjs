// The module's samples against the native library's: `animationmodel
// sample` at every whole frame, and the C interface (reference.c) at whole,
// fractional and out-of-range frames and at seconds, bit for bit, for the
// show example and random documents, each loaded as JSON and as a binary
// clip file.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';

import {
    loadModule, random, randomDocument, referenceSamples, root, run, sampleRows, scratchFile, tool, unquotedName,
} from './helpers.mjs';

const am = await loadModule();
const effectNumbers = { Linear: 0, Held1: 1, Held2: 2, Held3: 3 };
const bits = new DataView(new ArrayBuffer(4));

function floatBits(value) {
    bits.setFloat32(0, value, true);
    return bits.getUint32(0, true);
}

// The CSV of `sample` against the module at every whole frame: the keyed
// channels, their effects and (Linear keys) values; the others unkeyed.
function compareWithTool(clip, rows, label) {
    const cursor = clip.cursor();
    const byFrame = new Map();
    for (const row of rows) {
        byFrame.set(row.frame, [...(byFrame.get(row.frame) ?? []), row]);
    }
    for (let frame = 0; frame < clip.frameCount; ++frame) {
        const sample = cursor.sampleFrame(frame);
        const keyed = new Uint8Array(clip.channelCount);
        for (const row of byFrame.get(frame) ?? []) {
            // A name with a control character comes quoted for a shell.
            const found = clip.findChannel(row.layer);
            const channel = found === -1 ? clip.findChannel(unquotedName(row.layer)) : found;
            const where = `${label}: frame ${frame}, layer ${JSON.stringify(row.layer)}`;
            assert.notEqual(channel, -1, where);
            keyed[channel] = 1;
            assert.equal(sample.effects[channel], effectNumbers[row.effect] ?? Number(row.effect), where);
            if (row.effect === 'Linear') {
                assert.equal(floatBits(sample.values[channel]), floatBits(Math.fround(Number(row.value))), where);
            }
        }
        assert.deepEqual(sample.keyed, keyed, `${label}: frame ${frame}`);
    }
    cursor.free();
}

// Whole frames around the phases' bounds, random fractional ones, and
// seconds: the module's samples equal the C interface's, every bit.
function positionsOf(clip, rand) {
    const end = clip.frameCount;
    const positions = [0, -1, -0.5, end, end + 0.25, end + 7, 'nan'];
    for (const phase of [1, 2]) {
        const start = clip.phaseStart(phase);
        positions.push(start - 1, start, start - 1e-9, start + 0.5);
    }
    for (let i = 0; i < 24; ++i) {
        positions.push(rand() * (end + 2) - 1, Math.floor(rand() * (end + 1)));
        positions.push(`s${rand() * (end / clip.fps + 1)}`);
    }
    return positions;
}

function compareWithReference(clip, path, positions, label) {
    const expected = referenceSamples(path, positions);
    const cursor = clip.cursor();
    positions.forEach((position, i) => {
        const sample = typeof position === 'string' && position[0] === 's'
            ? cursor.sampleSeconds(Number(position.slice(1)))
            : cursor.sampleFrame(position === 'nan' ? NaN : position);
        const actual = Array.from(sample.values, (value, channel) =>
            [floatBits(value), sample.effects[channel], sample.keyed[channel]]);
        assert.deepEqual(actual, expected[i], `${label}: at ${position}`);
    });
    cursor.free();
}

// One document, JSON and binary, against the tool and the reference.
function check(name, text, rand) {
    const jsonPath = scratchFile(`${name}.json`, text);
    const binaryPath = join(scratchFile(`${name}.clip`, ''));
    run(tool, ['compile', jsonPath, '-o', binaryPath]);
    const rows = sampleRows(jsonPath);
    const fromJson = am.clipFromJson(text);
    const fromBinary = am.clipFromBinary(readFileSync(binaryPath));
    const positions = positionsOf(fromJson, rand);
    for (const [clip, path, kind] of [[fromJson, jsonPath, 'JSON'], [fromBinary, binaryPath, 'binary']]) {
        compareWithTool(clip, rows, `${name} (${kind})`);
        compareWithReference(clip, path, positions, `${name} (${kind})`);
        clip.free();
    }
}

test('the show example samples as the native library does', () => {
    const text = readFileSync(join(root, 'examples/data/show.animation.json'), 'utf8');
    check('show', text, random(1));
    check('show-timeline', readFileSync(join(root, 'examples/data/show.timeline.json'), 'utf8'), random(2));
});

test('random documents sample as the native library does', () => {
    const seed = Number(process.env.ANIMATIONMODEL_SEED ?? 2026);
    const rand = random(seed);
    let loaded = 0;
    for (let i = 0; i < 300; ++i) {
        const text = randomDocument(rand);
        let refused = null;
        try {
            am.clipFromJson(text).free();
        } catch (error) {
            refused = error;
        }
        if (refused) {
            // Refused here, refused natively, with the same message.
            const path = scratchFile(`refused-${i}.json`, text);
            const native = spawnSync(tool, ['check', path], { encoding: 'utf8' });
            assert.equal(native.status, 1);
            assert.ok(native.stderr.includes(`.json:${refused.message}\n`), `${native.stderr} / ${refused.message}`);
            continue;
        }
        check(`random-${seed}-${i}`, text, rand);
        ++loaded;
    }
    assert.ok(loaded > 200, `only ${loaded} of 300 documents loaded`);
});
