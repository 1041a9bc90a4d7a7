// The runtime's public headers, which a build preprocesses to measure what
// including the runtime costs (runtime_headers.cmake). A new runtime header
// is added here.
#include <animationmodel/animationclip.h>
#include <animationmodel/cliparrays.h>
#include <animationmodel/clipcursor.h>
#include <animationmodel/clipplayback.h>
#include <animationmodel/clipblend.h>
#include <animationmodel/clipchannelmap.h>
#include <animationmodel/clipevents.h>
#include <animationmodel/clipeventtracker.h>
#include <animationmodel/clipplaybackspan.h>
