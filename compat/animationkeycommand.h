// Deprecated forwarding header, kept for one release so that code written
// against the flat include names still builds: include
// <animationmodel/animationkeycommand.h> instead. It is installed under
// include/animationmodel/compat, which only the opt-in target
// animationmodel::compat puts on the include path.
#include <animationmodel/animationkeycommand.h>
