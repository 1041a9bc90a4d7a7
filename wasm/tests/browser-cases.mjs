// Writes the cases of the page test (browser_test.py) to the file given:
// the show and random documents, as JSON text and binary clip bytes, with
// positions and the native library's samples there (reference.c).
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

import { random, randomDocument, referenceSamples, root, run, scratchFile, tool } from './helpers.mjs';

const rand = random(Number(process.env.ANIMATIONMODEL_SEED ?? 32));
const documents = [readFileSync(join(root, 'examples/data/show.animation.json'), 'utf8')];
while (documents.length < 60) {
    documents.push(randomDocument(rand));
}
const cases = [];
documents.forEach((text, i) => {
    const jsonPath = scratchFile(`page-${i}.json`, text);
    const binaryPath = scratchFile(`page-${i}.clip`, '');
    try {
        run(tool, ['compile', jsonPath, '-o', binaryPath]);
    } catch {
        return; // a document the library refuses
    }
    const positions = [];
    for (let k = 0; k < 40; ++k) {
        positions.push(k % 2 === 0 ? k : rand() * 120 - 5);
    }
    cases.push({
        text,
        binary: readFileSync(binaryPath).toString('base64'),
        positions,
        expected: referenceSamples(jsonPath, positions),
    });
});
writeFileSync(process.argv[2], JSON.stringify(cases));
console.log(`${cases.length} documents`);
