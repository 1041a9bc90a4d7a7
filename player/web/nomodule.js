// Stands in for the WebAssembly module in a build without Emscripten: the
// page shows its picture and says that it cannot play.
function instantiate() {
  return Promise.reject(new Error("this build of animationmodel has no WebAssembly module (emcc was not found)"));
}
const createAnimationModelWasm = null;
function defineAnimationPlayer() {
  customElements.define("animation-player", class extends HTMLElement {
    load() {
      return Promise.reject(new Error("this build of animationmodel has no WebAssembly module (emcc was not found)"));
    }
    seek() {}
  });
}
