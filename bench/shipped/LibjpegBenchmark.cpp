// libjpeg-turbo's 32-bit library (Debian's i386 packages) decoding the same pictures as
// shipped_bench, without interpolating upsampling, as Lanternmoor's decoder does, in two ways:
//
// - "islow" and "ifast": the libjpeg API into a fresh buffer of the screen saver's pixels, four
//   bytes B, G, R, X per pixel (JCS_EXT_BGRX), line by line;
// - "tj-islow" and "tj-ifast": the TurboJPEG API (tjDecompress2) into RGB, three bytes per pixel,
//   in one call into a buffer kept from picture to picture (when built with libturbojpeg).
//
// With the environment variable JSIMD_FORCENONE=1 the library runs without its SIMD code; the
// mode names say which: "libjpeg-turbo/simd/islow" or "libjpeg-turbo/nosimd/tj-ifast".
//
//   libjpeg_bench [--reps N] PICTURE.jpg...
//
// Prints "sample MODE PICTURE MILLISECONDS" like shipped_bench, every mode in turn for every
// picture.
//
// A fresh buffer is fresh memory, as in the screen saver under Windows or Wine without its
// workspace, whose heap takes blocks above 508 KB straight from the system and gives them back
// when they are freed: glibc is told to do the same (a fixed mmap threshold), instead of keeping
// the freed pages.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

// clang-format off
#include <jpeglib.h>
#if LM_BENCH_TURBOJPEG
#include <turbojpeg.h>
#endif
// clang-format on

namespace {

struct Picture {
    std::string Name;
    std::vector<unsigned char> Bytes;
};

bool Decode(const Picture& picture, J_DCT_METHOD method) {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, picture.Bytes.data(), static_cast<unsigned long>(picture.Bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.dct_method = method;
    info.do_fancy_upsampling = FALSE;
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 4;
    auto* pixels = static_cast<unsigned char*>(std::malloc(stride * info.output_height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::free(pixels);
    return true;
}

#if LM_BENCH_TURBOJPEG
// TurboJPEG into RGB in a buffer kept across calls, with the fast (nearest) upsampling.
bool DecodeTurbo(const Picture& picture, bool fast) {
    static tjhandle handle = tjInitDecompress();
    static std::vector<unsigned char> rgb;
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    auto* bytes = const_cast<unsigned char*>(picture.Bytes.data());
    const auto size = static_cast<unsigned long>(picture.Bytes.size());
    if (tjDecompressHeader3(handle, bytes, size, &width, &height, &subsampling, &colourspace) != 0)
        return false;
    const std::size_t needed = static_cast<std::size_t>(width) * height * 3;
    if (rgb.size() < needed) rgb.resize(needed);
    const int flags = TJFLAG_FASTUPSAMPLE | (fast ? TJFLAG_FASTDCT : 0);
    return tjDecompress2(handle, bytes, size, rgb.data(), width, 0, height, TJPF_RGB, flags) == 0;
}
#endif

struct Method {
    const char* Name;
    bool (*Decode)(const Picture& picture);
};

const Method methods[] = {
    {"islow", [](const Picture& p) { return Decode(p, JDCT_ISLOW); }},
    {"ifast", [](const Picture& p) { return Decode(p, JDCT_IFAST); }},
#if LM_BENCH_TURBOJPEG
    {"tj-islow", [](const Picture& p) { return DecodeTurbo(p, false); }},
    {"tj-ifast", [](const Picture& p) { return DecodeTurbo(p, true); }},
#endif
};

} // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 0x7F000);
#endif
    int reps = 5;
    std::vector<Picture> pictures;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--reps" && i + 1 < argc) {
            reps = std::atoi(argv[++i]);
            continue;
        }
        std::ifstream in(arg, std::ios::binary);
        Picture picture;
        picture.Bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (picture.Bytes.empty()) {
            std::fprintf(stderr, "cannot read %s\n", arg.c_str());
            return 1;
        }
        const std::string file = arg.substr(arg.find_last_of('/') + 1);
        picture.Name = file.substr(0, file.rfind('.'));
        pictures.push_back(picture);
    }
    if (pictures.empty() || reps < 1) {
        std::fprintf(stderr, "usage: libjpeg_bench [--reps N] PICTURE.jpg...\n");
        return 2;
    }
    const char* none = std::getenv("JSIMD_FORCENONE");
    const std::string simd = none != nullptr && std::strcmp(none, "1") == 0 ? "nosimd" : "simd";
    for (const Picture& picture : pictures)
        for (const auto& m : methods)
            if (!m.Decode(picture)) {
                std::fprintf(stderr, "libjpeg-turbo failed on %s\n", picture.Name.c_str());
                return 1;
            }
    using Clock = std::chrono::steady_clock;
    for (int rep = 0; rep < reps; ++rep)
        for (const Picture& picture : pictures)
            for (const auto& m : methods) {
                const Clock::time_point start = Clock::now();
                m.Decode(picture);
                const std::chrono::duration<double, std::milli> took = Clock::now() - start;
                std::printf("sample libjpeg-turbo/%s/%s %s %.4f\n", simd.c_str(), m.Name,
                            picture.Name.c_str(), took.count());
            }
    return 0;
}
