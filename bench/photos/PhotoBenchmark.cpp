// One step of the show for large photographs, as Lanternmoor.scr takes it under Wine: the
// picture decoded from memory, turned upright by its EXIF orientation, fitted to the screen,
// resampled, its colours reduced, and made into a device bitmap of the screen (PreparePictureImage
// and CreateDeviceBitmap, the show's own calls), on the packed and the plain path, at the
// screen's depth and at 16 bits per pixel. The screen is this display's, or the size given.
//
//   photo_bench [--reps N] [--screen WxH] PICTURE.jpg...
//
// Prints "sample MODE PICTURE MILLISECONDS" for every repetition after an untimed first one.
// (The memory a step takes is measured on the screen saver itself by bench/run-photo-bench: Wine
// does not count a process's private memory for GetProcessMemoryInfo.)
#include "imaging/RasterImage.h"
#include "imaging/RasterImage_win32.h"
#include "jpeg/Exif.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/PicturePreparation.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Mode {
    const char* Name;
    bool Simd;
    int Depth; // 0: the display's
};

// The step; false when the picture could not be shown.
bool Step(const std::vector<uint8_t>& bytes, const Mode& mode, int width, int height, HDC screen) {
    MemoryInputStream stream(bytes.data(), bytes.size());
    RasterImage image;
    Rect place{};
    const int depth = mode.Depth != 0 ? mode.Depth : GetDeviceCaps(screen, BITSPIXEL);
    if (!PreparePictureImage(stream, width, height, false, depth, mode.Simd, image, place,
                             readExif(bytes.data(), bytes.size()).orientation))
        return false;
    return static_cast<bool>(CreateDeviceBitmap(image, screen));
}

} // namespace

int main(int argc, char** argv) {
    int reps = 3, width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--reps" && i + 1 < argc)
            reps = std::atoi(argv[++i]);
        else if (arg == "--screen" && i + 1 < argc &&
                 std::sscanf(argv[++i], "%dx%d", &width, &height) == 2)
            continue;
        else if (arg.compare(0, 2, "--") == 0)
            return std::fprintf(stderr,
                                "usage: photo_bench [--reps N] [--screen WxH] PICTURE.jpg...\n"),
                   2;
        else
            paths.push_back(arg);
    }
    const Mode modes[] = {{"packed", true, 0},
                          {"plain", false, 0},
                          {"packed-16bit", true, 16},
                          {"plain-16bit", false, 16}};
    const HDC screen = GetDC(nullptr);
    for (const std::string& path : paths) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
        const std::string name = path.substr(path.find_last_of("/\\") + 1);
        for (const Mode& mode : modes) {
            for (int rep = 0; rep <= reps; ++rep) {
                const auto start = std::chrono::steady_clock::now();
                const bool shown = Step(bytes, mode, width, height, screen);
                const std::chrono::duration<double, std::milli> took =
                    std::chrono::steady_clock::now() - start;
                if (!shown) std::printf("failed %s %s\n", mode.Name, name.c_str());
                if (rep > 0)
                    std::printf("sample %s %s %.1f\n", mode.Name, name.c_str(), took.count());
            }
        }
        std::fflush(stdout);
    }
    ReleaseDC(nullptr, screen);
    return 0;
}
