// The consumer's own animation.h: the installed library must not shadow it.
#define CONSUMER_OWN_ANIMATION_H 1
