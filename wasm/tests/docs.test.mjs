// The example of docs/web.md, run as it stands there (its import pointed at
// the build), with the show example as `text`: it runs and prints what the
// page says it prints.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';

import { root, scratchFile, wasmDir } from './helpers.mjs';

test('the example of docs/web.md runs and prints what it says', () => {
    const page = readFileSync(join(root, 'docs/web.md'), 'utf8');
    const example = page.split('## Example')[1].split('```js\n')[1].split('```')[0];
    const show = readFileSync(join(root, 'examples/data/show.animation.json'), 'utf8');
    const program = `const text = ${JSON.stringify(show)};\n`
        + example.replace("from 'animationmodel'", `from ${JSON.stringify(join(wasmDir, 'animationmodel.mjs'))}`);
    const run = spawnSync(process.execPath, [scratchFile('example.mjs', program)], { encoding: 'utf8' });
    assert.equal(run.stderr, '');
    assert.equal(run.stdout, 'opacity at frame 12: 0.5\nplayed in 230 steps of 1/60 s; ended in phase 2\n');
    assert.ok(example.includes('// 0.5'));
});
