#ifndef ANIMATIONMODEL_TOOL_DIFF_H
#define ANIMATIONMODEL_TOOL_DIFF_H

#include <string>

namespace Korva::tool {

/// The unified diff (3 lines of context, as `diff -u`) that turns `before`
/// into `after`, headed "--- NAME" and "+++ NAME" so that `patch -p0`
/// applies it; empty when the texts are equal. A last line without its
/// newline is marked "\ No newline at end of file".
std::string unifiedDiff(const std::string& before, const std::string& after, const std::string& name);

} // namespace Korva::tool

#endif
