#ifndef ANIMATIONMODEL_TESTS_RUNTIME_CLIPARRAYS_REFERENCE_H
#define ANIMATIONMODEL_TESTS_RUNTIME_CLIPARRAYS_REFERENCE_H

#include <animationmodel/cliparrays.h>

namespace Korva::Reference {

/// The same verdict as `Korva::checkClipArrays`, walking every key one by one.
ClipArraysCheck checkClipArrays(const ClipArrays& arrays) noexcept;

} // namespace Korva::Reference

#endif
