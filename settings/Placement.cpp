#include "settings/Placement.h"

#include <algorithm>

Rect CentreDialog(const Rect& dialog, const Rect* reference, const Rect& workArea) {
    const Rect& centre = reference != nullptr ? *reference : workArea;
    const int width = dialog.Width();
    const int height = dialog.Height();
    int x = (centre.Left + centre.Right) / 2 - width / 2;
    int y = (centre.Top + centre.Bottom) / 2 - height / 2;
    x = std::max(std::min(x, workArea.Right - width), workArea.Left);
    y = std::max(std::min(y, workArea.Bottom - height), workArea.Top);
    return {x, y, x + width, y + height};
}

Rect PlaceLinkText(const Rect& client, int textWidth, int textHeight, TextAlignment alignment) {
    int left = client.Left;
    if (alignment == TextAlignment::Centre)
        left += (client.Width() - textWidth) / 2;
    else if (alignment == TextAlignment::Right)
        left = client.Right - textWidth;
    return {left, client.Top, left + textWidth, client.Top + textHeight};
}
