// What the module's tests share: where the builds are, the native tool and
// reference program, and random documents.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

export const root = fileURLToPath(new URL('../..', import.meta.url));
export const wasmDir = process.env.ANIMATIONMODEL_WASM_DIR ?? join(root, 'build/wasm');
export const tool = process.env.ANIMATIONMODEL_TOOL ?? join(root, 'build/default/tool/animationmodel');
export const reference = process.env.ANIMATIONMODEL_REFERENCE ?? join(root, 'build/wasm-reference/reference');

export async function loadModule() {
    const { loadAnimationModel } = await import(join(wasmDir, 'animationmodel.mjs'));
    return loadAnimationModel();
}

export const scratch = mkdtempSync(join(tmpdir(), 'animationmodel-wasm-'));
process.on('exit', () => rmSync(scratch, { recursive: true, force: true }));

export function run(program, args) {
    const done = spawnSync(program, args, { encoding: 'latin1', maxBuffer: 1 << 28 });
    if (done.status !== 0) {
        throw new Error(`${program} ${args.join(' ')}: ${done.stderr}`);
    }
    return done.stdout;
}

// Writes `text` to a file of the scratch folder; its path.
export function scratchFile(name, text) {
    const path = join(scratch, name);
    writeFileSync(path, text);
    return path;
}

// The rows of `animationmodel sample`'s CSV (CRLF, quoted fields), as
// {frame, layer, effect, value} with the layer's name decoded from UTF-8.
// A name as the tool quotes one holding a control character for a shell
// ('a'$'\t''b', a quote as \'), back to its text.
export function unquotedName(quoted) {
    const bytes = [];
    const escapes = { a: 7, b: 8, t: 9, n: 10, v: 11, f: 12, r: 13 };
    for (let at = 0; at < quoted.length;) {
        if (quoted.startsWith("\\'", at)) {
            bytes.push(0x27);
            at += 2;
        } else if (quoted.startsWith("$'", at)) {
            for (at += 2; quoted[at] !== "'"; at += quoted[at + 1] in escapes ? 2 : 4) {
                const letter = quoted[at + 1];
                bytes.push(letter in escapes ? escapes[letter] : parseInt(quoted.slice(at + 1, at + 4), 8));
            }
            ++at;
        } else {
            const end = quoted.indexOf("'", at + 1);
            bytes.push(...Buffer.from(quoted.slice(at + 1, end), 'utf8'));
            at = end + 1;
        }
    }
    return Buffer.from(bytes).toString('utf8');
}

export function sampleRows(path) {
    const csv = Buffer.from(run(tool, ['sample', path]), 'latin1').toString('utf8');
    const rows = [];
    for (const line of csv.split('\r\n').slice(1)) {
        if (line === '') {
            continue;
        }
        const fields = [];
        for (let at = 0; at <= line.length;) {
            if (line[at] === '"') {
                let field = '';
                for (++at; at < line.length; ++at) {
                    if (line[at] === '"' && line[at + 1] === '"') {
                        field += '"';
                        ++at;
                    } else if (line[at] === '"') {
                        break;
                    } else {
                        field += line[at];
                    }
                }
                fields.push(field);
                at += 2;
            } else {
                const end = line.indexOf(',', at) < 0 ? line.length : line.indexOf(',', at);
                fields.push(line.slice(at, end));
                at = end + 1;
            }
        }
        const [frame, , layer, , , effect, value] = fields;
        rows.push({ frame: Number(frame), layer, effect, value });
    }
    return rows;
}

// The reference program's samples at `positions`: per position, a list of
// [valueBits, effect, keyed] per channel.
export function referenceSamples(path, positions) {
    const out = run(reference, [path, ...positions.map(String)]);
    return out.split('\n').slice(0, positions.length).map(line => line === '' ? [] : line.split(' ').map(entry => {
        const [bits, effect, keyed] = entry.split(':');
        return [parseInt(bits, 16), Number(effect), Number(keyed)];
    }));
}

// A seeded generator (mulberry32), so that a failure can be replayed.
export function random(seed) {
    let state = seed >>> 0;
    const next = () => {
        state = (state + 0x6D2B79F5) >>> 0;
        let t = state;
        t = Math.imul(t ^ (t >>> 15), t | 1);
        t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
        return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
    next.int = (low, high) => low + Math.floor(next() * (high - low + 1));
    next.pick = list => list[Math.floor(next() * list.length)];
    return next;
}

const floatBits = new DataView(new ArrayBuffer(4));

// A float as JSON text, in one of the spellings the format reads: the
// shortest, long decimals, exponents, subnormals and extremes.
function floatText(rand) {
    switch (rand.int(0, 6)) {
    case 0:
        return String(rand.int(-300, 300));
    case 1:
        return (rand() * 200 - 100).toFixed(rand.int(1, 12));
    case 2:
        return `${(rand() * 10 - 5).toFixed(rand.int(0, 9))}e${rand.int(-45, 38)}`;
    case 3:
        return rand.pick(['1e-45', '1.4e-45', '7e-46', '3.4028235e38', '3.40282356e38', '1e-50', '-0', '0.0',
            '0.1000000000000000055511151231257827', '16777217', '0.30000001192092896', '2.5e-39']);
    default: {
        let value;
        do {
            floatBits.setUint32(0, Math.floor(rand() * 4294967296));
            value = floatBits.getFloat32(0);
        } while (!Number.isFinite(value));
        return String(value);
    }
    }
}

const names = ['a', 'b', 'x y', 'é', '名前', 'quote"d', 'comma,', 'tab\t', 'back\\slash', 'long-name-of-a-layer', ''];

function keyText(rand) {
    const duration = rand.int(1, 12);
    const choice = rand.int(0, 9);
    if (choice < 6) {
        return `{"effect": "Linear", "args": [${floatText(rand)}, ${floatText(rand)}], "duration": ${duration}}`;
    }
    const effect = choice < 9 ? `"Held${choice - 5}"` : String(rand.int(-2147483648, 2147483647));
    return `{"effect": ${effect}, "duration": ${duration}}`;
}

function phaseText(rand) {
    const layers = [];
    for (const name of names) {
        if (rand() < 0.35) {
            const keys = Array.from({ length: rand.int(0, 4) }, () => keyText(rand));
            layers.push(`${JSON.stringify(name)}: [${keys.join(', ')}]`);
        }
    }
    return `{${layers.join(', ')}}`;
}

// A random document (an animation, or a timeline one time in six).
export function randomDocument(rand) {
    if (rand() < 1 / 6) {
        return `{"format": "animationmodel-timeline", "version": 1, "layers": ${phaseText(rand)}}`;
    }
    const fps = rand.pick(['25', '30', '24', '0.5', '59.94', '1e3']);
    return `{"format": "animationmodel", "version": 1, "fps": ${fps}, "intro": ${phaseText(rand)},`
        + ` "body": ${phaseText(rand)}, "outro": ${phaseText(rand)}}`;
}
