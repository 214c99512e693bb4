#include "slideshow/ShowHooks.h"

void AfterShowStep() {}
