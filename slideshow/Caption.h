// Where a caption goes on its picture, whether it is drawn, and how its text is loaded whole.
#pragma once

#include "base/Rect.h"

#include <functional>
#include <string>

// The text's distance from the picture's right and bottom edges, and the box's margin around it.
constexpr int kCaptionEdgeDistance = 30;
constexpr int kCaptionBoxMargin = 10;

struct CaptionPlacement {
    Rect Text; // where the text is written, in the picture's own coordinates
    Rect Box;  // the darkened box with its outline: the text rectangle grown on every side
};

// The text, textWidth x textHeight as measured, placed 30 pixels from the right and bottom edges
// of a pictureWidth x pictureHeight picture. A caption larger than the picture reaches into
// negative coordinates; the bitmap's edges cut it off.
CaptionPlacement PlaceCaption(int textWidth, int textHeight, int pictureWidth, int pictureHeight);

// A caption is drawn only when it has text, outside the preview, with ShowText on.
bool CaptionShown(std::size_t textLength, bool isPreview, bool showText);

// Loads a text of any length through `load`, which copies at most size - 1 characters and a
// terminating zero into a buffer of `size` characters and answers how many it copied. The buffer
// starts at 256 characters and grows by 256 while fewer than 3 of them are left over, since the
// text may have been cut.
std::string LoadWholeText(const std::function<int(char* buffer, int size)>& load);
