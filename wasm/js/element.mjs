// <animation-player> for any page: importing this module defines the
// element over the library (its wasm fetched from beside the module). A
// page that needs the wasm inside the script imports defineAnimationPlayer
// from './playerelement.mjs' and gives it './inline.mjs''s loadAnimationModel().
import loadAnimationModel from './animationmodel.mjs';
import { defineAnimationPlayer } from './playerelement.mjs';

export { animationPlayerClass, defineAnimationPlayer } from './playerelement.mjs';

/** The element's class, defined as animation-player. */
export const AnimationPlayerElement = defineAnimationPlayer(loadAnimationModel());
