// Preparing a 1024 x 768 photograph (shipped picture 118) for a 1920 x 1080 screen with
// EnlargeToFit on - decode into the pixel buffer, then fit and resample to 1440 x 1080 - beside
// decoding it alone, for the plain and the packed variants. Target: preparation no slower than
// 3 x decoding.
#include "imaging/RasterImage.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/PictureDecoding.h"
#include "slideshow/PictureFit.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

const std::vector<uint8_t>& Photograph() {
    static const std::vector<uint8_t> bytes = [] {
        std::ifstream file(LM_PICTURES_DIR "/118.jpg", std::ios::binary);
        std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
        if (data.empty()) {
            std::fprintf(stderr, "cannot read " LM_PICTURES_DIR "/118.jpg\n");
            std::exit(1);
        }
        return data;
    }();
    return bytes;
}

// Decoding alone (prepare 0), or decoding and preparing (prepare 1).
void Picture(benchmark::State& state) {
    const bool useSimd = state.range(0) != 0;
    const bool prepare = state.range(1) != 0;
    for (auto _ : state) {
        MemoryInputStream stream(Photograph().data(), Photograph().size());
        RasterImage image;
        DecodedPicture outcome;
        DecodePicture(stream, useSimd, image, outcome);
        if (prepare) {
            PictureFit fit;
            FitAndReducePicture(image, 1920, 1080, true, 32, useSimd, fit);
        }
        benchmark::DoNotOptimize(image.Pixels());
    }
}

void Variants(benchmark::internal::Benchmark* b) {
    b->ArgNames({"simd", "prepare"})->ArgsProduct({{0, 1}, {0, 1}});
    b->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

} // namespace

BENCHMARK(Picture)->Apply(Variants);

BENCHMARK_MAIN();
