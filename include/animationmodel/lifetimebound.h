#ifndef ANIMATIONMODEL_LIFETIMEBOUND_H
#define ANIMATIONMODEL_LIFETIMEBOUND_H

// Marks a parameter whose referent the constructed object keeps reading, so
// that compilers that check lifetimes warn about a temporary passed there.
#if defined(__has_cpp_attribute)
#if __has_cpp_attribute(clang::lifetimebound)
#define ANIMATIONMODEL_LIFETIMEBOUND [[clang::lifetimebound]]
#endif
#endif
#ifndef ANIMATIONMODEL_LIFETIMEBOUND
#define ANIMATIONMODEL_LIFETIMEBOUND
#endif

#endif
