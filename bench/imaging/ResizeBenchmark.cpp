// Resizing a 1024 x 768 photograph to three screen sizes: the plain and packed resamplers beside a
// straightforward row-major float resize (the reference of the speed targets) and stb_image_resize
// with its triangle filter.
#include "imaging/Resampler.h"

#include <benchmark/benchmark.h>

#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STBIR_DEFAULT_FILTER_UPSAMPLE STBIR_FILTER_TRIANGLE
#define STBIR_DEFAULT_FILTER_DOWNSAMPLE STBIR_FILTER_TRIANGLE
#include <stb/stb_image_resize.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int SourceWidth = 1024;
constexpr int SourceHeight = 768;

// Smooth shading with edges and a little grain, like a photograph.
const std::vector<Pixel>& Source() {
    static const std::vector<Pixel> image = [] {
        std::vector<Pixel> pixels(SourceWidth * SourceHeight);
        std::uint32_t noise = 12345;
        for (int y = 0; y < SourceHeight; ++y)
            for (int x = 0; x < SourceWidth; ++x) {
                noise = noise * 1664525u + 1013904223u;
                const int grain = static_cast<int>(noise >> 29) - 4;
                const bool edge = ((x / 97) + (y / 61)) % 5 == 0;
                auto clamp = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
                pixels[y * SourceWidth + x] = PackPixel(
                    clamp(x * 255 / SourceWidth + grain), clamp(y / 3 + grain + (edge ? 60 : 0)),
                    clamp(128 + static_cast<int>(100 * std::sin(x * 0.01 + y * 0.02)) + grain));
            }
        return pixels;
    }();
    return image;
}

// The reference: the same triangle filter, computed row by row into a float intermediate picture
// of new width x source height, then down the columns, all in float.
struct Taps {
    std::vector<int> First, Count;
    std::vector<float> Weights; // count weights per entry, entry after entry
    std::vector<int> Offset;
};

Taps ReferenceTaps(int n, int m) {
    Taps taps;
    const float scale = static_cast<float>(m) / n;
    const float width = scale > 1 ? scale : 1.0f;
    const float fscale = scale > 1 ? 1.0f / scale : 1.0f;
    for (int i = 0; i < n; ++i) {
        const float centre = i * scale;
        int first = static_cast<int>(std::floor(centre - width));
        int last = static_cast<int>(std::ceil(centre + width));
        first = first < 0 ? 0 : first;
        last = last > m - 1 ? m - 1 : last;
        taps.First.push_back(first);
        taps.Count.push_back(last - first + 1);
        taps.Offset.push_back(static_cast<int>(taps.Weights.size()));
        float sum = 0;
        for (int j = first; j <= last; ++j) {
            const float d = std::fabs(centre - j) * fscale;
            const float w = d < 1 ? (1 - d) * fscale : 0;
            taps.Weights.push_back(w);
            sum += w;
        }
        for (int k = 0; k < last - first + 1; ++k)
            taps.Weights[taps.Offset[i] + k] /= sum;
    }
    return taps;
}

std::vector<Pixel> ReferenceResize(const std::vector<Pixel>& source, int width, int height,
                                   int newWidth, int newHeight) {
    const Taps horizontal = ReferenceTaps(newWidth, width);
    const Taps vertical = ReferenceTaps(newHeight, height);
    std::vector<float> rows(static_cast<std::size_t>(newWidth) * height * 3);
    for (int r = 0; r < height; ++r)
        for (int x = 0; x < newWidth; ++x) {
            float sum[3] = {0, 0, 0};
            const float* w = &horizontal.Weights[horizontal.Offset[x]];
            for (int k = 0; k < horizontal.Count[x]; ++k) {
                const Pixel p =
                    source[static_cast<std::size_t>(r) * width + horizontal.First[x] + k];
                for (int c = 0; c < 3; ++c)
                    sum[c] += ((p >> (8 * c)) & 0xFF) * w[k];
            }
            for (int c = 0; c < 3; ++c)
                rows[(static_cast<std::size_t>(r) * newWidth + x) * 3 + c] = sum[c];
        }
    std::vector<Pixel> out(static_cast<std::size_t>(newWidth) * newHeight);
    for (int y = 0; y < newHeight; ++y)
        for (int x = 0; x < newWidth; ++x) {
            float sum[3] = {0, 0, 0};
            const float* w = &vertical.Weights[vertical.Offset[y]];
            for (int k = 0; k < vertical.Count[y]; ++k)
                for (int c = 0; c < 3; ++c)
                    sum[c] +=
                        rows[(static_cast<std::size_t>(vertical.First[y] + k) * newWidth + x) * 3 +
                             c] *
                        w[k];
            Pixel p = 0;
            for (int c = 0; c < 3; ++c)
                p |= static_cast<Pixel>(static_cast<int>(sum[c]) & 0xFF) << (8 * c);
            out[static_cast<std::size_t>(y) * newWidth + x] = p;
        }
    return out;
}

void Reference(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    for (auto _ : state) {
        std::vector<Pixel> out = ReferenceResize(Source(), SourceWidth, SourceHeight, w, h);
        benchmark::DoNotOptimize(out.data());
    }
}

template <typename ResamplerType> void Lanternmoor(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    for (auto _ : state) {
        Pixel* out = ResamplerType(Source().data(), SourceWidth, SourceHeight).Resize(w, h);
        benchmark::DoNotOptimize(out);
        ImagingFree(out);
    }
}

void StbImageResize(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    std::vector<Pixel> out(static_cast<std::size_t>(w) * h);
    for (auto _ : state) {
        stbir_resize_uint8_generic(
            reinterpret_cast<const unsigned char*>(Source().data()), SourceWidth, SourceHeight, 0,
            reinterpret_cast<unsigned char*>(out.data()), w, h, 0, 4, STBIR_ALPHA_CHANNEL_NONE, 0,
            STBIR_EDGE_CLAMP, STBIR_FILTER_TRIANGLE, STBIR_COLORSPACE_LINEAR, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
}

void Targets(benchmark::internal::Benchmark* b) {
    b->Args({1920, 1080})->Args({1280, 1024})->Args({800, 600});
    b->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
}

} // namespace

BENCHMARK(Reference)->Apply(Targets);
BENCHMARK_TEMPLATE(Lanternmoor, PlainResampler)->Name("PlainResampler")->Apply(Targets);
BENCHMARK_TEMPLATE(Lanternmoor, MmxResampler)->Name("MmxResampler")->Apply(Targets);
BENCHMARK(StbImageResize)->Apply(Targets);

BENCHMARK_MAIN();
