// Declarations of inline.mjs: the same module, the wasm inside the script.
export * from './animationmodel.js';
export { default } from './animationmodel.js';
