// animationmodel in WebAssembly: the ES module. The wasm file lies beside
// this one; a page fetches it from there, Node reads it from the disk. No
// other file and no network.
import createAnimationModelWasm from './animationmodel-wasm.mjs';
import { instantiate } from './binding.mjs';

export { AnimationModel, AnimationModelError, Clip, Cursor, Playback, Sample, Phase, Status, Step } from './binding.mjs';

const isNode = typeof process === 'object' && typeof process.versions?.node === 'string'
    && typeof window === 'undefined';

/** The library, ready to use. `options.wasmBinary` gives the wasm's bytes
 * (else a page fetches animationmodel-wasm.wasm beside this file, and Node
 * reads it). */
export async function loadAnimationModel(options = {}) {
    const settings = { ...options };
    if (settings.wasmBinary === undefined && isNode) {
        const { readFile } = await import('node:fs/promises');
        settings.wasmBinary = await readFile(new URL('./animationmodel-wasm.wasm', import.meta.url));
    }
    return instantiate(createAnimationModelWasm, settings);
}

export default loadAnimationModel;
