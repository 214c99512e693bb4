#include "slideshow/RandomSource.h"

RandomSource& ShowRandomSource() {
    static RandomSource source;
    return source;
}
