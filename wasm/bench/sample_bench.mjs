// The WebAssembly half of the benchmark pair (see run): the module loading
// the JSON document FILE and sampling every channel at the frames of
// POSITIONS into reused typed arrays, best of ROUNDS.
// usage: node sample_bench.mjs MODULE_DIR FILE POSITIONS ROUNDS
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { performance } from 'node:perf_hooks';

const [moduleDir, file, positionsFile, roundsText] = process.argv.slice(2);
const { loadAnimationModel, Sample } = await import(join(moduleDir, 'animationmodel.mjs'));
const am = await loadAnimationModel();
const text = readFileSync(file, 'utf8');
const positions = Float64Array.from(readFileSync(positionsFile, 'utf8').trim().split('\n'), Number);
const rounds = Number(roundsText);

let load = Infinity;
let clip = null;
for (let round = 0; round < rounds; ++round) {
    clip?.free();
    const start = performance.now();
    clip = am.clipFromJson(text);
    load = Math.min(load, performance.now() - start);
}
const cursor = clip.cursor();
const channels = clip.channelCount;
const into = new Sample(channels);
let best = Infinity;
let sum = 0;
for (let round = 0; round < rounds; ++round) {
    const start = performance.now();
    for (let i = 0; i < positions.length; ++i) {
        cursor.sampleFrame(positions[i], into);
        sum += into.values[i % channels];
    }
    best = Math.min(best, performance.now() - start);
}
console.log(`load-ms ${load.toFixed(3)}\nns-per-channel-sample ${(best * 1e6 / (positions.length * channels)).toFixed(3)}\n(checksum ${sum})`);
