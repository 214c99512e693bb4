// prepare-picture: shows without Windows what the screen saver will show. Fits a picture to a
// screen, resamples and reduces it exactly as the screen saver does, writes the prepared picture
// (without the black border) as binary PPM and prints "W H X Y": its size and its place on the
// screen.
#include "base/ProcessorInfo.h"
#include "imaging/RasterImage.h"
#include "slideshow/PictureFit.h"
#include "tools/prepare-picture/PictureFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char Usage[] =
    "usage: prepare-picture [--plain|--simd] [--enlarge] [--depth 8|16|24|32] --screen WxH\n"
    "                       INPUT OUTPUT.ppm\n"
    "  --plain, --simd  the plain or the packed-integer (MMX) decoder, resampler and ditherer;\n"
    "                   by default the ones this processor would run (packed with MMX)\n"
    "  --enlarge        enlarge small pictures to fit (the EnlargeToFit option)\n"
    "  --depth N        the display's bits per pixel: 8 is a palette display (6x6x6 colour\n"
    "                   cube), 1, 4, 15 and 16 keep five bits per channel, 24 and 32 (the\n"
    "                   default) show the pixels unchanged\n"
    "  --screen WxH     the screen (or preview window) size\n"
    "INPUT is a JPEG file or a binary PPM (P6). Prints \"W H X Y\": the prepared picture's size\n"
    "and its top-left corner on the screen.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "prepare-picture: %s\n", message.c_str());
    return 1;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "prepare-picture: %s\n%s", message.c_str(), Usage);
    return 2;
}

bool ParseNumber(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < low || parsed > high) return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseScreen(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find_first_of("xX");
    return x != std::string::npos && ParseNumber(text.substr(0, x).c_str(), 1, 1 << 15, width) &&
           ParseNumber(text.substr(x + 1).c_str(), 1, 1 << 15, height);
}

} // namespace

int main(int argc, char** argv) {
    bool useSimd = processorInfo().HasMmx;
    bool enlarge = false;
    int depth = 32;
    int screenWidth = 0, screenHeight = 0;
    std::string paths[2];
    int pathCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--plain") {
            useSimd = false;
        } else if (arg == "--simd") {
            useSimd = true;
        } else if (arg == "--enlarge") {
            enlarge = true;
        } else if (arg == "--depth" || arg == "--screen") {
            if (i + 1 >= argc) return UsageError(arg + " needs a value");
            const char* value = argv[++i];
            if (arg == "--depth") {
                if (!ParseNumber(value, 1, 32, depth) ||
                    (depth != 1 && depth != 4 && depth != 8 && depth != 15 && depth != 16 &&
                     depth != 24 && depth != 32))
                    return UsageError(std::string("unsupported depth ") + value);
            } else if (!ParseScreen(value, screenWidth, screenHeight)) {
                return UsageError(std::string("screen size must be WxH, not ") + value);
            }
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else if (pathCount < 2) {
            paths[pathCount++] = arg;
        } else {
            return UsageError("too many arguments");
        }
    }
    if (screenWidth == 0) return UsageError("--screen is required");
    if (pathCount != 2) return UsageError("INPUT and OUTPUT.ppm are required");

    RasterImage image;
    std::string error, warning;
    if (!ReadPicture(paths[0], useSimd, image, error, warning)) return Fail(error);
    if (!warning.empty()) std::fprintf(stderr, "prepare-picture: warning: %s\n", warning.c_str());
    PictureFit fit;
    if (!FitAndReducePicture(image, screenWidth, screenHeight, enlarge, depth, useSimd, fit))
        return Fail("out of memory: the screen saver would show no picture");
    if (!WritePpm(paths[1], image, error)) return Fail(error);
    const Rect& place = fit.Placement;
    std::printf("%d %d %d %d\n", place.Width(), place.Height(), place.Left, place.Top);
    return 0;
}
