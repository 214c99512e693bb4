#include "slideshow/Caption.h"

#include <vector>

CaptionPlacement PlaceCaption(int textWidth, int textHeight, int pictureWidth, int pictureHeight) {
    CaptionPlacement placement;
    const int x = pictureWidth - textWidth - kCaptionEdgeDistance;
    const int y = pictureHeight - textHeight - kCaptionEdgeDistance;
    placement.Text = Rect{x, y, x + textWidth, y + textHeight};
    placement.Box = Rect{x - kCaptionBoxMargin, y - kCaptionBoxMargin,
                         x + textWidth + kCaptionBoxMargin, y + textHeight + kCaptionBoxMargin};
    return placement;
}

bool CaptionShown(std::size_t textLength, bool isPreview, bool showText) {
    return textLength > 0 && !isPreview && showText;
}

std::string LoadWholeText(const std::function<int(char* buffer, int size)>& load) {
    constexpr int kGrowth = 256;
    std::vector<char> buffer;
    int copied = 0;
    do {
        buffer.assign(buffer.size() + kGrowth, '\0');
        copied = load(buffer.data(), static_cast<int>(buffer.size()));
        if (copied < 0) copied = 0;
    } while (static_cast<int>(buffer.size()) - copied <= 2);
    return std::string(buffer.data(), static_cast<std::size_t>(copied));
}
