#include <animationmodel/animationphase.h>

#include <cstddef>
#include <iterator>

namespace Korva {

std::string_view animationPhaseName(AnimationPhase phase) noexcept
{
    constexpr std::string_view names[] = {"intro", "body", "outro"};
    const auto index = static_cast<std::size_t>(phase);
    return index < std::size(names) ? names[index] : std::string_view();
}

} // namespace Korva
