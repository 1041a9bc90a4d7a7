#include "diff.h"

#include <dtl/dtl.hpp>

#include <sstream>
#include <vector>

namespace Korva::tool {

namespace {

// The lines of `text`, without their newlines; a last line that has none
// carries the marker diff prints after it, so it differs from the same line
// with its newline.
std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "\n\\ No newline at end of file");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

std::string unifiedDiff(const std::string& before, const std::string& after, const std::string& name)
{
    if (before == after) {
        return {};
    }
    const std::vector<std::string> from = linesOf(before);
    const std::vector<std::string> to = linesOf(after);
    dtl::Diff<std::string, std::vector<std::string>> diff(from, to);
    diff.onHuge();
    diff.compose();
    diff.composeUnifiedHunks();
    std::ostringstream text;
    text << "--- " << name << "\n+++ " << name << "\n";
    diff.printUnifiedFormat(text);
    return text.str();
}

} // namespace Korva::tool
