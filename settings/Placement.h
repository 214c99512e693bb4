// Where the About box and the link's text go: plain rectangle arithmetic, in pixels.
#pragma once

#include "base/Rect.h"

// The dialog `dialog` moved (same size) to the centre of `reference`, or of the work area when
// there is no reference; every halving rounds toward zero. Then kept inside the work area: pushed
// back from the right and bottom edges first, then from the left and top ones, so that a dialog
// larger than the work area still shows its top-left corner and caption.
Rect CentreDialog(const Rect& dialog, const Rect* reference, const Rect& workArea);

enum class TextAlignment { Left, Centre, Right };

// The area the link's text of `textWidth` x `textHeight` pixels takes in `client`: at its top, and
// placed across it as the control aligns its text (it may stick out when the text is wider).
Rect PlaceLinkText(const Rect& client, int textWidth, int textHeight, TextAlignment alignment);
