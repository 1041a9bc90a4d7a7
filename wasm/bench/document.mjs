// Writes the benchmark's document (200 channels of realistic keys: mostly
// Linear, some held, durations of 1 to 40 frames, over about 4000 frames)
// and its positions: every whole frame, and as many random fractional ones.
// usage: node document.mjs DOCUMENT WHOLE_POSITIONS RANDOM_POSITIONS
import { writeFileSync } from 'node:fs';

let state = 2026;
const rand = () => {
    state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
    return state / 4294967296;
};
const layers = [];
for (let channel = 0; channel < 200; ++channel) {
    const keys = [];
    for (let frames = 0; frames < 4000;) {
        const duration = 1 + Math.floor(rand() * 40);
        frames += duration;
        keys.push(rand() < 0.8
            ? `{"effect": "Linear", "args": [${(rand() * 100).toFixed(3)}, ${(rand() * 100).toFixed(3)}], "duration": ${duration}}`
            : `{"effect": "Held${1 + Math.floor(rand() * 3)}", "duration": ${duration}}`);
    }
    layers.push(`"channel ${channel}": [${keys.join(', ')}]`);
}
const [document, whole, random] = process.argv.slice(2);
writeFileSync(document, `{"format": "animationmodel-timeline", "version": 1, "layers": {${layers.join(', ')}}}`);
writeFileSync(whole, Array.from({ length: 4000 }, (_, frame) => frame).join('\n'));
writeFileSync(random, Array.from({ length: 4000 }, () => rand() * 4000).join('\n'));
