#ifndef ANIMATIONMODEL_SRC_COMPILERHINTS_H
#define ANIMATIONMODEL_SRC_COMPILERHINTS_H

// What the hot loops tell the compiler: inline this step into its loop, keep
// that rare case out of line, and (on x86-64 ELF) build a loop twice, for
// AVX2 and for the baseline, the machine's choice made once when the
// library is loaded.
#if defined(__GNUC__)
#define ANIMATIONMODEL_HOT_INLINE inline __attribute__((always_inline))
#define ANIMATIONMODEL_COLD __attribute__((noinline, cold))
#define ANIMATIONMODEL_UNLIKELY(condition) __builtin_expect(static_cast<bool>(condition), 0)
#else
#define ANIMATIONMODEL_HOT_INLINE inline
#define ANIMATIONMODEL_COLD
#define ANIMATIONMODEL_UNLIKELY(condition) (condition)
#endif

// ThreadSanitizer's runtime crashes on the resolver that picks a clone
// (it runs while the library is relocated, before the runtime is set up).
#if defined(__SANITIZE_THREAD__)
#define ANIMATIONMODEL_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ANIMATIONMODEL_THREAD_SANITIZER 1
#endif
#endif

#if defined(__GNUC__) && defined(__x86_64__) && defined(__ELF__) && !defined(ANIMATIONMODEL_THREAD_SANITIZER)
#define ANIMATIONMODEL_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define ANIMATIONMODEL_WIDE_VECTORS
#endif

#endif
