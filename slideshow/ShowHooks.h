// What a diagnostic build of the screen saver may learn of the show while it runs. The product's
// definition (ShowHooks.cpp, a library member of its own) does nothing; a diagnostic build that
// defines the hook itself is linked with its own definition instead, so the product carries no
// diagnostic state.
#pragma once

// Called on the show's thread after every completed step.
void AfterShowStep();
