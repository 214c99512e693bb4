// The shipped path, picture by picture: Lanternmoor's decoder on both paths (the show's own
// DecodePicture, the whole decode into the pixel buffer) and the whole preparation
// (PreparePictureImage: decode, fit with "EnlargeToFit" on, resample, reduce) for 1920 x 1080 and
// 800 x 600 screens at 32 and 16 bits per pixel, each with a workspace kept from picture to
// picture as the show keeps it (the "-fresh" decodes take fresh memory for every picture), and,
// when built with it, stb_image decoding the same bytes to four channels.
// Every repetition runs every mode on every picture in turn, so a busy moment of the machine
// falls on all of them alike.
//
//   shipped_bench [--reps N] [--modes M1,M2,...] [--memory | --digest] PICTURE.jpg...
//
// Prints one line per timing, "sample MODE PICTURE MILLISECONDS", after one untimed warm-up
// pass. With --memory (native 32-bit build only) it prints instead, for every mode and picture,
// "memory MODE PICTURE BYTES": the peak of the heap the call held above what was held before it.
// With --digest it prints "digest MODE PICTURE WIDTHxHEIGHT HASH" (FNV-1a of the pixels of the
// decoded or prepared picture), so two builds can be compared bit for bit.
#include "imaging/RasterImage.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/PictureDecoding.h"
#include "slideshow/PicturePreparation.h"
#include "slideshow/PictureWorkspace.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if LM_BENCH_STB_IMAGE
extern "C" unsigned char* stbi_load_from_memory(const unsigned char* buffer, int length, int* x,
                                                int* y, int* channels, int desiredChannels);
extern "C" void stbi_image_free(void* pixels);
#endif

#if LM_BENCH_HEAP_COUNT
#include "bench/shipped/HeapCount.h"
#endif

namespace {

struct Picture {
    std::string Name;
    std::vector<uint8_t> Bytes;
};

struct Mode {
    std::string Name;
    // Returns false when the picture could not be done; image receives the result.
    bool (*Run)(const Picture& picture, const Mode& mode, RasterImage& image);
    bool Simd;
    int ScreenWidth;
    int ScreenHeight;
    int BitsPerPixel;
    // As the show does it, the large blocks kept from picture to picture (null: fresh memory for
    // every picture).
    std::shared_ptr<PictureWorkspace> Workspace;
};

bool Decode(const Picture& picture, const Mode& mode, RasterImage& image) {
    MemoryInputStream stream(picture.Bytes.data(), picture.Bytes.size());
    DecodedPicture outcome;
    return DecodePicture(stream, mode.Simd, image, outcome, 1, mode.Workspace.get()) &&
           outcome.ErrorCode == 0 && image.Pixels() != nullptr;
}

bool Prepare(const Picture& picture, const Mode& mode, RasterImage& image) {
    MemoryInputStream stream(picture.Bytes.data(), picture.Bytes.size());
    Rect placement;
    return PreparePictureImage(stream, mode.ScreenWidth, mode.ScreenHeight, true, mode.BitsPerPixel,
                               mode.Simd, image, placement, 1, mode.Workspace.get());
}

// The picture is done: its buffer goes back to the mode's workspace, if any.
void Done(const Mode& mode, RasterImage& image) {
    if (mode.Workspace) mode.Workspace->Keep(image);
}

#if LM_BENCH_STB_IMAGE
bool StbDecode(const Picture& picture, const Mode&, RasterImage&) {
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels =
        stbi_load_from_memory(picture.Bytes.data(), static_cast<int>(picture.Bytes.size()), &width,
                              &height, &channels, 4);
    if (pixels == nullptr) return false;
    stbi_image_free(pixels);
    return true;
}
#endif

std::vector<Mode> AllModes() {
    auto kept = [] { return std::make_shared<PictureWorkspace>(); };
    std::vector<Mode> modes = {
        {"lanternmoor/packed/decode", Decode, true, 0, 0, 0, kept()},
        {"lanternmoor/plain/decode", Decode, false, 0, 0, 0, kept()},
        {"lanternmoor/packed/decode-fresh", Decode, true, 0, 0, 0, nullptr},
        {"lanternmoor/plain/decode-fresh", Decode, false, 0, 0, 0, nullptr},
    };
    for (const bool simd : {true, false})
        for (const auto& screen : {std::pair<int, int>{1920, 1080}, {800, 600}})
            for (const int bits : {32, 16}) {
                const std::string name = std::string("lanternmoor/") + (simd ? "packed" : "plain") +
                                         "/prepare-" + std::to_string(screen.first) + "x" +
                                         std::to_string(screen.second) + "x" + std::to_string(bits);
                modes.push_back({name, Prepare, simd, screen.first, screen.second, bits, kept()});
            }
#if LM_BENCH_STB_IMAGE
    modes.push_back({"stb_image/decode", StbDecode, false, 0, 0, 0, nullptr});
#endif
    return modes;
}

Picture ReadPicture(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Picture picture;
    picture.Bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (picture.Bytes.empty()) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        std::exit(1);
    }
    std::string name = path.substr(path.find_last_of("/\\") + 1);
    picture.Name = name.substr(0, name.rfind('.'));
    return picture;
}

bool Selected(const std::string& list, const std::string& name) {
    if (list.empty()) return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = list.find(',', start);
        const std::string item = list.substr(start, end - start);
        if (!item.empty() && name.compare(0, item.size(), item) == 0) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

uint32_t Digest(const RasterImage& image) {
    uint32_t hash = 2166136261u;
    const auto* bytes = reinterpret_cast<const uint8_t*>(image.Pixels());
    const std::size_t count = static_cast<std::size_t>(image.Width()) * image.Height() * 4;
    for (std::size_t i = 0; bytes != nullptr && i < count; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: shipped_bench [--reps N] [--modes M1,M2,...] [--memory | --digest] "
                 "PICTURE.jpg...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // Natively, fresh memory for every large block, as the Windows heap gives it (see
    // LibjpegBenchmark.cpp).
    mallopt(M_MMAP_THRESHOLD, 0x7F000);
#endif
    int reps = 5;
    bool memory = false;
    bool digest = false;
    std::string only;
    std::vector<Picture> pictures;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--reps" && i + 1 < argc)
            reps = std::atoi(argv[++i]);
        else if (arg == "--modes" && i + 1 < argc)
            only = argv[++i];
        else if (arg == "--memory")
            memory = true;
        else if (arg == "--digest")
            digest = true;
        else if (arg.compare(0, 2, "--") == 0)
            return Usage();
        else
            pictures.push_back(ReadPicture(arg));
    }
    if (pictures.empty() || reps < 1) return Usage();
    std::vector<Mode> modes;
    for (const Mode& mode : AllModes())
        if (Selected(only, mode.Name)) modes.push_back(mode);

    if (memory) {
#if LM_BENCH_HEAP_COUNT
        // With a workspace the peak counts what it keeps from the pictures before.
        for (const Mode& mode : modes) {
            const long long before = HeapInUse();
            for (const Picture& picture : pictures) {
                ResetHeapPeak();
                RasterImage image;
                mode.Run(picture, mode, image);
                Done(mode, image);
                std::printf("memory %s %s %lld\n", mode.Name.c_str(), picture.Name.c_str(),
                            HeapPeak() - before);
            }
        }
        return 0;
#else
        std::fprintf(stderr, "this build does not count the heap\n");
        return 2;
#endif
    }

    if (digest) {
        for (const Mode& mode : modes)
            for (const Picture& picture : pictures) {
                RasterImage image;
                const bool done = mode.Run(picture, mode, image);
                std::printf("digest %s %s %dx%d %08x%s\n", mode.Name.c_str(), picture.Name.c_str(),
                            image.Width(), image.Height(), Digest(image), done ? "" : " (failed)");
                Done(mode, image);
            }
        return 0;
    }

    // Warm-up: page in the code and the heap, and find failures before timing anything.
    for (const Mode& mode : modes)
        for (const Picture& picture : pictures)
            if (RasterImage image; !mode.Run(picture, mode, image)) {
                std::fprintf(stderr, "%s failed on %s\n", mode.Name.c_str(), picture.Name.c_str());
                return 1;
            } else {
                Done(mode, image);
            }
    using Clock = std::chrono::steady_clock;
    for (int rep = 0; rep < reps; ++rep)
        for (const Picture& picture : pictures)
            for (const Mode& mode : modes) {
                const Clock::time_point start = Clock::now();
                {
                    RasterImage image;
                    mode.Run(picture, mode, image);
                    Done(mode, image);
                }
                const std::chrono::duration<double, std::milli> took = Clock::now() - start;
                std::printf("sample %s %s %.4f\n", mode.Name.c_str(), picture.Name.c_str(),
                            took.count());
            }
    return 0;
}
