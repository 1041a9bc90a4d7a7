#ifndef ANIMATIONMODEL_PLAYER_SRC_PLAYERASSETS_H
#define ANIMATIONMODEL_PLAYER_SRC_PLAYERASSETS_H

// The page's script and style, embedded at build time from player/web.

namespace Korva::player {

/// The script: numbers.js, then player.js.
extern const char* const script;
/// The style sheet: player.css.
extern const char* const style;

} // namespace Korva::player

#endif
