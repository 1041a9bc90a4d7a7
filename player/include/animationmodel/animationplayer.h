#ifndef ANIMATIONMODEL_ANIMATIONPLAYER_H
#define ANIMATIONMODEL_ANIMATIONPLAYER_H

// The player page: one self-contained HTML file that plays an animation.

#include <string>

#include <animationmodel/animationdocument.h>
#include <animationmodel/animationmodel_player_export.h>

namespace Korva {

/// A self-contained HTML page that plays `document` in a browser: the
/// picture of `renderSvg` (`width` pixels wide, short keys merged into marks
/// of 8 pixel columns; of a document of more than 1,000 layers, the first
/// 1,000 by name and each phase's longest) with a playhead, playback at
/// the animation's rate with loops and speeds, stepping by frames, seconds,
/// phases and key boundaries, a list of the keyboard shortcuts, and a readout
/// of every layer at the current frame with the text of the tool's `sample`
/// CSV, bit for bit. Script, style and data are inline; a
/// Content-Security-Policy forbids any network request.
/// A timeline plays as one phase named "timeline" at 25 frames per second.
/// Throws `std::invalid_argument` when a layer name is not valid UTF-8.
ANIMATIONMODEL_PLAYER_EXPORT std::string playerPage(const AnimationDocument& document, const std::string& title,
                                                    unsigned int width = 1200);

} // namespace Korva

#endif
