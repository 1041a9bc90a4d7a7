// xxHash in the WebAssembly build: no x86 dispatch, the portable code
// compiled into the file that includes this header.
#ifndef ANIMATIONMODEL_WASM_XXH_X86DISPATCH_H
#define ANIMATIONMODEL_WASM_XXH_X86DISPATCH_H
#define XXH_INLINE_ALL
#include <xxhash.h>
#endif
