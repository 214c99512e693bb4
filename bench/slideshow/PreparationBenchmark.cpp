// What the screen saver does for each picture before it can show it, without the device: decode,
// fit, resample and reduce (PreparePictureImage), for every shipped photograph on a 1920 x 1080
// and an 800 x 600 screen. The worst case of each: EnlargeToFit on (every picture is resampled)
// and a 16-bit display (every picture is dithered). Budget: 5% of the default picture period,
// 100 ms per picture.
#include "imaging/RasterImage.h"
#include "jpeg/JpegInputStream.h"
#include "slideshow/PicturePreparation.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const int kIds[] = {114, 115, 116, 117, 118, 119, 120, 121, 122,
                    123, 124, 125, 126, 127, 128, 129, 134};

std::vector<uint8_t> ReadPicture(int id) {
    const std::string path = std::string(LM_PICTURES_DIR) + "/" + std::to_string(id) + ".jpg";
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        std::exit(1);
    }
    return bytes;
}

// Arguments: picture id, screen width, screen height, packed (1) or plain (0).
void Prepare(benchmark::State& state) {
    const std::vector<uint8_t> bytes = ReadPicture(static_cast<int>(state.range(0)));
    const int width = static_cast<int>(state.range(1));
    const int height = static_cast<int>(state.range(2));
    const bool simd = state.range(3) != 0;
    for (auto _ : state) {
        MemoryInputStream stream(bytes.data(), bytes.size());
        RasterImage image;
        Rect placement;
        if (!PreparePictureImage(stream, width, height, true, 16, simd, image, placement))
            state.SkipWithError("nothing to show");
        benchmark::DoNotOptimize(image.Pixels());
    }
}

void EveryPicture(benchmark::internal::Benchmark* b) {
    b->ArgNames({"id", "w", "h", "simd"});
    for (const int simd : {1, 0})
        for (const auto& screen : {std::pair<int, int>{1920, 1080}, {800, 600}})
            for (const int id : kIds)
                b->Args({id, screen.first, screen.second, simd});
    b->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
}

} // namespace

BENCHMARK(Prepare)->Apply(EveryPicture);

BENCHMARK_MAIN();
