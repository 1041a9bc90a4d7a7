// animationmodel in WebAssembly, the wasm inside this script: for a page
// opened as a file (its content security policy must allow
// 'wasm-unsafe-eval'), or where one file is easier to carry.
import createAnimationModelWasm from './animationmodel-wasm-inline.mjs';
import { instantiate } from './binding.mjs';

export { AnimationModel, AnimationModelError, Clip, Cursor, Playback, Sample, Phase, Status, Step } from './binding.mjs';

/** The library, ready to use. */
export async function loadAnimationModel(options = {}) {
    return instantiate(createAnimationModelWasm, { ...options });
}

export default loadAnimationModel;
